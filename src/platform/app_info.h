#pragma once

// The program's name, version and fixed texts: what the windows, the message boxes and the
// command line say about the program itself.

#include <string>

namespace tsunagi {

inline constexpr const char* kAppTitle = "Tsunagi";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;
inline constexpr const char* kHomePage = "https://tsunagi.example.jp/";
inline constexpr const char* kAuthor = "Tsunagi Project";

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
