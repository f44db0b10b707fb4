// The per-frame input mapping: pushed window events and virtual game
// controllers go in, and the emulation events it posts are read back from
// the event ring in order.
#include "graphics/gfxpack.h"
#include "graphics/present.h"
#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/pads.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/input_frame.h"
#include "host/language.h"
#include "host/window/menu_layer.h"
#include "host/window/menu_options.h"
#include "host/window/video_state.h"
#include "posted_events.h"
#include "support/graphics/pack_assets.h"
#include "virtual_pads.h"
#include "window_fixture.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

class input_test : public window_test {
 protected:
  void SetUp() override {
    // SDL ignores controller input while another window (a test program
    // running beside this one) has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    open(320, 200);
    ASSERT_EQ(evq_open(), 1);
    presenter = present_new(1);
    ASSERT_NE(presenter, nullptr);
    input_defaults();
    input_reset();
    fast_input = 0;
    pflags[PF_INTERPOLATION] = 1;
    lead_with_interp = 3.6;
    lead_without_interp = 0.5;
    app_running = 1;
    input_ready = 1;
    drain_window();
    set_kind("game");
    frame();  // the first frame posts the initial joystick bytes, hold and aim
    take();
  }
  void TearDown() override {
    pads_close();
    for (SDL_Joystick* j : joysticks_) unplug_virtual_pad(j);
    present_free(presenter);
    presenter = nullptr;
    evq_close();
    input_ready = 0;
    input_defaults();
    input_reset();
    pflags[PF_INTERPOLATION] = 1;
    window_test::TearDown();
  }

  static void drain_window() {
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }

  void set_kind(const char* kind) {
    present_msg* m = msg_new(MSG_KIND);
    std::snprintf(m->text, sizeof m->text, "%s", kind);
    msgq_push(m);
    present_drain(presenter);
  }

  void key(SDL_Scancode sc, bool down, bool repeat = false, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = sc;
    e.key.keysym.mod = mod;
    e.key.windowID = SDL_GetWindowID(g_video.window);
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }

  int frame(double now = 0) { return input_frame(now); }

  // SDL hands a virtual controller's axes on at one of its next updates,
  // not always the first: the frames until something is posted.
  posts frames_until_posted(double now = 0) {
    const double give_up = now_s() + 10;  // patience for a loaded machine
    while (now_s() < give_up) {
      frame(now);
      posts p = take();
      if (!p.empty()) return p;
      SDL_Delay(1);
    }
    return {};
  }

  posts take() {
    posts out;
    emu_event e;
    while (ev_pop(&e)) out.push_back({e.kind, e.a, e.b});
    return out;
  }

  // What one frame posts after the given keys.
  posts keys_frame(std::initializer_list<std::pair<SDL_Scancode, bool>> list, bool repeat = false) {
    for (auto [sc, down] : list) key(sc, down, repeat);
    frame();
    return take();
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

  std::vector<SDL_Joystick*> joysticks_;
};

TEST_F(input_test, ArrowsTypeTheirKeyOnlyOutsideMissions) {
  // During a mission an arrow only moves the joystick.
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_LEFT, true}}), (posts{{EV_JOY1, JOY_LEFT, 0}}));
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_LEFT, false}}), (posts{{EV_JOY1, 0, 0}}));

  // The arrows have no ST scancode of their own; a letter bound to a
  // direction has: on the title it both types and moves.
  set_kind("other");
  kbd_set_bind(KEY_LEFT, 'J');
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, true}}), (posts{{EV_KEY, 36, 1}, {EV_JOY1, JOY_LEFT, 0}}));
  // The release is sent where the press was, even after the screen changed.
  set_kind("game");
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, false}}), (posts{{EV_KEY, 36, 0}, {EV_JOY1, 0, 0}}));
  // A press during the mission released on the title sends no release.
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, true}}), (posts{{EV_JOY1, JOY_LEFT, 0}}));
  set_kind("other");
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, false}}), (posts{{EV_JOY1, 0, 0}}));
}

