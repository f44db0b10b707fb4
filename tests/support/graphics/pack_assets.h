// Hand-made assets folders for the graphics-pack tests: a dump index with
// sheets described in a few fields, the dump's own sheets and indexed
// screens, and pack folders with redrawn sheets, all written as the program
// writes them (index.json text, PNGs through the program's writer).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

struct rgba_picture {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
  rgba_picture() = default;
  rgba_picture(int width, int height) : w(width), h(height), px(static_cast<size_t>(width) * height * 4, 0) {}
  uint8_t* at(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
  const uint8_t* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
  void fill(int x, int y, int width, int height, uint32_t rgba);
  // The same picture with every pixel a k x k block.
  rgba_picture enlarged(int k) const;
};

// One cell of a sheet in the index.
struct index_cell {
  int i;
  std::string hash;
  int crop_x = 0, crop_y = 0;
};

// One member of the index's "sheets"; the JSON text is made from the fields.
struct index_sheet {
  index_sheet(std::string sheet_name, std::string sheet_kind, int w, int h, int cw, int ch, int columns, int cell_margin,
              std::vector<index_cell> sheet_cells)
      : name(std::move(sheet_name)), kind(std::move(sheet_kind)), width(w), height(h), cell_w(cw), cell_h(ch),
        cols(columns), margin(cell_margin), cells(std::move(sheet_cells)) {}
  std::string name;
  std::string kind;
  int width = 0, height = 0;
  int cell_w = 0, cell_h = 0;
  int cols = 1, margin = 0;
  std::vector<index_cell> cells;
  // Screens.
  std::string idx;
  int x = 0, y = 0, order = 0, ingame = 0, palette_sum = 0;
  std::string json() const;
};

struct pack_assets {
  temp_dir dir;
  std::string root() const { return dir.path; }
  // assets/original/index.json with these sheets; format 2 unless told.
  void write_index(const std::vector<index_sheet>& sheets, int format = 2) const;
  // <folder>/<sheet>.png, parent folders made.
  void write_sheet(const std::string& folder, const std::string& sheet, const rgba_picture& picture) const;
  // assets/original/<file>: an indexed screen with the grey palette.
  void write_indices(const std::string& file, const std::vector<uint8_t>& indices, int w, int h) const;
  void make_folder(const std::string& folder) const;
};
