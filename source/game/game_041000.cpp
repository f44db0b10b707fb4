// Page $41000: the YM driver's entries and its tick. Tunes start, stop and
// tick here; the tick steps the voices at the tune's tempo, runs their note
// output every tick, lays the running effects over their channels and
// writes the registers of every channel the sample player does not own.
// The host follows it through hook points (song start and stop, the music
// volume of each channel, the effect overrides, the lock tests).
#include "game/game_io.h"
#include "game/routine_kit.h"
#include "game/ym_driver.h"

using namespace st_io;

namespace {

constexpr u32 voice_b = ym_voice_a + ym_voice_size;
constexpr u32 voice_c = voice_b + ym_voice_size;

// Music images of the registers of channel A, B, C: fine period, coarse
// period, volume.
constexpr u32 image(u32 reg) { return ym_var::images + reg; }

inline void ym_write(u32 reg, u32 value) {
  wr8(ym_select, reg);
  wr8(ym_data, value);
}

// A music voice's period and volume, as the note output left them in d0.w
// and d1.b, into the images of its channel, the volume scaled down by the
// music level (15 = full).
inline void store_period(u32 fine_reg) {
  wr16(a3 + ym_var::period_scratch, d0);
  wr8(a3 + image(fine_reg), d0);
  wr8(a3 + image(fine_reg + 1), rd8(a3 + ym_var::period_scratch));
}
inline void scale_volume() {
  put<B>(d2, 15 - rd8(a3 + ym_var::level));
  put<B>(d1, sub<B>(d2, d1));
  if (cc_cs()) put<B>(d1, 0);
}

// An effect's period, noise and volume over the music's images of channel
// c; the mask byte is laid out for channel A and rotated into place.
inline void effect_override(u32 c) {
  const u32 record = a3 + ym_var::effect_records + ym_effect::record_size * c;
  wr8(a3 + image(2 * c), rd8(a3 + ym_var::effect_period + 2 * c + 1));
  wr8(a3 + image(2 * c + 1), rd8(a3 + ym_var::effect_period + 2 * c));
  put<B>(d0, rd8(record + ym_effect::mask));
  if (!(d0 & 0x08)) wr8(a3 + image(6), rd8(a3 + ym_var::effect_noise));
  put<B>(d0, c == 0 ? d0 & 0xFF : ((d0 << c | (d0 & 0xFF) >> (8 - c)) & 0xFF));
  wr8(a3 + ym_var::mixer_image, (rd8(a3 + ym_var::mixer_image) | 0x09u << c) & d0);
  wr8(a3 + image(8 + c), rd8(a3 + ym_var::effect_volume + c));
}

// Registers fine, coarse and volume of channel c from their images.
inline void write_channel(u32 c) {
  ym_write(2 * c, rd8(a3 + image(2 * c)));
  ym_write(2 * c + 1, rd8(a3 + image(2 * c + 1)));
  ym_write(8 + c, rd8(a3 + image(8 + c)));
  put<B>(d2, d2 | 0x09u << c);
}

} // namespace

// $41BCC: starts tune d0.b; every register kept.
ROUTINE(sub_041BCC, 0x041BCC)
  HOOK_AT(0x041BCC)
  save_regs(dregs(0, 7) | aregs(0, 6));
  JSR(0x041C20, 0x41BD4)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $41BDA: one driver tick, every register kept. An end of song inside the
// tick returns here straight from the stop.
ROUTINE(sub_041BDA, 0x041BDA)
  save_regs(dregs(0, 7) | aregs(0, 6));
  JSR(0x041D48, 0x41BE2)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $41BE8: stops the tune (silence); every register kept.
ROUTINE(sub_041BE8, 0x041BE8)
  HOOK_AT(0x041BE8)
  save_regs(dregs(0, 7) | aregs(0, 6));
  JSR(0x041FC6, 0x41BF0)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $41C04: starts effect d0.b on channel d1.b; every register kept.
