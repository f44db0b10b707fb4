// Page $9000: the set-up of a game and of each mission (section counters,
// player records, the object tables), the frame pacing of the mission
// loops, the players' update (movement, hold, fire, weapon keys) with
// their aim step and walk animation, and each mission's first weapons.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "game/shot_ram.h"
#include "machine/host_aim.h"

using namespace st_io;

namespace {

// Two entries of x, y and the third start word; a two-player game gives
// player 1 entry 1 and player 2 entry 0.
constexpr u32 player_starts = 0x0091C4;
constexpr u32 object_tables = 0x000412;
constexpr u32 object_tables_last = 0x001DC2; // cleared too
constexpr u32 start_money = 10000;
constexpr u32 centre_x = 146;                // the lone player starts mid-field
constexpr u32 lone_player1_third = 40;
constexpr u32 section_start_scroll = 223;
constexpr u32 section_start_clock = 184;
constexpr u32 last_map = 3;             // maps are level_table words 0-3
constexpr u32 first_stream_word = 8;    // streams from word 4 on
constexpr u32 collision_rows_cleared = 68;
constexpr u32 weapon_pictures = 0x039434; // 19 of 59 lines x 8 bytes
constexpr u32 weapon_picture_bytes = 472;
constexpr u32 weapon_param_table = 0x009E46; // 19 records of 5 words
constexpr u32 weapon_count = 19;
constexpr u32 panel_left = 0x2948;        // line 66, x 16, in either screen
constexpr u32 panel_right = 0x29D0;       // line 66, x 288

namespace rec {
constexpr u32 x = 0x02, y = 0x04, third = 0x06, weapon = 0x0C, flag_12 = 0x12, byte_19 = 0x19;
constexpr u32 word_2A = 0x2A, word_36 = 0x36, word_44 = 0x44, word_50 = 0x50, money = 0x58;
constexpr u32 plate = 0x94, tally = 0x96;
constexpr u32 bullet_speed = 0x4A, bullet_life = 0x4C, repeat_delay = 0x4E, pattern = 0x52;
constexpr u32 owned = 0x66;
constexpr u32 way_right = 0x14, way_left = 0x15, way_down = 0x16, way_up = 0x17;
constexpr u32 press_right = 0x0E, press_left = 0x0F, press_up = 0x10, press_down = 0x11;
constexpr u32 blink = 0x2A, state = 0x50;
} // namespace rec

// The terrain and obstacle step's variables.
constexpr u32 terrain_ways = 0x000216;     // up, down, right, left
constexpr u32 terrain_cells = 0x000220;    // eight cells around the player
constexpr u32 slide_flags = 0x000228;      // words: right, left, down, up slides
constexpr u32 slid_right = 0x000228, slid_left = 0x00022A, slid_down = 0x00022C, slid_up = 0x00022E;
constexpr u32 obstacle_record = 0x0001FA;
constexpr u32 hscroll_step = 0x000248;
constexpr u32 slide_step = 3;

// The eight cells, in the order they are probed and stored.
enum cell : u32 { upper_left, top, upper_right, right_cell, lower_right, bottom, lower_left, left_cell };
inline bool solid(cell c) { return rd8(terrain_cells + c) != 0; }
inline void block(u32 way) { wr8(a4 + way, 0); }
inline bool pressed(u32 key) { return rd8(a4 + key) != 0; }
inline void slide(u32 coordinate, i32 by, u32 flag, u32 way) {
  wr16(a4 + coordinate, rd16(a4 + coordinate) + static_cast<u32>(by));
  wr8(flag, 0xFF);
  block(way);
}
// The point of one terrain probe, relative to the record's x and y.
inline void probe_point(i32 dx, i32 dy) {
  put<W>(d0, rd16(a4 + rec::x) + static_cast<u32>(dx));
  put<W>(d1, rd16(a4 + rec::y) + static_cast<u32>(dy));
}
inline void cell_stored(cell c) { wr8(terrain_cells + c, d2); }

// The start-table entry d7 into the record at a4, then the fields both
// the game's and each mission's set-up reset.
inline void place_player() {
  a0 = player_starts + 6 * (d7 & 0xFFFF);
  wr16(a4 + rec::x, rd16(a0));
  wr16(a4 + rec::y, rd16(a0 + 2));
  wr16(a4 + rec::third, rd16(a0 + 4));
  wr16(a4 + rec::word_44, 2);
  wr16(a4 + rec::word_50, 0);
  wr16(a4 + rec::word_2A, 0);
  wr8(a4 + rec::byte_19, 0);
  wr8(a4 + rec::flag_12, 0);
  wr16(a4 + rec::tally, 0);
}

// Player 1 first, with the higher entry when player 2 is in the game.
inline void first_player() {
  a4 = player1;
  put<W>(d7, rd16(two_player_flag) != 0 ? 1 : 0);
}

} // namespace

// $9048: the section counters before a game and before each mission.
ROUTINE(sub_009048, 0x009048)
  wr16(level_section, 0xFFFF);
  wr16(stream_section, 0xFFFF);
  RTS();
END_ROUTINE

// $9062: the next vertical section: the scroll back at its start, the
// next map and event stream of the mission data, the collision map cleared.
// The maps are the first four words of `level_table`; a fifth vertical
// section (a player who dodged the goal) would take a stream offset as a
// map and place stamps from code bytes all over RAM, so it plays the
// fourth map again. The stream index goes on as before.
ROUTINE(sub_009062, 0x009062)
  wr16(scroll_pos, section_start_scroll);
  put<W>(d0, add<W>(1, rd16(level_section)));
  wr16(level_section, d0);
  if ((d0 & 0xFFFF) > last_map) put<W>(d0, last_map);
  a0 = level_data + sext16(rd16(level_table + 2 * (d0 & 0xFFFF)));
  wr32(level_map_pointer, a0);
  JSR(0x0090AA, 0x9086)
  put<W>(d0, add<W>(1, rd16(stream_section)));
  wr16(stream_section, d0);
  a0 = level_table + sext16(rd16(level_table + first_stream_word + 2 * (d0 & 0xFFFF)));
  wr32(event_pointer, a0);
  wr8(event_clock, section_start_clock);
  RTS();
END_ROUTINE

// $90AA: clears the collision map and its copy, 68 rows of 16 bytes
// ($2840-$2847 after them stay).
ROUTINE(sub_0090AA, 0x0090AA)
  a0 = collision_map;
  put<W>(d0, collision_rows_cleared - 1);
