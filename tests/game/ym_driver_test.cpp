// The YM driver's core (song start and stop, the tick with its fade, tempo,
// level scaling, locks and register output) and its voice sequencer, on the
// synthetic driver data, ticked through the game's Timer C handler.
#include "ym_driver_test.h"

#include "machine/hooks.h"
#include "support/log_capture.h"
#include "support/machine/resumption_check.h"

namespace {

using namespace ym_code;

constexpr u8 d1 = duration + 1, d4 = duration + 4, d5 = duration + 5, d8 = duration + 8;

u32 period(u32 note) { return synth_sound_content().periods[note]; }
ym_write lo(u32 reg, u32 note) { return {static_cast<int>(reg), static_cast<int>(period(note) & 0xFF)}; }
ym_write hi(u32 reg, u32 note) { return {static_cast<int>(reg), static_cast<int>(period(note) >> 8)}; }

std::vector<u32> stop_hook_returns;
void note_stop(u32) { stop_hook_returns.push_back(rd32(g_cpu.a[7])); }

// --- song start, stop and the idle tick -----------------------------------------

TEST_F(YmDriverTest, AnIdleTickWritesNothingAndLeavesTheRandomRegister) {
  tick(5);
  EXPECT_TRUE(take_writes().empty());
  EXPECT_EQ(rd32(0x043364), synth_sound_content().random_seed);
}

TEST_F(YmDriverTest, TheSongStartSetsUpEveryVoiceAfterAStopOfItsOwn) {
  hook_register(0x041BE8, note_stop);
  stop_hook_returns.clear();
  wr32(ym_lock_a, 0xFFFF0000);  // both sample locks
  start_effect(9, 1);
  wr8(ym_driver_vars + ym_var::transpose, 7);
  wr8(ym_driver_vars + ym_var::fade_speed, 3);
  for (u32 r = 8; r <= 10; ++r) wr8(ym_driver_vars + ym_var::images + r, 9);
  for (u32 v = 0; v < 3; ++v) {
    wr8(ym_voice_a + ym_voice_size * v + ym_voice::modulation, 0x40);
    wr8(ym_voice_a + ym_voice_size * v + ym_voice::click, 0xFF);
    wr8(ym_voice_a + ym_voice_size * v + ym_voice::voice_transpose, 5);
    wr8(ym_voice_a + ym_voice_size * v + ym_voice::flags, 0x2F);
  }
  start_tune(0, true);
  EXPECT_EQ(stop_hook_returns, std::vector<u32>{0x041C28}) << "the song start's own stop";
  EXPECT_EQ(rd32(ym_driver_vars + ym_var::effect_on), 0u) << "the effect ended";
  EXPECT_EQ(rd32(ym_driver_vars + ym_var::locks), 0u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::transpose), 0u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::fade_speed), 0u);
  for (u32 r = 8; r <= 10; ++r) EXPECT_EQ(rd8(ym_driver_vars + ym_var::images + r), 0u) << "volume image " << r;
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::mixer_image), 0x3Fu);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tempo), 64u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tempo_accumulator), 0xFFu);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::level), 15u);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tune_flag), 0xFFu);
  const u32 order_a = ym_driver_vars + rd16(song_table + 8 * 0 + 2);
  for (u32 v = 0; v < 3; ++v) {
    const u32 voice = ym_voice_a + ym_voice_size * v;
    const u32 order = ym_driver_vars + rd16(song_table + 2 + 2 * v);
    EXPECT_EQ(rd8(voice + ym_voice::duration), 1u);
    EXPECT_EQ(rd16(voice + ym_voice::order_position), 2u);
    EXPECT_EQ(rd16(voice + ym_voice::order_list) + ym_driver_vars, order);
    EXPECT_EQ(rd32(voice + ym_voice::stream), ym_driver_vars + rd16(order));
    EXPECT_EQ(rd32(voice + ym_voice::arpeggio), ym_default_arpeggio);
    EXPECT_EQ(rd32(voice + ym_voice::arpeggio_start), ym_default_arpeggio);
    EXPECT_EQ(rd8(voice + ym_voice::modulation), 0u);
    EXPECT_EQ(rd8(voice + ym_voice::click), 0u);
    EXPECT_EQ(rd8(voice + ym_voice::voice_transpose), 0u);
    EXPECT_EQ(rd8(voice + ym_voice::flags), 0u);
  }
  EXPECT_EQ(rd32(ym_voice_a + ym_voice::stream), ym_driver_vars + rd16(order_a));
  // The stop silenced the chip: mixer all off, the volumes 0.
  const std::vector<ym_write> silence = {{7, 0x3F}, {8, 0}, {9, 0}, {10, 0}};
  std::vector<ym_write> w = take_writes();
  ASSERT_GE(w.size(), 4u);
  EXPECT_EQ(std::vector<ym_write>(w.end() - 4, w.end()), silence);
}

