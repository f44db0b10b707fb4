// ST/STE palette words to RGB, with the host's fade brightness hidden in the
// spare bits, and fixed screens drawn zone by zone.
#include <cstdint>
#include <cstring>

#include "graphics/render.h"

void pal_to_rgb(const uint8_t* palette, uint8_t* out) {
    unsigned word[16];
    bool faded = false;
    for (int k = 0; k < 16; ++k) {
        word[k] = static_cast<unsigned>(palette[2 * k]) << 8 | palette[2 * k + 1];
        if (word[k] & 0x8000) faded = true;
    }
    const unsigned brightness = (word[0] >> 12 & 7) << 5 | (word[1] >> 12 & 7) << 2 | (word[2] >> 12 & 3);
    for (int k = 0; k < 16; ++k)
        for (int gun = 0; gun < 3; ++gun) {
            const unsigned nibble = word[k] >> (8 - 4 * gun) & 15;
            unsigned value = ((nibble & 7) * 2 + (nibble >> 3)) * 17;
            if (faded && (word[k] & 0x8000)) value = (brightness * value + 127) / 255;
            out[3 * k + gun] = static_cast<uint8_t>(value);
        }
}

void render_static(const uint8_t* indices, const palette_zone* zones, int zone_count, int scale, uint8_t* output) {
    const int s = scale;
    const size_t row_bytes = static_cast<size_t>(320) * s * 3;
    for (int z = 0; z < zone_count; ++z) {
        // Lines are unsigned: a zone at line 200 or beyond draws nothing.
        const int64_t first = zones[z].line;
        const int64_t end = z + 1 < zone_count ? zones[z + 1].line : 200;
        if (first >= 200 || first >= end) continue;
        uint8_t rgb[48];
        pal_to_rgb(zones[z].palette, rgb);
        for (int64_t y = first; y < end && y < 200; ++y) {
            uint8_t* line = output + static_cast<size_t>(y) * s * row_bytes;
            uint8_t* o = line;
            for (int x = 0; x < 320; ++x) {
                const uint8_t* c = rgb + 3 * indices[y * 320 + x];
                for (int k = 0; k < s; ++k, o += 3) o[0] = c[0], o[1] = c[1], o[2] = c[2];
            }
            for (int k = 1; k < s; ++k) std::memcpy(line + k * row_bytes, line, row_bytes);
        }
    }
}
