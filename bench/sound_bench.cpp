// The sound path per VBL chunk: the chip emulation with and without a busy
// VBL of register writes, the sample mixer at its voice limit, and the whole
// assembly from the machine's log to the audio output's ring.
#include <benchmark/benchmark.h>

#include <vector>

#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "machine/memory.h"
#include "machine/ym_capture.h"
#include "sound/audio_assembly.h"
#include "sound/audio_output.h"
#include "sound/mixer.h"
#include "sound/ym_chip.h"
#include "support/machine/st_machine.h"

namespace {

constexpr int chunk = 882;

ym_state* busy_chip() {
  ym_state* s = ym_new(44100);
  const u8 regs[16] = {100, 1, 200, 0, 50, 2, 9, 0x30, 16, 12, 16, 40, 0, 14, 0, 0};
  ym_set_state(s, regs);
  return s;
}

// 300 writes spread over the VBL: tone periods, volumes in envelope mode,
// the mixer and the noise period, as a busy tune with effects makes them.
std::vector<ym_event> busy_vbl() {
  std::vector<ym_event> e;
  for (int i = 0; i < 300; ++i) {
    const u8 reg = static_cast<u8>(i % 11);
    const u8 value = reg == 7 ? 0x30 : reg >= 8 ? static_cast<u8>(16 | (i & 15)) : static_cast<u8>(i * 7);
    e.push_back({i / 300.0, reg, value});
  }
  return e;
}

void BM_YmRenderBusyChunk(benchmark::State& state) {
  ym_state* s = busy_chip();
  const std::vector<ym_event> e = busy_vbl();
  std::vector<float> out(chunk);
  for (auto _ : state) {
    ym_render(s, chunk, e.data(), static_cast<int>(e.size()), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * chunk);
  ym_free(s);
}
BENCHMARK(BM_YmRenderBusyChunk);

void BM_YmRenderQuietChunk(benchmark::State& state) {
  ym_state* s = busy_chip();
  std::vector<float> out(chunk);
  for (auto _ : state) {
    ym_render(s, chunk, nullptr, 0, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * chunk);
  ym_free(s);
}
BENCHMARK(BM_YmRenderQuietChunk);

void build_samples() {
  for (u32 s = 0; s < 9; ++s) {
    const u32 start = 0x50000 + 0x8000 * s;
    for (u32 i = 0; i < 30000; ++i) ram[start + i] = static_cast<u8>(i * 3 + s);
    wr32(0xE86A + 8 * s, start);
    wr32(0xE86E + 8 * s, start + 30000);
  }
}

void BM_Mixer32Voices(benchmark::State& state) {
  machine_clear();
  build_samples();
  mixer_drop_cache();
  mixer_options(1, 1);
  std::vector<float> out(2 * chunk);
  int voices = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Short chunks keep the faded voices: the table stays full.
    mixer_reset();
    for (int i = 0; i < 64; ++i) mixer_start(i % 9, i & 1, 0.0, (i % 10) / 10.0f);
    mixer_render(1, out.data());
    voices = mixer_voice_count();
    state.ResumeTiming();
    mixer_render(chunk, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["voices"] = voices;
  mixer_reset();
  mixer_drop_cache();
  mixer_options(0, 0);
}
BENCHMARK(BM_Mixer32Voices);

void BM_AudioChunkWhole(benchmark::State& state) {
  st_reset();
  build_samples();
  audio_output* out = audio_output_new(44100, 1e7, 1024);
  audio_config c;
  c.sfx_multi = 1;
  c.sfx_pan = 1;
  c.output = out;
  audio_start(c);
  const std::vector<ym_event> e = busy_vbl();
  for (auto _ : state) {
    state.PauseTiming();
    for (const ym_event& w : e) {
      g_cpu.sub_vbl_time = w.time;
      io_write(0xFF8800, 1, w.reg);
      io_write(0xFF8802, 1, w.value);
    }
    if (mixer_voice_count() < 8)
      for (int i = 0; i < 8; ++i) mixer_start(i, i & 1, 0.0, 0.5f);
    if (out->fill > audio_ring_bytes / 2) out->fill = 0;
    state.ResumeTiming();
    audio_chunk(0, 0, 0);
  }
  state.SetItemsProcessed(state.iterations() * chunk);
  audio_shutdown();
  audio_output_free(out);
  mixer_reset();
  mixer_drop_cache();
  mixer_options(0, 0);
  hooks_clear();
}
BENCHMARK(BM_AudioChunkWhole);

} // namespace
