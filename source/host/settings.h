// The application's settings: where the program's folders are, how
// options.json becomes the running settings and is written back, and the
// settings derived from several (the lead, the game rate, the audio
// target). One-off overrides (command line, environment) change the
// settings in force but never the stored options. Main thread only.
#pragma once

#include <atomic>

#include "sound/music_pack.h"  // music_pack, the pack in force

// Paths.
extern char app_dir_path[600];
extern char defaults_path[700];
extern char music_root[700];
extern char options_path[700];
extern char legacy_options_path[700];
extern char save_dir[700];
// Written while the driver compiles an external shader (video_set_build_marker).
extern char shader_marker_path[700];
extern char assets_root[700];  // empty: no assets folder
extern char original_dir_path[700];
extern char game_data_dir[700];

// Settings in force.
extern int script_fix, sound_on, mp3_on, show_startup, multichannel_fx, fx_pan;
extern int match_refresh, low_latency_audio, gfx_pack_chosen;
// Read by the fast input thread every millisecond.
extern std::atomic<int> fast_input;
extern double master_volume, audio_trim_ms;
extern double part_volume[4];
extern double lead_with_interp, lead_without_interp, lead;
extern int monitor_hz;
// The audio output, null when sound is off.
struct audio_output;
extern audio_output* audio_out;

// Fills the paths; with BKM_USER_DIR creates it and its saves folder.
void set_paths();
// 1 when game data was found in original_dir_path.
int find_game_dir();
// Lists the music packs: the folders of songs under the music root, and
// "@amiga" when the game-data folder, where the player also plays it from,
// holds a usable Amiga disk file.
void scan_music_packs();
// A variable read as a finite decimal number, else the default.
double env_d(const char* name, double def);

// What the command line and the environment decided before the options
// are read.
struct start_overrides {
  int fix = -1;            // -1: the option decides
  int sound_off = 0;       // "--no-sound", "--mute", BKM_SONIDO=0
  int volume_given = 0;    // "--volume" or BKM_VOL
  double volume = 1.0;
  char pack[64] = {};      // "--pack" or BKM_GRAFICO
};
// Reads the command line, then the environment, into o (later wins).
void read_overrides(int argc, char** argv, start_overrides* o);

// Reads options.json (else opciones.json, else default.json) and applies
// it; the one-off overrides go into the settings in force only.
void load_options(const start_overrides& o);
// No audio device could be opened: the sound is off for this run, and the
// stored choice stays for the next, which may have a device again.
void sound_unavailable();
// Writes every setting back, stored values where an override is still in
// force; nothing under BKM_TEST. 1 when written (or nothing to do).
int save_options();
double aud_target_ms();
double game_rate();
// The lead in force from the interpolation choice; posts EV_LEAD and
// EV_GAME_RATE.
void apply_lead();
// Display refresh to monitor_hz and the default output scale.
void refresh_to_rate(int refresh_hz, int* hz, int* scale);
