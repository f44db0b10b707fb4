// Graphics packs: which folders are packs, which one is chosen, and what a
// pack's sheets load, checked against hand-made dumps and packs.
#include "graphics/gfxpack.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "graphics/content_hash.h"
#include "graphics/level_pack.h"
#include "graphics/pack_state.h"
#include "graphics/png_codec.h"
#include "graphics/present.h"
#include "png_reference.h"
#include "support/log_capture.h"
#include "support/graphics/pack_assets.h"

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
    pack.budget = pack_budget;
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

// A PNG file whose header declares w x h pixels and whose image data are a
// few bytes: what a reader that allocates from the header alone pays for in
// full.
void declared_only(const std::string& path, uint32_t w, uint32_t h) {
  std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&f](const char* type, const std::vector<uint8_t>& data) {
    for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(data.size() >> s));
    const size_t start = f.size();
    f.insert(f.end(), type, type + 4);
    f.insert(f.end(), data.begin(), data.end());
    const uint32_t crc = png_crc32(f.data() + start, f.size() - start);
    for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(crc >> s));
  };
  std::vector<uint8_t> header;
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) header.push_back(static_cast<uint8_t>(v >> s));
  header.insert(header.end(), {8, 6, 0, 0, 0});
  chunk("IHDR", header);
  std::vector<uint8_t> zeros(16, 0), packed(64);
  uLongf n = packed.size();
  compress(packed.data(), &n, zeros.data(), zeros.size());
  packed.resize(n);
  chunk("IDAT", packed);
  chunk("IEND", {});
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  spit(path, std::string(f.begin(), f.end()));
}

// A sheet's header is read first: a size the rules refuse, or one the
// pack's pictures cannot hold, is never decoded, so a file of a few bytes
// declaring gigabytes costs nothing; the log says which rule refused it.
TEST_F(gfxpack_test, ASheetIsJudgedByItsHeaderBeforeAnyPixelIsDecoded) {
  const std::string solo = a.dir / "mine/sprites/solo.png", huge = a.dir / "mine/sprites/huge.png";
  struct row {
    const char* what;
    int k;                // > 0: a drawn picture at k times; else the header below
    uint32_t w, h;        // the header of a file with a few bytes of image data
    const char* sheet;    // which sheet the file stands for
    int replaced;
    std::string logged;  // empty: no line
  };
  const row rows[] = {
      {"8 times, the most", 8, 0, 0, "solo", 1, ""},
      {"9 times", 9, 0, 0, "solo", 0,
       "Sheet ignored (sprites/solo: 108x54 is 9 times the dump's 12x6, more than the 8 times a pack may use)"},
      {"41 times, declared", 0, 492, 246, "solo", 0,
       "Sheet ignored (sprites/solo: 492x246 is 41 times the dump's 12x6, more than the 8 times a pack may use)"},
      {"16384 x 16384, declared", 0, 16384, 16384, "solo", 0,
       "Sheet ignored (sprites/solo: 16384x16384, it must be 12x6 or an integer multiple)"},
      {"8 times, declared with too little image data", 0, 96, 48, "solo", 0, "Could not read the sheet " + solo},
      {"16384 x 16384 at 8 times a large sheet, declared", 0, 16384, 16384, "huge", 0,
       "Sheet skipped (sprites/huge: 16384x16384 would take the pack's pictures past 512 MB)"},
  };
  a.write_index({sprite_sheet("sprites/solo", "aaaaaaaaaaaa"),
                 index_sheet{"sprites/huge", "sprite", 2048, 2048, 64, 64, 32, 0, {{0, "hhhhhhhhhhhh"}}}});
  a.write_sheet("original", "sprites/solo", dumped_sprites());
  for (const row& r : rows) {
    std::filesystem::remove_all(a.dir / "mine");
    const std::string path = r.sheet == std::string("solo") ? solo : huge;
    if (r.k > 0) {
      rgba_picture p(12 * r.k, 6 * r.k);
      p.fill(0, 0, p.w, p.h, red);
      a.write_sheet("mine", "sprites/solo", p);
    } else {
      declared_only(path, r.w, r.h);
    }
    log_capture lines;
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1) << r.what;
    EXPECT_EQ(gfxpack_replaced(), r.replaced) << r.what;
    if (r.replaced) {
      EXPECT_EQ(pack.reps[0].k, r.k) << r.what;
    }
    const std::string text = lines.text();
    if (r.logged.empty())
      EXPECT_EQ(text.find("Sheet"), std::string::npos) << r.what << ": " << text;
    else
      EXPECT_TRUE(lines.has(r.logged)) << r.what << ": " << text;
  }
}

