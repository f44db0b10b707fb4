// Checks of what a masked or opaque blit left in a screen: the screen is
// first filled with a background whose every word differs from its
// neighbours, then each 16-pixel group is compared with the background
// alone (untouched) or with a picture group over it.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "machine/types.h"

constexpr u32 check_screen = 0x020000;
constexpr u32 check_screen_bytes = 32000 + 160; // the screen and its spare line

u16 background_word(u32 offset);
void fill_background(u32 screen = check_screen);
// Group g (0-19, or past 19 into the next line) of screen line l.
u32 group_address(u32 line, u32 group, u32 screen = check_screen);
// The four plane words of a group drawn through its mask (colour 0 keeps
// the background), or copied whole.
::testing::AssertionResult masked_at(u32 line, u32 group, const std::array<u16, 4>& planes, u32 screen = check_screen);
::testing::AssertionResult opaque_at(u32 line, u32 group, const std::array<u16, 4>& planes, u32 screen = check_screen);
::testing::AssertionResult untouched(u32 line, u32 group, u32 screen = check_screen);
// Offsets of the words that differ from the background, from `from` to
// `to` (byte offsets in the screen).
std::vector<u32> changed_words(u32 from = 0, u32 to = check_screen_bytes, u32 screen = check_screen);
// The changed words outside every given box of whole groups (a picture
// word may leave a background word as it was, so a drawing is checked
// group by group inside its box and by this outside it).
struct group_box {
  u32 top, lines, first_group, groups;
};
std::vector<u32> changed_outside(std::initializer_list<group_box> boxes, u32 screen = check_screen);
