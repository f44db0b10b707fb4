// The game's sprite tables as the synthetic data draws them: every frame a
// labelled sprite (support/synthetic/picture_drawing.h) with the table's letter and
// the frame's number, outlined in a colour of its kind, with a faint
// diagonal hatch inside (which tells a mirrored or shifted copy, and a line
// drawn from the wrong place, at a glance). The builders of the resident
// graphics and of the tests' tables in RAM both take their pixels here.
//
//   u32 c = sheet_pixel(sheet::explosion, frame, line, x);   // 0 transparent
//   sheet_frame_bytes(sheet::player, 5, ram + player_frames + 5 * 400);
#pragma once
#include <vector>

#include "machine/types.h"

enum class sheet {
  player,       // $2F91C: 128 frames (the game's 92 and room for tests), 32 x 25, player layout
  explosion,    // $388DC: 11 frames, 32 x 22, two groups of three planes
  weapon,       // $39434: 19 pictures, 16 x 59 (the panel's weapon)
  debris,       // $3C13C: 5 frames, 48 x 40
  vehicle_a,    // $3D3FC: 2 frames, 64 x 90
  vehicle6,     // $3EA7C: 2 frames, 32 x 48
  vehicle_b,    // $3F07C: 2 frames, 64 x 90
  vehicle4,     // $406FC: 2 frames, 48 x 63
  homing,       // $412CC: 2 kinds of 9 frames, 16 x 16
  goal,         // $434B6: 3 pictures, 32 x 25
  mission,      // $44776: 12 pictures, 32 x 21 (the panel's mission)
  installation, // $45736: 6 frames, 32 x 32, player layout
  object,       // $46336: 6 pictures, 16 x 16
  enemy,        // $5E60A: 39 frames, 16 x 22, three planes (34-38 also at $466B6)
  shot,         // $4694A: 29 frames, 16 x 9, three planes; 8 pixels wide but frame 0
  effect,       // $46F68 (copied to $49A3A): 12 pictures, 16 x 16
};

struct sheet_layout {
  const char* label; // the letters before a frame's number
  u32 address;       // of frame 0 where the game keeps the table
  u32 frames;
  u32 width, lines;
  u32 planes;        // 3 or 4
  bool player_order; // a line is plane 0 left, plane 0 right, plane 1 left ...; else group after group
};
const sheet_layout& sheet_layout_of(sheet s);
// Bytes of one frame.
inline u32 sheet_frame_size(const sheet_layout& l) { return l.lines * (l.width / 16) * l.planes * 2; }

// Colour of pixel x of a line of a frame; 0 is transparent. The top-left
// pixel is the frame's mark: a player frame's is 1 + frame mod 15.
u32 sheet_pixel(sheet s, u32 frame, u32 line, u32 x);
// The frame in the table's own layout, written from `to`.
void sheet_frame_bytes(sheet s, u32 frame, u8* to);

// Draws every table that the resident graphics hold (from $2E000) into
// them, player frames and installations in the order the cold start
// re-orders, and the border beside the playfield ($2E01C: a ruler with the
// line numbers); the other bytes are left as they are.
void draw_resident_sheets(std::vector<u8>& resident, u32 resident_address);
