// The graphics path of one game frame: capture on the emulation thread (60
// units and the ring, hooks to close; beside it the same frame watched by
// saving and comparing the whole screen per unit), the presenter's filters
// with 128 enemies, and the renderer at scales 2-4 with warm and cold
// caches, beside render_static of the same screen.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "graphics/present.h"
#include "graphics/render.h"
#include "graphics/scene.h"
#include "machine/hooks.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/graphics/scene_frames.h"
#include "support/graphics/scene_script.h"

namespace {

constexpr int units = 60;

struct capture_setup {
    std::vector<u8> background;   // the screen before any unit is drawn
    std::vector<u8> drawn;        // the screen with every unit drawn
    std::vector<u16> x, y;
    sprite* pic = nullptr;
    // Per unit, the plane words its picture touches: keep mask and bits, as
    // the game's blitter writes them.
    struct word_write {
        u32 offset;
        u16 keep, bits;
    };
    std::vector<std::vector<word_write>> writes;

    capture_setup() {
        machine_clear();
        scene_init(nullptr);
        script_begin();
        tos.zone_count = 1;
        test_palette(tos.zones[0].palette);
        idx_picture ring(192, 256);
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 192; ++c) ring.at(c, r) = static_cast<u8>(1 + (r + c / 16) % 7);
        st_put_groups(ram + 0x28000, ring, 4, 96);
        ram[0x281] = 40;
        script_table_block(0, 2, 0, 0, 2, 16, 18, 5);
        pic = rom_sprite(0, 2, 0);
        u8* screen = script_screen_bytes();
        for (int yy = 0; yy < 200; ++yy)
            for (int c = 64; c < 256; ++c) st_set_pixel(screen, c, yy, 1 + ((255 - 40 + yy) % 256 + (c - 64) / 16) % 7);
        background.assign(screen, screen + 32000);
        for (int i = 0; i < units; ++i) {
            x.push_back(static_cast<u16>(104 + 16 * (i % 10) + 2 * (i / 10)));
            y.push_back(static_cast<u16>(110 + 28 * (i / 10)));
        }
        for (int i = 0; i < units; ++i)
            for (int j = 0; j < pic->height; ++j)
                for (int k = 0; k < pic->width; ++k)
                    st_set_pixel(screen, x[i] + pic->hot_x + k, y[i] + pic->hot_y + j, pic->pixels[j * pic->width + k]);
        drawn.assign(screen, screen + 32000);
        writes.resize(units);
        for (int i = 0; i < units; ++i) {
            const int left = x[i] + pic->hot_x, top = y[i] + pic->hot_y;
            for (int j = 0; j < pic->height; ++j)
                for (int g = left / 16; g <= (left + pic->width - 1) / 16; ++g) {
                    u16 mask = 0;
                    for (int k = 0; k < 16; ++k) {
                        const int px = 16 * g + k - left;
                        if (px >= 0 && px < pic->width && pic->mask[j * pic->width + px]) mask |= static_cast<u16>(0x8000 >> k);
                    }
                    for (int p = 0; p < 4; ++p) {
                        const u32 off = static_cast<u32>((top + j) * 160 + g * 8 + 2 * p);
                        const u16 word = static_cast<u16>(drawn[off] << 8 | drawn[off + 1]);
                        writes[i].push_back({off, static_cast<u16>(~mask), static_cast<u16>(word & mask)});
                    }
                }
        }
        for (int i = 0; i < units; ++i) {
            const u32 rec = script_records + 32 * static_cast<u32>(i);
            wr16(rec, x[i]), wr16(rec + 2, y[i]), wr16(rec + 4, 1), wr16(rec + 8, 2);
        }
        g_cpu.a[7] = script_stack;
        wr32(script_stack, 0x5BA0);
    }
    ~capture_setup() {
        sprite_unref(pic);
        scene_init(nullptr);
        hooks_clear();
    }
    // The routine draws unit i.
    void draw(int i) {
        u8* screen = ram + script_screen;
        for (const word_write& w : writes[i]) {
            const u16 v = static_cast<u16>(((screen[w.offset] << 8 | screen[w.offset + 1]) & w.keep) | w.bits);
            screen[w.offset] = static_cast<u8>(v >> 8);
            screen[w.offset + 1] = static_cast<u8>(v);
        }
    }
    void frame(u32 vbl) {
        std::memcpy(ram + script_screen, background.data(), 32000);
        tos.vbl = vbl;
        host_hook(0x8EEA);
        host_hook(0x893C);
        for (int i = 0; i < units; ++i) {
            g_cpu.a[6] = script_records + 32 * static_cast<u32>(i);
            host_hook(0x5BA8);
            draw(i);
            host_hook(0x5BA0);
        }
        host_hook(0x8EE2);
    }
};

void BM_capture_frame_60_units(benchmark::State& state) {
    capture_setup setup;
    u32 vbl = 100;
    setup.frame(vbl);  // the atlas learns the picture
    for (auto _ : state) setup.frame(vbl += 2);
}
BENCHMARK(BM_capture_frame_60_units)->Unit(benchmark::kMicrosecond);

