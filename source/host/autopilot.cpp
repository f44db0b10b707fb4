// The test autopilot: under BKM_TEST with BKM_AUTOMISSION = N it walks the
// world map to mission N's box, through the weapon shop to its exit, and
// then plays a fixed movement and aiming script in the mission, so that a
// scripted run reaches a mission without a person. It steers player 1's
// wanted joystick from inside the input delivery, once per VBL.
#include <cstdlib>
#include <cstring>

#include "host/emu_state.h"
#include "host/platform.h"
#include "machine/memory.h"

namespace {

constexpr u32 map_cursor_x = 0x1EC, map_cursor_y = 0x1EE;
constexpr u32 mission_box_table = 0xBF98;
constexpr int box_size = 10;
constexpr int max_boxes = 40;

constexpr int joy_up = 1, joy_down = 2, joy_left = 4, joy_right = 8, joy_fire = 0x80;

// The shop's exit, where fire starts the mission.
constexpr int shop_exit_x = 288, shop_exit_y = 132;

// The shop lets a player leave only with a weapon owned, and a new game
// gives none: a player who owns none first buys the first weapon for sale
// that the money pays for, or the pilot would walk to the exit for ever.
constexpr u32 player1 = 0x2DA;
constexpr u32 owned_weapons = 0x66, money = 0x58;
constexpr int weapon_cells = 18;
constexpr u32 shop_prices = 0xCFF8;
constexpr int shop_columns = 5, cell_width = 64, cell_height = 24;
constexpr int purchase_waits = 10;

bool owns_a_weapon(u32 record) {
  for (int s = 0; s < weapon_cells; ++s)
    if (rd8(record + owned_weapons + static_cast<u32>(s))) return true;
  return false;
}

// The centre of the cell of the weapon to buy; false when none is for
// sale within the money.
bool weapon_to_buy(u32 record, int* x, int* y) {
  const u32 cash = ram_rd32(record + money);
  for (int s = 0; s < weapon_cells; ++s) {
    const u32 price = ram_rd32(shop_prices + 4 * static_cast<u32>(s));
    if (price & 0x80000000u || price > cash) continue;
    *x = s % shop_columns * cell_width + cell_width / 2;
    *y = s / shop_columns * cell_height + cell_height / 2;
    return true;
  }
  return false;
}

int signed_word(u32 addr) { return static_cast<i16>(ram_rd16(addr)); }

// The centre of mission n's box on the map, if the table holds it. The
// table ends at an entry whose first word is negative; it never holds more
// than 40 entries, so a table without its end is not read further.
bool find_box(int n, int* x, int* y) {
  for (int i = 0; i < max_boxes; ++i) {
    const u32 e = mission_box_table + static_cast<u32>(i * box_size);
    if (signed_word(e) < 0) return false;
    if (signed_word(e + 8) != n) continue;
    *x = (signed_word(e) + signed_word(e + 2)) / 2;
    *y = (signed_word(e + 4) + signed_word(e + 6)) / 2;
    return true;
  }
  return false;
}

// Fire pulses once the pointer rested long enough on its target.
void press_when_settled(autopilot_state& p, bool arrived, int settle, int waits) {
  if (!arrived) {
    p.arrived = 0;
    return;
  }
  if (++p.arrived <= settle) return;
  p.arrived = 0;
  p.pulses = 8;
  p.waits = waits;
}

struct script_row {
  int from, to;  // VBLs since the mission began, [from, to)
  int joy, aim, aim_fire;
};

// What player 1 does in the mission.
constexpr script_row mission_script[] = {
    {200, 300, joy_up, 0, 0},
    {300, 400, joy_up, joy_right, 1},
    {400, 500, joy_left, joy_up | joy_right, 1},
    {500, 600, 0, joy_down, 1},
    {600, 700, joy_right, 0, 0},
    {700, 800, joy_down | joy_left, joy_left, 1},
};
constexpr int script_end = 800;

void play_mission(autopilot_state& p, u32 v) {
  if (!p.started) {
    p.started = 1;
    p.mission_start = v;
    host_log("autopilot: mission started at vbl %u", v);
  }
  const i32 d = vbl_since(v, static_cast<i32>(p.mission_start));
  script_row now{0, 0, 0, 0, 0};
  for (const script_row& r : mission_script)
    if (d >= r.from && d < r.to) now = r;
  emu.wanted_joy[1] = now.joy;
  emu.aim_in[0] = now.aim;
  emu.aim_fire[0] = now.aim_fire;
  // At or after its end: the VBL at the end itself may show another screen
  // (a frame the capture did not close, a recovery going back).
  if (d >= script_end && !p.finished) {
    p.finished = 1;
    host_log("autopilot: script finished");
  }
}

} // namespace

int auto_arrived(int x, int y, int tolerance) {
  const int cx = signed_word(map_cursor_x), cy = signed_word(map_cursor_y);
  int dir = 0;
  if (x < cx - tolerance) dir |= joy_left;
  if (x > cx + tolerance) dir |= joy_right;
  if (y < cy - tolerance) dir |= joy_up;
  if (y > cy + tolerance) dir |= joy_down;
  emu.wanted_joy[1] = dir;
  return dir == 0;
}

void autopilot(u32 v) {
  const char* mission = std::getenv("BKM_AUTOMISSION");
  if (!mission || !*mission || !std::getenv("BKM_TEST")) return;
  autopilot_state& p = emu.pilot;
  // The input is also delivered between VBLs when events arrive; the
  // counters run by VBLs, so that runs repeat exactly.
  if (p.counted && p.last_vbl == v) return;
  p.counted = 1;
  p.last_vbl = v;

  if (p.pulses > 0) {
    emu.wanted_joy[1] |= joy_fire;
    --p.pulses;
    p.last_pulse = v;
    return;
  }
  if (p.waits > 0) {
    emu.wanted_joy[1] = 0;
    --p.waits;
    return;
  }
  const char* kind = emu.kind_now;
  if (!std::strcmp(kind, "map")) {
    int x = 0, y = 0;
    if (find_box(std::atoi(mission), &x, &y)) press_when_settled(p, auto_arrived(x, y, 1) != 0, 25, 150);
  } else if (!std::strcmp(kind, "shop")) {
    int x = shop_exit_x, y = shop_exit_y;
    const bool buying = !owns_a_weapon(player1) && weapon_to_buy(player1, &x, &y);
    // After a purchase the shop stays: a short rest lets fire go.
    press_when_settled(p, auto_arrived(x, y, 3) != 0, 20, buying ? purchase_waits : 100);
  } else if (!std::strcmp(kind, "game")) {
    play_mission(p, v);
  } else if (!p.started && vbl_since(v, static_cast<i32>(p.last_pulse)) > 90) {
    p.pulses = 6;
  }
}
