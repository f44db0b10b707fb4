// Graphics packs: which folders are packs, which one is chosen, and what a
// pack's sheets load, checked against hand-made dumps and packs.
#include "graphics/gfxpack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "graphics/content_hash.h"
#include "graphics/level_pack.h"
#include "graphics/pack_state.h"
#include "graphics/present.h"
#include "support/log_capture.h"
#include "support/pack_assets.h"

namespace {

constexpr uint32_t red = 0xFF0000FF, green = 0x00FF00FF, blue = 0x0000FFFF, grey = 0x808080FF;

// Two sprite cells of 6 x 6 (a 2 x 2 frame with a margin of 2) side by side.
index_sheet sprite_sheet(const std::string& name, const std::string& hash0, const std::string& hash1 = "") {
  index_sheet s{name, "sprite", 12, 6, 6, 6, 2, 2, {{0, hash0}, {1, hash1}}};
  return s;
}

rgba_picture dumped_sprites() {
  rgba_picture p(12, 6);
  p.fill(2, 2, 2, 2, grey);
  p.fill(8, 2, 2, 2, grey);
  return p;
}

// A 4 x 2 full-size screen layer named screens/<name>.
index_sheet screen_sheet(const std::string& name, int order) {
  index_sheet s{"screens/" + name, "screen", 4, 2, 4, 2, 1, 0, {{0, name}}};
  s.idx = "screens/" + name + ".idx.png";
  s.order = order;
  return s;
}

// A dump of one sprite sheet and pack folders that redraw its first cell.
void sprite_dump(const pack_assets& at, const std::vector<std::string>& packs) {
  at.write_index({sprite_sheet("sprites/solo", "aaaaaaaaaaaa")});
  at.write_sheet("original", "sprites/solo", dumped_sprites());
  rgba_picture redrawn = dumped_sprites();
  redrawn.fill(0, 0, 6, 6, red);
  for (const std::string& p : packs) at.write_sheet(p, "sprites/solo", redrawn);
}

class gfxpack_test : public ::testing::Test {
 protected:
  pack_assets a;
  log_capture log;
  void TearDown() override {
    unsetenv("BKM_ASSETS");
    gfxpack_init("", 1, "");
    gfxpack_attach();
  }
  void sprite_dump_and_packs(const std::vector<std::string>& packs) { sprite_dump(a, packs); }
  std::vector<std::string> listed() const {
    std::vector<std::string> out;
    for (int i = 0; i < gfxpack_list_count(); ++i) out.push_back(gfxpack_list_name(i));
    return out;
  }
};

TEST_F(gfxpack_test, WithoutAUsableIndexNoHookIsInstalled) {
  struct {
    const char* what;
    int format;  // 0: no index at all
    const char* assets_env;
    int usable;
    bool bom = false;
  } cases[] = {
      {"no index", 0, nullptr, 0},
      {"another format", 1, nullptr, 0},
      {"switched off", 2, "0", 0},
      {"switched on", 2, "1", 1},
      {"usable", 2, nullptr, 1},
      {"with a byte-order mark", 2, nullptr, 1, true},
  };
  for (const auto& c : cases) {
    pack_assets here;
    if (c.format) here.write_index({sprite_sheet("sprites/solo", "aaaaaaaaaaaa")}, c.format);
    if (c.bom) spit(here.dir / "original/index.json", "\xEF\xBB\xBF" + slurp(here.dir / "original/index.json"));
    if (c.assets_env)
      setenv("BKM_ASSETS", c.assets_env, 1);
    else
      unsetenv("BKM_ASSETS");
    EXPECT_EQ(gfxpack_init(here.root().c_str(), 2, ""), c.usable) << c.what;
    gfxpack_attach();
    EXPECT_EQ(pack_sprite_cb != nullptr, c.usable == 1) << c.what;
    EXPECT_EQ(pack_hud_cb != nullptr, c.usable == 1) << c.what;
    EXPECT_EQ(pack_texture_cb != nullptr, c.usable == 1) << c.what;
    EXPECT_EQ(present_static_cb != nullptr, c.usable == 1) << c.what;
    EXPECT_EQ(pack_level_cb != nullptr, c.usable == 1) << c.what;
    EXPECT_EQ(level_pack.ground_rgba != nullptr, c.usable == 1) << c.what;
    EXPECT_EQ(level_pack.builders_add != nullptr, c.usable == 1) << c.what;
    EXPECT_STREQ(gfxpack_name(), "original") << c.what;
  }
  EXPECT_TRUE(log.has("assets/original/index.json is from another version of the program: ignored (the new dump "
                      "is needed)"));
}

TEST_F(gfxpack_test, PacksAreFoldersHoldingASheetOfTheIndexSortedByName) {
  sprite_dump_and_packs({"b", "a", "originals", "original2", ".hidden", "origina1"});
  a.make_folder("empty");
  spit(a.dir / "empty/sprites.png", "");
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, nullptr), 1);
  EXPECT_EQ(listed(), (std::vector<std::string>{"a", "b", "origina1"}));
  EXPECT_STREQ(gfxpack_name(), "a");
  EXPECT_EQ(gfxpack_replaced(), 1);
  EXPECT_TRUE(log.has("Graphics pack: a (1 replaced elements)"));
  EXPECT_STREQ(gfxpack_list_name(3), "");
  EXPECT_STREQ(gfxpack_list_name(-1), "");
}

