// Page $43000: the YM driver's last effect step and its random register, a
// 32-bit shift register whose top byte the effect restarts add to their
// periods.
#include "game/routine_kit.h"
#include "game/ym_driver.h"

// $4301E: the effect step of channel C.
ROUTINE(sub_04301E, 0x04301E)
  ym_effect_step(2);
  RTS();
END_ROUTINE

// $43348: one step of the random register: shifted left by one, the new
// bit 0 = bit 30 XOR bit 27 of the old value (on the machine: the top byte
// masked with $48 plus $38 carries bit 27 into bit 6, shifted into X, then
// both words rotated left through X). d0.b = the new top byte.
ROUTINE(sub_043348, 0x043348)
  {
    const u32 r = rd32(ym_driver_vars + ym_var::random);
    wr32(ym_driver_vars + ym_var::random, r << 1 | ((r >> 30 ^ r >> 27) & 1));
  }
  put<B>(d0, rd8(ym_driver_vars + ym_var::random));
  RTS();
END_ROUTINE
