// The scripted test mode's variables: lists that parse, entries that are
// skipped, and player 1's scripted joystick over time.
#include "host/devtest_script.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/log_capture.h"

namespace {

TEST(DevtestScript, JoystickSequenceSkipsBadEntriesAndKeepsLaterOnes) {
  log_capture log;
  struct row {
    const char* text;
    std::vector<std::pair<double, int>> want;
  } rows[] = {
      {"1.5:9,2:0x81,3:0", {{1.5, 9}, {2, 0x81}, {3, 0}}},
      {"1:9,oops,2:x,2.5:,3:4", {{1, 9}, {3, 4}}},
      {"1:9,,4:8", {{1, 9}, {4, 8}}},
      {"1:2:3,5:1", {{5, 1}}},
      {"", {}},
  };
  for (const row& r : rows) {
    std::vector<timed_joy> got = parse_joyseq(r.text);
    ASSERT_EQ(got.size(), r.want.size()) << r.text;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].t.kind, from_loop_start) << r.text;
      EXPECT_EQ(got[i].t.after, r.want[i].first) << r.text;
      EXPECT_EQ(got[i].joy, r.want[i].second) << r.text;
    }
  }
  EXPECT_TRUE(log.has("BKM_JOYSEQ: entry \"oops\" skipped")) << log.text();
  EXPECT_EQ(parse_joyseq(nullptr).size(), 0u);
  std::string many;
  for (int i = 0; i < 130; ++i) many += std::to_string(i) + ":1,";
  EXPECT_EQ(parse_joyseq(many.c_str()).size(), 128u);
}

TEST(DevtestScript, KeysTakeStScanCodesOnly) {
  log_capture log;
  std::vector<scripted_key> got = parse_keys("1:2,1.5:0,2:128,2.5:127,3:-1,4:300,5:3,6:1");
  std::vector<int> codes;
  for (const scripted_key& k : got) codes.push_back(k.code);
  EXPECT_EQ(codes, (std::vector<int>{2, 127, 3, 1}));
  for (const scripted_key& k : got) EXPECT_EQ(k.state, KEY_WAITING);
  EXPECT_TRUE(log.has("BKM_KEYS: entry \"2:128\" skipped")) << log.text();
  EXPECT_TRUE(log.has("BKM_KEYS: entry \"4:300\" skipped")) << log.text();
}

TEST(DevtestScript, MenuScriptsKeepOnlyMenuCommands) {
  log_capture log;
  std::vector<menu_step> got =
      parse_mseq("0:open,0.5:down,1:tabnext,1.5:right,2:enter,2.5:tabnextandmore,3:lfet,3.5:up,4:close,4.5:shot,x:up,5");
  std::vector<std::string> actions;
  std::vector<double> times;
  for (const menu_step& m : got) {
    actions.push_back(m.action);
    times.push_back(m.t.after);
    EXPECT_EQ(m.done, 0);
  }
  EXPECT_EQ(actions, (std::vector<std::string>{"open", "down", "tabnext", "right", "enter", "up", "close", "shot"}));
  EXPECT_EQ(times, (std::vector<double>{0, 0.5, 1, 1.5, 2, 3.5, 4, 4.5}));
  // A long command is cut to 11 characters before it is judged.
  EXPECT_TRUE(log.has("BKM_MSEQ: unknown command \"tabnextandm\" skipped")) << log.text();
  EXPECT_TRUE(log.has("BKM_MSEQ: unknown command \"lfet\" skipped")) << log.text();
  EXPECT_TRUE(log.has("BKM_MSEQ: entry \"x:up\" skipped")) << log.text();
}

TEST(DevtestScript, TimesCountFromTheStartOrFromAScreenKind) {
  struct row {
    const char* text;
    bool ok;
    int kind;
    double after;
  } rows[] = {
      {"1.5", true, from_loop_start, 1.5}, {"+2", true, from_loop_start, 2},
      {"map+1.5", true, 2, 1.5},           {"players+0", true, 1, 0},
      {"game+0.25", true, 4, 0.25},        {"other+3", true, 0, 3},
      {"town+1", false, 0, 0},             {"map", false, 0, 0},
      {"map+", false, 0, 0},               {"map+1x", false, 0, 0},
      {"map+1+2", false, 0, 0},            {"Map+1", false, 0, 0},
      {"map+inf", false, 0, 0},            {"inf", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const row& r : rows) {
    script_time t{3, 9};
    ASSERT_EQ(parse_script_time(r.text, &t), r.ok) << r.text;
    if (!r.ok) {
      EXPECT_EQ(t.kind, 3) << r.text;  // left alone
      continue;
    }
    EXPECT_EQ(t.kind, r.kind) << r.text;
    EXPECT_EQ(t.after, r.after) << r.text;
  }
  log_capture log;
  ASSERT_EQ(parse_keys("players+0.5:2,town+1:2").size(), 1u);
  EXPECT_TRUE(log.has("BKM_KEYS: entry \"town+1:2\" skipped")) << log.text();
  std::vector<menu_step> steps = parse_mseq("map+1:open,map:open");
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].t.kind, 2);
  EXPECT_TRUE(log.has("BKM_MSEQ: entry \"map:open\" skipped")) << log.text();
}