TEST_F(YmDriverTest, TheTuneByteIsSignExtendedAndMultipliedUnsigned) {
  // Tune $FF: the word $FFFF times 8, far past the table.
  wr8(song_table + 1 + 0x7FFF8, 77);
  const u32 order = song_table + 0x7FFF8 + 2;
  for (u32 v = 0; v < 3; ++v) wr16(order + 2 * v, 0x2000);
  start_tune(0xFF);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tempo), 77u);
  EXPECT_EQ(rd16(ym_voice_a + ym_voice::order_list), 0x2000u);
}

TEST_F(YmDriverTest, TheFirstTickStepsAndWritesEveryRegisterInItsOrder) {
  start_tune(1);
  tick();
  // A: note 10 of instrument 0 (15, then 13 at its first output tick);
  // B: note 50 of instrument 2 (9, held); C rests. Mixer: every tone on.
  const std::vector<ym_write> expected = {{6, 0},    lo(0, 10), hi(1, 10), {8, 13}, lo(2, 50), hi(3, 50),
                                          {9, 9},    lo(4, 0),  hi(5, 0),  {10, 0}, {7, 0}};
  EXPECT_EQ(take_writes(), expected);
  tick();
  const std::vector<ym_write> second = {{6, 0},    lo(0, 20), hi(1, 20), {8, 13}, lo(2, 50), hi(3, 50),
                                        {9, 9},    lo(4, 0),  hi(5, 0),  {10, 0}, {7, 0}};
  EXPECT_EQ(take_writes(), second);
}

// Steps of voice A per tick: its stream moves by one note a step.
std::vector<int> steps_over(YmDriverTest& t, int ticks) {
  std::vector<int> steps;
  for (int i = 0; i < ticks; ++i) {
    const u32 before = rd32(ym_voice_a + ym_voice::stream);
    t.tick();
    steps.push_back(rd32(ym_voice_a + ym_voice::stream) != before);
  }
  return steps;
}

TEST_F(YmDriverTest, TheTempoGivesItsShareOfStepsAndTheFirstTickAlwaysSteps) {
  const std::vector<std::vector<u8>> notes = {{d1, 1, 2, 3, 4, 5, 6, 7, 8, next_pattern}};
  struct {
    u8 tempo;
    int ticks;
    int steps;
  } cases[] = {{128, 8, 4}, {255, 256, 255}, {1, 300, 2}, {0, 10, 0}};
  for (const auto& c : cases) {
    write_tune(8, {c.tempo, {notes, notes, notes}});
    start_tune(8);
    const std::vector<int> steps = steps_over(*this, c.ticks);
    int n = 0;
    for (int s : steps) n += s;
    EXPECT_EQ(n, c.steps) << "tempo " << int(c.tempo);
    if (c.tempo != 0) {
      EXPECT_EQ(steps[0], 1) << "tempo " << int(c.tempo);
    }
    if (c.tempo == 128) {
      EXPECT_EQ(steps, (std::vector<int>{1, 0, 1, 0, 1, 0, 1, 0}));
    }
    if (c.tempo == 255) {
      EXPECT_EQ(steps.back(), 0) << "the 256th tick does not step";
    }
  }
}

