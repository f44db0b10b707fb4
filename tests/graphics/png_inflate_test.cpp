// The DEFLATE decoder against zlib's raw deflate output, and on damaged and
// hand-made streams.
#include "graphics/png_codec.h"
#include "png_reference.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <memory>

namespace {

struct deflate_step {
    int level;
    int strategy;
};

// Raw deflate of data in equal pieces, switching level and strategy between
// pieces so that one stream can hold blocks of several types.
std::vector<uint8_t> zlib_deflate(const std::vector<uint8_t>& data, const std::vector<deflate_step>& steps) {
    z_stream s{};
    if (deflateInit2(&s, steps[0].level, Z_DEFLATED, -15, 8, steps[0].strategy) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<uint8_t> out(compressBound(uLong(data.size())) + 1024 * steps.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    size_t piece = data.size() / steps.size();
    for (size_t k = 0; k < steps.size(); k++) {
        if (k > 0 && deflateParams(&s, steps[k].level, steps[k].strategy) != Z_OK)
            throw std::runtime_error("deflateParams");
        size_t begin = k * piece, end = k + 1 == steps.size() ? data.size() : begin + piece;
        s.next_in = const_cast<Bytef*>(data.data() + begin);
        s.avail_in = uInt(end - begin);
        int flush = k + 1 == steps.size() ? Z_FINISH : Z_BLOCK;
        int r;
        do {
            r = deflate(&s, flush);
        } while (r == Z_OK && (s.avail_in > 0 || flush == Z_FINISH));
        if (flush == Z_FINISH && r != Z_STREAM_END)
            throw std::runtime_error("deflate");
    }
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

std::vector<uint8_t> text_like(size_t n) {
    static const char* words[] = {"sprite ", "tile ", "ground ", "palette ", "mission ", "sheet\n", "0123 ", "{\"i\":"};
    std::mt19937 rng(11);
    std::string s;
    while (s.size() < n)
        s += words[rng() % 8];
    s.resize(n);
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Rows repeating at 32,768 bytes with short runs between: long matches at
// the largest distance and overlapping copies.
std::vector<uint8_t> repetitive(size_t n) {
    std::vector<uint8_t> row = pngref::random_bytes(32768, 5, 16);
    for (size_t i = 100; i < 3000; i++)
        row[i] = 7;
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; i++)
        v[i] = row[i % row.size()];
    return v;
}

// Inflates into a heap copy of exactly the input's size (so that a read past
// it is caught by the sanitizers) and an output with a guard area behind it.
int inflate_guarded(const std::vector<uint8_t>& in, size_t out_size, std::vector<uint8_t>* produced = nullptr) {
    std::unique_ptr<uint8_t[]> input(new uint8_t[in.size() ? in.size() : 1]);
    std::copy(in.begin(), in.end(), input.get());
    std::vector<uint8_t> out(out_size + 64, 0xA5);
    int r = png_inflate(input.get(), in.size(), out.data(), out_size);
    for (size_t i = out_size; i < out.size(); i++)
        if (out[i] != 0xA5) {
            ADD_FAILURE() << "wrote past the output at " << i;
            break;
        }
    if (produced)
        produced->assign(out.begin(), out.begin() + long(out_size));
    return r;
}

int first_block_type(const std::vector<uint8_t>& stream) {
    return (stream[0] >> 1) & 3;
}

TEST(PngInflate, DecodesZlibAtEveryLevelAndStrategy) {
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> inputs = {
        {"random", pngref::random_bytes(70000, 3)},
        {"text", text_like(150000)},
        {"repetitive", repetitive(200000)},
        {"one byte", {0x42}},
        {"picture rows", pngref::test_picture(300, 40, 4, 9)},
    };
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (const auto& [name, data] : inputs)
        for (int level = 0; level <= 9; level++)
            for (int strategy : strategies) {
                SCOPED_TRACE(testing::Message() << name << " level " << level << " strategy " << strategy);
                std::vector<uint8_t> stream = zlib_deflate(data, {{level, strategy}});
                std::vector<uint8_t> out;
                ASSERT_EQ(inflate_guarded(stream, data.size(), &out), 1);
                ASSERT_EQ(out, data);
            }
}

TEST(PngInflate, CoversStoredFixedAndDynamicBlocks) {
    std::vector<uint8_t> data = text_like(90000);
    std::vector<uint8_t> stored = zlib_deflate(data, {{0, Z_DEFAULT_STRATEGY}});
    std::vector<uint8_t> fixed = zlib_deflate(data, {{6, Z_FIXED}});
    std::vector<uint8_t> dynamic = zlib_deflate(data, {{6, Z_DEFAULT_STRATEGY}});
    EXPECT_EQ(first_block_type(stored), 0);
    EXPECT_EQ(first_block_type(fixed), 1);
    EXPECT_EQ(first_block_type(dynamic), 2);
    // One stream with all three kinds of block one after the other.
    std::vector<uint8_t> mixed =
        zlib_deflate(data, {{0, Z_DEFAULT_STRATEGY}, {6, Z_FIXED}, {9, Z_DEFAULT_STRATEGY}, {1, Z_RLE}, {0, Z_DEFAULT_STRATEGY}});
    for (const auto* stream : {&stored, &fixed, &dynamic, &mixed}) {
        std::vector<uint8_t> out;
        ASSERT_EQ(inflate_guarded(*stream, data.size(), &out), 1);
        EXPECT_EQ(out, data);
    }
}

TEST(PngInflate, OutputSizeRules) {
    std::vector<uint8_t> data = text_like(5000);
    std::vector<uint8_t> stream = zlib_deflate(data, {{6, Z_DEFAULT_STRATEGY}});
    std::vector<uint8_t> out;
    // A larger buffer than needed is fine and keeps its tail.
    ASSERT_EQ(inflate_guarded(stream, data.size() + 100, &out), 1);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
    EXPECT_EQ(out[data.size()], 0xA5);
    // A buffer one byte short fails.
    EXPECT_EQ(inflate_guarded(stream, data.size() - 1), 0);
    // An empty stream fills an empty buffer exactly, but produces nothing
    // for a larger one.
    std::vector<uint8_t> empty = zlib_deflate({}, {{6, Z_DEFAULT_STRATEGY}});
    EXPECT_EQ(inflate_guarded(empty, 0), 1);
    EXPECT_EQ(inflate_guarded(empty, 10), 0);
    EXPECT_EQ(inflate_guarded({}, 10), 0);
}

TEST(PngInflate, EveryTruncationFails) {
    for (const auto& data : {text_like(20000), pngref::random_bytes(3000, 1)}) {
        for (int level : {0, 1, 9}) {
            std::vector<uint8_t> stream = zlib_deflate(data, {{level, Z_DEFAULT_STRATEGY}});
            for (size_t n = 0; n < stream.size(); n++) {
                std::vector<uint8_t> prefix(stream.begin(), stream.begin() + long(n));
                ASSERT_EQ(inflate_guarded(prefix, data.size()), 0) << "prefix of " << n << " bytes, level " << level;
            }
        }
    }
}

TEST(PngInflate, DamagedStreamsStayInsideTheirBuffers) {
    std::vector<uint8_t> data = text_like(8000);
    std::vector<uint8_t> stream = zlib_deflate(data, {{6, Z_DEFAULT_STRATEGY}});
    std::mt19937 rng(2024);
    int refused = 0;
    for (int trial = 0; trial < 3000; trial++) {
        std::vector<uint8_t> damaged = stream;
        int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; f++)
            damaged[rng() % damaged.size()] ^= uint8_t(1u << (rng() % 8));
        size_t out_size = rng() % 2 ? data.size() : size_t(rng() % 20000);
        refused += inflate_guarded(damaged, out_size) == 0;
    }
    EXPECT_GT(refused, 1500);  // most damage is noticed
}

// Builds DEFLATE bit streams by hand: values least significant bit first,
// Huffman codes most significant bit first.
struct bit_writer {
    std::vector<uint8_t> bytes;
    int used = 8;
    void put(uint32_t value, int n) {
        for (int i = 0; i < n; i++) {
            if (used == 8) {
                bytes.push_back(0);
                used = 0;
            }
            bytes.back() |= uint8_t(((value >> i) & 1) << used++);
        }
    }
    void code(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; i--)
            put((value >> i) & 1, 1);
    }
};

// Fixed-Huffman code of a literal/length symbol.
void fixed_symbol(bit_writer& w, int sym) {
    if (sym < 144) w.code(0x30 + sym, 8);
    else if (sym < 256) w.code(0x190 + sym - 144, 9);
    else if (sym < 280) w.code(sym - 256, 7);
    else w.code(0xC0 + sym - 280, 8);
}

std::vector<uint8_t> fixed_block(const std::function<void(bit_writer&)>& body) {
    bit_writer w;
    w.put(1, 1);
    w.put(1, 2);
    body(w);
    return w.bytes;
}

// A dynamic block header whose code-length code gives lengths to symbols 16,
// 17, 18 and 0 only.
bit_writer dynamic_header(int len16, int len17, int len18, int len0) {
    bit_writer w;
    w.put(1, 1);
    w.put(2, 2);
    w.put(0, 5);  // 257 literal/length codes
    w.put(0, 5);  // 1 distance code
    w.put(0, 4);  // 4 code-length codes
    for (int len : {len16, len17, len18, len0})
        w.put(uint32_t(len), 3);
    return w;
}

TEST(PngInflate, HandMadeStreams) {
    bit_writer repeat_first = dynamic_header(1, 1, 0, 0);
    repeat_first.code(0, 1);  // symbol 16 with nothing to repeat
    repeat_first.put(0, 2);
    bit_writer repeat_past_end = dynamic_header(0, 0, 1, 1);
    for (int k = 0; k < 2; k++) {
        repeat_past_end.code(1, 1);  // symbol 18: 138 zeros, twice
        repeat_past_end.put(127, 7);
    }
    bit_writer over_subscribed = dynamic_header(1, 1, 1, 0);
    over_subscribed.put(0, 8);

    struct hand_case {
        const char* name;
        std::vector<uint8_t> stream;
        size_t out_size;
        int result;
        std::string expected;
    };
    const std::vector<hand_case> cases = {
        {"block type 3", {0x07, 0, 0, 0}, 4, 0, ""},
        {"stored", {0x01, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c'}, 3, 1, "abc"},
        {"stored, larger buffer", {0x01, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c'}, 5, 1, "abc"},
        {"stored, buffer too small", {0x01, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c'}, 2, 0, ""},
        {"stored, data missing", {0x01, 10, 0, 0xF5, 0xFF, 'a', 'b', 'c'}, 10, 0, ""},
        {"stored, header cut", {0x01, 3, 0}, 3, 0, ""},
        {"fixed", fixed_block([](bit_writer& w) {
             fixed_symbol(w, 'x');
             fixed_symbol(w, 258);  // length 4
             w.code(0, 5);          // distance 1: overlapping copy
             fixed_symbol(w, 256);
         }), 5, 1, "xxxxx"},
        {"distance before the start", fixed_block([](bit_writer& w) {
             fixed_symbol(w, 'x');
             fixed_symbol(w, 257);
             w.code(1, 5);  // distance 2
             fixed_symbol(w, 256);
         }), 10, 0, ""},
        {"length symbol 286", fixed_block([](bit_writer& w) {
             fixed_symbol(w, 'x');
             fixed_symbol(w, 286);
             w.code(0, 5);
             fixed_symbol(w, 256);
         }), 10, 0, ""},
        {"distance symbol 30", fixed_block([](bit_writer& w) {
             fixed_symbol(w, 'x');
             fixed_symbol(w, 257);
             w.code(30, 5);
             fixed_symbol(w, 256);
         }), 10, 0, ""},
        {"no end of block", fixed_block([](bit_writer& w) { fixed_symbol(w, 'x'); }), 10, 0, ""},
        {"copy past the output", fixed_block([](bit_writer& w) {
             fixed_symbol(w, 'x');
             fixed_symbol(w, 260);  // length 6
             w.code(0, 5);
             fixed_symbol(w, 256);
         }), 4, 0, ""},
        {"repeat with no previous length", repeat_first.bytes, 10, 0, ""},
        {"repeat past the code lengths", repeat_past_end.bytes, 10, 0, ""},
        {"over-subscribed code", over_subscribed.bytes, 10, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> out;
        ASSERT_EQ(inflate_guarded(c.stream, c.out_size, &out), c.result);
        if (c.result) {
            EXPECT_EQ(std::string(out.begin(), out.begin() + long(c.expected.size())), c.expected);
        }
    }
}

}  // namespace
