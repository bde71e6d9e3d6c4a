#pragma once

#include <string>

namespace tsunagi {

// A UTF-8 text as a JSON string, quotes included.
std::string jsonString(const std::string& text);

}  // namespace tsunagi
