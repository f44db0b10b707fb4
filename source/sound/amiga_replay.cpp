// The Amiga replay's routines. They keep the 68000 model of the game's
// routines (register globals, calls that push their return address on the
// Amiga stack and check ret_addr afterwards, resume labels) but reach the
// Amiga's 512 KB memory and chip registers through accessors of their own.
// All state lives in the music block in amem; a3 holds its base.
#include <array>

#include "machine/coroutine.h"
#include "machine/cpu_alu.h"
#include "sound/amiga_player.h"
#include "sound/amiga_replay.h"
#include "sound/amiga_replay_memory.h"

// Resume labels are cases of each routine's switch and goto targets at
// once; not every one is a goto target.
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wunused-label"

u32 bkam_foreign_resumes = 0;

using namespace amiga_replay_memory;

namespace {

inline u32 take_resume() {
  const u32 r = resume_pc;
  resume_pc = 0;
  return r;
}

// --- the hardware the replay writes --------------------------------------------

constexpr u32 ciaa_pra = 0xBFE001;
constexpr u32 dmacon = 0xDFF096;
constexpr u32 adkcon = 0xDFF09E;
constexpr u32 aud0 = 0xDFF0A0; // AUDxLC; + 16 per channel
constexpr u32 custom = 0xDFF000;
enum : u32 { aud_lc = 0, aud_len = 4, aud_per = 6, aud_vol = 8 };
constexpr u32 shortest_effect_period = 124;

// Offsets from the base in a3.
constexpr u32 at(u32 address) { return address - bkam_base; }

// The tick body's re-entry points, where the command handlers continue the
// tick (a branch into the tick body is a tail call of it at that label).
constexpr u32 tick_row = 0x51A62;       // read the voice's next stream byte
constexpr u32 tick_note_tail = 0x51BF6; // save the stream, reload the countdown, DMA on
constexpr u32 tick_next_voice = 0x51C04;

// Stop and the end of a tune: every effect idle, no channel the music's
// or claimed.
inline void release_channels() {
  for (u32 n = 0; n < 4; ++n) {
    wr8(a3 + at(bkam_sfx_channels) + n * bkam_sfx_channel_size + sfx_active, 0);
    wr8(a3 + at(bkam_shadows) + n * bkam_shadow_size + shadow_music, 0);
    wr8(a3 + at(bkam_shadows) + n * bkam_shadow_size + shadow_claimed, 0);
  }
}

inline void continue_tick_at(u32 label) {
  resume_pc = label;
  bkam_051918();
}

} // namespace

#define AM_CAT_(a, b) a##b
#define AM_LABEL_NAME_(addr) AM_CAT_(L_, addr)
// A routine runs from its entry when resume_pc is 0 or names a label it
// does not own.
#define AM_ROUTINE(name)                \
  void name() {                         \
    const u32 am_resume_ = take_resume(); \
    switch (am_resume_) {               \
      default:                          \
        ++bkam_foreign_resumes;         \
      case 0:
#define AM_END \
  }            \
  }
#define AM_LABEL(addr) \
  case addr:           \
    AM_LABEL_NAME_(addr) :
#define AM_GOTO(addr) goto AM_LABEL_NAME_(addr)
// A branch target that is never resumed at.
#define AM_HERE(addr) AM_CAT_(H_, addr) :
#define AM_HERE_GOTO(addr) goto AM_CAT_(H_, addr)
#define AM_JSR(routine, ret)     \
  push32(ret);                   \
  routine();                     \
  if (ret_addr != (ret)) return; \
  AM_LABEL(ret)
#define AM_RTS()        \
  do {                  \
    ret_addr = pop32(); \
    return;             \
  } while (0)
#define AM_TAIL(routine) \
  do {                   \
    routine();           \
    return;              \
  } while (0)

// --- entry vector -----------------------------------------------------------------

// $51762: start tune d0.b.
AM_ROUTINE(bkam_051762)
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 6));
  AM_JSR(bkam_0517C0, 0x5176A)
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 6));
  AM_RTS();
AM_END

// $51770: one tick of the music and the sound effects.
AM_ROUTINE(bkam_051770)
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 6));
  AM_JSR(bkam_051918, 0x51778)
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 6));
  AM_RTS();
AM_END

// $5177E: silence and stop.
AM_ROUTINE(bkam_05177E)
  push32(a3);
  AM_JSR(bkam_05185E, 0x51784)
  a3 = pop32();
  AM_RTS();
AM_END

// $5178C: continue a stopped tune.
AM_ROUTINE(bkam_05178C)
  save_regs(dregs(1, 1) | dregs(7, 7) | aregs(3, 3));
  AM_JSR(bkam_0518D6, 0x51794)
  restore_regs(dregs(1, 1) | dregs(7, 7) | aregs(3, 3));
  AM_RTS();
