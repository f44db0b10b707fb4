// The window's true size on X11. A fullscreen request is carried out by
// the window manager; without one (a bare X session) the window keeps its
// size while SDL already reports the desktop's, and goes on reporting it
// after fullscreen is left; a picture drawn at that size would show only
// its corner. Kept apart: Xlib's macros clash with ordinary names.
#include "host/window/video_state.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

bool video_x11_size(SDL_Window* window, int* w, int* h) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  ::Window root;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(info.info.x11.display, info.info.x11.window, &root, &x, &y, &width, &height, &border, &depth) ||
      width == 0 || height == 0)
    return false;
  *w = static_cast<int>(width);
  *h = static_cast<int>(height);
  return true;
}
