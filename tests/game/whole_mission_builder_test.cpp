// The whole mission's builder: the default mission builds, its level file
// holds what the description says where level_table points, and every
// description that breaks what the missions rely on is refused with a
// reason.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "game/mission_ram.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/runs/whole_mission.h"

namespace {

TEST(WholeMissionBuilder, TheDefaultMissionPlacesEveryKind) {
  const whole_mission d = whole_mission_default();
  whole_mission_build b;
  ASSERT_TRUE(build_whole_mission(d, b)) << b.error;
  EXPECT_EQ(b.file.size(), 819200u);
  EXPECT_EQ(b.image_hash.size(), 12u);

  bool kinds[6] = {};
  bool hinstallations[6] = {}, objects[6] = {}, vehicles[7] = {};
  size_t most_attachments = 0;
  for (const auto& stream : d.streams)
    for (const mission_event& e : stream) {
      kinds[static_cast<int>(e.kind)] = true;
      if (e.kind == event_kind::horizontal_installation) hinstallations[e.command - 234] = true;
      if (e.kind == event_kind::section_object) objects[e.command - 240] = true;
      if (e.kind == event_kind::vehicle) vehicles[e.command - 246] = true;
      most_attachments = std::max(most_attachments, e.attachments.size());
    }
  for (bool k : kinds) EXPECT_TRUE(k);
  for (bool k : hinstallations) EXPECT_TRUE(k);
  for (bool k : objects) EXPECT_TRUE(k);
  for (bool k : vehicles) EXPECT_TRUE(k);
  EXPECT_EQ(most_attachments, 6u);
  bool installation_types[4] = {};
  for (const auto& map : d.maps)
    for (const map_row& row : map)
      for (const map_block& block : row)
        for (const map_object& o : block.objects)
          if (o.code >= 0xF1) installation_types[o.code - 0xF1] = true;
  for (bool k : installation_types) EXPECT_TRUE(k);

  // The level file in RAM where loader 3 puts it: stream 6 ends in the goal.
  machine_clear();
  b.level.put_in_ram();
  const u32 v3 = b.level.stream_address(6);
  const mission_event& goal = d.streams[6].back();
  u32 at = v3;
  for (const mission_event& e : d.streams[6]) {
    EXPECT_EQ(rd8(at), e.trigger);
    EXPECT_EQ(rd8(at + 1), e.command);
    at += 2 + static_cast<u32>(e.args.size());
  }
  EXPECT_EQ(rd8(at), 0xFFu) << "the stream's end";
  EXPECT_EQ(goal.kind, event_kind::goal);
}

TEST(WholeMissionBuilder, TheImageHashNamesTheFile) {
  whole_mission d = whole_mission_default();
  whole_mission_build a, b;
  ASSERT_TRUE(build_whole_mission(d, a));
  d.colour14 ^= 1;
  ASSERT_TRUE(build_whole_mission(d, b));
  EXPECT_NE(a.image_hash, b.image_hash) << "one colour changed";
  whole_mission_build c;
  ASSERT_TRUE(build_whole_mission(whole_mission_default(), c));
  EXPECT_EQ(a.image_hash, c.image_hash);
}

TEST(WholeMissionBuilder, RefusesWhatTheMissionsCannotPlay) {
  using change = std::function<void(whole_mission&)>;
  const struct {
    const char* why;
    change breaks;
  } cases[] = {
      {"a trigger of $FF", [](whole_mission& d) { d.streams[0].insert(d.streams[0].begin(), enemy_event(0xFF, 2, 0, 0)); }},
      {"triggers out of clock order",
       [](whole_mission& d) { d.streams[0].push_back(enemy_event(190, enemy_shooter, 0, 0)); }},
      {"an enemy type without a script", [](whole_mission& d) { d.streams[0][0].command = 9; }},
      {"an installation in a vertical section",
       [](whole_mission& d) { d.streams[0].push_back(hinstallation_event(100, 234, 10, 10)); }},
      {"an installation type outside 234-239", [](whole_mission& d) { d.streams[1][0].command = 240; }},
      {"an installation y past 168", [](whole_mission& d) { d.streams[1][0].args[1] = 169; }},
      {"an object y past 184", [](whole_mission& d) { d.streams[1][2].args[1] = 185; }},
      {"an object in a vertical section",
       [](whole_mission& d) { d.streams[2].push_back(hobject_event(240, 240, 10, 10)); }},
      {"a vehicle command outside 246-252", [](whole_mission& d) { d.streams[2][0].command = 253; }},
      {"a vehicle in a horizontal section",
       [](whole_mission& d) { d.streams[1].push_back(vehicle_event(240, 246, {0, 0, 0, 0, 0})); }},
      {"a vehicle x off the 16-pixel columns", [](whole_mission& d) { d.streams[0][2].args[0] = 8; }},
      {"a vehicle picture past the playfield", [](whole_mission& d) { d.streams[0][2].args[0] = 144; }},
      {"a narrow vehicle past the playfield", [](whole_mission& d) { d.streams[4][3].args[0] = 176; }},
      {"seven attachments", [](whole_mission& d) { d.streams[0][2].attachments.push_back({48, 16, 0, 0}); }},
      {"an attachment that ends the list", [](whole_mission& d) { d.streams[0][2].attachments[3][0] = 0x80; }},
      {"an attachment of kind 2", [](whole_mission& d) { d.streams[0][2].attachments[3][0] = 2; }},
      {"a homing unit of kind 2", [](whole_mission& d) { d.streams[2][2].args[0] = 2; }},
      {"seven homing units in a section",
       [](whole_mission& d) {
         for (int n = 0; n < 3; ++n) d.streams[2].push_back(homing_event(240, {0, 0, 1, 1}));
       }},
      {"a unit by event beside a full vehicle",
       [](whole_mission& d) { d.streams[0].push_back(homing_event(30, {0, 0, 1, 1})); }},
      {"a homing unit in a horizontal section",
       [](whole_mission& d) { d.streams[3].push_back(homing_event(240, {0, 0, 1, 1})); }},
      {"no goal", [](whole_mission& d) { d.streams[6].pop_back(); }},
      {"a goal outside V3", [](whole_mission& d) { d.streams[4].push_back(goal_event(240, 60, 120, 0)); }},
      {"two goals", [](whole_mission& d) { d.streams[6].push_back(goal_event(240, 60, 120, 0)); }},
      {"a goal above y 76", [](whole_mission& d) { d.streams[6].back().args[1] = 75; }},
      {"a goal below y 176", [](whole_mission& d) { d.streams[6].back().args[1] = 177; }},
      {"a pattern list without a delay", [](whole_mission& d) { d.patterns[0] = {{4, 6, 1, 2, 0}}; }},
      {"a ground block past 5", [](whole_mission& d) { d.maps[1][3][0].block = 6; }},
      {"a map of a broken row", [](whole_mission& d) { d.maps[2][4].pop_back(); }},
  };
  for (const auto& c : cases) {
    whole_mission d = whole_mission_default();
    c.breaks(d);
    whole_mission_build b;
    EXPECT_FALSE(build_whole_mission(d, b)) << c.why;
    EXPECT_FALSE(b.error.empty()) << c.why;
    EXPECT_TRUE(b.file.empty()) << c.why << ": nothing half-built";
  }
  // The limits themselves are allowed.
  whole_mission d = whole_mission_default();
  d.streams[6].back().args[1] = 76;
  d.streams[1][0].args[1] = 168;
  d.streams[1][2].args[1] = 184;
  d.streams[0][2].args[0] = 128;  // 64 pixels wide, to the playfield's last column
  d.streams[4][3].args[0] = 160;  // type 6: 32 pixels
  whole_mission_build b;
  EXPECT_TRUE(build_whole_mission(d, b)) << b.error;
  d.streams[6].back().args[1] = 176;
  EXPECT_TRUE(build_whole_mission(d, b)) << b.error;
}

} // namespace
