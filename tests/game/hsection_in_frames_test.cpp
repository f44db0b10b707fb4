// The horizontal sections' objects and installations inside
// frame_horizontal, placed by the game's own event stream: a player walking
// onto a mine dies (not while blinking) and the mine turns to debris; a
// vent's puff kills a player standing over it; a grenade's blast destroys
// an object and its chain blast the next one; a heavy projectile wrecks an
// installation. The spawners fill their tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/tables/dot_effect_tables.h"
#include "support/tables/hsection_tables.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"
#include "support/tables/section_cycle.h"

namespace {

namespace pr = player_record;

constexpr u32 frame_horizontal = 0x00474A;
constexpr u32 stream_at = 0x3000;

u32 passes_wanted;
void end_after_passes() {
  if (rd16(fx_bank) == passes_wanted - 1) wr16(exit_request, 0xFFFF);
}

// Between slices: the pass after which something was first seen (0: not
// yet), player 1's joystick held right when asked. The escape that ends a test's
// run clears the tables with hscroll_step: nothing is seen after it.
bool walking;
u32 object_gone_after[2], player1_dying_after;
void watch_between_passes() {
  if (walking) wr8(player1 + pr::right, 0xFF);
  if (rd16(hscroll_step) == 0) return;
  const u32 passes = rd16(fx_bank);
  for (u32 i = 0; i < 2; ++i)
    if (!object_gone_after[i] && passes > 0 && rd16(section_object_at(i)) == 0) object_gone_after[i] = passes;
  if (!player1_dying_after && rd16(player1 + pr::state) != 0) player1_dying_after = passes;
}

class SectionObjectsInFrames : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    section_cycle_put(section_cycle_mission(), {});
    player_tables{}.put_in_ram();
    hsection_tables{}.put_in_ram();
    walking = false;
    object_gone_after[0] = object_gone_after[1] = player1_dying_after = 0;
    wr16(level_section, 0);
    wr16(stream_section, 1);
    wr16(hscroll_step, 2);
    wr16(scroll_pos, 100);
    wr16(player1 + pr::lives, 3);
    wr16(player1 + pr::x, 150);
    wr16(player1 + pr::y, 100);
  }
  // The events, all due now, read by the game's stream at the pass's turn.
  void stream(const std::vector<std::vector<u8>>& events) {
    u32 at = stream_at;
    for (const auto& e : events)
      for (u8 b : e) wr8(at++, b);
    wr8(at, 0xFF);
    wr32(event_pointer, stream_at);
  }
  bool run_passes(u32 n) {
    passes_wanted = n;
    if (n == 1) wr16(exit_request, 0xFFFF);
    driver_start(frame_horizontal);
    driver_run(20 * static_cast<int>(n), 2000000, [] {
      mission_vbl();
      watch_between_passes();
      end_after_passes();
    });
    return driver_finished() && rd16(fx_bank) == n;
  }
  bool player1_died() {
    return rd16(player1 + pr::state) != 0;
  }
};

TEST_F(SectionObjectsInFrames, AVentsPuffKillsThePlayerStandingOverIt) {
  for (u32 blink : {0u, 40u}) {
    SetUp();
    wr16(player1 + pr::blink, blink);
    const u8 clock = static_cast<u8>(rd8(event_clock));
    // placed at x 152 in pass 0, scrolled to 150 under the player
    stream({object_event(clock, 242, 152, 100)});
    ASSERT_TRUE(run_passes(2));
    EXPECT_EQ(rd16(section_object_table.address + 6), 242u);
    EXPECT_EQ(rd16(section_object_table.address + 0x0A), 1u) << "one puff";
    EXPECT_EQ(player1_died(), blink == 0) << "blink " << blink;
    EXPECT_EQ(rd16(effect_table.address + 8) != 0, blink != 0) << "the puff ends on the player";
    EXPECT_EQ(rd16(effect_table.address + 0x0A), 0xFFFFu) << "nobody's";
  }
}

