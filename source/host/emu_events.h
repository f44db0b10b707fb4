// The emulation thread's command ring: every other thread (main loop, fast
// input, menus, scripted tests) talks to the emulation thread only by
// posting events here. A small module of its own, so that the posters can
// be tested by reading back what they posted, without a machine.
#pragma once

enum emu_event_kind {
  EV_QUIT = 0,
  EV_MENU_HZ = 1,
  EV_LEAD = 2,
  EV_TICK = 3,
  EV_GOD = 4,
  EV_MONEY = 5,
  EV_FIX = 6,
  EV_AUDIO = 7,
  EV_VOLUME = 8,
  EV_PAUSE = 9,
  EV_SFX_MULTI = 10,
  EV_SFX_PAN = 11,
  EV_MP3 = 12,
  EV_JOY1 = 13,
  EV_JOY0 = 14,
  EV_KEY = 15,
  EV_ESCAPE = 16,
  EV_BACK_TO_MAP = 17,
  EV_SAVE_SLOT = 18,
  EV_LOAD_SLOT = 19,
  EV_RESTART = 20,
  EV_WEAPON_KEY = 21,
  EV_QUICK_WEAPON = 22,
  EV_PART_VOLUME = 23,
  EV_GAME_RATE = 24,
  EV_HOLD = 25,
  EV_MUSIC_DIR = 26,
  EV_AIM = 27,
};

struct emu_event {
  int kind;
  double a;
  double b;
};

constexpr int evq_capacity = 1024;
// Key presses are refused once this many events wait, so that the releases
// that follow them always find room (a lost release is a stuck key).
constexpr int evq_press_limit = evq_capacity - 64;

// Opens the ring (empty). 1 on success; 0 when its lock cannot be made.
int evq_open();
// Closes the ring; later posts do nothing.
void evq_close();
int evq_is_open();
// From any thread. Dropped silently before evq_open, after evq_close, when
// the ring is full, and for a key press above the press limit. A key
// release or EV_QUIT that finds the ring full takes the place of the
// newest event that is neither.
void emu_post(int kind, double a, double b);
// The oldest event: 1 with it filled, 0 when none (or no ring).
int ev_pop(emu_event* out);
int evq_count();
// Waits up to ms for a post; 1 when one came.
int ev_wait(int ms);
// Wakes a waiter without an event (the stop flag).
void ev_wake();
