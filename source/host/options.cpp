// Options store and its file format.
//
// The file is a JSON subset: one object of members whose values are
// numbers, true, false, null, strings or nested objects (flattened into
// dotted keys). Commas are optional, arrays are not allowed, strings know
// the escapes \n, \uXXXX (read as '?') and backslash-anything.
#include "host/options.h"

#include "host/platform.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace {

enum cfg_type { CFG_NUMBER = 0, CFG_BOOL = 1, CFG_STRING = 2, CFG_NULL = 3 };

constexpr int max_entries = 96;
constexpr size_t key_len = 47;
constexpr size_t text_len = 199;
constexpr size_t full_key_len = 95;
// Deeper nesting than any options file needs; a hostile file cannot run the
// reader out of stack.
constexpr int max_depth = 32;

struct cfg_entry {
  char key[key_len + 1];
  int type;
  double number;
  char text[text_len + 1];
};

cfg_entry ents[max_entries];
int nents;
// Keys read with a number that is not finite (not stored).
char not_finite_keys[max_entries][key_len + 1];
int not_finite_count;

// Numbers are read and written with '.' whatever locale the program runs in.
class c_numbers {
 public:
  c_numbers() {
    static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (c_locale) old_ = uselocale(c_locale);
  }
  ~c_numbers() {
    if (old_) uselocale(old_);
  }
  c_numbers(const c_numbers&) = delete;
  c_numbers& operator=(const c_numbers&) = delete;

 private:
  locale_t old_ = static_cast<locale_t>(0);
};

void copy_cut(char* dst, const char* src, size_t max) {
  size_t n = strnlen(src, max);
  memcpy(dst, src, n);
  dst[n] = 0;
}

// Keys are compared as stored, that is cut to 47 characters.
cfg_entry* find(const char* key) {
  if (!key) return nullptr;
  char cut[key_len + 1];
  copy_cut(cut, key, key_len);
  for (int i = 0; i < nents; i++)
    if (strcmp(ents[i].key, cut) == 0) return &ents[i];
  return nullptr;
}

cfg_entry* find_or_add(const char* key) {
  if (!key) return nullptr;
  if (cfg_entry* e = find(key)) return e;
  if (nents >= max_entries) return nullptr;
  cfg_entry* e = &ents[nents++];
  memset(e, 0, sizeof *e);
  copy_cut(e->key, key, key_len);
  return e;
}

// ---- Reading ----------------------------------------------------------------

struct parser {
  const char* start;
  const char* p;
  const char* error;  // null while the parse goes well
};

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void skip_space(parser& ps) {
  while (is_space(*ps.p)) ps.p++;
}

bool fail(parser& ps, const char* why) {
  ps.error = why;
  return false;
}

// Reads a string at the opening quote into out (cut to max characters).
bool read_string(parser& ps, char* out, size_t max) {
  ps.p++;
  size_t n = 0;
  for (;;) {
    char c = *ps.p;
    if (c == 0) return fail(ps, "a text has no closing quote");
    ps.p++;
    if (c == '"') break;
    if (c == '\\') {
      char e = *ps.p;
      if (e == 0) return fail(ps, "a text has no closing quote");
      ps.p++;
      if (e == 'n') {
        c = '\n';
      } else if (e == 'u') {
        c = '?';
        for (int i = 0; i < 4 && *ps.p; i++) ps.p++;
      } else {
        c = e;
      }
    }
    if (n < max) out[n++] = c;
  }
  out[n] = 0;
  return true;
}

void log_not_finite(const char* key) {
  host_log("Options: the value of \"%s\" is not a finite number; its default is used", key);
}

bool read_object(parser& ps, const std::string& prefix, int depth);

