// The digitised sample player of page $E000: starts on channels A and B,
// the Timer A handlers that write one byte per interrupt to the channel's
// volume register, and the per-VBL end check that chooses the handler; and
// the returns of every sound interrupt handler.
#include "machine/hooks.h"
#include "support/machine/interrupt_check.h"
#include "support/machine/resume_check.h"
#include "ym_driver_test.h"

namespace {

constexpr u32 next_a = 0x144, last_a = 0x148, next_b = 0x14C, last_b = 0x150, playing = 0x158;
constexpr u32 vector_a = 0x134;
constexpr u32 idle = 0xE660, only_a = 0xE66A, only_b = 0xE68E, both = 0xE6B2;

class SamplePlayer : public YmDriverTest {
 protected:
  void start(u32 entry, u32 sample) {
    g_cpu.d[0] = sample;
    ASSERT_EQ(run_routine(entry), 1);
  }
  void start_a(u32 sample) { start(0x00E6EC, sample); }
  void start_b(u32 sample) { start(0x00E756, sample); }
  void vbl_check() { ASSERT_EQ(run_routine(0x00E7C0), 1); }
  // n Timer A interrupts through the installed handler.
  void interrupts(int n) { ASSERT_EQ(cpu_run_batch(&g_cpu, rd32(vector_a), n, nullptr), 0); }
  const std::vector<u8>& sample(u32 s) { return synth_sound_content().samples[s]; }
  u32 sample_at(u32 s) { return synth_sound_content().sample_at[s]; }
};

TEST_F(SamplePlayer, TheHandlerFollowsWhatPlaysAfterStartsAndChecks) {
  start_a(0);
  EXPECT_EQ(rd32(vector_a), only_a);
  EXPECT_EQ(rd8(ym_lock_a), 0xFFu);
  EXPECT_EQ(rd16(playing), 0xFF00u);
  EXPECT_EQ(rd32(next_a), sample_at(0));
  EXPECT_EQ(rd32(last_a), sample_at(0) + 9);
  EXPECT_EQ(rd8(0xFFFA19), 2u) << "Timer A started";
  EXPECT_EQ(rd8(0xFFFA1F), 50u);
  start_b(4);
  EXPECT_EQ(rd32(vector_a), both);
  EXPECT_EQ(rd8(ym_lock_b), 0xFFu);
  EXPECT_EQ(rd32(next_b), sample_at(4));
  EXPECT_EQ(rd32(last_b), sample_at(4) + 199);

  wr16(0xFF8240, 0x777);
  wr32(vector_a, idle);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), both) << "both still within their bytes";
  EXPECT_EQ(rd16(0xFF8240), 0u) << "colour 0 while something plays";
  wr32(next_a, sample_at(0) + 9); // A at its last byte: it plays on
  vbl_check();
  EXPECT_EQ(rd32(vector_a), both);
  wr32(next_a, sample_at(0) + 10); // A past its last byte
  vbl_check();
  EXPECT_EQ(rd32(vector_a), only_b);
  EXPECT_EQ(rd8(ym_lock_a), 0u);
  EXPECT_EQ(rd8(ym_lock_b), 0xFFu);
  start_a(1);
  EXPECT_EQ(rd32(vector_a), both);
  wr32(next_b, sample_at(4) + 199);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), both);
  wr32(next_b, sample_at(4) + 200);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), only_a);
  EXPECT_EQ(rd8(ym_lock_b), 0u);
  wr32(next_a, sample_at(1) + 24);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), idle);
  EXPECT_EQ(rd16(playing), 0u);
}

TEST_F(SamplePlayer, AStartTurnsTheChannelsToneAndNoiseOffAndKeepsA0A1) {
  wr8(0xFF8800, 7);
  wr8(0xFF8802, 0xC0);
  take_writes();
  g_cpu.a[0] = 0xA0A0A0;
  g_cpu.a[1] = 0xA1A1A1;
  g_cpu.sr_sys = 0x2300;
  start_a(2);
  EXPECT_EQ(take_writes(), (std::vector<ym_write>{{7, 0xC9}}));
  EXPECT_EQ(g_cpu.d[0] & 0xFFFF, 16u) << "d0.w x 8";
  EXPECT_EQ(g_cpu.d[1] & 0xFF, 0xC9u) << "d1.b: the value written";
  EXPECT_EQ(g_cpu.a[0], 0xA0A0A0u);
  EXPECT_EQ(g_cpu.a[1], 0xA1A1A1u);
  EXPECT_EQ(g_cpu.sr_sys & 0x0700, 0x0300) << "the mask put back";
  start_b(2);
  EXPECT_EQ(take_writes(), (std::vector<ym_write>{{7, 0xDB}}));
}

