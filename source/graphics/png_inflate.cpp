// Raw DEFLATE decoder (RFC 1951) into a caller buffer of fixed size.
// Canonical Huffman codes are kept as counts per length and symbols in code
// order; a symbol is decoded one bit at a time against the counts, with a
// lookup of the next 9 bits in front of that for the short codes.
#include "graphics/png_codec.h"
#include "graphics/png_deflate_tables.h"

#include <cstring>

namespace {

constexpr int MAX_BITS = 15;
constexpr int FAST_BITS = 9;
constexpr int MAX_LIT_CODES = 288;
constexpr int MAX_DIST_CODES = 32;

struct bit_input {
    const uint8_t* data;
    size_t length;
    size_t pos;
    uint64_t bits;
    int count;
};

struct huffman {
    uint16_t counts[MAX_BITS + 1];
    uint16_t symbols[MAX_LIT_CODES];
    // Entry for the next FAST_BITS input bits: code length << 12 | symbol,
    // or 0 when the code is longer or unused.
    uint16_t fast[1 << FAST_BITS];
};

void refill(bit_input& in) {
    while (in.count <= 56 && in.pos < in.length) {
        in.bits |= uint64_t(in.data[in.pos++]) << in.count;
        in.count += 8;
    }
}

// need bits, least significant first; -1 when the input runs out.
int getbits(bit_input& in, int need) {
    if (in.count < need) {
        refill(in);
        if (in.count < need)
            return -1;
    }
    int value = int(in.bits & ((uint64_t(1) << need) - 1));
    in.bits >>= need;
    in.count -= need;
    return value;
}

// Fails (returns 0) on an over-subscribed set of lengths, which no valid
// stream holds; an incomplete set is accepted and fails only when a missing
// code is met.
int huff_build(huffman& h, const uint8_t* lengths, int n) {
    std::memset(h.counts, 0, sizeof h.counts);
    std::memset(h.fast, 0, sizeof h.fast);
    for (int s = 0; s < n; s++)
        h.counts[lengths[s]]++;
    int left = 1;
    for (int len = 1; len <= MAX_BITS; len++) {
        left = (left << 1) - h.counts[len];
        if (left < 0)
            return 0;
    }
    uint16_t offsets[MAX_BITS + 1];
    offsets[1] = 0;
    for (int len = 1; len < MAX_BITS; len++)
        offsets[len + 1] = uint16_t(offsets[len] + h.counts[len]);
    for (int s = 0; s < n; s++)
        if (lengths[s] != 0)
            h.symbols[offsets[lengths[s]]++] = uint16_t(s);

    int code = 0;
    int index = 0;
    for (int len = 1; len <= FAST_BITS; len++) {
        for (int k = 0; k < h.counts[len]; k++, code++) {
            int reversed = 0;
            for (int b = 0; b < len; b++)
                reversed |= ((code >> b) & 1) << (len - 1 - b);
            uint16_t entry = uint16_t(len << 12 | h.symbols[index++]);
            for (int fill = reversed; fill < (1 << FAST_BITS); fill += 1 << len)
                h.fast[fill] = entry;
        }
        code <<= 1;
    }
    return 1;
}

// The next symbol, or a negative value when the input runs out or no code
// matches within 15 bits.
int huff_dec(bit_input& in, const huffman& h) {
    if (in.count < FAST_BITS)
        refill(in);
    if (in.count >= FAST_BITS) {
        uint16_t entry = h.fast[in.bits & ((1 << FAST_BITS) - 1)];
        if (entry != 0) {
            int len = entry >> 12;
            in.bits >>= len;
            in.count -= len;
            return entry & 0xFFF;
        }
    }
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= MAX_BITS; len++) {
        int bit = getbits(in, 1);
        if (bit < 0)
            return -1;
        code |= bit;
        int count = h.counts[len];
        if (code - count < first)
            return h.symbols[index + (code - first)];
        index += count;
        first += count;
        first <<= 1;
        code <<= 1;
    }
    return -2;
}

struct output {
    uint8_t* data;
    size_t size;
    size_t pos;
};

int stored(bit_input& in, output& out) {
    // Give back the whole bytes still in the bit buffer and drop the rest of
    // the current byte.
    in.pos -= size_t(in.count / 8);
    in.bits = 0;
    in.count = 0;
    if (in.length - in.pos < 4)
        return 0;
    size_t len = size_t(in.data[in.pos]) | size_t(in.data[in.pos + 1]) << 8;
    in.pos += 4;
    if (in.length - in.pos < len || out.size - out.pos < len)
        return 0;
    std::memcpy(out.data + out.pos, in.data + in.pos, len);
    in.pos += len;
    out.pos += len;
    return 1;
}

