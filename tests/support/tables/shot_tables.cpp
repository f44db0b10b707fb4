#include "support/tables/shot_tables.h"

#include <cstddef>
#include <vector>

#include "game/shot_ram.h"
#include "machine/memory.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

void put(u32 at, const std::vector<u8>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) wr8(at + static_cast<u32>(i), bytes[i]);
}

} // namespace

u32 unit_frame_pixel(u32 kind, u32 frame, u32 line, u32 x) {
  return sheet_pixel(sheet::homing, kind * unit_frames_per_kind + frame, line, x);
}

u32 goal_frame_pixel(u32 picture, u32 line, u32 x) { return sheet_pixel(sheet::goal, picture, line, x); }

shot_tables::shot_tables() {
  for (u32 i = 0; i < styles.size(); ++i) styles[i] = i % 3 == 0 ? 0 : 1;
  for (u32 c = 0; c < dirs.size(); ++c) {
    const bool up = c & 1, down = c & 2, left = c & 4, right = c & 8;
    const bool valid = c != 0 && !(up && down) && !(left && right);
    dirs[c] = {static_cast<i16>(valid ? right - left : no_bullet_factor), static_cast<i16>(down - up),
               static_cast<i16>(44 + c), static_cast<i16>(95 + c)};
  }
  for (u32 o = 0; o < 11; ++o)
    for (u32 n = 0; n < 11; ++n) turns[o][n] = static_cast<u8>(n);
  for (u32 p = 0; p < 2; ++p) {
    const u8 f = p == 0 ? 60 : 20;
    deaths[p] = {f, static_cast<u8>(f + 1), static_cast<u8>(f + 2), 0x80,
                 static_cast<u8>(f + 3), static_cast<u8>(f + 4), 0x81,
                 0x82};
    for (u32 i = 8; i < death_list_bytes; ++i) deaths[p][i] = i + 1 == death_list_bytes ? 0xFF : static_cast<u8>(f + i);
  }
  death_starts.fill(0);
  death_starts[0] = 0x80;
  death_starts[1] = 4;
  death_starts[2] = 6;
  death_starts[4] = 5;
  death_starts[8] = 8;
  for (u32 i = 0; i < 8; ++i) {
    const i16 k = static_cast<i16>(i);
    fire_dirs[i] = {static_cast<i16>(i < 7 ? i + 1 : 0), static_cast<i16>(4 + k), static_cast<i16>(8 + k),
                    static_cast<i16>(k - 3), static_cast<i16>(2 + k), 0x7777};
  }
  const u16 codes[8] = {1, 2, 3, 4, 6, 8, 9, 12};
  for (u32 i = 0; i < 8; ++i) steers[i] = {codes[i], static_cast<u16>(i + 1)};
}

void shot_tables::put_in_ram() const {
  for (u32 i = 0; i < styles.size(); ++i) wr8(bullet_style_table + i, styles[i]);
  for (u32 c = 0; c < dirs.size(); ++c) {
    const u32 at = bullet_dir_table + 8 * c;
    wr16(at, static_cast<u16>(dirs[c].x_factor));
    wr16(at + 2, static_cast<u16>(dirs[c].y_factor));
    wr16(at + 4, static_cast<u16>(dirs[c].x_offset));
    wr16(at + 6, static_cast<u16>(dirs[c].y_offset));
  }
  for (u32 o = 0; o < 11; ++o)
    for (u32 n = 0; n < 11; ++n) wr8(turn_table + 11 * o + n, turns[o][n]);
  for (u32 i = 0; i < death_list_bytes; ++i) {
    wr8(death_list_1 + i, deaths[0][i]);
    wr8(death_list_2 + i, deaths[1][i]);
  }
  for (u32 f = 0; f < 16; ++f) wr8(death_start_table + f, death_starts[f]);
  for (u32 i = 0; i < 8; ++i) {
    const unit_fire_dir& r = fire_dirs[i];
    const i16 w[6] = {r.frame, r.x_offset, r.y_offset, r.dx, r.dy, r.spare};
    for (u32 k = 0; k < 6; ++k) wr16(unit_fire_dirs + 12 * i + 2 * k, static_cast<u16>(w[k]));
  }
  for (u32 i = 0; i < 8; ++i) {
    wr16(unit_steer_table + 4 * i, steers[i].code);
    wr16(unit_steer_table + 4 * i + 2, steers[i].frame);
  }
  std::vector<u8> picture(goal_frame_bytes);
  for (u32 k = 0; k < unit_kinds_built; ++k)
    for (u32 f = 0; f < unit_frames_per_kind; ++f) {
      sheet_frame_bytes(sheet::homing, k * unit_frames_per_kind + f, picture.data());
      put(homing_unit_frames + k * homing_unit_kind_bytes + f * 128, {picture.begin(), picture.begin() + 128});
    }
  for (u32 p = 0; p < goal_pictures_built; ++p) {
    sheet_frame_bytes(sheet::goal, p, picture.data());
    put(goal_frames + p * goal_frame_bytes, picture);
  }
}
