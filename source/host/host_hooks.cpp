#include "host/host_hooks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/platform.h"
#include "machine/hooks.h"
#include "machine/host_aim.h"
#include "machine/loader_hold.h"
#include "machine/memory.h"
#include "sound/audio_assembly.h"

namespace {

constexpr u32 hold_hook = 0x9306;
constexpr u32 hscroll_hook = 0x4A50;
constexpr u32 hscroll_code = 0x4A3C;
constexpr u32 hscroll_expected = 0x3E3C0013;
constexpr u32 hold_byte = 0x56;
constexpr u32 object_table_a = 0x1472;  // 17 records of 14 bytes
constexpr u32 object_table_b = 0x18E6;  // 20 records of 20 bytes
constexpr int mission_failed_song = 7;

int player_index(u32 record) {
  record &= 0xFFFFFF;
  if (record == player1_record) return 0;
  if (record == player2_record) return 1;
  return -1;
}

void shift_word(u32 address, u32 step) {
  if (address > ram_size - 2) return;
  wr16(address, (rd16(address) + step) & 0xFFFF);
}

} // namespace

void register_host_hooks() {
  hook_register(hold_hook, hk_hold);
  hook_register(hscroll_hook, hk_hscroll);
  set_fail_screen_hold(hk_fail_hold);
  g_host_aim = hk_aim;
}

void hk_hold(u32) {
  const u32 r = g_cpu.a[4] & 0xFFFFFF;
  const int p = player_index(r);
  if (p < 0) return;
  if (emu.hold_on[p]) {
    wr8(r + hold_byte, 0xFF);
  } else if (emu.aim_dir[p]) {
    // Aiming with the right stick ends holding.
    wr8(r + hold_byte, 0);
    wr8(r + hold_byte + 1, 0);
  }
}

// The game scrolls its horizontal sections without moving the objects
// that ride on the ground; moving them with the step keeps them in place.
void hk_hscroll(u32) {
  if (ram_rd32(hscroll_code) != hscroll_expected) return;
  const u32 base = g_cpu.a[5] & 0xFFFFFF;
  const u32 step = g_cpu.d[5] & 0xFFFF;
  for (u32 k = 0; k < 17; ++k) shift_word(base + object_table_a + 14 * k, step);
  for (u32 k = 0; k < 20; ++k) shift_word(base + object_table_b + 20 * k, step);
}

int hk_fail_hold() { return pb_once() && audio_pb_song() == mission_failed_song; }

u32 hk_aim(u32 record, u32 value) {
  const int p = player_index(record);
  if (p < 0 || emu.aim_dir[p] == 0) return value;
  return emu.aim_dir[p];
}

void say(const char* text) {
  present_msg* m = msg_new(MSG_TOAST);
  if (!m) return;
  std::snprintf(m->text, sizeof m->text, "%s", text ? text : "");
  msgq_push(m);
}

void on_reset_cb() {
  present_msg* m = msg_new(MSG_RESET);
  if (m) msgq_push(m);
}

void on_sprite_cb(uint64_t, sprite*) {}
void on_drop_cb(uint64_t) {}

void on_frame_cb(scene_frame* frame) {
  if (std::getenv("BKM_PLAYERLOG")) {
    const u32 r = player1_record;
    host_log_file(
        "player vbl %u x=%d y=%d  facing L=%02X R=%02X U=%02X D=%02X  still56=%02X%02X  input E=%02X "
        "F=%02X 10=%02X 11=%02X fire=%02X  face36=%02X",
        frame->vbl, static_cast<int>(rd16(r + 2)), static_cast<int>(rd16(r + 4)), rd8(r + 0x2E), rd8(r + 0x30),
        rd8(r + 0x32), rd8(r + 0x34), rd8(r + 0x56), rd8(r + 0x57), rd8(r + 0x0E), rd8(r + 0x0F), rd8(r + 0x10),
        rd8(r + 0x11), rd8(r + 0x12), rd8(r + 0x36));
  }
  if (std::getenv("BKM_UNITLOG")) {
    char line[1501];
    int n = std::snprintf(line, sizeof line, "units vbl %u scroll %d hs %d:", frame->vbl, frame->ring_row,
                          frame->hscroll);
    for (int i = 0; i < frame->unit_count && n >= 0 && n <= 1399; ++i) {
      const scene_unit& u = frame->units[i];
      n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " %s#%d(%d,%d+%d)@%X",
                         unit_name(u.kind), u.order, u.x, u.y, u.sub, u.object);
      if (n >= static_cast<int>(sizeof line)) n = sizeof line - 1;
    }
    host_log_file("%s", line);
  }
  present_msg* m = msg_new(MSG_FRAME);
  if (m) {
    m->frame = frame_ref(frame);
    msgq_push(m);
  }
  emu.have_frame = 1;
  emu.last_frame_vbl = frame->vbl;
}
