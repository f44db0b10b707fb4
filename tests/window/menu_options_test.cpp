// The options menu: its tabs, what each setter posts, the slot labels and
// the shader items.
#include "host/window/menu_options.h"

#include "graphics/gfxpack.h"
#include "graphics/present.h"
#include "host/emu_events.h"
#include "host/language.h"
#include "host/settings.h"
#include "host/window/menu_layer.h"
#include "host/window/app_state.h"
#include "host/window/video.h"
#include "sound/audio_output.h"
#include "support/graphics/pack_assets.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> tab_labels(const menu* m) {
  std::vector<std::string> out;
  for (int i = 0; i < m->count; ++i)
    if (m->items[i].kind == MI_TAB) out.push_back(m->items[i].label);
  return out;
}

int find(const menu* m, const char* label) {
  for (int i = 0; i < m->count; ++i)
    if (!std::strcmp(m->items[i].label, label)) return i;
  return -1;
}

// Puts the cursor on the item, its tab current.
void point_at(menu* m, int index) {
  int tab = -1;
  for (int i = 0; i <= index; ++i)
    if (m->items[i].kind == MI_TAB) ++tab;
  m->tab = tab < 0 ? 0 : tab;
  m->tab_focus = 0;
  m->cursor = index;
}

class menu_options_test : public ::testing::Test {
 protected:
  temp_dir dir;
  void SetUp() override {
    setenv("BKM_TEST", "1", 1);
    lang_init(BKM_TEST_LANGUAGES);
    lang_set("en");
    std::snprintf(save_dir, sizeof save_dir, "%s", dir.path.c_str());
    god_mode = infinite_money = 0;
    evq_open();
  }
  void TearDown() override {
    close_menu();
    evq_close();
  }
  std::vector<emu_event> drain() {
    std::vector<emu_event> out;
    emu_event e;
    while (ev_pop(&e)) out.push_back(e);
    return out;
  }
};

TEST_F(menu_options_test, TabsFollowAudioAndVideo) {
  menu_build(0, 1, 0);
  EXPECT_EQ(tab_labels(menu_options),
            (std::vector<std::string>{"tab.game", "tab.video", "tab.motion", "tab.controls",
                                      "tab.system"}));
  EXPECT_EQ(find(menu_options, "menu.low_latency_audio"), -1);
  EXPECT_STREQ(menu_options->items[0].hint, "tab.game.hint");
  EXPECT_STREQ(menu_options->items[find(menu_options, "  menu.glow")].hint, "menu.glow.hint");
  EXPECT_EQ(menu_cur, menu_options);

  menu_build(1, 0, 0);
  EXPECT_EQ(tab_labels(menu_options),
            (std::vector<std::string>{"tab.game", "tab.sound", "tab.video", "tab.motion",
                                      "tab.controls", "tab.system"}));
  // Without OpenGL the video tab holds full screen alone.
  int video = find(menu_options, "tab.video");
  EXPECT_STREQ(menu_options->items[video + 1].label, "menu.fullscreen_f11");
  EXPECT_EQ(menu_options->items[video + 2].kind, MI_TAB);
  EXPECT_NE(find(menu_options, "  menu.audio_sync_trim_ms"), -1);
}

