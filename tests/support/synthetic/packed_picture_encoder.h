// Writes screens in the game's run-packed picture form (`packed_picture`):
// a big-endian word n, n control bytes, then big-endian data words. The
// runs fill a 320 x 200 four-plane screen word column by word column, each
// from line 0 to line 199.
//
// Control bytes: 0 + 16-bit count = repeat one data word; 1 + 16-bit count
// = copy that many data words; 2-127 = repeat one word that many times;
// 128-255 = copy 256 - c words.
#pragma once
#include <span>
#include <vector>

#include "machine/types.h"

constexpr u32 picture_screen_bytes = 32000;
constexpr u32 picture_screen_words = 16000;

// Builds a picture run by run, for tests that need exact control bytes.
class packed_picture_builder {
 public:
  // A run of `count` (1-65,535) copies of one word: the short form for
  // 2-127 unless `long_form`, else control 0 with the count.
  packed_picture_builder& repeat(u16 word, u32 count, bool long_form = false);
  // Copies of the given words (1-65,535): the short form for 1-128 unless
  // `long_form`, else control 1 with the count.
  packed_picture_builder& copy(std::span<const u16> words, bool long_form = false);
  // Raw bytes and words, for pictures that break the rules.
  packed_picture_builder& control(u8 byte);
  packed_picture_builder& data(u16 word);

  std::vector<u8> bytes() const;

 private:
  std::vector<u8> control_;
  std::vector<u16> data_;
};

// The word at `index` of the unpacking order: its byte offset in the screen.
u32 picture_word_offset(u32 index);

// Packs a 32,000-byte screen (repeat runs where words repeat, copy runs
// between them).
std::vector<u8> pack_picture(std::span<const u8> screen);
