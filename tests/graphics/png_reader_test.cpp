// The PNG reader against libpng on files libpng wrote, and its refusals.
#include "graphics/png_codec.h"
#include "png_reference.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

namespace {

using pngref::encode_options;

struct decoded {
    uint8_t* pixels = nullptr;
    int width = -1;
    int height = -1;
    ~decoded() { std::free(pixels); }
};

void expect_same_as_libpng(const std::vector<uint8_t>& file) {
    std::vector<uint8_t> expected;
    int w = 0, h = 0;
    ASSERT_TRUE(pngref::decode(file, false, expected, w, h));
    decoded ours;
    ours.pixels = png_decode_rgba(file.data(), file.size(), &ours.width, &ours.height);
    ASSERT_NE(ours.pixels, nullptr);
    ASSERT_EQ(ours.width, w);
    ASSERT_EQ(ours.height, h);
    ASSERT_EQ(expected.size(), size_t(w) * size_t(h) * 4);
    EXPECT_EQ(std::vector<uint8_t>(ours.pixels, ours.pixels + expected.size()), expected);
}

std::vector<uint8_t> palette_of(int entries) {
    return pngref::random_bytes(size_t(entries) * 3, uint32_t(entries) + 100);
}

TEST(PngReader, ReadsEveryColourTypeAndFilterLikeLibpng) {
    const int colour_types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE,
                                PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB_ALPHA};
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH,
                           PNG_ALL_FILTERS};
    for (int ct : colour_types)
        for (int filter : filters)
            for (auto [w, h] : {std::pair{1, 1}, std::pair{37, 23}, std::pair{256, 3}}) {
                SCOPED_TRACE(testing::Message() << "colour type " << ct << " filter " << filter << " " << w << "x" << h);
                encode_options o;
                o.colour_type = ct;
                o.filters = filter;
                if (ct == PNG_COLOR_TYPE_PALETTE)
                    o.palette = palette_of(256);
                auto data = pngref::test_picture(w, h, pngref::channels_of(ct), uint32_t(ct * 31 + filter));
                expect_same_as_libpng(pngref::encode(w, h, data, o));
            }
}

TEST(PngReader, SeveralIdatChunksReadLikeOne) {
    auto data = pngref::test_picture(120, 90, 4, 3);
    encode_options one;
    encode_options many;
    many.idat_size = 97;
    auto single = pngref::encode(120, 90, data, one);
    auto split = pngref::encode(120, 90, data, many);
    ASSERT_GT(split.size(), single.size());  // the chunk frames
    decoded a, b;
    a.pixels = png_decode_rgba(single.data(), single.size(), &a.width, &a.height);
    b.pixels = png_decode_rgba(split.data(), split.size(), &b.width, &b.height);
    ASSERT_NE(a.pixels, nullptr);
    ASSERT_NE(b.pixels, nullptr);
    EXPECT_EQ(0, std::memcmp(a.pixels, b.pixels, 120 * 90 * 4));
    EXPECT_EQ(0, std::memcmp(a.pixels, data.data(), data.size()));
}

TEST(PngReader, PaletteWithShortTransparency) {
    encode_options o;
    o.colour_type = PNG_COLOR_TYPE_PALETTE;
    o.palette = palette_of(16);
    o.trns = {0, 128, 7};
    std::vector<uint8_t> indices(16 * 4);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = uint8_t(i % 16);
    auto file = pngref::encode(16, 4, indices, o);
    expect_same_as_libpng(file);
    decoded d;
    d.pixels = png_decode_rgba(file.data(), file.size(), &d.width, &d.height);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.pixels[0 * 4 + 3], 0);
    EXPECT_EQ(d.pixels[1 * 4 + 3], 128);
    EXPECT_EQ(d.pixels[2 * 4 + 3], 7);
    for (int i = 3; i < 16; i++)
        EXPECT_EQ(d.pixels[i * 4 + 3], 255) << "entry " << i;
}