// What the pack's pictures hold is bounded as a whole: a sheet is read only
// when its whole picture still fits in what is left, and what it keeps (the
// cells that differ from the dump) is taken off; a sheet past the bound is
// skipped and named, and the sheets after it still load when they fit.
TEST_F(gfxpack_test, SheetsPastTheBudgetAreSkippedAndTheOthersStillWork) {
  // Sheets of four 64 x 64 cells (128 x 128 at 1 time).
  auto sheet = [](const std::string& name) {
    return index_sheet{"sprites/" + name, "sprite", 128, 128, 64, 64, 2, 0,
                       {{0, name + "0"}, {1, name + "1"}, {2, name + "2"}, {3, name + "3"}}};
  };
  struct row {
    const char* name;
    int k;
    bool changed_one_only;  // else every cell is redrawn
    bool loaded;
  };
  const row rows[] = {
      {"a", 2, false, true},   // 256 KB read, 256 KB kept
      {"b", 4, false, false},  // 1 MB: past what is left
      {"c", 2, false, true},   // 256 KB: 512 KB kept
      {"d", 1, true, true},    // 64 KB read, one 16 KB cell kept
      {"e", 4, false, false},
      {"f", 2, false, true},   // 256 KB: 784 KB kept
      {"g", 2, false, true},   // 256 KB: 1,040 KB kept, the budget exactly
      {"h", 1, true, false},   // 64 KB more would pass it
  };
  std::vector<index_sheet> sheets;
  for (const row& r : rows) sheets.push_back(sheet(r.name));
  a.write_index(sheets);
  rgba_picture dump(128, 128);
  dump.fill(0, 0, 128, 128, grey);
  for (const row& r : rows) {
    a.write_sheet("original", std::string("sprites/") + r.name, dump);
    rgba_picture mine = dump;
    mine.fill(0, 0, r.changed_one_only ? 64 : 128, r.changed_one_only ? 64 : 128, red);
    a.write_sheet("mine", std::string("sprites/") + r.name, mine.enlarged(r.k));
  }
  pack.budget = size_t{1040} << 10;
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  for (int pass = 0; pass < 2; ++pass) {
    size_t held = 0;
    for (const row& r : rows) {
      const int cells = r.changed_one_only ? 1 : 4;
      for (int c = 0; c < 4; ++c) {
        const std::string hash = r.name + std::to_string(c);
        EXPECT_EQ(rep_find('s', hash.c_str()) >= 0, r.loaded && c < cells) << pass << " " << hash;
      }
      if (r.loaded) held += static_cast<size_t>(cells) * 64 * r.k * 64 * r.k * 4;
      const int side = 128 * r.k;
      char line[200];
      std::snprintf(line, sizeof line, "Sheet skipped (sprites/%s: %dx%d would take the pack's pictures past 1 MB)",
                    r.name, side, side);
      EXPECT_EQ(log.has(line), !r.loaded) << line;
    }
    EXPECT_EQ(pack.held, held);
    // The sprites the pack holds are answered; a reload counts afresh.
    sprite* spr = sprite_new(64, 64);
    std::snprintf(spr->hash, sizeof spr->hash, "f2");
    spr->hash_valid = 1;
    pack_picture out{};
    EXPECT_EQ(cb_sprite(spr, 2, &out, 0), 1);
    sprite_unref(spr);
    gfxpack_reload();
  }
}

