#include "support/runs/whole_mission.h"

#include "support/tables/mission_objects.h"
#include "support/machine/ram_bytes.h"

#include <algorithm>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "graphics/content_hash.h"
#include "machine/memory.h"
#include "support/tables/dot_effect_tables.h"
#include "support/machine/machine_fixture.h"
#include "support/tables/mission_objects.h"
#include "support/tables/setup_tables.h"
#include "support/tables/shot_tables.h"
#include "support/synthetic/synthetic_disk.h"

namespace {

// Enemy scripts, animations and fire points; the players' start entries.
constexpr u32 script_offsets = 0x003A8E;
constexpr u32 script_base = 0x003B6E;
constexpr u32 anim_offsets = 0x00B20E;
constexpr u32 anim_data = 0x00B228;
constexpr u32 fire_points = 0x00B294;
constexpr u32 player_starts = 0x0091C4;
// Mission 0's word for $24C and its colour 14 in the mission load table.
constexpr u32 mission0_word = 0x010730;
constexpr u32 mission0_colour14 = 0x010748 + 6;

constexpr u8 cmd_fire = 254, cmd_move = 252, cmd_end = 255;
constexpr u8 first_hinstallation = 234, first_object = 240, first_vehicle = 246;
constexpr u8 homing_command = 253, goal_command = 254;
constexpr size_t max_attachments = 6, max_homing_units = 6;
constexpr u8 goal_y_min = 76, goal_y_max = 176;
constexpr u8 hinstallation_y_max = 168, object_y_max = 184;
constexpr u8 clock_start = 184;
constexpr u32 pattern_lists_end = 0x005904; // the room of type 238's list ends here
constexpr i16 shot_x = 44, shot_y = 90;        // where the players' shots start, from the player
constexpr u8 dot_ammunition = 71;

// Scripts: the shooter stands and fires down every fourth frame (its
// frame 0 has the fire point 20 lines below it); the walker drifts down a
// line a frame and never fires.
u32 put_enemy_tables() {
  for (u32 n = 0; n < 13; ++n) {
    wr16(anim_offsets + 2 * n, 2 * n);
    put_bytes(anim_data + 2 * n, {0, 0x80});
  }
  put_bytes(fire_points, {0, 0, 0, 0, 0, 4, 0, 0, 0, 20, 0xFF, 0xFF});
  std::vector<u8> shooter = {0, 0, 0, 0, 0};
  for (int i = 0; i < 40; ++i) shooter.insert(shooter.end(), {cmd_fire, cmd_move, 3, 0, 0});
  shooter.push_back(cmd_end);
  std::vector<u8> walker = {0, 0, 0, 0, 1};
  for (int i = 0; i < 40; ++i) walker.insert(walker.end(), {cmd_move, 3, 0, 1});
  walker.push_back(cmd_end);
  for (u8 t = 0; t < enemy_types_with_scripts; ++t) wr16(script_offsets + 2 * t, 0);
  wr16(script_offsets + 2 * enemy_walker, static_cast<u16>(shooter.size()));
  put_bytes(script_base, shooter);
  put_bytes(script_base + static_cast<u32>(shooter.size()), walker);
  return static_cast<u32>(shooter.size() + walker.size());
}

// Two start entries (x, y, frame): player 2's first, then player 1's.
void put_player_starts() { put_bytes(player_starts, {0, 160, 0, 60, 0, 0, 0, 100, 0, 60, 0, 40}); }

std::vector<u8> event_bytes(const mission_event& e) {
  std::vector<u8> b = {e.trigger, e.command};
  b.insert(b.end(), e.args.begin(), e.args.end());
  for (const auto& a : e.attachments) b.insert(b.end(), a.begin(), a.end());
  if (e.kind == event_kind::vehicle) b.push_back(0xFF);
  return b;
}

bool refuse(whole_mission_build& out, const std::string& why) {
  out.error = why;
  return false;
}

// The checks of one event in stream s; "" when it is sound.
std::string event_fault(const mission_event& e, int s) {
  const bool vertical = vertical_stream(s);
  switch (e.kind) {
    case event_kind::enemy:
      if (e.command >= first_hinstallation && e.command != 255) return "an enemy type above 233";
      if (e.command >= enemy_types_with_scripts && e.command != 255) return "an enemy type without a script";
      return e.args.size() == 2 ? "" : "an enemy needs x and y";
    case event_kind::horizontal_installation:
      if (vertical) return "a horizontal installation in a vertical section";
      if (e.command < first_hinstallation || e.command >= first_object) return "an installation type outside 234-239";
      if (e.args.size() != 2) return "an installation needs x and y";
      return e.args[1] <= hinstallation_y_max ? "" : "an installation below y 168 (drawn past the screen)";
    case event_kind::section_object:
      if (vertical) return "a section object in a vertical section";
      if (e.command < first_object || e.command >= first_vehicle) return "an object kind outside 240-245";
      if (e.args.size() != 2) return "an object needs x and y";
      return e.args[1] <= object_y_max ? "" : "an object below y 184 (drawn past the screen)";
    case event_kind::vehicle:
      if (!vertical) return "a vehicle in a horizontal section";
      if (e.command < first_vehicle || e.command >= homing_command) return "a vehicle command outside 246-252";
      if (e.args.size() != 5) return "a vehicle needs five bytes";
      // drawn on 16-pixel columns without clipping in x: 64 pixels wide, 48
      // for type 4 (command 250), 32 for type 6 (252)
      if (e.args[0] % 16 != 0) return "a vehicle x off the 16-pixel columns";
      if (e.args[0] + (e.command == 250 ? 48 : e.command == 252 ? 32 : 64) > 192)
        return "a vehicle picture past the playfield's right edge";
      if (e.attachments.size() > max_attachments) return "more than six attachments";
      for (const auto& a : e.attachments) {
        if (a[0] & 0x80) return "an attachment whose first byte ends the list";
        if (a[0] > 1) return "an attachment of a homing kind other than 0-1";
      }
      return "";
    case event_kind::homing_unit:
      if (!vertical) return "a homing unit in a horizontal section";
      if (e.command != homing_command || e.args.size() != 4) return "a homing unit needs command 253 and four bytes";
      return e.args[0] <= 1 ? "" : "a homing kind other than 0-1 (the pictures built)";
    case event_kind::goal:
      if (s != 6) return "a goal outside V3";
      if (e.command != goal_command || e.args.size() != 3) return "a goal needs command 254 and x, y, z";
      return e.args[1] >= goal_y_min && e.args[1] <= goal_y_max ? "" : "a goal y outside 76-176";
  }
  return "an unknown event";
}

std::string stream_fault(const std::vector<mission_event>& events, int s, int& goals) {
  int homing = 0, last = 0;
  for (const mission_event& e : events) {
    if (e.trigger == 0xFF) return "a trigger of $FF (the stream's end)";
    const int order = (e.trigger - clock_start) & 0xFF;
    if (order < last) return "a trigger before the one ahead of it in clock order";
    last = order;
    const std::string fault = event_fault(e, s);
    if (!fault.empty()) return fault;
    // a vehicle's units take records of the same table
    homing += e.kind == event_kind::homing_unit ? 1 : static_cast<int>(e.attachments.size());
    goals += e.kind == event_kind::goal ? 1 : 0;
  }
  return homing <= static_cast<int>(max_homing_units) ? "" : "more than six homing units in one section";
}

} // namespace