TEST_F(SamplePlayer, EachInterruptWritesTheNextByteOfEachPlayingChannel) {
  start_b(3);
  const u32 pc_before = g_cpu.pc = 0x004000;
  g_cpu.a[0] = 0x123456;
  take_writes();
  ASSERT_EQ(cpu_run_isr(&g_cpu, rd32(vector_a), 6, 0, 3, nullptr), 0);
  EXPECT_EQ(g_cpu.pc, pc_before);
  EXPECT_EQ(g_cpu.a[0], 0x123456u) << "a0 kept";
  std::vector<ym_write> expected;
  for (u32 i = 0; i < 3; ++i) expected.push_back({9, sample(3)[i]});
  EXPECT_EQ(take_writes(), expected);

  // A starts while B plays: both advance one byte per interrupt.
  start_a(2);
  take_writes();
  interrupts(2);
  expected = {{8, sample(2)[0]}, {9, sample(3)[3]}, {8, sample(2)[1]}, {9, sample(3)[4]}};
  EXPECT_EQ(take_writes(), expected);
  EXPECT_EQ(rd32(next_a), sample_at(2) + 2);
  EXPECT_EQ(rd32(next_b), sample_at(3) + 5);
}

TEST_F(SamplePlayer, EveryHandlerAcknowledgesTimerA) {
  start_a(1);
  start_b(2);
  for (u32 handler : {only_a, only_b, both, idle}) {
    wr8(0xFFFA0F, 0xFF);
    ASSERT_EQ(cpu_run_isr(&g_cpu, handler, 6, 0, 1, nullptr), 0);
    EXPECT_EQ(rd8(0xFFFA0F), 0xDFu) << std::hex << handler;
  }
}

TEST_F(SamplePlayer, ASecondStartOnTheChannelBeginsItsSampleFromTheFirstByte) {
  start_b(3);
  interrupts(40);
  start_b(5);
  take_writes();
  interrupts(1);
  EXPECT_EQ(take_writes(), (std::vector<ym_write>{{9, sample(5)[0]}}));
  EXPECT_EQ(rd32(last_b), sample_at(5) + 119);
}

TEST_F(SamplePlayer, ASampleRunsPastItsEndUntilTheVblCheck) {
  start_a(0); // 10 bytes
  take_writes();
  interrupts(98);
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 98u);
  for (u32 i = 0; i < 98; ++i) EXPECT_EQ(w[i], (ym_write{8, static_cast<int>(rd8(sample_at(0) + i))})) << i;
  EXPECT_EQ(rd8(ym_lock_a), 0xFFu);
  vbl_check();
  EXPECT_EQ(rd8(ym_lock_a), 0u);
  EXPECT_EQ(rd32(vector_a), idle);
}

TEST_F(SamplePlayer, WithNothingPlayingTheCheckOnlyInstallsTheIdleHandler) {
  wr32(vector_a, only_a);
  wr16(0xFF8240, 0x777);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), idle);
  EXPECT_EQ(rd16(0xFF8240), 0x777u);
  // The idle handler only acknowledges.
  wr8(0xFFFA0F, 0xFF);
  take_writes();
  ASSERT_EQ(cpu_run_isr(&g_cpu, idle, 6, 0, 1, nullptr), 0);
  EXPECT_EQ(rd8(0xFFFA0F), 0xDFu);
  EXPECT_TRUE(take_writes().empty());
}

TEST_F(SamplePlayer, TheTitleModeLeavesEverythingAlone) {
  start_a(0);
  wr32(next_a, sample_at(0) + 50);
  wr32(vector_a, 0x00F816);
  wr16(title_mode, 1);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), 0x00F816u);
  EXPECT_EQ(rd8(ym_lock_a), 0xFFu);
  wr16(title_mode, 0);
  vbl_check();
  EXPECT_EQ(rd32(vector_a), idle) << "taken back at the first check after";
}

