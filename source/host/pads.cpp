// Game controllers through SDL's GameController API: the four slots, and the
// translation of sticks, d-pad, triggers and buttons into joystick bits,
// aim directions and actions.
#include "host/pads.h"

#include <SDL.h>

#include <cmath>
#include <cstdint>

#include "host/input_bindings.h"
#include "host/platform.h"

namespace {

constexpr int TRIGGER_THRESHOLD = 9830;
constexpr int STICK_THRESHOLD = 11468;
// A radius of 13,107.2 squared: the right stick's dead zone.
constexpr int64_t AIM_DEAD_ZONE_SQ = 171798704;
// tan(22.5 degrees): each of the eight aim directions covers 45 degrees.
constexpr double TAN_22_5 = 0.41421357;

constexpr int SLOT_COUNT = 4;

struct pad_slot {
  SDL_GameController* handle = nullptr;
  SDL_JoystickID id = -1;
};

// Both the main thread and the fast input thread read the pads.
port_mutex* pads_lock() {
  static port_mutex* lock = port_mutex_new();
  return lock;
}

struct pads_guard {
  pads_guard() { port_mutex_lock(pads_lock()); }
  ~pads_guard() { port_mutex_unlock(pads_lock()); }
  pads_guard(const pads_guard&) = delete;
  pads_guard& operator=(const pads_guard&) = delete;
};

pad_slot slots[SLOT_COUNT];
// Asking SDL about every device is slow; the devices are looked at again
// only when their number changes or a controller went away.
int scanned_devices = -1;

struct button_map {
  SDL_GameControllerButton button;
  int mask;
};

constexpr button_map BUTTON_MASKS[] = {
    {SDL_CONTROLLER_BUTTON_A, PAD_BTN_A},
    {SDL_CONTROLLER_BUTTON_B, PAD_BTN_B},
    {SDL_CONTROLLER_BUTTON_X, PAD_BTN_X},
    {SDL_CONTROLLER_BUTTON_Y, PAD_BTN_Y},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, PAD_BTN_LB},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, PAD_BTN_RB},
    {SDL_CONTROLLER_BUTTON_BACK, PAD_BTN_BACK},
    {SDL_CONTROLLER_BUTTON_START, PAD_BTN_START},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, PAD_BTN_L3},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, PAD_BTN_R3},
};

bool bound_down(int buttons, int action) {
  int mask = pad_bind[action].load(std::memory_order_relaxed);
  return mask != 0 && (buttons & mask) == mask;
}

int aim_bits(int stick_x, int stick_y) {
  int64_t x = stick_x;
  int64_t y = -static_cast<int64_t>(stick_y);
  if (x * x + y * y < AIM_DEAD_ZONE_SQ) return 0;
  double ax = std::fabs(static_cast<double>(x));
  double ay = std::fabs(static_cast<double>(y));
  int bits = 0;
  if (!(TAN_22_5 * ay > ax)) bits |= x < 0 ? JOY_LEFT : JOY_RIGHT;
  if (!(ay < TAN_22_5 * ax)) bits |= y >= 0 ? JOY_UP : JOY_DOWN;
  return bits;
}

pad_reading read_controller(SDL_GameController* c) {
  pad_reading r{};
  for (const button_map& b : BUTTON_MASKS)
    if (SDL_GameControllerGetButton(c, b.button)) r.buttons |= b.mask;
  if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP)) r.dpad |= JOY_UP;
  if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) r.dpad |= JOY_DOWN;
  if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) r.dpad |= JOY_LEFT;
  if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) r.dpad |= JOY_RIGHT;
  r.left_x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
  r.left_y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
  r.right_x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTX);
  r.right_y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_RIGHTY);
  r.left_trigger = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
  r.right_trigger = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
  return r;
}

bool is_open(SDL_JoystickID id) {
  for (const pad_slot& s : slots)
    if (s.handle && s.id == id) return true;
  return false;
}

void open_new_controllers() {
  int count = SDL_NumJoysticks();
  if (count == scanned_devices) return;
  scanned_devices = count;
  for (int device = 0; device < count; device++) {
    if (!SDL_IsGameController(device)) continue;
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device);
    if (id < 0 || is_open(id)) continue;
    for (pad_slot& s : slots) {
      if (s.handle) continue;
      SDL_GameController* c = SDL_GameControllerOpen(device);
      if (!c) continue;  // try the next free slot
      s.handle = c;
      s.id = id;
      break;
    }
  }
}

}  // namespace

pad_state pad_state_from(const pad_reading& r) {
  pad_state s{};
  s.buttons = r.buttons;
  if (r.left_trigger > TRIGGER_THRESHOLD) s.buttons |= PAD_BTN_LT;
  if (r.right_trigger > TRIGGER_THRESHOLD) s.buttons |= PAD_BTN_RT;

  int joy = 0;
  if ((r.dpad & JOY_UP) || r.left_y < -STICK_THRESHOLD) joy |= JOY_UP;
  if ((r.dpad & JOY_DOWN) || r.left_y > STICK_THRESHOLD) joy |= JOY_DOWN;
  if ((r.dpad & JOY_LEFT) || r.left_x < -STICK_THRESHOLD) joy |= JOY_LEFT;
  if ((r.dpad & JOY_RIGHT) || r.left_x > STICK_THRESHOLD) joy |= JOY_RIGHT;
  if ((joy & (JOY_UP | JOY_DOWN)) == (JOY_UP | JOY_DOWN)) joy &= ~(JOY_UP | JOY_DOWN);
  if ((joy & (JOY_LEFT | JOY_RIGHT)) == (JOY_LEFT | JOY_RIGHT)) joy &= ~(JOY_LEFT | JOY_RIGHT);
  if (bound_down(s.buttons, PAD_FIRE) || bound_down(s.buttons, PAD_FIRE2)) joy |= JOY_FIRE;
  s.joy = joy;

  if (pad_dual_stick.load(std::memory_order_relaxed)) s.aim = aim_bits(r.right_x, r.right_y);

  s.wnext = bound_down(s.buttons, PAD_WNEXT);
  s.hold = bound_down(s.buttons, PAD_HOLD);
  if (bound_down(s.buttons, PAD_ROCKET)) s.actions |= PAD_ACT_ROCKET;
  if (bound_down(s.buttons, PAD_GRENADE)) s.actions |= PAD_ACT_GRENADE;
  if (bound_down(s.buttons, PAD_WPREV)) s.actions |= PAD_ACT_WPREV;
  if (bound_down(s.buttons, PAD_MENU)) s.actions |= PAD_ACT_MENU;
  if (bound_down(s.buttons, PAD_EXIT)) s.actions |= PAD_ACT_EXIT;
  return s;
}

int pads_read(pad_state* states) {
  pads_guard guard;
  SDL_GameControllerUpdate();
  for (pad_slot& s : slots) {
    if (s.handle && !SDL_GameControllerGetAttached(s.handle)) {
      SDL_GameControllerClose(s.handle);
      s = pad_slot{};
      scanned_devices = -1;
    }
  }
  open_new_controllers();
  int read = 0;
  for (const pad_slot& s : slots) {
    if (!s.handle || read == 2) continue;
    states[read++] = pad_state_from(read_controller(s.handle));
  }
  return read;
}

void pads_close() {
  pads_guard guard;
  for (pad_slot& s : slots) {
    if (s.handle) SDL_GameControllerClose(s.handle);
    s = pad_slot{};
  }
  scanned_devices = -1;
}
