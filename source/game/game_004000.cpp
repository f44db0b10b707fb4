// Page $4000: the horizontal engine of the missions. The switch-over from a
// vertical section and the builder of the horizontal band (sixteen copies of
// one ground block, each rotated 2 pixels further left), the frame loop of a
// horizontal section, its background and its scroll step; the screen
// position of the mission data load's prompt; and the horizontal sections'
// installations (placed, firing their patterns, wrecked by heavy
// projectiles, drawn).
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

namespace {

constexpr u32 hscroll_step = 0x000248;    // word, signed: +2 or -2 in a horizontal section, else 0
constexpr u32 hscroll_word = 0x00024A;    // word: += hscroll_step a step; bits 1-4 pick the band copy
constexpr u32 hsection_counter = 0x00024C; // word: its parity gives each section its direction
constexpr u32 stream_offsets = level_table + 8; // level_table words 4 on: the event streams

constexpr u32 horizontal_band = bg_ring; // 16 copies of 1,024 bytes: 32 lines of 64 pixels
constexpr u32 band_copy_bytes = 0x400;
constexpr u32 band_line_bytes = 32;

// The tables the switch-over empties: $18E4 up to the installations, the
// vehicles, the section-bound objects, the homing units, the goal and the
// work bytes after them.
constexpr u32 switch_clear_from = 0x0018E4;
constexpr u32 switch_clear_to = 0x001DB8;

constexpr u32 section_start_clock = 184;
constexpr u32 horizontal_section_end = 0x0180;
constexpr u32 absent_player_x = 144; // a player out of play neither holds nor pushes

// The scroll step's hold thresholds (unsigned words).
constexpr u32 push_right_min = 69, push_right_sum_min = 257;
constexpr u32 push_left_max = 218, push_left_sum_max = 318;

// The background's tiles: six rows of 32 lines down the playfield, and its
// last eight lines (192-199) again from lines 0-7.
constexpr u32 screen_line_bytes = 160;
constexpr u32 tile_row_bytes = 32 * screen_line_bytes;
constexpr u32 bottom_lines_offset = 192 * screen_line_bytes;

// The developer's timing colour at a phase of the frame; with timing off
// the game's code leaves d1.w |= d0.w there instead.
inline void timing_colour(u32 colour) {
  if (rd16(dev_timing) != 0)
    wr16(st_io::palette_regs, colour);
  else
    put<W>(d1, or_<W>(d0, d1));
}

// One plane of one band line, from the copy at a1 into the next at a0: the
// four group words shifted left twice through X (d3 into d2 into d1 into d0
// into d4), and the two bits that left the left edge entering at the right
// edge (d4 AND d5, d5 = 3). a0 and a1 step to the next plane.
inline void rotate_plane_line() {
  put<W>(d0, rd16(a1));
  a1 += 2;
  put<W>(d1, rd16(a1 + 6));
  put<W>(d2, rd16(a1 + 14));
  put<W>(d3, rd16(a1 + 22));
  const u32 w0 = d0 & 0xFFFF, w1 = d1 & 0xFFFF, w2 = d2 & 0xFFFF, w3 = d3 & 0xFFFF, w4 = d4 & 0xFFFF;
  put<W>(d0, w0 << 2 | w1 >> 14);
  put<W>(d1, w1 << 2 | w2 >> 14);
  put<W>(d2, w2 << 2 | w3 >> 14);
  put<W>(d3, w3 << 2);
  put<W>(d4, w4 << 2 | w0 >> 14);
  fx = (w4 >> 14) & 1; // the last bit the second ROXL pushed out of d4
  put<W>(d4, d4 & d5);
  put<W>(d3, d3 | d4);
  wr16(a0, d0);
  a0 += 2;
  wr16(a0 + 6, d1);
  wr16(a0 + 14, d2);
  wr16(a0 + 22, move<W>(d3));
}

// MOVEM.L d0-d7,(at): one 64-pixel line of the background.
inline void store_band_line(u32 at) {
  wr32(at, d0);
  wr32(at + 4, d1);
  wr32(at + 8, d2);
  wr32(at + 12, d3);
  wr32(at + 16, d4);
  wr32(at + 20, d5);
  wr32(at + 24, d6);
  wr32(at + 28, d7);
}

// ADD.W d5,(address): one x word of the scroll step.
inline void shift_x(u32 address) { wr16(address, rd16(address) + d5); }

} // namespace

