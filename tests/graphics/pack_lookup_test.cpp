// The pack's lookups: a sprite, the ground texture and the level tiles the
// game draws are found again by their content hash in a hand-made pack.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "graphics/content_hash.h"
#include "graphics/gfxpack.h"
#include "graphics/pack_state.h"
#include "host/platform.h"
#include "support/graphics/pack_assets.h"
#include "support/graphics/scene_frames.h"

namespace {

using rgb_t = std::array<int, 3>;
constexpr uint32_t red = 0xFF0000FF, green = 0x00FF00FF, blue = 0x0000FFFF, grey = 0x808080FF;

std::string hash_of(const sprite* spr) {
  char h[GFX_HASH_TEXT];
  gfx_sprite_hash(spr, h);
  return h;
}

std::string array_hash(const std::vector<uint8_t>& v, int rows, int row_length) {
  char h[GFX_HASH_TEXT];
  gfx_array_hash(v.data(), rows, row_length, h);
  return h;
}

// The ground strip as captured, and the 64-pixel ground block the dump
// hashed for it (each row twice).
std::vector<uint8_t> strip_pattern() {
  std::vector<uint8_t> s(32 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) s[static_cast<size_t>(y * 32 + x)] = static_cast<uint8_t>((x * 3 + y) % 16);
  return s;
}

std::vector<uint8_t> doubled(const std::vector<uint8_t>& strip) {
  std::vector<uint8_t> out(64 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) out[static_cast<size_t>(y * 64 + x)] = strip[static_cast<size_t>(y * 32 + x % 32)];
  return out;
}

class pack_lookup_test : public ::testing::Test {
 protected:
  pack_assets a;
  sprite* spr = solid_sprite(2, 2, 15);
  sprite* plain = solid_sprite(3, 3, 9);  // in a sheet without margin or columns
  std::vector<uint8_t> object = std::vector<uint8_t>(16 * 16, 7);

  void SetUp() override {
    // A sprite cell of 6 x 6 with a margin of 2 whose frame starts one
    // pixel right and two down; a ground block; an object tile.
    index_sheet sprites("sprites/solo", "sprite", 12, 6, 6, 6, 2, 2, {{0, hash_of(spr), 1, 2}});
    index_sheet ground("tiles/ground_1", "ground", 64, 32, 64, 32, 1, 0, {{0, array_hash(doubled(strip_pattern()), 32, 64)}});
    index_sheet objects("tiles/objects_1", "object", 32, 16, 16, 16, 2, 0, {{1, array_hash(object, 16, 16)}});
    index_sheet plain_sheet("sprites/plain", "sprite", 3, 3, 3, 3, 1, 0, {{0, hash_of(plain)}});
    a.write_index({sprites, ground, objects, plain_sheet});
    rgba_picture blue_square(3, 3);
    blue_square.fill(0, 0, 3, 3, blue);
    a.write_sheet("mine", "sprites/plain", blue_square);
    rgba_picture mine(12, 6), tiles(64, 32), objs(32, 16);
    mine.fill(0, 0, 6, 6, red);
    tiles.fill(0, 0, 32, 32, blue);
    tiles.fill(32, 0, 32, 32, green);
    objs.fill(16, 0, 16, 16, red);
    a.write_sheet("mine", "sprites/solo", mine.enlarged(2));
    a.write_sheet("mine", "tiles/ground_1", tiles);
    a.write_sheet("mine", "tiles/objects_1", objs);
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
    ASSERT_EQ(gfxpack_replaced(), 4);
    gfxpack_attach();
  }
  void TearDown() override {
    sprite_unref(spr);
    sprite_unref(plain);
    gfxpack_init("", 1, "");
    gfxpack_attach();
  }
};

rgb_t pixel(const std::vector<uint8_t>& rgb, int s, int x, int y) {
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * 320 * s + x) * 3];
  return {p[0], p[1], p[2]};
}

