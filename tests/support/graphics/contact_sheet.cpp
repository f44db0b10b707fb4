#include "support/graphics/contact_sheet.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "graphics/png_codec.h"
#include "support/synthetic/st_palette.h"
#include "support/synthetic/st_planes.h"

namespace {

// The picture with each pixel as scale x scale.
bool write_scaled_rgb(const std::string& path, const u8* rgb, int w, int h, int scale) {
  std::vector<u8> out(static_cast<size_t>(w) * scale * h * scale * 3);
  for (int y = 0; y < h * scale; ++y)
    for (int x = 0; x < w * scale; ++x)
      std::copy_n(rgb + (static_cast<size_t>(y / scale) * w + x / scale) * 3, 3,
                  &out[(static_cast<size_t>(y) * w * scale + x) * 3]);
  return png_write(path.c_str(), out.data(), w * scale, h * scale, 3) == 1;
}

std::string contact_sheet_path(const std::string& name) {
  const std::string dir = CONTACT_SHEET_DIR;
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  return dir + "/" + name + ".png";
}

} // namespace

bool write_screen_png(const std::string& path, const u8* screen, const u8* palette, int scale) {
  const st_palette colours = palette_read(palette);
  std::vector<u8> rgb(320 * 200 * 3);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      const int k = st_get_pixel(screen, x, y);
      u8* out = &rgb[(static_cast<size_t>(y) * 320 + x) * 3];
      out[0] = static_cast<u8>(shown_gun(colours, k, 8));
      out[1] = static_cast<u8>(shown_gun(colours, k, 4));
      out[2] = static_cast<u8>(shown_gun(colours, k, 0));
    }
  return write_scaled_rgb(path, rgb.data(), 320, 200, scale);
}

bool write_contact_sheet(const std::string& name, const u8* screen, const u8* palette) {
  return write_screen_png(contact_sheet_path(name), screen, palette, 3);
}

bool write_rgb_contact_sheet(const std::string& name, const u8* rgb, int w, int h) {
  return write_scaled_rgb(contact_sheet_path(name), rgb, w, h, 3);
}

std::array<u8, 32> palette_bytes(const std::array<u16, 16>& colours) {
  std::array<u8, 32> b{};
  for (int k = 0; k < 16; ++k) {
    b[2 * k] = static_cast<u8>(colours[k] >> 8);
    b[2 * k + 1] = static_cast<u8>(colours[k]);
  }
  return b;
}
