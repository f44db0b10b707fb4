// The ground objects inside a pass of frame_vertical: a player's heavy
// projectiles wreck an installation and a vehicle; the wreck pictures, the
// debris, the explosions and the points follow in the same pass. A moving
// vehicle runs a player down; a spiked mine's grenade leaves the play
// field before it can burst.
#include <gtest/gtest.h>

#include <tuple>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "game/vertical_objects_ram.h"
#include "machine/hooks.h"
#include "support/tables/ground_objects.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/machine/spawn_log.h"

namespace {

constexpr u32 frame_vertical = 0x008EAC;
constexpr u32 installation_at = installation_table.address + 3 * installation_table.size;
constexpr u32 vehicle_at = vehicle_table.address + 2 * vehicle_table.size;

// Whether the picture group's colours (not its colour-0 pixels) are on the
// screen at line l, group g.
bool shows(u32 screen, u32 line, u32 group, ground_picture p, u32 frame, u32 picture_line, u32 picture_group) {
  u16 planes[4], any = 0;
  for (u32 q = 0; q < 4; ++q) any |= planes[q] = picture_word(p, frame, picture_line, picture_group, q);
  for (u32 q = 0; q < 4; ++q)
    if ((rd16(screen + line * 160 + group * 8 + 2 * q) & any) != planes[q]) return false;
  return true;
}

bool installation_wreck_seen = false, vehicle_wreck_seen = false;

// Right after each drawing, before later objects cover it.
void after_installation(u32) {
  if (g_cpu.a[6] + (g_cpu.d[6] & 0xFFFF) != installation_at) return;
  const u32 screen = rd32(draw_screen);
  installation_wreck_seen = true;
  for (u32 l = 0; l < 32; ++l)
    for (u32 g = 0; g < 2; ++g)
      installation_wreck_seen &= shows(screen, 60 + l, 10 + g, ground_picture::installation, 5, l, g);
}

void after_vehicle(u32) {
  if (g_cpu.a[6] != vehicle_at) return;
  const u32 screen = rd32(draw_screen);
  vehicle_wreck_seen = true;
  for (u32 l = 0; l < 40; ++l)
    for (u32 g = 0; g < 4; ++g) vehicle_wreck_seen &= shows(screen, 100 + l, 4 + g, ground_picture::vehicle_b, 1, l, g);
}

class GroundObjectsInAFrame : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    spawn_log_start();
    ASSERT_TRUE(tables.put_in_ram()) << tables.error;
    player_tables{}.put_in_ram();
    wr16(player1 + player_record::lives, 3);
    wr16(player1 + player_record::y, 200); // low on the screen: the scroll holds
    wr16(player1 + player_record::x, 200);
    wr16(scroll_pos, 300);
    wr16(exit_request, 0xFFFF); // one pass
    installation_wreck_seen = vehicle_wreck_seen = false;
    hook_register(0x006F18, after_installation);
    hook_register(0x0060DE, after_vehicle);
  }
  ground_objects tables;
};

TEST_F(GroundObjectsInAFrame, HeavyProjectilesWreckAnInstallationAndAVehicle) {
  // the installation at screen (160, 60), the vehicle at play field (100, 200)
  wr16(installation_at + installation_field::x, 160);
  wr16(installation_at + installation_field::y, 60);
  wr16(installation_at + installation_field::state, 1);
  wr16(installation_at + installation_field::type, 0xF2);
  wr16(installation_at + installation_field::timer, 9);
  wr16(vehicle_at + vehicle_field::active, 0xFFFF);
  wr16(vehicle_at + vehicle_field::x, 100);
  wr16(vehicle_at + vehicle_field::y, 200);
  wr16(vehicle_at + vehicle_field::speed, 2);
  wr16(vehicle_at + vehicle_field::height, 40);
  wr16(vehicle_at + vehicle_field::width, 60);
  wr16(vehicle_at + vehicle_field::type, 2);
  const u32 p1 = projectile_table.address, p2 = p1 + 5 * projectile_table.size;
  for (const auto& [p, x, y] : {std::tuple{p1, 200u, 166u}, std::tuple{p2, 120u, 210u}}) {
    wr16(p, 0xFFFF);
    wr16(p + projectile_field::x, x);
    wr16(p + projectile_field::y, y);
    wr16(p + projectile_field::type, 18);
    wr16(p + projectile_field::owner, 0);
  }
  driver_start(frame_vertical);
  driver_run(20, 2000000, mission_vbl);
  ASSERT_TRUE(driver_finished());

  EXPECT_EQ(rd16(installation_at + installation_field::type), installation_field::wreck);
  EXPECT_EQ(rd16(vehicle_at + vehicle_field::frame), 1u);
  EXPECT_EQ(rd16(vehicle_at + vehicle_field::y), 200u) << "stopped before it moved";
  EXPECT_EQ(rd16(p1), 0u);
  EXPECT_EQ(rd16(p2), 0u);
  EXPECT_EQ(rd32(player1 + player_record::score), 3000u);
  EXPECT_TRUE(installation_wreck_seen);
  EXPECT_TRUE(vehicle_wreck_seen);
  // two pieces from the installation, one from the vehicle's list
  u32 live = 0;
  for (u32 i = 0; i < debris_table.records; ++i) live += rd16(debris_table.address + i * debris_table.size) != 0;
  EXPECT_EQ(live, 3u);
  const u32 first = debris_table.address;
  EXPECT_EQ(rd16(first + debris_field::frame) * 3 + rd16(first + debris_field::timer), 2u) << "drawn once in this pass";
  EXPECT_EQ(explosions_spawned().size(), 3u);
  int destroyed_samples = 0;
  for (const played_sample& s : samples_played())
    if (s.sample == 3) {
      ++destroyed_samples;
      EXPECT_EQ(s.return_address, 0x72EEu);
      EXPECT_EQ(s.a4, vehicle_at);
    }
  EXPECT_EQ(destroyed_samples, 1);
}