// $45D6: hands the mission to the horizontal engine. Empties the tables of
// the fixed and section-bound objects and the collision map, takes the next
// event stream, sets the scroll variables (the direction by the parity of
// hsection_counter) and goes on into the band builder, whose return ends
// the switch-over. Enemies, shots, explosions, debris and effects carry on.
ROUTINE(sub_0045D6, 0x0045D6)
  a0 = switch_clear_from;
  a1 = switch_clear_to;
  JSR(0x00759C, 0x45E2)
  JSR(0x0090AA, 0x45E6)
  wr16(scroll_pos, 0);
  a0 = level_table;
  wr16(stream_section, rd16(stream_section) + 1);
  put<W>(d1, rd16(stream_section));
  put<W>(d1, d1 + d1);
  put<W>(d0, rd16(stream_offsets + sext16(d1)));
  wr8(event_clock, section_start_clock);
  wr32(hscroll_step, 0x00020000); // hscroll_step 2, hscroll_word 0
  a0 = adda<W>(d0, a0);
  wr32(event_pointer, a0);
  wr16(hsection_counter, rd16(hsection_counter) + 1);
  if ((rd16(hsection_counter) & 1) != 0) wr16(a5 + hscroll_step, neg<W>(rd16(a5 + hscroll_step)));
  // The band's block is the byte the map reader took last, which the row
  // reader rewrites at every block it reads: after a whole section that is
  // the last block read from the map, not the map's first byte that
  // level_map_prefill stored. The byte is taken as it is, bit 7 (objects
  // follow) and the end marker $FF included, and its address is formed in
  // 16 bits: numbers of 32 and up fall outside the block table.
  d0 = rd16(last_block) * ground_block_bytes;
  a1 = adda<W>(d0, ground_blocks);
  a0 = horizontal_band;
  d7 = 31;
  JMP(0x004640);
END_ROUTINE

// $4640: one line of the plain copy (copy 0): 32 bytes from a1 to a0, both
// advancing; the loop control follows at $4650.
ROUTINE(sub_004640, 0x004640)
  for (u32 i = 0; i < band_line_bytes; i += 4) wr32(a0 + i, rd32(a1 + i));
  a0 += band_line_bytes;
  a1 += band_line_bytes;
  JMP(0x004650);
END_ROUTINE

// $4650: the plain copy's loop (d7 lines left), then the fifteen rotated
// copies, each built from the one before it, 2 pixels further left.
ROUTINE(sub_004650, 0x004650)
  if (dbf(d7)) JMP(0x004640);
  a1 = horizontal_band;
  a0 = horizontal_band + band_copy_bytes;
  d7 = 14;
LOOP(0x4662)
  d5 = 3;
  d6 = 31;
LOOP(0x4668)
  rotate_plane_line();
  rotate_plane_line();
  rotate_plane_line();
  rotate_plane_line();
  a0 += 24;
  a1 += 24;
  if (dbf(d6)) GOTO(0x4668);
  if (dbf(d7)) GOTO(0x4662);
  RTS();
END_ROUTINE

// $474A: the game loop of a horizontal section, one game frame a pass, as
// the vertical loop but with the horizontal scroll step, the band, the
// horizontal installations and the section objects. Returns after setting
// up the next vertical section when the scroll reaches $0180, or when no
// player is left.
ROUTINE(frame_horizontal, 0x00474A)
LOOP_HOOK(0x474A)
  JSR(0x0091E0, 0x474E)
  JSR(0x007E06, 0x4752)
  HOOK_AT(0x004752)

  JSR(0x00A544, 0x4756)
  JSR(0x00A5FC, 0x475A)
  JSR(0x004A52, 0x475E)
  JSR(0x006C28, 0x4762)
  JSR(0x006CFA, 0x4766)
  JSR(0x006950, 0x476A)
  JSR(0x004C74, 0x476E)
  JSR(0x005336, 0x4772)
  JSR(0x009FA4, 0x4776)
  JSR(0x00B944, 0x477A)
  JSR(0x00AC5E, 0x477E)
  JSR(0x00922E, 0x4782)
  timing_colour(0x417);
  JSR(0x00B09A, 0x4794)
  JSR(0x00AFA2, 0x4798)
  JSR(0x00B386, 0x479C)
  timing_colour(0x444);
  JSR(0x004954, 0x47AE)
  timing_colour(0x050);
  JSR(0x00488C, 0x47C0)
  timing_colour(0x770);
  JSR(0x004F32, 0x47D2)
  JSR(0x0054AA, 0x47D6)
  timing_colour(0x000);
  JSR(0x005B32, 0x47E8)
  timing_colour(0x741);
  JSR(0x005946, 0x47FA)
  HOOK_AT(0x0047FA)
  timing_colour(0x400);
  JSR(0x005E32, 0x480C)
  JSR(0x00660C, 0x4810)
  JSR(0x006D12, 0x4814)
  JSR(0x0063DE, 0x4818)
  JSR(0x005F1A, 0x481C)
  timing_colour(0x060);
  timing_colour(0x600);
  JSR(0x006812, 0x483C)
  JSR(0x00B6EA, 0x4840)
  JSR(0x008E82, 0x4844)
  JSR(0x008E96, 0x4848)
  wr16(fx_bank, rd16(fx_bank) + 1);

  cmp<W>(horizontal_section_end, rd16(scroll_pos));
  if (cc_ne()) GOTO(0x487E);
