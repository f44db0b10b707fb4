#include "support/runs/whole_game.h"

#include <algorithm>

#include "game/game_ram.h"
#include "game/map_ram.h"
#include "game/mission_ram.h"
#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/hooks.h"
#include "machine/ikbd.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "support/machine/effect_check.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_map.h"

namespace {

constexpr u32 cache = 0x081000;
constexpr u32 colour14 = 0xFF825C;
constexpr u32 owned = 0x66, tally = 0x96;
constexpr u32 entry_cursor = 0x0001C8;

// Joystick 1 (player 1): directions in bits 0-3, fire in bit 7.
constexpr int stick_up = 1, stick_down = 2, stick_left = 4, stick_right = 8, stick_fire = 0x80;
constexpr int key_1 = 0x02, key_a = 0x1E, key_b = 0x30, key_return = 0x1C;

whole_game_state state;

void note_tune(u32) { state.tunes.push_back(g_cpu.d[0] & 0xFFFF); }

void decide_mission(u32) {
  if (state.input_only) return;
  if (state.fail_missions) {
    wr16(player1 + player_record::lives, 0);
    return;
  }
  wr32(player1 + player_record::score, rd32(player1 + player_record::score) + whole_game_points);
  wr16(player1 + tally, rd16(player1 + tally) + whole_game_tally);
  wr16(exit_request, 0xFFFF);
  ++state.missions_completed;
}

void send_stick(int s) {
  if (s != state.stick) tos_joystick(1, s);
  state.stick = s;
}

// The stick towards (tx, ty) of map_cursor, with fire when it is there. A
// report takes effect a pass late, so "there" is 5 pixels around the
// target (more than the 4-pixel step).
void steer(u32 tx, u32 ty) {
  const int dx = static_cast<int>(rd16(map_cursor_x)) - static_cast<int>(tx);
  const int dy = static_cast<int>(rd16(map_cursor_y)) - static_cast<int>(ty);
  constexpr int near = 5;
  int s = 0;
  if (dx < -near) s |= stick_right;
  if (dx > near) s |= stick_left;
  if (dy < -near) s |= stick_down;
  if (dy > near) s |= stick_up;
  send_stick(s == 0 ? stick_fire : s);
}

// The shop's sounds, read before the VBL's driver ticks change the
// effect's record.
void listen() {
  if (!state.in_shop) return;
  const int e = take_started_effect({9, 13, 25});
  if (e) state.shop_sounds.push_back(e);
}

// The player, after each VBL, by what the screen is.
void play() {
  if (state.key_down >= 0) {
    tos_key(state.key_down | 0x80);
    state.key_down = -1;
    return;
  }
  const u32 at = g_cpu.pc;
  // The title's wait_fire: fire pressed once, released at the next VBL.
  if (at == 0x79E2 && rd32(a7 + 2) == 0x00EC08) {
    send_stick(state.title_fired ? 0 : stick_fire);
    state.title_fired = true;
    return;
  }
  if (at == 0xFDF0 && state.typing.empty()) whole_game_type({key_1});
  if (at == 0x31B6 && state.typing.empty() && rd16(entry_cursor) == 0) whole_game_type({key_a, key_b, key_return});
  if (!state.typing.empty()) {
    state.key_down = state.typing.front();
    state.typing.erase(state.typing.begin());
    tos_key(state.key_down);
    return;
  }
  const bool shop = rd8(split_map) != 0xFF && rd16(colour14) == 0x047;
  if (shop && state.from_map) ++state.shop_visits;
  state.from_map = rd8(split_map) == 0xFF || (state.from_map && !shop);
  state.in_shop = shop;
  const bool first_visit = state.shop_visits == 1;
  if (rd8(split_map) == 0xFF) {
    u32 m = 0;
    while (m < 12 && rd8(missions_done + m)) ++m;
    const synth_map_box& b = synth_map_content().boxes[m % 12];
    steer(synth_box_centre_x(b), synth_box_centre_y(b));
  } else if (at == 0xD0FE || at == 0xD110) {
    state.equipment_seen = true;
    send_stick(state.equipment_pressed ? 0 : stick_fire);
    state.equipment_pressed = true;
  } else if (shop) {
    if (first_visit && !rd8(player1 + owned)) {
      steer(32, 12); // weapon 0
    } else if (first_visit && !state.refused) {
      steer(96, 12); // weapon 1, dearer than the money
      state.refused = std::count(state.shop_sounds.begin(), state.shop_sounds.end(), 25) > 0;
    } else if (first_visit && !state.equipment_seen) {
      steer(32, 126); // cell 25
    } else {
      steer(312, 132); // leave
    }
  } else if (at == 0x75BA) {
    send_stick(stick_fire); // fire shortens the end's delays
  } else if (state.input_only && (at == 0x91E8 || (at == 0x79E2 && rd32(a7 + 2) == 0x00920E))) {
    // In the frame loop a player who walks on: up, swaying left and right,
    // fire held 10 VBLs and let go 10.
    const int k = state.walked++;
    const int sway = k / 60 % 6 == 1 ? stick_left : k / 60 % 6 == 3 ? stick_right : 0;
    send_stick(stick_up | sway | (k / 10 % 2 == 0 ? stick_fire : 0));
  } else {
    send_stick(0);
  }
}

// Where the wait the slice ended in returns to: wait_vbl keeps a word on
// the stack above its caller's return; the two delays ($75A4, $75AE) none.
u32 wait_return() {
  switch (g_cpu.pc) {
  case 0x79E2: return rd32(a7 + 2);
  case 0x75A8:
  case 0x75BA: return rd32(a7);
  default: return 0;
  }
}

} // namespace

