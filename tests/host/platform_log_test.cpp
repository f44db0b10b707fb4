#include "host/platform.h"
#include "support/temp_dir.h"

#include <cstdlib>
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

TEST_F(PlatformLog, EmptyUserDirMeansTheProgramFolder) {
  setenv("BKM_USER_DIR", "", 1);
  std::string marker = "log line for the program folder " + std::to_string(getpid());
  host_log_file("%s", marker.c_str());
  port_log_close();
  std::string text = slurp(std::string(app_dir()) + "/error.log");
  EXPECT_NE(text.find(marker + "\n"), std::string::npos);
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
