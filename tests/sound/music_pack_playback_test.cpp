// Pack songs through the per-VBL audio assembly with the real loader: the
// chip music gives way to the song once it has loaded, repeating tunes wrap
// or follow their loop points, once-only tunes end and release the game.
#include <gtest/gtest.h>

#include <vector>

#include "load_watch.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "output_drain.h"
#include "song_files.h"
#include "sound/audio_assembly.h"
#include "sound/audio_output.h"
#include "sound/audio_state.h"
#include "sound/music_entries.h"
#include "sound/music_loader.h"
#include "support/machine/st_machine.h"
#include "support/temp_dir.h"
#include "ym_writer.h"

namespace {

using namespace song_files;

constexpr int chunk = 882;

class PackPlayback : public StMachineTest {
 protected:
  temp_dir pack;
  audio_output* out = nullptr;

  void SetUp() override {
    StMachineTest::SetUp();
    load_watch::start(pack.path);
    music_entries = {};
    music_loader_install();
    out = audio_output_new(44100, 1e7, 1024);
  }
  void TearDown() override {
    audio_shutdown();
    load_watch::stop();
    music_entries = {};
    audio_output_free(out);
    StMachineTest::TearDown();
  }
  void start_music(int mp3_on = 1) {
    audio_config c;
    c.output = out;
    c.mp3_on = mp3_on;
    c.music_dir = pack.path.c_str();
    audio_start(c);
    // The program's only loader lives to its end; here each start makes
    // one, kept reachable while its threads may still run.
    static auto* kept = new std::vector<music_loader*>;
    kept->push_back(aud.loader);
  }
  void song(int tune) {
    g_cpu.d[0] = static_cast<u32>(tune);
    g_cpu.a[7] = 0x10000;
    wr32(0x10000, 0x9000);
    host_hook(0x41BCC);
  }
  std::vector<i16> chunk_out() {
    audio_chunk(0, 0, 0);
    return drain_output(out);
  }
  // The song's frames as the assembly gives them at full volume.
  static std::vector<i16> as_played(const std::vector<i16>& song, int from, int n) {
    std::vector<i16> v;
    for (int i = 0; i < n; ++i)
      for (int side = 0; side < 2; ++side)
        v.push_back(static_cast<i16>(static_cast<float>(song[2 * (from + i) + side] / 32768.0) * 32767.0f));
    return v;
  }
  static std::vector<i16> cat(std::vector<i16> a, const std::vector<i16>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
};

TEST_F(PackPlayback, TheChipGivesWayToALoadedSongThatRepeats) {
  const std::vector<i16> map = counting_song(1200, 300);
  spit(pack / "map.wav", wav16(map));
  load_watch::hold(pack / "map.wav"); // also the prefetch's load of it
  start_music();
  ym_write(7, 0x3E); // tone A on
  ym_write(8, 15);
  song(1);
  load_watch::wait_held();
  // While the song loads, the chip's music falls silent and nothing plays.
  for (i16 v : chunk_out()) ASSERT_EQ(v, 0);
  EXPECT_EQ(aud.mp3_active, 1);
  load_watch::release();
  load_watch::wait_loaded(aud.loader, 1);
  aud.pb_elapsed = 0; // the song starts with the next chunk
  aud.looper = 0;
  EXPECT_EQ(chunk_out(), as_played(map, 0, chunk));
  EXPECT_EQ(chunk_out(), cat(as_played(map, chunk, 1200 - chunk), as_played(map, 0, 2 * chunk - 1200)));
  EXPECT_EQ(pb_once(), 0);
  EXPECT_EQ(pb_hold_value(), -1);
}

TEST_F(PackPlayback, LoopPointsOfTheSongAreFollowed) {
  const std::vector<i16> mission = counting_song(1500, 300);
  spit(pack / "mission.wav", wav16(mission));
  spit(pack / "mission.txt", "Loop point start = 1000\nLoop point back = 400\n");
  start_music();
  song(0);
  chunk_out();
  load_watch::wait_loaded(aud.loader, 0);
  aud.looper = 0;
  EXPECT_EQ(chunk_out(), as_played(mission, 0, chunk));
  // 118 frames up to the loop start, 600 from 400 to it again, 164 from 400.
  EXPECT_EQ(chunk_out(), cat(cat(as_played(mission, chunk, 118), as_played(mission, 400, 600)),
                             as_played(mission, 400, 164)));
}

TEST_F(PackPlayback, OnceOnlySongsEndAndLetTheGameGoOn) {
  const std::vector<i16> bonus = counting_song(1500, 300);
  for (int tune : {2, 3, 4, 6, 7}) {
    const std::string name = std::string(music_slot_name(tune)) + ".wav";
    spit(pack / name, wav16(bonus));
    start_music();
    song(tune);
    EXPECT_EQ(pb_once(), 1) << tune; // loading counts as playing
    chunk_out();
    load_watch::wait_loaded(aud.loader, tune);
    aud.looper = 0;
    EXPECT_EQ(chunk_out(), as_played(bonus, 0, chunk)) << tune;
    EXPECT_EQ(pb_hold_value(), 0xFF) << tune;
    const std::vector<i16> last = chunk_out();
    EXPECT_EQ(std::vector<i16>(last.begin(), last.begin() + 2 * (1500 - chunk)), as_played(bonus, chunk, 1500 - chunk))
        << tune;
    for (size_t i = 2 * (1500 - chunk); i < last.size(); ++i) ASSERT_EQ(last[i], 0) << tune;
    EXPECT_EQ(pb_once(), 0) << tune;
    EXPECT_EQ(pb_hold_value(), 0) << tune;
    audio_shutdown();
  }
}

TEST_F(PackPlayback, ChipMusicPlaysWithPackMusicOffOrWithoutTheSong) {
  spit(pack / "map.wav", wav16(counting_song(1200, 300)));
  for (int mp3_on : {0, 1}) {
    start_music(mp3_on);
    ym_write(7, 0x3E);
    ym_write(8, 15);
    song(mp3_on ? 5 : 1); // no highscores song in the pack
    bool sound = false;
    for (i16 v : chunk_out()) sound |= v != 0;
    EXPECT_TRUE(sound) << mp3_on;
    EXPECT_EQ(aud.mp3_active, 0) << mp3_on;
    EXPECT_EQ(music_slot_state_of(aud.loader, 5), SLOT_NONE);
    audio_shutdown();
  }
}

} // namespace

namespace {

// A song that becomes ready between the question whether it is there and
// the question whether it is still loading counts as there.
struct late_song {
  static inline int gets = 0;
  static inline std::vector<i16> pcm = std::vector<i16>(2 * 3000, 500);
  static void install() {
    gets = 0;
    music_entries.get = [](music_loader*, int, int* frames) -> const i16* {
      if (gets++ % 2 == 0) return nullptr; // loading at the first question
      *frames = 3000;
      return pcm.data();
    };
    music_entries.pending = [](music_loader*, int) { return 0; }; // ready by the second
  }
};

TEST_F(PackPlayback, ASongReadyBetweenTwoQuestionsIsPlaying) {
  start_music();
  music_entries = {};
  late_song::install();
  music_entries.take_once = looper_take_once;
  aud.pb_song = 7;
  EXPECT_EQ(pb_once(), 1);
  late_song::gets = 0;
  audio_chunk(0, 0, 0);
  EXPECT_EQ(aud.mp3_active, 1);
}

} // namespace
