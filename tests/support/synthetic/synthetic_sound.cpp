#include "support/synthetic/synthetic_sound.h"

#include <cstdlib>

#include "game/ym_driver.h"
#include "machine/memory.h"

namespace {

using namespace ym_code;

constexpr u32 sample_table = 0x00E86A;
constexpr u32 idle_handler = 0x00E660;
// Code of the floppy routines and of the title sequence: no data of the
// program block lies there, so the samples can.
constexpr u32 sample_space_1 = 0x00E8B2;
constexpr u32 sample_space_2 = 0x00EC40;

void put16(std::vector<u8>& b, u32 v) {
  b.push_back(static_cast<u8>(v >> 8));
  b.push_back(static_cast<u8>(v));
}

u32 offset_of(u32 address) { return address - ym_driver_vars; }

// Appends bytes at the free-space cursor; the address where they lie.
struct free_space {
  std::vector<synth_block>& out;
  u32 at;
  u32 put(const std::vector<u8>& bytes) {
    const u32 where = at;
    out.push_back({at, bytes});
    at += static_cast<u32>(bytes.size());
    return where;
  }
};

std::array<u16, 96> period_design() {
  std::array<u16, 96> p{};
  for (u32 n = 0; n < 96; ++n) p[n] = static_cast<u16>(0x0EEE - 37 * n);
  return p;
}

std::array<synth_tune, 8> tune_design() {
  const u8 d1 = duration + 1, d2 = duration + 2, d4 = duration + 4, d8 = duration + 8;
  std::array<synth_tune, 8> t;
  const std::vector<u8> rest_pattern = {d8, rest, next_pattern};
  // 0: three voices, looping.
  t[0] = {64, {{{{instrument, d2, 24, 28, next_pattern}, {d1, 31, next_pattern}},
                {{instrument + 1, d4, 36, rest, next_pattern}},
                {rest_pattern}}}};
  // 1: a note every step on A, one long note on B, C silent; looping.
  t[1] = {255, {{{{instrument, d1, 10, 20, 30, 40, next_pattern}},
                 {{instrument + 2, d8, 50, tie, next_pattern}},
                 {rest_pattern}}}};
  // 2: tempo 128, looping.
  t[2] = {128, {{{{instrument + 1, d1, 12, 14, next_pattern}}, {rest_pattern}, {rest_pattern}}}};
  // 3: two notes, then the end of the song.
  t[3] = {255, {{{{instrument, d1, 20, 22, end_of_song}}, {rest_pattern}, {rest_pattern}}}};
  // 4: the noise modes: alternate-tick noise, the click, noise only.
  t[4] = {255, {{{{instrument, d2, tone_and_noise, alternate_noise, 30, click_on, 31, click_off, noise_only, 32,
                   tone_only, next_pattern}},
                 {rest_pattern},
                 {rest_pattern}}}};
  // 5: arpeggio, modulation and slide, looping.
  t[5] = {100, {{{{arpeggio + 1, d4, 40, next_pattern}},
                 {{modulation_on, 2, 4, d8, 5, next_pattern}},
                 {{slide_up, duration + 5, 20, next_pattern}}}}};
  // 6: fades out (two ticks a level) and so ends.
  t[6] = {255, {{{{fade, 2, instrument, d8, 30, next_pattern}}, {rest_pattern}, {rest_pattern}}}};
  // 7: transposes, sweep and ties, looping through two patterns.
  t[7] = {200, {{{{voice_transpose, 5, instrument + 3, d2, 24, tie, next_pattern}, {sweep, 3, 2, d1, 26, next_pattern}},
                 {{transpose, 0, d4, 60, next_pattern}},
                 {rest_pattern}}}};
  return t;
}

std::array<synth_effect, 32> effect_design() {
  std::array<synth_effect, 32> e;
  // Short: one tick at a fixed period, no noise.
  e.fill({1, 0, 0x00, 0x80, 0, 0, 0xFF, 0, 0, 0, 2, 1, 0, 0});
  // dur, interval, coarse, fine, step, mask, random, sweep, restarts, volume seq, volume interval, endless, sweep interval
  e[1] = {3, 10, 0x01, 0x23, 0x00, 0x10, 0xFE, 0, 0, 0, 0, 1, 0, 0};
  e[9] = {40, 8, 0x00, 0xC8, 0x00, 0x04, 0xF6, 0, 0x80, 3, 1, 2, 0, 2};
  e[13] = {20, 4, 0x02, 0x00, 0x00, 0x08, 0xF6, 0, 0x01, 2, 1, 1, 0, 0};
  e[16] = {10, 1, 0x01, 0x23, 0x00, 0x00, 0xFE, 1, 0, 5, 2, 1, 0, 0};
  e[25] = {5, 6, 0x03, 0x10, 0x00, 0x20, 0xFE, 1, 0x01, 0, 2, 3, 1, 0};
  return e;
}

std::vector<u8> sample_bytes(u32 s, u32 length) {
  std::vector<u8> b(length);
  for (u32 i = 0; i < length; ++i) b[i] = static_cast<u8>((i * (s + 3) + s) % 16);
  return b;
}

synth_sound make_sound() {
  synth_sound s{};
  s.periods = period_design();
  s.tunes = tune_design();
  s.effects = effect_design();
  s.instruments = {{{15, 13, 11, 9, 0x80}, {12, 10, 8, 0x80}, {9, 0x80}, {14, 7, 0x80}}};
  s.instrument_speeds = {0, 1, 0, 2};
  s.effect_volumes = {{{15, 12, 9, 0x80}, {14, 13, 12, 11, 10, 9, 8, 0xFF}, {10, 0x81}}};
  s.random_seed = 0x5EED1234;
  std::vector<synth_block>& out = s.driver;

  // Voices and variables: all clear but each voice's register 7 bits.
  std::vector<u8> voices(0x041D42 - ym_voice_a, 0);
  for (u32 v = 0; v < 3; ++v) voices[ym_voice_size * v + ym_voice::mixer_bits] = static_cast<u8>(0x09 << v);
  out.push_back({ym_voice_a, voices});

  std::vector<u8> commands;
  const u32 handlers[20] = {0x042060, 0x04206E, 0x04207C, 0x04208E, 0x042098, 0x0420BE, 0x0420DE,
                            0x0420FE, 0x042116, 0x04212A, 0x042130, 0x042136, 0x04213C, 0x042144,
                            0x042158, 0x04215E, 0x042166, 0x04216C, 0x042174, 0x04217A};
  for (u32 h : handlers) put16(commands, offset_of(h));
  put16(commands, offset_of(0x042166));
  put16(commands, offset_of(0x042166));
  out.push_back({ym_command_table, commands});

  free_space space{out, synth_sound_free};
  std::array<u32, 2> arpeggios = {space.put({0x80}), space.put({0, 4, 0x87})};
  std::array<u32, 4> instruments{};
  for (u32 i = 0; i < 4; ++i) {
    std::vector<u8> b = {s.instrument_speeds[i]};
    b.insert(b.end(), s.instruments[i].begin(), s.instruments[i].end());
    instruments[i] = space.put(b) + 1;
  }
  std::array<u32, 3> volumes{};
  for (u32 i = 0; i < 3; ++i) volumes[i] = space.put(s.effect_volumes[i]);
  std::array<u32, 32> effects{};
  for (u32 i = 0; i < 32; ++i)
    effects[i] = i == 0 || s.effects[i] != s.effects[0] ? space.put({s.effects[i].begin(), s.effects[i].end()})
                                                        : effects[0];

  // Images, period table, arpeggio table with the default sequence on its
  // last word (no tune uses that entry), the flags, the song table after.
  std::vector<u8> tables(0x042504 - 0x0423CC, 0);
  auto at = [&](u32 address) { return tables.begin() + (address - 0x0423CC); };
  for (u32 n = 0; n < 96; ++n) {
    at(ym_period_table + 2 * n)[0] = static_cast<u8>(s.periods[n] >> 8);
    at(ym_period_table + 2 * n)[1] = static_cast<u8>(s.periods[n]);
  }
  // Every entry names the first sequence but entry 1, the second: a plain
  // fill, then entry 1. Choosing the sequence inside the loop
  // (arpeggios[i == 1 ? 1 : 0]) was vectorized wrongly by GCC 12 at -O3:
  // it read before the array and lost entry 1, so the data file depended
  // on the build (SyntheticGameData.TheWrittenFileIsPinned guards it).
  auto put_arpeggio = [&](u32 entry, u32 sequence) {
    const u32 o = offset_of(sequence);
    at(ym_arpeggio_table + 2 * entry)[0] = static_cast<u8>(o >> 8);
    at(ym_arpeggio_table + 2 * entry)[1] = static_cast<u8>(o);
  };
  for (u32 i = 0; i < 15; ++i) put_arpeggio(i, arpeggios[0]);
  put_arpeggio(1, arpeggios[1]);
  at(ym_default_arpeggio)[0] = 0x80;
  out.push_back({0x0423CC, tables});

  std::vector<u8> effect_table, volume_table, instrument_table;
  for (u32 e : effects) put16(effect_table, offset_of(e));
  for (u32 v : volumes) put16(volume_table, offset_of(v));
  for (u32 i = 0; i < 16; ++i) put16(instrument_table, offset_of(instruments[i < 4 ? i : 0]));
  out.push_back({ym_effect_table, effect_table});
  out.push_back({ym_effect_volume_table, volume_table});
  std::vector<u8> records(0x043368 - 0x0432FA, 0);
  for (u32 i = 0; i < 4; ++i) records[records.size() - 4 + i] = static_cast<u8>(s.random_seed >> (24 - 8 * i));
  out.push_back({0x0432FA, records});
  out.push_back({ym_instrument_table, instrument_table});

  u32 cursor = space.at;
  for (int t = 0; t < 8; ++t) cursor = synth_tune_write(out, t, s.tunes[static_cast<size_t>(t)], cursor);
  if (cursor > synth_sound_free_end) std::abort();

  // The samples: 10 bytes to a few hundred, levels 0-15.
  const u32 lengths[9] = {10, 24, 60, 300, 200, 120, 90, 40, 130};
  u32 where[2] = {sample_space_1, sample_space_2};
  std::vector<u8> table;
  for (u32 i = 0; i < 9; ++i) {
    u32& w = where[i < 5 ? 0 : 1];
    s.samples[i] = sample_bytes(i, lengths[i]);
    s.sample_at[i] = w;
    s.program.push_back({w, s.samples[i]});
    put16(table, w >> 16);
    put16(table, w);
    put16(table, (w + lengths[i] - 1) >> 16);
    put16(table, w + lengths[i] - 1);
    w += lengths[i];
  }
  s.program.push_back({sample_table, table});
  s.program.push_back({idle_handler, {0x08, 0xB9, 0x00, 0x05, 0x00, 0xFF, 0xFA, 0x0F, 0x4E, 0x73}});
  return s;
}

} // namespace

