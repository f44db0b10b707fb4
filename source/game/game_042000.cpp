// Page $42000: the YM driver's voice sequencer and effects. Each voice reads
// its own byte stream (patterns chained by an order list): notes, rests and
// ties end an event; commands, arpeggio, instrument and duration bytes set
// it up. Every tick each voice's note output turns its state into a tone
// period, a volume and the channel's mixer bits. Effects are small counter
// programs laid over a channel; the random register feeds their restarts.
#include "game/routine_kit.h"
#include "game/ym_driver.h"
#include "host/platform.h"

namespace {

// Bytes of a stream read since the voice's step began without an event
// byte. The streams are game data and trusted, but a pattern chain without
// a note, rest or tie would keep the interpreter reading for ever inside
// the Timer C interrupt; past this many bytes the event ends as a rest.
// Host-side only: a tick runs whole inside its batch, so no saved state
// ever holds a count.
constexpr u32 runaway_bytes = 4096;
u32 bytes_without_event;
bool runaway_logged;

constexpr u32 read_next = 0x042194; // the interpreter's loop head

inline u32 take_stream_byte() { return rd8(a1++); }

} // namespace

void ym_stream_guard_reset() { runaway_logged = false; }

// --- command handlers, reached from the interpreter by the command table -----

// $42060: fade at s ticks per level step (0 stops a fade).
ROUTINE(sub_042060, 0x042060)
  put<B>(d0, take_stream_byte());
  wr8(a3 + ym_var::fade_speed, d0);
  wr8(a3 + ym_var::fade_counter, d0);
  JMP(read_next);
END_ROUTINE

// $4206E: tempo.
ROUTINE(sub_04206E, 0x04206E)
  wr8(a3 + ym_var::tempo, take_stream_byte());
  JMP(read_next);
END_ROUTINE

// $4207C: a new order list (word hi:lo), taken at the end of this pattern.
ROUTINE(sub_04207C, 0x04207C)
  put<B>(d0, take_stream_byte());
  wr8(a0 + ym_voice::order_list, d0);
  put<B>(d0, take_stream_byte());
  wr8(a0 + ym_voice::order_list + 1, d0);
  wr16(a0 + ym_voice::order_position, 0);
  JMP(read_next);
END_ROUTINE

// $4208E: end of song. Drops the return address into the tick, so the
// stop returns to the tick's caller and the rest of the tick does not run.
ROUTINE(sub_04208E, 0x04208E)
  a7 += 4;
  JMP(0x042090);
END_ROUTINE

// $42090: end of song: the stop, which returns to the caller's caller.
ROUTINE(sub_042090, 0x042090)
  JMP(0x041BE8);
END_ROUTINE

// $42098: next pattern from the order list; a zero entry repeats the list.
ROUTINE(sub_042098, 0x042098)
  put<W>(d0, rd16(a0 + ym_voice::order_list));
  put<W>(d1, rd16(a3 + sext16(d0) + (rd16(a0 + ym_voice::order_position) & 0xFFFF)));
  if ((d1 & 0xFFFF) == 0) GOTO(0x4209A);
  a1 = a3 + sext16(d1);
  wr16(a0 + ym_voice::order_position, rd16(a0 + ym_voice::order_position) + 2);
  JMP(read_next);
HERE(0x4209A)
  a1 = a3 + sext16(rd16(a3 + sext16(d0)));
  wr16(a0 + ym_voice::order_position, 2);
  JMP(read_next);
END_ROUTINE

// $420BE: noise only on this voice's channel.
ROUTINE(sub_0420BE, 0x0420BE)
  put<B>(d0, rd8(a0 + ym_voice::mixer_bits));
  wr8(a3 + ym_var::mixer_shadow, (rd8(a3 + ym_var::mixer_shadow) & ~d0) | (d0 & 0x07));
  wr8(a0 + ym_voice::noise_mode, 0xFF);
  JMP(read_next);
END_ROUTINE

// $420DE: tone only.
ROUTINE(sub_0420DE, 0x0420DE)
  put<B>(d0, rd8(a0 + ym_voice::mixer_bits));
  wr8(a3 + ym_var::mixer_shadow, (rd8(a3 + ym_var::mixer_shadow) & ~d0) | (d0 & 0x38));
  wr8(a0 + ym_voice::noise_mode, 0);
  JMP(read_next);
