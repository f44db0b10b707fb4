// Page $5000: the shot pictures' pre-shifted copies checked pixel by pixel,
// and the drawing of grenades ($5E32) and projectiles ($5F1A) from them:
// the drawing areas, the byte placement, the colour rules and the hooks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/hooks.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"
#include "support/machine/resume_check.h"
#include "support/machine/screen_bytes.h"
#include "support/synthetic/st_planes.h"

namespace {

constexpr u32 preshift = 0x005FFE, draw_grenades = 0x005E32, draw_projectiles = 0x005F1A;
constexpr u32 screen = mission_draw_screen;
constexpr u32 screen_span = 32000 + 160 * 9; // the spare lines below the screen too

int run(u32 entry) { return run_routine_with_regs(entry); }

// Colour of pixel x (0-15) of line l of frame f in shot copy k, from RAM.
u32 copy_pixel(u32 k, u32 f, u32 l, u32 x) {
  const u32 at = shot_frames_at + shot_copy_bytes * k + 54 * f + 6 * l;
  u32 c = 0;
  for (u32 p = 0; p < 3; ++p) c |= (rd16(at + 2 * p) >> (15 - x) & 1) << p;
  return c;
}

std::vector<u8> screen_bytes() { return read_bytes(screen, screen_span); }

void random_background(u32 seed) {
  std::mt19937 rng(seed);
  for (u32 i = 0; i < screen_span; ++i) wr8(screen + i, rng() & 0xFF);
}

void set_pixel(std::vector<u8>& b, u32 x, u32 y, u32 colour) {
  st_set_pixel(b.data(), static_cast<int>(x), static_cast<int>(y), static_cast<int>(colour));
}

// A narrow frame at screen column sx, line `line`: its pixel p at sx + p;
// grenades take plane 3 (colours 9-15), projectiles clear it.
void reference_object(std::vector<u8>& b, u32 frame, u32 sx, u32 line, bool plane3) {
  for (u32 l = 0; l < 9; ++l)
    for (u32 p = 0; p < 16; ++p) {
      const u32 c = shot_pixel(frame, l, p);
      if (c != 0) set_pixel(b, sx + p, line + l, plane3 ? c | 8 : c);
    }
}

class Objects : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    put_shot_frames();
    ASSERT_EQ(run_routine(preshift), 1);
  }
};

// --- the pre-shift -------------------------------------------------------------------------

TEST_F(Objects, EachCopyIsCopyZeroMovedByItsNumberOfPixels) {
  for (u32 f = 0; f < shot_frame_count; ++f) {
    if (f == wide_shot_frame) continue;
    for (u32 k = 1; k < 8; ++k)
      for (u32 l = 0; l < 9; ++l)
        for (u32 x = 0; x < 16; ++x)
          ASSERT_EQ(copy_pixel(k, f, l, x), x < k ? 0 : shot_pixel(f, l, x - k))
              << "frame " << f << " copy " << k << " line " << l << " x " << x;
  }
  // The wide picture: pixel 15 of plane 0 comes back as pixel 0 of plane
  // 1 in the next copy; planes 1 and 2 lose theirs.
  for (u32 k = 1; k < 8; ++k)
    for (u32 l = 0; l < 9; ++l) {
      const u32 at = shot_frames_at + 54 * wide_shot_frame + 6 * l;
      const u32 before = rd16(at + shot_copy_bytes * (k - 1)), after = rd16(at + shot_copy_bytes * k + 2);
      EXPECT_EQ(after >> 15, before & 1) << "copy " << k << " line " << l;
      EXPECT_EQ(rd16(at + shot_copy_bytes * k + 4), rd16(at + shot_copy_bytes * (k - 1) + 4) >> 1);
    }
}

// --- drawing -------------------------------------------------------------------------------

struct placement {
  u32 entry;
  bool grenade;
  i32 sx, line;
  bool drawn;
};

void place(const placement& p, u32 index, u16 frame) {
  const u16 x = static_cast<u16>(p.sx + 36), y = static_cast<u16>(p.line + 100);
  if (p.grenade) {
    put_grenade(index, x, y, 0, 0, 0);
    wr16(grenade_at(index) + 0x0A, frame);
  } else {
    put_projectile(index, x, y, frame);
  }
}

bool live(const placement& p, u32 index) {
  return p.grenade ? rd16(grenade_at(index) + 4) != 0 : rd16(projectile_at(index)) != 0;
}

