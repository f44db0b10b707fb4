// Page $A000: the small screens of the front end: the mission-failed
// screen with its typewriter, the player-count prompt, and the entry
// stubs of the palette load and of the mission data load's prompt; the
// ammunition type lookup of the players' weapons; a player's death and
// respawn; the dot bullets (fired, struck and moved); the goal test; the
// missions' event stream; and the vertical sections' installation fire and
// hits, vehicle movement and fire, and the bullets' impact records.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "machine/loader_hold.h"
#include "game/routine_kit.h"
#include "game/shot_ram.h"
#include "game/vertical_objects_ram.h"

using namespace st_io;

namespace {

constexpr u32 failed_line1 = 0x00A9FA;
constexpr u32 failed_line2 = 0x00AA17;
constexpr u32 prompt_text = 0x00FE1E;
constexpr u32 failed_tune = 7;
constexpr u32 failed_pause1 = 470000; // counts of $75A4
constexpr u32 failed_pause2 = 950000;
constexpr u32 colour1_register = 0xFF8242;

inline void set_text_cursor(u32 line, u32 column, u32 colour) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, column);
  wr16(text_colour, colour);
}

} // namespace

// ---- Vertical ground objects: installations and vehicles ---------------------

namespace {

namespace inst = installation_field;
namespace veh = vehicle_field;
namespace proj = projectile_field;

constexpr u32 installation_points = 1000;
constexpr u32 enemy_owner = 0xFFFF;   // obeys every test
constexpr u32 vehicle_owner = 0xFFFE; // passes through vehicles
constexpr u32 shot_life = 200;
constexpr u32 last_fire_offset = 80;  // past the eighth entry: a frame without a shot
constexpr u32 arrangement_bit = 4;    // of the VBL counter's low byte
constexpr u32 vbl_counter_low = 0x001DC7;

// A heavy projectile: one of the types that wreck installations and vehicles.
inline bool heavy(u32 type) { return ((type - proj::first_heavy) & 0xFFFF) <= proj::last_heavy - proj::first_heavy; }

inline void add_points(u32 owner, u32 points) {
  const u32 score = (owner & 0xFFFF) == 0 ? player1 : player2;
  wr32(score + player_record::score, rd32(score + player_record::score) + points);
}

} // namespace

// $A2C2: the heavy projectiles against the installations (a box 33 pixels
// wide and 28 lines high); the first intact one in the box becomes a wreck
// with 1,000 points to the owner and one of two patterns of debris and
// explosions, by bit 4 of the VBL counter. The projectile is used up.
ROUTINE(sub_00A2C2, 0x00A2C2)
  a4 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP(0xA2C8)
  tst<W>(rd16(a4 + proj::active));
  if (cc_eq()) GOTO(0xA3E8);
  if (!heavy(rd16(a4 + proj::type))) GOTO(0xA3E8);
  a6 = installation_table.address;
  put<W>(d6, installation_table.records - 1);
LOOP(0xA2D8)
  tst<W>(rd16(a6 + inst::state));
  if (cc_eq()) GOTO(0xA3D0);
  tst<W>(rd16(a6 + inst::destroyed));
  if (cc_mi()) GOTO(0xA3D0);
  put<W>(d0, rd16(a4 + proj::y) - (rd16(a6 + inst::y) + 96));
  if ((d0 & 0xFFFF) > 27) GOTO(0xA3D0);
  put<W>(d0, rd16(a4 + proj::x) - (rd16(a6 + inst::x) + 32));
  if ((d0 & 0xFFFF) > 32) GOTO(0xA3D0);
  add_points(rd16(a4 + proj::owner), installation_points);
  wr16(a6 + inst::type, inst::wreck);
  wr16(a4 + proj::active, 0);
  wr16(a6 + inst::destroyed, 0xFFFF);
  if (rd8(vbl_counter_low) >> arrangement_bit & 1) GOTO(0xA378);
  d2 = 0;
  put<W>(d0, rd16(a6 + inst::x) + 35);
  put<W>(d1, rd16(a6 + inst::y) + 86);
  JSR(0x0063A4, 0xA33A)
  put<W>(d0, rd16(a6 + inst::x) + 51);
  put<W>(d1, rd16(a6 + inst::y) + 102);
  JSR(0x0063A4, 0xA34A)
  put<W>(d2, 0xFFFF);
  put<W>(d0, rd16(a6 + inst::x) + 67);
  put<W>(d1, rd16(a6 + inst::y) + 97);
  JSR(0x006CA8, 0xA35A)
  put<W>(d0, rd16(a6 + inst::x) + 35);
  put<W>(d1, rd16(a6 + inst::y) + 113);
  JSR(0x006CA8, 0xA36A)
  GOTO(0xA3E8);
HERE(0xA378)
  put<W>(d2, 0xFFFF);
  put<W>(d0, rd16(a6 + inst::x) + 32);
  put<W>(d1, rd16(a6 + inst::y) + 94);
  JSR(0x006CA8, 0xA388)
  put<W>(d0, rd16(a6 + inst::x) + 64);
  put<W>(d1, rd16(a6 + inst::y) + 110);
  JSR(0x006CA8, 0xA398)
  d2 = 0;
  put<W>(d0, rd16(a6 + inst::x) + 48);
  put<W>(d1, rd16(a6 + inst::y) + 85);
  JSR(0x0063A4, 0xA3A8)
  put<W>(d0, rd16(a6 + inst::x) + 32);
  put<W>(d1, rd16(a6 + inst::y) + 101);
  JSR(0x0063A4, 0xA3B8)
  GOTO(0xA3E8);
