#include "host/options.h"
#include "host/platform.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The saved file shows the whole store: order, types and values.
std::string saved() {
  temp_dir dir;
  std::string path = dir / "options.json";
  EXPECT_EQ(cfg_save(path.c_str()), 1);
  return slurp(path);
}

int load_quietly(const std::string& text) {
  testing::internal::CaptureStderr();
  int ok = cfg_load_text(text.c_str());
  testing::internal::GetCapturedStderr();
  return ok;
}

constexpr const char* empty_store = "{\n\n}\n";

struct parse_case {
  const char* what;
  std::string text;
  int result;
  std::string store;  // as cfg_save writes it
};

TEST(Options, ParserCases) {
  const parse_case cases[] = {
      {"members without commas", R"({"a":1 "b":2})", 1, "{\n \"a\": 1,\n \"b\": 2\n}\n"},
      {"extra and trailing commas", R"({,"a":1,,})", 1, "{\n \"a\": 1\n}\n"},
      {"nested objects flatten", R"({"a":{"b":{"c":true}}})", 1, "{\n \"a.b.c\": true\n}\n"},
      {"white space everywhere", " \t\r\n{ \"a\" :\n -2.5 , \"b\"\t:\tfalse }", 1,
       "{\n \"a\": -2.5,\n \"b\": false\n}\n"},
      {"byte-order mark", "\xEF\xBB\xBF{\"a\":null}", 1, "{\n \"a\": null\n}\n"},
      {"text after the object", R"({"a":"x"} trailing [ garbage)", 1, "{\n \"a\": \"x\"\n}\n"},
      {"hexadecimal number", R"({"h":0x10})", 1, "{\n \"h\": 16\n}\n"},
      {"array fails and keeps nothing", R"({"a":[1,2]})", 0, empty_store},
      {"bare word fails, earlier kept", R"({"a":1,"b":maybe,"c":2})", 0, "{\n \"a\": 1\n}\n"},
      {"cut-short true fails", R"({"a":1,"b":tru})", 0, "{\n \"a\": 1\n}\n"},
      {"cut-short false fails", R"({"a":1,"b":fals})", 0, "{\n \"a\": 1\n}\n"},
      {"cut-short null fails", R"({"a":1,"b":nul})", 0, "{\n \"a\": 1\n}\n"},
      {"missing colon", R"({"a":1,"b" 2})", 0, "{\n \"a\": 1\n}\n"},
      {"unterminated text is dropped", R"({"a":1,"b":"arra)", 0, "{\n \"a\": 1\n}\n"},
      {"unterminated object", R"({"a":1)", 0, "{\n \"a\": 1\n}\n"},
      {"escape at the very end", R"({"a":1,"k":"\u12)", 0, "{\n \"a\": 1\n}\n"},
      {"backslash at the very end", "{\"a\":1,\"k\":\"\\", 0, "{\n \"a\": 1\n}\n"},
      {"not an object", R"([{"a":1}])", 0, empty_store},
      {"empty text", "", 0, empty_store},
      {"key without quotes", R"({a:1})", 0, empty_store},
      {"empty value", R"({"a":})", 0, empty_store},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cfg_set_num("stale", 1);
    EXPECT_EQ(load_quietly(c.text), c.result);
    EXPECT_EQ(saved(), c.store);
  }
}

TEST(Options, StringEscapes) {
  ASSERT_EQ(cfg_load_text(R"({"s":"q\"b\\s\n\u00e9\tx/"})"), 1);
  EXPECT_STREQ(cfg_str("s", nullptr), "q\"b\\s\n?tx/");
  // Quotes and backslashes are escaped, the newline goes out raw and reads back.
  std::string text = saved();
  EXPECT_EQ(text, "{\n \"s\": \"q\\\"b\\\\s\n?tx/\"\n}\n");
  ASSERT_EQ(cfg_load_text(text.c_str()), 1);
  EXPECT_STREQ(cfg_str("s", nullptr), "q\"b\\s\n?tx/");
}

