// One VBL of audio: the VBL's logged YM writes through the chip emulation,
// the sample mixer, the replacement music, the volumes, the 16-bit output,
// the optional dump and the push to the audio output.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/platform.h"
#include "machine/memory.h"
#include "machine/tos.h"
#include "machine/ym_capture.h"
#include "sound/audio_assembly.h"
#include "sound/audio_output.h"
#include "sound/audio_state.h"
#include "sound/mixer.h"
#include "sound/music_entries.h"
#include "sound/ym_chip.h"

namespace {

constexpr int max_frames = 8000;
// About 0.7 s: how long a skipped once-only song takes to fade out.
constexpr int skip_fade_frames = 30869;
constexpr double pcm_scale = 1.0 / 32768.0;
// Level byte at which the driver's fade leaves the music at full volume.
constexpr double full_music_level = 13;
// Above this the mixed chip and samples are bent softly towards full scale.
constexpr float soft_clip_knee = 0.8f;

// Marks the Amiga replay as the music source where a pack song's PCM would stand.
constexpr i16 am_marker[2] = {};

// The whole VBL's log: a part left for the next chunk would play late and
// could leave a register at an older value.
ym_event events[ym_log_capacity];
float mono[ym_max_chunk];
float mix[2 * ym_max_chunk];
float mixed_samples[2 * ym_max_chunk];
i16 music[2 * ym_max_chunk];
i16 out[2 * ym_max_chunk];

struct music_source {
  const i16* pcm = nullptr;
  int frames = 0;
  bool pending = false;
};

bool is_volume_code(u8 code) { return code == 8 || code == 9 || code == 10; }

music_source choose_source(int n) {
  music_source s;
  if (aud.am_on && aud.am_restart) {
    aud.am_restart = 0;
    if (music_entries.amiga_play) music_entries.amiga_play(aud.pb_song);
    // A repeating tune resumes where it would be by now.
    if (aud.pb_song >= 0 && music_loops(aud.pb_song) && aud.pb_elapsed > 0 && music_entries.amiga_skip)
      music_entries.amiga_skip(static_cast<int>(std::min<i64>(aud.pb_elapsed, INT_MAX)));
  }
  if (!aud.mp3_on) {
    aud.mp3_active = 0;
    return s;
  }
  if (aud.am_on) {
    if (aud.pb_song >= 0)
      s.pcm = am_marker;
    else
      aud.mp3_active = 0;
  } else {
    if (aud.pb_song >= 0 && music_entries.get) s.pcm = music_entries.get(aud.loader, aud.pb_song, &s.frames);
    if (!s.pcm) {
      // While the song loads the chip music stays muted.
      s.pending = aud.pb_song >= 0 && music_entries.pending && music_entries.pending(aud.loader, aud.pb_song);
      // A load that ended between the two questions is no longer pending.
      if (!s.pending && aud.pb_song >= 0 && music_entries.get)
        s.pcm = music_entries.get(aud.loader, aud.pb_song, &s.frames);
      if (!s.pcm && !s.pending) aud.mp3_active = 0;
    }
  }
  if ((s.pcm || s.pending) && aud.mp3_active != 1) {
    aud.mp3_active = 1;
    // The chip falls silent from this chunk on; the mute hooks keep it so.
    for (int i = 0; i < n; ++i)
      if (is_volume_code(events[i].reg)) events[i].value = 0;
  }
  return s;
}

int chunk_frames() {
  const double rate = tos.vbl_rate >= 1 ? tos.vbl_rate : 50.0;
  return std::min(ym_samples_for(aud.chip, 1.0 / rate), max_frames);
}

// With the mixer on, the sample player's tagged writes are the mixer's.
int drop_sample_writes(int n) {
  int kept = 0;
  for (int i = 0; i < n; ++i)
    if (events[i].reg <= 15) events[kept++] = events[i];
  return kept;
}

void set_channel_gains() {
  float gain[3];
  for (u32 k = 0; k < 3; ++k) {
    const u32 effect = aud.drv_base + effect_bytes_offset + k;
    const bool effect_runs = aud.drv_base != 0 && effect <= ram_last && static_cast<i8>(ram[effect]) > 0;
    gain[k] = static_cast<float>(effect_runs ? aud.vol_fx : aud.vol_ay);
  }
  ym_set_channel_gains(aud.chip, gain[0], gain[1], gain[2]);
}

void log_chunk(int count, int kept, bool source) {
  double sum = 0;
  for (int i = 0; i < count; ++i) sum += double(mono[i]) * mono[i];
  if (kept == 0 && !(sum > 1e-6)) return;
  // An empty chunk with writes logs a level of 0.
  const double level = count > 0 ? std::sqrt(sum / count) : 0.0;
  host_log_file("audio vbl %u ev %d rms %.4f mp3on %d active %d arr %d song %d", tos.vbl, kept, level, aud.mp3_on,
                aud.mp3_active, source ? 1 : 0, aud.pb_song);
}

void mix_music(int count, double gain) {
  for (int i = 0; i < 2 * count; ++i) mix[i] += static_cast<float>(music[i] * gain);
}

// The music's next count frames; for a once-only song also whether it ended.
void take_music(const music_source& s, int count, bool* ended) {
  std::fill(music, music + 2 * count, i16{0});
  const music_entry_table& m = music_entries;
  if (aud.am_on) {
    if (m.amiga_render) m.amiga_render(count, music);
    if (ended) *ended = !(m.amiga_playing && m.amiga_playing());
    return;
  }
  if (ended) {
    *ended = !m.take_once || m.take_once(&aud.looper, s.pcm, s.frames, count, music);
    return;
  }
  int start, back;
  if (m.loop_points && m.take_lp && m.loop_points(aud.loader, aud.pb_song, &start, &back))
    m.take_lp(&aud.looper, s.pcm, s.frames, start, back, count, music);
  else if (m.take)
    m.take(&aud.looper, s.pcm, s.frames, count, music);
}

void replacement_music(const music_source& s, int count, bool skip) {
  if (aud.mp3_sync) {
    aud.mp3_sync = 0;
    if (!aud.am_on && s.frames > 0 && music_loops(aud.pb_song))
      aud.looper = static_cast<int>(aud.pb_elapsed % s.frames);
  }
  if (music_loops(aud.pb_song)) {
    // The driver's fade of the tune applies to the replacement too.
    double m = pcm_scale;
    const int level = ram[music_level_address];
    if (level != 0 && level / full_music_level < 1) m = level / full_music_level * pcm_scale;
    take_music(s, count, nullptr);
    mix_music(count, aud.vol_mp3 * m);
    return;
  }
  if (aud.pb_done) return;
  if (skip && aud.skip_total == 0) {
    aud.skip_total = aud.skip_fade = skip_fade_frames;
    if (std::getenv("BKM_SONGLOG")) host_log_file("song %d skipped with a button (vbl %u)", aud.pb_song, tos.vbl);
  }
  bool ended = false;
  take_music(s, count, &ended);
  if (ended) {
    aud.pb_done = 1;
    if (std::getenv("BKM_SONGLOG"))
      host_log_file("mp3 of song %d finished (vbl %u, pending %d)", aud.pb_song, tos.vbl, aud.pend_song);
  }
  const double g = aud.vol_mp3 * pcm_scale;
  if (aud.skip_total == 0) {
    mix_music(count, g);
    return;
  }
  int f = aud.skip_fade;
  for (int i = 0; i < count; ++i) {
    const double fg = g * f / aud.skip_total;
    mix[2 * i] += static_cast<float>(music[2 * i] * fg);
    mix[2 * i + 1] += static_cast<float>(music[2 * i + 1] * fg);
    if (f > 0) --f;
  }
  aud.skip_fade = f;
  if (aud.skip_fade == 0) {
    aud.pb_done = 1;
    aud.skip_total = 0;
  }
}

i16 to_pcm(float h) {
  if (h < -1) return -32767;
  if (h > 1) return 32767;
  return static_cast<i16>(h * 32767);
}

void dump_chunk(int count) {
  if (!aud.dump_checked) {
    aud.dump_checked = 1;
    const char* path = std::getenv("BKM_AUDIODUMP");
    if (path && *path) {
      aud.dump = std::fopen(path, "wb");
      if (!aud.dump) host_log("audio dump: cannot create %s", path);
    }
  }
  if (!aud.dump || count <= 0) return;
  u8 bytes[4 * ym_max_chunk];
  for (int i = 0; i < 2 * count; ++i) {
    const u16 v = static_cast<u16>(out[i]);
    bytes[2 * i] = static_cast<u8>(v);
    bytes[2 * i + 1] = static_cast<u8>(v >> 8);
  }
  const size_t size = 4 * static_cast<size_t>(count);
  if (std::fwrite(bytes, 1, size, aud.dump) != size || std::fflush(aud.dump) != 0) {
    host_log("audio dump: writing failed, the dump stops here");
    std::fclose(aud.dump);
    aud.dump = nullptr;
  }
}

} // namespace

