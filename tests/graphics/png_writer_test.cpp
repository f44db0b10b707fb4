// The PNG writer: files libpng reads pixel-exact, the shape of its one
// fixed-Huffman block, and the safe write through ".tmp" and rename.
#include "graphics/png_codec.h"
#include "graphics/png_deflate_tables.h"
#include "png_reference.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

struct png_chunk {
    std::string type;
    std::vector<uint8_t> data;
};

// Splits a file into chunks, checking every frame and CRC on the way.
std::vector<png_chunk> chunks_of(const std::vector<uint8_t>& file) {
    std::vector<png_chunk> out;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(file.size() >= 8 && std::memcmp(file.data(), signature, 8) == 0);
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        uint32_t len = be32(&file[pos]);
        EXPECT_LE(pos + 12 + len, file.size());
        if (pos + 12 + len > file.size())
            break;
        uint32_t crc = uint32_t(crc32(0, &file[pos + 4], uInt(len + 4)));
        EXPECT_EQ(crc, be32(&file[pos + 8 + len]));
        out.push_back({std::string(file.begin() + long(pos) + 4, file.begin() + long(pos) + 8),
                       std::vector<uint8_t>(file.begin() + long(pos) + 8, file.begin() + long(pos) + 8 + len)});
        pos += 12 + len;
    }
    EXPECT_EQ(pos, file.size());
    return out;
}

TEST(PngWriter, LibpngReadsWhatWeWritePixelExact) {
    pngref::temp_dir dir;
    std::vector<uint8_t> palette = pngref::random_bytes(768, 77);
    for (int channels : {1, 3, 4})
        for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 9}, std::pair{300, 200}, std::pair{1000, 1}}) {
            SCOPED_TRACE(testing::Message() << channels << " channels " << w << "x" << h);
            auto pixels = pngref::test_picture(w, h, channels, uint32_t(w + channels));
            std::string path = dir.file("out.png");
            if (channels == 1)
                ASSERT_EQ(png_write_indexed(path.c_str(), pixels.data(), w, h, palette.data()), 1);
            else
                ASSERT_EQ(png_write(path.c_str(), pixels.data(), w, h, channels), 1);
            auto file = pngref::read_bytes(path);
            std::vector<uint8_t> stored;
            int rw, rh;
            ASSERT_TRUE(pngref::decode(file, true, stored, rw, rh));
            EXPECT_EQ(rw, w);
            EXPECT_EQ(rh, h);
            EXPECT_EQ(stored, pixels);
            // Our own reader agrees, palette included.
            int ow, oh;
            uint8_t* rgba = png_read_rgba(path.c_str(), &ow, &oh);
            ASSERT_NE(rgba, nullptr);
            for (size_t i = 0; i < size_t(w) * size_t(h); i++) {
                const uint8_t* px = rgba + 4 * i;
                const uint8_t* src = channels == 1 ? &palette[3 * pixels[i]] : &pixels[size_t(channels) * i];
                ASSERT_TRUE(px[0] == src[0] && px[1] == src[1] && px[2] == src[2]) << "pixel " << i;
                ASSERT_EQ(px[3], channels == 4 ? pixels[4 * i + 3] : 255) << "pixel " << i;
            }
            std::free(rgba);
        }
}

TEST(PngWriter, OnePixelFileLayout) {
    pngref::temp_dir dir;
    const uint8_t pixel[4] = {0, 0, 0, 0};
    std::string path = dir.file("one.png");
    ASSERT_EQ(png_write(path.c_str(), pixel, 1, 1, 4), 1);
    auto chunks = chunks_of(pngref::read_bytes(path));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 1, 8, 6, 0, 0, 0}));
    EXPECT_EQ(chunks[1].type, "IDAT");
    ASSERT_GE(chunks[1].data.size(), 2u);
    EXPECT_EQ(chunks[1].data[0], 0x78);
    EXPECT_EQ(chunks[1].data[1], 0x01);
    EXPECT_EQ(chunks[1].data[2] & 7, 3);  // final block, fixed Huffman
    EXPECT_EQ(chunks[2].type, "IEND");
    EXPECT_TRUE(chunks[2].data.empty());

    // The indexed file carries the whole 256-entry palette.
    std::vector<uint8_t> palette(768, 3);
    ASSERT_EQ(png_write_indexed(path.c_str(), pixel, 1, 1, palette.data()), 1);
    chunks = chunks_of(pngref::read_bytes(path));
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].data[9], 3);
    EXPECT_EQ(chunks[1].type, "PLTE");
    EXPECT_EQ(chunks[1].data, palette);
}

struct block_stats {
    bool fixed_only = true;
    size_t max_distance = 0;
    size_t max_length = 0;
    size_t pairs = 0;
};