// Reads the value of one member whose full key is given.
bool read_value(parser& ps, const std::string& full_key, int depth) {
  char c = *ps.p;
  if (c == '{') {
    if (depth >= max_depth) return fail(ps, "objects are nested too deeply");
    std::string inner = full_key + ".";
    if (inner.size() > full_key_len) inner.resize(full_key_len);
    return read_object(ps, inner, depth + 1);
  }
  if (c == '[') return fail(ps, "arrays are not allowed");
  if (nents >= max_entries) return fail(ps, "more than 96 options");
  cfg_entry* e = &ents[nents];
  memset(e, 0, sizeof *e);
  copy_cut(e->key, full_key.c_str(), key_len);
  if (strncmp(ps.p, "true", 4) == 0) {
    e->type = CFG_BOOL;
    e->number = 1;
    ps.p += 4;
  } else if (strncmp(ps.p, "false", 5) == 0) {
    e->type = CFG_BOOL;
    ps.p += 5;
  } else if (strncmp(ps.p, "null", 4) == 0) {
    e->type = CFG_NULL;
    ps.p += 4;
  } else if (c == '"') {
    e->type = CFG_STRING;
    if (!read_string(ps, e->text, text_len)) return false;
  } else {
    char* end = nullptr;
    double v = strtod(ps.p, &end);
    if (end == ps.p) return fail(ps, "a value is not a number, text, true, false or null");
    ps.p = end;
    // strtod takes "nan", "inf" and overflows to infinity; such a value
    // would pass every range check of its user, so it is left out.
    if (!std::isfinite(v)) {
      log_not_finite(e->key);
      if (not_finite_count < max_entries) copy_cut(not_finite_keys[not_finite_count++], e->key, key_len);
      return true;
    }
    e->type = CFG_NUMBER;
    e->number = v;
  }
  nents++;
  return true;
}

bool read_object(parser& ps, const std::string& prefix, int depth) {
  ps.p++;  // the opening brace
  for (;;) {
    skip_space(ps);
    char c = *ps.p;
    if (c == '}') {
      ps.p++;
      return true;
    }
    if (c == ',') {
      ps.p++;
      continue;
    }
    if (c == 0) return fail(ps, "the file ends before the closing brace");
    if (c != '"') return fail(ps, "a member does not start with a quoted key");
    char key[key_len + 1];
    if (!read_string(ps, key, key_len)) return false;
    skip_space(ps);
    if (*ps.p != ':') return fail(ps, "a key is not followed by a colon");
    ps.p++;
    skip_space(ps);
    std::string full = prefix + key;
    if (full.size() > full_key_len) full.resize(full_key_len);
    if (!read_value(ps, full, depth)) return false;
  }
}

int line_of(const parser& ps) {
  int line = 1;
  for (const char* q = ps.start; q < ps.p; q++)
    if (*q == '\n') line++;
  return line;
}

int parse(const char* text, const char* name) {
  c_numbers numbers;
  nents = 0;
  not_finite_count = 0;
  if (!text) return 0;
  parser ps{text, text, nullptr};
  if (static_cast<unsigned char>(ps.p[0]) == 0xEF && static_cast<unsigned char>(ps.p[1]) == 0xBB &&
      static_cast<unsigned char>(ps.p[2]) == 0xBF)
    ps.p += 3;
  skip_space(ps);
  bool ok = *ps.p == '{' ? read_object(ps, "", 0) : fail(ps, "it does not start with '{'");
  if (!ok)
    host_log("Options: %s is damaged at line %d (%s); the %d options before it are kept, "
             "the others take their defaults",
             name, line_of(ps), ps.error, nents);
  return ok ? 1 : 0;
}

// ---- Writing ----------------------------------------------------------------

void append_quoted(std::string& out, const char* s) {
  out += '"';
  for (; *s; s++) {
    if (*s == '"' || *s == '\\') out += '\\';
    out += *s;
  }
  out += '"';
}

void append_number(std::string& out, double v) {
  char buf[64];
  snprintf(buf, sizeof buf, "%g", v);
  out += buf;
}

