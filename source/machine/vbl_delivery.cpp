// VBL delivery. The game's handlers run at the vectors it installed (a
// vector still holding its ROM stub has no handler), each to its RTE on the
// host's stack through the interrupt and batch runners.
#include "machine/vbl_delivery.h"

#include <cstring>

#include "machine/ikbd.h"
#include "machine/io_devices.h"
#include "machine/loader_hold.h"
#include "machine/memory.h"
#include "machine/mfp.h"
#include "machine/plane_lines.h"
#include "machine/runner.h"

namespace {

constexpr u32 vector_vbl = 0x70;
constexpr u32 vector_acia = 0x118;
constexpr u32 vector_timer_b = 0x120;

constexpr int level_vbl = 4;
constexpr int level_mfp = 6;

constexpr u32 vbclock = 0x462;
constexpr u32 frclock = 0x466;
constexpr u32 hz_200 = 0x4BA;

constexpr u32 palette_registers = 0xFF8240;
constexpr u32 video_base_high = 0xFF8201;
constexpr u32 video_base_mid = 0xFF8203;
constexpr u32 video_base_low = 0xFF820D;
constexpr u32 screen_bytes = 32000;
constexpr u32 fallback_screen = 0x3F8000;

constexpr u8 timer_b_event_count = 8;

bool installed(u32 vector_address) { return rd32(vector_address) != vector_stub(vector_address / 4); }

const u8* live_palette() { return io + (palette_registers & (io_size - 1)); }

void record_zone(int i, u32 line) {
  tos.zones[i].line = line;
  std::memcpy(tos.zones[i].palette, live_palette(), sizeof tos.zones[i].palette);
}

void raster_splits() {
  u32 line = 0;
  for (int split = 0; split < raster_split_limit; ++split) {
    if ((mfp_reg(mfp_tbcr) & 0x0F) != timer_b_event_count ||
        !tos_mfp_enabled(mfp_iera, mfp_imra, mfp_bit_timer_b) || !installed(vector_timer_b))
      return;
    const u8 lines = mfp_reg(mfp_tbdr);
    line += lines ? lines : 256;
    mfp_set_reg(mfp_tbcr, 0); // the handler arms the timer again for another split
    const int refused = cpu_run_isr(&g_cpu, rd32(vector_timer_b), level_mfp, 0, 1, nullptr);
    drain_ikbd();
    if (refused < 0) return;
    if (tos.zone_count < max_palette_zones) record_zone(tos.zone_count++, line);
  }
}

} // namespace

void tos_vbl() {
  ++tos.vbl;
  g_cpu.vbl_flag = 1;
  tos.zone_count = 0;
  if (!installed(vector_vbl)) {
    ram_wr32(frclock, ram_rd32(frclock) + 1);
    ram_wr32(vbclock, ram_rd32(vbclock) + 1);
    ram_wr32(hz_200, ram_rd32(hz_200) + 4);
  } else {
    cpu_run_isr(&g_cpu, rd32(vector_vbl), level_vbl, 0, 1, nullptr);
    drain_ikbd();
    record_zone(0, 0);
    tos.zone_count = 1;
    raster_splits();
  }
  mfp_timer_c();
  mfp_timer_a();
  loader_vbl_step();
  tos_deliver_keys();
}

void tos_deliver_keys() {
  for (int i = 0; i < key_interrupts_per_call; ++i) {
    if (acia_len() == 0 || !installed(vector_acia) || !tos_mfp_enabled(mfp_ierb, mfp_imrb, mfp_bit_acia)) continue;
    cpu_run_isr(&g_cpu, rd32(vector_acia), level_mfp, 0, 1, nullptr);
    drain_ikbd();
  }
}

void tos_pal16(u8* out) { std::memcpy(out, live_palette(), 32); }

void tos_screen_idx(u8* out, palette_zone* zones, int* count) {
  u32 base = static_cast<u32>(mfp_reg(video_base_high)) << 16 | static_cast<u32>(mfp_reg(video_base_mid)) << 8 |
             mfp_reg(video_base_low);
  if (base + screen_bytes > ram_size) base = fallback_screen;
  planes_to_idx(ram + base, screen_height, screen_width / 16, out);
  if (tos.zone_count > 0) {
    const int n = tos.zone_count < max_palette_zones ? tos.zone_count : max_palette_zones;
    std::memcpy(zones, tos.zones, sizeof(palette_zone) * n);
    *count = n;
  } else {
    zones[0].line = 0;
    std::memcpy(zones[0].palette, live_palette(), sizeof zones[0].palette);
    *count = 1;
  }
}