mission_event enemy_event(u8 trigger, u8 type, u8 x, u8 y) { return {event_kind::enemy, trigger, type, {x, y}}; }
mission_event hinstallation_event(u8 trigger, u8 type, u8 x, u8 y) {
  return {event_kind::horizontal_installation, trigger, type, {x, y}};
}
mission_event hobject_event(u8 trigger, u8 kind, u8 x, u8 y) {
  return {event_kind::section_object, trigger, kind, {x, y}};
}
mission_event vehicle_event(u8 trigger, u8 command, std::array<u8, 5> b,
                            std::vector<std::array<u8, 4>> attachments) {
  return {event_kind::vehicle, trigger, command, {b.begin(), b.end()}, std::move(attachments)};
}
mission_event homing_event(u8 trigger, std::array<u8, 4> b) {
  return {event_kind::homing_unit, trigger, homing_command, {b.begin(), b.end()}};
}
mission_event goal_event(u8 trigger, u8 x, u8 y, u8 z) { return {event_kind::goal, trigger, goal_command, {x, y, z}}; }

std::vector<program_table> whole_mission_tables(const whole_mission& d) {
  machine_clear();
  // Bullets, dot bullets, effects and grenades straight up in every facing.
  shot_tables bullets;
  for (bullet_dir& b : bullets.dirs) b = {0, -1, shot_x, shot_y};
  bullets.put_in_ram();
  player_tables players;
  players.weapon_keys[whole_mission_weapon_keys[0]] = 0;
  players.weapon_keys[whole_mission_weapon_keys[1]] = 1;
  players.ammo_types[whole_mission_dot_weapon] = {dot_ammunition, 0, 0, 0};
  for (auto& e : players.effect_shots) e = {shot_x, shot_y, 0, -8};
  for (auto& t : players.throws) t = {shot_x, shot_y, 0, -3, 60};
  players.put_in_ram();
  dot_effect_tables dots;
  for (auto& e : dots.dot_directions) e = {shot_x, shot_y, 0, -6, 10};
  dots.put_in_ram();
  hsection_tables h;
  for (u32 t = 0; t < 5; ++t)
    if (!d.patterns[t].empty()) h.pattern(234 + t, d.patterns[t]);
  h.put_in_ram();
  const u32 script_bytes = put_enemy_tables();
  put_player_starts();
  // The players' projectiles: heavy ones, straight up the playfield, long
  // enough to reach the installations the players walk under.
  projectile_directions shots;
  for (u32 b = 0; b < 3; ++b)
    for (u32 c = 0; c < 16; ++c)
      shots.entries[b][c] = {static_cast<i16>(16 + (b + c) % 8), shot_x, shot_y, 0, -6, 24};
  shots.put_in_ram();
  const struct {
    const char* name;
    u32 at, bytes;
  } ranges[] = {
      {"bullet_style_table", bullet_style_table, 84},
      {"bullet_dir_table", bullet_dir_table, 128},
      {"turn_table", turn_table, 121},
      {"death_lists", death_list_1, 2 * death_list_bytes + 16},
      {"unit_fire_dirs", unit_fire_dirs, 96},
      {"unit_steer_table", unit_steer_table, 32},
      {"walk_lists", walk_frame_lists, 64 + 30},
      {"weapon_keys", weapon_key_table, 128},
      {"ammo_types", ammo_type_table, 76},
      {"weapon_samples", weapon_sample_table, 38},
      {"effect_shots", effect_shot_table, 120},
      {"throws", throw_table, 160},
      {"dot_directions", dot_bullet_directions_address, 160},
      {"pattern_lists", pattern_list_address(234), pattern_lists_end - pattern_list_address(234)},
      {"script_offsets", script_offsets, 2 * enemy_types_with_scripts},
      {"scripts", script_base, script_bytes},
      {"anims", anim_offsets, 26 + 26},
      {"fire_points", fire_points, 12},
      {"player_starts", player_starts, 12},
      {"projectile_directions", projectile_directions_at, 3 * 192},
  };
  std::vector<program_table> tables;
  for (const auto& r : ranges) tables.push_back({r.name, r.at, read_bytes(r.at, r.bytes)});
  return tables;
}

