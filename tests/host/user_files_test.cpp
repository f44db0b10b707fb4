// The start-up's care of the user folder: the line that marks a start in
// error.log, and the sweep of temporary files that saves left behind.
#include "host/user_files.h"

#include "host/platform.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <string>

namespace {

const std::time_t now = std::time(nullptr);

void age(const std::string& path, std::time_t seconds) {
  const timespec when[2] = {{now - seconds, 0}, {now - seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(UserFiles, TheStartLineNamesTheVersionTheTimeAndTheDataFolder) {
  log_capture log;
  spit(log.dir / "error.log", "a line of the run before\n");
  log_start("1.2.3 (abc)", "/games/original");
  const std::string text = log.text();
  const std::regex line(
      "a line of the run before\nBrakmoor native 1\\.2\\.3 \\(abc\\) started "
      "20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}; "
      "game data looked for in /games/original\n");
  EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST(UserFiles, OnlyOurOwnStaleTemporaryFilesAreSwept) {
  log_capture log;
  temp_dir user;
  const std::string saves = user / "saves";
  ASSERT_EQ(port_mkdir(saves.c_str()), 1);
  struct entry {
    const char* name;
    bool in_saves;  // else in the user folder, beside options.json
    bool swept;
  } entries[] = {
      {"slot1.bkms.tmp", true, true},          {"slot109.bkms.tmp", true, true},
      {"slot0.bkms.tmp", true, true},          {"slot9.bkms.tmp", true, true},
      {"crash3_start.bkms.tmp", true, true},   {"crash0_end.bkms.tmp", true, true},
      {"crash19_end.bkms.tmp", true, true},    {"slox1.bkms.tmp", true, false},
      {"crasx3_end.bkms.tmp", true, false},    {"slot1_.bkms.tmp", true, false},
      {"options.json.tmp", false, true},       {"slot1.bkms", true, false},
      {"slot.bkms.tmp", true, false},          {"slotA.bkms.tmp", true, false},
      {"SLOT1.BKMS.TMP", true, false},         {"slot1.bkms.tmp.tmp", true, false},
      {"xslot1.bkms.tmp", true, false},        {"crash3_inputs.txt.tmp", true, false},
      {"crash_start.bkms.tmp", true, false},   {"crash3_middle.bkms.tmp", true, false},
      {"notes.tmp", true, false},              {"options.json.tmp", true, false},
      {"slot1.bkms.tmp", false, false},        {"options.json", false, false},
  };
  auto path_of = [&](const entry& e) { return (e.in_saves ? saves : user.path) + "/" + e.name; };
  for (const entry& e : entries) {
    spit(path_of(e), "x");
    age(path_of(e), 3600);
  }
  // Saves that may still be written (younger than a minute), a link and a
  // folder under our names.
  spit(saves + "/slot2.bkms.tmp", "in progress");
  age(saves + "/slot2.bkms.tmp", 59);
  spit(saves + "/slot5.bkms.tmp", "a minute old");
  age(saves + "/slot5.bkms.tmp", 60);
  spit(user / "target", "not ours");
  ASSERT_EQ(symlink((user / "target").c_str(), (saves + "/slot3.bkms.tmp").c_str()), 0);
  age(saves + "/slot3.bkms.tmp", 3600);
  ASSERT_EQ(port_mkdir((saves + "/slot4.bkms.tmp").c_str()), 1);
  age(saves + "/slot4.bkms.tmp", 3600);

  EXPECT_EQ(sweep_stale_tmp_files(saves.c_str(), (user / "options.json").c_str(), now), 9);
  for (const entry& e : entries) {
    EXPECT_EQ(std::filesystem::exists(path_of(e)), !e.swept) << path_of(e);
    EXPECT_EQ(log.has("Removed " + path_of(e) + ", left behind by a save that did not finish"), e.swept)
        << path_of(e);
  }
  EXPECT_TRUE(std::filesystem::exists(saves + "/slot2.bkms.tmp")) << "a save in progress";
  EXPECT_FALSE(std::filesystem::exists(saves + "/slot5.bkms.tmp"));
  EXPECT_TRUE(std::filesystem::is_symlink(saves + "/slot3.bkms.tmp"));
  EXPECT_EQ(slurp(user / "target"), "not ours");
  EXPECT_TRUE(std::filesystem::is_directory(saves + "/slot4.bkms.tmp"));

  // Nothing to do: a missing saves folder, no paths at all.
  EXPECT_EQ(sweep_stale_tmp_files((user / "none").c_str(), (user / "none/options.json").c_str(), std::time(nullptr)), 0);
  EXPECT_EQ(sweep_stale_tmp_files(nullptr, nullptr, std::time(nullptr)), 0);
  EXPECT_EQ(sweep_stale_tmp_files("", "", std::time(nullptr)), 0);
}

}  // namespace
