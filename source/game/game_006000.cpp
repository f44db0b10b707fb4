// Page $6000: the vertical sections' ground objects (the placement of the
// vehicles with their mounted homing units and their drawing by picture
// width, the debris pieces that follow a destruction, and the
// installations that the level map places: placement, timers and the
// spiked mines' grenades, drawing); the homing units' drawing, the dot
// bullets' drawing (plotted as shot frame 24 over any background, freed
// once they leave the field), the goal's drawing, and the bullets: their
// drawing as 2 x 2-pixel marks, their per-frame hit tests against the
// ground, the enemies, the players and the vehicles, and the spawner every
// shooter calls; grenades (the throw and the flight that ends in a burst)
// and explosions (the spawner the host also calls, the countdown, the
// animation and the clipped drawing of one frame).
#include <algorithm>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "game/shot_ram.h"
#include "game/vertical_objects_ram.h"

namespace {

namespace inst = installation_field;
namespace veh = vehicle_field;

constexpr u32 screen_line_bytes = 160;
constexpr u32 screen_lines = 200;
constexpr u32 screen_groups = 20;     // 16-pixel groups of a screen line
constexpr u32 field_top_line = 100;        // play-field line of screen line 0
constexpr u32 field_bottom_line = 300;     // play-field line past screen line 199
constexpr u32 field_left_column = 36;        // play-field column of screen column 0

constexpr u32 vehicle_frames_a = 0x03D3FC;     // types 0 and 1
constexpr u32 vehicle_frames_b = 0x03F07C;     // types 2, 3 and 5
constexpr u32 vehicle_frame_bytes = 2880;
constexpr u32 vehicle_frames_type6 = 0x03EA7C;
constexpr u32 type6_frame_bytes = 768;
constexpr u32 type6_lines = 48;
constexpr u32 vehicle_frames_type4 = 0x0406FC;
constexpr u32 type4_frame_bytes = 1512;
constexpr u32 type4_lines = 63;

constexpr u32 debris_lines = 40;
constexpr u32 debris_line_bytes = 24;
constexpr u32 debris_left = 100, debris_right = 244; // the column clamp

constexpr u32 installation_lines = 32;
constexpr u32 installation_line_bytes = 16;

// One 16-pixel group through its own mask: colour 0 keeps the screen.
// Planes 0 and 1, then 2 and 3, are taken as longs.
inline void masked_group(u32 screen, u32 picture) {
  const u32 p01 = rd32(picture), p23 = rd32(picture + 4);
  const u32 used = (p01 | p01 >> 16 | p23 | p23 >> 16) & 0xFFFF;
  const u32 mask = ~(used << 16 | used);
  wr32(screen, (rd32(screen) & mask) | p01);
  wr32(screen + 4, (rd32(screen + 4) & mask) | p23);
}

// An installation group: its plane words lie two words apart.
inline void masked_interleaved_group(u32 screen, u32 picture) {
  const u32 p01 = rd16(picture) << 16 | rd16(picture + 4), p23 = rd16(picture + 8) << 16 | rd16(picture + 12);
  const u32 used = (p01 | p01 >> 16 | p23 | p23 >> 16) & 0xFFFF;
  const u32 mask = ~(used << 16 | used);
  wr32(screen, (rd32(screen) & mask) | p01);
  wr32(screen + 4, (rd32(screen + 4) & mask) | p23);
}

// The middle of a 64-pixel vehicle: colour 0 included.
inline void opaque_group(u32 screen, u32 picture) {
  wr32(screen, rd32(picture));
  wr32(screen + 4, rd32(picture + 4));
}

// Clips the vehicle at a6, a picture of `lines` lines, against play-field
// lines 100-299: a0 := its first screen line, a1 := its first picture line,
// d5 := the picture bytes skipped, d7.w := the lines to draw; false when
// none is. A vehicle whose top reached line 300 is freed first, so that no
// height keeps a record in use below the field, and no line outside the
// screen is drawn whatever the height.
bool vehicle_window(u32 table, u32 frame_bytes, u32 line_size, u32 lines) {
  const u32 y = rd16(a6 + veh::y);
  if (y >= field_bottom_line) {
    wr16(a6 + veh::active, 0);
    return false;
  }
  const u32 first = std::max(y, field_top_line);
  const u32 end = std::min(y + lines, field_bottom_line);
  if (end <= first) return false;
  d5 = (first - y) * line_size;
  put<W>(d7, end - first);
  const u32 column = (rd16(a6 + veh::x) - field_left_column) & 0xFFFF;
  a0 = rd32(draw_screen) + (column >> 1 & 0x7FFF) + (first - field_top_line) * screen_line_bytes;
  a1 = table + rd16(a6 + veh::frame) * frame_bytes + d5;
  return true;
}

} // namespace

// $6026: places a vehicle (event commands 246-252) and its mounted homing
// units. Only six slots exist: items past the sixth are read and dropped,
// so they neither overwrite the fire words nor the next record, and the
// stream stays in step. With all five records busy the attachment list is
// skipped the same way.
ROUTINE(sub_006026, 0x006026)
  save_regs(dregs(0, 7) | aregs(6, 6));
  a6 = vehicle_table.address;
  put<W>(d7, vehicle_table.records - 1);
LOOP(0x6036)
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) GOTO(0x6048);
  a6 += vehicle_table.size;
  if (dbf(d7)) GOTO(0x6036);
LOOP(0x6090)
  put<B>(d7, rd8(a0));
  a0 += 1;
  if (d7 & 0x80) GOTO(0x60A2);
  a0 += 3;
  GOTO(0x6090);

HERE(0x6048)
  put<B>(d3, d3 - veh::first_command);
  wr16(a6 + veh::x, d0);
  wr16(a6 + veh::y, d1);
  wr16(a6 + veh::speed, d2);
  wr16(a6 + veh::type, d3);
  wr16(a6 + veh::height, d4);
  wr16(a6 + veh::width, d5);
  wr16(a6 + veh::frame, 0);
  wr16(a6 + veh::active, 0xFFFF);
  wr16(a6 + veh::fire_delay, 0);
  wr16(a6 + veh::fire_offset, 0);
  wr16(a6 + veh::destroyed, 0);
  for (u32 s = 0; s < veh::slot_count; ++s) wr32(a6 + veh::slots + 4 * s, 0);
  a1 = a6 + veh::slots;
LOOP(0x605A)
  put<B>(d0, rd8(a0));
  a0 += 1;
  if (d0 & 0x80) GOTO(0x60A2);
  if (a1 >= a6 + veh::slots + 4 * veh::slot_count) {
    a0 += 3;
    GOTO(0x605A);
  }
  put<B>(d1, rd8(a0));
  put<B>(d2, rd8(a0 + 1));
  put<B>(d3, rd8(a0 + 2));
  a0 += 3;
  JSR(0x00B424, 0x606C)
  wr32(a1, rd32(last_homing_unit));
  a1 += 4;
  GOTO(0x605A);

HERE(0x60A2)
  restore_regs(dregs(0, 7) | aregs(6, 6));
  RTS();
END_ROUTINE

// $60AA: draws the five vehicles in table order, each by its picture
// width. The host follows each drawing from its entry hook to the hook at
// its return point; $60DE closes every record's turn.
ROUTINE(sub_0060AA, 0x0060AA)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a6 = vehicle_table.address;
LOOP(0x60B2)
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) GOTO(0x60DE);
  cmp<W>(4, rd16(a6 + veh::type));
  if (cc_ne()) GOTO(0x60D4);
  JSR(0x0062C0, 0x60CC)
  HOOK_AT(0x0060CC)
  GOTO(0x60DE);
HERE(0x60D4)
  cmp<W>(6, rd16(a6 + veh::type));
  if (cc_ne()) GOTO(0x60D6);
  JSR(0x0061FA, 0x60DA)
  HOOK_AT(0x0060DA)
  GOTO(0x60DE);
HERE(0x60D6)
  JSR(0x0060F0, 0x60DE)
  HOOK_AT(0x0060DE)
  a6 += vehicle_table.size;
  if (a6 < vehicle_table.address + vehicle_table.records * vehicle_table.size) GOTO(0x60B2);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $60F0: a 64-pixel vehicle of the record's height. The middle 32 pixels
// are copied whole, so the picture's colour 0 there hides the ground.
ROUTINE(draw_vehicle, 0x0060F0)
  HOOK_AT(0x0060F0)
  d5 = 0;
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) RTS();
  if (!vehicle_window(rd16(a6 + veh::type) <= 1 ? vehicle_frames_a : vehicle_frames_b, vehicle_frame_bytes, 32,
                      rd16(a6 + veh::height)))
    RTS();
  wr16(vehicle_line_count, d7);
LOOP(0x61A0)
  masked_group(a0, a1);
  opaque_group(a0 + 8, a1 + 8);
  opaque_group(a0 + 16, a1 + 16);
  masked_group(a0 + 24, a1 + 24);
  a0 += screen_line_bytes;
  a1 += 32;
  wr16(vehicle_line_count, rd16(vehicle_line_count) - 1);
  if ((rd16(vehicle_line_count) & 0xFFFF) != 0) GOTO(0x61A0);
  RTS();
END_ROUTINE

// $61FA: a type-6 vehicle, 32 pixels and 48 lines.
ROUTINE(draw_vehicle_type6, 0x0061FA)
  HOOK_AT(0x0061FA)
  d5 = 0;
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) RTS();
  if (!vehicle_window(vehicle_frames_type6, type6_frame_bytes, 16, type6_lines)) RTS();
LOOP(0x6280)
  masked_group(a0, a1);
  masked_group(a0 + 8, a1 + 8);
  a0 += screen_line_bytes;
  a1 += 16;
  put<W>(d7, d7 - 1);
  if ((d7 & 0xFFFF) != 0) GOTO(0x6280);
  RTS();
END_ROUTINE

// $62C0: a type-4 vehicle, 48 pixels and 63 lines.
ROUTINE(draw_vehicle_type4, 0x0062C0)
  HOOK_AT(0x0062C0)
  d5 = 0;
  tst<W>(rd16(a6 + veh::active));
  if (cc_eq()) RTS();
  if (!vehicle_window(vehicle_frames_type4, type4_frame_bytes, 24, type4_lines)) RTS();
LOOP(0x6360)
  masked_group(a0, a1);
  masked_group(a0 + 8, a1 + 8);
  masked_group(a0 + 16, a1 + 16);
  a0 += screen_line_bytes;
  a1 += 24;
  put<W>(d7, d7 - 1);
  if ((d7 & 0xFFFF) != 0) GOTO(0x6360);
  RTS();
END_ROUTINE

// $63A4: a piece of debris at (d0.w, d1.w) that waits d2.w frames before
// it shows; dropped when all fifteen are live. Every register is kept.
ROUTINE(sub_0063A4, 0x0063A4)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = debris_table.address;
  put<W>(d7, debris_table.records - 1);
LOOP(0x63B2)
  tst<W>(rd16(a0 + debris_field::active));
  if (cc_eq()) GOTO(0x63C4);
  a0 += debris_table.size;
  if (dbf(d7)) GOTO(0x63B2);
  GOTO(0x63D6);
HERE(0x63C4)
  wr16(a0 + debris_field::x, d0);
  wr16(a0 + debris_field::y, d1);
  wr16(a0 + debris_field::delay, d2);
  wr16(a0 + debris_field::frame, 0);
  wr16(a0 + debris_field::timer, debris_field::frame_time);
  wr16(a0 + debris_field::active, 0xFFFF);
HERE(0x63D6)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $63DE: runs every live piece of debris. Every register is kept.
ROUTINE(sub_0063DE, 0x0063DE)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a6 = debris_table.address;
  put<W>(d7, debris_table.records - 1);
LOOP(0x63EA)
  tst<W>(rd16(a6 + debris_field::active));
  if (cc_eq()) GOTO(0x63FA);
  push32(d7);
  JSR(0x006408, 0x63F6)
  d7 = pop32();
HERE(0x63FA)
  a6 += debris_table.size;
  if (dbf(d7)) GOTO(0x63EA);
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $6408: one piece of debris at a6: its start delay, then its picture on
// the group that holds its column (clamped to the play field), clipped to
// the field's lines, and its animation, which frees it after five
// pictures. A piece below the field is freed at once.
ROUTINE(sub_006408, 0x006408)
  tst<W>(rd16(a6 + debris_field::delay));
  if (cc_eq()) GOTO(0x6418);
  wr16(a6 + debris_field::delay, rd16(a6 + debris_field::delay) - 1);
  RTS();
HERE(0x6418)
  {
    const u32 x = std::clamp<u32>(rd16(a6 + debris_field::x), debris_left, debris_right);
    const u32 y = rd16(a6 + debris_field::y);
    if (y > field_bottom_line) {
      wr16(a6 + debris_field::active, 0);
      RTS();
    }
    const u32 first = std::max(y, field_top_line);
    const u32 end = std::min(y + debris_lines, field_bottom_line);
    put<W>(d7, end > first ? end - first : 0);
    a0 = rd32(draw_screen) + ((x - field_left_column) >> 4) * 8 + (first - field_top_line) * screen_line_bytes;
    a1 = debris_frames + rd16(a6 + debris_field::frame) * debris_frame_bytes + (first - y) * debris_line_bytes;
  }
  if ((d7 & 0xFFFF) == 0) GOTO(0x64D0);
LOOP(0x64A0)
  masked_group(a0, a1);
  masked_group(a0 + 8, a1 + 8);
  masked_group(a0 + 16, a1 + 16);
  a0 += screen_line_bytes;
  a1 += debris_line_bytes;
  put<W>(d7, d7 - 1);
  if ((d7 & 0xFFFF) != 0) GOTO(0x64A0);
HERE(0x64D0)
  wr16(a6 + debris_field::timer, rd16(a6 + debris_field::timer) - 1);
  if ((rd16(a6 + debris_field::timer) & 0xFFFF) != 0) RTS();
  wr16(a6 + debris_field::timer, debris_field::frame_time);
  wr16(a6 + debris_field::frame, rd16(a6 + debris_field::frame) + 1);
  if (rd16(a6 + debris_field::frame) == debris_field::frames) wr16(a6 + debris_field::active, 0);
  RTS();
END_ROUTINE

namespace {

namespace pr = player_record;

constexpr u32 line_bytes = 160;
constexpr u32 unit_lines = 16;
constexpr u32 goal_lines = 25;
constexpr u32 goal_line_bytes = 16;

// A play-field y whose top line is the screen's line 0.
constexpr i32 field_top = 100;
constexpr i32 field_bottom = 299;

inline i32 signed_word(u32 v) { return static_cast<i16>(v & 0xFFFF); }

// One masked 16-pixel column: the source's four plane words at `src`
// over the screen's at `dst`; colour 0 keeps the screen.
inline void masked_column(u32 src, u32 dst) {
  const u32 p0 = rd16(src), p1 = rd16(src + 2), p2 = rd16(src + 4), p3 = rd16(src + 6);
  const u32 mask = ~(p0 | p1 | p2 | p3);
  wr16(dst, (rd16(dst) & mask) | p0);
  wr16(dst + 2, (rd16(dst + 2) & mask) | p1);
  wr16(dst + 4, (rd16(dst + 4) & mask) | p2);
  wr16(dst + 6, (rd16(dst + 6) & mask) | p3);
}

} // namespace

// ---- homing units: drawing ---------------------------------------------------------

// $652E: draws every placed homing unit; a4 kept.
ROUTINE(sub_00652E, 0x00652E)
  push32(a4);
  a4 = homing_unit_table.address;
  put<W>(d7, homing_unit_table.records - 1);
LOOP(0x653A)
  tst<W>(rd16(a4 + homing_unit::active));
  if (cc_eq()) GOTO(0x6546);
  push16(d7);
  JSR(0x006550, 0x6544)
  put<W>(d7, pop16());
HERE(0x6546)
  a4 += homing_unit_table.size;
  if (dbf(d7)) GOTO(0x653A);
  a4 = pop32();
  RTS();
END_ROUTINE

// $6550: the homing unit at a4, one 16-pixel column clipped to the play
// field's lines (freed once below it), then moved by its own step, drawn
// or not. y is signed: a unit still above the field (one mounted on a
// vehicle coming in from the top) waits there instead of being freed.
// d1 = lines, a0 = source, a1 = screen.
ROUTINE(sub_006550, 0x006550)
  tst<W>(rd16(a4 + homing_unit::active));
  if (cc_eq()) GOTO(0x65FE);
  {
    const i32 y = signed_word(rd16(a4 + homing_unit::y));
    if (y > field_bottom) {
      wr16(a4 + homing_unit::active, 0);
      GOTO(0x65FE);
    }
    if (y <= field_top - static_cast<i32>(unit_lines)) GOTO(0x65FE);
    const i32 clipped = y < field_top ? field_top - y : 0;
    const i32 below = y > field_bottom + 1 - static_cast<i32>(unit_lines) ? y - (field_bottom + 1 - unit_lines) : 0;
    d1 = unit_lines - clipped - below;
    a0 = homing_unit_frames + (rd16(a4 + homing_unit::kind) & 0xFFFF) * homing_unit_kind_bytes +
         (rd16(a4 + homing_unit::frame) & 0xFFFF) * 128 + 8 * clipped;
    a1 = rd32(draw_screen) + static_cast<u32>((y + clipped - field_top) * static_cast<i32>(line_bytes)) +
         ((rd16(a4 + homing_unit::x) - 36) & 0xFFFF) / 2;
  }
LOOP(0x65E0)
  masked_column(a0, a1);
  a0 += 8;
  a1 += line_bytes;
  d1 -= 1;
  if (d1 != 0) GOTO(0x65E0);
HERE(0x65FE)
  wr16(a4 + homing_unit::y, rd16(a4 + homing_unit::y) + rd16(a4 + homing_unit::step));
  RTS();
END_ROUTINE

// ---- dot bullets: drawing ------------------------------------------------------

namespace {

constexpr u32 shot_frames = 0x04694A;   // copy 0; copy k moved k pixels right
constexpr u32 shot_copy_bytes = 1566;
constexpr u32 shot_frame_bytes = 54;    // 9 lines of three plane words
constexpr u32 dot_frame = 24;
constexpr u32 dot_lines = 9;

// The shot flies in play-field coordinates; these are its screen limits.
constexpr u32 last_dot_line = 192; // its ninth line falls just past the screen
constexpr u32 first_dot_px = 67, last_dot_px = 248;

// One screen byte of each plane at `at` (plane p at + 2p) from the frame
// bytes b0-b2: plane 3 marks the shot's pixels, so it shows in colours
// 9-15 whatever lies below.
inline void dot_byte(u32 at, u32 b0, u32 b1, u32 b2) {
  const u32 m = (b0 | b1 | b2) & 0xFF;
  wr8(at + 6, rd8(at + 6) | m);
  wr8(at, (rd8(at) & ~m) | b0);
  wr8(at + 2, (rd8(at + 2) & ~m) | b1);
  wr8(at + 4, (rd8(at + 4) & ~m) | b2);
}

} // namespace

// $660C: every live dot bullet: freed without a burst once it is out of
// lines 0-192 or pixels 67-248, else drawn. a0 and a2 hold the two screen
// bytes of the frame's high and low bytes: within one plane word when bit
// 3 of px is clear, else the word's low byte and the next group's high one.
ROUTINE(sub_00660C, 0x00660C)
LOOP(0x660C)
  a6 = dot_bullet_table.address;
  d7 = dot_bullet_table.records - 1;
LOOP(0x6616)
  tst<W>(rd16(a6 + 4));
  if (cc_eq()) GOTO(0x66E6);
  put<W>(d1, rd16(a6 + 2) - 100);
  cmp<W>(last_dot_line, d1);
  if (cc_hi()) GOTO(0x66E0);
  put<W>(d0, rd16(a6) - 36);
  cmp<W>(first_dot_px, d0);
  if (cc_cs()) GOTO(0x66E0);
  cmp<W>(last_dot_px, d0);
  if (cc_hi()) GOTO(0x66E0);

  a1 = shot_frames + (d0 & 7) * shot_copy_bytes + dot_frame * shot_frame_bytes;
  a0 = rd32(draw_screen) + (d1 & 0xFFFF) * line_bytes + ((d0 & 0xFFFF) >> 4) * 8;
  a2 = a0 + 1;
  if ((d0 & 8) == 0) GOTO(0x6680);
  a0 += 1;
  a2 += 7;
HERE(0x6680)
  put<W>(d6, dot_lines - 1);
LOOP(0x6684)
  d2 = rd16(a1);
  d3 = rd16(a1 + 2);
  d4 = rd16(a1 + 4);
  a1 += 6;
  dot_byte(a0, d2 >> 8, d3 >> 8, d4 >> 8);
  dot_byte(a2, d2 & 0xFF, d3 & 0xFF, d4 & 0xFF);
  a0 += line_bytes;
  a2 += line_bytes;
  if (dbf(d6)) GOTO(0x6684);
  GOTO(0x66E6);

HERE(0x66E0)
  wr16(a6 + 4, 0);
HERE(0x66E6)
  a6 += dot_bullet_table.size;
  if (dbf(d7)) GOTO(0x6616);
  RTS();
END_ROUTINE

// ---- the goal: drawing ----------------------------------------------------------

// $66F4: the goal, when one is in place.
ROUTINE(sub_0066F4, 0x0066F4)
  a6 = goal_record.address;
  tst<W>(rd16(a6 + goal::active));
  if (cc_eq()) GOTO(0x6722);
  push32(a6);
  push32(d5);
  put<W>(d0, rd16(a6 + goal::x));
  put<W>(d2, rd16(a6 + goal::y));
  put<W>(d3, rd16(a6 + goal::picture));
  JSR(0x006724, 0x671C)
  d5 = pop32();
  a6 = pop32();
HERE(0x6722)
  RTS();
END_ROUTINE

// $6724: goal picture d3.w at x d0.w (rounded down to a 16-pixel column),
// y d2.w: two masked columns a line. The goal scrolls on when nobody
// reaches it, so y is taken as signed and only the picture's lines that
// fall on the play field's 200 lines are drawn (none when no line does):
// drawn further down it would run into the ring and the other screen.
// d1 = lines, a0 = source, a1 = screen.
ROUTINE(sub_006724, 0x006724)
  {
    const i32 y = signed_word(d2);
    const i32 first = y < field_top ? field_top - y : 0;
    const i32 end = std::min<i32>(goal_lines, field_bottom + 1 - y);
    if (first >= end) GOTO(0x67BC);
    d1 = static_cast<u32>(end - first);
    a0 = goal_frames + (d3 & 0xFFFF) * goal_frame_bytes + goal_line_bytes * static_cast<u32>(first);
    a1 = rd32(draw_screen) + static_cast<u32>((y + first - field_top) * static_cast<i32>(line_bytes)) + 32 +
         static_cast<u32>(((signed_word(d0) - 100) >> 4) * 8);
  }
LOOP(0x678E)
  masked_column(a0, a1);
  masked_column(a0 + 8, a1 + 8);
  a0 += goal_line_bytes;
  a1 += line_bytes;
  d1 -= 1;
  if (d1 != 0) GOTO(0x678E);
HERE(0x67BC)
  RTS();
END_ROUTINE

// ---- bullets -----------------------------------------------------------------------

namespace {

constexpr u32 left_edge = 63;   // screen columns 64-254 take a mark
constexpr u32 right_edge = 254;
constexpr u32 last_line = 198;  // a mark covers its line and the next

// Frees a bullet outside the screen columns 64-254 or lines 0-198; else
// d1 = the mark's first byte and d2 = its mask (zeros at its pixels).
inline bool mark_place() {
  const u32 px = (rd16(a0 + bullet::x) - 36) & 0xFFFF;
  const u32 line = (rd16(a0 + bullet::y) - 100) & 0xFFFF;
  if (px > right_edge || px <= left_edge || line > last_line) {
    wr16(a0 + bullet::live, 0);
    return false;
  }
  d1 = a4 + line * line_bytes + (px >> 4) * 8 + ((px >> 3) & 1);
  d2 = (0xFF3F >> (px & 7)) & 0xFF;
  return true;
}

inline void mark_light(u32 at) {
  for (u32 p = 0; p < 6; p += 2) wr8(at + p, rd8(at + p) & d2);
  wr8(at + 6, rd8(at + 6) | (~d2 & 0xFF));
}

inline void mark_dark(u32 at) {
  for (u32 p = 0; p < 8; p += 2) wr8(at + p, rd8(at + p) & d2);
}

} // namespace

// $6812: frees the bullets that left the screen and marks the others in
// colour 8 (light) or 0 (dark) as the mission's section asks. The host
// follows each record at the hooks with a0 on it.
ROUTINE(draw_bullets, 0x006812)
  put<W>(d0, rd16(chosen_mission) * 7 + rd16(stream_section));
  put<B>(d0, rd8(bullet_style_table + (d0 & 0xFFFF)));
  a4 = rd32(draw_screen);
  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
  tst<B>(d0);
  if (cc_eq()) GOTO(0x68DC);
LOOP_HOOK(0x6848)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x68B4);
  if (!mark_place()) GOTO(0x68B4);
  mark_light(d1);
  mark_light(d1 + line_bytes);
HOOK(0x68B4)
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x6848);
  RTS();

LOOP_HOOK(0x68DC)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x6946);
  if (!mark_place()) GOTO(0x6946);
  mark_dark(d1);
  mark_dark(d1 + line_bytes);
HOOK(0x6946)
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x68DC);
  RTS();
END_ROUTINE

namespace {

constexpr u32 enemies_hit = 25; // bullets test enemy records 0-24 only
constexpr u32 enemy_box_w = 16, enemy_box_h = 21;
constexpr u32 player_box_left = 6, player_box_w = 12, player_box_h = 21;
constexpr u32 kill_points = 50;
constexpr u32 impact_ground = 28, impact_enemy = 26, impact_vehicle = 27;

namespace enemy {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x08, dx = 0x0C, dy = 0x0E, dying = 0x26;
} // namespace enemy

namespace vehicle {
constexpr u32 active = 0x00, x = 0x02, y = 0x04, height = 0x0A, width = 0x0E;
} // namespace vehicle

// d3 = x, d4 = y, d5 = owner of the bullet at a0.
inline bool players_bullet() { return (d5 & 0x8000) == 0; }
inline bool inside(u32 from, u32 at, u32 size) { return ((at - from) & 0xFFFF) <= size; }

} // namespace

// $6950: every live bullet against the ground, then a player's against the
// enemies or a hostile one against the players, then against the
// vehicles; a bullet that hit nothing moves and ages. A life of n gives
// n + 1 moves. a0 = record, d7 = records left, d3/d4/d5 = x, y, owner.
ROUTINE(sub_006950, 0x006950)
  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
LOOP(0x695A)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x6B6A);
  put<W>(d3, rd16(a0 + bullet::x));
  put<W>(d4, rd16(a0 + bullet::y));
  put<W>(d5, rd16(a0 + bullet::owner));

  // The ground under the bullet: the map's first two rows from the copy
  // the players' pass took.
  if ((d5 & 0xFFFF) == bullet::passes_ground) GOTO(0x69AA);
  put<W>(d2, (rd16(scroll_pos) - d4 + 100) & 0x03F0);
  put<W>(d2, d2 + (((d3 - 100) & 0xFFFF) >> 4));
  if ((d2 & 0xFFFF) < 2 * collision_row_bytes) put<W>(d2, d2 + (collision_copy - collision_map));
  tst<B>(rd8(collision_map + (d2 & 0xFFFF)));
  if (cc_eq()) GOTO(0x69AA);
  wr16(a0 + bullet::live, 0);
  if (!players_bullet()) GOTO(0x6B6A);
  push32(a0);
  push32(d7);
  put<W>(d0, d3 - 2);
  put<W>(d1, d4 - 3);
  put<W>(d2, impact_ground);
  JSR(0x00A85E, 0x69A2)
  d7 = pop32();
  a0 = pop32();
  GOTO(0x6B6A);

HERE(0x69AA)
  if (!players_bullet()) GOTO(0x6A70);
  a4 = enemy_table.address;
  put<W>(d6, enemies_hit - 1);
LOOP(0x69C0)
  if (rd16(a4 + enemy::active) != 0 && rd16(a4 + enemy::dying) == 0 && inside(rd16(a4 + enemy::x), d3, enemy_box_w) &&
      inside(rd16(a4 + enemy::y), d4, enemy_box_h))
    GOTO(0x69F8);
  a4 += enemy_table.size;
  if (dbf(d6)) GOTO(0x69C0);
  GOTO(0x6AD8);

  // An enemy hit: it dies where it stands, with an impact, a sample and
  // 50 points and a tally for the bullet's owner.
HERE(0x69F8)
  wr16(a0 + bullet::live, 0);
  wr16(a4 + enemy::dying, 0xFFFF);
  push32(a0);
  push32(d7);
  push32(d5);
  push32(a6);
  a6 = a4;
  put<W>(d0, (rd16(a4 + enemy::frame) & 0xFFFF) > 16 ? 10 : 3);
  JSR(0x00B1E4, 0x6A0C)
  wr16(a4 + enemy::dx, 0);
  wr16(a4 + enemy::dy, 0);
  put<W>(d0, rd16(a4 + enemy::x) + 4);
  put<W>(d1, rd16(a4 + enemy::y) + 8);
  put<W>(d2, impact_enemy);
  push32(a4);
  JSR(0x00A85E, 0x6A2A)
  a4 = pop32();
  JSR(0x007576, 0x6A3C)
  put<W>(d0, 4 + (d0 & 1));
  JSR(0x00E756, 0x006A4A) // the host pans by the enemy's x at a4
  a6 = pop32();
  d5 = pop32();
  d7 = pop32();
  a0 = pop32();
  a1 = (d5 & 0xFFFF) == 0 ? player1 : player2;
  wr32(a1 + pr::score, rd32(a1 + pr::score) + kill_points);
  wr16(a1 + pr::tally, rd16(a1 + pr::tally) + 1);
  GOTO(0x6B6A);

  // A hostile bullet against the players; current_player follows the
  // record tested for the death it may start.
HERE(0x6A70)
  tst<W>(rd16(dev_freerun));
  if (cc_ne()) GOTO(0x6AD8);
  wr16(current_player, 0);
  a4 = player1;
  put<W>(d6, 1);
LOOP(0x6A80)
  tst<W>(rd16(a4 + pr::lives));
  if (cc_eq()) GOTO(0x6ACA);
  tst<W>(rd16(a4 + pr::state));
  if (cc_ne()) GOTO(0x6ACA);
  tst<W>(rd16(a4 + pr::blink));
  if (cc_ne()) GOTO(0x6ACA);
  if (!inside(rd16(a4 + pr::x) + 36 + player_box_left, d3, player_box_w)) GOTO(0x6ACA);
  if (!inside(rd16(a4 + pr::y) + 100, d4, player_box_h)) GOTO(0x6ACA);
  wr16(a0 + bullet::live, 0);
  JSR(0x00AA42, 0x6AC0)
  GOTO(0x6B6A);
HERE(0x6ACA)
  wr16(current_player, rd16(current_player) + 1);
  a4 += player2 - player1;
  if (dbf(d6)) GOTO(0x6A80);

  // The vehicles take no damage from bullets; a player's bullet leaves an
  // impact and a sound.
HERE(0x6AD8)
  if ((d5 & 0xFFFF) == bullet::passes_vehicles) GOTO(0x6B40);
  a4 = vehicle_table.address;
  put<W>(d6, vehicle_table.records - 1);
LOOP(0x6AE0)
  if (rd16(a4 + vehicle::active) != 0 && inside(rd16(a4 + vehicle::x), d3, rd16(a4 + vehicle::width)) &&
      inside(rd16(a4 + vehicle::y), d4, rd16(a4 + vehicle::height)))
    GOTO(0x6B14);
  a4 += vehicle_table.size;
  if (dbf(d6)) GOTO(0x6AE0);
  GOTO(0x6B40);
HERE(0x6B14)
  wr16(a0 + bullet::live, 0);
  if (!players_bullet()) GOTO(0x6B6A);
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  put<W>(d0, d3 - 2);
  put<W>(d1, d4 - 3);
  put<W>(d2, impact_vehicle);
  JSR(0x00A85E, 0x6B2C)
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  put<W>(d0, 0);
  JSR(0x00E756, 0x006B3C) // the host pans by the bullet's x in d3.w
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 0));
  GOTO(0x6B6A);

HERE(0x6B40)
  wr16(a0 + bullet::x, d3 + rd16(a0 + bullet::dx));
  wr16(a0 + bullet::y, d4 + rd16(a0 + bullet::dy));
  tst<W>(rd16(a0 + bullet::life));
  if (cc_eq()) {
    wr16(a0 + bullet::live, 0);
    GOTO(0x6B6A);
  }
  wr16(a0 + bullet::life, rd16(a0 + bullet::life) - 1);
HERE(0x6B6A)
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x695A);
  RTS();
END_ROUTINE

// $6B74: a bullet into the first free record (none when all 30 fly): d0.w
// x, d1.w y, d3.w dx, d4.w dy, d2.w life, d5.w owner. It starts 0, 1/2,
// 1/4 or 3/4 of a step ahead by the frame counter's two low bits, so a
// stream of shots does not move in lockstep. Every register kept.
ROUTINE(sub_006B74, 0x006B74)
  save_regs(dregs(0, 7) | aregs(0, 6));
  a0 = bullet_table.address;
  put<W>(d7, bullet_table.records - 1);
LOOP(0x6B80)
  tst<W>(rd16(a0 + bullet::live));
  if (cc_eq()) GOTO(0x6B94);
  a0 += bullet_table.size;
  if (dbf(d7)) GOTO(0x6B80);
  GOTO(0x6BE4);
HERE(0x6B94)
  wr16(a0 + bullet::x, d0);
  wr16(a0 + bullet::y, d1);
  wr16(a0 + bullet::dx, d3);
  wr16(a0 + bullet::dy, d4);
  wr16(a0 + bullet::owner, d5);
  wr16(a0 + bullet::life, d2);
  wr16(a0 + bullet::live, 0xFFFF);
  put<B>(d6, rd8(fx_bank + 1));
  if (d6 & 2) {
    wr16(a0 + bullet::x, rd16(a0 + bullet::x) + (static_cast<i16>(d3) >> 2));
    wr16(a0 + bullet::y, rd16(a0 + bullet::y) + (static_cast<i16>(d4) >> 2));
  }
  if (d6 & 1) {
    wr16(a0 + bullet::x, rd16(a0 + bullet::x) + (static_cast<i16>(d3) >> 1));
    wr16(a0 + bullet::y, rd16(a0 + bullet::y) + (static_cast<i16>(d4) >> 1));
  }
HERE(0x6BE4)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

namespace {

constexpr u16 all_registers = dregs(0, 7) | aregs(0, 6);

namespace grenade {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, flight = 0x08, picture = 0x0A, owner = 0x0C;
constexpr u32 dx = 0x10, dy = 0x12;
constexpr u32 flight_start = 36;
constexpr u32 burst = 16;        // the flight counter at the burst: 20 steps
constexpr u32 low_picture = 24;  // rising and falling
constexpr u32 high_picture = 25; // the top of the arc
} // namespace grenade

namespace explosion {
constexpr u32 x = 0x00, y = 0x02, active = 0x04, frame = 0x06, countdown = 0x08, owner = 0x0A, delay = 0x0C;
constexpr u32 last_frame = 10;
} // namespace explosion

constexpr u32 blast_sample = 6;
constexpr u32 explosion_frames = 0x0388DC; // 11 frames of 22 lines x 12 bytes
constexpr u32 explosion_frame_bytes = 264;
constexpr u32 explosion_line_bytes = 12;
constexpr u32 left_clip = 0x000278; // byte $FF: the frame's left half lies left of the field

// One 16-pixel half of an explosion line at a0 from the three plane words
// at a2: colours 1-7, plane 3 cleared under the picture, colour 0 holes
// keep the screen.
inline void explosion_half(u32 screen, u32 picture) {
  const u32 p0 = rd16(picture), p1 = rd16(picture + 2), p2 = rd16(picture + 4);
  const u32 keep = ~(p0 | p1 | p2) & 0xFFFF;
  wr16(screen, (rd16(screen) & keep) | p0);
  wr16(screen + 2, (rd16(screen + 2) & keep) | p1);
  wr16(screen + 4, (rd16(screen + 4) & keep) | p2);
  wr16(screen + 6, rd16(screen + 6) & keep);
}

} // namespace

// ---- grenades -------------------------------------------------------------------

// $6BEA: a grenade at (d0, d1) flying (d2, d3) a frame for the owner d5,
// in the first free record. a0 = the record and d7.w the records after it;
// with all 17 live nothing is thrown and the scan leaves a0 just past the
// table, d7.w = $FFFF.
ROUTINE(sub_006BEA, 0x006BEA)
LOOP(0x6BEA)
  a0 = grenade_table.address;
  put<W>(d7, grenade_table.records - 1);
LOOP(0x6BF4)
  tst<W>(rd16(a0 + grenade::active));
  if (cc_eq()) GOTO(0x6C02);
  a0 += grenade_table.size;
  if (dbf(d7)) GOTO(0x6BF4);
  RTS();
HERE(0x6C02)
  wr16(a0 + grenade::active, 0xFFFF);
  wr16(a0 + grenade::x, d0);
  wr16(a0 + grenade::y, d1);
  wr16(a0 + grenade::owner, d5);
  wr16(a0 + grenade::picture, grenade::low_picture);
  wr16(a0 + grenade::flight, grenade::flight_start);
  wr16(a0 + grenade::dx, d2);
  wr16(a0 + grenade::dy, d3);
  RTS();
END_ROUTINE

// $6C28: every live grenade one step on its line; the picture rises and
// falls with the flight counter, and at its end the grenade becomes an
// explosion 5 left and 7 above its point. It passes over everything.
ROUTINE(sub_006C28, 0x006C28)
LOOP(0x6C28)
  a4 = grenade_table.address;
  put<W>(d7, grenade_table.records - 1);
LOOP(0x6C32)
  tst<W>(rd16(a4 + grenade::active));
  if (cc_eq()) GOTO(0x6C9C);
  wr16(a4 + grenade::x, rd16(a4 + grenade::x) + rd16(a4 + grenade::dx));
  wr16(a4 + grenade::y, rd16(a4 + grenade::y) + rd16(a4 + grenade::dy));
  put<W>(d0, rd16(a4 + grenade::flight) - 1);
  wr16(a4 + grenade::flight, d0);
  cmp<W>(31, d0);
  if (cc_hi()) GOTO(0x6C66);
  cmp<W>(20, d0);
  if (cc_cs()) GOTO(0x6C66);
  wr16(a4 + grenade::picture, grenade::high_picture);
  GOTO(0x6C6C);
HERE(0x6C66)
  wr16(a4 + grenade::picture, grenade::low_picture);
HERE(0x6C6C)
  cmp<W>(grenade::burst, d0);
  if (cc_ne()) GOTO(0x6C9C);
  put<W>(d0, rd16(a4 + grenade::x) - 5);
  put<W>(d1, rd16(a4 + grenade::y) - 7);
  put<W>(d2, rd16(a4 + grenade::owner));
  wr16(a4 + grenade::active, 0);
  save_regs(dregs(7, 7) | aregs(4, 4));
  JSR(0x006CA8, 0x6C96)
  restore_regs(dregs(7, 7) | aregs(4, 4));
HERE(0x6C9C)
  a4 += grenade_table.size;
  if (dbf(d7)) GOTO(0x6C32);
  RTS();
END_ROUTINE

// ---- explosions -----------------------------------------------------------------

// $6CA8: an explosion at (d0, d1) for the owner d2 in the first free
// record, x moved to the nearest multiple of 16 (8 rounds down), with
// sample 6. Every register is kept: the host calls this entry directly
// between slices, even while the game is suspended in the middle of a
// pass over the table. A full table makes no explosion and no sound.
ROUTINE(sub_006CA8, 0x006CA8)
  save_regs(all_registers);
  a4 = explosion_table.address;
  put<W>(d7, explosion_table.records - 1);
LOOP(0x6CB4)
  tst<W>(rd16(a4 + explosion::active));
  if (cc_eq()) GOTO(0x6CC4);
  a4 += explosion_table.size;
  if (dbf(d7)) GOTO(0x6CB4);
  GOTO(0x6CEA);
HERE(0x6CC4)
  wr16(a4 + explosion::x, (d0 + 7) & 0xFFF0);
  wr16(a4 + explosion::y, d1);
  wr16(a4 + explosion::owner, d2);
  wr16(a4 + explosion::frame, 0);
  wr16(a4 + explosion::delay, 2);
  wr16(a4 + explosion::countdown, 20);
  wr16(a4 + explosion::active, 0xFFFF);
  put<W>(d0, blast_sample);
  JSR(0x00E756, 0x6CEA) // the host pans by the word at a4
  restore_regs(all_registers);
  RTS();
END_ROUTINE

// $6CFA: the countdown word of every record, free ones too.
ROUTINE(sub_006CFA, 0x006CFA)
LOOP(0x6CFA)
  a4 = explosion_table.address;
  put<W>(d7, explosion_table.records - 1);
LOOP(0x6D02)
  wr16(a4 + explosion::countdown, rd16(a4 + explosion::countdown) - 1);
  a4 += explosion_table.size;
  if (dbf(d7)) GOTO(0x6D02);
  RTS();
END_ROUTINE

// $6D12: each live explosion's animation, then its frame drawn. A frame
// shows for two passes (the first for three); the record is freed when
// the frame passes 10. The frame drawn is the one before the step.
ROUTINE(draw_explosions, 0x006D12)
LOOP(0x6D12)
  a4 = explosion_table.address;
  put<W>(d7, explosion_table.records - 1);
LOOP_HOOK(0x006D1A)
  tst<W>(rd16(a4 + explosion::active));
  if (cc_eq()) GOTO(0x006D5A);
  put<W>(d0, rd16(a4 + explosion::x));
  put<W>(d1, rd16(a4 + explosion::y));
  put<W>(d6, rd16(a4 + explosion::frame));
  tst<W>(rd16(a4 + explosion::delay));
  if (cc_eq()) GOTO(0x6D36);
  wr16(a4 + explosion::delay, rd16(a4 + explosion::delay) - 1);
  GOTO(0x6D4A);
HERE(0x6D36)
  wr16(a4 + explosion::delay, 1);
  wr16(a4 + explosion::frame, rd16(a4 + explosion::frame) + 1);
  cmp<W>(explosion::last_frame, rd16(a4 + explosion::frame));
  if (cc_ls()) GOTO(0x6D4A);
  wr16(a4 + explosion::active, 0);
  GOTO(0x006D5A);
HERE(0x6D4A)
  save_regs(all_registers);
  JSR(0x006D64, 0x6D52)
  restore_regs(all_registers);
  HOOK(0x006D5A)
  a4 += explosion_table.size;
  if (dbf(d7)) GOTO(0x006D1A);
  RTS();
END_ROUTINE

// $6D64: frame d6 of the explosion at (d0, d1), record a4, into
// draw_screen. The 32-pixel frame stands on a 16-pixel column; a half
// beside the field (columns 64-255) is not drawn, and a frame wholly
// beside it frees the record. Lines above or below the screen are cut;
// a frame wholly off it draws nothing and stays live.
ROUTINE(sub_006D64, 0x006D64)
  put<W>(d0, ((d0 - 100) & 0xFFF0) + 64);
  cmp<W>(100, d1);
  if (cc_cc()) GOTO(0x6D76);
  put<W>(d1, 0);
  GOTO(0x6D7A);
HERE(0x6D76)
  put<W>(d1, d1 - 100);
HERE(0x6D7A)
  a0 = rd32(draw_screen) + (d1 & 0xFFFF) * line_bytes;
  wr16(left_clip, 0);
  put<W>(d5, 0);
  cmp<W>(224, d0);
  if (cc_ls()) GOTO(0x6DA0);
  put<W>(d5, 0xFFFF);
  cmp<W>(240, d0);
  if (cc_ls()) GOTO(0x6DB2);
  wr16(a4 + explosion::active, 0);
  RTS();
HERE(0x6DA0)
  cmp<W>(64, d0);
  if (cc_cc()) GOTO(0x6DB2);
  wr8(left_clip, 0xFF);
  cmp<W>(48, d0);
  if (cc_cc()) GOTO(0x6DB2);
  wr16(a4 + explosion::active, 0);
  RTS();
HERE(0x6DB2)
  a0 += ((d0 & 0xFFFF) >> 4) * 8;
  a2 = explosion_frames + (d6 & 0xFFFF) * explosion_frame_bytes;
  put<W>(d7, 21);
  put<W>(d1, rd16(a4 + explosion::y) - 100);
  tst<W>(d1);
  if (cc_pl()) GOTO(0x6DE0);
  put<W>(d7, add<W>(d1, d7));
  if (cc_mi()) RTS();
  a2 += (neg<W>(d1) & 0xFFFF) * explosion_line_bytes;
  GOTO(0x6DF0);
HERE(0x6DE0)
  cmp<W>(178, d1);
  if (cc_lt()) GOTO(0x6DF0);
  put<W>(d7, sub<W>(d1 - 178, d7));
  if (cc_mi()) RTS();
LOOP(0x6DF0)
  if (rd8(left_clip) == 0) explosion_half(a0, a2);
  if ((d5 & 0xFFFF) == 0) explosion_half(a0 + 8, a2 + 6);
  a0 += line_bytes;
  a2 += explosion_line_bytes;
  if (dbf(d7)) GOTO(0x6DF0);
  RTS();
END_ROUTINE

// $6E4C: draws the installations, the last record first, each on the
// 16-pixel group of its column, clipped to screen lines 0-199. The host
// sees every record, free ones too, at the hooks $6E54 and $6F18 (a6 =
// the table, d6.w = the record's offset). A group past column 319 is not
// drawn: it would land in the next line's left panel, which nothing
// redraws.
ROUTINE(sub_006E4C, 0x006E4C)
  a6 = installation_table.address;
  put<W>(d6, (installation_table.records - 1) * installation_table.size);
LOOP_HOOK(0x006E54)
  a4 = a6 + (d6 & 0xFFFF);
  tst<W>(rd16(a4 + inst::state));
  if (cc_eq()) GOTO(0x006F18);
  {
    const i32 y = static_cast<i16>(rd16(a4 + inst::y));
    const u32 x = rd16(a4 + inst::x);
    i32 lines = installation_lines;
    u32 skipped = 0;
    if (y < 0) {
      lines += y;
      skipped = static_cast<u32>(-y);
    } else if (y >= static_cast<i32>(screen_lines)) {
      lines = 0;
    } else if (y > static_cast<i32>(screen_lines - installation_lines)) {
      lines = static_cast<i32>(screen_lines) - y;
    }
    put<W>(d7, lines > 0 ? static_cast<u32>(lines) : 0);
    put<W>(d5, x >> 4);
    a0 = rd32(draw_screen) + (y >= 0 ? static_cast<u32>(y) * screen_line_bytes : 0) + (x >> 1 & 0x7FF8);
    a2 = installation_frames + ((rd16(a4 + inst::type) - inst::first_type) & 0xFFFF) * installation_frame_bytes +
         skipped * installation_line_bytes;
  }
  if ((d7 & 0xFFFF) == 0) GOTO(0x006F18);
LOOP(0x6EB0)
  if ((d5 & 0xFFFF) < screen_groups) masked_interleaved_group(a0, a2);
  if ((d5 & 0xFFFF) + 1 < screen_groups) masked_interleaved_group(a0 + 8, a2 + 2);
  a0 += screen_line_bytes;
  a2 += installation_line_bytes;
  put<W>(d7, d7 - 1);
  if ((d7 & 0xFFFF) != 0) GOTO(0x6EB0);
HOOK(0x006F18)
  put<W>(d6, sub<W>(installation_table.size, d6));
  if (cc_pl()) GOTO(0x006E54);
  RTS();
END_ROUTINE

// $6F22, $6F2A, $6F32, $6F3A: the level map's installation codes $F2,
// $F1, $F4 and $F3.
ROUTINE(sub_006F22, 0x006F22)
  wr16(placing_type, 0xF2);
  JMP(0x006F3E);
END_ROUTINE

ROUTINE(sub_006F2A, 0x006F2A)
  wr16(placing_type, 0xF1);
  JMP(0x006F3E);
END_ROUTINE

ROUTINE(sub_006F32, 0x006F32)
  wr16(placing_type, 0xF4);
  JMP(0x006F3E);
END_ROUTINE

ROUTINE(sub_006F3A, 0x006F3A)
  wr16(placing_type, 0xF3);
  JMP(0x006F3E);
END_ROUTINE

// $6F3E: places an installation of the type in $274 from the map's x and
// y bytes at a2 (a2 += 2 even when the table is full): x on a 16-pixel
// group, y 64 lines above the row. The fire words +$10/+$12 are not
// touched: a reused record fires on from where its last occupant stood.
ROUTINE(sub_006F3E, 0x006F3E)
  put<W>(d1, rd8(a2));
  put<W>(d2, rd8(a2 + 1));
  a2 += 2;
  put<W>(d1, (d1 + 64) & 0xFFF0);
  put<W>(d2, d2 - 64);
  a6 = installation_table.address;
  wr16(copy_lines, installation_table.records - 1);
LOOP(0x6F5E)
  tst<W>(rd16(a6 + inst::state));
  if (cc_eq()) GOTO(0x6F76);
  a6 += installation_table.size;
  wr16(copy_lines, rd16(copy_lines) - 1);
  if ((rd16(copy_lines) & 0x8000) == 0) GOTO(0x6F5E);
  RTS();
HERE(0x6F76)
  wr16(a6 + inst::x, d1);
  wr16(a6 + inst::y, d2);
  wr8(a6 + inst::state, 0xFF);
  wr16(a6 + inst::step, 0);
  wr16(a6 + inst::destroyed, 0);
  wr16(a6 + inst::timer, 5);
  wr16(a6 + inst::type, rd16(placing_type));
  push32(d0);
  JSR(0x007576, 0x6FA0)
  wr16(a6 + inst::pattern, d0 & 1);
  d0 = pop32();
  RTS();
END_ROUTINE

// $6FB0: per frame: an installation goes on screen in the frame its y is
// exactly 0 and leaves when its y passes 199; intact ones count their
// timer down, the turrets and bunkers step their animation, the spiked
// mines throw a grenade. The grenade's step y and owner are given as 0 and
// $FFFF so that its record holds defined words.
ROUTINE(sub_006FB0, 0x006FB0)
  a6 = installation_table.address;
  wr16(copy_lines, installation_table.records - 1);
LOOP(0x6FBA)
  put<W>(d0, rd16(a6 + inst::state));
  if ((d0 & 0xFFFF) == 0) GOTO(0x7000);
  if ((d0 & 0x8000) == 0) GOTO(0x6FD0);
  tst<W>(rd16(a6 + inst::y));
  if (cc_ne()) GOTO(0x6FDC);
  wr16(a6 + inst::state, 1);
HERE(0x6FD0)
  if (rd16(a6 + inst::y) > screen_lines - 1) {
    wr16(a6 + inst::state, 0);
    GOTO(0x7000);
  }
HERE(0x6FDC)
  tst<W>(rd16(a6 + inst::destroyed));
  if (cc_ne()) GOTO(0x7000);
  wr16(a6 + inst::timer, rd16(a6 + inst::timer) - 1);
  if ((rd16(a6 + inst::timer) & 0xFFFF) != 0) GOTO(0x7000);
  put<W>(d0, rd16(a6 + inst::type));
  if ((d0 & 0xFFFF) != inst::mine) GOTO(0x6FF0);
  wr16(a6 + inst::timer, 30);
  put<W>(d0, rd16(a6 + inst::x) + 12);
  put<W>(d1, rd16(a6 + inst::y) + 12);
  put<W>(d2, inst::mine);
  d3 = 0;
  put<W>(d5, 0xFFFF);
  push32(a6);
  JSR(0x006BEA, 0x6FEC)
  a6 = pop32();
  GOTO(0x7000);
HERE(0x6FF0)
  if ((d0 & 0xFFFF) == 0xF1 || (d0 & 0xFFFF) == 0xF2) {
    wr16(a6 + inst::timer, 25);
    GOTO(0x7000);
  }
  wr16(a6 + inst::timer, 5);
  wr16(a6 + inst::step, rd16(a6 + inst::step) + 1);
  if (rd16(a6 + inst::step) > 19) wr16(a6 + inst::step, 0);
HERE(0x7000)
  a6 += installation_table.size;
  wr16(copy_lines, rd16(copy_lines) - 1);
  if ((rd16(copy_lines) & 0x8000) == 0) GOTO(0x6FBA);
  RTS();
END_ROUTINE