AM_END

// $5179A: start a sound effect; the call returns into the common exit.
AM_ROUTINE(bkam_05179A)
  save_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 6));
  push32(0x517A2);
  bkam_052956();
  if (ret_addr != 0x517A2) return;
  AM_TAIL(bkam_0517A2);
AM_END

// $517A2: the common exit.
AM_ROUTINE(bkam_0517A2)
  restore_regs(dregs(0, 3) | dregs(7, 7) | aregs(0, 6));
  AM_RTS();
AM_END

// $517A8: end all sound effects at their next tick.
AM_ROUTINE(bkam_0517A8)
  push32(a3);
  AM_JSR(bkam_0518B8, 0x517AE)
  a3 = pop32();
  AM_RTS();
AM_END

// --- start, stop, continue -------------------------------------------------------

// $517C0: filter off, stop, samples set up once, the song entry's speed,
// tempo and order lists into the four voices, playing.
AM_ROUTINE(bkam_0517C0)
  a3 = bkam_base;
  wr8(ciaa_pra, rd8(ciaa_pra) | 0x02);
  AM_JSR(bkam_05185E, 0x517D2)
  a3 = bkam_base;
  if (rd8(a3 + at(bkam_samples_ready)) != 0) AM_HERE_GOTO(0x517E6);
  AM_JSR(bkam_0528E2, 0x517E2)
AM_HERE(0x517E6)
  wr8(a3 + at(bkam_transpose), 0);
  ext_w(d0);
  put<W>(d0, mulu(bkam_song_size, d0 & 0xFFFF));
  a1 = adda<W>(d0, a3 + at(bkam_songs));
  d1 = sext8(rd8(a1));
  wr16(a3 + at(bkam_speed), d1);
  d1 = rd8(a1 + 1);
  wr8(a3 + at(bkam_tempo), d1);
  wr8(a3 + at(bkam_tempo_copy), d1);
  a1 += 2;
  a0 = a3 + at(bkam_voices);
  d7 = 3;
  do {
    wr16(a0 + voice_countdown, 1);
    wr8(a0 + voice_flags, 0);
    wr8(a0 + voice_vibrato, 0);
    wr8(a0 + voice_transpose, 0);
    wr8(a0 + voice_loop_done, 0xFF);
    wr32(a0 + voice_arp_start, a3 + at(bkam_first_arpeggio));
    wr32(a0 + voice_arp_ptr, a3 + at(bkam_first_arpeggio));
    d1 = rd16(a1);
    a1 += 2;
    wr16(a0 + voice_order, d1);
    wr16(a0 + voice_order_pos, 2);
    wr32(a0 + voice_stream, a3 + rd16(a3 + d1));
    a0 += bkam_voice_size;
  } while (dbf(d7));
  wr16(a3 + at(bkam_master), 64);
  wr8(a3 + at(bkam_fade_interval), 0);
  wr8(a3 + at(bkam_playing), 0xFF);
  wr8(a3 + at(bkam_loaded), 0xFF);
  AM_RTS();
AM_END

// $5185E: playing off, effects and shadows released, all DMA off, volumes 0.
AM_ROUTINE(bkam_05185E)
  a3 = bkam_base;
  wr8(a3 + at(bkam_playing), 0);
  release_channels();
  wr16(dmacon, 0x000F);
  wr16(adkcon, 0x00FF);
  for (u32 n = 0; n < 4; ++n) wr16(aud0 + 16 * n + aud_vol, 0);
  AM_RTS();
AM_END

// $518B8: every running effect ends at its next tick.
AM_ROUTINE(bkam_0518B8)
  a3 = bkam_base;
  for (u32 n = 0; n < 4; ++n) wr8(a3 + at(bkam_sfx_channels) + n * bkam_sfx_channel_size + sfx_duration, 1);
  AM_RTS();
AM_END

// $518D6: a loaded tune plays on with its voices where they were.
AM_ROUTINE(bkam_0518D6)
  a3 = bkam_base;
  tst<B>(rd8(a3 + at(bkam_loaded)));
  if (cc_eq()) AM_HERE_GOTO(0x51916);
  wr16(adkcon, 0x00FF);
  wr16(dmacon, 0x820F);
  wr8(a3 + at(bkam_playing), 0xFF);
AM_HERE(0x51916)
  AM_RTS();
AM_END

// --- the tick ------------------------------------------------------------------------

