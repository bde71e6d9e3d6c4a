#pragma once

// What a run in every import order came to: the same each time, or every variant told.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tsunagi {

// One variant only; where there are more, each is written out whole.
inline void expectOneVariant(const std::set<std::vector<std::string>>& variants) {
    EXPECT_EQ(variants.size(), 1u);
    if (variants.size() > 1)
        for (const std::vector<std::string>& variant : variants) {
            std::string all;
            for (const std::string& line : variant) all += line + "\n";
            ADD_FAILURE() << all;
        }
}

// Whether a line of `lines` holds `part`.
inline bool anyHolds(const std::vector<std::string>& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(part) != std::string::npos;
    });
}

}  // namespace tsunagi
