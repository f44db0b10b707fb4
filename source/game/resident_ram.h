// The resident system at the top of RAM, above everything the game uses: an
// entry table at $3F8000, its configuration and variables, and the code of
// page $3F9000 that lets the game call GEMDOS although it owns the whole
// machine (own stacks, the game's interrupts off, the system's low memory
// swapped in around each call).
#pragma once
#include <array>

#include "machine/cpu.h"

namespace resident {

// Entry table: words of offsets from its base.
constexpr u32 table = 0x3F8000;
constexpr u32 file_service_entry = table + 8; // $0FCE: sub_3F8FCE
constexpr u32 monitor_entry = table + 12;     // the entry the monitor keys call

// Configuration (set by the boot state).
constexpr u32 machine_kind = 0x3F8083;     // byte: kinds 4 and 5 add a hardware call
constexpr u32 machine_variant = 0x3F8087;  // byte: kind 5's parameter choice
constexpr u32 kind5_record = 0x3F885A;     // long: kind 5's parameter record
constexpr u32 kind4_record = 0x3F8866;     // long: kind 4's parameter record, less 192
constexpr u32 system_low_copy = 0x3F8094;  // long: the system's copy of low memory
constexpr u32 low_blocks = 0x3F8098;       // word: 48-byte blocks of low memory, minus one
constexpr u32 game_low_save = 0x3F809C;    // long: save area of the game's low memory, minus 8; 0 = exchange
constexpr u32 limit_base = 0x3F80A0;       // long: with the two above, the end of swapped memory
constexpr u32 low_memory = 0x000008;       // the swapped area starts here
constexpr u32 low_block_bytes = 48;

// Variables of the fades.
constexpr u32 saved_vbl_vector = 0x3F94B2; // long
constexpr u32 fade_steps = 0x3F94B6;       // word: steps recorded, minus one
constexpr u32 red_sum = 0x3F94B8;          // words
constexpr u32 green_sum = 0x3F94BA;
constexpr u32 blue_sum = 0x3F94BC;
constexpr u32 grey_target = 0x3F94BE;      // word
constexpr u32 colours_done = 0x3F94C0;     // word
constexpr u32 fade_records = 0x3F94C2;     // 16 words per step

// The services' results and request copies.
constexpr u32 file_result = 0x3F914E;      // long: bytes transferred, or the open's error
constexpr u32 search_result = 0x3F9766;    // long: result of Fsfirst
constexpr u32 search_request = 0x3F9788;   // 64 bytes
constexpr u32 file_request = 0x3FB35E;     // 28 bytes

// The caller's context while a service runs.
constexpr u32 task_usp = 0x3FB37A;         // long
constexpr u32 task_registers = 0x3FB37E;   // d2-d7 then a2-a7, longs
// The registers the service keeps there: d2-d7/a2-a7.
constexpr u16 task_list = dregs(2, 7) | aregs(2, 7);
constexpr u32 task_sr = 0x3FB3AE;          // word
constexpr u32 saved_mfp = 0x3FB3C2;        // 4 bytes: IERA & $A1, IERB & $78, IMRA & $A1, IMRB & $78
constexpr u32 service_usp = 0x3FB7A2;
constexpr u32 service_ssp = 0x3FB612;

constexpr u32 mfp_keep_a = 0xA1; // Timer A, Timer B, GPIP 7
constexpr u32 mfp_keep_b = 0x78; // ACIA, Timer C, Timer D, GPIP 3

// Every TRAP #1 of the resident code. The host reads the opcode of a trap
// from RAM, so each of these words must hold $4E41 before a service runs.
// The hardware calls of machine kinds 4 and 5 ($3F92DC, $3F93D4) are not
// among them: no load sets those kinds.
constexpr u16 trap1_opcode = 0x4E41;
constexpr std::array<u32, 9> gemdos_trap_sites = {
    0x3F902A, // file service: Fopen / Fcreate
    0x3F904E, //               Fseek
    0x3F90B4, //               first part of a split transfer
    0x3F90DE, //               second part of a split transfer
    0x3F9116, //               Fread / Fwrite
    0x3F9128, //               Fclose
    0x3F96DA, // directory search: Fgetdta
    0x3F96EE, //                   Fsfirst
    0x3F973A, //                   Fsnext
};

} // namespace resident
