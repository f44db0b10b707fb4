// A stand-in for the game's runner of missions, doing its mission steps in
// their order so that end-to-end checks of the mission routines start from
// the machine the game prepares: once per game the section counters and
// the new-game player records; per mission the counters, the cleared
// tables, the mission's player records, the mission data (the game's load
// or the test's own writer), the first section, the cleared screens, the
// mission screen, the first frame without a wait, no exit, the first
// weapon slot and no key; then `frame_vertical`. When that returns the
// runner notes `exit_request` and waits.
//
// Start it with a7 = $2400 and a5 = 0 (MissionTest does), then
// driver_start(mission_runner).
#pragma once
#include "machine/types.h"

constexpr u32 mission_runner = 0xC40000;
// Where the runner notes `exit_request` once the frame loop returned, and
// a word set to $FFFF then.
constexpr u32 runner_exit_noted = 0x80F80;
constexpr u32 runner_done = 0x80F82;

// Registers the runner. `mission_data` writes the mission's data into RAM
// in place of the game's mission data load ($8910); null: the game's load.
void mission_runner_register(void (*mission_data)() = nullptr);