TEST_F(YmDriverTest, AFadeOfSpeedOneEndsTheSongOnTheFifteenthTickThroughTheTicksCaller) {
  write_tune(8, {255, {{{{fade, 1, instrument, d8, 30, next_pattern}}, {{d8, rest, next_pattern}},
                        {{d8, rest, next_pattern}}}}});
  start_tune(8);
  hook_register(0x041BE8, note_stop);
  stop_hook_returns.clear();
  tick(); // reads the fade command
  for (int k = 1; k < 15; ++k) {
    tick();
    EXPECT_EQ(rd8(ym_driver_vars + ym_var::level), static_cast<u32>(15 - k));
  }
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tune_flag), 0xFFu);
  take_writes();
  tick();
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tune_flag), 0u);
  EXPECT_EQ(stop_hook_returns, std::vector<u32>{0x041BE2}) << "the tick's caller, not the song start";
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[1], (ym_write{8, 0}));
}

TEST_F(YmDriverTest, WithoutAFadeSpeedALeftCountDoesNothing) {
  start_tune(1);
  wr8(ym_driver_vars + ym_var::fade_counter, 1);
  tick(20);
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::level), 15u);
}

TEST_F(YmDriverTest, TheTickAsANestedCallKeepsEveryRegister) {
  start_tune(1);
  start_effect(9, 1);
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = 0x10101010u * static_cast<u32>(i + 1);
  for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0x200000u + 0x100u * static_cast<u32>(i);
  const cpu_state before = g_cpu;
  ASSERT_EQ(run_routine(0x041BDA), 1);
  EXPECT_FALSE(take_writes().empty());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.d[i], before.d[i]) << "d" << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g_cpu.a[i], before.a[i]) << "a" << i;
}

TEST_F(YmDriverTest, TheVolumeIsScaledDownByTheLevel) {
  struct {
    u8 volume, level, expected;
  } cases[] = {{3, 12, 0}, {2, 12, 0}, {9, 12, 6}, {9, 15, 9}, {15, 0, 0}, {15, 0x1E, 14}};
  for (const auto& c : cases) {
    const u32 instrument_at = synth_test_streams + 0x800;
    wr8(instrument_at - 1, 0);
    wr8(instrument_at, c.volume);
    wr8(instrument_at + 1, 0x80);
    wr16(ym_instrument_table + 2 * 4, instrument_at - ym_driver_vars);
    const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
    write_tune(8, {255, {{{{instrument + 4, d8, 30, next_pattern}}, rests, rests}}});
    start_tune(8);
    wr8(ym_driver_vars + ym_var::level, c.level);
    tick();
    const std::vector<ym_write> w = take_writes();
    ASSERT_EQ(w.size(), 11u);
    EXPECT_EQ(w[3], (ym_write{8, c.expected})) << int(c.volume) << " at level " << int(c.level);
  }
}

void force_z(u32) { g_cpu.fz = 1; }

