#include "support/synthetic/packed_picture_encoder.h"

#include <algorithm>
#include <stdexcept>

namespace {

void put_count(std::vector<u8>& control, u32 count) {
  control.push_back(static_cast<u8>(count >> 8));
  control.push_back(static_cast<u8>(count));
}

u16 screen_word(std::span<const u8> screen, u32 index) {
  const u32 at = picture_word_offset(index);
  return static_cast<u16>(screen[at] << 8 | screen[at + 1]);
}

} // namespace

packed_picture_builder& packed_picture_builder::repeat(u16 word, u32 count, bool long_form) {
  if (count < 1 || count > 0xFFFF) throw std::invalid_argument("repeat count out of range");
  if (!long_form && count >= 2 && count <= 127) {
    control_.push_back(static_cast<u8>(count));
  } else {
    control_.push_back(0);
    put_count(control_, count);
  }
  data_.push_back(word);
  return *this;
}

packed_picture_builder& packed_picture_builder::copy(std::span<const u16> words, bool long_form) {
  const size_t count = words.size();
  if (count < 1 || count > 0xFFFF) throw std::invalid_argument("copy count out of range");
  if (!long_form && count <= 128) {
    control_.push_back(static_cast<u8>(256 - count));
  } else {
    control_.push_back(1);
    put_count(control_, static_cast<u32>(count));
  }
  data_.insert(data_.end(), words.begin(), words.end());
  return *this;
}

packed_picture_builder& packed_picture_builder::control(u8 byte) {
  control_.push_back(byte);
  return *this;
}

packed_picture_builder& packed_picture_builder::data(u16 word) {
  data_.push_back(word);
  return *this;
}

std::vector<u8> packed_picture_builder::bytes() const {
  if (control_.size() > 0xFFFF) throw std::length_error("too many control bytes");
  std::vector<u8> out;
  out.reserve(2 + control_.size() + 2 * data_.size());
  put_count(out, static_cast<u32>(control_.size()));
  out.insert(out.end(), control_.begin(), control_.end());
  for (u16 w : data_) {
    out.push_back(static_cast<u8>(w >> 8));
    out.push_back(static_cast<u8>(w));
  }
  return out;
}

u32 picture_word_offset(u32 index) { return (index % 200) * 160 + (index / 200) * 2; }

std::vector<u8> pack_picture(std::span<const u8> screen) {
  if (screen.size() != picture_screen_bytes) throw std::invalid_argument("a screen has 32,000 bytes");
  packed_picture_builder b;
  std::vector<u16> literal;
  auto flush = [&] {
    for (size_t at = 0; at < literal.size(); at += 128) {
      const size_t n = std::min<size_t>(128, literal.size() - at);
      b.copy(std::span<const u16>(literal).subspan(at, n));
    }
    literal.clear();
  };
  u32 i = 0;
  while (i < picture_screen_words) {
    const u16 w = screen_word(screen, i);
    u32 run = 1;
    while (i + run < picture_screen_words && run < 0xFFFF && screen_word(screen, i + run) == w) ++run;
    if (run >= 2) {
      flush();
      b.repeat(w, run);
    } else {
      literal.push_back(w);
    }
    i += run;
  }
  flush();
  return b.bytes();
}
