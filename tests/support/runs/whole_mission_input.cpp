#include "support/runs/whole_mission_input.h"

#include <algorithm>
#include <cstdlib>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "game/vertical_objects_ram.h"
#include "machine/ikbd.h"
#include "machine/memory.h"
#include "support/tables/section_cycle.h"
#include "support/runs/whole_mission.h"

namespace {

namespace pr = player_record;

constexpr int joy_up = 1, joy_down = 2, joy_left = 4, joy_right = 8, joy_fire = 0x80;
constexpr i32 shot_x = 44; // every shot starts at the player's x + 44 (play-field)

enum class target { none, enemies, vehicles, installations, homing_units, hinstallations, object_pairs, mines };

struct role {
  u16 weapon;
  target aim;
  target then; // when no target of the first kind is there
  i32 y;       // the line the player keeps (screen)
};

// By stream section, player 1's role and player 2's. In the vertical
// sections both keep to line 110 or above, so that the playfield scrolls.
constexpr role roles[7][2] = {
    {{whole_mission_bullet_weapon, target::enemies, target::none, 110},
     {whole_mission_projectile_weapon, target::vehicles, target::none, 110}},
    {{whole_mission_projectile_weapon, target::hinstallations, target::none, 120},
     {whole_mission_dot_weapon, target::object_pairs, target::none, 126}},
    {{whole_mission_dot_weapon, target::enemies, target::homing_units, 110},
     {whole_mission_grenade_weapon, target::homing_units, target::enemies, 110}},
    {{whole_mission_projectile_weapon, target::mines, target::none, 120},
     {whole_mission_projectile_weapon, target::hinstallations, target::none, 120}},
    {{whole_mission_effect_weapon, target::enemies, target::none, 110},
     {whole_mission_projectile_weapon, target::installations, target::vehicles, 110}},
    {{whole_mission_projectile_weapon, target::hinstallations, target::none, 120},
     {whole_mission_dot_weapon, target::object_pairs, target::none, 126}},
    {{whole_mission_projectile_weapon, target::installations, target::none, 110},
     {whole_mission_grenade_weapon, target::enemies, target::none, 110}},
};

i32 word(u32 at) { return static_cast<i16>(rd16(at)); }

// Where a target is: the play-field column the shot must fly up in, and
// its line (play-field), for the first live one of the kind.
struct spot {
  bool found = false;
  i32 x = 0, y = 0;
};

spot first_enemy() {
  for (u32 e = 0; e < 25; ++e) {
    const u32 at = enemy_table.address + enemy_table.size * e;
    if (rd16(at + 4) != 0 && rd16(at + 0x26) == 0) return {true, word(at) + 8, word(at + 2)};
  }
  return {};
}

spot first_vehicle() {
  for (u32 v = 0; v < vehicle_table.records; ++v) {
    const u32 at = vehicle_table.address + vehicle_table.size * v;
    if (rd16(at + vehicle_field::active) != 0 && rd16(at + vehicle_field::destroyed) == 0)
      return {true, word(at + vehicle_field::x) + word(at + vehicle_field::width) / 2, word(at + vehicle_field::y)};
  }
  return {};
}

spot first_installation() {
  for (u32 i = 0; i < installation_table.records; ++i) {
    const u32 at = installation_table.address + installation_table.size * i;
    if (rd16(at + installation_field::state) != 0 && rd16(at + installation_field::destroyed) == 0 &&
        word(at + installation_field::y) >= 0)
      return {true, word(at + installation_field::x) + 48, word(at + installation_field::y) + 100};
  }
  return {};
}

spot first_unit() {
  for (u32 u = 0; u < homing_unit_table.records; ++u) {
    const u32 at = homing_unit_table.address + homing_unit_table.size * u;
    if (rd16(at + homing_unit::active) != 0 && (rd8(at + homing_unit::wrecked) & 0x80) == 0)
      return {true, word(at + homing_unit::x) + 7, word(at + homing_unit::y)};
  }
  return {};
}

spot first_hinstallation() {
  for (u32 i = 0; i < section_installation_table.records; ++i) {
    const u32 at = section_installation_table.address + section_installation_table.size * i;
    const i32 type = word(at + 6);
    if (rd16(at) != 0 && type >= 234 && type <= 238) return {true, word(at + 2) + 48, word(at + 4) + 100};
  }
  return {};
}

// Section objects (screen coordinates). A pair's burst lands left of its
// first object, so that the second one, to its right, falls only to the
// explosion of the first.
spot first_object(bool mine) {
  for (u32 o = 0; o < section_object_table.records; ++o) {
    const u32 at = section_object_table.address + section_object_table.size * o;
    const i32 kind = word(at + 6);
    if (rd16(at) == 0 || (mine != (kind <= 241))) continue;
    return {true, word(at + 2) + (mine ? 36 : 20), word(at + 4) + 100};
  }
  return {};
}

spot find(target t) {
  switch (t) {
    case target::enemies: return first_enemy();
    case target::vehicles: return first_vehicle();
    case target::installations: return first_installation();
    case target::homing_units: return first_unit();
    case target::hinstallations: return first_hinstallation();
    case target::object_pairs: return first_object(false);
    case target::mines: return first_object(true);
    case target::none: break;
  }
  return {};
}

int toward(i32 have, i32 want, int less, int more) { return have < want - 2 ? more : have > want + 2 ? less : 0; }

int into_an_enemy(u32 record) {
  const spot e = first_enemy();
  if (!e.found) return joy_up;
  return toward(word(record + pr::x), e.x - 8 - 36, joy_left, joy_right) |
         toward(word(record + pr::y), e.y - 100, joy_up, joy_down);
}

int into_the_goal(u32 record) {
  // goal x - player x within 20-51, goal y - player y within 80-130
  const u32 g = goal_record.address;
  return toward(word(record + pr::x), word(g + goal::x) - 36, joy_left, joy_right) |
         toward(word(record + pr::y), word(g + goal::y) - 105, joy_up, joy_down);
}

// A vehicle, intact or wrecked, stands in the way of a player below it and
// would push it down out of the scrolling band: the player steps aside.
int out_of_the_way(u32 record) {
  const i32 left = word(record + pr::x) + 36, top = word(record + pr::y) + 100;
  for (u32 v = 0; v < vehicle_table.records; ++v) {
    const u32 at = vehicle_table.address + vehicle_table.size * v;
    if (rd16(at + vehicle_field::active) == 0) continue;
    // with a margin: the player's obstacle probe reaches past its picture
    const i32 vx = word(at + vehicle_field::x) - 8, vy = word(at + vehicle_field::y);
    const i32 width = word(at + vehicle_field::width) + 16, height = word(at + vehicle_field::height);
    if (vx > left + 32 || vx + width < left || vy > top || vy + height < top - 64) continue;
    // to the side with room for the player in the middle column (x 60-170)
    const bool room_left = vx - 36 - 32 >= 60, room_right = vx + width - 36 <= 170;
    if (room_left && (!room_right || vx + width / 2 > left + 16)) return joy_left;
    return joy_right;
  }
  return 0;
}

int wanted_stick(int p, u32 record) {
  const u16 section = rd16(stream_section) % 7;
  const role& r = roles[section][p];
  const i32 x = word(record + pr::x), y = word(record + pr::y);
  if (p == 1 && whole_mission_death_window()) return into_an_enemy(record);
  if (p == 0 && rd16(goal_record.address + goal::active) != 0) return into_the_goal(record);
  spot s = find(r.aim);
  if (!s.found) s = find(r.then);
  const int keep_line = toward(y, r.y, joy_up, joy_down);
  if (const int aside = out_of_the_way(record); aside != 0) return aside | keep_line;
  if (!s.found) return keep_line | toward(x, 140, joy_left, joy_right);
  // A mine is walked into.
  if (r.aim == target::mines)
    return toward(x + 36, std::clamp(s.x, 166, 216), joy_left, joy_right) | toward(y + 100, s.y, joy_up, joy_down);
  // In the vertical sections the players keep to the middle column (the
  // solid stamps stand in the right one).
  // In the horizontal sections they keep within a band that lets the
  // section scroll (both x at most 218 and their sum at most 318 on a
  // negative step; both above 69 and their sum above 257 on a positive one).
  const i16 step = static_cast<i16>(rd16(hscroll_step));
  const i32 from = step < 0 ? 100 : step > 0 ? 130 : 60, to = step < 0 ? 150 : step > 0 ? 180 : 170;
  const i32 column = std::clamp(s.x, from + shot_x, to + shot_x);
  const int line_up = toward(x + shot_x, column, joy_left, joy_right);
  // A grenade bursts 60 lines up, 20 frames on, where the enemy will have
  // come down to by the scroll (and its walk).
  const bool timed = r.weapon == whole_mission_grenade_weapon && r.aim == target::enemies;
  const bool ahead = timed ? s.y >= y - 19 && s.y <= y + 23 : s.y < y + 90;
  // a blast reaches 30 pixels right and 13 left of its x
  const bool lined = line_up == 0 || (timed && std::abs(x + shot_x - column) <= 12);
  const bool fire = lined && column == s.x && ahead && rd16(fx_bank) % 2 == 0;
  return line_up | keep_line | (fire ? joy_fire : 0);
}

int stick_in_ram(u32 record) {
  return (rd8(record + pr::up) ? joy_up : 0) | (rd8(record + pr::down) ? joy_down : 0) |
         (rd8(record + pr::left) ? joy_left : 0) | (rd8(record + pr::right) ? joy_right : 0) |
         (rd8(record + pr::fire) ? joy_fire : 0);
}

// A player's next-weapon key until its role's weapon is current. The
// player update takes the key from last_key, so a key is pressed only
// while none waits there, player 1 on frames 4n, player 2 on 4n + 2.
void choose_weapon(int p, u32 record) {
  const u16 section = rd16(stream_section) % 7;
  if (rd16(record + pr::weapon) == roles[section][p].weapon) return;
  if (rd16(fx_bank) % 4 != 2 * static_cast<u32>(p)) return;
  if (rd8(last_key) != 0 && (rd8(last_key) & 0x80) == 0) return;
  tos_key(whole_mission_weapon_keys[p]);
}

} // namespace

bool whole_mission_death_window() {
  return rd16(stream_section) == 4 && rd16(scroll_pos) >= 300 && rd16(scroll_pos) < 900 &&
         rd16(player2 + pr::lives) == 3;
}

void whole_mission_input() {
  const u32 records[2] = {player1, player2};
  for (int p = 0; p < 2; ++p) {
    const int want = wanted_stick(p, records[p]);
    if (want != stick_in_ram(records[p])) tos_joystick(p == 0 ? 1 : 0, want);
    choose_weapon(p, records[p]);
  }
}