// $51918: playing, the 1-in-6 skip, tempo, fade-out, the pulse width of
// sample 9, the four voices (a0 voice, a4 its shadow, a5 its channel's
// registers, d7 its number, a2 its stream while a row is read), then the
// four sound-effect channels.
AM_ROUTINE(bkam_051918)
  a3 = bkam_base;
  tst<B>(rd8(a3 + at(bkam_playing)));
  if (cc_eq()) AM_HERE_GOTO(0x51C18);
  tst<B>(rd8(a3 + at(bkam_skip_on)));
  if (cc_eq()) AM_HERE_GOTO(0x51940);
  wr8(a3 + at(bkam_skip_counter), sub<B>(1, rd8(a3 + at(bkam_skip_counter))));
  if (cc_ne()) AM_HERE_GOTO(0x51940);
  wr8(a3 + at(bkam_skip_counter), 6);
  AM_RTS();
AM_HERE(0x51940)
  put<B>(d0, rd8(a3 + at(bkam_tempo)));
  wr8(a3 + at(bkam_tempo_acc), add<B>(d0, rd8(a3 + at(bkam_tempo_acc))));
  if (cc_cs()) AM_HERE_GOTO(0x51C18);
  // Fade-out.
  tst<B>(rd8(a3 + at(bkam_fade_interval)));
  if (cc_eq()) AM_HERE_GOTO(0x5198A);
  tst<W>(rd16(a3 + at(bkam_master)));
  if (cc_eq()) AM_TAIL(bkam_051CD8);
  wr8(a3 + at(bkam_fade_counter), sub<B>(1, rd8(a3 + at(bkam_fade_counter))));
  if (cc_ne()) AM_HERE_GOTO(0x5198A);
  wr16(a3 + at(bkam_master), sub<W>(1, rd16(a3 + at(bkam_master))));
  if (cc_eq()) AM_TAIL(bkam_051CD8);
  wr8(a3 + at(bkam_fade_counter), rd8(a3 + at(bkam_fade_interval)));
AM_HERE(0x5198A)
  // Pulse width of sample 9: a $C0 part that grows and shrinks.
  a1 = rd32(a3 + at(bkam_samples) + 9 * bkam_sample_size + sample_start);
  put<W>(d1, rd16(a3 + at(bkam_pulse_pos)));
  tst<W>(rd16(a3 + at(bkam_pulse_dir)));
  if (cc_ne()) AM_HERE_GOTO(0x519B4);
  wr16(a1 + (d1 & 0xFFFF), 0xC0C0);
  put<W>(d1, add<W>(2, d1));
  wr16(a3 + at(bkam_pulse_pos), d1);
  cmp<W>(48, d1);
  if (cc_ne()) AM_HERE_GOTO(0x519C6);
  wr16(a3 + at(bkam_pulse_dir), 0xFFFF);
  AM_HERE_GOTO(0x519C6);
AM_HERE(0x519B4)
  wr16(a1 + (d1 & 0xFFFF), 0x3F3F);
  put<W>(d1, sub<W>(2, d1));
  wr16(a3 + at(bkam_pulse_pos), d1);
  cmp<W>(32, d1);
  if (cc_ne()) AM_HERE_GOTO(0x519C6);
  wr16(a3 + at(bkam_pulse_dir), 0);
AM_HERE(0x519C6)
  a0 = a3 + at(bkam_voices);
  a4 = a3 + at(bkam_shadows);
  a5 = aud0;
  d7 = 0;
AM_HERE(0x519D4)
  // a. The channel belongs to the music.
  wr8(a4 + shadow_music, 0xFF);
  // b. The loop registers of the note started at the last music step.
  tst<B>(rd8(a0 + voice_loop_done));
  if (cc_ne()) AM_HERE_GOTO(0x51A1E);
  wr8(a0 + voice_loop_done, 0xFF);
  a1 = rd32(a0 + voice_sample);
  d1 = move<L>(rd32(a1 + sample_loop));
  if (cc_pl()) AM_HERE_GOTO(0x519FC);
  d2 = rd32(a3 + at(bkam_silent));
  d3 = 32;
  AM_HERE_GOTO(0x51A0A);
AM_HERE(0x519FC)
  d2 = rd32(a1 + sample_start) + d1;
  put<W>(d3, rd16(a1 + sample_length));
  put<W>(d3, sub<W>(lsr<L>(d1, 1), d3));
AM_HERE(0x51A0A)
  wr32(a4 + shadow_location, d2);
  wr16(a4 + shadow_length, d3);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_HERE_GOTO(0x51A1E);
  wr32(a5 + aud_lc, d2);
  wr16(a5 + aud_len, d3);
AM_HERE(0x51A1E)
  // c. Countdown to the next row; the last step of a note turns its DMA off.
  put<W>(d1, sub<W>(1, rd16(a0 + voice_countdown)));
  wr16(a0 + voice_countdown, d1);
  if (cc_eq()) AM_HERE_GOTO(0x51A5A);
  cmp<W>(1, d1);
  if (cc_ne()) AM_HERE_GOTO(0x51AE4);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_GOTO(tick_next_voice);
  a2 = rd32(a0 + voice_stream);
  cmp<B>(0x83, rd8(a2));
  if (cc_eq()) AM_GOTO(tick_next_voice);
  d1 = 1u << d7;
  wr16(dmacon, d1);
  AM_GOTO(tick_next_voice);
