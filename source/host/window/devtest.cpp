// Playing the test scripts once per displayed frame: what a person would
// do with the keyboard and the menu, at fixed times or once the game has
// reached a screen.
#include "host/window/devtest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "host/devtest_script.h"
#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/platform.h"
#include "host/window/app_state.h"
#include "host/window/input_frame.h"
#include "host/window/menu_layer.h"
#include "host/window/video.h"

namespace {

constexpr double key_hold_s = 0.25;
// The keyboard's joystick is left alone for the first second, while the
// game starts.
constexpr double joystick_from_s = 1.0;

struct devtest_run {
  devtest_script script;
  int holding = 0;
  int aim_sent = 0;
  std::string shots_dir;  // BKM_SHOTS, where the menu script's shots go
  int shots = 0;
  bool menu_finished = false;
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

void apply_menu_command(const char* action) {
  if (!std::strcmp(action, "open")) {
    open_menu();
  } else if (!std::strcmp(action, "close")) {
    close_menu();
  } else if (!std::strcmp(action, "enter")) {
    menu_activate(menu_cur);
  } else {
    menu_nav(menu_cur, action);
  }
}

// "shot": the first call asks for a picture of the frame drawn next; the
// call after that frame finds it written. True once the step is done.
bool play_shot(menu_step& m) {
  if (run->shots_dir.empty()) {
    host_log_file("menu script: shot skipped (no BKM_SHOTS)");
    return true;
  }
  char name[32];
  std::snprintf(name, sizeof name, "m%02d.png", run->shots);
  if (m.shot_asked) {
    ++run->shots;
    host_log_file("menu script: shot %s", name);
    return true;
  }
  video_screenshot((run->shots_dir + "/" + name).c_str());
  m.shot_asked = 1;
  return false;
}

// The steps in their order, each once its time has come and every step
// before it is done: a shot waits for its frame, and the steps after it
// wait for the shot. Each step done is logged (to the file), so a test can
// follow the states the menu went through. True when a shot of this frame
// was asked for.
bool play_menu(double t) {
  std::vector<menu_step>& steps = run->script.mseq;
  for (menu_step& m : steps) {
    if (m.done) continue;
    if (!devtest_due(run->script, m.t, t)) return false;
    if (!std::strcmp(m.action, "shot")) {
      if (!play_shot(m)) return true;
    } else {
      apply_menu_command(m.action);
      host_log_file("menu script: %s", m.action);
    }
    m.done = 1;
  }
  if (!steps.empty() && !run->menu_finished) {
    run->menu_finished = true;
    host_log_file("menu script: finished");
  }
  return false;
}

} // namespace

void devtest_reset() { run.reset(); }

bool devtest_frame(double t, const char* screen_kind) {
  if (!std::getenv("BKM_TEST")) return false;
  if (!run) {
    run.emplace();
    run->script = devtest_read_env();
    if (const char* folder = std::getenv("BKM_SHOTS")) run->shots_dir = folder;
  }
  devtest_note_kind(run->script, screen_kind, t);
  if (t > joystick_from_s) input_set_kbd_state(devtest_joystick(run->script, t));
  play_keys(t);
  play_hold_and_aim(t);
  if (run->script.has_god_at && t > run->script.god_at && !god_mode) {
    god_mode = 1;
    emu_post(EV_GOD, 1, 0);
  }
  return play_menu(t);
}
