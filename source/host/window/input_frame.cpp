// The per-frame input mapping. Keyboard keys go through their bindings:
// the joystick keys make player 1's joystick byte (and on screens that are
// not in a mission also type their ST key, so that menus answer to the
// arrows), the weapon keys become weapon events, and every other key with an
// ST scancode is typed. Pad 0 belongs to player 1 (weapon key 30, port 1),
// pad 1 to player 2 (weapon key 78, port 0).
#include "host/window/input_frame.h"

#include <algorithm>
#include <cstring>

#include "graphics/gfxpack.h"
#include "graphics/present.h"
#include "host/emu_events.h"
#include "host/pads.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/fast_input.h"
#include "host/window/menu_layer.h"
#include "host/window/video.h"

std::atomic<int> key_held[KEY_CODE_LIMIT];
std::atomic<int> pad_fire_blocked[2];
std::atomic<int> menu_open_flag{0};

namespace {

constexpr int VK_PAGE_UP = 33;
constexpr int VK_PAGE_DOWN = 34;
constexpr int VK_F9 = 120;
constexpr int VK_F11 = 122;
constexpr int VK_ESCAPE_KEY = 27;

constexpr int WEAPON_KEY[2] = {30, 78};
// On the player-count screen a pad's fire types the ST key 1 or 2.
constexpr int PLAYERS_KEY[2] = {2, 3};
constexpr double TYPED_KEY_HOLD_S = 0.12;
constexpr int MAX_RELEASES = 8;
// A direction held on a pad repeats its menu command after this, then at
// the faster rate.
constexpr double MENU_REPEAT_FIRST_S = 0.4;
constexpr double MENU_REPEAT_NEXT_S = 0.09;
constexpr int PAD_BUTTON_LB = 0x100, PAD_BUTTON_RB = 0x200;

// In the menu LB and RB change tabs whatever they are bound to: the action
// bound to them must not also act there (by default LB is the previous
// weapon, which would close the menu, and RB the next weapon, which would
// reach the paused game).
bool on_tab_button(int action) {
  return (pad_bind[action].load(std::memory_order_relaxed) & (PAD_BUTTON_LB | PAD_BUTTON_RB)) != 0;
}

struct pad_edges {
  int menu, exit, wnext, fire, grenade, rocket, wprev, lb, rb;
};

struct mapping_state {
  int kbd_state = 0;
  bool typed[KEY_CODE_LIMIT] = {};
  // Keys whose press reached the game and whose release has not.
  bool game_down[KEY_CODE_LIMIT] = {};
  pad_edges was[2] = {};
  int release_scancode[MAX_RELEASES] = {};
  double release_at[MAX_RELEASES] = {};
  int n_releases = 0;
  int sent_joy1 = -1, sent_joy0 = -1;
  int sent_hold[2] = {-1, -1};
  int sent_aim[2] = {-1, -1};
  int menu_prev_dirs[2] = {};
  double menu_repeat_at[2] = {};
};

mapping_state st;

bool valid_code(int code) { return code > 0 && code < KEY_CODE_LIMIT; }

const char* screen_kind() { return presenter ? present_screen_kind(presenter) : ""; }

void post_on_change(int* sent, int value, int kind, double a) {
  if (*sent == value) return;
  *sent = value;
  emu_post(kind, a, value);
}

void step_lead(double step) {
  const bool interp = pflags[PF_INTERPOLATION] != 0;
  double& l = interp ? lead_with_interp : lead_without_interp;
  l = std::clamp(l + step, interp ? 0.5 : 0.0, 6.0);
  apply_lead();
}

void toggle_fullscreen() {
  video_set_fullscreen(!fullscreen);
  // A switch that failed keeps the old state; the saved option follows it.
  fullscreen = video_is_fullscreen();
}

// What the key means to the game, for a press or release that is not a
// repeat, with the menu closed.
void bound_key(int code, bool down) {
  const int action = kbd_action(code);
  const int scancode = kbd_scancode(code);
  const int joy = kbd_joy_bit(code);
  if (joy) {
    if (down)
      st.kbd_state |= joy;
    else
      st.kbd_state &= ~joy;
    if (!scancode) return;
    if (down && std::strcmp(screen_kind(), "other") == 0) {
      emu_post(EV_KEY, scancode, 1);
      st.typed[code] = true;
    } else if (!down && st.typed[code]) {
      emu_post(EV_KEY, scancode, 0);
      st.typed[code] = false;
    }
    return;
  }
  switch (action) {
    case KEY_WNEXT:
      emu_post(EV_KEY, WEAPON_KEY[0], down);
      return;
    case KEY_WPREV:
      if (down) emu_post(EV_WEAPON_KEY, WEAPON_KEY[0], -1);
      return;
    case KEY_ROCKET:
      if (down) emu_post(EV_QUICK_WEAPON, WEAPON_KEY[0], 0);
      return;
    case KEY_GRENADE:
      if (down) emu_post(EV_QUICK_WEAPON, WEAPON_KEY[0], 1);
      return;
    default:
      if (scancode) emu_post(EV_KEY, scancode, down);
  }
}

void key_event(const video_event& ev) {
  const int code = ev.key;
  if (!valid_code(code)) return;
  const bool down = ev.down != 0;
  if (menu_open_flag.load(std::memory_order_relaxed)) {
    // Keys pressed in the menu stay away from the game until released.
    key_held[code].store(down ? 1 : 0, std::memory_order_relaxed);
    // Shift as the event saw it: the keyboard state has no key for "either
    // Shift", and by the time the frame reads it Shift may be up again.
    if (down) menu_key(code, ev.repeat, (ev.modifiers & VIDEO_MOD_SHIFT) != 0);
    return;
  }
  if (key_held[code].load(std::memory_order_relaxed)) {
    if (!down) key_held[code].store(0, std::memory_order_relaxed);
    return;
  }
  if (down && code == VK_ESCAPE_KEY && !ev.repeat) {
    open_menu();
    return;
  }
  if (down) {
    // Holding F11 must not make the window flicker.
    if (code == VK_F11 && !ev.repeat) toggle_fullscreen();
    if (code == VK_F9 && !ev.repeat) {
      gfxpack_reload();
      if (presenter) present_pack_changed(presenter);
    }
    if (code == VK_PAGE_UP) step_lead(0.5);
    if (code == VK_PAGE_DOWN) step_lead(-0.5);
  }
  if (ev.repeat) return;
  st.game_down[code] = down;
  bound_key(code, down);
}

void drain_events() {
  video_event ev;
  while (video_poll(&ev)) {
    if (ev.kind == VIDEO_EV_QUIT) app_running.store(0);
    if (ev.kind == VIDEO_EV_RESIZED) menu_drawn_sig[0] = 0;
    if (ev.kind == VIDEO_EV_KEY) key_event(ev);
  }
}

bool menu_is_up() { return menu_open_flag.load(std::memory_order_relaxed) != 0; }

// The press edges of one pad's actions.
void pad_actions(int i, const pad_state* pad, double now) {
  pad_edges cur{};
  if (pad) {
    cur.menu = (pad->actions & PAD_ACT_MENU) != 0;
    cur.exit = (pad->actions & PAD_ACT_EXIT) != 0;
    cur.wnext = pad->wnext;
    cur.fire = (pad->joy & JOY_FIRE) != 0;
    cur.grenade = (pad->actions & PAD_ACT_GRENADE) != 0;
    cur.rocket = (pad->actions & PAD_ACT_ROCKET) != 0;
    cur.wprev = (pad->actions & PAD_ACT_WPREV) != 0;
    cur.lb = (pad->buttons & PAD_BUTTON_LB) != 0;
    cur.rb = (pad->buttons & PAD_BUTTON_RB) != 0;
  }
  pad_edges& was = st.was[i];
  const int key = WEAPON_KEY[i];
  if (menu_is_up()) {
    if (on_tab_button(PAD_WPREV)) cur.wprev = was.wprev;
    if (on_tab_button(PAD_ROCKET)) cur.rocket = was.rocket;
    if (on_tab_button(PAD_WNEXT) && cur.wnext) cur.wnext = was.wnext;
  }
  if (cur.menu && !was.menu) {
    if (menu_is_up()) {
      close_menu();
    } else {
      open_menu();
    }
  }
  if (cur.wprev && !was.wprev) {
    if (menu_is_up()) {
      menu_back();
    } else {
      emu_post(EV_WEAPON_KEY, key, -1);
    }
  }
  if (cur.rocket && !was.rocket) {
    if (menu_is_up()) {
      menu_back();
    } else {
      emu_post(EV_QUICK_WEAPON, key, 0);
    }
  }
  if (cur.grenade && !was.grenade && !menu_is_up()) emu_post(EV_QUICK_WEAPON, key, 1);
  if (cur.wnext != was.wnext) emu_post(EV_KEY, key, cur.wnext);
  if (cur.exit && !was.exit) {
    // In the menu the exit button goes back: on the map the game's own
    // Escape returns to the title and would lose the campaign.
    if (menu_is_up()) {
      menu_back();
    } else {
      emu_post(EV_ESCAPE, 0, 0);
    }
  }
  if (menu_is_up()) {
    if (cur.fire && !was.fire) menu_activate(menu_cur);
    if (cur.lb && !was.lb) menu_nav(menu_cur, "tabprev");
    if (cur.rb && !was.rb) menu_nav(menu_cur, "tabnext");
  } else if (cur.fire && !was.fire && st.n_releases < MAX_RELEASES &&
             std::strcmp(screen_kind(), "players") == 0) {
    emu_post(EV_KEY, PLAYERS_KEY[i], 1);
    st.release_scancode[st.n_releases] = PLAYERS_KEY[i];
    st.release_at[st.n_releases] = now + TYPED_KEY_HOLD_S;
    st.n_releases++;
  }
  was = cur;
}

void due_releases(double now) {
  int kept = 0;
  for (int r = 0; r < st.n_releases; r++) {
    if (st.release_at[r] <= now) {
      emu_post(EV_KEY, st.release_scancode[r], 0);
      continue;
    }
    st.release_scancode[kept] = st.release_scancode[r];
    st.release_at[kept] = st.release_at[r];
    kept++;
  }
  st.n_releases = kept;
}

// A pad's directions drive the menu: a new direction at once, a held one
// again after a pause and then at a steady rate.
void menu_directions(int i, const pad_state* pad, double now) {
  static constexpr struct {
    int bit;
    const char* command;
  } dirs[] = {{JOY_UP, "up"}, {JOY_DOWN, "down"}, {JOY_LEFT, "left"}, {JOY_RIGHT, "right"}};
  const int held = pad ? pad->joy & 0x0F : 0;
  const int fresh = held & ~st.menu_prev_dirs[i];
  int send = fresh;
  if (fresh) {
    st.menu_repeat_at[i] = now + MENU_REPEAT_FIRST_S;
  } else if (held && now >= st.menu_repeat_at[i]) {
    send = held;
    st.menu_repeat_at[i] = now + MENU_REPEAT_NEXT_S;
  }
  st.menu_prev_dirs[i] = held;
  for (const auto& d : dirs)
    if (send & d.bit) menu_nav(menu_cur, d.command);
}

int unblocked_joy(int i, const pad_state& pad) {
  int joy = pad.joy;
  if (!pad_fire_blocked[i].load(std::memory_order_relaxed)) return joy;
  if (joy & JOY_FIRE) return joy & ~JOY_FIRE;
  pad_fire_blocked[i].store(0, std::memory_order_relaxed);
  return joy;
}

void pads_frame(double now) {
  pad_state pads[2];
  int count = pads_read(pads);
  if (menu_is_up()) {
    int buttons[2] = {};
    // Directions count as buttons here: one still held when a capture
    // ends must not move the cursor.
    for (int i = 0; i < count; i++) buttons[i] = pads[i].buttons | (pads[i].joy & 0x0F);
    // A capture takes the pads; after it they stay quiet until every
    // button is released, so the new binding does not act at once.
    if (menu_pad_capture(buttons, count)) count = 0;
  }
  const bool open = menu_is_up();
  for (int i = 0; i < 2; i++)
    post_on_change(&st.sent_hold[i], i < count && !open ? pads[i].hold : 0, EV_HOLD, i);
  for (int i = 0; i < 2; i++)
    post_on_change(&st.sent_aim[i], open ? 0 : pad_aim_code(pads, count, i), EV_AIM, i);
  for (int i = 0; i < 2; i++) pad_actions(i, i < count ? &pads[i] : nullptr, now);
  due_releases(now);

  int joy1 = 0;
  int joy0 = 0;
  if (menu_is_up()) {
    for (int i = 0; i < 2; i++) {
      menu_directions(i, i < count ? &pads[i] : nullptr, now);
      // Fire that confirms in the menu must not shoot once it closes.
      pad_fire_blocked[i].store(1, std::memory_order_relaxed);
    }
  } else {
    st.menu_prev_dirs[0] = st.menu_prev_dirs[1] = 0;
    joy1 = st.kbd_state;
    if (count > 0) joy1 |= unblocked_joy(0, pads[0]);
    if (count > 1) joy0 = unblocked_joy(1, pads[1]);
  }
  if (resend_input) {
    resend_input = 0;
    st.sent_joy1 = st.sent_joy0 = -1;
    st.sent_hold[0] = st.sent_hold[1] = -1;
    st.sent_aim[0] = st.sent_aim[1] = -1;
  }
  if (fast_input_active()) return;
  if (joy1 != st.sent_joy1) emu_post(EV_JOY1, st.sent_joy1 = joy1, 0);
  if (joy0 != st.sent_joy0) emu_post(EV_JOY0, st.sent_joy0 = joy0, 0);
}

}  // namespace

