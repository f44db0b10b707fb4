// GEMDOS as the host serves it: the virtual game file under its name
// variants, host files under the game folder, handles, reads, seeks, the
// current directory, memory, Super, the console and the file-call trace.
#include "machine/gemdos.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "machine/game_data.h"
#include "machine/memory.h"
#include "machine/tos.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/synthetic_game_data.h"

namespace {

constexpr u32 trap_sp = 0x8000;   // the function word, then the arguments
constexpr u32 name_at = 0x9000;   // names passed by address
constexpr u32 buffer_at = 0xA000; // read buffers

struct arg {
  int size; // 2 or 4
  u32 value;
};

i32 call(u32 function, std::initializer_list<arg> args = {}) {
  wr16(trap_sp, function);
  u32 at = trap_sp + 2;
  for (const arg& a : args) {
    if (a.size == 2)
      wr16(at, a.value);
    else
      wr32(at, a.value);
    at += a.size;
  }
  return gemdos(function, trap_sp);
}

u32 put_name(const std::string& name, u32 at = name_at) {
  std::memcpy(ram + at, name.c_str(), name.size() + 1);
  return at;
}

i32 fopen_(const std::string& name) { return call(61, {{4, put_name(name)}, {2, 0}}); }
i32 fclose_(u32 h) { return call(62, {{2, h}}); }
i32 fread_(u32 h, u32 count, u32 buffer = buffer_at) { return call(63, {{2, h}, {4, count}, {4, buffer}}); }
i32 fseek_(i32 offset, u32 h, u32 mode) { return call(66, {{4, static_cast<u32>(offset)}, {2, h}, {2, mode}}); }
i32 dsetpath_(const std::string& name) { return call(59, {{4, put_name(name)}}); }

std::vector<u8> ram_bytes(u32 at, size_t n) { return {ram + at, ram + at + n}; }

class Gemdos : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    std::memset(&tos, 0, sizeof tos);
    std::snprintf(tos.game_dir, sizeof tos.game_dir, "%s", folder.path.c_str());
    tos.mem_top = 0x100000;
    tos.vbl = 7;
    stop_flag = 0;
    gemdos_close_all();
    unsetenv("BKM_FOPEN");
    std::filesystem::create_directories(folder / "FILES/Sub");
    spit(folder / "FILES/readme.TXT", "hello from the host");
    spit(folder / "FILES/SCORES.HST", "scores");
    spit(folder / "FILES/Sub/deep.dat", "deep");
    logical = synth_logical_file(data);
    ASSERT_TRUE(synth_write(folder / "BKM", logical));
    ASSERT_EQ(game_data_init(folder.path.c_str()), 1);
  }
  void TearDown() override {
    gemdos_close_all();
    game_data_release();
    unsetenv("BKM_FOPEN");
    MachineTest::TearDown();
  }
  temp_dir folder;
  log_capture log;
  synth_game_data data = synth_standard();
  std::vector<u8> logical;
};

TEST_F(Gemdos, GameFileOpensUnderEveryNameVariant) {
  struct name_case {
    const char* path;
    const char* name;
  };
  const name_case cases[] = {
      {"", "FILES/BKM"},  {"", "\\FILES\\BKM"}, {"", "files\\bkm"}, {"", "A:\\FILES\\BKM"},
      {"", "c:files/Bkm"}, {"", "//FILES/BKM"}, {"FILES", "BKM"},   {"FILES", "bkm"},
      {"FILES", "\\FILES\\BKM"},
  };
  for (const name_case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " | " + c.name);
    std::snprintf(tos.path, sizeof tos.path, "%s", c.path);
    // There is no FILES/BKM on disk: only the virtual file can answer.
    const i32 h = fopen_(c.name);
    ASSERT_GE(h, gemdos_first_handle);
    ASSERT_EQ(fread_(h, 64), 64);
    EXPECT_EQ(ram_bytes(buffer_at, 64), std::vector<u8>(logical.begin(), logical.begin() + 64));
    EXPECT_EQ(fclose_(h), 0);
  }
  tos.path[0] = 0;
  EXPECT_EQ(fopen_("FILES/BKM2"), gemdos_file_not_found);
  EXPECT_EQ(fopen_("FILES/../FILES/BKM"), gemdos_file_not_found) << "\"..\" is never found";
}

TEST_F(Gemdos, WithoutGameDataTheNameIsAHostFile) {
  game_data_release();
  EXPECT_EQ(fopen_("FILES/BKM"), gemdos_file_not_found);
  spit(folder / "FILES/bkm", "host bytes");
  const i32 h = fopen_("FILES/BKM");
  ASSERT_GE(h, gemdos_first_handle);
  EXPECT_EQ(fread_(h, 100), 10);
  EXPECT_EQ(ram_bytes(buffer_at, 10), (std::vector<u8>{'h', 'o', 's', 't', ' ', 'b', 'y', 't', 'e', 's'}));
}

