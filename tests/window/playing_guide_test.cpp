// The player's guide, docs/playing.md, names the program's options, default
// keys and pad buttons, menu items, switches and folder variables: each
// must still be the program's own, so that a rename or a removal shows up
// here rather than in a player's options.json.
#include "host/input_bindings.h"
#include "host/language.h"
#include "host/options.h"
#include "host/settings.h"
#include "host/window/menu.h"
#include "host/window/menu_layer.h"
#include "host/window/menu_options.h"
#include "host/window/video_settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using row = std::vector<std::string>;

std::string guide_text() {
  std::ifstream in(BKM_TEST_GUIDE);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The body rows of the table whose header's first cell is `first`, as cells.
std::vector<row> table(const std::string& text, const std::string& first) {
  std::vector<row> rows;
  std::istringstream lines(text);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] != '|') {
      if (inside) break;
      continue;
    }
    row cells;
    std::istringstream parts(line.substr(1));
    std::string cell;
    while (std::getline(parts, cell, '|')) cells.push_back(trimmed(cell));
    if (!inside) {
      inside = !cells.empty() && cells[0] == first;
      continue;
    }
    if (cells[0].rfind("---", 0) != 0) rows.push_back(cells);
  }
  return rows;
}

std::vector<std::string> matches(const std::string& text, const std::regex& re, int group = 1) {
  std::vector<std::string> out;
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) out.push_back((*it)[group]);
  return out;
}

std::vector<std::string> ticked(const std::string& text) { return matches(text, std::regex("`([^`]+)`")); }
std::vector<std::string> quoted(const std::string& text) { return matches(text, std::regex("\"([^\"]+)\"")); }

// What the command line and the environment changed.
bool overridden(const start_overrides& o) { return o.fix != -1 || o.sound_off || o.volume_given || o.pack[0]; }

start_overrides read_args(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>("brakmoor")};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  start_overrides o;
  read_overrides(static_cast<int>(argv.size()), argv.data(), &o);
  return o;
}

class playing_guide : public ::testing::Test {
 protected:
  std::string text = guide_text();
  temp_dir dir;
  std::map<std::string, std::string> saved_env;

  void SetUp() override {
    ASSERT_FALSE(text.empty()) << BKM_TEST_GUIDE;
    lang_init(BKM_TEST_LANGUAGES);
    lang_set("en");
    for (const char* name : {"BKM_TEST", "BKM_USER_DIR", "BKM_ORIGINAL_DIR", "BKM_ASSETS_DIR", "BKM_MUSIC_DIR",
                             "BKM_GRAFICO", "BKM_SONIDO", "BKM_VOL", "BKM_FIX"}) {
      if (const char* v = std::getenv(name)) saved_env[name] = v;
      unsetenv(name);
    }
    setenv("BKM_USER_DIR", dir.path.c_str(), 1);
    set_paths();
  }
  void TearDown() override {
    for (const char* name : {"BKM_USER_DIR", "BKM_ORIGINAL_DIR", "BKM_ASSETS_DIR", "BKM_MUSIC_DIR"}) unsetenv(name);
    for (const auto& [name, value] : saved_env) setenv(name.c_str(), value.c_str(), 1);
    set_paths();
    cfg_clear();
    input_defaults();
    gfx_pack_chosen = 0;
  }
};

TEST_F(playing_guide, DefaultKeysAndButtonsAreThoseOfTheBindings) {
  input_defaults();
  cfg_clear();
  input_cfg_save();
  // "Ctrl (`key_fire`)": the default's display name, then its option key.
  const std::regex pair(R"((\(none\)|[A-Za-z0-9 ]+) \(`([a-z0-9_]+)`\))");
  int pairs = 0;
  for (const row& r : table(text, "Action")) {
    for (const std::string& cell : r) {
      for (std::sregex_iterator it(cell.begin(), cell.end(), pair), end; it != end; ++it, ++pairs) {
        const std::string name = trimmed((*it)[1]), option = (*it)[2];
        ASSERT_TRUE(cfg_has(option.c_str())) << option;
        char shown[64];
        if (option.rfind("key_", 0) == 0) {
          EXPECT_EQ(key_name(static_cast<int>(cfg_num(option.c_str(), -1)), shown, sizeof shown), name) << option;
        } else {
          EXPECT_EQ(cfg_str(option.c_str(), ""), name) << option;
        }
      }
    }
  }
  EXPECT_GT(pairs, 0) << "the keys table was not found";
  const std::regex binding_option("(key|pad)_[a-z0-9_]+");
  for (const std::string& name : ticked(text)) {
    if (std::regex_match(name, binding_option)) {
      EXPECT_TRUE(cfg_has(name.c_str())) << name;
    }
  }
}

