// The start-up screens' state, their events and their presentation: a new
// picture is drawn only when its signature (everything it shows) changes.
#include "host/window/startup_screen.h"

#include "host/input_bindings.h"
#include "host/language.h"
#include "host/options.h"
#include "host/pads.h"
#include "host/platform.h"
#include "host/window/startup_layout.h"
#include "host/window/video_state.h"
#include "machine/game_data.h"
#include "sound/amiga_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

int startup_redraw_count = 0;

namespace {

constexpr double COUNTDOWN_S = 2.0;
constexpr int FINISH_STEP_MS = 16;
constexpr int MISSING_STEP_MS = 30;
constexpr int FIRE_RELEASE_STEPS = 60;

struct startup_state {
  startup_row rows[STARTUP_ROWS];
  double progress = 0;
  std::string detail;
  bool finished = false;
  double finished_at = 0;
  bool quit_asked = false;
  bool active = false;
  int shown_w = 0, shown_h = 0;
  std::string shown_signature;
  int shot_counter = 0;
  double last_shot = -1e9;
  bool pad_fire[2] = {};  // at the last read, for press edges
} st;

struct input {
  bool quit = false, escape = false, confirm = false;
};

// The fire keys are stored with Ctrl as 17; events name the side (162, 163).
bool is_fire_key(int key) {
  int code = kbd_norm_vk(key);
  return code == key_bind[KEY_FIRE].load(std::memory_order_relaxed) ||
         code == key_bind[KEY_FIRE2].load(std::memory_order_relaxed);
}

// Fire on the first controller, or on either when two are attached.
int read_pad_fire(bool fire[2]) {
  fire[0] = fire[1] = false;
  if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return 0;
  pad_state pads[2] = {};
  int count = pads_read(pads);
  for (int i = 0; i < count && i < 2; ++i) fire[i] = (pads[i].joy & JOY_FIRE) != 0;
  return count;
}

// Reads every pending window event, then the controllers for a fire press.
input read_events() {
  input in;
  video_event e;
  while (video_poll(&e)) {
    if (e.kind == VIDEO_EV_QUIT) in.quit = true;
    if (e.kind != VIDEO_EV_KEY || !e.down || e.repeat) continue;
    if (e.key == 27) in.escape = true;
    if (e.key == 13 || e.key == VK_KEYPAD_ENTER || e.key == 32 || is_fire_key(e.key))
      in.confirm = true;
  }
  bool fire[2];
  read_pad_fire(fire);
  for (int i = 0; i < 2; ++i) {
    if (fire[i] && !st.pad_fire[i]) in.confirm = true;
    st.pad_fire[i] = fire[i];
  }
  if (in.quit) st.quit_asked = true;
  return in;
}

// No old game picture may show behind the panel.
void upload_black() {
  int gw = g_video.game_w, gh = g_video.game_h;
  if (gw <= 0 || gh <= 0) return;
  std::vector<uint8_t> black(size_t(gw) * gh * 3, 0);
  video_upload(black.data());
}

void test_shot() {
  const char* folder = getenv("BKM_SHOTS");
  if (!folder || !*folder) return;
  double now = now_s();
  if (now - st.last_shot < 0.5) return;
  st.last_shot = now;
  char path[700];
  snprintf(path, sizeof path, "%s/s%04d.png", folder, st.shot_counter++);
  video_screenshot(path);
}

void present(const std::string& signature, const std::function<ui2d_canvas*(int, int)>& draw) {
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  if (w != st.shown_w || h != st.shown_h || signature != st.shown_signature) {
    // A canvas that cannot be had leaves the last picture up.
    if (ui2d_canvas* c = draw(w, h)) {
      int cw = 0, ch = 0;
      const uint8_t* pixels = ui2d_px(c, &cw, &ch);
      video_overlay(pixels, cw, ch);
      ui2d_free(c);
      ++startup_redraw_count;
      st.shown_w = w;
      st.shown_h = h;
      st.shown_signature = signature;
    }
  }
  test_shot();
  video_draw();
}

int countdown_left() {
  if (!st.finished) return -1;
  int left = int(COUNTDOWN_S - (now_s() - st.finished_at) + 0.999);
  return std::max(left, 0);
}

void present_loading() {
  int countdown = countdown_left();
  char head[64];
  snprintf(head, sizeof head, "%d|", int(1000 * st.progress));
  std::string signature = head + st.detail + "|" + std::to_string(countdown) + "|";
  for (const startup_row& row : st.rows) {
    signature += row.shown ? '1' : '0';
    signature += row.busy ? '1' : '0';
    signature += row.value + ";";
  }
  startup_loading screen;
  screen.rows = st.rows;
  screen.progress = st.progress;
  screen.detail = st.detail;
  screen.countdown = countdown;
  present(signature, [&](int w, int h) { return startup_draw_loading(w, h, screen); });
}

bool test_run_without_splash() {
  return (getenv("BKM_TEST") || getenv("BKM_SECONDS")) && !getenv("BKM_SPLASH");
}

}  // namespace