HERE(0xA3D0)
  a6 += installation_table.size;
  if (dbf(d6)) GOTO(0xA2D8);
HERE(0xA3E8)
  a4 += projectile_table.size;
  if (dbf(d7)) GOTO(0xA2C8);
  RTS();
END_ROUTINE

// $A3FE: every installation in use and intact fires along its pattern,
// on screen or not: each entry waits its delay, an entry of delay 0 lets
// the next fire in the same frame, and after the eighth a frame passes
// without a shot.
ROUTINE(sub_00A3FE, 0x00A3FE)
  a6 = installation_table.address;
  put<W>(d7, installation_table.records - 1);
LOOP(0xA404)
  tst<W>(rd16(a6 + inst::state));
  if (cc_eq()) GOTO(0xA478);
  tst<W>(rd16(a6 + inst::destroyed));
  if (cc_mi()) GOTO(0xA478);
LOOP(0xA40C)
  tst<W>(rd16(a6 + inst::fire_delay));
  if (cc_eq()) GOTO(0xA418);
  wr16(a6 + inst::fire_delay, rd16(a6 + inst::fire_delay) - 1);
  GOTO(0xA478);
HERE(0xA418)
  a0 = installation_fire_patterns + rd16(a6 + inst::pattern) * fire_pattern_bytes;
  put<W>(d6, rd16(a6 + inst::fire_offset));
  wr16(a6 + inst::fire_offset, d6 + fire_entry_bytes);
  if (rd16(a6 + inst::fire_offset) > last_fire_offset) {
    wr16(a6 + inst::fire_offset, 0);
    GOTO(0xA478);
  }
  a0 += d6 & 0xFFFF;
  put<W>(d0, rd16(a6 + inst::x) + 32 + rd16(a0));
  put<W>(d1, rd16(a6 + inst::y) + 100 + rd16(a0 + 2));
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  wr16(a6 + inst::fire_delay, rd16(a0 + 8));
  put<W>(d5, enemy_owner);
  put<W>(d2, shot_life);
  JSR(0x006B74, 0xA470)
  GOTO(0xA40C);
HERE(0xA478)
  a6 += installation_table.size;
  if (dbf(d7)) GOTO(0xA404);
  RTS();
END_ROUTINE

// $A526: every vehicle in use moves down by its speed.
ROUTINE(sub_00A526, 0x00A526)
  a6 = vehicle_table.address;
  put<W>(d7, vehicle_table.records - 1);
LOOP(0xA52C)
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) GOTO(0xA53A);
  wr16(a6 + veh::y, rd16(a6 + veh::y) + rd16(a6 + veh::speed));
HERE(0xA53A)
  a6 += vehicle_table.size;
  if (dbf(d7)) GOTO(0xA52C);
  RTS();
END_ROUTINE

// $A85E: an impact of kind d2.w at (d0.w, d1.w) in the first free
// projectile record, three frames long; dropped when none is free. a3 and
// d7 are kept.
ROUTINE(sub_00A85E, 0x00A85E)
  push32(a3);
  push32(d7);
  a3 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP(0xA86A)
  tst<W>(rd16(a3 + proj::active));
  if (cc_eq()) GOTO(0xA878);
  a3 += projectile_table.size;
  if (dbf(d7)) GOTO(0xA86A);
  GOTO(0xA894);
HERE(0xA878)
  wr16(a3 + proj::x, d0);
  wr16(a3 + proj::y, d1);
  wr16(a3 + proj::type, d2);
  wr16(a3 + 0x0A, 0);
  wr16(a3 + 0x0C, 0);
  wr16(a3 + 0x08, 3);
  wr16(a3 + proj::active, 0xFFFF);
HERE(0xA894)
  d7 = pop32();
  a3 = pop32();
  RTS();
END_ROUTINE

// $AE7A: the vehicles of type 4 that are intact fire along the vehicle
// pattern, the way the installations do, with shots that pass through
// vehicles.
ROUTINE(sub_00AE7A, 0x00AE7A)
  a6 = vehicle_table.address;
  put<W>(d7, vehicle_table.records - 1);
LOOP(0xAE80)
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) GOTO(0xAEEA);
  tst<W>(rd16(a6 + veh::destroyed));
  if (cc_mi()) GOTO(0xAEEA);
  cmp<W>(4, rd16(a6 + veh::type));
  if (cc_ne()) GOTO(0xAEEA);
LOOP(0xAE90)
  tst<W>(rd16(a6 + veh::fire_delay));
  if (cc_eq()) GOTO(0xAE9C);
  wr16(a6 + veh::fire_delay, rd16(a6 + veh::fire_delay) - 1);
  GOTO(0xAEEA);
HERE(0xAE9C)
  put<W>(d6, rd16(a6 + veh::fire_offset));
  wr16(a6 + veh::fire_offset, d6 + fire_entry_bytes);
  if (rd16(a6 + veh::fire_offset) > last_fire_offset) {
    wr16(a6 + veh::fire_offset, 0);
    GOTO(0xAEEA);
  }
  a0 = vehicle_fire_pattern + (d6 & 0xFFFF);
  put<W>(d0, rd16(a6 + veh::x) + rd16(a0));
  put<W>(d1, rd16(a6 + veh::y) + rd16(a0 + 2));
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  wr16(a6 + veh::fire_delay, rd16(a0 + 8));
  put<W>(d5, vehicle_owner);
  put<W>(d2, shot_life);
  JSR(0x006B74, 0xAEE0)
  GOTO(0xAE90);
