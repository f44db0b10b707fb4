// A stand-in for the music-pack loader and the Amiga player: songs are
// vectors of stereo frames set by the test, loopers copy plainly.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "sound/music_entries.h"

struct music_double {
  static inline std::map<int, std::vector<i16>> songs; // ready slots
  static inline std::map<int, bool> loading;           // pending slots
  static inline std::map<int, std::pair<int, int>> loops;
  static inline int prefetches = 0;
  static inline std::string folder;
  static inline std::vector<int> amiga_played;
  static inline std::vector<int> amiga_skipped;
  static inline bool amiga_is_playing = true;
  static inline i16 amiga_value = 1000;

  static void install_pack() {
    reset();
    music_entries = {};
    music_entries.get = [](music_loader*, int slot, int* frames) -> const i16* {
      auto it = songs.find(slot);
      if (it == songs.end()) return nullptr;
      *frames = static_cast<int>(it->second.size() / 2);
      return it->second.data();
    };
    music_entries.pending = [](music_loader*, int slot) { return loading.count(slot) ? 1 : 0; };
    music_entries.loop_points = [](music_loader*, int slot, int* start, int* back) {
      auto it = loops.find(slot);
      if (it == loops.end()) return 0;
      *start = it->second.first, *back = it->second.second;
      return 1;
    };
    music_entries.prefetch = [](music_loader*) { ++prefetches; };
    music_entries.set_dir = [](music_loader*, const char* f) { folder = f; };
    music_entries.take_once = [](int* pos, const i16* pcm, int frames, int n, i16* out) {
      for (int i = 0; i < n; ++i, ++*pos)
        for (int side = 0; side < 2; ++side) out[2 * i + side] = *pos < frames ? pcm[2 * *pos + side] : 0;
      if (*pos > frames) *pos = frames;
      return *pos >= frames ? 1 : 0;
    };
    music_entries.take = [](int* pos, const i16* pcm, int frames, int n, i16* out) {
      for (int i = 0; i < n; ++i) {
        *pos %= frames;
        out[2 * i] = pcm[2 * *pos], out[2 * i + 1] = pcm[2 * *pos + 1];
        ++*pos;
      }
    };
    music_entries.take_lp = [](int* pos, const i16* pcm, int frames, int, int, int n, i16* out) {
      music_entries.take(pos, pcm, frames, n, out);
    };
  }

  static void install_amiga() {
    install_pack();
    music_entries.amiga_ready = [] { return 1; };
    music_entries.amiga_play = [](int song) { amiga_played.push_back(song); };
    music_entries.amiga_skip = [](int frames) { amiga_skipped.push_back(frames); };
    music_entries.amiga_playing = [] { return amiga_is_playing ? 1 : 0; };
    music_entries.amiga_render = [](int count, i16* out) {
      for (int i = 0; i < 2 * count; ++i) out[i] = amiga_value;
    };
  }

  static void reset() {
    songs.clear();
    loading.clear();
    loops.clear();
    prefetches = 0;
    folder.clear();
    amiga_played.clear();
    amiga_skipped.clear();
    amiga_is_playing = true;
    amiga_value = 1000;
  }
};
