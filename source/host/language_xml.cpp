// The language-file reader. It scans for '<' and decides by what follows;
// a construct whose end is missing (a file cut in the middle) stops the
// reading with the texts before it kept.
#include "host/language_xml.h"

#include <algorithm>

namespace {

constexpr size_t tag_max = 399;
constexpr size_t name_attr_max = 199;
constexpr size_t name_max = 63;
constexpr size_t code_max = 15;
constexpr size_t id_max = 159;

bool starts_with(std::string_view s, size_t pos, std::string_view what) {
  return s.compare(pos, what.size(), what) == 0;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// The value of name="..." in the tag: the first place where the name is
// followed directly by '=' and a double quote, up to the next quote (or the
// end of the tag), cut to max bytes.
std::string_view attribute(std::string_view tag, std::string_view name, size_t max) {
  std::string key(name);
  key += "=\"";
  size_t at = tag.find(key);
  if (at == std::string_view::npos) return {};
  std::string_view value = tag.substr(at + key.size());
  size_t quote = value.find('"');
  if (quote != std::string_view::npos) value = value.substr(0, quote);
  return value.substr(0, max);
}

void read_language_tag(std::string_view tag, lang_table* table, lang_xml_report* report) {
  std::string name = lang_xml_decode(attribute(tag, "name", name_attr_max));
  std::string_view code = attribute(tag, "code", code_max);
  table->code.assign(code);
  if (lang_utf8_valid(name)) {
    table->name.assign(lang_utf8_cut(name, name_max));
  } else {
    report->bad_utf8++;
    if (report->first_bad_id.empty()) report->first_bad_id = "(language name)";
    table->name.assign(lang_utf8_valid(code) ? code : std::string_view());
  }
}

}  // namespace

std::string lang_xml_decode(std::string_view text) {
  static constexpr struct {
    std::string_view entity;
    char c;
  } named[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c != '&') {
      out += c;
      i++;
      continue;
    }
    bool done = false;
    for (const auto& n : named) {
      if (starts_with(text, i, n.entity)) {
        out += n.c;
        i += n.entity.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    if (starts_with(text, i, "&#")) {
      size_t j = i + 2;
      int value = 0;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
        if (value <= 127) value = value * 10 + (text[j] - '0');
        j++;
      }
      size_t semi = text.find(';', j);
      // A reference takes everything up to its ';' with it.
      if (j > i + 2 && value >= 1 && value <= 127 && semi != std::string_view::npos) {
        out += static_cast<char>(value);
        i = semi + 1;
        continue;
      }
    }
    out += c;
    i++;
  }
  return out;
}

bool lang_utf8_valid(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      i++;
      continue;
    }
    size_t len;
    unsigned cp;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (size_t k = 1; k < len; k++) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string_view lang_utf8_cut(std::string_view text, size_t max) {
  if (text.size() <= max) return text;
  size_t n = max;
  // Back off over continuation bytes to the start of the cut character.
  size_t k = n;
  while (k > 0 && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) k--;
  return text.substr(0, k);
}

void lang_xml_read(std::string_view s, lang_table* table, lang_xml_report* report) {
  *table = lang_table{};
  *report = lang_xml_report{};
  table->entries.reserve(256);
  if (starts_with(s, 0, "\xEF\xBB\xBF")) s.remove_prefix(3);
  auto stop = [&](size_t at) {
    report->complete = false;
    report->stopped_at = at;
  };
  size_t pos = 0;
  for (;;) {
    size_t lt = s.find('<', pos);
    if (lt == std::string_view::npos) break;
    if (starts_with(s, lt, "<!--")) {
      size_t end = s.find("-->", lt + 4);
      if (end == std::string_view::npos) {
        stop(lt);
        break;
      }
      pos = end + 3;
    } else if (starts_with(s, lt, "<?")) {
      size_t end = s.find("?>", lt + 2);
      if (end == std::string_view::npos) {
        stop(lt);
        break;
      }
      pos = end + 2;
    } else if (starts_with(s, lt, "<language")) {
      size_t gt = s.find('>', lt);
      if (gt == std::string_view::npos) {
        stop(lt);
        break;
      }
      read_language_tag(s.substr(lt, std::min(gt - lt, tag_max)), table, report);
      pos = gt + 1;
    } else if (starts_with(s, lt, "<string") && lt + 7 < s.size() && is_blank(s[lt + 7])) {
      size_t gt = s.find('>', lt);
      if (gt == std::string_view::npos) {
        stop(lt);
        break;
      }
      std::string_view tag = s.substr(lt, std::min(gt - lt, tag_max));
      // <string id="x"/> has no text; reading goes on right after it, so the
      // next element's text is not swallowed.
      if (s[gt - 1] == '/') {
        pos = gt + 1;
        continue;
      }
      size_t close = s.find("</string>", gt + 1);
      if (close == std::string_view::npos) {
        stop(lt);
        break;
      }
      std::string_view id = attribute(tag, "id", id_max);
      if (!id.empty()) {
        std::string text = lang_xml_decode(trim(s.substr(gt + 1, close - gt - 1)));
        if (lang_utf8_valid(text) && lang_utf8_valid(id)) {
          table->entries.push_back({std::string(id), std::move(text)});
        } else {
          if (report->bad_utf8++ == 0) report->first_bad_id.assign(id);
        }
      }
      pos = close + 9;
    } else {
      pos = lt + 1;
    }
  }
  std::stable_sort(table->entries.begin(), table->entries.end(),
                   [](const lang_entry& a, const lang_entry& b) { return a.id < b.id; });
}
