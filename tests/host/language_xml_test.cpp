#include "host/language_xml.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// The table read from a file, as one line per entry ("id=text").
std::string entries_of(const lang_table& t) {
  std::string out;
  for (const auto& e : t.entries) out += e.id + "=" + e.text + "\n";
  return out;
}

struct xml_case {
  const char* what;
  std::string file;
  std::string name, code;
  std::string entries;
  bool complete;
  int bad_utf8;
};

TEST(LanguageXml, ReaderOnWellFormedAndDamagedFiles) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language name=\"English\" code=\"en\">\n";
  const xml_case cases[] = {
      {"well formed, sorted by id",
       head + "<!-- menus -->\n<string id=\"menu.quit\">Quit</string>\n"
              "<string id=\"menu.back\">Back</string>\n</language>\n",
       "English", "en", "menu.back=Back\nmenu.quit=Quit\n", true, 0},
      {"byte-order mark", "\xEF\xBB\xBF" + head + "<string id=\"a\">x</string>", "English", "en",
       "a=x\n", true, 0},
      {"trimmed content with an entity",
       head + "<string id=\"a\">  \r\n\tSave &amp; load \n</string>", "English", "en",
       "a=Save & load\n", true, 0},
      {"empty content is an empty text", head + "<string id=\"a\"></string>", "English", "en",
       "a=\n", true, 0},
      {"every attribute quirk",
       head + "<string id = \"spaced\">no</string><string ID=\"upper\">no</string>"
              "<string id='single'>no</string><string id=\"\">no</string>"
              "<string title='id=\"first\"' id=\"second\">yes</string>",
       "English", "en", "first=yes\n", true, 0},
      {"other tags are skipped",
       head + "<strings><string>no id</string><b>bold</b></string>"
              "<string\tid=\"tab\">t</string><stringx id=\"x\">no</stringx>",
       "English", "en", "tab=t\n", true, 0},
      {"markup inside a text is kept", head + "<string id=\"a\">1 <b>2</b> 3</string>",
       "English", "en", "a=1 <b>2</b> 3\n", true, 0},
      {"self-closing string does not swallow the next",
       head + "<string id=\"empty\"/>\n<string id=\"next\">kept</string>", "English", "en",
       "next=kept\n", true, 0},
      {"missing closing tag stops with the texts before it",
       head + "<string id=\"a\">1</string><string id=\"b\">2<string id=\"c\">3", "English", "en",
       "a=1\n", false, 0},
      {"an empty comment", head + "<!----><string id=\"a\">1</string>", "English", "en", "a=1\n", true, 0},
      {"unclosed comment stops", head + "<string id=\"a\">1</string><!-- <string id=\"b\">2</string>",
       "English", "en", "a=1\n", false, 0},
      {"unclosed declaration stops", "<?xml version=\"1.0\" <string id=\"a\">1</string>", "", "", "",
       false, 0},
      {"tag without its end stops", head + "<string id=\"a\"", "English", "en", "", false, 0},
      {"language tag without its end stops", "<language code=\"en\"", "", "", "", false, 0},
      {"no code", "<language name=\"Nameless\">\n<string id=\"a\">1</string>", "Nameless", "",
       "a=1\n", true, 0},
      {"a later language tag wins",
       "<language name=\"One\" code=\"one\"/><language name=\"Two\" code=\"two\">", "Two", "two", "",
       true, 0},
      {"code is not decoded and is cut to 15",
       "<language name=\"D&amp;D\" code=\"x&amp;y-0123456789abcdef\">", "D&D",
       "x&amp;y-0123456", "", true, 0},
      {"invalid UTF-8 text is left out",
       head + "<string id=\"bad\">a\xC3(b</string><string id=\"good\">\xC3\xA9t\xC3\xA9</string>"
              "<string id=\"surrogate\">\xED\xA0\x80</string><string id=\"overlong\">\xC0\xAF</string>",
       "English", "en", "good=\xC3\xA9t\xC3\xA9\n", true, 3},
      {"invalid name shows the code", "<language name=\"\xC3(\" code=\"xx\">", "xx", "xx", "",
       true, 1},
      {"invalid name and code", "<language name=\"\xC3(\" code=\"\xFF\">", "", "\xFF", "", true,
       1},
      {"binary rubbish", std::string("\0<\0<string \0>\xFF</string>\0", 24), "", "", "", true, 0},
      {"empty file", "", "", "", "", true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    lang_table t;
    lang_xml_report r;
    lang_xml_read(c.file, &t, &r);
    EXPECT_EQ(t.name, c.name);
    EXPECT_EQ(t.code, c.code);
    EXPECT_EQ(entries_of(t), c.entries);
    EXPECT_EQ(r.complete, c.complete);
    EXPECT_EQ(r.bad_utf8, c.bad_utf8);
  }
}

