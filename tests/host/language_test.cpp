#include "host/language.h"
#include "host/platform.h"
#include "support/temp_dir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string language_file(const std::string& name, const std::string& code,
                          const std::vector<std::pair<std::string, std::string>>& texts) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language";
  if (!name.empty()) out += " name=\"" + name + "\"";
  if (!code.empty()) out += " code=\"" + code + "\"";
  out += ">\n";
  for (const auto& [id, text] : texts) out += "  <string id=\"" + id + "\">" + text + "</string>\n";
  return out + "</language>\n";
}

// Loads the folder with stderr captured; returns what was logged.
std::string init_quietly(const std::string& folder) {
  testing::internal::CaptureStderr();
  lang_init(folder.c_str());
  return testing::internal::GetCapturedStderr();
}

class Languages : public ::testing::Test {
 protected:
  void SetUp() override {
    spit(dir_ / "en.xml", language_file("English", "en",
                                        {{"menu.quit", "Quit"},
                                         {"menu.back", "Back"},
                                         {"msg.saved_map", "Saved to slot %d."},
                                         {"msg.assigned", "%s: %s"},
                                         {"val.slot.date", "Slot %d: %02d/%02d %02d:%02d"},
                                         {"only.en", "English only"}}));
    spit(dir_ / "de.xml", language_file("Deutsch", "de",
                                        {{"menu.quit", "Beenden"},
                                         {"msg.saved_map", "In Platz %d gespeichert."},
                                         {"msg.assigned", "%s: %s"}}));
    EXPECT_EQ(init_quietly(dir_.path), "");
  }
  void TearDown() override { init_quietly(empty_.path); }

  temp_dir dir_, empty_;
};

TEST_F(Languages, LookupFallsBackToEnglishThenToTheId) {
  EXPECT_EQ(lang_count(), 2);
  EXPECT_STREQ(lang_current(), "en");
  EXPECT_STREQ(tr("menu.quit"), "Quit");
  ASSERT_EQ(lang_set("DE"), 1);
  EXPECT_STREQ(lang_current(), "de");
  EXPECT_STREQ(lang_name(lang_index()), "Deutsch");
  EXPECT_STREQ(tr("menu.quit"), "Beenden");
  EXPECT_STREQ(tr("only.en"), "English only");
  EXPECT_STREQ(tr("no.such.id"), "no.such.id");
  EXPECT_STREQ(tr(nullptr), "");
  EXPECT_EQ(lang_set("fr"), 0);
  EXPECT_EQ(lang_set("an"), 0) << "every letter of the code counts";
  EXPECT_EQ(lang_set("e"), 0);
  EXPECT_EQ(lang_set(nullptr), 0);
  EXPECT_STREQ(lang_current(), "de");
  EXPECT_STREQ(lang_name(5), "");
  EXPECT_STREQ(lang_code(-1), "");
}