LOOP(0x90B4)
  for (u32 i = 0; i < collision_row_bytes; i += 4) wr32(a0 + i, 0);
  a0 += collision_row_bytes;
  if (dbf(d0)) GOTO(0x90B4);
  RTS();
END_ROUTINE

// $90C2: a new game's player records: 3 lives, 10,000 money, placed by the
// start table; a lone player 1 starts mid-field.
ROUTINE(sub_0090C2, 0x0090C2)
  first_player();
LOOP(0x90D0)
  place_player();
  wr16(a4 + player_record::lives, 3);
  wr16(a4 + rec::weapon, 0);
  wr32(a4 + rec::money, start_money);
  if (dbf(d7)) {
    a4 = player2;
    GOTO(0x90D0);
  }
  tst<W>(rd16(two_player_flag));
  if (cc_ne()) GOTO(0x9132);
  wr16(player1 + rec::third, lone_player1_third);
  wr16(player1 + rec::x, centre_x);
HERE(0x9132)
  RTS();
END_ROUTINE

// $9134: each mission's player records: placed again, the plates re-armed,
// lives topped up to 3 (none stay none, more stay more); the one player
// left in play starts mid-field.
ROUTINE(sub_009134, 0x009134)
  first_player();
LOOP(0x9142)
  place_player();
  wr16(a4 + rec::word_36, 1);
  wr16(a4 + rec::plate, 0);
  put<W>(d0, rd16(a4 + player_record::lives));
  if (d0 == 0 || d0 >= 3) GOTO(0x9178);
  wr16(a4 + player_record::lives, 3);
HERE(0x9178)
  if (dbf(d7)) {
    a4 = player2;
    GOTO(0x9142);
  }
  tst<W>(rd16(player2 + player_record::lives));
  if (cc_ne()) GOTO(0x91A8);
  wr16(player1 + rec::third, lone_player1_third);
  wr16(player1 + rec::x, centre_x);
  GOTO(0x91C2);
HERE(0x91A8)
  tst<W>(rd16(player1 + player_record::lives));
  if (cc_ne()) GOTO(0x91C2);
  wr16(player2 + rec::third, 0);
  wr16(player2 + rec::x, centre_x);
HERE(0x91C2)
  RTS();
END_ROUTINE

// $91D0: clears the object tables and the work bytes after them, byte by
// byte, $1DC2 included (the map's marker records among them).
ROUTINE(sub_0091D0, 0x0091D0)
  a0 = object_tables;
LOOP(0x91D6)
  wr8(a0, 0);
  a0 += 1;
  cmpa<L>(object_tables_last + 1, a0);
  if (cc_cs()) GOTO(0x91D6);
  RTS();
END_ROUTINE

// $91E0: paces one game frame to two VBLs at the least (25 frames per
// second at 50 Hz): waits until the frame countdown is negative, shows the
// screen just drawn, waits for the VBL in which it appears, checks the
// pause, and swaps the screens. Returns d0 = the new `draw_screen`, d1 = the
// other buffer.
ROUTINE(wait_two_vbl, 0x0091E0)
LOOP(0x91E0)
  tst<W>(rd16(frame_countdown));
  if (cc_mi()) GOTO(0x91FA);
  if (kit_wait(0x91E8)) return;
LABEL(0x91E8)
  tst<W>(rd16(dev_timing));
  if (cc_eq()) GOTO(0x91E0);
  wr16(palette_regs, 0); // developer timing: the idle time shows black
  GOTO(0x91E0);
HERE(0x91FA)
  wr16(frame_countdown, 1);
  d0 = rd32(draw_screen);
  JSR(0x007B2A, 0x9208)
  JSR(0x0079DC, 0x920E)
  wr16(palette_regs, 0);
  JSR(0x0075C4, 0x9218)
  cmp<L>(screen_buffer_a, rd32(draw_screen));
  if (cc_ne()) GOTO(0x9222);
  d0 = screen_buffer_b;
  d1 = screen_buffer_a;
  GOTO(0x9228);
HERE(0x9222)
  d0 = screen_buffer_a;
  d1 = screen_buffer_b;
HERE(0x9228)
  wr32(draw_screen, d0);
  RTS();
END_ROUTINE

// ---- The players ------------------------------------------------------------

namespace {

namespace pr = player_record;

constexpr u32 right_bound = 225; // a player right of this takes no step right
constexpr u32 left_bound = 67;   // nor one left of this a step left
constexpr u32 top_line = 10;     // pushing up starts from here at the highest
constexpr u32 bottom_line = 168; // no line below this at the end of an update
constexpr u32 step = 3;

constexpr u32 rapid_fire_code = 65; // ammunition that repeats while fire is held
constexpr u32 dot_code = 71;        // ammunition of the dot bullets
constexpr u32 effect_weapon = 17;
constexpr u32 throw_weapon = 18;
constexpr u32 last_weapon = 18;
constexpr u32 throw_pose_frames = 4;
constexpr u32 effect_sample = 8;
constexpr u32 effect_spawn_arg = 100;
constexpr u32 player_two_frames = 40; // player 2's pictures lie 40 frames below player 1's
constexpr u32 no_bullet = 126;        // bullet_dir_table's x factor of a direction without one

inline void set_flag(u32 address) { wr8(address, 0xFF); }

// The counter check's answer: d6 not negative when a counter was used up.
inline bool counter_empty() { return (d6 & 0x8000) != 0; }

} // namespace

// $922E: the players' pass of a game frame: the copy of the collision
// map's first rows that the collision lookup reads, both positions as they
// were before anybody moved, then player 1's update and player 2's (which
// ends at once in a one-player game). Leaves a4 and current_player at
// player 2, a0 = $2848, a1 = $2448.
ROUTINE(sub_00922E, 0x00922E)
  JSR(0x004C06, 0x9234)
  a1 = collision_map;
  a0 = collision_copy;
  for (u32 i = 0; i < 18; ++i) {
    wr32(a0, rd32(a1));
    a0 += 4;
    a1 += 4;
  }
  wr16(player_positions, rd16(player1 + pr::x));
  wr16(player_positions + 2, rd16(player2 + pr::x));
  wr16(player_positions + 4, rd16(player1 + pr::y));
  wr16(player_positions + 6, rd16(player2 + pr::y));
  wr16(current_player, 0);
  a4 = player1;
  JSR(0x009290, 0x9278)
  wr16(current_player, 1);
  a4 = player2;
  JSR(0x009290, 0x928E)
  RTS();