TEST_F(menu_options_test, SettersPostTheirEvents) {
  menu_build(1, 1, 0);
  menu* m = menu_options;
  master_volume = 0.5;
  for (double& v : part_volume) v = 0.5;
  sound_on = 1;
  multichannel_fx = 0;
  fx_pan = 0;
  menu_slot = 2;
  struct {
    const char* label;
    int confirm;  // 1: confirm, 0: "right"
    int kind;
    double a, b;
    int closes;
  } cases[] = {
      {"menu.invulnerability_testing", 0, EV_GOD, 1, 0, 0},
      {"menu.infinite_money_testing", 0, EV_MONEY, 1, 0, 0},
      {"menu.sound", 0, EV_AUDIO, 0, 0, 0},
      {"menu.volume", 0, EV_VOLUME, 0.6, 0, 0},
      {"  menu.music_mp3", 0, EV_PART_VOLUME, 0, 0.6, 0},
      {"  menu.music_ym2149f", 0, EV_PART_VOLUME, 1, 0.6, 0},
      {"  menu.sampled_fx", 0, EV_PART_VOLUME, 2, 0.6, 0},
      {"  menu.fx_ym2149f", 0, EV_PART_VOLUME, 3, 0.6, 0},
      {"menu.multichannel_fx", 0, EV_SFX_MULTI, 1, 0, 0},
      {"menu.fx_stereo_panning", 0, EV_SFX_PAN, 1, 0, 0},
      {"menu.save_game", 1, EV_SAVE_SLOT, 2, 0, 0},
      {"menu.restart_game_1_or_2_players", 1, EV_RESTART, 0, 0, 1},
      {"menu.back_to_the_mission_map", 1, EV_BACK_TO_MAP, 0, 0, 1},
      {"menu.frame_interpolation", 0, EV_LEAD, -1, 0, 0},
  };
  for (const auto& c : cases) {
    open_menu();
    drain();
    int index = find(m, c.label);
    ASSERT_GE(index, 0) << c.label;
    point_at(m, index);
    if (c.confirm) {
      menu_activate(m);
    } else {
      menu_nav(m, "right");
    }
    std::vector<emu_event> got = drain();
    ASSERT_FALSE(got.empty()) << c.label;
    EXPECT_EQ(got[0].kind, c.kind) << c.label;
    if (c.a >= 0) {
      EXPECT_DOUBLE_EQ(got[0].a, c.a) << c.label;
      EXPECT_DOUBLE_EQ(got[0].b, c.b) << c.label;
    }
    EXPECT_EQ(menu_open, !c.closes) << c.label;
    close_menu();
  }
}

// The testing switches show what is in force, not what the menu last set:
// god mode switched on at start or by a test script shows as on, and the
// switch then turns it off.
TEST_F(menu_options_test, TestingSwitchesShowTheLiveState) {
  menu_build(0, 1, 0);
  menu* m = menu_options;
  struct {
    const char* label;
    int* live;
    int kind;
  } rows[] = {
      {"menu.invulnerability_testing", &god_mode, EV_GOD},
      {"menu.infinite_money_testing", &infinite_money, EV_MONEY},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.label);
    const int index = find(m, r.label);
    ASSERT_GE(index, 0);
    char text[64];
    *r.live = 0;
    EXPECT_STREQ(menu_value_text(m->items[index], text, sizeof text), tr("val.off"));
    *r.live = 1;  // behind the menu's back
    EXPECT_STREQ(menu_value_text(m->items[index], text, sizeof text), tr("val.on"));
    open_menu();
    drain();
    point_at(m, index);
    menu_nav(m, "right");
    const std::vector<emu_event> got = drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, r.kind);
    EXPECT_EQ(got[0].a, 0);
    EXPECT_EQ(*r.live, 0);
    EXPECT_STREQ(menu_value_text(m->items[index], text, sizeof text), tr("val.off"));
    close_menu();
  }
}

