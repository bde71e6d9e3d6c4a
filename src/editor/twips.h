#pragma once

namespace tsunagi {

// Sizes in the program's layouts are given in twips, 15 to a pixel.
constexpr int twips(int value) { return (value + 7) / 15; }

}  // namespace tsunagi
