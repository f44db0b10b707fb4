// The emulation thread: start, the command handling, the pacing of the
// machine against the wall clock, and the join.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "host/platform.h"
#include "machine/hooks.h"
#include "machine/mfp.h"
#include "machine/vbl_delivery.h"
#include "machine/boot_state.h"
#include "machine/input_log.h"
#include "sound/audio_assembly.h"

emu_controller emu;
std::atomic<int> emu_running{0};

namespace {

emu_clock_fn test_clock = nullptr;
emu_sleep_fn test_sleep = nullptr;
port_thread* thread_handle = nullptr;
std::atomic<int> stop_requested{0};

// The screen kind for other threads: a sequence number around the copy,
// so that a reader never returns a half-written text.
std::atomic<unsigned> kind_seq{0};
std::atomic<char> kind_chars[16];

// The requested music folder, copied under its own lock.
std::mutex music_lock;
char music_req[700];

constexpr int emu_stack_size = 64 * 1024 * 1024;
constexpr int ahead_wait_ms = 2;
constexpr double stats_period = 2.0;
constexpr double default_lead = 3.6;

void send_clock() {
  present_msg* m = msg_new(MSG_CLOCK);
  if (!m) return;
  m->wall = emu.clock_wall;
  m->vbl = emu.clock_vbl;
  m->rate = emu.clock_rate;
  msgq_push(m);
}

void send_stats(double now) {
  present_msg* m = msg_new(MSG_STATS);
  if (!m) return;
  m->stats.step_ms = emu.step_count ? emu.busy_seconds / emu.step_count * 1000 : emu.busy_seconds * 1000;
  m->stats.steps_per_s = emu.step_count * 0.5;
  m->stats.longest_ms = emu.step_max * 1000;
  m->stats.slow_steps = emu.slow;
  m->stats.stalls = emu.stalls;
  msgq_push(m);
  emu.busy_seconds = 0;
  emu.step_count = 0;
  emu.step_max = 0;
  emu.slow = 0;
  emu.stats_report_time = now;
}

int handle_all_events() {
  emu_event ev;
  int handled = 0;
  while (ev_pop(&ev)) {
    ++handled;
    if (handle_event(&ev)) return -1;
  }
  return handled;
}

// Paused: the music driver keeps running on the timers alone, one VBL of
// audio at a time, at the machine's VBL rate.
void paused_music(double now) {
  if (!emu.audio_on || !emu.cfg.audio) {
    emu.next_chunk = 0;
    return;
  }
  if (emu.next_chunk < now - 0.1) emu.next_chunk = now;
  if (emu.next_chunk > now) return;
  while (emu.next_chunk <= now) {
    tos_music_tick();
    audio_chunk(emu.sent_joy[0], emu.sent_joy[1], 1);
    emu.next_chunk += 1.0 / (tos.vbl_rate > 0 ? tos.vbl_rate : 50);
  }
}

void thread_main(void*) {
  emu.stats_report_time = emu_now();
  emu.frameless = 0;
  while (emu_iteration()) {
  }
  emu_running.store(0);
}

int load_initial_state() {
  state_ptr state;
  if (!emu.state_file.empty()) {
    state.reset(state_new());
    if (!state || !state_read_file(state.get(), emu.state_file.c_str())) {
      host_log("Could not read the state %s", emu.state_file.c_str());
      return 0;
    }
  } else {
    state.reset(boot_state_make(emu.data_dir.c_str()));
    if (!state) return 0;
  }
  tos_init(emu.data_dir.c_str());
  tos_load_state(state.get());
  tos_ilog_rewind(state->vbl);
  return 1;
}

} // namespace

double emu_now() { return test_clock ? test_clock() : now_s(); }
void emu_set_clock(emu_clock_fn clock) { test_clock = clock; }
void emu_set_sleep(emu_sleep_fn sleep) { test_sleep = sleep; }

void emu_sleep(double ms) {
  if (test_sleep)
    test_sleep(ms);
  else
    sleep_ms(ms);
}

double emu_clock_at(double t) { return emu.clock_vbl + (t - emu.clock_wall) * emu.clock_rate; }

