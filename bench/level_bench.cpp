// Level pictures: reading and identifying the synthetic mission's map (the
// cost of a new level key on the emulation thread) and drawing the whole
// level at output scales 1 to 4 (a builder thread's work).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "graphics/level.h"
#include "graphics/level_internal.h"
#include "support/tables/mission_builder.h"
#include "support/graphics/scene_frames.h"

namespace {

parsed_level* mission_level() {
    default_mission().put_in_ram();
    parsed_level* level = parse_level(0);
    if (!level) std::abort();
    return level;
}

void BM_level_parse_and_identify(benchmark::State& state) {
    level_free(mission_level());
    for (auto _ : state) {
        parsed_level* level = parse_level(0);
        benchmark::DoNotOptimize(level_identity(level));
        level_free(level);
    }
}
BENCHMARK(BM_level_parse_and_identify);

void BM_level_build(benchmark::State& state) {
    parsed_level* level = mission_level();
    level_entry entry{};
    test_palette(entry.palette);
    entry.scale = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        build(&entry, level);
        benchmark::DoNotOptimize(entry.picture);
        std::free(entry.picture);
    }
    state.counters["rows"] = level->rows + level_lead_rows;
    level_free(level);
}
BENCHMARK(BM_level_build)->DenseRange(1, 4)->Unit(benchmark::kMillisecond);

} // namespace
