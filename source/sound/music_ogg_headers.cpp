// The header check of Ogg songs: the pages walked as stb_vorbis walks them
// (one after another, whatever their stream), the identification, comment
// and setup packets reassembled, and every length, count and codebook size
// they declare held to what the packet really holds.
#include "sound/music_ogg_headers.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A comment header can carry a cover picture: a few megabytes.
constexpr size_t largest_packet = size_t{16} << 20;
// What the codebooks may make stb_vorbis allocate together; a real stream's
// take well under a megabyte.
constexpr u64 codebook_budget = u64{32} << 20;

// The packets of the stream in order, reassembled from the pages' lacing.
class packet_reader {
public:
  packet_reader(const u8* data, size_t size) : data_(data), size_(size) {}

  // False when the stream ends first or the packet is too large.
  bool next(std::vector<u8>& out) {
    out.clear();
    for (;;) {
      while (segment_ == segments_)
        if (!next_page()) return false;
      const u8 length = lacing_[segment_++];
      if (out.size() + length > largest_packet) return false;
      out.insert(out.end(), data_ + body_, data_ + body_ + length);
      body_ += length;
      if (length < 255) return true;
    }
  }

private:
  bool next_page() {
    if (size_ - at_ < 27 || std::memcmp(data_ + at_, "OggS", 4) != 0 || data_[at_ + 4] != 0) return false;
    segments_ = data_[at_ + 26];
    if (size_ - at_ - 27 < static_cast<size_t>(segments_)) return false;
    lacing_ = data_ + at_ + 27;
    size_t length = 0;
    for (int i = 0; i < segments_; ++i) length += lacing_[i];
    body_ = at_ + 27 + static_cast<size_t>(segments_);
    if (size_ - body_ < length) return false;
    at_ = body_ + length;
    segment_ = 0;
    return true;
  }

  const u8* data_;
  size_t size_;
  size_t at_ = 0;
  const u8* lacing_ = nullptr;
  int segments_ = 0, segment_ = 0;
  size_t body_ = 0;
};

bool vorbis_packet(const std::vector<u8>& p, u8 type) {
  return p.size() >= 7 && p[0] == type && std::memcmp(p.data() + 1, "vorbis", 6) == 0;
}

u32 le32(const u8* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<u32>(p[3]) << 24; }

const char* identification_fault(const std::vector<u8>& p) {
  if (!vorbis_packet(p, 1) || p.size() < 30) return "no Vorbis identification header";
  const int log0 = p[28] & 15, log1 = p[28] >> 4;
  if (le32(p.data() + 7) != 0 || p[11] == 0 || le32(p.data() + 12) == 0 || log0 < 6 || log1 > 13 ||
      log0 > log1 || !(p[29] & 1))
    return "its identification header is not Vorbis I";
  return nullptr;
}

const char* comment_fault(const std::vector<u8>& p) {
  const char* overrun = "its comment header declares more than it holds";
  if (!vorbis_packet(p, 3)) return "no Vorbis comment header";
  size_t at = 7;
  auto length = [&](u64* n) {
    if (p.size() - at < 4) return false;
    *n = le32(p.data() + at);
    at += 4;
    return true;
  };
  u64 n = 0, count = 0;
  if (!length(&n) || n > p.size() - at) return overrun;
  at += n;
  // Each comment takes at least its four length bytes.
  if (!length(&count) || count > (p.size() - at) / 4) return overrun;
  for (u64 i = 0; i < count; ++i) {
    if (!length(&n) || n > p.size() - at) return overrun;
    at += n;
  }
  if (at == p.size() || !(p[at] & 1)) return overrun;
  return nullptr;
}

// Vorbis packs its setup fields from the low bit of each byte up.
class bit_reader {
public:
  bit_reader(const std::vector<u8>& p, size_t from) : p_(p), bit_(u64{from} * 8) {}

  u32 get(int n) {
    u32 v = 0;
    for (int i = 0; i < n; ++i, ++bit_) {
      if (bit_ >= u64{p_.size()} * 8) {
        ok_ = false;
        return 0;
      }
      v |= static_cast<u32>(p_[bit_ >> 3] >> (bit_ & 7) & 1) << i;
    }
    return v;
  }
  u64 left() const { return ok_ ? u64{p_.size()} * 8 - bit_ : 0; }
  void skip(u64 n) { bit_ += n; }
  bool ok() const { return ok_; }

private:
  const std::vector<u8>& p_;
  u64 bit_;
  bool ok_ = true;
};

