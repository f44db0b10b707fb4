#include "support/tables/mission_builder.h"

#include "game/mission_ram.h"
#include "machine/memory.h"
#include "support/synthetic/picture_drawing.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

constexpr u32 level_file_address = 0x073B92;   // loader 3's destination
constexpr u32 graphics_address = 0x05647E;     // loader 1's destination
constexpr u32 file_header = 28;                // bytes before level_table and ground_blocks
constexpr u32 table_words = 32;
constexpr u32 map_words = 4;                   // level_table words 0-3 are the maps
constexpr u8 map_end = 0xFF;
constexpr u8 stream_end = 0xFF;
constexpr u32 spawn_entries = 8;
constexpr u8 first_installation = 0xF1, last_installation = 0xF4;

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

u32 group_pixel(const u8* group, u32 x) {
  const u32 bit = 15 - x;
  u32 colour = 0;
  for (u32 p = 0; p < 4; ++p)
    if (group[2 * p + (bit < 8 ? 1 : 0)] >> (bit & 7) & 1) colour |= 1u << p;
  return colour;
}

u32 ram_group_pixel(u32 group_address, u32 x) {
  u8 g[8];
  for (u32 i = 0; i < 8; ++i) g[i] = static_cast<u8>(rd8(group_address + i));
  return group_pixel(g, x);
}

} // namespace

namespace {

// Ground block n: a checkerboard of its 16 x 16 cells in a colour of its
// own and its complement (so every plane changes between the cells), a
// sparse diagonal that tells one line from the next, its left column and
// every second pixel of its top line in colour 15 and its right column in
// the complement of the cell
// (the seams between blocks, which also keep every line of every plane
// from repeating under a rotation), and "B" and its number in the first
// cell.
idx_picture draw_block(u32 n, char letter) {
  idx_picture p(64, 32, 0);
  const u8 own = static_cast<u8>(1 + (n + 3 * static_cast<u32>(letter - 'B')) % 6);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const u8 cell = (x / 16 + y / 16) % 2 ? static_cast<u8>(15 - own) : own;
      u8 c = (x + 2 * y) % 16 == 0 ? 7 : cell;
      if (x == 0 || (y == 0 && x % 2 == 0)) c = 15;
      if (x == 63) c = static_cast<u8>(15 - cell);
      p.at(x, y) = c;
    }
  p.fill_rect(2, 2, 17, 13, 0);
  draw_big_text(p, 3, 3, letter + decimal(n), 15, 2);
  p.at(0, 0) = static_cast<u8>(n & 15);
  return p;
}

const std::vector<std::vector<u8>>& drawn_blocks() {
  static const std::vector<std::vector<u8>> blocks = [] {
    std::vector<std::vector<u8>> b;
    for (u32 n = 0; n < mission_ground_block_count; ++n) {
      b.emplace_back(ground_block_bytes);
      st_put_groups(b.back().data(), draw_block(n, 'B'), 4, 32);
    }
    return b;
  }();
  return blocks;
}

// Stamp n: a labelled 16 x 16 sprite with its number, its top-left mark in
// colour n mod 16.
const std::vector<idx_picture>& drawn_stamps() {
  static const std::vector<idx_picture> stamps = [] {
    std::vector<idx_picture> s;
    for (u32 n = 0; n < mission_stamp_count; ++n)
      s.push_back(labelled_sprite(16, 16, {12, 3, 15, static_cast<u8>(n & 15), 5, 10}, decimal(n)));
    return s;
  }();
  return stamps;
}

} // namespace

std::vector<u8> labelled_ground_block(u32 n, char letter) {
  std::vector<u8> b(ground_block_bytes);
  st_put_groups(b.data(), draw_block(n, letter), 4, 32);
  return b;
}

u8 block_byte(u32 block, u32 offset) { return drawn_blocks()[block % mission_ground_block_count][offset]; }

spawn_entry default_spawn_entry(u32 q) {
  const u32 column = q & 3, half = q >> 2 & 1;
  return {static_cast<i16>(half * 16 * ring_row_bytes + column * 8),
          static_cast<i16>(half * collision_row_bytes + column)};
}