ROUTINE(sub_041C04, 0x041C04)
  save_regs(dregs(0, 7) | aregs(0, 6));
  JSR(0x042D32, 0x41C0C)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $41C20: the song start proper: the old tune stopped, then each voice at
// the first pattern of its order list. The accumulator starts at $FF so
// that the first tick steps the voices for any tempo but 0. d0, d7, a0,
// a1, a3 changed.
ROUTINE(sub_041C20, 0x041C20)
  a3 = ym_driver_vars;
  JSR(0x041BE8, 0x41C28)
  ym_stream_guard_reset();
  wr8(a3 + ym_var::transpose, 0);
  ext_w(d0);
  d0 = mulu(8, d0);
  wr8(a3 + ym_var::tempo, rd8(song_table + 1 + d0));
  a0 = ym_voice_a;
  a1 = song_table + 2 + d0;
  d7 = 2;
LOOP(0x41C4C)
  wr8(a0 + ym_voice::duration, 1);
  wr8(a0 + ym_voice::flags, 0);
  wr8(a0 + ym_voice::modulation, 0);
  wr8(a0 + ym_voice::click, 0);
  wr8(a0 + ym_voice::voice_transpose, 0);
  wr32(a0 + ym_voice::arpeggio_start, ym_default_arpeggio);
  wr32(a0 + ym_voice::arpeggio, ym_default_arpeggio);
  put<W>(d0, rd16(a1));
  a1 += 2;
  wr16(a0 + ym_voice::order_list, d0);
  wr16(a0 + ym_voice::order_position, 2);
  put<W>(d0, rd16(a3 + sext16(d0)));
  wr32(a0 + ym_voice::stream, a3 + sext16(d0));
  a0 += ym_voice_size;
  if (dbf(d7)) GOTO(0x41C4C);
  wr32(a3 + ym_var::locks, 0);
  wr8(a3 + ym_var::level, 15);
  wr8(a3 + ym_var::fade_speed, 0);
  wr8(a3 + ym_var::tempo_accumulator, 0xFF);
  wr8(a3 + ym_var::tune_flag, 0xFF);
  RTS();
END_ROUTINE

// $41D48: the tick, at Timer C's 48.57 Hz: effects, then (while a tune
// plays) the fade, the voices' sequencing steps at the tempo and every
// voice's note output, then the effect overrides and the register output.
// An end of song drops out of it to the stop, which returns to the tick's
// caller. d0-d7, a0-a3 changed.
ROUTINE(sub_041D48, 0x041D48)
  a3 = ym_driver_vars;
  if (rd8(a3 + ym_var::tune_flag) != 0) GOTO(0x41D5C);
  if (rd32(a3 + ym_var::effect_on) != 0) GOTO(0x41D5C);
  RTS();
HERE(0x41D5C)
  JSR(0x042E82, 0x41D60)
  if (rd8(a3 + ym_var::tune_flag) == 0) GOTO(0x41E30);

  // Fade: one level step every fade-speed ticks; level 0 ends the tune.
  if (rd8(a3 + ym_var::fade_speed) == 0) GOTO(0x41D8A);
  if (rd8(a3 + ym_var::level) == 0) JMP(0x042090);
  wr8(a3 + ym_var::fade_counter, rd8(a3 + ym_var::fade_counter) - 1);
  if ((rd8(a3 + ym_var::fade_counter)) != 0) GOTO(0x41D8A);
  wr8(a3 + ym_var::level, rd8(a3 + ym_var::level) - 1);
  if (rd8(a3 + ym_var::level) == 0) JMP(0x042090);
  wr8(a3 + ym_var::fade_counter, rd8(a3 + ym_var::fade_speed));