void audio_chunk(int joy0, int joy1, int paused) {
  if (!aud.chip) return;
  int n = ym_events_take(events, ym_log_capacity);
  if (!aud.audio_on) {
    u8 regs[16];
    ym_get_regs(regs, nullptr);
    ym_set_state(aud.chip, regs);
    return;
  }

  const int fire = ((joy0 | joy1) >> 7) & 1;
  const bool skip = !paused && ((fire && !aud.skip_prev_fire) || aud.skip_key);
  aud.skip_prev_fire = fire;
  aud.skip_key = 0;

  const music_source source = choose_source(n);
  const int count = chunk_frames();
  aud.pb_elapsed += count;

  const bool mixer_on = aud.sfx_multi || aud.sfx_pan;
  if (mixer_on) n = drop_sample_writes(n);
  set_channel_gains();
  ym_render(aud.chip, count, events, n, mono);
  if (std::getenv("BKM_AUDIOLOG")) log_chunk(count, n, source.pcm != nullptr);

  for (int i = 0; i < count; ++i) mix[2 * i] = mix[2 * i + 1] = mono[i];
  if (mixer_on) {
    mixer_render(count, mixed_samples);
    for (int i = 0; i < 2 * count; ++i) {
      float h = mix[i] + mixed_samples[i];
      const float a = std::fabs(h);
      if (a > soft_clip_knee)
        h = std::copysign(soft_clip_knee + 0.2f * std::tanh((a - soft_clip_knee) / 0.2f), h);
      mix[i] = h;
    }
  } else {
    mixer_reset();
  }

  if (source.pcm) replacement_music(source, count, skip);
  if (aud.pb_done && aud.pend_song != -2) audio_song_switch(aud.pend_song);

  for (int i = 0; i < 2 * count; ++i) out[i] = to_pcm(static_cast<float>(mix[i] * aud.vol));
  dump_chunk(count);
  if (aud.output) audio_push(aud.output, out, count);
}