END_ROUTINE

// $9290: the update of the player record at a4 (current_player matching):
// the death step while dying; else the throw pose, the terrain step, the
// hold, the host's hold hook, the moves within the bounds and the free
// ways, the aim step, the fire of the current weapon, the weapon and
// ammunition keys and the fire delay; in every case y clamped to 168.
ROUTINE(sub_009290, 0x009290)
LOOP(0x9290)
  tst<W>(rd16(a4 + pr::lives));
  if (cc_eq()) GOTO(0x95FA);
  tst<W>(rd16(a4 + pr::state));
  if (cc_eq()) GOTO(0x92A8);
  JSR(0x00AA2E, 0x92A2)
  GOTO(0x95FA);

  // A throw pose shows its frame for four updates; the frame from before
  // it comes back unless the player walked off meanwhile.
HERE(0x92A8)
  tst<W>(rd16(a4 + pr::throw_pose));
  if (cc_eq()) GOTO(0x92C4);
  wr16(a4 + pr::throw_pose, sub<W>(1, rd16(a4 + pr::throw_pose)));
  if (cc_ne()) GOTO(0x92C4);
  tst<W>(rd16(a4 + pr::moved));
  if (cc_ne()) GOTO(0x92C4);
  wr16(a4 + pr::frame, rd16(a4 + pr::pose_saved));
HERE(0x92C4)
  wr32(a4 + pr::left_pressed, 0);
  wr32(a4 + pr::up_pressed, 0);
  wr16(a4 + pr::moved, 0);
  tst<W>(rd16(a4 + pr::hide));
  if (cc_ne()) GOTO(0x95FA);
  wr16(steer_flag, 0);
  JSR(0x009860, 0x92E2)

  // Hold: fire pressed with no direction keeps the player in place until
  // fire is let go; directions then only turn it.
  tst<B>(rd8(a4 + pr::fire));
  if (cc_ne()) GOTO(0x92EE);
  wr16(a4 + pr::hold, 0);
HERE(0x92EE)
  tst<W>(rd16(a4 + pr::hold));
  if (cc_ne()) GOTO(0x9306);
  tst<B>(rd8(a4 + pr::fire));
  if (cc_eq()) GOTO(0x9306);
  tst<L>(rd32(a4 + pr::right)); // the four direction bytes
  if (cc_ne()) GOTO(0x9306);
  set_flag(a4 + pr::hold);
  HOOK(0x9306)

  // Right, only up to x = 225.
  cmp<W>(right_bound, rd16(a4 + pr::x));
  if (cc_hi()) GOTO(0x9332);
  tst<B>(rd8(a4 + pr::right));
  if (cc_eq()) GOTO(0x9332);
  set_flag(a4 + pr::right_pressed);
  tst<B>(rd8(a4 + pr::way_right));
  if (cc_eq()) GOTO(0x9332);
  tst<W>(rd16(a4 + pr::hold));
  if (cc_ne()) GOTO(0x932E);
  wr16(a4 + pr::x, rd16(a4 + pr::x) + step);
  set_flag(a4 + pr::moved);
HERE(0x932E)
  set_flag(steer_flag);

  // Left: pressed is noted at the bound too.
HERE(0x9332)
  tst<B>(rd8(a4 + pr::left));
  if (cc_eq()) GOTO(0x935C);
  set_flag(a4 + pr::left_pressed);
  cmp<W>(left_bound, rd16(a4 + pr::x));
  if (cc_cs()) GOTO(0x935C);
  tst<B>(rd8(a4 + pr::way_left));
  if (cc_eq()) GOTO(0x935C);
  tst<W>(rd16(a4 + pr::hold));
  if (cc_ne()) GOTO(0x9358);
  wr16(a4 + pr::x, rd16(a4 + pr::x) - step);
  set_flag(a4 + pr::moved);
HERE(0x9358)
  set_flag(steer_flag);

  // Up: from line 10 at the highest, so a free way ends at 7.
HERE(0x935C)
  tst<B>(rd8(a4 + pr::up));
  if (cc_eq()) GOTO(0x9380);
  set_flag(a4 + pr::up_pressed);
  cmp<W>(top_line, rd16(a4 + pr::y));
  if (cc_hi()) GOTO(0x9368);
  wr16(a4 + pr::y, top_line);
HERE(0x9368)
  tst<B>(rd8(a4 + pr::way_up));
  if (cc_eq()) GOTO(0x9380);
  tst<W>(rd16(a4 + pr::hold));
  if (cc_ne()) GOTO(0x937C);
  wr16(a4 + pr::y, rd16(a4 + pr::y) - step);
  set_flag(a4 + pr::moved);
HERE(0x937C)
  set_flag(steer_flag);

  // Down, only down to line 168.
HERE(0x9380)
  tst<B>(rd8(a4 + pr::down));
  if (cc_eq()) GOTO(0x93A2);
  set_flag(a4 + pr::down_pressed);
  cmp<W>(bottom_line, rd16(a4 + pr::y));
  if (cc_hi()) GOTO(0x93A2);
  tst<B>(rd8(a4 + pr::way_down));
  if (cc_eq()) GOTO(0x93A2);
  tst<W>(rd16(a4 + pr::hold));
  if (cc_ne()) GOTO(0x939E);
  wr16(a4 + pr::y, rd16(a4 + pr::y) + step);
  set_flag(a4 + pr::moved);
HERE(0x939E)
  set_flag(steer_flag);

HERE(0x93A2)
  JSR(0x009CAC, 0x93A6)

  // Fire. Every branch uses up a counter before it knows whether the shot
  // happens.
  tst<B>(rd8(a4 + pr::fire));
  if (cc_ne()) GOTO(0x93B4);
  wr8(a4 + pr::fire_delay, 0);
  GOTO(0x9550);
