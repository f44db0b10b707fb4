// Palette-fade smoothing: stepped-down palettes are shown as the reference
// at a gliding brightness; new pictures, raster frames and black screens.
#include "machine/palette_fade.h"

#include "support/st_machine.h"
#include "support/st_palette.h"

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

  g_load_seconds = 1;
  ASSERT_EQ(hold_loader_text(), 1);
  const st_palette loader = vbl_step(stepped(pic, 1), 44, 2);
  EXPECT_FALSE(any_marked(loader)) << "the loader screen waits for a one-palette frame";
}

} // namespace
