// The settings layer: overrides, options.json in and out, and the settings
// derived from several (refresh, game rate, lead, audio target).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/gfxpack.h"
#include "graphics/present.h"
#include "host/options.h"
#include "host/platform.h"
#include "host/settings.h"
#include "sound/music_entries.h"
#include "sound/music_pack.h"
#include "support/temp_dir.h"

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("BKM_USER_DIR");
    saved_user = old ? old : "";
    setenv("BKM_USER_DIR", dir.path.c_str(), 1);
    for (const char* v : cleared) unsetenv(v);
    set_paths();
    lead_with_interp = 3.6;
    lead_without_interp = 0.5;
  }
  void TearDown() override {
    for (const char* v : cleared) unsetenv(v);
    setenv("BKM_USER_DIR", saved_user.c_str(), 1);
    cfg_clear();
    for (int32_t& f : pflags) f = 1;
  }
  void options(const std::string& json) { spit(dir / "options.json", json); }
  void load(const start_overrides& o = {}) { load_options(o); }
  start_overrides args(std::vector<const char*> argv) {
    argv.insert(argv.begin(), "brakmoor");
    start_overrides o;
    read_overrides(static_cast<int>(argv.size()), const_cast<char**>(argv.data()), &o);
    return o;
  }

  static constexpr const char* cleared[] = {"BKM_TEST", "BKM_LEAD", "BKM_VOL", "BKM_FIX", "BKM_SONIDO",
                                            "BKM_GRAFICO", "BKM_NOINTERP", "BKM_NOSFIX", "BKM_SPEEDMATCH",
                                            "BKM_FASTIN", "BKM_ASSETS_DIR", "BKM_ORIGINAL_DIR"};
  temp_dir dir;
  std::string saved_user;
};

TEST(Refresh, RatesAndScales) {
  struct row {
    int refresh, hz, scale;
  };
  for (const row& r : {row{30, 50, 3}, row{49, 50, 3}, row{50, 50, 3}, row{60, 60, 3}, row{75, 75, 3},
                       row{76, 76, 2}, row{144, 144, 2}, row{165, 165, 2}, row{240, 165, 2}}) {
    int hz = 0, scale = 0;
    refresh_to_rate(r.refresh, &hz, &scale);
    EXPECT_EQ(hz, r.hz) << r.refresh;
    EXPECT_EQ(scale, r.scale) << r.refresh;
  }
}

TEST_F(Settings, GameRateFollowsTheDisplayOnlyWithoutInterpolationAndWithSpeedMatch) {
  struct row {
    int hz;
    double rate;
  };
  pflags[PF_INTERPOLATION] = 0;
  match_refresh = 1;
  for (const row& r : {row{60, 60}, row{75, 37.5}, row{100, 50}, row{120, 60}, row{144, 48}, row{165, 55},
                       row{50, 50}}) {
    monitor_hz = r.hz;
    EXPECT_DOUBLE_EQ(game_rate(), r.rate) << r.hz;
  }
  match_refresh = 0;
  EXPECT_EQ(game_rate(), 50);
  match_refresh = 1;
  pflags[PF_INTERPOLATION] = 1;
  EXPECT_EQ(game_rate(), 50);
  monitor_hz = 60;
}

TEST_F(Settings, TheCommandLineAndTheEnvironment) {
  EXPECT_EQ(args({"--no-fix"}).fix, 0);
  EXPECT_EQ(args({"--original", "--fix"}).fix, 1);
  EXPECT_EQ(args({"--mute"}).sound_off, 1);
  EXPECT_EQ(args({"--no-sound"}).sound_off, 1);
  EXPECT_EQ(args({"--volume"}).volume_given, 0) << "as the last argument it is ignored";
  EXPECT_EQ(args({"--volume", "0.25"}).volume, 0.25);
  EXPECT_EQ(args({"--volume", "7"}).volume, 1) << "clamped";
  EXPECT_EQ(args({"--volume", "nan"}).volume_given, 0);
  EXPECT_STREQ(args({"--pack", "neon"}).pack, "neon");
  EXPECT_STREQ(args({"--pack"}).pack, "");
  setenv("BKM_FIX", "1", 1);
  EXPECT_EQ(args({"--no-fix"}).fix, 0) << "only a value starting with 0 changes the fix";
  setenv("BKM_FIX", "0", 1);
  EXPECT_EQ(args({"--fix"}).fix, 0);
  setenv("BKM_SONIDO", "0", 1);
  EXPECT_EQ(args({}).sound_off, 1);
  setenv("BKM_VOL", "-3", 1);
  EXPECT_EQ(args({"--volume", "0.5"}).volume, 0);
  setenv("BKM_VOL", "inf", 1);
  EXPECT_EQ(args({"--volume", "0.5"}).volume, 0.5) << "a non-finite value is refused";
  setenv("BKM_GRAFICO", "dusk", 1);
  EXPECT_STREQ(args({"--pack", "neon"}).pack, "dusk");
}