void set_rate(double rate, double offset) {
  const double now = emu_now();
  emu.clock_vbl = emu_clock_at(now) + offset;
  emu.clock_wall = now;
  emu.clock_rate = rate;
  tos.vbl_rate = rate;
  send_clock();
}

void publish_kind(const char* kind) {
  std::snprintf(emu.kind_now, sizeof emu.kind_now, "%s", kind);
  kind_seq.fetch_add(1);  // odd: being written
  for (int i = 0; i < 16; ++i) kind_chars[i].store(emu.kind_now[i], std::memory_order_relaxed);
  kind_seq.fetch_add(1);
}

const char* emu_kind() {
  static thread_local char copies[2][16];
  static thread_local int which = 0;
  which ^= 1;
  char* out = copies[which];
  for (;;) {
    const unsigned before = kind_seq.load();
    for (int i = 0; i < 16; ++i) out[i] = kind_chars[i].load(std::memory_order_relaxed);
    if (!(before & 1) && kind_seq.load() == before) break;
  }
  out[15] = 0;
  return out;
}

void emu_set_music_dir(const char* folder) {
  {
    std::lock_guard<std::mutex> lock(music_lock);
    std::snprintf(music_req, sizeof music_req, "%s", folder ? folder : "");
  }
  emu_post(EV_MUSIC_DIR, 0, 0);
}

void take_music_request(char* out, int size) {
  std::lock_guard<std::mutex> lock(music_lock);
  std::snprintf(out, static_cast<size_t>(size), "%s", music_req);
}

void emu_reset_controller() {
  for (machine_state*& s : emu.good) state_free(s);
  for (machine_state*& s : emu.map_hist) state_free(s);
  state_free(emu.pre_map);
  state_free(emu.snap_shop);
  end_load_watch();
  delete[] emu.last_menu_idx;
  emu.~emu_controller();
  new (&emu) emu_controller();
  for (i32& d : emu.down_at) d = never;
  publish_kind("");
  // A join leaves the stop request set; a controller made anew runs again.
  stop_requested.store(0);
}

int handle_event(const emu_event* ev) {
  const double a = ev->a, b = ev->b;
  switch (ev->kind) {
    case EV_QUIT: return 1;
    case EV_MENU_HZ: emu.menu_hz = a; break;
    case EV_LEAD: emu.lead = a; break;
    case EV_TICK:
      if (emu.ticks <= 2) ++emu.ticks;
      break;
    case EV_GOD:
      emu.god_on = static_cast<int>(a);
      tos_set_patch(0, emu.god_on != 0);
      break;
    case EV_MONEY: emu.money_on = static_cast<int>(a); break;
    case EV_FIX:
      emu.fix_on = static_cast<int>(a);
      tos_set_patch(1, emu.fix_on != 0);
      break;
    case EV_AUDIO:
      emu.audio_on = static_cast<int>(a);
      audio_set_on(emu.audio_on);
      break;
    case EV_VOLUME:
      emu.vol = a;
      audio_set_volume(a);
      break;
    case EV_PAUSE:
      if (a != 0) {
        emu.paused = 1;
      } else if (emu.paused) {
        set_rate(emu.clock_rate, (static_cast<double>(tos.vbl) - emu.lead) - emu_clock_at(emu_now()));
        emu.paused = 0;
      }
      break;
    case EV_SFX_MULTI:
      emu.sfx_multi = static_cast<int>(a);
      audio_set_sfx_multi(emu.sfx_multi);
      break;
    case EV_SFX_PAN:
      emu.sfx_pan = static_cast<int>(a);
      audio_set_sfx_pan(emu.sfx_pan);
      break;
    case EV_MP3:
      emu.mp3_on = static_cast<int>(a);
      audio_set_mp3(emu.mp3_on);
      break;
    case EV_JOY1: emu.wanted_joy[1] = static_cast<int>(a); break;
    case EV_JOY0: emu.wanted_joy[0] = static_cast<int>(a); break;
    case EV_KEY: {
      const int code = static_cast<int>(a);
      if (code < 1 || code > 127) break;
      key_enqueue(code, b != 0);
      if (b != 0) audio_key_pressed();
      break;
    }
    case EV_ESCAPE:
      if (emu.last_gp && ram_rd16(exit_request) == 0)
        ram_wr16(exit_request, 0xFFFF);
      else
        to_title();
      break;
    case EV_BACK_TO_MAP: back_to_map(); break;
    case EV_SAVE_SLOT: save_slot(static_cast<int>(a)); break;
    case EV_LOAD_SLOT: load_slot(static_cast<int>(a)); break;
    case EV_RESTART:
      if (!restart_players()) return 1;
      break;
    case EV_WEAPON_KEY: weapon_key(static_cast<int>(a), b); break;
    case EV_QUICK_WEAPON: quick_weapon(static_cast<int>(a), b != 0); break;
    case EV_PART_VOLUME: audio_set_part_volume(static_cast<int>(a), b); break;
    case EV_GAME_RATE:
      emu.game_hz = a;
      if (!emu.menu_clock) set_rate(a, 0);
      break;
    case EV_HOLD: {
      const int p = static_cast<int>(a);
      if (p == 0 || p == 1) emu.hold_on[p] = b != 0;
      break;
    }
    case EV_MUSIC_DIR: {
      char folder[700];
      take_music_request(folder, sizeof folder);
      emu.music_dir = folder;
      audio_set_music_dir(folder);
      break;
    }
    case EV_AIM: {
      const int p = static_cast<int>(a);
      if (p == 0 || p == 1) {
        const int code = static_cast<int>(b);
        emu.aim_in[p] = code & 0x0F;
        emu.aim_fire[p] = (code & 0x80) != 0;
      }
      break;
    }
    default: break;
  }
  return 0;
}

