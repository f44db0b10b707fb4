// The loopers and the loop points: sample-exact loops, the loop points
// file's lines, and their conversion to the trimmed 44,100 Hz song.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/music_loader.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

// A song whose frame i holds i on the left and -i on the right.
std::vector<i16> numbered(int frames) {
  std::vector<i16> s;
  for (int i = 0; i < frames; ++i) s.push_back(static_cast<i16>(i)), s.push_back(static_cast<i16>(-i));
  return s;
}

// The left sides of n frames taken by a looper, checking the right sides.
template <class Take>
std::vector<int> take(int n, Take looper) {
  std::vector<i16> out(2 * static_cast<size_t>(n), 12345);
  looper(out.data());
  std::vector<int> left;
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(out[2 * i + 1], -out[2 * i]) << i;
    left.push_back(out[2 * i]);
  }
  return left;
}

TEST(MusicLooper, OncePlaysToTheEndThenSilence) {
  const std::vector<i16> song = numbered(5);
  int pos = 2;
  int ended = -1;
  EXPECT_EQ(take(2, [&](i16* out) { ended = looper_take_once(&pos, song.data(), 5, 2, out); }),
            (std::vector<int>{2, 3}));
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(take(4, [&](i16* out) { ended = looper_take_once(&pos, song.data(), 5, 4, out); }),
            (std::vector<int>{4, 0, 0, 0}));
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(take(2, [&](i16* out) { ended = looper_take_once(&pos, song.data(), 5, 2, out); }),
            (std::vector<int>{0, 0}));
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(pos, 5);
}

TEST(MusicLooper, RepeatWrapsTheWholeSong) {
  const std::vector<i16> song = numbered(4);
  int pos = 10; // 10 mod 4
  EXPECT_EQ(take(7, [&](i16* out) { looper_take(&pos, song.data(), 4, 7, out); }),
            (std::vector<int>{2, 3, 0, 1, 2, 3, 0}));
  EXPECT_EQ(pos, 1);
  pos = -3;
  EXPECT_EQ(take(2, [&](i16* out) { looper_take(&pos, song.data(), 4, 2, out); }), (std::vector<int>{1, 2}));
}

TEST(MusicLooper, LoopPointsJumpBackSampleExactly) {
  const std::vector<i16> song = numbered(12);
  struct row {
    int pos, start, back, n;
    std::vector<int> frames;
    int pos_after;
  };
  const row rows[] = {
      {0, 10, 4, 20, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 4, 5, 6, 7, 8, 9, 4, 5, 6, 7}, 8},
      {11, 10, 4, 3, {5, 6, 7}, 8},                // a position past the loop start folds into the loop
      {12, 10, 4, 2, {0, 1}, 2},                   // a position beyond the song restarts at 0
      {-1, 10, 4, 2, {0, 1}, 2},
      {8, 12, 0, 6, {8, 9, 10, 11, 0, 1}, 2},      // a loop start at the song's end
      {0, 3, 2, 5, {0, 1, 2, 2, 2}, 3},            // a loop of one frame
      {9, 20, 4, 5, {9, 10, 11, 4, 5}, 6},         // a loop start past the end wraps at the end
      {10, 4, 4, 4, {10, 11, 0, 1}, 2},            // no loop: the whole song repeats
      {10, 14, 12, 4, {10, 11, 0, 1}, 2},          // a loop-back point at the end: no loop
  };
  for (const row& r : rows) {
    int pos = r.pos;
    EXPECT_EQ(take(r.n, [&](i16* out) { looper_take_lp(&pos, song.data(), 12, r.start, r.back, r.n, out); }),
              r.frames)
        << r.pos << " " << r.start << " " << r.back;
    EXPECT_EQ(pos, r.pos_after) << r.pos << " " << r.start << " " << r.back;
  }
}

TEST(MusicLooper, SongsOfOneFrameOrNone) {
  const std::vector<i16> one = numbered(2); // frame 0 only is the song
  const std::vector<i16> lone = {7, -7};
  int pos = 5;
  EXPECT_EQ(take(3, [&](i16* out) { looper_take(&pos, lone.data(), 1, 3, out); }), (std::vector<int>{7, 7, 7}));
  EXPECT_EQ(pos, 0);
  for (int which = 0; which < 3; ++which) {
    pos = 0;
    EXPECT_EQ(take(3,
                   [&](i16* out) {
                     if (which == 0) looper_take(&pos, one.data(), 0, 3, out);
                     if (which == 1) looper_take_lp(&pos, one.data(), 0, 5, 1, 3, out);
                     if (which == 2) looper_take_once(&pos, one.data(), 0, 3, out);
                   }),
              (std::vector<int>{0, 0, 0}))
        << which;
  }
}

TEST(MusicLoopPoints, FileBesideTheSong) {
  char out[64];
  const std::pair<const char*, const char*> rows[] = {
      {"/m/pack/mission.mp3", "/m/pack/mission.txt"},
      {"/m/pack.v2/map", "/m/pack.txt"},  // the last '.' of the path
      {"song", "song.txt"},
  };
  for (const auto& [song, txt] : rows) {
    loop_points_file(song, out, sizeof out);
    EXPECT_STREQ(out, txt);
  }
}

TEST(MusicLoopPoints, LinesOfTheTextFile) {
  struct row {
    std::string text;
    int found;
    i64 start, back;
  };
  const std::string long_prefix(195, 'x');
  const row rows[] = {
      {"Loop Point Start = 441000\nloop point BACK=\"88200\"\n", 3, 441000, 88200},
      {"loop point start\t=\t\" 12\r\rloop point back = 7", 3, 12, 7},
      {"loop point start = 5\nloop point start = 9", 1, 9, -1},      // the later line wins
      {"loop point start = x9\nloop point back 9\n", 0, -1, -1},    // no value
      {"loop point start = 5\nloop point start = nothing", 1, 5, -1},
      {"the loop point start and loop point back = 3", 1, 3, -1},    // start is looked for first
      {"loop point back = 99999999999999999999999", 2, -1, i64{1} << 40},
      {long_prefix + "loop point start = 4", 0, -1, -1},             // past the 199 compared characters
      {std::string(183, 'x') + "loop point start = 4", 1, 4, -1},   // ends at the 199th
      {std::string(184, 'x') + "loop point start = 4", 0, -1, -1},  // ends at the 200th
      {std::string("loop point\0start = 1\nloop point back = 2", 40), 2, -1, 2},
      {"", 0, -1, -1},
  };
  for (const row& r : rows) {
    i64 start = -1, back = -1;
    EXPECT_EQ(loop_points_parse(r.text.data(), r.text.size(), &start, &back), r.found) << r.text;
    EXPECT_EQ(start, r.start) << r.text;
    EXPECT_EQ(back, r.back) << r.text;
  }
}

TEST(MusicLoopPoints, ConvertedToTheTrimmedSong) {
  temp_dir dir;
  const std::string song = dir / "mission.ogg";
  struct row {
    std::string text;
    int lead_in, frames, rate;
    int ok, start, back;
  };
  const row rows[] = {
      {"LOOP POINT START=441000\n  Loop point back =  88200\n", 2000, 500000, 44100, 1, 439000, 86200},
      {"loop point start = 48000\nloop point back = 24000", 0, 50000, 48000, 1, 44100, 22050},
      {"loop point start = 1\nloop point back = 0", 0, 5000, 32000, 1, 1, 0},  // 1.378 rounds to 1
      {"loop point start = 100\nloop point back = 4", 0, 5000, 32000, 1, 138, 6},  // 5.51 rounds to 6
      {"loop point start = 5000\nloop point back = 1000", 1000, 4000, 44100, 1, 4000, 0}, // start at the end
      {"loop point start = 441000", 0, 500000, 44100, 0, -1, -1},              // one value: none
  };
  for (const row& r : rows) {
    spit(dir / "mission.txt", r.text);
    int start = -1, back = -1;
    EXPECT_EQ(read_loop_points(song.c_str(), r.lead_in, r.frames, r.rate, &start, &back), r.ok) << r.text;
    EXPECT_EQ(start, r.start) << r.text;
    EXPECT_EQ(back, r.back) << r.text;
  }
  std::remove((dir / "mission.txt").c_str());
  int start = -1, back = -1;
  EXPECT_EQ(read_loop_points(song.c_str(), 0, 5000, 44100, &start, &back), 0);
}

TEST(MusicLoopPoints, PointsOutsideTheSongAreLoggedAndIgnored) {
  temp_dir dir;
  log_capture log;
  const std::string song = dir / "fail.wav";
  const std::string txt = dir / "fail.txt";
  struct row {
    const char* text;
    int lead_in, frames, rate;
    const char* numbers;
  };
  const row rows[] = {
      {"loop point start = 3000\nloop point back = 1500", 2000, 9000, 44100, "start 3000, back 1500, length 11000"},
      {"loop point start = 1000\nloop point back = 1000", 0, 9000, 44100, "start 1000, back 1000, length 9000"},
      {"loop point start = 9002\nloop point back = 1", 1, 9000, 44100, "start 9002, back 1, length 9001"},
      {"loop point start = 22050\nloop point back = 100", 0, 9000, 22050, "start 44100, back 200, length 9000"},
  };
  for (const row& r : rows) {
    spit(txt, r.text);
    int start = -1, back = -1;
    EXPECT_EQ(read_loop_points(song.c_str(), r.lead_in, r.frames, r.rate, &start, &back), 0) << r.text;
    EXPECT_TRUE(log.has("Music: loop points of " + txt + " are outside the song (" + r.numbers + "): ignored"))
        << log.text();
  }
}

} // namespace
