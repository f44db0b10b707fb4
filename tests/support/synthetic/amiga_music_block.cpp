#include "support/synthetic/amiga_music_block.h"

#include <stdexcept>

#include "sound/amiga_disk.h"
#include "sound/amiga_player.h"
#include "support/synthetic/amiga_disk_images.h"
#include "sound/amiga_replay.h"

namespace {

constexpr u32 data_area = 0x52004;     // after the song table of tunes 0-7
constexpr u32 data_area_end = 0x528E2; // the sample set-up's code

constexpr std::array<u32, 11> handlers = {0x51C6C, 0x51C92, 0x51CA8, 0x51CD4, 0x51D12, 0x51D1A,
                                          0x51D2E, 0x51D36, 0x51D3E, 0x51D50, 0x51D5C};

} // namespace

void amiga_block::put8(u32 address, u32 v) { bytes.at(address - bkam_base) = static_cast<u8>(v); }
void amiga_block::put16(u32 address, u32 v) {
  put8(address, v >> 8);
  put8(address + 1, v);
}
void amiga_block::put32(u32 address, u32 v) {
  put16(address, v >> 16);
  put16(address + 2, v);
}
u32 amiga_block::get8(u32 address) const { return bytes.at(address - bkam_base); }
u32 amiga_block::get16(u32 address) const { return get8(address) << 8 | get8(address + 1); }
u32 amiga_block::get32(u32 address) const { return get16(address) << 16 | get16(address + 2); }

u32 amiga_block::add(const std::vector<u8>& data) {
  if (next_free + data.size() > data_area_end) throw std::length_error("amiga block: data area full");
  const u32 at = next_free;
  for (std::size_t i = 0; i < data.size(); ++i) put8(at + static_cast<u32>(i), data[i]);
  next_free += static_cast<u32>(data.size() + (data.size() & 1));
  return at;
}

u16 amiga_block::offset(u32 address) { return static_cast<u16>(address - bkam_base); }

u32 amiga_block::order_list(const std::vector<u32>& sequences) {
  std::vector<u8> list;
  for (u32 s : sequences) {
    list.push_back(static_cast<u8>(offset(s) >> 8));
    list.push_back(static_cast<u8>(offset(s)));
  }
  list.push_back(0);
  list.push_back(0);
  return add(list);
}

void amiga_block::tune(int n, i8 speed, u8 tempo, const am_voices& voices) {
  const u32 entry = bkam_songs + bkam_song_size * static_cast<u32>(n);
  put8(entry, static_cast<u8>(speed));
  put8(entry + 1, tempo);
  for (u32 v = 0; v < 4; ++v) {
    std::vector<u32> sequences;
    for (const std::vector<u8>& s : voices[v]) sequences.push_back(add(s));
    put16(entry + 2 + 2 * v, offset(order_list(sequences)));
  }
}

void amiga_block::envelope(int n, u8 interval, const std::vector<u8>& entries) {
  std::vector<u8> data{interval};
  data.insert(data.end(), entries.begin(), entries.end());
  const u32 at = add(data) + 1;
  put16(bkam_envelopes + 2 * static_cast<u32>(n), offset(at));
}

void amiga_block::arpeggio(int n, const std::vector<u8>& semitones) {
  put16(bkam_arpeggios + 2 * static_cast<u32>(n), offset(add(semitones)));
}

void amiga_block::effect(int n, const am_effect& e) {
  const u32 d = bkam_sfx_definitions + bkam_sfx_definition_size * static_cast<u32>(n);
  put16(d + 0, static_cast<u16>(e.slide));
  put16(d + 2, e.reset_period);
  put16(d + 4, static_cast<u16>(e.step_a));
  put16(d + 6, static_cast<u16>(e.step_b));
  put16(d + 8, e.period);
  put16(d + 10, static_cast<u16>(e.wave_a));
  put16(d + 12, static_cast<u16>(e.wave_b));
  put8(d + 14, e.reset_interval);
  put8(d + 15, e.pattern_interval);
  put8(d + 16, e.pattern_bits);
  put8(d + 17, e.wave_bits);
  put8(d + 18, e.duration);
  put8(d + 19, e.volume_interval);
  put8(d + 20, static_cast<u8>(e.volume_list));
  put8(d + 21, 0);
  put16(d + 22, e.wave_length);
}

void amiga_block::volume_list(int n, const std::vector<u8>& volumes) {
  put16(bkam_volume_lists + 2 * static_cast<u32>(n), offset(add(volumes)));
}

