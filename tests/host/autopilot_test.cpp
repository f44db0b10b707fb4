// The test autopilot: a hand-made map pointer and mission-box table, the
// shop's exit, and the mission script, VBL by VBL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host/emu_fixture.h"
#include "machine/memory.h"
#include "support/log_capture.h"

namespace {

constexpr u32 cursor_x = 0x1EC, cursor_y = 0x1EE, boxes = 0xBF98;
constexpr u32 player1 = 0x2DA, owned = 0x66, prices = 0xCFF8;
constexpr int up = 1, down = 2, left = 4, right = 8, fire = 0x80;

struct box {
  int x0, x1, y0, y1, mission;
};

class Autopilot : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    setenv("BKM_TEST", "1", 1);
    setenv("BKM_AUTOMISSION", "3", 1);
  }
  void TearDown() override {
    unsetenv("BKM_AUTOMISSION");
    unsetenv("BKM_TEST");
    EmuTest::TearDown();
  }
  static void pointer_at(int x, int y) {
    wr16(cursor_x, static_cast<u32>(x) & 0xFFFF);
    wr16(cursor_y, static_cast<u32>(y) & 0xFFFF);
  }
  static void table(std::initializer_list<box> list) {
    u32 at = boxes;
    for (const box& b : list) {
      for (int w : {b.x0, b.x1, b.y0, b.y1, b.mission}) {
        wr16(at, static_cast<u32>(w) & 0xFFFF);
        at += 2;
      }
    }
    wr16(at, 0xFFFF);
  }
  static void kind(const char* k) { std::snprintf(emu.kind_now, sizeof emu.kind_now, "%s", k); }
  // The pointer follows the wanted joystick by one pixel a VBL, as the
  // game's map does.
  static void follow() {
    const int j = emu.wanted_joy[1];
    int x = static_cast<i16>(rd16(cursor_x)), y = static_cast<i16>(rd16(cursor_y));
    if (j & left) --x;
    if (j & right) ++x;
    if (j & up) --y;
    if (j & down) ++y;
    pointer_at(x, y);
  }
};

TEST_F(Autopilot, SteersTowardAPointWithinItsTolerance) {
  struct row {
    int px, py, x, y, tolerance, want_dir;
  } rows[] = {
      {100, 50, 100, 50, 1, 0},          {100, 50, 101, 49, 1, 0},
      {100, 50, 98, 50, 1, left},        {100, 50, 102, 50, 1, right},
      {100, 50, 100, 47, 1, up},         {100, 50, 100, 53, 1, down},
      {100, 50, 90, 60, 3, left | down}, {288, 132, 285, 135, 3, 0},
  };
  for (const row& r : rows) {
    pointer_at(r.px, r.py);
    emu.wanted_joy[1] = fire;
    EXPECT_EQ(auto_arrived(r.x, r.y, r.tolerance), r.want_dir == 0) << r.x << "," << r.y;
    EXPECT_EQ(emu.wanted_joy[1], r.want_dir) << r.x << "," << r.y;
  }
}

TEST_F(Autopilot, WalksTheMapToTheMissionsBoxCentreAndFires) {
  table({{10, 20, 10, 20, 1}, {200, 240, 100, 120, 3}, {40, 60, 40, 60, 5}});
  kind("map");
  pointer_at(150, 150);
  u32 v = 1000;
  int first_rest = -1, fired_at = -1;
  for (int i = 0; i < 200 && fired_at < 0; ++i, ++v) {
    autopilot(v);
    if (first_rest < 0 && emu.pilot.arrived == 1) first_rest = static_cast<int>(v);
    if (emu.pilot.pulses) fired_at = static_cast<int>(v);
    follow();
  }
  ASSERT_GE(fired_at, 0) << "the pointer never settled";
  EXPECT_NEAR(static_cast<i16>(rd16(cursor_x)), 220, 1);
  EXPECT_NEAR(static_cast<i16>(rd16(cursor_y)), 110, 1);
  // Resting more than 25 VBLs on the centre earns 8 fire pulses, then 150
  // waits.
  EXPECT_EQ(fired_at - first_rest, 25);
  EXPECT_EQ(emu.pilot.pulses, 8);
  EXPECT_EQ(emu.pilot.waits, 150);
  for (int i = 0; i < 8; ++i) {
    autopilot(v++);
    EXPECT_EQ(emu.wanted_joy[1], fire) << i;
  }
  autopilot(v++);
  EXPECT_EQ(emu.wanted_joy[1], 0);
  EXPECT_EQ(emu.pilot.waits, 149);
}

