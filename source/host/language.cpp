// The loaded languages, text lookup and translated formats.
#include "host/language.h"

#include "host/language_xml.h"
#include "host/platform.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int max_languages = 16;
// A larger language file is not read: the game's texts take some 20 KB.
constexpr size_t largest_language_file = 4 << 20;
// Field widths and precisions a translation may ask for; larger ones only
// serve to make formatting slow.
constexpr int max_format_number = 999;

std::vector<lang_table> langs;
int current_lang = 0;
int fallback_lang = -1;

bool same_code(std::string_view a, const char* b) {
  size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; i++) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

const char* lookup(int lang, const char* id) {
  if (lang < 0 || lang >= static_cast<int>(langs.size())) return nullptr;
  const auto& entries = langs[lang].entries;
  std::string_view key(id);
  auto it = std::lower_bound(entries.begin(), entries.end(), key,
                             [](const lang_entry& e, std::string_view k) { return e.id < k; });
  if (it == entries.end() || it->id != key) return nullptr;
  return it->text.c_str();
}

struct init_state {
  const char* folder;
};

int load_one(const char* name, void* user) {
  const char* folder = static_cast<init_state*>(user)->folder;
  if (static_cast<int>(langs.size()) >= max_languages) {
    host_log("Languages: more than %d language files in %s; %s and the rest are not loaded",
             max_languages, folder, name);
    return 0;
  }
  std::string path = std::string(folder) + "/" + name;
  size_t size = 0;
  char* data = read_file(path.c_str(), &size, largest_language_file);
  if (!data) {
    host_log("Languages: could not read %s", path.c_str());
    return 1;
  }
  lang_table table;
  lang_xml_report report;
  lang_xml_read(std::string_view(data, size), &table, &report);
  free(data);
  if (!report.complete)
    host_log("Languages: %s is cut short or damaged at byte %zu; the %zu texts before it are kept",
             path.c_str(), report.stopped_at, table.entries.size());
  if (report.bad_utf8)
    host_log("Languages: %s has %d texts that are not valid UTF-8 (first \"%s\"); they are left "
             "out",
             path.c_str(), report.bad_utf8, report.first_bad_id.c_str());
  if (table.code.empty()) {
    host_log("Languages: %s has no language code; it is not loaded", path.c_str());
    return 1;
  }
  langs.push_back(std::move(table));
  return 1;
}

// Where the formatted text was cut, drop a character left incomplete.
void cut_utf8_tail(char* buffer, size_t len) {
  if (len == 0) return;
  size_t lead = len - 1;
  int back = 0;
  while (lead > 0 && back < 3 && (static_cast<unsigned char>(buffer[lead]) & 0xC0) == 0x80) {
    lead--;
    back++;
  }
  unsigned char c = static_cast<unsigned char>(buffer[lead]);
  size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (lead + need > len) buffer[lead] = 0;
}

void copy_cut(char* buffer, size_t size, const char* text) {
  size_t n = strlen(text);
  if (n < size) {
    memcpy(buffer, text, n + 1);
    return;
  }
  memcpy(buffer, text, size - 1);
  buffer[size - 1] = 0;
  cut_utf8_tail(buffer, size - 1);
}

std::mutex warned_lock;
std::set<std::string> warned;

void warn_once(const char* id, int lang, bool fallback_used) {
  const char* code = lang >= 0 && lang < static_cast<int>(langs.size())
                         ? langs[lang].code.c_str()
                         : "?";
  std::lock_guard<std::mutex> guard(warned_lock);
  if (!warned.insert(std::string(code) + '\n' + id).second) return;
  host_log("Languages: the %s text of \"%s\" has other placeholders than the program fills; %s",
           code, id, fallback_used ? "the fallback language's text is shown" : "the id is shown");
}

bool read_number(const char*& p) {
  int digits = 0, value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + (*p - '0');
    if (++digits > 3 || value > max_format_number) return false;
    p++;
  }
  return true;
}

}  // namespace

void lang_init(const char* folder) {
  langs.clear();
  {
    std::lock_guard<std::mutex> guard(warned_lock);
    warned.clear();
  }
  current_lang = 0;
  fallback_lang = -1;
  if (folder) {
    init_state st{folder};
    port_list_files(folder, ".xml", load_one, &st);
  }
  if (langs.empty()) {
    host_log("Languages: no language file found in %s (the menus will show their text ids)",
             folder ? folder : "");
    return;
  }
  fallback_lang = 0;
  for (int i = 0; i < static_cast<int>(langs.size()); i++)
    if (same_code(langs[i].code, "en")) fallback_lang = i;
  current_lang = fallback_lang;
}