TEST(DevtestScript, AScreenKindCountsFromItsFirstFrame) {
  devtest_script s;
  s.joyseq = parse_joyseq("1:0x80,players+0:0,map+1:8,map+1.5:0");
  struct row {
    double t;
    const char* kind;
    int want;
  } rows[] = {
      {0.5, "other", 0},    // before the first entry
      {2, "other", 0x80},   // fire until the player-count screen shows
      {9, "other", 0x80},
      {9.5, "players", 0},  // from its first frame
      {10, "map", 0},       // the map, but not a second yet
      {10.9, "map", 0},
      {11, "shop", 8},      // later frames of other kinds move nothing
      {11.2, "map", 8},
      {11.5, "players", 0},
      {30, "map", 0},
  };
  for (const row& r : rows) {
    devtest_note_kind(s, r.kind, r.t);
    EXPECT_EQ(devtest_joystick(s, r.t), r.want) << r.t << " " << r.kind;
  }
  EXPECT_EQ(s.kind_seen[0], 0.5);
  EXPECT_EQ(s.kind_seen[1], 9.5);
  EXPECT_EQ(s.kind_seen[2], 10);
  EXPECT_TRUE(devtest_due(s, {3, 0}, 11));    // the shop showed at 11
  EXPECT_FALSE(devtest_due(s, {4, 0}, 1e6));  // no game frame yet
  EXPECT_FALSE(devtest_due(s, {-1, 40}, 30));
}

TEST(DevtestScript, PlayerOnesJoystickOverTime) {
  devtest_script seq;
  seq.joyseq = parse_joyseq("2:8,1:4,3:0x81");
  devtest_script none;
  none.no_input = true;
  devtest_script push;
  push.has_push = true;
  push.push = 2;
  devtest_script pattern;
  struct row {
    const devtest_script* s;
    double t;
    int want;
  } rows[] = {
      // The last entry in the list whose time has come, in list order.
      {&seq, 0.5, 0}, {&seq, 1.0, 4}, {&seq, 2.5, 4}, {&seq, 3.0, 0x81},
      {&none, 5, 0},
      // ⌊25t⌋ mod 6 < 3: fire on.
      {&push, 0.0, 0x82}, {&push, 0.1, 0x82}, {&push, 0.13, 2}, {&push, 0.25, 0x82},
      // ⌊25t⌋ = a: up with fire while a mod 10 < 5; up-left in the second
      // 30-frame phase, up-right in the fourth.
      {&pattern, 0.0, 0x81}, {&pattern, 0.21, 1}, {&pattern, 1.21, 0x85}, {&pattern, 1.41, 5},
      {&pattern, 2.41, 0x81}, {&pattern, 3.61, 0x89}, {&pattern, 7.21, 0x81}, {&pattern, 8.41, 0x85},
  };
  for (const row& r : rows) EXPECT_EQ(devtest_joystick(*r.s, r.t), r.want) << r.t;
}

TEST(DevtestScript, TheEnvironmentFillsTheScript) {
  setenv("BKM_HOLD", "2:4.5", 1);
  setenv("BKM_AIM", "9", 1);
  setenv("BKM_AIM_FROM", "1", 1);
  setenv("BKM_GOD_AT", "3", 1);
  setenv("BKM_KEYS", "1:2", 1);
  devtest_script s = devtest_read_env();
  EXPECT_TRUE(s.has_hold);
  EXPECT_EQ(s.hold_from, 2);
  EXPECT_EQ(s.hold_to, 4.5);
  EXPECT_TRUE(s.has_aim);
  EXPECT_EQ(s.aim, 9);
  EXPECT_EQ(s.aim_from, 1);
  EXPECT_EQ(s.aim_to, 1e9);
  EXPECT_TRUE(s.has_god_at);
  EXPECT_EQ(s.god_at, 3);
  EXPECT_FALSE(s.has_push);
  EXPECT_FALSE(s.no_input);
  ASSERT_EQ(s.keys.size(), 1u);
  for (const char* v : {"BKM_HOLD", "BKM_AIM", "BKM_AIM_FROM", "BKM_GOD_AT", "BKM_KEYS"}) unsetenv(v);
  s = devtest_read_env();
  EXPECT_FALSE(s.has_hold || s.has_aim || s.has_god_at);
  EXPECT_TRUE(s.keys.empty());
}

}  // namespace
