// Playing the test scripts once per displayed frame: what a person would
// do with the keyboard and the menu, at fixed times or once the game has
// reached a screen.
#include "host/window/devtest.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "host/devtest_script.h"
#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/window/app_state.h"
#include "host/window/input_frame.h"
#include "host/window/menu_layer.h"

namespace {

constexpr double key_hold_s = 0.25;
// The keyboard's joystick is left alone for the first second, while the
// game starts.
constexpr double joystick_from_s = 1.0;

struct devtest_run {
  devtest_script script;
  int holding = 0;
  int aim_sent = 0;
};

std::optional<devtest_run> run;

void play_keys(double t) {
  for (scripted_key& k : run->script.keys) {
    if (k.state == KEY_WAITING && devtest_due(run->script, k.t, t)) {
      emu_post(EV_KEY, k.code, 1);
      k.state = KEY_PRESSED;
      k.release_at = t + key_hold_s;
    } else if (k.state == KEY_PRESSED && t >= k.release_at) {
      emu_post(EV_KEY, k.code, 0);
      k.state = KEY_RELEASED;
    }
  }
}

void play_hold_and_aim(double t) {
  const devtest_script& s = run->script;
  if (s.has_hold) {
    const int holding = s.hold_from <= t && t < s.hold_to;
    if (holding != run->holding) {
      run->holding = holding;
      emu_post(EV_HOLD, 0, holding);
    }
  }
  if (s.has_aim) {
    int code = 0;
    if (s.aim_from <= t && t < s.aim_to) {
      code = s.aim;
      if (code && pad_aim_autofire.load(std::memory_order_relaxed)) code |= JOY_FIRE;
    }
    if (code != run->aim_sent) {
      run->aim_sent = code;
      emu_post(EV_AIM, 0, code);
    }
  }
}

void play_menu(double t) {
  for (menu_step& m : run->script.mseq) {
    if (m.done || !devtest_due(run->script, m.t, t)) continue;
    m.done = 1;
    if (!std::strcmp(m.action, "open")) {
      open_menu();
    } else if (!std::strcmp(m.action, "close")) {
      close_menu();
    } else if (!std::strcmp(m.action, "enter")) {
      menu_activate(menu_cur);
    } else {
      menu_nav(menu_cur, m.action);
    }
  }
}

} // namespace

void devtest_reset() { run.reset(); }

void devtest_frame(double t, const char* screen_kind) {
  if (!std::getenv("BKM_TEST")) return;
  if (!run) run = devtest_run{devtest_read_env()};
  devtest_note_kind(run->script, screen_kind, t);
  if (t > joystick_from_s) input_set_kbd_state(devtest_joystick(run->script, t));
  play_keys(t);
  play_hold_and_aim(t);
  if (run->script.has_god_at && t > run->script.god_at && !god_mode) {
    god_mode = 1;
    emu_post(EV_GOD, 1, 0);
  }
  play_menu(t);
}
