// Input delivery before each VBL: the joystick bytes with a fire latch that
// keeps a short tap down for 3 VBLs, and the key queue, one key per VBL, a
// release not before 3 VBLs after its press.
#include "host/emu_state.h"
#include "machine/ikbd.h"

namespace {

constexpr int fire_bit = 0x80;
constexpr i32 fire_min_vbls = 2;     // latched while v - since <= 2
constexpr i32 release_after = 2;     // released once v - down_at > 2

void deliver_port(int p, u32 v) {
  // Port 0 is player 2 (aim index 1), port 1 player 1 (aim index 0).
  const int aim = p == 0 ? 1 : 0;
  const bool asked = (emu.wanted_joy[p] & fire_bit) || emu.force_fire[p] ||
                     (emu.aim_dir[aim] && emu.aim_fire[aim]);
  int fire = 0;
  if (asked) {
    if (!emu.fire_held[p]) {
      emu.fire_held[p] = 1;
      emu.fire_since[p] = static_cast<i32>(v);
    }
    fire = fire_bit;
  } else if (emu.fire_held[p]) {
    if (vbl_since(v, emu.fire_since[p]) <= fire_min_vbls)
      fire = fire_bit;
    else
      emu.fire_held[p] = 0;
  }
  const int byte = fire | (emu.wanted_joy[p] & 0x0F);
  if (byte != emu.sent_joy[p]) {
    emu.sent_joy[p] = byte;
    tos_joystick(p, byte);
  }
}

void deliver_key(u32 v) {
  if (emu.nkeyq == 0) return;
  const key_entry k = emu.keyq[0];
  if (k.down) {
    if (vbl_since(v, emu.key_free) < 0) return;
    tos_key(k.code);
    emu.down_at[k.code] = static_cast<i32>(v);
  } else {
    if (emu.down_at[k.code] != never && vbl_since(v, emu.down_at[k.code]) <= release_after) return;
    tos_key(k.code | 0x80);
    emu.down_at[k.code] = never;
  }
  emu.key_free = static_cast<i32>(v + 1);
  --emu.nkeyq;
  for (int i = 0; i < emu.nkeyq; ++i) emu.keyq[i] = emu.keyq[i + 1];
}

} // namespace

void key_enqueue(int code, int down) {
  if (code < 1 || code > 127) return;
  const int limit = down ? key_queue_press_limit : key_queue_capacity;
  if (emu.nkeyq >= limit) return;
  emu.keyq[emu.nkeyq++] = key_entry{code, down};
}

void pump(u32 v) {
  autopilot(v);
  for (int i = 0; i < 2; ++i) emu.aim_dir[i] = emu.last_gp ? static_cast<u8>(emu.aim_in[i]) : 0;
  deliver_port(0, v);
  deliver_port(1, v);
  deliver_key(v);
}