HERE(0x4852)
  wr16(hscroll_step, 0);
  a0 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
LOOP(0x485E)
  wr16(a0, 0);
  a0 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x485E);
  a0 = section_object_table.address;
  d7 = section_object_table.records - 1;
LOOP(0x486A)
  wr16(a0, 0);
  a0 += section_object_table.size;
  if (dbf(d7)) GOTO(0x486A);
  // Left by the escape below: the mission ends, no next section.
  cmp<W>(horizontal_section_end, rd16(scroll_pos));
  if (cc_ne()) RTS();
  JSR(0x009062, 0x4878)
  JSR(0x008D1E, 0x487C)
  RTS();

HERE(0x487E)
  // The game never reads exit_request here and would keep the section
  // going until a player pushed it to its end: an escape during a
  // horizontal section leaves it (the horizontal tables emptied and the
  // scroll direction cleared, which nothing else resets before the next
  // mission), and frame_vertical then ends the mission.
  tst<W>(rd16(exit_request));
  if (cc_ne()) GOTO(0x4852);
  put<W>(d0, add<W>(rd16(player2 + player_record::lives), rd16(player1 + player_record::lives)));
  if (cc_ne()) GOTO(0x474A);
  RTS();
END_ROUTINE

// $488C: the band copy of the fine scroll ((hscroll_word >> 1) AND 15)
// tiled over the playfield of the screen being drawn: three 64-pixel tiles
// across, 32-line rows down, and lines 192-199 again from lines 0-7.
ROUTINE(horizontal_background, 0x00488C)
  HOOK_AT(0x00488C)
  wr16(copy_lines, 32);
  put<W>(d0, rd16(hscroll_word) & 0x1E);
  put<W>(d0, d0 << 9);
  a0 = adda<W>(d0, horizontal_band);
  a1 = rd32(draw_screen) + 32;
  push32(a1);
LOOP(0x48B2)
  d0 = rd32(a0);
  d1 = rd32(a0 + 4);
  d2 = rd32(a0 + 8);
  d3 = rd32(a0 + 12);
  d4 = rd32(a0 + 16);
  d5 = rd32(a0 + 20);
  d6 = rd32(a0 + 24);
  d7 = rd32(a0 + 28);
  a0 += band_line_bytes;
  for (u32 row = 0; row < 6; ++row)
    for (u32 tile = 0; tile < 3; ++tile) store_band_line(a1 + row * tile_row_bytes + tile * 32);
  a1 += screen_line_bytes;
  wr16(copy_lines, sub<W>(1, rd16(copy_lines)));
  if (cc_ne()) GOTO(0x48B2);
  a1 = pop32();
  wr16(copy_lines, 8);
LOOP(0x4932)
  movem_load<L>(dregs(0, 7), a1);
  for (u32 tile = 0; tile < 3; ++tile) store_band_line(a1 + bottom_lines_offset + tile * 32);
  a1 += screen_line_bytes;
  wr16(copy_lines, sub<W>(1, rd16(copy_lines)));
  if (cc_ne()) GOTO(0x4932);
  JMP(0x004952);
END_ROUTINE

// $4952: the shared bare return of the background and the scroll step.
ROUTINE(sub_004952, 0x004952)
  RTS();
END_ROUTINE

// $4954: the horizontal scroll step. Scrolls 2 pixels while the players
// push the way the section goes (an absent player counts as x 144), and
// then shifts the players and the moving objects' tables by the delta
// (d5.w); explosions, debris, installations, vehicles, homing units and
// the goal stay where they are on screen.
ROUTINE(sub_004954, 0x004954)
  put<W>(d0, absent_player_x);
  tst<W>(rd16(player1 + player_record::lives));
  if (cc_eq()) GOTO(0x4966);
  put<W>(d0, rd16(player1 + player_record::x));
