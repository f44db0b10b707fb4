// The menu drawn as one RGBA picture: panel, title, tab chips, rows,
// pictures, status, hint and footer. The backdrop and the scaled pictures
// are cached, since the main loop redraws on every change of the redraw key.
#include "graphics/png_codec.h"
#include "host/language.h"
#include "host/platform.h"
#include "host/window/menu.h"
#include "host/window/pad_picture.h"
#include "host/window/ui2d.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int panel_colour = 0x0A0C18;
constexpr int panel_alpha = 238;

struct backdrop_cache {
  int w = 0, h = 0, px = 0, py = 0, pw = 0, ph = 0;
  std::vector<uint8_t> rgba;
};
backdrop_cache backdrop;

// Pictures arrive malloc'd (decoder, pad renderer) and are kept as they
// are: a gamepad picture is some 12 MB, too much to copy.
struct free_bytes {
  void operator()(uint8_t* p) const { std::free(p); }
};

struct picture {
  std::string key;
  uint32_t sig = 0;
  int used = 0;
  int w = 0, h = 0;
  std::unique_ptr<uint8_t[], free_bytes> rgba;  // w x h RGBA, null when unread
  int sw = 0, sh = 0;
  std::vector<uint8_t> scaled;
};
picture file_pictures[4];
picture pad_pictures[4];
int pad_next = 0;

// Box filter over the alpha-weighted source, composited on the panel
// colour; the result never equals the panel colour or black, so the
// panel's alpha treatment never touches picture pixels.
void scale_picture(picture& p, int tw, int th) {
  if (p.sw == tw && p.sh == th && !p.scaled.empty()) return;
  p.sw = tw;
  p.sh = th;
  p.scaled.assign(size_t(tw) * th * 4, 0);
  const double pr = (panel_colour >> 16) & 255, pg = (panel_colour >> 8) & 255,
               pb = panel_colour & 255;
  for (int y = 0; y < th; ++y) {
    int y0 = int(int64_t(y) * p.h / th), y1 = int(int64_t(y + 1) * p.h / th);
    if (y1 <= y0) y1 = std::min(y0 + 1, p.h);
    for (int x = 0; x < tw; ++x) {
      int x0 = int(int64_t(x) * p.w / tw), x1 = int(int64_t(x + 1) * p.w / tw);
      if (x1 <= x0) x1 = std::min(x0 + 1, p.w);
      double sr = 0, sg = 0, sb = 0, sa = 0;
      int n = 0;
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          const uint8_t* s = &p.rgba[(size_t(sy) * p.w + sx) * 4];
          sr += s[0] * double(s[3]);
          sg += s[1] * double(s[3]);
          sb += s[2] * double(s[3]);
          sa += s[3];
          ++n;
        }
      uint8_t* d = &p.scaled[(size_t(y) * tw + x) * 4];
      int r = int(pr), g = int(pg), b = int(pb);
      if (n > 0) {
        double cover = sa / (255.0 * n);
        double cr = sa > 0 ? sr / sa : 0, cg = sa > 0 ? sg / sa : 0, cb = sa > 0 ? sb / sa : 0;
        r = int(std::lround(cr * cover + pr * (1 - cover)));
        g = int(std::lround(cg * cover + pg * (1 - cover)));
        b = int(std::lround(cb * cover + pb * (1 - cover)));
      }
      if (((r << 16) | (g << 8) | b) == panel_colour) b = 25;
      if (r == 0 && g == 0 && b == 0) r = g = b = 1;
      d[0] = uint8_t(r);
      d[1] = uint8_t(g);
      d[2] = uint8_t(b);
      d[3] = 255;
    }
  }
}

picture* file_picture(const char* path) {
  for (picture& p : file_pictures)
    if (p.used && p.key == path) return p.rgba ? &p : nullptr;
  for (picture& p : file_pictures) {
    if (p.used) continue;
    p.used = 1;
    p.key = path;
    int w = 0, h = 0;
    uint8_t* px = png_read_rgba(path, &w, &h);
    if (px && w > 0 && h > 0) {
      p.w = w;
      p.h = h;
      p.rgba.reset(px);
    } else {
      std::free(px);
    }
    return p.rgba ? &p : nullptr;
  }
  return nullptr;
}