TEST_F(Gemdos, HostFilesAreFoundWithoutRegardToCaseAndStayUnderTheGameFolder) {
  const i32 h = fopen_("\\files\\README.txt");
  ASSERT_GE(h, gemdos_first_handle);
  EXPECT_EQ(fread_(h, 5), 5);
  EXPECT_EQ(ram_bytes(buffer_at, 5), (std::vector<u8>{'h', 'e', 'l', 'l', 'o'}));

  struct refused {
    const char* name;
    const char* why;
  };
  const refused cases[] = {
      {"FILES/SCORES.HST", ".HST files are never opened"},
      {"files/scores.hst", "whatever the case"},
      {"FILES", "a folder"},
      {"FILES/missing", "missing"},
      {"../outside", "\"..\" leaves nothing"},
      {"FILES/Sub/../readme.TXT", "not even inside the folder"},
      {"/etc/hostname", "absolute paths start at the game folder"},
      {"", "the empty name"},
  };
  for (const refused& c : cases) EXPECT_EQ(fopen_(c.name), gemdos_file_not_found) << c.why;
  spit(folder.path + "/../outside", "x");
  EXPECT_EQ(fopen_("../outside"), gemdos_file_not_found);
  std::filesystem::remove(folder.path + "/../outside");

  // A name cut at 259 characters, and one that runs into the end of RAM.
  EXPECT_EQ(call(61, {{4, ram_size + 16}, {2, 0}}), gemdos_file_not_found) << "a name beyond RAM is empty";
  const std::string at_end = "FILES/BKM";
  std::memcpy(ram + ram_size - at_end.size(), at_end.data(), at_end.size());
  EXPECT_GE(call(61, {{4, ram_size - static_cast<u32>(at_end.size())}, {2, 0}}), gemdos_first_handle)
      << "the name ends at the end of RAM";
}

TEST_F(Gemdos, CurrentDirectoryKeepsTheOnDiskSpellingAndStaysInside) {
  EXPECT_EQ(dsetpath_("files"), 0);
  EXPECT_STREQ(tos.path, "FILES");
  EXPECT_EQ(dsetpath_("sub"), 0) << "relative to the current directory";
  EXPECT_STREQ(tos.path, "FILES/Sub");
  EXPECT_GE(fopen_("DEEP.DAT"), gemdos_first_handle);

  const char* refused[] = {"..", "\\..", "missing", "\\FILES\\readme.TXT", "/FILES/Sub/../.."};
  for (const char* name : refused) {
    EXPECT_EQ(dsetpath_(name), gemdos_path_not_found) << name;
    EXPECT_STREQ(tos.path, "FILES/Sub") << name;
  }
  EXPECT_EQ(dsetpath_("A:\\FILES"), 0);
  EXPECT_STREQ(tos.path, "FILES");
  EXPECT_EQ(dsetpath_("\\"), 0);
  EXPECT_STREQ(tos.path, "") << "the root of the game folder";
  EXPECT_EQ(dsetpath_("./FILES/./Sub//"), 0);
  EXPECT_STREQ(tos.path, "FILES/Sub");

  tos.game_dir[0] = 0;
  EXPECT_EQ(dsetpath_("\\FILES"), gemdos_path_not_found) << "no game folder: no path resolves";
  EXPECT_EQ(fopen_("\\etc\\hostname"), gemdos_file_not_found);
}

TEST_F(Gemdos, HandlesCountUpAndAreReusedOnceTheTopIsReached) {
  EXPECT_EQ(fopen_("FILES/BKM"), 6);
  EXPECT_EQ(fclose_(6), 0);
  EXPECT_EQ(fopen_("FILES/BKM"), 7) << "a closed handle is not given out at once";

  for (i32 h = 8; h <= 8191; ++h) ASSERT_EQ(fopen_("FILES/BKM"), h);
  EXPECT_EQ(fopen_("FILES/BKM"), 6) << "past the top the closed handle 6 is used again";
  EXPECT_EQ(fopen_("FILES/BKM"), gemdos_file_not_found) << "every handle is open";
  EXPECT_EQ(fclose_(100), 0);
  EXPECT_EQ(fopen_("FILES/readme.TXT"), 100);

  gemdos_close_all();
  // One open and close per return to the title, for a long session.
  for (int i = 0; i < 20000; ++i) {
    const i32 h = fopen_("FILES/BKM");
    ASSERT_GE(h, gemdos_first_handle) << i;
    ASSERT_EQ(fclose_(static_cast<u32>(h)), 0);
  }
}