TEST_F(YmDriverTest, ALockedChannelIsLeftAloneUnlessTheHostForcesZ) {
  start_tune(1);
  tick();
  take_writes();
  wr8(0xFF8800, 7);
  wr8(0xFF8802, 0xC9); // the sample player's value: port bits, A's tone and noise off
  take_writes();
  wr8(ym_lock_a, 0xFF);
  tick();
  const std::vector<ym_write> locked = {lo(2, 50), hi(3, 50), {9, 9}, lo(4, 0), hi(5, 0), {10, 0}, {7, 0xC9}};
  EXPECT_EQ(take_writes(), locked);

  hook_register(0x041EE2, force_z);
  hook_register(0x041EF8, force_z);
  tick();
  std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 11u);
  EXPECT_EQ(w[0], (ym_write{6, 0}));
  EXPECT_EQ(w[1], lo(0, 30));
  EXPECT_EQ(w.back(), (ym_write{7, 0xC0})) << "A's bits from the music again";

  // Channel B's lock has its own point; channel C has none.
  hooks_clear();
  wr8(ym_lock_a, 0);
  wr8(ym_lock_b, 0xFF);
  wr8(ym_driver_vars + ym_var::locks + 2, 0xFF);
  hook_register(0x041F32, force_z);
  tick();
  w = take_writes();
  ASSERT_EQ(w.size(), 7u) << "no register 6 (the long test), A and B, no C";
  EXPECT_EQ(w[0], lo(0, 40));
  EXPECT_EQ(w[3], lo(2, 50));

  // Channel C's own lock alone.
  hooks_clear();
  wr8(ym_lock_b, 0);
  tick();
  w = take_writes();
  ASSERT_EQ(w.size(), 7u) << "A and B, no register 6, no C";
  EXPECT_EQ(w[3], lo(2, 50));
  EXPECT_EQ(w[5], (ym_write{9, 9}));
}

TEST_F(YmDriverTest, AnEffectMaskOfF6OnChannelBSwitchesOnlyItsToneAndNoiseOn) {
  start_tune(1);
  start_effect(9, 1);
  wr8(ym_driver_vars + ym_var::mixer_shadow, 0x3F);
  tick();
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 11u);
  EXPECT_EQ(w.back(), (ym_write{7, 0x2D}));
  EXPECT_EQ(w[0], (ym_write{6, 0xC8})) << "the effect's noise";
}

u32 seen_d1;
void mute(u32) {
  seen_d1 = g_cpu.d[1];
  g_cpu.d[1] = 0;
}
void seen_after(u32) { seen_d1 = seen_d1 << 8 | (g_cpu.d[1] & 0xFF); }

TEST_F(YmDriverTest, TheMuteHookChangesTheVolumeStoredAndSeesItAfter) {
  hook_register(0x041DD8, mute);
  hook_register(0x041DDC, seen_after);
  start_tune(1);
  tick();
  EXPECT_EQ(seen_d1 & 0xFFFF, 13u << 8 | 0) << "13 offered, 0 stored";
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 11u);
  EXPECT_EQ(w[3], (ym_write{8, 0}));
}

// --- the sequencer ------------------------------------------------------------------

TEST_F(YmDriverTest, DurationBytesGiveOneToThirtyTwoSteps) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  for (u8 code : {u8{0xE0}, u8{0xFF}}) {
    write_tune(8, {255, {{{{code, 10, 11, next_pattern}}, rests, rests}}});
    start_tune(8);
    tick();
    EXPECT_EQ(rd8(ym_voice_a + ym_voice::duration_reload), code - 0xDFu);
    int ticks = 0;
    while (rd8(ym_voice_a + ym_voice::note) == 10 && ticks < 100) {
      tick();
      ++ticks;
    }
    EXPECT_EQ(ticks, code - 0xDF) << std::hex << int(code);
  }
}

TEST_F(YmDriverTest, InstrumentDurationAndNoteInOneStep) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{0xD3, 0xE3, 0x30, 0x31, next_pattern}}, rests, rests}}});
  start_tune(8);
  tick();
  const synth_sound& s = synth_sound_content();
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::note), 0x30u);
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::volume_speed), s.instrument_speeds[3]);
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::volume), s.instruments[3][0]) << "speed 2: the first level holds";
  tick(3);
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::note), 0x30u);
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::volume), s.instruments[3][1]) << "the third tick took the next level";
  tick();
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::note), 0x31u) << "four steps later";
}