TEST_F(Languages, TrfFormatsAndCuts) {
  char buf[64];
  EXPECT_STREQ(trf(buf, sizeof buf, "msg.saved_map", 2), "Saved to slot 2.");
  EXPECT_STREQ(trf(buf, sizeof buf, "val.slot.date", 1, 7, 3, 9, 5), "Slot 1: 07/03 09:05");
  std::string label = "Fire";
  EXPECT_STREQ(trf(buf, sizeof buf, "msg.assigned", label.c_str(), "Ctrl"), "Fire: Ctrl");
  EXPECT_STREQ(trf(buf, 8, "msg.saved_map", 2), "Saved t");
  lang_set("de");
  EXPECT_STREQ(trf(buf, sizeof buf, "msg.saved_map", 3), "In Platz 3 gespeichert.");
  EXPECT_STREQ(trf(buf, sizeof buf, "no.such.id", 3), "no.such.id");
  EXPECT_STREQ(trf(buf, sizeof buf, nullptr, 3), "");
  // A cut never leaves half a character behind.
  char small[10];
  EXPECT_STREQ(trf(small, sizeof small, "msg.assigned", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "x"),
               "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9:");
  EXPECT_STREQ(trf(small, 9, "msg.assigned", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "x"),
               "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
  EXPECT_STREQ(trf(small, 8, "msg.assigned", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "x"),
               "\xC3\xA9\xC3\xA9\xC3\xA9");
  EXPECT_EQ(trf(nullptr, 10, "msg.saved_map", 1), nullptr);
}

TEST_F(Languages, TheLanguageAtIndexZeroIsSelectedAndNamed) {
  // The listing order is the system's: find where each file landed.
  const int de = strcmp(lang_code(0), "de") == 0 ? 0 : 1;
  ASSERT_STREQ(lang_code(de), "de");
  ASSERT_STREQ(lang_code(1 - de), "en");
  ASSERT_EQ(lang_set(lang_code(1)), 1);
  EXPECT_EQ(lang_index(), 1);
  ASSERT_EQ(lang_set(lang_code(0)), 1);
  EXPECT_EQ(lang_index(), 0);
  EXPECT_STREQ(lang_name(0), de == 0 ? "Deutsch" : "English");
  EXPECT_STREQ(lang_current(), lang_code(0));
  EXPECT_STREQ(tr("menu.quit"), de == 0 ? "Beenden" : "Quit");
}

TEST(LanguagesSetup, CodesMatchInAnyCaseFromAToZ) {
  temp_dir dir;
  spit(dir / "en.xml", language_file("English", "en", {}));
  spit(dir / "za.xml", language_file("Zulu", "Za", {}));
  init_quietly(dir.path);
  ASSERT_EQ(lang_set("zA"), 1);
  EXPECT_STREQ(lang_current(), "Za");
  init_quietly("/nonexistent");
}

TEST_F(Languages, TrfCutsNeverSplitThreeOrFourByteCharacters) {
  const std::string euro = "\xE2\x82\xAC", pad = "\xF0\x9F\x8E\xAE";
  const struct {
    std::string value;
    size_t size;
    std::string shown;
  } rows[] = {
      // "%s: %s" with "a<char>" and "x": the cut lands inside the character.
      {"a" + euro, 3, "a"}, {"a" + euro, 4, "a"}, {"a" + euro, 5, "a" + euro},
      {"a" + pad, 3, "a"},  {"a" + pad, 4, "a"},  {"a" + pad, 5, "a"}, {"a" + pad, 6, "a" + pad},
      // The cut character is the first of the text; a lead of E0.
      {euro, 2, ""},        {euro, 3, ""},        {pad, 4, ""},
      {"a\xE0\xA0\x80", 4, "a"},
  };
  for (const auto& r : rows) {
    char buf[16];
    EXPECT_EQ(std::string(trf(buf, r.size, "msg.assigned", r.value.c_str(), "x")), r.shown) << r.size;
  }
}

TEST(LanguagesHostile, TranslationsThatDoNotFitTheirValuesAreNotUsed) {
  struct row {
    const char* hostile;
    const char* english;
    const char* expected;
  };
  const row rows[] = {
      {"Platz %s", "Slot %d.", "Slot 4."},
      {"Platz %d %d", "Slot %d.", "Slot 4."},
      {"Platz %n", "Slot %d.", "Slot 4."},
      {"Platz %1$d", "Slot %d.", "Slot 4."},
      {"Platz %lld", "Slot %d.", "Slot 4."},
      {"Platz %999999999d", "Slot %d.", "Slot 4."},
      {"Platz %*d", "Slot %d.", "Slot 4."},
      {"Platz %d%", "Slot %d.", "Slot 4."},
      {"Platz %ls", "Slot %d.", "Slot 4."},
      {"Platz", "Slot %d.", "Slot 4."},
      {"Platz %x", "Slot %d.", "Platz 4"},     // another integer conversion fits
      {"%%%d%%", "Slot %d.", "%4%"},
      {"Platz %s", "Slot %s", "msg.x"},         // both hostile: the id
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.hostile);
    temp_dir dir;
    spit(dir / "en.xml", language_file("English", "en", {{"msg.x", r.english}}));
    spit(dir / "de.xml", language_file("Deutsch", "de", {{"msg.x", r.hostile}}));
    init_quietly(dir.path);
    ASSERT_EQ(lang_set("de"), 1);
    char buf[64];
    testing::internal::CaptureStderr();
    trf(buf, sizeof buf, "msg.x", 4);
    std::string first_log = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(buf, r.expected);
    bool used_own = strcmp(r.expected, "Platz 4") == 0 || strcmp(r.expected, "%4%") == 0;
    if (!used_own) {
      EXPECT_NE(first_log.find("Languages: the de text of \"msg.x\" has other placeholders"),
                std::string::npos)
          << first_log;
      testing::internal::CaptureStderr();
      trf(buf, sizeof buf, "msg.x", 4);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // logged once only
    }
  }
  init_quietly("/nonexistent");
}