picture* pad_picture() {
  uint32_t sig = padmap_signature();
  for (picture& p : pad_pictures)
    if (p.used && p.sig == sig) return p.rgba ? &p : nullptr;
  picture& p = pad_pictures[pad_next];
  pad_next = (pad_next + 1) % 4;
  p = picture();
  p.used = 1;
  p.sig = sig;
  int w = 0, h = 0;
  uint8_t* px = padmap_render(&w, &h);
  if (px && w > 0 && h > 0) {
    p.w = w;
    p.h = h;
    p.rgba.reset(px);
  } else {
    std::free(px);
  }
  return p.rgba ? &p : nullptr;
}

// The language's own variant of a picture ("x_de.png"), when there is one.
std::string localised_path(const char* path) {
  const char* code = lang_current();
  if (!std::strcmp(code, "en")) return path;
  const char* dot = std::strrchr(path, '.');
  if (!dot) return path;
  std::string variant = std::string(path, dot) + "_" + code + dot;
  return file_exists(variant.c_str()) ? variant : std::string(path);
}

void blit(ui2d_canvas* canvas, const std::vector<uint8_t>& src, int sw, int sh, int x, int y) {
  int cw = 0, ch = 0;
  uint8_t* dst = ui2d_px(canvas, &cw, &ch);
  for (int j = 0; j < sh; ++j) {
    if (y + j < 0 || y + j >= ch) continue;
    for (int i = 0; i < sw; ++i) {
      if (x + i < 0 || x + i >= cw) continue;
      std::memcpy(&dst[(size_t(y + j) * cw + x + i) * 4], &src[(size_t(j) * sw + i) * 4], 4);
    }
  }
}

// Labels keep their leading blanks as an indent; only the rest is translated.
std::string label_text(const char* label) {
  size_t blanks = std::strspn(label, " ");
  return std::string(label, blanks) + tr(label + blanks);
}

// Wraps at blanks; a word wider than the line stays whole on its own line.
std::vector<std::string> wrap(ui2d_face* face, const char* text, double width) {
  std::vector<std::string> lines;
  std::string line;
  const char* p = text ? text : "";
  while (*p && lines.size() < 12) {
    while (*p == ' ') ++p;
    const char* e = p;
    while (*e && *e != ' ') ++e;
    if (e == p) break;
    std::string word(p, e);
    std::string joined = line.empty() ? word : line + " " + word;
    if (!line.empty() && ui2d_text_w(face, joined.c_str()) > width) {
      lines.push_back(line.substr(0, 199));
      line = word;
    } else {
      line = joined;
    }
    p = e;
  }
  if (!line.empty() && lines.size() < 12) lines.push_back(line.substr(0, 199));
  return lines;
}

bool is_info(const menu_item& item) { return item.kind == MI_SEP && item.info && item.label[0]; }

int tab_index_of(const menu* m, int tab) {
  int seen = -1;
  for (int i = 0; i < m->count; ++i)
    if (m->items[i].kind == MI_TAB && ++seen == tab) return i;
  return -1;
}

void make_backdrop(int w, int h, int px, int py, int pw, int ph) {
  if (backdrop.w == w && backdrop.h == h && backdrop.px == px && backdrop.py == py &&
      backdrop.pw == pw && backdrop.ph == ph && !backdrop.rgba.empty())
    return;
  ui2d_canvas* c = ui2d_new(w, h);
  if (!c) {
    backdrop.rgba.clear();
    return;
  }
  ui2d_rect_fill(c, 0x000000, 120, 0, 0, w, h);
  ui2d_rrect_fill_alpha(c, panel_colour, 255, px, py, pw, ph, 12);
  ui2d_rrect(c, UI2D_NONE, 0xE6BE46, px, py, pw, ph, 12, 2);
  int cw = 0, ch = 0;
  uint8_t* d = ui2d_px(c, &cw, &ch);
  for (int y = std::max(0, py); y < std::min(h, py + ph); ++y)
    for (int x = std::max(0, px); x < std::min(w, px + pw); ++x) {
      uint8_t* q = &d[(size_t(y) * w + x) * 4];
      if (((q[0] << 16) | (q[1] << 8) | q[2]) == panel_colour) q[3] = panel_alpha;
    }
  backdrop.rgba.assign(d, d + size_t(w) * h * 4);
  backdrop.w = w;
  backdrop.h = h;
  backdrop.px = px;
  backdrop.py = py;
  backdrop.pw = pw;
  backdrop.ph = ph;
  ui2d_free(c);
}

}  // namespace

