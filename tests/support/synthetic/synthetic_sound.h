// The sound data of the synthetic game data: the YM driver's tables, eight
// tunes, effects and instruments (inside the resident graphics that the
// cold start unpacks over $41BCC-$44775), and the digitised samples with
// their table and the idle Timer A handler's bytes (in the program block).
// Tests use the same design directly in RAM, and write tunes of their own
// with the same writer.
#pragma once
#include <array>
#include <utility>
#include <vector>

#include "machine/types.h"

// Command codes as the synthetic command table maps them.
namespace ym_code {
constexpr u8 fade = 0x80, tempo = 0x81, order_list = 0x82, end_of_song = 0x83, next_pattern = 0x84,
             noise_only = 0x85, tone_only = 0x86, tone_and_noise = 0x87, sweep = 0x88, transpose = 0x89,
             voice_transpose = 0x8A, slide_up = 0x8B, slide_down = 0x8C, modulation_on = 0x8D,
             modulation_off = 0x8E, alternate_noise = 0x8F, rest = 0x90, tie = 0x91, click_on = 0x92,
             click_off = 0x93;
constexpr u8 spare = 0x94; // the two spare words of the table: rest
constexpr u8 arpeggio = 0xC0, instrument = 0xD0, duration = 0xDF; // + n (duration: + 1-32)
} // namespace ym_code

// A tune: its tempo and, per voice, the patterns of its order list (the
// list repeats from its first entry).
struct synth_tune {
  u8 tempo;
  std::array<std::vector<std::vector<u8>>, 3> patterns;
};

// An effect descriptor, 14 bytes.
using synth_effect = std::array<u8, 14>;

using synth_block = std::pair<u32, std::vector<u8>>; // 68k address, bytes

struct synth_sound {
  std::vector<synth_block> driver;  // inside the resident graphics
  std::vector<synth_block> program; // inside the program block
  // The design, for the tests.
  std::array<u16, 96> periods;
  std::array<synth_tune, 8> tunes;
  std::array<synth_effect, 32> effects;
  std::array<std::vector<u8>, 4> instruments;      // level bytes (the end byte included)
  std::array<u8, 4> instrument_speeds;
  std::array<std::vector<u8>, 3> effect_volumes;   // effect volume sequences
  u32 random_seed;
  std::array<std::vector<u8>, 9> samples;
  std::array<u32, 9> sample_at;
};

// Free driver space where the tunes' streams lie; tests write their own
// tunes from synth_test_streams on.
constexpr u32 synth_sound_free = 0x0433A2;
constexpr u32 synth_sound_free_end = 0x044776;
constexpr u32 synth_test_streams = 0x045000;

const synth_sound& synth_sound_content();

// Writes the driver's data and the sample player's into RAM, as the cold
// start and the boot state would leave them.
void synth_sound_load();

// Writes a tune's patterns and order lists from `at` and its song-table
// entry as tune number t; returns the address past what it wrote.
u32 synth_tune_write(int t, const synth_tune& tune, u32 at);
// The same into a byte image of the driver area (for the disk builder).
u32 synth_tune_write(std::vector<synth_block>& out, int t, const synth_tune& tune, u32 at);