TEST(PngReader, IndexedReaderGivesTheStoredIndices) {
    encode_options o;
    o.colour_type = PNG_COLOR_TYPE_PALETTE;
    o.palette = palette_of(200);
    o.filters = PNG_ALL_FILTERS;
    auto indices = pngref::random_bytes(61 * 17, 8, 200);
    auto file = pngref::encode(61, 17, indices, o);
    std::vector<uint8_t> expected;
    int w, h;
    ASSERT_TRUE(pngref::decode(file, true, expected, w, h));
    decoded d;
    d.pixels = png_decode_indexed(file.data(), file.size(), &d.width, &d.height);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.width, 61);
    EXPECT_EQ(d.height, 17);
    EXPECT_EQ(std::vector<uint8_t>(d.pixels, d.pixels + indices.size()), expected);
    EXPECT_EQ(expected, indices);

    // Only palette files are indexed pictures.
    encode_options grey;
    grey.colour_type = PNG_COLOR_TYPE_GRAY;
    auto grey_file = pngref::encode(61, 17, indices, grey);
    decoded g;
    EXPECT_EQ(png_decode_indexed(grey_file.data(), grey_file.size(), &g.width, &g.height), nullptr);
}

TEST(PngReader, ReadsFromAFile) {
    pngref::temp_dir dir;
    auto data = pngref::test_picture(33, 21, 3, 4);
    encode_options o;
    o.colour_type = PNG_COLOR_TYPE_RGB;
    pngref::write_bytes(dir.file("a.png"), pngref::encode(33, 21, data, o));
    decoded d;
    d.pixels = png_read_rgba(dir.file("a.png").c_str(), &d.width, &d.height);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.width, 33);
    EXPECT_EQ(d.height, 21);
    EXPECT_EQ(d.pixels[4 * 5 + 1], data[3 * 5 + 1]);
    EXPECT_EQ(d.pixels[4 * 5 + 3], 255);
    EXPECT_EQ(png_read_rgba(dir.file("missing.png").c_str(), &d.width, &d.height), nullptr);
    EXPECT_EQ(png_read_indexed(dir.file("missing.png").c_str(), &d.width, &d.height), nullptr);
    EXPECT_EQ(png_read_rgba(dir.path().c_str(), &d.width, &d.height), nullptr);
}

// --- Files built chunk by chunk, for what libpng would not write. ---

void put_be32(std::vector<uint8_t>& v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8)
        v.push_back(uint8_t(x >> s));
}

void add_chunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data) {
    put_be32(file, uint32_t(data.size()));
    size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    put_be32(file, uint32_t(crc32(0, file.data() + start, uInt(file.size() - start))));
}

std::vector<uint8_t> ihdr(uint32_t w, uint32_t h, int depth, int ct, int interlace = 0) {
    std::vector<uint8_t> d;
    put_be32(d, w);
    put_be32(d, h);
    d.insert(d.end(), {uint8_t(depth), uint8_t(ct), 0, 0, uint8_t(interlace)});
    return d;
}

std::vector<uint8_t> zlib_compress(const std::vector<uint8_t>& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    std::vector<uint8_t> out(n);
    compress(out.data(), &n, raw.data(), uLong(raw.size()));
    out.resize(n);
    return out;
}

std::vector<uint8_t> make_file(const std::vector<uint8_t>& header, const std::vector<uint8_t>& raw_rows,
                               const std::vector<uint8_t>& plte = {}) {
    std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    add_chunk(f, "IHDR", header);
    if (!plte.empty())
        add_chunk(f, "PLTE", plte);
    add_chunk(f, "IDAT", zlib_compress(raw_rows));
    add_chunk(f, "IEND", {});
    return f;
}

// A picture of random pixels in the given form, written by the reference encoder.
std::vector<uint8_t> sample_file(int w, int h, int ct, int depth, bool interlace) {
    encode_options o;
    o.colour_type = ct;
    o.bit_depth = depth;
    o.interlace = interlace;
    if (ct == PNG_COLOR_TYPE_PALETTE)
        o.palette = palette_of(1 << (depth < 8 ? depth : 8));
    return pngref::encode(w, h, pngref::random_bytes(pngref::row_bytes(w, o) * size_t(h), 5), o);
}

