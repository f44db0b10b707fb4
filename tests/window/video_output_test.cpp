// The window's video output: the output rectangle, uploads, the drawn and
// read-back picture, the overlay and screenshots.
#include "host/window/video_state.h"
#include "window_fixture.h"

#include <tuple>

namespace {

struct rect_case {
  int W, H, aspect;
  int x, y, w, h;
};

TEST_F(window_test, OutputRectangleFollowsTheAspectMode) {
  const rect_case cases[] = {
      {1000, 700, 3, 20, 50, 960, 600},
      {1000, 700, 0, 33, 0, 933, 700},
      {1000, 700, 1, 0, 37, 1000, 625},
      {1000, 700, 2, 0, 0, 1000, 700},
      {1280, 600, 1, 160, 0, 960, 600},
      // Smaller than one ST screen: integer mode keeps scale 1 and overhangs.
      {200, 100, 3, -60, -50, 320, 200},
      {200, 100, 0, 33, 0, 133, 100},
      {200, 160, 0, 0, 5, 200, 150},
  };
  int open_w = 0, open_h = 0;
  for (const rect_case& c : cases) {
    if (c.W != open_w || c.H != open_h) {
      video_close();
      open(c.W, c.H);
      open_w = c.W, open_h = c.H;
    }
    vcfg.aspect = c.aspect;
    int x, y, w, h;
    video_rect(&x, &y, &w, &h);
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(c.x, c.y, c.w, c.h))
        << c.W << "x" << c.H << " mode " << c.aspect;
  }
}

TEST_F(window_test, PlainPresetDrawsEachGamePixelAsAThreeByThreeBlock) {
  open(960, 600);
  video_set_preset("None");
  vcfg.aspect = 3;
  auto source = coordinate_pattern(320, 200);
  video_upload(source.data());
  rgb_picture shot = draw_and_read();
  ASSERT_EQ(shot.w, 960);
  ASSERT_EQ(shot.h, 600);
  int wrong = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 960; ++x) {
      const uint8_t* want = &source[(size_t(y / 3) * 320 + x / 3) * 3];
      const uint8_t* got = shot.at(x, y);
      if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2] || got[3] != 255) {
        if (++wrong < 5) ADD_FAILURE() << "pixel " << x << "," << y;
      }
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(window_test, SmoothFilterBlendsNeighbouringTexels) {
  open(960, 600);
  video_set_preset("None");
  vcfg.aspect = 3;
  std::vector<uint8_t> stripes(320 * 200 * 3);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i / 3) % 2 ? 255 : 0;
  video_upload(stripes.data());
  vcfg.filter = 0;
  rgb_picture sharp = draw_and_read();
  EXPECT_EQ(sharp.at(2, 100)[0], 0);
  EXPECT_EQ(sharp.at(3, 100)[0], 255);
  vcfg.filter = 1;
  rgb_picture smooth = draw_and_read();
  EXPECT_GT(smooth.at(2, 100)[0], 20);
  EXPECT_LT(smooth.at(2, 100)[0], 235);
}

TEST_F(window_test, ScreenshotHoldsTheWholeDrawableWithBlackBorders) {
  open(1000, 700);
  video_set_preset("None");
  std::vector<uint8_t> white(320 * 200 * 3, 255);
  video_upload(white.data());
  for (int aspect : {3, 0}) {
    vcfg.aspect = aspect;
    rgb_picture shot = draw_and_read();
    ASSERT_EQ(shot.w, 1000);
    ASSERT_EQ(shot.h, 700);
    int x, y, w, h;
    video_rect(&x, &y, &w, &h);
    const uint8_t* border = shot.at(x - 1, 699);
    EXPECT_EQ(std::make_tuple(border[0], border[1], border[2]), std::make_tuple(0, 0, 0));
    const uint8_t* inside = shot.at(x, y);
    EXPECT_EQ(std::make_tuple(inside[0], inside[1], inside[2]), std::make_tuple(255, 255, 255));
    const uint8_t* last = shot.at(x + w - 1, y + h - 1);
    EXPECT_EQ(last[0], 255);
    if (x + w < 1000) {
      EXPECT_EQ(shot.at(x + w, y)[0], 0);
    }
  }
}

