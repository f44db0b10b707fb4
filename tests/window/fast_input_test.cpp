// The fast input thread: real key state through xdotool on the test's X
// display, virtual game controllers, and the events it posts read back
// from the event ring.
#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/pads.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/fast_input.h"
#include "host/window/input_frame.h"
#include "host/window/video_state.h"
#include "posted_events.h"
#include "test_guards.h"
#include "virtual_pads.h"
#include "window_fixture.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

bool xdotool(const char* action, const char* key) {
  char command[160];
  std::snprintf(command, sizeof command, "xdotool %s %s", action, key);
  return std::system(command) == 0;
}

// Keys sent to our window itself, so that another program's window on the
// same display (the tests run side by side) cannot take them.
bool xkey(const char* action, const char* key) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(g_video.window, &info)) return false;
  char command[200];
  std::snprintf(command, sizeof command, "xdotool %s --window %lu %s", action,
                static_cast<unsigned long>(info.info.x11.window), key);
  // xdotool now and then fails to reach a busy X server: a second try does.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (std::system(command) == 0) return true;
    SDL_Delay(100);
  }
  return false;
}

class fast_input_test : public window_test {
 protected:
  void SetUp() override {
    env_.emplace(std::initializer_list<const char*>{"BKM_TEST", "BKM_FASTIN_TEST"});
    unsetenv("BKM_TEST");
    setenv("BKM_FASTIN_TEST", "1", 1);
    // SDL ignores controller input while another window (a test program
    // running beside this one) has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    open(320, 200);
    ASSERT_EQ(evq_open(), 1);
    input_defaults();
    input_reset();
    fast_input = 1;
    app_running = 1;
    input_ready = 1;
    menu_open_flag = 0;
  }
  void TearDown() override {
    keys_.release_all();  // while the window they were sent to is open
    fast_input_stop();
    pads_close();
    for (SDL_Joystick* j : joysticks_) unplug_virtual_pad(j);
    evq_close();
    fast_input = 0;
    input_ready = 0;
    menu_open_flag = 0;
    input_defaults();
    input_reset();
    env_.reset();
    window_test::TearDown();
  }

  // The pads attached so far, as the mapping reads them.
  int pads_seen() {
    pad_state s[2];
    return pads_read(s);
  }

  SDL_Joystick* attach() {
    SDL_Joystick* j = attach_virtual_pad();
    joysticks_.push_back(j);
    return j;
  }

  // Collects what the thread posts, pumping the window's events (the key
  // state follows them), until the collected list ends with want or the
  // patience runs out.
  posts collect_until(const posts& want) {
    posts got;
    // Generous patience: on a loaded machine the X server and the thread
    // can lag by seconds; a passing run leaves as soon as want arrives.
    const double give_up = now_s() + 15;
    while (now_s() < give_up) {
      video_event ev;
      while (video_poll(&ev)) {
      }
      emu_event e;
      while (ev_pop(&e)) got.push_back({e.kind, e.a, e.b});
      if (got.size() >= want.size() && posts(got.end() - want.size(), got.end()) == want) break;
      sleep_ms(1);
    }
    return got;
  }
  // What arrives within a few of the thread's passes.
  posts settle() {
    posts got;
    for (int i = 0; i < 30; ++i) {
      SDL_PumpEvents();
      emu_event e;
      while (ev_pop(&e)) got.push_back({e.kind, e.a, e.b});
      sleep_ms(1);
    }
    return got;
  }

  // The X server sends keys to the focused window; other programs on the
  // same display may have taken the focus meanwhile.
  void focus() {
    SDL_RaiseWindow(g_video.window);
    SDL_SetWindowInputFocus(g_video.window);
    ASSERT_TRUE(xdotool("mousemove", "640 512"));
    for (int i = 0; i < 50 && !video_has_focus(); ++i) {
      SDL_PumpEvents();
      sleep_ms(2);
    }
  }

  std::optional<saved_env> env_;
  // Keys pressed on the X server are let go of however a test ends.
  pressed_keys keys_{xkey};
  std::vector<SDL_Joystick*> joysticks_;
};

const posts everything_zero = {{EV_HOLD, 0, 0}, {EV_AIM, 0, 0}, {EV_HOLD, 1, 0},
                               {EV_AIM, 1, 0},  {EV_JOY1, 0, 0}, {EV_JOY0, 0, 0}};

