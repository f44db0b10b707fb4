#include "support/tables/ground_objects.h"

#include "machine/memory.h"
#include "support/synthetic/picture_drawing.h"
#include "support/synthetic/sprite_sheets.h"
#include "support/synthetic/synthetic_game_data.h"

namespace {

constexpr u32 installation_patterns_at = 0x00A486;
constexpr u32 vehicle_pattern_at = 0x00AEF6;
constexpr u32 turret_steps_at = 0x007084;
constexpr u16 list_end = 0xFFFF;

u32 item_bytes(const wreck_item& i) { return i.code == 1 ? 6 : 8; }

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

void put_entry(std::vector<u8>& b, const fire_entry& e) {
  for (i16 w : {e.dx, e.dy, e.step_x, e.step_y, e.delay}) put16(b, static_cast<u16>(w));
}

} // namespace

picture_layout layout_of(ground_picture p) {
  switch (p) {
  case ground_picture::installation: return {0x045736, 6, 32, 2, true};
  case ground_picture::debris: return {0x03C13C, 5, 40, 3, false};
  case ground_picture::vehicle_a: return {0x03D3FC, 2, 90, 4, false};
  case ground_picture::vehicle_b: return {0x03F07C, 2, 90, 4, false};
  case ground_picture::vehicle_type6: return {0x03EA7C, 2, 48, 2, false};
  case ground_picture::vehicle_type4: return {0x0406FC, 2, 63, 3, false};
  }
  return {};
}

u16 picture_word(ground_picture p, u32 frame, u32 line, u32 group, u32 plane) {
  constexpr sheet sheets[] = {sheet::installation, sheet::debris,   sheet::vehicle_a,
                              sheet::vehicle_b,    sheet::vehicle6, sheet::vehicle4};
  const sheet s = sheets[static_cast<u32>(p)];
  return plane_word([&](u32 x) { return sheet_pixel(s, frame, line, 16 * group + x); }, plane);
}

u32 picture_word_address(ground_picture p, u32 frame, u32 line, u32 group, u32 plane) {
  const picture_layout l = layout_of(p);
  const u32 line_size = l.groups * 8;
  const u32 in_line = l.interleaved ? plane * 4 + group * 2 : group * 8 + plane * 2;
  return l.address + (frame * l.lines + line) * line_size + in_line;
}

ground_objects::ground_objects() {
  for (int s = 0; s < 2; ++s)
    for (int i = 0; i < 8; ++i)
      installation_patterns[s][i] = {static_cast<i16>(4 * i + s), static_cast<i16>(2 * i - 3), static_cast<i16>(s + 1),
                                     static_cast<i16>(i - 4), 1};
  for (int i = 0; i < 8; ++i)
    vehicle_pattern[i] = {static_cast<i16>(8 * i), static_cast<i16>(3 * i + 10), static_cast<i16>(-i), 2, 2};
  for (int k = 0; k < 20; ++k) turret_steps[k] = {static_cast<i16>(k - 10), static_cast<i16>(20 - k)};
  for (int n = 0; n < 4; ++n)
    wreck_lists[n] = {wreck_explosion(static_cast<i16>(n), static_cast<i16>(2 * n)),
                      wreck_debris(2, static_cast<i16>(3 * n), static_cast<i16>(4 * n), static_cast<u16>(n))};
}

bool ground_objects::check() {
  for (u32 n = 0; n < 4; ++n) {
    u32 bytes = 2;
    for (const wreck_item& i : wreck_lists[n]) {
      if (i.code >= 0x8000) {
        error = "wreck list " + std::to_string(n) + ": a code of $8000 or more would end it early";
        return false;
      }
      bytes += item_bytes(i);
    }
    const u32 next = n + 1 < 4 ? wreck_list_addresses[n + 1] : wreck_lists_end;
    if (wreck_list_addresses[n] + bytes > next) {
      error = "wreck list " + std::to_string(n) + ": its end code would not lie before the next list";
      return false;
    }
  }
  return true;
}

bool ground_objects::put_in_ram() {
  if (!check()) return false;
  for (ground_picture p : {ground_picture::installation, ground_picture::debris, ground_picture::vehicle_a,
                           ground_picture::vehicle_b, ground_picture::vehicle_type6, ground_picture::vehicle_type4}) {
    const picture_layout l = layout_of(p);
    for (u32 f = 0; f < l.frames; ++f)
      for (u32 line = 0; line < l.lines; ++line)
        for (u32 g = 0; g < l.groups; ++g)
          for (u32 plane = 0; plane < 4; ++plane)
            wr16(picture_word_address(p, f, line, g, plane), picture_word(p, f, line, g, plane));
  }
  for (const table_bytes& t : program_tables())
    for (u32 i = 0; i < t.bytes.size(); ++i) wr8(t.address + i, t.bytes[i]);
  return true;
}

std::vector<ground_objects::table_bytes> ground_objects::program_tables() {
  if (!check()) return {};
  std::vector<table_bytes> r;
  std::vector<u8> b;
  for (const auto& pattern : installation_patterns)
    for (const fire_entry& e : pattern) put_entry(b, e);
  r.push_back({"installation_fire_patterns", installation_patterns_at, b});
  b.clear();
  for (const fire_entry& e : vehicle_pattern) put_entry(b, e);
  r.push_back({"vehicle_fire_pattern", vehicle_pattern_at, b});
  b.clear();
  for (const auto& step : turret_steps)
    for (i16 w : step) put16(b, static_cast<u16>(w));
  r.push_back({"turret_steps", turret_steps_at, b});
  const char* names[4] = {"wreck_list_0", "wreck_list_2", "wreck_list_4", "wreck_list_other"};
  for (u32 n = 0; n < 4; ++n) {
    b.clear();
    for (const wreck_item& i : wreck_lists[n]) {
      put16(b, i.code);
      put16(b, static_cast<u16>(i.dx));
      put16(b, static_cast<u16>(i.dy));
      if (i.code != 1) put16(b, i.delay);
    }
    put16(b, list_end);
    r.push_back({names[n], wreck_list_addresses[n], b});
  }
  return r;
}

bool synth_place_ground_object_tables(synth_game_data& g, ground_objects o) {
  const std::vector<ground_objects::table_bytes> tables = o.program_tables();
  if (tables.empty()) {
    g.error = o.error;
    return false;
  }
  for (const auto& t : tables)
    if (!synth_place_at_program(g, t.name, "a table of the vertical sections' ground objects", t.address, t.bytes))
      return false;
  return true;
}

bool vehicle_event(const vehicle_event_spec& v, std::vector<u8>& out, std::string& error) {
  if (!v.unchecked) {
    if (v.command < 246 || v.command > 252) return error = "a vehicle command is 246-252", false;
    if (v.units.size() > 6) return error = "a vehicle carries at most six units", false;
    if (v.height > 90) return error = "the vehicle pictures hold 90 lines", false;
    if (v.x % 16 != 0) return error = "the x byte of a vehicle is a multiple of 16", false;
    if (!v.units.empty() && v.x >= 156) return error = "units mounted on x bytes from 156 get a kind of 256 or more", false;
    for (const mounted_unit& u : v.units)
      if (u.kind & 0x80) return error = "a unit kind with bit 7 set ends the list", false;
  }
  out = {v.trigger, v.command, v.x, v.y, v.speed, v.height, v.width};
  for (const mounted_unit& u : v.units) out.insert(out.end(), {u.kind, u.x, u.y, u.step});
  out.push_back(0xFF);
  return true;
}
