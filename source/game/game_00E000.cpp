// Page $E000: the game's disk layer. Every load goes through the cached
// sector loader, which copies its bytes out of a RAM copy of the whole disk
// that the resident file service fills on the first miss. Beside it stand
// the game's own floppy-controller routines, used only by the high-score
// write; the controller and its DMA chip are not emulated, so their
// register writes are stored in the I/O image and reach no disk. Before
// them, the digitised sample player: Timer A writes one byte a time to the
// volume register of YM channel A or B, whose tone and noise are off, while
// the YM driver keeps off the channel through its lock.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/routine_kit.h"
#include "game/ym_driver.h"

namespace {

constexpr u32 dma_mode = 0xFF8606;         // word: selects the controller register
constexpr u32 dma_address_high = 0xFF8609; // byte registers of the DMA address
constexpr u32 dma_address_mid = 0xFF860B;
constexpr u32 dma_address_low = 0xFF860D;
constexpr u32 ym_register_select = 0xFF8800;
constexpr u32 ym_register_data = 0xFF8802;
constexpr u32 ym_port_a = 14; // low three bits: side, drive A, drive B (active low)

// Mode words of $FF8606.
constexpr u32 select_status = 0x80;
constexpr u32 select_sector = 0x84;
constexpr u32 select_data = 0x86;
constexpr u32 select_command_write = 0x180;
constexpr u32 dma_reset_high = 0x190;
constexpr u32 dma_reset_low = 0x090;

constexpr u32 command_seek = 0x13;
constexpr u32 command_write_sector = 0xA0;
constexpr u32 status_write_protect = 6; // bit
constexpr u32 status_errors = 0x5C;     // record not found, CRC, lost data

constexpr u32 sector_bytes = 512;
constexpr u32 track_bytes = 5120;             // 10 sectors
constexpr u32 second_side_offset = 409600;    // 80 tracks of the first side
constexpr u32 motor_off_delay = 350;          // VBLs
constexpr u32 service_entry_offset = 8;       // word of the resident table: the file service
constexpr u32 request_name = loader_request + 14;

inline bool signed_less(u32 a, u32 b) { return static_cast<i32>(a) < static_cast<i32>(b); }

// The sample player. Channel A plays through register 8, B through 9.
constexpr u32 sample_next_a = 0x000144; // long: the next byte
constexpr u32 sample_last_a = 0x000148; // long: the sample's last byte
constexpr u32 sample_next_b = 0x00014C;
constexpr u32 sample_last_b = 0x000150;
constexpr u32 sample_playing = 0x000158; // byte A, byte B ($FF playing); a word for both
constexpr u32 sample_table = 0x00E86A;   // 9 x (first byte, last byte)
constexpr u32 handler_idle = 0x00E660;
constexpr u32 handler_a = 0x00E66A;
constexpr u32 handler_b = 0x00E68E;
constexpr u32 handler_both = 0x00E6B2;
constexpr u32 isra_timer_a = 5;

// A channel's volume register selected and its next byte in a0; after the
// hook point (where the host tags the write as a sample's), the byte goes
// to the register and the pointer on.
inline void select_sample_byte(u32 reg, u32 next) {
  wr8(st_io::ym_select, reg);
  a0 = rd32(next);
}
inline void write_sample_byte(u32 next) {
  wr8(st_io::ym_data, rd8(a0));
  a0 += 1;
  wr32(next, a0);
}

} // namespace

// $E660: Timer A with no sample playing: only the acknowledge.
ROUTINE(timer_a_isr_idle, 0x00E660)
  wr8(st_io::mfp_isra, bclr<B>(isra_timer_a, rd8(st_io::mfp_isra)));
  RTE();
END_ROUTINE

// $E66A: Timer A, channel A playing. a0 kept.
ROUTINE(timer_a_isr_sample, 0x00E66A)
  push32(a0);
  select_sample_byte(8, sample_next_a);
  HOOK_AT(0x00E678)
  write_sample_byte(sample_next_a);
  a0 = pop32();
  wr8(st_io::mfp_isra, bclr<B>(isra_timer_a, rd8(st_io::mfp_isra)));
  RTE();
