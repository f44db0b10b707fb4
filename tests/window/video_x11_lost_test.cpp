// Losing the X display: the program's last words run, then it ends at once
// with 1 (no exit-time clean-up, which would wait on the dead connection)
// and the reason is in error.log.
#include "host/window/video.h"
#include "window_fixture.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string said_path;

void last_words() { spit(said_path, "options saved"); }

TEST_F(window_test, ALostDisplaySaysItsLastWordsAndEndsAtOnce) {
  open(320, 200);
  ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
  // The handler the video installed, put back at once.
  const XIOErrorHandler lost = XSetIOErrorHandler(nullptr);
  XSetIOErrorHandler(lost);
  ASSERT_NE(lost, nullptr);
  said_path = dir / "said";
  video_on_display_lost(last_words);
  const pid_t pid = fork();
  if (pid == 0) {
    std::atexit([] { spit(said_path + ".exit", "the exit handlers ran"); });
    lost(nullptr);
    _exit(99);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  video_on_display_lost(nullptr);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(slurp(said_path), "options saved");
  EXPECT_FALSE(std::filesystem::exists(said_path + ".exit"));
  EXPECT_TRUE(log.has("The X display was lost; the program ends")) << log.text();
}

}  // namespace