AM_HERE(0x51A5A)
  // 7. The row: bytes up to a note, a rest or a tie.
  wr8(a0 + voice_flags, 0);
  a2 = rd32(a0 + voice_stream);
AM_LABEL(tick_row)
  d0 = 0;
  put<B>(d0, rd8(a2));
  a2 += 1;
  tst<B>(d0);
  if (cc_pl()) AM_HERE_GOTO(0x51BB0);
  cmp<B>(0xE0, d0);
  if (cc_cs()) AM_HERE_GOTO(0x51A84);
  put<W>(d1, sub<W>(0xDF, d0 & 0xFF));
  put<W>(d1, mulu(rd16(a3 + at(bkam_speed)), d1));
  wr16(a0 + voice_duration, d1);
  AM_GOTO(tick_row);
AM_HERE(0x51A84)
  cmp<B>(0xB0, d0);
  if (cc_cs()) AM_HERE_GOTO(0x51A9A);
  put<W>(d1, sub<W>(0xB0, d0 & 0xFF));
  put<W>(d1, mulu(bkam_sample_size, d1));
  wr32(a0 + voice_sample, a3 + at(bkam_samples) + (d1 & 0xFFFF));
  AM_GOTO(tick_row);
AM_HERE(0x51A9A)
  cmp<B>(0xA0, d0);
  if (cc_cs()) AM_HERE_GOTO(0x51AB8);
  put<W>(d1, lsl<W>(sub<W>(0xA0, d0 & 0xFF), 1));
  a1 = a3 + rd16(a3 + at(bkam_envelopes) + (d1 & 0xFFFF));
  wr32(a0 + voice_env_start, a1);
  wr8(a0 + voice_env_interval, rd8(a1 - 1));
  AM_GOTO(tick_row);
AM_HERE(0x51AB8)
  cmp<B>(0x90, d0);
  if (cc_cs()) AM_HERE_GOTO(0x51AD0);
  put<W>(d1, lsl<W>(sub<W>(0x90, d0 & 0xFF), 1));
  a1 = a3 + rd16(a3 + at(bkam_arpeggios) + (d1 & 0xFFFF));
  wr32(a0 + voice_arp_start, a1);
  wr32(a0 + voice_arp_ptr, a1);
  AM_GOTO(tick_row);
AM_HERE(0x51AD0)
  // A command: the only computed jump; the handler finishes the tick.
  put<W>(d1, lsl<W>(sub<W>(0x80, d0 & 0xFF), 1));
  am_call_dynamic(a3 + rd16(a3 + at(bkam_commands) + (d1 & 0xFFFF)));
  return;
AM_HERE(0x51AE4)
  // d. Effects: arpeggio, slide, vibrato, envelope.
  a1 = rd32(a0 + voice_arp_ptr);
  d2 = rd8(a1);
  a1 += 1;
  tst<B>(d2);
  if (cc_pl()) AM_HERE_GOTO(0x51AF6);
  a1 = rd32(a0 + voice_arp_start);
AM_HERE(0x51AF6)
  wr32(a0 + voice_arp_ptr, a1);
  d0 = rd8(a0 + voice_note) + rd8(a3 + at(bkam_transpose)) + rd8(a0 + voice_transpose) + (d2 & 0x7F);
  d0 &= 0xFF;
  a1 = rd32(a0 + voice_sample);
  d1 = mulu(rd16(a1 + sample_period), rd16(a3 + at(bkam_note_factors) + 2 * d0));
  d1 = lsr<L>(d1, 10);
  if ((rd8(a0 + voice_flags) & 0x02) == 0) AM_HERE_GOTO(0x51B48);
  tst<B>(rd8(a0 + voice_slide_delay));
  if (cc_eq()) AM_HERE_GOTO(0x51B36);
  wr8(a0 + voice_slide_delay, sub<B>(1, rd8(a0 + voice_slide_delay)));
  AM_HERE_GOTO(0x51B48);
AM_HERE(0x51B36)
  put<W>(d2, sext8(rd8(a0 + voice_slide_speed)));
  put<W>(d2, add<W>(rd16(a0 + voice_slide_acc), d2));
  wr16(a0 + voice_slide_acc, d2);
  put<W>(d1, sub<W>(d2, d1));
AM_HERE(0x51B48)
  put<B>(d3, rd8(a0 + voice_vibrato));
  tst<B>(d3);
  if (cc_eq()) AM_HERE_GOTO(0x51B8A);
  put<B>(d2, rd8(a0 + voice_vib_offset));
  btst<B>(7, d3);
  if (cc_eq()) AM_HERE_GOTO(0x51B68);
  put<B>(d2, add<B>(rd8(a0 + voice_vib_speed), d2));
  cmp<B>(rd8(a0 + voice_vib_depth), d2);
  if (cc_ne()) AM_HERE_GOTO(0x51B70);
  put<B>(d3, bchg<B>(7, d3));
  AM_HERE_GOTO(0x51B70);
