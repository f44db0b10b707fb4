// The audio assembly's start, its event setters and the song protocol:
// which tune the replacement music plays, and how a tune that plays only
// once makes the game wait for it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/platform.h"
#include "machine/tos.h"
#include "machine/ym_capture.h"
#include "sound/amiga_player.h"
#include "sound/audio_assembly.h"
#include "sound/audio_state.h"
#include "sound/mixer.h"
#include "sound/music_entries.h"
#include "sound/ym_chip.h"

audio_assembly_state aud;
music_entry_table music_entries = [] {
  music_entry_table t{};
  amiga_music_entries(t);
  return t;
}();
int vf_on;
int song0;

namespace {

constexpr int output_rate = 44100;

const char* last_path_part(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

bool amiga_open_now() { return music_entries.amiga_ready && music_entries.amiga_ready(); }

// BKM_SONG=n, when n is a whole number.
bool song_from_environment(int* song) {
  const char* text = std::getenv("BKM_SONG");
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  if (*end != '\0' || errno != 0 || n < -1 || n > 0xFFFF) return false;
  *song = static_cast<int>(n);
  return true;
}

void load_chip_from_machine() {
  u8 regs[16];
  ym_get_regs(regs, nullptr);
  ym_set_state(aud.chip, regs);
}

} // namespace

int music_loops(int song) { return !(song == 2 || song == 3 || song == 4 || song == 6 || song == 7); }

void audio_song_switch(int song) {
  aud.pb_song = song;
  aud.pend_song = -2;
  aud.am_restart = 1;
  aud.pb_elapsed = 0;
  aud.pb_done = 0;
  aud.looper = 0;
  vf_on = 0;
  aud.skip_total = 0;
  aud.skip_fade = 0;
}

int pb_hold_value() {
  if (!aud.mp3_on || !aud.audio_on || aud.pb_song < 0 || music_loops(aud.pb_song)) return -1;
  int frames = 0;
  const bool playing = aud.am_on || (music_entries.get && music_entries.get(aud.loader, aud.pb_song, &frames)) ||
                       (music_entries.pending && music_entries.pending(aud.loader, aud.pb_song));
  if (!playing) return -1;
  return aud.pb_done ? 0 : 0xFF;
}

int pb_once() { return pb_hold_value() == 0xFF ? 1 : 0; }

int audio_pb_song() { return aud.pb_song; }

void am_select(const char* path) {
  const char* name = last_path_part(path ? path : "");
  aud.am_on = 0;
  if (std::strcmp(name, "@amiga") == 0) {
    char file[1024] = {};
    if (amiga_open_now() ||
        (music_entries.amiga_find && music_entries.amiga_open &&
         music_entries.amiga_find(aud.game_dir, file, sizeof file) && music_entries.amiga_open(file, output_rate)))
      aud.am_on = 1;
    else
      host_log("Amiga music: no usable disk file found in %s", aud.game_dir);
  } else if (amiga_open_now() && music_entries.amiga_play) {
    music_entries.amiga_play(-1);
  }
  aud.am_restart = 1;
}

void audio_start(const audio_config& config) {
  audio_shutdown();
  aud = audio_assembly_state{};
  vf_on = 0;
  song0 = 0;
  std::snprintf(aud.game_dir, sizeof aud.game_dir, "%s", config.game_dir ? config.game_dir : "");
  aud.output = config.output;
  if (music_entries.loader_new) aud.loader = music_entries.loader_new(config.music_dir ? config.music_dir : "");
  am_select(config.music_dir);
  aud.chip = ym_new(output_rate);
  load_chip_from_machine();
  aud.audio_on = config.audio_on;
  aud.sfx_multi = config.sfx_multi;
  aud.sfx_pan = config.sfx_pan;
  aud.mp3_on = config.mp3_on;
  aud.vol = config.vol;
  mixer_options(aud.sfx_multi, aud.sfx_pan);
  if (aud.mp3_on && music_entries.prefetch) music_entries.prefetch(aud.loader);
  register_sound_hooks();
  int song;
  if (song_from_environment(&song)) {
    tos.song = song;
    audio_song_switch(song);
  }
}

void audio_shutdown() {
  if (aud.dump) std::fclose(aud.dump);
  aud.dump = nullptr;
  ym_free(aud.chip);
  aud.chip = nullptr;
}

void audio_set_on(int on) { aud.audio_on = on != 0; }
void audio_set_volume(double vol) { aud.vol = vol; }

void audio_set_sfx_multi(int on) {
  aud.sfx_multi = on;
  mixer_options(aud.sfx_multi, aud.sfx_pan);
}

void audio_set_sfx_pan(int on) {
  aud.sfx_pan = on;
  mixer_options(aud.sfx_multi, aud.sfx_pan);
}

void audio_set_mp3(int on) {
  aud.mp3_on = on;
  if (!on) return;
  if (music_entries.prefetch) music_entries.prefetch(aud.loader);
  aud.mp3_sync = 1;
  aud.am_restart = 1;
}

void audio_key_pressed() { aud.skip_key = 1; }

void audio_set_part_volume(int part, double volume) {
  switch (part) {
    case 0: aud.vol_mp3 = volume; break;
    case 1: aud.vol_ay = volume; break;
    case 2:
      if (aud.chip) ym_set_sample_gain(aud.chip, volume);
      mixer_set_gain(volume);
      break;
    case 3: aud.vol_fx = volume; break;
    default: break;
  }
}

void audio_set_music_dir(const char* folder) {
  if (music_entries.set_dir) music_entries.set_dir(aud.loader, folder);
  am_select(folder);
  aud.looper = 0;
  aud.mp3_sync = 1;
  if (aud.mp3_on && music_entries.prefetch) music_entries.prefetch(aud.loader);
}

void audio_after_load() {
  mixer_reset();
  mixer_drop_cache();
  ym_events_clear();
  if (aud.chip) load_chip_from_machine();
  audio_song_switch(tos.song);
}