TEST_F(fast_input_test, ActiveOnlyWithTheOptionAndOutsideTestsUnlessAsked) {
  struct row {
    int option;
    const char* test;
    const char* fastin_test;
    int active;
  } rows[] = {
      {0, nullptr, nullptr, 0}, {1, nullptr, nullptr, 1}, {1, "1", nullptr, 0},
      {1, "1", "1", 1},         {0, "1", "1", 0},         {1, nullptr, "1", 1},
  };
  for (const row& r : rows) {
    fast_input = r.option;
    r.test ? setenv("BKM_TEST", r.test, 1) : unsetenv("BKM_TEST");
    r.fastin_test ? setenv("BKM_FASTIN_TEST", r.fastin_test, 1) : unsetenv("BKM_FASTIN_TEST");
    EXPECT_EQ(fast_input_active(), r.active) << r.option << " " << !!r.test << " " << !!r.fastin_test;
  }
  unsetenv("BKM_TEST");
  setenv("BKM_FASTIN_TEST", "1", 1);
}

TEST_F(fast_input_test, PadsPostOnChangeAndEverythingAgainAfterTheMenu) {
  SDL_Joystick* p0 = attach();
  SDL_Joystick* p1 = attach();
  ASSERT_EQ(pads_seen(), 2);
  fast_input_start();
  EXPECT_EQ(collect_until(everything_zero), everything_zero);

  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_A, 1);
  EXPECT_EQ(collect_until({{EV_JOY0, JOY_FIRE, 0}}), (posts{{EV_JOY0, JOY_FIRE, 0}}));
  SDL_JoystickSetVirtualAxis(p0, SDL_CONTROLLER_AXIS_RIGHTY, -32768);
  SDL_JoystickSetVirtualAxis(p0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 30000);
  const posts aimed = {{EV_HOLD, 0, 1}, {EV_AIM, 0, JOY_UP | JOY_FIRE}};
  EXPECT_EQ(collect_until(aimed), aimed);
  EXPECT_EQ(settle(), posts{});  // unchanged: nothing

  // The open menu silences the thread; closing it posts every value again.
  menu_open_flag = 1;
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_A, 0);
  EXPECT_EQ(settle(), posts{});
  menu_open_flag = 0;
  const posts again = {{EV_HOLD, 0, 1}, {EV_AIM, 0, JOY_UP | JOY_FIRE}, {EV_HOLD, 1, 0},
                       {EV_AIM, 1, 0},  {EV_JOY1, 0, 0},                {EV_JOY0, 0, 0}};
  EXPECT_EQ(collect_until(again), again);
}

TEST_F(fast_input_test, IdleUnderTestsUnlessAsked) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  setenv("BKM_TEST", "1", 1);
  unsetenv("BKM_FASTIN_TEST");
  fast_input_start();
  EXPECT_EQ(settle(), posts{});
  fast_input_stop();  // the environment is not changed under a reader
  setenv("BKM_FASTIN_TEST", "1", 1);
  fast_input_start();
  const posts fire = {{EV_HOLD, 0, 0}, {EV_AIM, 0, 0}, {EV_HOLD, 1, 0},
                      {EV_AIM, 1, 0},  {EV_JOY1, JOY_FIRE, 0}, {EV_JOY0, 0, 0}};
  EXPECT_EQ(collect_until(fire), fire);
}

TEST_F(fast_input_test, BlockedPadFireStaysOffWhileHeld) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  pad_fire_blocked[0] = 1;
  fast_input_start();
  EXPECT_EQ(collect_until(everything_zero), everything_zero);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
  EXPECT_EQ(collect_until({{EV_JOY1, JOY_UP, 0}}), (posts{{EV_JOY1, JOY_UP, 0}}));
}

TEST_F(fast_input_test, KeysBoundToJoystickActionsMoveIt) {
  kbd_set_bind(KEY_FIRE, 160);  // Left Shift
  kbd_set_bind(KEY_UP, 13);     // Enter
  fast_input_start();
  EXPECT_EQ(collect_until(everything_zero), everything_zero);
  struct row {
    const char* key;
    int vk;
    double joy;
  } rows[] = {{"Shift_L", 160, JOY_FIRE}, {"Return", 13, JOY_UP}, {"Control_R", 163, 0}, {"Left", 37, JOY_LEFT}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.key);
    focus();
    ASSERT_TRUE(keys_.down(r.key));
    if (r.joy) {
      EXPECT_EQ(collect_until({{EV_JOY1, r.joy, 0}}), (posts{{EV_JOY1, r.joy, 0}}));
    } else {
      // A key that no longer holds an action (Ctrl lost fire to Shift).
      EXPECT_EQ(settle(), posts{});
    }
    ASSERT_TRUE(keys_.up(r.key));
    if (r.joy) {
      EXPECT_EQ(collect_until({{EV_JOY1, 0, 0}}), (posts{{EV_JOY1, 0, 0}}));
    }
  }
  // A key held when the menu closed is ignored until pressed again.
  key_held[37] = 1;
  focus();
  ASSERT_TRUE(keys_.down("Left"));
  EXPECT_EQ(settle(), posts{});
  ASSERT_TRUE(keys_.up("Left"));
  key_held[37] = 0;
}

