#include "support/mission_machine.h"

#include <array>

#include "game/game_ram.h"
#include "game/mission_ram.h"

namespace {

int vbls;

// --- what some callers need of the routine they call ---------------------------

// The installation placements read their x and y bytes through the map
// pointer in a2: without them the map reader would take x for a code.
void skips_map_position() { a2 += 2; }

// The event stream's placements read their two argument bytes through a0
// and store the stream pointer past them; every register is kept.
void stores_stream_pointer() { wr32(event_pointer, a0 + 2); }

// The vehicle placement consumes the attachment list: 4-byte entries up to
// a byte with bit 7 set, which is consumed too.
void skips_attachment_list() {
  while ((rd8(a0) & 0x80) == 0) a0 += 4;
  a0 += 1;
}

// The vehicle placement stores last_homing_unit into a slot after each
// unit: none placed, so the slot ends the list.
void places_no_homing_unit() { wr32(0x0002D6, 0); }

// The obstacle probe answers "no contact": a stale d7 would read as a
// vehicle touched.
void probe_touches_nothing() { put<W>(d7, 0); }

// The sample players carry the host's sample hook at their entry and keep
// a0 and a1.
void sample_hook_a() { hook_point(game_hook_slot(0x00E6EC), 0x00E6EC); }
void sample_hook_b() { hook_point(game_hook_slot(0x00E756), 0x00E756); }

constexpr std::array stand_ins = {
    // the vertical frame's updates, in its order
    mission_stand_in{0x00A2C2, "projectiles against installations", nullptr},
    mission_stand_in{0x0071E8, "projectiles against vehicles", nullptr},
    mission_stand_in{0x00A544, "player contact damage", nullptr},
    mission_stand_in{0x00A5FC, "explosion blast damage", nullptr},
    mission_stand_in{0x00AE1A, "goal test", nullptr},
    mission_stand_in{0x006C28, "grenades", nullptr},
    mission_stand_in{0x006CFA, "explosions step", nullptr},
    mission_stand_in{0x006FB0, "installations count down", nullptr},
    mission_stand_in{0x006950, "bullets", nullptr},
    mission_stand_in{0x009FA4, "projectiles move", nullptr},
    mission_stand_in{0x00A526, "vehicles move", nullptr},
    mission_stand_in{0x00B46E, "homing units", nullptr},
    mission_stand_in{0x00B944, "effects hit", nullptr},
    mission_stand_in{0x00AC5E, "dot bullets hit", nullptr},
    mission_stand_in{0x00A3FE, "installations fire", nullptr},
    mission_stand_in{0x00AE7A, "vehicles fire", nullptr},
    mission_stand_in{0x00B09A, "enemy scripts", nullptr},
    mission_stand_in{0x00AFA2, "event stream", nullptr},
    mission_stand_in{0x00B386, "second enemy step", nullptr},
    // the vertical frame's drawing
    mission_stand_in{0x006E4C, "draw installations", nullptr},
    mission_stand_in{0x0060AA, "draw vehicles", nullptr},
    mission_stand_in{0x006D12, "draw explosions", nullptr},
    mission_stand_in{0x0063DE, "draw debris", nullptr},
    mission_stand_in{0x00652E, "draw homing units", nullptr},
    mission_stand_in{0x0066F4, "draw goal", nullptr},
    mission_stand_in{0x005B32, "draw enemies", nullptr},
    mission_stand_in{0x005E32, "draw grenades", nullptr},
    mission_stand_in{0x00660C, "dot bullets move and draw", nullptr},
    mission_stand_in{0x006812, "draw bullets", nullptr},
    mission_stand_in{0x005F1A, "draw projectiles", nullptr},
    mission_stand_in{0x00B6EA, "draw effects", nullptr},
    // out-of-play plates
    mission_stand_in{0x008E24, "player 1 plate", nullptr},
    mission_stand_in{0x008DC6, "player 2 plate", nullptr},
    // the horizontal frame's own updates and drawing
    mission_stand_in{0x004A52, "projectiles against horizontal installations", nullptr},
    mission_stand_in{0x004C74, "horizontal installations", nullptr},
    mission_stand_in{0x005336, "section objects", nullptr},
    mission_stand_in{0x004F32, "draw horizontal installations", nullptr},
    mission_stand_in{0x0054AA, "draw section objects", nullptr},
    // placements reached from the level map and the event stream
    mission_stand_in{0x006F2A, "place installation $F1", skips_map_position},
    mission_stand_in{0x006F22, "place installation $F2", skips_map_position},
    mission_stand_in{0x006F3A, "place installation $F3", skips_map_position},
    mission_stand_in{0x006F32, "place installation $F4", skips_map_position},
    mission_stand_in{0x004C2E, "place horizontal installation", stores_stream_pointer},
    mission_stand_in{0x0052FA, "place section object", stores_stream_pointer},
    mission_stand_in{0x006026, "place vehicle", skips_attachment_list},
    mission_stand_in{0x00B1E4, "start enemy animation", nullptr},
    mission_stand_in{0x009BEA, "obstacle probe", probe_touches_nothing},
    // the players' update, aim step and fire: their callees of later work
    mission_stand_in{0x00AA2E, "player death step", nullptr},
    mission_stand_in{0x009860, "terrain step (the test sets the way bytes)", nullptr},
    mission_stand_in{0x009614, "bullet weapon", nullptr},
    mission_stand_in{0x009FE0, "projectile spawner", nullptr},
    mission_stand_in{0x00AB5C, "dot-bullet spawner", nullptr},
    mission_stand_in{0x006BEA, "grenade throw", nullptr},
    mission_stand_in{0x00B6A6, "effect spawner", nullptr},
    // the terrain step's deadly contact
    mission_stand_in{0x00AA42, "player start death", nullptr},
    // the bullets' impact marks
    mission_stand_in{0x00A85E, "impact spawner", nullptr},
    // what the enemy scripts fire (the grenade throw is above)
    mission_stand_in{0x006B74, "enemy bullets", nullptr},
    // what the installations and vehicles spawn and place, and what the
    // obstacle probe leaves when it destroys a section object
    mission_stand_in{0x006CA8, "explosion spawner", nullptr},
    mission_stand_in{0x00B424, "homing unit placement", places_no_homing_unit},
    mission_stand_in{0x0063A4, "debris spawner", nullptr},
    // the sound driver's sample players
    mission_stand_in{0x00E6EC, "sample channel A", sample_hook_a},
    mission_stand_in{0x00E756, "sample channel B", sample_hook_b},
};

// The sound driver's sample step of the VBL handler: no mission routine
// calls it, so it is not noted.
constexpr u32 vbl_sample_step = 0x00E7C0;

} // namespace

std::span<const mission_stand_in> mission_stand_ins() { return stand_ins; }

void mission_machine_reset() {
  for (const mission_stand_in& s : stand_ins) stub_records_doing(s.address, s.effect);
  stub_returns({vbl_sample_step});
  a5 = 0;
  a7 = mission_stack;
  set_sr(mission_sr);
  wr32(draw_screen, mission_draw_screen);
  wr16(frame_countdown, 0xFFFF);
  wr32(random_seed, mission_random_seed);
  sync_regs_out();
  vbls = 0;
}

void mission_vbl() {
  ++vbls;
  g_cpu.vbl_flag = 1;
  EXPECT_EQ(cpu_run_isr(&g_cpu, 0x0078A8, 4, 0, 1, nullptr), 0) << "the VBL handler did not return";
}

int mission_vbls() { return vbls; }

int run_mission_routine(u32 entry, int max_slices, i32 budget) {
  driver_start(entry);
  const int n = driver_run(max_slices, budget, mission_vbl);
  return driver_finished() ? n : -1;
}

std::vector<u32> stub_return_addresses() {
  std::vector<u32> r;
  for (const stub_call& c : stub_calls()) r.push_back(c.ret);
  return r;
}
