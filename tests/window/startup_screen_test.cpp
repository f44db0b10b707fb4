// The loading screen and the missing-data screen.
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/options.h"
#include "host/window/startup_layout.h"
#include "host/window/startup_screen.h"
#include "host/window/ui2d_canvas.h"
#include "host/window/video_state.h"
#include "machine/game_data.h"
#include "support/synthetic/amiga_disk_images.h"
#include "window_fixture.h"

#include <filesystem>
#include <fstream>

namespace {

// Pixels of exactly this colour, fully opaque.
long count_colour(ui2d_canvas* c, int colour) {
  long n = 0;
  for (int i = 0; i < c->w * c->h; ++i) {
    const uint8_t* p = c->pixels + size_t(i) * 4;
    if (p[0] == (colour >> 16) && p[1] == ((colour >> 8) & 255) && p[2] == (colour & 255) &&
        p[3] == 255)
      ++n;
  }
  return n;
}

TEST(startup_layout, SizesFollowThePictureHeight) {
  struct size_case {
    int h, body, title, small;
  };
  const size_case cases[] = {
      {600, 23, 31, 18}, {300, 16, 21, 13}, {363, 16, 21, 13},
      {364, 16, 21, 13}, {1080, 37, 50, 30}, {200, 16, 21, 13},
  };
  for (const size_case& c : cases) {
    startup_sizes s = startup_sizes_for(c.h);
    EXPECT_EQ(s.body, c.body) << c.h;
    EXPECT_EQ(s.title, c.title) << c.h;
    EXPECT_EQ(s.small, c.small) << c.h;
  }
}

TEST(startup_layout, TextsAreCutToFit) {
  ui2d_face* face = ui2d_font_gdi(0, 16);
  double dots = ui2d_text_w(face, "...");
  double ab = ui2d_text_w(face, "ab");
  struct fit_case {
    const char* text;
    double limit;
    const char* want;
  };
  const fit_case cases[] = {
      {"short", 1000, "short"},
      {"", 0, ""},
      {"W", 1, "W"},                       // one byte is never cut
      {"ab", 1, "a"},                      // one one-byte character left: no dots
      {"\xC3\xA9\xC3\xA9", dots, "..."},   // nothing left: the dots when they fit
      {"\xC3\xA9\xC3\xA9", dots - 1, ""},  // ... and nothing when they do not
      {"abcdefghijklmnop", ab + dots, "ab..."},
      {"ab\xC3\xA9zzzzzzzzzzzzzz", ui2d_text_w(face, "ab\xC3\xA9..."), "ab\xC3\xA9..."},
  };
  for (const fit_case& c : cases) EXPECT_EQ(startup_fit(face, c.text, c.limit), c.want) << c.text;
  std::string path = "/home/player/games/a very long folder name/brakmoor/original";
  std::string front = startup_fit_front(face, path, 200);
  EXPECT_TRUE(front.starts_with("..."));
  EXPECT_TRUE(path.ends_with(front.substr(3)));
  EXPECT_LE(ui2d_text_w(face, front.c_str()), 200);
  EXPECT_GT(ui2d_text_w(face, ("...e" + front.substr(3)).c_str()), 200);
  EXPECT_EQ(startup_fit_front(face, "/short", 200), "/short");
}

TEST(startup_layout, WrappingKeepsLinesWithinTheLimit) {
  ui2d_face* face = ui2d_font_gdi(0, 16);
  double limit = ui2d_text_w(face, "the quick brown");
  auto lines = startup_wrap(face, "the quick   brown fox jumps over the lazy dog", limit);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "the quick brown");
  for (const std::string& line : lines) EXPECT_LE(ui2d_text_w(face, line.c_str()), limit) << line;
  auto wide = startup_wrap(face, "a incomprehensibilities b", ui2d_text_w(face, "a b"));
  EXPECT_EQ(wide, (std::vector<std::string>{"a", "incomprehensibilities", "b"}));
  std::string many;
  for (int i = 0; i < 20; ++i) many += "word ";
  EXPECT_EQ(startup_wrap(face, many, 1).size(), 8u);
  EXPECT_TRUE(startup_wrap(face, "   ", 100).empty());
}

struct loading_picture {
  startup_row rows[STARTUP_ROWS];
  startup_loading screen;
  loading_picture() { screen.rows = rows; }
  ui2d_canvas* draw(int w = 960, int h = 600) { return startup_draw_loading(w, h, screen); }
};