TEST_F(YmDriverTest, ARestSilencesAtOnceAndATieKeepsTheNoteSounding) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{instrument, d1, 30, tie, tie, duration + 2, rest, next_pattern}}, rests, rests}}});
  start_tune(8);
  std::vector<int> volumes, notes;
  for (int i = 0; i < 5; ++i) {
    tick();
    volumes.push_back(take_writes()[3].value);
    notes.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::note)));
  }
  EXPECT_EQ(volumes, (std::vector<int>{13, 11, 9, 0, 0})) << "the sequence ran on through the ties";
  EXPECT_EQ(notes, (std::vector<int>{30, 30, 30, 30, 30})) << "a rest keeps the note";
}

TEST_F(YmDriverTest, AnOrderListRepeatsFromItsFirstPattern) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{d1, 5, next_pattern}, {d1, 6, next_pattern}}, rests, rests}}});
  start_tune(8);
  std::vector<int> notes;
  for (int i = 0; i < 5; ++i) {
    tick();
    notes.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::note)));
  }
  EXPECT_EQ(notes, (std::vector<int>{5, 6, 5, 6, 5}));
  // A one-pattern list plays it over and over.
  write_tune(8, {255, {{{{d1, 7, 8, next_pattern}}, rests, rests}}});
  start_tune(8);
  notes.clear();
  for (int i = 0; i < 5; ++i) {
    tick();
    notes.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::note)));
  }
  EXPECT_EQ(notes, (std::vector<int>{7, 8, 7, 8, 7}));
}

TEST_F(YmDriverTest, ANewOrderListTakesOverAtTheEndOfThePattern) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  const u32 list = synth_test_streams + 0x600, pattern = list + 4;
  wr16(list, pattern - ym_driver_vars);
  wr16(list + 2, 0);
  wr8(pattern, d1);
  wr8(pattern + 1, 9);
  wr8(pattern + 2, next_pattern);
  const u32 offset = list - ym_driver_vars;
  write_tune(8, {255, {{{{d1, 5, order_list, static_cast<u8>(offset >> 8), static_cast<u8>(offset), 6, next_pattern}},
                        rests,
                        rests}}});
  start_tune(8);
  std::vector<int> notes;
  for (int i = 0; i < 5; ++i) {
    tick();
    notes.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::note)));
  }
  EXPECT_EQ(notes, (std::vector<int>{5, 6, 9, 9, 9})) << "the pattern goes on, then entry 0 of the new list";
  EXPECT_EQ(rd16(ym_voice_a + ym_voice::order_list), offset);
}

TEST_F(YmDriverTest, ModulationRunsItsTriangleScaledForLowNotes) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{modulation_on, 2, 4, instrument, 0xFF, 5, next_pattern}}, rests, rests}}});
  start_tune(8);
  std::vector<int> values, offsets;
  for (int i = 0; i < 8; ++i) {
    tick();
    const std::vector<ym_write> w = take_writes();
    values.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::modulation_value)));
    offsets.push_back((w[2].value << 8 | w[1].value) - static_cast<int>(period(5)));
  }
  EXPECT_EQ(values, (std::vector<int>{2, 0, 0, 2, 4, 6, 8, 6}));
  EXPECT_EQ(offsets, (std::vector<int>{-32, -64, -64, -32, 0, 32, 64, 32})) << "value - 4, doubled four times";
}

TEST_F(YmDriverTest, ModulationOffGivesThePlainPeriodAgain) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{modulation_on, 2, 4, instrument, d1, 5, modulation_off, 5, 5, next_pattern}}, rests, rests}}});
  start_tune(8);
  std::vector<int> offsets;
  for (int i = 0; i < 3; ++i) {
    tick();
    const std::vector<ym_write> w = take_writes();
    offsets.push_back((w[2].value << 8 | w[1].value) - static_cast<int>(period(5)));
  }
  EXPECT_EQ(offsets, (std::vector<int>{-32, 0, 0}));
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::modulation), 0u);
}

