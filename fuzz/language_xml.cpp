// Fuzz target: the language-file reader on any bytes, and the check that
// lets a translated text be used as a printf format.
#include "host/language.h"
#include "host/language_xml.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  lang_table table;
  lang_xml_report report;
  lang_xml_read(bytes, &table, &report);
  if (table.name.size() > 63 || table.code.size() > 15 || !lang_utf8_valid(table.name))
    std::abort();
  for (size_t i = 0; i < table.entries.size(); i++) {
    const lang_entry& e = table.entries[i];
    if (e.id.empty() || e.id.size() > 159 || !lang_utf8_valid(e.text)) std::abort();
    if (i > 0 && table.entries[i - 1].id > e.id) std::abort();
  }
  // A text that passes the check for these values must format safely with
  // them (the sanitizers watch the call).
  static constexpr lang_arg_kind kinds[] = {LANG_ARG_INT, LANG_ARG_STRING, LANG_ARG_DOUBLE,
                                            LANG_ARG_LONG};
  for (const lang_entry& e : table.entries) {
    for (size_t n = 0; n <= 4; n++) {
      if (!lang_format_fits(e.text.c_str(), kinds, n)) continue;
      char out[64];
      snprintf(out, sizeof out, e.text.c_str(), 7, "text", 2.5, 9L);
    }
  }
  return 0;
}
