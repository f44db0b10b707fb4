#include "support/contact_sheet.h"

#include <filesystem>
#include <vector>

#include "graphics/png_codec.h"
#include "support/st_palette.h"
#include "support/st_planes.h"

bool write_screen_png(const std::string& path, const u8* screen, const u8* palette, int scale) {
  const st_palette colours = palette_read(palette);
  const int w = 320 * scale, h = 200 * scale;
  std::vector<u8> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int k = st_get_pixel(screen, x / scale, y / scale);
      u8* out = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      out[0] = static_cast<u8>(shown_gun(colours, k, 8));
      out[1] = static_cast<u8>(shown_gun(colours, k, 4));
      out[2] = static_cast<u8>(shown_gun(colours, k, 0));
    }
  return png_write(path.c_str(), rgb.data(), w, h, 3) == 1;
}

bool write_contact_sheet(const std::string& name, const u8* screen, const u8* palette) {
  const std::string dir = CONTACT_SHEET_DIR;
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  return write_screen_png(dir + "/" + name + ".png", screen, palette, 3);
}

std::array<u8, 32> palette_bytes(const std::array<u16, 16>& colours) {
  std::array<u8, 32> b{};
  for (int k = 0; k < 16; ++k) {
    b[2 * k] = static_cast<u8>(colours[k] >> 8);
    b[2 * k + 1] = static_cast<u8>(colours[k]);
  }
  return b;
}
