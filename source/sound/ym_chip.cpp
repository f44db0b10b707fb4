// YM2149 rendering in passes over per-sample arrays: register values, tone
// and noise outputs, the envelope, then the mix and the output stage.
#include "sound/ym_chip.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr double chip_clock = 2000000.0;
// A square wave above this fraction of the output rate cannot be rendered;
// it is played as its mean, a constant half level.
constexpr double highest_tone = 0.45;
constexpr int pseudo_registers = 2;
constexpr int event_lists = 16 + pseudo_registers;

constexpr std::array<float, 16> volume_16 = {0.0f,     0.00999f, 0.01445f, 0.02105f, 0.0307f,  0.04555f,
                                             0.0645f,  0.10736f, 0.12663f, 0.20499f, 0.29221f, 0.37284f,
                                             0.49253f, 0.63544f, 0.80575f, 1.0f};

constexpr std::array<float, 32> make_volume_32() {
  std::array<float, 32> v{};
  for (int k = 1; k <= 30; ++k) v[k] = volume_16[(k + 1) / 2];
  v[31] = 1.0f;
  return v;
}
constexpr std::array<float, 32> volume_32 = make_volume_32();

u8 noise_table[ym_noise_period];
std::once_flag tables_built;

void build_noise_table() {
  u32 b = 1;
  for (u8& entry : noise_table) {
    entry = static_cast<u8>(b & 1);
    b = (b >> 1) | (((b ^ (b >> 3)) & 1) << 16);
  }
}

// Work buffers shared by every chip: the renderer serves one at a time.
struct event_list {
  int count;
  int index[ym_events_per_register];
  u8 value[ym_events_per_register];
};
event_list lists[event_lists];
u8 reg_values[14][ym_max_chunk];
u8 level_values[pseudo_registers][ym_max_chunk];
float tone_out[3][ym_max_chunk];
float noise_out[ym_max_chunk];
float envelope_out[ym_max_chunk];

int list_of(int code) {
  if (code <= 15) return code;
  if (code == 16 + 8 || code == 16 + 9) return 16 + (code & 15) - 8;
  return -1;
}

// Sample index of an event time; times outside the VBL land on its edges.
int sample_index(double time, int count) {
  const double x = std::floor(time * count);
  if (!(x > 0)) return 0;
  if (x >= count - 1) return count - 1;
  return static_cast<int>(x);
}

void take_events(const ym_event* events, int n, int count) {
  for (event_list& l : lists) l.count = 0;
  for (int i = 0; i < n; ++i) {
    const int li = list_of(events[i].reg);
    if (li < 0) continue;
    event_list& l = lists[li];
    if (l.count >= ym_events_per_register) continue;
    l.index[l.count] = sample_index(events[i].time, count);
    l.value[l.count] = events[i].value;
    ++l.count;
  }
}

// Fills a register's value over the chunk; an event holds from its sample
// on, and of several events at one sample the last one rules.
void fill_values(u8* out, int count, u8 start, const event_list& l) {
  int at = 0;
  u8 value = start;
  for (int e = 0; e < l.count; ++e) {
    if (l.index[e] > at) {
      std::memset(out + at, value, static_cast<size_t>(l.index[e] - at));
      at = l.index[e];
    }
    value = l.value[e];
  }
  std::memset(out + at, value, static_cast<size_t>(count - at));
}

// Register values change a few times a chunk at most, so each pass keeps
// the step of the last period it saw instead of dividing every sample.
void render_tones(ym_state* s, int count) {
  const double rate = s->rate;
  for (int k = 0; k < 3; ++k) {
    const u8* fine = reg_values[2 * k];
    const u8* coarse = reg_values[2 * k + 1];
    double phase = s->tone_phase[k];
    float* out = tone_out[k];
    int last_period = -1;
    double step = 0;
    bool too_high = false;
    for (int i = 0; i < count; ++i) {
      int period = (coarse[i] & 15) * 256 + fine[i];
      if (period == 0) period = 1;
      if (period != last_period) {
        last_period = period;
        const double f = chip_clock / (16.0 * period);
        step = f / rate;
        too_high = f > highest_tone * rate;
      }
      phase += step;
      if (phase >= 1) phase -= std::floor(phase);
      out[i] = too_high ? 0.5f : phase >= 0.5 ? 1.0f : 0.0f;
    }
    s->tone_phase[k] = phase;
  }
}

