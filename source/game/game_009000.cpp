// Page $9000: the frame pacing of the mission loops; the players' update
// (movement, hold, fire, weapon keys) and their aim step and walk animation.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "machine/host_aim.h"

using namespace st_io;

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
