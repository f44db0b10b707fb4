// The gamepad picture: the pad body from Bezier outlines, leader lines from
// each slot to its place on the pad, and the slots with their icons and
// texts, which shrink until they fit their boxes.
#include "host/window/pad_picture.h"

#include <cstring>
#include <string>
#include <vector>

#include "host/input_bindings.h"
#include "host/language.h"
#include "host/window/pad_picture_layer.h"

namespace {

constexpr int LINE_DARK = 0x05090E;
constexpr int GREY = 0x5B6573;

enum icon_kind { ICON_KEY, ICON_DISC, ICON_RING, ICON_BACK, ICON_START, ICON_DPAD };
enum slot_kind { SLOT_BUTTON, SLOT_LSTICK, SLOT_DPAD, SLOT_RSTICK };

struct slot_row {
  double x, y, w, h;
  int colour;
  icon_kind icon;
  const char* icon_text;
  double icon_x, icon_y, icon_size;  // key: top-left and width; others: centre and radius
  int icon_text_colour;
  double text_x;
  slot_kind kind;
  int mask;              // the button a button slot describes
  const char* title_id;  // Back and Start carry a title of their own
  std::vector<ui2d_point> leader;
  double dot_r;
};

const std::vector<slot_row>& slots() {
  static const std::vector<slot_row> rows = {
      {178, 120, 126, 44, 0xA46CF2, ICON_KEY, "LB", 188, 132, 26, 0xFFFFFF, 221.7, SLOT_BUTTON,
       PAD_BTN_LB, nullptr, {{241, 166}, {262, 228}}, 4},
      {436, 120, 126, 44, 0xA46CF2, ICON_KEY, "RB", 446, 132, 26, 0xFFFFFF, 480.4, SLOT_BUTTON,
       PAD_BTN_RB, nullptr, {{499, 166}, {478, 228}}, 4},
      {14, 162, 146, 42, 0xF2C230, ICON_KEY, "LT", 24, 173, 26, 0x1A1405, 56.5, SLOT_BUTTON,
       PAD_BTN_LT, nullptr, {{162, 183}, {238, 240}}, 4},
      {580, 152, 152, 48, 0xF2C230, ICON_KEY, "RT", 590, 166, 26, 0x1A1405, 624.5, SLOT_BUTTON,
       PAD_BTN_RT, nullptr, {{578, 176}, {502, 240}}, 4},
      {14, 264, 146, 54, 0x3B95F2, ICON_RING, "L", 36, 291, 10.5, 0x3B95F2, 56, SLOT_LSTICK, 0,
       nullptr, {{162, 291}, {266, 302}}, 4.5},
      {14, 362, 166, 48, 0x2CCBE4, ICON_DPAD, nullptr, 36, 386, 12, 0x2CCBE4, 56, SLOT_DPAD, 0,
       nullptr, {{182, 386}, {314, 370}}, 4.5},
      {198, 512, 140, 48, 0xC9D3DE, ICON_BACK, nullptr, 220, 536, 12, 0xE9EEF4, 240, SLOT_BUTTON,
       PAD_BTN_BACK, "padmap.btn.back", {{334, 510}, {338, 319}}, 4},
      {398, 512, 156, 48, 0xC9D3DE, ICON_START, nullptr, 420, 536, 12, 0xE9EEF4, 440,
       SLOT_BUTTON, PAD_BTN_START, "padmap.btn.start", {{404, 510}, {402, 319}}, 4},
      {580, 214, 152, 32, 0xF2C230, ICON_DISC, "Y", 601, 230, 11, 0x1A1405, 620, SLOT_BUTTON,
       PAD_BTN_Y, nullptr, {{578, 230}, {485, 278}}, 3.5},
      {580, 256, 152, 72, 0xEC4A44, ICON_DISC, "B", 601, 292, 11, 0xFFFFFF, 620, SLOT_BUTTON,
       PAD_BTN_B, nullptr, {{578, 292}, {512, 307}}, 3.5},
      {580, 340, 152, 32, 0x5FD146, ICON_DISC, "A", 601, 356, 11, 0x0A1A06, 620, SLOT_BUTTON,
       PAD_BTN_A, nullptr, {{578, 356}, {487, 338}}, 3.5},
      {580, 384, 152, 58, 0x3B95F2, ICON_DISC, "X", 601, 413, 11, 0xFFFFFF, 620, SLOT_BUTTON,
       PAD_BTN_X, nullptr, {{578, 413}, {462, 352}, {452, 322}}, 3.5},
      {580, 454, 152, 76, 0xB866F2, ICON_RING, "R", 602, 492, 10.5, 0xB866F2, 622, SLOT_RSTICK,
       0, nullptr, {{578, 492}, {434, 374}}, 4.5},
  };
  return rows;
}

constexpr const char* ACTION_WORDS[PAD_ACTION_COUNT] = {"fire",   "fire2",   "hold",
                                                        "wnext",  "wprev",   "rocket",
                                                        "grenade", "menu",   "exit"};

bool right_stick_off(const slot_row& s) {
  return s.kind == SLOT_RSTICK && !pad_dual_stick.load(std::memory_order_relaxed);
}

int line_colour(const slot_row& s) { return right_stick_off(s) ? GREY : s.colour; }

// A translation, or the empty text where the language has none.
std::string tr_or_empty(const std::string& id) {
  const char* t = tr(id.c_str());
  return std::strcmp(t, id.c_str()) == 0 ? std::string() : std::string(t);
}

std::string action_text(int action, const char* suffix) {
  return tr_or_empty(std::string("padmap.act.") + ACTION_WORDS[action] + suffix);
}

// ---- Pad body ------------------------------------------------------------------

ui2d_point body(double x, double y) { return {0.8 * x + 74, 0.8 * y + 70}; }

struct outline {
  std::vector<ui2d_point> pts;  // in body space
  void start(double x, double y) { pts.push_back({x, y}); }
  void quad(double cx, double cy, double x, double y) {
    ui2d_point p0 = pts.back();
    for (int i = 1; i <= 12; i++) {
      double t = i / 12.0, u = 1 - t;
      pts.push_back({u * u * p0.x + 2 * u * t * cx + t * t * x, u * u * p0.y + 2 * u * t * cy + t * t * y});
    }
  }
  void cubic(double c1x, double c1y, double c2x, double c2y, double x, double y) {
    ui2d_point p0 = pts.back();
    for (int i = 1; i <= 16; i++) {
      double t = i / 16.0, u = 1 - t;
      double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
      pts.push_back({a * p0.x + b * c1x + c * c2x + d * x, a * p0.y + b * c1y + c * c2y + d * y});
    }
  }
  std::vector<ui2d_point> mapped() const {
    std::vector<ui2d_point> out;
    for (const ui2d_point& p : pts) out.push_back(body(p.x, p.y));
    return out;
  }
};

void draw_shoulder(double sx, double sy, double c1x, double c1y, double ex, double ey, double px,
                   double py, double c2x, double c2y, double fx, double fy) {
  outline o;
  o.start(sx, sy);
  o.quad(c1x, c1y, ex, ey);
  o.start(px, py);
  o.quad(c2x, c2y, fx, fy);
  std::vector<ui2d_point> p = o.mapped();
  pmb_polygon(p.data(), static_cast<int>(p.size()), 0x2A2F37, 0x454C56, 1.6);
}

void draw_pad() {
  draw_shoulder(205, 222, 228, 186, 302, 188, 306, 204, 246, 204, 216, 230);
  draw_shoulder(535, 222, 512, 186, 438, 188, 434, 204, 494, 204, 524, 230);

  outline o;
  o.start(230, 205);
  o.cubic(290, 190, 330, 200, 370, 200);
  o.cubic(410, 200, 450, 190, 510, 205);
  o.cubic(560, 215, 585, 260, 600, 330);
  o.cubic(615, 400, 625, 470, 590, 495);
  o.cubic(560, 515, 525, 495, 505, 465);
  o.cubic(485, 435, 460, 420, 430, 420);
  o.start(310, 420);
  o.cubic(280, 420, 255, 435, 235, 465);
  o.cubic(215, 495, 180, 515, 150, 495);
  o.cubic(115, 470, 125, 400, 140, 330);
  o.cubic(155, 260, 180, 215, 230, 205);
  std::vector<ui2d_point> p = o.mapped();
  int n = static_cast<int>(p.size());
  pmb_polygon_gradient(p.data(), n, 0x30353D, 0x121418);
  pmb_polygon(p.data(), n, UI2D_NONE, 0x3D444E, 2.4);

  pmb_circle(0x1B1F25, 0xA7B1BD, 370, 266, 15.2, 2.4);
  pmb_circle(0x0D0F12, 0x4A525D, 338, 310, 8, 1.6);
  pmb_circle(0x0D0F12, 0x4A525D, 402, 310, 8, 1.6);
  pmb_rrect(0x0D0F12, 0x4A525D, 362, 326, 16, 8.8, 4.4, 1.6);
  for (ui2d_point s : {ui2d_point{266, 302}, ui2d_point{434, 374}}) {
    pmb_circle(0x0B0D10, UI2D_NONE, s.x, s.y, 28, 0);
    pmb_circle(0x2A2F37, 0x4A525D, s.x, s.y, 20, 1.6);
    pmb_circle(0x1C2026, UI2D_NONE, s.x, s.y, 12, 0);
  }
  pmb_circle(0x0B0D10, UI2D_NONE, 314, 370, 25.6, 0);
  pmb_rrect(0x2A2F37, UI2D_NONE, 304.4, 350.8, 19.2, 38.4, 3.2, 0);
  pmb_rrect(0x2A2F37, UI2D_NONE, 294.8, 360.4, 38.4, 19.2, 3.2, 0);

  struct face_button {
    const char* letter;
    double x, y;
    int colour;
  } buttons[] = {{"Y", 500, 268, 0xF2C230},
                 {"X", 468, 300, 0x3B95F2},
                 {"B", 532, 300, 0xEC4A44},
                 {"A", 500, 332, 0x5FD146}};
  ui2d_face* letters = pmb_font(2, 15.2);
  for (const face_button& b : buttons) {
    ui2d_point c = body(b.x, b.y);
    pmb_circle(0x0D0F12, b.colour, c.x, c.y, 12, 2);
    pmb_text(letters, b.letter, b.colour, 1, c.x, c.y);
  }
  pmb_font_free(letters);
}

// ---- Slots ----------------------------------------------------------------------

struct slot_texts {
  std::string title, desc, click;
};

slot_texts texts_of(const slot_row& s) {
  slot_texts t;
  if (s.kind != SLOT_BUTTON) {
    const char* base = s.kind == SLOT_LSTICK ? "padmap.lstick" : s.kind == SLOT_DPAD ? "padmap.dpad" : "padmap.rstick";
    t.title = tr(base);
    t.desc = right_stick_off(s) ? tr("padmap.rstick.off") : tr((std::string(base) + ".desc").c_str());
    if (s.kind != SLOT_DPAD) {
      int action = pad_action_of(s.kind == SLOT_LSTICK ? PAD_BTN_L3 : PAD_BTN_R3);
      if (action >= 0) {
        char line[256];
        std::string name = action_text(action, "");
        trf(line, sizeof line, "padmap.click", name.c_str());
        t.click = line;
      }
    }
    return t;
  }
  int action = pad_action_of(s.mask);
  if (s.title_id) {
    t.title = tr(s.title_id);
    t.desc = action >= 0 ? action_text(action, "") : tr("padmap.unassigned");
  } else if (action >= 0) {
    t.title = action_text(action, "");
    t.desc = action_text(action, ".desc");
  } else {
    t.title = tr("padmap.unassigned");
  }
  return t;
}

// Breaks a text at blanks into lines no wider than the column; a word
// wider than the column stands alone.
std::vector<std::string> wrap(ui2d_face* face, const std::string& text, double width, size_t max_lines) {
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') i++;
    size_t end = text.find(' ', i);
    if (end == std::string::npos) end = text.size();
    if (end == i) break;
    std::string word = text.substr(i, end - i);
    i = end;
    std::string joined = line.empty() ? word : line + " " + word;
    if (line.empty() || pmb_text_w(face, joined.c_str()) <= width) {
      line = joined;
    } else {
      lines.push_back(line);
      line = word;
    }
  }
  if (!line.empty()) lines.push_back(line);
  if (lines.size() > max_lines) lines.resize(max_lines);
  return lines;
}

