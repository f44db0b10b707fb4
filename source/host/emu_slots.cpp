// The operations that replace the running machine state: save slots,
// snapshot restores (slots, back to map, crash recovery), the return to the
// title and the restart at the player-count screen. Each leaves the host
// side (input, sound, captured frames, clock, patch flags, hook points)
// consistent with the new state.
#include <cstdio>
#include <cstring>
#include <string>

#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "host/host_hooks.h"
#include "host/language.h"
#include "host/platform.h"
#include "machine/boot_state.h"
#include "machine/hooks.h"
#include "machine/ikbd.h"
#include "machine/input_log.h"
#include "machine/io_devices.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "machine/ym_capture.h"
#include "sound/audio_assembly.h"

namespace {

constexpr int restart_passes = 6000;

std::string slot_path(int n) { return emu.save_dir + "/slot" + std::to_string(n) + ".bkms"; }

void say_n(const char* id, int n) {
  char text[256];
  say(trf(text, sizeof text, id, n));
}

void end_jobs() {
  emu.force_fire[0] = emu.force_fire[1] = 0;
  emu.weapon_job.active = 0;
  emu.quick_job.active = 0;
}

void apply_patches() {
  tos_set_patch(1, emu.fix_on != 0);
  if (emu.god_on) tos_set_patch(0, 1);
}

bool kind_is(const char* k) { return std::strcmp(emu.kind_now, k) == 0; }

} // namespace

void reenable_hooks() {
  for (int slot = 0; slot < hook_count(); ++slot) {
    const u32 address = game_hook_addr(slot);
    if (hook_registered(address)) hooks_enable(address, 1);
  }
}

void clock_rebase() {
  set_rate(emu.game_hz, (static_cast<double>(tos.vbl) - emu.lead) - emu_clock_at(emu_now()));
  emu.menu_clock = 0;
}

void reset_after_load() {
  audio_after_load();  // mixer, logged YM writes, chip registers, playback song
  for (int p = 0; p < 2; ++p) {
    emu.wanted_joy[p] = emu.sent_joy[p] = emu.fire_held[p] = 0;
    emu.fire_since[p] = 0;
  }
  emu.nkeyq = 0;
  // The VBL counter may have gone back: times kept from the abandoned
  // timeline would block keys and misread the player-count wait.
  for (i32& d : emu.down_at) d = never;
  emu.key_free = 0;
  for (i32& w : tos.wait_vbl_at) w = -99;
  acia_clear();
  scene_new_segment();
  scene_clear_frames();
  emu.have_frame = 0;
  emu.last_menu_nz = -1;
  tos_ilog_rewind(tos.vbl);
  reenable_hooks();
}

void restore_state(const machine_state* state) {
  tos_load_state(state);
  reset_after_load();
  end_jobs();
  emu.last_snap_map = emu.last_snap_shop = static_cast<i32>(tos.vbl) - 999;
  drop_map_snapshots();
  clock_rebase();
  apply_patches();
}

void save_slot(int n) {
  const std::string path = slot_path(n);
  if (!emu.save_dir.empty() && !port_mkdir(emu.save_dir.c_str()))
    host_log("Could not create save folder: %s", emu.save_dir.c_str());
  if (kind_is("map")) {
    state_ptr s(state_new());
    if (s) tos_save_state(s.get());
    if (s && state_write_file(s.get(), path.c_str()))
      say_n("msg.saved_map", n);
    else
      say(tr("msg.save_failed"));
    return;
  }
  if ((kind_is("shop") || kind_is("game")) && emu.have_premap && emu.pre_map) {
    if (state_write_file(emu.pre_map, path.c_str()))
      say_n("msg.saved_before", n);
    else
      say(tr("msg.save_failed"));
    return;
  }
  say(tr("msg.cannot_save"));
}

// A slot's header says nothing of whether its game can run: keeps the game
// as it is now, to go back to should the loaded one fail at once. While an
// earlier load is still watched, the game before that one is kept: the
// game running now has not proved itself yet.
void keep_game_before_load(int n) {
  if (!emu.before_load) {
    emu.before_load = state_new();
    if (!emu.before_load) return;
    tos_save_state(emu.before_load);
    emu.before_load_premap = emu.have_premap ? state_clone(emu.pre_map) : nullptr;
  }
  emu.load_watch = load_watch_vbls;
  emu.loaded_slot = n;
}

