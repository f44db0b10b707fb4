#include "support/tables/hsection_tables.h"

#include <gtest/gtest.h>

#include "machine/memory.h"
#include "support/synthetic/sprite_sheets.h"

namespace {

constexpr u32 list_addresses[6] = {0x005704, 0x00576A, 0x0057BC, 0x005860, 0x0058B2, 0x005904};
constexpr u32 entry_bytes = 10;
constexpr u32 first_type = 234;
constexpr u32 picture_bytes = 128;

} // namespace

u32 pattern_list_address(u32 type) { return list_addresses[type - first_type]; }

hsection_tables::hsection_tables() {
  for (auto& l : lists_) l = {{0, 0, 1, 1, 1}};
}

bool hsection_tables::pattern(u32 type, const std::vector<pattern_entry>& entries) {
  if (type < first_type || type > first_type + 4) {
    error = "pattern lists are for types 234-238";
    return false;
  }
  const u32 k = type - first_type;
  const u32 room = list_addresses[k + 1] - list_addresses[k];
  if (!unchecked && entries.size() * entry_bytes + 2 > room) {
    error = "the list and its end mark run into the next list";
    return false;
  }
  bool any_delay = false;
  for (const pattern_entry& e : entries) {
    any_delay |= e.delay != 0;
    if (static_cast<u16>(e.dx) == 0xFFFF && !unchecked) {
      error = "an entry whose first word is the end mark";
      return false;
    }
  }
  if (!unchecked && !any_delay) {
    error = "no entry with a non-zero delay: the list would fire for ever in one frame";
    return false;
  }
  lists_[k] = entries;
  return true;
}

void hsection_tables::put_in_ram() const {
  for (u32 k = 0; k < 5; ++k) {
    u32 at = list_addresses[k];
    for (const pattern_entry& e : lists_[k]) {
      const u16 w[5] = {static_cast<u16>(e.dx), static_cast<u16>(e.dy), static_cast<u16>(e.a),
                        static_cast<u16>(e.b), e.delay};
      for (u16 v : w) {
        wr16(at, v);
        at += 2;
      }
    }
    wr16(at, 0xFFFF);
  }
  for (u32 k = 0; k < object_pictures_built; ++k)
    for (u32 l = 0; l < 16; ++l)
      for (u32 p = 0; p < 4; ++p) {
        u32 word = 0;
        for (u32 x = 0; x < 16; ++x)
          if (object_picture_pixel(k, l, x) >> p & 1) word |= 0x8000u >> x;
        wr16(object_pictures_address + k * picture_bytes + 8 * l + 2 * p, word);
      }
}

std::vector<u8> installation_event(u8 trigger, u8 type, u8 x, u8 y, bool any_y) {
  EXPECT_TRUE(any_y || y <= 168) << "an installation below line 168 runs off the screen";
  EXPECT_TRUE(type >= 234 && type <= 239);
  return {trigger, type, x, y};
}

std::vector<u8> object_event(u8 trigger, u8 kind, u8 x, u8 y, bool any_y) {
  EXPECT_TRUE(any_y || y <= 184) << "an object below line 184 runs off the screen";
  EXPECT_TRUE(kind >= 240 && kind <= 245);
  return {trigger, kind, x, y};
}

u32 object_picture_pixel(u32 k, u32 line, u32 x) { return sheet_pixel(sheet::object, k, line, x); }

void put_installation_frames() {
  for (u32 f = 0; f < 6; ++f)
    for (u32 l = 0; l < 32; ++l)
      for (u32 p = 0; p < 4; ++p)
        for (u32 half = 0; half < 2; ++half) {
          u32 word = 0;
          for (u32 x = 0; x < 16; ++x)
            if (installation_frame_pixel(f, l, 16 * half + x) >> p & 1) word |= 0x8000u >> x;
          wr16(installation_frames_address + f * 512 + 16 * l + 4 * p + 2 * half, word);
        }
}

u32 installation_frame_pixel(u32 frame, u32 line, u32 x) { return sheet_pixel(sheet::installation, frame, line, x); }
