// Fuzz target: both PNG readers on arbitrary file contents.
#include "graphics/png_codec.h"

#include <cstdlib>
#include <cstring>

namespace {

// Pictures of up to 16,384 x 16,384 are legal but take seconds and gigabytes
// each; the fuzzer looks at small ones only.
constexpr uint64_t MAX_FUZZ_PIXELS = 1 << 22;

bool declares_huge_picture(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 12 <= size; i++) {
        if (std::memcmp(data + i, "IHDR", 4) != 0)
            continue;
        const uint8_t* p = data + i + 4;
        uint64_t w = uint64_t(p[0]) << 24 | uint64_t(p[1]) << 16 | uint64_t(p[2]) << 8 | p[3];
        uint64_t h = uint64_t(p[4]) << 24 | uint64_t(p[5]) << 16 | uint64_t(p[6]) << 8 | p[7];
        if (w <= PNG_MAX_SIDE && h <= PNG_MAX_SIDE && w * h > MAX_FUZZ_PIXELS)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (declares_huge_picture(data, size))
        return 0;
    int width = 0, height = 0;
    if (uint8_t* rgba = png_decode_rgba(data, size, &width, &height)) {
        if (width < 1 || width > PNG_MAX_SIDE || height < 1 || height > PNG_MAX_SIDE)
            std::abort();
        // Touch every byte, so that the sanitizers see the whole picture.
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < size_t(width) * size_t(height) * 4; i++)
            sum = uint8_t(sum + rgba[i]);
        std::free(rgba);
    }
    if (uint8_t* indices = png_decode_indexed(data, size, &width, &height)) {
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < size_t(width) * size_t(height); i++)
            sum = uint8_t(sum + indices[i]);
        std::free(indices);
    }
    return 0;
}