// Outside tests the keyboard counts only while the window has the focus:
// keys that reach it unfocused (sent to it by another program) are not the
// player's. BKM_FASTIN_TEST lets tests read it regardless.
TEST_F(fast_input_test, TheKeyboardCountsOnlyWithTheFocus) {
  unsetenv("BKM_FASTIN_TEST");
  fast_input_start();
  EXPECT_EQ(collect_until(everything_zero), everything_zero);
  focus();
  ASSERT_TRUE(video_has_focus());
  ASSERT_TRUE(keys_.down("Left"));
  EXPECT_EQ(collect_until({{EV_JOY1, JOY_LEFT, 0}}), (posts{{EV_JOY1, JOY_LEFT, 0}}));
  // Let go while focused: a key sent to the focused window is really
  // pressed on the X server, and must not stay down for later tests.
  ASSERT_TRUE(keys_.up("Left"));
  EXPECT_EQ(collect_until({{EV_JOY1, 0, 0}}), (posts{{EV_JOY1, 0, 0}}));
  std::unique_ptr<SDL_Window, decltype(&SDL_DestroyWindow)> window(
      SDL_CreateWindow("other", 0, 0, 100, 100, SDL_WINDOW_SHOWN), SDL_DestroyWindow);
  SDL_Window* other = window.get();
  ASSERT_NE(other, nullptr);
  SDL_RaiseWindow(other);
  SDL_SetWindowInputFocus(other);
  for (int i = 0; i < 500 && video_has_focus(); ++i) {
    SDL_PumpEvents();
    sleep_ms(2);
  }
  ASSERT_FALSE(video_has_focus());
  ASSERT_TRUE(keys_.down("Up"));
  for (int i = 0; i < 500 && !video_key_down(38); ++i) {
    SDL_PumpEvents();
    sleep_ms(2);
  }
  ASSERT_TRUE(video_key_down(38)) << "the key did not reach the window";
  EXPECT_EQ(settle(), posts{});
  fast_input_stop();  // the environment is not changed under a reader
  setenv("BKM_FASTIN_TEST", "1", 1);
  fast_input_start();
  const posts read = {{EV_HOLD, 0, 0}, {EV_AIM, 0, 0}, {EV_HOLD, 1, 0},
                      {EV_AIM, 1, 0},  {EV_JOY1, JOY_UP, 0}, {EV_JOY0, 0, 0}};
  EXPECT_EQ(collect_until(read), read);
  fast_input_stop();
  EXPECT_TRUE(keys_.up("Up"));
}

// The thread reads its switches when it starts and never again: a change
// of the environment while it runs leaves it as it was.
TEST_F(fast_input_test, TheTestSwitchesAreReadOnceAtTheStart) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  setenv("BKM_TEST", "1", 1);
  setenv("BKM_FASTIN_LOG", "1", 1);
  fast_input_start();  // with BKM_FASTIN_TEST: active under BKM_TEST
  EXPECT_EQ(collect_until(everything_zero), everything_zero);
  unsetenv("BKM_FASTIN_TEST");  // read now, the thread would fall idle
  unsetenv("BKM_FASTIN_LOG");
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  EXPECT_EQ(collect_until({{EV_JOY1, JOY_FIRE, 0}}), (posts{{EV_JOY1, JOY_FIRE, 0}}));
  fast_input_stop();
  EXPECT_NE(log.text().find("fastin j1=80 t="), std::string::npos) << log.text();
  unsetenv("BKM_TEST");
  setenv("BKM_FASTIN_TEST", "1", 1);
}

TEST_F(fast_input_test, ShutDownJoinsTheThreadWhilePosting) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  fast_input_start();
  for (int i = 0; i < 50; ++i) {
    SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, i & 1);
    sleep_ms(1);
  }
  app_running = 0;
  fast_input_stop();
  evq_close();
  fast_input_stop();  // twice is harmless
  app_running = 1;
}

}  // namespace