HERE(0x4966)
  put<W>(d1, absent_player_x);
  tst<W>(rd16(player2 + player_record::lives));
  if (cc_eq()) GOTO(0x4974);
  put<W>(d1, rd16(player2 + player_record::x));
HERE(0x4974)
  tst<B>(rd8(hscroll_step));
  if (cc_mi()) GOTO(0x4980);
  cmp<W>(push_right_min, d0);
  if (cc_ls()) JMP(0x004952);
  cmp<W>(push_right_min, d1);
  if (cc_ls()) JMP(0x004952);
  put<W>(d0, add<W>(d1, d0));
  cmp<W>(push_right_sum_min, d0);
  if (cc_ls()) JMP(0x004952);
  GOTO(0x4990);
HERE(0x4980)
  cmp<W>(push_left_max, d0);
  if (cc_hi()) JMP(0x004952);
  cmp<W>(push_left_max, d1);
  if (cc_hi()) JMP(0x004952);
  put<W>(d0, add<W>(d1, d0));
  cmp<W>(push_left_sum_max, d0);
  if (cc_hi()) JMP(0x004952);

HERE(0x4990)
  wr16(scroll_pos, rd16(scroll_pos) + 1);
  wr8(event_clock, rd8(event_clock) + 1);
  wr16(hscroll_word, rd16(hscroll_word) + rd16(hscroll_step));
  put<W>(d5, neg<W>(rd16(hscroll_step)));
  shift_x(player1 + player_record::x);
  shift_x(player2 + player_record::x);

  a6 = enemy_table.address;
  put<W>(d6, (enemy_table.records - 1) * enemy_table.size);
LOOP(0x49B0)
  shift_x(a6 + sext16(d6));
  put<W>(d6, sub<W>(enemy_table.size, d6));
  if (cc_pl()) GOTO(0x49B0);

  a0 = grenade_table.address;
  put<W>(d7, grenade_table.records - 1);
LOOP(0x49C4)
  shift_x(a0);
  a0 += grenade_table.size;
  if (dbf(d7)) GOTO(0x49C4);

  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
LOOP(0x49D8)
  shift_x(a0);
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x49D8);

  a0 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP(0x49EC)
  shift_x(a0 + 2);
  a0 += projectile_table.size;
  if (dbf(d7)) GOTO(0x49EC);

  a0 = effect_table.address;
  put<W>(d7, effect_table.records - 1);
LOOP(0x4A00)
  shift_x(a0);
  a0 += effect_table.size;
  if (dbf(d7)) GOTO(0x4A00);

  a0 = section_installation_table.address;
  put<W>(d7, section_installation_table.records - 1);
LOOP(0x4A14)
  shift_x(a0 + 2);
  a0 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x4A14);

  a0 = section_object_table.address;
  put<W>(d7, section_object_table.records - 1);
LOOP(0x4A28)
  shift_x(a0 + 2);
  a0 += section_object_table.size;
  if (dbf(d7)) GOTO(0x4A28);

  a0 = dot_bullet_table.address;
  put<W>(d7, dot_bullet_table.records - 1); // the instruction at $4A3C
LOOP(0x4A44)
  shift_x(a0);
  a0 += dot_bullet_table.size;
  if (dbf(d7)) GOTO(0x4A44);

  // The host's scroll fix moves explosions and installations here (a5 is
  // the tables' base, d5.w the delta).
  HOOK(0x004A50)
  RTS();
END_ROUTINE

// $4BBE: a0 := line 39, byte 15 of the screen buffer at $18000.
ROUTINE(sub_004BBE, 0x004BBE)
  a0 = 0x01986F;
  RTS();
END_ROUTINE

// $4C06: the players' update opens with this bare return.
ROUTINE(sub_004C06, 0x004C06)
  RTS();
END_ROUTINE

// ---- Horizontal installations: placing, firing, projectile hits -----------------

