// The horizontal sections' objects and installations inside
// frame_horizontal, placed by the game's own event stream: a vent's puff
// kills a player standing over it (not while blinking), and a heavy
// projectile wrecks an installation. The player's death routine of later
// work is a recording stand-in; the explosion spawner fills its table.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/dot_effect_tables.h"
#include "support/hsection_tables.h"
#include "support/mission_builder.h"
#include "support/mission_machine.h"
#include "support/section_cycle.h"

namespace {

namespace pr = player_record;

constexpr u32 frame_horizontal = 0x00474A;
constexpr u32 start_death = 0x00AA42;
constexpr u32 stream_at = 0x3000;

u32 passes_wanted;
void end_after_passes() {
  if (rd16(fx_bank) == passes_wanted - 1) wr16(exit_request, 0xFFFF);
}

class SectionObjectsInFrames : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    section_cycle_put(section_cycle_mission(), {});
    player_tables{}.put_in_ram();
    hsection_tables{}.put_in_ram();
    stand_in_explosions();
    stub_records({0x0063A4}); // the debris spawner of later work
    stub_watch_address = current_player + 1;
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
      end_after_passes();
    });
    return driver_finished() && rd16(fx_bank) == n;
  }
  bool player1_died() {
    if (!stubbed(start_death)) return rd16(player1 + pr::state) != 0;
    for (const stub_call& c : stub_calls())
      if (c.address == start_death && c.a4 == player1 && c.watched == 0) return true;
    return false;
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
