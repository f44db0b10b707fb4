// The music loader's song slots with their loading threads: requests,
// failures, the pending test, the prefetch order, and a folder switch while
// a song loads. The tests wait on what the loading threads report, never on
// the clock.
#include "sound/music_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "load_watch.h"
#include "song_files.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace song_files;

// A folder switch while the old folder's mission song is held in its load.
struct folder_switch {
  temp_dir other;
  std::string old_song, new_song;
  music_loader* l = nullptr;
};

class MusicLoader : public ::testing::Test {
 protected:
  temp_dir dir;

  void SetUp() override { load_watch::start(dir.path); }
  void TearDown() override { load_watch::stop(); }

  // Loaders live to the end of the process, as in the program; their
  // detached threads may still be finishing when a test ends.
  music_loader* loader(const std::string& folder) {
    static auto* kept = new std::vector<music_loader*>;
    kept->push_back(music_new(folder.c_str()));
    return kept->back();
  }
  std::string song(const std::string& name, int frames = 1200, int offset = 100) {
    const std::string path = dir / name;
    spit(path, wav16(counting_song(frames, offset)));
    return path;
  }
  void switch_while_loading(folder_switch* f) {
    load_watch::watch(f->other.path);
    f->old_song = song("mission.wav", 1200, 100);
    f->new_song = f->other / "mission.wav";
    spit(f->new_song, wav16(counting_song(1300, 5000)));
    f->l = loader(dir.path);
    int frames;
    load_watch::hold(f->old_song);
    music_get(f->l, 0, &frames);
    load_watch::wait_held();
    music_set_dir(f->l, f->other.path.c_str());
  }
  static std::vector<i16> pcm_of(music_loader* l, int slot) {
    int frames = 0;
    const i16* pcm = music_get(l, slot, &frames);
    return pcm ? std::vector<i16>(pcm, pcm + 2 * static_cast<size_t>(frames)) : std::vector<i16>{};
  }
};

TEST_F(MusicLoader, SlotsHaveTheirFileNamesAndTheFirstExtensionFound) {
  const char* names[music_slots] = {"mission", "map",    "song2",  "bonus",  "song4",  "highscores",
                                    "endlevel", "fail",  "song8",  "song9",  "song10", "song11",
                                    "song12",  "song13", "song14", "song15"};
  char path[600];
  for (int slot = 0; slot < music_slots; ++slot) {
    EXPECT_EQ(music_find_path(dir.path.c_str(), slot, path, sizeof path), 0) << slot;
    spit(dir / (std::string(names[slot]) + ".wav"), "x");
    ASSERT_EQ(music_find_path(dir.path.c_str(), slot, path, sizeof path), 1) << slot;
    EXPECT_EQ(path, dir / (std::string(names[slot]) + ".wav"));
  }
  spit(dir / "mission.ogg", "x");
  music_find_path(dir.path.c_str(), 0, path, sizeof path);
  EXPECT_EQ(path, dir / "mission.ogg");
  spit(dir / "mission.mp3", "x");
  music_find_path(dir.path.c_str(), 0, path, sizeof path);
  EXPECT_EQ(path, dir / "mission.mp3");
  for (int slot : {-1, 16}) EXPECT_EQ(music_find_path(dir.path.c_str(), slot, path, sizeof path), 0);
  // A path that does not fit is no path.
  char small[8];
  EXPECT_EQ(music_find_path(dir.path.c_str(), 0, small, sizeof small), 0);
}

TEST_F(MusicLoader, ASlotLoadsWhenAskedForAndKeepsItsLoopPoints) {
  const std::string path = song("mission.wav", 1500);
  spit(dir / "mission.txt", "loop point start = 1400\nloop point back = 300\n");
  music_loader* l = loader(dir.path);
  int frames = -1, start = -1, back = -1;
  load_watch::hold(path);
  EXPECT_EQ(music_get(l, 0, &frames), nullptr);
  load_watch::wait_held();
  EXPECT_EQ(music_slot_state_of(l, 0), SLOT_LOADING);
  EXPECT_EQ(music_pending(l, 0), 1);
  EXPECT_EQ(music_get(l, 0, &frames), nullptr); // no second load
  EXPECT_EQ(music_loop_points(l, 0, &start, &back), 0);
  load_watch::release();
  load_watch::wait_ended(path);
  EXPECT_EQ(music_slot_state_of(l, 0), SLOT_READY);
  EXPECT_EQ(pcm_of(l, 0), counting_song(1500));
  EXPECT_EQ(music_pending(l, 0), 0);
  ASSERT_EQ(music_loop_points(l, 0, &start, &back), 1);
  EXPECT_EQ(start, 1400);
  EXPECT_EQ(back, 300);
  EXPECT_EQ(load_watch::count(load_watch::begun_now(), path), 1u);
}

