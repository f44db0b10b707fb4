// LHA archives as the Amiga disk dumps come in: the member headers of
// levels 0 and 1, stored members (-lh0-) and the -lh5- method (LZ77 over an
// 8 KB window with static Huffman codes per block). The whole member is in
// memory, so the output itself serves as the window.
#include <cstdlib>
#include <cstring>

#include "sound/amiga_disk.h"

namespace {

// ---- Bits, most significant first; past the input they read as 0 ----------

struct bit_reader {
  const u8* data;
  size_t length;
  u64 position = 0; // in bits

  int bit() {
    const u64 byte = position >> 3;
    const int b = byte < length ? data[byte] >> (7 - (position & 7)) & 1 : 0;
    ++position;
    return b;
  }
  u32 bits(int n) {
    u32 v = 0;
    for (int i = 0; i < n; ++i) v = v << 1 | static_cast<u32>(bit());
    return v;
  }
};

// ---- Canonical Huffman tables, decoded bit by bit --------------------------

constexpr int max_code_length = 16;
constexpr int literal_symbols = 510;   // 256 bytes and 254 copy lengths
constexpr int pre_symbols = 19;        // code lengths 0..16 and the zero runs
constexpr int position_symbols = 14;
constexpr int shortest_copy = 3;

struct huffman {
  int single = -1; // the only symbol, coded with no bits at all
  u16 count[max_code_length + 1];
  u16 symbol[literal_symbols];
};

// From the code lengths (0 = unused). False when a length is too long or
// the lengths oversubscribe the code space; an incomplete code is taken and
// fails only when one of its missing codes turns up.
bool build(huffman& h, const u8* lengths, int n) {
  h.single = -1;
  std::memset(h.count, 0, sizeof h.count);
  for (int s = 0; s < n; ++s) {
    if (lengths[s] > max_code_length) return false;
    ++h.count[lengths[s]];
  }
  int left = 1;
  for (int len = 1; len <= max_code_length; ++len) {
    left = left * 2 - h.count[len];
    if (left < 0) return false;
  }
  u16 offset[max_code_length + 2];
  offset[1] = 0;
  for (int len = 1; len <= max_code_length; ++len) offset[len + 1] = static_cast<u16>(offset[len] + h.count[len]);
  for (int s = 0; s < n; ++s)
    if (lengths[s] != 0) h.symbol[offset[lengths[s]]++] = static_cast<u16>(s);
  return true;
}

// The next symbol, or -1 when the bits spell no code of the table.
int decode(const huffman& h, bit_reader& in) {
  if (h.single >= 0) return h.single;
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= max_code_length; ++len) {
    code |= in.bit();
    const int count = h.count[len];
    if (code - first < count) return h.symbol[index + code - first];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

// A table whose count field is 0 holds one symbol, given in the next bits.
bool read_single(huffman& h, bit_reader& in, int count_bits, int symbols) {
  const int s = static_cast<int>(in.bits(count_bits));
  if (s >= symbols) return false;
  h.single = s;
  return true;
}

// The pre-table and the position table: 3-bit lengths, 7 followed by 1-bits
// for longer ones; the pre-table skips zeros after its third length.
bool read_short_table(huffman& h, bit_reader& in, int symbols, int count_bits, int skip_after) {
  const int n = static_cast<int>(in.bits(count_bits));
  if (n == 0) return read_single(h, in, count_bits, symbols);
  if (n > symbols) return false;
  u8 lengths[pre_symbols] = {};
  int i = 0;
  while (i < n) {
    u32 len = in.bits(3);
    if (len == 7)
      while (in.bit() && len <= max_code_length) ++len;
    lengths[i++] = static_cast<u8>(len);
    if (i == skip_after) i += static_cast<int>(in.bits(2));
  }
  return build(h, lengths, symbols);
}

bool read_literal_table(huffman& h, const huffman& pre, bit_reader& in) {
  const int n = static_cast<int>(in.bits(9));
  if (n == 0) return read_single(h, in, 9, literal_symbols);
  if (n > literal_symbols) return false;
  u8 lengths[literal_symbols] = {};
  int i = 0;
  while (i < n) {
    const int c = decode(pre, in);
    if (c < 0) return false;
    if (c == 0)
      i += 1;
    else if (c == 1)
      i += static_cast<int>(in.bits(4)) + 3;
    else if (c == 2)
      i += static_cast<int>(in.bits(9)) + 20;
    else
      lengths[i++] = static_cast<u8>(c - 2);
  }
  return build(h, lengths, literal_symbols);
}

} // namespace

u8* lh5_unpack(const u8* data, size_t length, size_t uncompressed_size) {
  auto* out = static_cast<u8*>(std::malloc(uncompressed_size ? uncompressed_size : 1));
  if (!out) return nullptr;
  bit_reader in{data, length};
  huffman pre, literals, positions;
  u32 codes_left = 0;
  size_t o = 0;
  while (o < uncompressed_size) {
    if (codes_left == 0) {
      codes_left = in.bits(16);
      const bool tables = read_short_table(pre, in, pre_symbols, 5, 3) && read_literal_table(literals, pre, in) &&
                          read_short_table(positions, in, position_symbols, 4, -1);
      // Past the end of the input only zeros come; they would spell empty
      // blocks for ever.
      if (!tables || in.position > static_cast<u64>(length) * 8 + 64) {
        std::free(out);
        return nullptr;
      }
      continue;
    }
    --codes_left;
    const int c = decode(literals, in);
    if (c < 0) {
      std::free(out);
      return nullptr;
    }
    if (c < 256) {
      out[o++] = static_cast<u8>(c);
      continue;
    }
    const int p = decode(positions, in);
    if (p < 0) {
      std::free(out);
      return nullptr;
    }
    const size_t distance = (p <= 1 ? static_cast<size_t>(p) : (size_t{1} << (p - 1)) + in.bits(p - 1)) + 1;
    for (int k = c - 256 + shortest_copy; k > 0 && o < uncompressed_size; --k, ++o)
      out[o] = o >= distance ? out[o - distance] : 0;
  }
  return out;
}

// ---- Archive ------------------------------------------------------------------

namespace {

constexpr size_t basic_header_min = 23;

u32 le16(const u8* p) { return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8; }
u32 le32(const u8* p) { return le16(p) | le16(p + 2) << 16; }

bool is_disk_name(const u8* name, size_t len) {
  size_t base = 0;
  for (size_t i = 0; i < len; ++i)
    if (name[i] == '/') base = i + 1;
  static constexpr char wanted[] = "disk.1";
  if (len - base != sizeof wanted - 1) return false;
  for (size_t i = 0; i < sizeof wanted - 1; ++i) {
    const u8 ch = name[base + i];
    const u8 lower = ch >= 'A' && ch <= 'Z' ? static_cast<u8>(ch + 32) : ch;
    if (lower != static_cast<u8>(wanted[i])) return false;
  }
  return true;
}

u8* extract_member(const u8* archive, size_t size, size_t data_start, size_t data_length, char method,
                   size_t uncompressed, size_t* length) {
  // A cut archive gives what it has; the block's CRC judges the result.
  const size_t available = data_start < size ? size - data_start : 0;
  if (data_length > available) data_length = available;
  // The method's ratio has no bound: a member claiming more than any disk
  // would be a large allocation for nothing.
  if (uncompressed > amiga_disk_max_file) return nullptr;
  u8* out = nullptr;
  if (method == '0') {
    if (data_length < uncompressed) return nullptr;
    out = static_cast<u8*>(std::malloc(uncompressed ? uncompressed : 1));
    if (out && uncompressed) std::memcpy(out, archive + data_start, uncompressed);
  } else if (method == '5') {
    out = lh5_unpack(archive + data_start, data_length, uncompressed);
  }
  if (out) *length = uncompressed;
  return out;
}

} // namespace

u8* lha_extract(const u8* archive, size_t size, size_t* length) {
  size_t at = 0;
  while (size - at >= basic_header_min) {
    const u8* h = archive + at;
    const size_t header_size = h[0];
    if (header_size == 0) break;
    if (h[2] != '-' || h[3] != 'l' || h[4] != 'h' || h[6] != '-') break;
    const int level = h[20];
    if (level > 1) break;
    const size_t name_len = h[21];
    const size_t compressed = le32(h + 7);
    const size_t uncompressed = le32(h + 11);
    if (header_size + 2 > size - at || 22 + name_len > size - at) break;
    size_t extended = 0;
    if (level == 1) {
      if (27 + name_len > size - at) break;
      // Extended headers follow the basic one, each ending with the size of
      // the next; they count as part of the compressed size.
      size_t next = le16(h + 25 + name_len);
      size_t ext_at = at + header_size + 2;
      while (next > 2) {
        extended += next;
        if (extended > compressed || next > size - ext_at) return nullptr;
        const size_t current = next;
        next = le16(archive + ext_at + current - 2);
        ext_at += current;
      }
    }
    if (is_disk_name(h + 22, name_len))
      return extract_member(archive, size, at + header_size + 2 + extended, compressed - extended, static_cast<char>(h[5]),
                            uncompressed, length);
    const size_t next_at = header_size + 2 + compressed;
    if (next_at > size - at) break;
    at += next_at;
  }
  return nullptr;
}
