#pragma once

// Answers the program's dialogs from a script, and remembers what it was asked and told.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/user_interface.h"

namespace tsunagi {

class ScriptedUi : public UserInterface {
  public:
    std::optional<std::string> chooseFileToOpen(const FileRequest& request) override {
        return answer(request);
    }
    std::optional<SaveChoice> chooseFileToSave(const FileRequest& request) override {
        std::optional<std::string> path = answer(request);
        if (!path) return std::nullopt;
        std::optional<FileKind> filter;
        if (!request.filters.empty()) filter = request.filters.front().kind;
        if (!filterAnswers.empty()) {
            filter = filterAnswers.front();
            filterAnswers.pop_front();
        }
        return SaveChoice{*path, filter};
    }
    void showMessage(const std::string& text) override {
        messages.push_back(text);
        if (onMessage) onMessage();
    }
    bool ask(const std::string& text, const std::string&, const std::string&) override {
        questions.push_back(text);
        return askAnswer;
    }
    bool openWithDesktop(const std::string& target) override {
        opened.push_back(target);
        return desktopOpens;
    }

    std::deque<std::optional<std::string>> fileAnswers;  // nothing = the user cancels
    std::deque<FileKind> filterAnswers;  // the save filter selected; the first when none
    std::vector<FileRequest> requests;
    std::vector<std::string> messages;
    std::vector<std::string> opened;
    bool desktopOpens = true;
    std::function<void()> onMessage;  // called while a message is shown
    std::vector<std::string> questions;
    bool askAnswer = true;

  private:
    std::optional<std::string> answer(const FileRequest& request) {
        requests.push_back(request);
        if (fileAnswers.empty()) return std::nullopt;
        auto next = fileAnswers.front();
        fileAnswers.pop_front();
        return next;
    }
};

}  // namespace tsunagi
