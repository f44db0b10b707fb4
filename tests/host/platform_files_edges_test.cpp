// Files and folders at their edges: small files of any length read whole
// (a file of one byte, a setting of one digit, as much as one read in
// several pieces), and the folders made for the user's files open to them.
#include "host/platform.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

TEST(PlatformFilesEdges, FilesOfAnyLengthAreReadWhole) {
  temp_dir dir;
  for (const size_t length : {size_t{1}, size_t{2}, size_t{255}, size_t{65537}}) {
    SCOPED_TRACE(length);
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>('1' + i % 7);
    spit(dir / "file", bytes);
    size_t size = 0;
    char* buf = read_file((dir / "file").c_str(), &size, length);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(size, length);
    EXPECT_EQ(std::string(buf, size), bytes);
    EXPECT_EQ(buf[length], 0);
    free(buf);
  }
}

// A saves or packs folder is the user's to read, write and enter, and
// everyone else's to read and enter (as far as the user's umask allows).
TEST(PlatformFilesEdges, AMadeFolderHasTheUsualPermissions) {
  temp_dir dir;
  const mode_t old_mask = umask(022);
  const std::string saves = dir / "saves";
  const int made = port_mkdir(saves.c_str());
  umask(old_mask);
  ASSERT_EQ(made, 1);
  struct stat st {};
  ASSERT_EQ(stat(saves.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

} // namespace
