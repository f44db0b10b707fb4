// Layout of the loading screen and the missing-data screen: a dark panel
// with a gold outline over the dimmed window, sized from the picture height.
#include "host/window/startup_layout.h"

#include "host/language.h"
#include "machine/game_data.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int GOLD = 0xE6BE46;
constexpr int LABEL = 0xDCC878;
constexpr int WHITE = 0xFFFFFF;

struct fonts {
  ui2d_face *body, *title, *small;
  int S, M, L;
};

fonts fonts_for(int h) {
  startup_sizes s = startup_sizes_for(h);
  fonts f;
  f.body = ui2d_font_gdi(0, s.body);
  f.title = ui2d_font_gdi(1, s.title);
  f.small = ui2d_font_gdi(0, s.small);
  f.S = s.body;
  f.M = s.body;
  f.L = ui2d_font_height(f.body) + 6;
  return f;
}

void panel(ui2d_canvas* c, int w, int h, int pw, int ph, int* px, int* py) {
  ui2d_rect_fill(c, 0x000000, 150, 0, 0, w, h);
  *px = (w - pw) / 2;
  *py = (h - ph) / 2;
  ui2d_rrect_fill_alpha(c, 0x0A0C18, 238, *px, *py, pw, ph, 12);
  ui2d_rrect(c, UI2D_NONE, GOLD, *px, *py, pw, ph, 12, 2);
}

void centred_top(ui2d_canvas* c, ui2d_face* face, const std::string& text, int colour,
                 double centre, double top) {
  ui2d_text_top(c, face, text.c_str(), colour, centre - ui2d_text_w(face, text.c_str()) / 2, top);
}

bool fits(ui2d_face* face, const std::string& text, double limit) {
  return ui2d_text_w(face, text.c_str()) <= limit;
}

// Bytes of the last character (a whole UTF-8 sequence).
size_t last_char_start(const std::string& s) {
  size_t i = s.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  return i;
}