HERE(0xAEEA)
  a6 += vehicle_table.size;
  if (dbf(d7)) GOTO(0xAE80);
  RTS();
END_ROUTINE

// ---- Player contact and blast damage -----------------------------------------------

namespace {

namespace pr = player_record;

namespace enemy {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x08, dx = 0x0C, dy = 0x0E, dying = 0x26;
} // namespace enemy
namespace explosion {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x06, owner = 0x0A;
} // namespace explosion
namespace section_object {
constexpr u32 active = 0x00, x = 0x02, y = 0x04;
} // namespace section_object

constexpr u32 touchable_enemies = 25; // records 25-47 never meet a player
constexpr u32 last_damaging_frame = 8;
constexpr u32 last_player_frame = 3;
constexpr u32 kill_points = 200;
constexpr u32 struck_sample = 4;
constexpr u32 destroyed_unit_frame = 8;
// Players and section objects keep screen coordinates; the others the
// play field's, 36 columns and 100 lines further on.
constexpr u32 field_dx = 36, field_dy = 100;

// Box test of one axis: the difference plus the box's low bound, unsigned
// against the box's size (so a difference past either side fails).
inline bool in_box(u32 difference, u32 low, u32 size) { return ((difference + low) & 0xFFFF) <= size; }

// The struck enemy at a6 stops and plays its dying animation: 3 for the
// frames up to 16, else 10.
inline void strike_enemy() {
  wr16(a6 + enemy::dying, 0xFFFF);
  wr16(a6 + enemy::dx, 0);
  wr16(a6 + enemy::dy, 0);
  put<W>(d0, rd16(a6 + enemy::frame) <= 16 ? 3 : 10);
}

// 200 points to the owner of the explosion at a4: owner 1 is player 2,
// any other (hostile ones too, see sub_00A5FC) player 1.
inline void credit_owner() {
  const u32 record = rd16(a4 + explosion::owner) == 1 ? player2 : player1;
  wr32(record + pr::score, rd32(record + pr::score) + kill_points);
}

// Whether the player at a6 may be hurt by the blast at a4.
inline bool player_in_blast() {
  if (rd16(a6 + pr::lives) == 0 || rd16(a6 + pr::state) != 0 || rd16(a6 + pr::blink) != 0) return false;
  return in_box(rd16(a4 + explosion::y) - rd16(a6 + pr::y) - field_dy, 10, 30) &&
         in_box(rd16(a4 + explosion::x) - rd16(a6 + pr::x) - field_dx, 0, 31);
}

} // namespace

// $A544: each player in play against the enemies.
ROUTINE(sub_00A544, 0x00A544)
  tst<W>(rd16(player1 + pr::lives));
  if (cc_eq()) GOTO(0xA552);
  wr16(current_player, 0);
  a6 = player1;
  JSR(0x00A562, 0xA552)
  tst<W>(rd16(player2 + pr::lives));
  if (cc_eq()) JMP(0x00A5FA);
  wr16(current_player, 1);
  a6 = player2;
  JSR(0x00A562, 0xA55E)
  JMP(0x00A5FA);
END_ROUTINE

// $A562: the player at a6 walking into one of enemies 0-24 dies (unless
// dev_freerun), and the first enemy touched is struck down by it, even
// when the host's invulnerability keeps the player alive. A blinking or
// dying player touches nothing. a6 ends at the struck enemy.
ROUTINE(sub_00A562, 0x00A562)
  tst<W>(rd16(a6 + pr::blink));
  if (cc_ne()) JMP(0x00A5FA);
  tst<W>(rd16(a6 + pr::state));
  if (cc_ne()) JMP(0x00A5FA);
  a4 = enemy_table.address;
  put<W>(d7, touchable_enemies - 1);
LOOP(0xA578)
  tst<W>(rd16(a4 + enemy::active));
  if (cc_eq()) GOTO(0xA5F0);
  tst<W>(rd16(a4 + enemy::dying));
  if (cc_mi()) GOTO(0xA5F0);
  put<W>(d0, rd16(a6 + pr::y) + field_dy - rd16(a4 + enemy::y));
  if (!in_box(d0, 22, 34)) GOTO(0xA5F0);
  put<W>(d0, rd16(a6 + pr::x) + field_dx - rd16(a4 + enemy::x));
  if (!in_box(d0, 26, 35)) GOTO(0xA5F0);
  tst<W>(rd16(dev_freerun));
  if (cc_ne()) GOTO(0xA5C6);
  push32(a4);
  a4 = a6;
  JSR(0x00AA42, 0xA5C2)
  a4 = pop32();
HERE(0xA5C6)
  a6 = a4;
  strike_enemy();
  JSR(0x00B1E4, 0xA5EC)
  JMP(0x00A5FA);
HERE(0xA5F0)
  a4 += enemy_table.size;
  if (dbf(d7)) GOTO(0xA578);
  JMP(0x00A5FA);
END_ROUTINE

// $A5FA: the shared return of the contact and blast routines.
ROUTINE(sub_00A5FA, 0x00A5FA)
  RTS();
END_ROUTINE

