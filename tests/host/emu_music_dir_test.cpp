// The music folder asked for by another thread reaches the emulation
// thread with its event, cut to the 699 characters the request holds.
#include <gtest/gtest.h>

#include <string>

#include "host/emu_fixture.h"

namespace {

class EmuMusicDir : public EmuTest {};

TEST_F(EmuMusicDir, TheRequestedFolderArrivesCutTo699Characters) {
  for (const size_t length : {size_t{1}, size_t{698}, size_t{699}, size_t{700}, size_t{1000}}) {
    SCOPED_TRACE(length);
    const std::string folder = "/" + std::string(length - 1, 'm');
    emu_set_music_dir(folder.c_str());
    emu_event ev{};
    ASSERT_EQ(ev_pop(&ev), 1);
    EXPECT_EQ(ev.kind, EV_MUSIC_DIR);
    EXPECT_EQ(handle_event(&ev), 0);
    EXPECT_EQ(emu.music_dir, folder.substr(0, 699));
  }
  emu_set_music_dir(nullptr);
  emu_event ev{};
  ASSERT_EQ(ev_pop(&ev), 1);
  EXPECT_EQ(handle_event(&ev), 0);
  EXPECT_EQ(emu.music_dir, "");
}

} // namespace
