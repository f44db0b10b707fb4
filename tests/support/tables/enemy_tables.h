// Synthetic tables of the enemies: the script table (signed offsets at
// $3A8E from $3B6E, then the scripts), the animations ($B20E offsets, the
// frame bytes in $B228-$B293), the fire points at $B294 and the enemy
// frames (bank 0 at $5E60A: 39 frames of 22 lines of three plane words),
// with defaults a test can tell apart, for tests that have no game data:
//
//   enemy_tables t;                               // defaults below
//   t.script(7, {2, 9, 30, 1, 0, 254, 252, 4, 0, 1}); // header, commands; 255 added
//   t.animation(2, {5, 6, 7});                    // frames; the end byte added
//   t.fire_points({{5, 3, 4, 8, 20}});            // the negative key added
//   t.put_in_ram();                               // then run $891C for banks 1-7
//
// Every call checks what the routines need and refuses the rest (false,
// with `error` set and nothing changed): script types 0-111 (the offset
// words end where the scripts begin), animation numbers 0-12 in headers
// and commands, whole commands, all scripts in 2,048 bytes; animations of
// at least one frame of 0-38 (the frames built), all thirteen in the 108
// bytes, the dying animations 3, 4, 10 and 11 present; fire-point keys 0-38.
// `unchecked = true` lets a test build bad data on purpose.
//
// Defaults: every type plays script 0: animation 0, a 20-step walk down,
// one burst, a 20-step walk left, the end. Animation n: frames n, n + 1
// (n + 20, n + 21 from 6 on, so the frames above 16 that choose the dying
// animation show); animation 12 the single frame 7. A fire point for
// frames 0-3 (first value 4 + f, second 5 + f, offsets (8, 20)). Frame f
// line l pixel c: colour 8 + v, v = enemy_frame_pixel (0 transparent): the
// labelled frame "E" f of support/synthetic/sprite_sheets.h, its number different for
// every frame and its mark, label and stripes asymmetric both ways, so
// shifts and edge rotations show.
#pragma once
#include <string>
#include <vector>

#include "machine/types.h"
#include "support/synthetic/synthetic_game_data.h"

constexpr u32 enemy_script_offsets = 0x003A8E;
constexpr u32 enemy_script_base = 0x003B6E;
constexpr u32 enemy_anim_offsets = 0x00B20E;
constexpr u32 enemy_anims = 0x00B228;
constexpr u32 enemy_fire_points = 0x00B294;
constexpr u32 enemy_frames = 0x05E60A;
// Loader 2 lays the five frames from here over frames 34-38.
constexpr u32 enemy_frames_resident = 0x0466B6;

constexpr u32 enemy_script_types = 112;
constexpr u32 enemy_script_space = 2048;
constexpr u32 enemy_animation_count = 13;
constexpr u32 enemy_anim_space = 108;
constexpr u32 enemy_frame_count = 39;
constexpr u32 enemy_frame_bytes = 132;

// Script command bytes.
constexpr u8 script_end = 255, script_fire = 254, script_grenade = 253, script_move = 252;

struct fire_point {
  i16 key; // the frame
  i16 first, second;
  i16 dx, dy;
};

class enemy_tables {
 public:
  bool unchecked = false;
  std::string error;

  enemy_tables();
  // The script of a type: the 5-byte header and the commands; the end
  // command 255 is added.
  bool script(u32 type, const std::vector<u8>& bytes);
  // Animation n's frame bytes; the end byte $80 is added.
  bool animation(u32 n, const std::vector<u8>& frames);
  // The whole fire-point table; the ending record (key -1) is added.
  bool fire_points(const std::vector<fire_point>& points);

  // The bytes from $3A8E (offset words, then the scripts), from $B20E
  // (offsets, then the animations) and from $B294.
  std::vector<u8> script_bytes() const;
  std::vector<u8> anim_bytes() const;
  std::vector<u8> fire_point_bytes() const;
  // Bank 0 (39 frames) and the enemy file of loader 2 (28 bytes, then the
  // frames), whose frames 34-38 the loader replaces with those at $466B6.
  std::vector<u8> frame_bytes() const;
  std::vector<u8> enemy_file() const;
  // Where type t's script lies.
  u32 script_address(u32 type) const;

  // The tables, bank 0 and the resident copy of frames 34-38 into RAM.
  void put_in_ram() const;
  // The game-image tables ($3A8E, $B20E, $B294) as program-block regions.
  bool place(synth_game_data& g) const;

 private:
  bool refuse(const std::string& why);
  std::string script_problem(const std::vector<u8>& s) const;
  std::vector<std::vector<u8>> scripts_;      // by script index
  std::vector<u32> script_of_type_;           // type -> script index
  std::vector<std::vector<u8>> animations_;   // end bytes included
  std::vector<fire_point> fire_points_;
};

// v (0-7) of pixel c (0-15) of line l (0-21) of frame f; 0 is transparent.
u32 enemy_frame_pixel(u32 f, u32 l, u32 c);