END_ROUTINE

// $420FE: tone and noise.
ROUTINE(sub_0420FE, 0x0420FE)
  put<B>(d0, rd8(a0 + ym_voice::mixer_bits));
  wr8(a3 + ym_var::mixer_shadow, rd8(a3 + ym_var::mixer_shadow) & ~d0);
  wr8(a0 + ym_voice::noise_mode, 0xFF);
  JMP(read_next);
END_ROUTINE

// $42116: pitch sweep (step, delay) for the next event.
ROUTINE(sub_042116, 0x042116)
  wr16(a0 + ym_voice::sweep_sum, 0);
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) | 0x04);
  wr8(a0 + ym_voice::sweep_step, take_stream_byte());
  wr8(a0 + ym_voice::sweep_delay, take_stream_byte());
  JMP(read_next);
END_ROUTINE

// $4212A: global transpose.
ROUTINE(sub_04212A, 0x04212A)
  wr8(a3 + ym_var::transpose, take_stream_byte());
  JMP(read_next);
END_ROUTINE

// $42130: this voice's transpose.
ROUTINE(sub_042130, 0x042130)
  wr8(a0 + ym_voice::voice_transpose, take_stream_byte());
  JMP(read_next);
END_ROUTINE

// $42136: slide up for the next event; $4213C: slide down.
ROUTINE(sub_042136, 0x042136)
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) | 0x80);
LABEL(0x04213C)
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) | 0x08);
  JMP(read_next);
END_ROUTINE

// $42144: modulation on (step, depth), falling from the middle.
ROUTINE(sub_042144, 0x042144)
  wr8(a0 + ym_voice::modulation_step, take_stream_byte());
  put<B>(d0, take_stream_byte());
  wr8(a0 + ym_voice::modulation_depth, d0);
  wr8(a0 + ym_voice::modulation_value, d0);
  wr8(a0 + ym_voice::modulation, 0x40);
  JMP(read_next);
END_ROUTINE

// $42158: modulation off.
ROUTINE(sub_042158, 0x042158)
  wr8(a0 + ym_voice::modulation, 0);
  JMP(read_next);
END_ROUTINE

// $4215E: noise on every second tick of the next event.
ROUTINE(sub_04215E, 0x04215E)
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) | 0x02);
  JMP(read_next);
END_ROUTINE

// $42166: rest: silent at once, nothing sounds until the next note.
ROUTINE(sub_042166, 0x042166)
  wr8(a0 + ym_voice::volume, 0);
  JMP(0x0421C2);
END_ROUTINE

// $4216C: tie: the note and its volume sequence go on.
ROUTINE(sub_04216C, 0x04216C)
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) | 0x20);
  JMP(0x0421C2);
END_ROUTINE

// $42174: noise click on.
ROUTINE(sub_042174, 0x042174)
  wr8(a0 + ym_voice::click, 0xFF);
  JMP(read_next);
END_ROUTINE

// $4217A: noise click off.
ROUTINE(sub_04217A, 0x04217A)
  wr8(a0 + ym_voice::click, 0);
  JMP(read_next);
END_ROUTINE

// --- the sequencer -------------------------------------------------------------

// $42180: one sequencing step of the voice at a0: the event counts down
// (a slide moves the note one step); when it runs out the next event is
// read.
ROUTINE(sub_042180, 0x042180)
  wr8(a0 + ym_voice::duration, rd8(a0 + ym_voice::duration) - 1);
  if (rd8(a0 + ym_voice::duration) == 0) GOTO(0x42188);
  if (!(rd8(a0 + ym_voice::flags) & 0x08)) GOTO(0x4218E);
  put<B>(d0, rd8(a0 + ym_voice::flags) & 0x80 ? 1 : 0xFF);
  wr8(a0 + ym_voice::note, rd8(a0 + ym_voice::note) + d0);
HERE(0x4218E)
  RTS();