void draw_icon(const slot_row& s) {
  bool off = right_stick_off(s);
  int colour = off ? GREY : s.colour;
  int text_colour = off ? GREY : s.icon_text_colour;
  switch (s.icon) {
    case ICON_KEY: {
      pmb_rrect(colour, UI2D_NONE, s.icon_x, s.icon_y, s.icon_size, 20, 6, 0);
      ui2d_face* f = pmb_font(2, 15);
      pmb_text(f, s.icon_text, off ? 0xC8CDD4 : text_colour, 1, s.icon_x + s.icon_size / 2, s.icon_y + 10);
      pmb_font_free(f);
      break;
    }
    case ICON_DISC: {
      pmb_circle(colour, UI2D_NONE, s.icon_x, s.icon_y, s.icon_size, 0);
      ui2d_face* f = pmb_font(2, 14);
      pmb_text(f, s.icon_text, text_colour, 1, s.icon_x, s.icon_y);
      pmb_font_free(f);
      break;
    }
    case ICON_RING: {
      pmb_circle(UI2D_NONE, colour, s.icon_x, s.icon_y, s.icon_size, 3);
      ui2d_face* f = pmb_font(0, 13);
      pmb_text(f, s.icon_text, colour, 1, s.icon_x, s.icon_y);
      pmb_font_free(f);
      break;
    }
    case ICON_START: {
      pmb_circle(0xE9EEF4, UI2D_NONE, s.icon_x, s.icon_y, s.icon_size, 0);
      for (double dy : {-4.2, 0.0, 4.2}) {
        ui2d_point bar[2] = {{s.icon_x - 5.5, s.icon_y + dy}, {s.icon_x + 5.5, s.icon_y + dy}};
        pmb_polyline(bar, 2, 0x08111B, 2.1);
      }
      break;
    }
    case ICON_BACK: {
      pmb_circle(0xE9EEF4, UI2D_NONE, s.icon_x, s.icon_y, s.icon_size, 0);
      pmb_rrect(UI2D_NONE, 0x08111B, s.icon_x - 7, s.icon_y - 5, 9, 9, 1, 1.8);
      pmb_rrect(UI2D_NONE, 0x08111B, s.icon_x - 2, s.icon_y - 1, 9, 9, 1, 1.8);
      break;
    }
    case ICON_DPAD: {
      pmb_circle(colour, UI2D_NONE, s.icon_x, s.icon_y, s.icon_size, 0);
      ui2d_point h[2] = {{s.icon_x - 6.5, s.icon_y}, {s.icon_x + 6.5, s.icon_y}};
      ui2d_point v[2] = {{s.icon_x, s.icon_y - 6.5}, {s.icon_x, s.icon_y + 6.5}};
      pmb_polyline(h, 2, 0x08111B, 3.4);
      pmb_polyline(v, 2, 0x08111B, 3.4);
      break;
    }
  }
}