AM_HERE(0x51B68)
  put<B>(d2, sub<B>(rd8(a0 + voice_vib_speed), d2));
  if (cc_ne()) AM_HERE_GOTO(0x51B70);
  put<B>(d3, bchg<B>(7, d3));
AM_HERE(0x51B70)
  wr8(a0 + voice_vib_offset, d2);
  tst<B>(d2);
  if (cc_ne()) AM_HERE_GOTO(0x51B7A);
  put<B>(d3, bchg<B>(0, d3));
AM_HERE(0x51B7A)
  wr8(a0 + voice_vibrato, d3);
  ext_w(d2);
  btst<B>(0, d3);
  if (cc_eq()) AM_HERE_GOTO(0x51B86);
  put<W>(d1, add<W>(d2, d1));
  AM_HERE_GOTO(0x51B8A);
AM_HERE(0x51B86)
  put<W>(d1, sub<W>(d2, d1));
AM_HERE(0x51B8A)
  wr16(a4 + shadow_period, d1);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_HERE_GOTO(0x51B94);
  wr16(a5 + aud_per, d1);
AM_HERE(0x51B94)
  // The envelope: each entry lasts interval + 1 music steps; a held entry
  // (bit 7) keeps the pointer on it.
  put<B>(d2, sub<B>(1, rd8(a0 + voice_env_counter)));
  wr8(a0 + voice_env_counter, d2);
  if (cc_cc()) AM_GOTO(tick_next_voice);
  wr8(a0 + voice_env_counter, rd8(a0 + voice_env_interval));
  a1 = rd32(a0 + voice_env_ptr);
  d2 = rd8(a1);
  if (d2 & 0x80) AM_HERE_GOTO(0x51BA6);
  wr32(a0 + voice_env_ptr, a1 + 1);
AM_HERE(0x51BA6)
  put<W>(d2, mulu(d2 & 0x7F, rd16(a3 + at(bkam_master))));
  put<W>(d2, lsr<W>(d2, 6));
  wr16(a4 + shadow_volume, d2);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_GOTO(tick_next_voice);
  wr16(a5 + aud_vol, d2);
  AM_GOTO(tick_next_voice);
AM_HERE(0x51BB0)
  // A note: sample, envelope and period start afresh.
  wr8(a0 + voice_note, d0);
  d0 = (d0 + rd8(a3 + at(bkam_transpose)) + rd8(a0 + voice_transpose)) & 0xFF;
  a1 = rd32(a0 + voice_env_start);
  d2 = rd8(a1);
  wr32(a0 + voice_env_ptr, a1 + 1);
  wr8(a0 + voice_env_counter, rd8(a0 + voice_env_interval));
  put<W>(d2, muls(sext8(d2), rd16(a3 + at(bkam_master))));
  put<W>(d2, lsr<W>(d2, 6));
  a1 = rd32(a0 + voice_sample);
  wr32(a4 + shadow_location, rd32(a1 + sample_start));
  wr16(a4 + shadow_length, rd16(a1 + sample_length));
  wr16(a4 + shadow_volume, d2);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_HERE_GOTO(0x51BE0);
  wr32(a5 + aud_lc, rd32(a1 + sample_start));
  wr16(a5 + aud_len, rd16(a1 + sample_length));
  wr16(a5 + aud_vol, d2);
AM_HERE(0x51BE0)
  d1 = mulu(rd16(a1 + sample_period), rd16(a3 + at(bkam_note_factors) + 2 * d0));
  d1 = lsr<L>(d1, 10);
  wr16(a4 + shadow_period, d1);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_HERE_GOTO(0x51BF0);
  wr16(a5 + aud_per, d1);
AM_HERE(0x51BF0)
  wr8(a0 + voice_loop_done, 0);
AM_LABEL(tick_note_tail)
  wr32(a0 + voice_stream, a2);
  wr16(a0 + voice_countdown, rd16(a0 + voice_duration));
  d1 = 0x8200 | 1u << d7;
  wr16(dmacon, d1);
AM_LABEL(tick_next_voice)
  a0 += bkam_voice_size;
  a4 += bkam_shadow_size;
  a5 += 16;
  d7 += 1;
  cmp<W>(4, d7);
  if (cc_ne()) AM_HERE_GOTO(0x519D4);
AM_HERE(0x51C18)
  // 8. The sound-effect channels.
  d7 = 0;
