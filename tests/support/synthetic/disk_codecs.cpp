#include "support/synthetic/disk_codecs.h"

#include <algorithm>

#include "support/synthetic/squeeze_encoder.h"

std::vector<u8> escape_runs(std::span<const u8> data) {
  std::vector<u8> out;
  size_t i = 0;
  while (i < data.size()) {
    const u8 b = data[i];
    size_t run = 1;
    while (i + run < data.size() && run < 255 && data[i + run] == b) ++run;
    if (run >= 4 || (b == escape_byte && run >= 2)) {
      out.push_back(escape_byte);
      out.push_back(static_cast<u8>(run - 1));
      out.push_back(b);
      i += run;
      continue;
    }
    out.push_back(b);
    if (b == escape_byte) out.push_back(escape_byte);
    ++i;
  }
  return out;
}

std::vector<u8> expand_escaped_runs(std::span<const u8> packed, size_t size) {
  std::vector<u8> out;
  size_t i = 0;
  while (out.size() < size && i < packed.size()) {
    const u8 b = packed[i++];
    if (b != escape_byte) {
      out.push_back(b);
      continue;
    }
    if (i >= packed.size()) break;
    const u8 n = packed[i++];
    if (n == escape_byte) {
      out.push_back(escape_byte);
      continue;
    }
    if (i >= packed.size()) break;
    out.insert(out.end(), static_cast<size_t>(n) + 1, packed[i++]);
  }
  return out;
}

std::vector<u8> squeeze_unpack_in_place(std::span<const u8> file, u32 input, u32 output, i64* margin) {
  constexpr size_t tree_at = squeeze_header_size;
  if (file.size() < tree_at + 2) return {};
  const i16 count = static_cast<i16>(file[tree_at] | file[tree_at + 1] << 8);
  const size_t nodes = count > 0 ? static_cast<size_t>(count) : 0;
  size_t at = tree_at + 2 + 4 * nodes; // the bit stream
  if (at > file.size()) return {};
  auto child = [&](size_t node, int bit) -> u16 {
    const size_t p = tree_at + 2 + 4 * node + 2 * static_cast<size_t>(bit);
    return static_cast<u16>(file[p] | file[p + 1] << 8);
  };

  // Addresses of the bytes still to read: the packed bytes lie from `input`
  // on, starting with the header, which the callers skip.
  const i64 first_unread_base = static_cast<i64>(input) - static_cast<i64>(tree_at);
  std::vector<u8> out;
  i64 closest = INT64_MAX;
  auto emit = [&](u8 b) {
    const i64 write = static_cast<i64>(output) + static_cast<i64>(out.size());
    const i64 unread = first_unread_base + static_cast<i64>(at);
    closest = std::min(closest, unread - write);
    out.push_back(b);
    return write < unread;
  };

  int bits_left = 0;
  u8 current = 0;
  bool after_marker = false;
  u8 previous = 0;
  for (;;) {
    u16 node = 0;
    for (;;) {
      if (bits_left == 0) {
        if (at >= file.size()) return {};
        current = file[at++];
        bits_left = 8;
      }
      const int bit = current & 1;
      current = static_cast<u8>(current >> 1);
      --bits_left;
      const u16 next = node == 0 && nodes == 0 ? squeeze_leaf(squeeze_end_symbol) : child(node, bit);
      if (next & 0x8000) {
        node = next;
        break;
      }
      if (next >= nodes) return {};
      node = next;
    }
    const int symbol = static_cast<u16>(~node);
    if (symbol == squeeze_end_symbol) break;
    if (symbol > 255) return {};
    if (!after_marker) {
      if (symbol == squeeze_run_marker) {
        after_marker = true;
        continue;
      }
      previous = static_cast<u8>(symbol);
      if (!emit(previous)) return {};
      continue;
    }
    after_marker = false;
    if (symbol == 0) {
      if (!emit(squeeze_run_marker)) return {};
      continue;
    }
    for (int k = 1; k < symbol; ++k)
      if (!emit(previous)) return {};
  }
  if (margin) *margin = closest;
  return out;
}

std::vector<u8> squeeze_for_place(std::span<const u8> data, u32 input, u32 output, int min_bits) {
  std::vector<u8> file = min_bits > 0 ? squeeze_evenly(data, min_bits) : squeeze(data);
  const std::vector<u8> back = squeeze_unpack_in_place(file, input, output);
  if (back.size() != data.size() || !std::equal(back.begin(), back.end(), data.begin())) return {};
  return file;
}