std::vector<spawn_entry> mission_builder::default_spawns() {
  std::vector<spawn_entry> s;
  for (u32 q = 0; q < spawn_entries; ++q) s.push_back(default_spawn_entry(q));
  return s;
}

std::vector<std::vector<u8>> mission_builder::default_blocks() {
  std::vector<std::vector<u8>> blocks;
  for (u32 n = 0; n < mission_ground_block_count; ++n) {
    blocks.push_back(drawn_blocks()[n]);
  }
  return blocks;
}

std::vector<std::vector<u8>> mission_builder::default_stamps() {
  std::vector<std::vector<u8>> stamps;
  for (u32 n = 0; n < mission_stamp_count; ++n) {
    std::vector<u8> s(map_stamp_bytes);
    st_put_groups(s.data(), drawn_stamps()[n], 4, 8);
    stamps.push_back(s);
  }
  return stamps;
}

bool mission_builder::refuse(const std::string& why) {
  error = why;
  return false;
}

bool mission_builder::map(const std::vector<map_row>& rows) {
  std::vector<u8> bytes;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (!unchecked && rows[r].size() != 3) return refuse("map row " + std::to_string(r) + " is not three blocks");
    for (size_t k = 0; k < rows[r].size(); ++k) {
      const map_block& b = rows[r][k];
      const std::string at = "map row " + std::to_string(r) + " column " + std::to_string(k);
      if (!unchecked && b.block >= mission_ground_block_count)
        return refuse(at + ": block " + std::to_string(b.block) + " is not a ground block (0-5)");
      const bool first = r == 0 && k == 0;
      const bool last = r + 1 == rows.size() && k + 1 == rows[r].size();
      if (!unchecked && !b.objects.empty() && (first || last))
        return refuse(at + ": the first and the last block of a map carry no objects");
      bytes.push_back(static_cast<u8>(b.block | (b.objects.empty() ? 0 : 0x80)));
      if (b.objects.empty()) continue;
      for (const map_object& o : b.objects) {
        bytes.push_back(o.code);
        if (o.code >= first_installation && o.code <= last_installation) {
          bytes.push_back(o.a);
          bytes.push_back(o.b);
          continue;
        }
        if (!unchecked && o.code == 0) return refuse(at + ": code 0 would end the object list");
        const u32 shown = o.code <= 125 ? o.code : o.code - 1u;
        if (!unchecked && shown >= mission_stamp_count)
          return refuse(at + ": stamp code " + std::to_string(o.code) + " shows a stamp not built");
        if (!unchecked && o.a >= spawn_entries)
          return refuse(at + ": position byte " + std::to_string(o.a) + " is not a spawn_table entry (0-7)");
        bytes.push_back(o.a);
      }
      bytes.push_back(0);
    }
  }
  bytes.push_back(map_end);
  return map_bytes(bytes);
}

bool mission_builder::map_bytes(const std::vector<u8>& bytes) {
  if (maps_.size() == map_words) return refuse("a mission has at most four maps");
  if (!unchecked) {
    if (bytes.size() < 3 || bytes.back() != map_end) return refuse("a map needs two bytes before its end marker");
    if (bytes.front() > 31) return refuse("a map's first byte must be a plain block");
  }
  maps_.push_back(bytes);
  return true;
}

// --- the checks of an event stream ---------------------------------------------

namespace {

constexpr u8 first_vehicle = 246, last_vehicle = 252, homing_event = 253, goal_event = 254;
constexpr u32 max_homing_units = 6, max_attachments = 6;
constexpr u8 clock_start = 184, lowest_goal_y = 76, highest_goal_y = 176;

// The event's length for its command, or 0 when its bytes do not hold it.
size_t event_length(const std::vector<u8>& e) {
  const u8 c = e[1];
  if (c == homing_event) return 6;
  if (c == goal_event) return 5;
  if (c < first_vehicle || c > last_vehicle) return 4;
  for (size_t i = 7; i < e.size(); i += 4)
    if (e[i] & 0x80) return i + 1;
  return 0;
}

} // namespace

