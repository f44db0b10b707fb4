// Fuzz target: a graphics pack loaded through any dump index, then its
// lookups and layers drawn over a screen. The scratch folder holds a dump
// and a pack "p" whose files the seed indexes name: sprites/a (8 x 8,
// drawn at twice the size), screens/s (320 x 200 with its indices). The
// pack's pictures are held to a budget of 32 MB, which an index naming the
// same files under many names soon reaches.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_scratch.h"
#include "graphics/gfxpack.h"
#include "graphics/pack_state.h"
#include "graphics/png_codec.h"
#include "graphics/sprite.h"
#include "host/platform.h"

namespace {

void picture(const std::string& path, int w, int h, uint8_t red, uint8_t alpha) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = static_cast<uint8_t>(red + i / 4 % 7);
        px[i + 3] = (i / 4) % 5 ? alpha : 0;
    }
    png_write(path.c_str(), px.data(), w, h, 4);
}

const std::string& assets() {
    static const std::string& root = *new std::string([] {
        const std::string a = fuzz_scratch_dir() + "/assets";
        for (const char* d : {"", "/original", "/original/sprites", "/original/screens", "/p", "/p/sprites",
                              "/p/screens"})
            port_mkdir((a + d).c_str());
        picture(a + "/original/sprites/a.png", 8, 8, 10, 255);
        picture(a + "/p/sprites/a.png", 16, 16, 90, 200);
        picture(a + "/original/screens/s.png", 320, 200, 10, 255);
        picture(a + "/p/screens/s.png", 320, 200, 90, 255);
        std::vector<uint8_t> indices(320 * 200);
        for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 3);
        uint8_t grey[768] = {};
        png_write_indexed((a + "/original/screens/s.idx.png").c_str(), indices.data(), 320, 200, grey);
        return a;
    }());
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& root = assets();
    pack.budget = size_t{32} << 20;
    write_file((root + "/original/index.json").c_str(), data, size);
    gfxpack_init(root.c_str(), 2, "p");
    std::vector<uint8_t> screen(320 * 200), rgb(320 * 200 * 3 * 4);
    for (size_t i = 0; i < screen.size(); ++i) screen[i] = static_cast<uint8_t>(i % 3 == 0 ? 0 : i % 3);
    palette_zone zones[2] = {};
    zones[1].line = 100;
    zones[1].palette[1] = 0x77;
    present_static_hook(screen.data(), zones, 2, 2, rgb.data());
    cb_hud(rgb.data(), screen.data(), zones, 2, 1);
    sprite* spr = sprite_new(2, 2);
    pack_picture out{};
    cb_sprite(spr, 3, &out, 0);
    sprite_unref(spr);
    uint8_t strip[strip_size][strip_size] = {};
    const uint8_t* texture = nullptr;
    cb_texture(strip, 2, &texture);
    std::vector<uint8_t> tile(64 * 32, 0);
    gfxpack_ground_rgba(tile.data(), 1);
    gfxpack_object_rgba(tile.data(), 2);
    return 0;
}
