// Sample mixer. The starts that the sample hooks queue during a slice all
// take effect in the next chunk; voices then live across chunks until their
// sample ends or a fade-out has run.
#include "sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "machine/memory.h"
#include "sound/ym_chip.h"

namespace {

// Samples longer than this are no sample of the game: a corrupt table.
constexpr u32 longest_sample = 32767;

int opt_multi, opt_pan;
double mix_gain = 1.0;

u8* cache[sample_count];
i32 cache_len[sample_count];

sample_start starts[mixer_max_starts];
int ns;
mixer_voice voices[mixer_max_voices];
int nv;

struct highpass_side {
  double x, y;
};
highpass_side hp[2];

u32 read_be32(u32 addr) {
  return static_cast<u32>(ram[addr]) << 24 | static_cast<u32>(ram[addr + 1]) << 16 |
         static_cast<u32>(ram[addr + 2]) << 8 | ram[addr + 3];
}

// The sample's levels, converted on first use; null when its table entry
// is impossible (retried at every start, as the table may be mended).
const u8* cached_sample(int s) {
  if (cache[s]) return cache[s];
  const u32 entry = sample_table_address + 8 * static_cast<u32>(s);
  const u32 start = read_be32(entry);
  const u32 end = read_be32(entry + 4);
  if (start == 0 || start >= end || end > ram_size || end - start > longest_sample) return nullptr;
  const u32 length = end - start;
  auto* levels = static_cast<u8*>(std::malloc(length));
  if (!levels) return nullptr;
  for (u32 i = 0; i < length; ++i) levels[i] = ram[start + i] & 15;
  cache[s] = levels;
  cache_len[s] = static_cast<i32>(length);
  return levels;
}

void sort_starts() {
  for (int i = 1; i < ns; ++i) {
    const sample_start e = starts[i];
    int j = i;
    while (j > 0 && starts[j - 1].time > e.time) {
      starts[j] = starts[j - 1];
      --j;
    }
    starts[j] = e;
  }
}

void add_voice(const sample_start& st, int count) {
  if (opt_multi) {
    int first = -1, copies = 0;
    for (int v = 0; v < nv; ++v) {
      if (voices[v].sample != st.sample || voices[v].fade >= 0) continue;
      if (first < 0) first = v;
      ++copies;
    }
    if (copies >= 2) voices[first].fade = mixer_fade_copy;
  } else {
    for (int v = 0; v < nv; ++v)
      if (voices[v].voice == st.voice && voices[v].fade < 0) voices[v].fade = mixer_fade_cut;
  }
  if (nv < mixer_max_voices) {
    const double t = std::fmin(std::fmax(st.time, 0.0), 0.999);
    mixer_voice& v = voices[nv++];
    v.levels = cache[st.sample];
    v.length = cache_len[st.sample];
    v.position = 0;
    v.start_offset = static_cast<i32>(std::floor(t * count));
    v.sample = st.sample;
    v.voice = st.voice;
    v.pan = st.pan;
    v.fade = -1;
  }
  int audible = 0;
  for (int v = 0; v < nv; ++v) audible += voices[v].fade < 0;
  if (audible > mixer_audible_voices)
    for (int v = 0; v < nv; ++v)
      if (voices[v].fade < 0) {
        voices[v].fade = mixer_fade_copy;
        break;
      }
}

void render_voice(mixer_voice& v, int count, float* out) {
  const float* dac = ym_dac16();
  const int n = count - v.start_offset;
  const int c = v.fade;
  // Frames before the sample's end: the source index of frame j is
  // position + j * step, which must stay below the length.
  int playable = std::clamp(static_cast<int>((v.length - v.position) / mixer_step), 0, n);
  while (playable > 0 && v.position + (playable - 1) * mixer_step >= v.length) --playable;
  while (playable < n && v.position + playable * mixer_step < v.length) ++playable;
  const float left = 1 - v.pan, right = v.pan;
  float* frame = out + 2 * v.start_offset;
  if (c < 0) {
    for (int j = 0; j < playable; ++j) {
      const float level = dac[v.levels[static_cast<int>(v.position + j * mixer_step)]];
      frame[2 * j] += left * level;
      frame[2 * j + 1] += right * level;
    }
  } else {
    const double per_frame = 1.0 / (c > mixer_fade_cut ? mixer_fade_copy : mixer_fade_cut);
    const int audible = std::min(playable, c);
    for (int j = 0; j < audible; ++j) {
      const double level = dac[v.levels[static_cast<int>(v.position + j * mixer_step)]] * ((c - j) * per_frame);
      frame[2 * j] += static_cast<float>((1 - v.pan) * level);
      frame[2 * j + 1] += static_cast<float>(v.pan * level);
    }
    v.fade = c > playable ? c - playable : 0;
  }
  v.start_offset = 0;
  v.position += n * mixer_step;
}

} // namespace

void mixer_options(int multi, int pan) {
  opt_multi = multi;
  opt_pan = pan;
  ns = 0;
}

void mixer_set_gain(double gain) { mix_gain = gain; }

void mixer_start(int sample, int voice, double time, float pan) {
  if (sample < 0 || sample >= sample_count || (!opt_multi && !opt_pan)) return;
  if (!cached_sample(sample)) return;
  if (ns >= mixer_max_starts) return;
  starts[ns++] = {time, sample, voice, opt_pan ? pan : 0.5f};
}

void mixer_render(int count, float* out) {
  if (count < 0) count = 0; // an empty chunk still turns its starts into voices
  sort_starts();
  for (int i = 0; i < ns; ++i) add_voice(starts[i], count);
  ns = 0;
  if (count > 0) std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(count));

  for (int v = 0; v < nv; ++v) render_voice(voices[v], count, out);
  // Finished voices are replaced by the last, keeping the table packed.
  for (int v = 0; v < nv;) {
    if (voices[v].position >= voices[v].length || (voices[v].fade == 0))
      voices[v] = voices[--nv];
    else
      ++v;
  }

  // Panned effects meet at full level in the centre, hence twice the gain.
  const double gain = mix_gain * (opt_pan ? 0.9333333333333332 : 0.4666666666666666);
  for (int i = 0; i < count; ++i)
    for (int side = 0; side < 2; ++side) {
      float& value = out[2 * i + side];
      highpass_side& h = hp[side];
      h.y = h.y * 0.995 + (value - h.x);
      h.x = value;
      value = static_cast<float>(h.y * gain);
    }
}

// The filter starts at rest too: a level left from before the mixer was
// switched off would come back as a thump when it is switched on again.
void mixer_reset() {
  nv = 0;
  ns = 0;
  hp[0] = hp[1] = {};
}

// Voices and queued starts point into the cache, so they go with it.
void mixer_drop_cache() {
  mixer_reset();
  for (int s = 0; s < sample_count; ++s) {
    std::free(cache[s]);
    cache[s] = nullptr;
    cache_len[s] = 0;
  }
}

int mixer_voice_count() { return nv; }
const mixer_voice* mixer_voices() { return voices; }
int mixer_queued() { return ns; }
