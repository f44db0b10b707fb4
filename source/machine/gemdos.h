// GEMDOS file service of the emulated ST: the game's data file "FILES/BKM"
// is a virtual file read from the game data source; every other name is a
// read-only host file under the game folder, found component by component
// without regard to case. `gemdos` itself (tos.h) decodes the trap's
// arguments and calls these.
#pragma once
#include "machine/types.h"

constexpr int gemdos_handle_count = 8192;
constexpr int gemdos_first_handle = 6; // 0-5 are the standard streams
constexpr i32 gemdos_error = -1;       // a failed or out-of-range seek
constexpr i32 gemdos_file_not_found = -33;
constexpr i32 gemdos_path_not_found = -34;
constexpr i32 gemdos_no_more_files = -50;
constexpr const char* virtual_game_file = "FILES/BKM";
// Longest name the game can pass (longer strings are cut).
constexpr int gemdos_name_max = 259;

// A handle or -33. Handles are given out in rising order from 6; once the
// top is reached, closed handles are used again.
i32 gemdos_fopen(const char* name);
i32 gemdos_fclose(u32 handle);
// Reads into RAM at buffer, clipped to the end of RAM; bytes read or -33.
i32 gemdos_fread(u32 handle, u32 count, u32 buffer);
// mode 0 from the start, 1 from the current position, other from the end.
i32 gemdos_fseek(i32 offset, u32 handle, u32 mode);
// 0, or -34 when the name is no folder under the game folder.
i32 gemdos_dsetpath(const char* name);

// Closes every handle and numbers from 6 again, as at program start.
void gemdos_close_all();