void end_load_watch() {
  state_free(emu.before_load);
  state_free(emu.before_load_premap);
  emu.before_load = emu.before_load_premap = nullptr;
  emu.load_watch = 0;
}

void load_watch_step() {
  if (emu.load_watch > 0 && --emu.load_watch == 0) end_load_watch();
}

int undo_failed_load(u32 v) {
  if (emu.load_watch <= 0 || !emu.before_load) return 0;
  host_log("slot %d could not be continued: its game failed at VBL %u, %d VBLs after loading; back to the game "
           "before the load",
           emu.loaded_slot, v, load_watch_vbls - emu.load_watch);
  restore_state(emu.before_load);
  state_free(emu.pre_map);
  emu.pre_map = emu.before_load_premap;
  emu.have_premap = emu.pre_map != nullptr;
  emu.before_load_premap = nullptr;
  const int n = emu.loaded_slot;
  end_load_watch();
  say_n("msg.slot_failed", n);
  return 1;
}

void load_slot(int n) {
  const std::string path = slot_path(n);
  state_ptr s(state_new());
  if (!s || !file_exists(path.c_str()) || !state_read_file(s.get(), path.c_str())) {
    say_n("msg.slot_empty", n);
    return;
  }
  keep_game_before_load(n);
  restore_state(s.get());
  machine_state* copy = state_clone(s.get());
  if (copy) {
    state_free(emu.pre_map);
    emu.pre_map = copy;
    emu.have_premap = 1;
  }
  emu.last_snap_map = static_cast<i32>(tos.vbl);
  say_n("msg.slot_loaded", n);
}

void back_to_map() {
  if (kind_is("map")) {
    say(tr("msg.already_on_map"));
    return;
  }
  if (emu.have_premap && emu.pre_map) {
    state_ptr copy(state_clone(emu.pre_map));
    if (copy) {
      restore_state(copy.get());
      say(tr("msg.back_on_map"));
      return;
    }
  }
  say(tr("msg.no_map_yet"));
}

void to_title() {
  state_ptr boot(boot_state_make(emu.data_dir.c_str()));
  if (!boot) return;
  end_load_watch();
  song0 = 0;
  tos_load_state(boot.get());
  boot.reset();
  reset_after_load();
  end_jobs();
  clock_rebase();
  apply_patches();
}

int restart_players() {
  state_ptr probe(boot_state_make(emu.data_dir.c_str()));
  if (!probe) return 1;  // no boot data: the request is ignored
  probe.reset();
  to_title();
  publish_kind("");
  emu.have_premap = 0;
  state_free(emu.pre_map);
  emu.pre_map = nullptr;
  drop_map_snapshots();
  bool failed = false;
  for (int i = 0; i < restart_passes; ++i) {
    const int byte = (i & 8) == 0 ? 0x80 : 0;
    if (byte != emu.sent_joy[1]) {
      tos_joystick(1, byte);
      emu.sent_joy[1] = byte;
    }
    if (tos_run_slice(2000000) < 0) {
      failed = true;
      break;
    }
    tos_vbl();
    ym_events_clear();
    if (vbl_since(tos.vbl, tos.wait_vbl_at[2]) <= 1) break;
  }
  tos_joystick(1, 0);
  emu.sent_joy[1] = 0;
  scene_clear_frames();
  emu.have_frame = 0;
  audio_after_load();
  clock_rebase();
  if (failed) {
    // The restart met a routine the game cannot run: the same stop as a
    // failed step, not a "restarted" that never happened.
    present_msg* m = msg_new(MSG_ERROR);
    if (m) {
      std::snprintf(m->text, sizeof m->text, "Emulation error near %06X (vbl %u)", g_cpu.pc & 0xFFFFFF, tos.vbl);
      msgq_push(m);
    }
    return 0;
  }
  say(tr("msg.restarted"));
  return 1;
}