HERE(0x42188)
  wr8(a0 + ym_voice::flags, 0);
  a1 = rd32(a0 + ym_voice::stream);
  bytes_without_event = 0;
  JMP(0x042190);
END_ROUTINE

// $42190: the stream interpreter, from a1 until an event byte. Commands
// jump to their handlers, which come back to the loop head.
ROUTINE(sub_042190, 0x042190)
LOOP(0x042194)
  if (++bytes_without_event > runaway_bytes) GOTO(0x421B8);
  d0 = 0;
  put<B>(d0, take_stream_byte());
  if (d0 >= 0x80) GOTO(0x4219E);
  // A note.
  wr8(a0 + ym_voice::note, d0);
  if (rd8(a0 + ym_voice::noise_mode) != 0) wr8(a3 + ym_var::noise_note, d0);
  a2 = rd32(a0 + ym_voice::instrument);
  wr32(a0 + ym_voice::volume_pointer, a2);
  wr8(a0 + ym_voice::volume_level, rd8(a2));
  wr8(a0 + ym_voice::volume, rd8(a2));
  wr8(a0 + ym_voice::volume_counter, rd8(a0 + ym_voice::volume_speed));
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) | 0x20);
  JMP(0x0421C2);
HERE(0x4219E)
  if (d0 >= 0xB8) GOTO(0x421A6);
  put<W>(d0, (d0 & 0x7F) * 2);
  a2 = a3 + sext16(rd16(ym_command_table + d0));
  JMP_DYN(a2);
HERE(0x421A6)
  // Arpeggio select; $B8-$BF wrap below $C0 and read past the table.
  if (d0 >= 0xD0) GOTO(0x421AC);
  put<W>(d0, ((d0 - 0xC0) & 0xFF) * 2);
  a2 = a3 + sext16(rd16(ym_arpeggio_table + d0));
  wr32(a0 + ym_voice::arpeggio_start, a2);
  wr32(a0 + ym_voice::arpeggio, a2);
  GOTO(0x042194);
HERE(0x421AC)
  if (d0 >= 0xE0) GOTO(0x421B2);
  put<W>(d0, (d0 - 0xD0) * 2);
  a2 = a3 + sext16(rd16(ym_instrument_table + d0));
  wr32(a0 + ym_voice::instrument, a2);
  wr8(a0 + ym_voice::volume_speed, rd8(a2 - 1));
  GOTO(0x042194);
HERE(0x421B2)
  wr8(a0 + ym_voice::duration_reload, d0 - 0xDF);
  GOTO(0x042194);
HERE(0x421B8)
  // A chain without an event byte: this step ends as a one-step rest.
  if (!runaway_logged)
    host_log("YM driver: voice at %06X read %u stream bytes without a note; a rest stands in", a0, runaway_bytes);
  runaway_logged = true;
  wr8(a0 + ym_voice::volume, 0);
  wr8(a0 + ym_voice::duration, 1);
  wr32(a0 + ym_voice::stream, a1);
  RTS();
END_ROUTINE

// $421C2: end of event: the duration reloaded, the stream pointer kept, and
// the noise click re-armed unless a running effect uses the noise.
ROUTINE(sub_0421C2, 0x0421C2)
  wr8(a0 + ym_voice::duration, rd8(a0 + ym_voice::duration_reload));
  wr32(a0 + ym_voice::stream, a1);
  if (rd8(a0 + ym_voice::click) == 0) GOTO(0x421E0);
  for (u32 c = 0; c < 3; ++c)
    if (rd8(a3 + ym_var::effect_on + c) != 0 &&
        !(rd8(a3 + ym_var::effect_records + ym_effect::record_size * c + ym_effect::mask) & 0x08))
      GOTO(0x421E0);
  wr8(a0 + ym_voice::click, 0xFF);
HERE(0x421E0)
  RTS();
END_ROUTINE