TEST_F(gfxpack_test, AWantedPackThatIsMissingFallsBackAndIsLogged) {
  struct {
    std::vector<std::string> packs;
    const char* wanted;
    const char* chosen;
    const char* logged;  // null: no line about the choice
  } cases[] = {
      {{"b", "a"}, "b", "b", "Graphics pack: b (1 replaced elements)"},
      {{"b", "a"}, "zz", "a", "Graphics pack \"zz\" not found in %s (using a)"},
      {{"b", "a"}, "original", "original", nullptr},
      {{}, "zz", "original", "Graphics pack \"zz\" not found in %s (using the original)"},
      {{}, "", "original", nullptr},
  };
  for (const auto& c : cases) {
    pack_assets here;
    sprite_dump(here, c.packs);
    log_capture lines;
    ASSERT_EQ(gfxpack_init(here.root().c_str(), 2, c.wanted), 1);
    EXPECT_STREQ(gfxpack_name(), c.chosen) << c.wanted;
    if (c.logged) {
      char line[400];
      std::snprintf(line, sizeof line, c.logged, here.root().c_str());
      EXPECT_TRUE(lines.has(line)) << lines.text();
    } else {
      EXPECT_EQ(lines.text().find("Graphics pack"), std::string::npos) << lines.text();
    }
  }
}