int lang_set(const char* code) {
  if (!code) return 0;
  for (int i = 0; i < static_cast<int>(langs.size()); i++) {
    if (same_code(langs[i].code, code)) {
      current_lang = i;
      return 1;
    }
  }
  return 0;
}

const char* lang_current() {
  if (current_lang < 0 || current_lang >= static_cast<int>(langs.size())) return "en";
  return langs[current_lang].code.c_str();
}

int lang_count() { return static_cast<int>(langs.size()); }

const char* lang_name(int i) {
  return i >= 0 && i < lang_count() ? langs[i].name.c_str() : "";
}

const char* lang_code(int i) {
  return i >= 0 && i < lang_count() ? langs[i].code.c_str() : "";
}

int lang_index() { return current_lang; }

const char* tr(const char* id) {
  if (!id) return "";
  if (const char* t = lookup(current_lang, id)) return t;
  if (const char* t = lookup(fallback_lang, id)) return t;
  return id;
}

bool lang_format_fits(const char* format, const lang_arg_kind* kinds, size_t count) {
  if (!format) return count == 0;
  size_t k = 0;
  auto take = [&](lang_arg_kind want) {
    if (k >= count) return false;
    lang_arg_kind have = kinds[k++];
    // A string can be shown as its address; nothing else mixes.
    return have == want || (want == LANG_ARG_POINTER && have == LANG_ARG_STRING);
  };
  for (const char* p = format; *p; p++) {
    if (*p != '%') continue;
    p++;
    if (*p == '%') continue;
    while (*p && strchr("-+ #0'", *p)) p++;
    if (*p == '*') {
      if (!take(LANG_ARG_INT)) return false;
      p++;
    } else if (!read_number(p)) {
      return false;
    }
    if (*p == '.') {
      p++;
      if (*p == '*') {
        if (!take(LANG_ARG_INT)) return false;
        p++;
      } else if (!read_number(p)) {
        return false;
      }
    }
    std::string_view length;
    const char* len_start = p;
    if (*p == 'h' || *p == 'l') {
      p += p[1] == p[0] ? 2 : 1;
    } else if (*p == 'z' || *p == 'j' || *p == 't') {
      p++;
    }
    length = std::string_view(len_start, static_cast<size_t>(p - len_start));
    bool wide = length == "l" || length == "ll" || length == "z" || length == "j" || length == "t";
    bool ok;
    switch (*p) {
      case 'd': case 'i': case 'u': case 'o': case 'x': case 'X':
        ok = take(wide ? LANG_ARG_LONG : LANG_ARG_INT);
        break;
      case 'c':
        ok = length.empty() && take(LANG_ARG_INT);
        break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
        ok = (length.empty() || length == "l") && take(LANG_ARG_DOUBLE);
        break;
      case 's':
        ok = length.empty() && take(LANG_ARG_STRING);
        break;
      case 'p':
        ok = length.empty() && take(LANG_ARG_POINTER);
        break;
      default:  // %n, %m, positional arguments, wide texts, the end of the text...
        ok = false;
        break;
    }
    if (!ok) return false;
  }
  return k == count;
}

char* lang_trf_checked(char* buffer, size_t size, const char* id, const lang_arg_kind* kinds,
                       size_t count, ...) {
  if (!buffer || size == 0) return buffer;
  buffer[0] = 0;
  if (!id) return buffer;
  const char* own = lookup(current_lang, id);
  const char* fallback = current_lang != fallback_lang ? lookup(fallback_lang, id) : nullptr;
  const char* format = nullptr;
  if (own && lang_format_fits(own, kinds, count)) {
    format = own;
  } else if (fallback && lang_format_fits(fallback, kinds, count)) {
    format = fallback;
    if (own) warn_once(id, current_lang, true);
  } else if (own || fallback) {
    if (own) warn_once(id, current_lang, false);
    if (fallback) warn_once(id, fallback_lang, false);
  }
  if (!format) {
    copy_cut(buffer, size, id);
    return buffer;
  }
  va_list ap;
  va_start(ap, count);
  int n = vsnprintf(buffer, size, format, ap);
  va_end(ap);
  if (n < 0)
    buffer[0] = 0;
  else if (static_cast<size_t>(n) >= size)
    cut_utf8_tail(buffer, size - 1);
  return buffer;
}