TEST_F(pack_lookup_test, ASpriteOfTheSameContentIsDrawnFromThePack) {
  scene_frame* f = test_frame(100, BG_VERTICAL, 0, 2);
  f->ring = static_cast<uint8_t*>(std::calloc(256 * 192, 1));
  add_unit(f, 4, 0x1000, 120, 50, sprite_ref(spr));
  add_unit(f, 4, 0x1001, 160, 50, solid_sprite(2, 2, 14));
  render_params p{};
  p.scale = 2;
  p.residual_layer = 1;
  std::vector<uint8_t> out(static_cast<size_t>(4) * 192000 * 3);
  render(f, f, &p, out.data(), 0);
  // The cell's corner lies (crop + margin) = (3, 4) game pixels before the
  // sprite's: game pixels 117..122 by 46..51.
  EXPECT_EQ(pixel(out, 2, 234, 92), (rgb_t{255, 0, 0}));
  EXPECT_EQ(pixel(out, 2, 245, 103), (rgb_t{255, 0, 0}));
  EXPECT_NE(pixel(out, 2, 233, 92), (rgb_t{255, 0, 0}));
  EXPECT_NE(pixel(out, 2, 246, 103), (rgb_t{255, 0, 0}));
  u8 game[3];
  test_rgb(14, game);
  EXPECT_EQ(pixel(out, 2, 320, 100), (rgb_t{game[0], game[1], game[2]})) << "another picture stays the game's";
  EXPECT_EQ(spr->hash_valid, 1);
  EXPECT_EQ(std::string(spr->hash), hash_of(spr));
  frame_unref(f);
}

TEST_F(pack_lookup_test, EachScaleAskedForMakesTheRecordsOneCopy) {
  const pack_record& r = pack.reps[static_cast<size_t>(rep_find('s', hash_of(spr).c_str()))];
  for (int s : {2, 3, 2, 1}) {
    pack_picture out{};
    ASSERT_EQ(cb_sprite(spr, s, &out, 0), 1);
    EXPECT_EQ((std::array<int, 4>{out.width, out.height, out.x_offset, out.y_offset}),
              (std::array<int, 4>{6, 6, -3, -4}));
    EXPECT_EQ(r.scaled_for, s);
    EXPECT_EQ(r.scaled.size(), static_cast<size_t>(36 * s * s * 4));
    EXPECT_EQ(out.rgba, r.scaled.data());
    EXPECT_EQ(out.rgba[0], 255);
    EXPECT_EQ(out.rgba[3], 255);
  }
  pack_picture out{};
  ASSERT_EQ(cb_sprite(plain, 2, &out, 0), 1);
  EXPECT_EQ((std::array<int, 4>{out.width, out.height, out.x_offset, out.y_offset}), (std::array<int, 4>{3, 3, 0, 0}));
  sprite* other = solid_sprite(2, 2, 13);
  EXPECT_EQ(cb_sprite(other, 2, &out, 0), 0);
  sprite_unref(other);
  gfxpack_select("original");
  EXPECT_EQ(cb_sprite(spr, 2, &out, 0), 0);
}

// A hand-edited index may hold any crop and margin: the offset is worked
// out in 64 bits and held within a screen's reach of the sprite, and such a
// picture is simply drawn nowhere.
TEST_F(pack_lookup_test, OffsetsFromAnyCropAndMarginStayInRange) {
  struct row {
    int crop, margin, offset;
  };
  const row rows[] = {
      {1, 2, -3},
      {-5, 0, 5},
      {65536, 0, -65536},
      {65537, -1, -65536},
      {2147483647, 2147483647, -65536},
      {-2147483647, -2147483647, 65536},
  };
  for (const row& r : rows) {
    index_sheet plain_sheet("sprites/plain", "sprite", 3, 3, 3, 3, 1, r.margin, {{0, hash_of(plain), r.crop, r.crop}});
    a.write_index({plain_sheet});
    ASSERT_EQ(gfxpack_init(a.root().c_str(), 2, "mine"), 1);
    gfxpack_attach();
    pack_picture out{};
    ASSERT_EQ(cb_sprite(plain, 2, &out, 0), 1) << r.crop;
    EXPECT_EQ(out.x_offset, r.offset) << r.crop << " " << r.margin;
    EXPECT_EQ(out.y_offset, r.offset) << r.crop << " " << r.margin;
    scene_frame* f = test_frame(100, BG_VERTICAL, 0, 2);
    f->ring = static_cast<uint8_t*>(std::calloc(256 * 192, 1));
    add_unit(f, 4, 0x1000, 120, 50, sprite_ref(plain));
    render_params p{};
    p.scale = 2;
    std::vector<uint8_t> image(static_cast<size_t>(4) * 192000 * 3);
    render(f, f, &p, image.data(), 0);
    frame_unref(f);
  }
}

