// The golden file's text: written and read back, its seal broken by any
// edited byte or merge leftover, and a difference that tells a changed
// mission image from changed frames.
#include <gtest/gtest.h>

#include <string>

#include "support/runs/golden_frames.h"

namespace {

golden_file sample() {
  return {{"reason: the first whole mission"},
          "0123456789ab",
          {{0, 0, 0, "aaaaaaaaaaaa"}, {64, 64, 0, "bbbbbbbbbbbb"}, {90, 90, 1, "cccccccccccc"}},
          {{"frames", "4668"}, {"score1", "2000"}}};
}

TEST(GoldenFrames, ReadsBackWhatItWrites) {
  const std::string text = golden_text(sample());
  golden_file back;
  std::string why;
  ASSERT_TRUE(golden_parse(text, back, why)) << why;
  EXPECT_EQ(golden_difference(sample(), back), "");
  EXPECT_EQ(back.reasons, sample().reasons);
  EXPECT_EQ(back.summary, sample().summary);
}

TEST(GoldenFrames, AnEditedLineOrMergeLeftoverBreaksTheSeal) {
  const std::string text = golden_text(sample());
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"one hash digit", [&] {
         std::string t = text;
         t[t.find("bbbb")] = 'c';
         return t;
       }()},
      {"a merge marker", "<<<<<<< HEAD\n" + text},
      {"a reason added by hand", "reason: tidied\n" + text},
      {"a line dropped", [&] {
         std::string t = text;
         const size_t at = t.find("frame 64");
         t.erase(at, t.find('\n', at) + 1 - at);
         return t;
       }()},
      {"no seal", text.substr(0, text.rfind("seal "))},
  };
  for (const auto& c : cases) {
    golden_file back;
    std::string why;
    EXPECT_FALSE(golden_parse(c.text, back, why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
}

TEST(GoldenFrames, TellsAChangedImageFromChangedFrames) {
  golden_file now = sample();
  now.image_hash = "ffffffffffff";
  now.frames[1].hash = "dddddddddddd";
  EXPECT_NE(golden_difference(sample(), now).find("mission image changed"), std::string::npos);

  now = sample();
  now.frames[1].hash = "dddddddddddd";
  const std::string frames = golden_difference(sample(), now);
  EXPECT_NE(frames.find("frames changed"), std::string::npos) << frames;
  EXPECT_NE(frames.find("frame 64"), std::string::npos) << frames;

  now = sample();
  now.summary[1].second = "0";
  EXPECT_NE(golden_difference(sample(), now).find("score1"), std::string::npos);
}

TEST(GoldenFrames, WantsEvery64thTheSectionsFirstsAndTheLast) {
  EXPECT_TRUE(golden_frame_wanted(0, 0, 0, false));
  EXPECT_TRUE(golden_frame_wanted(128, 2, 2, false));
  EXPECT_TRUE(golden_frame_wanted(1201, 1, 0, false)) << "a new section";
  EXPECT_TRUE(golden_frame_wanted(4667, 6, 6, true)) << "the goal's";
  EXPECT_FALSE(golden_frame_wanted(65, 0, 0, false));
}

} // namespace
