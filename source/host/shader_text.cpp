// External shader text preparation and the "#pragma parameter" reader.
#include "host/shader_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Where the text's first line that is not blank or a comment begins (at
// its first character that is not white space).
size_t after_comments(std::string_view text) {
  size_t at = 0;
  for (;;) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (text.compare(at, 2, "//") == 0) {
      at = text.find('\n', at);
    } else if (text.compare(at, 2, "/*") == 0) {
      at = text.find("*/", at + 2);
      if (at != std::string_view::npos) at += 2;
    } else {
      return at;
    }
    if (at == std::string_view::npos) return text.size();
  }
}

}  // namespace

std::string shader_prepare_text(std::string_view file) {
  // GL reads the source as a C string: nothing after a 0 byte counts.
  file = file.substr(0, file.find('\0'));
  static constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
  std::string text;
  text.reserve(file.size());
  for (size_t i = 0; i < file.size(); ++i) {
    if (file.compare(i, byte_order_mark.size(), byte_order_mark) == 0)
      i += byte_order_mark.size() - 1;
    else if (file[i] != '\r')
      text.push_back(file[i]);
  }
  // The stage prefix carries the version; a second one would not compile.
  // It may follow a licence header: comments and blank lines. Its text goes,
  // its line stays, so that the compiler's line numbers are the file's.
  const size_t at = after_comments(text);
  if (text.compare(at, 8, "#version") == 0) text.erase(at, std::min(text.find('\n', at), text.size()) - at);
  return text;
}

std::string shader_stage_source(std::string_view prepared, bool vertex) {
  std::string source = "#version 330 compatibility\n";
  source += vertex ? "#define VERTEX\n" : "#define FRAGMENT\n";
  source += "#define PARAMETER_UNIFORM\n";
  // The compiler counts the file's lines, not those of this prefix.
  source += "#line 1\n";
  source += prepared;
  return source;
}

namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

size_t skip_spaces(std::string_view text, size_t at) {
  while (at < text.size() && is_space(text[at])) ++at;
  return at;
}

// One parameter starting right after the phrase; false when the text there
// does not follow the pattern.
bool read_one(std::string_view text, size_t at, shader_param* out) {
  at = skip_spaces(text, at);
  size_t name_start = at;
  while (at < text.size() && !is_space(text[at])) ++at;
  size_t name_length = at - name_start;
  if (name_length == 0 || name_length > SHADER_PARAM_NAME_MAX) return false;
  at = skip_spaces(text, at);
  if (at >= text.size() || text[at] != '"') return false;
  size_t close = text.find('"', at + 1);
  if (close == std::string_view::npos) return false;
  at = skip_spaces(text, close + 1);
  // strtof needs a terminated text: copy the few characters a number can use.
  char number[64];
  size_t n = 0;
  while (at + n < text.size() && n + 1 < sizeof number && !is_space(text[at + n])) {
    number[n] = text[at + n];
    ++n;
  }
  number[n] = 0;
  char* end = nullptr;
  float value = std::strtof(number, &end);
  if (end == number || !std::isfinite(value)) return false;
  std::memcpy(out->name, text.data() + name_start, name_length);
  out->name[name_length] = 0;
  out->value = value;
  return true;
}

}  // namespace

int shader_read_params(std::string_view text, shader_param* out, int max) {
  static constexpr std::string_view phrase = "#pragma parameter";
  int count = 0;
  size_t at = 0;
  while (count < max) {
    size_t found = text.find(phrase, at);
    if (found == std::string_view::npos) break;
    if (read_one(text, found + phrase.size(), &out[count])) ++count;
    at = found + 10;
  }
  return count;
}
