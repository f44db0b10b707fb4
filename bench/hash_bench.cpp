// BLAKE2b-48 against libb2 on a sprite's input (16 x 16: 516 bytes), a
// ground tile's (2,056 bytes) and a megabyte.
#include "graphics/content_hash.h"

#include <benchmark/benchmark.h>
#include <blake2.h>

#include <vector>

namespace {

std::vector<uint8_t> input(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; i++)
        v[i] = uint8_t(i * 7 + (i >> 5));
    return v;
}

void BM_blake2b48_ours(benchmark::State& state) {
    std::vector<uint8_t> data = input(size_t(state.range(0)));
    char out[GFX_HASH_TEXT];
    for (auto _ : state) {
        b2_state s;
        b2_init(&s);
        b2_update(&s, data.data(), data.size());
        b2_hex(&s, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_blake2b48_libb2(benchmark::State& state) {
    std::vector<uint8_t> data = input(size_t(state.range(0)));
    uint8_t out[6];
    for (auto _ : state) {
        blake2b(out, data.data(), nullptr, 6, data.size(), 0);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_blake2b48_ours)->Arg(516)->Arg(2056)->Arg(1 << 20);
BENCHMARK(BM_blake2b48_libb2)->Arg(516)->Arg(2056)->Arg(1 << 20);
