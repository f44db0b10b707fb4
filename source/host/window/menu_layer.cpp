// The menu layer: the game pauses while a menu is open, and the controls
// menu captures new keys and pad buttons for the bindings.
#include "host/window/menu_layer.h"

#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/settings.h"
#include "host/window/input_frame.h"
#include "host/window/app_state.h"
#include "host/window/video.h"
#include "host/window/video_settings.h"

#include <cstdio>
#include <cstring>

menu* menu_cur = nullptr;
menu* menu_options = nullptr;
menu* menu_controls = nullptr;
int menu_open = 0;
char menu_drawn_sig[menu_sig_size] = {};
int resend_input = 0;
int rebind_kind = 0;
int rebind_action = 0;

namespace {

enum : int {
  VK_BACK = 8,
  VK_TAB = 9,
  VK_RETURN = 13,
  VK_CONTROL = 17,
  VK_ESCAPE = 27,
  VK_SPACE = 32,
  VK_PRIOR = 33,
  VK_NEXT = 34,
  VK_LEFT = 37,
  VK_UP = 38,
  VK_RIGHT = 39,
  VK_DOWN = 40,
  VK_DELETE = 46,
  VK_Z = 90,
  VK_F11 = 122,
  VK_LCONTROL = 162,
  VK_RCONTROL = 163,
  VK_NUM_ENTER = 269,
};

// The order in which a pad capture looks at the buttons.
constexpr int capture_order[] = {PAD_BTN_A,  PAD_BTN_B,  PAD_BTN_X,    PAD_BTN_Y,
                                 PAD_BTN_LB, PAD_BTN_RB, PAD_BTN_LT,   PAD_BTN_RT,
                                 PAD_BTN_BACK, PAD_BTN_START, PAD_BTN_L3, PAD_BTN_R3};

int rebind_seen_frame = 0;
int pad_wait_release = 0;
int pad_previous[2] = {};
// The player has been told that the options could not be saved, and no
// save has succeeded since.
bool unsaved_told = false;

void end_rebind() {
  rebind_kind = 0;
  rebind_seen_frame = 0;
}

void redraw() { menu_drawn_sig[0] = 0; }

const char* action_label(int kind, int action) {
  return tr(kind == 1 ? key_act_label_id(action) : pad_act_label_id(action));
}

void status_assigned(int kind, int action, const char* name) {
  char text[200];
  trf(text, sizeof text, "msg.assigned", action_label(kind, action), name);
  menu_status(menu_cur, text);
}

}  // namespace

void open_menu() {
  scan_music_packs();
  pack_resolve(music_pack);
  end_rebind();
  menu_cur = menu_options;
  menu_show(menu_cur);
  menu_open = 1;
  menu_open_flag.store(1);
  for (int player = 0; player < 2; ++player) {
    emu_post(EV_HOLD, player, 0);
    emu_post(EV_AIM, player, 0);
  }
  input_forget_hold_aim();
  input_release_game_keys();
  emu_post(EV_JOY1, 0, 0);
  emu_post(EV_JOY0, 0, 0);
  emu_post(EV_PAUSE, 1, 0);
  redraw();
}

int save_options_or_say() {
  if (save_all_options()) {
    unsaved_told = false;
    return 1;
  }
  menu_status(menu_cur, tr("msg.options_not_saved"));
  redraw();
  unsaved_told = true;
  return 0;
}

void close_menu() {
  // The first failed save keeps the menu open, so that the player sees it
  // in the status line; leaving again closes it.
  const bool told_before = unsaved_told;
  if (!save_options_or_say() && menu_open && !told_before) return;
  end_rebind();
  menu_hide(menu_options);
  menu_hide(menu_controls);
  menu_cur = menu_options;
  menu_open = 0;
  menu_open_flag.store(0);
  resend_input = 1;
  emu_post(EV_PAUSE, 0, 0);
}

void menu_back() {
  if (menu_cur && menu_cur == menu_controls) {
    end_rebind();
    menu_hide(menu_controls);
    menu_cur = menu_options;
    menu_show(menu_cur);
    redraw();
    return;
  }
  close_menu();
}

void open_controls() {
  end_rebind();
  menu_cur = menu_controls;
  menu_show(menu_cur);
  redraw();
}

void start_rebind(int kind, int action) {
  rebind_kind = kind;
  rebind_action = action;
  rebind_seen_frame = 0;
  redraw();
  menu_status(menu_cur, tr(kind == 1 ? "msg.press_new_key" : "msg.press_new_button"));
}

const char* ctl_text(int kind, int action) {
  static char buffers[2][64];
  static int next = 0;
  char* out = buffers[next];
  next ^= 1;
  out[0] = 0;
  if (rebind_kind == kind && rebind_action == action) {
    std::snprintf(out, 64, "%s", tr(kind == 1 ? "val.press_key" : "val.press_button"));
  } else if (kind == 1 && action >= 0 && action < KEY_ACTION_COUNT) {
    key_name(key_bind[action].load(std::memory_order_relaxed), out, 64);
  } else if (kind == 2 && action >= 0 && action < PAD_ACTION_COUNT) {
    pad_button_name(pad_bind[action].load(std::memory_order_relaxed), out, 64);
  }
  return out;
}