TEST_F(gfxpack_test, NoMoreThanSixtyFourPacksAreListed) {
  std::vector<std::string> packs;
  for (int i = 0; i < 70; ++i) packs.push_back("p" + std::to_string(100 + i));
  sprite_dump_and_packs(packs);
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "original"), 1);
  const std::vector<std::string> names = listed();
  ASSERT_EQ(names.size(), 64u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST_F(gfxpack_test, ASheetLoadsAtAWholeMultipleOfTheDumpsSizeOnly) {
  struct {
    int w, h;
    int k;  // 0: ignored
  } cases[] = {{12, 6, 1}, {36, 18, 3}, {36, 20, 3}, {36, 21, 0}, {18, 6, 0}, {12, 7, 0}, {24, 6, 0}, {6, 3, 0}};
  a.write_index({sprite_sheet("sprites/solo", "aaaaaaaaaaaa")});
  a.write_sheet("original", "sprites/solo", dumped_sprites());
  for (const auto& c : cases) {
    rgba_picture p(c.w, c.h);
    p.fill(0, 0, c.w, c.h, red);
    a.write_sheet("mine", "sprites/solo", p);
    log_capture lines;
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
    if (c.k) {
      ASSERT_EQ(gfxpack_replaced(), 1) << c.w << "x" << c.h;
      EXPECT_EQ(pack.reps[0].k, c.k);
      EXPECT_EQ(pack.reps[0].pixels.size(), static_cast<size_t>(6 * c.k * 6 * c.k * 4));
    } else {
      EXPECT_EQ(gfxpack_replaced(), 0) << c.w << "x" << c.h;
      char line[200];
      std::snprintf(line, sizeof line, "Sheet ignored (sprites/solo: %dx%d, it must be 12x6 or an integer multiple)",
                    c.w, c.h);
      EXPECT_TRUE(lines.has(line)) << lines.text();
    }
  }
  // A sheet the index gives no width is never taken; one a pixel wide is.
  for (int width : {0, 1}) {
    pack_assets here;
    here.write_index({index_sheet("sprites/thin", "sprite", width, 1, 1, 1, 1, 0, {{0, "thin"}})});
    rgba_picture p(1, 1);
    p.fill(0, 0, 1, 1, red);
    here.write_sheet("mine", "sprites/thin", p.enlarged(2));
    log_capture lines;
    ASSERT_EQ(gfxpack_init(here.root().c_str(), 2, "mine"), 1);
    EXPECT_EQ(gfxpack_replaced(), width) << width;
    EXPECT_EQ(lines.has("Sheet ignored (sprites/thin: 2x2, it must be 0x1 or an integer multiple)"), width == 0);
  }
  spit(a.dir / "mine/sprites/solo.png", "not a picture");
  log_capture lines;
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  EXPECT_EQ(gfxpack_replaced(), 0);
  EXPECT_TRUE(lines.has("Could not read the sheet " + (a.dir / "mine/sprites/solo.png")));
}

TEST_F(gfxpack_test, OnlyCellsTheUserChangedBecomeReplacements) {
  // Cells: 0 redrawn, 1 as dumped, 2 wiped out, 3 redrawn but without a
  // hash, 4 outside the sheet.
  index_sheet s{"sprites/four", "sprite", 24, 6, 6, 6, 4, 2,
                {{0, "c0"}, {1, "c1"}, {2, "c2"}, {3, ""}, {9, "c9"}}};
  a.write_index({s});
  rgba_picture dump(24, 6);
  for (int c = 0; c < 4; ++c) dump.fill(6 * c + 2, 2, 2, 2, grey);
  a.write_sheet("original", "sprites/four", dump);
  rgba_picture mine = dump;
  mine.fill(0, 0, 6, 6, red);
  // Cell 1 as dumped where it is seen: its clear pixels may hold any colour.
  mine.fill(6, 0, 6, 2, 0xFF00FF00);
  mine.fill(12, 0, 6, 6, 0);
  mine.fill(18, 0, 6, 6, blue);
  for (int k : {1, 2}) {
    a.write_sheet("mine", "sprites/four", mine.enlarged(k));
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
    std::vector<std::string> kept;
    for (const pack_record& r : pack.reps) kept.push_back(r.hash);
    // At k = 2 a cell left as dumped is no longer compared with the dump.
    const std::vector<std::string> expected = k == 1 ? std::vector<std::string>{"c0"} : std::vector<std::string>{"c0", "c1"};
    EXPECT_EQ(kept, expected) << k;
  }
  EXPECT_EQ(gfxpack_has_tiles(), 0);
}

TEST_F(gfxpack_test, TheFirstSheetWithAHashWinsWithinItsKind) {
  index_sheet ground{"tiles/ground_1", "ground", 12, 6, 6, 6, 2, 0, {{1, "same"}}};
  a.write_index({sprite_sheet("sprites/one", "same"), sprite_sheet("sprites/two", "same"), ground});
  for (const char* name : {"sprites/one", "sprites/two"}) a.write_sheet("original", name, dumped_sprites());
  rgba_picture one = dumped_sprites(), two = dumped_sprites(), tiles(12, 6);
  one.fill(0, 0, 6, 6, red);
  two.fill(0, 0, 6, 6, blue);
  tiles.fill(6, 0, 6, 6, green);
  a.write_sheet("mine", "sprites/one", one);
  a.write_sheet("mine", "sprites/two", two);
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  EXPECT_EQ(gfxpack_has_tiles(), 0);
  ASSERT_EQ(gfxpack_replaced(), 1);
  a.write_sheet("mine", "tiles/ground_1", tiles);
  gfxpack_reload();
  ASSERT_EQ(gfxpack_replaced(), 2);
  EXPECT_EQ(gfxpack_has_tiles(), 1);
  const pack_record& sprite = pack.reps[static_cast<size_t>(rep_find('s', "same"))];
  EXPECT_EQ(sprite.pixels[0], 255) << "red, from the first sheet";
  EXPECT_EQ(sprite.pixels[2], 0);
  const pack_record& tile = pack.reps[static_cast<size_t>(rep_find('g', "same"))];
  EXPECT_EQ(tile.pixels[1], 255) << "the second column's cell";
}

// A hand-edited index may place many cells on one spot of a large sheet:
// each would keep its own copy of the spot. A spot is cut once per sheet,
// so a sheet adds at most itself to the pack, and a screen sheet gives one
// layer.
TEST_F(gfxpack_test, EachSpotOfASheetIsCutOnce) {
  index_sheet sprites{"sprites/big", "sprite", 12, 6, 6, 6, 2, 0,
                      {{0, "h0"}, {0, "h1"}, {1, "h2"}, {0, "h3"}, {1, "h4"}}};
  index_sheet screen = screen_sheet("two", 0);
  screen.cell_w = 2, screen.cols = 2;
  screen.cells = {{0, "s0"}, {1, "s1"}, {0, "s2"}};
  a.write_index({sprites, screen});
  a.write_indices("screens/two.idx.png", std::vector<uint8_t>(8, 1), 4, 2);
  rgba_picture dump(4, 2);
  dump.fill(0, 0, 4, 2, grey);
  a.write_sheet("original", "screens/two", dump);
  rgba_picture mine(12, 6), screen_art(4, 2);
  mine.fill(0, 0, 12, 6, red);
  screen_art.fill(0, 0, 4, 2, blue);
  a.write_sheet("mine", "sprites/big", mine);
  a.write_sheet("mine", "screens/two", screen_art);
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  std::vector<std::string> kept;
  for (const pack_record& r : pack.reps) kept.push_back(r.hash);
  EXPECT_EQ(kept, (std::vector<std::string>{"h0", "h2", "s0", "s1"}));
  ASSERT_EQ(pack.layers.size(), 1u);
  EXPECT_EQ(pack.layers[0].name, "screens/two");
  EXPECT_EQ(pack.layers[0].picture.size(), static_cast<size_t>(8 * 4 * 4)) << "from the first cell, 4 x 2 at scale 2";
}

// Members a hand-written index leaves out or gets wrong read as their
// defaults; nothing is read past a short array.
TEST_F(gfxpack_test, MembersLeftOutOrTooShortReadAsTheirDefaults) {
  struct row {
    const char* sheet;  // the members after "kind", "width" and "height"
    int replaced;
    int crop_x, crop_y;
  };
  const row rows[] = {
      {R"("cell":[6,6],"cols":2,"cells":[{"hash":"h","crop":[1,2]}])", 1, 1, 2},
      {R"("cell":[6,6],"cols":2,"cells":[{"hash":"h","crop":[1]}])", 1, 0, 0},
      {R"("cell":[6,6],"cells":[{"hash":"h","i":1}])", 0, 0, 0},           // one column: cell 1 lies below
      {R"("cell":[6,6],"cols":0,"cells":[{"hash":"h","i":1}])", 0, 0, 0},
      {R"("cell":[6,6],"cols":-3,"cells":[{"i":0,"hash":"h"}])", 1, 0, 0},
      {R"("cell":[6],"cols":2,"cells":[{"hash":"h"}])", 0, 0, 0},
      {R"("cell":[6,6],"cols":2)", 0, 0, 0},
      {R"("cell":[6,6],"cols":2,"cells":{"hash":"h"})", 0, 0, 0},
  };
  rgba_picture mine(12, 6);
  mine.fill(0, 0, 12, 6, red);
  a.write_sheet("mine", "sprites/s", mine);
  a.make_folder("original");
  for (const row& r : rows) {
    spit(a.dir / "original/index.json", std::string(R"({"format":2,"sheets":{"sprites/s":{"kind":"sprite","width":12,"height":6,)") +
                                            r.sheet + "}}}");
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1) << r.sheet;
    ASSERT_EQ(gfxpack_replaced(), r.replaced) << r.sheet;
    if (!r.replaced) continue;
    EXPECT_EQ(pack.reps[0].crop_x, r.crop_x) << r.sheet;
    EXPECT_EQ(pack.reps[0].crop_y, r.crop_y) << r.sheet;
  }
}