AM_HERE(0x51C1C)
  a1 = a3 + at(bkam_sfx_channels) + bkam_sfx_channel_size * d7;
  tst<B>(rd8(a1 + sfx_active));
  if (cc_eq()) AM_HERE_GOTO(0x51C4E);
  a0 = custom + 16 * d7;
  d2 = 1u << d7;
  a4 = a3 + at(bkam_shadows) + bkam_shadow_size * d7;
  AM_JSR(bkam_052AA6, 0x51C48)
  a3 = bkam_base;
AM_HERE(0x51C4E)
  d7 += 1;
  cmp<W>(4, d7);
  if (cc_ne()) AM_HERE_GOTO(0x51C1C);
  AM_RTS();
AM_END

// --- sequence commands: each continues the tick where the tick body would -------

// $51C6C: the voice's next sequence from its order list (0 ends the list and
// starts it again).
AM_ROUTINE(bkam_051C6C)
  a1 = a3 + rd16(a0 + voice_order);
  put<W>(d1, rd16(a0 + voice_order_pos));
  put<W>(d2, move<W>(rd16(a1 + (d1 & 0xFFFF))));
  if (cc_ne()) AM_HERE_GOTO(0x51C86);
  put<W>(d2, rd16(a1));
  put<W>(d1, 0);
AM_HERE(0x51C86)
  put<W>(d1, add<W>(2, d1));
  wr16(a0 + voice_order_pos, d1);
  a2 = a3 + (d2 & 0xFFFF);
  continue_tick_at(tick_row);
AM_END

// $51C92: slide with speed and delay.
AM_ROUTINE(bkam_051C92)
  wr16(a0 + voice_slide_acc, 0);
  wr8(a0 + voice_slide_speed, rd8(a2));
  wr8(a0 + voice_slide_delay, rd8(a2 + 1));
  a2 += 2;
  wr8(a0 + voice_flags, rd8(a0 + voice_flags) | 0x02);
  continue_tick_at(tick_row);
AM_END

// $51CA8: a rest: the sample ends its pass, then the silent loop.
AM_ROUTINE(bkam_051CA8)
  wr16(a0 + voice_countdown, rd16(a0 + voice_duration));
  wr32(a0 + voice_stream, a2);
  d2 = rd32(a3 + at(bkam_silent));
  wr32(a4 + shadow_location, d2);
  wr16(a4 + shadow_length, 32);
  tst<B>(rd8(a4 + shadow_claimed));
  if (cc_ne()) AM_HERE_GOTO(0x51CCE);
  wr32(a5 + aud_lc, d2);
  wr16(a5 + aud_len, 32);
AM_HERE(0x51CCE)
  continue_tick_at(tick_next_voice);
AM_END

// $51CD4: a tie: the note goes on without a new sample, period or envelope.
AM_ROUTINE(bkam_051CD4)
  continue_tick_at(tick_note_tail);
AM_END

// $51CD8: the end of a faded-out tune.
AM_ROUTINE(bkam_051CD8)
  a3 = bkam_base;
  wr8(a3 + at(bkam_loaded), 0);
  wr8(a3 + at(bkam_playing), 0);
  release_channels();
  wr16(dmacon, 0x000F);
  wr16(adkcon, 0x00FF);
  AM_RTS();
AM_END

// $51D12: global transpose.
AM_ROUTINE(bkam_051D12)
  wr8(a3 + at(bkam_transpose), rd8(a2));
  a2 += 1;
  continue_tick_at(tick_row);
AM_END

// $51D1A: vibrato on with speed and depth.
AM_ROUTINE(bkam_051D1A)
  wr8(a0 + voice_vibrato, 0xFF);
  wr8(a0 + voice_vib_speed, rd8(a2));
  wr8(a0 + voice_vib_depth, rd8(a2 + 1));
  a2 += 2;
  wr8(a0 + voice_vib_offset, 0);
  continue_tick_at(tick_row);
AM_END

// $51D2E: vibrato off.
AM_ROUTINE(bkam_051D2E)
  wr8(a0 + voice_vibrato, 0);
  continue_tick_at(tick_row);
AM_END

// $51D36: voice transpose.
AM_ROUTINE(bkam_051D36)
  wr8(a0 + voice_transpose, rd8(a2));
  a2 += 1;
  continue_tick_at(tick_row);
AM_END

// $51D3E: another order list, read from its start at the next sequence.
AM_ROUTINE(bkam_051D3E)
  put<W>(d1, rd8(a2) << 8 | rd8(a2 + 1));
  a2 += 2;
  wr16(a0 + voice_order, d1);
  wr16(a0 + voice_order_pos, 0);
  continue_tick_at(tick_row);
AM_END

// $51D50: speed.
AM_ROUTINE(bkam_051D50)
  wr16(a3 + at(bkam_speed), sext8(rd8(a2)));
  a2 += 1;
  continue_tick_at(tick_row);
AM_END

