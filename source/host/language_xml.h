// Tolerant reader of the language files: it looks only for <language ...>
// (display name and code) and <string id="...">text</string>, skips comments
// and <? ?> declarations, and ignores everything else, so a hand-edited file
// with stray tags still gives its texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct lang_entry {
  std::string id;    // at most 159 bytes
  std::string text;  // entities decoded, surrounding blanks removed
};

struct lang_table {
  std::string name;  // display name, at most 63 bytes
  std::string code;  // e.g. "en", at most 15 bytes
  std::vector<lang_entry> entries;  // sorted by id (byte-wise) after reading
};

// What went wrong while reading one file, for the log.
struct lang_xml_report {
  bool complete = true;    // false: a construct was cut off and reading stopped
  size_t stopped_at = 0;   // byte offset of that construct
  int bad_utf8 = 0;        // texts left out because they are not valid UTF-8
  std::string first_bad_id;
};

// Reads one file's bytes (a UTF-8 byte-order mark is skipped) into the
// table, replacing what it held.
void lang_xml_read(std::string_view data, lang_table* table, lang_xml_report* report);

// Decodes &amp; &lt; &gt; &quot; &apos; and decimal references &#1; to
// &#127;; any other '&' stays as written.
std::string lang_xml_decode(std::string_view text);

// Whether the bytes are well-formed UTF-8.
bool lang_utf8_valid(std::string_view text);

// The longest prefix of at most max bytes that does not split a UTF-8
// character.
std::string_view lang_utf8_cut(std::string_view text, size_t max);