TEST_F(menu_options_test, MusicPackChoice) {
  const std::string root = dir / "music";
  for (const char* pack : {"Arrange", "remix"}) {
    std::filesystem::create_directories(root + "/" + pack);
    spit(root + "/" + pack + "/map.ogg", "x");
  }
  spit(root + "/mission.mp3", "x");
  std::snprintf(music_root, sizeof music_root, "%s", root.c_str());
  game_data_dir[0] = 0;
  mp3_on = 1;
  std::snprintf(music_pack, sizeof music_pack, "ARRANGE");
  menu_build(1, 1, 0);
  menu* m = menu_options;
  open_menu();  // the list is made again and the pack checked
  drain();
  EXPECT_STREQ(music_pack, "Arrange");
  const menu_item& item = m->items[find(m, "menu.music_pack")];
  ASSERT_EQ(item.count(), 4);
  const std::vector<std::string> texts = {item.text(0), item.text(1), item.text(2), item.text(3)};
  EXPECT_EQ(texts, (std::vector<std::string>{"Atari ST chip", "Music folder", "Arrange", "Remix"}));
  EXPECT_STREQ(item.text(4), "");
  EXPECT_EQ(item.get_index(), 2);

  struct row {
    int index;
    std::vector<int> kinds;
    int mp3;
    const char* pack;
    const char* status;
  };
  const row rows[] = {
      {3, {EV_MP3, EV_MUSIC_DIR}, 1, "remix", "Music: Remix"},
      {0, {EV_MP3}, 0, "remix", "Music: Atari ST chip"},
      {1, {EV_MP3, EV_MUSIC_DIR}, 1, "", "Music: Music folder"},
      {4, {}, 1, "", "Music: Music folder"},  // outside the list: nothing
  };
  for (const row& r : rows) {
    item.set_index(r.index);
    std::vector<int> kinds;
    for (const emu_event& e : drain()) {
      kinds.push_back(e.kind);
      if (e.kind == EV_MP3) {
        EXPECT_EQ(e.a, r.mp3) << r.index;
      }
    }
    EXPECT_EQ(kinds, r.kinds) << r.index;
    EXPECT_EQ(mp3_on, r.mp3) << r.index;
    EXPECT_STREQ(music_pack, r.pack) << r.index;
    EXPECT_STREQ(m->status, r.status) << r.index;
  }
  EXPECT_EQ(item.get_index(), 1);
  mp3_on = 0;
  EXPECT_EQ(item.get_index(), 0);  // "@atari" while pack music is off
  close_menu();
  mp3_on = 1;
  std::snprintf(music_pack, sizeof music_pack, "arrange");
  music_root[0] = 0;
}

TEST_F(menu_options_test, SlotLabelsAndLoadingAnEmptySlot) {
  setenv("TZ", "UTC", 1);
  tzset();
  menu_build(0, 1, 0);
  menu* m = menu_options;
  std::string slot2 = dir.path + "/slot2.bkms";
  spit(slot2, "x");
  struct tm when {};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 4;
  when.tm_hour = 5;
  when.tm_min = 6;
  utimbuf times{timegm(&when), timegm(&when)};
  ASSERT_EQ(utime(slot2.c_str(), &times), 0);
  const menu_item& slot = m->items[find(m, "menu.save_slot")];
  EXPECT_STREQ(slot.text(1), "Slot 2  ·  04/03 05:06");
  EXPECT_STREQ(slot.text(0), "Slot 1  ·  empty");

  open_menu();
  menu_slot = 1;
  drain();
  point_at(m, find(m, "menu.load_game"));
  menu_activate(m);
  EXPECT_TRUE(menu_open);
  EXPECT_STREQ(m->status, "Slot 1 is empty.");
  EXPECT_TRUE(drain().empty());

  menu_slot = 2;
  menu_activate(m);
  EXPECT_FALSE(menu_open);
  std::vector<emu_event> got = drain();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0].kind, EV_LOAD_SLOT);
  EXPECT_EQ(got[0].a, 2);
}

TEST_F(menu_options_test, ShaderSlidersMakeCustomUnlessAnExternalShaderRuns) {
  menu_build(0, 1, 0);
  menu* m = menu_options;
  video_cfg saved = vcfg;
  video_set_preset("Soft CRT");
  video_use_external("");
  const float scan = vcfg.p_scan;
  int slider = find(m, "  menu.scanlines");
  int choice = find(m, "menu.shader_crt_effect");
  char text[200];
  EXPECT_STREQ(menu_value_text(m->items[choice], text, sizeof text), tr("val.preset.Soft CRT"));

  std::snprintf(vcfg.external, sizeof vcfg.external, "Mine");
  point_at(m, slider);
  menu_nav(m, "left");
  EXPECT_EQ(vcfg.p_scan, scan);  // greyed while an external shader is chosen
  EXPECT_STREQ(vcfg.preset, "Soft CRT");

  video_use_external("");
  menu_nav(m, "left");
  EXPECT_STREQ(vcfg.preset, "Custom");
  EXPECT_FLOAT_EQ(vcfg.p_scan, float(std::floor((scan - 0.05) * 10000 + 0.5) / 10000));
  EXPECT_STREQ(menu_value_text(m->items[choice], text, sizeof text), tr("val.preset.Custom"));
  // Choosing "Custom" again changes nothing; a preset replaces it.
  point_at(m, choice);
  menu_nav(m, "left");  // Custom (index 4) -> Full CRT (3)
  EXPECT_STREQ(vcfg.preset, "Full CRT");
  vcfg = saved;
}