const std::array<am_sample_spec, 10>& am_default_samples() {
  // Samples 7 and 8 have rates the period division cannot take (a quotient
  // above $FFFF, a zero divisor); 9 becomes the pulse wave.
  static const std::array<am_sample_spec, 10> samples = {{
      {128, 4000, -1},
      {160, 5000, 0},
      {192, 6000, 32},
      {224, 7000, -1},
      {256, 8000, 64},
      {288, 9000, 0},
      {320, 10000, 0},
      {352, 40, 0},
      {384, 0, 0},
      {416, 8000, 0},
  }};
  return samples;
}

u16 am_note_factor(int n) { return static_cast<u16>(2048 - 16 * n); }

u32 am_default_sample_bytes(int n) {
  u32 at = bkam_sample_data;
  for (int i = 0; i < n; ++i) at += 6 + am_default_samples()[static_cast<std::size_t>(i)].bytes;
  return at + 6;
}

u32 am_default_silent() { return am_default_sample_bytes(10) - 6; }
u32 am_default_waveform() { return am_default_silent() + 64; }

amiga_block amiga_block_default() {
  amiga_block b{std::vector<u8>(amiga_block_size, 0), data_area};
  for (std::size_t i = 0; i < handlers.size(); ++i)
    b.put16(bkam_commands + 2 * static_cast<u32>(i), amiga_block::offset(handlers[i]));
  b.put16(bkam_commands + 2 * 11, amiga_block::offset(am_cmd::untranslated_target));
  b.put8(bkam_skip_counter, 6);
  for (int n = 0; n < 72; ++n) b.put16(bkam_note_factors + 2 * static_cast<u32>(n), am_note_factor(n));

  // Samples: headers with sawtooth bytes; loop offsets in the records.
  u32 at = bkam_sample_data;
  for (std::size_t i = 0; i < 10; ++i) {
    const am_sample_spec& s = am_default_samples()[i];
    b.put32(at, s.bytes);
    b.put16(at + 4, s.rate);
    for (u32 k = 0; k < s.bytes; ++k) b.put8(at + 6 + k, k * 4 + static_cast<u32>(i) * 8);
    at += 6 + s.bytes;
    b.put32(bkam_samples + bkam_sample_size * static_cast<u32>(i) + sample_loop, static_cast<u32>(s.loop));
  }
  // The effects' waveform: a square wave beyond the silent area.
  for (u32 k = 0; k < 64; ++k) b.put8(am_default_waveform() + k, k < 32 ? 0x50 : 0xB0);

  b.put8(bkam_first_arpeggio, 0x80);
  b.put16(bkam_arpeggios, amiga_block::offset(bkam_first_arpeggio));
  b.arpeggio(1, {0, 4, 0x87});
  b.envelope(0, 0, {64, 48, 32, 0x90});
  b.envelope(1, 1, {100, 0xE4});
  b.envelope(2, 0, {0xC0, 0xA0});

  b.volume_list(0, {40, 30, 0x80, 20, 0});
  b.volume_list(1, {64, 0});
  b.volume_list(2, {50, 0x80});
  b.effect(0, {.slide = -10, .period = 400, .wave_a = 0, .wave_b = 32, .wave_bits = 0xAA, .volume_list = 0});
  b.effect(1, {.reset_period = 300, .step_a = 5, .step_b = -7, .period = 300, .reset_interval = 4,
               .pattern_interval = 2, .pattern_bits = 0x55, .duration = 12, .volume_list = 2});
  b.effect(2, {.period = 200, .volume_list = 1, .wave_length = 8});

  using namespace am_cmd;
  const std::vector<u8> v0 = {sample + 1, envelope + 1, duration + 2, 10, rest, 14, next_sequence};
  const std::vector<u8> v1 = {sample + 2, envelope + 0, duration + 3, 20, 22, tie, next_sequence};
  const std::vector<u8> v2 = {sample + 4, envelope + 1, arpeggio + 1, duration + 1, 30, 30, next_sequence};
  const std::vector<u8> v3 = {sample + 5, envelope + 0, duration + 4, 5, next_sequence};
  b.tune(0, 2, 0, am_voices{{{v0}, {v1}, {v2}, {v3}}});
  for (u32 n = 1; n < 8; ++n)
    for (u32 k = 0; k < bkam_song_size; ++k) b.put8(bkam_songs + bkam_song_size * n + k, b.get8(bkam_songs + k));
  return b;
}

void amiga_block_seal(amiga_block& block) { force_crc_register(block.bytes, amiga_music_block_crc); }

std::vector<u8> amiga_raw_dump(const amiga_block& block) {
  amiga_block sealed = block;
  amiga_block_seal(sealed);
  return amiga_test_dump(sealed.bytes, dump_min_size);
}
