// The synthetic set-up and enemy tables and the event-stream checks of the
// mission builder: what they refuse, and that the game's routines read
// what they build where they look for it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/tables/enemy_tables.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/setup_tables.h"

namespace {

u32 rec(u32 i) { return enemy_table.address + enemy_table.size * i; }

class MissionTables : public MissionTest {};

// --- set-up tables -------------------------------------------------------------

TEST(SetupTables, StartsThatKeepThePlayersFromScrollingAreRefused) {
  struct row {
    bool two;
    u16 y0, y1;
    bool ok;
  };
  const row rows[] = {
      {false, 124, 200, true}, {false, 125, 0, false}, {true, 124, 120, true},
      {true, 120, 125, false}, {true, 100, 144, true}, {true, 100, 145, false},
  };
  for (const row& r : rows) {
    setup_tables t;
    t.two_players = r.two;
    t.starts[0][1] = r.y0;
    t.starts[1][1] = r.y1;
    EXPECT_EQ(t.check(), r.ok) << r.y0 << " " << r.y1;
    EXPECT_EQ(t.error.empty(), r.ok) << t.error;
  }
  setup_tables defaults;
  defaults.two_players = true;
  EXPECT_TRUE(defaults.check()) << defaults.error;
}

TEST_F(MissionTables, TheSetUpTablesAsTheSetUpRoutinesReadThem) {
  setup_tables t;
  t.two_players = true;
  t.put_in_ram();
  EXPECT_EQ(rd16(two_player_flag), 0xFFFFu) << "a word";
  ASSERT_EQ(run_routine(0x0090C2), 1);
  EXPECT_EQ(rd16(player1 + 2), t.starts[1][0]);
  EXPECT_EQ(rd16(player1 + 4), t.starts[1][1]);
  EXPECT_EQ(rd16(player2 + 6), t.starts[0][2]);
  // every picture shows its own number
  for (u32 w = 0; w < 19; ++w) {
    for (u32 line = 0; line < weapon_picture_lines; ++line)
      for (u32 i = 0; i < 8; ++i) wr8(0x20000 + 160 * line + i, rd8(weapon_pictures + 472 * w + 8 * line + i));
    EXPECT_EQ(weapon_picture_at(0x20000), static_cast<int>(w));
  }
  for (u32 m = 0; m < 12; ++m) {
    for (u32 line = 0; line < mission_picture_lines; ++line)
      for (u32 i = 0; i < 16; ++i) wr8(0x20000 + 160 * line + i, rd8(mission_pictures + 336 * m + 16 * line + i));
    EXPECT_EQ(mission_picture_at(0x20000), static_cast<int>(m));
  }
  for (const u32 pixel_byte : {0u, 8u + 1u}) { // pixel 0, pixel 31 (plane 0)
    const u32 at = 0x20000 + 160 * 20 + pixel_byte, bit = pixel_byte == 0 ? 0x80 : 0x01;
    wr8(at, rd8(at) ^ bit);
    EXPECT_EQ(mission_picture_at(0x20000), -1) << "one pixel off at the ends of the last line: " << pixel_byte;
    wr8(at, rd8(at) ^ bit);
  }
  EXPECT_EQ(mission_picture_at(0x20000), 11);
  EXPECT_EQ(weapon_picture_at(0x20000 + 8), -1);
  synth_game_data g = synth_standard();
  EXPECT_TRUE(t.place(g)) << g.error;
  EXPECT_TRUE(t.place_pictures(g)) << g.error;
}

// --- enemy tables --------------------------------------------------------------

TEST(EnemyTables, WhatTheRoutinesCouldNotRunIsRefused) {
  struct row {
    const char* what;
    bool (*build)(enemy_tables&);
  };
  const row rows[] = {
      {"type 112", [](enemy_tables& t) { return t.script(112, {0, 0, 1, 0, 0}); }},
      {"short header", [](enemy_tables& t) { return t.script(3, {0, 0, 1, 0}); }},
      {"header animation 13", [](enemy_tables& t) { return t.script(3, {13, 0, 1, 0, 0}); }},
      {"command animation 13", [](enemy_tables& t) { return t.script(3, {0, 0, 1, 0, 0, 13, 0, 1, 0, 0}); }},
      {"252 without dy", [](enemy_tables& t) { return t.script(3, {0, 0, 1, 0, 0, 252, 5, 1}); }},
      {"animation without dy", [](enemy_tables& t) { return t.script(3, {0, 0, 1, 0, 0, 4, 0, 5, 1}); }},
      {"bytes after the end", [](enemy_tables& t) { return t.script(3, {0, 0, 1, 0, 0, 255, 0}); }},
      {"scripts past 2,048 bytes",
       [](enemy_tables& t) {
         std::vector<u8> s = {0, 0, 1, 0, 0};
         s.resize(2040, 254);
         return t.script(1, s);
       }},
      {"animation 13", [](enemy_tables& t) { return t.animation(13, {1}); }},
      {"animation without frames", [](enemy_tables& t) { return t.animation(10, {}); }},
      {"frame 39", [](enemy_tables& t) { return t.animation(2, {39}); }},
      {"animations past $B293", [](enemy_tables& t) { return t.animation(0, std::vector<u8>(73, 1)); }},
      {"fire key 39", [](enemy_tables& t) { return t.fire_points({{39, 0, 0, 0, 0}}); }},
      {"negative fire key", [](enemy_tables& t) { return t.fire_points({{1, 0, 0, 0, 0}, {-2, 0, 0, 0, 0}}); }},
  };
  for (const row& r : rows) {
    enemy_tables t;
    const std::vector<u8> scripts = t.script_bytes(), anims = t.anim_bytes(), fire = t.fire_point_bytes();
    EXPECT_FALSE(r.build(t)) << r.what;
    EXPECT_FALSE(t.error.empty()) << r.what;
    EXPECT_EQ(t.script_bytes(), scripts) << r.what << ": nothing added";
    EXPECT_EQ(t.anim_bytes(), anims) << r.what;
    EXPECT_EQ(t.fire_point_bytes(), fire) << r.what;
    enemy_tables loose;
    loose.unchecked = true;
    EXPECT_TRUE(r.build(loose)) << r.what << " on purpose";
  }
  enemy_tables t;
  EXPECT_TRUE(t.animation(0, std::vector<u8>(72, 1))) << "all 108 bytes: " << t.error;
  EXPECT_TRUE(t.script(111, {12, 0, 0, 0, 0, 252, 1, 0x80, 0x7F, 254, 253, 12, 9, 1, 0xFF, 0xFF})) << t.error;
}

TEST_F(MissionTables, ScriptsAnimationsAndFirePointsWhereTheRoutinesReadThem) {
  enemy_tables t;
  std::vector<u8> long_script = {0, 0, 1, 0, 0};
  long_script.resize(300, script_fire);
  ASSERT_TRUE(t.script(1, long_script)) << t.error;
  ASSERT_TRUE(t.script(9, {2, 7, 3, 0xFE, 4})) << t.error; // at an offset past 256
  ASSERT_TRUE(t.animation(2, {30, 31, 32})) << t.error;
  ASSERT_TRUE(t.fire_points({{31, 11, 12, -5, 6}})) << t.error;
  t.put_in_ram();
  // an enemy of type 9 through the event stream
  wr8(0x3000, 184);
  wr8(0x3001, 9);
  wr8(0x3002, 50);
  wr8(0x3003, 60);
  wr8(0x3004, 0xFF);
  wr32(event_pointer, 0x3000);
  wr8(event_clock, 184);
  ASSERT_EQ(run_routine(0x00AFA2), 1);
  EXPECT_EQ(rd32(rec(0) + 0x10), t.script_address(9) + 5);
  EXPECT_EQ(t.script_address(9), enemy_script_base + 11 + 301) << "after script 0 and type 1's";
  EXPECT_EQ(rd16(rec(0) + 0x08), 30u) << "animation 2's first frame";
  EXPECT_EQ(rd16(rec(0) + 0x0C), 0xFFFEu);
  EXPECT_EQ(rd8(t.script_address(9) + 5), 255u) << "the end command added";
  EXPECT_EQ(rd8(t.script_address(4)), 0u) << "types without a script play script 0";
  // every animation: its first frame, then its end byte after its frames
  const u8 firsts[13] = {0, 1, 30, 3, 4, 5, 26, 27, 28, 29, 30, 31, 7};
  for (u32 n = 0; n < 13; ++n) {
    a6 = rec(1);
    d0 = n;
    sync_regs_out();
    ASSERT_EQ(run_routine(0x00B1E4), 1);
    EXPECT_EQ(rd16(rec(1) + 0x08), firsts[n]) << n;
    u32 at = rd32(rec(1) + 0x14), frames = 0;
    while (!(rd8(at) & 0x80)) ++at, ++frames;
    EXPECT_EQ(frames, n == 12 ? 1u : n == 2 ? 3u : 2u) << n;
    EXPECT_LE(at, enemy_anims + enemy_anim_space - 1) << "inside $B228-$B293";
  }
  EXPECT_EQ(rd16(enemy_fire_points), 31u);
  EXPECT_EQ(rd16(enemy_fire_points + 6), static_cast<u16>(-5));
  EXPECT_EQ(rd16(enemy_fire_points + 10) & 0x8000, 0x8000u) << "ended by a negative key";
}

TEST_F(MissionTables, EnemyFramesAreBankZeroAndTheLoadersFile) {
  enemy_tables t;
  t.put_in_ram();
  const std::vector<u8> file = t.enemy_file();
  ASSERT_EQ(file.size(), 28u + 39u * 132u);
  for (u32 i = 0; i < 39 * 132; ++i) ASSERT_EQ(rd8(enemy_frames + i), file[28 + i]) << i;
  for (u32 i = 0; i < 5 * 132; ++i) ASSERT_EQ(rd8(enemy_frames_resident + i), file[28 + 34 * 132 + i]) << i;
  // frame f, line l: plane p of pixel c is bit p of v
  for (u32 f : {0u, 17u, 38u})
    for (u32 l : {0u, 21u})
      for (u32 c = 0; c < 16; ++c) {
        u32 v = 0;
        for (u32 p = 0; p < 3; ++p) v |= (rd16(enemy_frames + 132 * f + 6 * l + 2 * p) >> (15 - c) & 1) << p;
        ASSERT_EQ(v, enemy_frame_pixel(f, l, c)) << f << " " << l << " " << c;
      }
  // recognisable and asymmetric: no two frames alike, no frame its own mirror
  for (u32 f = 0; f < 39; ++f) {
    bool mirrored = true;
    for (u32 l = 0; l < 22 && mirrored; ++l)
      for (u32 c = 0; c < 16; ++c) mirrored &= enemy_frame_pixel(f, l, c) == enemy_frame_pixel(f, l, 15 - c);
    EXPECT_FALSE(mirrored) << f;
    for (u32 g = f + 1; g < 39; ++g) {
      bool same = true;
      for (u32 l = 0; l < 22 && same; ++l)
        for (u32 c = 0; c < 16; ++c) same &= enemy_frame_pixel(f, l, c) == enemy_frame_pixel(g, l, c);
      EXPECT_FALSE(same) << f << " " << g;
    }
  }
  synth_game_data g = synth_standard();
  EXPECT_TRUE(t.place(g)) << g.error;
}

// --- event streams -------------------------------------------------------------

TEST(EventStreams, StreamsTheInterpreterCouldNotPlayAreRefused) {
  using events = std::vector<std::vector<u8>>;
  struct row {
    const char* what;
    events e;
    bool ok;
  };
  const std::vector<u8> unit = {190, 253, 1, 10, 20, 1};
  const row rows[] = {
      {"in scroll order", {{184, 3, 1, 2}, {184, 3, 1, 2}, {200, 4, 1, 2}, {255 - 1, 4, 1, 2}, {0, 5, 1, 2}, {10, 5, 1, 2}}, true},
      {"a passed trigger", {{190, 3, 1, 2}, {185, 3, 1, 2}}, false},
      {"before the start", {{183, 3, 1, 2}, {184, 3, 1, 2}}, false},
      {"an enemy of three bytes", {{184, 3, 1}}, false},
      {"an enemy of five bytes", {{184, 3, 1, 2, 3}}, false},
      {"six homing units", {unit, unit, unit, unit, unit, unit}, true},
      {"seven homing units", {unit, unit, unit, unit, unit, unit, unit}, false},
      {"homing kind 2", {{184, 253, 2, 10, 20, 1}}, false},
      {"goal y 76 and 176", {{184, 254, 10, 76, 0}, {185, 254, 10, 176, 0}}, true},
      {"goal y 75", {{184, 254, 10, 75, 0}}, false},
      {"goal y 177 (negative)", {{184, 254, 10, 177, 0}}, false},
      {"a vehicle with two units", {{184, 246, 1, 2, 3, 4, 5, 0, 1, 2, 3, 1, 5, 6, 7, 0x80}}, true},
      {"a vehicle without its end byte", {{184, 246, 1, 2, 3, 4, 5, 0, 1, 2, 3}}, false},
      {"a vehicle with bytes after its list", {{184, 246, 1, 2, 3, 4, 5, 0x80, 9}}, false},
      {"a vehicle's unit of kind 5", {{184, 246, 1, 2, 3, 4, 5, 5, 1, 2, 3, 0x80}}, false},
      {"a vehicle of seven units",
       {{184, 246, 1, 2, 3, 4, 5, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1,
         0x80}},
       false},
      {"a vehicle's four units and two events",
       {{184, 252, 1, 2, 3, 4, 5, 0, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0x80}, unit, unit},
       true},
      {"a vehicle's five units and two events", {{184, 252, 1, 2, 3, 4, 5, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0x80}, unit, unit}, false},
      {"installations and objects", {{184, 234, 1, 2}, {184, 245, 1, 2}}, true},
  };
  for (const row& r : rows) {
    mission_builder m;
    EXPECT_EQ(m.stream(r.e), r.ok) << r.what << ": " << m.error;
    EXPECT_EQ(m.error.empty(), r.ok) << r.what;
    EXPECT_EQ(stream_problem(r.e).empty(), r.ok) << r.what;
  }
}

} // namespace
