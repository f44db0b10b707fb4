// Page $3F8000: the base of the resident system's entry table and its file
// service, which turns one loader request into GEMDOS calls on a data file
// (open or create, seek, read or write, close) while the game's interrupts
// are off and the system's low memory is swapped in.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/resident_ram.h"
#include "game/routine_kit.h"
#include "machine/loader_hold.h"

namespace {

using namespace resident;
using namespace st_io;

// The request as the service copied it: buffer, file offset, byte count,
// mode word, name.
constexpr u32 request_buffer = 0;
constexpr u32 request_offset = 4;
constexpr u32 request_count = 8;
constexpr u32 request_mode = 12;
constexpr u32 request_name = 14;
constexpr u32 request_longs = 7;

constexpr u32 mode_create = 0x5263; // "Rc": create the file and write
constexpr u32 mode_write = 0x5772;  // "Wr": write (set by the service itself)

constexpr u32 fn_fcreate = 0x3C;
constexpr u32 fn_fopen = 0x3D;
constexpr u32 fn_fclose = 0x3E;
constexpr u32 fn_fread = 0x3F;
constexpr u32 fn_fwrite = 0x40;
constexpr u32 fn_fseek = 0x42;

// What the monitor keys hand the monitor: their way back in a2, the key
// handler's SR in word $2224, its registers d0-d7/a0-a6 under the call's
// return address.
constexpr u32 monitor_way_back = 0x002120;
constexpr u32 monitor_saved_sr = 0x002224;

inline bool signed_less(u32 a, u32 b) { return static_cast<i32>(a) < static_cast<i32>(b); }

// Fread or Fwrite (by the copied mode word) of d4 bytes at a0 with the
// handle in d7, arguments pushed in GEMDOS order; the caller traps.
inline void push_transfer() {
  push32(a0);
  push32(d4);
  push16(d7);
  push16(rd16(a6 + request_mode) == mode_write ? fn_fwrite : fn_fread);
}

} // namespace

// $3F8000: the base of the resident entry table. An entry that no load has
// filled (offset 0) lands here; the monitor that the keypad keys call
// through the entry at +12 is such an entry, since no load brings the
// resident monitor. Here it is absent and the key does nothing: the call's
// return address is dropped, the key handler's registers and SR come back
// and the key path goes on through its way back at a2 ($2120), as after
// the monitor. Any other call of an empty entry returns at once.
ROUTINE(resident_empty_entry, 0x3F8000)
  if (a2 != monitor_way_back) GOTO(0x3F8002);
  a7 += 4;
  restore_regs(dregs(0, 7) | aregs(0, 6));
  set_sr(rd16(monitor_saved_sr));
  JMP(monitor_way_back);
HERE(0x3F8002)
  RTS();
END_ROUTINE

// $3F8FCE: the file service, entered by JSR with a0 = the request. Returns
// d0 = 0 whatever happened, with the caller's d2-d7, a2-a7, USP and SR
// restored (d1, a0, a1 changed); the bytes transferred, or the open's
// error, are left in long $3F914E. A create request ("Rc") is carried out
// once: the caller's mode word is cleared.
ROUTINE(sub_3F8FCE, 0x3F8FCE)
  for (u32 i = 0; i < request_longs; ++i) wr32(file_request + 4 * i, rd32(a0 + 4 * i));
  wr16(a0 + request_mode, 0);
  wr16(task_sr, get_sr());
  set_sr(0x2700);
  movem_store(task_list, task_registers);
  wr32(task_usp, other_sp);
  other_sp = service_usp;
  a7 = service_ssp;
  JSR(0x3F97C8, 0x3F9002)

  // The loader screen may be held before anything is seen to happen.
LABEL(0x3F9006)
  if (hold_loader_text() && kit_wait(0x3F9006)) return;
  JSR(0x3F9170, 0x3F900E)

  a6 = file_request;
  push16(0);
  push32(file_request + request_name);
  if (rd16(a6 + request_mode) != mode_create) GOTO(0x3F9024);
  wr16(a6 + request_mode, mode_write);
  push16(fn_fcreate);
  GOTO(0x3F902A);
HERE(0x3F9024)
  push16(fn_fopen);
  TRAP(0x3F902A, 0x3F902C)
  a7 += 8;
  put<W>(d7, d0);
  if (!(d7 & 0x8000)) GOTO(0x3F903C);
  wr32(file_result, d0);
  set_sr(0x2700);
  GOTO(0x3F912E);

HERE(0x3F903C)
  if (rd32(a6 + request_offset) == 0) GOTO(0x3F9054);
  push16(0);
  push16(d7);
  push32(rd32(a6 + request_offset));
  push16(fn_fseek);
  TRAP(0x3F904E, 0x3F9050)
  a7 += 10;

  // Destinations in the game's low memory, which the system's copy holds
  // while the service runs, go to its save area instead: T = D + offset
  // lies below the limit L exactly when D lies in the swapped range.
HERE(0x3F9054)
  d3 = rd32(a6 + request_buffer);
  d4 = rd32(a6 + request_count);
  d5 = d3 + rd32(game_low_save);
  d6 = rd32(limit_base) + rd32(game_low_save) - rd32(system_low_copy) + 8;
  a0 = d3;
  if (!signed_less(d5, d6)) GOTO(0x3F910C);
  a0 = d5;
  if (!signed_less(d6, d5 + d4)) GOTO(0x3F910C);
  // The transfer straddles the limit: up to it into the save area, the
  // rest at its own place.
  d4 = d6 - d5;
  push_transfer();
  TRAP(0x3F90B4, 0x3F90B6)
  a7 += 12;
  if (signed_less(d0, d4)) GOTO(0x3F911C);
  d2 = d0;
  d4 = d5 + rd32(a6 + request_count) - d6;
  a0 = d3 + d2;
  push_transfer();
  TRAP(0x3F90DE, 0x3F90E0)
  a7 += 12;
  d0 += d2;
  GOTO(0x3F911C);

HERE(0x3F910C)
  push_transfer();
  TRAP(0x3F9116, 0x3F9118)
  a7 += 12;
HERE(0x3F911C)
  wr32(file_result, d0);
  push16(d7);
  push16(fn_fclose);
  TRAP(0x3F9128, 0x3F912A)
  a7 += 4;
  set_sr(0x2700);

HERE(0x3F912E)
  JSR(0x3F937C, 0x3F9132)
  wr8(mfp_iera, rd8(saved_mfp));
  wr8(mfp_ierb, rd8(saved_mfp + 1));
  wr8(mfp_imra, rd8(saved_mfp + 2));
  wr8(mfp_imrb, rd8(saved_mfp + 3));
  d0 = 0;
  JMP(0x3F9152);
END_ROUTINE
