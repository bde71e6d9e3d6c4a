#pragma once

// Application-wide values and fixed texts of the program, shared by its windows.

#include <functional>
#include <string>

namespace tsunagi {

inline constexpr const char* kAppTitle = "Tsunagi";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;
inline constexpr const char* kXlsFilterText = "|XLS (*.XLS)|*.xls";
inline constexpr const char* kHomePage = "https://tsunagi.example.jp/";
inline constexpr const char* kAuthor = "Tsunagi Project";

// The values that live for the whole run.
struct Module1 {
    std::string XlsFilterPart;       // the XLS filter text when workbooks can be read and written
    std::string SelectedId;          // the entry the input form is to show; empty for a new one
    std::string ListRefreshPending;  // "TRUE" when the list must be rebuilt at the next load
    std::string programFolder;       // where the executable and its files are
};

// True when this build carries the workbook engine. Tests put their own decision in its place.
bool workbookEngineBuiltIn();
std::string decideXlsFilterPart(const std::function<bool()>& engineBuiltIn = workbookEngineBuiltIn);

std::string versionText();        // "1.0.0"
std::string mainWindowCaption();  // "Tsunagi1.0.0"

// The version box's texts.
std::string aboutCaption();
std::string aboutVersionLabel();
std::string aboutDescription();

// The help page's path and the message shown when it cannot be opened.
std::string helpPagePath(const std::string& programFolder);
inline constexpr const char* kHelpFailureMessage = "開けるアプリケーション\r\nがありません";

}  // namespace tsunagi