void draw_slot(const slot_row& s) {
  bool off = right_stick_off(s);
  slot_texts t = texts_of(s);
  pmb_rrect(0x121A27, line_colour(s), s.x, s.y, s.w, s.h, 10, 2);
  draw_icon(s);

  double column = s.x + s.w - 8 - s.text_x;
  double scale = 1;
  std::vector<std::string> title, desc, click;
  ui2d_face *title_face = nullptr, *text_face = nullptr;
  double height = 0;
  for (int layout = 0; layout < 10; layout++) {
    if (layout > 0) scale -= 0.05;
    title_face = pmb_font(1, 16 * scale);
    text_face = pmb_font(0, 12.5 * scale);
    title = t.title.empty() ? std::vector<std::string>() : wrap(title_face, t.title, column, 3);
    desc = t.desc.empty() ? std::vector<std::string>() : wrap(text_face, t.desc, column, 4);
    click = t.click.empty() ? std::vector<std::string>() : wrap(text_face, t.click, column, 3);
    size_t others = desc.size() + click.size();
    height = static_cast<double>(title.size()) * 16.8 * scale + static_cast<double>(others) * 13.3 * scale;
    if (!title.empty() && others > 0) height += 2 * scale;
    if (height <= s.h - 8) break;
  }

  pmb_clip_begin(s.x, s.y, s.w, s.h);
  double y = s.y + (s.h - height) / 2;
  for (const std::string& line : title) {
    pmb_text(title_face, line.c_str(), off ? 0x7D8794 : 0xEEF3F8, 0, s.text_x, y + 8.4 * scale);
    y += 16.8 * scale;
  }
  if (!title.empty() && desc.size() + click.size() > 0) y += 2 * scale;
  for (const std::string& line : desc) {
    pmb_text(text_face, line.c_str(), off ? 0x6B7480 : 0xB9C6D4, 0, s.text_x, y + 6.65 * scale);
    y += 13.3 * scale;
  }
  for (const std::string& line : click) {
    pmb_text(text_face, line.c_str(), 0xFFE08C, 0, s.text_x, y + 6.65 * scale);
    y += 13.3 * scale;
  }
  pmb_clip_end();
  pmb_font_free(title_face);
  pmb_font_free(text_face);
}

}  // namespace

uint8_t* padmap_render(int* w, int* h) {
  pmb_begin(0, 112, 740, 450);
  draw_pad();
  const std::vector<slot_row>& rows = slots();
  for (const slot_row& s : rows)
    pmb_polyline(s.leader.data(), static_cast<int>(s.leader.size()), LINE_DARK, 6);
  for (const slot_row& s : rows)
    pmb_polyline(s.leader.data(), static_cast<int>(s.leader.size()), line_colour(s), 2.5);
  for (const slot_row& s : rows) {
    const ui2d_point& end = s.leader.back();
    pmb_circle(line_colour(s), LINE_DARK, end.x, end.y, s.dot_r, 1.5);
  }
  for (const slot_row& s : rows) draw_slot(s);
  return pmb_end(w, h);
}

uint32_t padmap_signature() {
  uint32_t hash = 0x811C9DC5u;
  auto mix = [&hash](int v) {
    hash ^= static_cast<uint32_t>(v);
    hash *= 16777619u;
  };
  for (auto& b : pad_bind) mix(b.load(std::memory_order_relaxed));
  mix(pad_dual_stick.load(std::memory_order_relaxed));
  mix(lang_index());
  return hash;
}
