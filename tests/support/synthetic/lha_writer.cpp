#include "support/synthetic/lha_writer.h"

#include <algorithm>
#include <cstring>
#include <queue>

namespace {

constexpr int literal_symbols = 510;
constexpr int pre_symbols = 19;
constexpr int position_symbols = 14;
constexpr int max_bits = 16;
constexpr int window = 8192;
constexpr int longest_copy = 256;

// Huffman code lengths of at most max_len bits; unused symbols get 0. With
// fewer than two symbols in use the caller writes a one-symbol table.
std::vector<int> code_lengths(std::vector<u32> freq, int max_len) {
  const int n = static_cast<int>(freq.size());
  for (;;) {
    std::vector<int> parent(2 * n, -1);
    using node = std::pair<u64, int>;
    std::priority_queue<node, std::vector<node>, std::greater<>> heap;
    for (int s = 0; s < n; ++s)
      if (freq[s]) heap.push({freq[s], s});
    int next = n;
    while (heap.size() > 1) {
      const node a = heap.top();
      heap.pop();
      const node b = heap.top();
      heap.pop();
      parent[a.second] = parent[b.second] = next;
      heap.push({a.first + b.first, next++});
    }
    std::vector<int> len(n, 0);
    int longest = 0;
    for (int s = 0; s < n; ++s) {
      if (!freq[s]) continue;
      for (int p = parent[s]; p >= 0; p = parent[p]) ++len[s];
      longest = std::max(longest, len[s]);
    }
    if (longest <= max_len) return len;
    for (u32& f : freq)
      if (f) f = (f + 1) / 2;
  }
}

// Canonical codes: by length, then by symbol.
std::vector<u32> canonical(const std::vector<int>& len) {
  std::vector<u32> code(len.size(), 0);
  u32 next = 0;
  for (int l = 1; l <= max_bits; ++l) {
    for (size_t s = 0; s < len.size(); ++s)
      if (len[s] == l) code[s] = next++;
    next <<= 1;
  }
  return code;
}

int used_symbols(const std::vector<u32>& freq, int* only) {
  int used = 0;
  for (size_t s = 0; s < freq.size(); ++s)
    if (freq[s]) ++used, *only = static_cast<int>(s);
  return used;
}

int count_to_write(const std::vector<int>& len) {
  int n = static_cast<int>(len.size());
  while (n > 0 && len[n - 1] == 0) --n;
  return n;
}

int position_symbol(int d) {
  int p = 0;
  while (d >> p) ++p;
  return p;
}

struct table {
  std::vector<int> len;
  std::vector<u32> code;
  int single = -1;
};

table make_table(const std::vector<u32>& freq) {
  table t;
  int only = 0;
  if (used_symbols(freq, &only) < 2) {
    t.single = only;
    t.len.assign(freq.size(), 0);
    return t;
  }
  t.len = code_lengths(freq, max_bits);
  t.code = canonical(t.len);
  return t;
}

void put_symbol(lh5_bits& out, const table& t, int s) {
  if (t.single < 0) out.put(t.code[s], t.len[s]);
}

// The pre-table and position table's form: 3 bits, or 7 and 1-bits.
void put_short_lengths(lh5_bits& out, const table& t, int count_bits, int skip_after) {
  if (t.single >= 0) {
    out.put(0, count_bits);
    out.put(static_cast<u32>(t.single), count_bits);
    return;
  }
  const int n = count_to_write(t.len);
  out.put(static_cast<u32>(n), count_bits);
  for (int i = 0; i < n;) {
    const int l = t.len[i++];
    if (l < 7) {
      out.put(static_cast<u32>(l), 3);
    } else {
      out.put(7, 3);
      for (int k = 7; k < l; ++k) out.put(1, 1);
      out.put(0, 1);
    }
    if (i == skip_after) {
      int zeros = 0;
      while (zeros < 3 && i + zeros < n && t.len[i + zeros] == 0) ++zeros;
      out.put(static_cast<u32>(zeros), 2);
      i += zeros;
    }
  }
}

struct pre_code {
  int symbol;
  int extra_bits;
  u32 extra;
};

// The literal table's lengths as pre-table symbols, zero lengths as runs.
std::vector<pre_code> literal_lengths_as_pre(const std::vector<int>& len) {
  std::vector<pre_code> out;
  const int n = count_to_write(len);
  for (int i = 0; i < n;) {
    if (len[i] != 0) {
      out.push_back({len[i++] + 2, 0, 0});
      continue;
    }
    int run = 0;
    while (i + run < n && len[i + run] == 0) ++run;
    i += run;
    if (run <= 2) {
      for (int k = 0; k < run; ++k) out.push_back({0, 0, 0});
    } else if (run <= 18) {
      out.push_back({1, 4, static_cast<u32>(run - 3)});
    } else if (run == 19) {
      out.push_back({0, 0, 0});
      out.push_back({1, 4, 15});
    } else {
      out.push_back({2, 9, static_cast<u32>(run - 20)});
    }
  }
  return out;
}

void put_block(lh5_bits& out, const lh5_code* codes, size_t count) {
  std::vector<u32> lit_freq(literal_symbols, 0), pos_freq(position_symbols, 0);
  for (size_t i = 0; i < count; ++i) {
    if (codes[i].length == 0) {
      ++lit_freq[codes[i].byte];
    } else {
      ++lit_freq[codes[i].length - 3 + 256];
      ++pos_freq[position_symbol(codes[i].distance - 1)];
    }
  }
  const table literals = make_table(lit_freq);
  const table positions = make_table(pos_freq);
  std::vector<pre_code> pre_codes;
  if (literals.single < 0) pre_codes = literal_lengths_as_pre(literals.len);
  std::vector<u32> pre_freq(pre_symbols, 0);
  for (const pre_code& c : pre_codes) ++pre_freq[c.symbol];
  const table pre = make_table(pre_freq);

  out.put(static_cast<u32>(count), 16);
  put_short_lengths(out, pre, 5, 3);
  if (literals.single >= 0) {
    out.put(0, 9);
    out.put(static_cast<u32>(literals.single), 9);
  } else {
    out.put(static_cast<u32>(count_to_write(literals.len)), 9);
    for (const pre_code& c : pre_codes) {
      put_symbol(out, pre, c.symbol);
      out.put(c.extra, c.extra_bits);
    }
  }
  put_short_lengths(out, positions, 4, -1);

  for (size_t i = 0; i < count; ++i) {
    const lh5_code& c = codes[i];
    if (c.length == 0) {
      put_symbol(out, literals, c.byte);
      continue;
    }
    put_symbol(out, literals, c.length - 3 + 256);
    const int d = c.distance - 1;
    const int p = position_symbol(d);
    put_symbol(out, positions, p);
    if (p > 1) out.put(static_cast<u32>(d - (1 << (p - 1))), p - 1);
  }
}

u32 header_crc16(const std::vector<u8>& data) {
  u32 crc = 0;
  for (u8 b : data) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

void put_le(std::vector<u8>& out, u32 v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<u8>(v >> (8 * i)));
}

} // namespace

