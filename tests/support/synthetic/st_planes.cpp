#include "support/synthetic/st_planes.h"

void st_put_groups(u8* to, const idx_picture& pic, int planes, int line_bytes) {
    const int groups = pic.width / 16;
    for (int y = 0; y < pic.height; ++y)
        for (int g = 0; g < groups; ++g) {
            u8* words = to + y * line_bytes + g * planes * 2;
            for (int p = 0; p < planes; ++p) {
                unsigned w = 0;
                for (int k = 0; k < 16; ++k) w |= static_cast<unsigned>(pic.at(16 * g + k, y) >> p & 1) << (15 - k);
                words[2 * p] = static_cast<u8>(w >> 8);
                words[2 * p + 1] = static_cast<u8>(w);
            }
        }
}

void st_put_player(u8* to, const idx_picture& pic) {
    for (int y = 0; y < pic.height; ++y)
        for (int p = 0; p < 4; ++p)
            for (int half = 0; half < 2; ++half) {
                unsigned w = 0;
                for (int k = 0; k < 16; ++k) w |= static_cast<unsigned>(pic.at(16 * half + k, y) >> p & 1) << (15 - k);
                u8* word = to + y * 16 + p * 4 + half * 2;
                word[0] = static_cast<u8>(w >> 8);
                word[1] = static_cast<u8>(w);
            }
}

void st_set_pixel(u8* screen, int x, int y, int index) {
    u8* group = screen + y * 160 + (x / 16) * 8;
    const int bit = 15 - x % 16;
    for (int p = 0; p < 4; ++p) {
        unsigned w = static_cast<unsigned>(group[2 * p]) << 8 | group[2 * p + 1];
        w = (w & ~(1u << bit)) | static_cast<unsigned>(index >> p & 1) << bit;
        group[2 * p] = static_cast<u8>(w >> 8);
        group[2 * p + 1] = static_cast<u8>(w);
    }
}

int st_get_pixel(const u8* screen, int x, int y) {
    const u8* group = screen + y * 160 + (x / 16) * 8;
    int index = 0;
    for (int p = 0; p < 4; ++p)
        index |= ((static_cast<unsigned>(group[2 * p]) << 8 | group[2 * p + 1]) >> (15 - x % 16) & 1) << p;
    return index;
}

void st_draw(u8* screen, const idx_picture& pic, int x, int y, int transparent) {
    for (int j = 0; j < pic.height; ++j)
        for (int i = 0; i < pic.width; ++i) {
            const int sx = x + i, sy = y + j;
            if (sx < 0 || sx >= 320 || sy < 0 || sy >= 200) continue;
            if (pic.at(i, j) == transparent) continue;
            st_set_pixel(screen, sx, sy, pic.at(i, j));
        }
}
