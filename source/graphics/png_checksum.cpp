// CRC-32 (reflected polynomial 0xEDB88320) and Adler-32, as PNG and zlib
// use them.
#include "graphics/png_codec.h"

#include <array>

namespace {

// Built at compile time, so first use from several threads needs no guard.
constexpr std::array<uint32_t, 256> make_crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> crc_table = make_crc_table();

constexpr uint32_t ADLER_MOD = 65521;
// Largest run whose sums cannot overflow 32 bits before the modulo.
constexpr size_t ADLER_RUN = 5552;

}  // namespace

uint32_t crc32_update(uint32_t crc, const uint8_t* data, size_t length) {
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < length; i++)
        c = crc_table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t png_crc32(const uint8_t* data, size_t length) {
    return crc32_update(0, data, length);
}

uint32_t png_adler32(uint32_t adler, const uint8_t* data, size_t length) {
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    while (length > 0) {
        size_t run = length < ADLER_RUN ? length : ADLER_RUN;
        length -= run;
        for (size_t i = 0; i < run; i++) {
            a += data[i];
            b += a;
        }
        data += run;
        a %= ADLER_MOD;
        b %= ADLER_MOD;
    }
    return (b << 16) | a;
}
