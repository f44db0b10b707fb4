// Shared by the sound tests: a machine with the synthetic driver and sample
// data in RAM, the game between two instructions with interrupts open,
// ticks through the game's Timer C handler and the YM writes they made.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "game/game_ram.h"
#include "game/ym_driver.h"
#include "game_harness.h"
#include "machine/io_devices.h"
#include "machine/ym_capture.h"
#include "support/synthetic/synthetic_sound.h"

struct ym_write {
  int reg;
  int value;
  bool operator==(const ym_write&) const = default;
};
inline std::ostream& operator<<(std::ostream& o, const ym_write& w) {
  return o << "{" << w.reg << ", $" << std::hex << w.value << std::dec << "}";
}

// The YM writes logged since the last take, in their order.
inline std::vector<ym_write> take_writes() {
  std::vector<ym_event> events(static_cast<size_t>(ym_pending()) + 1);
  const int n = ym_events_take(events.data(), static_cast<int>(events.size()));
  std::vector<ym_write> w;
  for (int i = 0; i < n; ++i) w.push_back({events[static_cast<size_t>(i)].reg, events[static_cast<size_t>(i)].value});
  return w;
}

constexpr u32 ym_voice_b = ym_voice_a + ym_voice_size;
constexpr u32 ym_voice_c = ym_voice_b + ym_voice_size;
constexpr u32 timer_c_handler = 0x007896;

class YmDriverTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    synth_sound_load();
    g_cpu.sr_sys = 0x2300;
    g_cpu.pc = 0x004000;
  }

 public:
  // Ticks through the Timer C handler with the music switched on.
  void tick(int n = 1) {
    wr8(music_on, 0xFF);
    ASSERT_EQ(cpu_run_batch(&g_cpu, timer_c_handler, n, nullptr), 0);
  }
  // The game's tune start ($74F4), as a nested call; the stop's silence
  // taken from the log unless kept.
  void start_tune(int t, bool keep_writes = false) {
    g_cpu.d[0] = static_cast<u32>(t);
    ASSERT_EQ(run_routine(0x0074F4), 1);
    if (!keep_writes) take_writes();
  }
  void start_effect(int e, int channel) {
    g_cpu.d[0] = static_cast<u32>(e);
    g_cpu.d[1] = static_cast<u32>(channel);
    ASSERT_EQ(run_routine(0x041C04), 1);
  }
  void write_tune(int t, const synth_tune& tune) { synth_tune_write(t, tune, synth_test_streams); }
};