menu_sizes menu_layout_sizes(int h) {
  if (h < 364) return {16, 21, 10};
  int k = h / 26;
  return {int(std::floor((k + 6) * 0.8)), int(std::floor((k + 6) * 1.35 * 0.8)),
          std::max(10, int(std::floor((k - 2) * 0.8 + 0.5)))};
}

uint8_t* menu_draw(menu* m, int w, int h) {
  if (!m) return nullptr;
  ui2d_canvas* canvas = ui2d_new(w, h);
  if (!canvas) return nullptr;
  const menu_sizes sz = menu_layout_sizes(h);
  ui2d_face* regular = ui2d_font_gdi(0, sz.base);
  ui2d_face* bold = ui2d_font_gdi(1, sz.title);
  ui2d_face* small = ui2d_font_gdi(0, sz.base * 0.70);
  const int line_h = ui2d_font_height(regular);
  const int row_h = line_h + 5;
  const int info_h = ui2d_font_height(small) + 2;
  const int title_h = ui2d_font_height(bold);
  const bool tabs = m->tab_count > 0;
  if (tabs && m->tab >= m->tab_count) m->tab = 0;

  int begin, end;
  menu_tab_range(m, &begin, &end);
  const int tab_item = tabs ? tab_index_of(m, m->tab) : -1;
  bool has_image = false;
  for (int i = begin; i < end; ++i)
    if (m->items[i].kind == MI_IMAGE) has_image = true;

  const int pw = int(std::floor(w * 0.72));
  const int px = (w - pw) / 2;

  // Hint area.
  ui2d_face* hint_face;
  int hint_area;
  bool system_tab = tab_item >= 0 && !std::strcmp(m->items[tab_item].label, "tab.system");
  if (has_image || system_tab) {
    hint_face = ui2d_font_gdi(0, sz.base * 0.68);
    size_t most = 0;
    if (tab_item >= 0 && m->items[tab_item].hint)
      most = wrap(hint_face, tr(m->items[tab_item].hint), pw - 44).size();
    for (int i = begin; i < end; ++i)
      if (m->items[i].hint)
        most = std::max(most, wrap(hint_face, tr(m->items[i].hint), pw - 44).size());
    hint_area = std::min(12 + (ui2d_font_height(hint_face) + 4) * int(most), 4 * row_h);
  } else {
    hint_face = ui2d_font_gdi(0, sz.base * 0.82);
    hint_area = 4 * row_h;
  }

  // List.
  const int tab_bar = tabs ? line_h + 15 : 0;
  int space = int(std::floor(h * 0.94)) - title_h - 24 - (hint_area + 2 * sz.footer + 24) - tab_bar;
  int rows = std::max(5, space / row_h);
  int list_h = rows * row_h;
  int visible = list_h;
  if ((tabs || has_image) && space > visible) visible = space;

  int ph = tab_bar + (2 * sz.footer + 16) + list_h + title_h + hint_area + 32;
  if (tabs || has_image) ph = std::max(ph, int(std::floor(h * 0.94)));
  const int py = (h - ph) / 2;
  const int hint_top = py + ph - hint_area - (2 * sz.footer + 16);

  // Scrolling.
  auto height_of = [&](int i) { return is_info(m->items[i]) ? info_h : row_h; };
  auto rows_fit = [&](int from, int to) {
    int total = 0;
    for (int i = from; i <= to; ++i) total += height_of(i);
    return total <= visible;
  };
  if (m->first < begin || m->first >= std::max(end, begin + 1)) m->first = begin;
  if (!(tabs && m->tab_focus)) {
    if (m->cursor < m->first) {
      m->first = m->cursor;
    } else {
      while (m->first < m->cursor && !rows_fit(m->first, m->cursor)) ++m->first;
    }
    int above = m->first - 1;
    if (above >= begin && !menu_selectable(m->items[above]) &&
        (m->cursor < m->first || rows_fit(above, m->cursor)))
      --m->first;
  }

  make_backdrop(w, h, px, py, pw, ph);
  if (backdrop.rgba.empty()) {
    ui2d_free(canvas);
    return nullptr;
  }
  int cw = 0, ch = 0;
  std::memcpy(ui2d_px(canvas, &cw, &ch), backdrop.rgba.data(), backdrop.rgba.size());

  ui2d_text_top(canvas, bold, tr(m->title),
                0xFFD75A, px + (pw - ui2d_text_w(bold, tr(m->title))) / 2, py + 8);

  int rows_top = py + title_h + 14;
  if (tabs) {
    const int bar_top = py + title_h + 10;
    std::vector<int> widths;
    int total = 0, drawn = 0;
    for (int i = 0; i < m->count && drawn < 16; ++i) {
      if (m->items[i].kind != MI_TAB) continue;
      int cwid = int(std::ceil(ui2d_text_w(regular, label_text(m->items[i].label).c_str()))) + 26;
      widths.push_back(cwid);
      total += cwid + (drawn ? 14 : 0);
      ++drawn;
    }
    double x = px + (pw - total) / 2.0;
    int t = 0;
    for (int i = 0; i < m->count && t < drawn; ++i) {
      if (m->items[i].kind != MI_TAB) continue;
      std::string label = label_text(m->items[i].label);
      int colour = 0x969EBE;
      if (t == m->tab) {
        ui2d_rrect(canvas, m->tab_focus ? 0x5A69BE : 0x373E76, UI2D_NONE, x, bar_top, widths[t],
                   line_h + 7, 6, 0);
        colour = m->tab_focus ? 0xFFFFFF : 0xFFE178;
      }
      ui2d_text_top(canvas, regular, label.c_str(), colour, x + 13, bar_top + 2);
      x += widths[t] + 14;
      ++t;
    }
    ui2d_rect_fill(canvas, 0x5A6496, 255, px + 16, bar_top + row_h + 6, pw - 32, 1);
    rows_top += tab_bar;
  }

  // Rows.
  char value[256];
  int y = rows_top;
  int last_drawn = m->first - 1;
  for (int i = m->first; i < end; ++i) {
    const menu_item& item = m->items[i];
    if (item.kind == MI_IMAGE) {
      int box_w = pw - 40, box_h = hint_top - 18 - y;
      if (box_w > 7 && box_h > 7 && item.image) {
        picture* p = nullptr;
        if (!std::strcmp(item.image, "@padmap")) {
          p = pad_picture();
        } else {
          p = file_picture(localised_path(item.image).c_str());
        }
        if (p) {
          double scale = std::min(double(box_w) / p->w, double(box_h) / p->h);
          int tw = std::max(1, int(p->w * scale)), th = std::max(1, int(p->h * scale));
          scale_picture(*p, tw, th);
          blit(canvas, p->scaled, tw, th, px + 20 + (box_w - tw) / 2, y + (box_h - th) / 2);
        }
      }
      last_drawn = end - 1;
      break;
    }
    int ih = height_of(i);
    if (y + ih > rows_top + visible) break;
    bool on_cursor = i == m->cursor && !(tabs && m->tab_focus);
    bool is_enabled = !item.enabled || item.enabled();
    std::string label = label_text(item.label);
    if (item.kind == MI_SEP) {
      if (!item.label[0]) {
      } else if (item.info) {
        ui2d_text_top(canvas, small, label.c_str(), 0xB4B4C8, px + 30, y);
      } else {
        std::string heading = "-- " + label + " --";
        ui2d_text_top(canvas, regular, heading.c_str(), 0x78BEFF,
                      px + (pw - ui2d_text_w(regular, heading.c_str())) / 2, y);
      }
    } else {
      if (on_cursor) ui2d_rrect(canvas, 0x3C4682, UI2D_NONE, px + 10, y - 2, pw - 20, row_h, 6, 0);
      menu_value_text(item, value, sizeof value);
      int label_colour = !is_enabled ? 0x696C7D : on_cursor ? 0xFFFFFF : 0xCDCDD7;
      int value_colour = !is_enabled ? 0x696C7D : on_cursor ? 0xFFE678 : 0xDCC878;
      ui2d_text_top(canvas, regular, label.c_str(), label_colour, px + 30, y);
      if (value[0]) {
        std::string shown = value;
        if (on_cursor && item.kind != MI_ACTION) shown = std::string("<  ") + value + "  >";
        double vw = ui2d_text_w(regular, shown.c_str());
        ui2d_text_top(canvas, regular, shown.c_str(), value_colour, px + pw - 30 - vw, y);
      }
    }
    last_drawn = i;
    y += ih;
  }
  if (m->first > begin) ui2d_text_top(canvas, regular, "^", 0xC8C8C8, px + pw - 18, py + 10);
  if (last_drawn < end - 1)
    ui2d_text_top(canvas, regular, "v", 0xC8C8C8, px + pw - 18, hint_top - 26);

  ui2d_rect_fill(canvas, 0x5A6496, 255, px + 16, hint_top - 10, pw - 32, 1);

  int hint_y = hint_top;
  bool status_shown = m->status[0] && now_s() - m->status_time < menu_status_seconds;
  if (status_shown) {
    ui2d_text_top(canvas, regular, m->status, 0xFFE15A, px + 22, hint_top - 6);
    hint_y += row_h;
  }
  const char* hint = nullptr;
  const menu_item* cur = nullptr;
  if (tabs && m->tab_focus) {
    if (tab_item >= 0) hint = m->items[tab_item].hint;
  } else if (m->cursor >= 0 && m->cursor < m->count) {
    cur = &m->items[m->cursor];
    hint = cur->hint;
  }
  const int hint_pitch = ui2d_font_height(hint_face) + 4;
  std::vector<std::string> lines = wrap(hint_face, hint ? tr(hint) : "", pw - 44);
  for (const std::string& line : lines) {
    ui2d_text_top(canvas, hint_face, line.c_str(), 0xBEC8EB, px + 22, hint_y);
    hint_y += hint_pitch;
  }
  if (cur && cur->kind == MI_CHOICE && cur->valhint && cur->count && cur->get_index &&
      cur->count() >= 1) {
    const char* vh = tr(cur->valhint(cur->get_index()));
    if (vh[0]) {
      int pct = hint_face == ui2d_font_gdi(0, sz.base * 0.68) ? 68 : 82;
      ui2d_face* vf = ui2d_font_gdi(0, sz.base * pct / 100.0);
      std::vector<std::string> vlines;
      int vline = 0;
      for (;;) {
        vf = ui2d_font_gdi(0, sz.base * pct / 100.0);
        vline = ui2d_font_height(vf) + pct / 20;
        vlines = wrap(vf, vh, pw - 44);
        int need = (status_shown ? row_h : 0) + int(lines.size()) * hint_pitch + vline / 2 + 2 +
                   int(vlines.size()) * vline;
        if (need <= hint_area || pct - 4 <= 39) break;
        pct -= 4;
      }
      ui2d_rect_fill(canvas, 0x5A6496, 255, px + 22, hint_y + vline / 4 + 1, pw - 44, 1);
      int vy = hint_y + vline / 2 + 2;
      for (const std::string& line : vlines) {
        ui2d_text_top(canvas, vf, line.c_str(), 0xFFE18C, px + 22, vy);
        vy += vline;
      }
    }
  }

  const char* footer = tr(tabs ? "footer.tabs" : "footer.plain");
  int fsize = sz.footer;
  ui2d_face* ff = ui2d_font_gdi(0, fsize);
  while (fsize > 8 && ui2d_text_w(ff, footer) >= pw - 29) ff = ui2d_font_gdi(0, --fsize);
  ui2d_text_top(canvas, ff, footer, 0x828CAA, px + (pw - ui2d_text_w(ff, footer)) / 2,
                py + ph - sz.footer - 30);

  int ow = 0, oh = 0;
  return ui2d_take(canvas, &ow, &oh);
}

