#include "support/runs/whole_mission_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/shot_ram.h"
#include "graphics/content_hash.h"
#include "machine/boot_state.h"
#include "machine/cpu.h"
#include "machine/dispatch.h"
#include "machine/game_data.h"
#include "machine/hooks.h"
#include "machine/ikbd.h"
#include "machine/loader_hold.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/slice_runner.h"
#include "machine/tos.h"
#include "machine/vbl_delivery.h"
#include "support/machine/machine_fixture.h"
#include "support/machine/mission_machine.h"
#include "support/tables/section_cycle.h"
#include "support/graphics/contact_sheet.h"
#include "support/runs/golden_frames.h"
#include "support/synthetic/synthetic_game_data.h"
#include "support/machine/unit_boxes.h"
#include "support/runs/whole_mission_census.h"
#include "support/runs/whole_mission_input.h"

namespace {

namespace pr = player_record;

constexpr u32 title_entry = 0x00EC40;
constexpr u32 runner_entry = 0xC50000;
constexpr u32 runner_done = 0x80F82; // outside the game's memory: the runner's note
constexpr u32 frame_end_vertical = 0x008EE2;   // hook slot 29
constexpr u32 frame_end_horizontal = 0x00474A; // hook slot 0
constexpr u32 scroll_step_hook = 0x004A50;     // hook slot 4
constexpr u32 owned_weapons = 0x66;  // 19 bytes in the player record
constexpr u32 weapon_counters = 0x7A; // 13 words, up to the plate latch
constexpr u32 counter_words = 13;
constexpr int frame_limit = 6000;
// A routine that loops for ever would hold the test until its outer
// timeout; the run stops instead and names where. What may pass without a
// frame end, several times what the boot needs to the first one (about
// 190 VBLs; with the tiny budget 1.2 million loop heads in cut slices):
constexpr int vbls_without_frame_limit = 1000;
constexpr u64 loop_heads_without_frame_limit = 5000000;

// --- the control loop's steps of one mission, at a test address ----------

void own_every_weapon(u32 record) {
  for (u32 w = 0; w < 19; ++w) wr8(record + owned_weapons + w, 1);
  for (u32 c = 0; c < counter_words; ++c) wr16(record + weapon_counters + 2 * c, 99);
}

// --- the memory guard: what a mission may write -----------------------------

struct ram_range {
  u32 from, to; // [from, to)
  const char* what;
};
constexpr ram_range mission_writes[] = {
    {0x000000, 0x002848, "the work area: object tables, variables, stack, collision map"},
    {0x018000, 0x028000, "both screens and their spare bytes"},
    {0x028000, 0x02E000, "the background ring and the horizontal band"},
    {0x04152A, 0x042600, "the sound driver's variables"},
    {0x080F80, 0x080F90, "the test runner's notes"},
};

std::vector<u8> ram_at_mission_start;
bool hashing = true;
bool mission_started = false;
std::chrono::steady_clock::time_point mission_started_at;

// The guard's copy of the RAM is taken only when frames are checked, and
// the first game frame is timed from here: the set-up and the mission data
// load before it, in the same slice, are no game frame.
void note_mission_start() {
  if (hashing) ram_at_mission_start.assign(ram, ram + ram_size);
  mission_started = true;
  mission_started_at = std::chrono::steady_clock::now();
}

bool may_write(u32 a) {
  for (const ram_range& r : mission_writes)
    if (a >= r.from && a < r.to) return true;
  return false;
}

// The changed runs outside what a mission may write, as "$from-$to" text.
std::string guard_breaches() {
  std::string out;
  if (ram_at_mission_start.empty()) return out;
  int runs = 0;
  for (u32 a = 0; a < ram_size && runs < 8; ++a) {
    if (ram[a] == ram_at_mission_start[a] || may_write(a)) continue;
    u32 end = a;
    while (end < ram_size && (ram[end] != ram_at_mission_start[end] && !may_write(end))) ++end;
    char text[40];
    std::snprintf(text, sizeof text, " $%06X-$%06X", a, end - 1);
    out += text;
    ++runs;
    a = end;
  }
  return out;
}

ROUTINE(mission_runner, 0xC50000)
  JSR(0x009048, 0xC50004)
  JSR(0x0090C2, 0xC50008)
  JSR(0x009048, 0xC5000C)
  JSR(0x0091D0, 0xC50010)
  JSR(0x009134, 0xC50014)
  // where the world map and the weapon shop would leave their choices
  wr16(chosen_mission, 0);
  own_every_weapon(player1);
  own_every_weapon(player2);
  JSR(0x008910, 0xC50018)
  JSR(0x009062, 0xC5001C)
  JSR(0x007626, 0xC50020)
  JSR(0x008C64, 0xC50024)
  wr8(frame_countdown, 0xFF);
  wr16(exit_request, 0);
  JSR(0x00868A, 0xC50028)
  wr8(last_key, 0);
  note_mission_start();
  JSR(0x008EAC, 0xC5002C)
  wr16(runner_done, 0xFFFF);
LABEL(0xC50030)
  if (kit_wait(0xC50030)) return;
  GOTO(0xC50030);
END_ROUTINE

// Over the title's entry in this test only: the game loop's registers for
// a game of two players, then the runner. The title, the prompt, the map
// and the shop have their own end-to-end road; this run starts the mission
// straight after the game start.
ROUTINE(title_stand_in, 0x00EC40)
  set_sr(0x2300);
  a5 = 0;
  a7 = mission_stack;
  wr16(two_player_flag, 0xFFFF);
  JMP(0xC50000);
END_ROUTINE

// Set before every slice from RAM alone, as the host would set it.
void apply_invulnerability() {
  const int on = whole_mission_death_window() ? 0 : 1;
  if (g_cpu.patch_flags[0] != on) tos_set_patch(0, on);
}

mission_run* recording = nullptr;
bool keeping_screens = false;
frame_picture latest_picture;

// The words the scroll moves in every record, filled or not (the y word
// in the vertical sections; the x word of the explosions and installations
// by the host's scroll fix in the horizontal ones): a record is filled when
// any other byte is non-zero.
struct named_table {
  const char* name;
  object_table table;
  int moved[2]; // offsets of moved words, -1 for none
};
const named_table object_tables[] = {
    {"enemy_table", enemy_table, {2, -1}},
    {"bullet_table", bullet_table, {2, -1}},
    {"grenade_table", grenade_table, {2, -1}},
    {"dot_bullet_table", dot_bullet_table, {0, -1}},
    {"explosion_table", explosion_table, {0, 2}},
    {"debris_table", debris_table, {4, -1}},
    {"projectile_table", projectile_table, {4, -1}},
    {"effect_table", effect_table, {2, -1}},
    {"installation_table", installation_table, {0, 2}},
    {"vehicle_table", vehicle_table, {4, -1}},
    {"section_object_table", section_object_table, {-1, -1}},
    {"section_installation_table", section_installation_table, {-1, -1}},
    {"homing_unit_table", homing_unit_table, {6, -1}},
    {"goal_record", goal_record, {4, -1}},
};

bool record_filled(const named_table& t, u32 record) {
  for (u32 i = 0; i < t.table.size; ++i) {
    const int word = static_cast<int>(i & ~1u);
    if (word == t.moved[0] || word == t.moved[1]) continue;
    if (rd8(record + i) != 0) return true;
  }
  return false;
}

// A table is live once one of its records is filled: the tables are all
// zero from the mission's start.
void note_live_tables() {
  for (const named_table& t : object_tables) {
    const std::string name = t.name;
    if (std::find(recording->live_tables.begin(), recording->live_tables.end(), name) != recording->live_tables.end())
      continue;
    for (u32 r = 0; r < t.table.records; ++r)
      if (record_filled(t, t.table.address + r * t.table.size)) {
        recording->live_tables.push_back(name);
        break;
      }
  }
}
std::string state_folder;

// At the frame-end hooks: the hash of the screen just drawn and the
// palette, and at every 64th frame the memory guard.
void hash_frame(u32) {
  if (!hashing) {
    recording->frames.push_back({static_cast<u16>(rd16(fx_bank)), static_cast<u16>(rd16(stream_section)), ""});
    return;
  }
  u8 palette[32];
  tos_pal16(palette);
  const std::string text = screen_hash(ram + rd32(draw_screen), palette);
  const u16 stream = static_cast<u16>(rd16(stream_section));
  const size_t index = recording->frames.size();
  recording->frames.push_back({static_cast<u16>(rd16(fx_bank)), stream, text});
  if (keeping_screens) {
    // The last frame is golden too, but only the run's end tells which it is.
    const unsigned previous = index == 0 ? stream : recording->frames[index - 1].stream;
    frame_picture picture{index, std::vector<u8>(ram + rd32(draw_screen), ram + rd32(draw_screen) + screen_bytes),
                          std::vector<u8>(palette, palette + 32)};
    if (golden_frame_wanted(index, stream, previous, false))
      recording->pictures.push_back(std::move(picture));
    else
      latest_picture = std::move(picture);
  }
  note_live_tables();
  census_frame_end();
  if (rd16(player2 + pr::state) == 0xFFFF) recording->player2_died = true;
  if (recording->frames.size() % 64 == 1 && recording->breaches.empty()) recording->breaches = guard_breaches();
}

// --- the hook contract of the drawing routines -----------------------------
// At a unit's entry hook the register holds a record of the kind's table;
// a unit opens while the kind's active word is non-zero and must be closed
// by its exit (a fixed hook, or for the kinds that end at their return the
// return-point hook whose address is the long at a7) before the next entry.

enum class unit_register { a0, a4, a6, a6_plus_d6 };

struct unit_kind {
  const char* name;
  u32 entry, exit;      // exit 0: at the return address
  unit_register reg;
  u32 table, size, records;
  u32 active;           // offset of the active word
};

constexpr unit_kind unit_kinds[] = {
    {"player", 0x00597A, 0, unit_register::a4, player1, player2 - player1, 2, 0},
    {"enemy", 0x005BA8, 0, unit_register::a6, enemy_table.address, enemy_table.size, enemy_table.records, 4},
    {"obj5e32", 0x005E3A, 0x005F10, unit_register::a6, grenade_table.address, grenade_table.size, grenade_table.records, 4},
    {"obj5f1a", 0x005F22, 0x005FF4, unit_register::a6, projectile_table.address, projectile_table.size,
     projectile_table.records, 0},
    {"fx", 0x00B6F2, 0x00B6F8, unit_register::a6, effect_table.address, effect_table.size, effect_table.records, 8},
    {"veh", 0x0060F0, 0, unit_register::a6, vehicle_table.address, vehicle_table.size, vehicle_table.records, 0},
    {"veh6", 0x0061FA, 0, unit_register::a6, vehicle_table.address, vehicle_table.size, vehicle_table.records, 0},
    {"veh4", 0x0062C0, 0, unit_register::a6, vehicle_table.address, vehicle_table.size, vehicle_table.records, 0},
    {"bullet", 0x006848, 0x0068B4, unit_register::a0, bullet_table.address, bullet_table.size, bullet_table.records, 8},
    {"bullet2", 0x0068DC, 0x006946, unit_register::a0, bullet_table.address, bullet_table.size, bullet_table.records, 8},
    {"boom", 0x006D1A, 0x006D5A, unit_register::a4, explosion_table.address, explosion_table.size,
     explosion_table.records, 4},
    {"turret", 0x006E54, 0x006F18, unit_register::a6_plus_d6, installation_table.address, installation_table.size,
     installation_table.records, 4},
};
constexpr u32 unit_return_points[] = {0x0047FA, 0x00595A, 0x005972, 0x005BA0, 0x0060CC, 0x0060DA, 0x0060DE, 0x008FC6};

struct open_unit {
  const unit_kind* kind = nullptr;
  u32 exit = 0;
};
open_unit unit_open;

// The picture-box half of the contract: the screen at a unit's entry, its
// box, and at the exit every changed byte must lie in that box.
bool checking_boxes = false;
struct unit_drawing {
  unit_box box;
  u32 screen = 0; // draw_screen at the entry
  std::vector<u8> before;
  bool idle = false; // a free record passing its hooks: nothing may change
};
unit_drawing drawing;

void open_box(const unit_kind& k, u32 record, bool idle) {
  drawing.box = idle ? unit_empty_box(k.name, record) : unit_picture_box(k.name, record);
  drawing.idle = idle;
  drawing.screen = rd32(draw_screen);
  if (drawing.screen > ram_size - unit_screen_span) {
    drawing.before.clear();
    return;
  }
  drawing.before.assign(ram + drawing.screen, ram + drawing.screen + unit_screen_span);
}

void close_box() {
  if (drawing.before.empty()) return;
  std::string fault;
  if (rd32(draw_screen) != drawing.screen)
    fault = drawing.box.kind + " changed draw_screen between its entry and exit";
  else
    fault = drawn_outside(drawing.box, drawing.before.data(), ram + drawing.screen);
  drawing.before.clear();
  ++(drawing.idle ? recording->idle_records_checked : recording->boxes_checked);
  if (fault.empty() || !recording->box_breach.empty()) return;
  char at[48];
  std::snprintf(at, sizeof at, " (frame %u, stream %u)", rd16(fx_bank), rd16(stream_section));
  recording->box_breach = fault + (drawing.idle ? " by a free record" : "") + at;
}

// The frame being drawn will be a golden frame (the last one excepted: only
// the run's end tells which it is).
bool drawing_a_golden_frame() {
  const size_t index = recording->frames.size();
  const unsigned stream = rd16(stream_section);
  return golden_frame_wanted(index, stream, index == 0 ? stream : recording->frames.back().stream, false);
}

void contract_breach(const std::string& what) {
  if (!recording->hook_breach.empty()) return;
  char at[48];
  std::snprintf(at, sizeof at, " (frame %u, stream %u)", rd16(fx_bank), rd16(stream_section));
  recording->hook_breach = what + at;
}

std::string hex(u32 v) {
  char text[16];
  std::snprintf(text, sizeof text, "$%06X", v);
  return text;
}

void unit_entry(u32 address) {
  const unit_kind* k = nullptr;
  for (const unit_kind& u : unit_kinds)
    if (u.entry == address) k = &u;
  if (k == nullptr) return;
  if (unit_open.kind != nullptr)
    contract_breach(std::string(k->name) + " entered at " + hex(address) + " while a " + unit_open.kind->name +
                    " unit waits for its exit " + hex(unit_open.exit));
  u32 record = 0;
  switch (k->reg) {
    case unit_register::a0: record = g_cpu.a[0]; break;
    case unit_register::a4: record = g_cpu.a[4]; break;
    case unit_register::a6: record = g_cpu.a[6]; break;
    case unit_register::a6_plus_d6: record = g_cpu.a[6] + (g_cpu.d[6] & 0xFFFF); break;
  }
  const u32 offset = record - k->table;
  if (record < k->table || offset % k->size != 0 || offset / k->size >= k->records) {
    contract_breach(std::string(k->name) + " entered with " + hex(record) + ", no record of its table");
    unit_open = {};
    return;
  }
  if (rd16(record + k->active) == 0) {
    unit_open = {};
    // The kinds with an exit hook pass it for free records too; at the
    // golden frames nothing may be drawn between the two.
    if (checking_boxes && k->exit != 0 && drawing_a_golden_frame()) {
      unit_open = {k, k->exit};
      open_box(*k, record, true);
    }
    return;
  }
  u32 exit = k->exit;
  if (exit == 0) {
    exit = rd32(g_cpu.a[7]);
    if (std::find(std::begin(unit_return_points), std::end(unit_return_points), exit) == std::end(unit_return_points))
      contract_breach(std::string(k->name) + " returns to " + hex(exit) + ", no return-point hook");
  }
  unit_open = {k, exit};
  if (checking_boxes) open_box(*k, record, false);
  const std::string name = k->name;
  if (std::find(recording->unit_kinds_seen.begin(), recording->unit_kinds_seen.end(), name) ==
      recording->unit_kinds_seen.end())
    recording->unit_kinds_seen.push_back(name);
  ++recording->units;
}

void unit_exit(u32 address) {
  if (unit_open.kind == nullptr) return;
  if (address != unit_open.exit) {
    contract_breach(std::string("exit ") + hex(address) + " while a " + unit_open.kind->name + " unit waits for " +
                    hex(unit_open.exit));
    return;
  }
  if (checking_boxes) close_box();
  unit_open = {};
}

void unit_hook(u32 address) {
  for (const unit_kind& u : unit_kinds)
    if (u.exit == address) return unit_exit(address);
  if (std::find(std::begin(unit_return_points), std::end(unit_return_points), address) != std::end(unit_return_points))
    return unit_exit(address);
  unit_entry(address);
}

// The host's scroll fix, and a count of the scroll steps of each
// horizontal section (the hook is reached only after a step).
void note_scroll_step(u32 address) {
  scroll_fix(address);
  const i16 step = static_cast<i16>(rd16(hscroll_step));
  if (recording->horizontal_steps.size() < static_cast<size_t>(rd16(stream_section) / 2 + 1)) {
    recording->horizontal_steps.push_back(step);
    recording->horizontal_passes.push_back(0);
  }
  ++recording->horizontal_passes.back();
}



void register_run_routines() {
  dispatch_register_over(title_entry, title_stand_in);
  register_routine(runner_entry, mission_runner,
                   {0xC50004, 0xC50008, 0xC5000C, 0xC50010, 0xC50014, 0xC50018, 0xC5001C, 0xC50020, 0xC50024,
                    0xC50028, 0xC5002C, 0xC50030});
  hook_register(frame_end_vertical, hash_frame);
  hook_register(frame_end_horizontal, hash_frame);
  hook_register(scroll_step_hook, note_scroll_step);
  for (const unit_kind& u : unit_kinds) {
    hook_register(u.entry, unit_hook);
    if (u.exit != 0) hook_register(u.exit, unit_hook);
  }
  for (u32 r : unit_return_points) hook_register(r, unit_hook);
  census_register_hooks();
}

// Saves the live machine to a state file, clears the machine, and loads
// the file back: the run goes on from the state alone.
bool save_and_reload(mission_run& run) {
  state_ptr saved(state_new());
  tos_save_state(saved.get());
  const std::string path = state_folder + "/resume" + std::to_string(run.saves) + ".state";
  if (state_write_file(saved.get(), path.c_str()) != 1) return false;
  state_ptr read(state_new());
  if (state_read_file(read.get(), path.c_str()) != 1) return false;
  machine_clear();
  stub_reset();
  register_run_routines();
  tos_load_state(read.get());
  ++run.saves;
  return true;
}

bool resume_here(resume_at resume, const mission_run& run) {
  const bool horizontal = rd16(hscroll_step) != 0;
  // inside H1 after a hundred steps; inside V2 past the middle of its map
  if (resume == resume_at::horizontal_pass)
    return horizontal && run.horizontal_passes.size() == 2 && run.horizontal_passes[1] > 100;
  return !horizontal && rd16(stream_section) == 4 && rd16(scroll_pos) > 600;
}

// The label a slice stopped at, by the routine that owns it.
std::string label_at(u32 pc) {
  for (int i = 0; i < game_dispatch_row_count; ++i) {
    const dispatch_row& row = game_dispatch_rows[i];
    if (row.address == pc)
      return std::string(row.kind == routine_entry ? "the entry of " : "a label of ") + row.owner_name;
  }
  return "no label of a written routine (a test's stand-in)";
}

// "" while the frame in progress is within the limits.
std::string stuck_frame(size_t frame, int vbls, u64 loop_heads) {
  if (vbls <= vbls_without_frame_limit && loop_heads <= loop_heads_without_frame_limit) return "";
  char text[160];
  std::snprintf(text, sizeof text, "frame %zu did not end in %d VBLs and %llu loop heads: the slice stopped at $%06X, ",
                frame, vbls, static_cast<unsigned long long>(loop_heads), g_cpu.pc & 0xFFFFFF);
  return text + label_at(g_cpu.pc & 0xFFFFFF) + (g_cpu.yield_reason == YIELD_BUDGET ? ", looping" : ", waiting");
}

} // namespace