// Walks one fixed-Huffman block, decoding it and noting its matches.
std::vector<uint8_t> walk_fixed_block(const std::vector<uint8_t>& z, block_stats& stats) {
    size_t bitpos = 16;  // behind the zlib header
    auto bit = [&]() -> uint32_t {
        if (bitpos / 8 >= z.size())
            throw std::runtime_error("stream runs out");
        uint32_t b = (z[bitpos / 8] >> (bitpos % 8)) & 1;
        bitpos++;
        return b;
    };
    auto bits = [&](int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; i++)
            v |= bit() << i;
        return v;
    };
    auto code = [&](int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; i++)
            v = v << 1 | bit();
        return v;
    };
    std::vector<uint8_t> out;
    stats.fixed_only = bits(3) == 3;
    for (;;) {
        uint32_t v = code(7);
        int sym;
        if (v <= 0x17) {
            sym = int(256 + v);
        } else {
            v = v << 1 | bit();
            if (v >= 0x30 && v <= 0xBF) sym = int(v - 0x30);
            else if (v >= 0xC0 && v <= 0xC7) sym = int(280 + v - 0xC0);
            else sym = int(144 + (v << 1 | bit()) - 0x190);
        }
        if (sym < 256) {
            out.push_back(uint8_t(sym));
            continue;
        }
        if (sym == 256)
            break;
        size_t len = LBASE[size_t(sym - 257)] + bits(LEXT[size_t(sym - 257)]);
        uint32_t dsym = code(5);
        size_t dist = DBASE[dsym] + bits(DEXT[dsym]);
        stats.pairs++;
        stats.max_distance = std::max(stats.max_distance, dist);
        stats.max_length = std::max(stats.max_length, len);
        for (size_t i = 0; i < len; i++)
            out.push_back(out[out.size() - dist]);
    }
    return out;
}

TEST(PngWriter, RepeatingRowsUseTheWholeWindow) {
    // Rows of 1 + 32,767 bytes repeat at exactly the largest distance.
    pngref::temp_dir dir;
    const int w = 32767, h = 6;
    auto row = pngref::random_bytes(size_t(w), 12);
    std::vector<uint8_t> pixels;
    for (int y = 0; y < h; y++)
        pixels.insert(pixels.end(), row.begin(), row.end());
    std::vector<uint8_t> palette(768, 0);
    std::string path = dir.file("wide.png");
    ASSERT_EQ(png_write_indexed(path.c_str(), pixels.data(), w, h, palette.data()), 1);
    auto chunks = chunks_of(pngref::read_bytes(path));
    ASSERT_EQ(chunks.size(), 4u);
    const auto& z = chunks[2].data;

    std::vector<uint8_t> raw;
    for (int y = 0; y < h; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    block_stats stats;
    EXPECT_EQ(walk_fixed_block(z, stats), raw);
    EXPECT_TRUE(stats.fixed_only);
    EXPECT_EQ(stats.max_distance, 32768u);
    EXPECT_EQ(stats.max_length, 258u);
    // zlib agrees, Adler-32 included.
    std::vector<uint8_t> check(raw.size());
    uLongf n = uLongf(check.size());
    ASSERT_EQ(uncompress(check.data(), &n, z.data(), uLong(z.size())), Z_OK);
    EXPECT_EQ(check, raw);
    // And libpng reads it.
    std::vector<uint8_t> stored;
    int rw, rh;
    ASSERT_TRUE(pngref::decode(pngref::read_bytes(path), true, stored, rw, rh));
    EXPECT_EQ(stored, pixels);
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

TEST(PngWriter, WritesThroughTmpAndRename) {
    pngref::temp_dir dir;
    auto pixels = pngref::test_picture(40, 30, 3, 1);
    std::string path = dir.file("shot.png");
    pngref::write_bytes(path, {'o', 'l', 'd'});
    ASSERT_EQ(png_write(path.c_str(), pixels.data(), 40, 30, 3), 1);
    EXPECT_FALSE(exists(path + ".tmp"));
    std::vector<uint8_t> stored;
    int w, h;
    ASSERT_TRUE(pngref::decode(pngref::read_bytes(path), true, stored, w, h));
    EXPECT_EQ(stored, pixels);
}

TEST(PngWriter, ReportsFailuresAndKeepsTheOldFile) {
    pngref::temp_dir dir;
    auto pixels = pngref::test_picture(40, 30, 4, 1);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};

    // A folder that does not exist.
    std::string nowhere = dir.file("missing/shot.png");
    EXPECT_EQ(png_write(nowhere.c_str(), pixels.data(), 40, 30, 4), 0);
    EXPECT_FALSE(exists(nowhere + ".tmp"));

    // Writing fails (a full disk): the old file stays, no ".tmp" is left.
    if (exists("/dev/full")) {
        std::string path = dir.file("full.png");
        pngref::write_bytes(path, old);
        ASSERT_EQ(symlink("/dev/full", (path + ".tmp").c_str()), 0);
        EXPECT_EQ(png_write(path.c_str(), pixels.data(), 40, 30, 4), 0);
        EXPECT_EQ(pngref::read_bytes(path), old);
        EXPECT_FALSE(exists(path + ".tmp"));
    }

    // The rename fails (a folder stands at the target).
    std::string folder = dir.file("taken.png");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/x").c_str(), 0755), 0);
    EXPECT_EQ(png_write(folder.c_str(), pixels.data(), 40, 30, 4), 0);
    EXPECT_FALSE(exists(folder + ".tmp"));

    // Arguments it cannot write.
    std::string path = dir.file("args.png");
    EXPECT_EQ(png_write(path.c_str(), pixels.data(), 40, 30, 2), 0);
    EXPECT_EQ(png_write(path.c_str(), pixels.data(), 0, 30, 4), 0);
    EXPECT_EQ(png_write(path.c_str(), pixels.data(), 40, -1, 4), 0);
    EXPECT_EQ(png_write(path.c_str(), nullptr, 40, 30, 4), 0);
    EXPECT_EQ(png_write_indexed(path.c_str(), pixels.data(), 40, 30, nullptr), 0);
    EXPECT_EQ(png_write(nullptr, pixels.data(), 40, 30, 4), 0);
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(exists(path + ".tmp"));
}

}  // namespace
