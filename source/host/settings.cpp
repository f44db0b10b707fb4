#include "host/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "graphics/gfxpack.h"
#include "graphics/present.h"
#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/options.h"
#include "host/platform.h"
#include "machine/game_data.h"
#include "sound/audio_output.h"
#include "sound/music_pack.h"

char app_dir_path[600];
char defaults_path[700];
char music_root[700];
char options_path[700];
char legacy_options_path[700];
char save_dir[700];
char shader_marker_path[700];
char assets_root[700];
char original_dir_path[700];
char game_data_dir[700];

int script_fix = 1, sound_on = 1, mp3_on = 1, show_startup = 1, multichannel_fx = 0, fx_pan = 0;
int match_refresh = 0, low_latency_audio = 0, gfx_pack_chosen = 0;
std::atomic<int> fast_input{0};
double master_volume = 1.0, audio_trim_ms = 0;
double part_volume[4] = {1, 1, 1, 1};
double lead_with_interp = 3.6, lead_without_interp = 0.5, lead = 3.6;
int monitor_hz = 60;
audio_output* audio_out = nullptr;

namespace {

// A setting an override changed: the file's value, and the value the
// override put in force. Saving writes the stored value back unless the
// user has since changed the setting.
struct kept_num {
  bool overridden = false;
  double stored = 0;
  double forced = 0;
};
kept_num kept_fix, kept_sound, kept_volume, kept_lead, kept_interp, kept_sfix, kept_speed, kept_fastin;

void keep(kept_num& k, double stored, double forced) {
  k.overridden = true;
  k.stored = stored;
  k.forced = forced;
}

double to_save(const kept_num& k, double current) {
  return k.overridden && current == k.forced ? k.stored : current;
}

const char* env_set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

void folder_path(char* out, size_t size, const char* dir, const char* name) {
  std::snprintf(out, size, "%s/%s", dir, name);
}

const char* pick_options_file() {
  if (file_exists(options_path)) return options_path;
  if (file_exists(legacy_options_path)) return legacy_options_path;
  return defaults_path;
}

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

constexpr const char* part_keys[4] = {"volume_mp3", "volume_chip_music", "volume_samples", "volume_chip_fx"};

struct flag_key {
  const char* key;
  int index;
};
constexpr flag_key pflag_keys[] = {
    {"subpixel_smoothing", PF_SUBPIXEL}, {"scroll_fix", PF_SCROLL_FIX}, {"frame_interpolation", PF_INTERPOLATION},
    {"extrapolate", PF_EXTRAPOLATE},     {"filter_x", PF_FILTER_X},     {"filter_y", PF_FILTER_Y},
    {"residual_layer", PF_RESIDUAL},
};

} // namespace

double env_d(const char* name, double def) {
  const char* v = std::getenv(name);
  if (!v) return def;
  char* end = nullptr;
  const double d = std::strtod(v, &end);
  if (end == v || !std::isfinite(d)) return def;
  return d;
}

void set_paths() {
  std::snprintf(app_dir_path, sizeof app_dir_path, "%s", app_dir());
  folder_path(defaults_path, sizeof defaults_path, app_dir_path, "default.json");
  if (const char* m = env_set("BKM_MUSIC_DIR"))
    std::snprintf(music_root, sizeof music_root, "%s", m);
  else
    folder_path(music_root, sizeof music_root, app_dir_path, "music");
  const char* user = env_set("BKM_USER_DIR");
  const char* base = user ? user : app_dir_path;
  folder_path(options_path, sizeof options_path, base, "options.json");
  folder_path(legacy_options_path, sizeof legacy_options_path, base, "opciones.json");
  folder_path(save_dir, sizeof save_dir, base, "saves");
  folder_path(shader_marker_path, sizeof shader_marker_path, base, "shader_building.txt");
  if (user) {
    if (!port_mkdir(user)) host_log("Could not create user data folder: %s", user);
    if (!port_mkdir(save_dir)) host_log("Could not create save folder: %s", save_dir);
  }
  // An empty BKM_ASSETS_DIR means no assets folder at all, never "/".
  if (const char* a = std::getenv("BKM_ASSETS_DIR"))
    std::snprintf(assets_root, sizeof assets_root, "%s", a);
  else
    folder_path(assets_root, sizeof assets_root, app_dir_path, "assets");
  if (const char* o = env_set("BKM_ORIGINAL_DIR"))
    std::snprintf(original_dir_path, sizeof original_dir_path, "%s", o);
  else
    folder_path(original_dir_path, sizeof original_dir_path, app_dir_path, "original");
  folder_path(game_data_dir, sizeof game_data_dir, app_dir_path, "data");
}