namespace {

namespace hinst {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, type = 0x06, delay = 0x08, step = 0x0A;
} // namespace hinst

constexpr u32 first_firing_type = 234, wreck_type = 239;
constexpr u32 pattern_entry_bytes = 10; // dx, dy, a, b, delay
constexpr u32 pattern_end = 0xFFFF;
// The play-field offsets of a shot fired from a screen position.
constexpr u32 shot_x_offset = 36, shot_y_offset = 100;
constexpr u32 hostile_dot_range = 15;
constexpr u32 hostile_bullet_life = 300, hostile_effect_life = 30;
constexpr u32 hinst_first_x = 22, hinst_last_x = 265;

constexpr u32 first_heavy_projectile = 16, last_heavy_projectile = 23;
constexpr u32 wreck_points = 1000;
constexpr u32 vbl_counter_low = 0x001DC7; // bit 4 picks the wreck's arrangement

// The pattern entry at `step` of the list for the record at a4, into a0.
inline void pattern_entry(u32 list) {
  d0 = (rd16(a4 + hinst::step) & 0xFFFF) * pattern_entry_bytes;
  a0 = list + sext16(d0 & 0xFFFF);
}

// d0/d1: where the entry at a0 fires from, in play-field coordinates; the
// record's delay from the entry.
inline void pattern_position() {
  put<W>(d0, rd16(a4 + hinst::x) + rd16(a0) + shot_x_offset);
  put<W>(d1, rd16(a4 + hinst::y) + rd16(a0 + 2) + shot_y_offset);
  wr16(a4 + hinst::delay, rd16(a0 + 8));
}

// A turn that comes back to the step it began at (d6) ends there: with no
// entry of non-zero delay in a list, the game would step for ever inside
// one frame. A list that holds one ends its turn on it before that.
inline bool turn_went_round() { return (rd16(a4 + hinst::step) & 0xFFFF) == (d6 & 0xFFFF); }

inline void add_points(u32 player, u32 points) {
  wr32(player + player_record::score, rd32(player + player_record::score) + points);
}

} // namespace

// $4A52: heavy projectiles (types 16-23) against the installations: the
// first live, unwrecked installation in the box is wrecked for 1,000
// points to the projectile's owner, with two debris pieces and two
// explosions in one of two arrangements by bit 4 of the VBL counter.
ROUTINE(sub_004A52, 0x004A52)
  a4 = projectile_table.address;
  d7 = projectile_table.records - 1;
LOOP(0x4A5A)
  tst<W>(rd16(a4));
  if (cc_eq()) GOTO(0x4B84);
  put<W>(d0, rd16(a4 + 6));
  if ((d0 & 0xFFFF) < first_heavy_projectile || (d0 & 0xFFFF) > last_heavy_projectile) GOTO(0x4B84);
  a6 = section_installation_table.address;
  d6 = section_installation_table.records - 1;
LOOP(0x4A7C)
  tst<W>(rd16(a6 + hinst::active));
  if (cc_eq()) GOTO(0x4B7C);
  if (rd16(a6 + hinst::type) == wreck_type) GOTO(0x4B7C);
  put<W>(d0, rd16(a4 + 4) - (rd16(a6 + hinst::y) + 96));
  cmp<W>(27, d0);
  if (cc_hi()) GOTO(0x4B7C);
  put<W>(d0, rd16(a4 + 2) - (rd16(a6 + hinst::x) + 32));
  cmp<W>(32, d0);
  if (cc_hi()) GOTO(0x4B7C);

  add_points(player1, wreck_points);
  if (rd16(a4 + 0x0E) != 0) {
    add_points(player1, -wreck_points);
    add_points(player2, wreck_points);
  }
  wr16(a6 + hinst::type, wreck_type);
  wr16(a4, 0);
  put<W>(d0, rd16(a6 + hinst::x));
  put<W>(d1, rd16(a6 + hinst::y));
  if (rd8(vbl_counter_low) & 0x10) GOTO(0x4B40);
  d2 = 0;
  put<W>(d0, d0 + 35);
  put<W>(d1, d1 + 86);
  JSR(0x0063A4, 0x4B0C)
  put<W>(d0, d0 + 16);
  put<W>(d1, d1 + 16);
  JSR(0x0063A4, 0x4B1A)
  put<W>(d2, 0xFFFF);
  put<W>(d0, d0 + 16);
  put<W>(d1, d1 - 5);
  JSR(0x006CA8, 0x4B2A)
  put<W>(d0, d0 - 32);
  put<W>(d1, d1 + 16);
  JSR(0x006CA8, 0x4B3A)
  GOTO(0x4B84);
HERE(0x4B40)
  put<W>(d2, 0xFFFF);
  put<W>(d0, d0 + 32);
  put<W>(d1, d1 + 94);
  JSR(0x006CA8, 0x4B4C)
  put<W>(d0, d0 + 32);
  put<W>(d1, d1 + 16);
  JSR(0x006CA8, 0x4B5C)
  d2 = 0;
  put<W>(d0, d0 - 16);
  put<W>(d1, d1 - 25);
  JSR(0x0063A4, 0x4B6A)
  put<W>(d0, d0 - 16);
  put<W>(d1, d1 + 16);
  JSR(0x0063A4, 0x4B78)
  GOTO(0x4B84);