TEST_F(input_test, KeysByTheirBinding) {
  kbd_set_bind(KEY_WPREV, 'Q');
  kbd_set_bind(KEY_ROCKET, 'R');
  kbd_set_bind(KEY_GRENADE, 'G');
  struct row {
    const char* what;
    SDL_Scancode sc;
    posts press, release;
  } rows[] = {
      {"next weapon", SDL_SCANCODE_A, {{EV_KEY, 30, 1}}, {{EV_KEY, 30, 0}}},
      {"previous weapon", SDL_SCANCODE_Q, {{EV_WEAPON_KEY, 30, -1}}, {}},
      {"rocket", SDL_SCANCODE_R, {{EV_QUICK_WEAPON, 30, 0}}, {}},
      {"grenade", SDL_SCANCODE_G, {{EV_QUICK_WEAPON, 30, 1}}, {}},
      {"an unbound key with a scancode", SDL_SCANCODE_1, {{EV_KEY, 2, 1}}, {{EV_KEY, 2, 0}}},
      {"keypad Enter", SDL_SCANCODE_KP_ENTER, {{EV_KEY, 28, 1}}, {{EV_KEY, 28, 0}}},
      {"a key without one", SDL_SCANCODE_F12, {}, {}},
      {"fire (Ctrl)", SDL_SCANCODE_RCTRL, {{EV_JOY1, JOY_FIRE, 0}}, {{EV_JOY1, 0, 0}}},
      {"second fire", SDL_SCANCODE_Z, {{EV_JOY1, JOY_FIRE, 0}}, {{EV_JOY1, 0, 0}}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(keys_frame({{r.sc, true}}), r.press);
    EXPECT_EQ(keys_frame({{r.sc, true}}, true), posts{});  // repeats post nothing
    EXPECT_EQ(keys_frame({{r.sc, false}}), r.release);
  }
}

TEST_F(input_test, JoystickKeysCombineAndPostOnlyChanges) {
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_UP, true}, {SDL_SCANCODE_RIGHT, true}}),
            (posts{{EV_JOY1, JOY_UP | JOY_RIGHT, 0}}));
  EXPECT_EQ(keys_frame({}), posts{});
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_UP, false}, {SDL_SCANCODE_UP, true}}), posts{});
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_RIGHT, false}, {SDL_SCANCODE_UP, false}}), (posts{{EV_JOY1, 0, 0}}));
  input_set_kbd_state(JOY_DOWN);
  EXPECT_EQ(keys_frame({}), (posts{{EV_JOY1, JOY_DOWN, 0}}));
}

TEST_F(input_test, HeldKeysWaitForTheirRelease) {
  key_held[37] = 1;
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_LEFT, true}}), posts{});
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_LEFT, false}}), posts{});
  EXPECT_EQ(key_held[37].load(), 0);
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_LEFT, true}}), (posts{{EV_JOY1, JOY_LEFT, 0}}));
}

TEST_F(input_test, PageKeysStepTheLeadWithinItsLimits) {
  struct row {
    bool interp;
    double start;
    SDL_Scancode sc;
    bool repeat;
    double lead;
  } rows[] = {
      {true, 3.6, SDL_SCANCODE_PAGEUP, false, 4.1},
      {true, 5.8, SDL_SCANCODE_PAGEUP, true, 6.0},  // repeats step too
      {true, 0.7, SDL_SCANCODE_PAGEDOWN, false, 0.5},
      {false, 0.5, SDL_SCANCODE_PAGEDOWN, false, 0.0},
      {false, 0.0, SDL_SCANCODE_PAGEDOWN, false, 0.0},
      {false, 5.5, SDL_SCANCODE_PAGEUP, false, 6.0},
      {false, 6.0, SDL_SCANCODE_PAGEUP, true, 6.0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.interp << " " << r.start << " " << r.sc);
    pflags[PF_INTERPOLATION] = r.interp;
    lead_with_interp = r.interp ? r.start : 3.6;
    lead_without_interp = r.interp ? 0.5 : r.start;
    const posts p = keys_frame({{r.sc, true}}, r.repeat);
    EXPECT_DOUBLE_EQ(r.interp ? lead_with_interp : lead_without_interp, r.lead);
    EXPECT_DOUBLE_EQ(lead, r.lead);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].kind, EV_LEAD);
    EXPECT_DOUBLE_EQ(p[0].a, r.lead);
    EXPECT_EQ(p[1].kind, EV_GAME_RATE);
    EXPECT_EQ(keys_frame({{r.sc, false}}), posts{});
  }
}