// Cells larger than twice the screen are no sprite or tile: scaled to the
// output they could take gigabytes.
TEST_F(gfxpack_test, SpriteAndTileCellsLargerThanTwiceTheScreenAreLeftOut) {
  struct row {
    int w, h;
    bool kept;
  };
  const row rows[] = {{640, 4, true}, {641, 4, false}, {4, 400, true}, {4, 401, false}};
  for (const row& r : rows) {
    for (const char* kind : {"sprite", "object"}) {
      a.write_index({index_sheet{"sprites/wide", kind, r.w, r.h, r.w, r.h, 1, 0, {{0, "wide"}}}});
      rgba_picture mine(r.w, r.h);
      mine.fill(0, 0, r.w, r.h, red);
      a.write_sheet("mine", "sprites/wide", mine);
      ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
      EXPECT_EQ(gfxpack_replaced(), r.kept ? 1 : 0) << kind << " " << r.w << "x" << r.h;
    }
  }
}

// The dump index is a user file: one larger than the reader takes is not
// read (a sparse file here), and packs are then off.
TEST_F(gfxpack_test, AnIndexLargerThanAnyDumpWritesIsNotRead) {
  sprite_dump_and_packs({"mine"});
  const std::string index = a.dir / "original/index.json";
  std::filesystem::resize_file(index, pack_index_largest);
  EXPECT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1) << "zero bytes after the JSON end the text";
  std::filesystem::resize_file(index, pack_index_largest + 1);
  EXPECT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 0);
  EXPECT_TRUE(log.has(index + " is not read: " + std::to_string(pack_index_largest + 1) + " bytes, more than the " +
                      std::to_string(pack_index_largest) + " a file of its kind can hold"))
      << log.text();
}

