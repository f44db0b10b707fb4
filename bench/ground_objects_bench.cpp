// The vertical sections' ground objects in one frame with full tables: 20
// installations on screen, 5 vehicles of height 90 and 15 pieces of
// debris, through their updates, hits, fire and drawing (the spawners of
// other work only return). The tables are put back before each frame.
#include <benchmark/benchmark.h>

#include <vector>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/vertical_objects_ram.h"
#include "host_call.h"
#include "support/tables/ground_objects.h"
#include "support/machine/mission_machine.h"

namespace {

constexpr u32 tables_from = debris_table.address;
constexpr u32 tables_to = vehicle_table.address + vehicle_table.records * vehicle_table.size;

void full_tables() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  stub_returns({0x006B74, 0x006BEA, 0x006CA8, 0x00B424, 0x00E756});
  ground_objects g;
  g.put_in_ram();
  for (u32 i = 0; i < installation_table.records; ++i) {
    const u32 r = installation_table.address + i * installation_table.size;
    wr16(r + installation_field::x, 64 + 16 * (i % 10));
    wr16(r + installation_field::y, 8 * i);
    wr16(r + installation_field::state, 1);
    wr16(r + installation_field::type, 0xF0 + i % 5);
    wr16(r + installation_field::timer, 1 + i % 3);
  }
  for (u32 i = 0; i < vehicle_table.records; ++i) {
    const u32 r = vehicle_table.address + i * vehicle_table.size;
    wr16(r + vehicle_field::active, 0xFFFF);
    wr16(r + vehicle_field::x, 100 + 32 * i);
    wr16(r + vehicle_field::y, 110 + 20 * i);
    wr16(r + vehicle_field::speed, 1);
    wr16(r + vehicle_field::height, 90);
    wr16(r + vehicle_field::width, 60);
    wr16(r + vehicle_field::type, i == 4 ? 6 : i);
  }
  for (u32 i = 0; i < debris_table.records; ++i) {
    const u32 r = debris_table.address + i * debris_table.size;
    wr16(r + debris_field::active, 0xFFFF);
    wr16(r + debris_field::x, 100 + 9 * i);
    wr16(r + debris_field::y, 120 + 10 * i);
    wr16(r + debris_field::timer, 3);
  }
  // heavy projectiles that hit nothing: every box test runs to its end
  for (u32 i = 0; i < projectile_table.records; ++i) {
    const u32 r = projectile_table.address + i * projectile_table.size;
    wr16(r + projectile_field::active, 0xFFFF);
    wr16(r + projectile_field::x, 10);
    wr16(r + projectile_field::y, 10);
    wr16(r + projectile_field::type, 16 + i % 8);
  }
}

// The frame's order of these passes in one call, so that the driver's own
// start is paid once, as in a frame.
ROUTINE(bench_ground_frame, 0xC05000)
  JSR(0x00A2C2, 0xC05004)
  JSR(0x0071E8, 0xC05008)
  JSR(0x006FB0, 0xC0500C)
  JSR(0x00A526, 0xC05010)
  JSR(0x00A3FE, 0xC05014)
  JSR(0x00AE7A, 0xC05018)
  JSR(0x006E4C, 0xC0501C)
  JSR(0x0060AA, 0xC05020)
  JSR(0x0063DE, 0xC05024)
  RTS();
END_ROUTINE

void BM_GroundObjectsOfOneFrame(benchmark::State& state) {
  full_tables();
  std::vector<u8> saved(tables_to - tables_from);
  for (u32 i = 0; i < saved.size(); ++i) saved[i] = static_cast<u8>(rd8(tables_from + i));
  register_routine(0xC05000, bench_ground_frame,
                   {0xC05004, 0xC05008, 0xC0500C, 0xC05010, 0xC05014, 0xC05018, 0xC0501C, 0xC05020, 0xC05024});
  for (auto _ : state) {
    for (u32 i = 0; i < saved.size(); ++i) wr8(tables_from + i, saved[i]);
    run_in_driver(0xC05000);
  }
  machine_clear();
}
BENCHMARK(BM_GroundObjectsOfOneFrame)->Unit(benchmark::kMicrosecond);

// Each pass alone (the tables put back as above), the driver's start
// included: compare with the vehicles' movement (3), which does nearly
// nothing.
void BM_GroundObjectsPass(benchmark::State& state) {
  constexpr u32 entries[] = {0x00A2C2, 0x0071E8, 0x006FB0, 0x00A526, 0x00A3FE, 0x00AE7A, 0x006E4C, 0x0060AA, 0x0063DE};
  full_tables();
  std::vector<u8> saved(tables_to - tables_from);
  for (u32 i = 0; i < saved.size(); ++i) saved[i] = static_cast<u8>(rd8(tables_from + i));
  for (auto _ : state) {
    for (u32 i = 0; i < saved.size(); ++i) wr8(tables_from + i, saved[i]);
    run_in_driver(entries[state.range(0)]);
  }
  machine_clear();
}
BENCHMARK(BM_GroundObjectsPass)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond);

} // namespace