// $A5FC: the blast of every explosion in frames 0-8: player-owned blasts
// strike the enemies, destroy homing units and section objects (which
// explode in turn, with the same owner, so blasts chain) for 200 points
// each; every blast in frames 0-3 kills the players standing in it.
//
// The owner is tested only inside the enemy scan, at the first enemy that
// is active and not dying. With no such enemy a hostile blast goes on
// through the units and objects, destroys them and credits player 1, as
// the game always did; a saved game or a recorded run depends on it.
ROUTINE(sub_00A5FC, 0x00A5FC)
LOOP(0xA5FC)
  a4 = explosion_table.address;
  put<W>(d6, explosion_table.records - 1);
LOOP(0xA606)
  tst<W>(rd16(a4 + explosion::active));
  if (cc_eq()) GOTO(0xA800);
  cmp<W>(last_damaging_frame, rd16(a4 + explosion::frame));
  if (cc_hi()) GOTO(0xA800);
  a6 = enemy_table.address;
  put<W>(d7, enemy_table.records - 1);
LOOP(0xA620)
  tst<W>(rd16(a6 + enemy::active));
  if (cc_eq()) GOTO(0xA68E);
  tst<W>(rd16(a6 + enemy::dying));
  if (cc_ne()) GOTO(0xA68E);
  tst<W>(rd16(a4 + explosion::owner));
  if (cc_mi()) GOTO(0xA74A);
  put<W>(d0, rd16(a4 + explosion::y) - rd16(a6 + enemy::y));
  if (!in_box(d0, 20, 42)) GOTO(0xA68E);
  put<W>(d0, rd16(a4 + explosion::x) - rd16(a6 + enemy::x));
  if (!in_box(d0, 30, 43)) GOTO(0xA68E);
  put<W>(d0, struck_sample);
  JSR(0x00E756, 0xA660) // the host pans by the word at a6
  credit_owner();
  strike_enemy();
  JSR(0x00B1E4, 0xA68A)
HERE(0xA68E)
  a6 += enemy_table.size;
  if (dbf(d7)) GOTO(0xA620);

  a6 = homing_unit_table.address;
  put<W>(d7, homing_unit_table.records - 1);
LOOP(0xA69E)
  tst<W>(rd16(a6 + homing_unit::active));
  if (cc_eq()) GOTO(0xA6D8);
  tst<W>(rd16(a6 + homing_unit::wrecked));
  if (cc_mi()) GOTO(0xA6D8);
  put<W>(d0, rd16(a4 + explosion::y) - rd16(a6 + homing_unit::y));
  if (!in_box(d0, 22, 38)) GOTO(0xA6D8);
  put<W>(d0, rd16(a4 + explosion::x) - rd16(a6 + homing_unit::x));
  if (!in_box(d0, 30, 43)) GOTO(0xA6D8);
  credit_owner();
  wr16(a6 + homing_unit::frame, destroyed_unit_frame);
  wr16(a6 + homing_unit::wrecked, 0xFFFF);
HERE(0xA6D8)
  a6 += homing_unit_table.size;
  if (dbf(d7)) GOTO(0xA69E);

  a6 = section_object_table.address;
  put<W>(d7, section_object_table.records - 1);
LOOP(0xA6E8)
  tst<W>(rd16(a6 + section_object::active));
  if (cc_eq()) GOTO(0xA740);
  put<W>(d0, rd16(a4 + explosion::y) - rd16(a6 + section_object::y) - field_dy);
  if (!in_box(d0, 22, 38)) GOTO(0xA740);
  put<W>(d0, rd16(a4 + explosion::x) - rd16(a6 + section_object::x) - field_dx);
  if (!in_box(d0, 30, 43)) GOTO(0xA740);
  credit_owner();
  wr16(a6 + section_object::active, 0);
  save_regs(dregs(0, 7) | aregs(0, 6));
  put<W>(d0, rd16(a6 + section_object::x) + 44);
  put<W>(d1, rd16(a6 + section_object::y) + 96);
  put<W>(d2, rd16(a4 + explosion::owner));
  JSR(0x006CA8, 0xA73A)
  restore_regs(dregs(0, 7) | aregs(0, 6));
HERE(0xA740)
  a6 += section_object_table.size;
  if (dbf(d7)) GOTO(0xA6E8);

HERE(0xA74A)
  tst<W>(rd16(dev_freerun));
  if (cc_ne()) GOTO(0xA800);
  cmp<W>(last_player_frame, rd16(a4 + explosion::frame));
  if (cc_hi()) GOTO(0xA800);
  wr16(current_player, 0);
  a6 = player1;
  if (!player_in_blast()) GOTO(0xA7A4);
  push32(a4);
  a4 = player1;
  JSR(0x00AA42, 0xA7A0)
  a4 = pop32();
HERE(0xA7A4)
  cmp<W>(last_player_frame, rd16(a4 + explosion::frame));
  if (cc_hi()) GOTO(0xA800);
  wr16(current_player, 1);
  a6 = player2;
  if (!player_in_blast()) GOTO(0xA800);
  push32(a4);
  a4 = player2;
  JSR(0x00AA42, 0xA7FA)
  a4 = pop32();
HERE(0xA800)
  a4 += explosion_table.size;
  if (dbf(d6)) GOTO(0xA606);
  RTS();
END_ROUTINE

// $A914: the mission-failed screen: tune 7 and two typed lines; then the
// screen stays while the host's music still plays the failure tune.
ROUTINE(sub_00A914, 0x00A914)
  JSR(0x007626, 0xA918)
  wr32(draw_screen, screen_buffer_b);
  d0 = failed_tune;
  JSR(0x0074F4, 0xA928)
  set_text_cursor(0x32A0, 6, 1);
  a0 = failed_line1;
  JSR(0x00A9D8, 0xA948)
  d7 = failed_pause1;
  JSR(0x0075A4, 0xA952)
  set_text_cursor(0x4420, 6, 6);
  a0 = failed_line2;
  JSR(0x00A9D8, 0xA96E)
  d7 = failed_pause2;
  JSR(0x0075A4, 0xA978)