void render_noise(ym_state* s, int count) {
  const double rate = s->rate;
  const u8* period_reg = reg_values[6];
  double phase = s->noise_phase;
  i64 position = s->noise_position;
  int last_period = -1;
  double step = 0;
  for (int i = 0; i < count; ++i) {
    const int n = period_reg[i] & 31;
    if (n != last_period) {
      last_period = n;
      step = (n == 0 ? chip_clock / 16.0 : chip_clock / (16.0 * n)) / rate;
    }
    phase += step;
    if (phase >= 1) {
      const double whole = std::floor(phase);
      phase -= whole;
      position += static_cast<i64>(whole);
      if (position >= ym_noise_period) position -= ym_noise_period;
    }
    noise_out[i] = noise_table[position];
  }
  s->noise_phase = phase;
  s->noise_position = position;
}

void restart_envelope(ym_state* s, int shape) {
  const bool attack = shape & 4, alternate = shape & 2, hold = shape & 1, cont = shape & 8;
  for (int k = 0; k < 32; ++k) s->envelope_steps[k] = attack ? k : 31 - k;
  if (!cont) {
    for (int k = 32; k < 64; ++k) s->envelope_steps[k] = 0;
    s->envelope_hold = 1;
  } else if (hold) {
    const int last = alternate ? 31 - s->envelope_steps[31] : s->envelope_steps[31];
    for (int k = 32; k < 64; ++k) s->envelope_steps[k] = last;
    s->envelope_hold = 1;
  } else {
    for (int k = 0; k < 32; ++k)
      s->envelope_steps[32 + k] = alternate ? 31 - s->envelope_steps[k] : s->envelope_steps[k];
    s->envelope_hold = 0;
  }
  s->envelope_position = 0;
  s->envelope_fraction = 0;
  s->envelope_started = 1;
}

void render_envelope(ym_state* s, int count) {
  const event_list& shape_writes = lists[13];
  if (!s->envelope_started || shape_writes.count > 0) {
    if (shape_writes.count > 0) s->regs[13] = shape_writes.value[shape_writes.count - 1];
    restart_envelope(s, s->regs[13]);
  }
  const double steps_per_tick = chip_clock / 8.0 / s->rate;
  const u8* fine = reg_values[11];
  const u8* coarse = reg_values[12];
  double fraction = s->envelope_fraction;
  i64 position = s->envelope_position;
  int last_period = -1;
  double step = 0;
  for (int i = 0; i < count; ++i) {
    int period = coarse[i] * 256 + fine[i];
    if (period == 0) period = 1;
    if (period != last_period) {
      last_period = period;
      step = steps_per_tick / period;
    }
    fraction += step;
    if (fraction >= 1) {
      const double whole = std::floor(fraction);
      fraction -= whole;
      position += static_cast<i64>(whole);
      // Only the step matters, so the position is folded as it goes.
      if (s->envelope_hold) {
        if (position > 64) position = 64;
      } else {
        position %= 64;
      }
    }
    // Past step 31 a holding envelope stays on its last step.
    envelope_out[i] = volume_32[s->envelope_steps[position < 63 ? position : 63]];
  }
  s->envelope_fraction = fraction;
  s->envelope_position = position;
}

bool envelope_in_use(int count) {
  for (int k = 8; k <= 10; ++k)
    for (int i = 0; i < count; ++i)
      if (reg_values[k][i] & 16) return true;
  return false;
}