// Player 1 walks right from x 91, 3 pixels a pass, and player 2 standing
// at x 40 holds the scroll: player 1's obstacle probes reach 24 pixels
// right of x, 12 while it blinks, and cover lines y + 14 - 16 to y + 26.
TEST_F(SectionObjectsInFrames, APlayerWalkingOntoAMineDiesAndTheMineTurnsToDebris) {
  struct {
    u8 kind, y;
    u16 blink;
    u32 gone_after; // passes; 0: the object stays
    bool dies;
  } cases[] = {
      {240, 100, 0, 3, true},   // probed at x 97: 97 + 24 reaches 120
      {241, 100, 40, 7, false}, // probed at x 109: 109 + 12 reaches 120
      {245, 100, 0, 0, false},  // inert: walked over
      {240, 127, 0, 0, false},  // a line below the lower probes
  };
  for (const auto& c : cases) {
    SetUp();
    wr16(player1 + pr::x, 91);
    wr16(player1 + pr::blink, c.blink);
    wr16(player2 + pr::lives, 3);
    wr16(player2 + pr::x, 40);
    wr16(player2 + pr::y, 40);
    walking = true;
    const u8 clock = static_cast<u8>(rd8(event_clock));
    stream({object_event(clock, c.kind, 120, c.y)});
    ASSERT_TRUE(run_passes(9));
    const std::string what = std::to_string(c.kind) + " at y " + std::to_string(c.y) + " blink " + std::to_string(c.blink);
    EXPECT_EQ(rd16(section_object_at(0) + 2), 120u) << what << ": the scroll held";
    EXPECT_EQ(object_gone_after[0], c.gone_after) << what;
    EXPECT_EQ(player1_dying_after, c.dies ? c.gone_after : 0) << what << ": killed by the same probe";
    EXPECT_EQ(rd16(player1 + pr::x), c.dies ? 100u : 118u) << what << ": walked on until then";
    // One piece of debris, still playing, where the mine lay (the horizontal
    // scroll never moves debris).
    const u32 piece = debris_table.address;
    EXPECT_EQ(rd16(piece), c.gone_after ? 0xFFFFu : 0u) << what;
    EXPECT_EQ(rd16(piece + debris_table.size), 0u) << what;
    if (!c.gone_after) continue;
    EXPECT_EQ(rd16(piece + 2), 120u + 28) << what;
    EXPECT_EQ(rd16(piece + 4), c.y + 88u) << what;
  }
}

// A grenade of player 2 bursts at (144, 160) on its 20th step (pass 19);
// in the next pass its blast strikes the first object and the chain blast
// at (160, 156), in a later record, strikes the second in the same pass.
// The second object stands 36 pixels right of the grenade's blast, out of
// its reach. Player 1 stands far above, holding the scroll.
TEST_F(SectionObjectsInFrames, AGrenadesBlastDestroysAnObjectAndItsChainTheNext) {
  put_explosion_frames();
  wr16(player1 + pr::x, 100);
  wr16(player1 + pr::y, 20);
  wr32(player1 + pr::score, 700);
  wr32(player2 + pr::score, 1000);
  const u8 clock = static_cast<u8>(rd8(event_clock));
  stream({object_event(clock, 245, 120, 60), object_event(clock, 243, 144, 60)});
  put_grenade(0, 130, 187, 1, -1, 1); // thrown by player 2
  ASSERT_TRUE(run_passes(22));
  EXPECT_EQ(object_gone_after[0], 21u);
  EXPECT_EQ(object_gone_after[1], 21u) << "the chain strikes in the same pass";
  EXPECT_EQ(rd32(player2 + pr::score), 1400u) << "200 points each";
  EXPECT_EQ(rd32(player1 + pr::score), 700u);
  struct {
    u32 x, y;
  } blasts[] = {{144, 160}, {160, 156}, {192, 156}}; // the grenade's, then one per object
  for (u32 i = 0; i < 3; ++i) {
    EXPECT_EQ(rd16(explosion_at(i) + 4), 0xFFFFu) << i;
    EXPECT_EQ(rd16(explosion_at(i)), blasts[i].x) << i;
    EXPECT_EQ(rd16(explosion_at(i) + 2), blasts[i].y) << i;
    EXPECT_EQ(rd16(explosion_at(i) + 0x0A), 1u) << i << ": player 2's";
  }
  EXPECT_EQ(rd16(explosion_at(3) + 4), 0u);
}

TEST_F(SectionObjectsInFrames, AHeavyProjectileWrecksAnInstallation) {
  const u8 clock = static_cast<u8>(rd8(event_clock));
  stream({installation_event(clock, 236, 120, 40)});
  const u32 p = projectile_table.address;
  wr16(p, 0xFFFF);
  wr16(p + 2, 120 + 32 + 16);
  wr16(p + 4, 40 + 96 + 10);
  wr16(p + 6, 17);
  ASSERT_TRUE(run_passes(2)); // placed in pass 0 after the hit test, wrecked in pass 1
  const u32 inst = section_installation_table.address;
  EXPECT_EQ(rd16(inst + 6), 239u);
  EXPECT_EQ(rd16(p), 0u);
  EXPECT_EQ(rd32(player1 + pr::score), 1000u);
  EXPECT_EQ(rd16(explosion_table.address + 4), 0xFFFFu);
  EXPECT_EQ(rd16(explosion_table.address + 0x0A), 0xFFFFu);
}

} // namespace
