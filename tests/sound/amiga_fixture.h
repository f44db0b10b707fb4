// The Amiga music player opened on a synthetic music block, for the tests
// of the player, Paula and the replay. A test edits `block` before load().
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sound/amiga_paula.h"
#include "sound/amiga_player.h"
#include "sound/amiga_replay.h"
#include "support/synthetic/amiga_music_block.h"

class AmigaTest : public ::testing::Test {
 protected:
  amiga_block block = amiga_block_default();

  void TearDown() override { amiga_player_forget(); }

 public:

  void load(int rate = 44100) { ASSERT_TRUE(amiga_player_load(block.bytes.data(), rate)); }

  static u32 m8(u32 a) { return amem[a]; }
  static u32 m16(u32 a) { return amem[a] << 8 | amem[a + 1]; }
  static u32 m32(u32 a) { return m16(a) << 16 | m16(a + 2); }
  static void p8(u32 a, u32 v) { amem[a] = static_cast<u8>(v); }
  static void p16(u32 a, u32 v) {
    p8(a, v >> 8);
    p8(a + 1, v);
  }
  static void p32(u32 a, u32 v) {
    p16(a, v >> 16);
    p16(a + 2, v);
  }

  static void tick(int n = 1) {
    for (int i = 0; i < n; ++i) am_call(bkam_tick_entry, 0);
  }
  static u32 voice(int v, u32 field) { return bkam_voices + bkam_voice_size * static_cast<u32>(v) + field; }
  static u32 shadow(int c, u32 field) { return bkam_shadows + bkam_shadow_size * static_cast<u32>(c) + field; }
  static u32 sfx(int c, u32 field) { return bkam_sfx_channels + bkam_sfx_channel_size * static_cast<u32>(c) + field; }
  static u32 sample_rec(int n, u32 field) { return bkam_samples + bkam_sample_size * static_cast<u32>(n) + field; }
  // The period the replay gives note index n on sample s (after the set-up).
  static u32 period_of(int s, int n) {
    return (m16(sample_rec(s, sample_period)) * static_cast<u32>(am_note_factor(n)) >> 10) & 0xFFFF;
  }

  // Tune 0 with voice 0 playing seq (its order list holding only it) and
  // voices 1-3 resting for long stretches.
  void solo(const std::vector<u8>& seq, i8 speed = 1, u8 tempo = 0) {
    using namespace am_cmd;
    const std::vector<u8> quiet = {duration + 32, rest, next_sequence};
    block.tune(0, speed, tempo, am_voices{{{seq}, {quiet}, {quiet}, {quiet}}});
  }
};
