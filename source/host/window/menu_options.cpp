// The options menu: one item per user setting, each reading and writing
// the live setting; where the emulation must learn of a change the setter
// posts its event. The settings reach options.json when the menu closes.
#include "graphics/gfxpack.h"
#include "graphics/present.h"
#include "host/emu_events.h"
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/platform.h"
#include "host/settings.h"
#include "host/window/app_state.h"
#include "host/window/menu_layer.h"
#include "host/window/menu_options.h"
#include "host/options.h"
#include "host/window/video.h"
#include "host/window/video_settings.h"
#include "host/emu_control.h"
#include "sound/audio_output.h"
#include "sound/music_pack.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>

int menu_slot = 1;

namespace {

char slot_labels[3][64];

constexpr const char* presets[] = {"None", "Scanlines", "Soft CRT", "Full CRT"};
char shader_names[80][80];
int shader_count = 0;

// The presets, "Custom" while it is in force, then the external shaders.
void build_shader_list() {
  shader_count = 0;
  for (const char* p : presets) std::snprintf(shader_names[shader_count++], 80, "%s", p);
  if (!std::strcmp(vcfg.preset, "Custom")) std::snprintf(shader_names[shader_count++], 80, "Custom");
  for (int i = 0; i < video_external_count() && shader_count < 78; ++i)
    std::snprintf(shader_names[shader_count++], 80, "External: %s", video_external_name(i));
}

bool is_external(int i) { return !std::strncmp(shader_names[i], "External: ", 10); }

const char* music_pack_text(int i) {
  static char texts[2][96];
  static int next = 0;
  char* out = texts[next];
  next ^= 1;
  const char* name = pack_name(i);
  if (i < 0 || i >= pack_count())
    out[0] = 0;
  else if (!name[0])
    std::snprintf(out, 96, "%s", tr("val.musicfolder"));
  else if (!std::strcmp(name, "@atari"))
    std::snprintf(out, 96, "%s", tr("val.music_atari"));
  else if (!std::strcmp(name, "@amiga"))
    std::snprintf(out, 96, "%s", tr("val.music_amiga"));
  else {
    std::snprintf(out, 96, "%s", name);
    if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  }
  return out;
}

int music_pack_get() { return std::max(pack_find(mp3_on ? music_pack : "@atari"), 0); }

// Passes the chosen pack's folder to the emulation as its music folder.
void send_music_dir() {
  char folder[800];
  pack_dir(music_root, music_pack, folder, sizeof folder);
  emu_set_music_dir(folder);
}

void music_pack_set(int i) {
  if (i < 0 || i >= pack_count()) return;
  const char* name = pack_name(i);
  if (!std::strcmp(name, "@atari")) {
    mp3_on = 0;
    emu_post(EV_MP3, 0, 0);
  } else {
    mp3_on = 1;
    emu_post(EV_MP3, 1, 0);
    std::snprintf(music_pack, sizeof music_pack, "%.79s", name);
    send_music_dir();
  }
  char text[200];
  trf(text, sizeof text, "msg.music_pack", music_pack_text(i));
  menu_status(menu_cur, text);
  menu_drawn_sig[0] = 0;
}

const char* slot_label(int i) {
  int n = i + 1;
  char path[800];
  std::snprintf(path, sizeof path, "%s/slot%d.bkms", save_dir, n);
  struct stat st {};
  struct tm local {};
  if (stat(path, &st) == 0 && localtime_r(&st.st_mtime, &local)) {
    trf(slot_labels[i], 64, "val.slot.date", n, local.tm_mday, local.tm_mon + 1, local.tm_hour,
        local.tm_min);
  } else {
    trf(slot_labels[i], 64, "val.slot.empty", n);
  }
  return slot_labels[i];
}

void custom_param(float* param, double v) {
  *param = float(v);
  std::snprintf(vcfg.preset, sizeof vcfg.preset, "Custom");
  video_use_external("");
}

int shaders_enabled() { return vcfg.external[0] == 0; }

void set_fullscreen(int on) {
  video_set_fullscreen(on);
  // A switch that failed keeps the old state; the saved option follows it.
  fullscreen = video_is_fullscreen();
}

// Low latency is asked of the audio output, which may refuse it; without a
// device the switch stays off.
void set_low_latency(int on) {
  low_latency_audio = on;
  if (!audio_out || !audio_set_lowlat(audio_out, on)) low_latency_audio = 0;
  if (audio_out) audio_set_target(audio_out, aud_target_ms());
}

void set_trim(double ms) {
  audio_trim_ms = ms;
  if (audio_out) audio_set_target(audio_out, aud_target_ms());
}

// Entry 0 is the game's own graphics, entry i the pack i - 1 of the list.
int graphics_pack_entry() {
  if (!std::strcmp(gfxpack_name(), "original")) return 0;
  for (int i = 0; i < gfxpack_list_count(); ++i)
    if (!std::strcmp(gfxpack_list_name(i), gfxpack_name())) return i + 1;
  return 0;
}

void choose_graphics_pack(int entry) {
  if (entry < 0 || entry > gfxpack_list_count()) return;
  gfxpack_select(entry == 0 ? "original" : gfxpack_list_name(entry - 1));
  gfx_pack_chosen = 1;
  if (presenter) present_pack_changed(presenter);
  char text[200];
  if (entry == 0)
    std::snprintf(text, sizeof text, "%s", tr("msg.pack_original"));
  else
    trf(text, sizeof text, "msg.pack_replaced", gfxpack_name(), gfxpack_replaced());
  menu_status(menu_options, text);
  menu_drawn_sig[0] = 0;
}

// The stored pack by name, case aside; the game's own graphics otherwise.
void restore_graphics_pack() {
  const char* stored = cfg_str("graphics_pack", "");
  int entry = 0;
  for (int i = 0; i < gfxpack_list_count() && !entry; ++i)
    if (!strcasecmp(gfxpack_list_name(i), stored)) entry = i + 1;
  choose_graphics_pack(entry);
}

double clamped(const char* key, double def, double lo, double hi) {
  const double v = cfg_num(key, def);
  return std::isfinite(v) ? std::clamp(v, lo, hi) : def;
}

constexpr struct {
  const char* key;
  int flag;
} restored_flags[] = {{"subpixel_smoothing", PF_SUBPIXEL}, {"scroll_fix", PF_SCROLL_FIX},
                      {"extrapolate", PF_EXTRAPOLATE},     {"filter_x", PF_FILTER_X},
                      {"filter_y", PF_FILTER_Y},           {"residual_layer", PF_RESIDUAL}};

void add(const menu_item& item) { menu_add(menu_cur, item); }

// Hint ids are the label ids without their indent, with ".hint". Kept
// once each for the program's life (the menus hold pointers to them).
const char* hint_of(const char* label) {
  static std::set<std::string> hints;
  while (*label == ' ') ++label;
  return hints.insert(std::string(label) + ".hint").first->c_str();
}

menu_item with_hint(menu_item item) {
  item.hint = hint_of(item.label);
  return item;
}

void build_options(int audio, int video, int packs) {
  menu_options = menu_new("title.options");
  menu_cur = menu_options;

  add(with_hint(mi_tab("tab.game", nullptr)));
  add(with_hint(mi_action("menu.back_to_the_mission_map", nullptr, [] {
    emu_post(EV_BACK_TO_MAP, 0, 0);
    close_menu();
  })));
  add(with_hint(mi_choice(
      "menu.save_slot", nullptr, [] { return 3; }, slot_label, [] { return menu_slot - 1; },
      [](int i) { menu_slot = i + 1; })));
  add(with_hint(mi_action("menu.save_game", nullptr,
                          [] { emu_post(EV_SAVE_SLOT, menu_slot, 0); })));
  add(with_hint(mi_action("menu.load_game", nullptr, [] {
    char path[800];
    std::snprintf(path, sizeof path, "%s/slot%d.bkms", save_dir, menu_slot);
    if (file_exists(path)) {
      emu_post(EV_LOAD_SLOT, menu_slot, 0);
      close_menu();
      return;
    }
    char text[200];
    trf(text, sizeof text, "msg.slot_empty", menu_slot);
    menu_status(menu_options, text);
  })));
  add(with_hint(mi_action("menu.restart_game_1_or_2_players", nullptr, [] {
    emu_post(EV_RESTART, 0, 0);
    close_menu();
  })));
  // The switches show what is in force, also when it was switched on at
  // start (BKM_GOD, BKM_MONEY) or by a test script.
  add(with_hint(mi_bool("menu.invulnerability_testing", nullptr, [] { return god_mode; },
                        [](int v) {
                          god_mode = v;
                          emu_post(EV_GOD, v, 0);
                        })));
  add(with_hint(mi_bool("menu.infinite_money_testing", nullptr, [] { return infinite_money; },
                        [](int v) {
                          infinite_money = v;
                          emu_post(EV_MONEY, v, 0);
                        })));

  if (audio) {
    add(with_hint(mi_tab("tab.sound", nullptr)));
    add(with_hint(mi_bool("menu.sound", nullptr, [] { return sound_on; }, [](int v) {
      sound_on = v;
      emu_post(EV_AUDIO, v, 0);
    })));
    add(with_hint(mi_slider("menu.volume", nullptr, 0, 1, 0.1, nullptr,
                            [] { return master_volume; }, [](double v) {
                              master_volume = v;
                              emu_post(EV_VOLUME, v, 0);
                            })));
    static const char* const parts[4] = {"  menu.music_mp3", "  menu.music_ym2149f",
                                         "  menu.sampled_fx", "  menu.fx_ym2149f"};
    static double (*const part_get[4])() = {
        [] { return part_volume[0]; }, [] { return part_volume[1]; },
        [] { return part_volume[2]; }, [] { return part_volume[3]; }};
    static void (*const part_set[4])(double) = {
        [](double v) { part_volume[0] = v; emu_post(EV_PART_VOLUME, 0, v); },
        [](double v) { part_volume[1] = v; emu_post(EV_PART_VOLUME, 1, v); },
        [](double v) { part_volume[2] = v; emu_post(EV_PART_VOLUME, 2, v); },
        [](double v) { part_volume[3] = v; emu_post(EV_PART_VOLUME, 3, v); }};
    for (int i = 0; i < 4; ++i)
      add(with_hint(mi_slider(parts[i], nullptr, 0, 1, 0.1, nullptr, part_get[i], part_set[i])));
    add(with_hint(mi_bool("menu.multichannel_fx", nullptr, [] { return multichannel_fx; },
                          [](int v) {
                            multichannel_fx = v;
                            emu_post(EV_SFX_MULTI, v, 0);
                          })));
    add(with_hint(mi_bool("menu.fx_stereo_panning", nullptr, [] { return fx_pan; }, [](int v) {
      fx_pan = v;
      emu_post(EV_SFX_PAN, v, 0);
    })));
    add(with_hint(mi_choice("menu.music_pack", nullptr, pack_count, music_pack_text, music_pack_get,
                            music_pack_set)));
  }

  add(with_hint(mi_tab("tab.video", nullptr)));
  add(with_hint(mi_bool("menu.fullscreen_f11", nullptr, video_is_fullscreen, set_fullscreen)));
  if (video) {
    static const char* aspect_ids[] = {"val.aspect.0", "val.aspect.1", "val.aspect.2",
                                       "val.aspect.3"};
    static const char* aspect_hints[] = {"valhint.aspect.0", "valhint.aspect.1",
                                         "valhint.aspect.2", "valhint.aspect.3"};
    add(with_hint(mi_choice(
        "menu.aspect_ratio", nullptr, [] { return 4; }, [](int i) { return aspect_ids[i & 3]; },
        [] { return vcfg.aspect; }, [](int i) { vcfg.aspect = i; })));
    menu_last_valhint(menu_cur, [](int i) { return aspect_hints[i & 3]; });
    static const char* source_ids[] = {"val.source.0", "val.source.1", "val.source.2"};
    static const char* source_hints[] = {"valhint.source.0", "valhint.source.1",
                                         "valhint.source.2"};
    add(with_hint(mi_choice(
        "menu.shader_source", nullptr, [] { return 3; },
        [](int i) { return source_ids[i % 3]; }, [] { return vcfg.source; },
        [](int i) { vcfg.source = i; })));
    menu_last_valhint(menu_cur, [](int i) { return source_hints[i % 3]; });
    static const char* filter_ids[] = {"val.filter.0", "val.filter.1", "val.filter.2"};
    static const char* filter_hints[] = {"valhint.filter.0", "valhint.filter.1",
                                         "valhint.filter.2"};
    add(with_hint(mi_choice(
        "menu.scaling_filter", nullptr, [] { return 3; },
        [](int i) { return filter_ids[i % 3]; }, [] { return vcfg.filter; },
        [](int i) { vcfg.filter = i; })));
    menu_last_valhint(menu_cur, [](int i) { return filter_hints[i % 3]; });
    add(with_hint(mi_choice(
        "menu.shader_crt_effect", nullptr,
        [] {
          build_shader_list();
          return shader_count;
        },
        [](int i) -> const char* {
          static char texts[2][120];
          static int next = 0;
          build_shader_list();
          char* out = texts[next];
          next ^= 1;
          out[0] = 0;
          if (i < 0 || i >= shader_count) return out;
          if (is_external(i)) {
            trf(out, 120, "val.external", shader_names[i] + 10);
          } else {
            char id[120];
            std::snprintf(id, sizeof id, "val.preset.%s", shader_names[i]);
            std::snprintf(out, 120, "%s", tr(id));
          }
          return out;
        },
        [] {
          build_shader_list();
          char want[80];
          if (vcfg.external[0]) {
            std::snprintf(want, sizeof want, "External: %s", vcfg.external);
          } else {
            std::snprintf(want, sizeof want, "%s", vcfg.preset);
          }
          for (int i = 0; i < shader_count; ++i)
            if (!std::strcmp(shader_names[i], want)) return i;
          return 0;
        },
        [](int i) {
          build_shader_list();
          if (i < 0 || i >= shader_count) return;
          if (is_external(i)) {
            video_use_external(shader_names[i] + 10);
          } else if (std::strcmp(shader_names[i], "Custom") != 0) {
            video_use_external("");
            video_set_preset(shader_names[i]);
          }
        })));
    menu_last_valhint(menu_cur, [](int i) -> const char* {
      static char id[120];
      build_shader_list();
      if (i < 0 || i >= shader_count) return "";
      if (is_external(i)) return "valhint.external";
      std::snprintf(id, sizeof id, "valhint.preset.%s", shader_names[i]);
      return id;
    });
    add(with_hint(mi_slider("  menu.scanlines", nullptr, 0, 1, 0.05, nullptr,
                            [] { return double(vcfg.p_scan); },
                            [](double v) { custom_param(&vcfg.p_scan, v); })));
    menu_last_enabled(menu_cur, shaders_enabled);
    add(with_hint(mi_slider("  menu.phosphor_mask", nullptr, 0, 1, 0.05, nullptr,
                            [] { return double(vcfg.p_mask); },
                            [](double v) { custom_param(&vcfg.p_mask, v); })));
    menu_last_enabled(menu_cur, shaders_enabled);
    add(with_hint(mi_slider("  menu.curvature", nullptr, 0, 1, 0.05, nullptr,
                            [] { return double(vcfg.p_curv); },
                            [](double v) { custom_param(&vcfg.p_curv, v); })));
    menu_last_enabled(menu_cur, shaders_enabled);
    add(with_hint(mi_slider("  menu.brightness", nullptr, 0.5, 1.8, 0.05, "%.2f",
                            [] { return double(vcfg.p_bright); },
                            [](double v) { custom_param(&vcfg.p_bright, v); })));
    menu_last_enabled(menu_cur, shaders_enabled);
    add(with_hint(mi_slider("  menu.vignette", nullptr, 0, 1, 0.05, nullptr,
                            [] { return double(vcfg.p_vig); },
                            [](double v) { custom_param(&vcfg.p_vig, v); })));
    menu_last_enabled(menu_cur, shaders_enabled);
    add(with_hint(mi_slider("  menu.glow", nullptr, 0, 1, 0.05, nullptr,
                            [] { return double(vcfg.p_bloom); },
                            [](double v) { custom_param(&vcfg.p_bloom, v); })));
    menu_last_enabled(menu_cur, shaders_enabled);
  }

  if (packs) {
    add(with_hint(mi_choice(
        "menu.graphics_pack", nullptr, [] { return gfxpack_list_count() + 1; },
        [](int i) { return i == 0 ? "val.pack.original" : gfxpack_list_name(i - 1); }, graphics_pack_entry,
        choose_graphics_pack)));
    menu_last_valhint(menu_cur, [](int i) { return i == 0 ? "valhint.pack.original" : "valhint.pack.other"; });
  }

  add(with_hint(mi_tab("tab.motion", nullptr)));
  add(with_hint(mi_bool("menu.frame_interpolation", nullptr,
                        [] { return int(pflags[PF_INTERPOLATION] != 0); }, [](int v) {
                          pflags[PF_INTERPOLATION] = v;
                          apply_lead();
                        })));
  add(with_hint(mi_bool("menu.sub_pixel_smoothing", nullptr,
                        [] { return int(pflags[PF_SUBPIXEL] != 0); },
                        [](int v) { pflags[PF_SUBPIXEL] = v; })));
  static const char* speed_ids[] = {"val.speed.0", "val.speed.1"};
  static const char* speed_hints[] = {"valhint.speed.0", "valhint.speed.1"};
  add(with_hint(mi_choice(
      "  menu.game_speed_no_interpolation", nullptr, [] { return 2; },
      [](int i) { return speed_ids[i & 1]; }, [] { return match_refresh; }, [](int i) {
        match_refresh = i;
        apply_lead();
      })));
  menu_last_valhint(menu_cur, [](int i) { return speed_hints[i & 1]; });
  add(mi_sep("sep.latency"));
  add(with_hint(mi_bool("menu.fast_input_polling", nullptr, [] { return fast_input.load(); },
                        [](int v) {
                          fast_input.store(v);
                          resend_input = 1;
                        })));
  add(with_hint(mi_bool("menu.gpu_wait", nullptr, video_get_glfinish, video_set_glfinish)));
  if (audio) {
    add(with_hint(mi_bool("menu.low_latency_audio", nullptr, [] { return low_latency_audio; },
                          set_low_latency)));
    add(with_hint(mi_slider("  menu.audio_sync_trim_ms", nullptr, -100, 100, 5, "%.0f",
                            [] { return audio_trim_ms; }, set_trim)));
  }

  add(with_hint(mi_tab("tab.controls", nullptr)));
  add(with_hint(mi_bool("menu.dual_stick", nullptr, [] { return pad_dual_stick.load(); },
                        [](int v) {
                          pad_dual_stick.store(v);
                          resend_input = 1;
                        })));
  add(with_hint(mi_bool("  menu.dual_stick_autofire", nullptr,
                        [] { return pad_aim_autofire.load(); }, [](int v) {
                          pad_aim_autofire.store(v);
                          resend_input = 1;
                        })));
  add(with_hint(mi_action("menu.keys_and_gamepad_buttons", nullptr, open_controls)));
  add(mi_image("", "@padmap"));

  add(with_hint(mi_tab("tab.system", nullptr)));
  add(with_hint(mi_choice(
      "menu.language", nullptr, [] { return lang_count() > 0 ? lang_count() : 1; },
      [](int i) { return lang_count() > 0 ? lang_name(i) : "English"; },
      [] { return lang_index(); },
      [](int i) {
        if (i < 0 || i >= lang_count()) return;
        lang_set(lang_code(i));
        menu_drawn_sig[0] = 0;
      })));
  add(with_hint(mi_bool("menu.startup_screen", nullptr, [] { return show_startup; },
                        [](int v) { show_startup = v; })));
  add(with_hint(mi_action("menu.restore_default_options", nullptr, act_restore)));
  add(mi_sep(""));
  add(with_hint(mi_action("menu.continue", nullptr, close_menu)));
  add(with_hint(mi_action("menu.quit", nullptr, [] { app_running.store(0); })));
  add(mi_sep("sep.build_info"));
  add(mi_sep("system.build.target.linux", 1));
  add(mi_sep("system.build.linux.io", 1));
  add(mi_sep("system.build.linux.runtime", 1));
  add(mi_sep("system.credits_line", 1));
}

}  // namespace