HERE(0x93B4)
  tst<B>(rd8(a4 + pr::fire_delay));
  if (cc_ne()) GOTO(0x9550);
  cmp<W>(throw_weapon, rd16(a4 + pr::weapon));
  if (cc_ne()) GOTO(0x941C);

  // Weapon 18, the thrown grenade: one throw a press, none while the pose
  // of the last one runs. A counter is used up also in a pose frame.
  JSR(0x00ADF2, 0x93C2)
  if (counter_empty()) GOTO(0x95FA);
  tst<W>(rd16(a4 + pr::throw_pose));
  if (cc_ne()) GOTO(0x95FA);
  wr8(a4 + pr::fire_delay, rd8(a4 + pr::repeat_delay));
  wr16(a4 + pr::throw_pose, throw_pose_frames);
  wr16(a4 + pr::pose_saved, rd16(a4 + pr::frame));
  put<W>(d0, rd8(a4 + pr::facing) & 15);
  a0 = throw_table + (d0 & 0xFFFF) * 10;
  tst<W>(rd16(a0));
  if (cc_mi()) GOTO(0x9550);
  put<W>(d0, rd16(a4 + pr::x) + rd16(a0));
  put<W>(d1, rd16(a4 + pr::y) + rd16(a0 + 2));
  put<W>(d2, rd16(a0 + 4));
  put<W>(d3, rd16(a0 + 6));
  put<W>(d4, rd16(a0 + 8));
  if (rd16(current_player) == 1) put<W>(d4, d4 - player_two_frames);
  wr16(a4 + pr::frame, d4);
  put<W>(d5, rd16(current_player));
  JSR(0x006BEA, 0x9418)
  GOTO(0x95FA);

  // Weapon 17, the effect shot: every frame while fire is held and a
  // counter lasts.
HERE(0x941C)
  cmp<W>(effect_weapon, rd16(a4 + pr::weapon));
  if (cc_ne()) GOTO(0x9446);
  JSR(0x00ADF2, 0x9420)
  if (counter_empty()) GOTO(0x9550);
  put<W>(d0, rd8(a4 + pr::facing) & 15);
  a0 = effect_shot_table + (d0 & 0xFFFF) * 8;
  tst<W>(rd16(a0));
  if (cc_mi()) GOTO(0x9550);
  put<W>(d0, rd16(a4 + pr::x) + rd16(a0));
  put<W>(d1, rd16(a4 + pr::y) + rd16(a0 + 2));
  put<W>(d2, effect_spawn_arg);
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d5, rd16(current_player));
  JSR(0x00B6A6, 0x943A)
  put<W>(d0, effect_sample);
  JSR(0x00E6EC, 0x9442) // the host pans by the x at a4 + 2
  GOTO(0x9550);

  // Every other weapon: rapid-fire ammunition repeats after the weapon's
  // delay, the rest fires once a press.
HERE(0x9446)
  wr8(a4 + pr::fire_delay, 0xFF);
  cmp<W>(rapid_fire_code, rd16(a4 + pr::ammo_type));
  if (cc_ne()) GOTO(0x945A);
  wr8(a4 + pr::fire_delay, rd8(a4 + pr::repeat_delay));
HERE(0x945A)
  put<W>(d0, rd16(a4 + pr::weapon));
  cmp<W>(14, d0);
  if (cc_cs()) GOTO(0x9476);
  cmp<W>(16, d0);
  if (cc_hi()) GOTO(0x9476);
  JSR(0x00ADF2, 0x946A)
  if (counter_empty()) GOTO(0x9550);
  JSR(0x009FE0, 0x946E)
  GOTO(0x9550);
HERE(0x9476)
  cmp<W>(dot_code, rd16(a4 + pr::ammo_type));
  if (cc_ne()) GOTO(0x9510);
  JSR(0x00ADF2, 0x948A)
  if (counter_empty()) GOTO(0x9550);
  JSR(0x00AB5C, 0x948E)
  wr8(a4 + pr::fire_delay, 0xFF);
  GOTO(0x9550);
HERE(0x9510)
  JSR(0x00ADF2, 0x9520)
  if (counter_empty()) GOTO(0x9550);
  put<W>(d0, rd16(a4 + pr::weapon));
  put<W>(d0, rd16(weapon_sample_table + 2 * (d0 & 0xFFFF)));
  JSR(0x00E6EC, 0x9542) // the host pans by the x at a4 + 2
  JSR(0x009614, 0x9546)
  JSR(0x009FE0, 0x954A)

  // Keys: a key of the other player stays in last_key for its own pass.
HERE(0x9550)
  put<B>(d0, move<B>(rd8(last_key)));
  if (cc_mi()) GOTO(0x95E0);
  put<W>(d0, rd8(weapon_key_table + (d0 & 0x7F)));
  cmp<W>(rd16(current_player), d0);
  if (cc_eq()) GOTO(0x9566);
  put<W>(d1, rd16(current_player) + 2);
  cmp<W>(d1, d0);
  if (cc_eq()) GOTO(0x95A6);
  GOTO(0x95E0);

  // Next weapon: the next owned one in rising order, 18 wrapping to 0. A
  // weapon whose first ammunition is 0 is passed over (the game looked it
  // up again for ever); after a round with none taken the weapon it
  // started from stays.
HERE(0x9566)
  wr8(last_key, 0);
  d2 = last_weapon;
LOOP(0x9570)
  wr16(a4 + pr::weapon, rd16(a4 + pr::weapon) + 1);
  wr16(a4 + pr::ammo_column, 0);
  cmp<W>(last_weapon, rd16(a4 + pr::weapon));
  if (cc_ls()) GOTO(0x957E);
  wr16(a4 + pr::weapon, 0);
HERE(0x957E)
  JSR(0x00AAF8, 0x9582)
  tst<B>(d0);
  if (cc_eq()) GOTO(0x959A);
  wr16(a4 + pr::ammo_type, d0);
  tst<B>(rd8(a4 + pr::owned + rd16(a4 + pr::weapon)));
  if (cc_eq()) GOTO(0x959A);
  JSR(0x009DB8, 0x95A0)
  GOTO(0x95E0);
HERE(0x959A)
  if (dbf(d2)) GOTO(0x9570);
  GOTO(0x95E0);

  // Next ammunition: the next non-zero column, back to column 0 past the
  // last. With column 0 empty too there is none: 0 (the game searched for
  // ever). Weapon 8 counts its dot ammunition in counter 9, else in 1.
HERE(0x95A6)
  wr8(last_key, 0);
  wr16(a4 + pr::ammo_column, rd16(a4 + pr::ammo_column) + 1);
  JSR(0x00AAF8, 0x95C0)
  tst<B>(d0);
  if (cc_ne()) GOTO(0x95D2);
  wr16(a4 + pr::ammo_column, 0);
  JSR(0x00AAF8, 0x95CE)
  tst<B>(d0);
  if (cc_ne()) GOTO(0x95D2);
  wr16(a4 + pr::ammo_type, 0);
  GOTO(0x95E0);
