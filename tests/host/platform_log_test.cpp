#include "host/platform.h"
#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Points the user folder at a scratch folder for one test and puts the
// environment back afterwards; the log file is reopened on both sides.
class PlatformLog : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("BKM_USER_DIR")) saved_ = old, had_ = true;
    setenv("BKM_USER_DIR", dir_.path.c_str(), 1);
    port_log_close();
  }
  void TearDown() override {
    port_log_close();
    if (had_)
      setenv("BKM_USER_DIR", saved_.c_str(), 1);
    else
      unsetenv("BKM_USER_DIR");
  }
  std::string log_text() { return slurp(dir_ / "error.log"); }

  temp_dir dir_;
  std::string saved_;
  bool had_ = false;
};

TEST_F(PlatformLog, HostLogGoesToStderrWithPrefixAndToErrorLogBare) {
  spit(dir_ / "error.log", "earlier run\n");
  testing::internal::CaptureStderr();
  host_log("slot %d saved in %s", 2, "saves");
  host_log_file("only in the file");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "[bkm] slot 2 saved in saves\n");
  EXPECT_EQ(log_text(), "earlier run\nslot 2 saved in saves\nonly in the file\n");
}

TEST_F(PlatformLog, LongLinesAreCutAndStillEndWithANewline) {
  std::string long_text(2000, 'q');
  testing::internal::CaptureStderr();
  host_log("%s", long_text.c_str());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "[bkm] " + std::string(1023, 'q') + "\n");
  EXPECT_EQ(log_text(), std::string(1023, 'q') + "\n");
}

TEST_F(PlatformLog, UnopenableLogStillReachesStderrAndIsRetried) {
  std::string sub = dir_ / "later";
  setenv("BKM_USER_DIR", sub.c_str(), 1);
  testing::internal::CaptureStderr();
  host_log("before the folder exists");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[bkm] before the folder exists\n");
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  testing::internal::CaptureStderr();
  host_log("after");
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(slurp(sub + "/error.log"), "after\n");
}

// A folder path of exactly `length` characters below base.
std::string folder_of_length(const std::string& base, size_t length) {
  std::string path = base;
  while (path.size() < length) {
    const size_t left = length - path.size() - 1;  // after the '/'
    // Leave no remainder too short for a last component.
    const size_t part = left > 200 ? (left - 200 < 2 ? 100 : 200) : left;
    path += "/" + std::string(part, 'd');
  }
  return path;
}

// Copies the probe program into the folder and runs it there with an empty
// user folder; returns what it printed (its program folder).
std::string run_probe_in(const std::string& folder, const std::string& line) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  const std::string probe = folder + "/probe";
  fs::copy_file(APP_DIR_PROBE_PATH, probe, fs::copy_options::overwrite_existing);
  fs::permissions(probe, fs::perms::owner_all);
  const std::string command = "BKM_USER_DIR= '" + probe + "' '" + line + "'";
  FILE* out = popen(command.c_str(), "r");
  if (!out) return "<not run>";
  std::string printed;
  char buf[256];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, out)) > 0) printed.append(buf, n);
  return pclose(out) == 0 ? printed : "<failed>";
}

TEST_F(PlatformLog, EmptyUserDirMeansTheProgramFolder) {
  const std::string bin = dir_ / "bin";
  EXPECT_EQ(run_probe_in(bin, "a line for the program folder"), bin);
  EXPECT_EQ(slurp(bin + "/error.log"), "a line for the program folder\n");
}

TEST_F(PlatformLog, ProgramFolderKeepsBackslashesAndIsNeverCut) {
  // A backslash is an ordinary character of a Linux file name.
  const std::string odd = dir_ / "back\\slash";
  EXPECT_EQ(run_probe_in(odd, "x"), odd);
  EXPECT_EQ(slurp(odd + "/error.log"), "x\n");

  // A program path too long for the folder's buffer (599 characters and
  // its end) gives no folder rather than a cut one, and so no error.log
  // in a cut folder (nor in the 599 one, whose error.log path would be
  // too long).
  auto logs_below = [this] {
    int n = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path))
      n += entry.path().filename() == "error.log";
    return n;
  };
  const int logs_before = logs_below();
  for (size_t program_path : {599u, 600u, 700u}) {
    const std::string deep = folder_of_length(dir_.path, program_path - std::string("/probe").size());
    EXPECT_EQ(run_probe_in(deep, "line"), program_path < 600 ? deep : "") << program_path;
  }
  EXPECT_EQ(logs_below(), logs_before);
}

TEST_F(PlatformLog, TheLogPathHasRoomFor599Characters) {
  for (size_t log_path : {599u, 600u}) {
    const std::string folder = folder_of_length(dir_.path, log_path - std::string("/error.log").size());
    std::filesystem::create_directories(folder);
    setenv("BKM_USER_DIR", folder.c_str(), 1);
    port_log_close();
    host_log_file("a line");
    port_log_close();
    EXPECT_EQ(slurp(folder + "/error.log"), log_path < 600 ? "a line\n" : "") << log_path;
  }
}

struct log_job {
  int thread;
};

TEST_F(PlatformLog, LinesFromManyThreadsStayWhole) {
  constexpr int threads = 8, lines = 200;
  std::vector<log_job> jobs(threads);
  std::vector<port_thread*> handles(threads);
  for (int i = 0; i < threads; i++) {
    jobs[i].thread = i;
    ASSERT_EQ(port_thread_start(
                  [](void* p) {
                    int t = static_cast<log_job*>(p)->thread;
                    for (int n = 0; n < lines; n++)
                      host_log_file("thread %d line %03d %s", t, n, "0123456789abcdefghij");
                  },
                  &jobs[i], &handles[i]),
              1);
  }
  for (auto* h : handles) port_thread_join(h);
  std::string text = log_text();
  std::vector<int> seen(threads, 0);
  size_t pos = 0, count = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    ASSERT_NE(end, std::string::npos);
    std::string line = text.substr(pos, end - pos);
    int t = -1, n = -1;
    char tail[32] = {};
    ASSERT_EQ(sscanf(line.c_str(), "thread %d line %d %31s", &t, &n, tail), 3) << line;
    ASSERT_TRUE(t >= 0 && t < threads) << line;
    EXPECT_EQ(n, seen[t]) << line;  // each thread's lines in order
    EXPECT_STREQ(tail, "0123456789abcdefghij");
    seen[t]++;
    count++;
    pos = end + 1;
  }
  EXPECT_EQ(count, size_t{threads * lines});
}

TEST(PlatformAlert, AlertWritesTitleAndMessage) {
  testing::internal::CaptureStderr();
  port_alert("Brakmoor", "Could not create the frame presenter.");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[Brakmoor] Could not create the frame presenter.\n");
}

}  // namespace
