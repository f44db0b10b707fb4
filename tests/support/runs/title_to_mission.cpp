#include "support/runs/title_to_mission.h"

#include <algorithm>
#include <chrono>
#include <functional>

#include "game/game_ram.h"
#include "game/map_ram.h"
#include "machine/boot_state.h"
#include "machine/dispatch.h"
#include "machine/game_data.h"
#include "machine/hooks.h"
#include "machine/ikbd.h"
#include "machine/io_devices.h"
#include "machine/machine_state.h"
#include "machine/slice_runner.h"
#include "machine/tos.h"
#include "machine/vbl_delivery.h"
#include "machine/ym_capture.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_disk.h"
#include "support/synthetic/synthetic_map.h"

namespace {

road_notes* notes;

ROUTINE(road_first_section, 0xC20300)
  notes->screen_at_load.assign(ram + screen_buffer_b, ram + screen_buffer_b + 32000);
  notes->loaded.assign(ram + 0x05647E, ram + 0x083B92);
  RTS();
END_ROUTINE

ROUTINE(road_mission_setup, 0xC20400)
  RTS();
END_ROUTINE

ROUTINE(road_frame_loop, 0xC20500)
  if (!notes->frame_loop_reached) {
    notes->frame_loop_reached = true;
    notes->level_in_frame_loop = rd8(music_level);
  }
LABEL(0xC20510)
  if (kit_wait(0xC20510)) return;
  GOTO(0xC20510);
END_ROUTINE

void note_tune(u32) { notes->tunes.push_back(g_cpu.d[0] & 0xFFFF); }

constexpr int stick_up = 1, stick_down = 2, stick_left = 4, stick_right = 8, stick_fire = 0x80;

// The input of the next delivery, by what the game waits for.
struct driver {
  int mission;
  int stick = 0;         // the last state sent on port 1
  bool fire_sent = false;
  bool key_sent = false;
  bool in_shop = false;

  void send(int state) {
    if (state == stick) return;
    tos_joystick(1, state);
    stick = state;
  }

  // The stick towards (tx, ty) of map_cursor until it is within `near`
  // pixels (a report takes effect a pass late), then fire.
  void steer(u32 tx, u32 ty, int near) {
    const int dx = static_cast<int>(rd16(map_cursor_x)) - static_cast<int>(tx);
    const int dy = static_cast<int>(rd16(map_cursor_y)) - static_cast<int>(ty);
    const int want = (dx < -near ? stick_right : 0) | (dx > near ? stick_left : 0) | (dy < -near ? stick_down : 0) |
                     (dy > near ? stick_up : 0);
    send(want ? want : stick_fire);
  }

  void input(int vbl) {
    if (g_cpu.pc == 0x79E2 && rd32(a7 + 2) == 0x00EC08) { // wait_fire
      send(fire_sent ? 0 : stick_fire);
      fire_sent = true;
      return;
    }
    if (key_sent && notes->prompt_answered == vbl - 1) tos_key(0x82);
    if (g_cpu.pc == 0x00FDF0) { // the prompt
      if (!key_sent) {
        tos_key(0x02);
        key_sent = true;
        notes->prompt_answered = vbl;
        notes->prompt_wait_recorded = tos.wait_vbl_at[2];
        notes->prompt_machine_vbl = tos.vbl;
      }
      return;
    }
    // The shop (its palette's colour 14 is $047): weapon 0 bought in cell
    // 0, then fire on the leave cell 29 at (312, 132).
    const bool shop = rd8(split_map) != 0xFF && rd16(0xFF825C) == 0x047;
    if (shop && !in_shop) ++notes->shop_visits;
    in_shop = shop;
    if (shop) {
      const bool bought = rd8(player1 + 0x66) != 0;
      steer(bought ? 312 : 32, bought ? 132 : 12, 5);
      return;
    }
    if (rd8(split_map) != 0xFF) {
      send(0);
      return;
    }
    const synth_map_box& b = synth_map_content().boxes[static_cast<size_t>(mission)];
    const u32 x = rd16(map_cursor_x), y = rd16(map_cursor_y);
    const u32 tx = synth_box_centre_x(b), ty = synth_box_centre_y(b);
    int want = (x < tx ? stick_right : 0) | (x > tx ? stick_left : 0) | (y < ty ? stick_down : 0) |
               (y > ty ? stick_up : 0);
    // At the centre: the stick let go, then fire in a VBL of its own.
    if (want == 0 && (stick & 0x0F) == 0) want = stick_fire;
    send(want);
  }
};

} // namespace

namespace {

// The road from the boot, one VBL at a time, until `arrived` holds after a
// slice's input (or the game fails, or max_vbls).
bool run_road(const std::string& folder, int mission, road_notes& n, int max_vbls, bool stand_ins,
              const std::function<bool()>& arrived) {
  notes = &n;
  if (game_data_init(folder.c_str()) != 1) return false;
  state_ptr boot(boot_state_make(folder.c_str()));
  if (!boot) return false;
  tos_load_state(boot.get());
  if (stand_ins) {
    dispatch_register_over(0x009062, road_first_section);
    dispatch_register_over(0x008C64, road_mission_setup);
    dispatch_register_over(0x008EAC, road_frame_loop);
    dispatch_register_label(0xC20510, road_frame_loop);
  }
  hook_register(0x041BCC, note_tune);
  ym_events_clear();

  driver d{mission};
  std::vector<ym_event> events(ym_log_capacity);
  for (int v = 0; v < max_vbls; ++v) {
    const auto start = std::chrono::steady_clock::now();
    if (tos_run_slice(2000000) != 1) return false;
    road_vbl r{g_cpu.pc, 0, 0, {}, 0, 0};
    if (g_cpu.pc == 0x79E2) r.wait_return = rd32(a7 + 2);
    if (rd8(split_map) == 0xFF && n.map_entered < 0) {
      n.map_entered = v;
      n.map_screen.assign(ram + screen_buffer_b, ram + screen_buffer_b + 32000);
      n.cursor_at_map[0] = rd16(map_cursor_x);
      n.cursor_at_map[1] = rd16(map_cursor_y);
      n.lives_at_map = rd16(player1);
      n.money_at_map[0] = rd32(player1 + 0x58);
      n.money_at_map[1] = rd32(player2 + 0x58);
    }
    if (n.map_entered >= 0 && n.chosen < 0 && rd8(split_map) != 0xFF) n.chosen = v;
    d.input(v);
    tos_vbl();
    const int taken = ym_events_take(events.data(), static_cast<int>(events.size()));
    r.ym_writes = taken;
    for (int z = 0; z < tos.zone_count; ++z) r.zone_lines.push_back(tos.zones[z].line);
    r.timer_a_vector = rd32(0x000134);
    r.host_ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    n.vbls.push_back(std::move(r));
    if (arrived()) return true;
  }
  return false;
}

} // namespace

bool run_title_to_mission(const std::string& folder, int mission, road_notes& n, int max_vbls) {
  return run_road(folder, mission, n, max_vbls, true, [&n] { return n.frame_loop_reached; });
}

bool run_title_into_mission(const std::string& folder, int mission, road_notes& n, int max_vbls,
                            const std::function<bool()>& stop) {
  return run_road(folder, mission, n, max_vbls, false, stop);
}