namespace {

// The whole milliseconds until the game clock has the machine behind, at
// least one (a machine exactly on time is still ahead) and at most the
// ahead wait: the step then runs as soon as it is due instead of up to a
// whole wait late.
int wait_until_due_ms(double now) {
  const double due = emu.clock_wall + (static_cast<double>(tos.vbl) - emu.lead - emu.clock_vbl) / emu.clock_rate;
  const double ms = std::ceil((due - now) * 1000);
  if (!(ms < ahead_wait_ms)) return ahead_wait_ms;
  return ms > 1 ? static_cast<int>(ms) : 1;
}

} // namespace

int emu_iteration() {
  if (stop_requested.load()) return 0;
  const double now = emu_now();
  // 1. Paused.
  if (emu.paused) {
    if (handle_all_events() < 0) return 0;
    pump(tos.vbl);
    paused_music(now);
    emu_sleep(10);
    return 1;
  }
  // 2. Ahead?
  const bool menu_clock = emu.menu_clock != 0;
  const bool ahead = menu_clock ? emu.ticks <= 0 : tos.vbl >= emu_clock_at(now) + emu.lead;
  if (ahead) {
    // 3. Wait for the clock or for an event, whichever comes first.
    const int ms = menu_clock ? ahead_wait_ms : wait_until_due_ms(now);
    if (test_sleep)
      test_sleep(ms);
    else
      ev_wait(ms);
    const int handled = handle_all_events();
    if (handled < 0) return 0;
    if (handled > 0) {
      if (handle_all_events() < 0) return 0;
      pump(tos.vbl);
      tos_deliver_keys();
    }
    return 1;
  }
  // 4. Behind: one step.
  const double start = emu_now();
  if (handle_all_events() < 0) return 0;
  if (emu.paused) return 1;
  pump(tos.vbl);
  int result;
  if (menu_clock) {
    if (emu.ticks > 0) --emu.ticks;
    result = do_step();
    emu.clock_wall = emu_now();
    emu.clock_vbl = static_cast<double>(tos.vbl) - emu.lead;
  } else {
    emu.ticks = 0;
    result = do_step();
  }
  if (result < 0) return 0;
  emu.last_gp = result;
  // 5. Which clock paces the machine.
  if (result == 1) {
    if (emu.menu_clock || emu.clock_rate != emu.game_hz) {
      set_rate(emu.game_hz, 0);
      emu.menu_clock = 0;
    }
    emu.frameless = 0;
  } else if (++emu.frameless > 25) {
    if (!emu.menu_clock || std::fabs(emu.clock_rate - emu.menu_hz) > 0.01) {
      set_rate(emu.menu_hz, 0);
      emu.menu_clock = 1;
    }
  }
  // 6. Statistics.
  const double end = emu_now();
  const double took = end - start;
  emu.busy_seconds += took;
  ++emu.step_count;
  if (took > emu.step_max) emu.step_max = took;
  if (took > 0.02) ++emu.slow;
  // 7. Stall: re-base instead of running a long catch-up.
  if (result == 1 && !menu_clock) {
    const double behind = emu_clock_at(end) + emu.lead - static_cast<double>(tos.vbl);
    if (behind > 6) {
      set_rate(emu.clock_rate, -behind);
      ++emu.stalls;
    }
  }
  // 8. Every 2 s the figures go to the presenter.
  if (end - emu.stats_report_time >= stats_period) send_stats(end);
  return 1;
}