HERE(0x95D2)
  wr16(a4 + pr::ammo_type, d0);
  cmp<W>(8, rd16(a4 + pr::weapon));
  if (cc_ne()) GOTO(0x95E0);
  wr16(a4 + pr::count_index, (d0 & 0xFFFF) == dot_code ? 9 : 1);

  // The fire delay counts down to 0; 0 and $81-$FF stay.
HERE(0x95E0)
  put<B>(d0, sub<B>(1, rd8(a4 + pr::fire_delay)));
  if (cc_pl()) GOTO(0x95F6);
  put<B>(d0, d0 + 1);
HERE(0x95F6)
  wr8(a4 + pr::fire_delay, d0);

HERE(0x95FA)
  cmp<W>(bottom_line, rd16(a4 + pr::y));
  if (cc_ls()) GOTO(0x9612);
  wr16(a4 + pr::y, bottom_line);
HERE(0x9612)
  RTS();
END_ROUTINE

// ---- The bullet weapon -------------------------------------------------------

// $9614: one bullet of the current weapon from the player at a4
// (current_player its index) in its direction: the facing when it did not
// turn this frame, else turn_table's code for the old and the new facing
// (facings 11-15 read past the 11 x 11 table, on into the walk lists). A
// code whose x factor is 126 fires nothing. Every register kept.
ROUTINE(sub_009614, 0x009614)
  save_regs(dregs(0, 7) | aregs(0, 6));
  d0 = rd8(a4 + pr::facing);
  d1 = rd8(a4 + pr::facing_before);
  if (d0 == d1) GOTO(0x9636);
  d0 = rd8(turn_table + d1 * 11 + d0);
HERE(0x9636)
  a0 = bullet_dir_table + ((d0 << 3) & 0xFF);
  cmp<W>(no_bullet, rd16(a0));
  if (cc_eq()) GOTO(0x968E);
  d3 = muls(rd16(a4 + pr::bullet_speed), rd16(a0));
  d4 = muls(rd16(a4 + pr::bullet_speed), rd16(a0 + 2));
  put<W>(d0, rd16(a4 + pr::x) + rd16(a0 + 4));
  put<W>(d1, rd16(a4 + pr::y) + rd16(a0 + 6));
  put<W>(d2, rd16(a4 + pr::bullet_life));
  put<W>(d5, rd16(current_player));
  JSR(0x006B74, 0x968A)
HERE(0x968E)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $9CAC: the aim step of the player record at a4: the facing from the
// directions that had a free way this frame, unless the host's aim
// control gives one of its own, and the walk frame: a turn starts the
// direction's list at its first picture, shown at once; a walking player
// takes the next picture every second frame; a standing one keeps it. At
// the list's end one frame passes without a new picture.
ROUTINE(sub_009CAC, 0x009CAC)
  d7 = 0;
  tst<W>(rd16(steer_flag));
  if (cc_eq()) GOTO(0x9CE0);
  if (rd8(a4 + pr::right_pressed) != 0) d7 += 8;
  if (rd8(a4 + pr::left_pressed) != 0) d7 += 4;
  if (rd8(a4 + pr::up_pressed) != 0) d7 += 1;
  if (rd8(a4 + pr::down_pressed) != 0) d7 += 2;
HERE(0x9CE0)
  wr8(a4 + pr::facing_before, rd8(a4 + pr::facing));
  d7 = host_aim(a4, d7) & 15;
  if (d7 != 0) GOTO(0x9CF4);
  RTS();
HERE(0x9CF4)
  wr8(a4 + pr::facing, d7);
  wr16(a4 + pr::throw_pose, 0); // steering ends a throw pose; its frame stays lost
  cmp<B>(rd8(a4 + pr::facing_before), d7);
  if (cc_eq()) GOTO(0x9D2A);
  wr16(a4 + pr::walk_delay, 0);
  a0 = adda<W>(rd16(walk_list_offsets + 2 * ((d7 & 0xFFFF) - 1)), walk_frame_lists);
  wr32(a4 + pr::walk_first, a0);
  wr32(a4 + pr::walk_entry, a0);
  wr32(a4 + pr::walk_end, a0 + 8);
  wr16(a4 + pr::walk_step, 2);
LOOP(0x9D2A)
  tst<W>(rd16(a4 + pr::walk_delay));
  if (cc_eq()) GOTO(0x9D38);
  wr16(a4 + pr::walk_delay, rd16(a4 + pr::walk_delay) - 1);
  RTS();
HERE(0x9D38)
  wr16(a4 + pr::walk_delay, 1);
  a0 = rd32(a4 + pr::walk_entry);
  cmp<L>(rd32(a4 + pr::walk_end), a0);
  if (cc_ne()) GOTO(0x9D50);
  wr32(a4 + pr::walk_entry, rd32(a4 + pr::walk_first));
  GOTO(0x9D2A);
HERE(0x9D50)
  put<W>(d0, rd16(a0));
  if (rd16(current_player) == 1) put<W>(d0, d0 - player_two_frames);
  wr16(a4 + pr::frame, d0);
  tst<W>(rd16(a4 + pr::moved));
  if (cc_eq()) GOTO(0x9D6C);
  wr32(a4 + pr::walk_entry, adda<W>(rd16(a4 + pr::walk_step), a0));
HERE(0x9D6C)
  RTS();
END_ROUTINE

// $9D70: at a mission's start each player's first owned weapon becomes the
// current one, shown and loaded. The scan stops after the 19 weapon bytes
// (past them lie the counters, which would read as weapons above 18): a
// player owning none keeps the weapon held, picture and parameters loaded.
ROUTINE(sub_009D70, 0x009D70)
  wr16(current_player, 0);
  a4 = player1;
  a0 = a4 + rec::owned;
  d0 = 0;
LOOP(0x9D80)
  tst<B>(rd8(a0 + d0));
  if (cc_ne()) GOTO(0x9D8E);
  d0 += 1;
  if (d0 < weapon_count) GOTO(0x9D80);
  GOTO(0x9D92);
HERE(0x9D8E)
  wr16(a4 + rec::weapon, d0);
