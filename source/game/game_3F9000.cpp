// Page $3F9000: the resident system's shared steps around a GEMDOS call:
// the game's MFP interrupts saved and silenced, the screen faded to a grey
// level while the VBL vector points at an empty handler, the system's low
// memory swapped in (and the game's out), and every step reversed on the
// way back; with them the directory-search service. GEMDOS calls are TRAP
// #1 instructions that the host serves.
#include "game/game_io.h"
#include "game/resident_ram.h"
#include "game/routine_kit.h"

namespace {

using namespace resident;
using namespace st_io;

constexpr u32 palette_colours = 16;
constexpr u32 max_fade_steps = 7;

// Directory-search request: last entry index, result list, attributes,
// name pattern.
constexpr u32 search_last = search_request;
constexpr u32 search_list = search_request + 2;
constexpr u32 search_attributes = search_request + 6;
constexpr u32 search_pattern = search_request + 8;
constexpr u32 search_request_longs = 16;
constexpr u32 entry_bytes = 62;
constexpr u32 no_match = 0xFFCF; // -49

constexpr u32 fn_fgetdta = 0x2F;
constexpr u32 fn_fsfirst = 0x4E;
constexpr u32 fn_fsnext = 0x4F;
constexpr u32 fn_dsetdrv = 0x0E;
constexpr u32 fn_dsetpath = 0x3B;

constexpr u16 fade_list = dregs(0, 7) | aregs(0, 2);

// One colour component moved one step toward the grey level g.
inline u32 toward(u32 component, u32 g) {
  if (component < g) return component + 1;
  if (component > g) return component - 1;
  return component;
}

// The hardware call of machine kinds 5 and 4 around the swap prepares its
// parameter record at a2; true when the kind has one.
inline bool kind_call_record(bool before_swap) {
  const u32 kind = rd8(machine_kind);
  if (kind == 5) {
    a2 = rd32(kind5_record);
    d1 = rd8(machine_variant) == 4 ? 0x00100001 : 0x00200001;
    wr32(a2, before_swap ? d1 : 1);
    wr32(a2 + 8, before_swap ? 1 : d1);
    return true;
  }
  if (kind == 4) {
    a2 = rd32(kind4_record) + 192;
    wr32(a2, before_swap ? 0x00200009 : 25);
    wr32(a2 + 8, before_swap ? 25 : 0x00200009);
    return true;
  }
  return false;
}

// One 48-byte block of the low-memory swap, copied from a0 to a1 or
// exchanged between them; both move on by a block (the exchange leaves d1
// with the last long it moved).
inline void copy_low_block() {
  for (u32 i = 0; i < low_block_bytes; i += 4) wr32(a1 + i, rd32(a0 + i));
  a0 += low_block_bytes;
  a1 += low_block_bytes;
}

inline void swap_low_block() {
  for (u32 i = 0; i < low_block_bytes; i += 4) {
    d1 = rd32(a0 + i);
    wr32(a0 + i, rd32(a1 + i));
    wr32(a1 + i, d1);
  }
  a0 += low_block_bytes;
  a1 += low_block_bytes;
}

} // namespace

// $3F914E: an entry of the resident table into the file service's return.
ROUTINE(sub_3F914E, 0x3F914E)
  JMP(0x3F9152);
END_ROUTINE

// $3F9152: the file service's return to its caller: USP, d2-d7 and a2-a7
// from the task record, the keyboard ACIA drained of bytes that came in
// meanwhile, the caller's SR, then RTS on the caller's stack.
ROUTINE(sub_3F9152, 0x3F9152)
  other_sp = rd32(task_usp);
  movem_load(task_list, task_registers);
LOOP(0x3F915E)
  if (!(rd8(acia_kbd_status) & 1)) GOTO(0x3F916A);
  put<B>(d1, rd8(acia_kbd_data));
  GOTO(0x3F915E);
HERE(0x3F916A)
  set_sr(rd16(task_sr));
  RTS();
END_ROUTINE