TEST_F(window_test, ScreenshotThatCannotBeWrittenIsLoggedAndCleared) {
  open(320, 200);
  std::string path = dir / "missing-folder/shot.png";
  video_screenshot(path.c_str());
  EXPECT_EQ(video_draw(), 1);
  EXPECT_TRUE(log.has("Screenshot could not be written: " + path));
  EXPECT_EQ(g_video.shot_path[0], 0);
}

TEST_F(window_test, OverlayIsBlendedByItsAlpha) {
  open(960, 600);
  video_set_preset("None");
  vcfg.aspect = 3;
  std::vector<uint8_t> frame(320 * 200 * 3);
  for (size_t i = 0; i < frame.size(); i += 3) frame[i] = 200, frame[i + 1] = 40, frame[i + 2] = 90;
  video_upload(frame.data());
  std::vector<uint8_t> overlay(960 * 600 * 4);
  for (size_t i = 0; i < overlay.size(); i += 4)
    overlay[i] = 10, overlay[i + 1] = 250, overlay[i + 2] = 90, overlay[i + 3] = 128;
  video_overlay(overlay.data(), 960, 600);
  rgb_picture shot = draw_and_read();
  const int want[3] = {(10 * 128 + 200 * 127) / 255, (250 * 128 + 40 * 127) / 255, 90};
  for (auto [x, y] : {std::pair{0, 0}, {480, 300}, {959, 599}})
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(shot.at(x, y)[c], want[c], 1) << x << "," << y;
  video_overlay(nullptr, 0, 0);
  shot = draw_and_read();
  EXPECT_EQ(shot.at(480, 300)[0], 200);
}

// A fullscreen request that nobody carries out (X without a window
// manager) leaves the window as it was; the picture must still fill what is
// shown, not a desktop-sized area of which the window holds one corner.
TEST_F(window_test, FullscreenDrawsTheWholePictureWhateverSizeTheWindowEndsAt) {
  open(960, 600);
  video_set_preset("None");
  vcfg.aspect = 2;
  video_set_fullscreen(1);
  for (int i = 0; i < 5; ++i) {
    video_draw();
    video_event e;
    while (video_poll(&e)) {
    }
    SDL_Delay(20);
  }
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  std::vector<uint8_t> overlay(size_t(w) * h * 4);
  for (size_t i = 0; i < overlay.size(); i += 4) overlay[i] = 10, overlay[i + 1] = 250, overlay[i + 2] = 90, overlay[i + 3] = 255;
  video_overlay(overlay.data(), w, h);
  rgb_picture shot = draw_and_read();
  ASSERT_EQ(std::make_pair(shot.w, shot.h), std::make_pair(w, h)) << "the screenshot holds the drawable";
  for (auto [px, py] : {std::pair{0, 0}, {w - 1, 0}, {w / 2, h / 2}, {0, h - 1}, {w - 1, h - 1}})
    EXPECT_EQ(std::make_tuple(shot.at(px, py)[0], shot.at(px, py)[1], shot.at(px, py)[2]),
              std::make_tuple(10, 250, 90))
        << px << "," << py << " of " << w << "x" << h;
}