TEST_F(gfxpack_test, SelectingTheOriginalDropsEverythingAndRaisesTheGeneration) {
  a.write_index({screen_sheet("title", 0)});
  a.write_indices("screens/title.idx.png", std::vector<uint8_t>(8, 1), 4, 2);
  rgba_picture dump(4, 2);
  dump.fill(0, 0, 4, 2, grey);
  a.write_sheet("original", "screens/title", dump);
  rgba_picture mine(4, 2);
  mine.fill(0, 0, 4, 2, red);
  a.write_sheet("mine", "screens/title", mine);
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, ""), 1);
  EXPECT_EQ(gfxpack_replaced(), 1);
  EXPECT_EQ(gfxpack_has_layers(), 1);
  const uint32_t gen = pack_gen;
  gfxpack_select("original");
  EXPECT_STREQ(gfxpack_name(), "original");
  EXPECT_EQ(gfxpack_replaced(), 0);
  EXPECT_EQ(gfxpack_has_layers(), 0);
  EXPECT_EQ(pack_gen, gen + 1);
  gfxpack_select("mine");
  EXPECT_EQ(gfxpack_has_layers(), 1);
  EXPECT_EQ(pack_gen, gen + 2);
}

TEST_F(gfxpack_test, RedrawnScreensBecomeLayersAndTheOthersStandBesideThemByOrder) {
  index_sheet hud = screen_sheet("hud", 3), odd = screen_sheet("odd", 5), bare = screen_sheet("bare", 4);
  hud.x = 2, hud.y = 1, hud.ingame = 1, hud.palette_sum = 700;
  bare.idx = "";  // no indexed picture named
  index_sheet map = screen_sheet("map", 1), shop = screen_sheet("shop", 0), title = screen_sheet("title", 1);
  a.write_index({map, hud, odd, bare, shop, title});
  rgba_picture dump(4, 2);
  dump.fill(0, 0, 4, 2, grey);
  dump.fill(0, 0, 1, 1, 0);
  for (const char* name : {"hud", "odd", "bare", "map", "shop", "title"}) {
    a.write_sheet("original", std::string("screens/") + name, dump);
    a.write_indices(std::string("screens/") + name + ".idx.png", std::vector<uint8_t>(8, 1), 4, 2);
  }
  a.write_indices("screens/odd.idx.png", std::vector<uint8_t>(9, 1), 3, 3);
  rgba_picture mine(4, 2);
  mine.fill(0, 0, 4, 2, red);
  for (const char* name : {"hud", "odd", "bare"}) a.write_sheet("mine", std::string("screens/") + name, mine);
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  EXPECT_EQ(gfxpack_replaced(), 3) << "every redrawn screen is a record";
  EXPECT_TRUE(log.has("Layer without indices (screens/bare)"));
  std::vector<std::string> names;
  for (const pack_layer& l : pack.layers) names.push_back(l.name + (l.picture.empty() ? "" : "*"));
  EXPECT_EQ(names, (std::vector<std::string>{"screens/shop", "screens/map", "screens/title", "screens/hud*"}));
  const pack_layer& l = pack.layers.back();
  EXPECT_EQ((std::vector<int>{l.x, l.y, l.width, l.height, l.order, l.ingame, l.mask_count, l.palette_sum}),
            (std::vector<int>{2, 1, 4, 2, 3, 1, 7, 700}));
  EXPECT_EQ(l.picture.size(), static_cast<size_t>(8 * 4 * 4)) << "4 x 2 at scale 2";
  EXPECT_EQ(l.mask[0], 0);
  EXPECT_EQ(pack.layers[0].ingame, 0);
}