void menu_warmup(menu* m, int w, int h) {
  if (!m) return;
  int controls = -1, seen = -1;
  for (int i = 0; i < m->count; ++i) {
    if (m->items[i].kind != MI_TAB) continue;
    ++seen;
    if (!std::strcmp(m->items[i].label, "tab.controls")) {
      controls = seen;
      break;
    }
  }
  if (controls < 0) return;
  const int saved_tab = m->tab, saved_focus = m->tab_focus, saved_cursor = m->cursor,
            saved_first = m->first;
  std::string original = lang_current();
  // The current language first, then the others in their order.
  std::vector<std::string> codes{original};
  for (int i = 0; i < lang_count() && codes.size() < 4; ++i)
    if (original != lang_code(i)) codes.push_back(lang_code(i));
  for (const std::string& code : codes) {
    if (!lang_set(code.c_str())) continue;
    m->tab = controls;
    m->tab_focus = 0;
    m->first = 0;
    int begin, end;
    menu_tab_range(m, &begin, &end);
    m->cursor = begin;
    for (int i = begin; i < end; ++i)
      if (menu_selectable(m->items[i])) {
        m->cursor = i;
        break;
      }
    uint8_t* px = menu_draw(m, w, h);
    if (!px) host_log("Menu: could not pre-render the controls tab in language %s", code.c_str());
    std::free(px);
  }
  lang_set(original.c_str());
  m->tab = saved_tab;
  m->tab_focus = saved_focus;
  m->cursor = saved_cursor;
  m->first = saved_first;
}