TEST_F(Settings, EnvDReadsFiniteNumbersOnly) {
  setenv("BKM_LEAD", "2.5", 1);
  EXPECT_EQ(env_d("BKM_LEAD", 9), 2.5);
  for (const char* bad : {"nan", "inf", "-inf", "x", ""}) {
    setenv("BKM_LEAD", bad, 1);
    EXPECT_EQ(env_d("BKM_LEAD", 9), 9) << bad;
  }
  unsetenv("BKM_LEAD");
  EXPECT_EQ(env_d("BKM_LEAD", 9), 9);
}

TEST_F(Settings, OptionsAreReadFromTheFirstFileThatExists) {
  spit(dir / "opciones.json", R"({"version": 3, "stereo_pan": true})");
  load();
  EXPECT_EQ(fx_pan, 1);
  options(R"({"version": 3, "stereo_pan": false})");
  load();
  EXPECT_EQ(fx_pan, 0);
}

// What is left out is said once, in one line naming the keys.
TEST_F(Settings, VersionOneLosesItsVideoChoicesOnly) {
  port_log_close();  // error.log in this test's folder
  auto log_lines = [&] {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(slurp(dir / "error.log"));
    while (std::getline(in, line))
      if (line.starts_with("Options file ")) lines.push_back(line);
    return lines;
  };
  options(R"({"preset": "None", "aspect": 2, "filter": 0, "external": "x", "fullscreen": false,
              "stereo_pan": true})");
  load();
  for (const char* key : {"preset", "aspect", "filter", "external", "fullscreen"}) EXPECT_FALSE(cfg_has(key)) << key;
  EXPECT_EQ(fx_pan, 1);
  EXPECT_EQ(log_lines(), std::vector<std::string>{"Options file " + (dir / "options.json") +
                                                  " is older than version 2; left out: preset, external, filter, "
                                                  "aspect, fullscreen"});
  options(R"({"version": 2, "preset": "None"})");
  load();
  EXPECT_TRUE(cfg_has("preset"));
  // Nothing left out, nothing said.
  options(R"({"stereo_pan": true})");
  load();
  EXPECT_EQ(log_lines().size(), 1u);
  port_log_close();
}

TEST_F(Settings, ValuesAreClamped) {
  options(R"({"version": 3, "latency": 9, "latency_nointerp": -1, "volume_mp3": 1.5, "volume_chip_fx": -2,
              "volume": 4})");
  load();
  EXPECT_EQ(lead_with_interp, 6);
  EXPECT_EQ(lead_without_interp, 0);
  EXPECT_EQ(part_volume[0], 1);
  EXPECT_EQ(part_volume[3], 0);
  EXPECT_EQ(master_volume, 1);
}

TEST_F(Settings, TheLeadFollowsInterpolationAndBkmLead) {
  options(R"({"version": 3, "latency": 4, "latency_nointerp": 1})");
  load();
  EXPECT_EQ(lead, 4);
  setenv("BKM_NOINTERP", "1", 1);
  setenv("BKM_LEAD", "2", 1);
  load();
  EXPECT_EQ(lead, 1) << "without interpolation";
  EXPECT_EQ(lead_with_interp, 2);
  setenv("BKM_LEAD", "99", 1);
  unsetenv("BKM_NOINTERP");
  load();
  EXPECT_EQ(lead, 6) << "clamped";
}

TEST_F(Settings, OneOffOverridesAreNeverSaved) {
  options(R"({"version": 3, "sound": true, "volume": 0.5, "enemy_script_fix": true, "latency": 4,
              "frame_interpolation": true, "fast_input": false})");
  setenv("BKM_LEAD", "2", 1);
  setenv("BKM_NOINTERP", "1", 1);
  setenv("BKM_FASTIN", "1", 1);
  load(args({"--mute", "--volume", "0.1", "--no-fix"}));
  EXPECT_EQ(sound_on, 0);
  EXPECT_EQ(master_volume, 0.1);
  EXPECT_EQ(script_fix, 0);
  EXPECT_EQ(fast_input, 1);
  ASSERT_EQ(save_options(), 1);
  ASSERT_EQ(cfg_load((dir / "options.json").c_str()), 1);
  EXPECT_EQ(cfg_bool("sound", 0), 1);
  EXPECT_EQ(cfg_num("volume", 0), 0.5);
  EXPECT_EQ(cfg_bool("enemy_script_fix", 0), 1);
  EXPECT_EQ(cfg_num("latency", 0), 4);
  EXPECT_EQ(cfg_bool("frame_interpolation", 0), 1);
  EXPECT_EQ(cfg_bool("fast_input", 1), 0);
  EXPECT_EQ(cfg_num("version", 0), 3);
}