void lh5_bits::put(u32 value, int n) {
  for (int i = n - 1; i >= 0; --i) {
    if (used == 8) bytes.push_back(0), used = 0;
    if (value >> i & 1) bytes.back() = static_cast<u8>(bytes.back() | 0x80 >> used);
    ++used;
  }
}

std::vector<lh5_code> lh5_codes_of(const std::vector<u8>& data) {
  std::vector<lh5_code> codes;
  const int n = static_cast<int>(data.size());
  std::vector<int> head(1 << 15, -1), chain(data.size(), -1);
  auto hash = [&](int i) { return (data[i] << 10 ^ data[i + 1] << 5 ^ data[i + 2]) & 0x7FFF; };
  auto insert = [&](int i) {
    if (i + 2 >= n) return;
    const int h = hash(i);
    chain[i] = head[h];
    head[h] = i;
  };
  for (int i = 0; i < n;) {
    int best = 0, best_at = 0;
    if (i + 2 < n) {
      int tries = 64;
      for (int j = head[hash(i)]; j >= 0 && i - j <= window && tries-- > 0; j = chain[j]) {
        int len = 0;
        while (len < longest_copy && i + len < n && data[j + len] == data[i + len]) ++len;
        if (len > best) best = len, best_at = j;
      }
    }
    if (best >= 3) {
      codes.push_back({0, best, i - best_at});
      for (int k = 0; k < best; ++k) insert(i + k);
      i += best;
    } else {
      codes.push_back({data[i], 0, 0});
      insert(i++);
    }
  }
  return codes;
}

std::vector<u8> lh5_encode(const std::vector<lh5_code>& codes, int codes_per_block) {
  lh5_bits out;
  for (size_t at = 0; at < codes.size(); at += static_cast<size_t>(codes_per_block))
    put_block(out, &codes[at], std::min(codes.size() - at, static_cast<size_t>(codes_per_block)));
  return out.bytes;
}

std::vector<u8> lh5_pack(const std::vector<u8>& data, int codes_per_block) {
  return lh5_encode(lh5_codes_of(data), codes_per_block);
}

lha_member lha_member_of(const std::string& name, const std::vector<u8>& data, const std::string& method, int level) {
  lha_member m;
  m.name = name;
  m.method = method;
  m.level = level;
  m.payload = method == "-lh5-" ? lh5_pack(data) : data;
  m.uncompressed = data.size();
  m.crc16 = header_crc16(data);
  return m;
}

std::vector<u8> lha_archive(const std::vector<lha_member>& members) {
  std::vector<u8> out;
  for (const lha_member& m : members) {
    size_t extended = 0;
    for (size_t e : m.extended) extended += e;
    std::vector<u8> h;
    h.push_back(0); // size
    h.push_back(0); // checksum
    h.insert(h.end(), m.method.begin(), m.method.end());
    put_le(h, static_cast<u32>(m.payload.size() + extended), 4);
    put_le(h, static_cast<u32>(m.uncompressed), 4);
    put_le(h, 0x5A2B6000, 4); // an MS-DOS time stamp
    h.push_back(0x20);
    h.push_back(static_cast<u8>(m.level));
    h.push_back(static_cast<u8>(m.name.size()));
    h.insert(h.end(), m.name.begin(), m.name.end());
    put_le(h, m.crc16, 2);
    if (m.level == 1) {
      h.push_back('U'); // made on Unix
      put_le(h, static_cast<u32>(m.extended.empty() ? 0 : m.extended[0]), 2);
    }
    h[0] = static_cast<u8>(h.size() - 2);
    u32 sum = 0;
    for (size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = static_cast<u8>(sum);
    out.insert(out.end(), h.begin(), h.end());
    // Comment headers (type $3F) padded with spaces.
    for (size_t e = 0; e < m.extended.size(); ++e) {
      out.push_back(0x3F);
      for (size_t k = 1; k + 2 < m.extended[e]; ++k) out.push_back(' ');
      put_le(out, static_cast<u32>(e + 1 < m.extended.size() ? m.extended[e + 1] : 0), 2);
    }
    out.insert(out.end(), m.payload.begin(), m.payload.end());
  }
  out.push_back(0);
  return out;
}