TEST_F(input_test, QuitStopsTheProgram) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  EXPECT_EQ(frame(), 0);
  EXPECT_EQ(app_running.load(), 0);
}

TEST_F(input_test, NothingBeforeTheLoopBegins) {
  input_ready = 0;
  EXPECT_EQ(keys_frame({{SDL_SCANCODE_A, true}}), posts{});
  input_ready = 1;
  EXPECT_EQ(keys_frame({}), (posts{{EV_KEY, 30, 1}}));  // the event waited in the window's queue
}

TEST_F(input_test, FullscreenFollowsTheWindow) {
  fullscreen = 0;
  keys_frame({{SDL_SCANCODE_F11, true}, {SDL_SCANCODE_F11, false}});
  EXPECT_EQ(fullscreen, video_is_fullscreen());
  EXPECT_EQ(fullscreen, 1);
  keys_frame({{SDL_SCANCODE_F11, true}}, true);  // held down: no flicker
  EXPECT_EQ(fullscreen, 1);
  keys_frame({{SDL_SCANCODE_F11, true}, {SDL_SCANCODE_F11, false}});
  EXPECT_EQ(fullscreen, 0);
  EXPECT_EQ(video_is_fullscreen(), 0);
  // A switch that cannot happen (no window) leaves the saved state alone.
  SDL_Window* w = g_video.window;
  g_video.window = nullptr;
  keys_frame({{SDL_SCANCODE_F11, true}});
  g_video.window = w;
  EXPECT_EQ(fullscreen, 0);
}

TEST_F(input_test, F9FindsThePacksAgainAndReloadsTheCurrentOne) {
  pack_assets assets;
  assets.write_index({index_sheet("sprites/solo", "sprite", 6, 6, 6, 6, 1, 2, {{0, "aaaaaaaaaaaa"}})});
  rgba_picture mine(6, 6);
  mine.fill(0, 0, 6, 6, 0xFF0000FF);
  assets.write_sheet("a", "sprites/solo", mine);
  ASSERT_EQ(gfxpack_init(assets.root().c_str(), 1, "b"), 1);
  ASSERT_EQ(gfxpack_list_count(), 1);
  gfxpack_select("b");
  EXPECT_EQ(gfxpack_replaced(), 0);
  assets.write_sheet("b", "sprites/solo", mine);
  const uint32_t gen = pack_gen;
  keys_frame({{SDL_SCANCODE_F9, true}, {SDL_SCANCODE_F9, false}});
  EXPECT_EQ(gfxpack_list_count(), 2);
  EXPECT_EQ(gfxpack_replaced(), 1);
  EXPECT_EQ(pack_gen, gen + 1);
  keys_frame({{SDL_SCANCODE_F9, true}}, true);  // held down: once
  EXPECT_EQ(pack_gen, gen + 1);
  gfxpack_init("", 1, "");
}