TEST_F(gfxpack_test, TheIndexTableGrowsBeforeItIsHalfFull) {
  gfxpack_select("original");
  // FNV-1a of "abc" is 0x1a47e90b; the kind's code times 7919 is mixed in.
  for (char kind : {'s', 'g'}) {
    pack_record r{};
    r.kind = kind;
    std::snprintf(r.hash, sizeof r.hash, "abc");
    rep_add(std::move(r));
    EXPECT_EQ(pack.table[kind == 's' ? 62 : 18], kind == 's' ? 0 : 1) << kind;
  }
  gfxpack_select("original");
  for (int n = 0; n < 35; ++n) {
    pack_record r{};
    r.kind = n % 2 ? 's' : 'g';
    std::snprintf(r.hash, sizeof r.hash, "%012d", n / 2);
    rep_add(std::move(r));
    EXPECT_EQ(pack.table.size(), n < 34 ? 68u : 204u) << n;
  }
  for (int n = 0; n < 35; ++n) {
    char hash[16];
    std::snprintf(hash, sizeof hash, "%012d", n / 2);
    EXPECT_EQ(rep_find(n % 2 ? 's' : 'g', hash), n);
  }
  EXPECT_EQ(rep_find('o', "000000000000"), -1);
  EXPECT_EQ(rep_find('s', "000000000017"), -1);
  gfxpack_select("original");
  EXPECT_TRUE(pack.table.empty());
}

}  // namespace
