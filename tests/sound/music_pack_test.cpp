// The music-pack list: which folders count as packs, the order of the list,
// finding a pack's folder and resolving a remembered pack name.
#include "sound/music_pack.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/music_entries.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> listed() {
  std::vector<std::string> names;
  for (int i = 0; i < pack_count(); ++i) names.emplace_back(pack_name(i));
  return names;
}

class MusicPacks : public ::testing::Test {
 protected:
  temp_dir root;
  static inline bool amiga_disk = false;
  static inline std::string asked_folder;

  void SetUp() override {
    music_entries = {};
    music_entries.amiga_find = [](const char* folder, char* out, int size) {
      asked_folder = folder;
      if (!amiga_disk) return 0;
      std::snprintf(out, static_cast<size_t>(size), "%s/brakmoor.adf", folder);
      return 1;
    };
    amiga_disk = false;
  }
  void TearDown() override { music_entries = {}; }

  void folder(const std::string& name, const std::vector<std::string>& files) {
    std::filesystem::create_directories(root / name);
    for (const std::string& f : files) spit(root / (name + "/" + f), "x");
  }
  // The usual root: songs of its own and folders that are packs or not.
  void usual_root() {
    spit(root / "mission.wav", "x");
    folder("remix", {"map.OGG"});
    folder("Arrange", {"mission.mp3", "map.txt"});
    folder(".hidden", {"mission.mp3"});
    folder("notes", {"readme.txt", "mp3"});
    folder("phone", {"mission.m4a"});
    folder("radio", {"bonus.wma"});
    folder("beta", {"song2.Wav"});
  }
  void scan() { scan_packs(root.path.c_str(), "/games/original"); }
};

TEST_F(MusicPacks, FoldersWithSongsArePacksSortedAfterTheFixedOnes) {
  usual_root();
  scan();
  EXPECT_EQ(listed(), (std::vector<std::string>{"@atari", "", "Arrange", "beta", "phone", "radio", "remix"}));
  EXPECT_EQ(asked_folder, "/games/original");
  amiga_disk = true;
  scan();
  EXPECT_EQ(listed(),
            (std::vector<std::string>{"@atari", "@amiga", "", "Arrange", "beta", "phone", "radio", "remix"}));
  // Without the Amiga player and without songs in the root itself.
  music_entries = {};
  std::filesystem::remove(root / "mission.wav");
  scan();
  EXPECT_EQ(listed(), (std::vector<std::string>{"@atari", "Arrange", "beta", "phone", "radio", "remix"}));
  // No root at all.
  scan_packs((root / "missing").c_str(), "");
  EXPECT_EQ(listed(), (std::vector<std::string>{"@atari"}));
}

TEST_F(MusicPacks, TheListStopsAtThirtyTwo) {
  spit(root / "map.mp3", "x");
  for (int i = 0; i < 40; ++i) folder("pack" + std::to_string(100 + i), {"map.mp3"});
  scan();
  ASSERT_EQ(pack_count(), max_packs);
  EXPECT_EQ(listed()[0], "@atari");
  EXPECT_EQ(listed()[1], "");
  for (int i = 3; i < max_packs; ++i) EXPECT_LT(strcasecmp(listed()[i - 1].c_str(), listed()[i].c_str()), 0);
}

TEST_F(MusicPacks, NamesLongerThanTheListHoldsAreNoPacks) {
  folder(std::string(pack_name_size, 'L'), {"map.mp3"});
  folder(std::string(pack_name_size - 1, 'k'), {"map.mp3"});
  scan();
  EXPECT_EQ(listed(), (std::vector<std::string>{"@atari", std::string(pack_name_size - 1, 'k')}));
}

TEST_F(MusicPacks, NamesAndFolders) {
  usual_root();
  scan();
  EXPECT_EQ(pack_find("arrange"), 2);
  EXPECT_EQ(pack_find("REMIX"), 6);
  EXPECT_EQ(pack_find(""), 1);
  EXPECT_EQ(pack_find("gone"), -1);
  EXPECT_STREQ(pack_name(-1), "");
  EXPECT_STREQ(pack_name(pack_count()), "");
  char out[700];
  pack_dir("/m", "", out, sizeof out);
  EXPECT_STREQ(out, "/m");
  pack_dir("/m", "Arrange", out, sizeof out);
  EXPECT_STREQ(out, "/m/Arrange");
}

TEST_F(MusicPacks, ResolvingARememberedName) {
  struct row {
    bool with_arrange;
    const char* name;
    const char* resolved;
  };
  const row rows[] = {
      {true, "ARRANGE", "Arrange"}, {true, "Remix", "remix"},  {true, "@atari", "Arrange"},
      {true, "@ATARI", "Arrange"},  {true, "vanished", "Arrange"}, {true, "", ""},
      {false, "@atari", ""},        {false, "vanished", ""},   {false, "remix", "remix"},
  };
  usual_root();
  for (const row& r : rows) {
    if (!r.with_arrange) std::filesystem::remove_all(root / "Arrange");
    scan();
    pack_resolve(r.name);
    EXPECT_STREQ(music_pack, r.resolved) << r.name;
  }
  // Without the root's own songs the first pack after "@atari" is a folder.
  std::filesystem::remove(root / "mission.wav");
  scan();
  pack_resolve("@atari");
  EXPECT_STREQ(music_pack, "beta");
  // Only the chip: the name stays as given, cut to the option's size.
  scan_packs((root / "missing").c_str(), "");
  pack_resolve(std::string(100, 'n').c_str());
  EXPECT_EQ(std::string(music_pack), std::string(pack_name_size - 1, 'n'));
  pack_resolve(music_pack);
  EXPECT_EQ(std::string(music_pack), std::string(pack_name_size - 1, 'n'));
}

} // namespace
