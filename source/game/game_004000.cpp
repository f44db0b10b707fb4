// Page $4000: the screen position of the mission data load's prompt.
#include "game/routine_kit.h"

// $4BBE: a0 := line 39, byte 15 of the screen buffer at $18000.
ROUTINE(sub_004BBE, 0x004BBE)
  a0 = 0x01986F;
  RTS();
END_ROUTINE
