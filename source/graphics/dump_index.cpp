// The graphics dump's text side: index.json (the contract with the graphics
// packs and the mod pack, "format" 2), README.txt for users, and the file
// helpers every writer of the dump uses.
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "graphics/dump_work.h"
#include "graphics/png_codec.h"
#include "host/platform.h"


void pal_cols(const u8* words, int count, u8* rgb) {
    for (int i = 0; i < count; ++i) {
        const unsigned w = static_cast<unsigned>(words[2 * i]) << 8 | words[2 * i + 1];
        for (int c = 0; c < 3; ++c) {
            const unsigned n = (w >> (8 - 4 * c)) & 15;
            const unsigned v = ((n & 7) << 1) | (n >> 3);
            rgb[i * 3 + c] = static_cast<u8>(v * 17);
        }
    }
}

void sb_add(std::string& sb, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    if (n > 0) {
        const size_t at = sb.size();
        if (sb.capacity() < at + n + 1) sb.reserve(2 * (at + n + 1));
        sb.resize(at + n + 1);
        std::vsnprintf(sb.data() + at, n + 1, fmt, again);
        sb.resize(at + n);
    }
    va_end(again);
}

void sb_str(std::string& sb, const char* text) {
    sb += '"';
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 32) {
            sb += ' ';
            continue;
        }
        if (c == '"' || c == '\\') sb += '\\';
        sb += static_cast<char>(c);
    }
    sb += '"';
}

void sb_int_list(std::string& sb, const std::vector<int>& values) {
    sb += '[';
    for (size_t i = 0; i < values.size(); ++i) sb_add(sb, "%s%d", i ? "," : "", values[i]);
    sb += ']';
}

void sheet_member(dump_work& w, const char* name) {
    if (!w.sheets.empty()) w.sheets += ',';
    sb_str(w.sheets, name);
}

void sb_cells(std::string& sb, const std::vector<sheet_cell>& cells) {
    sb += '[';
    for (size_t n = 0; n < cells.size(); ++n) {
        const sheet_cell& c = cells[n];
        sb_add(sb, "%s{\"i\":%d", n ? "," : "", c.i);
        if (c.content) {
            sb_add(sb, ",\"hash\":\"%s\",\"frame\":[%d,%d],\"crop\":[%d,%d,%d,%d]", c.hash, c.frame[0], c.frame[1],
                          c.crop[0], c.crop[1], c.crop[2], c.crop[3]);
            if (c.key[0]) {
                sb += ",\"key\":";
                sb_str(sb, c.key);
            }
            if (c.mem[0]) {
                sb += ",\"mem\":";
                sb_str(sb, c.mem);
            }
            if (c.unit) sb_add(sb, ",\"unit\":\"%s\"", c.unit);
        }
        sb += '}';
    }
    sb += ']';
}

void dump_make_parents(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '/' || path[i] == '\\') port_mkdir(path.substr(0, i).c_str());
}

namespace {

std::string under_root(const dump_work& w, const std::string& rel) {
    const std::string path = w.out_root + "/" + rel;
    dump_make_parents(path);
    return path;
}

} // namespace

int save_rgba(const dump_work& w, const std::string& rel, const u8* pixels, int width, int height) {
    return png_write(under_root(w, rel).c_str(), pixels, width, height, 4);
}

int save_indexed(const dump_work& w, const std::string& rel, const u8* indices, int width, int height) {
    return png_write_indexed(under_root(w, rel).c_str(), indices, width, height, GREY.data());
}

void dump_level_picture(dump_work& w, int mission, int section, const u8* rgb, int height) {
    constexpr int width = 192;
    char name[64];
    std::snprintf(name, sizeof name, "levels/mission%02d_section%d", mission + 1, section + 1);
    std::vector<u8> rgba(size_t(width) * height * 4);
    for (size_t p = 0; p < size_t(width) * height; ++p) {
        for (int c = 0; c < 3; ++c) rgba[p * 4 + c] = rgb[p * 3 + c];
        rgba[p * 4 + 3] = 255;
    }
    // The index names only pictures that exist.
    if (!save_rgba(w, std::string(name) + ".png", rgba.data(), width, height)) return;
    if (!w.reflevels.empty()) w.reflevels += ',';
    sb_str(w.reflevels, name);
}

