#pragma once

// What the core's commands ask of the person in front of the program: a file to open, a file
// to save to, and a message to read. The program answers with real dialogs; tests answer
// through a scripted implementation.

#include <optional>
#include <string>
#include <vector>

namespace tsunagi {

struct FileFilter {
    std::string name;                     // "VCF"
    std::vector<std::string> extensions;  // "vcf", "VCF"
};

// Reads the Windows filter text the commands are written with ("VCF (*.VCF)|*.vcf|…"): each
// filter matches its extension in lower and upper case.
std::vector<FileFilter> filtersFromText(const std::string& text);

// A file the user chose to save to, and the name of the filter that was selected then.
struct SaveChoice {
    std::string path;
    std::string filter;
};

struct FileRequest {
    std::string title;
    std::string startFolder;
    std::vector<FileFilter> filters;
    std::string proposedName;  // save dialogs only
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseFileToOpen(const FileRequest& request) = 0;
    virtual std::optional<SaveChoice> chooseFileToSave(const FileRequest& request) = 0;
    // A message box with an OK button only, titled with the program's name.
    virtual void showMessage(const std::string& text) = 0;
    // A question with two answers; true for `yes`.
    virtual bool ask(const std::string& text, const std::string& yes, const std::string& no) = 0;
    // Opens a file or a web address with the desktop's own program; false when that failed.
    virtual bool openWithDesktop(const std::string& pathOrUrl) = 0;
};

}  // namespace tsunagi