// $51D5C: fade out, one volume step every that many music steps.
AM_ROUTINE(bkam_051D5C)
  put<B>(d1, rd8(a2));
  a2 += 1;
  wr8(a3 + at(bkam_fade_interval), d1);
  wr8(a3 + at(bkam_fade_counter), d1);
  continue_tick_at(tick_row);
AM_END

// --- samples ------------------------------------------------------------------------

// $528E2: the ten sample headers into the sample records, the silent area
// after them, and sample 9 made a pulse wave.
AM_ROUTINE(bkam_0528E2)
  a3 = bkam_base;
  a1 = a3 + at(bkam_sample_data);
  a0 = a3 + at(bkam_samples);
  d7 = 9;
  do {
    d1 = rd32(a1);
    put<W>(d2, rd16(a1 + 4));
    a1 += 6;
    wr32(a0 + sample_start, a1);
    wr16(a0 + sample_length, lsr<L>(d1, 1));
    d3 = 3579545;
    if ((d2 & 0xFFFF) == 0)
      cpu_trap_zerodiv();
    else
      d3 = divu(d2, d3);
    wr16(a0 + sample_period, d3);
    a1 += d1;
    a0 += bkam_sample_size;
  } while (dbf(d7));
  wr32(a3 + at(bkam_silent), a1);
  wr32(a3 + at(bkam_waveform), a1 + 64);
  wr8(a3 + at(bkam_samples_ready), 0xFF);
  a0 = a3 + at(bkam_samples) + 9 * bkam_sample_size;
  a1 = rd32(a0 + sample_start);
  for (u32 i = 0; i < 32; ++i) {
    wr8(a1 + i, 0xC0);
    wr8(a1 + 32 + i, 0x3F);
  }
  wr16(a0 + sample_length, 32);
  wr16(a3 + at(bkam_pulse_pos), 32);
  wr16(a3 + at(bkam_pulse_dir), 0);
  AM_RTS();
AM_END

// --- sound-effect channels ----------------------------------------------------------

// $52956: d0.w = channel << 8 | effect: the channel is claimed and silenced,
// the definition copied into its record; its first tick starts the DMA.
AM_ROUTINE(bkam_052956)
  a3 = bkam_base;
  wr8(ciaa_pra, rd8(ciaa_pra) | 0x02);
  wr16(adkcon, 0x00FF);
  put<W>(d0, and_<W>(0x03FF, d0));
  wr16(a3 + at(bkam_last_effect), d0);
  d7 = (d0 >> 8) & 3;
  a1 = a3 + at(bkam_sfx_channels) + bkam_sfx_channel_size * d7;
  wr8(a1 + sfx_active, 0);
  tst<B>(rd8(a3 + at(bkam_samples_ready)));
  if (cc_ne()) AM_HERE_GOTO(0x52982);
  AM_JSR(bkam_0528E2, 0x5297E)
  a3 = bkam_base;
  d7 = (d0 >> 8) & 3; // the set-up used d7
AM_HERE(0x52982)
  a4 = a3 + at(bkam_shadows) + bkam_shadow_size * d7;
  wr8(a4 + shadow_claimed, 0xFF);
  a0 = a3 + at(bkam_sfx_definitions) + bkam_sfx_definition_size * sext8(d0);
  a1 = a3 + at(bkam_sfx_channels) + bkam_sfx_channel_size * d7;
  d2 = 1u << d7;
  a5 = aud0 + 16 * d7;
  wr16(a5 + aud_len, 1);
  wr16(a5 + aud_per, shortest_effect_period);
  AM_JSR(bkam_052A3A, 0x529C2)
  wr16(dmacon, d2);
  AM_JSR(bkam_052A3A, 0x529CC)
  for (u32 i = 0; i < bkam_sfx_definition_size; ++i) wr8(a1 + i, rd8(a0 + i));
  wr16(a5 + aud_len, rd16(a1 + sfx_wave_length));
  wr8(a1 + sfx_reset_counter, rd8(a1 + sfx_reset_interval));
  wr8(a1 + sfx_pattern_counter, rd8(a1 + sfx_pattern_interval));
  wr8(a1 + sfx_volume_counter, 1);
  d1 = sext8(rd8(a1 + sfx_volume_list));
  wr32(a1 + sfx_volume_ptr, a3 + rd16(a3 + at(bkam_volume_lists) + 2 * d1));
  AM_JSR(bkam_052A3A, 0x52A30)
  wr8(a1 + sfx_active, 0xFF);
  AM_RTS();
AM_END

// $52A3A: lets time pass between Paula writes (513 turns).
AM_ROUTINE(bkam_052A3A)
  put<W>(d0, 0x200);
  while (dbf(d0)) {
  }
  AM_RTS();
AM_END