TEST_F(Autopilot, CountsOncePerVblHoweverOftenInputIsDelivered) {
  emu.pilot.pulses = 3;
  kind("other");
  pump(500);
  pump(500);
  pump(500);
  EXPECT_EQ(emu.pilot.pulses, 2);
  pump(501);
  EXPECT_EQ(emu.pilot.pulses, 1);
}

TEST_F(Autopilot, TheTableIsReadToItsEndOrItsFortiethEntry) {
  kind("map");
  pointer_at(0, 0);
  // Forty-one boxes and no end marker: the fortieth entry is read, the
  // forty-first is beyond the table.
  auto boxes_with_mission_at = [](int at) {
    for (int i = 0; i < 41; ++i) {
      const u32 e = boxes + static_cast<u32>(i * 10);
      for (int w = 0; w < 4; ++w) wr16(e + static_cast<u32>(2 * w), 100);
      wr16(e + 8, i == at ? 3 : 7);
    }
  };
  boxes_with_mission_at(39);
  emu.wanted_joy[1] = 0x55;
  autopilot(10);
  EXPECT_EQ(emu.wanted_joy[1], right | down);
  boxes_with_mission_at(40);
  emu.wanted_joy[1] = 0x55;
  autopilot(11);
  EXPECT_EQ(emu.wanted_joy[1], 0x55);
  // Ended before mission 3.
  table({{10, 20, 10, 20, 1}});
  autopilot(12);
  EXPECT_EQ(emu.wanted_joy[1], 0x55);
}

TEST_F(Autopilot, TheShopsExitThenFire) {
  kind("shop");
  wr8(player1 + owned + 17, 0xFF);  // the last weapon slot: the shop lets the owner leave
  pointer_at(284, 128);
  autopilot(5);
  EXPECT_EQ(emu.wanted_joy[1], right | down) << "just beyond the tolerance of (288, 132)";
  pointer_at(285, 129);
  autopilot(6);
  EXPECT_EQ(emu.wanted_joy[1], 0);
  EXPECT_EQ(emu.pilot.arrived, 1);
  pointer_at(288, 132);
  u32 v = 10;
  for (int i = 0; i < 19; ++i) autopilot(v++);  // 20 VBLs at rest with the one above
  EXPECT_EQ(emu.pilot.pulses, 0);
  autopilot(v++);
  EXPECT_EQ(emu.pilot.pulses, 8);
  EXPECT_EQ(emu.pilot.waits, 100);
}

// A new game owns no weapon and the shop keeps such a player in: the pilot
// buys the first weapon for sale that the money pays for, then leaves.
TEST_F(Autopilot, APlayerWithoutAWeaponBuysOneBeforeLeaving) {
  constexpr u32 not_for_sale = 0xFFFFFFFF;
  struct row {
    const char* what;
    u32 price0, price1, price7;
    u32 cash;
    int owned_slot;  // -1: none
    int x, y;        // the cell centre steered to
  } rows[] = {
      {"the first weapon", 500, 400, 100, 1000, -1, 32, 12},
      {"the first not for sale", not_for_sale, 400, 100, 1000, -1, 96, 12},
      {"the first two too dear", 5000, 1001, 1000, 1000, -1, 160, 36},
      {"none paid for: the exit", 5000, 5000, 5000, 1000, -1, 288, 132},
      {"a weapon owned: the exit", 500, 400, 100, 1000, 0, 288, 132},
      {"the last slot owned: the exit", 500, 400, 100, 1000, 17, 288, 132},
      {"grenades are no weapon to leave with", 500, 400, 100, 1000, 18, 32, 12},
  };
  kind("shop");
  for (const row& r : rows) {
    for (u32 c = 0; c < 30; ++c) wr32(prices + 4 * c, 5000);
    wr32(prices, r.price0);
    wr32(prices + 4, r.price1);
    wr32(prices + 28, r.price7);
    wr32(player1 + 0x58, r.cash);
    for (u32 s = 0; s < 19; ++s) wr8(player1 + owned + s, 0);
    if (r.owned_slot >= 0) wr8(player1 + owned + static_cast<u32>(r.owned_slot), 0xFF);
    // Just beyond the tolerance of the target, below and to its right.
    pointer_at(r.x + 4, r.y + 4);
    emu.pilot = {};
    autopilot(100);
    EXPECT_EQ(emu.wanted_joy[1], left | up) << r.what;
    pointer_at(r.x + 3, r.y + 3);
    emu.pilot = {};
    autopilot(101);
    EXPECT_EQ(emu.wanted_joy[1], 0) << r.what;
  }
  // Settled on the weapon: fire, then a short rest, not the exit's long one.
  for (u32 s = 0; s < 19; ++s) wr8(player1 + owned + s, 0);
  wr32(prices, 500);
  pointer_at(32, 12);
  emu.pilot = {};
  for (u32 v = 300; v < 321; ++v) autopilot(v);
  EXPECT_EQ(emu.pilot.pulses, 8);
  EXPECT_EQ(emu.pilot.waits, 10);
  // Player 2's weapons do not count for player 1.
  wr32(player1 + 0x58, 1000);
  for (u32 s = 0; s < 19; ++s) wr8(player1 + owned + s, 0);
  wr8(0x376 + owned, 0xFF);
  wr32(prices, 500);
  pointer_at(36, 16);
  emu.pilot = {};
  autopilot(200);
  EXPECT_EQ(emu.wanted_joy[1], left | up);
}

