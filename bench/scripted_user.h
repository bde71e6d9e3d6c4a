#pragma once

// The user of a benchmark of the windows: opens the file it was given, saves to the phone's
// file it was given, and answers every question with its default (the last button).

#include <cstdio>
#include <string>

#include "commands/user_interface.h"

namespace tsunagi {

class ScriptedUser : public UserInterface {
  public:
    explicit ScriptedUser(std::string in = "", std::string out = "")
        : in_(std::move(in)), out_(std::move(out)) {}
    std::vector<std::string> chooseFilesToOpen(const FileRequest&) override {
        if (in_.empty()) return {};
        return {in_};
    }
    std::optional<SaveChoice> chooseFileToSave(const FileRequest&) override {
        if (out_.empty()) return std::nullopt;
        return SaveChoice{out_, FileKind::PhoneCards};
    }
    bool ask(const std::string&, const std::string&, const std::string&) override { return true; }
    size_t choose(const std::string&, const std::vector<std::string>& answers) override {
        return answers.size() - 1;
    }
    void showMessage(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool openWithDesktop(const std::string&) override { return false; }
    void showStatus(const std::string&) override {}
    std::optional<CsvAssignment> chooseColumns(const std::string&,
                                               const CsvColumnsPreview&) override {
        return std::nullopt;
    }

  private:
    std::string in_, out_;
};

}  // namespace tsunagi