END_ROUTINE

// $E68E: Timer A, channel B playing. a0 kept.
ROUTINE(sub_00E68E, 0x00E68E)
  push32(a0);
  select_sample_byte(9, sample_next_b);
  HOOK_AT(0x00E69C)
  write_sample_byte(sample_next_b);
  a0 = pop32();
  wr8(st_io::mfp_isra, bclr<B>(isra_timer_a, rd8(st_io::mfp_isra)));
  RTE();
END_ROUTINE

// $E6B2: Timer A, both channels playing. a0 kept.
ROUTINE(sub_00E6B2, 0x00E6B2)
  push32(a0);
  select_sample_byte(8, sample_next_a);
  HOOK_AT(0x00E6C0)
  write_sample_byte(sample_next_a);
  select_sample_byte(9, sample_next_b);
  HOOK_AT(0x00E6D6)
  write_sample_byte(sample_next_b);
  a0 = pop32();
  wr8(st_io::mfp_isra, bclr<B>(isra_timer_a, rd8(st_io::mfp_isra)));
  RTE();
END_ROUTINE

// $E6EC: starts sample d0.w (0-8) on channel A, at once, replacing one that
// plays there: tone and noise A off (interrupts masked, so that no sample
// interrupt comes between the register select and its write), the driver's
// lock, the pointers, the handler for what now plays, and Timer A running.
// a0, a1 kept; d0.w returns x 8, d1.b the register 7 value written.
ROUTINE(sub_00E6EC, 0x00E6EC)
  HOOK_AT(0x00E6EC)
  save_regs(aregs(0, 1));
  push16(get_sr());
  set_sr(0x2700);
  wr8(st_io::ym_select, 7);
  put<B>(d1, rd8(st_io::ym_select) | 0x09);
  HOOK_AT(0x00E708)
  wr8(st_io::ym_data, d1);
  wr8(ym_lock_a, 0xFF);
  set_sr(pop16());
  wr8(sample_playing, 0xFF);
  put<W>(d0, d0 << 3);
  wr32(sample_next_a, rd32(sample_table + (d0 & 0xFFFF)));
  wr32(sample_last_a, rd32(sample_table + 4 + (d0 & 0xFFFF)));
  wr32(st_io::vector_timer_a, rd8(sample_playing + 1) != 0 ? handler_both : handler_a);
  JSR(0x00782C, 0xE74E)
  restore_regs(aregs(0, 1));
  RTS();
END_ROUTINE

// $E756: starts sample d0.w on channel B; as the start on channel A.
ROUTINE(sub_00E756, 0x00E756)
  HOOK_AT(0x00E756)
  save_regs(aregs(0, 1));
  push16(get_sr());
  set_sr(0x2700);
  wr8(st_io::ym_select, 7);
  put<B>(d1, rd8(st_io::ym_select) | 0x12);
  HOOK_AT(0x00E772)
  wr8(st_io::ym_data, d1);
  wr8(ym_lock_b, 0xFF);
  set_sr(pop16());
  wr8(sample_playing + 1, 0xFF);
  put<W>(d0, d0 << 3);
  wr32(sample_next_b, rd32(sample_table + (d0 & 0xFFFF)));
  wr32(sample_last_b, rd32(sample_table + 4 + (d0 & 0xFFFF)));
  wr32(st_io::vector_timer_a, rd8(sample_playing) != 0 ? handler_both : handler_b);
  JSR(0x00782C, 0xE7B8)
  restore_regs(aregs(0, 1));
  RTS();
END_ROUTINE

