// The emulation controller's state and its internal interface between the
// thread (emu_thread.cpp), the VBL step (emu_step.cpp, emu_input.cpp,
// emu_jobs.cpp, emu_screen_kind.cpp, emu_recovery.cpp), the state changes
// (emu_slots.cpp) and the host hooks. Emulation thread only, except where
// a field says otherwise; tests drive these functions directly.
#pragma once
#include <atomic>
#include <string>

#include "host/emu_control.h"
#include "machine/machine_state.h"

constexpr int key_queue_capacity = 256;
// Presses are refused once this many keys wait, keeping room for releases.
constexpr int key_queue_press_limit = key_queue_capacity - 32;
constexpr int never = -999;  // "not pressed", "no snapshot yet"

constexpr u32 player1_record = 0x2DA;
constexpr u32 player2_record = 0x376;
constexpr u32 weapon_slots_offset = 0x66;
constexpr int weapon_slot_count = 19;
constexpr u32 current_weapon_offset = 0x0C;
constexpr u32 money_offset = 0x58;
constexpr u32 exit_request = 0x206;
constexpr u32 tune_flag = 0x424F2;
constexpr int player1_weapon_key = 30;
constexpr int player2_weapon_key = 78;
// A loaded slot is watched for this many VBLs (10 s at the game's 50 Hz):
// a failure within them gives back the game as it was before the load.
constexpr int load_watch_vbls = 500;

struct weapon_job_state {
  int key = 0;
  int state = 0;  // 1 pressed, 2 released
  u32 vbl = 0;
  int active = 0;
};

struct quick_job_state {
  int key = 0;
  u32 record = 0;
  int port = 0;
  int target = 0;
  int start_weapon = 0;
  int saved60 = 0;
  int saved62 = 0;
  int state = 0;
  int switch_retries = 0;
  int fire_retries = 0;
  u32 vbl = 0;
  int ammo_before = 0;
  int key_sent = 0;
  int active = 0;
};

// The test autopilot's counters (BKM_AUTOMISSION).
struct autopilot_state {
  int pulses = 0;       // VBLs of fire still to give
  int waits = 0;        // VBLs of stillness after them
  int arrived = 0;      // VBLs in a row with the pointer on its target
  u32 last_pulse = 0;   // VBL of the last fire pulse
  int started = 0;      // a mission began
  u32 mission_start = 0;
  int finished = 0;
  int counted = 0;      // the VBL below was counted
  u32 last_vbl = 0;
};

struct key_entry {
  int code;
  int down;
};