std::string screen_hash(const u8* screen, const u8* palette) {
  b2_state h;
  b2_init(&h);
  b2_update(&h, screen, screen_bytes);
  b2_update(&h, palette, 32);
  char text[GFX_HASH_TEXT];
  b2_hex(&h, text);
  return text;
}

mission_run play_whole_mission(const std::string& folder, const std::vector<u8>& file, const whole_mission_play& how) {
  mission_run run;
  // Grown while the mission runs, a vector's copy would fall into one frame's time.
  run.frames.reserve(frame_limit);
  run.frame_ns.reserve(frame_limit);
  recording = &run;
  hashing = how.hash_frames;
  keeping_screens = how.hash_frames && how.keep_golden_screens;
  latest_picture = {};
  unit_open = {};
  checking_boxes = how.hash_frames;
  drawing = {};
  state_folder = folder;
  ram_at_mission_start.clear();
  mission_started = false;
  census_start(how.hash_frames ? &run.paths_seen : nullptr);
  g_load_seconds = 0;
  if (!synth_write(folder + "/BKM", file) || game_data_init(folder.c_str()) != 1) {
    run.failure = "the data file could not be selected";
    return run;
  }
  state_ptr boot(boot_state_make(folder.c_str()));
  if (!boot) {
    run.failure = "no boot state";
    return run;
  }
  tos_load_state(boot.get());
  stub_reset();
  register_run_routines();

  bool resumed = false;
  double frame_ns = 0;
  size_t frames_timed = 0;
  size_t frames_seen = 0;
  int vbls_in_frame = 0;
  u64 loop_heads_in_frame = 0;
  while (rd16(runner_done) == 0 && run.frames.size() < frame_limit) {
    auto t0 = std::chrono::steady_clock::now();
    const bool started_before = mission_started;
    apply_invulnerability();
    const int result = tos_run_slice(how.budget);
    if (result != 1) {
      char text[96];
      std::snprintf(text, sizeof text, "the slice ended with %d at $%06X (fault $%06X)", result, g_cpu.pc,
                    g_cpu.fault_pc);
      run.failure = text;
      break;
    }
    const bool in_mission = rd16(fx_bank) > 0 || mission_started;
    if (!started_before && mission_started) {
      run.start_ns = std::chrono::duration<double, std::nano>(mission_started_at - t0).count();
      t0 = mission_started_at;
      frame_ns = 0;
    }
    const bool spent = g_cpu.yield_reason == YIELD_BUDGET;
    if (how.resume != resume_at::nowhere && !resumed && spent && in_mission && resume_here(how.resume, run)) {
      if (!save_and_reload(run)) {
        run.failure = "the state file could not be written or read";
        break;
      }
      resumed = true;
      continue;
    }
    if (spent && in_mission) ++run.budget_ends;
    if (run.frames.size() != frames_seen) {
      frames_seen = run.frames.size();
      vbls_in_frame = 0;
      loop_heads_in_frame = 0;
    }
    if (spent)
      loop_heads_in_frame += how.budget;
    else
      ++vbls_in_frame;
    run.failure = stuck_frame(run.frames.size(), vbls_in_frame, loop_heads_in_frame);
    if (!run.failure.empty()) break;
    // A slice cut by its budget is not a VBL: the next one goes on where it stopped.
    if (!spent) {
      tos_vbl();
      ++run.vbls;
      whole_mission_input();
      stub_calls().clear();
    }
    if (in_mission) {
      frame_ns += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
      if (run.frames.size() > frames_timed) {
        frames_timed = run.frames.size();
        run.frame_ns.push_back(frame_ns);
        frame_ns = 0;
      }
    }
  }
  run.finished = rd16(runner_done) == 0xFFFF;
  if (keeping_screens && !run.frames.empty() &&
      (run.pictures.empty() || run.pictures.back().index != run.frames.size() - 1))
    run.pictures.push_back(std::move(latest_picture));
  if (run.breaches.empty() && hashing) run.breaches = guard_breaches();
  run.exit = static_cast<u16>(rd16(exit_request));
  run.score1 = rd32(player1 + pr::score);
  run.score2 = rd32(player2 + pr::score);
  run.lives1 = static_cast<u16>(rd16(player1 + pr::lives));
  run.lives2 = static_cast<u16>(rd16(player2 + pr::lives));
  run.level = static_cast<u16>(rd16(level_section));
  run.stream = static_cast<u16>(rd16(stream_section));
  census_start(nullptr);
  recording = nullptr;
  return run;
}

bool write_frame_png(const frame_picture& p, const std::string& path) {
  if (p.screen.size() != screen_bytes || p.palette.size() != 32) return false;
  return write_screen_png(path, p.screen.data(), p.palette.data());
}

const whole_mission_build& whole_mission_built() {
  static const whole_mission_build b = [] {
    whole_mission_build out;
    build_whole_mission(whole_mission_default(), out);
    return out;
  }();
  return b;
}
