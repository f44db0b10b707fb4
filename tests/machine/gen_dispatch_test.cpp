// The dispatch table generator on small fixture sources: what it accepts,
// what it writes, and the mistakes that must stop the build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct generated {
  int status;
  std::string output;
};

generated run_generator(const std::string& source) {
  const fs::path dir = fs::temp_directory_path() / ("gen_dispatch_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path src = dir / "game_00C000.cpp";
  const fs::path out = dir / "table.cpp";
  fs::remove(out);
  std::ofstream(src) << source;
  const std::string cmd = std::string(GEN_DISPATCH_PATH) + " " + out.string() + " " + src.string() + " 2>/dev/null";
  const int status = std::system(cmd.c_str());
  std::ifstream in(out);
  std::stringstream ss;
  ss << in.rdbuf();
  fs::remove_all(dir);
  return {status, ss.str()};
}

TEST(GenDispatch, WritesEntriesLabelsAndCalls) {
  const auto g = run_generator(R"src(
// LABEL(0x999999) in a comment is ignored
ROUTINE(sub_00C000, 0x00C000)
LOOP(0x00C000)            // a loop at the entry is the entry itself
  JSR(0x00C100, 0xC006)
  TRAP(0xC00A, 0xC00C)
  JSR_DYN(rd32(a0 + 4), 0xC010)
  STOP(0x2300, 0xC014)
  const char* s = "JSR(0x1, 0x2)";
END_ROUTINE
ROUTINE(wait_here, 0x00C100)
  WAIT_VBL_FLAG(0xC104)
  JSR_INTO_NEXT(0xC000, 0xC10A)
END_ROUTINE
)src");
  ASSERT_EQ(g.status, 0);
  for (const char* want : {"case 0x00C000: resume_pc = 0; sub_00C000(); return 1;",
                           "case 0x00C006: resume_pc = 0x00C006; sub_00C000(); return 1;",
                           "case 0x00C00A:", "case 0x00C00C:", "case 0x00C010:", "case 0x00C014:",
                           "case 0x00C104: resume_pc = 0x00C104; wait_here(); return 1;",
                           "{0x00C10A, \"wait_here\", false}", "{0x00C006, \"sub_00C000\", true}",
                           "game_dispatch_row_count = 8;"})
    EXPECT_NE(g.output.find(want), std::string::npos) << want;
  EXPECT_EQ(g.output.find("999999"), std::string::npos);
  EXPECT_EQ(g.output.find("0x000002"), std::string::npos) << "macros inside strings are ignored";
}

// A hook point on an entry or a return address adds no row; one on a loop
// head declares the loop's label.
TEST(GenDispatch, HookPointsWithoutLabels) {
  const auto g = run_generator(R"src(
ROUTINE(sub_00C000, 0x00C000)
  HOOK_AT(0x00C000)
  JSR(0x00C100, 0xC004)
  HOOK_AT(0xC004)
LOOP_HOOK(0xC008)
  HOOK(0xC00C)
END_ROUTINE
)src");
  ASSERT_EQ(g.status, 0);
  for (const char* want : {"case 0x00C004:", "case 0x00C008: resume_pc = 0x00C008;", "case 0x00C00C:",
                           "game_dispatch_row_count = 4;"})
    EXPECT_NE(g.output.find(want), std::string::npos) << want;
}

TEST(GenDispatch, RefusesMistakes) {
  const struct {
    const char* what;
    const char* source;
  } cases[] = {
      {"duplicate label", "ROUTINE(a, 0xC000)\nLABEL(0xC002)\nLABEL(0xC002)\nEND_ROUTINE\n"},
      {"label equal to another routine's entry", "ROUTINE(a, 0xC000)\nLABEL(0xC100)\nEND_ROUTINE\nROUTINE(b, 0xC100)\nEND_ROUTINE\n"},
      {"label outside a routine", "LABEL(0xC002)\n"},
      {"sub_ name at another address", "ROUTINE(sub_00C002, 0xC000)\nEND_ROUTINE\n"},
      {"label that is not a literal", "ROUTINE(a, 0xC000)\nLABEL(here)\nEND_ROUTINE\n"},
      {"routine without its end", "ROUTINE(a, 0xC000)\n"},
      {"hook with a label at a call's return", "ROUTINE(a, 0xC000)\nJSR(0xC100, 0xC004)\nHOOK(0xC004)\nEND_ROUTINE\n"},
      {"label-free hook outside a routine", "HOOK_AT(0xC004)\n"},
      {"label-free hook that is not a literal", "ROUTINE(a, 0xC000)\nHOOK_AT(here)\nEND_ROUTINE\n"},
      {"hooked loop head twice", "ROUTINE(a, 0xC000)\nLOOP_HOOK(0xC002)\nLABEL(0xC002)\nEND_ROUTINE\n"},
  };
  for (const auto& c : cases) EXPECT_NE(run_generator(c.source).status, 0) << c.what;
}

// The address list mode on a list file in a scratch folder: the run's
// status and the list afterwards.
generated update_list(const std::string& list_before, const std::string& source) {
  const fs::path dir = fs::temp_directory_path() / ("gen_dispatch_list_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path src = dir / "game_00C000.cpp";
  const fs::path list = dir / "addresses.txt";
  std::ofstream(src) << source;
  std::ofstream(list) << list_before;
  const std::string cmd =
      std::string(GEN_DISPATCH_PATH) + " --addresses " + list.string() + " " + src.string() + " >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  std::ifstream in(list);
  std::stringstream ss;
  ss << in.rdbuf();
  fs::remove_all(dir);
  std::string lines; // without the comment header
  std::istringstream all(ss.str());
  for (std::string line; std::getline(all, line);)
    if (!line.empty() && line[0] != '#') lines += line + "\n";
  return {status, lines};
}

TEST(GenDispatch, TheAddressListOnlyGrows) {
  const char* source = "ROUTINE(sub_00C000, 0x00C000)\nLOOP(0xC004)\nJSR(0xC100, 0xC008)\nEND_ROUTINE\n";
  const generated fresh = update_list("", source);
  EXPECT_EQ(fresh.status, 0);
  EXPECT_EQ(fresh.output, "00C000 entry sub_00C000\n00C004 label sub_00C000\n00C008 label sub_00C000\n");

  // A new label is added beside the listed ones.
  const generated grown = update_list("# header\n00C000 entry sub_00C000\n", source);
  EXPECT_EQ(grown.status, 0);
  EXPECT_EQ(grown.output, fresh.output);

  // A listed label the sources lost, or one that moved to another routine,
  // keeps its line and fails the run.
  const generated lost = update_list(fresh.output + "00C006 label sub_00C000\n", source);
  EXPECT_NE(lost.status, 0);
  EXPECT_NE(lost.output.find("00C006 label sub_00C000"), std::string::npos);
  const generated moved = update_list("00C004 label other\n", source);
  EXPECT_NE(moved.status, 0);
  EXPECT_NE(moved.output.find("00C004 label other"), std::string::npos);
  EXPECT_EQ(moved.output.find("00C004 label sub_00C000"), std::string::npos);
}

} // namespace