int bits_for(u32 n) {
  int b = 0;
  while (n) ++b, n >>= 1;
  return b;
}

// The values of a lookup type 1 book, worked out as stb_vorbis does (in
// float), so that the walk stays in step with its reading; -1 if none, or
// if stb_vorbis would take a power beyond int for an int (a book of one
// value in 31 dimensions or more, which no encoder makes).
int lookup1_values(int entries, int dim) {
  const int r = static_cast<int>(std::floor(std::exp(static_cast<float>(std::log(static_cast<float>(entries))) / dim)));
  const double above = std::floor(std::pow(static_cast<float>(r) + 1, dim));
  if (above > INT_MAX) return -1;
  const int values = static_cast<int>(above) <= entries ? r + 1 : r;
  if (std::pow(static_cast<float>(values) + 1, dim) <= entries) return -1;
  if (std::floor(std::pow(static_cast<float>(values), dim)) > entries) return -1;
  return values;
}

// One codebook; adds what stb_vorbis would allocate for it to *cost.
const char* codebook_fault(bit_reader& in, u64* cost) {
  const char* bad = "a codebook of its setup header is not Vorbis I";
  if (in.get(24) != 0x564342) return bad;
  const u32 dimensions = in.get(16), entries = in.get(24);
  const bool ordered = in.get(1);
  const bool sparse = !ordered && in.get(1);
  if (!in.ok() || (dimensions == 0 && entries != 0)) return bad;
  if (ordered) {
    u32 entry = 0, length = in.get(5) + 1;
    while (entry < entries) {
      const u32 n = in.get(bits_for(entries - entry));
      if (!in.ok() || length >= 32 || n > entries - entry) return bad;
      entry += n, ++length;
    }
  } else {
    // Every entry takes at least one bit: no more entries than bits.
    if (entries > in.left()) return bad;
    for (u32 j = 0; j < entries; ++j)
      if ((!sparse || in.get(1)) && in.get(5) == 31) return bad;
    if (!in.ok()) return bad;
  }
  // Lengths, codewords, sorted codewords and values, and the sentinels.
  *cost += u64{entries} * 24;
  const u32 lookup = in.get(4);
  if (!in.ok() || lookup > 2) return bad;
  if (lookup > 0) {
    in.get(32), in.get(32);
    const u32 value_bits = in.get(4) + 1;
    in.get(1);
    const u64 cells = u64{entries} * dimensions;
    const char* overrun = "a codebook of its setup header declares more values than it holds";
    if (!in.ok() || cells == 0) return overrun;
    // Type 1 books are expanded to every entry's values.
    const int type1 = lookup == 1 ? lookup1_values(static_cast<int>(entries), static_cast<int>(dimensions)) : 0;
    if (type1 < 0) return overrun;
    const u64 values = lookup == 1 ? static_cast<u64>(type1) : cells;
    if (values == 0 || values > in.left() / value_bits) return overrun;
    in.skip(values * value_bits);
    if (cells > codebook_budget) return "a codebook of its setup header is too large";
    *cost += cells * 4 + values * 2;
  }
  if (*cost > codebook_budget) return "the codebooks of its setup header are too large";
  return nullptr;
}

const char* setup_fault(const std::vector<u8>& p) {
  if (!vorbis_packet(p, 5)) return "no Vorbis setup header";
  bit_reader in(p, 7);
  const u32 books = in.get(8) + 1;
  u64 cost = 0;
  for (u32 i = 0; i < books; ++i)
    if (const char* fault = codebook_fault(in, &cost)) return fault;
  return nullptr;
}

} // namespace

const char* ogg_headers_fault(const u8* data, size_t size) {
  packet_reader packets(data, size);
  std::vector<u8> p;
  if (!packets.next(p)) return "its first page is cut or not Ogg";
  if (const char* fault = identification_fault(p)) return fault;
  if (!packets.next(p)) return "its comment header is cut or too long";
  if (const char* fault = comment_fault(p)) return fault;
  if (!packets.next(p)) return "its setup header is cut or too long";
  return setup_fault(p);
}