HERE(0x4B7C)
  a6 += section_installation_table.size;
  if (dbf(d6)) GOTO(0x4A7C);
HERE(0x4B84)
  a4 += projectile_table.size;
  if (dbf(d7)) GOTO(0x4A5A);
  RTS();
END_ROUTINE

// $4C2E: event commands 234-239: an installation of type d0.w at the x and
// y bytes at a0. Every register is kept; the stream goes on past the two
// bytes whether or not a record was free.
ROUTINE(sub_004C2E, 0x004C2E)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a1 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
LOOP(0x4C3A)
  tst<W>(rd16(a1 + hinst::active));
  if (cc_eq()) GOTO(0x4C4C);
  a1 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x4C3A);
  a0 += 2;
  GOTO(0x4C68);
HERE(0x4C4C)
  wr16(a1 + hinst::type, d0);
  wr8(a1 + hinst::x, 0);
  wr8(a1 + hinst::x + 1, rd8(a0));
  wr8(a1 + hinst::y, 0);
  wr8(a1 + hinst::y + 1, rd8(a0 + 1));
  a0 += 2;
  wr8(a1 + hinst::active, 0xFF);
  wr16(a1 + hinst::delay, 0);
  wr16(a1 + hinst::step, 0);
HERE(0x4C68)
  wr32(event_pointer, a0);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $4C74: the installations' frame: the six records from the first.
ROUTINE(sub_004C74, 0x004C74)
  a4 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
  JMP(0x004C7A);
END_ROUTINE

// $4C7A: the installation at a4 (d7.w records after it). Out of x 22-265
// it is freed; a firing type waits out its delay, then steps through its
// pattern list, each step one shot, on in the same frame while the new
// delay is 0 (never for type 235).
ROUTINE(sub_004C7A, 0x004C7A)
  tst<W>(rd16(a4 + hinst::active));
  if (cc_eq()) JMP(0x004E9A);
  put<W>(d0, rd16(a4 + hinst::x));
  if ((d0 & 0xFFFF) < hinst_first_x || (d0 & 0xFFFF) > hinst_last_x) {
    wr16(a4 + hinst::active, 0);
    JMP(0x004E9A);
  }
  put<W>(d0, rd16(a4 + hinst::type));
  if ((d0 & 0xFFFF) < first_firing_type || (d0 & 0xFFFF) >= wreck_type) JMP(0x004E9A);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_eq()) GOTO(0x4C9E);
  wr16(a4 + hinst::delay, rd16(a4 + hinst::delay) - 1);
  JMP(0x004E9A);
HERE(0x4C9E)
  put<W>(d6, rd16(a4 + hinst::step)); // where this turn began
  if ((d0 & 0xFFFF) == 235) GOTO(0x4D12);
  if ((d0 & 0xFFFF) == 236) GOTO(0x4D76);
  if ((d0 & 0xFFFF) == 237) JMP(0x004DE0);
  if ((d0 & 0xFFFF) == 238) GOTO(0x4E46);

  // 234: hostile dot bullets
LOOP(0x4CAC)
  pattern_entry(0x005704);
  if (rd16(a0) != pattern_end) GOTO(0x4CC4);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4CAC);
HERE(0x4CC4)
  pattern_position();
  put<W>(d2, rd16(a0 + 4));
  put<W>(d3, rd16(a0 + 6));
  put<W>(d4, hostile_dot_range);
  JSR(0x005904, 0x4CEC)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  GOTO(0x4CAC);

  // 235: one bullet a turn
LOOP(0x4D12)
  pattern_entry(0x00576A);
  if (rd16(a0) != pattern_end) GOTO(0x4D2A);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4D12);
HERE(0x4D2A)
  pattern_position();
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d2, hostile_bullet_life);
  put<W>(d5, 0xFFFF);
  JSR(0x006B74, 0x4D56)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  JMP(0x004E9A);

  // 236: bullets
LOOP(0x4D76)
  pattern_entry(0x0057BC);
  if (rd16(a0) != pattern_end) GOTO(0x4D8E);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4D76);
HERE(0x4D8E)
  pattern_position();
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d2, hostile_bullet_life);
  put<W>(d5, 0xFFFF);
  JSR(0x006B74, 0x4DBA)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  GOTO(0x4D76);

  // 238: effects
LOOP(0x4E46)
  pattern_entry(0x0058B2);
  if (rd16(a0) != pattern_end) GOTO(0x4E5E);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4E46);