bool build_whole_mission(const whole_mission& d, whole_mission_build& out) {
  out = {};
  int goals = 0;
  for (int s = 0; s < 7; ++s) {
    const std::string fault = stream_fault(d.streams[s], s, goals);
    if (!fault.empty()) return refuse(out, "stream " + std::to_string(s) + ": " + fault);
  }
  if (goals != 1) return refuse(out, "a mission needs exactly one goal");
  hsection_tables patterns;
  for (u32 t = 0; t < 5; ++t)
    if (!d.patterns[t].empty() && !patterns.pattern(234 + t, d.patterns[t]))
      return refuse(out, "pattern list " + std::to_string(234 + t) + ": " + patterns.error);
  for (int v = 0; v < 4; ++v)
    if (!out.level.map(d.maps[v])) return refuse(out, "map " + std::to_string(v) + ": " + out.level.error);
  for (int s = 0; s < 7; ++s) {
    std::vector<std::vector<u8>> events;
    for (const mission_event& e : d.streams[s]) events.push_back(event_bytes(e));
    if (!out.level.stream(events)) return refuse(out, "stream " + std::to_string(s) + ": " + out.level.error);
  }

  synth_game_data g = synth_standard();
  if (!synth_place_disk_road(g)) return refuse(out, g.error);
  // The weapon parameters (counter indexes within the record's counters)
  // of the set-up; the disk road carries its panel pictures.
  setup_tables setup;
  setup.two_players = true;
  // Every weapon with projectile pattern 0 (the two blocks by frame: a
  // pattern past the directions table would never shoot) and bullets of 5
  // lines a frame for 30 frames.
  for (u16 w = 0; w < setup.weapon_params.size(); ++w) setup.weapon_params[w] = {5, 30, 3, 0, static_cast<u16>(w % 5)};
  if (!setup.place(g)) return refuse(out, setup.error.empty() ? g.error : setup.error);
  // The disk road carries the front end's player starts and ammunition
  // table: the mission plays with those.
  // Its ammunition table too, but for the dot bullets of one weapon.
  for (const program_table& t : whole_mission_tables(d)) {
    if (t.name == "ammo_types")
      for (synth_region& r : g.regions)
        if (r.name == t.name) r.bytes = t.bytes;
    if (!synth_find(g, t.name) && !synth_place_at_program(g, t.name, "a table of the mission's routines", t.at, t.bytes))
      return refuse(out, g.error);
  }
  // spawn_table: every synthetic data file carries the builder's default entries.
  out.file = synth_bkm(g);
  if (out.file.empty()) return refuse(out, g.error);
  synth_put_high_scores(out.file);

  const synth_disk_mission& set0 = synth_disk_content().missions[0];
  const std::vector<u8> level = out.level.level_file();
  if (level.size() > (set0.level.size() + 511) / 512 * 512)
    return refuse(out, "the level file needs more sectors than mission set 0 reads");
  u32 offset = 0;
  if (!synth_sector_offset(set0.side_track_sector[2][0], set0.side_track_sector[2][1],
                           set0.side_track_sector[2][2], offset))
    return refuse(out, "mission set 0's level file lies off the disk");
  std::copy(level.begin(), level.end(), out.file.begin() + offset);
  const std::pair<u32, u16> words[] = {{mission0_word, d.mission_word}, {mission0_colour14, d.colour14}};
  for (const auto& [at, value] : words) {
    if (!synth_program_offset(at, 2, offset)) return refuse(out, "the mission load table lies off the file");
    out.file[offset] = static_cast<u8>(value >> 8);
    out.file[offset + 1] = static_cast<u8>(value);
  }

  b2_state h;
  b2_init(&h);
  b2_update(&h, out.file.data(), out.file.size());
  char text[GFX_HASH_TEXT];
  b2_hex(&h, text);
  out.image_hash = text;
  return true;
}

