// The input log: halving when full, trimming to a VBL and its text form for
// crash reports.
#include "machine/input_log.h"

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/machine/st_machine.h"

namespace {

class InputLog : public StMachineTest {};

void log_at(u32 vbl, char type, int a, int b) {
  tos.vbl = vbl;
  tos_ilog(type, a, b);
}

TEST_F(InputLog, AFullLogKeepsItsNewerHalf) {
  for (int i = 0; i < input_log_capacity; ++i) log_at(i, 'K', i, 0);
  ASSERT_EQ(tos_ilog_count(), input_log_capacity);
  log_at(99999, 'J', -1, 7);
  ASSERT_EQ(tos_ilog_count(), 10001);
  const input_log_entry* e = tos_ilog_entries();
  EXPECT_EQ(e[0].a, 10000);
  EXPECT_EQ(e[9999].a, 19999);
  EXPECT_EQ(e[10000].type, 'J');
  EXPECT_EQ(e[10000].vbl, 99999u);
}

TEST_F(InputLog, TrimDropsOlderEntriesFromTheFrontOnly) {
  struct trim_case {
    u32 v;
    int left;
    u32 first_vbl;
  };
  const trim_case cases[] = {{3, 5, 5}, {5, 5, 5}, {7, 3, 7}, {8, 1, 9}, {100, 0, 0}};
  for (const trim_case& c : cases) {
    tos_ilog_clear();
    for (u32 v : {5u, 6u, 7u, 7u, 9u}) log_at(v, 'K', static_cast<int>(v), 0);
    tos_ilog_trim(c.v);
    ASSERT_EQ(tos_ilog_count(), c.left) << c.v;
    if (c.left) {
      EXPECT_EQ(tos_ilog_entries()[0].vbl, c.first_vbl) << c.v;
    }
  }
  // A state load can put the VBL back: trimming stops at the first entry
  // at or after v.
  tos_ilog_clear();
  for (u32 v : {5u, 9u, 6u}) log_at(v, 'K', 0, 0);
  tos_ilog_trim(7);
  ASSERT_EQ(tos_ilog_count(), 2);
  EXPECT_EQ(tos_ilog_entries()[1].vbl, 6u);
}

TEST_F(InputLog, RewindDropsTheEntriesAtAndAfterTheLoadedVbl) {
  struct rewind_case {
    u32 v;
    std::vector<u32> left;
  };
  const rewind_case cases[] = {
      {7, {5, 6}}, {8, {5, 6, 7, 7}}, {5, {}}, {0, {}}, {10, {5, 6, 7, 7, 9}},
  };
  for (const rewind_case& c : cases) {
    tos_ilog_clear();
    for (u32 v : {5u, 6u, 7u, 7u, 9u}) log_at(v, 'K', static_cast<int>(v), 0);
    tos_ilog_rewind(c.v);
    std::vector<u32> left;
    for (int i = 0; i < tos_ilog_count(); ++i) left.push_back(tos_ilog_entries()[i].vbl);
    EXPECT_EQ(left, c.left) << c.v;
  }
}

TEST_F(InputLog, AfterALoadTheReportHoldsOneTimeline) {
  temp_dir dir;
  log_at(10, 'K', 1, 0);
  log_at(20, 'K', 2, 0);
  log_at(30, 'K', 3, 0);
  tos_ilog_rewind(20); // a state of VBL 20 loaded
  log_at(20, 'J', 1, 4);
  log_at(25, 'K', 5, 0);
  ASSERT_EQ(tos_ilog_write((dir / "inputs.txt").c_str(), 10), 1);
  EXPECT_EQ(slurp(dir / "inputs.txt"), "0 F 1 0\n0 F 0 0\n0 K 1 0\n10 J 1 4\n15 K 5 0\n");
}

TEST_F(InputLog, TextFormStartsWithThePatchSwitchesAndCountsFromTheStartVbl) {
  temp_dir dir;
  g_cpu.patch_flags[1] = 1;
  g_cpu.patch_flags[0] = 0;
  log_at(1100, 'K', 57, 0); // before the start: left out
  log_at(1234, 'K', 57, 0);
  log_at(1240, 'J', 1, 0x81);
  log_at(1300, 'P', 0x2E6, -5);
  log_at(1301, 'F', 0, 1);
  ASSERT_EQ(tos_ilog_write((dir / "inputs.txt").c_str(), 1200), 1);
  EXPECT_EQ(slurp(dir / "inputs.txt"),
            "0 F 1 1\n0 F 0 0\n34 K 57 0\n40 J 1 129\n100 P 742 -5\n101 F 0 1\n");

  ASSERT_EQ(tos_ilog_write((dir / "inputs.txt").c_str(), 5000), 1);
  EXPECT_EQ(slurp(dir / "inputs.txt"), "0 F 1 1\n0 F 0 0\n") << "rewritten, not appended";
}

TEST_F(InputLog, WriteFailuresAreReported) {
  temp_dir dir;
  EXPECT_EQ(tos_ilog_write((dir / "missing/inputs.txt").c_str(), 0), 0);
  EXPECT_EQ(tos_ilog_write(nullptr, 0), 0);
  for (int i = 0; i < 500; ++i) log_at(i, 'K', i, 0);
  EXPECT_EQ(tos_ilog_write("/dev/full", 0), 0) << "a write that does not reach the disk";
}

} // namespace