TEST_F(Gemdos, HandleWordsAreUnsigned) {
  EXPECT_EQ(fread_(0xFFFF, 10), gemdos_file_not_found);
  EXPECT_EQ(fseek_(0, 0xFFFF, 0), gemdos_file_not_found);
  EXPECT_EQ(fclose_(0xFFFF), 0);
  EXPECT_EQ(fread_(0x8000, 10), gemdos_file_not_found);
  EXPECT_EQ(fread_(8192, 10), gemdos_file_not_found);
  EXPECT_EQ(fread_(3, 10), gemdos_file_not_found) << "never opened";
  EXPECT_EQ(fseek_(0, 3, 0), gemdos_file_not_found);
  EXPECT_EQ(fclose_(3), 0) << "closing a handle never opened succeeds";
}

TEST_F(Gemdos, ReadsAreClippedAtTheEndOfRam) {
  const i32 h = fopen_("FILES/BKM");
  ASSERT_EQ(fread_(h, 100, 0x3FFFF0), 16);
  EXPECT_EQ(ram_bytes(0x3FFFF0, 16), std::vector<u8>(logical.begin(), logical.begin() + 16));
  EXPECT_EQ(fread_(h, 100, 0x400010), 0);
  EXPECT_EQ(fread_(h, 0xFFFFFFF0u, 0x3FFFF8), 8) << "no overflow of buffer + count";
  EXPECT_EQ(fseek_(0, h, 1), 24) << "the position moved by the bytes read";

  const i32 host = fopen_("FILES/readme.TXT");
  EXPECT_EQ(fread_(host, 100, 0x3FFFFC), 4);
  EXPECT_EQ(fread_(host, 100, 0x500000), 0);
  EXPECT_EQ(fread_(host, 100), 15) << "the rest of the file";
}

TEST_F(Gemdos, SeeksOnTheVirtualFile) {
  const i32 h = fopen_("FILES/BKM");
  EXPECT_EQ(fseek_(0, h, 2), 819200) << "from the end: the game data size";
  EXPECT_EQ(fseek_(10, h, 0), 10);
  EXPECT_EQ(fseek_(-20, h, 1), gemdos_error) << "before the start";
  EXPECT_EQ(fread_(h, 4), 4) << "the position stayed at 10";
  EXPECT_EQ(ram_bytes(buffer_at, 4), std::vector<u8>(logical.begin() + 10, logical.begin() + 14));
  EXPECT_EQ(fseek_(-4, h, 2), 819196);
  EXPECT_EQ(fread_(h, 100), 4);
  EXPECT_EQ(fseek_(1000, h, 2), 820200) << "past the end is accepted";
  EXPECT_EQ(fread_(h, 100), 0);
  EXPECT_EQ(fseek_(0x7FFFFFFF, h, 0), 0x7FFFFFFF);
  EXPECT_EQ(fseek_(0x7FFFFFFF, h, 1), static_cast<i32>(0xFFFFFFFEu));
  EXPECT_EQ(fseek_(2, h, 1), gemdos_error) << "at 2^32 and above";
}

TEST_F(Gemdos, SeeksOnAHostFile) {
  const i32 h = fopen_("FILES/readme.TXT");
  EXPECT_EQ(fseek_(0, h, 2), 19);
  EXPECT_EQ(fseek_(6, h, 0), 6);
  EXPECT_EQ(fseek_(9, h, 1), 15);
  EXPECT_EQ(fseek_(-100, h, 1), gemdos_error);
  EXPECT_EQ(fread_(h, 4), 4);
  EXPECT_EQ(ram_bytes(buffer_at, 4), (std::vector<u8>{'h', 'o', 's', 't'}));
}

TEST_F(Gemdos, MemoryAllocationIsABumpAllocator) {
  EXPECT_EQ(call(72, {{4, 0xFFFFFFFF}}), 0x200000);
  EXPECT_EQ(tos.mem_top, 0x100000u);
  EXPECT_EQ(call(72, {{4, 10}}), 0x100000);
  EXPECT_EQ(call(72, {{4, 10}}), 0x100010);
  EXPECT_EQ(call(68, {{4, 0x20}, {2, 3}}), 0x100020) << "Mxalloc, mode ignored";
  EXPECT_EQ(tos.mem_top, 0x100040u);
  EXPECT_EQ(call(73, {{4, 0x100010}}), 0) << "Mfree frees nothing";
  EXPECT_EQ(tos.mem_top, 0x100040u);
}

