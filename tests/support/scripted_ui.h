#pragma once

// Answers the program's dialogs from a script, and remembers what it was asked and told.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/user_interface.h"

namespace tsunagi {

class ScriptedUi : public UserInterface {
  public:
    std::vector<std::string> chooseFilesToOpen(const FileRequest& request) override {
        std::optional<std::string> path = answer(request);
        if (!path) return {};
        // Several files at once are given joined with "|".
        std::vector<std::string> paths;
        size_t start = 0;
        for (size_t bar; (bar = path->find('|', start)) != std::string::npos; start = bar + 1)
            paths.push_back(path->substr(start, bar - start));
        paths.push_back(path->substr(start));
        return paths;
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
    size_t choose(const std::string& text, const std::vector<std::string>& answers) override {
        questions.push_back(text);
        choices.push_back(answers);
        if (chooseAnswers.empty()) return std::min(chooseDefault, answers.size() - 1);
        size_t chosen = chooseAnswers.front();
        chooseAnswers.pop_front();
        if (onChoose) onChoose();
        return chosen;
    }
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    std::optional<CsvAssignment> chooseColumns(const std::string&,
                                               const CsvColumnsPreview& preview) override {
        previews.push_back(preview);
        if (columnAnswers.empty()) {  // the program's guesses, as OK takes them
            CsvAssignment guessed;
            for (size_t p = 0; p < preview.headings.size(); ++p)
                guessed.push_back({preview.headings[p], preview.guesses[p]});
            return guessed;
        }
        auto answer = columnAnswers.front();
        columnAnswers.pop_front();
        return answer;
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
    std::vector<std::string> statuses;
    std::vector<CsvColumnsPreview> previews;
    std::deque<std::optional<CsvAssignment>> columnAnswers;  // nothing = Esc; none: the guesses
    bool desktopOpens = true;
    std::function<void()> onMessage;  // called while a message is shown
    std::vector<std::string> questions;
    bool askAnswer = true;
    std::deque<size_t> chooseAnswers;  // chooseDefault when none is left
    size_t chooseDefault = SIZE_MAX;   // the last answer, as the dialogs' default
    std::vector<std::vector<std::string>> choices;
    std::function<void()> onChoose;

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
