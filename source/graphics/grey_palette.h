// The palette of every indexed picture the program writes (the dump's and
// the mod pack's ".idx.png" files): a pixel's value is the game's palette
// index 0..15, shown as grey 16 i; entries above 15 are black.
#pragma once

#include <array>
#include <cstdint>

inline constexpr std::array<uint8_t, 768> GREY = [] {
    std::array<uint8_t, 768> p{};
    for (int i = 0; i < 16; ++i) p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = static_cast<uint8_t>(16 * i);
    return p;
}();