// $E7C0: the per-VBL check, from the VBL handler: a channel whose pointer
// has passed its last byte ends (its lock freed for the driver), and the
// Timer A handler is chosen for what still plays. Left alone while the
// title's own sample plays.
ROUTINE(sub_00E7C0, 0x00E7C0)
  if (rd16(title_mode) != 0) GOTO(0xE85E);
  if (rd16(sample_playing) != 0) GOTO(0xE7DA);
  wr32(st_io::vector_timer_a, handler_idle);
  RTS();
HERE(0xE7DA)
  wr16(st_io::palette_regs, 0);
  if (rd8(sample_playing) == 0) GOTO(0xE802);
  if (rd32(sample_last_a) >= rd32(sample_next_a)) GOTO(0xE802);
  wr8(ym_lock_a, 0);
  wr8(sample_playing, 0);
HERE(0xE802)
  if (rd8(sample_playing + 1) == 0) GOTO(0xE81E);
  if (rd32(sample_last_b) >= rd32(sample_next_b)) GOTO(0xE81E);
  wr8(ym_lock_b, 0);
  wr8(sample_playing + 1, 0);
HERE(0xE81E)
  put<W>(d0, rd16(sample_playing));
  if ((d0 & 0xFFFF) == 0) {
    wr32(st_io::vector_timer_a, handler_idle);
  } else if ((d0 & 0xFFFF) == 0xFFFF) {
    wr32(st_io::vector_timer_a, handler_both);
  } else if (rd8(sample_playing) != 0) {
    wr32(st_io::vector_timer_a, handler_a);
  } else {
    wr32(st_io::vector_timer_a, handler_b);
  }
HERE(0xE85E)
  RTS();
END_ROUTINE

// $E8B2: multi-sector transfer to the disk (writes), from long $16C, word
// $276 sectors from track $168, sector $16A on. Each sector gets two
// attempts; a time-out or the write-protect bit gives it up. With the
// controller not emulated the status tested is the last command value
// ($A0), so every sector goes at once. The transfer moves to the next track
// after sector 9; its only caller writes one sector.
ROUTINE(sub_00E8B2, 0x00E8B2)
  JSR(0x00EA5C, 0xE8B6)
  if (kit_budget(0xE8B6)) return; // the seek is also the next track's loop head
  JSR(0x00EA4A, 0xE8BA)
  JSR(0x00EA76, 0xE8BE)
  cmp<W>(0xFFFF, d0);
  if (cc_eq()) GOTO(0xE8FA);
LOOP(0xE8C4)
  wr16(motor_off_vbls, motor_off_delay);
  wr16(sector_attempts, 2);
  wr16(dma_mode, select_sector);
  put<W>(d0, rd16(disk_sector));
  JSR(0x00EA06, 0xE8DA)
  if (kit_budget(0xE8DA)) return; // the attempts loop back to here
  JSR(0x00E9EA, 0xE8DE)
  JSR(0x00EA5C, 0xE8E2)
  JSR(0x00E9AE, 0xE8E6)
  JSR(0x00EA76, 0xE8EA)
  btst<L>(status_write_protect, d0);
  if (cc_ne()) GOTO(0xE8FA);
  if ((d0 & status_errors) == 0) GOTO(0xE8FA);
  wr16(sector_attempts, rd16(sector_attempts) - 1);
  if (rd16(sector_attempts) != 0) GOTO(0xE8DA);
HERE(0xE8FA)
  wr16(disk_count, rd16(disk_count) - 1);
  if (rd16(disk_count) == 0) GOTO(0xE928);
  wr32(disk_buffer, rd32(disk_buffer) + sector_bytes);
  wr16(disk_sector, rd16(disk_sector) + 1);
  cmp<W>(9, rd16(disk_sector));
  if (cc_ls()) GOTO(0xE8C4);
  wr16(disk_sector, 1);
  wr16(disk_track, rd16(disk_track) + 1);
  GOTO(0xE8B6);
HERE(0xE928)
  RTS();
END_ROUTINE