const synth_sound& synth_sound_content() {
  static const synth_sound s = make_sound();
  return s;
}

void synth_sound_load() {
  const synth_sound& s = synth_sound_content();
  for (const auto* blocks : {&s.driver, &s.program})
    for (const synth_block& b : *blocks)
      for (size_t i = 0; i < b.second.size(); ++i) wr8(b.first + static_cast<u32>(i), b.second[i]);
}

u32 synth_tune_write(std::vector<synth_block>& out, int t, const synth_tune& tune, u32 at) {
  std::vector<u8> entry = {0, tune.tempo};
  for (const std::vector<std::vector<u8>>& patterns : tune.patterns) {
    std::vector<u8> order;
    for (const std::vector<u8>& p : patterns) {
      out.push_back({at, p});
      put16(order, offset_of(at));
      at += static_cast<u32>(p.size());
    }
    put16(order, 0);
    put16(entry, offset_of(at));
    out.push_back({at, order});
    at += static_cast<u32>(order.size());
  }
  out.push_back({song_table + 8 * static_cast<u32>(t), entry});
  return at;
}

u32 synth_tune_write(int t, const synth_tune& tune, u32 at) {
  std::vector<synth_block> blocks;
  at = synth_tune_write(blocks, t, tune, at);
  for (const synth_block& b : blocks)
    for (size_t i = 0; i < b.second.size(); ++i) wr8(b.first + static_cast<u32>(i), b.second[i]);
  return at;
}