void act_restore() {
  cfg_clear();
  cfg_load(defaults_path);
  sound_on = cfg_bool("sound", 1);
  emu_post(EV_AUDIO, sound_on, 0);
  master_volume = clamped("volume", 1, 0, 1);
  emu_post(EV_VOLUME, master_volume, 0);
  static const char* const part_keys[4] = {"volume_mp3", "volume_chip_music", "volume_samples",
                                           "volume_chip_fx"};
  for (int i = 0; i < 4; ++i) {
    part_volume[i] = clamped(part_keys[i], 1, 0, 1);
    emu_post(EV_PART_VOLUME, i, part_volume[i]);
  }
  mp3_on = cfg_bool("mp3_music", 1);
  emu_post(EV_MP3, mp3_on, 0);
  show_startup = cfg_bool("startup_screen", 1);
  multichannel_fx = cfg_bool("multichannel_sfx", 0);
  emu_post(EV_SFX_MULTI, multichannel_fx, 0);
  fx_pan = cfg_bool("stereo_pan", 0);
  emu_post(EV_SFX_PAN, fx_pan, 0);
  set_fullscreen(cfg_bool("fullscreen", 1));
  for (const auto& f : restored_flags) pflags[f.flag] = cfg_bool(f.key, 1);
  lead_with_interp = clamped("latency", 3.6, 0.5, 6);
  lead_without_interp = clamped("latency_nointerp", 0.5, 0, 6);
  match_refresh = cfg_bool("game_speed_match", 0);
  pflags[PF_INTERPOLATION] = cfg_bool("frame_interpolation", 1);
  apply_lead();
  fast_input.store(cfg_bool("fast_input", 0));
  resend_input = 1;
  set_low_latency(cfg_bool("low_latency_audio", 0));
  set_trim(clamped("audio_sync_trim_ms", 0, -100, 100));
  apply_video_cfg();  // the GPU wait and the shader settings
  restore_graphics_pack();
  scan_music_packs();
  pack_resolve(cfg_str("music_pack", "arrange"));
  send_music_dir();
  input_cfg_load();
  if (save_options_or_say()) menu_status(menu_cur, tr("msg.options_restored"));
  menu_drawn_sig[0] = 0;
}

void menu_build(int audio, int video, int packs) {
  build_controls_menu();
  build_options(audio, video, packs);
  menu_cur = menu_options;
}