TEST(Options, NonFiniteNumbersNeverBecomeValues) {
  testing::internal::CaptureStderr();
  int ok = cfg_load_text(
      R"({"latency":nan,"volume":inf,"a":-Infinity,"b":1e999,"c":NAN(1),"d":0.5})");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ok, 1);
  for (const char* key : {"latency", "volume", "a", "b", "c"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(cfg_has(key), 0);
    EXPECT_EQ(cfg_num(key, 3.6), 3.6);
    EXPECT_NE(err.find(std::string("\"") + key + "\" is not a finite number"), std::string::npos);
  }
  EXPECT_EQ(cfg_num("d", 0), 0.5);
  EXPECT_EQ(saved(), "{\n \"d\": 0.5\n}\n");

  // A later good duplicate is then the one found.
  ASSERT_EQ(load_quietly(R"({"latency":nan,"latency":2})"), 1);
  EXPECT_EQ(cfg_num("latency", 3.6), 2);

  // Setters refuse them as well and keep the old value.
  cfg_clear();
  cfg_set_num("latency", 2);
  testing::internal::CaptureStderr();
  cfg_set_num("latency", NAN);
  cfg_set_num("latency", INFINITY);
  cfg_set_num("fresh", -INFINITY);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(cfg_num("latency", 0), 2);
  EXPECT_EQ(cfg_has("fresh"), 0);
}

