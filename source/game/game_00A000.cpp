// Page $A000: the ammunition type lookup of the players' weapons.
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"

// $AAF8: the ammunition type of the record at a4's weapon and column:
// d0.b := ammo_type_table[4 x weapon + column] (d0.w is the code for the
// weapons 0-18; the upper half of d0 stays), d1.w := the column, a0 := the
// weapon's row.
ROUTINE(sub_00AAF8, 0x00AAF8)
  put<W>(d0, rd16(a4 + player_record::weapon));
  put<W>(d0, d0 << 2);
  a0 = adda<W>(d0, ammo_type_table);
  put<W>(d1, rd16(a4 + player_record::ammo_column));
  put<B>(d0, move<B>(rd8(adda<W>(d1, a0))));
  RTS();
END_ROUTINE
