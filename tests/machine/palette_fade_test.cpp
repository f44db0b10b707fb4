// Palette-fade smoothing: stepped-down palettes are shown as the reference
// at a gliding brightness; new pictures, raster frames and black screens.
#include "machine/palette_fade.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "support/machine/st_machine.h"
#include "support/synthetic/st_palette.h"

namespace {

class PaletteFade : public StMachineTest {};

// One frame through the smoothing; returns zone 0 as the renderer gets it.
st_palette frame(const st_palette& game, u32 vbl) {
  u8 p[32];
  palette_write(p, game);
  fade_smooth(p, vbl);
  return palette_read(p);
}

int bits(double x) { return static_cast<int>(x * 255 + 0.5); }

// A palette of the given entries, black elsewhere.
st_palette entries_of(std::initializer_list<std::pair<int, u32>> set) {
  st_palette w{};
  for (const auto& [k, colour] : set) w[k] = colour;
  return w;
}

// A second picture that is no step of test_picture at any level: its guns
// differ within each entry, the first picture's guns are equal.
st_palette other_picture() {
  st_palette w{};
  for (int k = 0; k < 16; ++k) w[k] = k % 2 ? 0x0700 : 0x0007;
  return w;
}

st_palette with_entries(st_palette w, std::initializer_list<int> ks, u32 colour) {
  for (int k : ks) w[k] = colour;
  return w;
}

constexpr int unmarked = -1;

// One frame of a sequence and the brightness it must be shown at
// (unmarked: the game's palette passes untouched).
struct fade_frame {
  u32 vbl;
  st_palette game;
  int b;
};

struct fade_case {
  const char* what;
  std::vector<fade_frame> frames;
};

std::vector<fade_case> fade_cases() {
  const st_palette pic = test_picture();
  const st_palette pic2 = other_picture();
  const st_palette four_lit = entries_of({{3, 0x777}, {6, 0x777}, {9, 0x777}, {12, 0x777}});
  const st_palette three_lit = entries_of({{3, 0x777}, {6, 0x777}, {9, 0x777}});
  auto one_gun = [](u32 gun) { return entries_of({{3, 0x777}, {6, 0x777}, {9, 0x777}, {12, gun}}); };
  // The step to level 2 at VBL 2 + gap after a jump to level 3 at VBL 2:
  // the glide up lasts as long as the game's step took, when that is 2-12.
  auto glide_after = [&](u32 gap, double len) {
    return std::vector<fade_frame>{{1, pic, unmarked},
                                   {2, stepped(pic, 3), bits(0.68)},
                                   {2 + gap, stepped(pic, 2), bits(0.68)},
                                   {3 + gap, stepped(pic, 2), bits(0.68 + 0.12 / len)}};
  };
  return {
      {"back to the full palette mid-fade",
       {{1, pic, unmarked},
        {100, stepped(pic, 1), 255},
        {104, stepped(pic, 2), bits(0.92)},
        {106, pic, unmarked},
        // The reset made 106 the last change: the next step glides from
        // full over the 3 VBLs it took.
        {109, stepped(pic, 1), 255},
        {110, stepped(pic, 1), bits(1 - 0.1 / 3)}}},
      {"a new picture mid-fade",
       {{1, pic, unmarked},
        {100, stepped(pic, 1), 255},
        {104, stepped(pic, 2), bits(0.92)},
        {106, pic2, unmarked},
        {109, stepped(pic2, 1), 255},
        {110, stepped(pic2, 1), bits(1 - 0.1 / 3)}}},
      {"four entries dimmed are a fade",
       {{1, four_lit, unmarked}, {100, stepped(four_lit, 1), 255}, {101, stepped(four_lit, 1), bits(0.98)}}},
      {"three entries dimmed are a new picture",
       {{1, three_lit, unmarked}, {100, stepped(three_lit, 1), unmarked}, {101, stepped(three_lit, 1), unmarked}}},
      {"two entries off the fade still fade",
       {{1, pic, unmarked}, {100, with_entries(stepped(pic, 1), {0, 1}, 0x0123), 255}}},
      {"three entries off the fade are a new picture",
       {{1, pic, unmarked}, {100, with_entries(stepped(pic, 1), {0, 1, 2}, 0x0123), unmarked}}},
      {"dimmed in red only", {{1, one_gun(0x100), unmarked}, {100, stepped(one_gun(0x100), 1), 255}}},
      {"dimmed in green only", {{1, one_gun(0x010), unmarked}, {100, stepped(one_gun(0x010), 1), 255}}},
      {"dimmed in blue only", {{1, one_gun(0x001), unmarked}, {100, stepped(one_gun(0x001), 1), 255}}},
      // One entry still lit after the step: the picture is not black yet.
      {"only the first entry still lit",
       {{1, entries_of({{0, 0x777}, {1, 0x111}, {2, 0x111}, {3, 0x111}, {4, 0x111}}), unmarked},
        {100, entries_of({{0, 0x666}}), 255}}},
      {"only the last entry still lit",
       {{1, entries_of({{15, 0x777}, {1, 0x111}, {2, 0x111}, {3, 0x111}, {4, 0x111}}), unmarked},
        {100, entries_of({{15, 0x666}}), 255}}},
      {"a step after 1 VBL glides over 5", glide_after(1, 5)},
      {"a step after 2 VBLs glides over 2", glide_after(2, 2)},
      {"a step after 12 VBLs glides over 12", glide_after(12, 12)},
      {"a step after 13 VBLs glides over 5", glide_after(13, 5)},
      {"a loaded state puts the VBL back mid-glide",
       {{1, pic, unmarked},
        {2, stepped(pic, 3), bits(0.68)},
        {10, stepped(pic, 2), bits(0.68)},
        {6, stepped(pic, 2), bits(0.68)},
        {11, stepped(pic, 2), bits(0.68 + 0.12 / 8)}}},
  };
}

TEST_F(PaletteFade, FrameSequencesShowTheirBrightness) {
  for (const fade_case& c : fade_cases()) {
    SCOPED_TRACE(c.what);
    fade_smooth_clear();
    for (const fade_frame& f : c.frames) {
      const st_palette shown = frame(f.game, f.vbl);
      if (f.b == unmarked) {
        EXPECT_EQ(shown, f.game) << "VBL " << f.vbl;
        continue;
      }
      EXPECT_TRUE(any_marked(shown)) << "VBL " << f.vbl;
      EXPECT_EQ(fade_brightness_of(shown), f.b) << "VBL " << f.vbl;
    }
  }
}

TEST_F(PaletteFade, EntriesOffTheFadeAreNotMarked) {
  const st_palette pic = test_picture();
  frame(pic, 1);
  const st_palette shown = frame(with_entries(stepped(pic, 1), {0, 1}, 0x0123), 100);
  EXPECT_EQ(shown[0] & 0x8FFF, 0x0123u);
  EXPECT_EQ(shown[1] & 0x8FFF, 0x0123u);
  EXPECT_EQ(shown[2], 0x8000u | pic[2] | (shown[2] & 0x3000)) << "marked, undimmed, brightness bits";
}

// From the start values: a black screen is the reference itself, the first
// picture is new, and the first step glides from full over the VBLs since
// VBL 0.
bool start_sequence_shown_right() {
  const st_palette pic = test_picture();
  const st_palette black{};
  return frame(black, 1) == black && frame(pic, 2) == pic &&
         fade_brightness_of(frame(stepped(pic, 1), 3)) == 255 &&
         fade_brightness_of(frame(stepped(pic, 1), 4)) == bits(1 - 0.1 / 3);
}

TEST_F(PaletteFade, ClearingGivesTheStartValues) {
  fade_smooth_clear();
  EXPECT_TRUE(start_sequence_shown_right());
}

// The smoothing as the program starts, before anything clears it: run in a
// fresh process, so no earlier test has touched it.
TEST(PaletteFadeAtStart, StartValuesAreThoseOfAClear) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(start_sequence_shown_right() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(PaletteFade, BrightnessBitsLayout) {
  u8 p[32] = {};
  p[0] = 0x07;
  p[2] = 0x8F;
  p[4] = 0x43;
  palette_put_fade_bits(p, 0xB7); // 101 101 11
  EXPECT_EQ(p[0], 0x57);
  EXPECT_EQ(p[2], 0xDF);
  EXPECT_EQ(p[4], 0x73) << "bit 6 of entry 2 is kept";
  EXPECT_EQ(fade_brightness_of(palette_read(p)), 0xB7);
  EXPECT_EQ(fade_bits_of(1.0), 255);
  EXPECT_EQ(fade_bits_of(0.5), 128);
  EXPECT_EQ(fade_bits_of(-0.2), 0);
  EXPECT_EQ(fade_bits_of(1.7), 255);
}

TEST_F(PaletteFade, AStepEveryFourVblsGlidesFromLevelToLevel) {
  const st_palette pic = test_picture();
  for (u32 v = 1; v <= 40; ++v) EXPECT_FALSE(any_marked(frame(pic, v))) << v;

  // Level 1 first seen after 40 VBLs without change: a glide over 5 VBLs.
  struct expect_at {
    u32 vbl;
    int level;
    int b;
  };
  const expect_at glide[] = {
      {41, 1, 255},
      {43, 1, bits(1 - 0.1 * 2 / 5)},
      {45, 2, bits(1 - 0.1 * 4 / 5)}, // the next step starts where the glide is
      {47, 2, bits(0.92 + (0.8 - 0.92) * 2 / 4)},
      {49, 3, bits(0.8)},
      {51, 3, bits(0.8 + (0.68 - 0.8) * 2 / 4)},
      {53, 4, bits(0.68)},
  };
  int level = 0;
  for (u32 v = 41; v <= 53; ++v) {
    if (v == 41 || v == 45 || v == 49 || v == 53) ++level;
    const st_palette shown = frame(stepped(pic, level), v);
    for (const expect_at& e : glide)
      if (e.vbl == v) {
        EXPECT_EQ(fade_brightness_of(shown), e.b) << v;
      }
    for (int k = 0; k < 16; ++k) {
      EXPECT_TRUE(shown[k] & 0x8000) << v << " entry " << k;
      EXPECT_EQ(shown[k] & 0x0FFF, pic[k]) << "the undimmed colour";
    }
  }
}

TEST_F(PaletteFade, ABlackScreenIsShownBlack) {
  const st_palette pic = test_picture();
  const st_palette black{};
  frame(pic, 1);
  // All at once: a black palette matches the picture at level 7.
  st_palette shown = frame(black, 2);
  EXPECT_EQ(fade_brightness_of(shown), 0);
  EXPECT_TRUE(shown_black(shown));
  shown = frame(black, 3);
  EXPECT_TRUE(shown_black(shown));

  // Step by step: the frame that turns black is black at once.
  fade_smooth_clear();
  frame(pic, 1);
  for (int level = 1; level <= 6; ++level) {
    shown = frame(stepped(pic, level), 4 * level);
    EXPECT_FALSE(shown_black(shown)) << level;
  }
  shown = frame(stepped(pic, 7), 28);
  EXPECT_TRUE(shown_black(shown));
  EXPECT_TRUE(shown_black(frame(black, 30)));

  // And back up one level: a glide up from black.
  shown = frame(stepped(pic, 6), 32);
  EXPECT_EQ(fade_brightness_of(shown), 0);
  shown = frame(stepped(pic, 6), 33);
  EXPECT_GT(fade_brightness_of(shown), 0);
  EXPECT_LT(fade_brightness_of(shown), bits(0.26));
}

TEST_F(PaletteFade, AFadeToBlackThatKeepsTwoColoursLitEndsBlack) {
  const st_palette pic = test_picture();
  frame(pic, 1);
  st_palette game{};
  game[1] = 0x0777; // text the game keeps lit while the picture goes
  game[15] = 0x0700;
  const st_palette shown = frame(game, 2);
  EXPECT_EQ(fade_brightness_of(shown), 0) << "not the old picture at 12 %";
  EXPECT_TRUE(shown[4] & 0x8000) << "the faded entries are drawn at brightness 0";
  EXPECT_EQ(shown[1] & 0x0FFF, 0x0777u) << "the lit entries stay as the game set them";
  EXPECT_EQ(shown[15] & 0x0FFF, 0x0700u);

  // A partial fade with the same two colours lit still glides as before.
  fade_smooth_clear();
  frame(pic, 1);
  st_palette half = stepped(pic, 3);
  half[1] = 0x0777;
  EXPECT_EQ(fade_brightness_of(frame(half, 2)), bits(0.68));
}

TEST_F(PaletteFade, AJumpOfSeveralLevelsHasNoGlide) {
  const st_palette pic = test_picture();
  frame(pic, 1);
  const st_palette shown = frame(stepped(pic, 3), 2);
  EXPECT_EQ(fade_brightness_of(shown), bits(0.68));
  EXPECT_EQ(fade_brightness_of(frame(stepped(pic, 3), 3)), bits(0.68));
}

TEST_F(PaletteFade, TwoChangedEntriesMakeANewReference) {
  const st_palette pic = test_picture();
  frame(pic, 1);
  st_palette changed = pic;
  changed[3] = stepped(pic, 1)[3];
  changed[9] = stepped(pic, 1)[9];
  EXPECT_FALSE(any_marked(frame(changed, 2)));
  EXPECT_FALSE(any_marked(frame(changed, 3)));
  // Fades are now seen against the new reference.
  const st_palette shown = frame(stepped(changed, 2), 4);
  EXPECT_TRUE(any_marked(shown));
  EXPECT_EQ(shown[3] & 0x0FFF, changed[3]);
}

TEST_F(PaletteFade, EntriesThatDoNotFollowTheFadeStayAsTheGameSetThem) {
  const st_palette pic = test_picture();
  frame(pic, 1);
  st_palette game = stepped(pic, 2);
  game[5] = 0x0123; // a colour the game keeps bright
  const st_palette shown = frame(game, 2);
  EXPECT_TRUE(shown[4] & 0x8000);
  EXPECT_EQ(shown[5], 0x0123u);
}

TEST_F(PaletteFade, RasterFramesAndTheLoaderScreenStopTheSmoothing) {
  const st_palette pic = test_picture();
  auto vbl_step = [](const st_palette& game, u32 vbl, int zones) {
    tos.vbl = vbl;
    tos.zone_count = zones;
    palette_write(tos.zones[0].palette, game);
    palette_write(tos.zones[1].palette, game);
    loader_vbl_step();
    return palette_read(tos.zones[0].palette);
  };
  vbl_step(pic, 1, 1);
  EXPECT_EQ(fade_brightness_of(vbl_step(stepped(pic, 1), 41, 1)), 255);
  const st_palette split = vbl_step(stepped(pic, 1), 42, 2);
  EXPECT_FALSE(any_marked(split));
  EXPECT_EQ(split, stepped(pic, 1));
  // Back at level 0: the same step is seen anew and glides from full.
  EXPECT_EQ(fade_brightness_of(vbl_step(stepped(pic, 1), 43, 1)), 255);
  // And two levels below level 0 are a jump, not a glide.
  vbl_step(stepped(pic, 1), 44, 2);
  EXPECT_EQ(fade_brightness_of(vbl_step(stepped(pic, 2), 45, 1)), bits(0.8));

  g_load_seconds = 1;
  ASSERT_EQ(hold_loader_text(), 1);
  const st_palette loader = vbl_step(stepped(pic, 1), 46, 2);
  EXPECT_FALSE(any_marked(loader)) << "the loader screen waits for a one-palette frame";
}

} // namespace
