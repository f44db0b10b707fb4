// Page $2000: the entry of the game's program image, where the boot state
// sets the program counter.
#include "game/routine_kit.h"

// $2C00: the program's entry: a5 := 0, the supervisor stack from $2400
// down, interrupts masked, then on into the cold start.
ROUTINE(sub_002C00, 0x002C00)
  a5 = 0;
  a7 = 0x002400;
  set_sr(0x2700);
  JMP(0x01088E);
END_ROUTINE