int pad_aim_code(const pad_state* pads, int count, int i) {
  if (i < 0 || i >= count) return 0;
  const int aim = pads[i].aim;
  if (aim && pad_aim_autofire.load(std::memory_order_relaxed)) return aim | JOY_FIRE;
  return aim;
}

void input_set_kbd_state(int state) { st.kbd_state = state; }

void input_release_game_keys() {
  for (int code = 1; code < KEY_CODE_LIMIT; ++code) {
    if (!st.game_down[code]) continue;
    st.game_down[code] = false;
    bound_key(code, false);
    // Its release, in the menu or after it, was just sent; a key still down
    // when the menu closes acts again only once pressed again.
    key_held[code].store(1, std::memory_order_relaxed);
  }
  st.kbd_state = 0;
}

void input_forget_hold_aim() {
  st.sent_hold[0] = st.sent_hold[1] = -1;
  st.sent_aim[0] = st.sent_aim[1] = -1;
}

void input_reset() {
  st = mapping_state{};
  resend_input = 0;
  for (auto& k : key_held) k.store(0, std::memory_order_relaxed);
  for (auto& b : pad_fire_blocked) b.store(0, std::memory_order_relaxed);
}

int input_frame(double now) {
  if (!input_ready.load()) return 0;
  drain_events();
  pads_frame(now);
  return menu_open_flag.load(std::memory_order_relaxed);
}
