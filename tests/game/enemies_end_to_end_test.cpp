// Enemies in a mission from its set-up on: the runner stand-in prepares the
// mission from the synthetic set-up and enemy tables and a one-section
// mission whose stream starts enemies; the vertical frame loop then runs
// with the VBL between slices. Each enemy is followed frame by frame where
// the drawing hands it over (hook 8 after each enemy): its place, its frame
// and its pixels on the screen being drawn.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "machine/hooks.h"
#include "support/machine/call_trace.h"
#include "support/tables/enemy_tables.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/mission_runner.h"
#include "support/tables/setup_tables.h"

namespace {

constexpr u32 after_enemy = 0x005BA0; // hook 8
constexpr u32 frame_start = 0x008EE2;
constexpr u32 bullets = 0x006B74;
constexpr u8 walker = 5, climber = 6;

struct seen {
  int frame;
  u32 record;
  u16 x, y, picture;
  bool pixels_right;
};

int frames_started = 0;
int frames_to_run = 0;
int first_hostile_bullet = 0; // the frame at whose start one was first live
std::vector<seen> sightings;

void count_frame(u32) {
  ++frames_started;
  for (u32 i = 0; i < bullet_table.records && first_hostile_bullet == 0; ++i) {
    const u32 b = bullet_table.address + bullet_table.size * i;
    if (rd16(b + bullet::live) != 0 && rd16(b + bullet::owner) == 0xFFFF) first_hostile_bullet = frames_started;
  }
  if (frames_started > frames_to_run) wr16(exit_request, 0xFFFF);
}

// The pixels the frame paints (v non-zero) have colour 8 + v on the screen
// being drawn; the transparent ones show what lay below.
bool drawn_whole(u32 x, u32 y, u32 f) {
  if (x < 100 || x > 276 || y < 100 || y > 178) return false; // wholly inside the window only
  const u32 screen = rd32(draw_screen);
  for (u32 l = 0; l < 22; ++l)
    for (u32 c = 0; c < 16; ++c) {
      const u32 v = enemy_frame_pixel(f, l, c);
      if (v != 0 && screen_pixel(screen, y - 100 + l, 64 + ((x - 100) & ~1u) + c) != 8 + v) return false;
    }
  return true;
}

void note_enemy(u32) {
  const u32 r = g_cpu.a[6];
  const u16 x = static_cast<u16>(rd16(r)), y = static_cast<u16>(rd16(r + 2)), f = static_cast<u16>(rd16(r + 8));
  sightings.push_back({frames_started, (r - enemy_table.address) / enemy_table.size, x, y, f, drawn_whole(x, y, f)});
}

void write_mission() {
  mission_builder m;
  std::vector<map_row> rows;
  for (int r = 0; r < 24; ++r) rows.push_back({{static_cast<u8>(r % 3)}, {static_cast<u8>(3 + r % 3)}, {0}});
  m.map(rows);
  // a walker at x 150 and a climber at x 230 in the first frame, a second
  // walker after the first scrolled line
  m.stream({{184, walker, 50, 60}, {184, climber, 130, 40}, {185, walker, 100, 20}});
  m.put_in_ram();
}

class EnemiesEndToEnd : public MissionTest {};

TEST_F(EnemiesEndToEnd, EnemiesOfTheStreamWalkTheirScriptsAndAreDrawn) {
  setup_tables setup;
  setup.put_in_ram();
  wr8(player1 + player_record::owned + 1, 1);
  enemy_tables enemies;
  // the walker: 10 steps right, a burst, 10 steps left, the end
  ASSERT_TRUE(enemies.script(walker, {12, 0, 10, 2, 0, 254, 252, 10, 0xFE, 0})) << enemies.error;
  // the climber: animation 2 (frames 30, 31), 40 steps up
  ASSERT_TRUE(enemies.script(climber, {2, 0, 40, 0, 0xFF})) << enemies.error;
  ASSERT_TRUE(enemies.animation(2, {30, 31})) << enemies.error;
  ASSERT_TRUE(enemies.fire_points({{7, 3, 4, 8, 20}})) << enemies.error;
  enemies.put_in_ram();
  ASSERT_EQ(run_mission_routine(0x00891C), 1) << "banks 1-7";
  stub_records({0x00AAF8});
  frames_started = 0;
  first_hostile_bullet = 0;
  frames_to_run = 30;
  sightings.clear();
  mission_runner_register(write_mission);
  hook_register(frame_start, count_frame);
  hook_register(after_enemy, note_enemy);
  call_trace_start();
  driver_start(mission_runner);
  driver_run(2000, 2000000, mission_vbl);
  hook_register(frame_start, nullptr);
  hook_register(after_enemy, nullptr);
  ASSERT_EQ(rd16(runner_done), 0xFFFFu) << "the frame loop ended";

  // frame by frame, per record
  std::vector<std::vector<seen>> by_record(3);
  for (const seen& s : sightings) {
    ASSERT_LT(s.record, 3u) << "only the stream's three enemies";
    by_record[s.record].push_back(s);
  }
  for (const auto& track : by_record) ASSERT_FALSE(track.empty());
  EXPECT_EQ(by_record[0].front().frame, 1) << "trigger 184: the first frame";
  EXPECT_EQ(by_record[1].front().frame, 1);
  EXPECT_GT(by_record[2].front().frame, 1) << "trigger 185: after the first scrolled line";

  // The walker: placed at x 150, drawn there in its first frame, then 2 to
  // the right per frame for 10 frames, standing in the frame that reads
  // the burst and the next movement, then 2 to the left per frame.
  const std::vector<seen>& walk = by_record[0];
  for (size_t k = 0; k < walk.size(); ++k) {
    const int i = static_cast<int>(k);
    const int want = i <= 10 ? 150 + 2 * i : i == 11 ? 170 : 170 - 2 * (i - 11);
    EXPECT_EQ(walk[k].frame, 1 + i) << "drawn every frame";
    EXPECT_EQ(walk[k].x, want) << "frame " << walk[k].frame;
    EXPECT_EQ(walk[k].picture, 7u) << "animation 12";
    EXPECT_TRUE(walk[k].pixels_right) << "frame " << walk[k].frame << " at " << walk[k].x << ", " << walk[k].y;
  }
  ASSERT_GE(walk.size(), 20u);
  // The climber: 1 up per frame against the scroll, two pictures in turn.
  const std::vector<seen>& climb = by_record[1];
  bool saw30 = false, saw31 = false;
  for (size_t k = 1; k < climb.size(); ++k) {
    EXPECT_EQ(climb[k].x, 230u);
    EXPECT_TRUE(climb[k].pixels_right) << "frame " << climb[k].frame;
    saw30 |= climb[k].picture == 30;
    saw31 |= climb[k].picture == 31;
  }
  EXPECT_TRUE(saw30 && saw31) << "the animation advanced";
  // relative to the walker, which only moves sideways, the climber goes up 1 a frame
  for (size_t k = 1; k < climb.size() && k < walk.size(); ++k)
    EXPECT_EQ(static_cast<int>(climb[k].y) - static_cast<int>(walk[k].y),
              static_cast<int>(climb[0].y) - static_cast<int>(walk[0].y) - static_cast<int>(k));
  EXPECT_EQ(first_hostile_bullet, 13) << "the burst of the walker's twelfth frame";
  // each walker fires once, from its fire point, where it turns
  std::vector<u32> from;
  for (const traced_call& c : calls_to(bullets)) from.push_back(c.d[0]);
  EXPECT_EQ(from, (std::vector<u32>{170 + 8, 220 + 8}));
}

} // namespace