TEST(startup_layout, ProgressShowsADotThenABar) {
  loading_picture p;
  p.rows[0] = {"Game data", "BKM", true, false};
  const int dot = 0x7A6A2A, gold = 0xE6BE46;
  long gold_at[3], dot_at[3];
  const double progress[3] = {0, 0.01, 1.0};
  for (int i = 0; i < 3; ++i) {
    p.screen.progress = progress[i];
    ui2d_canvas* c = p.draw();
    gold_at[i] = count_colour(c, gold);
    dot_at[i] = count_colour(c, dot);
    ui2d_free(c);
  }
  EXPECT_EQ(dot_at[0], 0);
  EXPECT_GT(dot_at[1], 20);
  EXPECT_EQ(dot_at[2], 0);
  EXPECT_EQ(gold_at[1], gold_at[0]);  // only the panel's outline
  EXPECT_GT(gold_at[2], gold_at[0] + 5000);
}

int rgb_at(ui2d_canvas* c, int x, int y) {
  const uint8_t* p = c->pixels + (size_t(y) * c->w + x) * 4;
  return p[0] << 16 | p[1] << 8 | p[2];
}

int alpha_at(ui2d_canvas* c, int x, int y) { return c->pixels[(size_t(y) * c->w + x) * 4 + 3]; }

TEST(startup_layout, LoadingPanelGeometryAtHeight600) {
  // 960 x 600 with one row: S = M = 23, title line 41, body line 31 so
  // L = 37, bar B = 16 and BH = 20; the panel is 710 x (41 + 20 + 22 + 46 +
  // 3 L) = 240 at (125, 180). The bar starts at x 148 and y 295 (title top
  // 195, rows from 247, one row to 284, then M / 2), 664 wide.
  loading_picture p;
  p.rows[0] = {"Game data", "BKM", true, false};
  p.screen.progress = 1.0;
  ui2d_canvas* c = p.draw();
  EXPECT_EQ(alpha_at(c, 5, 5), 150);  // the dimmed window
  EXPECT_EQ(rgb_at(c, 5, 5), 0);
  EXPECT_EQ(alpha_at(c, 123, 300), 150);
  // Inside the panel: 238 over the dimming's 150.
  EXPECT_EQ(alpha_at(c, 135, 300), 248);
  EXPECT_EQ(alpha_at(c, 500, 178), 150);
  EXPECT_EQ(alpha_at(c, 500, 182), 248);
  EXPECT_EQ(alpha_at(c, 500, 418), 248);
  EXPECT_EQ(alpha_at(c, 500, 422), 150);
  EXPECT_EQ(alpha_at(c, 837, 300), 150);
  const int gold = 0xE6BE46;
  EXPECT_EQ(rgb_at(c, 160, 305), gold);  // the full bar
  EXPECT_EQ(rgb_at(c, 800, 305), gold);
  EXPECT_NE(rgb_at(c, 160, 294), gold);
  EXPECT_NE(rgb_at(c, 160, 316), gold);
  ui2d_free(c);
  // A small progress is a dot of diameter 18 at the bar's start.
  p.screen.progress = 0.01;
  c = p.draw();
  EXPECT_EQ(rgb_at(c, 158, 305), 0x7A6A2A);
  EXPECT_NE(rgb_at(c, 170, 305), 0x7A6A2A);
  ui2d_free(c);
}

TEST(startup_layout, BusyRowsShowGreyDots) {
  loading_picture p;
  const int grey = 0x8890A8;
  p.rows[2] = {"Graphics", "", true, true};
  ui2d_canvas* busy = p.draw();
  EXPECT_GT(count_colour(busy, grey), 3);
  ui2d_free(busy);
  p.rows[2] = {"Graphics", "Ready", true, false};
  ui2d_canvas* done = p.draw();
  EXPECT_EQ(count_colour(done, grey), 0);
  ui2d_free(done);
  p.rows[2].shown = false;
  ui2d_canvas* hidden = p.draw();
  EXPECT_EQ(count_colour(hidden, 0xDCC878), 0);  // no label drawn
  ui2d_free(hidden);
  EXPECT_EQ(p.draw(0, 600), nullptr);
}