whole_mission whole_mission_default() {
  whole_mission d;
  // Vertical maps: a plain first row, then rows of every block with stamps
  // and installations, a plain last row. Solid stamps and installations
  // stand in the right column, the open stamps in the left one: the players
  // walk up the middle (their x 60-170) without meeting a solid cell.
  for (int v = 0; v < 4; ++v) {
    std::vector<map_row> rows = {{{0}, {1}, {2}}};
    for (int r = 0; r < 34; ++r) {
      map_row row = {{static_cast<u8>(r % 6)}, {static_cast<u8>((r + 2) % 6)}, {static_cast<u8>((r + 4) % 6)}};
      if (r % 5 == 1) row[2].objects.push_back(stamp(static_cast<u8>(1 + (r * 7 + v) % 125), static_cast<u8>(r % 8)));
      if (r % 7 == 3) row[0].objects.push_back(stamp(static_cast<u8>(126 + r % 3), static_cast<u8>((r + 3) % 8)));
      if (r % 9 == 4) row[2].objects.push_back(installation(static_cast<u8>(0xF1 + (r / 9 + v) % 4), 16, 8));
      rows.push_back(row);
    }
    rows.push_back({{0}, {1}, {2}});
    d.maps[v] = rows;
  }
  // V0: enemies of both scripts for player 1's bullets, a vehicle of 32 x
  // 24 with six units (a full unit table: the builder refuses a seventh
  // unit in a section) for player 2's projectiles.
  d.streams[0] = {
      enemy_event(190, enemy_shooter, 40, 10), enemy_event(200, enemy_walker, 80, 0),
      vehicle_event(210, 246, {16, 20, 0, 24, 64},
                    {{0, 0, 0, 0}, {1, 16, 0, 0}, {0, 32, 0, 0}, {1, 0, 16, 0}, {0, 16, 16, 0}, {1, 32, 16, 0}}),
      enemy_event(20, enemy_shooter, 100, 10),
  };
  // H0-H2: installations 234-239 and objects 240-245, placed where the
  // scroll carries them past the players: H0 and H2 scroll left (their
  // objects drift right), H1 right. A pair of objects 30 apart at one
  // line, for a blast that destroys the first and the first's explosion
  // the second; the mines for player 1 to walk into.
  d.streams[1] = {hinstallation_event(190, 236, 40, 40), hinstallation_event(200, 235, 20, 60),
                  hobject_event(240, 242, 40, 50), hobject_event(240, 243, 70, 50)};
  d.streams[3] = {hinstallation_event(190, 234, 230, 40), hinstallation_event(200, 237, 250, 60),
                  hobject_event(210, 240, 230, 100), hobject_event(220, 241, 250, 120)};
  d.streams[5] = {hinstallation_event(190, 238, 40, 40), hinstallation_event(200, 239, 20, 60),
                  hobject_event(210, 244, 30, 50), hobject_event(210, 245, 60, 50)};
  // V1, V2: the other vehicle types (in V1 at the playfield's edges, clear
  // of the players' way) and homing units of both kinds by event, for
  // player 2's grenades; a walker for player 1's dot bullets; in V2 a
  // shooter that player 2 walks into in its window without invulnerability,
  // another for player 1's effects.
  d.streams[2] = {vehicle_event(190, 247, {0, 20, 0, 24, 64}), vehicle_event(200, 248, {128, 20, 0, 24, 64}),
                  homing_event(205, {0, 5, 30, 1}),           homing_event(206, {1, 5, 60, 1}),
                  homing_event(207, {0, 5, 90, 1}),           homing_event(208, {1, 5, 120, 1}),
                  enemy_event(230, enemy_walker, 80, 0)};
  d.streams[4] = {vehicle_event(190, 249, {32, 20, 0, 1, 0}, {{1, 0, 0, 0}}),
                  vehicle_event(200, 250, {96, 20, 0, 1, 0}), vehicle_event(205, 251, {128, 20, 0, 1, 0}),
                  vehicle_event(210, 252, {64, 20, 0, 1, 0}),  homing_event(215, {0, 5, 50, 1}),
                  enemy_event(220, enemy_shooter, 60, 10),     enemy_event(105, enemy_shooter, 150, 10)};
  // V3: a shooter for player 2's grenades and the goal, early enough to be
  // met before the section's end.
  d.streams[6] = {enemy_event(205, enemy_shooter, 30, 10), goal_event(220, 60, 120, 0)};
  return d;
}
