// Opens the video output for one test and reads back what it drew. The
// window tests run on an X display with OpenGL (Xvfb and Mesa in CI); a
// missing display fails them.
#pragma once

#include "graphics/png_codec.h"
#include "host/window/video.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

struct rgb_picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * w + x) * 4]; }
};

class window_test : public ::testing::Test {
 protected:
  log_capture log;  // keeps error.log and the GL line out of the source tree
  temp_dir dir;
  video_cfg saved_cfg = vcfg;

  void TearDown() override {
    video_close();
    vcfg = saved_cfg;
  }

  void open(int w, int h, int game_w = 320, int game_h = 200, const char* shaders = "") {
    ASSERT_EQ(video_open(w, h, game_w, game_h, shaders), 1) << video_take_error();
  }

  // Draws one frame with a screenshot pending and reads the PNG back.
  rgb_picture draw_and_read() {
    static int counter;
    std::string path = dir / ("shot" + std::to_string(counter++) + ".png");
    video_screenshot(path.c_str());
    EXPECT_EQ(video_draw(), 1);
    rgb_picture picture;
    uint8_t* pixels = png_read_rgba(path.c_str(), &picture.w, &picture.h);
    EXPECT_NE(pixels, nullptr) << "no screenshot";
    if (pixels) {
      picture.rgba.assign(pixels, pixels + size_t(picture.w) * picture.h * 4);
      free(pixels);
    }
    return picture;
  }
};

// A game picture whose every pixel says where it is.
inline std::vector<uint8_t> coordinate_pattern(int w, int h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = uint8_t(x);
      p[1] = uint8_t(y);
      p[2] = uint8_t((x * 7 + y * 13) ^ (x >> 8) * 91);
    }
  return rgb;
}