TEST_F(Objects, AnObjectIsDrawnInsideItsAreaAndTakenOutOfPlayBeyondIt) {
  const placement rows[] = {
      {draw_grenades, true, 66, 50, false},       {draw_grenades, true, 67, 50, true},
      {draw_grenades, true, 248, 50, true},       {draw_grenades, true, 249, 50, false},
      {draw_projectiles, false, 63, 50, false},   {draw_projectiles, false, 64, 50, true},
      {draw_projectiles, false, 244, 50, true},   {draw_projectiles, false, 245, 50, false},
      {draw_grenades, true, 120, -1, false},      {draw_projectiles, false, 120, -1, false},
      {draw_grenades, true, 120, 0, true},        {draw_projectiles, false, 72, 192, true},
      {draw_grenades, true, 136, 192, true},      {draw_projectiles, false, 120, 193, false},
      {draw_grenades, true, 72, 100, true},       {draw_projectiles, false, 80, 100, true},
      {draw_grenades, true, 77, 100, true},       {draw_projectiles, false, 83, 100, true},
      {draw_projectiles, false, 93, 30, true},    {draw_grenades, true, 99, 30, true},
      {draw_grenades, true, 0x7FFF, 100, false},  {draw_projectiles, false, 0x8000, 100, false},
  };
  u32 seed = 5;
  for (const placement& p : rows) {
    for (u16 frame : {u16(24), u16(17), u16(27)}) {
      SetUp();
      random_background(seed++);
      std::vector<u8> want = screen_bytes();
      if (p.drawn) reference_object(want, frame, p.sx, p.line, p.grenade);
      place(p, 3, frame);
      ASSERT_EQ(run(p.entry), 1);
      EXPECT_EQ(live(p, 3), p.drawn) << p.grenade << " sx " << p.sx << " line " << p.line;
      EXPECT_EQ(screen_bytes(), want) << p.grenade << " sx " << p.sx << " line " << p.line << " frame " << frame;
    }
  }
  // The bottom line of an object at line 192 is line 200, and nothing is
  // written below it.
  SetUp();
  for (u32 i = 0; i < 160 * 2; ++i) wr8(screen + 201 * 160 + i, 0x5A);
  place({draw_projectiles, false, 100, 192, true}, 0, 20);
  ASSERT_EQ(run(draw_projectiles), 1);
  bool line200 = false;
  for (u32 i = 0; i < 160; ++i) line200 = line200 || rd8(screen + 200 * 160 + i) != 0;
  EXPECT_TRUE(line200);
  for (u32 i = 0; i < 160 * 2; ++i) ASSERT_EQ(rd8(screen + 201 * 160 + i), 0x5Au) << i;
}

TEST_F(Objects, TheTwinsDifferOnlyInPlaneThree) {
  random_background(31);
  const std::vector<u8> background = screen_bytes();
  put_grenade(0, 172, 180, 0, 0, 0);
  wr16(grenade_at(0) + 0x0A, 25);
  ASSERT_EQ(run(draw_grenades), 1);
  const std::vector<u8> a = screen_bytes();
  for (u32 i = 0; i < screen_span; ++i) wr8(screen + i, background[i]);
  put_projectile(0, 172, 180, 25);
  ASSERT_EQ(run(draw_projectiles), 1);
  const std::vector<u8> b = screen_bytes();
  bool plane3_differs = false;
  for (u32 i = 0; i < screen_span; ++i) {
    if ((i & 7) >= 6)
      plane3_differs = plane3_differs || a[i] != b[i];
    else
      ASSERT_EQ(a[i], b[i]) << "byte " << i;
  }
  EXPECT_TRUE(plane3_differs);
}

TEST_F(Objects, EveryRecordPassesBothHooksWithItsAddress) {
  hooks_record({0x005E3A, 0x005F10, 0x005F22, 0x005FF4});
  // Freed records keep their other fields.
  place({draw_grenades, true, 100, 100, true}, 5, 24);
  wr16(grenade_at(5) + 4, 0);
  wr16(grenade_at(5) + 6, 0x0101);
  place({draw_projectiles, false, 200, 100, true}, 6, 20);
  wr16(projectile_at(6), 0);
  const std::vector<u8> before = screen_bytes();
  for (const auto& [entry, head, end, records, at] :
       {std::tuple{draw_grenades, 0x005E3Au, 0x005F10u, 17u, &grenade_at},
        std::tuple{draw_projectiles, 0x005F22u, 0x005FF4u, 20u, &projectile_at}}) {
    stub_calls().clear();
    ASSERT_EQ(run(entry), 1);
    std::vector<std::pair<u32, u32>> want, got;
    for (u32 i = 0; i < records; ++i) want.insert(want.end(), {{head, at(i)}, {end, at(i)}});
    for (const stub_call& c : stub_calls()) got.push_back({c.address, c.a6});
    EXPECT_EQ(got, want);
  }
  EXPECT_EQ(screen_bytes(), before) << "free records draw nothing";
  place({draw_grenades, true, 100, 100, true}, 16, 24);
  place({draw_projectiles, false, 200, 10, true}, 0, 16);
  place({draw_projectiles, false, 300, 10, false}, 19, 16);
  EXPECT_TRUE(resumes_alike({.entry = draw_grenades}));
  EXPECT_TRUE(resumes_alike({.entry = draw_projectiles}));
}

} // namespace
