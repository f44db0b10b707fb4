// Life of a captured frame: made by the capture, shared with the presenter's
// history and the messages in flight, freed by whoever drops it last.
#include <cstdlib>

#include "graphics/render.h"
#include "graphics/scene.h"

scene_frame* frame_new() {
    auto* frame = new scene_frame{};
    frame->screen = static_cast<uint8_t*>(std::calloc(scene_pixels, 1));
    if (!frame->screen) {
        delete frame;
        return nullptr;
    }
    frame->refs.store(1, std::memory_order_relaxed);
    return frame;
}

scene_frame* frame_ref(scene_frame* frame) {
    if (frame) frame->refs.fetch_add(1, std::memory_order_relaxed);
    return frame;
}

void frame_unref(scene_frame* frame) {
    if (!frame) return;
    if (frame->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    for (int i = 0; i < frame->unit_count; ++i) sprite_unref(frame->units[i].spr);
    render_free_cache(frame);
    std::free(frame->screen);
    std::free(frame->ring);
    std::free(frame->residual_mask);
    std::free(frame->residual_screen);
    delete frame;
}