// $3F9170: fade to a grey level, then swap the system's low memory in.
// The grey level g = (3 x red + 2 x green + blue sums) / 192 (0-3) is
// reached in at most seven steps of two VBLs, each step recording the
// palette before it; the VBL vector points at an empty handler meanwhile.
// Registers kept.
ROUTINE(sub_3F9170, 0x3F9170)
  save_regs(fade_list);
  d1 = d2 = d3 = 0;
  a0 = palette_regs;
  d0 = palette_colours - 1;
LOOP(0x3F917E)
  d4 = rd16(a0);
  a0 += 2;
  d1 += (d4 >> 8) & 7;
  d2 += (d4 >> 4) & 7;
  d3 += d4 & 7;
  if (dbf(d0)) GOTO(0x3F917E);
  wr16(red_sum, d1);
  wr16(green_sum, d2);
  wr16(blue_sum, d3);
  d0 = (3 * d1 + 2 * d2 + d3) & 0xFFFF;
  d0 = divu(192, d0) & 0xFFFF;
  d7 = d0;
  wr16(grey_target, d7 * 0x111);

  wr32(saved_vbl_vector, rd32(vector_vbl));
  wr32(vector_vbl, 0x3F92AC);
  set_sr(0x2300);
  a1 = fade_records;
  d6 = 0;
LOOP(0x3F91C0)
  STOP(0x2300, 0x3F91C4)
  STOP(0x2300, 0x3F91C8)
  wr16(colours_done, 0);
  a0 = palette_regs;
  d0 = palette_colours - 1;
LOOP(0x3F91D6)
  d4 = rd16(a0);
  wr16(a1, d4);
  a1 += 2;
  d4 = toward((d4 >> 8) & 7, d7) << 8 | toward((d4 >> 4) & 7, d7) << 4 | toward(d4 & 7, d7);
  wr16(a0, d4);
  a0 += 2;
  if (d4 == rd16(grey_target)) wr16(colours_done, rd16(colours_done) + 1);
  if (dbf(d0)) GOTO(0x3F91D6);
  d6 += 1;
  if (rd16(colours_done) != palette_colours && d6 < max_fade_steps) GOTO(0x3F91C0);
  wr16(fade_steps, d6 - 1);
  set_sr(0x2700);
  wr32(vector_vbl, rd32(saved_vbl_vector));

  if (!kind_call_record(true)) GOTO(0x3F92E0);
  TRAP(0x3F92DC, 0x3F92DE)

  // The swap: 48-byte blocks from $000008, their count minus one in word
  // $3F8098. With a save area the game's memory goes there and the
  // system's copy comes in; without one the two areas are exchanged.
HERE(0x3F92E0)
  d5 = rd16(low_blocks);
  if (rd32(game_low_save) == 0) GOTO(0x3F9310);
  a0 = low_memory;
  a1 = rd32(game_low_save) + 8;
  d0 = d5;
LOOP(0x3F92F2)
  copy_low_block();
  if (dbf(d0)) GOTO(0x3F92F2);
  a0 = rd32(system_low_copy);
  a1 = low_memory;
  d0 = d5;
LOOP(0x3F9304)
  copy_low_block();
  if (dbf(d0)) GOTO(0x3F9304);
  GOTO(0x3F9328);
HERE(0x3F9310)
  a0 = low_memory;
  a1 = rd32(system_low_copy);
  d0 = d5;
LOOP(0x3F931A)
  swap_low_block();
  if (dbf(d0)) GOTO(0x3F931A);
HERE(0x3F9328)
  restore_regs(fade_list);
  RTS();
END_ROUTINE

// $3F92AC: the empty VBL handler of the fades.
ROUTINE(sub_3F92AC, 0x3F92AC)
  RTE();
END_ROUTINE

// $3F937C: swap the game's low memory back, then fade back: the recorded
// palettes from the last to the first, one every two VBLs, so the palette
// found at the start is the last one written. Registers kept.
ROUTINE(sub_3F937C, 0x3F937C)
  save_regs(fade_list);
  if (!kind_call_record(false)) GOTO(0x3F93D8);
  TRAP(0x3F93D4, 0x3F93D6)