TEST_F(pack_lookup_test, TheGroundTextureIsTheLeftHalfOfItsBlock) {
  const std::vector<uint8_t> strip = strip_pattern();
  const uint8_t* rgb = nullptr;
  for (int s : {2, 3}) {
    ASSERT_EQ(pack_texture_cb(reinterpret_cast<const uint8_t(*)[strip_size]>(strip.data()), s, &rgb), 1);
    const int side = 32 * s;
    for (int y = 0; y < side; y += side - 1)
      for (int x = 0; x < side; x += side - 1)
        EXPECT_EQ((rgb_t{rgb[(y * side + x) * 3], rgb[(y * side + x) * 3 + 1], rgb[(y * side + x) * 3 + 2]}),
                  (rgb_t{0, 0, 255}))
            << s << " " << x << "," << y;
  }
  std::vector<uint8_t> other = strip;
  other[5] ^= 1;
  EXPECT_EQ(pack_texture_cb(reinterpret_cast<const uint8_t(*)[strip_size]>(other.data()), 2, &rgb), 0);
  gfxpack_select("original");
  EXPECT_EQ(pack_texture_cb(reinterpret_cast<const uint8_t(*)[strip_size]>(strip.data()), 2, &rgb), 0);
}

TEST_F(pack_lookup_test, TilesForLevelBuildersOutliveAReloadWhileABuilderRuns) {
  const std::vector<uint8_t> block = doubled(strip_pattern());
  const uint8_t* ground = gfxpack_ground_rgba(block.data(), 2);
  ASSERT_NE(ground, nullptr);
  EXPECT_EQ((std::array<int, 4>{ground[0], ground[1], ground[2], ground[3]}), (std::array<int, 4>{0, 0, 255, 255}));
  const uint8_t* right = ground + (127 + 63 * 128) * 4;
  EXPECT_EQ((std::array<int, 3>{right[0], right[1], right[2]}), (std::array<int, 3>{0, 255, 0}));
  const uint8_t* obj = gfxpack_object_rgba(object.data(), 1);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ((std::array<int, 4>{obj[0], obj[1], obj[2], obj[3]}), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(obj[(16 * 16 - 1) * 4], 255);
  EXPECT_EQ(gfxpack_object_rgba(block.data(), 1), nullptr) << "no object of that content";
  const std::vector<uint8_t> other_ground(64 * 32, 7);
  EXPECT_EQ(gfxpack_ground_rgba(other_ground.data(), 1), nullptr) << "no ground of that content";

  gfxpack_builders(1);
  const uint8_t* kept = gfxpack_ground_rgba(block.data(), 3);
  ASSERT_NE(kept, nullptr);
  const pack_record& r = pack.reps[static_cast<size_t>(rep_find('g', array_hash(block, 32, 64).c_str()))];
  EXPECT_EQ(r.scaled_for, 3);
  EXPECT_EQ(r.scaled.size(), static_cast<size_t>(192 * 96 * 4));
  gfxpack_ground_rgba(block.data(), 2);  // another scale replaces the copy
  gfxpack_select("original");            // and the reload drops the record
  EXPECT_EQ(gfxpack_ground_rgba(block.data(), 2), nullptr);
  // Still the builder's to read until it ends.
  EXPECT_EQ(kept[2], 255);
  EXPECT_EQ(kept[(96 * 192 - 1) * 4 + 1], 255);
  gfxpack_builders(-1);
  gfxpack_builders(-1);  // held at 0
  gfxpack_builders(1);
  gfxpack_builders(-1);
}

// A level builder looking tiles up on its own thread while the main thread
// reloads the pack: every answer is the pack's tile, read whole, or none.
TEST_F(pack_lookup_test, ATileLookupOnAnotherThreadMeetsReloadsSafely) {
  struct builder {
    std::vector<uint8_t> block = doubled(strip_pattern());
    int answered = 0, wrong = 0;
  } job;
  gfxpack_builders(1);
  port_thread* thread = nullptr;
  ASSERT_EQ(port_thread_start(
                [](void* arg) {
                  auto* b = static_cast<builder*>(arg);
                  for (int n = 0; n < 300; ++n) {
                    const uint8_t* t = gfxpack_ground_rgba(b->block.data(), 1 + n % 3);
                    if (!t) continue;
                    b->answered += 1;
                    const int side = 64 * (1 + n % 3);
                    b->wrong += t[2] != 255 || t[(side - 1) * 4 + 1] != 255;
                  }
                },
                &job, &thread),
            1);
  for (int n = 0; n < 20; ++n) gfxpack_select(n % 2 ? "original" : "mine");
  port_thread_join(thread);
  gfxpack_builders(-1);
  EXPECT_EQ(job.wrong, 0) << job.answered << " answers";
}

}  // namespace