TEST_F(menu_options_test, LowLatencyIsAskedOfTheOutputAndFullscreenFollowsTheWindow) {
  // An output without a device, as the audio tests make it: it refuses
  // low latency, so the switch ends off.
  audio_output* out = audio_output_new(44100, 100, 1024);
  audio_out = out;
  menu_build(1, 1, 0);
  menu* m = menu_options;
  open_menu();
  point_at(m, find(m, "menu.low_latency_audio"));
  low_latency_audio = 0;
  menu_activate(m);
  EXPECT_EQ(low_latency_audio, 0);
  audio_out = nullptr;
  audio_output_free(out);
  // No window here: switching fullscreen on fails, and the saved choice
  // says so.
  fullscreen = 1;
  point_at(m, find(m, "menu.fullscreen_f11"));
  menu_activate(m);
  EXPECT_EQ(fullscreen, 0);
  close_menu();
}

TEST_F(menu_options_test, RestoreWithoutDefaultJsonTakesTheBuiltInDefaults) {
  menu_build(0, 1, 0);
  menu* m = menu_options;
  char saved_defaults[700];
  std::memcpy(saved_defaults, defaults_path, sizeof saved_defaults);
  std::snprintf(defaults_path, sizeof defaults_path, "%s/none.json", dir.path.c_str());
  sound_on = 0;
  master_volume = 0.3;
  for (double& v : part_volume) v = 0.2;
  mp3_on = 0;
  show_startup = 0;
  multichannel_fx = 1;
  fx_pan = 1;
  match_refresh = 1;
  pflags[PF_INTERPOLATION] = 0;
  pflags[PF_SUBPIXEL] = 0;
  lead_with_interp = 5;
  lead_without_interp = 2;
  fast_input = 1;
  audio_trim_ms = 40;
  open_menu();
  drain();
  resend_input = 0;
  std::snprintf(menu_drawn_sig, sizeof menu_drawn_sig, "drawn");
  point_at(m, find(m, "menu.restore_default_options"));
  menu_activate(m);

  EXPECT_EQ(sound_on, 1);
  EXPECT_EQ(master_volume, 1);
  for (double v : part_volume) EXPECT_EQ(v, 1);
  EXPECT_EQ(mp3_on, 1);
  EXPECT_EQ(show_startup, 1);
  EXPECT_EQ(multichannel_fx, 0);
  EXPECT_EQ(fx_pan, 0);
  EXPECT_EQ(match_refresh, 0);
  EXPECT_EQ(pflags[PF_INTERPOLATION], 1);
  EXPECT_EQ(pflags[PF_SUBPIXEL], 1);
  EXPECT_EQ(lead_with_interp, 3.6);
  EXPECT_EQ(lead_without_interp, 0.5);
  EXPECT_EQ(fast_input.load(), 0);
  EXPECT_EQ(audio_trim_ms, 0);
  EXPECT_EQ(resend_input, 1) << "the input state goes out again";
  EXPECT_EQ(menu_drawn_sig[0], 0) << "the menu redraws";
  struct want {
    int kind;
    double a, b;
    bool operator==(const want&) const = default;
  };
  std::vector<want> got;
  for (const emu_event& e : drain()) got.push_back({e.kind, e.a, e.b});
  const std::vector<want> expected = {
      {EV_AUDIO, 1, 0},         {EV_VOLUME, 1, 0},        {EV_PART_VOLUME, 0, 1}, {EV_PART_VOLUME, 1, 1},
      {EV_PART_VOLUME, 2, 1},   {EV_PART_VOLUME, 3, 1},   {EV_MP3, 1, 0},         {EV_SFX_MULTI, 0, 0},
      {EV_SFX_PAN, 0, 0},       {EV_LEAD, 3.6, 0},        {EV_GAME_RATE, 50, 0},  {EV_MUSIC_DIR, 0, 0}};
  EXPECT_TRUE(got == expected) << got.size() << " events";
  std::memcpy(defaults_path, saved_defaults, sizeof saved_defaults);
  close_menu();
}