TEST_F(Gemdos, SuperSwitchesModesOnTheSuspendedCpu) {
  g_cpu.sr_sys = 0x0000;
  g_cpu.fc = 1;
  g_cpu.a[7] = 0x7000;     // user stack
  g_cpu.other_sp = 0x2400; // supervisor stack
  EXPECT_EQ(call(32, {{4, 0}}), 0x2400) << "Super(0) from user mode returns the old SSP";
  EXPECT_EQ(g_cpu.sr_sys & 0x2000, 0x2000);
  EXPECT_EQ(g_cpu.a[7], 0x7000u) << "the supervisor stack is now the user stack";
  EXPECT_EQ(g_cpu.other_sp, 0x7000u);
  EXPECT_EQ(g_cpu.fc, 1);
  EXPECT_EQ(call(32, {{4, 0}}), -1) << "already in supervisor mode";
  EXPECT_EQ(g_cpu.a[7], 0x7000u);

  g_cpu.a[7] = 0x6000;
  EXPECT_EQ(call(32, {{4, 0x3000}}), 0) << "Super(stack) from supervisor mode";
  EXPECT_EQ(g_cpu.sr_sys & 0x2000, 0);
  EXPECT_EQ(g_cpu.a[7], 0x6000u) << "the user stack is the old a7";
  EXPECT_EQ(g_cpu.other_sp, 0x3000u) << "the supervisor stack is the argument";

  EXPECT_EQ(call(32, {{4, 0x3800}}), 0) << "Super(stack) in user mode";
  EXPECT_EQ(g_cpu.sr_sys & 0x2000, 0);
  EXPECT_EQ(g_cpu.a[7], 0x6000u);
  EXPECT_EQ(g_cpu.other_sp, 0x3800u);
}

TEST_F(Gemdos, ConsoleNeverHasAKeyAndEndsTheSlice) {
  for (u32 fn : {1u, 7u, 8u}) {
    stop_flag = 0;
    EXPECT_EQ(call(fn), 0);
    EXPECT_EQ(stop_flag, 1) << fn;
  }
  // Polls are counted across calls: find the fourth, then count again.
  stop_flag = 0;
  for (int i = 0; i < 4 && !stop_flag; ++i) EXPECT_EQ(call(11), 0);
  ASSERT_EQ(stop_flag, 1);
  stop_flag = 0;
  EXPECT_EQ(call(11), 0);
  EXPECT_EQ(call(6, {{2, 0x00FF}}), 0) << "Crawio input polls too";
  EXPECT_EQ(call(6, {{2, 'A'}}), 0) << "Crawio output does not";
  EXPECT_EQ(call(11), 0);
  EXPECT_EQ(stop_flag, 0);
  EXPECT_EQ(call(6, {{2, 0x00FF}}), 0);
  EXPECT_EQ(stop_flag, 1) << "the fourth poll";

  stop_flag = 0;
  EXPECT_EQ(call(0), 0);
  EXPECT_EQ(tos.terminated, 1);
  EXPECT_EQ(stop_flag, 1);
}

TEST_F(Gemdos, FixedAnswers) {
  struct answer {
    u32 function;
    i32 result;
  };
  const answer cases[] = {{14, 4}, {25, 2}, {42, 0x2A2B}, {44, 0x2A2B}, {78, -50}, {79, -50}, {99, 0}, {0xFFFF, 0}};
  for (const answer& c : cases) EXPECT_EQ(call(c.function, {{4, 0}}), c.result) << c.function;
  EXPECT_EQ(call(26, {{4, 0x12344}}), 0);
  EXPECT_EQ(call(47), 0x12344);
  EXPECT_EQ(gemdos(25, ram_size + 100), 2) << "a stack beyond RAM reads arguments as 0";
}

TEST_F(Gemdos, FileCallsAreTracedWhenAsked) {
  const std::string before = log.text();
  i32 h = fopen_("FILES/BKM");
  fread_(h, 4);
  fclose_(h);
  EXPECT_EQ(log.text(), before) << "no trace without BKM_FOPEN";

  setenv("BKM_FOPEN", "1", 1);
  testing::internal::CaptureStderr();
  h = fopen_("\\FILES\\BKM");
  fread_(h, 100, 0x3FFFF0);
  fclose_(h);
  const i32 host = fopen_("files/readme.txt");
  fclose_(70000 & 0xFFFF);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the trace goes to the error log only";
  const std::string hv = std::to_string(h);
  EXPECT_EQ(log.text().substr(before.size()),
            "Fopen \\FILES\\BKM -> h" + hv + " (selected original data, vbl 7)\n"
            "Fread h" + hv + " n=16 -> $3FFFF0 got=16 (vbl 7)\n"
            "Fclose h" + hv + " (vbl 7)\n"
            "Fopen " + folder.path + "/FILES/readme.TXT -> h" + std::to_string(host) + " (vbl 7)\n"
            "Fclose h4464 (vbl 7)\n");
}

} // namespace
