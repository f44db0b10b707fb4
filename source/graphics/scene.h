// The scene capture: each frame a mission's frame loop draws becomes a
// scene_frame of its background, the objects drawn (units with a position
// and an indexed picture), its palette zones, the finished screen and a mask
// of what those parts do not explain. It runs on the emulation thread inside
// the hook handler scene_hook; frames and sprites reach the main thread
// (presenter and renderer) only through their atomic reference counts.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "graphics/sprite.h"
#include "machine/tos.h"

constexpr int unit_kind_count = 12;
constexpr int max_frame_units = 128;
constexpr int max_open_units = 16;
constexpr int atlas_size = 4096;
constexpr int scene_width = 320, scene_height = 200;
constexpr int scene_pixels = scene_width * scene_height;
constexpr int ring_rows = 256, ring_width = 192;
constexpr int strip_size = 32;
// The playfield between the side panels.
constexpr int playfield_left = 64, playfield_right = 256;

enum background_kind : int32_t { BG_VERTICAL = 0, BG_HORIZONTAL = 1 };

struct scene_unit {
    int32_t kind;
    uint64_t key;
    uint32_t object;  // 68k address of the object record
    int32_t x, y;
    int32_t sub;      // sub-position (turrets, explosions)
    int32_t order;    // the frame's unit count when it was added
    int32_t unchecked;  // the atlas picture was taken without comparing
    sprite* spr;
    // Filled by the presenter on arrival; zero from the capture.
    float raw_x, raw_y;
    float filt_x, filt_y;
    float raw2_x, raw2_y;
    float pred_x, pred_y;
    float draw_x, draw_y;
    uint32_t id;
    uint32_t frame_byte;
};

struct render_cache;

struct scene_frame {
    uint32_t vbl;
    uint32_t screen_base;
    int32_t ring_row;   // -1 without a background
    int32_t bg_kind;
    int32_t hscroll;    // unwrapped horizontal fine scroll
    uint32_t scroll_word;
    uint32_t section;
    int32_t level_id;
    uint8_t* ring;      // 256 x 192 indices, or null
    uint8_t strip[strip_size][strip_size];
    uint8_t* screen;    // 320 x 200 indices
    palette_zone zones[max_palette_zones];
    int32_t zone_count;
    scene_unit units[max_frame_units];
    int32_t unit_count;
    uint8_t* residual_mask;    // 1 = unexplained pixel; null when none
    uint8_t* residual_screen;
    int32_t residual_count;
    int32_t segment_start;
    int32_t bg_captured;
    std::atomic<int32_t> refs;
    float cam_x, cam_y;  // the presenter's camera values
    render_cache* cache;  // the renderer's, freed with the frame
};

// The emulation controller's callbacks; each may be null.
struct scene_ops {
    void (*frame_done)(scene_frame* frame);
    void (*sprite_put)(uint64_t key, sprite* spr);
    void (*sprite_dropped)(uint64_t key);
    void (*new_segment)();
};

struct atlas_slot {
    uint64_t key;
    sprite* spr;
    uint8_t used;
    uint8_t unstable;  // the key's pictures are always cut from the screen
    uint8_t stale;     // set at a new segment for every slot with a sprite
    uint8_t box_valid;
    int32_t box_x, box_y, box_w, box_h;  // last difference image cut for the key
};

struct scene_atlas {
    atlas_slot slots[atlas_size];
    int32_t count;
};

struct open_unit {
    int32_t in_use;
    int32_t kind;
    uint32_t object;
    uint32_t return_address;
    uint16_t words[16];
    int32_t x, y, sub;
    uint64_t key;
    int32_t no_atlas_sprite;
    int32_t unchecked;
    int32_t unstable;
    int32_t first_row, end_row;
    std::vector<uint8_t> saved;  // the band's 160-byte ST lines
};

struct unit_def {
    int32_t kind;
    const char* name;
    int32_t at_return;  // finished at the return address of its call
    uint32_t entry, exit;
    int32_t reg;        // 0 a0, 4 a4, 6 a6, 16 a6 + d6.w
};
extern const unit_def UNIT_DEFS[unit_kind_count];
const char* unit_name(int kind);

uint64_t unit_key(int kind, uint32_t id, uint32_t frame_byte);

extern scene_atlas* g_atlas;
extern scene_frame* cur_frame;

void scene_init(const scene_ops* ops);
void scene_install_hooks();
void scene_hook(uint32_t address);
void scene_close();
void scene_new_segment();
void scene_clear_frames();
void scene_dump_atlas();

scene_frame* frame_new();
scene_frame* frame_ref(scene_frame* frame);
void frame_unref(scene_frame* frame);

sprite* atlas_get(scene_atlas* atlas, uint64_t key);
void atlas_put(scene_atlas* atlas, uint64_t key, sprite* spr);
void atlas_drop(scene_atlas* atlas, uint64_t key);
atlas_slot* afind(scene_atlas* atlas, uint64_t key, int create);

void push_unit(const open_unit* open, sprite* spr, int unchecked);
sprite* from_diff(const uint8_t* before, const uint8_t* after, int rows, int width, int first_row, int x, int y,
                  int left);

// Floor modulo for scroll and ring positions, which may be negative.
constexpr int floor_mod(int value, int period) {
    const int r = value % period;
    return r < 0 ? r + period : r;
}
