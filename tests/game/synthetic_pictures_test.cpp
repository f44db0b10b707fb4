// The synthetic pictures say what they are: every frame of every sprite
// table a closed box with its mark and a transparent pixel on every line;
// inside the ground objects' boxes every plane set on every line of every
// 16 pixels (so a lost line, group or plane shows in the drawing tests); a
// tiny font whose characters differ.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/synthetic/picture_drawing.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

constexpr sheet all_sheets[] = {sheet::player,   sheet::explosion, sheet::weapon, sheet::debris,       sheet::vehicle_a,
                                sheet::vehicle6, sheet::vehicle_b, sheet::vehicle4, sheet::homing,     sheet::goal,
                                sheet::mission,  sheet::installation, sheet::object, sheet::enemy,     sheet::shot,
                                sheet::effect};

// The box's width: shot frames but the first end at 8 pixels, the first at 15.
u32 box_width(sheet s, u32 frame) {
  if (s == sheet::shot) return frame == 0 ? 14 : 8;
  return sheet_layout_of(s).width - 1;
}

TEST(SyntheticPictures, EveryFrameIsAClosedBoxWithItsMarkAndHoles) {
  for (sheet s : all_sheets) {
    const sheet_layout& l = sheet_layout_of(s);
    for (u32 f = 0; f < l.frames; ++f) {
      SCOPED_TRACE(testing::Message() << l.label << f);
      const u32 w = box_width(s, f), h = l.lines, top_bits = s == sheet::weapon || s == sheet::mission ? 5 : 2;
      const u32 outline = sheet_pixel(s, f, 0, w - 1);
      ASSERT_NE(outline, 0u);
      for (u32 x = top_bits; x < w; ++x) {
        ASSERT_EQ(sheet_pixel(s, f, 0, x), outline) << "top, x " << x;
        ASSERT_EQ(sheet_pixel(s, f, h - 1, x), outline) << "bottom, x " << x;
      }
      for (u32 y = 2; y < h; ++y) {
        ASSERT_EQ(sheet_pixel(s, f, y, 0), outline) << "left, line " << y;
        ASSERT_EQ(sheet_pixel(s, f, y, w - 1), outline) << "right, line " << y;
      }
      if (top_bits == 2) {
        const u32 mark = l.planes == 3 ? 1 + f % 7 : 1 + f % 15;
        for (u32 k = 0; k < 4; ++k) ASSERT_EQ(sheet_pixel(s, f, k / 2, k % 2), mark);
      }
      for (u32 y = 0; y < h; ++y) {
        bool hole = false;
        for (u32 x = 0; x < l.width; ++x) hole |= sheet_pixel(s, f, y, x) == 0;
        ASSERT_TRUE(hole) << "line " << y;
      }
    }
  }
}

TEST(SyntheticPictures, EveryPlaneOfEveryGroupIsDrawnInsideTheGroundObjects) {
  for (sheet s : {sheet::installation, sheet::debris, sheet::vehicle_a, sheet::vehicle_b, sheet::vehicle6,
                  sheet::vehicle4}) {
    const sheet_layout& l = sheet_layout_of(s);
    for (u32 f = 0; f < l.frames; ++f)
      for (u32 y = 1; y + 1 < l.lines; ++y)
        for (u32 g = 0; g < l.width / 16; ++g) {
          u32 planes = 0;
          for (u32 x = 16 * g; x < 16 * g + 16; ++x) planes |= sheet_pixel(s, f, y, x);
          ASSERT_EQ(planes, 15u) << l.label << f << " line " << y << " group " << g;
        }
  }
}

TEST(SyntheticPictures, TheTinyFontTellsEveryCharacterApart) {
  std::set<std::string> shapes;
  const std::string characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-.!:/?+=()$,'\"#%*<>_";
  for (char c : characters) {
    std::string shape;
    for (int y = 0; y < tiny_height; ++y)
      for (int x = 0; x < tiny_width; ++x) shape += tiny_pixel(c, x, y) ? '#' : '.';
    EXPECT_NE(shape, std::string(15, '.')) << c;
    EXPECT_TRUE(shapes.insert(shape).second) << c << " looks like another character";
  }
  EXPECT_FALSE(tiny_pixel(' ', 1, 2));
  EXPECT_EQ(tiny_pixel('a', 0, 2), tiny_pixel('A', 0, 2)) << "lower case as upper";
}

} // namespace
