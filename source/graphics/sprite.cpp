// Life of the shared indexed picture and the cropping every capture and
// dump path uses.
#include "graphics/sprite.h"

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
