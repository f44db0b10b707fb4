// The Amiga music player. The replay ticks from a CIA timer (14,081 counts
// of 709,379 Hz, about 50.38 ticks a second); between ticks Paula plays what
// the replay set up. Output frames are the averages of Paula's ticks that
// fall in them, through the one-pole audio filter that CIA-A port A bit 1
// switches off.
#include "sound/amiga_player.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/platform.h"
#include "machine/coroutine.h"
#include "sound/amiga_disk.h"
#include "sound/amiga_paula.h"
#include "sound/amiga_replay.h"
#include "sound/music_entries.h"

u8* amem = nullptr;

namespace {

constexpr u32 block_address = bkam_base;
constexpr int find_path_size = 1024;

struct player_state {
  int ready = 0;
  std::unique_ptr<u8[]> memory;
  double acc = 0;
  double tick_left = 0;
  float lp[2] = {};
  i32 fs = 44100;
  int amlog = -1; // BKM_AMLOG, read at its first use
  u32 render_calls = 0;
};

player_state g;

// The find cache: the last folder asked and its answer.
char cached_dir[find_path_size];
char cached_path[find_path_size];
int cached_ok = 0;
bool cache_valid = false;
u8 probe[amiga_block_size];

bool untranslated_reported = false;

bool amlog() {
  if (g.amlog < 0) {
    const char* v = std::getenv("BKM_AMLOG");
    g.amlog = v && *v ? 1 : 0;
  }
  return g.amlog != 0;
}

double frames_per_tick() { return cia_tick_period * static_cast<double>(g.fs) / cia_clock; }

bool has_music_extension(const char* name) {
  const std::size_t n = std::strlen(name);
  if (n <= 4) return false;
  const char* ext = name + n - 4;
  return !std::strcmp(ext, ".adf") || !std::strcmp(ext, ".ADF") || !std::strcmp(ext, ".lha") ||
         !std::strcmp(ext, ".LHA");
}

struct find_job {
  const char* folder;
  char* out;
  int size;
  int found;
};

int try_entry(const char* name, void* user) {
  find_job& job = *static_cast<find_job*>(user);
  if (!has_music_extension(name)) return 1;
  char path[find_path_size];
  if (!path_join(path, sizeof path, job.folder, name) || !amiga_disk_block(path, probe)) return 1;
  std::snprintf(job.out, static_cast<std::size_t>(job.size), "%s", path);
  job.found = 1;
  return 0;
}

int find_uncached(const char* folder, char* out, int size) {
  find_job job{folder, out, size, 0};
  port_list_files(folder, nullptr, try_entry, &job);
  return job.found;
}

} // namespace

int amiga_music_find(const char* folder, char* out, int size) {
  if (!folder || !*folder || !out || size <= 0) return 0;
  if (!(cache_valid && std::strcmp(cached_dir, folder) == 0)) {
    std::snprintf(cached_dir, sizeof cached_dir, "%s", folder);
    cached_path[0] = '\0';
    cached_ok = find_uncached(folder, cached_path, sizeof cached_path);
    cache_valid = true;
  }
  if (!cached_ok) return 0;
  std::snprintf(out, static_cast<std::size_t>(size), "%s", cached_path);
  return 1;
}

int amiga_player_load(const u8* block, int rate) {
  if (!g.memory) {
    g.memory.reset(new (std::nothrow) u8[amiga_memory_size]);
    if (!g.memory) return 0;
  }
  std::memset(g.memory.get(), 0, amiga_memory_size);
  std::memcpy(g.memory.get() + block_address, block, amiga_block_size);
  amem = g.memory.get();
  paula_reset();
  g.acc = 0;
  g.tick_left = 0;
  g.lp[0] = g.lp[1] = 0;
  g.fs = rate > 0 ? rate : 44100;
  g.ready = 1;
  return 1;
}

void amiga_player_forget() {
  g = player_state{};
  amem = nullptr;
  paula_reset();
  cache_valid = false;
  cached_ok = 0;
  untranslated_reported = false;
}

int amiga_music_open(const char* path, int rate) {
  if (g.ready) return 1;
  static u8 block[amiga_block_size];
  if (!path || !amiga_disk_block(path, block)) return 0;
  return amiga_player_load(block, rate);
}

int amiga_music_ready() { return g.ready; }