TEST_F(input_test, PadButtonsBecomeWeaponEventsForTheirPlayer) {
  SDL_Joystick* p0 = attach();
  SDL_Joystick* p1 = attach();
  ASSERT_EQ(pads_seen(), 2);
  frame();
  // A plugged pad posts its hold and aim of 0 only when they change: none.
  EXPECT_EQ(take(), posts{});
  struct row {
    const char* what;
    SDL_GameControllerButton button;
    posts press0, release0;
    posts press1;
  } rows[] = {
      {"previous weapon (LB)", SDL_CONTROLLER_BUTTON_LEFTSHOULDER, {{EV_WEAPON_KEY, 30, -1}}, {}, {{EV_WEAPON_KEY, 78, -1}}},
      {"rocket (B)", SDL_CONTROLLER_BUTTON_B, {{EV_QUICK_WEAPON, 30, 0}}, {}, {{EV_QUICK_WEAPON, 78, 0}}},
      {"grenade (X)", SDL_CONTROLLER_BUTTON_X, {{EV_QUICK_WEAPON, 30, 1}}, {}, {{EV_QUICK_WEAPON, 78, 1}}},
      {"next weapon (RB)", SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, {{EV_KEY, 30, 1}}, {{EV_KEY, 30, 0}}, {{EV_KEY, 78, 1}}},
      {"exit (Back)", SDL_CONTROLLER_BUTTON_BACK, {{EV_ESCAPE, 0, 0}}, {}, {{EV_ESCAPE, 0, 0}}},
      {"fire (A)", SDL_CONTROLLER_BUTTON_A, {{EV_JOY1, JOY_FIRE, 0}}, {{EV_JOY1, 0, 0}}, {{EV_JOY0, JOY_FIRE, 0}}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    SDL_JoystickSetVirtualButton(p0, r.button, 1);
    frame();
    EXPECT_EQ(take(), r.press0);
    frame();  // held: no new edge
    EXPECT_EQ(take(), posts{});
    SDL_JoystickSetVirtualButton(p0, r.button, 0);
    frame();
    EXPECT_EQ(take(), r.release0);
    SDL_JoystickSetVirtualButton(p1, r.button, 1);
    frame();
    EXPECT_EQ(take(), r.press1);
    SDL_JoystickSetVirtualButton(p1, r.button, 0);
    frame();
    take();
  }
}

TEST_F(input_test, PadExitGoesBackInTheMenuAndEscapeOpensIt) {
  setenv("BKM_TEST", "1", 1);  // closing the menu must not write options.json
  SDL_Joystick* p0 = attach();
  frame();
  take();
  const posts opened = keys_frame({{SDL_SCANCODE_ESCAPE, true}, {SDL_SCANCODE_ESCAPE, false}});
  EXPECT_NE(std::find(opened.begin(), opened.end(), posted{EV_PAUSE, 1, 0}), opened.end());
  EXPECT_EQ(frame(), 1);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_BACK, 1);
  EXPECT_EQ(frame(), 0);
  posts got = take();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0], (posted{EV_PAUSE, 0, 0}));
  for (const posted& p : got) EXPECT_NE(p.kind, EV_ESCAPE);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_BACK, 0);
  frame();
}

TEST_F(input_test, HoldAndAimOnlyOnChange) {
  SDL_Joystick* p0 = attach();
  SDL_Joystick* p1 = attach();
  ASSERT_EQ(pads_seen(), 2);
  frame();
  take();
  SDL_JoystickSetVirtualAxis(p1, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 20000);
  SDL_JoystickSetVirtualAxis(p0, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  EXPECT_EQ(frames_until_posted(), (posts{{EV_HOLD, 1, 1}, {EV_AIM, 0, JOY_RIGHT | JOY_FIRE}}));
  frame();
  EXPECT_EQ(take(), posts{});
  pad_aim_autofire = 0;
  frame();
  EXPECT_EQ(take(), (posts{{EV_AIM, 0, JOY_RIGHT}}));
  pad_aim_autofire = 1;
  frame();
  take();
  // Unplugging pad 1 releases its hold; pad 0's aim then belongs to the
  // remaining pad in slot order.
  unplug_virtual_pad(p1);
  joysticks_.pop_back();
  frame();
  EXPECT_EQ(take(), (posts{{EV_HOLD, 1, 0}}));
}

TEST_F(input_test, PadFireTypesThePlayerKeyOnThePlayerCountScreen) {
  SDL_Joystick* p0 = attach();
  SDL_Joystick* p1 = attach();
  ASSERT_EQ(pads_seen(), 2);
  frame();
  take();
  set_kind("players");
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_A, 1);
  frame(10.0);
  EXPECT_EQ(take(), (posts{{EV_KEY, 3, 1}, {EV_JOY0, JOY_FIRE, 0}}));
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  frame(10.05);
  EXPECT_EQ(take(), (posts{{EV_KEY, 2, 1}, {EV_JOY1, JOY_FIRE, 0}}));
  frame(10.119);
  EXPECT_EQ(take(), posts{});
  frame(10.121);
  EXPECT_EQ(take(), (posts{{EV_KEY, 3, 0}}));
  frame(10.2);
  EXPECT_EQ(take(), (posts{{EV_KEY, 2, 0}}));
  // Not on other screens.
  set_kind("other");
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 0);
  frame(11);
  take();
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  frame(11.1);
  EXPECT_EQ(take(), (posts{{EV_JOY1, JOY_FIRE, 0}}));
}