TEST(startup_layout, MissingDataLayoutShrinksToFitTheHeight) {
  lang_init(BKM_TEST_LANGUAGES);
  double big = 0, small = 0, tiny = 0;
  ui2d_canvas* c = startup_draw_missing(1920, 1080, "/games/brakmoor/original", startup_missing_intro(-1), &big);
  ASSERT_NE(c, nullptr);
  EXPECT_GT(count_colour(c, 0xFFD75A), 10);  // the folder line
  EXPECT_GT(count_colour(c, 0xFF7A66), 10);  // the title
  // S = M = 37 at this height; the panel is 1536 wide from x 192: plain
  // lines and the folder start at 229, the indented ones at 266.
  auto leftmost = [&](int colour) {
    for (int x = 0; x < c->w; ++x)
      for (int y = 0; y < c->h; ++y)
        if (rgb_at(c, x, y) == colour && alpha_at(c, x, y) == 255) return x;
    return -1;
  };
  EXPECT_NEAR(leftmost(0xFFFFFF), 231, 2);
  EXPECT_NEAR(leftmost(0xFFD75A), 231, 2);
  EXPECT_NEAR(leftmost(0xDCC878), 268, 2);
  // The text opens with the intro, a plain line.
  auto topmost = [&](int colour) {
    for (int y = 0; y < c->h; ++y)
      for (int x = 0; x < c->w; ++x)
        if (rgb_at(c, x, y) == colour && alpha_at(c, x, y) == 255) return y;
    return -1;
  };
  EXPECT_LT(topmost(0xFFFFFF), topmost(0xFFD75A));
  EXPECT_LT(topmost(0xFFD75A), topmost(0xDCC878));
  ui2d_free(c);
  ui2d_free(startup_draw_missing(640, 600, "/games/brakmoor/original", startup_missing_intro(-1), &small));
  ui2d_free(startup_draw_missing(300, 120, "/games/brakmoor/original", startup_missing_intro(-1), &tiny));
  EXPECT_EQ(big, 1.0);
  EXPECT_EQ(small, 0.85);
  EXPECT_EQ(tiny, 0.5);
}

// A "BKM" too short to be the game's is named, with its size and the size
// needed, where the screen would say that none was found.
TEST(startup_layout, MissingDataIntroNamesAShortBkm) {
  lang_init(BKM_TEST_LANGUAGES);
  EXPECT_EQ(startup_missing_intro(-1), tr("startup.missing.1"));
  for (long long size : {0LL, 1000LL, 392827LL}) {
    const std::string intro = startup_missing_intro(size);
    EXPECT_NE(intro.find("BKM was found"), std::string::npos) << intro;
    EXPECT_NE(intro.find(": " + std::to_string(size) + " bytes, where at least 392828 are needed"), std::string::npos)
        << intro;
  }
}

// ---- The screens in the window ----------------------------------------------

class startup_test : public window_test {
 protected:
  void SetUp() override {
    unsetenv("BKM_TEST");
    unsetenv("BKM_SECONDS");
    unsetenv("BKM_SPLASH");
    unsetenv("BKM_SHOTS");
    cfg_clear();
    lang_init(BKM_TEST_LANGUAGES);
    open(960, 600);
  }
  void TearDown() override {
    startup_end();
    unsetenv("BKM_TEST");
    unsetenv("BKM_SHOTS");
    window_test::TearDown();
  }
};

TEST_F(startup_test, TestRunsShowNoScreenWithoutSplash) {
  setenv("BKM_TEST", "1", 1);
  startup_begin();
  EXPECT_EQ(startup_active(), 0);
  int before = startup_redraw_count;
  EXPECT_EQ(startup_progress("x", 0.5), 1);
  EXPECT_EQ(startup_finish(), 1);
  EXPECT_EQ(startup_redraw_count, before);
  setenv("BKM_SPLASH", "1", 1);
  startup_begin();
  EXPECT_EQ(startup_active(), 1);
  unsetenv("BKM_SPLASH");
}

TEST_F(startup_test, BeginBlanksTheGamePicture) {
  std::vector<uint8_t> white(320 * 200 * 3, 255);
  video_upload(white.data());
  startup_begin();
  std::vector<uint8_t> texture(320 * 200 * 3, 7);
  glBindTexture(GL_TEXTURE_2D, g_video.game_tex);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texture.data());
  EXPECT_EQ(texture, std::vector<uint8_t>(320 * 200 * 3, 0));
}