TEST(Options, DamageIsLoggedWithItsLine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(cfg_load_text("{\n \"a\": 1,\n \"b\": [\n}"), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[bkm] Options: the options text is damaged at line 3"), std::string::npos)
      << err;
  EXPECT_NE(err.find("arrays are not allowed"), std::string::npos) << err;
}

TEST(Options, DeepNestingFailsInsteadOfCrashing) {
  std::string text;
  for (int i = 0; i < 100000; i++) text += "{\"a\":";
  text += "1";
  EXPECT_EQ(load_quietly(text), 0);
  std::string ok = R"({"a":{"b":{"c":{"d":{"e":{"f":{"g":{"h":1}}}}}}}})";
  EXPECT_EQ(cfg_load_text(ok.c_str()), 1);
  EXPECT_EQ(cfg_num("a.b.c.d.e.f.g.h", 0), 1);

  // The limit: 33 objects, one in another, still load; 34 do not.
  auto nested = [](int objects) {
    std::string t;
    for (int i = 0; i < objects; i++) t += i + 1 < objects ? "{\"a\":" : "{\"v\":1";
    return t + std::string(objects, '}');
  };
  EXPECT_EQ(load_quietly(nested(33)), 1);
  EXPECT_EQ(load_quietly(nested(34)), 0);
}

TEST(Options, At96EntriesTheReaderStopsAndSettersDropNewKeys) {
  std::string text = "{";
  for (int i = 0; i < 97; i++) text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  text += "}";
  EXPECT_EQ(load_quietly(text), 0);
  EXPECT_EQ(cfg_num("k0", -1), 0);
  EXPECT_EQ(cfg_num("k95", -1), 95);
  EXPECT_EQ(cfg_has("k96"), 0);

  cfg_set_num("new", 1);
  cfg_set_str("new2", "x");
  cfg_set_bool("new3", 1);
  EXPECT_EQ(cfg_has("new"), 0);
  EXPECT_EQ(cfg_has("new2"), 0);
  EXPECT_EQ(cfg_has("new3"), 0);
  cfg_set_num("k5", 55);  // replacing still works
  EXPECT_EQ(cfg_num("k5", 0), 55);
  cfg_remove("k0");
  cfg_set_num("new", 1);
  EXPECT_EQ(cfg_num("new", 0), 1);
}

TEST(Options, GettersHonourTypes) {
  ASSERT_EQ(cfg_load_text(R"({"n":0.5,"z":0,"t":true,"f":false,"s":"arrange","x":null})"), 1);
  struct row {
    const char* key;
    int has;
    double num;  // with default -7
    int boolean;  // with default 9
    const char* str;  // with default "def"
  };
  const row rows[] = {
      {"n", 1, 0.5, 1, "def"},      {"z", 1, 0, 0, "def"},       {"t", 1, 1, 1, "def"},
      {"f", 1, 0, 0, "def"},        {"s", 1, -7, 9, "arrange"},  {"x", 0, -7, 9, "def"},
      {"missing", 0, -7, 9, "def"}, {"N", 0, -7, 9, "def"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.key);
    EXPECT_EQ(cfg_has(r.key), r.has);
    EXPECT_EQ(cfg_num(r.key, -7), r.num);
    EXPECT_EQ(cfg_bool(r.key, 9), r.boolean);
    EXPECT_STREQ(cfg_str(r.key, "def"), r.str);
  }
  EXPECT_EQ(cfg_has(nullptr), 0);
  EXPECT_EQ(cfg_num(nullptr, 4), 4);
  EXPECT_EQ(cfg_str(nullptr, nullptr), nullptr);
}

TEST(Options, SettersReplaceTheFirstEntryAndChangeItsType) {
  ASSERT_EQ(cfg_load_text(R"({"a":1,"a":"second"})"), 1);
  cfg_set_str("a", "text");
  EXPECT_STREQ(cfg_str("a", nullptr), "text");
  EXPECT_EQ(cfg_num("a", -1), -1);
  cfg_set_bool("a", 5);
  EXPECT_EQ(saved(), "{\n \"a\": true,\n \"a\": \"second\"\n}\n");
  cfg_set_num("a", 0.123456789);
  cfg_set_str("b", nullptr);
  EXPECT_EQ(saved(), "{\n \"a\": 0.123457,\n \"a\": \"second\",\n \"b\": \"\"\n}\n");
}

TEST(Options, KeysAndTextsAreCut) {
  cfg_clear();
  std::string key60(60, 'k');
  std::string key47(47, 'k');
  cfg_set_num(key60.c_str(), 3);
  EXPECT_EQ(saved(), "{\n \"" + key47 + "\": 3\n}\n");
  EXPECT_EQ(cfg_num(key47.c_str(), 0), 3);
  EXPECT_EQ(cfg_num(key60.c_str(), 0), 3);
  cfg_set_num(key60.c_str(), 4);  // the same entry, not a second one
  EXPECT_EQ(saved(), "{\n \"" + key47 + "\": 4\n}\n");

  std::string text(300, 't');
  cfg_set_str("t", text.c_str());
  EXPECT_EQ(std::string(cfg_str("t", "")), std::string(199, 't'));

  std::string file = "{\"" + key60 + "\":\"" + text + "\"}";
  ASSERT_EQ(cfg_load_text(file.c_str()), 1);
  EXPECT_EQ(std::string(cfg_str(key47.c_str(), "")), std::string(199, 't'));
}

TEST(Options, RemoveMovesTheLastEntryIntoThePlace) {
  cfg_clear();
  cfg_set_num("a", 1);
  cfg_set_num("b", 2);
  cfg_set_num("c", 3);
  cfg_remove("a");
  cfg_remove("missing");
  EXPECT_EQ(saved(), "{\n \"c\": 3,\n \"b\": 2\n}\n");
  cfg_remove("b");
  cfg_remove("c");
  EXPECT_EQ(saved(), empty_store);
}

TEST(Options, SaveLayoutWithParams) {
  cfg_clear();
  cfg_set_num("version", 3);
  cfg_set_bool("sound", 1);
  cfg_set_num("params.p_scan", 0.35);
  EXPECT_EQ(saved(),
            "{\n"
            " \"version\": 3,\n"
            " \"sound\": true,\n"
            " \"params\": {\n"
            "  \"p_scan\": 0.35\n"
            " }\n"
            "}\n");

  // Params come last whatever their place; a non-number is written as its number.
  cfg_clear();
  cfg_set_num("params.p_mask", 0.2);
  cfg_set_str("preset", "Custom");
  cfg_set_str("params.p_odd", "x");
  cfg_set_num("params.p_curv", 1e-5);
  EXPECT_EQ(saved(),
            "{\n"
            " \"preset\": \"Custom\",\n"
            " \"params\": {\n"
            "  \"p_mask\": 0.2,\n"
            "  \"p_odd\": 0,\n"
            "  \"p_curv\": 1e-05\n"
            " }\n"
            "}\n");
}

TEST(Options, SavedFileReadsBackToTheSameStore) {
  ASSERT_EQ(cfg_load_text(R"({"version":3,"language":"de","volume":0.7,"video":{"x":2},
                              "params":{"p_scan":0.35,"p_bright":1.25},"pad_fire":"A",
                              "odd\"key\\":true,"music_pack":"my \"pack\""})"),
            1);
  std::string first = saved();
  ASSERT_EQ(cfg_load_text(first.c_str()), 1);
  EXPECT_EQ(saved(), first);
  EXPECT_EQ(cfg_num("video.x", 0), 2);
  EXPECT_EQ(cfg_num("params.p_bright", 0), 1.25);
  EXPECT_EQ(cfg_bool("odd\"key\\", 0), 1);
  EXPECT_STREQ(cfg_str("music_pack", ""), "my \"pack\"");
}

