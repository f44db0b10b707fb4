// Layout and drawing of the start-up screens, apart from their events and
// timing, so that the pictures can be checked on their own.
#pragma once

#include "host/window/ui2d.h"

#include <string>
#include <vector>

inline constexpr int STARTUP_ROWS = 6;

struct startup_row {
  std::string label, value;
  bool shown = false, busy = false;
};

struct startup_sizes {
  int body = 0, title = 0, small = 0;  // desktop-like font sizes
};

// Font sizes for a picture of height h.
startup_sizes startup_sizes_for(int h);

// The text cut at its end, with "...", to fit the width limit.
std::string startup_fit(ui2d_face* face, const std::string& text, double limit);
// The text cut at its front behind "..." to fit (for folder paths).
std::string startup_fit_front(ui2d_face* face, const std::string& text, double limit);
// The text wrapped at spaces into lines no wider than the limit (at most 8).
std::vector<std::string> startup_wrap(ui2d_face* face, const std::string& text, double limit);

struct startup_loading {
  const startup_row* rows = nullptr;  // STARTUP_ROWS of them
  double progress = 0;
  std::string detail;
  int countdown = -1;  // seconds left once finished, -1 before
};

ui2d_canvas* startup_draw_loading(int w, int h, const startup_loading& screen);
// The missing-data screen's first text: that no game data was found, or,
// for a "BKM" passed over as too short (short_bkm its size, -1 none), that
// it was found, with its size and the size needed.
std::string startup_missing_intro(long long short_bkm);
// The missing-data picture, opening with the intro; the layout's height
// factor goes to *factor.
ui2d_canvas* startup_draw_missing(int w, int h, const std::string& folder, const std::string& intro,
                                  double* factor);

// How many pictures the screens have drawn (they redraw only on a change).
extern int startup_redraw_count;
// The loading screen's progress as it stands.
double startup_current_progress();