// A screen is a layer drawn at the output scale: that picture counts too.
TEST_F(gfxpack_test, AScreenLayerPastTheBudgetIsSkippedAndItsSheetNamed) {
  std::vector<index_sheet> sheets = {screen_sheet("title", 0), sprite_sheet("sprites/solo", "aaaaaaaaaaaa")};
  sheets[0].width = 320, sheets[0].height = 200, sheets[0].cell_w = 320, sheets[0].cell_h = 200;
  a.write_index(sheets);
  rgba_picture dump(320, 200), mine(320, 200);
  dump.fill(0, 0, 320, 200, grey);
  mine.fill(0, 0, 320, 200, red);
  a.write_sheet("original", "screens/title", dump);
  a.write_indices("screens/title.idx.png", std::vector<uint8_t>(320 * 200, 1), 320, 200);
  a.write_sheet("mine", "screens/title", mine);
  a.write_sheet("original", "sprites/solo", dumped_sprites());
  rgba_picture sprites = dumped_sprites();
  sprites.fill(0, 0, 6, 6, red);
  a.write_sheet("mine", "sprites/solo", sprites);
  // The cell (250 KB) fits in 1 MB; its layer at scale 2 (64,000 indices,
  // as many mask bytes and 1,000 KB of picture) does not.
  pack.budget = size_t{1} << 20;
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  EXPECT_TRUE(log.has("Layer skipped (screens/title: it would take the pack's pictures past 1 MB)")) << log.text();
  EXPECT_EQ(gfxpack_has_layers(), 0);
  EXPECT_GE(rep_find('s', "aaaaaaaaaaaa"), 0) << "the next sheet still loads";
  // At scale 1 the layer (62.5 KB and 250 KB) fits.
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 1, "mine"), 1);
  EXPECT_EQ(gfxpack_has_layers(), 1);
  EXPECT_EQ(pack.held, size_t{320} * 200 * 4 + 6 * 6 * 4 + size_t{320} * 200 * (2 + 4));
}

TEST_F(gfxpack_test, ASheetRefusedForItsFormatSaysWhyAndHowToSaveIt) {
  struct row {
    int colour_type, depth;
    bool interlace;
    const char* why;
  };
  const row rows[] = {
      {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, "16-bit PNG: save it with 8 bits per channel"},
      {PNG_COLOR_TYPE_PALETTE, 1, false, "palette of 1/2/4 bits: save it with 8 bits"},
      {PNG_COLOR_TYPE_PALETTE, 4, false, "palette of 1/2/4 bits: save it with 8 bits"},
      {PNG_COLOR_TYPE_GRAY, 2, false, "grey of 1/2/4 bits: save it with 8 bits"},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, true, "interlaced: save it without interlacing"},
  };
  a.write_index({sprite_sheet("sprites/solo", "aaaaaaaaaaaa")});
  a.write_sheet("original", "sprites/solo", dumped_sprites());
  const std::string path = a.dir / "mine/sprites/solo.png";
  for (const row& r : rows) {
    pngref::encode_options o;
    o.colour_type = r.colour_type;
    o.bit_depth = r.depth;
    o.interlace = r.interlace;
    if (r.colour_type == PNG_COLOR_TYPE_PALETTE) o.palette = std::vector<uint8_t>(3 << r.depth, 200);
    const std::vector<uint8_t> rows_bytes(pngref::row_bytes(12, o) * 6, 0xFF);
    const std::vector<uint8_t> file = pngref::encode(12, 6, rows_bytes, o);
    std::filesystem::create_directories(a.dir / "mine/sprites");
    spit(path, std::string(file.begin(), file.end()));
    log_capture lines;
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
    EXPECT_EQ(gfxpack_replaced(), 0) << r.why;
    EXPECT_TRUE(lines.has("Could not read the sheet " + path + " (" + r.why + ")")) << lines.text();
  }
}

// The index is read into what a reload needs and its tree freed: a long
// array of stray characters, or sheets with nothing to cut, cost nothing
// for the session, and the index still works.
TEST_F(gfxpack_test, WhatTheIndexHoldsBeyondItsSheetsIsNotKept) {
  sprite_dump_and_packs({"mine"});
  index_sheet bare = screen_sheet("bare", 0);
  bare.cells.clear();
  std::string text = R"({"format":2,"sheets":{)" + sprite_sheet("sprites/solo", "aaaaaaaaaaaa").json() + "," +
                     bare.json();
  for (int i = 0; i < 2000; ++i) text += ",\"sprites/empty" + std::to_string(i) + "\":{\"kind\":\"sprite\"}";
  text += R"(},"junk":[)" + std::string(1 << 20, 'x') + "]}";
  spit(a.dir / "original/index.json", text);
  // A folder holding only a sheet without cells is still a pack.
  a.write_sheet("other", "sprites/empty1999", dumped_sprites());
  ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
  EXPECT_EQ(gfxpack_replaced(), 1);
  ASSERT_EQ(pack.sheets.size(), 2u) << "the sprite sheet and the screen that stands for itself";
  EXPECT_EQ(pack.sheets[0].name, "sprites/solo");
  EXPECT_EQ(pack.sheets[0].cells.size(), 1u);
  EXPECT_EQ(pack.sheets[1].name, "screens/bare");
  EXPECT_TRUE(pack.sheets[1].screen);
  EXPECT_EQ(listed(), (std::vector<std::string>{"mine", "other"}));
}

}  // namespace