// $E92A: the cached sector loader; its code lies at $2000, below the cache
// control block. It turns the request words into a byte range of the
// 819,200-byte disk (track x 5,120 + (sector - 1) x 512, plus 409,600 on
// the second side; count x 512 bytes) and copies it to long $16C from the
// RAM copy of the disk. A miss first has the resident file service fill
// the copy (the whole disk, or a window), sets the cached range before the
// service runs and never checks its result. d0 = 0; every other register
// is kept.
ROUTINE(sub_00E92A, 0x00E92A)
LABEL(0x2000)
  save_regs(dregs(1, 4) | aregs(0, 4));
  a4 = rd32(disk_buffer);
  d4 = mulu(track_bytes, rd16(disk_track));
  d0 = ((rd16(disk_sector) - 1) & 0xFFF) << 9;
  d4 += d0;
  if (rd16(disk_side) == 0) GOTO(0x201A);
  d4 += second_side_offset;
HERE(0x201A)
  d3 = (rd16(disk_count) & 0xFFF) << 9;
  d3 += d4;
  // One cached range, compared signed.
  a2 = cache_first;
  if (signed_less(rd32(a2), 0)) GOTO(0x2030);
  if (signed_less(d4, rd32(a2))) GOTO(0x2030);
  if (!signed_less(d4, rd32(cache_end))) GOTO(0x2030);
  if (signed_less(rd32(cache_end), d3)) GOTO(0x2030);
  a0 = rd32(cache_buffer) + (d4 - rd32(a2));
  d3 -= d4;
  GOTO(0x2050);

HERE(0x2030)
  d3 -= d4;
  wr32(request_name, rd32(cache_file_name));
  a0 = loader_request;
  if (rd8(cache_whole_disk) == 0) GOTO(0x2036);
  wr32(cache_first, 0);
  wr32(cache_end, rd32(cache_disk_size));
  wr32(a0, rd32(cache_buffer));
  wr32(a0 + 4, 0);
  wr32(a0 + 8, rd32(cache_disk_size));
  GOTO(0x2040);
HERE(0x2036)
  // A window that would pass the end of the disk is moved down to end there.
  wr32(a0 + 4, d4);
  wr32(cache_first, d4);
  wr32(a0 + 8, rd32(cache_window));
  d1 = d4 + rd32(cache_window);
  if (!signed_less(rd32(cache_disk_size), d1)) GOTO(0x203C);
  d1 = rd32(cache_disk_size);
  d2 = rd32(cache_disk_size) - rd32(cache_window);
  wr32(a0 + 4, d2);
  wr32(cache_first, d2);
  d4 -= d2;
  GOTO(0x203E);
HERE(0x203C)
  d4 = 0;
HERE(0x203E)
  wr32(cache_end, d1);
  wr32(a0, rd32(cache_buffer));
HERE(0x2040)
  a1 = rd32(resident_table);
  put<W>(d1, rd16(a1 + service_entry_offset));
  JSR_DYN(a1 + sext16(d1), 0x2048)
  a0 = rd32(cache_buffer) + d4;

LOOP(0x2050)
  if (d3 == 0) GOTO(0x2060);
  wr8(a4, rd8(a0));
  a0 += 1;
  a4 += 1;
  d3 -= 1;
  GOTO(0x2050);
HERE(0x2060)
  restore_regs(dregs(1, 4) | aregs(0, 4));
  d0 = clr<L>();
  RTS();
END_ROUTINE

// $E9AE: DMA reset and sector count 1, then the write-sector command.
// d0 = $A0.
ROUTINE(sub_00E9AE, 0x00E9AE)
  wr16(dma_mode, dma_reset_high);
  wr16(dma_mode, dma_reset_low);
  wr16(dma_mode, dma_reset_high);
  d0 = 1;
  JSR(0x00EA06, 0xE9C6)
  wr16(dma_mode, select_command_write);
  put<W>(d0, command_write_sector);
  JSR(0x00EA06, 0xE9D6)
  RTS();
END_ROUTINE

