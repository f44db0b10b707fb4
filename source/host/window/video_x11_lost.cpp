// Losing the X display (the server ended, the connection broke). Xlib's own
// handler ends the process through exit(), whose handlers then shut SDL's
// X11 driver down over the dead connection, where it waits for an answer
// for ever. The program ends at once instead, with the reason in the log
// and after the last words the program asked for (its options saved), and
// touches the connection no more. Kept apart: Xlib's macros clash with
// ordinary names.
#include "host/platform.h"
#include "host/window/video_state.h"

#include <X11/Xlib.h>
#include <atomic>
#include <cstring>

namespace {

void (*last_words)() = nullptr;

[[noreturn]] int display_lost(Display*) {
  static std::atomic<bool> ending{false};
  host_log("The X display was lost; the program ends");
  // Once only: should the last words lose the display again, the second
  // call ends the program straight away.
  if (last_words && !ending.exchange(true)) last_words();
  port_exit_now(1);
}

}  // namespace

void video_on_display_lost(void (*fn)()) { last_words = fn; }

void video_x11_watch_display() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(display_lost);
}
