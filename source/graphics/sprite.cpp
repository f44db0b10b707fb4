// Life of the shared indexed picture and the two conversions every capture
// and dump path starts from: ST plane lines to indices, and cropping.
#include "graphics/sprite.h"

#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

sprite* sprite_new(int width, int height) {
    if (width < 0 || height < 0) return nullptr;
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    auto* spr = new sprite{};
    // One byte more than needed so an empty picture still owns real blocks.
    spr->pixels = static_cast<uint8_t*>(std::calloc(n + 1, 1));
    spr->mask = static_cast<uint8_t*>(std::calloc(n + 1, 1));
    if (!spr->pixels || !spr->mask) {
        std::free(spr->pixels);
        std::free(spr->mask);
        delete spr;
        return nullptr;
    }
    spr->width = width;
    spr->height = height;
    spr->refs.store(1, std::memory_order_relaxed);
    return spr;
}

sprite* sprite_ref(sprite* spr) {
    if (spr) spr->refs.fetch_add(1, std::memory_order_relaxed);
    return spr;
}

void sprite_unref(sprite* spr) {
    if (!spr) return;
    // acq_rel: the thread that frees must see every write made before the
    // other threads dropped their references.
    if (spr->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    std::free(spr->pixels);
    std::free(spr->mask);
    delete spr;
}

namespace {

// Eight pixels of one plane byte at once: byte k of the entry (in memory
// order) is bit 7 - k of the plane byte, so four shifted lookups ORed give
// eight indices.
static_assert(std::endian::native == std::endian::little);
constexpr std::array<uint64_t, 256> spread = [] {
    std::array<uint64_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        for (int k = 0; k < 8; ++k)
            if (b >> (7 - k) & 1) t[b] |= uint64_t{1} << (8 * k);
    return t;
}();

} // namespace

void planes_to_idx(const uint8_t* lines, int line_count, int groups, uint8_t* out) {
    const size_t groups_total = static_cast<size_t>(line_count) * static_cast<size_t>(groups);
    for (size_t g = 0; g < groups_total; ++g) {
        const uint8_t* w = lines + 8 * g;
        const uint64_t high = spread[w[0]] | spread[w[2]] << 1 | spread[w[4]] << 2 | spread[w[6]] << 3;
        const uint64_t low = spread[w[1]] | spread[w[3]] << 1 | spread[w[5]] << 2 | spread[w[7]] << 3;
        std::memcpy(out + 16 * g, &high, 8);
        std::memcpy(out + 16 * g + 8, &low, 8);
    }
}

sprite* crop(const uint8_t* pixels, const uint8_t* mask, int lines, int width, int origin_x, int origin_y) {
    int left = width, right = -1, top = lines, bottom = -1;
    for (int y = 0; y < lines; ++y)
        for (int x = 0; x < width; ++x)
            if (mask[static_cast<size_t>(y) * width + x]) {
                if (x < left) left = x;
                if (x > right) right = x;
                if (y < top) top = y;
                if (y > bottom) bottom = y;
            }
    if (right < 0) return nullptr;
    const int w = right - left + 1, h = bottom - top + 1;
    sprite* spr = sprite_new(w, h);
    if (!spr) return nullptr;
    for (int y = 0; y < h; ++y) {
        const size_t from = static_cast<size_t>(top + y) * width + left;
        std::memcpy(spr->pixels + static_cast<size_t>(y) * w, pixels + from, w);
        std::memcpy(spr->mask + static_cast<size_t>(y) * w, mask + from, w);
    }
    spr->hot_x = origin_x + left;
    spr->hot_y = origin_y + top;
    return spr;
}