TEST_F(Autopilot, PlaysTheMissionScriptAndLogsItsStartAndEnd) {
  log_capture log;
  kind("game");
  struct row {
    int d, joy, aim, aim_fire;
  } rows[] = {
      {0, 0, 0, 0},          {199, 0, 0, 0},           {200, up, 0, 0},    {299, up, 0, 0},
      {300, up, right, 1},   {400, left, up | right, 1}, {500, 0, down, 1}, {600, right, 0, 0},
      {699, right, 0, 0},    {700, down | left, left, 1}, {799, down | left, left, 1}, {800, 0, 0, 0},
  };
  const u32 start = 3000;
  for (const row& r : rows) {
    autopilot(start + static_cast<u32>(r.d));
    EXPECT_EQ(emu.wanted_joy[1], r.joy) << r.d;
    EXPECT_EQ(emu.aim_in[0], r.aim) << r.d;
    EXPECT_EQ(emu.aim_fire[0], r.aim_fire) << r.d;
  }
  EXPECT_TRUE(log.has("autopilot: mission started at vbl 3000")) << log.text();
  EXPECT_TRUE(log.has("autopilot: script finished")) << "at 800 VBLs";
  autopilot(start + 801);
  const std::string text = log.text();
  const size_t end = text.find("autopilot: script finished\n");
  ASSERT_NE(end, std::string::npos) << text;
  EXPECT_EQ(text.find("autopilot: script finished", end + 1), std::string::npos);
}

TEST_F(Autopilot, TheScriptFinishesWhenItsLastVblShowedAnotherScreen) {
  log_capture log;
  kind("game");
  autopilot(3000);
  kind("other");
  autopilot(3800);
  EXPECT_FALSE(log.has("autopilot: script finished"));
  kind("game");
  autopilot(3801);
  EXPECT_TRUE(log.has("autopilot: script finished")) << log.text();
}

TEST_F(Autopilot, OtherScreensGetFirePulsesUntilAMissionBegan) {
  kind("other");
  autopilot(90);
  EXPECT_EQ(emu.pilot.pulses, 0);
  autopilot(91);
  EXPECT_EQ(emu.pilot.pulses, 6);
  emu.pilot = {};
  emu.pilot.started = 1;
  autopilot(500);
  EXPECT_EQ(emu.pilot.pulses, 0);
}

TEST_F(Autopilot, NothingWithoutTestModeOrAMission) {
  emu.pilot.pulses = 2;
  kind("other");
  unsetenv("BKM_TEST");
  autopilot(10);
  EXPECT_EQ(emu.pilot.pulses, 2);
  setenv("BKM_TEST", "1", 1);
  unsetenv("BKM_AUTOMISSION");
  autopilot(11);
  EXPECT_EQ(emu.pilot.pulses, 2);
}

}  // namespace
