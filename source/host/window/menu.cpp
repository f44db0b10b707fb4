// The menu engine's model: items, cursor, tabs, navigation, value texts
// and the redraw key. Drawing lives in menu_draw.cpp.
#include "host/window/menu.h"

#include "host/language.h"
#include "host/platform.h"
#include "host/window/pad_picture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <cstring>
#include <new>

namespace {

void copy_text(char* out, size_t size, const char* text) {
  std::snprintf(out, size, "%s", text ? text : "");
}

bool enabled(const menu_item& item) { return !item.enabled || item.enabled() != 0; }

// The item after the n-th MI_TAB, up to the next one; the whole list
// without tabs.
void range_of_tab(const menu* m, int tab, int* begin, int* end) {
  *begin = 0;
  *end = m->count;
  if (m->tab_count <= 0) return;
  int seen = -1;
  for (int i = 0; i < m->count; ++i) {
    if (m->items[i].kind != MI_TAB) continue;
    ++seen;
    if (seen == tab) {
      *begin = i + 1;
    } else if (seen == tab + 1) {
      *end = i;
      return;
    }
  }
}

int first_selectable(const menu* m) {
  int begin, end;
  menu_tab_range(m, &begin, &end);
  for (int i = begin; i < end; ++i)
    if (menu_selectable(m->items[i])) return i;
  return begin;
}

int last_selectable(const menu* m) {
  int begin, end;
  menu_tab_range(m, &begin, &end);
  for (int i = end - 1; i >= begin; --i)
    if (menu_selectable(m->items[i])) return i;
  return begin;
}

void to_first(menu* m) {
  m->cursor = first_selectable(m);
  m->first = 0;
}

void change_tab(menu* m, int tab) {
  m->tab = ((tab % m->tab_count) + m->tab_count) % m->tab_count;
  to_first(m);
}

// One selectable item up or down, wrapping within the range; gives up
// after one round.
void move(menu* m, int direction) {
  int begin, end;
  menu_tab_range(m, &begin, &end);
  int n = end - begin;
  if (n <= 0) return;
  int at = m->cursor;
  for (int tries = 0; tries < n; ++tries) {
    at = begin + (((at - begin + direction) % n) + n) % n;
    if (menu_selectable(m->items[at])) {
      m->cursor = at;
      return;
    }
  }
}

void change_value(menu* m, int up) {
  if (m->cursor < 0 || m->cursor >= m->count) return;
  menu_item& item = m->items[m->cursor];
  if (!enabled(item)) return;
  switch (item.kind) {
    case MI_BOOL:
      if (item.get_bool && item.set_bool) item.set_bool(!item.get_bool());
      break;
    case MI_CHOICE: {
      int n = item.count ? item.count() : 0;
      if (n <= 0 || !item.get_index || !item.set_index) break;
      int v = item.get_index() + (up ? 1 : -1);
      item.set_index(((v % n) + n) % n);
      break;
    }
    case MI_SLIDER: {
      if (!item.get_value || !item.set_value) break;
      double step = item.step > 0 ? item.step : 0.1;
      double v = item.get_value() + (up ? step : -step);
      if (v < item.min) v = item.min;
      if (v > item.max) v = item.max;
      item.set_value(std::floor(v * 10000 + 0.5) / 10000);
      break;
    }
    default:
      break;
  }
}

menu_item named(int kind, const char* label, const char* hint) {
  menu_item item;
  item.kind = kind;
  copy_text(item.label, sizeof item.label, label);
  item.hint = hint;
  return item;
}

}  // namespace

menu_item mi_sep(const char* label, int info) {
  menu_item item = named(MI_SEP, label, nullptr);
  item.info = info;
  return item;
}

menu_item mi_tab(const char* label, const char* hint) { return named(MI_TAB, label, hint); }

menu_item mi_bool(const char* label, const char* hint, int (*get)(), void (*set)(int)) {
  menu_item item = named(MI_BOOL, label, hint);
  item.get_bool = get;
  item.set_bool = set;
  return item;
}

