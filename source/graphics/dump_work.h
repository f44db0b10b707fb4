// What the graphics dump gathers while it plays the game, and the writers
// that turn it into the dump folder: sheets of sprites and tiles, the fixed
// screens as layers, reference pictures, README.txt and index.json. The
// driver (dump_driver.cpp) fills a dump_work; the writers read it.
#pragma once

#include "graphics/grey_palette.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/tos.h"

constexpr int dump_missions = 12;
constexpr int dump_margin = 4;  // around every sprite cell
constexpr size_t dump_screen_pixels = 320 * 200;

// Snapshot tags of the menus the dump walks through.
enum dump_tag : int { TAG_INTRO = 0, TAG_TITLE = 1, TAG_PLAYERS = 2, TAG_MAP = 3, TAG_SHOP = 4 };

// One captured screen: palette indices and the frame's palette zones.
struct dump_snap {
    int tag = 0;
    u32 vbl = 0;
    std::vector<u8> idx;  // 320 x 200
    palette_zone zones[max_palette_zones] = {};
    int zone_count = 0;
};

struct dump_work {
    std::string out_root;
    // Memory image (4 MB) of each mission once it has started; empty when
    // the mission was never reached.
    std::array<std::vector<u8>, dump_missions> mission_ram;
    std::array<std::array<u8, 48>, dump_missions> mission_palettes{};
    std::array<int, dump_missions> used_gmax{};
    std::vector<dump_snap> snaps;   // the menus, tagged
    std::vector<dump_snap> ingame;  // frames of the second mission's play
    std::string sheets;     // members of index.json's "sheets", comma-separated
    std::string reflevels;  // members of "reference_levels"
};

// The dump's progress line: logged as "graphics dump: %s" and handed to the
// progress callback of the running dump.
void dump_say(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// ST/STE colour word to 8-bit RGB.
void pal_cols(const u8* words, int count, u8* rgb);

// ---- driver (dump_driver.cpp) ----
// The mission's palette: the 16 colour words of the zone in effect at line
// 100 (the latest starting at or above it, else the first zone).
void dump_mission_palette(const palette_zone* zones, int count, u8* words);
// Player 1's joystick at step k of the scripted play: forward, swaying left
// and right, fire held 10 VBLs and released 10; -1 on odd steps (unchanged).
int dump_play_joystick(int k);
// The level pictures of mission n from the memory image as it is: each of
// the four vertical sections with a map becomes levels/missionNN_sectionK
// in those colours, and the highest ground block a map uses widens the
// mission's ground sheet (used_gmax).
void dump_mission_levels(dump_work& w, int mission, const u8* colour_words);

// ---- index text (dump_index.cpp) ----
void sb_add(std::string& sb, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// A JSON string: control characters become spaces, quote and backslash are
// escaped.
void sb_str(std::string& sb, const char* text);
void sb_int_list(std::string& sb, const std::vector<int>& values);
// Opens a member of "sheets": the separator and the name.
void sheet_member(dump_work& w, const char* name);

// One frame placed on a sheet.
struct sheet_cell {
    int i = 0;
    int content = 0;
    char hash[16] = {};
    int frame[2] = {};
    int crop[4] = {};
    char key[40] = {};
    char mem[80] = {};
    const char* unit = nullptr;  // bullets only
};
void sb_cells(std::string& sb, const std::vector<sheet_cell>& cells);

// Files under the output folder; parent folders are made as needed.
void dump_make_parents(const std::string& path);
int save_rgba(const dump_work& w, const std::string& rel, const u8* pixels, int width, int height);
int save_indexed(const dump_work& w, const std::string& rel, const u8* indices, int width, int height);
int dump_write_readme(const dump_work& w);
int dump_write_index(const dump_work& w);
// A level section's picture (192 pixels wide, RGB) as levels/<name>.png and
// a member of "reference_levels"; a picture that cannot be written is left
// out of the index.
void dump_level_picture(dump_work& w, int mission, int section, const u8* rgb, int height);

// ---- sheets (dump_sheets.cpp) ----
// An indexed frame: width x height indices and mask bytes.
struct dump_frame {
    int width = 0, height = 0;
    std::vector<u8> idx, mask;
};
void make_sheet(const std::vector<dump_frame>& frames, int cols, int cell_w, int cell_h, int margin,
                                const u8* palette_rgb, bool sprite_hash, std::vector<sheet_cell>& cells, std::vector<u8>& rgba,
                                int& width, int& height);
// Missions in groups of equal 64-bit FNV-1a values, in order of first
// appearance.
std::vector<std::vector<int>> make_groups(const std::array<uint64_t, dump_missions>& values);
uint64_t fnv1a64(uint64_t h, const u8* bytes, size_t n);
constexpr uint64_t fnv_start = 0x14650FB0739D0383ull;

void dump_sprites(dump_work& w);
void dump_bullets(dump_work& w);
void dump_tiles(dump_work& w);
void dump_font(dump_work& w, const u8* memory);

// ---- screen layers (dump_screens.cpp) ----
// Masks of 320 x 200 bytes (1 set).
using mask_t = std::vector<u8>;
// Sets the 4 (mode 0) or 8 (mode 1) neighbours of every set pixel.
mask_t dilate(const mask_t& m, int mode);
// Keeps a pixel when it and its 4 neighbours are set; outside counts as set.
mask_t erode(const mask_t& m);
// Closes the mask, fills its enclosed holes of up to 30 pixels and takes in
// the dark pixels (no component above 51) around it.
void refine_mask(mask_t& m, const std::vector<u8>& rgba);
// The zone in effect for a screen line: the last one starting at or above
// it, else the first.
const palette_zone& zone_for_line(const palette_zone* zones, int count, int line);
// Colours `width` columns from x0 of a 320 x 200 index picture, each line
// with its zone; alpha 255.
void to_rgb(const u8* idx, int width, int x0, const palette_zone* zones, int zone_count, std::vector<u8>& rgba);
void dump_screens(dump_work& w);
void layer(dump_work& w, const char* name, const u8* rgba, const u8* indices, int width, int x, int order,
                      bool ingame, const palette_zone* zones, int zone_count, const char* description);

// Step 8 of the dump: every writer in order, index.json last. 1 when
// index.json was written.
int dump_write_all(dump_work& w);
