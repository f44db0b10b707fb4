#include "support/graphics/scene_script.h"

#include <cstring>

#include "graphics/scene.h"
#include "machine/hooks.h"
#include "machine/memory.h"

namespace {

struct kind_layout {
    u32 base, base_alt, stride;
    int first_id, lines, width, planes;
    bool player_layout;
};
// Where the game keeps each kind's pictures (dots: none).
const kind_layout layouts[12] = {
    {0x5E60A, 0, 0x84, 0, 22, 16, 3, false},  {0x2F91C, 0, 0x190, 0, 25, 32, 4, true},
    {0, 0, 0, 0, 0, 0, 0, false},             {0, 0, 0, 0, 0, 0, 0, false},
    {0x4694A, 0, 0x36, 0, 9, 16, 3, false},   {0x4694A, 0, 0x36, 0, 9, 16, 3, false},
    {0x49A3A, 0, 0x80, 0, 16, 16, 4, false},  {0x3EA7C, 0, 0x300, 0, 48, 32, 4, false},
    {0x406FC, 0, 0x5E8, 0, 63, 48, 4, false}, {0x3D3FC, 0x3F07C, 0xB40, 0, 90, 64, 4, false},
    {0x45736, 0, 0x200, 240, 32, 32, 4, true}, {0x388DC, 0, 0x108, 0, 22, 32, 3, false},
};

struct kind_call {
    u32 entry, exit;
    int reg;  // 0 a0, 4 a4, 6 a6, 16 a6 + d6
};
const kind_call calls[12] = {
    {0x5BA8, 0x5BA0, 6}, {0x597A, 0x595A, 4}, {0x6848, 0x68B4, 0}, {0x68DC, 0x6946, 0},
    {0x5E3A, 0x5F10, 6}, {0x5F22, 0x5FF4, 6}, {0xB6F2, 0xB6F8, 6}, {0x61FA, 0x60CC, 6},
    {0x62C0, 0x60DA, 6}, {0x60F0, 0x60DE, 6}, {0x6E54, 0x6F18, 16}, {0x6D1A, 0x6D5A, 4},
};
constexpr bool finished_on_return(int kind) { return kind == 0 || kind == 1 || (kind >= 7 && kind <= 9); }

} // namespace

u8* script_screen_bytes() { return ram + script_screen; }

u32 script_return_point(int kind) { return finished_on_return(kind) ? calls[kind].exit : 0; }

void script_begin() {
    hooks_clear();
    scene_install_hooks();
    wr32(0x28E, script_screen);
    std::memset(ram + script_screen, 0, 32000);
}

void script_frame_start(u32 vbl, bool vertical) {
    tos.vbl = vbl;
    g_cpu.pc = vertical ? 0x8EEA : 0x4752;
    host_hook(vertical ? 0x8EEA : 0x4752);
}

void script_frame_end(bool vertical) { host_hook(vertical ? 0x8EE2 : 0x474A); }

void script_vertical_background(int ring_row, const idx_picture* ring, u16 section) {
    ram[0x280] = 0;
    ram[0x281] = static_cast<u8>(ring_row);
    wr16(0x21A, section);
    if (ring) st_put_groups(ram + 0x28000, *ring, 4, 96);
    host_hook(0x893C);
}

void script_horizontal_background(int hscroll, const idx_picture* band) {
    wr16(0x24A, static_cast<u32>(hscroll) & 0x1E);
    if (band) st_put_groups(ram + 0x28000, *band, 4, 32);
    host_hook(0x488C);
}

void script_unit(int kind, u32 record, const std::vector<u16>& words, const std::function<void(u8*)>& draw) {
    u32 at = record;
    for (u16 w : words) wr16(at, w), at += 2;
    const kind_call& c = calls[kind];
    if (c.reg == 16) {
        // The turret table's base in a6, the record's offset in d6.
        g_cpu.a[6] = record - 0x100;
        g_cpu.d[6] = 0xABCD0100;  // the upper word is not part of the offset
    } else {
        g_cpu.a[c.reg] = record;
    }
    g_cpu.a[7] = script_stack;
    wr32(script_stack, finished_on_return(kind) ? c.exit : 0x123456);
    host_hook(c.entry);
    draw(script_screen_bytes());
    host_hook(c.exit);
}

void script_table_block(int kind, int id, int frame_byte, int x0, int y0, int w, int h, int index) {
    const kind_layout& l = layouts[kind];
    if (l.lines == 0) return;
    const u32 base = l.base_alt && frame_byte >= 1 ? l.base_alt : l.base;
    u8* to = ram + base + static_cast<u32>(id - l.first_id) * l.stride;
    idx_picture pic(l.width, l.lines);
    pic.fill_rect(x0, y0, w, h, static_cast<u8>(index));
    if (l.player_layout)
        st_put_player(to, pic);
    else
        st_put_groups(to, pic, l.planes, l.width / 16 * l.planes * 2);
}