size_t first_char_length(const std::string& s) {
  size_t i = 1;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace

startup_sizes startup_sizes_for(int h) {
  startup_sizes s;
  if (h < 364) {
    s.body = 16;
    s.title = 21;
  } else {
    int f = h / 26 + 6;
    s.body = int(0.8 * f);
    s.title = int(1.08 * f);
  }
  s.small = int(0.82 * s.body);
  return s;
}

std::string startup_fit(ui2d_face* face, const std::string& text, double limit) {
  if (text.size() <= 1 || fits(face, text, limit)) return text;
  std::string base = text;
  while (!base.empty()) {
    base.erase(last_char_start(base));
    if (base.size() == 1 && static_cast<unsigned char>(base[0]) < 0x80) return base;
    if (base.empty()) break;
    if (fits(face, base + "...", limit)) return base + "...";
  }
  return fits(face, "...", limit) ? "..." : "";
}

std::string startup_fit_front(ui2d_face* face, const std::string& text, double limit) {
  if (fits(face, text, limit)) return text;
  std::string rest = text;
  while (!rest.empty()) {
    rest.erase(0, first_char_length(rest));
    if (fits(face, "..." + rest, limit)) return "..." + rest;
  }
  return "...";
}

std::vector<std::string> startup_wrap(ui2d_face* face, const std::string& input, double limit) {
  std::string text = input.substr(0, 1023);
  std::vector<std::string> lines;
  std::string line;
  auto finish = [&] {
    if (lines.size() < 8) lines.push_back(line.substr(0, 199));
    line.clear();
  };
  size_t at = 0;
  while (at < text.size()) {
    size_t start = text.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    at = end;
    if (line.empty()) {
      line = word;
    } else if (fits(face, line + " " + word, limit)) {
      line += " " + word;
    } else {
      finish();
      line = word;
    }
  }
  if (!line.empty()) finish();
  return lines;
}

ui2d_canvas* startup_draw_loading(int w, int h, const startup_loading& s) {
  ui2d_canvas* c = ui2d_new(w, h);
  if (!c) return nullptr;
  fonts f = fonts_for(h);
  int shown = 0;
  double widest = 0;
  for (int i = 0; i < STARTUP_ROWS; ++i) {
    if (!s.rows[i].shown) continue;
    ++shown;
    widest = std::max(widest, ui2d_text_w(f.body, s.rows[i].label.c_str()));
  }
  int title_h = ui2d_font_height(f.title);
  int B = f.S * 7 / 10, BH = B + 4;
  int pw = int(0.74 * w);
  int ph = title_h + BH + 2 * (f.M / 2) + 2 * f.M + f.L * (shown + 2);
  int px, py;
  panel(c, w, h, pw, ph, &px, &py);
  double centre = px + pw / 2.0;
  double title_top = py + f.M / 2 + 4;
  centred_top(c, f.title, "BRAKMOOR", 0xFFD75A, centre, title_top);

  double y = title_top + title_h + f.M / 2;
  double value_x = px + f.M + widest + f.M;
  double value_limit = pw - 3 * f.M - widest;
  for (int i = 0; i < STARTUP_ROWS; ++i) {
    const startup_row& row = s.rows[i];
    if (!row.shown) continue;
    ui2d_text_top(c, f.body, row.label.c_str(), LABEL, px + f.M, y);
    std::string value = row.busy && row.value.empty() ? "..." : row.value;
    ui2d_text_top(c, f.body, startup_fit(f.body, value, value_limit).c_str(),
                  row.busy ? 0x8890A8 : WHITE, value_x, y);
    y += f.L;
  }

  double bar_x = px + f.M, bar_y = y + f.M / 2;
  int bw = pw - 2 * f.M;
  ui2d_rrect(c, 0x181C34, 0x55597A, bar_x, bar_y, bw, BH, BH / 2.0, 1.5);
  double fw = bw > 1 ? std::max(0.0, s.progress * bw) : 0;
  if (fw > BH)
    ui2d_rrect(c, GOLD, UI2D_NONE, bar_x + 1, bar_y + 1, fw - 2, B + 2, (B + 2) / 2.0, 1);
  else if (fw > 2)
    ui2d_circle(c, 0x7A6A2A, UI2D_NONE, bar_x + 1 + (B + 2) / 2.0, bar_y + 1 + (B + 2) / 2.0,
                (B + 2) / 2.0, 1);
  char percent[16];
  snprintf(percent, sizeof percent, "%d %%", int(100 * s.progress + 0.5));
  ui2d_text(c, f.small, percent, WHITE, 1, bar_x + bw / 2.0, bar_y + BH / 2.0);

  double detail_top = bar_y + BH + f.L / 4;
  centred_top(c, f.small, startup_fit(f.small, s.detail, bw), 0x9AA0C0, centre, detail_top);
  if (s.countdown >= 0) {
    char go[200];
    trf(go, sizeof go, "startup.go", s.countdown);
    centred_top(c, f.body, go, GOLD, centre, detail_top + f.L);
  }
  return c;
}

namespace {

struct missing_line {
  std::string text;
  int kind;  // 0 blank, 1 plain, 2 indented, 3 the folder
};

ui2d_canvas* draw_missing_at(int w, int h, const std::string& folder, const std::string& intro, int layout_h,
                             bool always) {
  fonts f = fonts_for(layout_h);
  int pw = int(0.8 * w);
  double tw = pw - 2 * f.M;
  std::vector<missing_line> lines;
  auto add_text = [&](const std::string& text, double limit, int kind) {
    for (std::string& line : startup_wrap(f.body, text, limit))
      if (lines.size() < 28) lines.push_back({std::move(line), kind});
  };
  auto add = [&](const char* id, double limit, int kind) { add_text(tr(id), limit, kind); };
  auto blank = [&] {
    if (lines.size() < 28) lines.push_back({"", 0});
  };
  add_text(intro, tw, 1);
  blank();
  add("startup.missing.2", tw, 1);
  if (lines.size() < 28) lines.push_back({startup_fit_front(f.body, folder, tw - f.M), 3});
  add("startup.missing.3", tw - f.M, 2);
  add("startup.missing.4", tw - f.M, 2);
  blank();
  add("startup.missing.5", tw, 1);
  blank();
  add("startup.missing.6", tw, 1);

  int title_h = ui2d_font_height(f.title);
  int ph = title_h + int(lines.size()) * f.L + 3 * f.M;
  if (!always && ph > 0.95 * h) return nullptr;
  ui2d_canvas* c = ui2d_new(w, h);
  if (!c) return nullptr;
  int px, py;
  panel(c, w, h, pw, ph, &px, &py);
  double title_top = py + f.M / 2 + 4;
  centred_top(c, f.title, tr("startup.missing.title"), 0xFF7A66, px + pw / 2.0, title_top);
  double y = title_top + title_h + f.M;
  for (const missing_line& line : lines) {
    if (line.kind == 1) ui2d_text_top(c, f.body, line.text.c_str(), WHITE, px + f.M, y);
    if (line.kind == 2) ui2d_text_top(c, f.body, line.text.c_str(), LABEL, px + 2 * f.M, y);
    if (line.kind == 3) ui2d_text_top(c, f.body, line.text.c_str(), 0xFFD75A, px + f.M, y);
    y += f.L;
  }
  return c;
}

}  // namespace

std::string startup_missing_intro(long long short_bkm) {
  if (short_bkm < 0) return tr("startup.missing.1");
  char text[600];
  return trf(text, sizeof text, "startup.missing.short", static_cast<int>(short_bkm), static_cast<int>(bkm_min_size));
}

ui2d_canvas* startup_draw_missing(int w, int h, const std::string& folder, const std::string& intro,
                                  double* factor) {
  for (double k : {1.0, 0.85, 0.72, 0.62, 0.5}) {
    ui2d_canvas* c = draw_missing_at(w, h, folder, intro, int(h * k), k == 0.5);
    if (c || k == 0.5) {
      if (factor) *factor = k;
      return c;
    }
  }
  return nullptr;
}