// Why the interpreter could not play the events as meant, or "": triggers
// that follow the scroll from 184 (a passed trigger holds the stream for
// 256 lines), room for every homing unit (a seventh one alive would be
// written over the goal), homing kinds 0-1 (the pictures built), goals
// drawn whole (y 76-176) and vehicle lists ended with at most six items.
std::string stream_problem(const std::vector<std::vector<u8>>& events) {
  u32 since_start = 0, homing_units = 0;
  for (size_t n = 0; n < events.size(); ++n) {
    const std::vector<u8>& e = events[n];
    const std::string at = "event " + std::to_string(n);
    const u32 distance = static_cast<u8>(e[0] - clock_start);
    if (distance < since_start) return at + ": trigger " + std::to_string(e[0]) + " comes before the one above it";
    since_start = distance;
    const size_t length = event_length(e);
    if (length == 0) return at + ": the vehicle's list has no end byte";
    if (e.size() != length) return at + ": command " + std::to_string(e[1]) + " takes " + std::to_string(length) + " bytes";
    if (e[1] == homing_event) {
      ++homing_units;
      if (e[2] > 1) return at + ": homing kind " + std::to_string(e[2]) + " is not 0-1";
    }
    if (e[1] == goal_event && (e[3] < lowest_goal_y || e[3] > highest_goal_y))
      return at + ": goal y " + std::to_string(e[3]) + " is not 76-176";
    if (e[1] >= first_vehicle && e[1] <= last_vehicle) {
      const size_t items = (length - 8) / 4;
      if (items > max_attachments) return at + ": a vehicle holds at most six homing units";
      for (size_t i = 0; i < items; ++i)
        if (e[7 + 4 * i] > 1) return at + ": homing kind " + std::to_string(e[7 + 4 * i]) + " is not 0-1";
      homing_units += static_cast<u32>(items);
    }
    if (homing_units > max_homing_units) return at + ": more than six homing units in one section";
  }
  return "";
}

bool mission_builder::stream(const std::vector<std::vector<u8>>& events) {
  if (streams_.size() == table_words - map_words) return refuse("no stream word left in level_table");
  std::vector<u8> bytes;
  for (const std::vector<u8>& e : events) {
    if (!unchecked && (e.size() < 2 || e[0] == stream_end))
      return refuse("an event needs a trigger other than $FF and a command");
    bytes.insert(bytes.end(), e.begin(), e.end());
  }
  if (!unchecked) {
    const std::string why = stream_problem(events);
    if (!why.empty()) return refuse(why);
  }
  bytes.push_back(stream_end);
  streams_.push_back(bytes);
  return true;
}

bool mission_builder::spawn(u32 q, spawn_entry e) {
  if (q >= spawn_entries) return refuse("spawn_table entries 8-63 are game code");
  spawn_[q] = e;
  return true;
}

void mission_builder::ground_block(u32 n, const std::vector<u8>& bytes1024) {
  if (n >= blocks_.size()) blocks_.resize(n + 1, std::vector<u8>(ground_block_bytes, 0));
  blocks_[n] = bytes1024;
  blocks_[n].resize(ground_block_bytes, 0);
}

void mission_builder::map_stamp(u32 n, const std::vector<u8>& bytes128) {
  if (n >= stamps_.size()) stamps_.resize(n + 1, std::vector<u8>(map_stamp_bytes, 0));
  stamps_[n] = bytes128;
  stamps_[n].resize(map_stamp_bytes, 0);
}