struct emu_controller {
  emu_config cfg;
  std::string data_dir, music_dir, save_dir, state_file;
  // Clock.
  double clock_wall = 0, clock_vbl = 0, clock_rate = 50;
  double game_hz = 50, menu_hz = 60, lead = 3.6;
  int menu_clock = 0;
  int ticks = 0;
  int frameless = 0;
  // Options.
  int paused = 0, audio_on = 1, money_on = 0, god_on = 0, fix_on = 1;
  int sfx_multi = 0, sfx_pan = 0, mp3_on = 0;
  double vol = 1.0;
  int last_gp = 0;
  double next_chunk = 0;  // paused music
  // Statistics.
  double busy_seconds = 0;
  int step_count = 0;
  double step_max = 0;
  int slow = 0, stalls = 0;
  double stats_report_time = 0;
  // Input.
  int wanted_joy[2] = {}, sent_joy[2] = {}, fire_held[2] = {}, force_fire[2] = {};
  i32 fire_since[2] = {};
  key_entry keyq[key_queue_capacity] = {};
  int nkeyq = 0;
  i32 down_at[256] = {};
  i32 key_free = 0;
  int hold_on[2] = {}, aim_in[2] = {}, aim_fire[2] = {};
  u8 aim_dir[2] = {};
  // Jobs.
  weapon_job_state weapon_job;
  quick_job_state quick_job;
  // Recovery.
  machine_state* good[3] = {};
  i32 good_vbl[3] = {};
  int ngood = 0;
  i32 last_good = never;
  i32 last_recover = -9999;
  int ncrash = 0;  // crash reports numbered so far (found on disk too)
  int inject = 0;
  int corrupt_fired = 0;
  int first_step_done = 0;
  u32 first_step_vbl = 0;
  int effect_done = 0, boom_done = 0;
  // Snapshots for slots and back-to-map.
  machine_state* map_hist[3] = {};
  i32 map_hist_vbl[3] = {};
  int nmap_hist = 0;
  i32 last_snap_map = never, fire_last = never;
  machine_state* pre_map = nullptr;
  int have_premap = 0;
  machine_state* snap_shop = nullptr;
  i32 last_snap_shop = never;
  // The game as it was before a slot was loaded, with its way back to the
  // map, while the loaded game is watched (load_watch VBLs left).
  machine_state* before_load = nullptr;
  machine_state* before_load_premap = nullptr;
  int load_watch = 0;
  int loaded_slot = 0;
  // Screen kind.
  char kind_now[16] = {};
  int want_song = 0;
  int have_frame = 0;
  u32 last_frame_vbl = 0;
  // Fixed screens.
  u8* last_menu_idx = nullptr;  // 64,000 indices
  palette_zone last_menu_zones[max_palette_zones] = {};
  int last_menu_nz = -1;
  // Tune-flag hold.
  u8 vf_real = 0;
  u8 vf_forced = 0;
  autopilot_state pilot;
};

extern emu_controller emu;

// Signed VBL distance a - b, so that a counter that went back after a load
// compares as "long ago" instead of wrapping around.
inline i32 vbl_since(u32 a, i32 b) { return static_cast<i32>(a - static_cast<u32>(b)); }

// Controller life (emu_thread.cpp).
void emu_reset_controller();  // every field to its initial value
int handle_event(const emu_event* ev);
void set_rate(double rate, double offset);
double emu_clock_at(double t);
// One pass of the thread's loop; 0 when the thread must end.
int emu_iteration();
void emu_sleep(double ms);

// The VBL step (emu_input.cpp, emu_step.cpp).
void pump(u32 vbl);
int do_step();
void key_enqueue(int code, int down);

// The test autopilot (autopilot.cpp): under BKM_TEST with BKM_AUTOMISSION,
// walks the map and the shop to a mission and plays a fixed script there.
// Counts once per VBL however often the input is delivered.
void autopilot(u32 vbl);
// Steers player 1's wanted joystick toward (x, y) on the map or shop
// pointer; 1 when no direction is needed.
int auto_arrived(int x, int y, int tolerance);
// Publishes the screen kind for emu_kind (emulation thread).
void publish_kind(const char* kind);

// Jobs (emu_jobs.cpp).
void weapon_key(int key, double b);
void quick_weapon(int key, int grenade);
void jobs_step(u32 v);
void weapon_job_start(int key);
int held_slots(u32 record, int* out);  // ascending slot list, its count

// Screen kind and snapshots (emu_screen_kind.cpp).
int screen_kind_step(u32 v);
void fixed_screen_step(u32 v);
void drop_map_snapshots();
void drop_crash_snapshots();

// Recovery (emu_recovery.cpp).
int recover_or_fail(u32 v);
void crash_snapshot_step(u32 v);

// State changes (emu_slots.cpp).
void save_slot(int n);
void load_slot(int n);
void restore_state(const machine_state* state);
void reset_after_load();
void to_title();
int restart_players();
void clock_rebase();
void reenable_hooks();
void back_to_map();
// A failure of a slot's game within its first VBLs: the game before the
// load comes back, and the player is told. 0 when no loaded game is
// watched.
int undo_failed_load(u32 v);
// One VBL of the loaded game went well.
void load_watch_step();
void end_load_watch();

// Music folder handed over by emu_set_music_dir.
void take_music_request(char* out, int size);