LABEL(0xA97A)
  if (hold_fail_screen()) {
    if (kit_wait(0xA97A)) return;
    GOTO(0xA97A);
  }
  RTS();
END_ROUTINE

// $A9D8: the typewriter: each byte of the text at a0 through the character
// printer, control bytes too, four VBLs apiece; a0 ends past the zero.
ROUTINE(sub_00A9D8, 0x00A9D8)
LOOP(0xA9D8)
  put<B>(d0, move<B>(rd8(a0)));
  a0 += 1;
  if (cc_eq()) GOTO(0xA9F8);
  JSR(0x00858E, 0xA9E4)
  JSR(0x0079DC, 0xA9E8)
  JSR(0x0079DC, 0xA9EC)
  JSR(0x0079DC, 0xA9F0)
  JSR(0x0079DC, 0xA9F4)
  GOTO(0xA9D8);
HERE(0xA9F8)
  RTS();
END_ROUTINE

// ---- Death and respawn ------------------------------------------------------

namespace {

namespace pr = player_record;

constexpr u32 blink_frames = 80;
constexpr u32 hide_frames = 20;
constexpr u32 standing_frame_1 = 40; // player 1's pictures lie 40 above player 2's
constexpr u32 standing_frame_2 = 0;

inline bool invulnerable() { return g_cpu.patch_flags[0] != 0; }

} // namespace

// $AA2E: one game frame of the dying player at a4 (current_player its
// index): the next frame byte of its death animation, or at the end byte
// the respawn where it died: a life less, hidden for 20 frames, then
// blinking (out of danger) for 80. d0 = the byte, a0 past it.
ROUTINE(sub_00AA2E, 0x00AA2E)
  a0 = rd32(a4 + pr::death_next);
  d0 = 0;
  put<B>(d0, move<B>(rd8(a0)));
  a0 += 1;
  if (cc_mi()) GOTO(0xAA84);
HERE(0xAA38)
  wr16(a4 + pr::frame, d0);
  wr32(a4 + pr::death_next, a0);
  RTS();
HERE(0xAA84)
  wr16(a4 + pr::lives, rd16(a4 + pr::lives) - 1);
  wr16(a4 + pr::blink, blink_frames);
  wr16(a4 + pr::state, 0);
  wr16(a4 + pr::frame, standing_frame_1);
  tst<W>(rd16(current_player));
  if (cc_eq()) GOTO(0xAA9E);
  wr16(a4 + pr::frame, standing_frame_2);
HERE(0xAA9E)
  wr16(a4 + pr::hide, hide_frames);
  wr8(a4 + pr::facing, 0);
  RTS();
END_ROUTINE