int codes(bit_input& in, output& out, const huffman& lencode, const huffman& distcode) {
    for (;;) {
        int sym = huff_dec(in, lencode);
        if (sym < 0)
            return 0;
        if (sym < 256) {
            if (out.pos == out.size)
                return 0;
            out.data[out.pos++] = uint8_t(sym);
            continue;
        }
        if (sym == 256)
            return 1;
        sym -= 257;
        if (sym >= int(LBASE.size()))
            return 0;
        int extra = getbits(in, LEXT[sym]);
        if (extra < 0)
            return 0;
        size_t len = size_t(LBASE[sym]) + size_t(extra);
        int dsym = huff_dec(in, distcode);
        if (dsym < 0 || dsym >= int(DBASE.size()))
            return 0;
        extra = getbits(in, DEXT[dsym]);
        if (extra < 0)
            return 0;
        size_t dist = size_t(DBASE[dsym]) + size_t(extra);
        if (dist > out.pos || len > out.size - out.pos)
            return 0;
        uint8_t* to = out.data + out.pos;
        const uint8_t* from = to - dist;
        if (dist >= len) {
            std::memcpy(to, from, len);
        } else {
            for (size_t i = 0; i < len; i++)
                to[i] = from[i];
        }
        out.pos += len;
    }
}

struct fixed_codes {
    huffman lencode;
    huffman distcode;
};

const fixed_codes& fixed_tables() {
    static const fixed_codes tables = [] {
        fixed_codes t;
        uint8_t lengths[MAX_LIT_CODES];
        int s = 0;
        for (; s < 144; s++) lengths[s] = 8;
        for (; s < 256; s++) lengths[s] = 9;
        for (; s < 280; s++) lengths[s] = 7;
        for (; s < 288; s++) lengths[s] = 8;
        huff_build(t.lencode, lengths, MAX_LIT_CODES);
        for (s = 0; s < 30; s++) lengths[s] = 5;
        huff_build(t.distcode, lengths, 30);
        return t;
    }();
    return tables;
}

int dynamic(bit_input& in, output& out) {
    int nlen = getbits(in, 5);
    int ndist = getbits(in, 5);
    int ncode = getbits(in, 4);
    if (nlen < 0 || ndist < 0 || ncode < 0)
        return 0;
    nlen += 257;
    ndist += 1;
    ncode += 4;

    uint8_t lengths[MAX_LIT_CODES + MAX_DIST_CODES] = {};
    for (int i = 0; i < ncode; i++) {
        int len = getbits(in, 3);
        if (len < 0)
            return 0;
        lengths[CLEN_ORDER[i]] = uint8_t(len);
    }
    huffman lencode, distcode;
    if (!huff_build(lencode, lengths, 19))
        return 0;

    int index = 0;
    while (index < nlen + ndist) {
        int sym = huff_dec(in, lencode);
        if (sym < 0)
            return 0;
        if (sym < 16) {
            lengths[index++] = uint8_t(sym);
            continue;
        }
        uint8_t len = 0;
        int repeat;
        if (sym == 16) {
            if (index == 0)
                return 0;
            len = lengths[index - 1];
            repeat = getbits(in, 2);
            if (repeat < 0)
                return 0;
            repeat += 3;
        } else if (sym == 17) {
            repeat = getbits(in, 3);
            if (repeat < 0)
                return 0;
            repeat += 3;
        } else {
            repeat = getbits(in, 7);
            if (repeat < 0)
                return 0;
            repeat += 11;
        }
        if (index + repeat > nlen + ndist)
            return 0;
        while (repeat-- > 0)
            lengths[index++] = len;
    }
    if (!huff_build(lencode, lengths, nlen))
        return 0;
    if (!huff_build(distcode, lengths + nlen, ndist))
        return 0;
    return codes(in, out, lencode, distcode);
}

int inflate_raw(const uint8_t* input, size_t input_length, uint8_t* output_data, size_t output_size) {
    bit_input in{input, input_length, 0, 0, 0};
    output out{output_data, output_size, 0};
    int last;
    do {
        last = getbits(in, 1);
        int type = getbits(in, 2);
        if (last < 0 || type < 0)
            return 0;
        int ok;
        switch (type) {
        case 0:
            ok = stored(in, out);
            break;
        case 1: {
            const fixed_codes& f = fixed_tables();
            ok = codes(in, out, f.lencode, f.distcode);
            break;
        }
        case 2:
            ok = dynamic(in, out);
            break;
        default:
            ok = 0;
        }
        if (!ok)
            return 0;
    } while (!last);
    return out.pos > 0 || out.pos == out.size;
}

}  // namespace

int png_inflate(const uint8_t* input, size_t input_length, uint8_t* output, size_t output_size) {
    if (input == nullptr && input_length > 0)
        return 0;
    return inflate_raw(input, input_length, output, output_size);
}