// $42282: note output of the voice at a0, every tick: volume sequence,
// note sum with transposes and arpeggio, period, modulation, sweep, mixer
// bits and noise click. Returns the period in d0.w and the volume in d1.b.
ROUTINE(sub_042282, 0x042282)
  // Volume sequence: one level every step speed + 1 ticks while sounding.
  if (!(rd8(a0 + ym_voice::flags) & 0x20)) GOTO(0x422A8);
  {
    const u32 counter = rd8(a0 + ym_voice::volume_counter);
    wr8(a0 + ym_voice::volume_counter, counter - 1);
    if (counter != 0) GOTO(0x422A2);
  }
  wr8(a0 + ym_voice::volume_counter, rd8(a0 + ym_voice::volume_speed));
  a2 = rd32(a0 + ym_voice::volume_pointer);
  if (rd8(a2 + 1) & 0x80) GOTO(0x422A2);
  wr32(a0 + ym_voice::volume_pointer, a2 + 1);
  wr8(a0 + ym_voice::volume_level, rd8(a2 + 1));
HERE(0x422A2)
  wr8(a0 + ym_voice::volume, rd8(a0 + ym_voice::volume_level));

HERE(0x422A8)
  // Note sum and arpeggio.
  put<B>(d2, rd8(a0 + ym_voice::note) + rd8(a3 + ym_var::transpose) + rd8(a0 + ym_voice::voice_transpose));
  a2 = rd32(a0 + ym_voice::arpeggio);
  put<B>(d1, rd8(a2));
  a2 += 1;
  put<B>(d2, d2 + (d1 & 0x7F));
  if (d1 & 0x80) a2 = rd32(a0 + ym_voice::arpeggio_start);
  wr32(a0 + ym_voice::arpeggio, a2);
  put<W>(d2, (d2 * 2) & 0xFF);
  put<W>(d0, rd16(ym_period_table + (d2 & 0xFF)));

  // Modulation: a triangle of 0 to 2 x depth around the period, wider in
  // the low octaves.
  if (!(rd8(a0 + ym_voice::modulation) & 0x40)) GOTO(0x42330);
  put<B>(d3, rd8(a0 + ym_voice::modulation_value));
  if ((rd8(a0 + ym_voice::modulation) & 0x80) && (rd8(a0 + ym_voice::flags) & 0x01)) GOTO(0x42310);
  if (!(rd8(a0 + ym_voice::modulation) & 0x20)) GOTO(0x42302);
  put<B>(d3, d3 + rd8(a0 + ym_voice::modulation_step));
  if ((d3 & 0xFF) < ((rd8(a0 + ym_voice::modulation_depth) * 2) & 0xFF)) GOTO(0x4230C);
  put<B>(d3, rd8(a0 + ym_voice::modulation_depth) * 2);
  wr8(a0 + ym_voice::modulation, rd8(a0 + ym_voice::modulation) & ~0x20u);
  GOTO(0x4230C);
HERE(0x42302)
  if ((d3 & 0xFF) >= rd8(a0 + ym_voice::modulation_step)) {
    put<B>(d3, d3 - rd8(a0 + ym_voice::modulation_step));
    GOTO(0x4230C);
  }
  put<B>(d3, 0);
  wr8(a0 + ym_voice::modulation, rd8(a0 + ym_voice::modulation) | 0x20);
HERE(0x4230C)
  wr8(a0 + ym_voice::modulation_value, d3);
HERE(0x42310)
  put<W>(d3, (d3 & 0xFF) - rd8(a0 + ym_voice::modulation_depth));
  // Octave scaling: i - 96, then 24 more per doubling until the byte carries.
  if ((d2 & 0xFF) >= 96) GOTO(0x4232C);
  put<B>(d1, (d2 & 0xFF) - 96);
  do {
    put<W>(d3, d3 << 1);
    put<B>(d1, (d1 & 0xFF) + 24);
  } while ((d1 & 0xFF) >= 24);
HERE(0x4232C)
  put<W>(d0, d0 + d3);

HERE(0x42330)
  wr8(a0 + ym_voice::flags, rd8(a0 + ym_voice::flags) ^ 0x01);

  // Pitch sweep after its delay, cumulative.
  if (!(rd8(a0 + ym_voice::flags) & 0x04)) GOTO(0x4235A);
  put<B>(d1, rd8(a0 + ym_voice::sweep_delay) - 1);
  if ((d1 & 0xFF) == 0) GOTO(0x4234C);
  wr8(a0 + ym_voice::sweep_delay, d1);
  GOTO(0x4235A);