TEST_F(MusicLoader, SlotsWithoutASongOrOutsideTheTable) {
  song("mission.wav");
  music_loader* l = loader(dir.path);
  int frames = -1, start, back;
  for (int slot : {-1, 16, 1000}) {
    EXPECT_EQ(music_get(l, slot, &frames), nullptr);
    EXPECT_EQ(music_pending(l, slot), 0);
    EXPECT_EQ(music_loop_points(l, slot, &start, &back), 0);
  }
  EXPECT_EQ(music_pending(l, 0), 1); // has a file, never asked for
  EXPECT_EQ(music_slot_state_of(l, 0), SLOT_NONE);
  EXPECT_EQ(music_pending(l, 1), 0);
  EXPECT_EQ(music_get(l, 1, &frames), nullptr);
  EXPECT_EQ(music_slot_state_of(l, 1), SLOT_NONE);
  EXPECT_TRUE(load_watch::begun_now().empty());
  // A ready song without loop points has none.
  music_get(l, 0, &frames);
  load_watch::wait_ended(dir / "mission.wav");
  EXPECT_EQ(music_loop_points(l, 0, &start, &back), 0);
}

TEST_F(MusicLoader, ASongThatCannotBeDecodedFailsUntilTheFolderChanges) {
  log_capture log;
  const std::string path = dir / "fail.mp3";
  spit(path, std::string(100, 'z'));
  music_loader* l = loader(dir.path);
  int frames;
  EXPECT_EQ(music_get(l, 7, &frames), nullptr);
  load_watch::wait_ended(path);
  EXPECT_EQ(music_slot_state_of(l, 7), SLOT_FAILED);
  EXPECT_EQ(music_pending(l, 7), 0);
  EXPECT_EQ(music_get(l, 7, &frames), nullptr);
  EXPECT_TRUE(log.has("Music: cannot decode " + path)) << log.text();
  EXPECT_EQ(load_watch::count(load_watch::begun_now(), path), 1u);
  // The same folder again is a switch: the slot may be tried anew.
  spit(path, wav16(counting_song(1100)));
  music_set_dir(l, dir.path.c_str());
  EXPECT_EQ(music_pending(l, 7), 1);
  music_get(l, 7, &frames);
  load_watch::wait_ended(path, 2);
  EXPECT_EQ(pcm_of(l, 7), counting_song(1100));
}

TEST_F(MusicLoader, FolderSwitchThrowsAwayALoadForTheOldFolder) {
  folder_switch f;
  switch_while_loading(&f);
  EXPECT_EQ(music_slot_state_of(f.l, 0), SLOT_NONE);
  // The new folder's song loads while the old load still runs...
  int frames;
  music_get(f.l, 0, &frames);
  load_watch::wait_ended(f.new_song);
  ASSERT_EQ(pcm_of(f.l, 0), counting_song(1300, 5000));
  // ...and the old load's result, arriving last, is thrown away.
  load_watch::release();
  load_watch::wait_ended(f.old_song);
  EXPECT_EQ(pcm_of(f.l, 0), counting_song(1300, 5000));
}

TEST_F(MusicLoader, FolderSwitchLeavesTheSlotFreeForTheNewFolder) {
  folder_switch f;
  switch_while_loading(&f);
  load_watch::release();
  load_watch::wait_ended(f.old_song);
  EXPECT_EQ(music_slot_state_of(f.l, 0), SLOT_NONE);
  EXPECT_EQ(music_pending(f.l, 0), 1);
  int frames;
  music_get(f.l, 0, &frames);
  load_watch::wait_ended(f.new_song);
  EXPECT_EQ(pcm_of(f.l, 0), counting_song(1300, 5000));
}