HERE(0x9D92)
  JSR(0x009DB8, 0x9D96)
  tst<W>(rd16(two_player_flag));
  if (cc_eq()) GOTO(0x9DB0);
  wr16(current_player, 1);
  a4 = player2;
  a0 = a4 + rec::owned;
  d0 = 0;
LOOP(0x9DA0)
  tst<B>(rd8(a0 + d0));
  if (cc_ne()) GOTO(0x9DA8);
  d0 += 1;
  if (d0 < weapon_count) GOTO(0x9DA0);
  GOTO(0x9DAA);
HERE(0x9DA8)
  wr16(a4 + rec::weapon, d0);
HERE(0x9DAA)
  JSR(0x009DB8, 0x9DAE)
HERE(0x9DB0)
  wr16(current_player, 0);
  RTS();
END_ROUTINE

// $9DB8: the current weapon of the player at a4 into its panel place in
// both screens (fixed addresses, whichever is being drawn), and its firing
// parameters into the record; the fire delay starts again. Keeps every
// register.
ROUTINE(sub_009DB8, 0x009DB8)
LOOP(0x9DB8)
  save_regs(dregs(0, 7) | aregs(0, 6));
  d0 = rd16(current_player) != 0 ? panel_right : panel_left;
  a1 = screen_buffer_b + d0;
  a2 = screen_buffer_a + d0;
  a0 = weapon_pictures + weapon_picture_bytes * rd16(a4 + rec::weapon);
  d1 = 58;
