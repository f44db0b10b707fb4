#include "support/tables/mission_objects.h"

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

// The three plane words of 16 pixels from their colours.
template <class Pixel> void put_planes(u32 at, Pixel colour_of) {
  for (u32 p = 0; p < 3; ++p) {
    u32 w = 0;
    for (u32 x = 0; x < 16; ++x)
      if (colour_of(x) >> p & 1) w |= 0x8000u >> x;
    wr16(at + 2 * p, w);
  }
}

} // namespace

u32 explosion_pixel(u32 frame, u32 line, u32 x) { return sheet_pixel(sheet::explosion, frame, line, x); }

void put_explosion_frames() {
  for (u32 f = 0; f < explosion_frame_count; ++f)
    for (u32 l = 0; l < 22; ++l)
      for (u32 h = 0; h < 2; ++h)
        put_planes(explosion_frames_at + 264 * f + 12 * l + 6 * h,
                   [&](u32 x) { return explosion_pixel(f, l, 16 * h + x); });
}

u32 shot_pixel(u32 frame, u32 line, u32 x) { return sheet_pixel(sheet::shot, frame, line, x); }

void put_shot_frames() {
  for (u32 f = 0; f < shot_frame_count; ++f)
    for (u32 l = 0; l < 9; ++l) put_planes(shot_frames_at + 54 * f + 6 * l, [&](u32 x) { return shot_pixel(f, l, x); });
}

projectile_directions::projectile_directions() {
  for (u32 b = 0; b < 3; ++b)
    for (u32 c = 0; c < 16; ++c)
      entries[b][c] = {static_cast<i16>(16 + (b + c) % 8), static_cast<i16>(36 + c), static_cast<i16>(100 + b),
                       static_cast<i16>(c - 8), static_cast<i16>(b + 1), static_cast<u16>(2 + c % 4)};
  entries[2][15].type = -1;
}

void projectile_directions::put_in_ram() const {
  for (u32 b = 0; b < 3; ++b)
    for (u32 c = 0; c < 16; ++c) {
      const projectile_direction& e = entries[b][c];
      const u32 at = projectile_directions_at + 192 * b + 12 * c;
      wr16(at, static_cast<u16>(e.type));
      wr16(at + 2, static_cast<u16>(e.x));
      wr16(at + 4, static_cast<u16>(e.y));
      wr16(at + 6, static_cast<u16>(e.dx));
      wr16(at + 8, static_cast<u16>(e.dy));
      wr16(at + 10, e.life);
    }
}

u32 explosion_at(u32 i) { return explosion_table.address + explosion_table.size * i; }
u32 grenade_at(u32 i) { return grenade_table.address + grenade_table.size * i; }
u32 projectile_at(u32 i) { return projectile_table.address + projectile_table.size * i; }
u32 enemy_at(u32 i) { return enemy_table.address + enemy_table.size * i; }
u32 homing_unit_at(u32 i) { return homing_unit_table.address + homing_unit_table.size * i; }
u32 section_object_at(u32 i) { return section_object_table.address + section_object_table.size * i; }
u32 section_installation_at(u32 i) {
  return section_installation_table.address + section_installation_table.size * i;
}
u32 vehicle_at(u32 i) { return vehicle_table.address + vehicle_table.size * i; }

void put_explosion(u32 index, u16 x, u16 y, u16 owner, u16 frame) {
  const u32 r = explosion_at(index);
  wr16(r + 0x00, x);
  wr16(r + 0x02, y);
  wr16(r + 0x04, 0xFFFF);
  wr16(r + 0x06, frame);
  wr16(r + 0x08, 20);
  wr16(r + 0x0A, owner);
  wr16(r + 0x0C, 2);
}

void put_grenade(u32 index, u16 x, u16 y, i16 dx, i16 dy, u16 owner, u16 flight) {
  const u32 r = grenade_at(index);
  wr16(r + 0x00, x);
  wr16(r + 0x02, y);
  wr16(r + 0x04, 0xFFFF);
  wr16(r + 0x08, flight);
  wr16(r + 0x0A, 24);
  wr16(r + 0x0C, owner);
  wr16(r + 0x10, static_cast<u16>(dx));
  wr16(r + 0x12, static_cast<u16>(dy));
}

void put_projectile(u32 index, u16 x, u16 y, u16 type, u16 life, i16 dx, i16 dy) {
  const u32 r = projectile_at(index);
  wr16(r + 0x00, 0xFFFF);
  wr16(r + 0x02, x);
  wr16(r + 0x04, y);
  wr16(r + 0x06, type);
  wr16(r + 0x08, life);
  wr16(r + 0x0A, static_cast<u16>(dx));
  wr16(r + 0x0C, static_cast<u16>(dy));
}

void put_enemy(u32 index, u16 x, u16 y, u16 frame_word, bool dying) {
  const u32 r = enemy_at(index);
  wr16(r + 0x00, x);
  wr16(r + 0x02, y);
  wr16(r + 0x04, 0xFFFF);
  wr16(r + 0x08, frame_word);
  wr16(r + 0x0C, 0xFFFD); // moving, so a strike that stops it shows
  wr16(r + 0x0E, 0xFFFE);
  wr16(r + 0x26, dying ? 0xFFFF : 0);
}

void put_homing_unit(u32 index, u16 x, u16 y, bool destroyed) {
  const u32 r = homing_unit_at(index);
  wr16(r + 0x00, 0xFFFF);
  wr16(r + 0x04, x);
  wr16(r + 0x06, y);
  wr16(r + 0x0A, 2);
  wr16(r + 0x0E, destroyed ? 0xFFFF : 0);
}

void put_section_object(u32 index, u16 x, u16 y, u16 type) {
  const u32 r = section_object_at(index);
  wr16(r + 0x00, 0xFFFF);
  wr16(r + 0x02, x);
  wr16(r + 0x04, y);
  wr16(r + 0x06, type);
}

void put_section_installation(u32 index, u16 x, u16 y) {
  const u32 r = section_installation_at(index);
  wr16(r + 0x00, 0xFFFF);
  wr16(r + 0x02, x);
  wr16(r + 0x04, y);
}

void put_vehicle(u32 index, u16 x, u16 y, u16 width, u16 height) {
  const u32 r = vehicle_at(index);
  wr16(r + 0x00, 0xFFFF);
  wr16(r + 0x02, x);
  wr16(r + 0x04, y);
  wr16(r + 0x0A, height);
  wr16(r + 0x0E, width);
}

void put_player(u32 record, u16 x, u16 y) {
  wr16(record + player_record::lives, 3);
  wr16(record + player_record::x, x);
  wr16(record + player_record::y, y);
  wr16(record + player_record::blink, 0);
  wr16(record + player_record::state, 0);
}
