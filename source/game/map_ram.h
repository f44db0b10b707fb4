// The world map's RAM and its tables in the game image. The host's
// autopilot and graphics dump read map_cursor and the box table too, so
// their addresses and layouts are fixed.
#pragma once
#include "machine/types.h"

constexpr u32 map_cursor_x = 0x0001EC;       // word, 7..312
constexpr u32 map_cursor_y = 0x0001EE;       // word, 59..195
constexpr u32 pointer_erase_addr = 0x0001F6; // long: where the pointer was drawn
constexpr u32 map_selection = 0x000214;      // word: mission shown in the panel, $FFFF none
constexpr u32 map_panel_blank = 0x001DC2;    // word: $FFFF while the idle text shows
constexpr u32 mission_markers = 0x001CF8;    // 12 records of 16 bytes

namespace marker {
constexpr u32 size = 16;
constexpr u32 x = 0, y = 2, frame = 4, active = 6, drawn_at = 8, countdown = 12, hidden = 14;
constexpr u32 vbls_per_frame = 6, frames = 6, hidden_passes = 40;
} // namespace marker

constexpr u32 pointer_shape = 0x00BF1E;    // 9 words, bit 15 = left pixel
constexpr u32 pointer_shifted = 0x00BF30;  // 9 words
constexpr u32 marker_shifted = 0x00BF42;   // 9 words
constexpr u32 mission_box_table = 0x00BF98; // {x0, x1, y0, y1, mission}, ended by a negative word
constexpr u32 map_messages = 0x00C012;     // 12 word offsets from map_message_texts
constexpr u32 map_message_texts = 0x00C02A;
constexpr u32 map_palette = 0x00C70E;
constexpr u32 marker_frames = 0x00C74E;    // 6 frames of 9 words
constexpr u32 marker_positions = 0x00C7BA; // 12 x (x, y)
constexpr u32 mission_pay_table = 0x00C7EA; // 12 longs
constexpr u32 map_idle_text = 0x00C9D0;
constexpr u32 map_pictures = 0x05649A;     // 12 x 512 bytes, unpacked with the map data