// What watching the whole screen per unit would cost: save all 32,000 bytes
// at entry, compare and convert all of it at exit.
void BM_capture_whole_screen_per_unit(benchmark::State& state) {
    capture_setup setup;
    std::vector<u8> saved(32000), before(64000), after(64000);
    for (auto _ : state) {
        std::memcpy(ram + script_screen, setup.background.data(), 32000);
        for (int i = 0; i < units; ++i) {
            std::memcpy(saved.data(), ram + script_screen, 32000);
            setup.draw(i);
            if (std::memcmp(saved.data(), ram + script_screen, 32000) != 0) {
                planes_to_idx(saved.data(), 200, 20, before.data());
                planes_to_idx(ram + script_screen, 200, 20, after.data());
                sprite* d = from_diff(before.data(), after.data(), 200, 320, 0, setup.x[i], setup.y[i], 0);
                sprite_unref(d);
            }
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_capture_whole_screen_per_unit)->Unit(benchmark::kMicrosecond);

void BM_present_filters_128_enemies(benchmark::State& state) {
    msgq_clear();
    present_state* st = present_new(2);
    std::vector<scene_frame*> frames;
    for (int k = 0; k < 8; ++k) {
        scene_frame* f = test_frame(100 + 2 * static_cast<u32>(k), BG_VERTICAL, 40 - k);
        for (int i = 0; i < 128; ++i)
            add_unit(f, 0, 0x30000 + 32 * static_cast<u32>(i), 100 + (i % 16) * 10 + k * 2, 100 + (i / 16) * 20 + k, nullptr);
        frames.push_back(f);
    }
    size_t next = 0;
    for (auto _ : state) {
        present_msg* m = msg_new(MSG_FRAME);
        m->frame = frame_ref(frames[next++ % frames.size()]);
        msgq_push(m);
        present_drain(st);
    }
    present_free(st);
    for (scene_frame* f : frames) frame_unref(f);
}
BENCHMARK(BM_present_filters_128_enemies)->Unit(benchmark::kMicrosecond);

struct busy_pair {
    scene_frame* a;
    scene_frame* b;
    busy_pair() {
        a = make(100, 40, 0);
        b = make(102, 39, 1);
    }
    ~busy_pair() {
        frame_unref(a);
        frame_unref(b);
    }
    static scene_frame* make(u32 vbl, int ring_row, int step) {
        scene_frame* f = test_frame(vbl, BG_VERTICAL, ring_row, 3);
        for (int i = 0; i < 64000; ++i) f->screen[i] = static_cast<u8>(i * 7 % 16);
        f->ring = static_cast<u8*>(std::malloc(256 * 192));
        for (int i = 0; i < 256 * 192; ++i) f->ring[i] = static_cast<u8>(1 + i / 192 % 7);
        f->zone_count = 2;
        f->zones[1] = f->zones[0];
        f->zones[1].line = 120;
        palette_set(f->zones[1].palette, 1, 0x0123);
        f->residual_mask = static_cast<u8*>(std::calloc(64000, 1));
        f->residual_screen = static_cast<u8*>(std::malloc(64000));
        std::memcpy(f->residual_screen, f->screen, 64000);
        for (int i = 0; i < 300; ++i) f->residual_mask[(20 + i / 20) * 320 + 100 + i % 20] = 1;
        f->residual_count = 300;
        for (int i = 0; i < units; ++i) {
            sprite* s = solid_sprite(16, 16, 4 + i % 10);
            add_unit(f, i % 3 == 0 ? 0 : 4, 0x30000 + 32 * static_cast<u32>(i), 70 + (i % 10) * 18 + 3 * step,
                     5 + (i / 10) * 30 + step, s);
        }
        return f;
    }
};

void render_busy(benchmark::State& state, bool cold) {
    const int s = static_cast<int>(state.range(0));
    busy_pair pair;
    std::vector<u8> out(static_cast<size_t>(s) * s * 192000);
    unit_track tracker[256] = {};
    render_params p{s, 1, 1, 1, tracker, 0.8f, 0};
    for (auto _ : state) {
        if (cold) {
            render_free_cache(pair.a);
            render_free_cache(pair.b);
        }
        render(pair.a, pair.b, &p, out.data(), 0.37);
        benchmark::DoNotOptimize(out.data());
    }
}
void BM_render_busy_warm(benchmark::State& state) { render_busy(state, false); }
void BM_render_busy_cold(benchmark::State& state) { render_busy(state, true); }
BENCHMARK(BM_render_busy_warm)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_render_busy_cold)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

void BM_render_static(benchmark::State& state) {
    const int s = static_cast<int>(state.range(0));
    busy_pair pair;
    std::vector<u8> out(static_cast<size_t>(s) * s * 192000);
    for (auto _ : state) {
        render_static(pair.a->screen, pair.a->zones, pair.a->zone_count, s, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_render_static)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace
