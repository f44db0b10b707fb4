#include "support/synthetic/sprite_sheets.h"

#include <array>

#include "support/synthetic/picture_drawing.h"

namespace {

constexpr u32 sheet_count = 16;

struct sheet_look {
  sheet_layout layout;
  u8 outline;
};

// Outlines by kind; three-plane tables keep to colours 1-7.
const std::array<sheet_look, sheet_count> looks = {{
    {{"P", 0x02F91C, 128, 32, 25, 4, true}, 11},
    {{"X", 0x0388DC, 11, 32, 22, 3, false}, 6},
    {{"W", 0x039434, 19, 16, 59, 4, false}, 12},
    {{"D", 0x03C13C, 5, 48, 40, 4, false}, 9},
    {{"VA", 0x03D3FC, 2, 64, 90, 4, false}, 13},
    {{"V6", 0x03EA7C, 2, 32, 48, 4, false}, 13},
    {{"VB", 0x03F07C, 2, 64, 90, 4, false}, 14},
    {{"V4", 0x0406FC, 2, 48, 63, 4, false}, 14},
    {{"H", 0x0412CC, 18, 16, 16, 4, false}, 6},
    {{"G", 0x0434B6, 3, 32, 25, 4, false}, 7},
    {{"M", 0x044776, 12, 32, 21, 4, false}, 12},
    {{"T", 0x045736, 6, 32, 32, 4, true}, 9},
    {{"O", 0x046336, 6, 16, 16, 4, false}, 3},
    {{"E", 0x05E60A, 39, 16, 22, 3, false}, 3},
    {{"", 0x04694A, 29, 16, 9, 3, false}, 4},
    {{"F", 0x046F68, 12, 16, 16, 4, false}, 8},
}};

const sheet_look& look_of(sheet s) { return looks[static_cast<u32>(s)]; }

// The top-left mark: a colour that differs from frame to frame.
u8 mark_of(const sheet_look& k, u32 frame) {
  return static_cast<u8>(k.layout.planes == 3 ? 1 + frame % 7 : 1 + frame % 15);
}

idx_picture draw_frame(sheet s, u32 frame) {
  const sheet_look& k = look_of(s);
  const sheet_layout& l = k.layout;
  // Shot frames but the first are 8 pixels wide: their box ends there.
  // The wide one keeps its last two columns for the column it reaches.
  const bool shot = s == sheet::shot;
  const int w = shot ? (frame == 0 ? 15 : 9) : static_cast<int>(l.width);
  const int h = static_cast<int>(l.lines);
  // The plate takes the planes the outline lacks and the stripes all
  // planes between them, so every plane word of every line of a frame is
  // drawn (a line or a plane lost in the drawing shows).
  const u8 all = l.planes == 3 ? 7 : 15;
  const sprite_style style = {k.outline, static_cast<u8>(all & ~k.outline), all, mark_of(k, frame),
                              static_cast<u8>(l.planes == 3 ? 2 : 5), static_cast<u8>(l.planes == 3 ? 5 : 10)};
  const idx_picture box = labelled_sprite(w, h, style, std::string(l.label) + decimal(frame));
  idx_picture p(static_cast<int>(l.width), h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = box.at(x, y);
  // The wide shot frame reaches pixel 15 in all three planes on every line.
  if (s == sheet::shot && frame == 0)
    for (int y = 0; y < h; ++y) p.at(15, y) = 7;
  // The panel's pictures carry their number in bits along the top line,
  // which the tests read back from a screen.
  if (s == sheet::weapon || s == sheet::mission)
    for (int x = 0; x < 5; ++x) p.at(x, 0) = frame >> (4 - x) & 1 ? 15 : 1;
  return p;
}

const std::array<std::vector<idx_picture>, sheet_count>& all_frames() {
  static const std::array<std::vector<idx_picture>, sheet_count> frames = [] {
    std::array<std::vector<idx_picture>, sheet_count> a;
    for (u32 s = 0; s < sheet_count; ++s)
      for (u32 f = 0; f < looks[s].layout.frames; ++f) a[s].push_back(draw_frame(static_cast<sheet>(s), f));
    return a;
  }();
  return frames;
}

void put_word(u8* to, u16 w) {
  to[0] = static_cast<u8>(w >> 8);
  to[1] = static_cast<u8>(w);
}

// The border beside the playfield ($2E01C, 64 x 200, mirrored by the game
// into the right border): a plain area with a ruler along its inner edge,
// a tick every 8 lines and the line number every 40, so the panels drawn
// over it can be placed by eye, and "LEFT", which the mirror turns round.
void put_border(std::vector<u8>& resident, u32 resident_address) {
  constexpr u32 border_address = 0x02E01C;
  idx_picture p(64, 200, 0);
  p.fill_rect(62, 0, 1, 200, 15);
  for (int y = 0; y < 200; y += 8) p.fill_rect(y % 40 == 0 ? 52 : 58, y, y % 40 == 0 ? 10 : 4, 1, 15);
  for (int y = 40; y < 200; y += 40) draw_tiny_text(p, 44, y + 2, decimal(static_cast<u32>(y)), 15);
  draw_tiny_text(p, 2, 2, "LEFT", 15);
  const u32 offset = border_address - resident_address;
  if (offset + 200 * 32 <= resident.size()) st_put_groups(resident.data() + offset, p, 4, 32);
}

} // namespace

const sheet_layout& sheet_layout_of(sheet s) { return look_of(s).layout; }

u32 sheet_pixel(sheet s, u32 frame, u32 line, u32 x) {
  const std::vector<idx_picture>& frames = all_frames()[static_cast<u32>(s)];
  if (frame >= frames.size()) return 0;
  const idx_picture& p = frames[frame];
  if (line >= static_cast<u32>(p.height) || x >= static_cast<u32>(p.width)) return 0;
  return p.at(static_cast<int>(x), static_cast<int>(line));
}

void sheet_frame_bytes(sheet s, u32 frame, u8* to) {
  const sheet_layout& l = sheet_layout_of(s);
  const u32 groups = l.width / 16;
  for (u32 line = 0; line < l.lines; ++line)
    for (u32 g = 0; g < groups; ++g)
      for (u32 p = 0; p < l.planes; ++p) {
        const u16 w = plane_word([&](u32 x) { return sheet_pixel(s, frame, line, 16 * g + x); }, p);
        const u32 word = l.player_order ? p * groups + g : g * l.planes + p;
        put_word(to + (line * groups * l.planes + word) * 2, w);
      }
}

void draw_resident_sheets(std::vector<u8>& resident, u32 resident_address) {
  put_border(resident, resident_address);
  // The cold start re-orders the player frames and the installations from
  // group after group into the player layout: they are stored before it.
  auto put = [&](sheet s, u32 at, u32 first, u32 count, bool stored_by_groups) {
    const sheet_layout& l = sheet_layout_of(s);
    const u32 size = sheet_frame_size(l);
    std::vector<u8> frame(size);
    for (u32 f = 0; f < count; ++f) {
      sheet_frame_bytes(s, first + f, frame.data());
      if (stored_by_groups)
        for (u32 g = 0; g < size; g += 16) {
          u8 line[16];
          for (u32 k = 0; k < 8; ++k) {
            const u32 from = (k % 2) * 4 + k / 2; // plane k/2 of group k%2, as the cold start reads it
            line[2 * from] = frame[g + 2 * k];
            line[2 * from + 1] = frame[g + 2 * k + 1];
          }
          std::copy(line, line + 16, frame.begin() + g);
        }
      const u32 offset = at - resident_address + f * size;
      if (offset + size > resident.size()) return;
      std::copy(frame.begin(), frame.end(), resident.begin() + offset);
    }
  };
  put(sheet::player, 0x02F91C, 0, 92, true);
  put(sheet::installation, 0x045736, 0, 6, true);
  for (sheet s : {sheet::explosion, sheet::weapon, sheet::debris, sheet::vehicle_a, sheet::vehicle6, sheet::vehicle_b,
                  sheet::vehicle4, sheet::homing, sheet::goal, sheet::mission, sheet::object, sheet::shot,
                  sheet::effect}) {
    const sheet_layout& l = sheet_layout_of(s);
    put(s, l.address, 0, l.frames, false);
  }
  // Loader 2 lays the resident copy of enemy frames 34-38 over the bank.
  put(sheet::enemy, 0x0466B6, 34, 5, false);
}
