// The boot state: the machine as the game's own boot and loader would have
// left it at the moment its program starts at $2C00, built from the game
// data instead of a disk.
#pragma once
#include "machine/machine_state.h"

// The program image inside the game data file, and where it is loaded.
constexpr u32 boot_block_offset = 0x5141C;
constexpr u32 boot_block_size = 60000;
constexpr u32 boot_program_address = 0x2C00;
constexpr u32 boot_disk_copy_address = 0x81000;

// Rebuilds the live machine in place and returns a copy of it (the caller
// owns it); null, with nothing changed, when the game data does not hold
// the whole program block or the memory cannot be had.
machine_state* boot_state_make(const char* game_dir);