// Restored options that cannot be written say so rather than "restored";
// the player has seen it, so leaving the menu then closes it.
TEST_F(menu_options_test, ARestoreThatCannotBeSavedSaysSo) {
  menu_build(0, 1, 0);
  menu* m = menu_options;
  char saved_defaults[700], saved_options[700];
  std::memcpy(saved_defaults, defaults_path, sizeof saved_defaults);
  std::memcpy(saved_options, options_path, sizeof saved_options);
  spit(dir / "user", "a file where the user folder should be");
  std::snprintf(defaults_path, sizeof defaults_path, "%s/none.json", dir.path.c_str());
  std::snprintf(options_path, sizeof options_path, "%s/user/options.json", dir.path.c_str());
  unsetenv("BKM_TEST");
  open_menu();
  point_at(m, find(m, "menu.restore_default_options"));
  menu_activate(m);
  EXPECT_STREQ(m->status, tr("msg.options_not_saved"));
  close_menu();
  EXPECT_FALSE(menu_open);
  setenv("BKM_TEST", "1", 1);
  std::memcpy(defaults_path, saved_defaults, sizeof saved_defaults);
  std::memcpy(options_path, saved_options, sizeof saved_options);
}

TEST_F(menu_options_test, RestoreTakesDefaultJsonKeepsTheLanguageAndSaves) {
  menu_build(0, 1, 0);
  menu* m = menu_options;
  lang_set("fr");
  char saved_defaults[700], saved_options[700];
  std::memcpy(saved_defaults, defaults_path, sizeof saved_defaults);
  std::memcpy(saved_options, options_path, sizeof saved_options);
  std::snprintf(defaults_path, sizeof defaults_path, "%s/default.json", dir.path.c_str());
  std::snprintf(options_path, sizeof options_path, "%s/options.json", dir.path.c_str());
  spit(defaults_path,
       R"({"language": "de", "volume": 0.25, "stereo_pan": true, "latency": 9, "latency_nointerp": -1,)"
       R"( "low_latency_audio": true, "volume_samples": 1.5, "audio_sync_trim_ms": 150})");
  master_volume = 1;
  fx_pan = 0;
  multichannel_fx = 1;
  low_latency_audio = 1;
  unsetenv("BKM_TEST");
  open_menu();
  drain();
  point_at(m, find(m, "menu.restore_default_options"));
  menu_activate(m);
  setenv("BKM_TEST", "1", 1);

  EXPECT_STREQ(lang_current(), "fr");
  EXPECT_EQ(master_volume, 0.25);
  EXPECT_EQ(fx_pan, 1);
  EXPECT_EQ(multichannel_fx, 0);  // not in the file: the built-in default
  EXPECT_EQ(lead_with_interp, 6);
  EXPECT_EQ(lead_without_interp, 0);
  EXPECT_EQ(part_volume[2], 1);
  EXPECT_EQ(low_latency_audio, 0);  // no audio device
  EXPECT_EQ(audio_trim_ms, 100);
  EXPECT_STREQ(m->status, tr("msg.options_restored"));
  EXPECT_TRUE(menu_open);
  struct want {
    int kind;
    double a, b;
  } wants[] = {{EV_VOLUME, 0.25, 0}, {EV_SFX_PAN, 1, 0}, {EV_SFX_MULTI, 0, 0}, {EV_PART_VOLUME, 2, 1},
               {EV_LEAD, 6, 0}};
  std::vector<emu_event> got = drain();
  for (const want& w : wants) {
    bool found = false;
    for (const emu_event& e : got) found |= e.kind == w.kind && e.a == w.a && e.b == w.b;
    EXPECT_TRUE(found) << w.kind;
  }
  const std::string written = slurp(options_path);
  EXPECT_NE(written.find("\"language\": \"fr\""), std::string::npos) << written;
  EXPECT_NE(written.find("\"volume\": 0.25"), std::string::npos) << written;

  std::memcpy(defaults_path, saved_defaults, sizeof saved_defaults);
  std::memcpy(options_path, saved_options, sizeof saved_options);
  lang_set("en");
  master_volume = 1;
  fx_pan = 0;
  lead_with_interp = 3.6;
  lead_without_interp = 0.5;
}

}  // namespace

