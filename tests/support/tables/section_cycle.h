// A mission of three sections for the horizontal engine's checks: a
// vertical section V0, a horizontal section H0 and a second vertical
// section V1 (maps 0 and 1, streams 0, 1 and 2 of level_table), the
// mission word that decides H0's direction, the game code bytes the host's
// scroll fix looks for, and a joystick that pushes the scroll on.
//
//   section_cycle_options o;
//   o.mission_word = 0;                  // H0 scrolls with a positive step
//   const mission_builder m = section_cycle_mission(o);
//   section_cycle_put(m, o);             // data, $24C and the code bytes
//   ... between slices: push_the_scroll();
#pragma once
#include "game/game_ram.h"
#include "machine/types.h"
#include "support/tables/mission_builder.h"

constexpr u32 hscroll_step = 0x000248;     // word, signed: +2, -2, or 0 in vertical sections
constexpr u32 hscroll_word = 0x00024A;     // word: the fine scroll
// mission_word ($24C, game_ram.h): +1 per horizontal section; odd scrolls left
constexpr u32 scroll_fix_code = 0x004A3C;  // the game code the host's scroll fix checks
constexpr u32 scroll_fix_bytes = 0x3E3C0013;

struct section_cycle_options {
  u16 mission_word = 0;       // $24C as the mission data load leaves it
  u8 v0_block = 2;            // V0's first block byte (level_map_prefill's filler)
  // F1: V0's last block (the byte the map reader takes last before the
  // switch) differs from its first; by default they are equal.
  bool last_block_differs = false;
  u8 v0_last_block = 4;       // used when last_block_differs
};

// V0: 36 rows, the first (v0_block, 1, 3), then blocks 0-5, and a last row
// whose last block is v0_block (or v0_last_block); V1: rows of block 5; no events.
mission_builder section_cycle_mission(const section_cycle_options& o = {});
// The block the band of H0 shows (the last byte the map reader took).
u8 section_cycle_band_block(const section_cycle_options& o);
// The mission data, the mission word and the code bytes at $4A3C into RAM.
void section_cycle_put(const mission_builder& m, const section_cycle_options& o);

// What the host's scroll fix does, as a hook handler for $4A50: when the
// game code at $4A3C is the one it knows, the x words of every explosion
// and installation record (a5-relative) move by d5.w.
void scroll_fix(u32 address);

// The joystick bytes of both players: up in a vertical section; right or
// left by the sign of hscroll_step in a horizontal one; never fire.
void push_the_scroll();
