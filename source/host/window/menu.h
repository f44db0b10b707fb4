// The menu engine: a list of typed items (switches, choices, sliders,
// actions, tabs, headings, pictures), the cursor, the current tab and the
// scroll position, a small set of navigation commands, and the whole menu
// drawn as one RGBA picture of the window's size for the video overlay.
// It knows nothing of options: every value goes through the item's own
// callbacks. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

enum menu_item_kind {
  MI_SEP = 0,  // heading, information line or spacer
  MI_BOOL = 1,
  MI_CHOICE = 2,
  MI_SLIDER = 3,
  MI_ACTION = 4,
  MI_TAB = 5,
  MI_IMAGE = 6,
};

struct menu_item {
  int kind = MI_SEP;
  // A text id; leading blanks are an indent, drawn as they stand.
  char label[96] = {};
  const char* hint = nullptr;  // text id or null
  int info = 0;                // MI_SEP: 1 small information line, 0 heading
  char* image = nullptr;       // MI_IMAGE: owned PNG path, or "@padmap"

  int (*get_bool)() = nullptr;
  void (*set_bool)(int) = nullptr;

  int (*count)() = nullptr;
  const char* (*text)(int) = nullptr;  // a text id or a ready text
  int (*get_index)() = nullptr;
  void (*set_index)(int) = nullptr;

  double min = 0, max = 1, step = 0.1;  // a step <= 0 counts as 0.1
  const char* format = nullptr;         // printf format for one double, or null
  double (*get_value)() = nullptr;
  void (*set_value)(double) = nullptr;

  void (*action)() = nullptr;

  const char* (*valtext)() = nullptr;      // actions: text at the right
  int (*enabled)() = nullptr;              // 0: greyed, ignores changes
  const char* (*valhint)(int) = nullptr;   // choices: hint for the chosen value
};

constexpr int menu_max_items = 128;
constexpr double menu_status_seconds = 5.0;
constexpr int menu_sig_size = 600;

struct menu {
  menu_item items[menu_max_items];
  int count;
  char title[80];
  int cursor;
  int first;  // first item drawn
  int open;
  char status[200];
  double status_time;
  int tab_count;
  int tab;
  int tab_focus;  // the cursor is on the row of tabs
};

// Item constructors, so that building a menu reads one line an item.
menu_item mi_sep(const char* label, int info = 0);
menu_item mi_tab(const char* label, const char* hint);
menu_item mi_bool(const char* label, const char* hint, int (*get)(), void (*set)(int));
menu_item mi_choice(const char* label, const char* hint, int (*count)(), const char* (*text)(int),
                    int (*get)(), void (*set)(int));
menu_item mi_slider(const char* label, const char* hint, double min, double max, double step,
                    const char* format, double (*get)(), void (*set)(double));
menu_item mi_action(const char* label, const char* hint, void (*action)());
menu_item mi_image(const char* label, const char* path);

// A new empty menu; never freed while the program runs.
menu* menu_new(const char* title);
// Copies the item; beyond menu_max_items the item is dropped.
void menu_add(menu* m, const menu_item& item);
void menu_last_valtext(menu* m, const char* (*fn)());
void menu_last_enabled(menu* m, int (*fn)());
void menu_last_valhint(menu* m, const char* (*fn)(int));

void menu_show(menu* m);
void menu_hide(menu* m);
int menu_is_open(const menu* m);
// Shown for five seconds from now.
void menu_status(menu* m, const char* text);

// "up", "down", "left", "right", "tabprev", "tabnext".
void menu_nav(menu* m, const char* command);
// The confirm command.
void menu_activate(menu* m);

// The text drawn at the right of an item ("" for none), into the buffer.
const char* menu_value_text(const menu_item& item, char* buffer, size_t size);
// The redraw key: changes whenever the drawn picture would. Returns its length.
int menu_signature(const menu* m, int w, int h, char* buffer, size_t size);
// The menu as w x h RGBA pixels (the caller frees them), or null.
uint8_t* menu_draw(menu* m, int w, int h);
// Draws the controls tab once in each installed language (up to four), so
// that opening it later finds the picture and glyph caches filled.
void menu_warmup(menu* m, int w, int h);

// The tab's item range [begin, end) and its first selectable item.
void menu_tab_range(const menu* m, int* begin, int* end);
int menu_selectable(const menu_item& item);

// The sizes the layout uses at a window height (exposed for the tests).
struct menu_sizes {
  int base, title, footer;
};
menu_sizes menu_layout_sizes(int h);