TEST_F(startup_test, OptionCanTurnTheScreenOff) {
  cfg_set_bool("startup_screen", 0);
  startup_begin();
  EXPECT_EQ(startup_active(), 0);
}

TEST_F(startup_test, ProgressNeverFallsAndRedrawsOnlyOnAChange) {
  startup_begin();
  ASSERT_EQ(startup_active(), 1);
  startup_line(0, "Game data", "BKM", 0);
  startup_line(9, "ignored", "x", 0);
  int before = startup_redraw_count;
  EXPECT_EQ(startup_progress("x", 0.7), 1);
  EXPECT_EQ(startup_progress("x", 0.5), 1);
  EXPECT_DOUBLE_EQ(startup_current_progress(), 0.7);
  EXPECT_EQ(startup_redraw_count, before + 1);
  startup_progress("y", 0.5);
  EXPECT_EQ(startup_redraw_count, before + 2);
  startup_line(1, "Amiga music", "disk.adf", 0);
  startup_progress("y", 0.5);
  EXPECT_EQ(startup_redraw_count, before + 3);
  startup_line(0, "Game data", "BKM (Vellicor)", 0);
  startup_progress("y", 0.5);
  EXPECT_EQ(startup_redraw_count, before + 4);
  startup_line(5, "Only a label", nullptr, 0);  // shown, nothing else new
  startup_progress("y", 0.5);
  EXPECT_EQ(startup_redraw_count, before + 5);
  before += 1;
  startup_line(6, "Out of range", "x", 0);
  startup_line(-1, "Out of range", "x", 0);
  startup_progress("y", 0.5);
  EXPECT_EQ(startup_redraw_count, before + 4);
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  EXPECT_EQ(std::make_pair(g_video.overlay_w, g_video.overlay_h), std::make_pair(w, h));
  startup_end();
  EXPECT_EQ(startup_active(), 0);
  EXPECT_EQ(g_video.overlay_w, 0);
}

TEST_F(startup_test, ClosingTheWindowEndsEveryLaterStep) {
  startup_begin();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(startup_progress("x", 0.1), 0);
  EXPECT_EQ(startup_progress("x", 0.2), 0);
  double start = now_s();
  EXPECT_EQ(startup_finish(), 0);
  EXPECT_LT(now_s() - start, 0.5);
}

TEST_F(startup_test, FinishCountsDownUnlessConfirmed) {
  startup_begin();
  double start = now_s();
  EXPECT_EQ(startup_finish(), 1);
  EXPECT_GE(now_s() - start, 1.9);
  EXPECT_DOUBLE_EQ(startup_current_progress(), 1.0);
  // Ctrl is bound as 17 while its events carry 162 and 163.
  input_defaults();
  ASSERT_EQ(key_bind[KEY_FIRE].load(), 17);
  kbd_set_bind(KEY_FIRE2, 'Q');
  for (SDL_Scancode key : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_SPACE,
                           SDL_SCANCODE_ESCAPE, SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL,
                           SDL_SCANCODE_Q}) {
    startup_begin();
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = key;
    SDL_PushEvent(&e);
    start = now_s();
    EXPECT_EQ(startup_finish(), 1);
    EXPECT_LT(now_s() - start, 0.5) << SDL_GetScancodeName(key);
  }
  input_defaults();
}

TEST_F(startup_test, TestScreenshotsAreTakenAtMostTwiceASecond) {
  setenv("BKM_SHOTS", dir.path.c_str(), 1);
  startup_begin();
  double start = now_s();
  for (int i = 0; i < 5; ++i) startup_progress("x", 0.1 * i);
  double elapsed = now_s() - start;
  auto shots = [&] {
    int n = 0;
    while (file_exists((dir / ("s000" + std::to_string(n) + ".png")).c_str())) ++n;
    return n;
  };
  int first = shots();
  EXPECT_GE(first, 1);
  EXPECT_LE(first, int(elapsed / 0.5) + 1);
  SDL_Delay(520);
  startup_progress("x", 0.9);
  EXPECT_EQ(shots(), first + 1);
  int w = 0, h = 0;
  free(png_read_rgba((dir / "s0000.png").c_str(), &w, &h));
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(960, 600));
}

