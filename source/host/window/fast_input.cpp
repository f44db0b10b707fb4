// The fast input thread. It posts only changes; whenever it is not active
// (menu open, option off, before the main loop) it forgets what it posted,
// so that its next active pass posts every value again.
#include "host/window/fast_input.h"

#include <cstdlib>

#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/pads.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/input_frame.h"
#include "host/window/video.h"

namespace {

struct posted {
  int joy1 = -1, joy0 = -1;
  int hold[2] = {-1, -1};
  int aim[2] = {-1, -1};
};

// The test switches, read once when the thread starts: reading the
// environment every millisecond would race with setenv on another thread.
struct switches {
  bool test = false;         // BKM_TEST
  bool fastin_test = false;  // BKM_FASTIN_TEST
  bool log = false;          // BKM_FASTIN_LOG
};

port_thread* thread_handle = nullptr;
std::atomic<int> stop_flag{0};
switches thread_switches;  // written before the thread starts, read only by it

bool active_under(bool test, bool fastin_test) {
  return fast_input.load(std::memory_order_relaxed) && (!test || fastin_test);
}

int keyboard_joy(const switches& sw) {
  if (!video_has_focus() && !sw.fastin_test) return 0;
  int keys[12];
  const int n = kbd_joy_keys(keys);
  int joy = 0;
  for (int k = 0; k < n; k++) {
    const int code = keys[k];
    if (code <= 0 || code >= KEY_CODE_LIMIT) continue;
    if (key_held[code].load(std::memory_order_relaxed)) continue;
    if (video_key_down(code)) joy |= kbd_joy_bit(code);
  }
  return joy;
}

int pad_joy(int i, const pad_state& pad) {
  if (pad_fire_blocked[i].load(std::memory_order_relaxed) && (pad.joy & JOY_FIRE)) return pad.joy & ~JOY_FIRE;
  return pad.joy;
}

void pass(posted& last, const switches& sw) {
  pad_state pads[2];
  const int count = pads_read(pads);
  int joy1 = keyboard_joy(sw);
  int joy0 = 0;
  if (count > 0) joy1 |= pad_joy(0, pads[0]);
  if (count > 1) joy0 = pad_joy(1, pads[1]);
  for (int i = 0; i < 2; i++) {
    const int hold = i < count ? pads[i].hold : 0;
    if (hold != last.hold[i]) emu_post(EV_HOLD, i, last.hold[i] = hold);
    const int aim = pad_aim_code(pads, count, i);
    if (aim != last.aim[i]) emu_post(EV_AIM, i, last.aim[i] = aim);
  }
  if (joy1 != last.joy1) {
    emu_post(EV_JOY1, last.joy1 = joy1, 0);
    if (sw.log) host_log_file("fastin j1=%02X t=%.4f", joy1, now_s());
  }
  if (joy0 != last.joy0) emu_post(EV_JOY0, last.joy0 = joy0, 0);
}

void fast_input_thread(void*) {
  const switches sw = thread_switches;
  posted last;
  while (app_running.load(std::memory_order_relaxed) && !stop_flag.load(std::memory_order_relaxed)) {
    const bool allowed = active_under(sw.test, sw.fastin_test);
    if (!allowed || menu_open_flag.load(std::memory_order_relaxed) || !input_ready.load(std::memory_order_relaxed)) {
      last = posted{};
      sleep_ms(allowed ? 1 : 20);
      continue;
    }
    pass(last, sw);
    sleep_ms(1);
  }
}

}  // namespace

int fast_input_active() {
  return active_under(std::getenv("BKM_TEST") != nullptr, std::getenv("BKM_FASTIN_TEST") != nullptr);
}

void fast_input_start() {
  if (thread_handle) return;
  stop_flag.store(0);
  thread_switches = {std::getenv("BKM_TEST") != nullptr, std::getenv("BKM_FASTIN_TEST") != nullptr,
                     std::getenv("BKM_FASTIN_LOG") != nullptr};
  if (!port_thread_start(fast_input_thread, nullptr, &thread_handle)) {
    thread_handle = nullptr;
    host_log("Could not start the fast-input thread");
  }
}

void fast_input_stop() {
  if (!thread_handle) return;
  stop_flag.store(1);
  port_thread_join(thread_handle);
  thread_handle = nullptr;
}
