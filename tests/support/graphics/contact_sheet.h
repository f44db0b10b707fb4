// Pictures of ST screens for a reviewer's eye: the tests that hold a
// screen worth looking at (the world map with its pointer, the shop, mission
// frames) write it into the build folder, never into the source tree.
//
//   write_contact_sheet("world_map", ram + screen_buffer_b, palette_bytes);
//   ... build/tests/contact_sheets/world_map.png, three times the size
#pragma once
#include <array>
#include <string>

#include "machine/types.h"

// A 320 x 200 four-plane screen (32,000 bytes) in the colours of its 16
// colour registers (32 big-endian bytes), each pixel drawn scale x scale,
// as a PNG; false when it cannot be written.
bool write_screen_png(const std::string& path, const u8* screen, const u8* palette, int scale = 1);
// The same, three times the size, as `name`.png in the contact sheet
// folder of the build (made when missing).
bool write_contact_sheet(const std::string& name, const u8* screen, const u8* palette);
// A w x h RGB picture (a renderer's output), three times the size, there.
bool write_rgb_contact_sheet(const std::string& name, const u8* rgb, int w, int h);
// Colour registers as the 32 bytes the writers take.
std::array<u8, 32> palette_bytes(const std::array<u16, 16>& colours);