LOOP(0x9DE0)
  wr32(a1, rd32(a0));
  wr32(a2, rd32(a0));
  wr32(a1 + 4, rd32(a0 + 4));
  wr32(a2 + 4, rd32(a0 + 4));
  a0 += 8;
  a1 += 160;
  a2 += 160;
  if (dbf(d1)) GOTO(0x9DE0);
  a0 = weapon_param_table + 10 * rd16(a4 + rec::weapon);
  wr16(a4 + rec::bullet_speed, rd16(a0));
  wr16(a4 + rec::bullet_life, rd16(a0 + 2));
  wr8(a4 + rec::repeat_delay, rd8(a0 + 5));
  wr16(a4 + rec::pattern, rd16(a0 + 6));
  wr16(a4 + player_record::count_index, rd16(a0 + 8));
  wr8(a4 + rec::byte_19, 0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $9860: which of the four ways the player at a4 may go this frame: all
// free, then one pass of the step with the player's own offset (0, 0) and,
// with the other player in play, one with the offset of that player. A
// deadly contact in a pass returns straight to this routine's caller.
ROUTINE(sub_009860, 0x009860)
  wr8(a4 + rec::way_right, 0xFF);
  wr8(a4 + rec::way_left, 0xFF);
  wr8(a4 + rec::way_up, 0xFF);
  wr8(a4 + rec::way_down, 0xFF);
  tst<W>(rd16(player1 + player_record::lives));
  if (cc_eq()) GOTO(0x9886);
  put<W>(d0, rd16(player_positions) - rd16(a4 + rec::x));
  put<W>(d1, rd16(player_positions + 4) - rd16(a4 + rec::y));
  JSR(0x0098A2, 0x9886)
  tst<W>(rd16(player2 + player_record::lives));
  if (cc_eq()) GOTO(0x98A0);
  put<W>(d0, rd16(player_positions + 2) - rd16(a4 + rec::x));
  put<W>(d1, rd16(player_positions + 6) - rd16(a4 + rec::y));
  JSR(0x0098A2, 0x98A0)
  RTS();
END_ROUTINE

// $98A2: one pass of the terrain and obstacle step for the player at a4,
// (d0.w, d1.w) the offset of a player from it: the other player's box, the
// eight ground cells with the corner slides, then the solid objects of the
// section around the reference point.
ROUTINE(sub_0098A2, 0x0098A2)
  {
    const u32 dx = d0 & 0xFFFF, dy = d1 & 0xFFFF;
    const bool ahead_x = dx <= 14, behind_x = dx >= 0xFFF3;
    if (dx != 0 || dy != 0) {
      if (dy <= 14) {
        if (ahead_x) {
          block(rec::way_right);
          block(rec::way_down);
        } else if (behind_x) {
          block(rec::way_left);
          block(rec::way_down);
        }
      } else if (dy >= 0xFFF3 && (ahead_x || behind_x)) {
        block(ahead_x ? rec::way_right : rec::way_left);
        block(rec::way_up);
      }
    }
  }
  probe_point(-59, 10);
  JSR(0x00AF6A, 0x98F0)
  cell_stored(upper_left);
  probe_point(-48, 7);
  JSR(0x00AF6A, 0x9900)
  cell_stored(top);
  probe_point(-37, 10);
  JSR(0x00AF6A, 0x9910)
  cell_stored(upper_right);
  probe_point(-34, 17);
  JSR(0x00AF6A, 0x9920)
  cell_stored(right_cell);
  probe_point(-37, 24);
  JSR(0x00AF6A, 0x9930)
  cell_stored(lower_right);
  probe_point(-48, 27);
  JSR(0x00AF6A, 0x9940)
  cell_stored(bottom);
  probe_point(-59, 24);
  JSR(0x00AF6A, 0x9950)
  cell_stored(lower_left);
  probe_point(-62, 17);
  JSR(0x00AF6A, 0x9960)
  cell_stored(left_cell);
  for (u32 i = 0; i < 8; i += 2) wr16(slide_flags + i, 0);
  // Up, with the slides off the upper corners.
  if (solid(top)) {
    block(rec::way_up);
  } else if (pressed(rec::press_up)) {
    if (solid(upper_left) && !solid(left_cell)) slide(rec::x, slide_step, slid_right, rec::way_up);
    if (solid(upper_right) && !solid(right_cell)) slide(rec::x, -slide_step, slid_left, rec::way_up);
  }
  // Down, with the slides off the lower corners.
  if (solid(bottom)) {
    block(rec::way_down);
  } else if (pressed(rec::press_down)) {
    if (solid(lower_left) && !solid(left_cell) && rd16(slid_right) == 0)
      slide(rec::x, slide_step, slid_right, rec::way_down);
    if (solid(lower_right) && !solid(right_cell) && rd16(slid_left) == 0)
      slide(rec::x, -slide_step, slid_left, rec::way_down);
  }
  // A sideways slide leaves the right and left cells out of this pass.
  if (((rd8(slid_right) + rd8(slid_left)) & 0xFF) != 0) GOTO(0x99F0);
  if (solid(right_cell)) {
    block(rec::way_right);
  } else if (pressed(rec::press_right)) {
    if (solid(upper_right) && !solid(top)) slide(rec::y, slide_step, slid_down, rec::way_right);
    if (solid(lower_right) && !solid(bottom)) slide(rec::y, -slide_step, slid_up, rec::way_right);
  }
  if (solid(left_cell)) {
    block(rec::way_left);
  } else if (pressed(rec::press_left)) {
    if (solid(upper_left) && !solid(top)) {
      if (rd16(slid_down) != 0) GOTO(0x99F0);
      slide(rec::y, slide_step, slid_down, rec::way_left);
    }
    if (solid(lower_left) && !solid(bottom) && rd16(slid_up) == 0) slide(rec::y, -slide_step, slid_up, rec::way_left);
  }
HERE(0x99F0)
  // The ground's answer kept while the objects are probed with all ways free.
  wr8(terrain_ways, rd8(a4 + rec::way_up));
  wr8(terrain_ways + 1, rd8(a4 + rec::way_down));
  wr8(terrain_ways + 2, rd8(a4 + rec::way_right));
  wr8(terrain_ways + 3, rd8(a4 + rec::way_left));
  wr8(a4 + rec::way_up, 0xFF);
  wr8(a4 + rec::way_down, 0xFF);
  wr8(a4 + rec::way_right, 0xFF);
  wr8(a4 + rec::way_left, 0xFF);
  if (rd16(hscroll_step) != 0) {
    probe_point(0, 14);
  } else {
    probe_point(36, 114);
  }
  tst<W>(rd16(a4 + rec::blink));
  if (cc_ne()) GOTO(0x9A40);
  tst<W>(rd16(a4 + rec::state));
  if (cc_ne()) GOTO(0x9A40);
  put<W>(d0, d0 + 12);
  tst<W>(rd16(hscroll_step));
  if (cc_ne()) GOTO(0x9A40);
  JSR(0x009BEA, 0x9A20)
  tst<W>(d7);
  if (cc_eq()) GOTO(0x9A40);
  // A moving, intact vehicle kills: the rest of the step is skipped.
  a0 = rd32(obstacle_record);
  tst<W>(rd16(a0 + 0x0C));
  if (cc_ne()) GOTO(0x9A40);
  tst<W>(rd16(a0 + 0x06));
  if (cc_eq()) GOTO(0x9A40);
  tst<W>(rd16(dev_freerun));
  if (cc_ne()) GOTO(0x9A3C);
  JSR(0x00AA42, 0x9A3C)
  (void)pop32();
  RTS();
HERE(0x9A40)
  // The blocking group, 12 pixels further left while blinking or dying.
  put<W>(d0, d0 - 12 + 4);
  JSR(0x009BEA, 0x9A4A)
  tst<W>(d7);
  if (cc_eq()) GOTO(0x9A56);
  block(rec::way_up);
  block(rec::way_left);
HERE(0x9A56)
  put<W>(d0, d0 + 20);
  JSR(0x009BEA, 0x9A60)
  tst<W>(d7);
  if (cc_eq()) GOTO(0x9A6C);
  block(rec::way_up);
  block(rec::way_right);
HERE(0x9A6C)
  put<W>(d1, d1 + 12);
  JSR(0x009BEA, 0x9A76)
  tst<W>(d7);
  if (cc_eq()) GOTO(0x9A82);
  block(rec::way_down);
  block(rec::way_right);
HERE(0x9A82)
  put<W>(d0, d0 - 16);
  JSR(0x009BEA, 0x9A8C)
  tst<W>(d7);
  if (cc_eq()) GOTO(0x9A98);
  block(rec::way_down);
  block(rec::way_left);
HERE(0x9A98)
  // Boxed in by objects on both sides of a vertical section: both ways free.
  if (rd16(hscroll_step) == 0) {
    if (((rd8(a4 + rec::way_down) + rd8(a4 + rec::way_up)) & 0xFF) == 0) {
      wr8(a4 + rec::way_down, 0xFF);
      wr8(a4 + rec::way_up, 0xFF);
    }
    if (((rd8(a4 + rec::way_right) + rd8(a4 + rec::way_left)) & 0xFF) == 0) {
      wr8(a4 + rec::way_right, 0xFF);
      wr8(a4 + rec::way_left, 0xFF);
    }
  }
  // The ground blocks whatever the objects left free.
  if (rd8(terrain_ways) == 0) block(rec::way_up);
  if (rd8(terrain_ways + 1) == 0) block(rec::way_down);
  if (rd8(terrain_ways + 3) == 0) block(rec::way_left);
  if (rd8(terrain_ways + 2) == 0) block(rec::way_right);
  RTS();
END_ROUTINE

// ---- Obstacle probe and projectiles ------------------------------------------------

namespace {

namespace vehicle {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, height = 0x0A, width = 0x0E;
} // namespace vehicle
namespace section_object {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, type = 0x06;
constexpr u32 last_deadly_type = 241; // 242-245 are passed over
} // namespace section_object
namespace section_installation {
constexpr u32 active = 0x00, x = 0x02, y = 0x04;
} // namespace section_installation
namespace projectile {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, type = 0x06, life = 0x08, dx = 0x0A, dy = 0x0C, owner = 0x0E;
} // namespace projectile

// 3 blocks of 16 entries by facing: type (negative: no shot), x and y
// offsets from the player, dx, dy, life.
constexpr u32 projectile_directions = 0x00A082;
constexpr u32 direction_block_bytes = 192;
constexpr u32 direction_entry_bytes = 12;
constexpr u32 fx_bank_low = 0x000273; // its bit 0: the frame parity
// What the vertical probe leaves in obstacle_record when it touches no
// vehicle; the terrain step reads the record only after a touch.
constexpr u32 no_vehicle = 0x001B44;

} // namespace

// $9BEA: whether the point (d0, d1) of the player at a4 touches a solid
// object: d7.w non-zero when it does (the table size minus the record's
// index). In a vertical section the objects are the vehicles, and
// obstacle_record holds the one touched ($1B44 when
// none). In a horizontal section a section object under the point (types
// up to 241) is destroyed with debris and kills the player unless he
// blinks, and the probe goes on from the debris point; then the section's
// installations answer. d0, d1, d2 and a0 are kept.
ROUTINE(sub_009BEA, 0x009BEA)
LOOP(0x9BEA)
  save_regs(dregs(0, 2) | aregs(0, 0));
  tst<W>(rd16(hscroll_step));
  if (cc_ne()) GOTO(0x9C02);
  a0 = vehicle_table.address;
  put<W>(d7, vehicle_table.records - 1);
LOOP(0x9BF6)
  tst<W>(rd16(a0 + vehicle::active));
  if (cc_eq()) GOTO(0x9BFA);
  put<W>(d2, d0 - rd16(a0 + vehicle::x));
  cmp<W>(rd16(a0 + vehicle::width), d2);
  if (cc_hi()) GOTO(0x9BFA);
  put<W>(d2, d1 - rd16(a0 + vehicle::y));
  cmp<W>(rd16(a0 + vehicle::height), d2);
  if (cc_ls()) GOTO(0x9BFE);
HERE(0x9BFA)
  a0 += vehicle_table.size;
  if (dbf(d7)) GOTO(0x9BF6);
  a0 = no_vehicle;
HERE(0x9BFE)
  wr32(obstacle_record, a0);
  GOTO(0x9C26);

HERE(0x9C02)
  a0 = section_object_table.address;
  put<W>(d7, section_object_table.records - 1);
LOOP(0x9C06)
  tst<W>(rd16(a0 + section_object::active));
  if (cc_eq()) GOTO(0x9C12);
  cmp<W>(section_object::last_deadly_type, rd16(a0 + section_object::type));
  if (cc_hi()) GOTO(0x9C12);
  put<W>(d2, d0 - rd16(a0 + section_object::x));
  cmp<W>(16, d2);
  if (cc_hi()) GOTO(0x9C12);
  put<W>(d2, d1 - rd16(a0 + section_object::y));
  cmp<W>(16, d2);
  if (cc_hi()) GOTO(0x9C12);
  put<W>(d0, rd16(a0 + section_object::x) + 28);
  put<W>(d1, rd16(a0 + section_object::y) + 88);
  put<W>(d2, 1);
  wr16(a0 + section_object::active, 0);
  JSR(0x0063A4, 0x9C0E)
  tst<W>(rd16(a4 + rec::blink));
  if (cc_ne()) GOTO(0x9C12);
  JSR(0x00AA42, 0x9C10)
  GOTO(0x9C16);
HERE(0x9C12)
  a0 += section_object_table.size;
  if (dbf(d7)) GOTO(0x9C06);

HERE(0x9C16)
  a0 = section_installation_table.address;
  put<W>(d7, section_installation_table.records - 1);
LOOP(0x9C1A)
  tst<W>(rd16(a0 + section_installation::active));
  if (cc_eq()) GOTO(0x9C22);
  put<W>(d2, d0 - rd16(a0 + section_installation::x));
  cmp<W>(32, d2);
  if (cc_hi()) GOTO(0x9C22);
  put<W>(d2, d1 - rd16(a0 + section_installation::y));
  cmp<W>(32, d2);
  if (cc_ls()) GOTO(0x9C26);
HERE(0x9C22)
  a0 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x9C1A);

  // Both scans end here: a touch at count c gives c + 1, none $FFFF + 1.
