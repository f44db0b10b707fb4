// read_file takes small files whole, whatever their length: a file of one
// byte (a setting of one digit) as much as one read in several pieces.
#include "host/platform.h"
#include "support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(ReadFileWhole, FilesOfAnyLengthAreReadWhole) {
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

} // namespace