HERE(0x3F93D8)
  d5 = rd16(low_blocks);
  if (rd32(game_low_save) == 0) GOTO(0x3F9410);
  a0 = low_memory;
  a1 = rd32(system_low_copy);
  d0 = d5;
LOOP(0x3F93EA)
  copy_low_block();
  if (dbf(d0)) GOTO(0x3F93EA);
  a0 = rd32(game_low_save) + 8;
  a1 = low_memory;
  d0 = d5;
LOOP(0x3F93FC)
  copy_low_block();
  if (dbf(d0)) GOTO(0x3F93FC);
  GOTO(0x3F9428);
HERE(0x3F9410)
  a0 = low_memory;
  a1 = rd32(system_low_copy);
  d0 = d5;
LOOP(0x3F941A)
  swap_low_block();
  if (dbf(d0)) GOTO(0x3F941A);

HERE(0x3F9428)
  wr32(saved_vbl_vector, rd32(vector_vbl));
  wr32(vector_vbl, 0x3F92AC);
  set_sr(0x2300);
  d6 = rd16(fade_steps);
  a1 = fade_records + (d6 + 1) * 2 * palette_colours;
LOOP(0x3F9446)
  STOP(0x2300, 0x3F944A)
  STOP(0x2300, 0x3F944E)
  a0 = palette_regs + 2 * palette_colours;
  d0 = palette_colours - 1;
LOOP(0x3F9458)
  a1 -= 2;
  a0 -= 2;
  wr16(a0, rd16(a1));
  if (dbf(d0)) GOTO(0x3F9458);
  if (dbf(d6)) GOTO(0x3F9446);
  set_sr(0x2700);
  wr32(vector_vbl, rd32(saved_vbl_vector));
  restore_regs(fade_list);
  RTS();
END_ROUTINE

// $3F95A2: Dsetdrv with the word at a6 - 204, then Dsetpath with the text
// at a6 - 160, for the file service's variable block at a6; both through
// the routine whose address is the long at a6 + 20 (it issues the TRAP
// #1). a0 changed.
ROUTINE(sub_3F95A2, 0x3F95A2)
  push16(rd16(a6 - 204));
  push16(fn_dsetdrv);
  a0 = rd32(a6 + 20);
  JSR_DYN(a0, 0x3F95B2)
  a7 += 4;
  push32(a6 - 160);
  push16(fn_dsetpath);
  a0 = rd32(a6 + 20);
  JSR_DYN(a0, 0x3F95C4)
  a7 += 6;
  RTS();
END_ROUTINE

// $3F9678: a bare return, the file service's exit.
ROUTINE(sub_3F9678, 0x3F9678)
  RTS();
END_ROUTINE

// $3F967E: an entry of the resident table into the directory search.
ROUTINE(sub_3F967E, 0x3F967E)
  JMP(0x3F96B6);
END_ROUTINE

// $3F96B6: the directory-search service, entered with a0 = a 64-byte
// request (last entry index, result list, attributes, name pattern). The
// list gets a status word and the 62 bytes of the transfer area per entry
// found and ends with the negative status that ended the search; when
// nothing matches it holds the single word $FFCF.
ROUTINE(sub_3F96B6, 0x3F96B6)
  for (u32 i = 0; i < search_request_longs; ++i) wr32(search_request + 4 * i, rd32(a0 + 4 * i));
  wr16(task_sr, get_sr());
  set_sr(0x2700);
  movem_store(task_list, task_registers);
  wr32(task_usp, other_sp);
  other_sp = service_usp;
  a7 = service_ssp;
  JSR(0x3F97C8, 0x3F96D2)
  JSR(0x3F9170, 0x3F96D6)
  push16(fn_fgetdta);
  TRAP(0x3F96DA, 0x3F96DC)
  a7 += 2;
  a3 = d0;
  push16(rd16(search_attributes));
  push32(search_pattern);
  push16(fn_fsfirst);
  TRAP(0x3F96EE, 0x3F96F0)
  a7 += 8;
  wr32(search_result, d0);
  tst<L>(d0);
  if (cc_pl()) GOTO(0x3F970A);
  wr16(rd32(search_list), no_match);
  JMP(0x3F9744);
