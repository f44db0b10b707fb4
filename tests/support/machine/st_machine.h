// Test support for the emulated ST: a machine as TOS leaves it for the game
// (low RAM laid out, ROM built), a clock the tests drive, and helpers to
// install handlers and set MFP registers.
#pragma once
#include "machine/input_log.h"
#include "machine/io_devices.h"
#include "machine/loader_hold.h"
#include "machine/memory.h"
#include "machine/mfp.h"
#include "machine/palette_fade.h"
#include "machine/tos.h"
#include "support/machine/machine_fixture.h"

// The driven clock of the loader hold.
inline double st_clock_now;
inline double st_clock() { return st_clock_now; }

// tos_init + tos_machine_init on a cleared machine; the ST's bookkeeping
// that outlives tos_init (input log, fade smoothing, keyboard collector) is
// reset too. The game runs in supervisor mode on a7 = $10000, USP $20000.
inline void st_reset() {
  machine_clear();
  tos_init("");
  tos_machine_init();
  tos_ilog_clear();
  fade_smooth_clear();
  tos_reset_pending();
  st_clock_now = 1000;
  loader_set_clock(st_clock);
  g_load_seconds = 0;
  g_cpu.a[7] = 0x10000;
  g_cpu.other_sp = 0x20000;
  g_cpu.sr_sys = 0x2300;
  load_regs();
}

inline void set_vector(u32 vector_address, u32 handler) { wr32(vector_address, handler); }

// Enables and unmasks one MFP interrupt.
inline void mfp_enable(u32 enable_register, u32 mask_register, int bit) {
  mfp_set_reg(enable_register, static_cast<u8>(mfp_reg(enable_register) | 1 << bit));
  mfp_set_reg(mask_register, static_cast<u8>(mfp_reg(mask_register) | 1 << bit));
}

class StMachineTest : public MachineTest {
 protected:
  void SetUp() override { st_reset(); }
  void TearDown() override {
    loader_set_clock(nullptr);
    MachineTest::TearDown();
  }
};