void apply_events_only(ym_state* s, const ym_event* events, int n) {
  for (int i = 0; i < n; ++i) {
    const int code = events[i].reg;
    if (code <= 15)
      s->regs[code] = events[i].value;
    else if ((code & 15) == 8 || (code & 15) == 9)
      s->sample_levels[(code & 15) - 8] = events[i].value;
  }
}

} // namespace

ym_state* ym_new(int rate) {
  std::call_once(tables_built, build_noise_table);
  auto* s = static_cast<ym_state*>(std::calloc(1, sizeof(ym_state)));
  if (!s) return nullptr;
  s->rate = rate;
  s->sample_gain = 1.0f;
  for (float& g : s->channel_gains) g = 1.0f;
  return s;
}

void ym_free(ym_state* s) { std::free(s); }

void ym_set_state(ym_state* s, const u8 regs[16]) { std::memcpy(s->regs, regs, 16); }

void ym_set_channel_gains(ym_state* s, float a, float b, float c) {
  s->channel_gains[0] = a;
  s->channel_gains[1] = b;
  s->channel_gains[2] = c;
}

void ym_set_sample_gain(ym_state* s, double gain) { s->sample_gain = static_cast<float>(gain); }

int ym_samples_for(ym_state* s, double seconds) {
  if (!(seconds > 0)) seconds = 0;
  const double x = s->rate * seconds + s->sample_carry;
  const double whole = std::trunc(x);
  s->sample_carry = x - whole;
  return static_cast<int>(whole);
}

const float* ym_dac16() { return volume_16.data(); }
const float* ym_dac32() { return volume_32.data(); }
const u8* ym_noise_table() {
  std::call_once(tables_built, build_noise_table);
  return noise_table;
}

void ym_render(ym_state* s, int count, const ym_event* events, int n, float* out) {
  if (count <= 0) {
    apply_events_only(s, events, n);
    return;
  }
  if (count > ym_max_chunk) count = ym_max_chunk;
  take_events(events, n, count);

  for (int r = 0; r < 14; ++r) fill_values(reg_values[r], count, s->regs[r], lists[r]);
  for (int p = 0; p < pseudo_registers; ++p)
    fill_values(level_values[p], count, static_cast<u8>(s->sample_levels[p]), lists[16 + p]);

  render_tones(s, count);
  render_noise(s, count);
  const bool envelope = envelope_in_use(count);
  if (envelope) render_envelope(s, count);

  const u8* mixer = reg_values[7];
  for (int i = 0; i < count; ++i) {
    float sum = (volume_16[level_values[0][i] & 15] + volume_16[level_values[1][i] & 15]) * s->sample_gain;
    for (int k = 0; k < 3; ++k) {
      const u8 volume = reg_values[8 + k][i];
      const float level = envelope && (volume & 16) ? envelope_out[i] : volume_16[volume & 15];
      float t = (mixer[i] >> k) & 1 ? 1.0f : tone_out[k][i];
      if (!((mixer[i] >> (k + 3)) & 1)) t *= noise_out[i];
      sum += level * s->channel_gains[k] * t;
    }
    // A DC-blocking high-pass after the three-channel scale, with a little
    // make-up gain.
    const double x = sum * 0.33333334f;
    s->highpass_out = s->highpass_out * 0.995 + (x - s->highpass_in);
    s->highpass_in = x;
    const double y = 1.4 * s->highpass_out;
    out[i] = static_cast<float>(y < -1 ? -1 : y > 1 ? 1 : y);
  }

  for (int r = 0; r < 16; ++r)
    if (lists[r].count > 0) s->regs[r] = lists[r].value[lists[r].count - 1];
  for (int p = 0; p < pseudo_registers; ++p)
    if (lists[16 + p].count > 0) s->sample_levels[p] = lists[16 + p].value[lists[16 + p].count - 1];
}