std::vector<u8> mission_builder::level_file() const {
  // level_table, then the maps from level_data, the streams, and one $FF
  // that the unused stream words point at.
  std::vector<u8> data;
  std::vector<u32> map_at, stream_at;
  for (const auto& m : maps_) {
    map_at.push_back(static_cast<u32>(data.size()));
    data.insert(data.end(), m.begin(), m.end());
  }
  for (const auto& s : streams_) {
    stream_at.push_back(static_cast<u32>(data.size()));
    data.insert(data.end(), s.begin(), s.end());
  }
  const u32 no_events = static_cast<u32>(data.size());
  data.push_back(stream_end);

  std::vector<u8> file(file_header, 0);
  const u32 data_from_table = level_data - level_table;
  for (u32 w = 0; w < table_words; ++w) {
    if (w < map_words)
      put16(file, w < map_at.size() ? map_at[w] : 0);
    else
      put16(file, data_from_table + (w - map_words < stream_at.size() ? stream_at[w - map_words] : no_events));
  }
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

std::vector<u8> mission_builder::graphics() const {
  std::vector<u8> g(file_header, 0);
  // The stamps begin where a seventh block would: block 6 is stamp 0-7.
  for (u32 n = 0; n < mission_ground_block_count; ++n) g.insert(g.end(), blocks_[n].begin(), blocks_[n].end());
  for (const auto& s : stamps_) g.insert(g.end(), s.begin(), s.end());
  for (size_t n = mission_ground_block_count; n < blocks_.size(); ++n) {
    // A test's own block beyond 5 overwrites the stamps, as in the game.
    const size_t at = file_header + n * ground_block_bytes;
    if (g.size() < at + ground_block_bytes) g.resize(at + ground_block_bytes, 0);
    std::copy(blocks_[n].begin(), blocks_[n].end(), g.begin() + static_cast<long>(at));
  }
  return g;
}

std::vector<u8> mission_builder::spawn_bytes() const {
  std::vector<u8> b;
  for (const spawn_entry& e : spawn_) {
    put16(b, static_cast<u16>(e.ring_offset));
    put16(b, static_cast<u16>(e.cell_offset));
  }
  return b;
}

void mission_builder::put_in_ram() const {
  auto put = [](u32 at, const std::vector<u8>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) wr8(at + static_cast<u32>(i), bytes[i]);
  };
  put(level_file_address, level_file());
  put(graphics_address, graphics());
  put(spawn_table, spawn_bytes());
}

u32 mission_builder::map_address(int s) const {
  return level_data + static_cast<u32>(static_cast<i16>(rd16(level_table + 2 * static_cast<u32>(s))));
}

u32 mission_builder::stream_address(int t) const {
  return level_table + static_cast<u32>(static_cast<i16>(rd16(level_table + 8 + 2 * static_cast<u32>(t))));
}

namespace {

mission_builder make_default_mission() {
  mission_builder m;
  std::vector<map_row> rows = {{{0}, {1}, {2}}};
  for (u8 r = 0; r < 40; ++r) {
    const u8 b = r % 6;
    rows.push_back({{b, {stamp(static_cast<u8>(1 + r), r % 8)}},
                    {static_cast<u8>((b + 1) % 6), {stamp(static_cast<u8>(126 + r % 3), (r + 3) % 8),
                                                    installation(static_cast<u8>(0xF1 + r % 4), r, 40)}},
                    {static_cast<u8>((b + 2) % 6)}});
  }
  rows.push_back({{3}, {4}, {5}});
  m.map(rows);
  m.stream({});
  return m;
}

mission_builder make_second_level() {
  mission_builder m;
  m.unchecked = true; // row 10 stands on block 7, which lies in the stamps
  std::vector<map_row> rows;
  for (u8 r = 0; r < 20; ++r)
    rows.push_back({{static_cast<u8>(r % 3)}, {static_cast<u8>(r == 10 ? 7 : 3)}, {static_cast<u8>(5 - r % 3)}});
  m.map(rows);
  m.stream({});
  return m;
}

} // namespace

const mission_builder& second_level() {
  static const mission_builder m = make_second_level();
  return m;
}

const mission_builder& default_mission() {
  static const mission_builder m = make_default_mission();
  return m;
}

bool synth_place_mission_tables(synth_game_data& g, const mission_builder& m) {
  return synth_place_at_program(g, "spawn_table", "the stamp positions of the level maps", spawn_table,
                                m.spawn_bytes());
}

u32 block_pixel(u32 block, u32 line, u32 x) {
  u8 group[8];
  for (u32 i = 0; i < 8; ++i) group[i] = block_byte(block, line * 32 + (x / 16) * 8 + i);
  return group_pixel(group, x % 16);
}