TEST(PngReader, RefusesWhatItDoesNotRead) {
    const auto sample = sample_file;
    struct refusal {
        const char* name;
        std::vector<uint8_t> file;
    };
    auto good = sample(8, 8, PNG_COLOR_TYPE_RGB, 8, false);
    auto bad_signature = good;
    bad_signature[1] = 'p';
    std::vector<refusal> cases = {
        {"16-bit RGBA", sample(9, 5, PNG_COLOR_TYPE_RGB_ALPHA, 16, false)},
        {"16-bit grey", sample(9, 5, PNG_COLOR_TYPE_GRAY, 16, false)},
        {"1-bit grey", sample(9, 5, PNG_COLOR_TYPE_GRAY, 1, false)},
        {"2-bit palette", sample(9, 5, PNG_COLOR_TYPE_PALETTE, 2, false)},
        {"4-bit palette", sample(9, 5, PNG_COLOR_TYPE_PALETTE, 4, false)},
        {"interlaced RGB", sample(9, 5, PNG_COLOR_TYPE_RGB, 8, true)},
        {"bad signature", bad_signature},
        {"32 bytes only", std::vector<uint8_t>(good.begin(), good.begin() + 32)},
        {"cut inside the image data", std::vector<uint8_t>(good.begin(), good.begin() + long(good.size()) - 20)},
        {"width 0", make_file(ihdr(0, 4, 8, 0), std::vector<uint8_t>(4, 0))},
        {"width 16385", make_file(ihdr(16385, 1, 8, 0), std::vector<uint8_t>(16386, 0))},
        {"height 16385", make_file(ihdr(1, 16385, 8, 0), std::vector<uint8_t>(2 * 16385, 0))},
        {"width 2^32-1", make_file(ihdr(0xFFFFFFFF, 1, 8, 0), std::vector<uint8_t>(8, 0))},
        {"colour type 5", make_file(ihdr(2, 2, 8, 5), std::vector<uint8_t>(6, 0))},
        {"filter type 5", make_file(ihdr(2, 2, 8, 0), {0, 1, 2, 5, 3, 4})},
        {"no IHDR", [] {
             std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
             add_chunk(f, "IDAT", zlib_compress(std::vector<uint8_t>(100, 0)));
             add_chunk(f, "IEND", {});
             return f;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        decoded d;
        d.pixels = png_decode_rgba(c.file.data(), c.file.size(), &d.width, &d.height);
        EXPECT_EQ(d.pixels, nullptr);
        EXPECT_EQ(d.width, -1);  // untouched on refusal
    }
    // The indexed reader caps sizes the same way and wants 8-bit palette data.
    for (const auto& file : {make_file(ihdr(16385, 1, 8, 3), std::vector<uint8_t>(16386, 0)),
                             make_file(ihdr(0xFFFFFFFF, 0xFFFFFFFF, 8, 3), std::vector<uint8_t>(8, 0)),
                             sample(9, 5, PNG_COLOR_TYPE_PALETTE, 4, false)}) {
        decoded d;
        d.pixels = png_decode_indexed(file.data(), file.size(), &d.width, &d.height);
        EXPECT_EQ(d.pixels, nullptr);
    }
    // The largest accepted sides still read.
    for (auto [w, h] : {std::pair{16384u, 1u}, std::pair{1u, 16384u}}) {
        std::vector<uint8_t> raw(size_t(h) * (1 + w), 0);
        auto file = make_file(ihdr(w, h, 8, 0), raw);
        decoded d;
        d.pixels = png_decode_rgba(file.data(), file.size(), &d.width, &d.height);
        EXPECT_NE(d.pixels, nullptr);
        EXPECT_EQ(d.width, int(w));
    }
}

TEST(PngReader, ShortImageDataAndPaletteAreFilledWithZeros) {
    // Four rows declared, one row of data: the other rows come out zero.
    const uint32_t w = 300, h = 4;
    std::vector<uint8_t> first_row(1 + w * 3, 0x5A);
    first_row[0] = 0;
    auto file = make_file(ihdr(w, h, 8, 2), first_row);
    decoded d;
    d.pixels = png_decode_rgba(file.data(), file.size(), &d.width, &d.height);
    ASSERT_NE(d.pixels, nullptr);
    for (uint32_t x = 0; x < w; x++)
        ASSERT_EQ(d.pixels[x * 4], 0x5A);
    for (size_t i = w * 4; i < size_t(w) * h * 4; i++)
        ASSERT_EQ(d.pixels[i], (i % 4 == 3) ? 255 : 0) << "byte " << i;

    // Indices past a 2-entry palette come out opaque black.
    std::vector<uint8_t> rows = {0, 0, 1, 5, 255};
    auto pal_file = make_file(ihdr(4, 1, 8, 3), rows, {10, 20, 30, 40, 50, 60});
    decoded p;
    p.pixels = png_decode_rgba(pal_file.data(), pal_file.size(), &p.width, &p.height);
    ASSERT_NE(p.pixels, nullptr);
    const uint8_t expected[16] = {10, 20, 30, 255, 40, 50, 60, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    EXPECT_EQ(0, std::memcmp(p.pixels, expected, 16));

    // The indexed reader zero-fills short data too.
    decoded q;
    std::vector<uint8_t> one_row(65, 9);
    one_row[0] = 0;
    auto short_indexed = make_file(ihdr(64, 64, 8, 3), one_row);
    q.pixels = png_decode_indexed(short_indexed.data(), short_indexed.size(), &q.width, &q.height);
    ASSERT_NE(q.pixels, nullptr);
    EXPECT_EQ(q.pixels[63], 9);
    for (size_t i = 64; i < 64 * 64; i++)
        ASSERT_EQ(q.pixels[i], 0) << "index " << i;
}

TEST(PngReader, ChunkWalkStopsAtDamage) {
    auto data = pngref::test_picture(20, 20, 4, 6);
    auto file = pngref::encode(20, 20, data, encode_options{});
    // A chunk claiming more data than the file holds ends the walk safely.
    std::vector<uint8_t> f = file;
    size_t iend = f.size() - 12;
    f.resize(iend);
    put_be32(f, 0x7FFFFFF0);
    f.insert(f.end(), {'t', 'E', 'X', 't', 1, 2, 3});
    decoded d;
    d.pixels = png_decode_rgba(f.data(), f.size(), &d.width, &d.height);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(0, std::memcmp(d.pixels, data.data(), data.size()));
    // Bad CRCs are not looked at.
    f = file;
    f[8 + 8 + 13] ^= 0xFF;  // IHDR's CRC
    decoded e;
    e.pixels = png_decode_rgba(f.data(), f.size(), &e.width, &e.height);
    EXPECT_NE(e.pixels, nullptr);
}

// --- What a caller can know and bound before a picture is decoded. ---


TEST(PngReader, TheHeaderAloneGivesTheSizeAndWhyAFormatIsRefused) {
    struct format_case {
        int ct, depth;
        bool interlace;
        const char* refusal;  // null: read
    };
    const format_case cases[] = {
        {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, nullptr},
        {PNG_COLOR_TYPE_RGB, 8, false, nullptr},
        {PNG_COLOR_TYPE_GRAY, 8, false, nullptr},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, nullptr},
        {PNG_COLOR_TYPE_PALETTE, 8, false, nullptr},
        {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, "16-bit PNG: save it with 8 bits per channel"},
        {PNG_COLOR_TYPE_GRAY, 16, false, "16-bit PNG: save it with 8 bits per channel"},
        {PNG_COLOR_TYPE_PALETTE, 1, false, "palette of 1/2/4 bits: save it with 8 bits"},
        {PNG_COLOR_TYPE_PALETTE, 2, false, "palette of 1/2/4 bits: save it with 8 bits"},
        {PNG_COLOR_TYPE_PALETTE, 4, false, "palette of 1/2/4 bits: save it with 8 bits"},
        {PNG_COLOR_TYPE_GRAY, 1, false, "grey of 1/2/4 bits: save it with 8 bits"},
        {PNG_COLOR_TYPE_GRAY, 4, false, "grey of 1/2/4 bits: save it with 8 bits"},
        {PNG_COLOR_TYPE_RGB, 8, true, "interlaced: save it without interlacing"},
        {PNG_COLOR_TYPE_RGB, 16, true,
         "16-bit PNG: save it with 8 bits per channel; interlaced: save it without interlacing"},
        {PNG_COLOR_TYPE_PALETTE, 2, true,
         "palette of 1/2/4 bits: save it with 8 bits; interlaced: save it without interlacing"},
        {PNG_COLOR_TYPE_GRAY, 1, true,
         "grey of 1/2/4 bits: save it with 8 bits; interlaced: save it without interlacing"},
    };
    pngref::temp_dir dir;
    const std::string path = dir.file("s.png");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "colour type " << c.ct << ", " << c.depth << " bits"
                                        << (c.interlace ? ", interlaced" : ""));
        const auto file = sample_file(13, 7, c.ct, c.depth, c.interlace);
        pngref::write_bytes(path, file);
        png_header_info info{};
        ASSERT_EQ(png_read_header(path.c_str(), &info), 1);
        EXPECT_EQ(info.width, 13);
        EXPECT_EQ(info.height, 7);
        EXPECT_EQ(info.bit_depth, c.depth);
        EXPECT_EQ(info.colour_type, c.ct);
        EXPECT_EQ(info.interlace, c.interlace ? 1 : 0);
        const char* refusal = png_format_refusal(info);
        EXPECT_STREQ(refusal, c.refusal);
        // The words agree with the reader.
        decoded d;
        d.pixels = png_decode_rgba(file.data(), file.size(), &d.width, &d.height);
        EXPECT_EQ(d.pixels == nullptr, c.refusal != nullptr);
    }
    // Only a file that opens with the signature and the header chunk has a
    // header to read.
    auto good = sample_file(4, 4, PNG_COLOR_TYPE_RGB, 8, false);
    auto other_first = std::vector<uint8_t>(good.begin(), good.begin() + 8);
    add_chunk(other_first, "tEXt", {'a', 0, 'b'});
    other_first.insert(other_first.end(), good.begin() + 8, good.end());
    auto bad_signature = good;
    bad_signature[0] = 0;
    for (const auto& file : {std::vector<uint8_t>(good.begin(), good.begin() + 32), other_first, bad_signature,
                             std::vector<uint8_t>{}}) {
        pngref::write_bytes(path, file);
        png_header_info info{};
        EXPECT_EQ(png_read_header(path.c_str(), &info), 0) << file.size() << " bytes";
    }
    png_header_info info{};
    EXPECT_EQ(png_read_header(dir.file("missing.png").c_str(), &info), 0);
    EXPECT_EQ(png_read_header(dir.path().c_str(), &info), 0);
}

