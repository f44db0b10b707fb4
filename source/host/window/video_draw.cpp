// Uploading the game picture and the overlay, the output rectangle, and
// drawing one frame.
#include "host/platform.h"
#include "host/window/video_state.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

constexpr int SOURCE_W = 320, SOURCE_H = 200;

// Shaders written for the ST's 320 x 200 get that picture from a larger
// one: the mean of each s x s block, or one pixel of it.
bool reduce(const uint8_t* rgb, int mode) {
  int s = g_video.game_w / SOURCE_W;
  if (g_video.game_h / SOURCE_H < s) s = g_video.game_h / SOURCE_H;
  try {
    g_video.reduced.resize(size_t(SOURCE_W) * SOURCE_H * 3);
  } catch (const std::bad_alloc&) {
    video_set_error("Not enough memory to prepare shader input");
    return false;
  }
  uint8_t* out = g_video.reduced.data();
  size_t stride = size_t(g_video.game_w) * 3;
  int area = s * s;
  for (int y = 0; y < SOURCE_H; ++y) {
    for (int x = 0; x < SOURCE_W; ++x, out += 3) {
      const uint8_t* block = rgb + size_t(y) * s * stride + size_t(x) * s * 3;
      if (mode == 2) {
        const uint8_t* p = block + size_t(s / 2) * stride + size_t(s / 2) * 3;
        out[0] = p[0], out[1] = p[1], out[2] = p[2];
        continue;
      }
      int sum[3] = {};
      for (int by = 0; by < s; ++by) {
        const uint8_t* p = block + size_t(by) * stride;
        for (int bx = 0; bx < s; ++bx, p += 3) sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
      }
      for (int c = 0; c < 3; ++c) out[c] = uint8_t((sum[c] + area / 2) / area);
    }
  }
  return true;
}

// Re-specifies the texture only when the size changes: an in-place update
// is much cheaper on most drivers.
void upload_texture(GLuint tex, int* cur_w, int* cur_h, int w, int h, GLenum internal,
                    GLenum format, const uint8_t* pixels, int* specs) {
  glBindTexture(GL_TEXTURE_2D, tex);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (w != *cur_w || h != *cur_h) {
    glTexImage2D(GL_TEXTURE_2D, 0, internal, w, h, 0, format, GL_UNSIGNED_BYTE, pixels);
    *cur_w = w;
    *cur_h = h;
    if (specs) ++*specs;
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, format, GL_UNSIGNED_BYTE, pixels);
  }
}

int rounded(double v) { return static_cast<int>(v + 0.5); }

// The height the shaders are told; tests may pretend another one.
int shader_output_height(int h) {
  if (!getenv("BKM_TEST")) return h;
  const char* mask = getenv("BKM_MASKH");
  return mask ? atoi(mask) : h;
}

}  // namespace

void video_upload(const uint8_t* rgb) {
  if (!g_video.context || !rgb || g_video.game_w <= 0 || g_video.game_h <= 0) return;
  int w = g_video.game_w, h = g_video.game_h;
  int mode = vcfg.source;
  if (w >= 2 * SOURCE_W && (mode == 1 || mode == 2)) {
    if (!reduce(rgb, mode)) return;
    rgb = g_video.reduced.data();
    w = SOURCE_W;
    h = SOURCE_H;
  }
  upload_texture(g_video.game_tex, &g_video.tex_w, &g_video.tex_h, w, h, GL_RGB8, GL_RGB, rgb,
                 &g_video.texture_specs);
}

void video_overlay(const uint8_t* rgba, int w, int h) {
  if (!g_video.context) return;
  if (!rgba || w <= 0 || h <= 0) {
    g_video.overlay_w = g_video.overlay_h = 0;
    return;
  }
  upload_texture(g_video.overlay_tex, &g_video.overlay_tex_w, &g_video.overlay_tex_h, w, h,
                 GL_RGBA8, GL_RGBA, rgba, nullptr);
  g_video.overlay_w = w;
  g_video.overlay_h = h;
}

void video_rect(int* x, int* y, int* w, int* h) {
  // The size the next draw will use: a picture made for a size read one
  // frame ago would be stretched, and its thin text blurred, after a resize.
  video_read_drawable_size();
  int W = g_video.window_w, H = g_video.window_h;
  int rx = 0, ry = 0, rw = W, rh = H;
  if (vcfg.aspect == 3) {
    int k = std::min(W / SOURCE_W, H / SOURCE_H);
    if (k < 1) k = 1;
    rw = SOURCE_W * k;
    rh = SOURCE_H * k;
    rx = (W - rw) / 2;
  } else if (vcfg.aspect != 2 && W > 0 && H > 0) {
    double r = vcfg.aspect == 1 ? 1.6 : 4.0 / 3.0;
    if (double(W) / H > r) {
      rw = rounded(H * r);
      rx = (W - rw) / 2;
    } else {
      rh = rounded(W / r);
    }
  }
  ry = (H - rh) / 2;
  *x = rx, *y = ry, *w = rw, *h = rh;
}

int video_draw() {
  if (!g_video.context) return 0;
  video_read_drawable_size();
  int W = g_video.window_w, H = g_video.window_h;
  if (W <= 0 || H <= 0) return 0;
  ++g_video.frame;
  glViewport(0, 0, W, H);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  int x, y, w, h;
  video_rect(&x, &y, &w, &h);
  glViewport(x, H - y - h, w, h);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, g_video.game_tex);
  GLint filter = vcfg.filter == 0 ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  video_draw_game(w, shader_output_height(h));
  if (g_video.overlay_w > 0 && g_video.overlay_h > 0) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    video_draw_overlay();
    glDisable(GL_BLEND);
  }
  if (g_video.shot_path[0]) video_take_screenshot();
  SDL_GL_SwapWindow(g_video.window);
  if (g_video.gpu_wait) glFinish();
  return 1;
}