void append_value(std::string& out, const cfg_entry& e) {
  switch (e.type) {
    case CFG_BOOL: out += e.number != 0 ? "true" : "false"; break;
    case CFG_NULL: out += "null"; break;
    case CFG_STRING: append_quoted(out, e.text); break;
    default: append_number(out, e.number); break;
  }
}

constexpr char params_prefix[] = "params.";
constexpr size_t params_prefix_len = sizeof params_prefix - 1;

bool is_param(const cfg_entry& e) { return strncmp(e.key, params_prefix, params_prefix_len) == 0; }

std::string render() {
  c_numbers numbers;
  std::string out = "{\n";
  const char* sep = "";
  bool any_param = false;
  for (int i = 0; i < nents; i++) {
    if (is_param(ents[i])) {
      any_param = true;
      continue;
    }
    out += sep;
    out += ' ';
    append_quoted(out, ents[i].key);
    out += ": ";
    append_value(out, ents[i]);
    sep = ",\n";
  }
  if (any_param) {
    out += sep;
    out += " \"params\": {\n";
    const char* inner_sep = "";
    for (int i = 0; i < nents; i++) {
      if (!is_param(ents[i])) continue;
      out += inner_sep;
      out += "  ";
      append_quoted(out, ents[i].key + params_prefix_len);
      out += ": ";
      append_number(out, ents[i].number);
      inner_sep = ",\n";
    }
    out += "\n }";
  }
  out += "\n}\n";
  return out;
}

}  // namespace

int cfg_load(const char* path) {
  nents = 0;
  not_finite_count = 0;
  if (!path) return 0;
  size_t size = 0;
  char* text = read_file(path, &size, cfg_largest_file);
  if (!text) {
    if (file_exists(path)) host_log("Options: could not read %s; the defaults are used", path);
    return 0;
  }
  int ok = parse(text, path);
  free(text);
  return ok;
}

int cfg_load_text(const char* text) { return parse(text, "the options text"); }

int cfg_has(const char* key) {
  const cfg_entry* e = find(key);
  return e && e->type != CFG_NULL;
}

int cfg_not_finite(const char* key) {
  if (!key) return 0;
  char cut[key_len + 1];
  copy_cut(cut, key, key_len);
  for (int i = 0; i < not_finite_count; i++)
    if (strcmp(not_finite_keys[i], cut) == 0) return 1;
  return 0;
}

double cfg_num(const char* key, double def) {
  const cfg_entry* e = find(key);
  if (!e || (e->type != CFG_NUMBER && e->type != CFG_BOOL)) return def;
  return e->number;
}

int cfg_bool(const char* key, int def) {
  const cfg_entry* e = find(key);
  if (!e || (e->type != CFG_NUMBER && e->type != CFG_BOOL)) return def;
  return e->number != 0;
}

const char* cfg_str(const char* key, const char* def) {
  const cfg_entry* e = find(key);
  return e && e->type == CFG_STRING ? e->text : def;
}

void cfg_set_num(const char* key, double value) {
  if (!std::isfinite(value)) {
    host_log("Options: \"%s\" not set: %g is not a finite number", key ? key : "", value);
    return;
  }
  if (cfg_entry* e = find_or_add(key)) {
    e->type = CFG_NUMBER;
    e->number = value;
  }
}

void cfg_set_bool(const char* key, int value) {
  if (cfg_entry* e = find_or_add(key)) {
    e->type = CFG_BOOL;
    e->number = value != 0;
  }
}

void cfg_set_str(const char* key, const char* text) {
  if (cfg_entry* e = find_or_add(key)) {
    e->type = CFG_STRING;
    copy_cut(e->text, text ? text : "", text_len);
  }
}

void cfg_remove(const char* key) {
  cfg_entry* e = find(key);
  if (!e) return;
  *e = ents[nents - 1];
  nents--;
}

void cfg_clear() {
  nents = 0;
  not_finite_count = 0;
}

int cfg_save(const char* path) {
  if (!path) return 0;
  std::string text = render();
  return write_file(path, text.data(), text.size());
}
