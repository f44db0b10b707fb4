// PNG writer: filter 0 on every row and one fixed-Huffman DEFLATE block with
// a short LZ77 search, which favours speed over size. The file is built in
// memory and written with write_file (through "<path>.tmp" and rename).
#include "graphics/png_codec.h"
#include "graphics/png_deflate_tables.h"
#include "host/platform.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

constexpr int HASH_SIZE = 1 << 16;
constexpr int WINDOW = 32768;
constexpr int MAX_CHAIN = 24;
constexpr int MIN_MATCH = 3;
constexpr int MAX_MATCH = 258;
constexpr size_t MAX_CHUNK = 0x7FFFFFFF;

struct free_deleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using malloc_ptr = std::unique_ptr<T, free_deleter>;

// Fixed-Huffman codes, bit-reversed so that they can be sent least
// significant bit first.
struct fixed_codes {
    uint16_t lit_code[288];
    uint8_t lit_bits[288];
    // Per match length 3..258: the length code and its extra bits together.
    uint32_t len_code[MAX_MATCH + 1];
    uint8_t len_bits[MAX_MATCH + 1];
    // Distance symbol of distance d: dist_sym[d - 1] below 256, else
    // dist_sym[256 + ((d - 1) >> 7)].
    uint8_t dist_sym[512];
    uint8_t dist_rev[30];
};

uint32_t reverse_bits(uint32_t code, int bits) {
    uint32_t r = 0;
    for (int b = 0; b < bits; b++)
        r |= ((code >> b) & 1) << (bits - 1 - b);
    return r;
}

const fixed_codes& codes() {
    static const fixed_codes table = [] {
        fixed_codes t{};
        for (int s = 0; s < 288; s++) {
            uint32_t code;
            int bits;
            if (s < 144) code = 0x30 + s, bits = 8;
            else if (s < 256) code = 0x190 + (s - 144), bits = 9;
            else if (s < 280) code = s - 256, bits = 7;
            else code = 0xC0 + (s - 280), bits = 8;
            t.lit_code[s] = uint16_t(reverse_bits(code, bits));
            t.lit_bits[s] = uint8_t(bits);
        }
        for (int len = MIN_MATCH; len <= MAX_MATCH; len++) {
            // 258 has its own code; below it the largest base not above.
            int idx = 28;
            if (len < MAX_MATCH)
                for (idx = 27; LBASE[idx] > len; idx--) {
                }
            int sym = 257 + idx;
            t.len_code[len] = t.lit_code[sym] | uint32_t(len - LBASE[idx]) << t.lit_bits[sym];
            t.len_bits[len] = uint8_t(t.lit_bits[sym] + LEXT[idx]);
        }
        for (int d = 1; d <= WINDOW; d++) {
            int idx = 29;
            while (DBASE[idx] > d)
                idx--;
            if (d <= 256)
                t.dist_sym[d - 1] = uint8_t(idx);
            else
                t.dist_sym[256 + ((d - 1) >> 7)] = uint8_t(idx);
        }
        for (int s = 0; s < 30; s++)
            t.dist_rev[s] = uint8_t(reverse_bits(uint32_t(s), 5));
        return t;
    }();
    return table;
}

struct bit_output {
    uint8_t* data;
    size_t pos;
    uint64_t bits;
    int count;
};

// Up to 32 bits at a time.
inline void put_bits(bit_output& out, uint32_t value, int n) {
    out.bits |= uint64_t(value) << out.count;
    out.count += n;
    if (out.count >= 32) {
        uint32_t word = uint32_t(out.bits);
        out.data[out.pos] = uint8_t(word);
        out.data[out.pos + 1] = uint8_t(word >> 8);
        out.data[out.pos + 2] = uint8_t(word >> 16);
        out.data[out.pos + 3] = uint8_t(word >> 24);
        out.pos += 4;
        out.bits >>= 32;
        out.count -= 32;
    }
}

void flush_bits(bit_output& out) {
    while (out.count > 0) {
        out.data[out.pos++] = uint8_t(out.bits);
        out.bits >>= 8;
        out.count -= 8;
    }
    out.bits = 0;
    out.count = 0;
}

inline uint32_t hash3(const uint8_t* p) {
    return ((uint32_t(p[0]) << 8) ^ (uint32_t(p[1]) << 4) ^ p[2] ^ (uint32_t(p[2]) << 11)) & 0xFFFF;
}

inline int match_length(const uint8_t* a, const uint8_t* b, int limit) {
    int len = 0;
    while (len + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y)
            return len + (__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < limit && a[len] == b[len])
        len++;
    return len;
}