// $52AA6: one tick of an effect channel: a1 its record, a0 = $DFF000 + 16 x
// channel, d2 its bit, a4 the channel's shadow.
AM_ROUTINE(bkam_052AA6)
  // 1. Duration.
  tst<B>(rd8(a1 + sfx_duration));
  if (cc_eq()) AM_HERE_GOTO(0x52AB8);
  wr8(a1 + sfx_duration, sub<B>(1, rd8(a1 + sfx_duration)));
  if (cc_eq()) AM_HERE_GOTO(0x52B3A);
AM_HERE(0x52AB8)
  put<W>(d1, rd16(a1 + sfx_period));
  // 2. Pattern steps, chosen by the bit rotated out.
  tst<B>(rd8(a1 + sfx_pattern_interval));
  if (cc_eq()) AM_HERE_GOTO(0x52AE8);
  wr8(a1 + sfx_pattern_counter, sub<B>(1, rd8(a1 + sfx_pattern_counter)));
  if (cc_ne()) AM_HERE_GOTO(0x52AE8);
  wr8(a1 + sfx_pattern_counter, rd8(a1 + sfx_pattern_interval));
  wr8(a1 + sfx_pattern_bits, ror<B>(rd8(a1 + sfx_pattern_bits), 1));
  if (cc_cs()) AM_HERE_GOTO(0x52AE2);
  put<W>(d1, add<W>(rd16(a1 + sfx_step_a), d1));
  AM_HERE_GOTO(0x52AE8);
AM_HERE(0x52AE2)
  put<W>(d1, add<W>(rd16(a1 + sfx_step_b), d1));
AM_HERE(0x52AE8)
  // 3. Slide; 4. the periodic reset after it.
  put<W>(d1, add<W>(rd16(a1 + sfx_slide), d1));
  tst<B>(rd8(a1 + sfx_reset_interval));
  if (cc_eq()) AM_HERE_GOTO(0x52B04);
  wr8(a1 + sfx_reset_counter, sub<B>(1, rd8(a1 + sfx_reset_counter)));
  if (cc_ne()) AM_HERE_GOTO(0x52B04);
  wr8(a1 + sfx_reset_counter, rd8(a1 + sfx_reset_interval));
  put<W>(d1, rd16(a1 + sfx_reset_period));
AM_HERE(0x52B04)
  wr16(a1 + sfx_period, d1);
  // 5. The volume list: 0 ends the effect, bit 7 holds.
  wr8(a1 + sfx_volume_counter, sub<B>(1, rd8(a1 + sfx_volume_counter)));
  if (cc_ne()) AM_HERE_GOTO(0x52B22);
  wr8(a1 + sfx_volume_counter, rd8(a1 + sfx_volume_interval));
  a2 = rd32(a1 + sfx_volume_ptr);
  put<B>(d3, move<B>(rd8(a2)));
  if (cc_eq()) AM_HERE_GOTO(0x52B3A);
  if (cc_mi()) AM_HERE_GOTO(0x52B22);
  wr32(a1 + sfx_volume_ptr, a2 + 1);
  wr16(a0 + 0xA0 + aud_vol, d3 & 0xFF);
AM_HERE(0x52B22)
  // 6. The period, at least 124; 7. the waveform; 8. DMA on.
  cmp<W>(shortest_effect_period, d1);
  if (cc_ge()) AM_HERE_GOTO(0x52B2C);
  put<W>(d1, shortest_effect_period);
AM_HERE(0x52B2C)
  wr16(a0 + 0xA0 + aud_per, d1);
  wr8(a1 + sfx_wave_bits, ror<B>(rd8(a1 + sfx_wave_bits), 1));
  d3 = sext16(rd16(a1 + (fc ? sfx_wave_b : sfx_wave_a)));
  wr32(a0 + 0xA0 + aud_lc, rd32(bkam_waveform) + d3);
  wr16(dmacon, 0x8200 | d2);
  AM_RTS();
AM_HERE(0x52B3A)
  // The end of the effect: the music gets the channel back when it plays on it.
  wr8(a1 + sfx_active, 0);
  wr16(dmacon, d2);
  wr8(a4 + shadow_claimed, 0);
  tst<B>(rd8(a4 + shadow_music));
  if (cc_eq()) AM_HERE_GOTO(0x52B98);
  wr16(a0 + 0xA0 + aud_per, shortest_effect_period);
  wr16(dmacon, d2);
  AM_JSR(bkam_052A3A, 0x52B6C)
  wr32(a0 + 0xA0 + aud_lc, rd32(a4 + shadow_location));
  wr16(a0 + 0xA0 + aud_len, rd16(a4 + shadow_length));
  wr16(a0 + 0xA0 + aud_per, rd16(a4 + shadow_period));
  wr16(a0 + 0xA0 + aud_vol, rd16(a4 + shadow_volume));
  wr16(dmacon, 0x8200 | d2);
AM_HERE(0x52B98)
  AM_RTS();
AM_END
