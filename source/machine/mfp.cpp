// MFP Timer C and Timer A, delivered in batches once per VBL. Every call
// carries its position within the VBL, which the YM write log stamps on the
// sound register writes made during it, so the music driver's ticks and the
// sample player's writes land at their places in the VBL's audio.
#include "machine/mfp.h"

#include "machine/ikbd.h"
#include "machine/memory.h"
#include "machine/runner.h"
#include "machine/tos.h"

namespace {

constexpr u32 vector_timer_c = 0x114;
constexpr u32 vector_timer_a = 0x134;
constexpr u32 vector_number(u32 address) { return address / 4; }

// BCLR #5,$FFFA0F then RTE: a Timer A handler that only acknowledges.
constexpr u8 idle_isr[10] = {0x08, 0xB9, 0x00, 0x05, 0x00, 0xFF, 0xFA, 0x0F, 0x4E, 0x73};

constexpr double system_tick_hz = 200;

// The VBL rate the timers divide by. A rate below 1 Hz (never set, or set
// wrongly) counts as the ST's own 50 Hz rather than dividing by zero.
double vbl_rate() { return tos.vbl_rate >= 1 ? tos.vbl_rate : 50; }

bool handler_installed(u32 vector_address, u32& handler) {
  handler = rd32(vector_address);
  return handler != vector_stub(vector_number(vector_address));
}

bool is_idle_isr(u32 handler) {
  handler &= 0xFFFFFF;
  if (handler + sizeof idle_isr > ram_size) return false;
  for (u32 i = 0; i < sizeof idle_isr; ++i)
    if (ram[handler + i] != idle_isr[i]) return false;
  return true;
}

} // namespace

u8 mfp_reg(u32 address) { return io[address & (io_size - 1)]; }
void mfp_set_reg(u32 address, u8 value) { io[address & (io_size - 1)] = value; }

bool tos_mfp_enabled(u32 enable_register, u32 mask_register, int bit) {
  return (mfp_reg(enable_register) >> bit & 1) && (mfp_reg(mask_register) >> bit & 1);
}

void mfp_timer_c() {
  const u8 control = mfp_reg(mfp_tcdcr);
  const u8 data = mfp_reg(mfp_tcdr);
  const int prescale = MFP_PRESCALE[(control >> 4) & 7];
  double rate = 0;
  if (control == 0 && data == 0)
    rate = system_tick_hz; // never set up: the TOS system tick
  else if (prescale != 0)
    rate = mfp_clock_hz / (prescale * (data ? data : 256));

  const double per_vbl = rate / vbl_rate();
  const double carry_before = tos.timer_c_carry;
  const double total = per_vbl + carry_before;
  const double n = static_cast<double>(static_cast<i64>(total + 1e-9));
  tos.timer_c_carry = total - n;
  const int count = n < timer_c_max_calls ? static_cast<int>(n) : timer_c_max_calls;
  tos.isr_time_count = 0;
  if (rate > 0 && count > 0) {
    for (int k = 0; k < count; ++k) {
      const double at = (k + 1 - carry_before) / per_vbl;
      tos.isr_times[k] = at < 0.999 ? at : 0.999;
    }
    tos.isr_time_count = count;
  }
  u32 handler;
  if (count > 0 && handler_installed(vector_timer_c, handler) &&
      tos_mfp_enabled(mfp_ierb, mfp_imrb, mfp_bit_timer_c)) {
    cpu_run_batch(&g_cpu, handler, count, tos.isr_time_count == count ? tos.isr_times : nullptr);
    drain_ikbd();
  }
  tos.isr_time_count = 0;
}

void mfp_timer_a() {
  const u8 control = mfp_reg(mfp_tacr);
  u32 handler;
  if ((control & 0x0F) == 0 || !handler_installed(vector_timer_a, handler) ||
      !tos_mfp_enabled(mfp_iera, mfp_imra, mfp_bit_timer_a))
    return;
  if (is_idle_isr(handler)) return;
  const u8 data = mfp_reg(mfp_tadr);
  const int prescale = MFP_PRESCALE[control & 7];
  const double calls = mfp_clock_hz / ((data ? data : 256) * (prescale ? prescale : 1)) / vbl_rate();
  if (!(calls >= 1)) return;
  const int count = calls < timer_a_max_calls ? static_cast<int>(calls) : timer_a_max_calls;
  cpu_run_batch(&g_cpu, handler, count, nullptr);
  drain_ikbd();
}

void tos_music_tick() {
  mfp_timer_c();
  mfp_timer_a();
}
