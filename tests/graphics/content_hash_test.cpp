// The content hash: BLAKE2b-48 against libb2, and the exact bytes hashed for
// sprites and index arrays.
#include "graphics/content_hash.h"
#include "graphics/sprite.h"
#include "png_reference.h"

#include <blake2.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string libb2_hex(const std::vector<uint8_t>& data) {
    uint8_t digest[6];
    EXPECT_EQ(blake2b(digest, data.data(), nullptr, 6, data.size(), 0), 0);
    char text[13];
    for (int i = 0; i < 6; i++)
        std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return text;
}

std::string our_hex(const std::vector<uint8_t>& data, const std::vector<size_t>& pieces = {}) {
    b2_state s;
    b2_init(&s);
    size_t pos = 0;
    for (size_t piece : pieces) {
        b2_update(&s, data.data() + pos, piece);
        pos += piece;
    }
    b2_update(&s, data.data() + pos, data.size() - pos);
    char out[GFX_HASH_TEXT];
    b2_hex(&s, out);
    return out;
}

TEST(ContentHash, Blake2b48AgreesWithLibb2) {
    for (size_t n : {size_t(0), size_t(1), size_t(127), size_t(128), size_t(129), size_t(255), size_t(256),
                     size_t(1000000)}) {
        auto data = pngref::random_bytes(n, uint32_t(n) + 1);
        SCOPED_TRACE(testing::Message() << "length " << n);
        std::string expected = libb2_hex(data);
        EXPECT_EQ(our_hex(data), expected);
        EXPECT_EQ(expected.size(), 12u);
    }
    // The empty input: the 6-byte digest is its own hash, not a cut 64-byte one.
    EXPECT_EQ(our_hex({}), libb2_hex({}));
    uint8_t long_digest[64];
    blake2b(long_digest, "", nullptr, 64, 0, 0);
    char cut[13];
    for (int i = 0; i < 6; i++)
        std::snprintf(cut + 2 * i, 3, "%02x", long_digest[i]);
    EXPECT_NE(our_hex({}), std::string(cut));
}

TEST(ContentHash, FeedingInPiecesChangesNothing) {
    auto data = pngref::random_bytes(1000, 9);
    std::string whole = libb2_hex(data);
    const std::vector<std::vector<size_t>> splits = {
        {0, 0, 1, 0},       {127, 1},      {128},          {128, 0, 128},
        {1, 127, 128, 129}, {200, 56, 1}, {64, 64, 64, 64, 300}, {999},
    };
    for (const auto& split : splits)
        EXPECT_EQ(our_hex(data, split), whole);
    std::vector<size_t> bytewise(999, 1);
    EXPECT_EQ(our_hex(data, bytewise), whole);
}

struct test_sprite {
    std::vector<uint8_t> pixels, mask;
    sprite s{};
    test_sprite(int w, int h, uint32_t seed) : pixels(pngref::random_bytes(size_t(w) * size_t(h), seed, 16)),
                                               mask(pngref::random_bytes(size_t(w) * size_t(h), seed + 1, 2)) {
        s.width = w;
        s.height = h;
        s.pixels = pixels.data();
        s.mask = mask.data();
    }
    std::string hash() {
        char out[GFX_HASH_TEXT];
        gfx_sprite_hash(&s, out);
        return out;
    }
};

std::vector<uint8_t> le16(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
std::vector<uint8_t> le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

template <typename... T>
std::vector<uint8_t> concat(const T&... parts) {
    std::vector<uint8_t> all;
    (all.insert(all.end(), parts.begin(), parts.end()), ...);
    return all;
}

TEST(ContentHash, SpriteInputIsHeightWidthIndicesMask) {
    test_sprite a(16, 16, 1);
    EXPECT_EQ(a.hash(), libb2_hex(concat(le16(16), le16(16), a.pixels, a.mask)));

    test_sprite tall(5, 9, 2);
    EXPECT_EQ(tall.hash(), libb2_hex(concat(le16(9), le16(5), tall.pixels, tall.mask)));

    // The same bytes split 8 x 4 and 4 x 8 hash differently.
    test_sprite wide(8, 4, 3);
    std::string wide_hash = wide.hash();
    wide.s.width = 4;
    wide.s.height = 8;
    EXPECT_NE(wide.hash(), wide_hash);

    // One mask byte more or less changes the hash.
    test_sprite m(10, 10, 4);
    std::string before = m.hash();
    m.mask[57] ^= 1;
    EXPECT_NE(m.hash(), before);

    // Sizes of 256 and more fill both header bytes.
    test_sprite both(0x0102, 0x0201, 6);
    EXPECT_EQ(both.hash(), libb2_hex(concat(le16(0x0201), le16(0x0102), both.pixels, both.mask)));

    // Sizes above 65,535 keep their low 16 bits in the header.
    test_sprite big(65537, 1, 5);
    EXPECT_EQ(big.hash(), libb2_hex(concat(le16(1), le16(1), big.pixels, big.mask)));
}

TEST(ContentHash, ArrayInputIsRowsRowLengthIndices) {
    auto tile = pngref::random_bytes(32 * 64, 6, 16);
    char out[GFX_HASH_TEXT];
    gfx_array_hash(tile.data(), 32, 64, out);
    EXPECT_EQ(std::string(out), libb2_hex(concat(le32(32), le32(64), tile)));

    // Every byte of both header words counts.
    for (auto [rows, row_length] : {std::pair<uint32_t, uint32_t>{0x01020304, 1}, {1, 0x01030507}}) {
        auto big = pngref::random_bytes(size_t(rows) * row_length, 8, 16);
        gfx_array_hash(big.data(), int(rows), int(row_length), out);
        EXPECT_EQ(std::string(out), libb2_hex(concat(le32(rows), le32(row_length), big))) << rows;
    }

    // The same indices as a sprite (other header, no mask) hash differently.
    test_sprite s(16, 16, 7);
    gfx_array_hash(s.pixels.data(), 16, 16, out);
    EXPECT_EQ(std::string(out), libb2_hex(concat(le32(16), le32(16), s.pixels)));
    EXPECT_NE(std::string(out), s.hash());

    // The printed hash is 12 lower-case hex digits.
    for (char c : std::string(out))
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << c;
    EXPECT_EQ(std::strlen(out), 12u);
}

}  // namespace
