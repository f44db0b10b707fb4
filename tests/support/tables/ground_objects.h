// Synthetic tables of the vertical sections' ground objects, for tests that
// have no game data: the pictures of installations, debris and vehicles,
// the fire patterns, the turret steps at $7084 and the vehicles' wreck
// lists, and the vehicle events of the mission event stream.
//
//   ground_objects g;                      // defaults below
//   g.wreck_lists[0] = {wreck_explosion(4, 8), wreck_debris(2, 10, 20, 5)};
//   ASSERT_TRUE(g.put_in_ram()) << g.error;
//
// Pictures: the labelled frames of support/synthetic/sprite_sheets.h (picture_word
// gives their plane words): the frame's letters and number near its
// top-left, its box outlined, diagonal stripes inside that put transparent
// pixels (colour 0) on every line and set bits of every plane into every
// group of every line inside the box, so a group drawn from the wrong
// frame, line or group or through the wrong mask shows; the middle groups of the 64-pixel vehicle pictures are
// drawn without their mask, which copies their colour 0 over the ground.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "machine/types.h"

// The picture tables, by the frames, lines and groups they hold.
enum class ground_picture { installation, debris, vehicle_a, vehicle_b, vehicle_type6, vehicle_type4 };
struct picture_layout {
  u32 address;
  u32 frames;
  u32 lines;
  u32 groups;
  bool interleaved; // installations: plane 0 left, plane 0 right, plane 1 left ...
};
picture_layout layout_of(ground_picture p);
// Plane word p (0-3) of group g of line l of frame f, as the builder made it.
u16 picture_word(ground_picture p, u32 frame, u32 line, u32 group, u32 plane);
// The 68k address of that plane word.
u32 picture_word_address(ground_picture p, u32 frame, u32 line, u32 group, u32 plane);

struct fire_entry {
  i16 dx, dy, step_x, step_y, delay;
};

// One item of a wreck list: code 1 = explosion {dx, dy}; another code
// below $8000 = debris {dx, dy, start delay}.
struct wreck_item {
  u16 code;
  i16 dx, dy;
  u16 delay; // debris only
};
inline wreck_item wreck_explosion(i16 dx, i16 dy) { return {1, dx, dy, 0}; }
inline wreck_item wreck_debris(u16 code, i16 dx, i16 dy, u16 delay) { return {code, dx, dy, delay}; }

constexpr std::array<u32, 4> wreck_list_addresses = {0x00738A, 0x007400, 0x007476, 0x0074C4};
constexpr u32 wreck_lists_end = 0x0074F0; // the next routine's code

struct ground_objects {
  // Defaults: entry i of installation pattern s is {dx 4i + s, dy 2i - 3,
  // steps (s + 1, i - 4), delay 1}; the vehicle's {8i, 3i + 10, -i, 2,
  // delay 2}; turret step k (k - 10, 20 - k); wreck list n one explosion
  // at (n, 2n) and one debris of code 2 at (3n, 4n) with delay n.
  std::array<std::array<fire_entry, 8>, 2> installation_patterns;
  std::array<fire_entry, 8> vehicle_pattern;
  std::array<std::array<i16, 2>, 20> turret_steps;
  std::array<std::vector<wreck_item>, 4> wreck_lists;
  std::string error;

  ground_objects();
  // Refused (false, with error set) when a wreck list's end code would
  // not lie before the next list.
  bool check();
  // Everything into RAM; nothing written when check() refuses.
  bool put_in_ram();
  // The tables of the game image (fire patterns, turret steps, wreck
  // lists): address and bytes; empty when check() refuses.
  struct table_bytes {
    const char* name;
    u32 address;
    std::vector<u8> bytes;
  };
  std::vector<table_bytes> program_tables();
};

// Places the tables of the game image as program-block regions of the
// synthetic game data (the pictures lie in the graphics the loaders unpack).
struct synth_game_data;
bool synth_place_ground_object_tables(synth_game_data& g, ground_objects o = {});

// A vehicle event of the mission stream: trigger, command 246-252, the
// five argument bytes and the attachment list (four bytes an item) ended
// by $FF.
struct mounted_unit {
  u8 kind, x, y, step;
};
struct vehicle_event_spec {
  u8 trigger = 0;
  u8 command = 246;
  u8 x = 48;  // a multiple of 16: the picture sits on a group
  u8 y = 0;
  u8 speed = 1;
  u8 height = 40;
  u8 width = 60;
  std::vector<mounted_unit> units = {};
  bool unchecked = false; // builds what is refused below
};
// Refuses (false, error set, out untouched) a command outside 246-252,
// more than six units, a height above 90 (the frames hold 90 lines), an x
// byte that is not a multiple of 16, a unit kind with bit 7 set (it would
// end the list) and mounted units on x bytes of 156 or more (their kind
// would reach 256 and up).
bool vehicle_event(const vehicle_event_spec& v, std::vector<u8>& out, std::string& error);
