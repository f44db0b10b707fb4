#include "host/platform.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs write_file in a child process whose files may not grow past
// max_bytes, so the write fails the way a full disk makes it fail (root
// ignores read-only folders, so that cannot be used). Returns the child's
// write_file result, or -1 when the child did not finish normally.
int write_file_with_size_limit(const std::string& path, const std::string& data,
                               rlim_t max_bytes) {
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = max_bytes;
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(3);
    _exit(write_file(path.c_str(), data.data(), data.size()));
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(PlatformFiles, WriteFileCreatesAndReplacesWhole) {
  temp_dir dir;
  std::string path = dir / "options.json";
  ASSERT_EQ(write_file(path.c_str(), "first version", 13), 1);
  EXPECT_EQ(slurp(path), "first version");
  ASSERT_EQ(write_file(path.c_str(), "v2", 2), 1);
  EXPECT_EQ(slurp(path), "v2");
  ASSERT_EQ(write_file(path.c_str(), nullptr, 0), 1);
  EXPECT_EQ(slurp(path), "");
  EXPECT_FALSE(file_exists((path + ".tmp").c_str()));
}

TEST(PlatformFiles, FailedWritesLeaveTheOldFileWholeAndNoTmpBehind) {
  const std::string old_content = "{\n \"version\": 3\n}\n";
  const std::string big(1 << 20, 'x');
  struct failure {
    const char* what;
    std::string data;
    rlim_t limit;
  };
  // A large write comes short in fwrite; a small one only fails when fclose
  // flushes the buffer.
  const failure cases[] = {
      {"short fwrite", big, 4096},
      {"failing close", std::string(100, 'y'), 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    temp_dir dir;
    std::string path = dir / "options.json";
    spit(path, old_content);
    EXPECT_EQ(write_file_with_size_limit(path, c.data, c.limit), 0);
    EXPECT_EQ(slurp(path), old_content);
    EXPECT_FALSE(file_exists((path + ".tmp").c_str()));
  }
}

TEST(PlatformFiles, WriteFileFailsWhenTheTmpFileCannotBeMade) {
  temp_dir dir;
  std::string path = dir / "slot1.bkms";
  spit(path, "old");
  ASSERT_EQ(mkdir((path + ".tmp").c_str(), 0755), 0);
  EXPECT_EQ(write_file(path.c_str(), "new", 3), 0);
  EXPECT_EQ(slurp(path), "old");
  EXPECT_EQ(write_file((dir / "missing/folder.txt").c_str(), "x", 1), 0);
}

TEST(PlatformFiles, WriteFileFailsWhenTheRenameFails) {
  temp_dir dir;
  std::string path = dir / "target";
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
  spit(path + "/inside", "keep");
  EXPECT_EQ(write_file(path.c_str(), "new", 3), 0);
  EXPECT_TRUE(dir_exists(path.c_str()));
  EXPECT_EQ(slurp(path + "/inside"), "keep");
  EXPECT_FALSE(file_exists((path + ".tmp").c_str()));
}

TEST(PlatformFiles, WriteFileRefusesAPathTooLongForItsTmpName) {
  // Existing folders, so that only the length of the ".tmp" name is wrong.
  temp_dir dir;
  std::string folder = dir.path;
  for (char c : {'a', 'b', 'c'}) {
    folder += "/" + std::string(200, c);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  }
  std::string fits = folder + "/" + std::string(695 - folder.size() - 1, 'f');
  ASSERT_EQ(fits.size() + 4, 699u);
  EXPECT_EQ(write_file(fits.c_str(), "x", 1), 1);
  std::string too_long = fits + "g";
  EXPECT_EQ(write_file(too_long.c_str(), "x", 1), 0);
  EXPECT_FALSE(file_exists(too_long.c_str()));
}

TEST(PlatformFiles, ReadFileReturnsBytesWithATrailingZero) {
  temp_dir dir;
  const std::string bytes("a\0b\xff", 4);
  spit(dir / "bin", bytes);
  size_t size = 99;
  char* buf = read_file((dir / "bin").c_str(), &size, 4);
  ASSERT_NE(buf, nullptr);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::string(buf, size), bytes);
  EXPECT_EQ(buf[4], 0);
  free(buf);

  spit(dir / "empty", "");
  buf = read_file((dir / "empty").c_str(), &size, 0);
  ASSERT_NE(buf, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(buf[0], 0);
  free(buf);

  buf = read_file((dir / "bin").c_str(), nullptr, 4);
  ASSERT_NE(buf, nullptr);
  free(buf);
}

TEST(PlatformFiles, ReadFileFailsOnMissingFilesAndFolders) {
  temp_dir dir;
  EXPECT_EQ(read_file((dir / "missing").c_str(), nullptr, 100), nullptr);
  EXPECT_EQ(read_file(dir.path.c_str(), nullptr, 100), nullptr);
  EXPECT_EQ(read_file(nullptr, nullptr, 100), nullptr);
}

// Files larger than their reader accepts are refused from their size alone:
// sparse files of gigabytes cost no disk, and reading one would take that
// much memory.
TEST(PlatformFiles, ReadFileRefusesFilesAboveTheLimitBeforeReading) {
  temp_dir dir;
  log_capture log;
  const std::string huge = dir / "huge";
  spit(huge, "");
  std::filesystem::resize_file(huge, std::uintmax_t{3} << 30);
  size_t size = 77;
  EXPECT_EQ(read_file(huge.c_str(), &size, std::size_t{1} << 30), nullptr);
  EXPECT_EQ(size, 77u);
  EXPECT_TRUE(log.has(huge + " is not read: 3221225472 bytes, more than the 1073741824 a file of its kind can hold"))
      << log.text();
  // At the limit the file is read; one byte above it is not.
  spit(dir / "ten", "0123456789");
  char* at_limit = read_file((dir / "ten").c_str(), &size, 10);
  ASSERT_NE(at_limit, nullptr);
  EXPECT_EQ(size, 10u);
  free(at_limit);
  EXPECT_EQ(read_file((dir / "ten").c_str(), &size, 9), nullptr);
}

TEST(PlatformFiles, ReadFileTakesOnlyRegularFiles) {
  temp_dir dir;
  // A pipe nobody writes to would hold an ordinary open for ever.
  const std::string pipe = dir / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(read_file(pipe.c_str(), nullptr, 100), nullptr);
  EXPECT_EQ(read_file("/dev/zero", nullptr, 100), nullptr);
}

// The open does not wait on a pipe, but what it hands on must block on
// reads like any file: a network or FUSE file system may answer a
// non-blocking read with EAGAIN.
TEST(PlatformFiles, OpenedRegularFilesBlockOnReadsAndNothingElseOpens) {
  temp_dir dir;
  spit(dir / "f", "abc");
  struct stat st {};
  const int fd = open_regular_file((dir / "f").c_str(), &st);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(st.st_size, 3);
  char bytes[4] = {};
  EXPECT_EQ(read(fd, bytes, sizeof bytes), 3);
  EXPECT_STREQ(bytes, "abc");
  close(fd);

  const std::string pipe = dir / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir / "d").c_str(), 0755), 0);
  for (const std::string& other : {pipe, dir / "d", std::string("/dev/zero"), dir / "missing"})
    EXPECT_EQ(open_regular_file(other.c_str(), &st), -1) << other;
  EXPECT_EQ(open_regular_file(nullptr, &st), -1);
  EXPECT_EQ(open_regular_file((dir / "f").c_str(), nullptr), -1);
}

