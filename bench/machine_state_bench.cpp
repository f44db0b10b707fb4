// Machine states: packing and unpacking the 4 MB RAM of a state file, and
// the in-memory snapshots the host takes for rewind and crash recovery.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "machine/machine_state.h"

namespace {

// A RAM as the game leaves it: mostly zero pages, some pages of noise
// (packed graphics, sample data), some screen-like pages (repeated
// bit-plane words with small changes).
std::vector<u8> realistic_ram() {
  std::vector<u8> ram_image(ram_size, 0);
  std::mt19937 rng(42);
  constexpr u32 page = 4096;
  for (u32 p = 0; p < ram_size / page; ++p) {
    u8* at = ram_image.data() + p * page;
    const u32 kind = rng() % 100;
    if (kind < 15) {
      for (u32 i = 0; i < page; ++i) at[i] = static_cast<u8>(rng());
    } else if (kind < 30) {
      const u32 word = rng();
      for (u32 i = 0; i < page; ++i) at[i] = static_cast<u8>(word >> (8 * (i & 3)));
      for (int k = 0; k < 64; ++k) at[rng() % page] = static_cast<u8>(rng());
    }
  }
  return ram_image;
}

void BM_StatePack(benchmark::State& state) {
  const std::vector<u8> ram_image = realistic_ram();
  std::vector<u8> packed(state_rle_bound(ram_size));
  size_t n = 0;
  for (auto _ : state) {
    n = state_rle_pack(ram_image.data(), ram_size, packed.data());
    benchmark::DoNotOptimize(packed.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * ram_size);
  state.counters["packed_bytes"] = static_cast<double>(n);
}
BENCHMARK(BM_StatePack)->Unit(benchmark::kMillisecond);

void BM_StateUnpack(benchmark::State& state) {
  const std::vector<u8> ram_image = realistic_ram();
  std::vector<u8> packed(state_rle_bound(ram_size));
  packed.resize(state_rle_pack(ram_image.data(), ram_size, packed.data()));
  std::vector<u8> out(ram_size);
  for (auto _ : state) {
    if (!state_rle_unpack(packed.data(), packed.size(), out.data(), ram_size)) state.SkipWithError("unpack");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * ram_size);
}
BENCHMARK(BM_StateUnpack)->Unit(benchmark::kMillisecond);

void BM_StateClone(benchmark::State& state) {
  state_ptr original(state_new());
  const std::vector<u8> ram_image = realistic_ram();
  std::copy(ram_image.begin(), ram_image.end(), original->ram);
  for (auto _ : state) {
    state_ptr copy(state_clone(original.get()));
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * ram_size);
}
BENCHMARK(BM_StateClone)->Unit(benchmark::kMillisecond);

} // namespace
