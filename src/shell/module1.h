#pragma once

// The values that live for the whole run, shared by the main window and the input form.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tsunagi {

inline constexpr const char* kXlsFilterText = "|XLS (*.XLS)|*.xls";

struct Module1 {
    std::string XlsFilterPart;               // the XLS filter text when workbooks are offered
    std::optional<std::int64_t> SelectedId;  // the entry the input form is to show; none for new
    bool ListRefreshPending = false;         // the list must be rebuilt at the next load
    std::string programFolder;               // the shipped files: template, help
    std::string dataFolder;                  // the working store and backup/
};

// True when this build carries the workbook engine. Tests put their own decision in its place.
bool workbookEngineBuiltIn();
std::string decideXlsFilterPart(const std::function<bool()>& engineBuiltIn = workbookEngineBuiltIn);

}  // namespace tsunagi