// $E9EA: the DMA address registers from long $16C (low, middle, high
// byte); d0 = the address shifted right by 16.
ROUTINE(sub_00E9EA, 0x00E9EA)
  d0 = rd32(disk_buffer);
  wr8(dma_address_low, d0);
  d0 = lsr<L>(d0, 8);
  wr8(dma_address_mid, d0);
  d0 = lsr<L>(d0, 8);
  wr8(dma_address_high, d0);
  RTS();
END_ROUTINE

// $EA06: the controller's data-register step; a bare return, so whatever
// was prepared in d0 goes nowhere.
ROUTINE(sub_00EA06, 0x00EA06)
  RTS();
END_ROUTINE

// $EA10: settle delay.
ROUTINE(sub_00EA10, 0x00EA10)
  JSR(0x00EA18, 0xEA14)
  RTS();
END_ROUTINE

// $EA18: settle delay of 33 counted passes. SR and the low word of d7 are
// kept, the high word of d7 ends 0.
ROUTINE(sub_00EA18, 0x00EA18)
  push16(get_sr());
  push16(d7);
  d7 = 32;
LOOP(0xEA20)
  if (dbf(d7)) GOTO(0xEA20);
  put<W>(d7, pop16());
  set_sr(pop16());
  RTS();
END_ROUTINE

// $EA28: a bare return.
ROUTINE(sub_00EA28, 0x00EA28)
  RTS();
END_ROUTINE

// $EA4A: seek to track $168 prepared; d0 = $13.
ROUTINE(sub_00EA4A, 0x00EA4A)
  wr16(dma_mode, select_data);
  put<W>(d0, rd16(disk_track));
  JSR(0x00EA06, 0xEA56)
  wr16(dma_mode, select_status);
  d0 = command_seek;
  JSR(0x00EA06, 0xEA5A)
  RTS();
END_ROUTINE

// $EA5C: status register selected, settle delay, then the time-out count
// d7: $40000 when bit 7 of d0 (motor on) is set, else $60000.
ROUTINE(sub_00EA5C, 0x00EA5C)
  wr16(dma_mode, select_status);
  JSR(0x00EA18, 0xEA64)
  d7 = (d0 & 0x80) ? 0x40000 : 0x60000;
  RTS();
END_ROUTINE

// $EA76: one step of the wait for the controller: d7 - 1; not yet 0: a
// settle delay with d0 unchanged; 0: time-out, d0 = -1.
ROUTINE(sub_00EA76, 0x00EA76)
  d7 = sub<L>(1, d7);
  if (cc_eq()) GOTO(0xEA86);
  JSR(0x00EA18, 0xEA84)
  RTS();
HERE(0xEA86)
  d0 = 0xFFFFFFFF;
  RTS();
END_ROUTINE

// $EA8C: drive select: the low three bits of YM port A := d0 bits 0-2,
// with interrupts masked so no interrupt splits the update. d0.b = the
// port as it was, d1.b = that & $F8, d2.b = that.
ROUTINE(sub_00EA8C, 0x00EA8C)
  push16(get_sr());
  set_sr(get_sr() | 0x0700);
  put<B>(d0, d0 & 7);
  wr8(ym_register_select, ym_port_a);
  put<B>(d1, rd8(ym_register_select));
  put<B>(d2, d1);
  put<B>(d1, d1 & 0xF8);
  put<B>(d0, d0 | d1);
  wr8(ym_register_data, d0);
  put<B>(d0, d2);
  set_sr(pop16());
  RTS();
END_ROUTINE

// $EAD8: motor-off countdown, from the VBL handler. When word $1BA runs
// out, the drives are deselected, unless bit 7 of d0 (the value the
// interrupted code left there, since no status is read) tells that the
// motor still runs: then the test repeats at the next VBL.
ROUTINE(sub_00EAD8, 0x00EAD8)
  if (rd16(motor_off_vbls) == 0) GOTO(0xEB24);
  wr16(motor_off_vbls, rd16(motor_off_vbls) - 1);
  if (rd16(motor_off_vbls) != 0) GOTO(0xEB24);
  a6 = dma_mode;
  push16(get_sr());
  set_sr(get_sr() | 0x0700);
  wr16(a6, select_status);
  JSR(0x00EA18, 0xEAFC)
  btst<L>(7, d0);
  if (cc_eq()) GOTO(0xEB0A);
  wr16(motor_off_vbls, 1);
  GOTO(0xEB14);
