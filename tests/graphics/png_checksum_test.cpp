// CRC-32 and Adler-32 against zlib.
#include "graphics/png_codec.h"
#include "png_reference.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

TEST(PngChecksum, AgreesWithZlibOnEveryLengthClass) {
    // Adler-32 takes its modulo every 5,552 bytes: lengths around that and
    // all-0xFF runs (the largest sums) are where an overflow would show.
    for (size_t n : {size_t(0), size_t(1), size_t(3), size_t(5551), size_t(5552), size_t(5553), size_t(11104),
                     size_t(100000)}) {
        for (int fill : {-1, 0xFF}) {
            std::vector<uint8_t> data = pngref::random_bytes(n, uint32_t(n));
            if (fill >= 0)
                std::fill(data.begin(), data.end(), uint8_t(fill));
            SCOPED_TRACE(testing::Message() << "length " << n << " fill " << fill);
            EXPECT_EQ(png_crc32(data.data(), n), uint32_t(crc32(0, data.data(), uInt(n))));
            EXPECT_EQ(png_adler32(1, data.data(), n), uint32_t(adler32(1, data.data(), uInt(n))));
        }
    }
}

TEST(PngChecksum, ContinuesAcrossPieces) {
    std::vector<uint8_t> data = pngref::random_bytes(20000, 7);
    uint32_t crc = 0, adler = 1;
    size_t pos = 0;
    for (size_t piece : {size_t(1), size_t(4), size_t(5552), size_t(13), size_t(9000)}) {
        crc = crc32_update(crc, data.data() + pos, piece);
        adler = png_adler32(adler, data.data() + pos, piece);
        pos += piece;
    }
    crc = crc32_update(crc, data.data() + pos, data.size() - pos);
    adler = png_adler32(adler, data.data() + pos, data.size() - pos);
    EXPECT_EQ(crc, png_crc32(data.data(), data.size()));
    EXPECT_EQ(adler, uint32_t(adler32(1, data.data(), uInt(data.size()))));
}

TEST(PngChecksum, KnownValues) {
    const auto* text = reinterpret_cast<const uint8_t*>("123456789");
    EXPECT_EQ(png_crc32(text, 9), 0xCBF43926u);
    const auto* iend = reinterpret_cast<const uint8_t*>("IEND");
    EXPECT_EQ(png_crc32(iend, 4), 0xAE426082u);
}

}  // namespace