HERE(0x4E5E)
  pattern_position();
  put<W>(d3, rd16(a0 + 4));
  put<W>(d4, rd16(a0 + 6));
  put<W>(d2, hostile_effect_life);
  put<W>(d5, 0xFFFF);
  JSR(0x00B6A6, 0x4E8A)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  GOTO(0x4E46);
END_ROUTINE

// $4DE0: one pattern step of type 237 (hostile dot bullets); the shot
// returns into $4E20, which steps on. d6 = the step the turn began at.
ROUTINE(sub_004DE0, 0x004DE0)
LOOP(0x4DE0)
  pattern_entry(0x005860);
  if (rd16(a0) != pattern_end) GOTO(0x4DF8);
  wr16(a4 + hinst::step, 0);
  if (turn_went_round()) JMP(0x004E9A);
  GOTO(0x4DE0);
HERE(0x4DF8)
  pattern_position();
  put<W>(d2, rd16(a0 + 4));
  put<W>(d3, rd16(a0 + 6));
  put<W>(d4, hostile_dot_range);
  JSR_INTO_NEXT(0x005904, 0x004E20);
END_ROUTINE

// $4E20: after a step of type 237: on in the same frame while the delay is
// 0 and the turn has not come round.
ROUTINE(sub_004E20, 0x004E20)
  wr16(a4 + hinst::step, rd16(a4 + hinst::step) + 1);
  tst<W>(rd16(a4 + hinst::delay));
  if (cc_ne() || turn_went_round()) JMP(0x004E9A);
  JMP(0x004DE0);
END_ROUTINE

// $4E9A: the next installation record, or the frame loop's return.
ROUTINE(sub_004E9A, 0x004E9A)
  a4 += section_installation_table.size;
  if (dbf(d7)) JMP(0x004C7A);
  RTS();
END_ROUTINE

// ---- Horizontal installations: drawing ----------------------------------------------

namespace {

constexpr u32 installation_frames = 0x045736; // 32 lines x four planes x {left, right} words
constexpr u32 clip_left_flag = 0x00020C;      // first column drawn
constexpr u32 clip_right_flag = 0x00020E;     // second column drawn
constexpr u32 clip_third_flag = 0x000210;     // third column drawn
constexpr u32 blit_rows = 0x000212;
constexpr u32 installation_lines = 32;
constexpr u32 inst_screen_lines = 200;

// One masked column at `at` (plane 0) from the plane words w[0-3], each
// taken from bit `from` (16: the high halves) of the longs.
inline void inst_column(u32 at, const u32* w, u32 from) {
  const u32 keep = ~((w[0] | w[1] | w[2] | w[3]) >> from) & 0xFFFF;
  for (u32 p = 0; p < 4; ++p) wr16(at + 2 * p, (rd16(at + 2 * p) & keep) | ((w[p] >> from) & 0xFFFF));
}

// The four plane longs of the line at a1 ({left, right} words), a1 on.
inline void load_inst_line() {
  d0 = rd32(a1);
  d1 = rd32(a1 + 4);
  d2 = rd32(a1 + 8);
  d3 = rd32(a1 + 12);
  a1 += 16;
}

// A line of three columns, a0 at plane 3 of the third; shifted by s = d6.
// The flags are looked at only when `clipped`.
inline void inst_three_columns(bool clipped) {
  const u32 s = d6 & 15;
  u32 w[4] = {d0 << (16 - s), d1 << (16 - s), d2 << (16 - s), d3 << (16 - s)};
  if (!clipped || rd16(clip_third_flag) != 0) inst_column(a0 - 6, w, 0);
  for (u32 p = 0; p < 4; ++p) w[p] = (p == 0 ? d0 : p == 1 ? d1 : p == 2 ? d2 : d3) >> s;
  if (!clipped || rd16(clip_right_flag) != 0) inst_column(a0 - 14, w, 0);
  if (!clipped || rd16(clip_left_flag) != 0) inst_column(a0 - 22, w, 16);
}

// A line of two columns (s = 0), a0 at plane 3 of the second.
inline void inst_two_columns(bool clipped) {
  const u32 w[4] = {d0, d1, d2, d3};
  if (!clipped || rd16(clip_right_flag) != 0) inst_column(a0 - 6, w, 0);
  if (!clipped || rd16(clip_left_flag) != 0) inst_column(a0 - 14, w, 16);
}

inline bool next_inst_line() {
  a0 += 160;
  wr16(blit_rows, rd16(blit_rows) - 1);
  return rd16(blit_rows) != 0;
}

} // namespace