HERE(0x4234C)
  wr16(a0 + ym_voice::sweep_sum, rd16(a0 + ym_voice::sweep_sum) + sext8(rd8(a0 + ym_voice::sweep_step)));
  put<W>(d0, d0 + rd16(a0 + ym_voice::sweep_sum));

HERE(0x4235A)
  // Mixer bits: the music's own, or noise only on alternate ticks.
  put<B>(d2, rd8(a0 + ym_voice::mixer_bits));
  if ((rd8(a0 + ym_voice::flags) & 0x03) != 0x03) GOTO(0x42374);
  wr8(a3 + ym_var::noise_period, rd8(a3 + ym_var::noise_note) ^ 0x08);
  put<B>(d1, 0x07);
  GOTO(0x42378);
HERE(0x42374)
  put<B>(d1, rd8(a3 + ym_var::mixer_shadow));
HERE(0x42378)
  put<B>(d3, (rd8(a3 + ym_var::mixer_image) & ~d2) | (d1 & d2));
  // The click: one tick of noise with period 1.
  if (!(rd8(a0 + ym_voice::click) & 0x80)) GOTO(0x42396);
  wr8(a0 + ym_voice::click, rd8(a0 + ym_voice::click) & 0x7F);
  put<B>(d3, d3 & ~(d2 & 0x38));
  wr8(a3 + ym_var::noise_period, 1);
HERE(0x42396)
  wr8(a3 + ym_var::mixer_image, d3);
  put<B>(d1, rd8(a0 + ym_voice::volume));
  RTS();
END_ROUTINE

// --- effects -------------------------------------------------------------------

// One tick of the effect on channel c (the three step routines are one
// algorithm on the channel's record, images, random byte and volume).
void ym_effect_step(u32 c) {
  const u32 record = a3 + ym_var::effect_records + ym_effect::record_size * c;
  const u32 coarse = a3 + ym_var::effect_period + 2 * c;
  const u32 volume = a3 + ym_var::effect_volume + c;
  // Duration: N ticks after the start, then the end (unless endless).
  if (rd8(record + ym_effect::duration) != 0) {
    wr8(record + ym_effect::duration, rd8(record + ym_effect::duration) - 1);
  } else if (rd8(record + ym_effect::endless) != 0) {
    wr8(record + ym_effect::duration, 0xFF);
  } else {
    wr8(a3 + ym_var::effect_on + c, 0);
    wr8(a3 + ym_var::images + 8 + c, 0);
    return;
  }
  // Restart every interval ticks, from the base period plus the random byte.
  if (rd8(record + ym_effect::restart_counter) != 0) {
    wr8(record + ym_effect::restart_counter, rd8(record + ym_effect::restart_counter) - 1);
  } else {
    if (rd8(record + ym_effect::endless) == 0 && rd8(record + ym_effect::restarts) == 0) goto volume_step;
    wr8(record + ym_effect::restarts, rd8(record + ym_effect::restarts) - 1);
    wr8(record + ym_effect::restart_counter, rd8(record + ym_effect::restart_interval));
    put<B>(d0, rd8(record + ym_effect::random) != 0 ? rd8(ym_driver_vars + ym_var::random + c) : 0);
    {
      const u32 fine = rd8(record + ym_effect::period + 1) + (d0 & 0xFF);
      wr8(coarse + 1, fine);
      wr8(coarse, rd8(record + ym_effect::period) + (d0 & 0xFF) + (fine >> 8));
    }
    wr8(record + ym_effect::restart_counter, rd8(record + ym_effect::restart_counter) - 1);
  }
  // Sweep every interval ticks (0: every tick).
  if (rd8(record + ym_effect::sweep_interval) != 0) {
    wr8(record + ym_effect::sweep_counter, rd8(record + ym_effect::sweep_counter) - 1);
    if (rd8(record + ym_effect::sweep_counter) != 0) goto noise;
    wr8(record + ym_effect::sweep_counter, rd8(record + ym_effect::sweep_interval));
  }
  if (rd8(record + ym_effect::sweep) != 0) {
    const u32 step = rd16(record + ym_effect::sweep_step);
    wr16(coarse, rd8(record + ym_effect::sweep) & 0x80 ? rd16(coarse) + step : rd16(coarse) - step);
  }
noise:
  if (!(rd8(record + ym_effect::mask) & 0x08)) wr8(a3 + ym_var::effect_noise, rd8(coarse + 1));
volume_step:
  // Volume sequence: $80 goes back to its start, $81-$FF hold.
  wr8(record + ym_effect::volume_counter, rd8(record + ym_effect::volume_counter) - 1);
  if (rd8(record + ym_effect::volume_counter) != 0) return;
  wr8(record + ym_effect::volume_counter, rd8(record + ym_effect::volume_interval));
  a2 = rd32(record + ym_effect::volume_pointer);
  put<B>(d0, rd8(a2));
  if ((d0 & 0xFF) == 0x80) {
    a2 = rd32(record + ym_effect::volume_start);
    put<B>(d0, rd8(a2));
  } else if (d0 & 0x80) {
    return;
  }
  wr8(volume, d0);
  wr32(record + ym_effect::volume_pointer, a2 + 1);
}

