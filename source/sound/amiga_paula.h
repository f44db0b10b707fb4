// Paula's four audio channels with their DMA, and CIA-A port A, as the
// Amiga replay reaches them through its chip-register accesses. Emulation
// thread only.
#pragma once
#include "machine/types.h"

struct paula_channel {
  u32 location;  // start address latch, even, below $80000
  u32 pointer;
  u16 length;    // words (latch)
  u16 remaining; // words
  u16 period;
  u16 volume;    // 0..127
  i32 active;    // DMA running
  i32 phase;     // 1: the next output byte needs a new word
  i16 word;
  i32 countdown; // Paula ticks to the next output byte
  i8 sample;
};

constexpr u32 cia_a_pra = 0xBFE001;
constexpr u32 cia_filter_off = 0x02; // port A bit 1
constexpr u32 custom_first = 0xDFF000, custom_last = 0xDFFFFF;
constexpr u32 reg_dmaconr = 0x002;
constexpr u32 reg_dmacon = 0x096;
constexpr u32 reg_aud0 = 0x0A0; // + 16 per channel
constexpr u16 dma_set = 0x8000, dma_enable = 0x0200;

struct paula_state {
  paula_channel ch[4];
  u16 dmacon;
  u8 cia_pra;
};

extern paula_state paula;

void paula_reset();
// One Paula clock tick: every active channel counts down and, at 0, moves
// on to its next output byte, read from mem (the 512 KB Amiga memory).
void paula_tick(const u8* mem);

u32 paula_io_read(u32 address, int size);
void paula_io_write(u32 address, int size, u32 value);
