#include "graphics/render_cache.h"

render_cache* fcache(scene_frame* frame, int scale) {
    if (!frame) return nullptr;
    render_cache* c = frame->cache;
    if (c && (c->scale != scale || c->gen != pack_gen)) {
        delete c;
        c = nullptr;
    }
    if (!c) {
        c = new render_cache{};
        c->scale = scale;
        c->gen = pack_gen;
        frame->cache = c;
    }
    return c;
}

void render_free_cache(scene_frame* frame) {
    if (!frame) return;
    delete frame->cache;
    frame->cache = nullptr;
}