// $4F32: every live installation, frame type - 234 (the wreck 5), at its
// screen x and y. The picture is cut at the screen's last line: drawn whole
// from y 169 down it would run into the spare bytes and the horizontal
// band after screen $20000, or into the other screen after $18000.
ROUTINE(sub_004F32, 0x004F32)
  a4 = section_installation_table.address;
  d7 = section_installation_table.records - 1;
LOOP(0x4F38)
  tst<W>(rd16(a4 + hinst::active));
  if (cc_eq()) GOTO(0x4F94);
  put<W>(d1, rd16(a4 + hinst::y));
  if ((d1 & 0xFFFF) >= inst_screen_lines) GOTO(0x4F94);
  put<W>(d0, (rd16(a4 + hinst::type) - first_firing_type) << 9);
  a1 = installation_frames + sext16(d0 & 0xFFFF);
  a0 = rd32(draw_screen) + 32 + sext16(((d1 & 0xFFFF) * 32) & 0xFFFF) + sext16(((d1 & 0xFFFF) * 128) & 0xFFFF);
  put<W>(d0, rd16(a4 + hinst::x) - 64);
  put<W>(d0, asr<W>(d0, 1) & 0xFFF8);
  a0 += sext16(d0 & 0xFFFF);
  put<W>(d1, inst_screen_lines - (d1 & 0xFFFF));
  if ((d1 & 0xFFFF) > installation_lines) put<W>(d1, installation_lines);
  wr16(blit_rows, d1);
  put<W>(d0, rd16(a4 + hinst::x));
  push32(a4);
  push32(d7);
  JSR(0x004F9C, 0x4F8E)
  d7 = pop32();
  a4 = pop32();
HERE(0x4F94)
  a4 += section_installation_table.size;
  if (dbf(d7)) GOTO(0x4F38);
  RTS();
END_ROUTINE

// $4F9C: the 32 x 32 picture at a1 to pixel x d0.w from a0 (the column
// holding x), blit_rows lines, shifted at draw time into two columns (s =
// 0) or three; a column outside the play field (pixels 64-255) is not
// written. Wholly inside, the line loops test no flag ($500C, $5086,
// $50FE for s = 0, 1-8, 9-15); at an edge they do ($5160, $5200, $529E).
ROUTINE(sub_004F9C, 0x004F9C)
  a0 += 22;
  wr8(clip_left_flag, 0xFF);
  wr8(clip_right_flag, 0xFF);
  wr8(clip_third_flag, 0xFF);
  put<W>(d6, d0 & 15);
  if ((d0 & 0xFFFF) > 224) {
    wr16(clip_third_flag, 0);
    if ((d0 & 0xFFFF) > 239) wr16(clip_right_flag, 0);
    if ((d0 & 0xFFFF) > 255) RTS();
    GOTO(0x5140);
  }
  if ((d0 & 0xFFFF) < 64) {
    wr16(clip_left_flag, 0);
    if ((d0 & 0xFFFF) <= 47) wr16(clip_right_flag, 0);
    if ((d0 & 0xFFFF) < 32) RTS();
    GOTO(0x5140);
  }
  if ((d6 & 0xFFFF) != 0) GOTO(0x5080);
  a0 -= 8;
LOOP(0x500C)
  load_inst_line();
  inst_two_columns(false);
  if (next_inst_line()) GOTO(0x500C);
  RTS();
HERE(0x5080)
  if ((d6 & 0xFFFF) > 8) GOTO(0x50FE);
LOOP(0x5086)
  load_inst_line();
  inst_three_columns(false);
  if (next_inst_line()) GOTO(0x5086);
  RTS();
LOOP(0x50FE)
  load_inst_line();
  inst_three_columns(false);
  if (next_inst_line()) GOTO(0x50FE);
  RTS();

HERE(0x5140)
  if ((d6 & 0xFFFF) != 0) GOTO(0x51F8);
  a0 -= 8;
LOOP(0x5160)
  load_inst_line();
  inst_two_columns(true);
  if (next_inst_line()) GOTO(0x5160);
  RTS();
HERE(0x51F8)
  if ((d6 & 0xFFFF) > 8) GOTO(0x529E);
LOOP(0x5200)
  load_inst_line();
  inst_three_columns(true);
  if (next_inst_line()) GOTO(0x5200);
  RTS();
LOOP(0x529E)
  load_inst_line();
  inst_three_columns(true);
  if (next_inst_line()) GOTO(0x529E);
  RTS();
END_ROUTINE