namespace {

// Packs "b" and "a", each redrawing the one sprite cell of the dump.
void two_packs(const pack_assets& assets) {
  assets.write_index({index_sheet("sprites/solo", "sprite", 6, 6, 6, 6, 1, 2, {{0, "aaaaaaaaaaaa"}})});
  rgba_picture mine(6, 6);
  mine.fill(0, 0, 6, 6, 0xFF0000FF);
  for (const char* p : {"b", "a"}) assets.write_sheet(p, "sprites/solo", mine);
}

}  // namespace

TEST_F(menu_options_test, TheGraphicsPackItemChoosesAPackAndSaysWhatItLoaded) {
  pack_assets assets;
  two_packs(assets);
  ASSERT_EQ(gfxpack_init(assets.root().c_str(), 2, "original"), 1);
  menu_build(0, 1, 0);
  EXPECT_EQ(find(menu_options, "menu.graphics_pack"), -1);
  // Without OpenGL the video tab holds full screen and the pack.
  menu_build(0, 0, 1);
  menu* m = menu_options;
  const int video = find(m, "tab.video");
  ASSERT_STREQ(m->items[video + 2].label, "menu.graphics_pack");
  EXPECT_EQ(m->items[video + 3].kind, MI_TAB);
  const menu_item& item = m->items[video + 2];
  EXPECT_STREQ(item.hint, "menu.graphics_pack.hint");
  ASSERT_EQ(item.count(), 3);
  EXPECT_STREQ(item.text(0), "val.pack.original");
  EXPECT_STREQ(item.text(1), "a");
  EXPECT_STREQ(item.valhint(0), "valhint.pack.original");
  EXPECT_STREQ(item.valhint(2), "valhint.pack.other");
  EXPECT_EQ(item.get_index(), 0);

  gfx_pack_chosen = 0;
  present_state* shown = present_new(2);
  presenter = shown;
  std::snprintf(menu_drawn_sig, sizeof menu_drawn_sig, "drawn");
  const uint32_t gen = pack_gen;
  item.set_index(2);
  EXPECT_STREQ(gfxpack_name(), "b");
  EXPECT_EQ(item.get_index(), 2);
  EXPECT_EQ(gfx_pack_chosen, 1);
  EXPECT_EQ(pack_gen, gen + 1);
  char expected[200];
  trf(expected, sizeof expected, "msg.pack_replaced", "b", 1);
  EXPECT_STREQ(m->status, expected);
  EXPECT_EQ(menu_drawn_sig[0], 0);
  item.set_index(0);
  EXPECT_STREQ(gfxpack_name(), "original");
  EXPECT_STREQ(m->status, tr("msg.pack_original"));
  item.set_index(3);
  EXPECT_STREQ(gfxpack_name(), "original") << "an entry beyond the list changes nothing";
  presenter = nullptr;
  present_free(shown);

  // The restore action finds the stored pack whatever its case, and the
  // options then keep the choice.
  char saved_defaults[700], saved_options[700];
  std::memcpy(saved_defaults, defaults_path, sizeof saved_defaults);
  std::memcpy(saved_options, options_path, sizeof saved_options);
  std::snprintf(defaults_path, sizeof defaults_path, "%s/default.json", dir.path.c_str());
  std::snprintf(options_path, sizeof options_path, "%s/options.json", dir.path.c_str());
  for (const char* stored : {"A", "none", "ORIGINAL"}) {
    spit(defaults_path, std::string(R"({"graphics_pack": ")") + stored + "\"}");
    gfxpack_select("b");
    unsetenv("BKM_TEST");
    act_restore();
    setenv("BKM_TEST", "1", 1);
    const std::string want = !std::strcmp(stored, "A") ? "a" : "original";
    EXPECT_EQ(gfxpack_name(), want) << stored;
    EXPECT_NE(slurp(options_path).find("\"graphics_pack\": \"" + want + "\""), std::string::npos) << slurp(options_path);
  }
  std::memcpy(defaults_path, saved_defaults, sizeof saved_defaults);
  std::memcpy(options_path, saved_options, sizeof saved_options);
  gfx_pack_chosen = 0;
  gfxpack_init("", 1, "");
}
