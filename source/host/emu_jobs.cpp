// Weapon automation: the weapon key held for two VBLs, the previous-weapon
// step (the game only knows "next"), and the quick-weapon job that switches
// to a grenade or rocket launcher, fires it and switches back.
#include <cstring>

#include "host/emu_state.h"
#include "machine/ikbd.h"
#include "machine/input_log.h"
#include "machine/memory.h"

namespace {

constexpr int grenade_slots[] = {18};
constexpr int rocket_slots[] = {14, 15, 16};
constexpr u32 saved_word_a = 0x60, saved_word_b = 0x62;

u32 ammo_address(u32 record, int slot) {
  switch (slot) {
    case 18: return record + 0x7A;
    case 14: return record + 0x7A + 2 * 8;
    case 15: return record + 0x7A + 2 * 12;
    case 16: return record + 0x7A + 2 * 6;
    default: return 0;
  }
}

u32 record_of_key(int key) { return key == player2_weapon_key ? player2_record : player1_record; }

void poke_weapon(u32 record, int slot) {
  wr16(record + current_weapon_offset, static_cast<u32>(slot));
  tos_ilog('P', static_cast<int>(record + current_weapon_offset), slot);
}

bool jobs_busy() { return emu.weapon_job.active || emu.quick_job.active; }
bool kind_is_game() { return std::strcmp(emu.kind_now, "game") == 0; }

int position_of(const int* list, int k, int slot) {
  for (int i = 0; i < k; ++i)
    if (list[i] == slot) return i;
  return -1;
}

int positive_mod(int a, int k) { return ((a % k) + k) % k; }

// States 0 and 1 of the quick job: reach the goal weapon by setting the one
// before it and letting the game's own next-weapon step land on it.
// Returns 1 once the goal is held, or the job gave up.
bool switch_toward(quick_job_state& q, int goal, u32 v, bool* gave_up) {
  *gave_up = false;
  const int current = static_cast<int>(rd16(q.record + current_weapon_offset));
  if (q.key_sent) {
    if (vbl_since(v, static_cast<i32>(q.vbl)) <= 3) return false;
    q.key_sent = 0;
    if (current == goal) return true;
    if (++q.switch_retries > 3) {
      *gave_up = true;
      return true;
    }
  }
  int held[weapon_slot_count];
  const int k = held_slots(q.record, held);
  const int f = position_of(held, k, goal);
  if (current == goal || k == 0 || f < 0) return true;
  poke_weapon(q.record, held[positive_mod(f - 1, k)]);
  weapon_job_start(q.key);
  q.key_sent = 1;
  q.vbl = v;
  return false;
}

void quick_step(u32 v) {
  quick_job_state& q = emu.quick_job;
  const i32 since = vbl_since(v, static_cast<i32>(q.vbl));
  bool gave_up = false;
  switch (q.state) {
    case 0:
      if (switch_toward(q, q.target, v, &gave_up)) {
        q.state = gave_up ? 1 : 2;
        q.switch_retries = 0;
        q.vbl = v;
      }
      break;
    case 1:
      if (switch_toward(q, q.start_weapon, v, &gave_up)) {
        q.state = 5;
        q.switch_retries = 0;
        q.vbl = v;
      }
      break;
    case 2:
      if (since > 2) {
        q.ammo_before = static_cast<int>(rd16(ammo_address(q.record, q.target)));
        emu.force_fire[q.port] = 1;
        q.state = 3;
        q.vbl = v;
      }
      break;
    case 3:
      if (since > 5) {
        emu.force_fire[q.port] = 0;
        q.state = 4;
        q.vbl = v;
      }
      break;
    case 4:
      if (since > 7) {
        const int ammo = static_cast<int>(rd16(ammo_address(q.record, q.target)));
        if (ammo < q.ammo_before || q.fire_retries >= 2) {
          q.state = 1;
        } else {
          ++q.fire_retries;
          q.state = 2;
        }
        q.vbl = v;
      }
      break;
    case 5:
      if (static_cast<int>(rd16(q.record + current_weapon_offset)) == q.start_weapon) {
        wr16(q.record + saved_word_a, static_cast<u32>(q.saved60));
        tos_ilog('P', static_cast<int>(q.record + saved_word_a), q.saved60);
        wr16(q.record + saved_word_b, static_cast<u32>(q.saved62));
        tos_ilog('P', static_cast<int>(q.record + saved_word_b), q.saved62);
      }
      emu.force_fire[q.port] = 0;
      q.active = 0;
      break;
    default: q.active = 0; break;
  }
}

} // namespace

int held_slots(u32 record, int* out) {
  int k = 0;
  for (int i = 0; i < weapon_slot_count; ++i)
    if (rd8(record + weapon_slots_offset + static_cast<u32>(i))) out[k++] = i;
  return k;
}

void weapon_job_start(int key) {
  tos_key(key);
  emu.weapon_job = weapon_job_state{key, 1, tos.vbl, 1};
}

void weapon_key(int key, double b) {
  if (b < 0 && (key == player1_weapon_key || key == player2_weapon_key)) {
    if (jobs_busy() || !kind_is_game()) return;
    const u32 record = record_of_key(key);
    int held[weapon_slot_count];
    const int k = held_slots(record, held);
    const int f = position_of(held, k, static_cast<int>(rd16(record + current_weapon_offset)));
    if (k < 2 || f < 0) return;
    poke_weapon(record, held[positive_mod(f - 2, k)]);
  }
  weapon_job_start(key);
}

void quick_weapon(int key, int grenade) {
  if (jobs_busy() || !kind_is_game()) return;
  const u32 record = record_of_key(key);
  const int* list = grenade ? grenade_slots : rocket_slots;
  const int count = grenade ? 1 : 3;
  int target = -1;
  for (int i = 0; i < count && target < 0; ++i) {
    const int slot = list[i];
    if (rd8(record + weapon_slots_offset + static_cast<u32>(slot)) && rd16(ammo_address(record, slot)))
      target = slot;
  }
  if (target < 0) return;
  quick_job_state& q = emu.quick_job;
  q = quick_job_state{};
  q.key = key;
  q.record = record;
  q.port = record == player1_record ? 1 : 0;
  q.target = target;
  q.start_weapon = static_cast<int>(rd16(record + current_weapon_offset));
  q.saved60 = static_cast<int>(rd16(record + saved_word_a));
  q.saved62 = static_cast<int>(rd16(record + saved_word_b));
  q.vbl = tos.vbl;
  q.active = 1;
}

void jobs_step(u32 v) {
  weapon_job_state& w = emu.weapon_job;
  if (w.active) {
    if (w.state == 1 && vbl_since(v, static_cast<i32>(w.vbl)) > 1) {
      tos_key(w.key | 0x80);
      w.state = 2;
      w.vbl = v;
    } else if (w.state == 2 && vbl_since(v, static_cast<i32>(w.vbl)) > 2) {
      w.active = 0;
    }
  }
  if (emu.quick_job.active && !emu.weapon_job.active) quick_step(v);
}