TEST(LanguageXml, EntityDecoding) {
  struct row {
    const char* in;
    const char* out;
  };
  const row rows[] = {
      {"&lt;&gt;&quot;&apos;&amp;", "<>\"'&"},
      {"&#65;", "A"},
      {"&#065;&#10;", "A\n"},
      {"&#0;", "&#0;"},
      {"&#1;|&#9;|&#127;", "\x01|\t|\x7F"},  // the ends of the range, one digit
      {"&#128;", "&#128;"},
      {"&#200;", "&#200;"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&#x41;", "&#x41;"},
      {"&#;", "&#;"},
      {"&#65", "&#65"},                // no ';' anywhere: left as written
      {"&#65abc; rest", "A rest"},     // everything up to the ';' goes
      {"&amp;amp;", "&amp;"},          // decoded once
      {"&nbsp; & &", "&nbsp; & &"},
      {"tail &", "tail &"},
  };
  for (const auto& r : rows) EXPECT_EQ(lang_xml_decode(r.in), r.out) << r.in;
}

TEST(LanguageXml, LongFieldsAreCutAtTheirSizes) {
  std::string id(200, 'i');
  std::string name(62, 'n');
  name += "\xC3\xA9";  // 64 bytes: the last character does not fit
  std::string file = "<language name=\"" + name + "\" code=\"en\"><string id=\"" + id + "\">x</string>";
  lang_table t;
  lang_xml_report r;
  lang_xml_read(file, &t, &r);
  EXPECT_EQ(t.name, std::string(62, 'n'));
  ASSERT_EQ(t.entries.size(), 1u);
  EXPECT_EQ(t.entries[0].id, std::string(159, 'i'));

  // An attribute beyond the first 399 characters of its tag is not seen.
  std::string far = "<language code=\"en\"><string pad=\"" + std::string(400, 'p') +
                    "\" id=\"far\">x</string><string id=\"near\">y</string>";
  lang_xml_read(far, &t, &r);
  EXPECT_EQ(entries_of(t), "near=y\n");
}

TEST(LanguageXml, Utf8Helpers) {
  EXPECT_TRUE(lang_utf8_valid("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAE"));
  EXPECT_FALSE(lang_utf8_valid("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(lang_utf8_valid("\xE2\x82"));          // cut short
  EXPECT_FALSE(lang_utf8_valid("\x80"));
  EXPECT_EQ(lang_utf8_cut("ab\xE2\x82\xAC", 4), "ab");
  EXPECT_EQ(lang_utf8_cut("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
  EXPECT_EQ(lang_utf8_cut("abc", 2), "ab");
}

TEST(LanguageXml, OneBlankAroundATextIsTrimmedAlone) {
  const struct {
    const char* content;
    const char* text;
  } rows[] = {
      {"Quit ", "Quit"}, {"Quit\n", "Quit"}, {" Quit", "Quit"}, {"\tQuit\r", "Quit"},
      {"a b", "a b"},    {" ", ""},           {"\n\n", ""},
  };
  for (const auto& r : rows) {
    lang_table t;
    lang_xml_report rep;
    lang_xml_read(std::string("<language code=\"en\"><string id=\"x\">") + r.content + "</string>", &t, &rep);
    ASSERT_EQ(t.entries.size(), 1u) << r.content;
    EXPECT_EQ(t.entries[0].text, r.text) << "[" << r.content << "]";
  }
}

TEST(LanguageXml, Utf8ValidatorAtEveryBoundaryOfTheEncoding) {
  const struct {
    const char* what;
    std::string bytes;
    bool valid;
  } rows[] = {
      {"last one-byte", "\x7F", true},
      {"lone continuation", "\x80", false},
      {"overlong two-byte lead C0", "\xC0\x80", false},
      {"overlong two-byte lead C1", "\xC1\xBF", false},
      {"first two-byte", "\xC2\x80", true},
      {"last two-byte", "\xDF\xBF", true},
      {"two-byte, second byte not a continuation", "\xC2\x7F", false},
      {"two-byte, second byte a lead", "\xC2\xC0", false},
      {"overlong three-byte", "\xE0\x9F\xBF", false},
      {"first three-byte", "\xE0\xA0\x80", true},
      {"last before the surrogates", "\xED\x9F\xBF", true},
      {"first surrogate", "\xED\xA0\x80", false},
      {"last surrogate", "\xED\xBF\xBF", false},
      {"first after the surrogates", "\xEE\x80\x80", true},
      {"last three-byte", "\xEF\xBF\xBF", true},
      {"three-byte, third byte not a continuation", "\xE0\xA0\x7F", false},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF", false},
      {"first four-byte", "\xF0\x90\x80\x80", true},
      {"last code point", "\xF4\x8F\xBF\xBF", true},
      {"above the last code point", "\xF4\x90\x80\x80", false},
      {"lead F5", "\xF5\x80\x80\x80", false},
      {"lead FF", "\xFF", false},
      {"four-byte, fourth byte not a continuation", "\xF0\x90\x80\x7F", false},
      {"four-byte cut short", "\xF0\x90\x80", false},
      {"two-byte cut short", "\xC2", false},
      {"characters in a row", "a\xC2\x80" "b\xE0\xA0\x80" "c\xF0\x90\x80\x80" "d", true},
      {"a bad byte after good ones", "\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80\x80", false},
  };
  for (const auto& r : rows) EXPECT_EQ(lang_utf8_valid(r.bytes), r.valid) << r.what;
}

TEST(LanguageXml, CutsNeverSplitLongCharacters) {
  const std::string euro = "\xE2\x82\xAC", pad = "\xF0\x9F\x8E\xAE";
  const struct {
    std::string text;
    size_t max;
    std::string kept;
  } rows[] = {
      {"a" + euro, 1, "a"},        {"a" + euro, 2, "a"},        {"a" + euro, 3, "a"},
      {"a" + euro + "b", 4, "a" + euro},
      {"a" + pad, 2, "a"},         {"a" + pad, 3, "a"},         {"a" + pad, 4, "a"},
      {"a" + pad + "b", 5, "a" + pad},
  };
  for (const auto& r : rows) EXPECT_EQ(lang_utf8_cut(r.text, r.max), r.kept) << r.max;
}

}  // namespace
