// Host hooks in the game's sound driver and sample player. They run inside
// the game's slice with the registers in g_cpu; register changes go back
// to the game.
#include <cstdlib>

#include "host/platform.h"
#include "machine/cpu.h"
#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "machine/memory.h"
#include "machine/tos.h"
#include "sound/audio_assembly.h"
#include "sound/audio_state.h"
#include "sound/mixer.h"

const pan_site PAN_SITES[10] = {
    {0x6A4A, 4, 0}, {0x6B3C, 3, 0}, {0x6CEA, 4, 0}, {0x72EE, 4, 2}, {0xA660, 6, 0},
    {0xACF0, 4, 0}, {0xB9CC, 4, 0}, {0x9442, 4, 2}, {0x9542, 4, 2}, {0xA9CC, 4, 2},
};

namespace {

// Screen x of the left and right edges of the stereo field.
constexpr double pan_left_x = 100;
constexpr double pan_width = 192;

u32 be32(u32 addr) {
  return static_cast<u32>(ram[addr]) << 24 | static_cast<u32>(ram[addr + 1]) << 16 |
         static_cast<u32>(ram[addr + 2]) << 8 | ram[addr + 3];
}

int channel_of(u32 address) {
  if (address == 0x41DD8 || address == 0x41DDC) return 0;
  if (address == 0x41E00 || address == 0x41E04) return 1;
  return 2;
}

void hk_song(u32 address) {
  const int tune = static_cast<int>(g_cpu.d[0] & 0xFFFF);
  if (std::getenv("BKM_SONGLOG"))
    host_log_file("song %d (vbl %u, pc %06X, ret %06X)", tune, tos.vbl, address & 0xFFFFFF, hook_return_address());
  if (tune == 0) song0 = 1;
  tos.song = tune;
  vf_on = 0; // the driver has just set its tune flag itself
  if (pb_once())
    aud.pend_song = tune;
  else
    audio_song_switch(tune);
}

void hk_stop(u32) {
  if (hook_return_address() == song_start_stop_return) return;
  tos.song = -1;
  vf_on = 0;
  if (pb_once())
    aud.pend_song = -1;
  else
    audio_song_switch(-1);
}

void hk_sample(u32 address) {
  const u32 sample = g_cpu.d[0] & 0xFFFF;
  if (sample > 8) return;
  const int voice = address == 0xE6EC ? 0 : 1;
  if (!aud.sfx_multi && !aud.sfx_pan) return; // the player's own writes carry it
  mixer_start(static_cast<int>(sample), voice, 0.0, aud.sfx_pan ? sample_pan() : 0.5f);
}

void hk_ymtag(u32) { g_ym_tag = 1; }

void hk_mute_a(u32 address) {
  const int ch = channel_of(address);
  if (aud.mp3_active) {
    aud.mute_saved[ch] = g_cpu.d[1] & 0xFF;
    g_cpu.d[1] &= ~0xFFu;
    aud.mute_on[ch] = 1;
  } else {
    aud.mute_on[ch] = 0;
  }
}

void hk_mute_b(u32 address) {
  const int ch = channel_of(address);
  if (!aud.mute_on[ch]) return;
  aud.mute_on[ch] = 0;
  g_cpu.d[1] = (g_cpu.d[1] & ~0xFFu) | aud.mute_saved[ch];
}

void hk_fx(u32) { aud.drv_base = g_cpu.a[3] & 0xFFFFFF; }

// Makes the driver write the music's noise period and channels A and B from
// its images even while its effect state says the channel is taken.
void hk_audiofix(u32) { g_cpu.fz = 1; }

struct hook_row {
  u32 address;
  host_hook_fn handler;
};

// In the order the emulation start registers them.
constexpr hook_row sound_hooks[] = {
    {0x41BCC, hk_song},     {0x41BE8, hk_stop},     {0xE6EC, hk_sample},    {0xE756, hk_sample},
    {0xE678, hk_ymtag},     {0xE69C, hk_ymtag},     {0xE6C0, hk_ymtag},     {0xE6D6, hk_ymtag},
    {0xE708, hk_ymtag},     {0xE772, hk_ymtag},     {0x41DD8, hk_mute_a},   {0x41E00, hk_mute_a},
    {0x41E28, hk_mute_a},   {0x41DDC, hk_mute_b},   {0x41E04, hk_mute_b},   {0x41E2C, hk_mute_b},
    {0x41E68, hk_fx},       {0x41E9C, hk_fx},       {0x41ED0, hk_fx},       {0x41EE2, hk_audiofix},
    {0x41EF8, hk_audiofix}, {0x41F32, hk_audiofix},
};

} // namespace

u32 hook_return_address() {
  const u32 sp = g_cpu.a[7] & 0xFFFFFF;
  return sp + 3 <= ram_last ? be32(sp) : 0;
}

float sample_pan() {
  const u32 ret = hook_return_address();
  const pan_site* site = nullptr;
  for (const pan_site& s : PAN_SITES)
    if (s.return_address == ret) {
      site = &s;
      break;
    }
  if (!site) return 0.5f;
  u32 x;
  if (site->source == 3) {
    x = g_cpu.d[3] & 0xFFFF;
  } else {
    const u32 addr = (g_cpu.a[site->source] & 0xFFFFFF) + static_cast<u32>(site->offset);
    if (addr + 1 > ram_last) return 0.0f;
    x = static_cast<u32>(ram[addr]) << 8 | ram[addr + 1];
  }
  const float pan = static_cast<float>((x - pan_left_x) / pan_width);
  return pan < 0 ? 0.0f : pan > 1 ? 1.0f : pan;
}

void register_sound_hooks() {
  for (const hook_row& h : sound_hooks) hook_register(h.address, h.handler);
}
