// Losing the X display (the server ended, the connection broke). Xlib's own
// handler ends the process through exit(), whose handlers then shut SDL's
// X11 driver down over the dead connection, where it waits for an answer
// for ever. The program ends at once instead, with the reason in the log,
// and touches the connection no more. Kept apart: Xlib's macros clash with
// ordinary names.
#include "host/platform.h"
#include "host/window/video_state.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstring>

namespace {

[[noreturn]] int display_lost(Display*) {
  host_log("The X display was lost; the program ends");
  _exit(1);
}

}  // namespace

void video_x11_watch_display() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(display_lost);
}