int find_game_dir() { return game_data_init(original_dir_path); }

void scan_music_packs() { scan_packs(music_root, original_dir_path); }

void read_overrides(int argc, char** argv, start_overrides* o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--original") || !std::strcmp(a, "--no-fix")) {
      o->fix = 0;
    } else if (!std::strcmp(a, "--fix")) {
      o->fix = 1;
    } else if (!std::strcmp(a, "--no-sound") || !std::strcmp(a, "--mute")) {
      o->sound_off = 1;
    } else if (!std::strcmp(a, "--volume") && i + 1 < argc) {
      char* end = nullptr;
      const double v = std::strtod(argv[++i], &end);
      if (end != argv[i] && std::isfinite(v)) {
        o->volume = clamp01(v);
        o->volume_given = 1;
      }
    } else if (!std::strcmp(a, "--pack") && i + 1 < argc) {
      std::snprintf(o->pack, sizeof o->pack, "%s", argv[++i]);
    }
  }
  const char* fix = std::getenv("BKM_FIX");
  if (fix && fix[0] == '0') o->fix = 0;
  const char* sound = std::getenv("BKM_SONIDO");
  if (sound && sound[0] == '0') o->sound_off = 1;
  const double v = env_d("BKM_VOL", NAN);
  if (std::isfinite(v)) {
    o->volume = clamp01(v);
    o->volume_given = 1;
  }
  if (const char* p = std::getenv("BKM_GRAFICO")) std::snprintf(o->pack, sizeof o->pack, "%s", p);
}

void load_options(const start_overrides& o) {
  kept_fix = kept_sound = kept_volume = kept_lead = kept_interp = kept_sfix = kept_speed = kept_fastin = {};
  const char* file = pick_options_file();
  cfg_load(file);
  lang_set(cfg_str("language", "en"));
  input_cfg_load();
  // Files before version 2 stored these choices with other meanings.
  if (cfg_num("version", 1) < 2) {
    std::string dropped;
    for (const char* key : {"preset", "external", "filter", "aspect", "fullscreen"}) {
      if (cfg_has(key)) dropped += (dropped.empty() ? "" : ", ") + std::string(key);
      cfg_remove(key);
    }
    if (!dropped.empty())
      host_log("Options file %s is older than version 2; left out: %s", file, dropped.c_str());
  }
  const int stored_sound = cfg_bool("sound", 1);
  sound_on = stored_sound && !o.sound_off;
  if (o.sound_off) keep(kept_sound, stored_sound, 0);

  const double stored_volume = clamp01(cfg_num("volume", 1));
  master_volume = o.volume_given ? o.volume : stored_volume;
  if (o.volume_given) keep(kept_volume, stored_volume, master_volume);

  for (int i = 0; i < 4; ++i) part_volume[i] = clamp01(cfg_num(part_keys[i], 1));
  mp3_on = cfg_bool("mp3_music", 1);
  show_startup = cfg_bool("startup_screen", 1);
  multichannel_fx = cfg_bool("multichannel_sfx", 0);
  fx_pan = cfg_bool("stereo_pan", 0);
  for (const flag_key& f : pflag_keys) pflags[f.index] = cfg_bool(f.key, 1);
  if (std::getenv("BKM_NOSFIX")) {
    keep(kept_sfix, pflags[PF_SCROLL_FIX], 0);
    pflags[PF_SCROLL_FIX] = 0;
  }
  if (std::getenv("BKM_NOINTERP")) {
    keep(kept_interp, pflags[PF_INTERPOLATION], 0);
    pflags[PF_INTERPOLATION] = 0;
  }
  match_refresh = cfg_bool("game_speed_match", 0);
  if (std::getenv("BKM_SPEEDMATCH")) {
    keep(kept_speed, match_refresh, 1);
    match_refresh = 1;
  }
  const int stored_fix = cfg_bool("enemy_script_fix", 1);
  script_fix = o.fix >= 0 ? o.fix : stored_fix;
  if (o.fix >= 0) keep(kept_fix, stored_fix, script_fix);

  if (cfg_has("latency")) lead_with_interp = std::clamp(cfg_num("latency", 3.6), 0.5, 6.0);
  if (!std::isfinite(lead_with_interp)) lead_with_interp = 3.6;
  lead_without_interp = std::clamp(cfg_num("latency_nointerp", 0.5), 0.0, 6.0);
  if (!std::isfinite(lead_without_interp)) lead_without_interp = 0.5;
  if (std::getenv("BKM_LEAD")) {
    const double v = env_d("BKM_LEAD", lead_with_interp);
    keep(kept_lead, lead_with_interp, std::clamp(v, 0.5, 6.0));
    lead_with_interp = kept_lead.forced;
  }
  lead = pflags[PF_INTERPOLATION] ? lead_with_interp : lead_without_interp;

  fast_input = cfg_bool("fast_input", 0);
  if (const char* f = std::getenv("BKM_FASTIN")) {
    keep(kept_fastin, fast_input, f[0] != '0');
    fast_input = f[0] != '0';
  }
  low_latency_audio = cfg_bool("low_latency_audio", 0);
  audio_trim_ms = cfg_num("audio_sync_trim_ms", 0);
  if (!std::isfinite(audio_trim_ms)) audio_trim_ms = 0;
  scan_music_packs();
  pack_resolve(cfg_str("music_pack", "arrange"));
}