TEST_F(MusicLoader, PrefetchLoadsTheUsualSongsInOrderOnce) {
  std::vector<std::string> paths;
  char path[600];
  for (int slot = 0; slot < music_slots; ++slot) song(std::string(music_slot_name(slot)) + ".wav", 1000 + slot);
  music_loader* l = loader(dir.path);
  // The map is ready before the prefetch starts: it is skipped.
  int frames;
  music_get(l, 1, &frames);
  load_watch::wait_ended(dir / "map.wav");
  load_watch::hold(dir / "mission.wav");
  music_prefetch(l);
  load_watch::wait_held();
  music_prefetch(l); // already running for this folder
  load_watch::release();
  const int expected[] = {0, 6, 3, 7, 5, 2, 4, 8, 9, 10, 11};
  for (int slot : expected) {
    music_find_path(dir.path.c_str(), slot, path, sizeof path);
    paths.emplace_back(path);
  }
  load_watch::wait_ended(paths.back());
  std::vector<std::string> begun = load_watch::begun_now();
  begun.erase(begun.begin()); // the map's own load
  EXPECT_EQ(begun, paths);
  for (int slot : expected) EXPECT_EQ(pcm_of(l, slot), counting_song(1000 + slot)) << slot;
  for (int slot = 12; slot < music_slots; ++slot) EXPECT_EQ(music_slot_state_of(l, slot), SLOT_NONE) << slot;
}

// The prefetch and the game's requests for every slot at once: two songs
// decode, the others wait for their turn, and all load in the end.
TEST_F(MusicLoader, AtMostTwoSongsDecodeAtOnce) {
  for (int slot = 0; slot < music_slots; ++slot) song(std::string(music_slot_name(slot)) + ".wav", 1000 + slot);
  music_loader* l = loader(dir.path);
  load_watch::hold_all();
  music_prefetch(l);
  int frames;
  for (int slot = 0; slot < music_slots; ++slot) music_get(l, slot, &frames);
  // Every slot is loading, by the prefetch or a request of its own: each
  // load has begun (and is held there) or waits for its turn.
  load_watch::wait([] { return load_watch::begun.size() + load_watch::waited.size() >= music_slots; });
  EXPECT_EQ(load_watch::begun_now().size(), size_t{music_decodes_at_once});
  EXPECT_EQ(load_watch::waited_now().size(), size_t{music_slots - music_decodes_at_once});
  load_watch::release();
  load_watch::wait([] { return load_watch::ended.size() >= music_slots; });
  EXPECT_EQ(load_watch::most_decoding_now(), size_t{music_decodes_at_once});
  for (int slot = 0; slot < music_slots; ++slot) EXPECT_EQ(pcm_of(l, slot), counting_song(1000 + slot)) << slot;
}

// Loads still waiting for their turn when the folder changes decode nothing,
// so the new folder's songs do not wait behind them.
TEST_F(MusicLoader, LoadsWaitingWhenTheFolderChangesDecodeNothing) {
  for (int slot = 0; slot < music_slots; ++slot) song(std::string(music_slot_name(slot)) + ".wav");
  temp_dir other;
  load_watch::watch(other.path);
  spit(other / "mission.wav", wav16(counting_song(1300, 5000)));
  music_loader* l = loader(dir.path);
  load_watch::hold_all();
  int frames;
  for (int slot = 0; slot < music_slots; ++slot) music_get(l, slot, &frames);
  load_watch::wait([] { return load_watch::begun.size() + load_watch::waited.size() >= music_slots; });
  music_set_dir(l, other.path.c_str());
  load_watch::release();
  music_get(l, 0, &frames);
  load_watch::wait_loaded(l, 0);
  EXPECT_EQ(pcm_of(l, 0), counting_song(1300, 5000));
  // Every old load has ended; only the two that had begun decoded.
  auto old_ones = [this](const std::vector<std::string>& list) {
    const std::string folder = dir.path + "/";
    return std::count_if(list.begin(), list.end(), [&](const std::string& p) { return p.rfind(folder, 0) == 0; });
  };
  load_watch::wait([&] { return old_ones(load_watch::ended) >= music_slots; });
  EXPECT_EQ(old_ones(load_watch::begun_now()), music_decodes_at_once);
  for (int slot = 1; slot < music_slots; ++slot) EXPECT_EQ(music_slot_state_of(l, slot), SLOT_NONE) << slot;
}

} // namespace