TEST(PngReader, APictureLargerThanTheCallerTakesIsRefused) {
    pngref::temp_dir dir;
    const auto file = sample_file(40, 30, PNG_COLOR_TYPE_RGB_ALPHA, 8, false);
    pngref::write_bytes(dir.file("a.png"), file);
    encode_options pal;
    pal.colour_type = PNG_COLOR_TYPE_PALETTE;
    pal.palette = palette_of(16);
    pngref::write_bytes(dir.file("i.png"), pngref::encode(40, 30, pngref::random_bytes(40 * 30, 2, 16), pal));
    struct limit_case {
        int most_w, most_h;
        bool read;
    };
    const limit_case cases[] = {{40, 30, true}, {39, 30, false}, {40, 29, false}, {PNG_MAX_SIDE, 30, true},
                                {PNG_MAX_SIDE + 1, PNG_MAX_SIDE + 1, true}, {0, 0, false}, {-5, 30, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "at most " << c.most_w << "x" << c.most_h);
        decoded a, b, i;
        a.pixels = png_decode_rgba(file.data(), file.size(), &a.width, &a.height, c.most_w, c.most_h);
        EXPECT_EQ(a.pixels != nullptr, c.read);
        b.pixels = png_read_rgba(dir.file("a.png").c_str(), &b.width, &b.height, c.most_w, c.most_h);
        EXPECT_EQ(b.pixels != nullptr, c.read);
        i.pixels = png_read_indexed(dir.file("i.png").c_str(), &i.width, &i.height, c.most_w, c.most_h);
        EXPECT_EQ(i.pixels != nullptr, c.read);
        if (c.read)
            EXPECT_EQ(a.width, 40);
        else
            EXPECT_EQ(a.width, -1);
    }
    // The file is not even read when it is larger than such a picture
    // stored without compression could be (bytes after IEND are ignored;
    // the file is sparse).
    const size_t most = png_file_limit(40, 30);
    const size_t stored = 30 * (1 + 40 * 4);  // the rows with their filter bytes
    EXPECT_EQ(most, stored + stored / 16 + (size_t{16} << 20));
    EXPECT_EQ(png_file_limit(PNG_MAX_SIDE, PNG_MAX_SIDE), PNG_MAX_FILE);
    std::filesystem::resize_file(dir.file("a.png"), most);
    decoded at_most, past;
    at_most.pixels = png_read_rgba(dir.file("a.png").c_str(), &at_most.width, &at_most.height, 40, 30);
    EXPECT_NE(at_most.pixels, nullptr);
    std::filesystem::resize_file(dir.file("a.png"), most + 1);
    past.pixels = png_read_rgba(dir.file("a.png").c_str(), &past.width, &past.height, 40, 30);
    EXPECT_EQ(past.pixels, nullptr);
}