void sound_unavailable() {
  if (!kept_sound.overridden) keep(kept_sound, cfg_bool("sound", 1), 0);
  sound_on = 0;
}

int save_options() {
  if (std::getenv("BKM_TEST")) return 1;
  cfg_set_num("version", 3);
  cfg_set_str("language", lang_current());
  cfg_set_bool("sound", static_cast<int>(to_save(kept_sound, sound_on)));
  cfg_set_num("volume", to_save(kept_volume, master_volume));
  for (int i = 0; i < 4; ++i) cfg_set_num(part_keys[i], part_volume[i]);
  cfg_set_bool("mp3_music", mp3_on);
  cfg_set_bool("startup_screen", show_startup);
  cfg_set_bool("multichannel_sfx", multichannel_fx);
  cfg_set_bool("stereo_pan", fx_pan);
  for (const flag_key& f : pflag_keys) {
    double v = pflags[f.index];
    if (f.index == PF_SCROLL_FIX) v = to_save(kept_sfix, v);
    if (f.index == PF_INTERPOLATION) v = to_save(kept_interp, v);
    cfg_set_bool(f.key, v != 0);
  }
  cfg_set_bool("game_speed_match", static_cast<int>(to_save(kept_speed, match_refresh)));
  cfg_set_bool("enemy_script_fix", static_cast<int>(to_save(kept_fix, script_fix)));
  cfg_set_num("latency", to_save(kept_lead, lead_with_interp));
  cfg_set_num("latency_nointerp", lead_without_interp);
  cfg_set_bool("fast_input", static_cast<int>(to_save(kept_fastin, fast_input)));
  cfg_set_bool("low_latency_audio", low_latency_audio);
  cfg_set_num("audio_sync_trim_ms", audio_trim_ms);
  cfg_set_str("music_pack", music_pack);
  if (gfx_pack_chosen) cfg_set_str("graphics_pack", gfxpack_name());
  input_cfg_save();
  if (!cfg_save(options_path)) {
    host_log("Could not save the options to %s", options_path);
    return 0;
  }
  return 1;
}

double aud_target_ms() {
  if (low_latency_audio && audio_out)
    return std::max(30.0, 25 + lead * 20 - audio_device_ms(audio_out) + audio_trim_ms);
  return std::max(30.0, (lead + 1) * 20 + 30 + audio_trim_ms);
}

double game_rate() {
  if (pflags[PF_INTERPOLATION] || !match_refresh) return 50;
  const int n = std::max(1, static_cast<int>(std::floor(monitor_hz / 50.0 + 0.5)));
  return static_cast<double>(monitor_hz) / n;
}

void apply_lead() {
  lead = pflags[PF_INTERPOLATION] ? lead_with_interp : lead_without_interp;
  emu_post(EV_LEAD, lead, 0);
  emu_post(EV_GAME_RATE, game_rate(), 0);
  if (audio_out) audio_set_target(audio_out, aud_target_ms());
}

void refresh_to_rate(int refresh_hz, int* hz, int* scale) {
  if (refresh_hz < 50) {
    *hz = 50;
    *scale = 3;
  } else if (refresh_hz <= 165) {
    *hz = refresh_hz;
    *scale = refresh_hz <= 75 ? 3 : 2;
  } else {
    *hz = 165;
    *scale = 2;
  }
}