HERE(0xEB0A)
  d0 = 7;
  JSR(0x00EA8C, 0xEB10)
HERE(0xEB14)
  set_sr(pop16());
  JSR(0x0077F6, 0xEB1A)
HERE(0xEB24)
  RTS();
END_ROUTINE

// $EB26: a bare return that every loader calls before the sector loader.
ROUTINE(sub_00EB26, 0x00EB26)
  RTS();
END_ROUTINE

// --- the title and attract sequence ------------------------------------------

namespace {

constexpr u32 fire_port1 = player1 + player_record::fire; // player 1's fire byte
constexpr u32 fire_port0 = player2 + player_record::fire; // player 2's fire byte
constexpr u32 title_sample_ptr = 0x0001E0;
constexpr u32 title_sample_start = 0x066F38;
constexpr u32 timer_a_vector = 0x000134;
constexpr u32 title_sample_isr = 0x00F816;
constexpr u32 title_palette = 0x00EB76;
constexpr u32 blank_palette = 0x00EB96; // set before a picture is copied in
constexpr u32 short_block = 0x068254;     // the packed title picture, first side
constexpr u32 short_block_data = 0x068271; // past the file header
constexpr u32 short_block_end = 0x06E24F;
constexpr u32 node_table = 0x014000;
constexpr u32 unpack_output = 0x017F80; // 128 bytes before screen $18000
constexpr u32 full_block = 0x05647E;      // the second side's title block
constexpr u32 full_picture = 0x05F22A;
constexpr u32 title_script = 0x00F752;
constexpr u32 screen_longs = 8192;
constexpr u32 animation_background = 0x01DA68; // x 208-319, lines 144-180 of $18000
constexpr u32 animation_area = 0x025A68;       // the same in screen $20000

inline void set_disk_request(u32 side, u32 track, u32 sector, u32 count, u32 buffer) {
  wr16(disk_request, 0);
  wr16(disk_side, side);
  wr16(disk_track, track);
  wr16(disk_sector, sector);
  wr16(disk_count, count);
  wr32(disk_buffer, buffer);
}

// 8,192 longs from a0 to a1.
inline void copy_screen_longs() {
  for (u32 i = 0; i < screen_longs; ++i) {
    wr32(a1, rd32(a0));
    a0 += 4;
    a1 += 4;
  }
}

} // namespace

// $EBFE: wait_fire, where the title sequence returns: tune 0, then a fire
// button once per VBL; port 1 first, so both in one VBL make one player.
ROUTINE(wait_fire, 0x00EBFE)
  d0 = 0;
  JSR(0x0074F4, 0xEC04)  // the loop's head: every pass waits a VBL
  JSR(0x0079DC, 0xEC08)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  GOTO(0xEC04);
END_ROUTINE

// $EC16: fire on port 1: a one-player game; the title sample's timer
// stopped and the YM silenced before the main loop.
ROUTINE(sub_00EC16, 0x00EC16)
  wr16(two_player_flag, 0x0000);
  JSR(0x007866, 0xEC20)
  JSR(0x0083B2, 0xEC26)
  JMP(0x0088FC);
END_ROUTINE

// $EC2A: fire on port 0: a two-player game.
ROUTINE(sub_00EC2A, 0x00EC2A)
  wr16(two_player_flag, 0xFFFF);
  JSR(0x007866, 0xEC36)
  JSR(0x0083B2, 0xEC3C)
  JMP(0x0088FC);
END_ROUTINE