void tag(u32) { g_ym_tag = 1; }
std::vector<u32> triggers;
void trigger(u32 address) { triggers.push_back(address << 8 | (g_cpu.d[0] & 0xFF)); }

TEST_F(SamplePlayer, TheHooksTagTheSampleWritesAndSeeTheStarts) {
  for (u32 h : {0x00E678u, 0x00E69Cu, 0x00E6C0u, 0x00E6D6u, 0x00E708u, 0x00E772u}) hook_register(h, tag);
  hook_register(0x00E6EC, trigger);
  hook_register(0x00E756, trigger);
  triggers.clear();
  start_a(1);
  interrupts(1);
  start_b(6);
  interrupts(1);
  vbl_check();
  wr32(next_a, sample_at(1) + 24);
  vbl_check();
  interrupts(1);
  const std::vector<ym_write> expected = {{23, 0x09}, {24, sample(1)[0]}, {23, 0x1B}, {24, sample(1)[1]},
                                          {25, sample(6)[0]}, {25, sample(6)[1]}};
  EXPECT_EQ(take_writes(), expected);
  EXPECT_EQ(triggers, (std::vector<u32>{0xE6EC01, 0xE75606}));
  // The driver's own writes are not tagged.
  start_tune(1);
  tick();
  for (const ym_write& w : take_writes()) EXPECT_LT(w.reg, 16);
}

TEST_F(SamplePlayer, TheDriverKeepsOffALockedChannelAndTakesItBackAfterTheCheck) {
  start_tune(1);
  tick();
  start_b(0);
  take_writes();
  tick();
  for (const ym_write& w : take_writes()) EXPECT_TRUE(w.reg != 2 && w.reg != 3 && w.reg != 9) << w;
  interrupts(20);
  vbl_check();
  take_writes();
  tick();
  int b_writes = 0;
  for (const ym_write& w : take_writes()) b_writes += w.reg == 2 || w.reg == 3 || w.reg == 9;
  EXPECT_EQ(b_writes, 3);
}

TEST_F(SamplePlayer, ASongStartClearsTheLocksWhileTheSampleGoesOn) {
  start_a(3);
  start_tune(1);
  EXPECT_EQ(rd8(ym_lock_a), 0u);
  take_writes();
  tick();
  interrupts(1);
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 12u) << "the driver writes A again, and the sample its byte";
  EXPECT_EQ(w.back(), (ym_write{8, sample(3)[0]}));
}

} // namespace

namespace {

class SoundInterrupts : public YmDriverTest {};

TEST_F(SoundInterrupts, EveryHandlerReturnsToTheInterruptedGame) {
  g_cpu.d[0] = 3;
  ASSERT_EQ(run_routine(0x00E6EC), 1);
  g_cpu.d[0] = 4;
  ASSERT_EQ(run_routine(0x00E756), 1);
  for (u32 title = 0; title < 8 * 256; ++title) wr8(0x067A0C + title, title % 2 ? 0 : 8);
  wr32(0x0001E0, 0x066F38);
  for (u32 handler : {0x00E660u, 0x00E66Au, 0x00E68Eu, 0x00E6B2u, 0x00F816u, 0x00F864u}) {
    g_cpu.pc = 0x004000;
    fill_register_patterns();
    EXPECT_TRUE(interrupt_returns(handler, 6)) << std::hex << handler;
  }
  // The music tick, also when the tune ends inside it.
  g_cpu.d[0] = 3;
  ASSERT_EQ(run_routine(0x0074F4), 1);
  for (int i = 0; i < 4; ++i) {
    g_cpu.pc = 0x004000;
    fill_register_patterns();
    EXPECT_TRUE(interrupt_returns(0x007896, 6)) << "tick " << i;
  }
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tune_flag), 0u) << "the third tick ended the tune";
}

TEST_F(SoundInterrupts, TheSongStartResumesAlikeAtEveryLabel) {
  g_cpu.d[0] = 7;
  EXPECT_TRUE(resumes_alike({.entry = 0x0074F4}));
}

} // namespace