void startup_begin() {
  if (!cfg_bool("startup_screen", 1) || test_run_without_splash()) return;
  for (startup_row& row : st.rows) row = startup_row{};
  st.progress = 0;
  st.detail.clear();
  st.finished = false;
  st.quit_asked = false;
  st.shown_w = st.shown_h = 0;
  st.shown_signature.clear();
  st.active = true;
  upload_black();
}

double startup_current_progress() { return st.progress; }

int startup_active() { return st.active ? 1 : 0; }

void startup_line(int index, const char* label, const char* value, int busy) {
  if (!st.active || index < 0 || index >= STARTUP_ROWS) return;
  startup_row& row = st.rows[index];
  row.label = std::string(label ? label : "").substr(0, 63);
  row.value = std::string(value ? value : "").substr(0, 399);
  row.busy = busy != 0;
  row.shown = true;
}

void startup_amiga_line(const char* folder) {
  char path[1024];
  if (!amiga_music_find(folder, path, sizeof path)) return;
  const char* slash = std::strrchr(path, '/');
  startup_line(1, tr("startup.l.amiga"), slash ? slash + 1 : path, 0);
}

int startup_progress(const char* detail, double fraction) {
  if (st.active) {
    st.progress = std::max(st.progress, fraction);
    st.detail = std::string(detail ? detail : "").substr(0, 299);
    read_events();
    present_loading();
  }
  return st.quit_asked ? 0 : 1;
}

int startup_finish() {
  if (!st.active) return st.quit_asked ? 0 : 1;
  st.progress = 1;
  st.finished = true;
  st.finished_at = now_s();
  st.detail = tr("startup.ready");
  while (!st.quit_asked && now_s() - st.finished_at < COUNTDOWN_S) {
    input in = read_events();
    if (in.quit || in.escape || in.confirm) break;
    present_loading();
    sleep_ms(FINISH_STEP_MS);
  }
  // A fire button still held would reach the game as its first press.
  bool fire[2];
  for (int i = 0; i < FIRE_RELEASE_STEPS && read_pad_fire(fire) && (fire[0] || fire[1]); ++i)
    sleep_ms(FINISH_STEP_MS);
  return st.quit_asked ? 0 : 1;
}

void startup_end() {
  if (!st.active) return;
  video_overlay(nullptr, 0, 0);
  st.active = false;
}

void startup_missing_data(const char* game_folder) {
  std::string folder = game_folder ? game_folder : "";
  if (!folder.empty() && !dir_exists(folder.c_str()) && !port_mkdir(folder.c_str()))
    host_log("Could not create the game-data folder: %s", folder.c_str());
  const std::string intro = startup_missing_intro(game_data_short_bkm());
  upload_black();
  st.shown_w = st.shown_h = 0;
  st.shown_signature.clear();
  for (;;) {
    input in = read_events();
    if (in.quit || in.escape) break;
    present("missing", [&](int w, int h) {
      return startup_draw_missing(w, h, folder, intro, nullptr);
    });
    sleep_ms(MISSING_STEP_MS);
  }
  video_overlay(nullptr, 0, 0);
  st.shown_signature.clear();
}
