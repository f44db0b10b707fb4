#include "support/graphics/pack_assets.h"

#include <filesystem>

#include "graphics/png_codec.h"

void rgba_picture::fill(int x, int y, int width, int height, uint32_t rgba) {
  for (int j = y; j < y + height; ++j)
    for (int i = x; i < x + width; ++i) {
      uint8_t* p = at(i, j);
      p[0] = static_cast<uint8_t>(rgba >> 24), p[1] = static_cast<uint8_t>(rgba >> 16);
      p[2] = static_cast<uint8_t>(rgba >> 8), p[3] = static_cast<uint8_t>(rgba);
    }
}

rgba_picture rgba_picture::enlarged(int k) const {
  rgba_picture out(w * k, h * k);
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x)
      for (int c = 0; c < 4; ++c) out.at(x, y)[c] = at(x / k, y / k)[c];
  return out;
}

std::string index_sheet::json() const {
  // Members at the reader's default are left out, as a hand-written index may.
  std::string s = "\"" + name + "\":{\"kind\":\"" + kind + "\",\"height\":" + std::to_string(height) + ",\"cell\":[" +
                  std::to_string(cell_w) + "," + std::to_string(cell_h) + "]";
  if (width) s += ",\"width\":" + std::to_string(width);
  if (cols != 1) s += ",\"cols\":" + std::to_string(cols);
  if (margin) s += ",\"margin\":" + std::to_string(margin);
  if (!idx.empty()) {
    s += ",\"idx\":\"" + idx + "\",\"pos\":[" + std::to_string(x) + "," + std::to_string(y) +
         "],\"palette_sum\":" + std::to_string(palette_sum);
    if (order) s += ",\"order\":" + std::to_string(order);
    if (ingame) s += ",\"ingame\":true";
  }
  s += ",\"cells\":[";
  for (size_t n = 0; n < cells.size(); ++n) {
    const index_cell& c = cells[n];
    std::string members;
    if (c.i) members += ",\"i\":" + std::to_string(c.i);
    if (!c.hash.empty())
      members += ",\"hash\":\"" + c.hash + "\",\"crop\":[" + std::to_string(c.crop_x) + "," + std::to_string(c.crop_y) + ",1,1]";
    s += (n ? ",{" : "{") + (members.empty() ? members : members.substr(1)) + "}";
  }
  return s + "]}";
}

void pack_assets::make_folder(const std::string& folder) const {
  std::filesystem::create_directories(dir / folder);
}

void pack_assets::write_index(const std::vector<index_sheet>& sheets, int format) const {
  make_folder("original");
  std::string text = "{\"format\":" + std::to_string(format) + ",\"margin\":4,\"sheets\":{";
  for (size_t n = 0; n < sheets.size(); ++n) text += (n ? "," : "") + sheets[n].json();
  spit(dir / "original/index.json", text + "},\"reference_levels\":[]}\n");
}

void pack_assets::write_sheet(const std::string& folder, const std::string& sheet, const rgba_picture& picture) const {
  const std::string path = dir / (folder + "/" + sheet + ".png");
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  png_write(path.c_str(), picture.px.data(), picture.w, picture.h, 4);
}

void pack_assets::write_indices(const std::string& file, const std::vector<uint8_t>& indices, int w, int h) const {
  uint8_t grey[768] = {};
  for (int i = 0; i < 16; ++i) grey[3 * i] = grey[3 * i + 1] = grey[3 * i + 2] = static_cast<uint8_t>(16 * i);
  const std::string path = dir / ("original/" + file);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  png_write_indexed(path.c_str(), indices.data(), w, h, grey);
}