int dump_write_index(const dump_work& w) {
    std::string text;
    sb_add(text,
                  "{\"format\":2,\"margin\":%d,\"sheets\":{%s},\"reference_levels\":[%s],\"reference\":{"
                  "\"reference/font_8x8\":{\"cell\":[8,8],\"cols\":16,\"first_char\":32,\"memory\":{\"table\":\"$8700\","
                  "\"stride\":\"8\",\"format\":\"8 bytes per character, 1 bit per pixel, ASCII from $20\"},\"note\":"
                  "\"reference only: the game draws text straight into the screen planes; it is not replaced\"}}}\n",
                  dump_margin, w.sheets.c_str(), w.reflevels.c_str());
    return write_file(under_root(w, "index.json").c_str(), text.data(), text.size());
}

int dump_write_readme(const dump_work& w) {
    static const char text[] =
            "BRAKMOOR - GRAPHICS DUMP (assets/original)\n"
            "==========================================\n"
            "\n"
            "These pictures were taken from your own copy of the game while the\n"
            "program played it. They are the starting point of graphics packs.\n"
            "\n"
            "LAYOUT\n"
            "------\n"
            "sprites/     one sheet per sprite table, one cell per frame: player (92\n"
            "             frames, two soldiers), enemy (39), shots and shots_b (29 each:\n"
            "             the same drawings in the high and the low colour bank, the\n"
            "             two variants the game draws), turrets (6), fx (12), boom (11),\n"
            "             vehicle_a to vehicle_d (2 each: intact and destroyed) and\n"
            "             bullets. A table that differs between missions gets one sheet\n"
            "             per group of missions (name_1, name_2, ...).\n"
            "tiles/       ground_<n> (64 x 32 ground blocks) and objects_<n> (210 object\n"
            "             tiles of 16 x 16), one pair per set of missions sharing tiles.\n"
            "screens/     the fixed screens as layers: the intro jungle, the intro\n"
            "             soldier and the title logo (each only the part that differs\n"
            "             from the screen below it), the world map, the weapon shop\n"
            "             (its text box and cursor areas transparent) and the two side\n"
            "             panels of a mission (their changing counters transparent).\n"
            "             Each <layer>.idx.png holds the game's palette index (0-15) of\n"
            "             every pixel as a shade of grey.\n"
            "levels/      every vertical section of every mission as one picture, and\n"
            "reference/   the 8 x 8 font: for reference only, they are not replaced.\n"
            "index.json   what every sheet holds: cell size, the missions that use it,\n"
            "             the palette it was drawn with, where the game keeps it, and\n"
            "             the content hash of every cell.\n"
            "\n"
            "HOW TO REPLACE GRAPHICS\n"
            "-----------------------\n"
            "1. Make a folder for your pack beside this one (assets/mypack).\n"
            "2. Copy into it only the sheets you want to change, keeping their paths\n"
            "   (assets/mypack/sprites/player.png).\n"
            "3. Edit them in any number of colours, with soft alpha if you like. Keep\n"
            "   the size or make it an integer multiple (twice, three times... up to\n"
            "   8 times) for more detail. Do not move the cells. Sprite cells have a\n"
            "   4 pixel margin that may be painted.\n"
            "4. Save them as PNG with 8 bits per channel (RGBA, RGB, grey, or a\n"
            "   palette of 8 bits), not interlaced. An editor may save a picture of\n"
            "   few colours with a palette of 1 bit: choose 8 bits when you save.\n"
            "   A sheet the program cannot read is left out, and error.log says why\n"
            "   and what to do:\n"
            "     16-bit PNG: save it with 8 bits per channel\n"
            "     palette of 1/2/4 bits: save it with 8 bits\n"
            "     grey of 1/2/4 bits: save it with 8 bits\n"
            "     interlaced: save it without interlacing\n"
            "5. Start the program: the pack is used automatically, or choose it in the\n"
            "   options menu; F9 reloads it while you play. Cells you left unchanged\n"
            "   use the game's own graphics. A pack's pictures may hold 512 MB in all\n"
            "   (a whole pack at 4 times the size holds a few hundred): a sheet that\n"
            "   would take them past that is skipped and named in error.log, and the\n"
            "   rest of the pack is still used.\n"
            "\n"
            "HOW IT WORKS\n"
            "------------\n"
            "Pictures are recognised by their content when the game draws them and\n"
            "your picture is drawn in their place, with the same animation and the\n"
            "same smooth movement. Screens are layers: a pixel of your layer replaces\n"
            "the game's pixel wherever the game still shows the layer's own index\n"
            "there. When the game fades its palette, your pictures are dimmed too.\n"
            "\n"
            "LIMITS\n"
            "------\n"
            "Text, score digits, the side panels' icons and the lives stay the game's.\n"
            "A few pictures are drawn by routines the program does not follow and\n"
            "stay as the game draws them. Sheets use the palette of the first mission\n"
            "that uses them.\n";
    const std::string path = under_root(w, "README.txt");
    return write_file(path.c_str(), text, sizeof text - 1);
}
