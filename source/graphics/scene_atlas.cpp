// The atlas of known pictures: one slot per unit key, found by open
// addressing over 4,096 slots. Slots are never freed, only their sprites.
#include <cinttypes>
#include <cstdio>

#include "graphics/scene_state.h"

scene_atlas* g_atlas = nullptr;

namespace {

int home_slot(uint64_t key) { return static_cast<int>((key * 0x9E3779B97F4A7C15ull) >> 52); }

} // namespace

atlas_slot* afind(scene_atlas* atlas, uint64_t key, int create) {
    if (!atlas) return nullptr;
    int at = home_slot(key);
    for (int probes = 0; probes < atlas_size; ++probes, at = (at + 1) % atlas_size) {
        atlas_slot& slot = atlas->slots[at];
        if (slot.used && slot.key == key) return &slot;
        if (!slot.used) {
            if (!create) return nullptr;
            slot.key = key;
            slot.used = 1;
            atlas->count += 1;
            return &slot;
        }
    }
    return nullptr;
}

sprite* atlas_get(scene_atlas* atlas, uint64_t key) {
    const atlas_slot* slot = afind(atlas, key, 0);
    return slot ? slot->spr : nullptr;
}

void atlas_put(scene_atlas* atlas, uint64_t key, sprite* spr) {
    atlas_slot* slot = afind(atlas, key, 1);
    if (!slot) return;
    sprite* old = slot->spr;
    slot->spr = sprite_ref(spr);
    sprite_unref(old);
    if (g_scene.callbacks.sprite_put) g_scene.callbacks.sprite_put(key, spr);
}

void atlas_drop(scene_atlas* atlas, uint64_t key) {
    atlas_slot* slot = afind(atlas, key, 0);
    if (!slot || !slot->spr) return;
    sprite_unref(slot->spr);
    slot->spr = nullptr;
    if (g_scene.callbacks.sprite_dropped) g_scene.callbacks.sprite_dropped(key);
}

void scene_dump_atlas() {
    if (!g_atlas) return;
    for (const atlas_slot& slot : g_atlas->slots) {
        const sprite* s = slot.spr;
        if (!s) continue;
        uint64_t sum = 0;
        const int n = s->width * s->height;
        for (int i = 0; i < n; ++i)
            if (s->mask[i])
                sum += static_cast<uint64_t>(s->pixels[i]) * ((static_cast<uint64_t>(i) * 0x9E37 % 65536) | 1);
        std::printf("ATLAS %s:%d:%d %d %d %d %d %016" PRIx64 "\n", unit_name(static_cast<int>(slot.key >> 40)),
                    static_cast<int>(slot.key >> 8 & 0xFFFF), static_cast<int>(slot.key & 0xFF), s->width, s->height,
                    s->hot_x, s->hot_y, sum);
    }
    std::fflush(stdout);
}