TEST_F(input_test, TheFirstFramePostsEveryValue) {
  input_reset();
  EXPECT_EQ(keys_frame({}), (posts{{EV_HOLD, 0, 0}, {EV_HOLD, 1, 0}, {EV_AIM, 0, 0}, {EV_AIM, 1, 0},
                                   {EV_JOY1, 0, 0}, {EV_JOY0, 0, 0}}));
  EXPECT_EQ(keys_frame({}), posts{});
}

TEST_F(input_test, AtMostEightTypedKeysWaitForTheirRelease) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  take();
  set_kind("players");
  posts typed;
  for (int i = 0; i < 9; ++i) {
    SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
    frame(20.0);
    SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 0);
    frame(20.0);
    for (const posted& p : take())
      if (p.kind == EV_KEY) typed.push_back(p);
  }
  EXPECT_EQ(typed, posts(8, posted{EV_KEY, 2, 1}));
  // Released exactly when due.
  frame(20.0 + 0.12);
  EXPECT_EQ(take(), posts(8, posted{EV_KEY, 2, 0}));
}

TEST_F(input_test, BlockedPadFireWaitsForItsRelease) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  take();
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  pad_fire_blocked[0] = 1;
  frame();
  EXPECT_EQ(take(), posts{});
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 0);
  frame();
  EXPECT_EQ(pad_fire_blocked[0].load(), 0);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  frame();
  EXPECT_EQ(take(), (posts{{EV_JOY1, JOY_FIRE, 0}}));
}

TEST_F(input_test, FastInputLeavesTheJoystickBytesToItsThread) {
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  take();
  fast_input = 1;
  unsetenv("BKM_TEST");
  setenv("BKM_FASTIN_TEST", "1", 1);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualAxis(p0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 20000);
  key(SDL_SCANCODE_UP, true);
  EXPECT_EQ(frames_until_posted(), (posts{{EV_HOLD, 0, 1}}));
  unsetenv("BKM_FASTIN_TEST");
  // Under BKM_TEST without BKM_FASTIN_TEST the thread is idle, so the
  // frame posts them.
  setenv("BKM_TEST", "1", 1);
  EXPECT_EQ(keys_frame({}), (posts{{EV_JOY1, JOY_UP | JOY_FIRE, 0}}));
  unsetenv("BKM_TEST");
  fast_input = 0;
}

// The options menu for the tests that open it.
void with_menus() {
  setenv("BKM_TEST", "1", 1);  // closing the menu must not write options.json
  lang_init(BKM_TEST_LANGUAGES);
  lang_set("en");
  menu_build(0, 1, 0);
}

bool has_kind(const posts& p, int kind) {
  for (const posted& e : p)
    if (e.kind == kind) return true;
  return false;
}

TEST_F(input_test, PadMenuButtonOpensAndClosesAndTheGameGetsNothingMeanwhile) {
  with_menus();
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  take();
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualAxis(p0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 20000);
  EXPECT_EQ(frames_until_posted(), (posts{{EV_HOLD, 0, 1}, {EV_JOY1, JOY_FIRE, 0}}));

  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_START, 1);
  EXPECT_EQ(frame(1.0), 1);
  posts opened = take();
  ASSERT_FALSE(opened.empty());
  EXPECT_TRUE(has_kind(opened, EV_PAUSE));
  // Opening forgets what was sent: hold and aim go out as 0 once more.
  EXPECT_EQ(keys_frame({}), (posts{{EV_HOLD, 0, 0}, {EV_HOLD, 1, 0}, {EV_AIM, 0, 0}, {EV_AIM, 1, 0}}));
  // Held fire, hold and a held menu button reach neither game nor menu.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(keys_frame({}), posts{}) << i;
  EXPECT_EQ(pad_fire_blocked[0].load(), 1);

  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_START, 0);
  frame(1.1);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_START, 1);
  EXPECT_EQ(frame(1.2), 0);
  // Closed: every value is sent again; the fire that was held through the
  // menu stays off until it is released.
  EXPECT_EQ(take(), (posts{{EV_PAUSE, 0, 0}, {EV_JOY1, 0, 0}, {EV_JOY0, 0, 0}}));
  EXPECT_EQ(keys_frame({}), (posts{{EV_HOLD, 0, 1}, {EV_HOLD, 1, 0}, {EV_AIM, 0, 0}, {EV_AIM, 1, 0}}));
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 0);
  frame(1.3);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  frame(1.4);
  EXPECT_EQ(take(), (posts{{EV_JOY1, JOY_FIRE, 0}}));
}