// $EC40: the title. Without the second side, one packed picture from the
// first; with it, the full-screen picture built up piece by piece, then
// the script's animation over the title sample, then the closing pieces.
// Returns into wait_fire, or leaves through an exit on fire.
ROUTINE(sub_00EC40, 0x00EC40)
  tst<W>(rd16(second_side_ok));
  if (cc_ne()) GOTO(0xECB4);
  set_disk_request(0, 0, 10, 49, short_block);
  JSR(0x00E92A, 0xEC6E)
  a4 = short_block_data;
  a1 = short_block_end;
  a3 = node_table;
  a6 = unpack_output;
  JSR(0x00FC88, 0xEC8A)
  a1 = blank_palette;
  JSR(0x00AF96, 0xEC94)
  JSR(0x0079DC, 0xEC98)
  a0 = screen_buffer_a;
  a1 = screen_buffer_b;
  copy_screen_longs();
  a1 = title_palette;
  JSR(0x00AF96, 0xECAA)
  wr32(split_title, 0xFFFF0000);
  RTS();

HERE(0xECB4)
  set_disk_request(1, 1, 1, 143, full_block);
  JSR(0x00E92A, 0xECE0)
  a1 = blank_palette;
  JSR(0x00AF96, 0xECEA)
  JSR(0x0079DC, 0xECEE)
  a0 = full_picture;
  a1 = screen_buffer_b;
  copy_screen_longs();
  a1 = title_palette;
  JSR(0x00AF96, 0xED02)

  // Eight timed steps; a fire button at any of their VBLs leaves at once.
  put<W>(d6, 100);
LOOP(0xED06)
  JSR(0x0079DC, 0xED0A)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xED06);
  JSR(0x00EF0C, 0xED26)
  put<W>(d6, 70);
LOOP(0xED2A)
  JSR(0x0079DC, 0xED2E)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xED2A);
  JSR(0x00F620, 0xED4A)
  put<W>(d6, 4);
LOOP(0xED4E)
  JSR(0x0079DC, 0xED52)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xED4E);
  JSR(0x00F5B8, 0xED6E)
  put<W>(d6, 36);
LOOP(0xED72)
  JSR(0x0079DC, 0xED76)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xED72);
  JSR(0x00F620, 0xED92)
  put<W>(d6, 4);
LOOP(0xED96)
  JSR(0x0079DC, 0xED9A)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xED96);
  JSR(0x00F5B8, 0xEDB6)
  put<W>(d6, 26);
LOOP(0xEDBA)
  JSR(0x0079DC, 0xEDBE)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xEDBA);
  JSR(0x00F5EC, 0xEDDA)
  put<W>(d6, 33);
LOOP(0xEDDE)
  JSR(0x0079DC, 0xEDE2)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xEDDE);
  JSR(0x00F606, 0xEDFE)
  put<W>(d6, 53);
LOOP(0xEE02)
  JSR(0x0079DC, 0xEE06)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  put<W>(d6, d6 - 1);
  if ((d6 & 0xFFFF) != 0xFFFF) GOTO(0xEE02);
  JSR(0x00F5D2, 0xEE22)

  // The finished picture becomes the animation's clean background.
  JSR(0x007558, 0xEE26)

  // The title sample on Timer A (4,915.2 interrupts a second); the pointer
  // is written before the vector, with the timer still off.
  wr16(title_mode, 0xFFFF);
  wr32(title_sample_ptr, title_sample_start);
  wr32(timer_a_vector, title_sample_isr);
  push16(get_sr());
  set_sr(0x2700);
  wr8(st_io::mfp_isra, bclr<B>(5, rd8(st_io::mfp_isra)));
  wr8(st_io::mfp_ipra, bclr<B>(5, rd8(st_io::mfp_ipra)));
  wr8(st_io::mfp_imra, bset<B>(5, rd8(st_io::mfp_imra)));
  wr8(st_io::mfp_iera, bset<B>(5, rd8(st_io::mfp_iera)));
  wr8(st_io::mfp_tacr, 2);
  wr8(st_io::mfp_tadr, 50);
  set_sr(pop16());

  // The script: one byte a VBL, ended by the first byte of $80 or more.
  a3 = title_script;