int emu_start(const emu_config* config) {
  emu_reset_controller();
  emu.cfg = *config;
  emu.data_dir = config->data_dir ? config->data_dir : "";
  emu.music_dir = config->music_dir ? config->music_dir : "";
  emu.save_dir = config->save_dir ? config->save_dir : "";
  emu.state_file = config->state_file ? config->state_file : "";
  emu.cfg.data_dir = emu.data_dir.c_str();
  emu.cfg.music_dir = emu.music_dir.c_str();
  emu.cfg.save_dir = emu.save_dir.c_str();
  emu.cfg.state_file = nullptr;
  // The chosen lead as a change in play would set it, 0 included.
  emu.lead = config->lead >= 0 ? config->lead : default_lead;
  if (!load_initial_state()) return 0;

  audio_config audio;
  audio.audio_on = config->audio_on;
  audio.sfx_multi = config->sfx_multi;
  audio.sfx_pan = config->sfx_pan;
  audio.mp3_on = config->mp3_on;
  audio.vol = config->volume;
  audio.output = config->audio;
  audio.music_dir = emu.music_dir.c_str();
  audio.game_dir = emu.data_dir.c_str();

  emu.fix_on = config->fix;
  tos_set_patch(1, emu.fix_on != 0);
  if (config->god) {
    emu.god_on = 1;
    tos_set_patch(0, 1);
  }
  emu.money_on = config->money;
  emu.audio_on = config->audio_on;
  emu.sfx_multi = config->sfx_multi;
  emu.sfx_pan = config->sfx_pan;
  emu.mp3_on = config->mp3_on;
  emu.vol = config->volume;

  register_host_hooks();
  audio_start(audio);  // the sound hooks and BKM_SONG
  static const scene_ops ops = {on_frame_cb, on_sprite_cb, on_drop_cb, on_reset_cb};
  scene_init(&ops);
  scene_install_hooks();

  emu.menu_clock = 0;
  emu.clock_wall = config->start_time;
  emu.clock_vbl = tos.vbl;
  emu.clock_rate = emu.game_hz;
  tos.vbl_rate = emu.clock_rate;
  send_clock();

  if (!evq_open()) {
    host_log("Could not initialize the emulation event queue");
    return 0;
  }
  emu_running.store(1);
  if (!port_thread_start_stack(thread_main, nullptr, &thread_handle, emu_stack_size)) {
    emu_running.store(0);
    evq_close();
    host_log("Could not start the emulation thread");
    return 0;
  }
  return 1;
}

int emu_join() {
  if (!thread_handle) {
    evq_close();
    return 1;
  }
  stop_requested.store(1);
  emu_post(EV_QUIT, 0, 0);
  ev_wake();
  // A thread blocked on a full presenter queue finishes its push once the
  // queue turns sends away.
  msgq_set_closed(1);
  const double until = now_s() + 3.0;
  while (emu_running.load() && now_s() < until) sleep_ms(2);
  if (emu_running.load()) {
    host_log("The emulation thread did not stop within 3 s; leaving it behind");
    port_thread_detach(thread_handle);
    thread_handle = nullptr;
    return 0;
  }
  port_thread_join(thread_handle);
  thread_handle = nullptr;
  evq_close();
  msgq_set_closed(0);
  return 1;
}
