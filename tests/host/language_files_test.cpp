// Checks of the language files the program ships in data/languages.
#include "host/language.h"
#include "host/language_xml.h"
#include "host/platform.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string shipped_folder() { return BKM_TEST_LANGUAGES; }

std::map<std::string, lang_table> read_all() {
  std::map<std::string, lang_table> tables;
  std::string folder = shipped_folder();
  std::vector<std::string> names;
  port_list_files(
      folder.c_str(), ".xml",
      [](const char* name, void* user) {
        static_cast<std::vector<std::string>*>(user)->push_back(name);
        return 1;
      },
      &names);
  for (const auto& name : names) {
    size_t size = 0;
    char* data = read_file((folder + "/" + name).c_str(), &size, 1 << 20);
    EXPECT_NE(data, nullptr) << name;
    if (!data) continue;
    lang_table t;
    lang_xml_report r;
    lang_xml_read(std::string_view(data, size), &t, &r);
    free(data);
    EXPECT_TRUE(r.complete) << name;
    EXPECT_EQ(r.bad_utf8, 0) << name;
    EXPECT_FALSE(t.name.empty()) << name;
    EXPECT_EQ(name, t.code + ".xml");
    tables[t.code] = std::move(t);
  }
  return tables;
}

// Every text id that the host's menus, screens and messages use.
const char* const required_ids = R"(ctl.key.fire
ctl.key.fire.hint
ctl.key.fire_second_key
ctl.key.fire_second_key.hint
ctl.key.move_down
ctl.key.move_down.hint
ctl.key.move_left
ctl.key.move_left.hint
ctl.key.move_right
ctl.key.move_right.hint
ctl.key.move_up
ctl.key.move_up.hint
ctl.key.next_weapon
ctl.key.next_weapon.hint
ctl.key.previous_weapon
ctl.key.previous_weapon.hint
ctl.key.quick_grenade
ctl.key.quick_grenade.hint
ctl.key.quick_rocket_launcher
ctl.key.quick_rocket_launcher.hint
ctl.pad.fire
ctl.pad.fire.hint
ctl.pad.fire_second_button
ctl.pad.fire_second_button.hint
ctl.pad.hold_position
ctl.pad.hold_position.hint
ctl.pad.leave_the_mission
ctl.pad.leave_the_mission.hint
ctl.pad.next_weapon
ctl.pad.next_weapon.hint
ctl.pad.options_menu
ctl.pad.options_menu.hint
ctl.pad.previous_weapon
ctl.pad.previous_weapon.hint
ctl.pad.quick_grenade
ctl.pad.quick_grenade.hint
ctl.pad.quick_rocket_launcher
ctl.pad.quick_rocket_launcher.hint
footer.plain
footer.tabs
key.(none)
key.Alt
key.Backspace
key.Caps Lock
key.Ctrl
key.Delete
key.Down
key.End
key.Enter
key.Esc
key.Home
key.Insert
key.Left
key.Left Alt
key.Left Ctrl
key.Left Shift
key.Left Win
key.Menu
key.Num *
key.Num +
key.Num -
key.Num .
key.Num /
key.Num Enter
key.Num Lock
key.Page Down
key.Page Up
key.Pause
key.Print Screen
key.Right
key.Right Alt
key.Right Ctrl
key.Right Shift
key.Right Win
key.Scroll Lock
key.Shift
key.Space
key.Tab
key.Up
menu.aspect_ratio
menu.aspect_ratio.hint
menu.audio_sync_trim_ms
menu.audio_sync_trim_ms.hint
menu.back
menu.back.hint
menu.back_to_the_mission_map
menu.back_to_the_mission_map.hint
menu.brightness
menu.brightness.hint
menu.continue
menu.continue.hint
menu.curvature
menu.curvature.hint
menu.dual_stick
menu.dual_stick.hint
menu.dual_stick_autofire
menu.dual_stick_autofire.hint
menu.fast_input_polling
menu.fast_input_polling.hint
menu.frame_interpolation
menu.frame_interpolation.hint
menu.fullscreen_f11
menu.fullscreen_f11.hint
menu.fx_stereo_panning
menu.fx_stereo_panning.hint
menu.fx_ym2149f
menu.fx_ym2149f.hint
menu.game_speed_no_interpolation
menu.game_speed_no_interpolation.hint
menu.glow
menu.glow.hint
menu.gpu_wait
menu.gpu_wait.hint
menu.graphics_pack
menu.graphics_pack.hint
menu.infinite_money_testing
menu.infinite_money_testing.hint
menu.invulnerability_testing
menu.invulnerability_testing.hint
menu.keys_and_gamepad_buttons
menu.keys_and_gamepad_buttons.hint
menu.language
menu.language.hint
menu.load_game
menu.load_game.hint
menu.low_latency_audio
menu.low_latency_audio.hint
menu.multichannel_fx
menu.multichannel_fx.hint
menu.music_mp3
menu.music_mp3.hint
menu.music_pack
menu.music_pack.hint
menu.music_ym2149f
menu.music_ym2149f.hint
menu.phosphor_mask
menu.phosphor_mask.hint
menu.quit
menu.quit.hint
menu.restart_game_1_or_2_players
menu.restart_game_1_or_2_players.hint
menu.restore_default_controls
menu.restore_default_controls.hint
menu.restore_default_options
menu.restore_default_options.hint
menu.sampled_fx
menu.sampled_fx.hint
menu.save_game
menu.save_game.hint
menu.save_slot
menu.save_slot.hint
menu.scaling_filter
menu.scaling_filter.hint
menu.scanlines
menu.scanlines.hint
menu.shader_crt_effect
menu.shader_crt_effect.hint
menu.shader_source
menu.shader_source.hint
menu.sound
menu.sound.hint
menu.startup_screen
menu.startup_screen.hint
menu.sub_pixel_smoothing
menu.sub_pixel_smoothing.hint
menu.vignette
menu.vignette.hint
menu.volume
menu.volume.hint
msg.already_on_map
msg.assigned
msg.back_on_map
msg.cancelled
msg.cannot_save
msg.controls_restored
msg.music_pack
msg.no_map_yet
msg.options_not_saved
msg.options_restored
msg.pack_original
msg.pack_replaced
msg.press_new_button
msg.press_new_key
msg.recovered
msg.restarted
msg.save_failed
msg.saved_before
msg.saved_map
msg.slot_empty
msg.slot_failed
msg.slot_loaded
msg.unassigned
padmap.act.exit
padmap.act.exit.desc
padmap.act.fire
padmap.act.fire.desc
padmap.act.fire2
padmap.act.fire2.desc
padmap.act.grenade
padmap.act.grenade.desc
padmap.act.hold
padmap.act.hold.desc
padmap.act.menu
padmap.act.menu.desc
padmap.act.rocket
padmap.act.rocket.desc
padmap.act.wnext
padmap.act.wnext.desc
padmap.act.wprev
padmap.act.wprev.desc
padmap.btn.back
padmap.btn.start
padmap.click
padmap.dpad
padmap.dpad.desc
padmap.lstick
padmap.lstick.desc
padmap.rstick
padmap.rstick.desc
padmap.rstick.off
padmap.unassigned
sep.build_info
sep.gamepad_both_pads
sep.keyboard
sep.latency
startup.d.audio
startup.d.dump
startup.d.game
startup.d.graphics
startup.d.menu
startup.d.packs
startup.d.video
startup.go
startup.l.amiga
startup.l.data
startup.l.graphics
startup.l.music
startup.l.pack
startup.missing.1
startup.missing.2
startup.missing.3
startup.missing.4
startup.missing.5
startup.missing.6
startup.missing.short
startup.missing.title
startup.original
startup.ready
system.build.linux.io
system.build.linux.runtime
system.build.target.linux
system.credits_line
tab.controls
tab.controls.hint
tab.game
tab.game.hint
tab.motion
tab.motion.hint
tab.sound
tab.sound.hint
tab.system
tab.system.hint
tab.video
tab.video.hint
title.controls
title.options
val.aspect.0
val.aspect.1
val.aspect.2
val.aspect.3
val.external
val.filter.0
val.filter.1
val.filter.2
val.music_amiga
val.music_atari
val.musicfolder
val.off
val.on
val.pack.original
val.preset.Custom
val.preset.Full CRT
val.preset.None
val.preset.Scanlines
val.preset.Soft CRT
val.press_button
val.press_key
val.slot.date
val.slot.empty
val.source.0
val.source.1
val.source.2
val.speed.0
val.speed.1
valhint.aspect.0
valhint.aspect.1
valhint.aspect.2
valhint.aspect.3
valhint.external
valhint.filter.0
valhint.filter.1
valhint.filter.2
valhint.pack.original
valhint.pack.other
valhint.preset.Custom
valhint.preset.Full CRT
valhint.preset.None
valhint.preset.Scanlines
valhint.preset.Soft CRT
valhint.source.0
valhint.source.1
valhint.source.2
valhint.speed.0
valhint.speed.1
)";