TEST_F(YmDriverTest, HalfSpeedModulationMovesOnEverySecondTick) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{modulation_on, 2, 4, instrument, 0xFF, 5, next_pattern}}, rests, rests}}});
  start_tune(8);
  tick();
  wr8(ym_voice_a + ym_voice::modulation, rd8(ym_voice_a + ym_voice::modulation) | 0x80);
  std::vector<int> values = {static_cast<int>(rd8(ym_voice_a + ym_voice::modulation_value))};
  for (int i = 0; i < 6; ++i) {
    tick();
    values.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::modulation_value)));
  }
  EXPECT_EQ(values, (std::vector<int>{2, 2, 0, 0, 0, 0, 2}));
}

TEST_F(YmDriverTest, TheOctaveScalingFollowsTheNote) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  struct {
    u8 note;
    int offset;
  } cases[] = {{11, -32}, {12, -16}, {24, -8}, {36, -4}, {47, -4}, {48, -2}, {90, -2}};
  for (const auto& c : cases) {
    write_tune(8, {255, {{{{modulation_on, 2, 4, instrument, 0xFF, c.note, next_pattern}}, rests, rests}}});
    start_tune(8);
    tick();
    const std::vector<ym_write> w = take_writes();
    EXPECT_EQ((w[2].value << 8 | w[1].value) - static_cast<int>(period(c.note)), c.offset) << int(c.note);
  }
}

TEST_F(YmDriverTest, ArpeggioSelectsIncludingTheCodesBelowC0) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  const u32 arpeggio_at = synth_test_streams + 0x700;
  wr8(arpeggio_at, 0);
  wr8(arpeggio_at + 1, 12);
  wr8(arpeggio_at + 2, 0x80 | 24);
  wr16(0x042698 + 2 * 3, arpeggio_at - ym_driver_vars); // where code $BB reads its word
  wr16(ym_arpeggio_table + 2 * 2, arpeggio_at - ym_driver_vars);
  for (u8 code : {u8{0xBB}, u8{0xC2}}) {
    write_tune(8, {255, {{{{code, d8, 10, next_pattern}}, rests, rests}}});
    start_tune(8);
    std::vector<ym_write> periods;
    for (int i = 0; i < 4; ++i) {
      tick();
      periods.push_back(take_writes()[1]);
    }
    EXPECT_EQ(periods, (std::vector<ym_write>{lo(0, 10), lo(0, 22), lo(0, 34), lo(0, 10)})) << std::hex << int(code);
    EXPECT_EQ(rd32(ym_voice_a + ym_voice::arpeggio_start), arpeggio_at);
  }
}

TEST_F(YmDriverTest, TransposesAddToTheNote) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{transpose, 3, voice_transpose, 4, d8, 10, next_pattern}},
                        {{d8, 20, next_pattern}},
                        rests}}});
  start_tune(8);
  tick();
  const std::vector<ym_write> w = take_writes();
  EXPECT_EQ(w[1], lo(0, 17)) << "10 + 3 + 4";
  EXPECT_EQ(w[4], lo(2, 23)) << "20 + 3";
}

TEST_F(YmDriverTest, APitchSweepMovesThePeriodEveryTickAfterItsDelay) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{sweep, 0xFD, 3, d8, 10, next_pattern}}, rests, rests}}});
  start_tune(8);
  std::vector<int> offsets;
  for (int i = 0; i < 5; ++i) {
    tick();
    const std::vector<ym_write> w = take_writes();
    offsets.push_back((w[2].value << 8 | w[1].value) - static_cast<int>(period(10)));
  }
  EXPECT_EQ(offsets, (std::vector<int>{0, 0, -3, -6, -9}));
}

