// Plays the game's side of a mission frame through the hook points, with
// the registers set in g_cpu as the recompiled code would leave them: frame
// start, background, a unit's drawing routine (entry, the test drawing the
// object's planes into the screen, exit or return point), frame end. Also
// writes pictures into the game's graphics tables.
#pragma once
#include <functional>
#include <vector>

#include "support/synthetic/st_planes.h"

constexpr u32 script_screen = 0x18000;
constexpr u32 script_stack = 0xF000;  // a7 while a unit is drawn
constexpr u32 script_records = 0x30000;  // free RAM for object records

// The capture's hooks installed, the screen base at $28E, a black screen.
void script_begin();

void script_frame_start(u32 vbl, bool vertical = true);
void script_frame_end(bool vertical = true);
// Ring row in byte $281 (scroll word $280), the ring from `ring` when given
// (256 x 192 indices).
void script_vertical_background(int ring_row, const idx_picture* ring = nullptr, u16 section = 0);
// Fine scroll in bits 1-4 of word $24A; the 64 x 32 band from `band` when given.
void script_horizontal_background(int hscroll, const idx_picture* band = nullptr);

// One call of a drawing routine: the record's words stored at `record`, the
// kind's register pointing at it (turrets: a6 + d6), the entry hook, draw()
// on the ST screen, then the exit hook, or for the kinds finished at their
// caller's return address that address, stacked at a7 on entry.
void script_unit(int kind, u32 record, const std::vector<u16>& words, const std::function<void(u8*)>& draw);
u8* script_screen_bytes();

// The return address the script stacks for the kinds finished on return.
u32 script_return_point(int kind);

// A picture for the unit key (kind, id, frame byte) in the game's tables: a
// w x h block of `index` at (x0, y0) of the table picture; bit 3 of the
// index is lost in 3-plane tables. Returns nothing for the dot kinds.
void script_table_block(int kind, int id, int frame_byte, int x0, int y0, int w, int h, int index);
