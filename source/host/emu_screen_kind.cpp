// The screen kind of each VBL ("game", "players", "shop", "map", "other"),
// the snapshots it drives (crash ring on game frames, map and shop
// snapshots for slots and back-to-map), the title song on the player-count
// screen, and the pictures of fixed screens for the presenter.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_state.h"
#include "machine/memory.h"
#include "machine/slice_runner.h"
#include "machine/vbl_delivery.h"
#include "sound/audio_assembly.h"

namespace {

constexpr int palette_bytes = 32;
constexpr i32 frame_recent = 7;
constexpr i32 players_recent = 2;
constexpr i32 shop_snap_gap = 49, map_snap_gap = 24, map_fire_quiet = 49;
constexpr u32 title_song_routine = 0x74F4;

struct code_check {
  u32 address;
  u32 value;
};
constexpr code_check title_song_code[] = {{0x74F4, 0x51ED01E8}, {0x41BCC, 0x48E7FFFE}, {0x43368, 0x47FAE1C0}};

constexpr u8 hex_digit(char c) {
  return static_cast<u8>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

struct palette {
  u8 bytes[palette_bytes];
};

constexpr palette parse_palette(const char (&text)[2 * palette_bytes + 1]) {
  palette p{};
  for (int i = 0; i < palette_bytes; ++i)
    p.bytes[i] = static_cast<u8>(hex_digit(text[2 * i]) << 4 | hex_digit(text[2 * i + 1]));
  return p;
}

constexpr palette shop_pal = parse_palette("0000076205550443023301520520002107760122053203200131001100470542");
constexpr palette map_pal = parse_palette("0000077700120014002501360246035604670740063005200353024201310020");

bool palette_shown(const palette& p) {
  u8 live[palette_bytes];
  tos_pal16(live);
  if (std::memcmp(live, p.bytes, palette_bytes) == 0) return true;
  for (int z = 0; z < tos.zone_count && z < max_palette_zones; ++z)
    if (std::memcmp(tos.zones[z].palette, p.bytes, palette_bytes) == 0) return true;
  return false;
}

const char* classify(u32 v) {
  if (vbl_since(v, tos.wait_vbl_at[2]) <= players_recent) return "players";
  if (palette_shown(shop_pal)) return "shop";
  if (palette_shown(map_pal)) return "map";
  return "other";
}

void replace(machine_state*& slot) {
  if (!slot) slot = state_new();
  if (slot) tos_save_state(slot);
}

void map_snapshot(u32 v) {
  const bool first = emu.nmap_hist == 0;
  if (!first && !(vbl_since(v, emu.last_snap_map) > map_snap_gap && vbl_since(v, emu.fire_last) > map_fire_quiet))
    return;
  if (emu.nmap_hist == 3) {
    state_free(emu.map_hist[0]);
    for (int i = 0; i < 2; ++i) {
      emu.map_hist[i] = emu.map_hist[i + 1];
      emu.map_hist_vbl[i] = emu.map_hist_vbl[i + 1];
    }
    emu.map_hist[2] = nullptr;
    emu.nmap_hist = 2;
  }
  machine_state* s = state_new();
  if (!s) return;
  tos_save_state(s);
  emu.map_hist[emu.nmap_hist] = s;
  emu.map_hist_vbl[emu.nmap_hist] = static_cast<i32>(v);
  ++emu.nmap_hist;
  emu.last_snap_map = static_cast<i32>(v);
  if (!emu.have_premap) {
    state_free(emu.pre_map);
    emu.pre_map = state_clone(emu.map_hist[0]);
    emu.have_premap = emu.pre_map != nullptr;
  }
}

bool title_song_code_present() {
  for (const code_check& c : title_song_code)
    if (ram_rd32(c.address) != c.value) return false;
  return true;
}

} // namespace

void drop_map_snapshots() {
  for (int i = 0; i < emu.nmap_hist; ++i) {
    state_free(emu.map_hist[i]);
    emu.map_hist[i] = nullptr;
  }
  emu.nmap_hist = 0;
}

void drop_crash_snapshots() {
  for (int i = 0; i < emu.ngood; ++i) {
    state_free(emu.good[i]);
    emu.good[i] = nullptr;
  }
  emu.ngood = 0;
}

int screen_kind_step(u32 v) {
  const bool game = emu.have_frame && vbl_since(v, static_cast<i32>(emu.last_frame_vbl)) <= frame_recent;
  const char* kind = "game";
  if (game) {
    crash_snapshot_step(v);
  } else {
    drop_crash_snapshots();
    kind = classify(v);
  }
  if (emu.want_song && std::strcmp(emu.kind_now, "players") == 0 && !song0 && title_song_code_present()) {
    tos_call_sub(title_song_routine, 0);
    emu.want_song = 0;
  }
  if (std::strcmp(kind, emu.kind_now) != 0) {
    if (std::strcmp(emu.kind_now, "map") == 0 && emu.nmap_hist > 0) {
      machine_state* copy = state_clone(emu.map_hist[emu.nmap_hist - 1]);
      if (copy) {
        state_free(emu.pre_map);
        emu.pre_map = copy;
        emu.have_premap = 1;
      }
      drop_map_snapshots();
    }
    publish_kind(kind);
    present_msg* m = msg_new(MSG_KIND);
    if (m) {
      std::snprintf(m->text, sizeof m->text, "%s", kind);
      msgq_push(m);
    }
    emu.want_song = std::strcmp(kind, "players") == 0;
  }
  if (std::strcmp(kind, "shop") == 0 && vbl_since(v, emu.last_snap_shop) > shop_snap_gap) {
    replace(emu.snap_shop);
    emu.last_snap_shop = static_cast<i32>(v);
  }
  if (std::strcmp(kind, "map") == 0) map_snapshot(v);
  return game ? 1 : 0;
}

void fixed_screen_step(u32 v) {
  static u8 indices[scene_pixels];
  palette_zone zones[max_palette_zones];
  int count = 0;
  tos_screen_idx(indices, zones, &count);
  if (!emu.last_menu_idx) emu.last_menu_idx = new u8[scene_pixels];
  if (count == emu.last_menu_nz && std::memcmp(indices, emu.last_menu_idx, scene_pixels) == 0 &&
      std::memcmp(zones, emu.last_menu_zones, sizeof(palette_zone) * static_cast<size_t>(count)) == 0)
    return;
  present_msg* m = msg_new(MSG_SCREEN);
  if (!m) return;
  m->screen_vbl = v;
  m->payload = static_cast<u8*>(std::malloc(scene_pixels));
  if (!m->payload) {
    msg_free(m);
    return;
  }
  std::memcpy(m->payload, indices, scene_pixels);
  std::memcpy(m->zones, zones, sizeof zones);
  m->zone_count = count;
  // Recorded as sent only once the queue took it: a dropped picture is
  // offered again next VBL.
  if (!msgq_push(m)) return;
  std::memcpy(emu.last_menu_idx, indices, scene_pixels);
  std::memcpy(emu.last_menu_zones, zones, sizeof zones);
  emu.last_menu_nz = count;
}