menu_item mi_choice(const char* label, const char* hint, int (*count)(), const char* (*text)(int),
                    int (*get)(), void (*set)(int)) {
  menu_item item = named(MI_CHOICE, label, hint);
  item.count = count;
  item.text = text;
  item.get_index = get;
  item.set_index = set;
  return item;
}

menu_item mi_slider(const char* label, const char* hint, double min, double max, double step,
                    const char* format, double (*get)(), void (*set)(double)) {
  menu_item item = named(MI_SLIDER, label, hint);
  item.min = min;
  item.max = max;
  item.step = step;
  item.format = format;
  item.get_value = get;
  item.set_value = set;
  return item;
}

menu_item mi_action(const char* label, const char* hint, void (*action)()) {
  menu_item item = named(MI_ACTION, label, hint);
  item.action = action;
  return item;
}

menu_item mi_image(const char* label, const char* path) {
  menu_item item = named(MI_IMAGE, label, nullptr);
  item.image = path ? strdup(path) : nullptr;
  return item;
}

namespace {

// Menus live as long as the program; this list owns them and frees them
// at exit.
struct menu_list {
  std::vector<menu*> made;
  ~menu_list() {
    for (menu* m : made) {
      for (int i = 0; i < m->count; ++i) std::free(m->items[i].image);
      std::free(m);
    }
  }
};
menu_list menus_made;

}  // namespace

menu* menu_new(const char* title) {
  menu* m = static_cast<menu*>(std::calloc(1, sizeof(menu)));
  if (!m) return nullptr;
  for (menu_item& item : m->items) new (&item) menu_item();
  copy_text(m->title, sizeof m->title, title);
  menus_made.made.push_back(m);
  return m;
}

void menu_add(menu* m, const menu_item& item) {
  if (!m || m->count >= menu_max_items) return;
  m->items[m->count++] = item;
  if (item.kind == MI_TAB) ++m->tab_count;
}

void menu_last_valtext(menu* m, const char* (*fn)()) {
  if (m && m->count > 0) m->items[m->count - 1].valtext = fn;
}
void menu_last_enabled(menu* m, int (*fn)()) {
  if (m && m->count > 0) m->items[m->count - 1].enabled = fn;
}
void menu_last_valhint(menu* m, const char* (*fn)(int)) {
  if (m && m->count > 0) m->items[m->count - 1].valhint = fn;
}

int menu_selectable(const menu_item& item) { return item.kind != MI_SEP && item.kind != MI_IMAGE; }

void menu_tab_range(const menu* m, int* begin, int* end) { range_of_tab(m, m->tab, begin, end); }

void menu_show(menu* m) {
  if (!m) return;
  m->open = 1;
  if (m->tab_count > 0) {
    m->tab_focus = 0;
    if (m->tab >= m->tab_count) m->tab = 0;
    int begin, end;
    menu_tab_range(m, &begin, &end);
    bool stays = m->cursor >= begin && m->cursor < end && menu_selectable(m->items[m->cursor]);
    if (!stays) to_first(m);
    return;
  }
  if (m->count <= 0) return;
  for (int tries = 0; tries < m->count; ++tries) {
    if (m->cursor >= 0 && m->cursor < m->count && menu_selectable(m->items[m->cursor])) return;
    m->cursor = (m->cursor + 1) % m->count;
    if (m->cursor < 0) m->cursor = 0;
  }
}

void menu_hide(menu* m) {
  if (m) m->open = 0;
}

int menu_is_open(const menu* m) { return m && m->open; }

void menu_status(menu* m, const char* text) {
  if (!m) return;
  copy_text(m->status, sizeof m->status, text);
  m->status_time = now_s();
}