// $AA42: the player at a4 (current_player its index; the callers test
// that it is alive and not blinking) starts dying: its own list of death
// frames from the place its facing gives. With the host's invulnerability
// on, nothing at all happens.
ROUTINE(player_start_death, 0x00AA42)
  if (invulnerable()) RTS();
  save_regs(dregs(0, 7) | aregs(0, 6));
  d0 = rd8(death_start_table + rd8(a4 + pr::facing));
  if (d0 & 0x80) d0 = 0;
  wr16(a4 + pr::state, 0xFFFF);
  a0 = rd16(current_player) == 0 ? death_list_1 : death_list_2;
  wr32(a4 + pr::death_next, a0 + d0);
  wr16(a4 + pr::hide, 0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $AAF8: the ammunition type of the record at a4's weapon and column:
// d0.b := ammo_type_table[4 x weapon + column] (d0.w is the code for the
// weapons 0-18; the upper half of d0 stays), d1.w := the column, a0 := the
// weapon's row.
ROUTINE(sub_00AAF8, 0x00AAF8)
  put<W>(d0, rd16(a4 + player_record::weapon));
  put<W>(d0, d0 << 2);
  a0 = adda<W>(d0, ammo_type_table);
  put<W>(d1, rd16(a4 + player_record::ammo_column));
  put<B>(d0, move<B>(rd8(adda<W>(d1, a0))));
  RTS();
END_ROUTINE

// ---- Dot bullets ----------------------------------------------------------------

namespace {

constexpr u32 dot_bullet_directions = 0x00ABBE; // 16 facings x 5 words: x, y offsets, dx, dy, range
constexpr u32 dot_direction_bytes = 10;

namespace dot {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, range = 0x06, owner = 0x08, dx = 0x0A, dy = 0x0C;
} // namespace dot

constexpr u32 dot_burst_rise = 9;   // the burst shows 9 lines above the shot
constexpr u32 dot_hit_points = 50;

// The box of a strike: the shot within 16 pixels right of and 21 lines
// below the enemy's corner (14 and 16 of a homing unit's).
constexpr u32 enemy_box_x = 16, enemy_box_y = 21;
constexpr u32 unit_box_x = 14, unit_box_y = 16;
constexpr u32 struck_enemies = 25; // records 25-47 are never struck
constexpr u32 enemy_dying = 0x26, enemy_frame = 0x08, enemy_dx = 0x0C, enemy_dy = 0x0E;
constexpr u32 unit_x = 0x04, unit_y = 0x06, unit_destroyed = 0x0E;

// 50 points to the owner of the shot at a4: player 1 for owner 0, player 2
// for any other (a hostile shot never comes here).
inline void dot_points_to_owner() {
  const u32 score = (rd16(a4 + dot::owner) == 0 ? player1 : player2) + player_record::score;
  wr32(score, rd32(score) + dot_hit_points);
}

// The burst at the shot's place, 9 lines up, owned by the shooter.
inline void dot_burst_registers() {
  put<W>(d0, rd16(a4 + dot::x));
  put<W>(d1, rd16(a4 + dot::y) - dot_burst_rise);
  put<W>(d2, rd16(a4 + dot::owner));
}

} // namespace

// $AB5C: one dot bullet from the player at a4 in its facing's direction,
// owned by current_player; an empty facing (first word negative) or a full
// table fires nothing.
ROUTINE(sub_00AB5C, 0x00AB5C)
  d0 = rd8(a4 + player_record::facing) & 15;
  a0 = dot_bullet_directions + (d0 & 0xFFFF) * dot_direction_bytes;
  tst<W>(rd16(a0));
  if (cc_mi()) RTS();
  put<W>(d0, rd16(a4 + player_record::x) + rd16(a0));
  put<W>(d1, rd16(a4 + player_record::y) + rd16(a0 + 2));
  put<W>(d2, rd16(a0 + 4));
  put<W>(d3, rd16(a0 + 6));
  put<W>(d4, rd16(a0 + 8));
  a6 = dot_bullet_table.address;
  d7 = dot_bullet_table.records - 1;
LOOP(0xAB8E)
  tst<W>(rd16(a6 + dot::active));
  if (cc_eq()) GOTO(0xAB9E);
  a6 += dot_bullet_table.size;
  if (dbf(d7)) GOTO(0xAB8E);
  RTS();
HERE(0xAB9E)
  wr16(a6 + dot::x, d0);
  wr16(a6 + dot::y, d1);
  wr16(a6 + dot::dx, d2);
  wr16(a6 + dot::dy, d3);
  wr16(a6 + dot::range, d4);
  wr16(a6 + dot::active, 0xFFFF);
  wr16(a6 + dot::owner, rd16(current_player));
  RTS();
END_ROUTINE

// $AC5E: every live dot bullet: struck enemy or homing unit first (at the
// place before the move), then the move and the burst at the end of the
// range. A struck enemy stops and starts dying; the damage is the burst's.
// Shots of the horizontal installations (owner bit 15 set) strike nothing:
// they only fly and burst, and their owner-less burst hurts only the
// players; tested here they would score for player 2 and kill enemies.
ROUTINE(sub_00AC5E, 0x00AC5E)
LOOP(0xAC5E)
  a4 = dot_bullet_table.address;
  d7 = dot_bullet_table.records - 1;
LOOP(0xAC68)
  tst<W>(rd16(a4 + dot::active));
  if (cc_eq()) GOTO(0xADE4);
  tst<W>(rd16(a4 + dot::owner));
  if (cc_mi()) GOTO(0xADA0);

  a6 = enemy_table.address;
  d6 = struck_enemies - 1;
LOOP(0xAC7C)
  tst<W>(rd16(a6 + 4));
  if (cc_eq()) GOTO(0xAD04);
  tst<W>(rd16(a6 + enemy_dying));
  if (cc_ne()) GOTO(0xAD04);
  put<W>(d0, rd16(a4 + dot::x) - rd16(a6));
  cmp<W>(enemy_box_x, d0);
  if (cc_hi()) GOTO(0xAD04);
  put<W>(d0, rd16(a4 + dot::y) - rd16(a6 + 2));
  cmp<W>(enemy_box_y, d0);
  if (cc_hi()) GOTO(0xAD04);
  wr16(a4 + dot::active, 0);
  dot_burst_registers();
  JSR(0x006CA8, 0xACBC)
  wr16(a6 + enemy_dying, 0xFFFF);
  d0 = rd16(a6 + enemy_frame) <= 16 ? 3 : 10;
  push32(a6);
  JSR(0x00B1E4, 0xACDA)
  a6 = pop32();
  wr16(a6 + enemy_dx, 0);
  wr16(a6 + enemy_dy, 0);
  d0 = 4;
  JSR(0x00E756, 0xACF0) // the host pans by the x at a4 + 0
  dot_points_to_owner();
  GOTO(0xADE4);
HERE(0xAD04)
  a6 += enemy_table.size;
  if (dbf(d6)) GOTO(0xAC7C);

  a6 = homing_unit_table.address;
  d6 = homing_unit_table.records - 1;
LOOP(0xAD12)
  tst<W>(rd16(a6));
  if (cc_eq()) GOTO(0xAD94);
  tst<W>(rd16(a6 + unit_destroyed));
  if (cc_ne()) GOTO(0xAD94);
  put<W>(d0, rd16(a4 + dot::x) - rd16(a6 + unit_x));
  cmp<W>(unit_box_x, d0);
  if (cc_hi()) GOTO(0xAD94);
  put<W>(d0, rd16(a4 + dot::y) - rd16(a6 + unit_y));
  cmp<W>(unit_box_y, d0);
  if (cc_hi()) GOTO(0xAD94);
  wr16(a4 + dot::active, 0);
  put<W>(d0, rd16(a6 + unit_x));
  put<W>(d1, rd16(a6 + unit_y));
  put<W>(d2, rd16(a4 + dot::owner));
  JSR(0x006CA8, 0xAD5E)
  dot_points_to_owner();
  GOTO(0xADE4);
HERE(0xAD94)
  a6 += homing_unit_table.size;
  if (dbf(d6)) GOTO(0xAD12);

HERE(0xADA0)
  wr16(a4 + dot::x, rd16(a4 + dot::x) + rd16(a4 + dot::dx));
  wr16(a4 + dot::y, rd16(a4 + dot::y) + rd16(a4 + dot::dy));
  put<W>(d0, sub<W>(1, rd16(a4 + dot::range)));
  wr16(a4 + dot::range, d0);
  if (cc_ne()) GOTO(0xADE4);
  dot_burst_registers();
  JSR(0x006CA8, 0xADD8)
  wr16(a4 + dot::active, 0);
HERE(0xADE4)
  a4 += dot_bullet_table.size;
  if (dbf(d7)) GOTO(0xAC68);
  RTS();
END_ROUTINE

// $AF96: the palette load's entry for the title and the equipment screen.
ROUTINE(sub_00AF96, 0x00AF96)
  JMP(0x0074F0);
END_ROUTINE

// $AF9A: after the mission data's loaders: the disk words and the prompt's
// screen position, through slot $86C0.
ROUTINE(sub_00AF9A, 0x00AF9A)
  JMP(0x0086C0);
END_ROUTINE

// $AF9E: the player-count prompt (code at $FDC8-$FE1D): asks once per VBL
// until last_key holds 1 or 2, main row or keypad; every other code,
// releases too, waits on. A key already there answers at the first VBL.
ROUTINE(sub_00AF9E, 0x00AF9E)
  set_text_cursor(0x3980, 10, 1);
  wr16(colour1_register, 0x777);
  a0 = prompt_text;
  JSR(0x008584, 0xFDEC)
WAIT_VBL_FLAG(0xFDF0)
  put<B>(d0, rd8(last_key));
  if ((d0 & 0xFF) == 0x02 || (d0 & 0xFF) == 0x6D) {
    wr16(two_player_flag, 0x0000);
    RTS();
  }
  if ((d0 & 0xFF) == 0x03 || (d0 & 0xFF) == 0x6E) {
    wr16(two_player_flag, 0xFFFF);
    RTS();
  }
  GOTO(0xFDF0);
END_ROUTINE

// $ADF2: uses up one unit of the counter of the current weapon of the
// player at a4: d6 = 0 when there was one, -1 when it was empty already.
ROUTINE(sub_00ADF2, 0x00ADF2)
  save_regs(dregs(0, 0) | aregs(3, 4));
  d0 = (rd16(a4 + player_record::count_index) & 0xFFFF) * 2;
  a3 = a4 + player_record::counts;
  tst<W>(rd16(a3 + d0));
  if (cc_eq()) GOTO(0xAE10);
  wr16(a3 + d0, sub<W>(1, rd16(a3 + d0)));
  d6 = 0;
  GOTO(0xAE16);
LOOP(0xAE10)
  d6 = 0xFFFFFFFF;
HERE(0xAE16)
  restore_regs(dregs(0, 0) | aregs(3, 4));
  RTS();
END_ROUTINE

// ---- The goal --------------------------------------------------------------

namespace {

constexpr u32 goal_points = 2000;

} // namespace

// $AE1A: the goal test of player 1, then of player 2, who finds the goal
// gone when player 1 took it in the same frame.
ROUTINE(sub_00AE1A, 0x00AE1A)
  a4 = goal_record.address;
  a6 = player1;
  JSR(0x00AE2A, 0xAE24)
  a6 = player2;
  JMP(0x00AE2A);
END_ROUTINE

// $AE2A: a living player at a6 whose top-left lies 20-51 pixels left of
// and 80-130 lines above the goal at a4 reaches it: 2,000 points and the
// mission's end.
ROUTINE(sub_00AE2A, 0x00AE2A)
  tst<W>(rd16(a6 + player_record::lives));
  if (cc_eq()) GOTO(0xAE6A);
  tst<W>(rd16(a6 + player_record::state));
  if (cc_ne()) GOTO(0xAE6A);
  tst<W>(rd16(a4 + goal::active));
  if (cc_eq()) GOTO(0xAE6A);
  put<W>(d0, rd16(a4 + goal::y) - rd16(a6 + player_record::y) - 100 + 20);
  cmp<W>(50, d0);
  if (cc_hi()) GOTO(0xAE6A);
  put<W>(d0, rd16(a4 + goal::x) - rd16(a6 + player_record::x) - 36 + 16);
  cmp<W>(32, d0);
  if (cc_cc()) GOTO(0xAE6A);
  wr16(exit_request, 0xFFFF);
  wr16(a4 + goal::active, 0);
  wr32(a6 + player_record::score, rd32(a6 + player_record::score) + goal_points);
HERE(0xAE6A)
  RTS();
END_ROUTINE

// $AF6A: the collision-map byte (d2.b) of the 16 x 16 cell under the point
// (d0.w, d1.w); the ring's first two rows come from the copy taken at the
// start of the players' pass. The column is not clamped: x from 256 reads
// the next row. a6 ends at the map, d0 and d1 kept.
ROUTINE(sub_00AF6A, 0x00AF6A)
  push16(d0);
  a6 = collision_map;
  put<W>(d2, sub<W>(d1, rd16(scroll_pos)));
  put<W>(d0, lsr<W>(d0, 4));
  put<W>(d2, add<W>(d0, and_<W>(0x03F0, d2)));
  if ((d2 & 0xFFE0) != 0) GOTO(0xAF8E);
  put<W>(d2, add<W>(collision_copy - collision_map, d2));
HERE(0xAF8E)
  put<B>(d2, move<B>(rd8(a6 + sext16(d2))));
  put<W>(d0, move<W>(pop16()));
  RTS();
END_ROUTINE

// ---- The mission event stream ------------------------------------------------

namespace {

constexpr u32 script_offsets = 0x003A8E; // signed words from script_base, by type
constexpr u32 script_base = 0x003B6E;
constexpr u32 stream_records = 25;       // the stream fills enemy records 0-24 only

// An x byte above 191 and a y byte above 176 count as negative.
inline u32 signed_x(u32 b) { return b > 191 ? b - 256 : b; }
inline u32 signed_y(u32 b) { return b > 176 ? b - 256 : b; }

} // namespace

// $AFA2: starts every event whose trigger equals event_clock, in stream
// order; the others wait for their line. Each family leaves the stream
// pointer after its event, even when its table was full.
ROUTINE(sub_00AFA2, 0x00AFA2)
LOOP(0xAFA2)
  a0 = rd32(event_pointer);
  d0 = 0;
  put<B>(d0, rd8(a0));
  if (d0 == 0xFF) RTS();
  if (d0 != rd8(event_clock)) RTS();
  put<B>(d0, rd8(a0 + 1));
  a0 += 2;
  if (d0 < 234 || d0 == 255) GOTO(0xB000);
  if (d0 >= 246) GOTO(0xAFE6);
  if (d0 >= 240) GOTO(0xAFD4);
  JSR(0x004C2E, 0xAFD0)
  GOTO(0xAFA2);
HERE(0xAFD4)
  JSR(0x0052FA, 0xAFE2)
  GOTO(0xAFA2);
HERE(0xAFE6)
  if (d0 == 253) GOTO(0xB5F8);
  if (d0 == 254) GOTO(0xB080);
  // a vehicle: its five bytes in registers, its attachment list through a0
  d3 = d0;
  d0 = rd8(a0) + 100;
  d1 = rd8(a0 + 1);
  d2 = rd8(a0 + 2);
  d4 = rd8(a0 + 3);
  d5 = rd8(a0 + 4);
  a0 += 5;
  JSR(0x006026, 0xB41C)
  wr32(event_pointer, a0);
  GOTO(0xAFA2);

  // an enemy of type d0
HERE(0xB000)
  d1 = signed_x(rd8(a0));
  d2 = signed_y(rd8(a0 + 1));
  wr32(event_pointer, a0 + 2);
  a1 = script_base + sext16(rd16(script_offsets + 2 * d0));
  a6 = enemy_table.address;
  d7 = stream_records - 1;
LOOP(0xB046)
  tst<W>(rd16(a6 + 4));
  if (cc_eq()) GOTO(0xB052);
  a6 += enemy_table.size;
  if (dbf(d7)) GOTO(0xB046);
  GOTO(0xAFA2);
HERE(0xB052)
  wr16(a6, d1 + 100);
  wr16(a6 + 2, d2 + 100);
  d0 = rd8(a1);
  JSR(0x00B1E4, 0xB066)
  wr16(a6 + 0x1E, rd8(a1 + 1));
  wr16(a6 + 0x20, rd8(a1 + 1));
  wr16(a6 + 0x0A, rd8(a1 + 2));
  wr16(a6 + 0x0C, sext8(rd8(a1 + 3)));
  wr16(a6 + 0x0E, sext8(rd8(a1 + 4)));
  wr32(a6 + 0x10, a1 + 5);
  wr16(a6 + 4, 1);
  wr16(a6 + 0x26, 0);
  GOTO(0xAFA2);

  // the mission goal: x and y signed, only x shifted into the field
HERE(0xB080)
  save_regs(dregs(0, 2) | aregs(3, 3));
  a3 = goal_record.address;
  d0 = signed_x(rd8(a0));
  d1 = signed_y(rd8(a0 + 1));
  d2 = rd8(a0 + 2);
  wr32(event_pointer, a0 + 3);
  wr16(a3 + 2, d0 + 100);
  wr16(a3 + 4, d1);
  wr16(a3 + 6, d2);
  wr16(a3, 0xFFFF);
  restore_regs(dregs(0, 2) | aregs(3, 3));
  GOTO(0xAFA2);

  // a homing unit. With all six records busy the event is dropped with its
  // bytes, as the other families do: a search running on would reach
  // goal_record right after the table and overwrite the goal.
HERE(0xB5F8)
  save_regs(dregs(0, 7) | aregs(0, 6));
  wr32(event_pointer, a0 + 4);
  a1 = homing_unit_table.address;
  d7 = homing_unit_table.records - 1;
LOOP(0xB612)
  tst<W>(rd16(a1));
  if (cc_eq()) GOTO(0xB61E);
  a1 += homing_unit_table.size;
  if (dbf(d7)) GOTO(0xB612);
  GOTO(0xB640);
HERE(0xB61E)
  wr16(a1 + 2, rd8(a0));
  wr16(a1 + 4, rd8(a0 + 1) + 100);
  wr16(a1 + 6, rd8(a0 + 2));
  wr16(a1 + 8, rd8(a0 + 3));
  wr16(a1 + 10, 0);
  wr16(a1 + 14, 0);
  wr16(a1, 0xFFFF);
  wr16(a1 + 16, 1);
HERE(0xB640)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  GOTO(0xAFA2);
END_ROUTINE