TEST(PlatformFiles, ExistenceTestsTellFilesFromFolders) {
  temp_dir dir;
  spit(dir / "f", "1");
  ASSERT_EQ(mkdir((dir / "d").c_str(), 0755), 0);
  struct row {
    std::string path;
    int file, folder;
  };
  const row rows[] = {
      {dir / "f", 1, 0}, {dir / "d", 0, 1}, {dir / "none", 0, 0}, {"", 0, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    EXPECT_EQ(file_exists(r.path.c_str()), r.file);
    EXPECT_EQ(dir_exists(r.path.c_str()), r.folder);
  }
  EXPECT_EQ(file_exists(nullptr), 0);
  EXPECT_EQ(dir_exists(nullptr), 0);
}

TEST(PlatformFiles, MkdirMakesFoldersAndAcceptsExistingOnes) {
  temp_dir dir;
  std::string saves = dir / "saves";
  EXPECT_EQ(port_mkdir(saves.c_str()), 1);
  EXPECT_TRUE(dir_exists(saves.c_str()));
  EXPECT_EQ(port_mkdir(saves.c_str()), 1);
  spit(dir / "file", "x");
  EXPECT_EQ(port_mkdir((dir / "file").c_str()), 0);  // a file is in the way
  EXPECT_EQ(port_mkdir((dir / "a/b").c_str()), 0);
  EXPECT_EQ(port_mkdir(nullptr), 0);
}

int collect(const char* name, void* user) {
  static_cast<std::vector<std::string>*>(user)->push_back(name);
  return 1;
}

std::vector<std::string> listed(const std::string& path, int mode, const char* suffix) {
  std::vector<std::string> names;
  port_list_entries(path.c_str(), mode, suffix, collect, &names);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlatformFiles, ListingFiltersByKindAndSuffix) {
  temp_dir dir;
  spit(dir / "EN.XML", "");
  spit(dir / "en.xml", "");
  spit(dir / "notes.txt", "");
  spit(dir / "xml", "");
  ASSERT_EQ(mkdir((dir / "x.xml").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "pack").c_str(), 0755), 0);
  using names = std::vector<std::string>;
  EXPECT_EQ(listed(dir.path, 0, ".xml"), (names{"EN.XML", "en.xml"}));
  EXPECT_EQ(listed(dir.path, 0, nullptr), (names{"EN.XML", "en.xml", "notes.txt", "xml"}));
  EXPECT_EQ(listed(dir.path, 0, ""), (names{"EN.XML", "en.xml", "notes.txt", "xml"}));
  EXPECT_EQ(listed(dir.path, 1, nullptr), (names{"pack", "x.xml"}));
  EXPECT_EQ(listed(dir.path, -1, ".XmL"), (names{"EN.XML", "en.xml", "x.xml"}));

  names files;
  port_list_files(dir.path.c_str(), ".txt", collect, &files);
  EXPECT_EQ(files, (names{"notes.txt"}));

  // The case is folded from A to Z, and only there.
  temp_dir edges;
  for (const char* name : {"a.az", "b.AZ", "c.@[", "d.`{"}) spit(edges / name, "");
  EXPECT_EQ(listed(edges.path, 0, ".Az"), (names{"a.az", "b.AZ"}));
  EXPECT_EQ(listed(edges.path, 0, ".@["), (names{"c.@["}));
  names dirs;
  port_list_dirs(dir.path.c_str(), collect, &dirs);
  std::sort(dirs.begin(), dirs.end());
  EXPECT_EQ(dirs, (names{"pack", "x.xml"}));
}