// A start without an audio device must not switch the sound off for good:
// without a device the menu has no sound tab to switch it on again.
TEST_F(Settings, AStartWithoutAnAudioDeviceKeepsTheStoredSoundChoice) {
  struct row {
    const char* sound;  // the stored member, if any
    bool saved;
  };
  for (const row& r : {row{R"(, "sound": true)", true}, row{R"(, "sound": false)", false}, row{"", true}}) {
    options(std::string(R"({"version": 3)") + r.sound + "}");
    load();
    sound_unavailable();
    EXPECT_EQ(sound_on, 0);
    ASSERT_EQ(save_options(), 1);
    ASSERT_EQ(cfg_load((dir / "options.json").c_str()), 1);
    EXPECT_EQ(cfg_bool("sound", !r.saved), r.saved) << r.sound;
  }
  options(R"({"version": 3, "sound": true})");
  load(args({"--mute"}));
  sound_unavailable();
  ASSERT_EQ(save_options(), 1);
  ASSERT_EQ(cfg_load((dir / "options.json").c_str()), 1);
  EXPECT_EQ(cfg_bool("sound", 0), 1) << "with --mute as well";
}

TEST_F(Settings, AChangeMadeAfterAnOverrideIsSaved) {
  options(R"({"version": 3, "volume": 0.5})");
  load(args({"--volume", "0.1"}));
  master_volume = 0.8;  // the user moved the slider
  ASSERT_EQ(save_options(), 1);
  ASSERT_EQ(cfg_load((dir / "options.json").c_str()), 1);
  EXPECT_EQ(cfg_num("volume", 0), 0.8);
}

TEST_F(Settings, TheGraphicsPackIsWrittenOnlyOnceTheUserChoseOne) {
  options(R"({"version": 3, "graphics_pack": "old"})");
  load();
  for (int chosen : {0, 1}) {
    gfx_pack_chosen = chosen;
    ASSERT_EQ(save_options(), 1);
    ASSERT_EQ(cfg_load((dir / "options.json").c_str()), 1);
    EXPECT_STREQ(cfg_str("graphics_pack", ""), chosen ? gfxpack_name() : "old");
  }
  EXPECT_STREQ(gfxpack_name(), "original");
  gfx_pack_chosen = 0;
}

TEST_F(Settings, NothingIsSavedInTestMode) {
  options(R"({"version": 3, "stereo_pan": true})");
  load();
  fx_pan = 0;
  setenv("BKM_TEST", "1", 1);
  save_options();
  EXPECT_EQ(slurp(dir / "options.json"), R"({"version": 3, "stereo_pan": true})");
}

TEST_F(Settings, AudioTarget) {
  lead = 3.6;
  low_latency_audio = 0;
  audio_trim_ms = 0;
  EXPECT_DOUBLE_EQ(aud_target_ms(), 4.6 * 20 + 30);
  audio_trim_ms = -500;
  EXPECT_EQ(aud_target_ms(), 30);
  audio_trim_ms = 0;
  low_latency_audio = 1;  // without a device the ordinary target holds
  EXPECT_DOUBLE_EQ(aud_target_ms(), 4.6 * 20 + 30);
  low_latency_audio = 0;
}

TEST_F(Settings, FoldersComeFromTheEnvironment) {
  EXPECT_EQ(std::string(options_path), dir / "options.json");
  EXPECT_EQ(std::string(save_dir), dir / "saves");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "saves"));
  setenv("BKM_ASSETS_DIR", "", 1);
  set_paths();
  EXPECT_STREQ(assets_root, "") << "no assets folder, not the root";
  setenv("BKM_USER_DIR", "", 1);
  set_paths();
  EXPECT_NE(std::string(options_path), dir / "options.json") << "empty counts as unset";
}

// The Amiga music is played from the game-data folder, and the loading
// screen tells the user to put the disk there: the pack list must look
// for it in the same folder, or "@amiga" is never offered.
TEST_F(Settings, TheAmigaDiskIsLookedForInTheGameDataFolder) {
  static std::string asked;
  music_entries = {};
  music_entries.amiga_find = [](const char* folder, char* out, int size) {
    asked = folder;
    std::snprintf(out, static_cast<size_t>(size), "%s/brakmoor.adf", folder);
    return 1;
  };
  setenv("BKM_ORIGINAL_DIR", (dir / "game").c_str(), 1);
  set_paths();
  load();
  EXPECT_EQ(asked, dir / "game");
  EXPECT_GE(pack_find("@amiga"), 0);
  asked.clear();
  scan_music_packs();
  EXPECT_EQ(asked, dir / "game");
  music_entries = {};
}

} // namespace
