// brakmoor: the process entry. Settles paths, overrides and options, finds
// the game data, runs the tool modes, opens the window, walks the loading
// screen, starts the emulation thread and then shows one picture per
// display refresh until the user quits or the emulation stops.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "graphics/dump.h"
#include "graphics/gfxpack.h"
#include "graphics/modpack.h"
#include "graphics/present.h"
#include "graphics/scene.h"
#include "host/emu_control.h"
#include "host/frame_pacing.h"
#include "host/language.h"
#include "host/options.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/user_files.h"
#include "host/window/app_state.h"
#include "host/window/devtest.h"
#include "host/window/fast_input.h"
#include "host/window/input_frame.h"
#include "host/window/menu_layer.h"
#include "host/window/menu_options.h"
#include "host/window/startup_screen.h"
#include "host/window/video.h"
#include "host/window/video_settings.h"
#include "machine/boot_state.h"
#include "machine/game_data.h"
#include "machine/loader_hold.h"
#include "sound/audio_output.h"
#include "sound/music_loader.h"
#include "sound/music_pack.h"

int render_scale = 3;
extern const char bkm_version[];  // written at build time

namespace {

constexpr int audio_rate = 44100;
constexpr const char* app_title = "Brakmoor";

int abort_start() {
  if (audio_out) audio_close(audio_out);
  audio_out = nullptr;
  video_close();
  return 0;
}

int tool_modes(bool have_data) {
  const char* boot_out = std::getenv("BKM_BOOT_OUT");
  const char* dump_out = std::getenv("BKM_DUMP_OUT");
  if (!(boot_out && *boot_out) && !(dump_out && *dump_out)) return -1;
  if (!have_data) return 1;  // its reason is logged at the start
  if (boot_out && *boot_out) {
    state_ptr state(boot_state_make(original_dir_path));
    const bool ok = state && state_write_file(state.get(), boot_out);
    host_log("start-up state: %s", ok ? "written" : "FAILED");
    return ok ? 0 : 1;
  }
  const double start = now_s();
  if (!dump_begin(original_dir_path, dump_out)) return 1;
  int ok = 0;
  while (!dump_finished(&ok)) sleep_ms(100);
  host_log("graphics dump: %s in %.1f s", ok ? "ok" : "FAILED", now_s() - start);
  return ok ? 0 : 1;
}

// On the first run, the game's graphics are dumped into assets/original
// while the loading screen shows the dump's progress. A dump needs an
// assets folder: an empty one names none.
void first_run_dump() {
  char index[760];
  std::snprintf(index, sizeof index, "%s/original/index.json", assets_root);
  if (std::getenv("BKM_STATE") || std::getenv("BKM_NODUMP") || !assets_root[0] || file_exists(index)) return;
  char out[720];
  std::snprintf(out, sizeof out, "%s/original", assets_root);
  video_title("Brakmoor - preparing the graphics (first run, a few seconds)...");
  startup_line(2, tr("startup.l.graphics"), tr("startup.d.dump"), 1);
  const double start = now_s();
  int ok = 0;
  if (dump_begin(original_dir_path, out)) {
    while (!dump_finished(&ok)) {
      if (startup_active()) {
        char status[200];
        dump_status(status, sizeof status);
        const double t = now_s() - start;
        startup_progress(status[0] ? status : tr("startup.d.dump"), 0.18 + 0.42 * (1 - std::exp(-t / 6)));
      } else {
        video_event event;
        while (video_poll(&event)) {
        }
      }
      sleep_ms(30);
    }
  }
  host_log("graphics dump: %s", ok ? "ready" : "FAILED (graphics packs will not be available)");
}

int scale_for_refresh() {
  int scale = 3;
  refresh_to_rate(video_refresh_hz(), &monitor_hz, &scale);
  if (const char* s = std::getenv("BKM_SCALE")) {
    const double v = std::strtod(s, nullptr);
    if (std::isfinite(v)) scale = static_cast<int>(std::clamp(v, -1.0, 100.0));
  }
  return std::clamp(scale, 1, 4);
}

bool open_video() {
  const int w = render_scale * 320, h = render_scale * 200;
  char shaders[700];
  std::snprintf(shaders, sizeof shaders, "%s/shaders", app_dir_path);
  if (video_open(w, h, w, h, "")) {
    video_close();
    if (video_open(w, h, w, h, shaders)) return true;
  }
  const char* err = video_take_error();
  port_alert(app_title, err && *err ? err : "Could not open the video output.");
  return false;
}

bool stage(const char* id, double fraction) { return startup_progress(tr(id), fraction) != 0; }

const char* music_row_value() {
  if (!mp3_on) return tr("val.music_atari");
  if (std::strcmp(music_pack, "@amiga") == 0) return tr("val.music_amiga");
  if (!music_pack[0]) return tr("val.musicfolder");
  return music_pack;
}

void open_audio() {
  if (sound_on || cfg_bool("sound", 1)) {
    audio_out = audio_open(audio_rate, (1 + lead) * 20 + 30);
    if (audio_out && low_latency_audio && !audio_set_lowlat(audio_out, 1)) low_latency_audio = 0;
    if (audio_out) audio_set_target(audio_out, aud_target_ms());
  }
  if (!audio_out && !std::getenv("BKM_FAKEAUDIO")) sound_unavailable();
}

void write_shot(const std::string& path) { video_screenshot(path.c_str()); }

void log_audio_stats() {
  if (!audio_out) return;
  int gaps = 0, trims = 0;
  u64 samples = 0;
  audio_stats(audio_out, &gaps, &trims, &samples);
  if (std::getenv("BKM_TEST")) {
    const double device = audio_device_ms(audio_out), buffer = audio_level_ms(audio_out);
    host_log("audio: %d gaps, %d drops, %ld samples; device %.0f ms + buffer %.0f ms (target %.0f ms) = %.0f ms "
             "delay; emulation margin %.1f VBL",
             gaps, trims, static_cast<long>(samples), device, buffer, aud_target_ms(), device + buffer, lead);
  } else if (gaps || trims) {
    host_log_file("audio: %d gaps, %d buffer trims in this session", gaps, trims);
  }
}

void show_error(const char* text) {
  host_log("Emulation ERROR: %s", text);
  video_title("Brakmoor - EMULATION ERROR (see error.log next to the program)");
  video_draw();
  sleep_ms(4000);
}

std::vector<uint8_t> frozen_frame;  // the game's last frame, shown while the menu is open

// The game's frame, or with the menu open the frozen frame under the menu
// picture, redrawn only when the menu's signature changes.
void show_frame(int menu_open, double target) {
  int x = 0, y = 0, w = 0, h = 0;
  if (!menu_open) {
    video_upload(present_frame(presenter, nullptr, target));
    std::vector<uint8_t>().swap(frozen_frame);
    if (overlay_on) {
      video_overlay(nullptr, 0, 0);
      overlay_on = 0;
      menu_drawn_sig[0] = 0;
    }
    return;
  }
  if (frozen_frame.empty()) {
    const uint8_t* frame = present_frame(presenter, nullptr, target);
    const size_t size = size_t(render_scale) * render_scale * 192000;
    frozen_frame.assign(size, 0);
    if (frame) std::memcpy(frozen_frame.data(), frame, size);
  }
  video_upload(frozen_frame.data());
  video_rect(&x, &y, &w, &h);
  char sig[menu_sig_size];
  menu_signature(menu_cur, w, h, sig, sizeof sig);
  if (!std::strcmp(sig, menu_drawn_sig)) return;
  std::memcpy(menu_drawn_sig, sig, sizeof sig);
  uint8_t* picture = menu_draw(menu_cur, w, h);
  if (!picture) return;
  video_overlay(picture, w, h);
  std::free(picture);
  overlay_on = 1;
}

} // namespace