void menu_nav(menu* m, const char* command) {
  if (!m || !command) return;
  bool tabs = m->tab_count > 0;
  if (tabs && (!std::strcmp(command, "tabprev") || !std::strcmp(command, "tabnext"))) {
    change_tab(m, m->tab + (!std::strcmp(command, "tabnext") ? 1 : -1));
    return;
  }
  if (tabs && m->tab_focus) {
    if (!std::strcmp(command, "left")) {
      change_tab(m, m->tab - 1);
    } else if (!std::strcmp(command, "right")) {
      change_tab(m, m->tab + 1);
    } else if (!std::strcmp(command, "down")) {
      m->tab_focus = 0;
      m->cursor = first_selectable(m);
    } else if (!std::strcmp(command, "up")) {
      m->tab_focus = 0;
      m->cursor = last_selectable(m);
    }
    return;
  }
  if (!std::strcmp(command, "up")) {
    if (tabs && m->cursor == first_selectable(m)) {
      m->tab_focus = 1;
      return;
    }
    move(m, -1);
    return;
  }
  if (!std::strcmp(command, "down")) {
    move(m, 1);
    return;
  }
  change_value(m, std::strcmp(command, "left") != 0);
}

void menu_activate(menu* m) {
  if (!m) return;
  if (m->tab_count > 0 && m->tab_focus) {
    m->tab_focus = 0;
    m->cursor = first_selectable(m);
    return;
  }
  if (m->cursor < 0 || m->cursor >= m->count) return;
  menu_item& item = m->items[m->cursor];
  if (!enabled(item)) return;
  if (item.kind == MI_ACTION) {
    if (item.action) item.action();
    return;
  }
  if (item.kind == MI_BOOL || item.kind == MI_CHOICE || item.kind == MI_SLIDER)
    change_value(m, 1);
}

const char* menu_value_text(const menu_item& item, char* buffer, size_t size) {
  if (!buffer || size == 0) return "";
  buffer[0] = 0;
  switch (item.kind) {
    case MI_BOOL:
      copy_text(buffer, size, tr(item.get_bool && item.get_bool() ? "val.on" : "val.off"));
      break;
    case MI_CHOICE:
      if (item.count && item.text && item.get_index && item.count() >= 1)
        copy_text(buffer, size, tr(item.text(item.get_index())));
      break;
    case MI_SLIDER: {
      double v = item.get_value ? item.get_value() : 0;
      if (item.format) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        std::snprintf(buffer, size, item.format, v);
#pragma GCC diagnostic pop
      } else {
        std::snprintf(buffer, size, "%d %%", int(std::lround(v * 100)));
      }
      break;
    }
    case MI_ACTION:
      if (item.valtext) copy_text(buffer, size, tr(item.valtext()));
      break;
    default:
      break;
  }
  return buffer;
}

int menu_signature(const menu* m, int w, int h, char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  if (!m) return 0;
  size_t len = 0;
  auto put = [&](const char* format, auto... values) {
    if (len >= size) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    int n = std::snprintf(buffer + len, size - len, format, values...);
#pragma GCC diagnostic pop
    if (n > 0) len = len + size_t(n) < size ? len + size_t(n) : size - 1;
  };
  put("%d|%d|%d|%d|%d|", m->cursor, w, h, m->tab, m->tab_focus);
  if (m->status[0] && now_s() - m->status_time < menu_status_seconds) put("%s|", m->status);
  put("%u|", unsigned(padmap_signature()));
  // The value texts below stop when the buffer runs short (long words,
  // a status); a hash of all of them keeps a change of the last item
  // visible anyway.
  char text[256];
  uint32_t hash = 2166136261u;
  for (int i = 0; i < m->count; ++i) {
    if (!menu_selectable(m->items[i])) continue;
    for (const char* c = menu_value_text(m->items[i], text, sizeof text); *c; ++c)
      hash = (hash ^ uint8_t(*c)) * 16777619u;
    hash = (hash ^ ';') * 16777619u;
  }
  put("%08x|", unsigned(hash));
  for (int i = 0; i < m->count; ++i) {
    if (!menu_selectable(m->items[i])) continue;
    if (size - len <= 100) break;
    put("%s;", menu_value_text(m->items[i], text, sizeof text));
  }
  return int(len);
}