// One final fixed-Huffman block over data, sent into out (which must hold
// 1.5 x size + 64 bytes; fixed codes never spend more than 10.4 bits a byte).
void deflate_fixed(const uint8_t* data, size_t size, bit_output& out, int* head, int* chain) {
    const fixed_codes& fc = codes();
    for (int i = 0; i < HASH_SIZE; i++)
        head[i] = -1;
    put_bits(out, 1 | 1 << 1, 3);  // final block, type 1

    auto insert = [&](size_t pos) {
        uint32_t h = hash3(data + pos);
        chain[pos & (WINDOW - 1)] = head[h];
        head[h] = int(pos);
    };

    // Positions with at least three bytes from them enter the hash.
    size_t insert_end = size >= MIN_MATCH ? size - MIN_MATCH + 1 : 0;
    size_t i = 0;
    while (i < size) {
        int best_len = 0;
        size_t best_dist = 0;
        size_t left = size - i;
        if (left >= MIN_MATCH) {
            int limit = left < MAX_MATCH ? int(left) : MAX_MATCH;
            int cand = head[hash3(data + i)];
            // The chain is a ring of the last WINDOW positions; a candidate
            // inside the window was entered less than WINDOW positions ago,
            // so its link is still its own.
            for (int tries = 0; cand >= 0 && i - size_t(cand) <= WINDOW && tries < MAX_CHAIN; tries++) {
                const uint8_t* c = data + cand;
                // Only a strictly longer match counts, so one that differs at
                // best_len cannot win.
                if (c[best_len] == data[i + best_len]) {
                    int len = match_length(c, data + i, limit);
                    if (len > best_len) {
                        best_len = len;
                        best_dist = i - size_t(cand);
                        if (len >= limit)
                            break;
                    }
                }
                cand = chain[cand & (WINDOW - 1)];
            }
        }
        size_t covered;
        if (best_len >= MIN_MATCH) {
            put_bits(out, fc.len_code[best_len], fc.len_bits[best_len]);
            size_t d = best_dist - 1;
            int sym = d < 256 ? fc.dist_sym[d] : fc.dist_sym[256 + (d >> 7)];
            put_bits(out, fc.dist_rev[sym] | uint32_t(best_dist - DBASE[sym]) << 5, 5 + DEXT[sym]);
            covered = size_t(best_len);
        } else {
            put_bits(out, fc.lit_code[data[i]], fc.lit_bits[data[i]]);
            covered = 1;
        }
        size_t end = i + covered;
        for (size_t j = i; j < end && j < insert_end; j++)
            insert(j);
        i = end;
    }
    put_bits(out, fc.lit_code[256], fc.lit_bits[256]);
    flush_bits(out);
}

void put_be32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// A chunk: length, type, data and the CRC-32 of type and data.
void chunk(std::vector<uint8_t>& file, const char* type, const uint8_t* data, size_t length) {
    uint8_t head[8];
    put_be32(head, uint32_t(length));
    std::memcpy(head + 4, type, 4);
    uint32_t crc = crc32_update(0, head + 4, 4);
    crc = crc32_update(crc, data, length);
    uint8_t tail[4];
    put_be32(tail, crc);
    file.insert(file.end(), head, head + 8);
    if (length != 0)
        file.insert(file.end(), data, data + length);
    file.insert(file.end(), tail, tail + 4);
}

int png_write_ct(const char* path, const uint8_t* pixels, int width, int height, int colour_type,
                 const uint8_t* palette) {
    if (path == nullptr || pixels == nullptr || width <= 0 || height <= 0)
        return 0;
    size_t bpp = colour_type == 6 ? 4 : colour_type == 2 ? 3 : 1;
    size_t w = size_t(width), h = size_t(height);
    // Match positions are kept as int, so the raw data stays below 2 GB.
    if (w > size_t(INT32_MAX) / bpp || h > size_t(INT32_MAX) / (1 + w * bpp))
        return 0;
    size_t row = w * bpp;
    size_t raw_size = h * (1 + row);

    malloc_ptr<uint8_t> raw(static_cast<uint8_t*>(std::malloc(raw_size)));
    size_t zcap = raw_size + raw_size / 2 + 64;
    malloc_ptr<uint8_t> z(static_cast<uint8_t*>(std::malloc(zcap)));
    malloc_ptr<int> head(static_cast<int*>(std::malloc(HASH_SIZE * sizeof(int))));
    malloc_ptr<int> chain(static_cast<int*>(std::malloc(WINDOW * sizeof(int))));
    if (!raw || !z || !head || !chain)
        return 0;
    for (size_t y = 0; y < h; y++) {
        uint8_t* r = raw.get() + y * (1 + row);
        r[0] = 0;
        std::memcpy(r + 1, pixels + y * row, row);
    }

    bit_output out{z.get(), 0, 0, 0};
    out.data[out.pos++] = 0x78;
    out.data[out.pos++] = 0x01;
    deflate_fixed(raw.get(), raw_size, out, head.get(), chain.get());
    put_be32(out.data + out.pos, png_adler32(1, raw.get(), raw_size));
    out.pos += 4;
    if (out.pos > MAX_CHUNK)
        return 0;

    uint8_t ihdr[13];
    put_be32(ihdr, uint32_t(width));
    put_be32(ihdr + 4, uint32_t(height));
    ihdr[8] = 8;
    ihdr[9] = uint8_t(colour_type);
    ihdr[10] = ihdr[11] = ihdr[12] = 0;

    std::vector<uint8_t> file;
    file.reserve(8 + 25 + (colour_type == 3 ? 780 : 0) + out.pos + 12 + 12);
    file.insert(file.end(), PNG_SIGNATURE, PNG_SIGNATURE + 8);
    chunk(file, "IHDR", ihdr, 13);
    if (colour_type == 3)
        chunk(file, "PLTE", palette, 768);
    chunk(file, "IDAT", z.get(), out.pos);
    chunk(file, "IEND", nullptr, 0);
    // Written through "<path>.tmp" and renamed only when every byte got there.
    return write_file(path, file.data(), file.size());
}

}  // namespace

int png_write(const char* path, const uint8_t* pixels, int width, int height, int channels) {
    if (channels != 3 && channels != 4)
        return 0;
    return png_write_ct(path, pixels, width, height, channels == 4 ? 6 : 2, nullptr);
}

int png_write_indexed(const char* path, const uint8_t* indices, int width, int height, const uint8_t* palette) {
    if (palette == nullptr)
        return 0;
    return png_write_ct(path, indices, width, height, 3, palette);
}
