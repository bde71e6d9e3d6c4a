#pragma once

#include <string>

namespace tsunagi {

enum class BookKind { Xls, Xlsx, Unknown };

// What the file's first bytes say it is, whatever its name says. Throws TsunagiError when the
// file cannot be opened.
BookKind bookKindOf(const std::string& path);

}  // namespace tsunagi
