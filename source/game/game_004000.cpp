// Page $4000: the horizontal engine of the missions. The switch-over from a
// vertical section and the builder of the horizontal band (sixteen copies of
// one ground block, each rotated 2 pixels further left), the frame loop of a
// horizontal section, its background and its scroll step; and the screen
// position of the mission data load's prompt.
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