TEST_F(playing_guide, OptionsAreOnesTheProgramWrites) {
  cfg_clear();
  gfx_pack_chosen = 1;  // "graphics_pack" is written once the user chose one
  ASSERT_EQ(save_all_options(), 1);
  const std::vector<row> rows = table(text, "Option in options.json");
  ASSERT_FALSE(rows.empty());
  for (const row& r : rows)
    for (const std::string& name : ticked(r[0])) EXPECT_TRUE(cfg_has(name.c_str())) << name;
}

TEST_F(playing_guide, MenuItemsAreTheMenusOwn) {
  menu_build(1, 1, 1);
  std::map<std::string, std::set<std::string>> tabs;  // tab label -> item labels, in English
  std::string tab;
  for (int i = 0; i < menu_options->count; ++i) {
    const menu_item& item = menu_options->items[i];
    const std::string label = tr(trimmed(item.label).c_str());
    if (item.kind == MI_TAB) {
      tab = label;
      tabs[tab];
    } else {
      tabs[tab].insert(label);
    }
  }
  const std::vector<row> rows = table(text, "Tab");
  ASSERT_FALSE(rows.empty());
  for (const row& r : rows) {
    ASSERT_TRUE(tabs.count(r[0])) << "tab " << r[0];
    for (const std::string& item : quoted(r[1])) EXPECT_TRUE(tabs[r[0]].count(item)) << r[0] << ": " << item;
  }
  // "**Video › Graphics pack**" anywhere in the text.
  const std::regex reference(R"(\*\*([^*›]+?)\s*›\s+([^*]+)\*\*)");
  int references = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
    const std::string t = trimmed((*it)[1]), item = std::regex_replace(std::string((*it)[2]), std::regex("\\s+"), " ");
    ASSERT_TRUE(tabs.count(t)) << "tab " << t;
    EXPECT_TRUE(tabs[t].count(item)) << t << " › " << item;
    ++references;
  }
  EXPECT_EQ(references, static_cast<int>(matches(text, std::regex("›"), 0).size())) << "a reference not read";
}

TEST_F(playing_guide, SwitchesAndTheirVariablesChangeTheStart) {
  const std::vector<row> rows = table(text, "Switch");
  ASSERT_FALSE(rows.empty());
  for (const row& r : rows) {
    for (const std::string& token : ticked(r[0])) {
      std::vector<std::string> args{token.substr(0, token.find(' '))};
      if (token.find(' ') != std::string::npos) args.push_back("0.5");
      EXPECT_TRUE(overridden(read_args(args))) << token;
    }
    for (const std::string& token : ticked(r[1])) {
      const size_t eq = token.find('=');
      ASSERT_NE(eq, std::string::npos) << token;
      const std::string name = token.substr(0, eq), value = token.substr(eq + 1);
      setenv(name.c_str(), value == "V" ? "0.5" : value.c_str(), 1);
      EXPECT_TRUE(overridden(read_args({}))) << token;
      unsetenv(name.c_str());
    }
  }
}

TEST_F(playing_guide, FolderVariablesMoveTheirFolders) {
  const std::vector<row> rows = table(text, "What");
  ASSERT_FALSE(rows.empty());
  for (const row& r : rows) {
    for (const std::string& name : ticked(r[2])) {
      const std::string moved = dir / "moved";
      setenv(name.c_str(), moved.c_str(), 1);
      set_paths();
      bool found = false;
      for (const char* path : {options_path, save_dir, assets_root, original_dir_path, music_root})
        found = found || std::string(path).rfind(moved, 0) == 0;
      EXPECT_TRUE(found) << name;
      unsetenv(name.c_str());
      if (name == "BKM_USER_DIR") setenv(name.c_str(), dir.path.c_str(), 1);
    }
  }
}

} // namespace
