#pragma once

// The values that live for the whole run, shared by the main window and the input form.

#include <cstdint>
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

}  // namespace tsunagi