TEST_F(YmDriverTest, AlternateTickNoiseAndTheClick) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{tone_and_noise, alternate_noise, instrument, d4, 0x21, click_on, d1, 0x22, tone_only,
                          d8, 0x23, next_pattern}},
                        rests,
                        rests}}});
  start_tune(8);
  std::vector<ym_write> noise, mixer;
  for (int i = 0; i < 6; ++i) {
    tick();
    const std::vector<ym_write> w = take_writes();
    noise.push_back(w.front());
    mixer.push_back(w.back());
  }
  // Ticks 1-4: note $21 with alternate-tick noise (noise only, period $21 ^
  // 8, then the music's tone and noise); tick 5: note $22 with the click
  // (noise period 1); tick 6: note $23, tone only, and the click, re-armed
  // by the event, switches A's noise on for that one tick.
  EXPECT_EQ(noise[0], (ym_write{6, 0x29}));
  EXPECT_EQ(mixer[0], (ym_write{7, 0x01})) << "A: tone off, noise on";
  EXPECT_EQ(noise[1], (ym_write{6, 0x21}));
  EXPECT_EQ(mixer[1], (ym_write{7, 0x00})) << "A: tone and noise";
  EXPECT_EQ(noise[2], (ym_write{6, 0x29}));
  EXPECT_EQ(mixer[3], (ym_write{7, 0x00}));
  EXPECT_EQ(noise[4], (ym_write{6, 1})) << "the click";
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::click), 0x7Fu) << "clicked, waiting for the next event";
  EXPECT_EQ(noise[5], (ym_write{6, 1}));
  EXPECT_EQ(mixer[5], (ym_write{7, 0x00})) << "the click switches A's noise on over tone only";
  tick();
  const std::vector<ym_write> w = take_writes();
  EXPECT_EQ(w.front(), (ym_write{6, 0x22})) << "the noise note of the last noise-mode note";
  EXPECT_EQ(w.back(), (ym_write{7, 0x08})) << "tone only";
}

TEST_F(YmDriverTest, ClickOffEndsTheClicksWhateverTheVoiceTranspose) {
  // The click byte sits beside the voice transpose: only the byte counts.
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  for (u8 shift : {u8{0}, u8{5}}) {
    write_tune(8, {255, {{{{tone_only, voice_transpose, shift, click_on, instrument, d1, 0x21, click_off, 0x22, 0x23,
                            next_pattern}},
                          rests,
                          rests}}});
    start_tune(8);
    std::vector<bool> noise_a_on;
    for (int i = 0; i < 3; ++i) {
      tick();
      noise_a_on.push_back((take_writes().back().value & 0x08) == 0);
    }
    EXPECT_EQ(noise_a_on, (std::vector<bool>{true, false, false})) << "voice transpose " << int(shift);
    EXPECT_EQ(rd8(ym_voice_a + ym_voice::click), 0u) << "voice transpose " << int(shift);
  }
}

TEST_F(YmDriverTest, AClickIsNotReArmedWhileAnEffectUsesTheNoise) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  write_tune(8, {255, {{{{tone_only, click_on, instrument, d1, 0x21, 0x22, 0x23, next_pattern}}, rests, rests}}});
  start_tune(8);
  auto noise_a_on = [this] {
    tick();
    return (take_writes().back().value & 0x08) == 0;
  };
  EXPECT_TRUE(noise_a_on()) << "armed and clicked in the same tick";
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::click), 0x7Fu);
  start_effect(25, 2);
  EXPECT_TRUE(noise_a_on()) << "an effect without noise does not hold it";
  start_effect(13, 1);
  EXPECT_FALSE(noise_a_on()) << "an effect with noise holds it";
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::click), 0x7Fu);
}