// Leaving fullscreen on such a server: SDL goes on reporting the desktop's
// size, which the window never took, while the window keeps its own. The
// picture must fill the window again, not show an enlarged corner of a
// desktop-sized one with the menu off-centre.
TEST_F(window_test, LeavingFullscreenDrawsTheWholePictureAgain) {
  open(960, 600);
  video_set_preset("None");
  vcfg.aspect = 2;
  auto settle = [] {
    for (int i = 0; i < 5; ++i) {
      video_draw();
      video_event e;
      while (video_poll(&e)) {
      }
      SDL_Delay(20);
    }
  };
  video_set_fullscreen(1);
  settle();
  video_set_fullscreen(0);
  settle();
  int window_w = 0, window_h = 0;
  ASSERT_TRUE(video_x11_size(SDL_GL_GetCurrentWindow(), &window_w, &window_h));
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(0, 0, window_w, window_h));
  std::vector<uint8_t> overlay(size_t(w) * h * 4);
  for (size_t i = 0; i < overlay.size(); i += 4)
    overlay[i] = 10, overlay[i + 1] = 250, overlay[i + 2] = 90, overlay[i + 3] = 255;
  video_overlay(overlay.data(), w, h);
  rgb_picture shot = draw_and_read();
  ASSERT_EQ(std::make_pair(shot.w, shot.h), std::make_pair(window_w, window_h));
  for (auto [px, py] : {std::pair{0, 0}, {w - 1, 0}, {w / 2, h / 2}, {0, h - 1}, {w - 1, h - 1}})
    EXPECT_EQ(std::make_tuple(shot.at(px, py)[0], shot.at(px, py)[1], shot.at(px, py)[2]),
              std::make_tuple(10, 250, 90))
        << px << "," << py << " of " << w << "x" << h;
}

