// Game data selection ("BKM" or a Vellicor disk image), identification by
// CRC-32, and reads of the logical file through the image's extents.
#include "machine/game_data.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/log_capture.h"
#include "support/synthetic/synthetic_game_data.h"

namespace {

const std::string no_data_error =
    "No supported game data found. Expected original/BKM or a Vellicor .st image (CRC32 F6E84D7A) in original/.";

std::string hex8(u32 v) {
  char b[16];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

std::vector<u8> read_logical(u64 offset, u64 length) {
  std::vector<u8> out(length, 0xAA);
  out.resize(game_data_read(offset, out.data(), length));
  return out;
}

class GameData : public ::testing::Test {
 protected:
  void TearDown() override { game_data_release(); }
  temp_dir folder;
  log_capture log;
  synth_game_data data = synth_standard();
};

TEST(GameDataChecksum, Crc32MatchesTheUsualCheckValue) {
  EXPECT_EQ(game_data_crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(game_data_crc32("", 0), 0u);
  // Every byte value once, so every table entry takes part (zlib's value).
  u8 all[256];
  for (int i = 0; i < 256; ++i) all[i] = static_cast<u8>(i);
  EXPECT_EQ(game_data_crc32(all, sizeof all), 0x29058C73u);
}

TEST(GameDataExtents, EveryRunOfTheDiskLayout) {
  // The image's layout as runs: within a run each entry lies $1400 further
  // in the logical file and $2800 further in the image.
  struct run {
    int first, last;
    u32 logical, image, length;
  };
  const run runs[] = {
      {0, 0, 0x400, 0x3FE, 0xE00},       {1, 1, 0x1200, 0x1200, 0x200},     {2, 46, 0x1400, 0x2800, 0x1400},
      {47, 47, 0x39800, 0x70A00, 0xC00}, {48, 48, 0x3A400, 0x73C00, 0x800}, {49, 62, 0x3AC00, 0x75800, 0x1400},
      {63, 63, 0x4C400, 0x98800, 0x800}, {64, 64, 0x4CE00, 0x99200, 0xA00}, {65, 66, 0x4D800, 0x9B000, 0x1400},
      {67, 67, 0x50000, 0x3FE, 0xE00},   {68, 68, 0x50E00, 0x3FE, 0x600},   {69, 80, 0x51400, 0xA2800, 0x1400},
      {81, 81, 0x60400, 0x3FE, 0xE00},   {82, 82, 0x61200, 0x3FE, 0xE00},   {83, 83, 0x62000, 0x3FE, 0xC00},
      {84, 84, 0x62C00, 0x1400, 0xA00},  {85, 85, 0x63600, 0x3FE, 0x200},   {86, 86, 0x63800, 0x1400, 0x600},
      {87, 101, 0x65400, 0x3C00, 0x1400}, {102, 102, 0xC7600, 0x3FE, 0xA00},
  };
  const auto ext = vellicor_extents();
  ASSERT_EQ(ext.size(), 103u);
  int next = 0;
  for (const run& r : runs) {
    ASSERT_EQ(r.first, next);
    for (int i = r.first; i <= r.last; ++i) {
      const u32 n = static_cast<u32>(i - r.first);
      EXPECT_EQ(ext[i].logical, r.logical + n * 0x1400) << i;
      EXPECT_EQ(ext[i].image_offset, r.image + n * 0x2800) << i;
      EXPECT_EQ(ext[i].length, r.length) << i;
    }
    next = r.last + 1;
  }
  EXPECT_EQ(next, 103);
}

TEST(GameDataExtents, TableHasTheImagesShape) {
  const auto ext = vellicor_extents();
  ASSERT_EQ(ext.size(), 103u);
  u64 mapped = 0;
  for (size_t i = 0; i < ext.size(); ++i) {
    mapped += ext[i].length;
    EXPECT_LE(u64{ext[i].image_offset} + ext[i].length, vellicor_image_size) << i;
    if (i > 0) {
      EXPECT_GE(ext[i].logical, ext[i - 1].logical + ext[i - 1].length) << "ascending, apart: " << i;
    }
  }
  EXPECT_EQ(mapped, 486912u);
  struct row {
    int index;
    u32 logical, image, length;
  };
  const row rows[] = {
      {0, 0x400, 0x3FE, 0xE00},       {2, 0x1400, 0x2800, 0x1400},    {46, 0x38400, 0x70800, 0x1400},
      {47, 0x39800, 0x70A00, 0xC00},  {62, 0x4B000, 0x96000, 0x1400}, {66, 0x4EC00, 0x9D800, 0x1400},
      {69, 0x51400, 0xA2800, 0x1400}, {80, 0x5F000, 0xBE000, 0x1400}, {86, 0x63800, 0x1400, 0x600},
      {101, 0x76C00, 0x26C00, 0x1400}, {102, 0xC7600, 0x3FE, 0xA00},
  };
  for (const row& r : rows) {
    EXPECT_EQ(ext[r.index].logical, r.logical) << r.index;
    EXPECT_EQ(ext[r.index].image_offset, r.image) << r.index;
    EXPECT_EQ(ext[r.index].length, r.length) << r.index;
  }
}

TEST_F(GameData, BkmIsAcceptedFromTheMinimalSizeOn) {
  struct size_case {
    size_t size;
    int found;
  };
  for (const size_case c : {size_case{synth_minimal_size - 1, 0}, size_case{synth_minimal_size, 1}}) {
    const std::vector<u8> bkm = synth_bkm(data, c.size);
    ASSERT_EQ(bkm.size(), c.size);
    ASSERT_TRUE(synth_write(folder / "BKM", bkm));
    EXPECT_EQ(game_data_init(folder.path.c_str()), c.found) << c.size;
    if (c.found) {
      const std::string crc = hex8(game_data_crc32(bkm.data(), bkm.size()));
      EXPECT_EQ(game_data_description(), "BKM  (CRC32 " + crc + ", not the usual one)");
      EXPECT_TRUE(log.has("Game data: original/BKM (CRC32 " + crc + "; keeping legacy size-based compatibility)"));
      EXPECT_EQ(game_data_size(), c.size);
    } else {
      EXPECT_TRUE(log.has("Game data: original/BKM is too short (392827 bytes)"));
      EXPECT_EQ(game_data_error(), no_data_error);
      EXPECT_EQ(game_data_size(), 0u);
      EXPECT_STREQ(game_data_description(), "");
    }
  }
}

// The missing-data screen tells a "BKM" that is too short from none: its
// size is kept until the next selection.
TEST_F(GameData, AShortBkmIsKeptWithItsSize) {
  struct short_case {
    long long size;  // -1: no "BKM"
    long long kept;
  };
  const long long minimal = static_cast<long long>(synth_minimal_size);
  for (const short_case c : {short_case{0, 0}, {1000, 1000}, {minimal - 1, minimal - 1}, {minimal, -1}, {-1, -1}}) {
    std::filesystem::remove(folder / "BKM");
    if (c.size >= 0) {
      ASSERT_TRUE(synth_write(folder / "BKM", synth_bkm(data, static_cast<size_t>(c.size))));
    }
    game_data_init(folder.path.c_str());
    EXPECT_EQ(game_data_short_bkm(), c.kept) << c.size;
  }
}

TEST_F(GameData, UsualBkmHasNoNote) {
  std::vector<u8> bkm = synth_bkm(data);
  synth_force_crc(bkm, bkm_usual_crc);
  ASSERT_EQ(game_data_crc32(bkm.data(), bkm.size()), bkm_usual_crc);
  ASSERT_TRUE(synth_write(folder / "BKM", bkm));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_STREQ(game_data_description(), "BKM  (CRC32 6703B50F)");
  EXPECT_TRUE(log.has("Game data: original/BKM (CRC32 6703B50F)"));
  EXPECT_EQ(read_logical(0, bkm.size()), bkm);
}

TEST_F(GameData, BkmReadsAreClippedAtItsEnd) {
  const std::vector<u8> bkm = synth_bkm(data, synth_minimal_size);
  ASSERT_TRUE(synth_write(folder / "BKM", bkm));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_EQ(read_logical(synth_minimal_size - 4, 100), std::vector<u8>(bkm.end() - 4, bkm.end()));
  EXPECT_TRUE(read_logical(synth_minimal_size, 10).empty());
  EXPECT_TRUE(read_logical(~u64{0} - 2, 10).empty()) << "no overflow of offset + length";
  EXPECT_EQ(game_data_read(0, nullptr, 10), 0u);
}

TEST_F(GameData, ImageIsFoundWhateverTheCaseOfItsSuffix) {
  const std::vector<u8> image = synth_image(data);
  ASSERT_EQ(image.size(), vellicor_image_size) << data.error;
  ASSERT_EQ(game_data_crc32(image.data(), image.size()), vellicor_image_crc);
  for (const char* name : {"Brakmoor.ST", "disk.st"}) {
    SCOPED_TRACE(name);
    temp_dir dir;
    ASSERT_TRUE(synth_write(dir / name, image));
    ASSERT_EQ(game_data_init(dir.path.c_str()), 1);
    EXPECT_EQ(game_data_description(), std::string(name) + "  (CRC32 F6E84D7A)");
    EXPECT_TRUE(log.has("Game data: direct Vellicor image " + (dir / name) +
                        " (CRC32 F6E84D7A; 486912/819200 logical bytes mapped)"));
    EXPECT_EQ(game_data_size(), 819200u);
  }
}

TEST_F(GameData, ImageIsReadThroughItsExtents) {
  const std::vector<u8> image = synth_image(data);
  ASSERT_TRUE(synth_write(folder / "game.st", image));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);

  std::vector<u8> expected(8, 0);
  expected.insert(expected.end(), image.begin() + 0x3FE, image.begin() + 0x3FE + 8);
  EXPECT_EQ(read_logical(0x3F8, 16), expected) << "8 unmapped zeros, then the image from $3FE";

  EXPECT_EQ(read_logical(819199, 10).size(), 1u);
  EXPECT_EQ(read_logical(819199, 10)[0], image[0x3FE + 0x9FF]) << "the last byte of extent 102";
  EXPECT_TRUE(read_logical(819200, 10).empty());

  // The whole logical file equals what the builder meant, and its program
  // block is where the boot state reads it.
  const std::vector<u8> logical = synth_logical_file(data);
  EXPECT_EQ(read_logical(0, 819200), logical);
  const synth_region* head = synth_find(data, "program_head");
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(read_logical(0x5141C, head->bytes.size()), head->bytes);
}

TEST_F(GameData, OnlyRegularFilesOfTheImageSizeAreRead) {
  // A pipe named like an image would block a reader for ever, and a file of
  // the wrong size is not worth loading: only the size decides.
  ASSERT_EQ(::mkfifo((folder / "aaa_pipe.st").c_str(), 0600), 0);
  ASSERT_TRUE(synth_write(folder / "bbb_short.st", std::vector<u8>(1000, 7)));
  ASSERT_TRUE(synth_write(folder / "game.st", synth_image(data)));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_EQ(std::string(game_data_description()), "game.st  (CRC32 F6E84D7A)");
}

// Opens a named pipe for writing after a while unless released first, so a
// reader that blocks on it gets an end of file and the test fails instead
// of hanging.
class pipe_unblocker {
 public:
  explicit pipe_unblocker(std::string path) : path_(std::move(path)), thread_([this] { run(); }) {}
  ~pipe_unblocker() {
    {
      std::lock_guard<std::mutex> lock(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(m_);
    if (cv_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; })) return;
    const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
  std::string path_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

TEST_F(GameData, BkmThatIsNotARegularFileIsPassedOver) {
  struct odd_case {
    const char* what;
    int (*make)(const char* path);
  };
  const odd_case cases[] = {
      {"named pipe", [](const char* p) { return ::mkfifo(p, 0600); }},
      {"folder", [](const char* p) { return ::mkdir(p, 0700); }},
  };
  const std::vector<u8> image = synth_image(data);
  for (const odd_case& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir dir;
    ASSERT_EQ(c.make((dir / "BKM").c_str()), 0);
    ASSERT_TRUE(synth_write(dir / "game.st", image));
    pipe_unblocker unblock(dir / "BKM");
    EXPECT_EQ(game_data_init(dir.path.c_str()), 1);
    EXPECT_TRUE(log.has("Game data: original/BKM is not a regular file"));
    EXPECT_EQ(std::string(game_data_description()), "game.st  (CRC32 F6E84D7A)");
  }
}

TEST_F(GameData, ImagesAreTakenInNameOrder) {
  // Created out of order; the first by name has the right size but not the
  // right CRC, so the second by name is chosen, whatever order the folder
  // lists them in. Upper case sorts before lower case.
  const std::vector<u8> image = synth_image(data);
  std::vector<u8> wrong_crc = image;
  wrong_crc[0x50000] ^= 1;
  ASSERT_TRUE(synth_write(folder / "disk3.st", image));
  ASSERT_TRUE(synth_write(folder / "disk2.st", image));
  ASSERT_TRUE(synth_write(folder / "Disk1.ST", image));
  ASSERT_TRUE(synth_write(folder / "Disk0.st", wrong_crc));
  ASSERT_TRUE(synth_write(folder / "disk1.st", image));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_EQ(std::string(game_data_description()), "Disk1.ST  (CRC32 F6E84D7A)");
}

TEST_F(GameData, BkmWinsOverAnImage) {
  ASSERT_TRUE(synth_write(folder / "game.st", synth_image(data)));
  const std::vector<u8> bkm = synth_bkm(data, synth_minimal_size);
  ASSERT_TRUE(synth_write(folder / "BKM", bkm));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_EQ(std::string(game_data_description()).rfind("BKM  (CRC32 ", 0), 0u);
  EXPECT_EQ(game_data_size(), synth_minimal_size);
}

TEST_F(GameData, ShortBkmFallsBackToTheImage) {
  ASSERT_TRUE(synth_write(folder / "BKM", std::vector<u8>(1000, 1)));
  ASSERT_TRUE(synth_write(folder / "game.st", synth_image(data)));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_TRUE(log.has("Game data: original/BKM is too short (1000 bytes)"));
  EXPECT_EQ(std::string(game_data_description()), "game.st  (CRC32 F6E84D7A)");
}

// A "BKM" larger than the ST could ever load is not read (a sparse file
// here): the image is taken instead.
TEST_F(GameData, BkmLargerThanTheMachineIsNotRead) {
  const std::string bkm = folder / "BKM";
  ASSERT_TRUE(synth_write(bkm, synth_bkm(data, synth_minimal_size)));
  std::filesystem::resize_file(bkm, bkm_largest);
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_EQ(game_data_size(), bkm_largest);
  std::filesystem::resize_file(bkm, bkm_largest + 1);
  ASSERT_TRUE(synth_write(folder / "game.st", synth_image(data)));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_TRUE(log.has(bkm + " is not read: 16777217 bytes, more than the 16777216 a file of its kind can hold"))
      << log.text();
  EXPECT_TRUE(log.has("Game data: original/BKM cannot be read"));
  EXPECT_EQ(std::string(game_data_description()), "game.st  (CRC32 F6E84D7A)");
}

TEST_F(GameData, WrongImagesAreRefusedWithTheExpectedText) {
  const std::vector<u8> image = synth_image(data);
  std::vector<u8> longer = image;
  longer.push_back(0);
  std::vector<u8> wrong_crc = image;
  wrong_crc[0x50000] ^= 1;
  struct bad_case {
    const char* what;
    std::vector<u8> bytes;
  };
  for (const bad_case& c : {bad_case{"one byte too long", longer}, bad_case{"wrong CRC", wrong_crc},
                             bad_case{"empty", {}}}) {
    SCOPED_TRACE(c.what);
    temp_dir dir;
    ASSERT_TRUE(synth_write(dir / "game.st", c.bytes));
    EXPECT_EQ(game_data_init(dir.path.c_str()), 0);
    EXPECT_EQ(game_data_error(), no_data_error);
    EXPECT_EQ(game_data_size(), 0u);
    EXPECT_TRUE(read_logical(0, 16).empty());
  }
}

TEST_F(GameData, ASecondSelectionDropsTheFirst) {
  ASSERT_TRUE(synth_write(folder / "BKM", synth_bkm(data)));
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  temp_dir empty;
  EXPECT_EQ(game_data_init(empty.path.c_str()), 0);
  EXPECT_EQ(game_data_size(), 0u);
  EXPECT_STREQ(game_data_description(), "");
  EXPECT_EQ(game_data_init((folder / "missing").c_str()), 0);
  EXPECT_EQ(game_data_error(), no_data_error);
  // A later selection leaves no error text behind.
  ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  EXPECT_STREQ(game_data_error(), "Game data is unavailable");
}

} // namespace
