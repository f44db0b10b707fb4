// The game-image tables of the horizontal sections' installations and
// objects: the five pattern lists of the firing installation types and the
// objects' pictures, and the stream events that place both.
//
//   hsection_tables t;
//   t.pattern(234, {{4, 6, 1, 2, 0}, {0, 0, 3, 3, 5}});   // the $FFFF is added
//   t.put_in_ram();
//   m.stream({installation_event(10, 234, 200, 40), object_event(12, 242, 100, 60)});
//
// A pattern list is refused (false, `error` set, nothing changed) unless it
// fits before the next list with its end mark and holds an entry with a
// non-zero delay (a list without one fires for ever in one frame unless the
// game guards against it): `unchecked = true` builds it all the same.
// Defaults: every list {0, 0, 1, 1, 1}. Object picture k (kind 240 + k)
// is the labelled frame "O" k of support/synthetic/sprite_sheets.h, with transparent
// holes on every line.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "machine/types.h"

struct pattern_entry {
  i16 dx, dy, a, b;
  u16 delay;
};

constexpr u32 object_pictures_address = 0x046336;
constexpr u32 object_pictures_built = 6;

class hsection_tables {
 public:
  bool unchecked = false;
  std::string error;
  hsection_tables();
  bool pattern(u32 type, const std::vector<pattern_entry>& entries); // types 234-238
  void put_in_ram() const;

 private:
  std::array<std::vector<pattern_entry>, 5> lists_;
};

// The address of the pattern list of a firing type (234-238).
u32 pattern_list_address(u32 type);

// Stream events (trigger, command, x, y). Installations keep y at most 168
// and objects at most 184, so that their pictures end on the screen,
// unless `any_y` is set.
std::vector<u8> installation_event(u8 trigger, u8 type, u8 x, u8 y, bool any_y = false);
std::vector<u8> object_event(u8 trigger, u8 kind, u8 x, u8 y, bool any_y = false);

// Colour (0 = transparent) of pixel x (0-15) of line (0-15) of object
// picture k.
u32 object_picture_pixel(u32 k, u32 line, u32 x);

// installation_frames ($45736, shared with the vertical installations):
// frames 0-5, 32 x 32 pixels, the labelled frames "T" 0-5 with transparent
// holes on every line.
constexpr u32 installation_frames_address = 0x045736;
void put_installation_frames();
u32 installation_frame_pixel(u32 frame, u32 line, u32 x); // x 0-31