// The game texture as GL holds it.
std::vector<uint8_t> texture_pixels(int* w, int* h) {
  glBindTexture(GL_TEXTURE_2D, g_video.game_tex);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, h);
  std::vector<uint8_t> rgb(size_t(*w) * *h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

TEST_F(window_test, LargeFramesAreReducedForTheShaderByTheSourceMode) {
  open(640, 400, 640, 400);
  auto frame = coordinate_pattern(640, 400);
  auto src = [&](int x, int y, int c) { return int(frame[(size_t(y) * 640 + x) * 3 + c]); };
  struct sample {
    int x, y;
  };
  for (int mode : {1, 2}) {
    vcfg.source = mode;
    video_upload(frame.data());
    int w = 0, h = 0;
    auto tex = texture_pixels(&w, &h);
    ASSERT_EQ(std::make_pair(w, h), std::make_pair(320, 200)) << "mode " << mode;
    for (sample s : {sample{0, 0}, {1, 0}, {137, 99}, {319, 199}}) {
      for (int c = 0; c < 3; ++c) {
        int x = 2 * s.x, y = 2 * s.y;
        int want = mode == 2 ? src(x + 1, y + 1, c)
                             : (src(x, y, c) + src(x + 1, y, c) + src(x, y + 1, c) +
                                src(x + 1, y + 1, c) + 2) / 4;
        EXPECT_EQ(tex[(size_t(s.y) * 320 + s.x) * 3 + c], want)
            << "mode " << mode << " at " << s.x << "," << s.y << " channel " << c;
      }
    }
  }
  vcfg.source = 0;
  video_upload(frame.data());
  int w = 0, h = 0;
  auto tex = texture_pixels(&w, &h);
  ASSERT_EQ(std::make_pair(w, h), std::make_pair(640, 400));
  EXPECT_EQ(tex, frame);
}

TEST_F(window_test, GameTextureIsRespecifiedOnlyWhenItsSizeChanges) {
  open(640, 400, 640, 400);
  auto frame = coordinate_pattern(640, 400);
  int before = g_video.texture_specs;
  vcfg.source = 0;
  video_upload(frame.data());
  video_upload(frame.data());
  EXPECT_EQ(g_video.texture_specs, before + 1);
  vcfg.source = 1;
  video_upload(frame.data());
  video_upload(frame.data());
  EXPECT_EQ(g_video.texture_specs, before + 2);
  // A 320-wide game picture is never reduced.
  video_close();
  open(400, 300, 320, 200);
  video_upload(coordinate_pattern(320, 200).data());
  int w = 0, h = 0;
  texture_pixels(&w, &h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(320, 200));
}

TEST_F(window_test, DrawingWithoutAWindowDoesNothing) {
  EXPECT_EQ(video_draw(), 0);
  video_upload(nullptr);
  EXPECT_EQ(video_is_software(), 1);
  EXPECT_EQ(video_take_error(), nullptr);
  open(320, 200);
  EXPECT_EQ(video_is_software(), 0);
  video_upload(nullptr);
  EXPECT_EQ(video_draw(), 1);
  video_close();
  video_close();
  EXPECT_EQ(video_draw(), 0);
}

// A minimised window's drawable reads 0 on a side: nothing is drawn, the
// frame counter stays and a pending screenshot waits. (SDL is not asked
// here: the window is set aside for the call, so the size given stands.)
TEST_F(window_test, ADrawableWithASideOfZeroDrawsNothing) {
  open(320, 200);
  const std::string path = dir / "waiting.png";
  for (auto [w, h] : {std::pair{0, 200}, {320, 0}, {0, 0}}) {
    video_screenshot(path.c_str());
    SDL_Window* window = g_video.window;
    g_video.window = nullptr;
    g_video.window_w = w, g_video.window_h = h;
    const unsigned frame = g_video.frame;
    EXPECT_EQ(video_draw(), 0) << w << "x" << h;
    g_video.window = window;
    EXPECT_EQ(g_video.frame, frame) << w << "x" << h;
    EXPECT_STREQ(g_video.shot_path, path.c_str()) << w << "x" << h;
  }
  EXPECT_EQ(video_draw(), 1);
  EXPECT_EQ(g_video.shot_path[0], 0);
}

// Mode 2 takes each block's middle pixel in every channel, also after a
// mode 1 frame whose averages differ from it.
TEST_F(window_test, TheExactReductionTakesEveryChannelOfTheMiddlePixel) {
  open(640, 400, 640, 400);
  std::vector<uint8_t> frame(size_t(640) * 400 * 3, 0);
  for (int y = 1; y < 400; y += 2)
    for (int x = 1; x < 640; x += 2) {
      uint8_t* p = &frame[(size_t(y) * 640 + x) * 3];
      p[0] = uint8_t(200 - x / 8), p[1] = uint8_t(40 + y / 4), p[2] = uint8_t(x / 4 + y / 8);
    }
  vcfg.source = 1;
  video_upload(frame.data());
  vcfg.source = 2;
  video_upload(frame.data());
  int w = 0, h = 0;
  auto tex = texture_pixels(&w, &h);
  ASSERT_EQ(std::make_pair(w, h), std::make_pair(320, 200));
  int wrong = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x)
      for (int c = 0; c < 3; ++c)
        if (tex[(size_t(y) * 320 + x) * 3 + c] != frame[(size_t(2 * y + 1) * 640 + 2 * x + 1) * 3 + c] && ++wrong < 5)
          ADD_FAILURE() << x << "," << y << " channel " << c;
  EXPECT_EQ(wrong, 0);
}

TEST_F(window_test, RefreshRateIsKnownWithAndWithoutAWindow) {
  // Xvfb reports no rate, which reads as 60.
  EXPECT_GT(video_refresh_hz(), 0);
  open(320, 200);
  EXPECT_GT(video_refresh_hz(), 0);
}

// The start-up opens the video twice; error.log names the display's GL
// and its vsync once, not at each opening.
TEST_F(window_test, OpeningTheVideoAgainDoesNotLogTheDisplayAgain) {
  for (int i = 0; i < 3; ++i) {
    open(320, 200);
    video_close();
  }
  const std::string text = "\n" + log.text();
  for (const char* start : {"\nOpenGL ", "\nvsync not available"}) {
    int lines = 0;
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1)) ++lines;
    EXPECT_LE(lines, 1) << start + 1 << " in\n" << text;
  }
}

}  // namespace