TEST_F(input_test, PadDrivesTheMenuWithARepeatingDirection) {
  with_menus();
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  menu* m = menu_options;
  m->tab = 0;
  m->cursor = 0;
  keys_frame({{SDL_SCANCODE_ESCAPE, true}, {SDL_SCANCODE_ESCAPE, false}});
  ASSERT_TRUE(menu_open);
  const int first = m->cursor;
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
  struct row {
    double now;
    int moved;  // rows down from the first item
  } rows[] = {{10.0, 1}, {10.2, 1}, {10.399, 1}, {10.401, 2}, {10.45, 2}, {10.5, 3}, {10.6, 4}};
  for (const row& r : rows) {
    frame(r.now);
    EXPECT_EQ(m->cursor, first + r.moved) << r.now;
  }
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0);
  frame(10.7);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
  frame(10.8);
  EXPECT_EQ(m->cursor, first + 3);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_UP, 0);

  // RB and LB change tabs even though LB is bound to the previous weapon,
  // which in the menu would go back and close it.
  struct button_row {
    SDL_GameControllerButton button;
    int tab;
  } tabs[] = {{SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1},
              {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 2},
              {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1}};
  double now = 11;
  for (const button_row& b : tabs) {
    SDL_JoystickSetVirtualButton(p0, b.button, 1);
    frame(now += 0.1);
    frame(now += 0.1);
    SDL_JoystickSetVirtualButton(p0, b.button, 0);
    frame(now += 0.1);
    EXPECT_EQ(m->tab, b.tab);
    EXPECT_TRUE(menu_open);
  }
  for (const posted& p : take()) {
    EXPECT_NE(p.kind, EV_KEY);
    EXPECT_NE(p.kind, EV_WEAPON_KEY);
  }
  // Fire confirms: on the tab bar it returns to the first item.
  m->tab_focus = 1;
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_A, 1);
  frame(now += 0.1);
  EXPECT_EQ(m->tab_focus, 0);
  // The pad's previous-weapon action on another button goes back.
  pad_set_bind(PAD_WPREV, PAD_BTN_Y);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_Y, 1);
  frame(now += 0.1);
  EXPECT_FALSE(menu_open);
  EXPECT_FALSE(has_kind(take(), EV_WEAPON_KEY));
}

// Return, Space, Z, either Ctrl and keypad Enter confirm the item under
// the cursor (here a switch, which flips); other keys do not.
TEST_F(input_test, ConfirmKeysActivateTheMenuItem) {
  with_menus();
  menu* m = menu_options;
  keys_frame({{SDL_SCANCODE_ESCAPE, true}, {SDL_SCANCODE_ESCAPE, false}});
  ASSERT_TRUE(menu_open);
  int index = -1, tab = -1;
  for (int i = 0; i < m->count && index < 0; ++i) {
    if (m->items[i].kind == MI_TAB) ++tab;
    if (!std::strcmp(m->items[i].label, "menu.startup_screen")) index = i;
  }
  ASSERT_GE(index, 0);
  m->tab = tab;
  m->tab_focus = 0;
  m->cursor = index;
  struct {
    SDL_Scancode sc;
    bool flips;
  } rows[] = {{SDL_SCANCODE_RETURN, true}, {SDL_SCANCODE_SPACE, true},    {SDL_SCANCODE_Z, true},
              {SDL_SCANCODE_LCTRL, true},  {SDL_SCANCODE_RCTRL, true},    {SDL_SCANCODE_KP_ENTER, true},
              {SDL_SCANCODE_X, false},     {SDL_SCANCODE_RSHIFT, false}};
  for (const auto& r : rows) {
    const int before = show_startup;
    keys_frame({{r.sc, true}, {r.sc, false}});
    EXPECT_EQ(show_startup != before, r.flips) << SDL_GetScancodeName(r.sc);
  }
  close_menu();
}