void am_call(u32 routine, u32 d0_value) {
  const register_guard saved;
  amem[amiga_stack_top] = 0x00;
  amem[amiga_stack_top + 1] = 0xDE;
  amem[amiga_stack_top + 2] = 0xAD;
  amem[amiga_stack_top + 3] = 0x00;
  sr_sys = 0x2000;
  resume_pc = 0;
  a7 = amiga_stack_top;
  d0 = d0_value;
  bkam_dispatch(routine);
  // The guard puts back every register, the flags, sr_sys, other_sp,
  // resume_pc and ret_addr.
}

void amiga_music_play(int n) {
  if (!g.ready) return;
  if (amlog()) host_log_file("Amiga music: play %d", n);
  if (n >= 0 && n <= 7)
    am_call(bkam_start_entry, static_cast<u32>(n));
  else
    am_call(bkam_stop_entry, 0);
  g.tick_left = 0;
}

int amiga_music_playing() { return g.ready && amem[bkam_playing] != 0 ? 1 : 0; }

void amiga_music_skip(int frames) {
  if (!g.ready || frames <= 0) return;
  const long k = static_cast<long>(frames / frames_per_tick());
  for (long i = 0; i < k && amem[bkam_playing] != 0; ++i) am_call(bkam_tick_entry, 0);
  g.tick_left = 0;
}

void amiga_music_render(int count, i16* out) {
  if (count <= 0) return;
  if (!g.ready) {
    std::memset(out, 0, static_cast<std::size_t>(count) * 2 * sizeof(i16));
    return;
  }
  const double a = paula.cia_pra & cia_filter_off ? 1.0 : 1.0 - std::exp(-2.0 * M_PI * amiga_filter_corner / g.fs);
  const double step = paula_clock / g.fs;
  int last_left = 0;
  for (int i = 0; i < count; ++i) {
    if (g.tick_left <= 0) {
      am_call(bkam_tick_entry, 0);
      g.tick_left += frames_per_tick();
    }
    g.tick_left -= 1;
    int vol[4];
    for (int n = 0; n < 4; ++n) vol[n] = paula.ch[n].volume < 64 ? paula.ch[n].volume : 64;
    double left = 0, right = 0;
    int ticks = 0;
    g.acc += step;
    while (g.acc >= 1) {
      g.acc -= 1;
      paula_tick(amem);
      left += paula.ch[0].sample * vol[0] + paula.ch[3].sample * vol[3];
      right += paula.ch[1].sample * vol[1] + paula.ch[2].sample * vol[2];
      ++ticks;
    }
    const double scale = ticks ? 1.0 / 8192.0 * 0.5 / ticks : 0.0;
    const double x[2] = {left * scale, right * scale};
    for (int s = 0; s < 2; ++s) {
      g.lp[s] = static_cast<float>(g.lp[s] + (x[s] - g.lp[s]) * a);
      out[2 * i + s] = static_cast<i16>(static_cast<int>(g.lp[s] * 32767.0));
    }
    last_left = out[2 * i];
  }
  if (amlog() && g.render_calls++ % 100 == 0)
    host_log_file("Amiga music: render %d frames, playing=%d, last %d, ch vol %d %d %d %d per %d %d %d %d dma %04X",
                  count, amem[bkam_playing] ? 1 : 0, last_left, paula.ch[0].volume, paula.ch[1].volume,
                  paula.ch[2].volume, paula.ch[3].volume, paula.ch[0].period, paula.ch[1].period,
                  paula.ch[2].period, paula.ch[3].period, paula.dmacon);
}

u32 am_io_read(u32 address, int size) { return paula_io_read(address & 0xFFFFFF, size); }

void am_io_write(u32 address, int size, u32 value) { paula_io_write(address & 0xFFFFFF, size, value); }

void am_call_dynamic(u32 address) {
  if (bkam_dispatch(address & 0xFFFFFF)) return;
  if (untranslated_reported) return;
  untranslated_reported = true;
  std::fprintf(stderr, "Amiga music: jump to code that was not translated: %06X\n", address & 0xFFFFFF);
}

void cpu_trap_zerodiv() {}

void amiga_music_entries(music_entry_table& table) {
  table.amiga_ready = amiga_music_ready;
  table.amiga_find = amiga_music_find;
  table.amiga_open = amiga_music_open;
  table.amiga_play = amiga_music_play;
  table.amiga_skip = amiga_music_skip;
  table.amiga_playing = amiga_music_playing;
  table.amiga_render = amiga_music_render;
}
