#include "support/tables/enemy_tables.h"

#include "machine/memory.h"
#include "support/machine/ram_bytes.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

constexpr u32 enemy_file_header = 28;
constexpr u32 frame_lines = 22;
constexpr u8 anim_end = 0x80;
constexpr u32 resident_first_frame = 34;

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

std::vector<u8> with_end(std::vector<u8> b, u8 end) {
  b.push_back(end);
  return b;
}

} // namespace

u32 enemy_frame_pixel(u32 f, u32 l, u32 c) { return sheet_pixel(sheet::enemy, f, l, c); }

enemy_tables::enemy_tables() {
  scripts_.push_back({0, 0, 20, 0, 1, script_fire, script_move, 20, 0xFF, 0, script_end});
  script_of_type_.assign(enemy_script_types, 0);
  for (u32 n = 0; n < enemy_animation_count; ++n) {
    if (n == 12) {
      animations_.push_back({7, anim_end});
      continue;
    }
    const u8 f = static_cast<u8>(n < 6 ? n : n + 20);
    animations_.push_back({f, static_cast<u8>(f + 1), anim_end});
  }
  for (i16 f = 0; f < 4; ++f) fire_points_.push_back({f, static_cast<i16>(4 + f), static_cast<i16>(5 + f), 8, 20});
}

bool enemy_tables::refuse(const std::string& why) {
  error = why;
  return false;
}

// Why the routines could not run the script (header, commands, end added),
// or "".
std::string enemy_tables::script_problem(const std::vector<u8>& s) const {
  if (s.size() < 6) return "a script needs its 5-byte header";
  if (s[0] >= enemy_animation_count) return "the header's animation " + std::to_string(s[0]) + " is not 0-12";
  size_t i = 5;
  while (i < s.size()) {
    const u8 c = s[i];
    if (c == script_end) return i + 1 == s.size() ? "" : "bytes after the end command";
    if (c == script_fire || c == script_grenade) {
      ++i;
      continue;
    }
    const size_t operands = c == script_move ? 3 : 4;
    if (c != script_move && c >= enemy_animation_count)
      return "command " + std::to_string(c) + " at byte " + std::to_string(i) + " starts animation " +
             std::to_string(c) + ", not 0-12";
    if (i + operands >= s.size() - 1)
      return "command " + std::to_string(c) + " at byte " + std::to_string(i) + " lacks its operands";
    i += operands + 1;
  }
  return "a script ends with its end command";
}

bool enemy_tables::script(u32 type, const std::vector<u8>& bytes) {
  if (!unchecked && type >= enemy_script_types)
    return refuse("type " + std::to_string(type) + " has no offset word (types 0-111)");
  std::vector<u8> s = with_end(bytes, script_end);
  if (!unchecked) {
    const std::string why = script_problem(s);
    if (!why.empty()) return refuse("script of type " + std::to_string(type) + ": " + why);
    size_t total = s.size();
    for (const auto& other : scripts_) total += other.size();
    if (total > enemy_script_space) return refuse("the scripts pass their 2,048 bytes");
  }
  if (type >= script_of_type_.size()) script_of_type_.resize(type + 1, 0);
  scripts_.push_back(std::move(s));
  script_of_type_[type] = static_cast<u32>(scripts_.size() - 1);
  return true;
}

bool enemy_tables::animation(u32 n, const std::vector<u8>& frames) {
  if (!unchecked) {
    if (n >= enemy_animation_count) return refuse("animation " + std::to_string(n) + " is not 0-12");
    if (frames.empty()) return refuse("animation " + std::to_string(n) + " needs a frame before its end byte");
    for (u8 f : frames)
      if (f >= enemy_frame_count) return refuse("frame " + std::to_string(f) + " is not one of the 39 built");
    size_t total = frames.size() + 1;
    for (u32 k = 0; k < animations_.size(); ++k)
      if (k != n) total += animations_[k].size();
    if (total > enemy_anim_space) return refuse("the animations pass $B293");
  }
  if (n >= animations_.size()) animations_.resize(n + 1, {anim_end});
  animations_[n] = with_end(frames, anim_end);
  return true;
}