void menu_key(int code, int repeat, int shift) {
  if (!menu_cur) return;
  if (rebind_kind) {
    if (repeat) return;
    if (code == VK_ESCAPE) {
      end_rebind();
      menu_status(menu_cur, tr("msg.cancelled"));
    } else if (code == VK_DELETE) {
      if (rebind_kind == 1) {
        kbd_set_bind(rebind_action, 0);
      } else {
        pad_set_bind(rebind_action, 0);
      }
      end_rebind();
      menu_status(menu_cur, tr("msg.unassigned"));
    } else if (rebind_kind == 1 && code >= 1 && code <= 255 && code != VK_F11) {
      int action = rebind_action;
      kbd_set_bind(action, code);
      end_rebind();
      char name[64];
      status_assigned(1, action, key_name(code, name, sizeof name));
    }
    redraw();
    return;
  }
  switch (code) {
    case VK_BACK:
    case VK_ESCAPE:
      menu_back();
      break;
    case VK_TAB:
      menu_nav(menu_cur, shift ? "tabprev" : "tabnext");
      break;
    case VK_PRIOR:
      menu_nav(menu_cur, "tabprev");
      break;
    case VK_NEXT:
      menu_nav(menu_cur, "tabnext");
      break;
    case VK_LEFT:
      menu_nav(menu_cur, "left");
      break;
    case VK_UP:
      menu_nav(menu_cur, "up");
      break;
    case VK_RIGHT:
      menu_nav(menu_cur, "right");
      break;
    case VK_DOWN:
      menu_nav(menu_cur, "down");
      break;
    case VK_RETURN:
    case VK_SPACE:
    case VK_Z:
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_NUM_ENTER:
      menu_activate(menu_cur);
      break;
    case VK_F11:
      video_set_fullscreen(!video_is_fullscreen());
      fullscreen = video_is_fullscreen();
      break;
    default:
      break;
  }
}

int menu_pad_capture(const int* buttons, int count) {
  if (count > 2) count = 2;
  int any_down = 0;
  for (int i = 0; i < count; ++i) any_down |= buttons[i];
  if (pad_wait_release) {
    if (!any_down) pad_wait_release = 0;
    for (int i = 0; i < count; ++i) pad_previous[i] = buttons[i];
    return pad_wait_release;
  }
  if (rebind_kind == 2) {
    if (!rebind_seen_frame) {
      // The button that chose the row is still down on the first frame.
      rebind_seen_frame = 1;
    } else {
      for (int i = 0; i < count && rebind_kind; ++i) {
        int pressed = buttons[i] & ~pad_previous[i];
        for (int mask : capture_order) {
          if (!(pressed & mask)) continue;
          int action = rebind_action;
          pad_set_bind(action, mask);
          end_rebind();
          char name[64];
          status_assigned(2, action, pad_button_name(mask, name, sizeof name));
          pad_wait_release = 1;
          redraw();
          break;
        }
      }
    }
  }
  for (int i = 0; i < count; ++i) pad_previous[i] = buttons[i];
  return rebind_kind == 2 || pad_wait_release;
}

void build_controls_menu() {
  menu_controls = menu_new("title.controls");
  menu* m = menu_controls;
  static void (*const key_rebind[KEY_ACTION_COUNT])() = {
      [] { start_rebind(1, 0); }, [] { start_rebind(1, 1); }, [] { start_rebind(1, 2); },
      [] { start_rebind(1, 3); }, [] { start_rebind(1, 4); }, [] { start_rebind(1, 5); },
      [] { start_rebind(1, 6); }, [] { start_rebind(1, 7); }, [] { start_rebind(1, 8); },
      [] { start_rebind(1, 9); }};
  static const char* (*const key_text[KEY_ACTION_COUNT])() = {
      [] { return ctl_text(1, 0); }, [] { return ctl_text(1, 1); }, [] { return ctl_text(1, 2); },
      [] { return ctl_text(1, 3); }, [] { return ctl_text(1, 4); }, [] { return ctl_text(1, 5); },
      [] { return ctl_text(1, 6); }, [] { return ctl_text(1, 7); }, [] { return ctl_text(1, 8); },
      [] { return ctl_text(1, 9); }};
  static void (*const pad_rebind[PAD_ACTION_COUNT])() = {
      [] { start_rebind(2, 0); }, [] { start_rebind(2, 1); }, [] { start_rebind(2, 2); },
      [] { start_rebind(2, 3); }, [] { start_rebind(2, 4); }, [] { start_rebind(2, 5); },
      [] { start_rebind(2, 6); }, [] { start_rebind(2, 7); }, [] { start_rebind(2, 8); }};
  static const char* (*const pad_text[PAD_ACTION_COUNT])() = {
      [] { return ctl_text(2, 0); }, [] { return ctl_text(2, 1); }, [] { return ctl_text(2, 2); },
      [] { return ctl_text(2, 3); }, [] { return ctl_text(2, 4); }, [] { return ctl_text(2, 5); },
      [] { return ctl_text(2, 6); }, [] { return ctl_text(2, 7); }, [] { return ctl_text(2, 8); }};
  menu_add(m, mi_sep("sep.keyboard"));
  for (int i = 0; i < KEY_ACTION_COUNT; ++i) {
    menu_add(m, mi_action(key_act_label_id(i), key_act_hint(i), key_rebind[i]));
    menu_last_valtext(m, key_text[i]);
  }
  menu_add(m, mi_sep("sep.gamepad_both_pads"));
  for (int i = 0; i < PAD_ACTION_COUNT; ++i) {
    menu_add(m, mi_action(pad_act_label_id(i), pad_act_hint(i), pad_rebind[i]));
    menu_last_valtext(m, pad_text[i]);
  }
  menu_add(m, mi_sep(""));
  menu_add(m, mi_action("menu.restore_default_controls", "menu.restore_default_controls.hint", [] {
    input_defaults();
    end_rebind();
    menu_status(menu_controls, tr("msg.controls_restored"));
    redraw();
  }));
  menu_add(m, mi_action("menu.back", "menu.back.hint", menu_back));
}