TEST_F(input_test, APadCaptureTakesThePadsUntilEveryButtonIsReleased) {
  with_menus();
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  open_menu();
  open_controls();
  menu* m = menu_controls;
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_X, 1);
  start_rebind(2, PAD_GRENADE);
  const int cursor = m->cursor;
  frame(1.0);  // the capture's first frame: a button already down is not taken
  EXPECT_EQ(rebind_kind, 2);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_X, 0);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
  frame(1.1);
  EXPECT_EQ(m->cursor, cursor);  // no navigation while capturing
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_Y, 1);
  frame(1.2);
  EXPECT_EQ(rebind_kind, 0);
  EXPECT_EQ(pad_bind[PAD_GRENADE].load(), PAD_BTN_Y);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_Y, 0);
  frame(1.3);
  frame(1.8);
  EXPECT_EQ(m->cursor, cursor);  // the d-pad is still down
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0);
  frame(1.9);
  SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
  frame(2.0);
  EXPECT_NE(m->cursor, cursor);
  close_menu();
}

// Tab steps the tabs forward, Shift+Tab back, with either Shift.
TEST_F(input_test, TabAndShiftTabStepTheMenusTabs) {
  with_menus();
  keys_frame({{SDL_SCANCODE_ESCAPE, true}, {SDL_SCANCODE_ESCAPE, false}});
  ASSERT_TRUE(menu_open);
  const int first = menu_options->tab;
  key(SDL_SCANCODE_TAB, true);
  key(SDL_SCANCODE_TAB, false);
  frame();
  EXPECT_EQ(menu_options->tab, (first + 1) % menu_options->tab_count);
  for (Uint16 shift : {KMOD_LSHIFT, KMOD_RSHIFT}) {
    key(SDL_SCANCODE_TAB, true, false, shift);
    key(SDL_SCANCODE_TAB, false, false, shift);
    frame();
  }
  EXPECT_EQ(menu_options->tab, (first + menu_options->tab_count - 1) % menu_options->tab_count);
  close_menu();
}

TEST_F(input_test, AKeyReleasedInTheMenuActsAgainOnceItCloses) {
  with_menus();
  keys_frame({{SDL_SCANCODE_ESCAPE, true}, {SDL_SCANCODE_ESCAPE, false}});
  ASSERT_TRUE(menu_open);
  keys_frame({{SDL_SCANCODE_LEFT, true}, {SDL_SCANCODE_LEFT, false}});
  close_menu();
  take();
  const posts pressed = keys_frame({{SDL_SCANCODE_LEFT, true}});
  EXPECT_NE(std::find(pressed.begin(), pressed.end(), posted{EV_JOY1, JOY_LEFT, 0}), pressed.end());
  keys_frame({{SDL_SCANCODE_LEFT, false}});
}

