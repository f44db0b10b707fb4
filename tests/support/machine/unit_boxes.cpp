#include "support/machine/unit_boxes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "machine/memory.h"

namespace {

constexpr int line_bytes = 160;
constexpr int field_left = 64, field_right = 255; // the play-field window's pixels
constexpr int last_line = 199;

int word_at(u32 record, u32 offset) { return static_cast<int>(rd16(record + offset)); }
int signed_word_at(u32 record, u32 offset) { return static_cast<i16>(rd16(record + offset)); }

unit_box sized(int left, int top, int width, int height) { return {"", 0, left, left + width - 1, top, top + height - 1}; }

// Enemies and effects are cut to the window; an odd x is drawn one pixel to
// the left, and at the left edge one pixel to the right of its true place.
unit_box in_window(unit_box b) {
  b.left = std::max(b.left - 1, field_left);
  b.right = std::min(b.right + 1, field_right);
  return b;
}

// Cut to the screen's lines; enemies also reach line 200, the spare line.
unit_box clipped_lines(unit_box b, int bottom_limit = last_line) {
  b.top = std::max(b.top, 0);
  b.bottom = std::min(b.bottom, bottom_limit);
  return b;
}

// Objects in field coordinates: the play field's top-left pixel is (100, 100).
int screen_x(int x) { return x - 36; }
int screen_line(int y) { return y - 100; }

unit_box box_of(const std::string& kind, u32 r) {
  if (kind == "player") return sized(word_at(r, 2), word_at(r, 4), 32, 25);
  if (kind == "enemy")
    return clipped_lines(in_window(sized(screen_x(word_at(r, 0)), screen_line(word_at(r, 2)), 16, 22)), last_line + 1);
  if (kind == "fx")
    return clipped_lines(in_window(sized(screen_x(word_at(r, 0)), screen_line(word_at(r, 2)), 16, 16)));
  if (kind == "obj5e32") return sized(screen_x(word_at(r, 0)), screen_line(word_at(r, 2)), 16, 9);
  if (kind == "obj5f1a") return sized(screen_x(word_at(r, 2)), screen_line(word_at(r, 4)), 16, 9);
  if (kind == "bullet" || kind == "bullet2") return sized(screen_x(word_at(r, 0)), screen_line(word_at(r, 2)), 2, 2);
  if (kind == "veh" || kind == "veh6" || kind == "veh4") {
    const int width = kind == "veh" ? 64 : kind == "veh6" ? 32 : 48;
    const int height = kind == "veh" ? word_at(r, 0x0A) : kind == "veh6" ? 48 : 63;
    return clipped_lines(sized(screen_x(word_at(r, 2)), screen_line(word_at(r, 4)), width, height));
  }
  if (kind == "boom") {
    // the frame's left edge on the 16-pixel column of x; halves off the field are not drawn
    unit_box b = sized(((word_at(r, 0) - 100) & 0xFFF0) + field_left, screen_line(word_at(r, 2)), 32, 22);
    b.left = std::max(b.left, field_left);
    b.right = std::min(b.right, field_right);
    return clipped_lines(b);
  }
  if (kind == "turret")
    return clipped_lines(sized(word_at(r, 0) & 0xFFF0, signed_word_at(r, 2), 32, 32));
  return {};
}

constexpr const char* known_kinds[] = {"player", "enemy", "obj5e32", "obj5f1a", "fx",      "veh",
                                       "veh6",   "veh4",  "bullet",  "bullet2", "boom", "turret"};

int floor_column(int x) { return x >= 0 ? x / 16 : -((-x + 15) / 16); }

} // namespace

unit_box unit_picture_box(const std::string& kind, u32 record) {
  unit_box b = box_of(kind, record);
  b.kind = std::find(std::begin(known_kinds), std::end(known_kinds), kind) != std::end(known_kinds) ? kind : "";
  b.record = record;
  return b;
}

unit_box unit_empty_box(const std::string& kind, u32 record) {
  unit_box b = unit_picture_box(kind, record);
  b.right = b.left - 1;
  b.bottom = b.top - 1;
  return b;
}

std::string drawn_outside(const unit_box& box, const u8* before, const u8* after) {
  // Whole runs are compared first: a unit changes a few lines of the 205.
  const u32 inside_from = static_cast<u32>(std::clamp(floor_column(box.left), 0, 20)) * 8;
  const u32 inside_to = static_cast<u32>(std::clamp(floor_column(box.right) + 1, 0, 20)) * 8;
  for (u32 start = 0; start < unit_screen_span; start += line_bytes) {
    const int line = static_cast<int>(start / line_bytes);
    const u32 end = std::min(start + line_bytes, unit_screen_span);
    const bool box_line = line >= box.top && line <= box.bottom && inside_from < inside_to;
    const u32 runs[2][2] = {{start, box_line ? std::min(start + inside_from, end) : end},
                            {box_line ? std::min(start + inside_to, end) : end, end}};
    for (const auto& run : runs) {
      if (run[0] >= run[1] || std::memcmp(before + run[0], after + run[0], run[1] - run[0]) == 0) continue;
      u32 at = run[0];
      while (before[at] == after[at]) ++at;
      char text[200];
      std::snprintf(text, sizeof text,
                    "%s at $%06X changed byte %u (line %d, column %u) outside its box: lines %d-%d, pixels %d-%d",
                    box.kind.c_str(), box.record, at, line, at % line_bytes / 8, box.top, box.bottom, box.left,
                    box.right);
      return text;
    }
  }
  return "";
}