TEST(Options, LoadEmptiesTheStoreAndReportsMissingFiles) {
  temp_dir dir;
  cfg_set_num("stale", 1);
  EXPECT_EQ(cfg_load((dir / "missing.json").c_str()), 0);
  EXPECT_EQ(cfg_has("stale"), 0);

  spit(dir / "options.json", "\xEF\xBB\xBF{\"language\": \"es\"}\n");
  EXPECT_EQ(cfg_load((dir / "options.json").c_str()), 1);
  EXPECT_STREQ(cfg_str("language", ""), "es");

  testing::internal::CaptureStderr();
  EXPECT_EQ(cfg_load(dir.path.c_str()), 0);  // a folder is no options file
  EXPECT_EQ(cfg_load(nullptr), 0);
  testing::internal::GetCapturedStderr();
}

// A file far larger than any options file is not read (a sparse file: it
// costs no disk); the defaults are used.
TEST(Options, AnOptionsFileLargerThanAnyStoreSavesIsNotRead) {
  temp_dir dir;
  log_capture log;
  const std::string path = dir / "options.json";
  spit(path, "{\"language\": \"es\"}");
  std::filesystem::resize_file(path, cfg_largest_file);
  EXPECT_EQ(cfg_load(path.c_str()), 1) << "zero bytes after the object end the text";
  EXPECT_STREQ(cfg_str("language", ""), "es");
  std::filesystem::resize_file(path, cfg_largest_file + 1);
  EXPECT_EQ(cfg_load(path.c_str()), 0);
  EXPECT_EQ(cfg_has("language"), 0);
  EXPECT_TRUE(log.has(path + " is not read: " + std::to_string(cfg_largest_file + 1) + " bytes, more than the " +
                      std::to_string(cfg_largest_file) + " a file of its kind can hold"))
      << log.text();
  EXPECT_TRUE(log.has("Options: could not read " + path + "; the defaults are used")) << log.text();
}

// As in the platform tests: a child process whose files may not grow past
// max_bytes sees the write fail like on a full disk.
int save_with_size_limit(const std::string& path, rlim_t max_bytes) {
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = max_bytes;
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(3);
    _exit(cfg_save(path.c_str()));
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(Options, FailedSaveLeavesTheOldFileWhole) {
  temp_dir dir;
  std::string path = dir / "options.json";
  const std::string old_text = "{\n \"version\": 3,\n \"volume\": 0.5\n}\n";
  spit(path, old_text);
  cfg_clear();
  for (int i = 0; i < 40; i++) cfg_set_str(("key" + std::to_string(i)).c_str(), "some value");

  EXPECT_EQ(save_with_size_limit(path, 16), 0);
  EXPECT_EQ(slurp(path), old_text);
  EXPECT_FALSE(file_exists((path + ".tmp").c_str()));

  ASSERT_EQ(mkdir((path + ".tmp").c_str(), 0755), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(cfg_save(path.c_str()), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(slurp(path), old_text);
  ASSERT_EQ(rmdir((path + ".tmp").c_str()), 0);

  EXPECT_EQ(cfg_save(path.c_str()), 1);
  EXPECT_EQ(cfg_load(path.c_str()), 1);
  EXPECT_STREQ(cfg_str("key39", ""), "some value");
}

}  // namespace