// Whatever opens and closes the menu, afterwards the game sees exactly the
// keys that are down: a joystick key and a typed ST key, both held when the
// menu opens, are released in the game then, and a release inside the menu,
// or an auto-repeat there followed by a release after the menu, sends
// nothing more.
TEST_F(input_test, KeysHeldIntoTheMenuAreReleasedInTheGameHoweverItOpens) {
  with_menus();
  SDL_Joystick* p0 = attach();
  ASSERT_EQ(pads_seen(), 1);
  frame();
  take();
  set_kind("other");
  kbd_set_bind(KEY_LEFT, 'J');
  double now = 40;
  auto toggle_by_pad = [&] {
    SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_START, 1);
    frame(now += 0.1);
    SDL_JoystickSetVirtualButton(p0, SDL_CONTROLLER_BUTTON_START, 0);
    frame(now += 0.1);
  };
  struct row {
    const char* what;
    bool by_pad;     // else the scripted open and close
    bool repeat;     // the held keys auto-repeat in the menu, and are let go after it
  } rows[] = {
      {"pad button, released inside", true, false},
      {"scripted open, released inside", false, false},
      {"pad button, repeated inside and released after", true, true},
      {"scripted open, repeated inside and released after", false, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, true}, {SDL_SCANCODE_1, true}}),
              (posts{{EV_KEY, 36, 1}, {EV_KEY, 2, 1}, {EV_JOY1, JOY_LEFT, 0}}));
    if (r.by_pad) {
      toggle_by_pad();
    } else {
      open_menu();
    }
    ASSERT_TRUE(menu_open);
    const posts opened = take();
    EXPECT_NE(std::find(opened.begin(), opened.end(), posted{EV_KEY, 36, 0}), opened.end());
    EXPECT_NE(std::find(opened.begin(), opened.end(), posted{EV_KEY, 2, 0}), opened.end());
    if (r.repeat) {
      keys_frame({{SDL_SCANCODE_J, true}, {SDL_SCANCODE_1, true}}, true);
    } else {
      keys_frame({{SDL_SCANCODE_J, false}, {SDL_SCANCODE_1, false}});
    }
    if (r.by_pad) {
      toggle_by_pad();
    } else {
      close_menu();
    }
    ASSERT_FALSE(menu_open);
    posts after = take();
    if (r.repeat) {
      for (const posted& p : keys_frame({{SDL_SCANCODE_J, false}, {SDL_SCANCODE_1, false}})) after.push_back(p);
    }
    for (int i = 0; i < 3; ++i)
      for (const posted& p : keys_frame({})) after.push_back(p);
    for (const posted& p : after) {
      EXPECT_FALSE(p.kind == EV_JOY1 && (int(p.a) & JOY_LEFT)) << p;
      EXPECT_NE(p.kind, EV_KEY) << p;
    }
    // A new press acts again.
    EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, true}}), (posts{{EV_KEY, 36, 1}, {EV_JOY1, JOY_LEFT, 0}}));
    EXPECT_EQ(keys_frame({{SDL_SCANCODE_J, false}}), (posts{{EV_KEY, 36, 0}, {EV_JOY1, 0, 0}}));
  }
}

TEST_F(input_test, TheSecondPadDrivesTheMenuAndItsFireIsHeldBackToo) {
  with_menus();
  attach();
  SDL_Joystick* p1 = attach();
  ASSERT_EQ(pads_seen(), 2);
  frame();
  menu* m = menu_options;
  m->tab = 0;
  m->cursor = 0;
  keys_frame({{SDL_SCANCODE_ESCAPE, true}, {SDL_SCANCODE_ESCAPE, false}});
  ASSERT_TRUE(menu_open);
  const int first = m->cursor;
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1);
  frame(30.0);
  EXPECT_EQ(m->cursor, first + 1);
  frame(30.5);
  EXPECT_EQ(m->cursor, first + 2) << "held: repeated";
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0);
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_A, 1);
  frame(31.0);
  EXPECT_EQ(pad_fire_blocked[1].load(), 1);
  close_menu();
  take();
  frame(31.1);
  for (const posted& p : take()) EXPECT_FALSE(p.kind == EV_JOY0 && p.a != 0) << "fire held through the menu";
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_A, 0);
  frame(31.2);
  take();
  SDL_JoystickSetVirtualButton(p1, SDL_CONTROLLER_BUTTON_A, 1);
  frame(31.3);
  EXPECT_EQ(take(), (posts{{EV_JOY0, JOY_FIRE, 0}}));
}

TEST_F(input_test, AResizeRedrawsTheMenu) {
  std::snprintf(menu_drawn_sig, sizeof menu_drawn_sig, "drawn");
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  e.window.windowID = SDL_GetWindowID(g_video.window);
  e.window.data1 = 400;
  e.window.data2 = 300;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  frame();
  EXPECT_EQ(menu_drawn_sig[0], 0);
}

}  // namespace
