// The loader-screen hold: phase 1 shows the picture (fade-in over 0.5 s,
// then held until the chosen time has passed), phase 2 fades it out over
// 0.45 s and keeps it black; 3 s after the fade-out began (or at once on a
// frame without exactly one palette) the game is held one more second and
// its next black delay is skipped.
#include "machine/loader_hold.h"

#include <algorithm>
#include <cstring>

#include "host/platform.h"
#include "machine/palette_fade.h"
#include "machine/tos.h"

double g_load_seconds;

namespace {

constexpr double fade_in_seconds = 0.5;
constexpr double fade_out_seconds = 0.45;
constexpr double black_seconds = 3;
constexpr double after_hold_seconds = 1;

enum : int { loader_off = 0, loader_shown = 1, loader_fading_out = 2 };

loader_clock_fn clock_fn = now_s;

double hold_until;
int loader_state;
double loader_text_end;
double loader_fade_in_start, loader_fade_out_start;
u8 loader_palette[32];
int loader_skip_black;
fail_screen_hold_fn fail_screen_answer;

void loader_end(double t) {
  loader_state = loader_off;
  loader_skip_black = 1;
  hold_until = t + after_hold_seconds;
}

} // namespace

void loader_set_clock(loader_clock_fn clock) { clock_fn = clock ? clock : now_s; }
double loader_now() { return clock_fn(); }

int hold_loader_text() {
  if (!(g_load_seconds > 0)) return 0;
  loader_state = loader_shown;
  loader_fade_in_start = 0;
  loader_text_end = hold_until = loader_now() + fade_in_seconds + g_load_seconds;
  g_load_seconds = 0;
  return 1;
}

int hold_fail_screen() { return fail_screen_answer ? fail_screen_answer() : 0; }
void set_fail_screen_hold(fail_screen_hold_fn answer) { fail_screen_answer = answer; }

int skip_black_delay() {
  if (!loader_skip_black || hold_until != 0) return 0;
  loader_skip_black = 0;
  return 1;
}

void loader_hold_reset() {
  hold_until = 0;
  loader_state = loader_off;
  loader_skip_black = 0;
}

bool loader_hold_active() {
  if (hold_until <= 0) return false;
  if (loader_now() < hold_until) return true;
  hold_until = 0;
  return false;
}

void put_dim(double x) {
  u8* p = tos.zones[0].palette;
  for (int k = 0; k < 16; ++k)
    palette_mark_entry(p, k, static_cast<u32>(loader_palette[2 * k]) << 8 | loader_palette[2 * k + 1]);
  palette_put_fade_bits(p, fade_bits_of(x));
}

void loader_vbl_step() {
  if (loader_state != loader_off && tos.zone_count == 1) {
    const double t = loader_now();
    if (loader_fade_in_start == 0) {
      loader_fade_in_start = t;
      loader_fade_out_start = 0;
      std::memcpy(loader_palette, tos.zones[0].palette, sizeof loader_palette);
    }
    if (loader_state == loader_shown) {
      put_dim(std::min(1.0, (t - loader_fade_in_start) / fade_in_seconds));
      if (t >= loader_text_end) {
        loader_state = loader_fading_out;
        loader_fade_out_start = t;
      }
    }
    if (loader_state == loader_fading_out) {
      const double x = 1 - (t - loader_fade_out_start) / fade_out_seconds;
      if (x >= 0) {
        put_dim(x);
      } else {
        put_dim(0);
        if (t - loader_fade_out_start > black_seconds) loader_end(t);
      }
    }
    return;
  }
  if (loader_state == loader_fading_out) loader_end(loader_now());
  if (tos.zone_count != 1 || loader_state == loader_shown) {
    fade_smooth_drop();
    return;
  }
  fade_smooth(tos.zones[0].palette, tos.vbl);
}