HERE(0x9C26)
  put<W>(d7, d7 + 1);
  restore_regs(dregs(0, 2) | aregs(0, 0));
  RTS();
END_ROUTINE

// $9FA4: every live projectile and impact one step; freed when its life
// runs out. Every register is kept.
ROUTINE(sub_009FA4, 0x009FA4)
LOOP(0x9FA4)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP(0x9FB0)
  tst<W>(rd16(a0 + projectile::active));
  if (cc_eq()) GOTO(0x9FD4);
  wr16(a0 + projectile::x, rd16(a0 + projectile::x) + rd16(a0 + projectile::dx));
  wr16(a0 + projectile::y, rd16(a0 + projectile::y) + rd16(a0 + projectile::dy));
  put<W>(d0, rd16(a0 + projectile::life) - 1);
  wr16(a0 + projectile::life, d0);
  if ((d0 & 0xFFFF) != 0) GOTO(0x9FD4);
  wr16(a0 + projectile::active, 0);
HERE(0x9FD4)
  a0 += projectile_table.size;
  if (dbf(d7)) GOTO(0x9FB0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $9FE0: one projectile for the player at a4 from the entry of his
// weapon's pattern (+$52) and facing. Pattern 0 alternates blocks 1 and 0
// frame by frame; weapons 3 and 4 fire on even frames only. Every
// register is kept.
ROUTINE(sub_009FE0, 0x009FE0)
  save_regs(dregs(0, 7) | aregs(0, 6));
  put<W>(d0, move<W>(rd16(a4 + rec::pattern)));
  if (cc_mi()) GOTO(0xA07A);
  if (cc_ne()) GOTO(0x9FFC);
  put<W>(d0, (rd8(fx_bank_low) & 1) == 0 ? 1 : 0);
  GOTO(0xA014);
HERE(0x9FFC)
  put<W>(d1, rd16(a4 + rec::weapon));
  if ((d1 & 0xFFFF) != 3 && (d1 & 0xFFFF) != 4) GOTO(0xA014);
  if ((rd8(fx_bank_low) & 1) != 0) GOTO(0xA07A);
HERE(0xA014)
  a0 = projectile_directions + mulu(direction_block_bytes, d0) +
       (rd8(a4 + player_record::facing) & 0x0F) * direction_entry_bytes;
  a1 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP(0xA02E)
  tst<W>(rd16(a1 + projectile::active));
  if (cc_eq()) GOTO(0xA03C);
  a1 += projectile_table.size;
  if (dbf(d7)) GOTO(0xA02E);
  GOTO(0xA07A);
HERE(0xA03C)
  tst<W>(rd16(a0));
  if (cc_mi()) GOTO(0xA07A);
  wr16(a1 + projectile::type, rd16(a0));
  wr16(a1 + projectile::x, rd16(a4 + rec::x) + rd16(a0 + 2));
  wr16(a1 + projectile::y, rd16(a4 + rec::y) + rd16(a0 + 4));
  wr16(a1 + projectile::dx, rd16(a0 + 6));
  wr16(a1 + projectile::dy, rd16(a0 + 8));
  wr16(a1 + projectile::life, rd16(a0 + 10));
  wr16(a1 + projectile::owner, rd16(current_player));
  wr16(a1 + projectile::active, 0xFFFF);
HERE(0xA07A)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE
