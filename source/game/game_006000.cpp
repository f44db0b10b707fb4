// Page $6000: the vertical sections' ground objects: the placement of the
// vehicles with their mounted homing units and their drawing (a driver and
// three picture widths), the debris pieces that follow a destruction, and
// the installations that the level map places (placement, timers and the
// spiked mines' grenades, drawing).
#include <algorithm>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "game/vertical_objects_ram.h"

namespace {

namespace inst = installation_field;
namespace veh = vehicle_field;

constexpr u32 line_bytes = 160;
constexpr u32 screen_lines = 200;
constexpr u32 screen_groups = 20;     // 16-pixel groups of a screen line
constexpr u32 field_top = 100;        // play-field line of screen line 0
constexpr u32 field_bottom = 300;     // play-field line past screen line 199
constexpr u32 field_left = 36;        // play-field column of screen column 0

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
  if (y >= field_bottom) {
    wr16(a6 + veh::active, 0);
    return false;
  }
  const u32 first = std::max(y, field_top);
  const u32 end = std::min(y + lines, field_bottom);
  if (end <= first) return false;
  d5 = (first - y) * line_size;
  put<W>(d7, end - first);
  const u32 column = (rd16(a6 + veh::x) - field_left) & 0xFFFF;
  a0 = rd32(draw_screen) + (column >> 1 & 0x7FFF) + (first - field_top) * line_bytes;
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
  a0 += line_bytes;
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
  a0 += line_bytes;
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
  a0 += line_bytes;
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
    if (y > field_bottom) {
      wr16(a6 + debris_field::active, 0);
      RTS();
    }
    const u32 first = std::max(y, field_top);
    const u32 end = std::min(y + debris_lines, field_bottom);
    put<W>(d7, end > first ? end - first : 0);
    a0 = rd32(draw_screen) + ((x - field_left) >> 4) * 8 + (first - field_top) * line_bytes;
    a1 = debris_frames + rd16(a6 + debris_field::frame) * debris_frame_bytes + (first - y) * debris_line_bytes;
  }
  if ((d7 & 0xFFFF) == 0) GOTO(0x64D0);
LOOP(0x64A0)
  masked_group(a0, a1);
  masked_group(a0 + 8, a1 + 8);
  masked_group(a0 + 16, a1 + 16);
  a0 += line_bytes;
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
    a0 = rd32(draw_screen) + (y >= 0 ? static_cast<u32>(y) * line_bytes : 0) + (x >> 1 & 0x7FF8);
    a2 = installation_frames + ((rd16(a4 + inst::type) - inst::first_type) & 0xFFFF) * installation_frame_bytes +
         skipped * installation_line_bytes;
  }
  if ((d7 & 0xFFFF) == 0) GOTO(0x006F18);
LOOP(0x6EB0)
  if ((d5 & 0xFFFF) < screen_groups) masked_interleaved_group(a0, a2);
  if ((d5 & 0xFFFF) + 1 < screen_groups) masked_interleaved_group(a0 + 8, a2 + 2);
  a0 += line_bytes;
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