// A DEFLATE stream gives at most 1,032 bytes per byte (a 258-byte copy in
// two bits): a header declaring more rows than its image data can fill is
// refused before the rows are allocated, so a 68-byte file declaring
// 16,384 x 16,384 costs nothing.
TEST(PngReader, ImageDataTooShortToFillTheDeclaredRowsIsRefused) {
    const std::vector<uint8_t> stream = zlib_compress(std::vector<uint8_t>(100, 0));
    const size_t most = (stream.size() - 2) * 1032;  // bytes the stream could give
    auto file_of = [&](uint32_t w, uint32_t h, int ct) {
        std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        add_chunk(f, "IHDR", ihdr(w, h, 8, ct));
        add_chunk(f, "IDAT", stream);
        add_chunk(f, "IEND", {});
        return f;
    };
    struct fill_case {
        uint32_t w, h;
        int ct;
        bool read;
    };
    const uint32_t grey_w = uint32_t(most - 1);            // one row of 1 + w bytes
    const uint32_t rgba_w = uint32_t((most - 1) / 4);      // one row of 1 + 4w bytes
    ASSERT_LE(grey_w + 1, uint32_t(PNG_MAX_SIDE));
    const fill_case cases[] = {
        {grey_w, 1, 0, true},   {grey_w + 1, 1, 0, false}, {rgba_w, 1, 6, true},
        {rgba_w + 1, 1, 6, false}, {16384, 16384, 6, false}, {16384, 16384, 3, false},
        {16384, 16384, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " colour type " << c.ct);
        const auto file = file_of(c.w, c.h, c.ct);
        decoded d;
        d.pixels = png_decode_rgba(file.data(), file.size(), &d.width, &d.height);
        EXPECT_EQ(d.pixels != nullptr, c.read);
        if (c.ct == 3) {
            decoded i;
            i.pixels = png_decode_indexed(file.data(), file.size(), &i.width, &i.height);
            EXPECT_EQ(i.pixels != nullptr, c.read);
        }
    }
    EXPECT_EQ(file_of(16384, 16384, 6).size(), size_t(57) + stream.size());
}

}  // namespace