HERE(0x3F970A)
  d7 = 0;
  a5 = rd32(search_list);
  JMP(0x3F9722);
END_ROUTINE

// $3F9722: the transfer area's address into a1, then on into the copier.
ROUTINE(sub_3F9722, 0x3F9722)
LOOP(0x3F9722) // the search loops back to the entry
  a1 = a3;
  JMP(0x3F9728);
END_ROUTINE

// $3F9728: one entry of the directory search: the status word d0 into the
// list; a negative status ends the search; else the 62 bytes of the
// transfer area follow, and unless d7 has reached the last index Fsnext
// gives the next status.
ROUTINE(sub_3F9728, 0x3F9728)
  wr16(a5, d0);
  a5 += 2;
  tst<W>(d0);
  if (cc_mi()) GOTO(0x3F9742);
  for (u32 i = 0; i < entry_bytes; ++i) wr8(a5 + i, rd8(a1 + i));
  a1 += entry_bytes;
  a5 += entry_bytes;
  cmp<W>(rd16(search_last), d7);
  if (cc_eq()) GOTO(0x3F9742);
  push16(fn_fsnext);
  TRAP(0x3F973A, 0x3F973C)
  a7 += 2;
  put<W>(d7, d7 + 1);
  JMP(0x3F9722);
HERE(0x3F9742)
  JMP(0x3F9744);
END_ROUTINE

// $3F9744: the end of a directory search: the game's low memory and
// palette back, its MFP enables back, d0 = 0, then the return.
ROUTINE(sub_3F9744, 0x3F9744)
  set_sr(0x2700);
  JSR(0x3F937C, 0x3F974C)
  wr8(mfp_iera, rd8(saved_mfp));
  wr8(mfp_ierb, rd8(saved_mfp + 1));
  wr8(mfp_imra, rd8(saved_mfp + 2));
  wr8(mfp_imrb, rd8(saved_mfp + 3));
  d0 = 0;
  JMP(0x3F976A);
END_ROUTINE

// $3F9766: an entry of the resident table into the directory search's
// return.
ROUTINE(sub_3F9766, 0x3F9766)
  JMP(0x3F976A);
END_ROUTINE

// $3F976A: the directory search's return to its caller, as $3F9152.
ROUTINE(sub_3F976A, 0x3F976A)
  other_sp = rd32(task_usp);
  movem_load(task_list, task_registers);
LOOP(0x3F9776)
  if (!(rd8(acia_kbd_status) & 1)) GOTO(0x3F9782);
  put<B>(d1, rd8(acia_kbd_data));
  GOTO(0x3F9776);
HERE(0x3F9782)
  set_sr(rd16(task_sr));
  RTS();
END_ROUTINE

// $3F9788: an entry of the resident table into the MFP save.
ROUTINE(sub_3F9788, 0x3F9788)
  JMP(0x3F97C8);
END_ROUTINE

// $3F97C8: saves the game's MFP interrupt enables and masks (only the bits
// the service gives back: $A1 of register A, $78 of register B) and
// switches every MFP interrupt off. d0 changed.
ROUTINE(sub_3F97C8, 0x3F97C8)
  put<B>(d0, rd8(mfp_iera));
  wr8(saved_mfp, d0 & mfp_keep_a);
  wr8(mfp_iera, 0);
  put<B>(d0, rd8(mfp_ierb));
  wr8(saved_mfp + 1, d0 & mfp_keep_b);
  wr8(mfp_ierb, 0);
  put<B>(d0, rd8(mfp_imra));
  wr8(saved_mfp + 2, d0 & mfp_keep_a);
  wr8(mfp_imra, 0);
  put<B>(d0, rd8(mfp_imrb));
  wr8(saved_mfp + 3, d0 & mfp_keep_b);
  wr8(mfp_imrb, 0);
  wr8(mfp_ipra, 0);
  wr8(mfp_iprb, 0);
  wr8(mfp_isra, 0);
  wr8(mfp_isrb, 0);
  RTS();
END_ROUTINE
