// Sprites of many kinds at the playfield's edges in one pass of
// frame_vertical: each player's picture stands with its hot-spot mark where
// the player is, and the frame is written as a contact sheet for the eye
// (every box closed where it lies inside the playfield, its number legible,
// the clipped ones cut at the edges).
#include <gtest/gtest.h>

#include <array>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/vertical_objects_ram.h"
#include "support/graphics/contact_sheet.h"
#include "support/tables/dot_effect_tables.h"
#include "support/tables/enemy_tables.h"
#include "support/tables/ground_objects.h"
#include "support/tables/mission_builder.h"
#include "support/machine/mission_machine.h"
#include "support/tables/mission_objects.h"
#include "support/tables/shot_tables.h"
#include "support/machine/spawn_log.h"
#include "support/synthetic/st_planes.h"

namespace {

constexpr u32 frame_vertical = 0x008EAC;

// Distinct colours, so that every kind's outline, plate and stripes show.
constexpr std::array<u16, 16> sheet_palette = {0x000, 0x222, 0x700, 0x070, 0x007, 0x530, 0x077, 0x707,
                                               0x444, 0x740, 0x035, 0x473, 0x357, 0x750, 0x557, 0x777};

class SpritesAtTheEdges : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    spawn_log_start();
    ASSERT_TRUE(tables.put_in_ram()) << tables.error;
    player_tables{}.put_in_ram();
    enemy_tables{}.put_in_ram();
    shot_tables{}.put_in_ram();
    dot_effect_tables{}.put_in_ram();
    put_explosion_frames();
    put_shot_frames();
    wr16(scroll_pos, 300);
    wr16(exit_request, 0xFFFF); // one pass
  }
  ground_objects tables;
};

void put_installation(u32 record, u16 x, i16 y, u16 type) {
  const u32 at = installation_table.address + record * installation_table.size;
  wr16(at + installation_field::x, x);
  wr16(at + installation_field::y, static_cast<u16>(y));
  wr16(at + installation_field::state, y < 0 ? 0xFF00 : 1); // placed above the screen, or on it
  wr16(at + installation_field::type, type);
  wr16(at + installation_field::timer, 9);
}

TEST_F(SpritesAtTheEdges, PlayersStandOnTheirMarksAmongClippedSprites) {
  // The players at the playfield's left and right edges (screen
  // coordinates), low enough that the scroll holds.
  put_player(player1, 64, 110);
  put_player(player2, 224, 170);
  // Enemies (field coordinates, 36 and 100 off the screen's) in the corners.
  put_enemy(0, 100, 90, 0);
  put_enemy(1, 290, 95, 0);
  put_enemy(2, 100, 290, 0);
  put_enemy(3, 288, 286, 0);
  // Explosions at both edges, the right one's half beside the field dropped.
  put_explosion(0, 108, 150, 0, 2);
  put_explosion(1, 276, 130, 0, 5);
  // Installations half above the top, at both edges; a vehicle at the left
  // edge running off the bottom.
  put_installation(0, 64, -12, 0xF1);
  put_installation(1, 224, -20, 0xF3);
  put_vehicle(0, 100, 260, 64, 60);
  // Grenades and projectiles near the right edge and the bottom.
  put_grenade(0, 280, 200, 0, 0, 0);
  put_projectile(0, 150, 292, 20, 3);
  put_projectile(1, 282, 180, 21, 3);

  driver_start(frame_vertical);
  driver_run(20, 2000000, mission_vbl);
  ASSERT_TRUE(driver_finished());

  const u8* screen = ram + rd32(draw_screen);
  for (u32 player : {player1, player2}) {
    const int x = rd16(player + player_record::x), y = rd16(player + player_record::y);
    const u32 frame = rd16(player + player_record::frame);
    EXPECT_EQ(static_cast<u32>(st_get_pixel(screen, x, y)), 1 + frame % 15) << "the mark of frame " << frame;
    EXPECT_EQ(static_cast<u32>(st_get_pixel(screen, x + 1, y + 1)), 1 + frame % 15);
  }
  EXPECT_TRUE(write_contact_sheet("sprites_at_the_edges", screen, palette_bytes(sheet_palette).data()));
}

} // namespace