int main(int argc, char** argv) {
  set_paths();
  log_start(bkm_version, original_dir_path);
  sweep_stale_tmp_files(save_dir, options_path, std::time(nullptr));
  start_overrides overrides;
  read_overrides(argc, argv, &overrides);
  const bool have_data = find_game_dir() != 0;
  if (!have_data) host_log("%s", game_data_error());
  char languages[760];
  std::snprintf(languages, sizeof languages, "%s/languages", game_data_dir);
  lang_init(languages);

  const int tool = tool_modes(have_data);
  if (tool >= 0) return tool;

  render_scale = scale_for_refresh();
  const bool test_mode = std::getenv("BKM_TEST") || std::getenv("BKM_SECONDS");
  load_options(overrides);
  if (!open_video()) return 1;
  apply_video_cfg();
  if (cfg_bool("fullscreen", test_mode ? 0 : 1)) {
    video_set_fullscreen(1);
    fullscreen = 1;
  }
  if (!have_data) {
    startup_missing_data(original_dir_path);
    video_close();
    return 1;
  }

  startup_begin();
  startup_line(0, tr("startup.l.data"), game_data_description(), 0);
  startup_amiga_line(original_dir_path);
  startup_line(2, tr("startup.l.graphics"), nullptr, 1);
  startup_line(3, tr("startup.l.pack"), nullptr, 1);
  startup_line(4, tr("startup.l.music"), music_row_value(), 0);

  if (!stage("startup.d.audio", 0.05)) return abort_start();
  open_audio();

  if (!stage("startup.d.video", 0.12)) return abort_start();
  presenter = present_new(render_scale);
  if (!presenter) {
    startup_end();
    port_alert(app_title, "Could not create the frame presenter.");
    return abort_start(), 1;
  }
  present_set_ahead(presenter, 36.0 / monitor_hz);

  if (!stage("startup.d.graphics", 0.18)) return abort_start();
  first_run_dump();
  if (*assets_root) modpack_make_if_missing(assets_root);
  startup_line(2, tr("startup.l.graphics"), tr("startup.ready"), 0);
  if (!stage("startup.d.packs", 0.62)) return abort_start();
  video_title(app_title);
  const int packs =
      gfxpack_init(assets_root, render_scale, overrides.pack[0] ? overrides.pack : cfg_str("graphics_pack", ""));
  gfxpack_attach();
  startup_line(3, tr("startup.l.pack"), gfxpack_name()[0] ? gfxpack_name() : tr("startup.original"), 0);
  if (!stage("startup.d.menu", 0.8)) return abort_start();
  menu_build(audio_out != nullptr, !video_is_software(), packs);
  {
    int x = 0, y = 0, w = 0, h = 0;
    video_rect(&x, &y, &w, &h);
    menu_warmup(menu_options, w, h);
  }
  if (!stage("startup.d.game", 0.95)) return abort_start();
  if (!startup_finish()) return abort_start();
  startup_end();

  g_load_seconds = std::clamp(cfg_num("loading_seconds", 3), 0.0, 30.0);
  if (!std::isfinite(g_load_seconds)) g_load_seconds = 3;
  if (std::getenv("BKM_TEST") && !std::getenv("BKM_LOAD_WAIT")) g_load_seconds = 0;

  emu_config config;
  config.data_dir = original_dir_path;
  config.state_file = std::getenv("BKM_STATE");
  char music_dir[800];
  pack_dir(music_root, music_pack, music_dir, sizeof music_dir);
  music_loader_install();
  config.music_dir = music_dir;
  config.save_dir = save_dir;
  config.audio = audio_out;
  config.lead = lead;
  config.fix = script_fix;
  config.god = std::getenv("BKM_GOD") != nullptr;
  config.money = std::getenv("BKM_MONEY") != nullptr;
  config.audio_on = sound_on;
  config.mp3_on = mp3_on;
  config.sfx_multi = multichannel_fx;
  config.sfx_pan = fx_pan;
  config.volume = master_volume;
  config.start_time = now_s() + 0.5;
  god_mode = config.god;
  infinite_money = config.money;
  if (!emu_start(&config)) {
    port_alert(app_title, "Could not start the game from the supported data in original/.");
    present_free(presenter);
    abort_start();
    return 1;
  }
  emu_post(EV_GAME_RATE, game_rate(), 0);
  fast_input_start();
  for (int part = 0; part < 4; ++part) emu_post(EV_PART_VOLUME, part, part_volume[part]);
  emu_post(EV_MENU_HZ, monitor_hz, 0);

  // Options changed since the menu last closed (the lead keys, F11) are
  // kept should the display go away.
  video_on_display_lost([] { save_all_options(); });
  const double loop_start = now_s();
  const double shot_every = std::max(0.0, std::strtod(std::getenv("BKM_SHOT_EVERY") ? std::getenv("BKM_SHOT_EVERY") : "0", nullptr));
  double shot_clock = std::getenv("BKM_SHOT_FROM") ? std::strtod(std::getenv("BKM_SHOT_FROM"), nullptr) : shot_every;
  int frame_shots = 0;
  bool deadline_valid = false;
  double deadline = 0;
  double frame_end = now_s();
  frame_pacer pacer;
  long drawn = 0;
  int status = 0;
  bool error_shown = false;
  input_ready.store(1);

  while (app_running.load() && emu_running.load()) {
    const double t = now_s() - loop_start;
    const bool script_shot = devtest_frame(t, present_screen_kind(presenter));
    const double seconds = env_d("BKM_SECONDS", 0);
    if (seconds > 0 && t > seconds) {
      const char* shot = std::getenv("BKM_SHOT");
      // The shot is taken at the next draw, so one more frame is drawn.
      if (shot && *shot && !std::getenv("BKM_SHOTS")) {
        write_shot(shot);
        video_draw();
      }
      break;
    }
    const int menu_open = input_frame(now_s());
    if (!menu_open) {
      emu_post(EV_TICK, 0, 0);
      present_drain(presenter);
      if (std::strcmp(present_screen_kind(presenter), "map") == 0) present_wait_menu(presenter, 0.006);
    } else {
      present_drain(presenter);
    }
    if (!deadline_valid) {
      deadline = now_s() + 1.0 / monitor_hz;
      deadline_valid = true;
    }
    char toast[256];
    if (present_take_text(presenter, toast, sizeof toast, nullptr) && toast[0]) {
      menu_status(menu_cur, toast);
      menu_drawn_sig[0] = 0;
    }
    show_frame(menu_open, deadline + 0.5 / monitor_hz);

    // A frame the menu script has its shot of is left to it.
    if (const char* folder = std::getenv("BKM_SHOTS"); folder && *folder && !script_shot) {
      char path[900];
      if (shot_every > 0) {
        if (t >= shot_clock) {
          std::snprintf(path, sizeof path, "%s/t%07d.png", folder, static_cast<int>(t * 1000));
          write_shot(path);
          shot_clock += shot_every;
        }
      } else if (t > env_d("BKM_SHOT_T", 8) && frame_shots < 40) {
        std::snprintf(path, sizeof path, "%s/f%02d.png", folder, frame_shots++);
        write_shot(path);
      }
    }

    const bool swapped = video_draw() != 0;
    ++drawn;
    if (const char* err = video_take_error()) host_log("%s", err);
    if (const char* err = present_error(presenter); err && *err) {
      show_error(err);
      error_shown = true;
      status = 1;
      break;
    }
    const double now = now_s();
    const double dt = now - frame_end;
    deadline = next_deadline(deadline, now, monitor_hz);
    pacer_frame(&pacer, dt, video_is_fullscreen(), monitor_hz);
    // A minimised window does not swap: sleep instead of spinning.
    if (pacer.vsync == 0 || !swapped) sleep_ms((frame_end + 1.0 / monitor_hz - now_s()) * 1000);
    frame_end = now_s();
    if (drawn % 120 == 0) {
      char title[160];
      std::snprintf(title, sizeof title, "Brakmoor - %.0f fps%s%s%s", dt > 0 ? 1.0 / dt : 1.0,
                    god_mode ? "  [GOD MODE]" : "", script_fix ? "  [FIX]" : "", infinite_money ? "  [MONEY]" : "");
      video_title(title);
    }
  }

  // The emulation thread stopped by itself: its error is still on the way.
  if (!error_shown && !emu_running.load() && app_running.load()) {
    present_drain(presenter);
    const char* err = present_error(presenter);
    show_error(err && *err ? err : "the emulation stopped");
    status = 1;
  }

  // However the loop ended, the fast input thread stops posting before the
  // emulation's queue goes away and before the window it reads closes.
  app_running.store(0);
  fast_input_stop();
  const bool joined = emu_join() != 0;
  // The atlas is the emulation thread's until the thread has stopped.
  if (joined && std::getenv("BKM_ATLAS")) scene_dump_atlas();
  present_drain(presenter);
  save_all_options();
  if (!joined) {
    // The thread still runs and may use the audio output, the queue and
    // whatever the exit-time clean-up (SDL's handlers, static destructors)
    // would tear down under it: the process ends here.
    port_exit_now(1);
  }
  log_audio_stats();
  if (audio_out) audio_close(audio_out);
  audio_out = nullptr;
  present_free(presenter);
  presenter = nullptr;
  video_close();
  return status;
}