// The loading screen's panel, as shown: its height in the overlay, read
// down the middle column (panel 248 over the window's dimming of 150).
int shown_panel_height() {
  std::vector<uint8_t> rgba(size_t(g_video.overlay_tex_w) * g_video.overlay_tex_h * 4);
  glBindTexture(GL_TEXTURE_2D, g_video.overlay_tex);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const int x = g_video.overlay_w / 2;
  int top = -1, bottom = -1;
  for (int y = 0; y < g_video.overlay_h; ++y) {
    if (rgba[(size_t(y) * g_video.overlay_tex_w + x) * 4 + 3] <= 150) continue;
    if (top < 0) top = y;
    bottom = y;
  }
  return top < 0 ? 0 : bottom - top + 1;
}

// The "Amiga music" row is there only when the folder holds an Amiga disk
// file: the panel grows by one line step (37 at this height) with it and
// not at all without.
TEST_F(startup_test, TheAmigaRowIsShownOnlyWithAnAmigaDisk) {
  lang_init(BKM_TEST_LANGUAGES);
  const std::string with_disk = dir / "with", without = dir / "without";
  std::filesystem::create_directories(with_disk);
  std::filesystem::create_directories(without);
  const std::vector<u8> adf = amiga_test_adf(amiga_test_block(1));
  std::ofstream(with_disk + "/music.adf", std::ios::binary).write(reinterpret_cast<const char*>(adf.data()), adf.size());
  std::ofstream(without + "/notes.txt") << "no disk here";
  auto panel_with_rows = [](const char* folder) {
    startup_begin();
    startup_line(0, "Game data", "BKM", 0);
    startup_amiga_line(folder);
    startup_progress("x", 0.5);
    const int h = shown_panel_height();
    startup_end();
    return h;
  };
  const int one_row = panel_with_rows(without.c_str());
  EXPECT_EQ(one_row, 240 + 2);  // the panel and its outline's outer half
  EXPECT_EQ(panel_with_rows(with_disk.c_str()), one_row + 37);
}

Uint32 push_key_later(Uint32, void* key) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_Scancode(reinterpret_cast<intptr_t>(key));
  SDL_PushEvent(&e);
  return 0;
}

Uint32 push_quit_later(Uint32, void*) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  return 0;
}

TEST_F(startup_test, MissingDataScreenStaysUntilEscapeOrQuit) {
  std::string folder = dir / "original";
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  for (SDL_Scancode key : {SDL_SCANCODE_RETURN, SDL_SCANCODE_SPACE, SDL_SCANCODE_LCTRL}) {
    e.key.keysym.scancode = key;
    SDL_PushEvent(&e);
  }
  SDL_AddTimer(300, push_key_later, reinterpret_cast<void*>(intptr_t(SDL_SCANCODE_ESCAPE)));
  double start = now_s();
  startup_missing_data(folder.c_str());
  EXPECT_GE(now_s() - start, 0.25);
  EXPECT_TRUE(dir_exists(folder.c_str()));
  EXPECT_EQ(g_video.overlay_w, 0);
  SDL_AddTimer(100, push_quit_later, nullptr);
  start = now_s();
  startup_missing_data(folder.c_str());
  EXPECT_GE(now_s() - start, 0.05);
}

// The screen itself shows what the game data's selection found: the
// picture drawn with the short file's intro, not the one for no data.
TEST_F(startup_test, MissingDataScreenNamesAShortBkm) {
  std::string folder = dir / "original";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/BKM", std::ios::binary) << std::string(1000, 'B');
  ASSERT_EQ(game_data_init(folder.c_str()), 0);
  SDL_AddTimer(300, push_key_later, reinterpret_cast<void*>(intptr_t(SDL_SCANCODE_ESCAPE)));
  startup_missing_data(folder.c_str());
  game_data_release();
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  ASSERT_EQ(std::make_pair(g_video.overlay_tex_w, g_video.overlay_tex_h), std::make_pair(w, h));
  std::vector<uint8_t> shown(size_t(w) * h * 4);
  glBindTexture(GL_TEXTURE_2D, g_video.overlay_tex);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, shown.data());
  auto picture = [&](long long short_bkm) {
    ui2d_canvas* c = startup_draw_missing(w, h, folder, startup_missing_intro(short_bkm), nullptr);
    std::vector<uint8_t> pixels(c->pixels, c->pixels + size_t(w) * h * 4);
    ui2d_free(c);
    return pixels;
  };
  const std::vector<uint8_t> none = picture(-1);
  EXPECT_TRUE(shown == picture(1000));
  EXPECT_FALSE(shown == none);
}

}  // namespace