TEST_F(YmDriverTest, ASlideMovesTheNoteOncePerStepOfItsEvent) {
  const std::vector<std::vector<u8>> rests = {{d8, rest, next_pattern}};
  for (u8 slide : {slide_up, slide_down}) {
    write_tune(8, {255, {{{{slide, d5, 20, d8, 40, next_pattern}}, rests, rests}}});
    start_tune(8);
    std::vector<int> notes;
    for (int i = 0; i < 6; ++i) {
      tick();
      notes.push_back(static_cast<int>(rd8(ym_voice_a + ym_voice::note)));
    }
    const std::vector<int> expected =
        slide == slide_up ? std::vector<int>{20, 21, 22, 23, 24, 40} : std::vector<int>{20, 19, 18, 17, 16, 40};
    EXPECT_EQ(notes, expected);
  }
}

TEST_F(YmDriverTest, AnEndOfSongMidTickWritesOnlyTheSilenceAndTheHandlerReturns) {
  start_tune(3);
  tick(2);
  take_writes();
  g_cpu.d[0] = 0x11111111;
  g_cpu.d[7] = 0x77777777;
  g_cpu.a[0] = 0xA0A0A0;
  g_cpu.a[3] = 0xA3A3A3;
  const u32 a7_before = g_cpu.a[7];
  g_cpu.pc = 0x004000;
  tick();
  EXPECT_EQ(rd8(ym_driver_vars + ym_var::tune_flag), 0u);
  const std::vector<ym_write> silence = {{7, 0x3F}, {8, 0}, {9, 0}, {10, 0}};
  EXPECT_EQ(take_writes(), silence);
  EXPECT_EQ(g_cpu.d[0], 0x11111111u);
  EXPECT_EQ(g_cpu.d[7], 0x77777777u);
  EXPECT_EQ(g_cpu.a[0], 0xA0A0A0u);
  EXPECT_EQ(g_cpu.a[3], 0xA3A3A3u);
  EXPECT_EQ(g_cpu.a[7], a7_before);
  EXPECT_EQ(g_cpu.pc, 0x004000u) << "back where the interrupt came";
  tick();
  EXPECT_TRUE(take_writes().empty()) << "idle again";
}

TEST_F(YmDriverTest, AStreamWithoutAnEventByteEndsTheStepAsARest) {
  log_capture log;
  // Voice A's pattern only jumps to the next pattern, which is itself:
  // three bytes a pass, so the 4,096th is the first of a pass.
  write_tune(8, {255, {{{{tempo, 255, tempo, 255, next_pattern}},
                        {{d8, rest, next_pattern}},
                        {{d8, 40, next_pattern}}}}});
  start_tune(8);
  tick();
  EXPECT_EQ(rd32(ym_voice_a + ym_voice::stream), synth_test_streams + 2) << "at the byte reached";
  const std::vector<ym_write> w = take_writes();
  ASSERT_EQ(w.size(), 11u) << "the tick ran whole";
  EXPECT_EQ(w[3], (ym_write{8, 0}));
  EXPECT_EQ(rd8(ym_voice_b + ym_voice::duration), 8u) << "the other voices stepped";
  EXPECT_EQ(rd8(ym_voice_a + ym_voice::duration), 1u);
  tick();
  EXPECT_EQ(take_writes().size(), 11u);
  EXPECT_NE(log.text().find("without a note"), std::string::npos);
  EXPECT_EQ(log.text().find("without a note"), log.text().rfind("without a note")) << "logged once";
}

// --- resumption ------------------------------------------------------------------

void prepare_song_start() {
  machine_clear();
  synth_sound_load();
  g_cpu.d[0] = 5;
}

TEST(YmDriverResumption, TheSongStartResumesInItsVoiceLoop) {
  for (int save_at : {1, 2, 3}) {
    const resumption_result r = check_resumption(prepare_song_start, 0x0074F4, 0, save_at);
    EXPECT_EQ(r.yields, 3) << "one budget check per voice";
    EXPECT_EQ(r.saved_pc, 0x041C4Cu);
    EXPECT_TRUE(r.sliced_same) << r.first_difference;
    EXPECT_TRUE(r.resumed_same) << "saved at yield " << save_at << ": " << r.first_difference;
  }
}

} // namespace