whole_game_state& whole_game() { return state; }

void whole_game_reset() {
  state = {};
  hook_register(0x008EE2, decide_mission);
  hook_register(0x041BCC, note_tune);
}

bool whole_game_boot(const std::string& folder, bool disk_image, std::vector<u8>& data, std::string& file_name,
                     std::string& error) {
  synth_game_data g = synth_standard();
  if (!synth_place_disk_road(g)) {
    error = g.error;
    return false;
  }
  if (disk_image) {
    data = synth_image(g);
    file_name = "brakmoor.st";
  } else {
    data = synth_bkm(g);
    synth_put_high_scores(data);
    file_name = "BKM";
  }
  if (data.empty()) {
    error = g.error;
    return false;
  }
  if (!synth_write(folder + "/" + file_name, data) || game_data_init(folder.c_str()) != 1) {
    error = "the data file could not be written or selected";
    return false;
  }
  state_ptr boot(boot_state_make(folder.c_str()));
  if (!boot) {
    error = "no boot state";
    return false;
  }
  tos_load_state(boot.get());
  return true;
}

int whole_game_run(int limit, bool (*stop)()) {
  for (int vbls = 0; vbls < limit; ++vbls) {
    if (tos_run_slice(2000000) != 1) return vbls;
    const std::pair<u32, u32> at{g_cpu.pc, wait_return()};
    if (state.labels.empty() || state.labels.back() != at) state.labels.push_back(at);
    if (stop && stop()) return vbls;
    // The game start has begun (after the restart cleared the quick start,
    // before the game start reads it): the quick start, and the map's data.
    if (!state.started && !state.from_title && rd32(dev_string_pos) == dev_string) {
      state.started = true;
      wr32(quick_start, 1);
      synth_map_tables_in_ram(synth_map_content());
      synth_map_file_in_cache(synth_map_content(), cache);
    }
    listen();
    tos_vbl();
    play();
  }
  return limit;
}

void whole_game_type(std::initializer_list<int> codes) { state.typing.insert(state.typing.end(), codes); }

bool whole_game_at_title() { return rd32(0x0023FC) == 0x00EBFE; }