// The ids that are used as formats, with the values the program passes.
const std::map<std::string, std::vector<lang_arg_kind>> formatted = {
    {"msg.saved_map", {LANG_ARG_INT}},
    {"msg.saved_before", {LANG_ARG_INT}},
    {"msg.slot_loaded", {LANG_ARG_INT}},
    {"msg.slot_empty", {LANG_ARG_INT}},
    {"msg.slot_failed", {LANG_ARG_INT}},
    {"msg.assigned", {LANG_ARG_STRING, LANG_ARG_STRING}},
    {"msg.music_pack", {LANG_ARG_STRING}},
    {"msg.pack_replaced", {LANG_ARG_STRING, LANG_ARG_INT}},
    {"val.slot.date", {LANG_ARG_INT, LANG_ARG_INT, LANG_ARG_INT, LANG_ARG_INT, LANG_ARG_INT}},
    {"val.slot.empty", {LANG_ARG_INT}},
    {"val.external", {LANG_ARG_STRING}},
    {"padmap.click", {LANG_ARG_STRING}},
    {"startup.go", {LANG_ARG_INT}},
    {"startup.missing.short", {LANG_ARG_INT, LANG_ARG_INT}},
};

TEST(LanguageFiles, EveryLanguageHasEveryTextWithTheRightPlaceholders) {
  auto tables = read_all();
  ASSERT_TRUE(tables.count("en"));
  EXPECT_GE(tables.size(), 4u);

  std::set<std::string> required;
  std::istringstream in(required_ids);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) required.insert(line);

  for (const auto& [code, table] : tables) {
    SCOPED_TRACE(code);
    std::set<std::string> ids;
    for (const auto& e : table.entries) {
      EXPECT_TRUE(ids.insert(e.id).second) << "duplicate " << e.id;
      EXPECT_FALSE(e.text.empty()) << e.id;
      auto f = formatted.find(e.id);
      const auto& kinds = f != formatted.end() ? f->second : std::vector<lang_arg_kind>{};
      EXPECT_TRUE(lang_format_fits(e.text.c_str(), kinds.data(), kinds.size()))
          << e.id << ": " << e.text;
    }
    for (const auto& id : required) EXPECT_TRUE(ids.count(id)) << "missing " << id;
    for (const auto& id : ids) EXPECT_TRUE(required.count(id)) << "not used " << id;
  }
}

TEST(LanguageFiles, LoadWithoutComplaintsAndStartInEnglish) {
  testing::internal::CaptureStderr();
  lang_init(shipped_folder().c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_GE(lang_count(), 4);
  EXPECT_STREQ(lang_current(), "en");
  EXPECT_STREQ(tr("menu.quit"), "Quit");
  ASSERT_EQ(lang_set("de"), 1);
  char buf[80];
  EXPECT_STREQ(trf(buf, sizeof buf, "msg.saved_map", 2), "In Platz 2 gespeichert.");
  EXPECT_STREQ(tr("key.Page Up"), "Bild auf");
  lang_init("/nonexistent");
}

}  // namespace