TEST(LanguagesHostile, FormatFitsTable) {
  using K = lang_arg_kind;
  struct row {
    const char* format;
    std::vector<K> kinds;
    bool fits;
  };
  const row rows[] = {
      {"plain", {}, true},
      {"100%% sure", {}, true},
      {"%d", {}, false},
      {"plain", {LANG_ARG_INT}, false},
      {"%-+ #05.3d|%i|%u|%o|%x|%X|%c|%hd|%hhu", {K(0), K(0), K(0), K(0), K(0), K(0), K(0), K(0), K(0)}, true},
      {"%ld %lld %zu %jd %td", {LANG_ARG_LONG, LANG_ARG_LONG, LANG_ARG_LONG, LANG_ARG_LONG, LANG_ARG_LONG}, true},
      {"%ld", {LANG_ARG_INT}, false},
      {"%d", {LANG_ARG_LONG}, false},
      {"%.2f %g %e %lf %A", {LANG_ARG_DOUBLE, LANG_ARG_DOUBLE, LANG_ARG_DOUBLE, LANG_ARG_DOUBLE, LANG_ARG_DOUBLE}, true},
      {"%Lf", {LANG_ARG_DOUBLE}, false},
      {"%d", {LANG_ARG_DOUBLE}, false},
      {"%s", {LANG_ARG_INT}, false},
      {"%-20.5s", {LANG_ARG_STRING}, true},
      {"%p", {LANG_ARG_POINTER}, true},
      {"%p", {LANG_ARG_STRING}, true},
      {"%s", {LANG_ARG_POINTER}, false},
      {"%*d", {LANG_ARG_INT, LANG_ARG_INT}, true},
      {"%.*s", {LANG_ARG_INT, LANG_ARG_STRING}, true},
      {"%n", {LANG_ARG_POINTER}, false},
      {"%m", {}, false},
      {"%2$s %1$s", {LANG_ARG_STRING, LANG_ARG_STRING}, false},
      {"%1000d", {LANG_ARG_INT}, false},
      {"%.1000f", {LANG_ARG_DOUBLE}, false},
      {"%999d", {LANG_ARG_INT}, true},
      {"%", {}, false},
      {"%ls", {LANG_ARG_STRING}, false},
      {"%Id", {LANG_ARG_INT}, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(lang_format_fits(r.format, r.kinds.data(), r.kinds.size()), r.fits) << r.format;
  }
  EXPECT_TRUE(lang_format_fits(nullptr, nullptr, 0));
}

TEST(LanguagesSetup, FallbackIsTheLastEnglishOrTheFirstLoaded) {
  temp_dir dir;
  spit(dir / "a.xml", language_file("Upper", "EN", {{"x", "upper"}}));
  spit(dir / "b.xml", language_file("Lower", "en", {{"x", "lower"}}));
  spit(dir / "c.xml", language_file("Empty", "es", {}));
  spit(dir / "d.XML", language_file("No code", "", {{"x", "none"}}));
  spit(dir / "e.txt", language_file("Not XML", "it", {{"x", "txt"}}));
  std::string log = init_quietly(dir.path);
  EXPECT_NE(log.find("has no language code"), std::string::npos) << log;
  ASSERT_EQ(lang_count(), 3);
  // The listing order is the system's; the later of the two English files wins.
  int last_en = -1;
  for (int i = 0; i < lang_count(); i++)
    if (strcmp(lang_name(i), "Upper") == 0 || strcmp(lang_name(i), "Lower") == 0) last_en = i;
  EXPECT_EQ(lang_index(), last_en);
  std::string expected = strcmp(lang_name(last_en), "Upper") == 0 ? "upper" : "lower";
  EXPECT_EQ(std::string(tr("x")), expected);
  ASSERT_EQ(lang_set("ES"), 1);
  EXPECT_EQ(std::string(tr("x")), expected);  // a language without texts borrows them all

  temp_dir other;
  spit(other / "fr.xml", language_file("Fran\xC3\xA7" "ais", "fr", {{"x", "fr"}}));
  spit(other / "it.xml", language_file("Italiano", "it", {{"x", "it"}}));
  init_quietly(other.path);
  ASSERT_EQ(lang_count(), 2);
  EXPECT_EQ(lang_index(), 0);  // no English: the first loaded one
  init_quietly("/nonexistent");
}

TEST(LanguagesSetup, NoLanguageAtAll) {
  temp_dir dir;
  std::string log = init_quietly(dir.path);
  EXPECT_EQ(log, "[bkm] Languages: no language file found in " + dir.path +
                     " (the menus will show their text ids)\n");
  EXPECT_EQ(lang_count(), 0);
  EXPECT_STREQ(lang_current(), "en");
  EXPECT_STREQ(tr("menu.quit"), "menu.quit");
  char buf[32];
  EXPECT_STREQ(trf(buf, sizeof buf, "msg.saved_map", 1), "msg.saved_map");
  EXPECT_EQ(lang_set("en"), 0);
  EXPECT_STREQ(lang_name(0), "");
}

TEST(LanguagesSetup, DamagedFilesKeepTheirEarlierTextsAndSayWhy) {
  temp_dir dir;
  std::string cut = language_file("English", "en", {{"a", "1"}, {"b", "2"}});
  cut.resize(cut.find("<string id=\"b\">") + 18);
  spit(dir / "en.xml", cut);
  spit(dir / "de.xml", "<language name=\"Deutsch\" code=\"de\"><string id=\"a\">\xFF</string>");
  std::string log = init_quietly(dir.path);
  EXPECT_NE(log.find("en.xml is cut short or damaged at byte"), std::string::npos) << log;
  EXPECT_NE(log.find("de.xml has 1 texts that are not valid UTF-8 (first \"a\")"), std::string::npos)
      << log;
  EXPECT_STREQ(tr("a"), "1");
  EXPECT_STREQ(tr("b"), "b");
  lang_set("de");
  EXPECT_STREQ(tr("a"), "1");  // the bad text is left out, English shows
  init_quietly("/nonexistent");
}

TEST(LanguagesSetup, AtMostSixteenLanguages) {
  temp_dir dir;
  for (int i = 0; i < 18; i++) {
    std::string code = "l" + std::to_string(i);
    spit(dir / (code + ".xml"), language_file(code, code, {}));
  }
  std::string log = init_quietly(dir.path);
  EXPECT_EQ(lang_count(), 16);
  EXPECT_NE(log.find("more than 16 language files"), std::string::npos) << log;
  init_quietly("/nonexistent");
}

}  // namespace
