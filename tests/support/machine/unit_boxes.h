// Where a unit hook's drawing may land: the box of the unit's picture as
// its drawing routine reads it from the record (position, and the frame
// size of its table), and a check that a drawing changed no screen byte
// outside it. ST blits write whole 16-pixel plane words, so the box is
// widened to the columns it touches; lines are exact.
//
//   unit_box box = unit_picture_box("enemy", record);   // at the entry hook
//   ... the routine draws ...
//   std::string fault = drawn_outside(box, before, ram + screen); // at the exit
#pragma once
#include <string>

#include "machine/types.h"

// Pixels and lines inclusive; `kind` empty when the kind is unknown.
struct unit_box {
  std::string kind;
  u32 record = 0;
  int left = 0, right = -1;  // screen pixels
  int top = 0, bottom = -1;  // screen lines (line 200 and on: the spare bytes below the screen)
};

// A screen buffer with the spare lines that follow it (the buffers lie
// 32,768 bytes apart): everything a drawing routine may reach.
constexpr u32 unit_screen_span = 0x8000;

// The kinds of the unit hooks: "player", "enemy", "obj5e32", "obj5f1a",
// "fx", "veh", "veh6", "veh4", "bullet", "bullet2", "boom", "turret".
unit_box unit_picture_box(const std::string& kind, u32 record);

// For a free record passing its hooks: a box that holds no byte at all.
unit_box unit_empty_box(const std::string& kind, u32 record);

// "" when every byte of the span that differs between `before` and `after`
// lies in a line of the box and a 16-pixel column it touches; else the
// first such byte, its line and column, and the box.
std::string drawn_outside(const unit_box& box, const u8* before, const u8* after);