LOOP(0xEE7A)
  if (rd8(fire_port1) != 0) JMP(0x00EC16);
  if (rd8(fire_port0) != 0) JMP(0x00EC2A);
  JSR(0x0079DC, 0xEE92)
  d5 = 0;
  put<B>(d5, rd8(a3));
  a3 += 1;
  if (d5 & 0x80) GOTO(0xEEA6);
  JSR(0x00F688, 0xEEA2)
  GOTO(0xEE7A);

  // The closing pieces over a clean animation area.
HERE(0xEEA6)
  a0 = animation_background;
  a1 = animation_area;
  for (u32 line = 0; line < 37; ++line) {
    for (u32 i = 0; i < 56; i += 4) wr32(a1 + i, rd32(a0 + i));
    a0 += 160;
    a1 += 160;
  }
  JSR(0x00F5B8, 0xEEB0)
  JSR(0x00EEF2, 0xEEB6)
  JSR(0x00EF3E, 0xEEBC)
  JSR(0x00EF58, 0xEEC2)
  JSR(0x00F56E, 0xEEC8)
  wr32(split_title, 0xFFFF0000); // split_title on, title_mode off
  RTS();
END_ROUTINE

namespace {

// One fixed blit: source, destination, groups - 1, lines - 1.
inline void load_blit(u32 from, u32 to, u32 groups, u32 lines) {
  a0 = from;
  a1 = to;
  put<W>(d6, groups);
  put<W>(d7, lines);
}

constexpr u32 tile = 0x0579CA;

} // namespace

// $EEF2: the lower piece at x 128, y 157.
ROUTINE(sub_00EEF2, 0x00EEF2)
  load_blit(0x05EB1A, 0x026260, 6, 29);
  JSR(0x00F63A, 0xEF08)
  RTS();
END_ROUTINE

// $EF0C: the left picture at x 32, y 6, then the lower piece.
ROUTINE(sub_00EF0C, 0x00EF0C)
  load_blit(0x05ABDA, 0x0203D0, 8, 193);
  JSR(0x00F63A, 0xEF22)
  load_blit(0x05EB1A, 0x026260, 6, 29);
  JSR(0x00F63A, 0xEF3A)
  RTS();
END_ROUTINE

// $EF3E: the top-right picture at x 208, y 0; its 61st line comes from the
// first bytes of the panel piece after it.
ROUTINE(sub_00EF3E, 0x00EF3E)
  load_blit(0x05649A, 0x020068, 6, 60);
  JSR(0x00F63A, 0xEF54)
  RTS();
END_ROUTINE

// $EF58: the bottom row of tiles (reaching into the unshown lines 200 and
// 201), the panel piece at x 224, y 158, and a gap of colour 0 on line 193.
ROUTINE(sub_00EF58, 0x00EF58)
  load_blit(tile, 0x027440, 0, 15);
  JSR(0x00F63A, 0xEF6E)
  put<W>(d5, 49);
LOOP(0xEF72)
  load_blit(tile, 0x027448, 0, 15);
  JSR(0x00F63A, 0xEF88)
  put<W>(d5, d5 - 1);
  if ((d5 & 0xFFFF) != 0xFFFF) GOTO(0xEF72);
  a2 = 0x027450;
  put<W>(d5, 11);
LOOP(0xEF94)
  a0 = tile;
  a1 = a2;
  put<W>(d6, 0);
  put<W>(d7, 15);
  JSR(0x00F63A, 0xEFA6)
  a2 += 8;
  put<W>(d5, d5 - 1);
  if ((d5 & 0xFFFF) != 0xFFFF) GOTO(0xEF94);
  load_blit(0x0571BA, 0x026330, 5, 42);
  JSR(0x00F63A, 0xEFC2)
  for (u32 i = 0; i < 16; i += 4) wr32(0x0278C0 + i, 0);
  RTS();
END_ROUTINE
