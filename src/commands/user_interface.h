#pragma once

// What the core's commands ask of the person in front of the program: a file to open, a file
// to save to, and a message to read. The program answers with real dialogs; tests answer
// through a scripted implementation.

#include <optional>
#include <string>
#include <vector>

#include "commands/file_kinds.h"
#include "import/csv_import.h"

namespace tsunagi {

// One filter of a file dialog: what it shows and the kind of file it stands for (none for the
// filter of every kind the dialog takes).
struct FileFilter {
    std::string name;                     // "VCF"
    std::vector<std::string> extensions;  // "vcf", "VCF"
    std::optional<FileKind> kind;
};

// A file the user chose to save to, and the kind of the filter that was selected then (none
// when the dialog could not say).
struct SaveChoice {
    std::string path;
    std::optional<FileKind> kind;
};

struct FileRequest {
    std::string title;
    std::string startFolder;
    std::vector<FileFilter> filters;
    std::string proposedName;              // save dialogs only
    std::optional<FileKind> selectedKind;  // the filter selected at first; the first when none
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // The chosen paths, one or several; none when the user cancelled.
    virtual std::vector<std::string> chooseFilesToOpen(const FileRequest& request) = 0;
    // What a CSV's columns hold, chosen by the user from the program's guesses; nothing when
    // the user stops (Esc), and then nothing of the file is read.
    virtual std::optional<CsvAssignment> chooseColumns(const std::string& path,
                                                       const CsvColumnsPreview& preview) = 0;
    virtual std::optional<SaveChoice> chooseFileToSave(const FileRequest& request) = 0;
    // A message box with an OK button only, titled with the program's name.
    virtual void showMessage(const std::string& text) = 0;
    // A question with two answers; true for `yes`. `no` is the default and Esc's answer.
    virtual bool ask(const std::string& text, const std::string& yes, const std::string& no) = 0;
    // A question with several answers; the index of the one chosen. The last answer is the
    // default and Esc's answer.
    virtual size_t choose(const std::string& text, const std::vector<std::string>& answers) = 0;
    // Opens a file or a web address with the desktop's own program; false when that failed.
    virtual bool openWithDesktop(const std::string& pathOrUrl) = 0;
    // A short word that something was done ("保存しました：…"), shown without a dialog to
    // dismiss.
    virtual void showStatus(const std::string& text) = 0;
};

}  // namespace tsunagi
