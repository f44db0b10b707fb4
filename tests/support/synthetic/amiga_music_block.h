// A synthetic Amiga music block in the replay's layout (61,166 bytes at
// $51762): command table, variables, note factors, arpeggio tables,
// envelopes, ten samples, a song table, effect definitions and volume
// lists, with made-up content. Tests write tunes and effects of their own
// into its free data area. The last four bytes stay free for the seal that
// gives the block the CRC the disk reader accepts.
#pragma once
#include <array>
#include <vector>

#include "machine/types.h"

// Command bytes as the synthetic command table maps them.
namespace am_cmd {
constexpr u8 next_sequence = 0x80, slide = 0x81, rest = 0x82, tie = 0x83, transpose = 0x84,
             vibrato_on = 0x85, vibrato_off = 0x86, transpose_voice = 0x87, order_list = 0x88,
             speed = 0x89, fade = 0x8A;
// A command whose table entry is no handler.
constexpr u8 untranslated = 0x8B;
constexpr u32 untranslated_target = 0x51764;
constexpr u8 arpeggio = 0x90, envelope = 0xA0, sample = 0xB0; // + n
constexpr u8 duration = 0xDF;                                  // + 1..32 units
} // namespace am_cmd

struct am_sample_spec {
  u32 bytes;  // length in bytes (even)
  u16 rate;   // Hz
  i32 loop;   // loop offset in bytes; negative: no loop
};

// One effect definition (the first 24 bytes of an sfx_channel).
struct am_effect {
  i16 slide = 0;
  u16 reset_period = 0;
  i16 step_a = 0, step_b = 0;
  u16 period = 400;
  i16 wave_a = 0, wave_b = 0;
  u8 reset_interval = 0, pattern_interval = 0, pattern_bits = 0, wave_bits = 0;
  u8 duration = 0, volume_interval = 1;
  i8 volume_list = 0;
  u16 wave_length = 16;
};

// Per voice, the sequences of its order list.
using am_voices = std::array<std::vector<std::vector<u8>>, 4>;

struct amiga_block {
  std::vector<u8> bytes; // index = Amiga address - $51762
  u32 next_free;         // next free address of the data area

  void put8(u32 address, u32 v);
  void put16(u32 address, u32 v);
  void put32(u32 address, u32 v);
  u32 get8(u32 address) const;
  u32 get16(u32 address) const;
  u32 get32(u32 address) const;
  // Copies data into the free data area; its Amiga address.
  u32 add(const std::vector<u8>& data);
  // Offset from the base, as the music data stores addresses.
  static u16 offset(u32 address);

  // A tune: speed, tempo, and per voice the sequences of its order list
  // (each sequence's stream, the list repeating from its first entry).
  void tune(int n, i8 speed, u8 tempo, const am_voices& voices);
  // An order list of the given sequences with its 0 end; its address.
  u32 order_list(const std::vector<u32>& sequences);
  void envelope(int n, u8 interval, const std::vector<u8>& entries);
  void arpeggio(int n, const std::vector<u8>& semitones);
  void effect(int n, const am_effect& e);
  void volume_list(int n, const std::vector<u8>& volumes);
};

// The ten samples of the default block.
const std::array<am_sample_spec, 10>& am_default_samples();
// The note factor of note n in the default block.
u16 am_note_factor(int n);
// Where the sample set-up puts the silent area and the effects' waveform
// area for the default samples.
u32 am_default_silent();
u32 am_default_waveform();
// The Amiga address of the bytes of sample n of the default block.
u32 am_default_sample_bytes(int n);

// The block with its tables, samples, envelopes 0-2, arpeggios 0-1, effects
// 0-2 with volume lists 0-2, and tune 0 playing on all voices (the other
// tunes the same until a test writes them). Effect 0 slides down from 400
// with a held volume, 1 steps and resets its period for 12 ticks, 2 ends
// with its volume list at its second tick.
amiga_block amiga_block_default();

// Sets the block's last four bytes so that the disk reader accepts it.
void amiga_block_seal(amiga_block& block);
// A raw disk dump of 255,726 bytes holding the sealed block at 194,560.
std::vector<u8> amiga_raw_dump(const amiga_block& block);