TEST_F(GroundObjectsInAFrame, AMovingIntactVehicleRunsThePlayerDown) {
  // The player's deadly point is (x + 48, y + 114) = (248, 314); the vehicle
  // covers it by 48 columns and 34 lines, whichever way it moves this pass.
  struct row {
    const char* what;
    u16 speed, destroyed;
    bool dies;
  };
  const row rows[] = {
      {"moving", 2, 0, true},
      {"standing", 0, 0, false},
      {"a moving wreck", 2, 0xFFFF, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    SetUp();
    wr16(vehicle_at + vehicle_field::active, 0xFFFF);
    wr16(vehicle_at + vehicle_field::x, 200);
    wr16(vehicle_at + vehicle_field::y, 280);
    wr16(vehicle_at + vehicle_field::speed, r.speed);
    wr16(vehicle_at + vehicle_field::height, 50);
    wr16(vehicle_at + vehicle_field::width, 60);
    wr16(vehicle_at + vehicle_field::type, 2);
    wr16(vehicle_at + vehicle_field::destroyed, r.destroyed);
    wr16(vehicle_at + vehicle_field::frame, r.destroyed ? 1 : 0);
    driver_start(frame_vertical);
    driver_run(20, 2000000, mission_vbl);
    ASSERT_TRUE(driver_finished());

    EXPECT_EQ(rd16(player1 + player_record::state), r.dies ? 0xFFFFu : 0u);
    EXPECT_EQ(rd16(player1 + player_record::lives), 3u) << "a life goes only at the end of the dying";
    if (r.dies) {
      const u32 next = rd32(player1 + player_record::death_next);
      EXPECT_GE(next, death_list_1);
      EXPECT_LT(next, death_list_2) << "player 1's own death pictures";
    }
    EXPECT_EQ(rd16(player2 + player_record::state), 0u);
    EXPECT_EQ(rd16(vehicle_at + vehicle_field::active), 0xFFFFu) << "the vehicle drives on";
    EXPECT_EQ(rd16(vehicle_at + vehicle_field::y), 280u + r.speed);
  }
}

TEST_F(GroundObjectsInAFrame, ASpikedMinesGrenadeIsFreedWithoutABurst) {
  // The grenade starts at the mine's screen position + 12 read as play-field
  // coordinates and steps 244 columns a frame: above the play field it goes
  // in the frame it is thrown, on it in the next, long before its 20 steps.
  struct row {
    u16 x, y;
    bool live_after_the_throw;
  };
  const row rows[] = {{80, 40, false}, {160, 120, true}, {240, 199, true}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.y);
    SetUp();
    const u32 mine = installation_table.address;
    wr16(mine + installation_field::x, r.x);
    wr16(mine + installation_field::y, r.y);
    wr16(mine + installation_field::state, 1);
    wr16(mine + installation_field::type, installation_field::mine);
    wr16(mine + installation_field::timer, 1);
    const u32 grenade = grenade_table.address;
    for (int pass = 0; pass < 2; ++pass) {
      wr16(exit_request, 0xFFFF);
      driver_start(frame_vertical);
      driver_run(20, 2000000, mission_vbl);
      ASSERT_TRUE(driver_finished());
      if (pass == 0) {
        EXPECT_EQ(rd16(grenade + 4), r.live_after_the_throw ? 0xFFFFu : 0u);
        EXPECT_EQ(rd16(grenade + 0), r.x + 12u);
        EXPECT_EQ(rd16(grenade + 2), r.y + 12u);
        EXPECT_EQ(rd16(grenade + 0x10), 0xF4u);
        EXPECT_EQ(rd16(grenade + 0x12), 0u) << "no leftover as its dy";
        EXPECT_EQ(rd16(grenade + 0x0C), 0xFFFFu) << "an enemy's";
      }
    }
    for (u32 i = 0; i < grenade_table.records; ++i) EXPECT_EQ(rd16(grenade + i * grenade_table.size + 4), 0u) << i;
    EXPECT_TRUE(explosions_spawned().empty());
    for (const played_sample& s : samples_played()) EXPECT_NE(s.sample, 6u) << "a burst's sound";
    EXPECT_EQ(rd16(mine + installation_field::timer), 29u) << "thrown once, then counting down";
  }
}

} // namespace