bool enemy_tables::fire_points(const std::vector<fire_point>& points) {
  if (!unchecked)
    for (const fire_point& p : points)
      if (p.key < 0 || p.key >= static_cast<i16>(enemy_frame_count))
        return refuse("fire-point key " + std::to_string(p.key) + " is not a frame 0-38");
  fire_points_ = points;
  return true;
}

std::vector<u8> enemy_tables::script_bytes() const {
  std::vector<u8> b;
  std::vector<u32> at;
  u32 offset = 0;
  for (const auto& s : scripts_) {
    at.push_back(offset);
    offset += static_cast<u32>(s.size());
  }
  for (u32 t = 0; t < enemy_script_types; ++t) put16(b, at[t < script_of_type_.size() ? script_of_type_[t] : 0]);
  for (const auto& s : scripts_) b.insert(b.end(), s.begin(), s.end());
  return b;
}

u32 enemy_tables::script_address(u32 type) const {
  u32 offset = 0;
  const u32 index = type < script_of_type_.size() ? script_of_type_[type] : 0;
  for (u32 k = 0; k < index; ++k) offset += static_cast<u32>(scripts_[k].size());
  return enemy_script_base + offset;
}

std::vector<u8> enemy_tables::anim_bytes() const {
  std::vector<u8> offsets, data;
  for (const auto& a : animations_) {
    put16(offsets, static_cast<u32>(data.size()));
    data.insert(data.end(), a.begin(), a.end());
  }
  offsets.insert(offsets.end(), data.begin(), data.end());
  return offsets;
}

std::vector<u8> enemy_tables::fire_point_bytes() const {
  std::vector<u8> b;
  for (const fire_point& p : fire_points_)
    for (i16 v : {p.key, p.first, p.second, p.dx, p.dy}) put16(b, static_cast<u16>(v));
  for (int i = 0; i < 5; ++i) put16(b, 0xFFFF);
  return b;
}

std::vector<u8> enemy_tables::frame_bytes() const {
  std::vector<u8> b(enemy_frame_count * enemy_frame_bytes, 0);
  for (u32 f = 0; f < enemy_frame_count; ++f)
    for (u32 l = 0; l < frame_lines; ++l)
      for (u32 p = 0; p < 3; ++p) {
        u32 w = 0;
        for (u32 c = 0; c < 16; ++c)
          if (enemy_frame_pixel(f, l, c) >> p & 1) w |= 0x8000u >> c;
        const u32 at = enemy_frame_bytes * f + 6 * l + 2 * p;
        b[at] = static_cast<u8>(w >> 8);
        b[at + 1] = static_cast<u8>(w);
      }
  return b;
}

std::vector<u8> enemy_tables::enemy_file() const {
  std::vector<u8> file(enemy_file_header, 0);
  const std::vector<u8> frames = frame_bytes();
  file.insert(file.end(), frames.begin(), frames.end());
  return file;
}

void enemy_tables::put_in_ram() const {
  put_bytes(enemy_script_offsets, script_bytes());
  put_bytes(enemy_anim_offsets, anim_bytes());
  put_bytes(enemy_fire_points, fire_point_bytes());
  const std::vector<u8> frames = frame_bytes();
  put_bytes(enemy_frames, frames);
  // So that a later load by loader 2 keeps the same frames 34-38.
  put_bytes(enemy_frames_resident,
            std::vector<u8>(frames.begin() + resident_first_frame * enemy_frame_bytes, frames.end()));
}

bool enemy_tables::place(synth_game_data& g) const {
  return synth_place_at_program(g, "enemy_scripts", "the enemy script table and scripts", enemy_script_offsets,
                                script_bytes()) &&
         synth_place_at_program(g, "enemy_anims", "enemy_anim_offsets and the animations", enemy_anim_offsets,
                                anim_bytes()) &&
         synth_place_at_program(g, "enemy_fire_points", "enemy_fire_points", enemy_fire_points,
                                fire_point_bytes());
}