// $42D32: starts effect d0.b on channel d1.b (0 A, 1 B, else C), replacing
// whatever ran there. The channel is off while its record is filled, so a
// tick in between leaves it alone. a0-a3, d0 changed.
ROUTINE(sub_042D32, 0x042D32)
  a3 = ym_driver_vars;
  {
    const u32 c = (d1 & 0xFF) == 0 ? 0 : (d1 & 0xFF) == 1 ? 1 : 2;
    a1 = a3 + ym_var::effect_on + c;
    wr8(a1, 0);
    a0 = a3 + ym_var::effect_records + ym_effect::record_size * c;
    ext_w(d0);
    a2 = a3 + sext16(rd16(ym_effect_table + sext16((d0 & 0xFFFF) * 2)));
    for (u32 i = 0; i < ym_effect::descriptor_size; ++i) wr8(a0 + i, rd8(a2 + i));
    wr8(a0 + ym_effect::restart_counter, rd8(a0 + ym_effect::restart_interval));
    wr16(a3 + ym_var::effect_period + 2 * c, rd16(a0 + ym_effect::period));
    if (!(rd8(a0 + ym_effect::mask) & 0x08)) wr8(a3 + ym_var::effect_noise, rd8(a0 + ym_effect::period + 1));
    wr8(a0 + ym_effect::volume_counter, rd8(a0 + ym_effect::volume_interval));
    wr8(a0 + ym_effect::sweep_counter, rd8(a0 + ym_effect::sweep_interval));
    put<W>(d0, sext8(rd8(a0 + ym_effect::volume_sequence)) * 2);
    a2 = a3 + sext16(rd16(ym_effect_volume_table + sext16(d0)));
    wr32(a0 + ym_effect::volume_start, a2);
    wr32(a0 + ym_effect::volume_pointer, a2);
    wr8(a3 + ym_var::effect_volume + c, rd8(a2));
    wr8(a1, 1);
  }
  RTS();
END_ROUTINE

// $42E82: the effects tick: the random register steps, then every running
// effect.
ROUTINE(sub_042E82, 0x042E82)
  a3 = ym_driver_vars;
  JSR(0x043348, 0x42E8A)
  if (rd8(a3 + ym_var::effect_on) == 0) GOTO(0x42E94);
  JSR(0x042EAA, 0x42E94)
  if (rd8(a3 + ym_var::effect_on + 1) == 0) GOTO(0x42E9E);
  JSR(0x042F64, 0x42E9E)
  if (rd8(a3 + ym_var::effect_on + 2) == 0) GOTO(0x42EA8);
  JSR(0x04301E, 0x42EA8)
  RTS();
END_ROUTINE

// $42EAA, $42F64, $4301E: the effect step of channel A, B, C.
ROUTINE(sub_042EAA, 0x042EAA)
  ym_effect_step(0);
  RTS();
END_ROUTINE

ROUTINE(sub_042F64, 0x042F64)
  ym_effect_step(1);
  RTS();
END_ROUTINE