u32 stamp_pixel(u32 stamp, u32 line, u32 x) {
  return drawn_stamps()[stamp % mission_stamp_count].at(static_cast<int>(x), static_cast<int>(line));
}

u32 ring_pixel(u32 row, u32 x) { return ram_group_pixel(bg_ring + row * ring_row_bytes + (x / 16) * 8, x % 16); }

u32 screen_pixel(u32 screen, u32 y, u32 x) { return ram_group_pixel(screen + y * 160 + (x / 16) * 8, x % 16); }

// --- the players' tables -----------------------------------------------------

player_tables::player_tables() {
  weapon_keys.fill(0xFF);
  for (u32 w = 0; w < 19; ++w) {
    ammo_types[w] = {static_cast<u8>(20 + w), 0, 0, 0};
    weapon_samples[w] = static_cast<u16>(w % 9);
  }
  for (u32 f = 0; f < 16; ++f) {
    const i16 k = static_cast<i16>(f);
    if (f < effect_shots.size())
      effect_shots[f] = {static_cast<i16>(4 + k), static_cast<i16>(-2 - k), static_cast<i16>(0x300 + k),
                         static_cast<i16>(0x400 + k)};
    throws[f] = {static_cast<i16>(6 + k), static_cast<i16>(1 + k), static_cast<i16>(k - 8),
                 static_cast<i16>(-3 - k), static_cast<i16>(60 + k)};
  }
  for (u32 k = 0; k < walk_lists.size(); ++k)
    for (u32 i = 0; i < 4; ++i) walk_lists[k][i] = static_cast<u16>(41 + 4 * k + i);
  for (u32 c = 1; c <= 15; ++c) walk_offsets[c - 1] = static_cast<u16>(8 * ((c - 1) % 8));
}

u32 player_frame_pixel(u32 frame, u32 line, u32 x) { return sheet_pixel(sheet::player, frame, line, x); }

namespace {

// player_frames as 68k data: per line four plane longs, bit 31 leftmost.
const std::vector<u8>& built_player_frames() {
  static const std::vector<u8> bytes = [] {
    std::vector<u8> b(player_frames_built * player_frame_bytes, 0);
    for (u32 f = 0; f < player_frames_built; ++f)
      for (u32 line = 0; line < 25; ++line)
        for (u32 x = 0; x < 32; ++x) {
          const u32 v = player_frame_pixel(f, line, x);
          for (u32 p = 0; p < 4; ++p)
            if (v >> p & 1) b[f * player_frame_bytes + line * 16 + p * 4 + x / 8] |= static_cast<u8>(0x80 >> (x % 8));
        }
    return b;
  }();
  return bytes;
}

} // namespace

void player_tables::put_in_ram() const {
  for (u32 k = 0; k < weapon_keys.size(); ++k) wr8(weapon_key_table + k, weapon_keys[k]);
  for (u32 w = 0; w < 19; ++w) {
    for (u32 c = 0; c < 4; ++c) wr8(ammo_type_table + 4 * w + c, ammo_types[w][c]);
    wr16(weapon_sample_table + 2 * w, weapon_samples[w]);
  }
  for (u32 f = 0; f < effect_shots.size(); ++f)
    for (u32 i = 0; i < 4; ++i) wr16(effect_shot_table + 8 * f + 2 * i, static_cast<u16>(effect_shots[f][i]));
  for (u32 f = 0; f < throws.size(); ++f)
    for (u32 i = 0; i < 5; ++i) wr16(throw_table + 10 * f + 2 * i, static_cast<u16>(throws[f][i]));
  for (u32 k = 0; k < walk_lists.size(); ++k)
    for (u32 i = 0; i < 4; ++i) wr16(walk_frame_lists + 8 * k + 2 * i, walk_lists[k][i]);
  for (u32 c = 0; c < walk_offsets.size(); ++c) wr16(walk_list_offsets + 2 * c, walk_offsets[c]);
  const std::vector<u8>& frames = built_player_frames();
  for (size_t i = 0; i < frames.size(); ++i) wr8(player_frames + static_cast<u32>(i), frames[i]);
}