TEST(PlatformFiles, ListingStopsWhenTheCallbackSaysSo) {
  temp_dir dir;
  for (const char* n : {"a", "b", "c"}) spit(dir / n, "");
  int calls = 0;
  port_list_files(
      dir.path.c_str(), nullptr,
      [](const char*, void* user) {
        ++*static_cast<int*>(user);
        return 0;
      },
      &calls);
  EXPECT_EQ(calls, 1);

  calls = 0;
  auto count = [](const char*, void* user) {
    ++*static_cast<int*>(user);
    return 1;
  };
  port_list_files((dir / "missing").c_str(), nullptr, count, &calls);
  port_list_files(nullptr, nullptr, count, &calls);
  port_list_files(dir.path.c_str(), nullptr, nullptr, &calls);
  EXPECT_EQ(calls, 0);
}

TEST(PlatformFiles, PathJoinJoinsOrRefusesWhatDoesNotFit) {
  char out[16];
  EXPECT_EQ(path_join(out, sizeof out, "/data", "en.xml"), 1);
  EXPECT_STREQ(out, "/data/en.xml");
  EXPECT_EQ(path_join(out, sizeof out, "/data/languages", "en.xml"), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(path_join(out, 13, "/data", "en.xml"), 1);  // exactly fits
  EXPECT_EQ(path_join(out, 12, "/data", "en.xml"), 0);
}

TEST(PlatformFiles, AppDirIsTheFolderOfTheProgram) {
  char exe[1024];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  std::string expected(exe);
  expected.resize(expected.rfind('/'));
  EXPECT_EQ(std::string(app_dir()), expected);
  EXPECT_TRUE(dir_exists(app_dir()));
  EXPECT_EQ(app_dir(), app_dir());  // one buffer, filled once
}

}  // namespace
