// Screen layers of a pack drawn over fixed screens and game frames: where
// the dumped screen still shows, what the game drew over it, which later
// screen hides it, and the palette fades.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "graphics/gfxpack.h"
#include "graphics/pack_state.h"
#include "graphics/present.h"
#include "support/graphics/pack_assets.h"
#include "support/graphics/scene_frames.h"

namespace {

using rgb_t = std::array<int, 3>;
constexpr uint32_t red = 0xFF0000FF, grey = 0x808080FF;
constexpr rgb_t pack_red{255, 0, 0};

// One screen of the dump: its indices (all `index`), its opaque part (all
// but `hole` columns from the left) and whether the pack redraws it in red.
struct screen_spec {
  std::string name;
  int x = 0, y = 0, w = 320, h = 200;
  int order = 0, ingame = 0, palette_sum = 0;
  uint8_t index = 1;
  int clear_columns = 0;
  bool redrawn = true;
};

void write_screens(const pack_assets& a, const std::vector<screen_spec>& screens) {
  std::vector<index_sheet> sheets;
  for (const screen_spec& s : screens) {
    index_sheet sheet("screens/" + s.name, "screen", s.w, s.h, s.w, s.h, 1, 0, {{0, s.name}});
    sheet.idx = "screens/" + s.name + ".idx.png";
    sheet.x = s.x, sheet.y = s.y, sheet.order = s.order, sheet.ingame = s.ingame, sheet.palette_sum = s.palette_sum;
    sheets.push_back(sheet);
    a.write_indices(sheet.idx, std::vector<uint8_t>(static_cast<size_t>(s.w) * s.h, s.index), s.w, s.h);
    rgba_picture dump(s.w, s.h);
    dump.fill(s.clear_columns, 0, s.w - s.clear_columns, s.h, grey);
    a.write_sheet("original", sheet.name, dump);
    if (!s.redrawn) continue;
    rgba_picture mine(s.w, s.h);
    mine.fill(0, 0, s.w, s.h, red);
    a.write_sheet("mine", sheet.name, mine);
  }
  a.write_index(sheets);
}

struct screen_picture {
  int s;
  std::vector<uint8_t> indices = std::vector<uint8_t>(scene_pixels, 1);
  std::vector<uint8_t> rgb;
  palette_zone zones[3] = {};
  int zone_count = 1;
  explicit screen_picture(int scale) : s(scale) { test_palette(zones[0].palette); }
  void put(int x, int y, uint8_t index) { indices[static_cast<size_t>(y * 320 + x)] = index; }
  void box(int x, int y, int w, int h, uint8_t index) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) put(i, j, index);
  }
  void draw_fixed() {
    rgb.assign(static_cast<size_t>(s) * s * scene_pixels * 3, 0);
    render_static(indices.data(), zones, zone_count, s, rgb.data());
    present_static_hook(indices.data(), zones, zone_count, s, rgb.data());
  }
  void draw_in_game() {
    rgb.assign(static_cast<size_t>(s) * s * scene_pixels * 3, 0);
    render_static(indices.data(), zones, zone_count, s, rgb.data());
    cb_hud(rgb.data(), indices.data(), zones, zone_count, s);
  }
  rgb_t at(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * 320 * s + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

rgb_t game(int index) {
  uint8_t c[3];
  test_rgb(index, c);
  return {c[0], c[1], c[2]};
}

class pack_layers_test : public ::testing::Test {
 protected:
  pack_assets a;
  void load(const std::vector<screen_spec>& screens, int scale = 1) { load_into(a, screens, scale); }
  static void load_into(const pack_assets& where, const std::vector<screen_spec>& screens, int scale = 1) {
    write_screens(where, screens);
    ASSERT_EQ(gfxpack_init(where.root().c_str(), scale, "mine"), 1);
    gfxpack_attach();
  }
  void TearDown() override {
    gfxpack_init("", 1, "");
    gfxpack_attach();
  }
};

TEST_F(pack_layers_test, AFixedScreenThatIsTheLayerShowsThePicturesWhereverTheDumpWasOpaque) {
  load({{"title", 0, 0, 320, 200, 0, 0, 0, 1, 10}});
  screen_picture p(1);
  p.draw_fixed();
  EXPECT_EQ(p.at(10, 0), pack_red);
  EXPECT_EQ(p.at(319, 199), pack_red);
  EXPECT_EQ(p.at(9, 100), game(1)) << "outside the dump's opaque part";
  p.box(0, 0, 320, 200, 2);
  p.draw_fixed();
  EXPECT_EQ(p.at(100, 100), game(2)) << "another screen";
}

// A letter drawn by the game over the screen at (x, y): a frame of index 15
// around a hole of 5 x 7 pixels, of which the closing of the letter keeps
// 31 open; a notch in the hole's edge leaves 30. The frame and the notch
// differ from the screen in 29 pixels.
void letter(screen_picture& p, int x, int y, bool notch) {
  p.box(x, y, 7, 9, 15);
  p.box(x + 1, y + 1, 5, 7, 1);
  if (notch) p.put(x + 3, y + 1, 15);
}

// n more pixels of another index from line 170 on.
void scribble(screen_picture& p, int n) {
  for (int i = 0; i < n; ++i) p.put(i % 320, 170 + i / 320, 2);
}

TEST_F(pack_layers_test, WhatTheGameDrawsOverAScreenStaysWithTheHolesOfItsLetters) {
  load({{"title"}});
  struct {
    bool notch;
    int elsewhere;  // 6,371 more: exactly 90 % of the screen still alike
    rgb_t hole;
  } cases[] = {{true, 0, game(1)}, {false, 0, pack_red}, {true, 6371, game(1)}, {true, 6372, pack_red}};
  struct {
    int x, y;
    int outside_x, outside_y;
  } places[] = {{99, 99, 96, 103}, {0, 0, 10, 4}, {313, 191, 310, 195}};
  for (const auto& c : cases)
    for (const auto& at : places) {
      screen_picture p(1);
      letter(p, at.x, at.y, c.notch);
      scribble(p, c.elsewhere);
      p.draw_fixed();
      EXPECT_EQ(p.at(at.x, at.y), game(15));
      EXPECT_EQ(p.at(at.x + 3, at.y + 4), c.hole) << c.notch << " " << c.elsewhere << " at " << at.x;
      EXPECT_EQ(p.at(at.x + 2, at.y + 5), c.hole) << c.notch << " " << c.elsewhere << " at " << at.x;
      EXPECT_EQ(p.at(at.outside_x, at.outside_y), pack_red) << "outside the letter";
      EXPECT_EQ(p.at(50, 20), pack_red);
    }
  // A wider gap between two strokes closes too.
  screen_picture p(1);
  p.box(200, 50, 1, 10, 15);
  p.box(202, 50, 1, 10, 15);
  p.draw_fixed();
  EXPECT_EQ(p.at(201, 55), game(1));
  EXPECT_EQ(p.at(204, 55), pack_red);
}

TEST_F(pack_layers_test, AScreenShownAfterALayerHidesIt) {
  // "menu" (order 1, not redrawn, opaque from column 160) hides the right
  // half of "title" when its own indices show.
  for (uint8_t menu_index : {1, 2}) {
    pack_assets here;
    load_into(here, {{"title", 0, 0, 320, 200, 0}, {"menu", 0, 0, 320, 200, 1, 0, 0, menu_index, 160, false}});
    ASSERT_EQ(pack.layers.size(), 2u);
    screen_picture p(1);
    p.draw_fixed();
    EXPECT_EQ(p.at(20, 100), pack_red);
    EXPECT_EQ(p.at(300, 100), menu_index == 1 ? game(1) : pack_red) << int(menu_index);
  }
  // "menu" counts as shown from 60 % of its mask on.
  for (int changed : {12800, 12801}) {
    pack_assets here;
    load_into(here, {{"title", 0, 0, 320, 200, 0}, {"menu", 0, 0, 320, 200, 1, 0, 0, 1, 160, false}});
    screen_picture p(1);
    for (int i = 0; i < changed; ++i) p.put(160 + i % 160, i / 160, 2);
    p.draw_fixed();
    EXPECT_EQ(p.at(300, 150), changed == 12800 ? game(1) : pack_red) << changed;
  }
  // Covered beyond three quarters, the layer is not drawn at all.
  for (int free_columns : {79, 80}) {
    pack_assets here;
    load_into(here, {{"title", 0, 0, 320, 200, 0}, {"menu", 0, 0, 320, 200, 1, 0, 0, 1, free_columns, false}});
    screen_picture p(1);
    p.draw_fixed();
    EXPECT_EQ(p.at(20, 100), free_columns == 80 ? pack_red : game(1)) << free_columns;
  }
}

TEST_F(pack_layers_test, InGameOnlyInGameLayersMatchingSixtyPercentAreDrawn) {
  load({{"panel", 5, 5, 10, 10, 0, 1, 0, 3}, {"other", 20, 5, 10, 10, 0, 0, 0, 3}, {"edge", 315, 50, 10, 10, 0, 1, 0, 3}});
  for (int matching : {59, 60}) {
    screen_picture p(1);
    p.box(0, 0, 320, 200, 0);
    for (int n = 0; n < matching; ++n) p.put(5 + n % 10, 5 + n / 10, 3);
    p.box(20, 5, 10, 10, 3);
    p.box(0, 50, 320, 10, 3);
    p.draw_in_game();
    EXPECT_EQ(p.at(319, 50), pack_red) << "a layer partly off the screen";
    EXPECT_EQ(p.at(0, 51), game(3)) << "nothing of it comes round to the next line";
    EXPECT_EQ(p.at(5, 5), matching == 60 ? pack_red : game(3)) << matching;
    EXPECT_EQ(p.at(14, 14), game(0)) << "a pixel of another index is the game's";
    EXPECT_EQ(p.at(20, 5), game(3)) << "not an in-game layer";
  }
}

TEST_F(pack_layers_test, LayersFollowTheFadeOfThePaletteThatGovernsTheirMiddle) {
  // test_palette's 48 bytes add up to 5,032.
  struct {
    int palette_sum;
    int zones;  // 1: test_palette alone; 3: black, test_palette from line 10, black from 11
    int red_level;
  } cases[] = {{10064, 3, 127}, {10064, 1, 127}, {2516, 3, 255}, {0, 3, 255}};
  for (const auto& c : cases) {
    pack_assets here;
    load_into(here, {{"panel", 5, 5, 10, 10, 0, 1, c.palette_sum, 3}});
    screen_picture p(1);
    p.box(5, 5, 10, 10, 3);
    if (c.zones == 3) {
      // The panel's middle line 10 takes the second zone.
      p.zones[1] = p.zones[0];
      p.zones[1].line = 10;
      for (uint8_t& b : p.zones[0].palette) b = 0;
      p.zones[2] = p.zones[0];
      p.zones[2].line = 11;
    }
    p.zone_count = c.zones;
    p.draw_in_game();
    EXPECT_EQ(p.at(10, 10), (rgb_t{c.red_level, 0, 0})) << c.palette_sum << " " << c.zones;
    EXPECT_EQ(p.at(15, 10), game(1)) << "beside the layer";
  }
}

TEST_F(pack_layers_test, ANewOutputScaleReloadsThePackAtThatScale) {
  load({{"panel", 5, 5, 10, 10, 0, 1, 0, 3}}, 1);
  ASSERT_EQ(pack.layers[0].picture.size(), 10u * 10 * 4);
  const uint32_t gen = pack_gen;
  scene_frame* f = test_frame(100, BG_VERTICAL, 0, 3);
  f->ring = static_cast<uint8_t*>(std::calloc(256 * 192, 1));
  render_params params{};
  params.scale = 2;
  std::vector<uint8_t> out(static_cast<size_t>(4) * 192000 * 3);
  render(f, f, &params, out.data(), 0);
  EXPECT_EQ(pack_gen, gen + 1);
  EXPECT_EQ(pack.layers[0].picture.size(), 20u * 20 * 4);
  const uint8_t* p = &out[(static_cast<size_t>(10) * 640 + 10) * 3];
  EXPECT_EQ((rgb_t{p[0], p[1], p[2]}), pack_red);
  frame_unref(f);
}

}  // namespace