HERE(0x41D8A)
  wr8(a3 + ym_var::noise_period, rd8(a3 + ym_var::noise_note));

  // Tempo: a carry out of the accumulator is one sequencing step.
  {
    const u32 sum = rd8(a3 + ym_var::tempo_accumulator) + rd8(a3 + ym_var::tempo);
    wr8(a3 + ym_var::tempo_accumulator, sum);
    if (sum < 0x100) GOTO(0x41DB6);
  }
  a0 = ym_voice_a;
  JSR(0x042180, 0x41DA2)
  a0 = voice_b;
  JSR(0x042180, 0x41DAC)
  a0 = voice_c;
  JSR(0x042180, 0x41DB6)
  wr8(a3 + ym_var::level, rd8(a3 + ym_var::level) & 0x0F);

  // Note output of every voice, every tick.
  a0 = ym_voice_a;
  JSR(0x042282, 0x41DC8)
  store_period(0);
  scale_volume();
  HOOK(0x041DD8)
  wr8(a3 + image(8), d1);
  HOOK(0x041DDC)
  a0 = voice_b;
  JSR(0x042282, 0x41DF0)
  store_period(2);
  scale_volume();
  HOOK(0x041E00)
  wr8(a3 + image(9), d1);
  HOOK(0x041E04)
  a0 = voice_c;
  JSR(0x042282, 0x41E18)
  store_period(4);
  scale_volume();
  HOOK(0x041E28)
  wr8(a3 + image(10), d1);
  HOOK(0x041E2C)
  wr8(a3 + image(6), rd8(a3 + ym_var::noise_period));

  // The effects over their channels.
HERE(0x41E30)
  if (rd8(a3 + ym_var::effect_on) != 0) effect_override(0);
  HOOK(0x041E68)
  if (rd8(a3 + ym_var::effect_on + 1) != 0) effect_override(1);
  HOOK(0x041E9C)
  if (rd8(a3 + ym_var::effect_on + 2) != 0) effect_override(2);
  HOOK(0x041ED0)
  wr8(a3 + ym_var::mixer_image, rd8(a3 + ym_var::mixer_image) & 0x3F);

  // Register output, interrupts masked so that no sample interrupt comes
  // between a select and its data. d2 collects the channels written.
  put<W>(d1, get_sr());
  set_sr(0x2700);
  d2 = 0;
  tst<L>(rd32(a3 + ym_var::locks));
  HOOK(0x041EE2)
  if (cc_ne()) GOTO(0x41EEE);
  ym_write(6, rd8(a3 + image(6)));
HERE(0x41EEE)
  tst<B>(rd8(a3 + ym_var::locks));
  HOOK(0x041EF8)
  if (cc_ne()) GOTO(0x41F2A);
  write_channel(0);
HERE(0x41F2A)
  tst<B>(rd8(a3 + ym_var::locks + 1));
  HOOK(0x041F32)
  if (cc_ne()) GOTO(0x41F64);
  write_channel(1);
HERE(0x41F64)
  if (rd8(a3 + ym_var::locks + 2) != 0) GOTO(0x41F9A);
  write_channel(2);
HERE(0x41F9A)
  wr8(ym_select, 7);
  put<B>(d0, rd8(ym_select));
  wr8(ym_data, (rd8(a3 + ym_var::mixer_image) & d2) | (d0 & ~d2 & 0xFF));
  set_sr(d1 & 0xFFFF);
  RTS();
END_ROUTINE

// $41FC6: silence: the tune flag and the effects off, the mixer all off and
// the three volumes 0, on the chip and in the images. The voices, level,
// locks and fade stay. d1, d2, a3 changed.
ROUTINE(sub_041FC6, 0x041FC6)
  wr8(ym_driver_vars + ym_var::tune_flag, 0);
  a3 = ym_driver_vars;
  wr32(a3 + ym_var::effect_on, 0);
  wr8(a3 + ym_var::mixer_image, 0x3F);
  wr8(a3 + image(8), 0);
  wr8(a3 + image(9), 0);
  wr8(a3 + image(10), 0);
  put<W>(d2, get_sr());
  set_sr(0x2700);
  wr8(ym_select, 7);
  put<B>(d1, rd8(ym_select) | 0x3F);
  wr8(ym_data, d1);
  ym_write(8, 0);
  ym_write(9, 0);
  ym_write(10, 0);
  set_sr(d2 & 0xFFFF);
  RTS();
END_ROUTINE
