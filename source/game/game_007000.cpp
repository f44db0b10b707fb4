// Page $7000: the game's machine services (border picture, palette, music
// calls, screen copy and clear, the heavy projectiles' hits on vehicles
// with their destruction patterns, random numbers, delays, pause, MFP Timer A,
// keyboard processor), its interrupt handlers with the keyboard byte sorter
// and the key commands, and the exception report with the digit printers
// and the missions' status panel.
#include "game/game_io.h"
#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "game/vertical_objects_ram.h"
#include "machine/loader_hold.h"

using namespace st_io;

namespace {

constexpr u32 border_picture = 0x02E01C;     // 64 x 200 pixels, 32 bytes a line
constexpr u32 driver_start_address = 0x000198;
constexpr u32 saved_music_volume = 0x0001A2;
constexpr u32 driver_playing = 0x0424F2;     // byte of the YM driver
constexpr u32 driver_volume = 0x042502;      // byte of the YM driver

// Delays: counts that stand for one VBL of host time.
constexpr u32 black_delay_per_vbl = 6163;
constexpr u32 fire_delay_per_vbl = 2504;

// Key commands.
constexpr u32 disk_cache_tag = 0x0020EE;     // long of the floppy driver
constexpr u32 loader_buffer_address = 0x0020FA;
constexpr u32 resident_entry_table = 0x00217A;
constexpr u32 monitor_saved_sr = 0x002224;
constexpr u32 monitor_a0 = 0x0021D4;          // what the monitor gets in a0
constexpr u32 monitor_way_back = 0x002120;   // sub_002120
constexpr u32 code_download_start = 0x020000;
constexpr u32 data_download_start = 0x073B92;

// Exception report.
constexpr u32 crash_marker = 0x000380;       // "ORN.", then d0-d7
constexpr u32 crash_dregs = 0x000384;
constexpr u32 crash_aregs = 0x0003A4;
constexpr u32 crash_vector = 0x0003C4;       // vector word, then the frame
constexpr u32 crash_stack = 0x0003D0;        // 40 longs of the stack
constexpr u32 crash_entry = 0x000470;
constexpr u32 crash_stack_reset = 0x002400;
constexpr u32 program_entry = 0x002C00;

// Status panel.
constexpr u32 panel_phase = 0x00025A;        // word 0-7

constexpr u32 line_bytes = 160;

void set_text_cursor(u32 line, u32 column, u32 margin) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, margin);
}

} // namespace

// $7134: draws the border picture into screen $020000: the 64 pixels of
// each line on the left edge and their mirror image on the right edge.
ROUTINE(sub_007134, 0x007134)
  save_regs(dregs(0, 1) | dregs(5, 7) | aregs(0, 1));
  a0 = border_picture;
  a1 = screen_buffer_b;
  put<W>(d7, 199);
LOOP(0x713E)
  for (u32 i = 0; i < 32; i += 4) wr32(a1 + i, rd32(a0 + i));
  a0 += 32;
  a1 += line_bytes;
  if (dbf(d7)) GOTO(0x713E);
  a0 = screen_buffer_b;
  put<W>(d7, 199);
LOOP(0x7156)
  a1 = a0 + 152; // the rightmost 16-pixel group of the line
  put<W>(d6, 3);
LOOP(0x715E)
  put<W>(d5, 3);
LOOP(0x7162)
  put<W>(d1, rd16(a0));
  a0 += 2;
  JSR(0x0071A6, 0x716A)
  wr16(a1, d0);
  a1 += 2;
  if (dbf(d5)) GOTO(0x7162);
  a1 -= 16; // the next group to the left
  if (dbf(d6)) GOTO(0x715E);
  a0 += line_bytes - 32;
  if (dbf(d7)) GOTO(0x7156);
  restore_regs(dregs(0, 1) | dregs(5, 7) | aregs(0, 1));
  RTS();
END_ROUTINE

// $71A6: d0.w := d1.w with its bits in reverse order; d1.w ends as 0.
ROUTINE(sub_0071A6, 0x0071A6)
  for (int i = 0; i < 16; ++i) {
    put<W>(d1, lsr<W>(d1, 1));
    put<W>(d0, roxl<W>(d0, 1));
  }
  RTS();
END_ROUTINE

// ---- Vehicle hits ------------------------------------------------------------

namespace {

namespace veh = vehicle_field;
namespace proj = projectile_field;

constexpr u32 vehicle_points = 2000;
constexpr u32 destroyed_sample = 3;
constexpr u32 wreck_list_type0 = 0x00738A;
constexpr u32 wreck_list_type2 = 0x007400;
constexpr u32 wreck_list_type4 = 0x007476;
constexpr u32 wreck_list_other = 0x0074C4;
constexpr u32 wreck_list_end = 0x8000; // a code from here on ends a list
constexpr u32 wreck_explosion = 1;

} // namespace

// $71E8: the heavy projectiles (types 16-23) against the vehicles; the
// first vehicle in the box takes the projectile. An intact one becomes a
// wreck: 2,000 points to the owner, it stops, its mounted homing units go,
// sample 3 sounds (panned by the vehicle at a4 from the return address
// $72EE) and its destruction pattern follows. A wreck only takes the blast.
ROUTINE(sub_0071E8, 0x0071E8)
  a6 = projectile_table.address;
  put<W>(d7, projectile_table.records - 1);
LOOP(0x71F0)
  tst<W>(rd16(a6 + proj::active));
  if (cc_eq()) GOTO(0x7310);
  if (((rd16(a6 + proj::type) - proj::first_heavy) & 0xFFFF) > proj::last_heavy - proj::first_heavy) GOTO(0x7310);
  a4 = vehicle_table.address;
  put<W>(d6, vehicle_table.records - 1);
LOOP(0x7200)
  tst<W>(rd16(a4 + veh::active));
  if (cc_eq()) GOTO(0x7300);
  put<W>(d0, rd16(a6 + proj::y) + 4 - rd16(a4 + veh::y));
  if ((d0 & 0xFFFF) > rd16(a4 + veh::height)) GOTO(0x7300);
  put<W>(d0, rd16(a6 + proj::x) + 2 - rd16(a4 + veh::x));
  if ((d0 & 0xFFFF) > rd16(a4 + veh::width)) GOTO(0x7300);
  wr16(a6 + proj::active, 0);
  tst<W>(rd16(a4 + veh::destroyed));
  if (cc_eq()) GOTO(0x7270);
  put<W>(d0, rd16(a6 + proj::x) - 2);
  put<W>(d1, rd16(a6 + proj::y) - 8);
  put<W>(d2, rd16(a6 + proj::owner));
  d3 = 0;
  JSR(0x006CA8, 0x7260)
  GOTO(0x7310);
HERE(0x7270)
  {
    const u32 score = rd16(a6 + proj::owner) == 0 ? player1 : player2;
    wr32(score + player_record::score, rd32(score + player_record::score) + vehicle_points);
  }
  wr16(a4 + veh::speed, 0);
  wr16(a4 + veh::destroyed, 0xFFFF);
  wr16(a4 + veh::frame, rd16(a4 + veh::frame) + 1);
  for (u32 s = 0; s < veh::slot_count && rd32(a4 + veh::slots + 4 * s) != 0; ++s)
    wr16(rd32(a4 + veh::slots + 4 * s), 0);
  put<W>(d0, destroyed_sample);
  JSR(0x00E756, 0x72EE)
  JSR(0x007324, 0x72F2)
  GOTO(0x7310);
HERE(0x7300)
  a4 += vehicle_table.size;
  if (dbf(d6)) GOTO(0x7200);
HERE(0x7310)
  a6 += projectile_table.size;
  if (dbf(d7)) GOTO(0x71F0);
  RTS();
END_ROUTINE

// $7324: the destruction pattern of the vehicle at a4, from the list of its
// type: explosions (code 1) and debris with a start delay (other codes
// below $8000), each offset from the vehicle's corner.
ROUTINE(sub_007324, 0x007324)
  put<W>(d0, rd16(a4 + veh::type));
  a0 = wreck_list_other;
  if ((d0 & 0xFFFF) == 0) a0 = wreck_list_type0;
  if ((d0 & 0xFFFF) == 2) a0 = wreck_list_type2;
  if ((d0 & 0xFFFF) == 4) a0 = wreck_list_type4;
LOOP(0x7340)
  put<W>(d2, rd16(a0));
  if ((d2 & 0xFFFF) >= wreck_list_end) RTS();
  put<W>(d0, rd16(a4 + veh::x) + rd16(a0 + 2));
  put<W>(d1, rd16(a4 + veh::y) + rd16(a0 + 4));
  if ((d2 & 0xFFFF) != wreck_explosion) GOTO(0x736C);
  put<W>(d2, 0xFFFF);
  a0 += 6;
  JSR(0x006CA8, 0x7368)
  GOTO(0x7340);
HERE(0x736C)
  put<W>(d2, rd16(a0 + 6));
  a0 += 8;
  JSR(0x0063A4, 0x7378)
  GOTO(0x7340);
END_ROUTINE

// $74F0: the palette load's second entry.
ROUTINE(sub_0074F0, 0x0074F0)
  JMP(0x0075E2);
END_ROUTINE

// $74F4: starts tune d0.w; the tick stays off while the driver starts it.
ROUTINE(sub_0074F4, 0x0074F4)
  wr8(music_on, 0);
  wr32(driver_start_address, 0x041BCC);
  JSR(0x041BCC, 0x7506)
  wr8(music_on, 0xFF);
  RTS();
END_ROUTINE

// $750C: the music tick, run by the Timer C handler.
ROUTINE(sub_00750C, 0x00750C)
  tst<B>(rd8(music_on));
  if (cc_eq()) GOTO(0x7518);
  JSR(0x041BDA, 0x7518)
  RTS();
END_ROUTINE

// $751A: fades the music out over 154 VBLs (11 per volume step) and stops
// the driver; d0 and d1 are preserved.
ROUTINE(sub_00751A, 0x00751A)
  tst<B>(rd8(driver_playing));
  if (cc_eq()) GOTO(0x7554);
  wr8(saved_music_volume, rd8(driver_volume));
  push16(d1);
  push16(d0);
  put<W>(d1, 14);
LOOP(0x7530)
  put<W>(d0, 10);
LOOP(0x7532)
  JSR(0x0079DC, 0x7538)
  if (dbf(d0)) GOTO(0x7532);
  wr8(driver_volume, d1);
  put<W>(d1, sub<W>(1, d1));
  if (cc_ne()) GOTO(0x7530);
  wr8(music_on, 0);
  JSR(0x041BE8, 0x7550)
  put<W>(d0, pop16());
  put<W>(d1, pop16());
HERE(0x7554)
  RTS();
END_ROUTINE

// $7558: copies screen $020000 to screen $018000.
ROUTINE(sub_007558, 0x007558)
  a0 = screen_buffer_b;
  a1 = screen_buffer_a;
  JMP(0x007564);
END_ROUTINE

// $7564: copies 32,000 bytes from a0 to a1, 16 bytes a pass.
ROUTINE(sub_007564, 0x007564)
  put<W>(d0, 1999);
LOOP(0x7568)
  for (int i = 0; i < 4; ++i) {
    wr32(a1, rd32(a0));
    a0 += 4;
    a1 += 4;
  }
  if (dbf(d0)) GOTO(0x7568);
  RTS();
END_ROUTINE

// $7576: the random generator: the seed shifted left by one, its new bit 0
// the XOR of old bits 22 and 0.
ROUTINE(sub_007576, 0x007576)
  {
    const u32 v = rd32(random_seed) << 1;
    d0 = move<L>(v | (((v >> 23) ^ (v >> 1)) & 1));
  }
  wr32(random_seed, d0);
  RTS();
END_ROUTINE

// $759C: clears longs from a0 while a0 stays below a1 (at least one).
ROUTINE(sub_00759C, 0x00759C)
LOOP(0x759C)
  wr32(a0, 0);
  a0 += 4;
  cmpa<L>(a1, a0);
  if (cc_cs()) GOTO(0x759C);
  RTS();
END_ROUTINE

// $75A4: counts d7 down to 0 at 6,163 counts per VBL of host time. The
// host may end it at once after its loader screen (the black pause).
ROUTINE(sub_0075A4, 0x0075A4)
LOOP(0x75A4)
  if (skip_black_delay()) {
    d7 = move<L>(0);
    GOTO(0x75AC);
  }
  if (g_cpu.vbl_flag) {
    g_cpu.vbl_flag = 0;
    GOTO(0x75AA);
  }
  if (d7 <= black_delay_per_vbl + 1) GOTO(0x75AA);
  d7 -= black_delay_per_vbl - 1;
WAIT_VBL_FLAG(0x75A8)
HERE(0x75AA)
  d7 = sub<L>(1, d7);
  if (cc_ne()) GOTO(0x75A4);
HERE(0x75AC)
  RTS();
END_ROUTINE

// $75AE: the same delay at 2,504 counts per VBL, ended early (d7 kept)
// while either fire button is held.
ROUTINE(delay_loop, 0x0075AE)
LOOP(0x75AE)
  put<B>(d1, rd8(player2 + player_record::fire));
  put<B>(d0, rd8(player1 + player_record::fire));
  put<B>(d0, add<B>(d1, d0));
  if (cc_mi()) GOTO(0x75C2);
  if (g_cpu.vbl_flag) {
    g_cpu.vbl_flag = 0;
    GOTO(0x75BE);
  }
  if (d7 <= fire_delay_per_vbl + 1) GOTO(0x75BE);
  d7 -= fire_delay_per_vbl - 1;
WAIT_VBL_FLAG(0x75BA)
HERE(0x75BE)
  d7 = sub<L>(1, d7);
  if (cc_ne()) GOTO(0x75AE);
HERE(0x75C2)
  RTS();
END_ROUTINE

// $75C4: pause while F8 is the last key: until F9 or a fire button.
ROUTINE(sub_0075C4, 0x0075C4)
  cmp<B>(0x42, rd8(last_key));
  if (cc_ne()) GOTO(0x75E0);
LOOP(0x75CC)
  tst<B>(rd8(player1 + player_record::fire));
  if (cc_ne()) GOTO(0x75E0);
  tst<B>(rd8(player2 + player_record::fire));
  if (cc_ne()) GOTO(0x75E0);
  cmp<B>(0x43, rd8(last_key));
  if (cc_eq()) GOTO(0x75E0);
  if (kit_wait(0x75DE)) return;
LABEL(0x75DE)
  GOTO(0x75CC);
HERE(0x75E0)
  RTS();
END_ROUTINE

// $75E2: loads the 16 colours at a1. Also used by interrupt handlers, so
// it touches a0 and a1 only.
ROUTINE(sub_0075E2, 0x0075E2)
  a0 = palette_regs;
  for (int i = 0; i < 8; ++i) {
    wr32(a0, rd32(a1));
    a0 += 4;
    a1 += 4;
  }
  RTS();
END_ROUTINE

// $7626: shows screen $020000 and clears both screens.
ROUTINE(sub_007626, 0x007626)
  d0 = screen_buffer_b;
  wr32(draw_screen, d0);
  JSR(0x007B2A, 0x7636)
  a0 = screen_buffer_b;
  a1 = screen_buffer_a;
  put<W>(d7, 2047);
LOOP(0x7646)
  for (int i = 0; i < 4; ++i) {
    wr32(a0, 0);
    a0 += 4;
  }
  for (int i = 0; i < 4; ++i) {
    wr32(a1, 0);
    a1 += 4;
  }
  if (dbf(d7)) GOTO(0x7646);
  RTS();
END_ROUTINE

namespace {

// The game's handlers for exception vectors 2-11 (the report's stubs).
constexpr u32 exception_stubs[10] = {0x007B3C, 0x007B46, 0x007B50, 0x007B5A, 0x007B64,
                                     0x007B6E, 0x007B78, 0x007B82, 0x007B8C, 0x007B96};
constexpr u32 first_exception_vector = 0x000008;
constexpr u32 sample_idle_handler = 0x00E660;
constexpr u32 ikbd_reset_wait = 500000; // counts of $75A4, about 81 VBLs

} // namespace

// $765A: the interrupt set-up: the game's exception and interrupt vectors
// and the MFP as every later routine assumes them (Timer B counting 54
// display lines, Timer C at 2,457,600 / 200 / 253 = 48.57 Hz, the keyboard
// ACIA; Timer A stopped), written with interrupts masked; then the keyboard
// processor reset and set to report every joystick change. Returns with SR
// $2500; d0, d1, d7 changed.
ROUTINE(sub_00765A, 0x00765A)
  set_sr(0x2700);
  for (u32 i = 0; i < 10; ++i) wr32(first_exception_vector + 4 * i, exception_stubs[i]);
  wr32(vector_acia, 0x0079EC);
  wr32(vector_level6, 0x0079EC);
  wr8(mfp_imra, 0);
  wr8(mfp_iera, 0);
  wr8(mfp_ipra, 0);
  wr8(mfp_isra, 0);
  wr8(mfp_imrb, 0x40);
  wr8(mfp_ierb, 0x40);
  wr32(vector_vbl, 0x0078A8);
  wr8(mfp_tacr, 0);
  wr8(mfp_tadr, 34);
  wr32(vector_timer_a, sample_idle_handler);
  JSR(0x007866, 0x76D0)
  wr32(vector_timer_b, 0x007932);
  wr8(mfp_tbcr, 0);
  wr8(mfp_tbdr, 54);
  wr8(mfp_tbcr, 8);
  wr32(vector_timer_c, 0x007896);
  wr8(mfp_tcdr, 253);
  wr8(mfp_tcdcr, (rd8(mfp_tcdcr) & 0x8F) | 0x70);
  for (u32 r : {mfp_iera, mfp_ierb, mfp_imra, mfp_imrb, mfp_ipra, mfp_iprb, mfp_isra, mfp_isrb}) wr8(r, 0);
  wr8(mfp_imrb, 0x60);
  wr8(mfp_ierb, 0x60);
  wr8(mfp_imra, 0x01);
  wr8(mfp_iera, 0x01);
  wr8(mfp_ddr, bclr<B>(0, rd8(mfp_ddr)));
  set_sr(0x2500);
  d0 = 0x80;
  JSR(0x007818, 0x77C4)
  d0 = 0x01;
  JSR(0x007818, 0x77CC)
  d7 = ikbd_reset_wait;
  JSR(0x0075A4, 0x77D8)
  d0 = 0x14;
  JSR(0x007818, 0x77E6)
  JMP(0x0077F6);
END_ROUTINE

// $77F6: keyboard ACIA reset: one read of each ACIA register.
ROUTINE(sub_0077F6, 0x0077F6)
  put<B>(d0, rd8(acia_kbd_status));
  put<B>(d0, rd8(acia_kbd_data));
  put<B>(d0, rd8(acia_midi_status));
  put<B>(d0, move<B>(rd8(acia_midi_data)));
  wr8(mfp_isrb, bclr<B>(6, rd8(mfp_isrb)));
  RTS();
END_ROUTINE

// $7818: sends d0.b to the keyboard processor once the ACIA can take it.
ROUTINE(sub_007818, 0x007818)
LOOP(0x7818)
  put<B>(d1, rd8(acia_kbd_status));
  btst<B>(1, d1);
  if (cc_ne()) GOTO(0x7822);
  if (kit_wait(0x7820)) return;
LABEL(0x7820)
  GOTO(0x7818);
HERE(0x7822)
  wr8(acia_kbd_data, d0);
  RTS();
END_ROUTINE

// $782C: starts MFP Timer A at 2,457,600 / 10 / 50 = 4,915.2 Hz for the
// sample player (whatever handler vector $134 holds).
ROUTINE(sub_00782C, 0x00782C)
  push16(get_sr());
  set_sr(0x2700);
  wr8(mfp_isra, bclr<B>(5, rd8(mfp_isra)));
  wr8(mfp_ipra, bclr<B>(5, rd8(mfp_ipra)));
  wr8(mfp_imra, bset<B>(5, rd8(mfp_imra)));
  wr8(mfp_iera, bset<B>(5, rd8(mfp_iera)));
  wr8(mfp_tadr, 50);
  wr8(mfp_tacr, 2);
  set_sr(pop16());
  RTS();
END_ROUTINE

// $7866: stops MFP Timer A.
ROUTINE(sub_007866, 0x007866)
  push16(get_sr());
  set_sr(0x2700);
  wr8(mfp_iera, bclr<B>(5, rd8(mfp_iera)));
  wr8(mfp_imra, bclr<B>(5, rd8(mfp_imra)));
  wr8(mfp_tacr, 0);
  wr8(mfp_isra, bclr<B>(5, rd8(mfp_isra)));
  wr8(mfp_ipra, bclr<B>(5, rd8(mfp_ipra)));
  set_sr(pop16());
  RTS();
END_ROUTINE

// --- interrupt handlers -------------------------------------------------------

// $7896: MFP Timer C (48.57 Hz): the music tick, with the MFP free for
// the keyboard and the raster again.
ROUTINE(timer_c_isr, 0x007896)
  wr8(mfp_isrb, bclr<B>(5, rd8(mfp_isrb)));
  set_sr(0x2500);
  JSR(0x00750C, 0x78A6)
  RTE();
END_ROUTINE

// $78A8: the VBL: floppy motor, the top palette and the first Timer B
// split of the raster mode, the VBL counter and frame countdown, samples
// and colour cycling.
ROUTINE(vbl_isr, 0x0078A8)
  save_regs(dregs(0, 7) | aregs(0, 6));
  JSR(0x00EAD8, 0x78B2)
  tst<W>(rd16(split_map));
  if (cc_eq()) GOTO(0x78D0);
  a1 = 0x00C72E;
  JSR(0x0075E2, 0x78C2)
  wr8(mfp_tbdr, 48);
  wr8(mfp_tbcr, 8);
  GOTO(0x790C);
HERE(0x78D0)
  tst<W>(rd16(split_title));
  if (cc_eq()) GOTO(0x78EC);
  a1 = 0x00EB76;
  JSR(0x0075E2, 0x78DE)
  wr8(mfp_tbdr, 150);
  wr8(mfp_tbcr, 8);
  GOTO(0x790C);
HERE(0x78EC)
  tst<W>(rd16(title_mode));
  if (cc_eq()) GOTO(0x790C);
  a1 = 0x00EB76;
  JSR(0x0075E2, 0x78FA)
  wr8(mfp_tbdr, 144);
  wr8(mfp_tbcr, 8);
HERE(0x790C)
  wr16(vbl_counter, add<W>(1, rd16(vbl_counter)));
  wr16(frame_countdown, sub<W>(1, rd16(frame_countdown)));
  if (cc_pl()) GOTO(0x7920);
  // A negative countdown stops at the first odd value it reaches.
  wr8(frame_countdown + 1, bset<B>(0, rd8(frame_countdown + 1)));
HERE(0x7920)
  JSR(0x00E7C0, 0x7926)
  JSR(0x008648, 0x792C)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTE();
END_ROUTINE

// $7932: MFP Timer B, the raster split: the lower palette of the mode.
ROUTINE(timer_b_isr, 0x007932)
  tst<W>(rd16(split_map));
  if (cc_eq()) GOTO(0x7946);
  save_regs(aregs(0, 1));
  a1 = 0x00C70E;
  GOTO(0x7954);
HERE(0x7946)
  tst<W>(rd16(split_title));
  if (cc_eq()) GOTO(0x796A);
  save_regs(aregs(0, 1));
  a1 = 0x00EBB6;
HERE(0x7954)
  JSR(0x0075E2, 0x795A)
  restore_regs(aregs(0, 1));
  wr8(mfp_tbcr, 0);
  wr8(mfp_isra, bclr<B>(0, rd8(mfp_isra)));
  RTE();
HERE(0x796A)
  tst<W>(rd16(title_mode));
  if (cc_eq()) GOTO(0x7994);
  save_regs(aregs(0, 1));
  a1 = 0x00EBD6;
  JSR(0x0075E2, 0x797C)
  wr32(vector_timer_b, 0x0079B2); // the third zone, 40 lines on
  restore_regs(aregs(0, 1));
  wr8(mfp_tbcr, 0);
  wr8(mfp_tbdr, 40);
  wr8(mfp_tbcr, 8);
  wr8(mfp_isra, bclr<B>(0, rd8(mfp_isra)));
  RTE();
HERE(0x7994)
  wr8(mfp_tbcr, 0);
  wr8(mfp_isra, bclr<B>(0, rd8(mfp_isra)));
  RTE();
END_ROUTINE

// $79A0: a handler that only returns.
ROUTINE(sub_0079A0, 0x0079A0)
  RTE();
END_ROUTINE

// $79B2: Timer B for the title's third zone: back to the top palette.
ROUTINE(sub_0079B2, 0x0079B2)
  save_regs(aregs(0, 1));
  wr32(vector_timer_b, 0x007932);
  a1 = 0x00EB76;
  JSR(0x0075E2, 0x79C4)
  wr8(mfp_tbcr, 0);
  wr8(mfp_isra, bclr<B>(0, rd8(mfp_isra)));
  restore_regs(aregs(0, 1));
  RTE();
END_ROUTINE

// $79DC: waits until the VBL counter moves; d0 is preserved.
ROUTINE(wait_vbl, 0x0079DC)
  g_cpu.vbl_wait_armed = 1;
  push16(d0);
  put<W>(d0, rd16(vbl_counter));
LOOP(0x79E2)
  if (g_cpu.vbl_wait_armed) {
    g_cpu.vbl_wait_armed = 0;
    if (kit_wait(0x79E2)) return;
  }
  cmp<W>(rd16(vbl_counter), d0);
  if (cc_eq()) GOTO(0x79E2);
  put<W>(d0, pop16());
  RTS();
END_ROUTINE

// $79EC: the keyboard ACIA: one byte per interrupt; MIDI bytes are dropped.
ROUTINE(acia_isr, 0x0079EC)
  save_regs(dregs(0, 1) | aregs(0, 0) | aregs(4, 5));
  btst<B>(7, rd8(acia_midi_status));
  if (cc_eq()) GOTO(0x79FE);
  rd8(acia_midi_data);
HERE(0x79FE)
  btst<B>(7, rd8(acia_kbd_status));
  if (cc_eq()) GOTO(0x7A0E);
  JSR(0x007A1E, 0x7A0E)
  wr8(mfp_isrb, bclr<B>(6, rd8(mfp_isrb)));
  restore_regs(dregs(0, 1) | aregs(0, 0) | aregs(4, 5));
  RTE();
END_ROUTINE

// $7A1E: sorts a keyboard byte: packet data, packet header or key code.
ROUTINE(sub_007A1E, 0x007A1E)
  put<B>(d0, rd8(acia_kbd_data));
  tst<B>(rd8(ikbd_state));
  if (cc_eq()) GOTO(0x7A2C);
  JMP(0x007ADA);
HERE(0x7A2C)
  cmp<B>(0xF6, d0);
  if (cc_cs()) GOTO(0x7A38);
  wr8(ikbd_state, d0);
  RTS();
HERE(0x7A38)
  wr8(last_key, d0);
  push32(d0);
  JSR(0x007A48, 0x7A42)
  d0 = pop32();
  RTS();
END_ROUTINE

// $7A48: key commands. The developer downloads, the monitor keys (their
// tests stand at $2104 and $210A), then every other byte goes on into the
// typed keys at $2110.
ROUTINE(sub_007A48, 0x007A48)
  tst<W>(rd16(dev_mode));
  if (cc_eq()) GOTO(0x2104);
  cmp<B>(0x0F, d0);
  if (cc_eq()) GOTO(0x7A4A);
  cmp<B>(0x72, d0);
  if (cc_eq()) GOTO(0x7A4A);
  cmp<B>(0x70, d0);
  if (cc_eq()) GOTO(0x7A4E);
HERE(0x2104)
  cmp<B>(0xE5, d0);
  if (cc_eq()) GOTO(0x7A5E);
HERE(0x210A)
  cmp<B>(0xE6, d0);
  if (cc_eq()) GOTO(0x7A5E);
  JMP(0x002110);

  // Code download: music off, the bytes go to $020000 on; P runs them.
  // The destination, colour and message wait on the stack while the
  // screens and the MFP are set up again.
HERE(0x7A4A)
  JSR(0x041BE8, 0x7A4C)
  push32(code_download_start);
  push32(15);
  push32(0x00825E);
  GOTO(0x7A52);
  // Data download: silence, the bytes go to $073B92 on; P starts a new game.
HERE(0x7A4E)
  set_sr(0x2700);
  JSR(0x0083B2, 0x7A50)
  push32(data_download_start);
  push32(5);
  push32(0x00826B);
HERE(0x7A52)
  set_sr(0x2700);
  JSR(0x007626, 0x7A54)
  JSR(0x00765A, 0x7A56)
  set_sr(0x2700);
  set_text_cursor(0x7800, 10, 10);
  wr16(text_colour, rd32(a7 + 4));
  a0 = rd32(a7);
  JSR(0x008584, 0x7A58)
  a7 += 8;
  a4 = pop32(); // where the next byte goes
  a3 = a4;      // which download this is
  // Port B of the YM becomes an input, the parallel BUSY line too.
  wr8(ym_select, 7);
  put<B>(d1, rd8(ym_select));
  wr8(ym_data, bclr<B>(7, d1));
  wr8(mfp_ddr, bclr<B>(0, rd8(mfp_ddr)));
  put<B>(d1, rd8(ym_select));
  put<B>(d2, and_<B>(0xDF, d1)); // strobe low (bit 5 of port A)
  put<B>(d3, or_<B>(0x20, d1));  // strobe high
  wr8(ym_select, 14);
  wr8(ym_data, d2);
  // The port and the keyboard change only between slices: every pass
  // gives the host the processor.
LOOP(0x7A5A)
  btst<B>(0, rd8(mfp_gpip));
  if (cc_eq()) GOTO(0x7A5C);
  put<B>(d0, rd8(acia_kbd_data));
  cmp<B>(0x19, d0);
  if (cc_ne()) GOTO(0x7A64);
  wr8(ym_data, d3); // key P: the end
  cmpa<L>(code_download_start, a3);
  if (cc_eq()) JMP(0x020022);
  JMP(0x00373A);
HERE(0x7A5C) // a byte is waiting on port B
  wr8(ym_data, d3);
  wr8(ym_select, 15);
  wr8(a4, rd8(ym_select));
  a4 += 1;
  wr8(ym_select, 14);
  wr8(ym_data, d2);
HERE(0x7A64)
  if (kit_wait(0x7A66)) return;
LABEL(0x7A66)
  GOTO(0x7A5A);

  // Monitor keys: all registers saved, the resident monitor entered with
  // a0 = $21D4, a2 = its way back, d0 = 0 ($E5, after the cache record)
  // or 55 ($E6). It does not come back here.
HERE(0x7A5E)
  save_regs(dregs(0, 7) | aregs(0, 6));
  if ((d0 & 0xFF) == 0xE5) {
    wr32(rd32(loader_buffer_address) - 8, 0x6356616C); // "cVal"
    wr32(rd32(loader_buffer_address) - 4, rd32(disk_cache_tag));
    d0 = 0;
  } else {
    d0 = 55;
  }
  a0 = monitor_a0;
  wr16(monitor_saved_sr, get_sr());
  set_sr(0x2700);
  a2 = monitor_way_back;
  wr32(disk_cache_tag, 0xFFFFFFFF);
  a1 = rd32(resident_entry_table);
  JSR_DYN(a1 + sext16(rd16(a1 + 12)), 0x7A60)
  restore_regs(dregs(0, 7) | aregs(0, 6));
  RTS();
END_ROUTINE

// $7ADA: a joystick packet's data byte into a player record: $FF packets
// are joystick 1 (player 1), $FE joystick 0 (player 2). Any other header
// is a two-stick report: player 2's byte, then player 1's.
ROUTINE(sub_007ADA, 0x007ADA)
  cmp<B>(0xFF, rd8(ikbd_state));
  if (cc_ne()) GOTO(0x7AE8);
  a4 = player1;
  GOTO(0x7B02);
HERE(0x7AE8)
  cmp<B>(0xFE, rd8(ikbd_state));
  if (cc_ne()) GOTO(0x7AF4);
  a4 = player2;
  GOTO(0x7B02);
HERE(0x7AF4)
  wr8(ikbd_state, 0xFE);
  JSR(0x007ADA, 0x7AFC)
  wr8(ikbd_state, 0xFF);
  RTS();
HERE(0x7B02)
  btst<B>(7, d0);
  wr8(a4 + player_record::fire, fz ? 0x00 : 0xFF);
  btst<B>(0, d0);
  wr8(a4 + player_record::up, fz ? 0x00 : 0xFF);
  btst<B>(1, d0);
  wr8(a4 + player_record::down, fz ? 0x00 : 0xFF);
  btst<B>(2, d0);
  wr8(a4 + player_record::left, fz ? 0x00 : 0xFF);
  btst<B>(3, d0);
  wr8(a4 + player_record::right, fz ? 0x00 : 0xFF);
  wr8(ikbd_state, 0);
  RTS();
END_ROUTINE

// $7B2A: shows the screen at d0 (video base bits 8-23); d0 destroyed.
ROUTINE(sub_007B2A, 0x007B2A)
  d0 = lsr<L>(d0, 8);
  wr8(video_base_mid, d0);
  put<W>(d0, lsr<W>(d0, 8));
  wr8(video_base_high, d0);
  RTS();
END_ROUTINE

// --- exception report ---------------------------------------------------------

// $7B3C-$7B96: the stubs of exception vectors 2-11: the vector number in
// the first word of screen $020000, then the report.
ROUTINE(sub_007B3C, 0x007B3C)
  wr16(screen_buffer_b, 2);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B46, 0x007B46)
  wr16(screen_buffer_b, 3);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B50, 0x007B50)
  wr16(screen_buffer_b, 4);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B5A, 0x007B5A)
  wr16(screen_buffer_b, 5);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B64, 0x007B64)
  wr16(screen_buffer_b, 6);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B6E, 0x007B6E)
  wr16(screen_buffer_b, 7);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B78, 0x007B78)
  wr16(screen_buffer_b, 8);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B82, 0x007B82)
  wr16(screen_buffer_b, 9);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B8C, 0x007B8C)
  wr16(screen_buffer_b, 10);
  JMP(0x007B9E);
END_ROUTINE

ROUTINE(sub_007B96, 0x007B96)
  wr16(screen_buffer_b, 11);
  JMP(0x007B9E);
END_ROUTINE

// $7B9E: the exception report: registers, exception frame and stack saved
// at $380 and shown in hexadecimal; then the machine idles with its
// interrupts running and never comes back.
ROUTINE(sub_007B9E, 0x007B9E)
  set_sr(0x2700);
  wr32(crash_marker, 0x4F524E2E); // "ORN."
  movem_store<L>(dregs(0, 7) | aregs(0, 7), crash_dregs);
  wr16(crash_vector, rd16(screen_buffer_b));
  put<W>(d6, pop16());
  wr16(crash_vector + 2, pop16());
  wr32(crash_vector + 4, pop32());
  wr32(crash_vector + 8, 0);
  a0 = crash_stack;
  put<W>(d7, 39);
LOOP(0x7BE6)
  wr32(a0, pop32());
  a0 += 4;
  if (dbf(d7)) GOTO(0x7BE6);
  wr32(crash_entry, program_entry);
  a5 = 0;
  wr32(draw_screen, screen_buffer_b);
  a7 = crash_stack_reset;
  d0 = screen_buffer_b;
  JSR(0x007B2A, 0x7C0A)
  a0 = rd32(draw_screen);
  put<W>(d7, 8191);
LOOP(0x7C14)
  wr32(a0, 0);
  a0 += 4;
  if (dbf(d7)) GOTO(0x7C14);
  {
    constexpr u16 colours[8] = {0x000, 0x780, 0x630, 0x5D8, 0x060, 0x606, 0x037, 0x500};
    for (u32 i = 0; i < 8; ++i) wr16(palette_regs + 2 * i, colours[i]);
  }
  set_text_cursor(0, 0, 0);
  wr16(text_colour, 3);
  a6 = crash_marker;
LOOP(0x7C5A) // the marker and d0-d7
  d0 = rd32(a6);
  a6 += 4;
  JSR(0x007D06, 0x7C60)
  cmpa<L>(crash_aregs, a6);
  if (cc_cs()) GOTO(0x7C5A);
  d0 = 13;
  JSR(0x00858E, 0x7C6C)
  d0 = 13;
  JSR(0x00858E, 0x7C72)
  wr16(text_colour, 4);
LOOP(0x7C7A) // a0-a7
  d0 = rd32(a6);
  a6 += 4;
  JSR(0x007D06, 0x7C80)
  cmpa<L>(crash_vector, a6);
  if (cc_cs()) GOTO(0x7C7A);
  set_text_cursor(0, 22, 22);
  wr16(text_colour, 6);
LOOP(0x7CA0) // vector, frame and the first longs of the stack
  d0 = rd32(a6);
  a6 += 4;
  JSR(0x007D06, 0x7CA6)
  cmpa<L>(crash_vector + 80, a6);
  if (cc_cs()) GOTO(0x7CA0);
  set_text_cursor(0, 32, 32);
  a6 = data_download_start; // the first longs of a data download
LOOP(0x7CC2)
  d0 = rd32(a6);
  a6 += 4;
  JSR(0x007D06, 0x7CC8)
  cmpa<L>(data_download_start + 80, a6);
  if (cc_cs()) GOTO(0x7CC2);
  set_text_cursor(0, 11, 11);
  wr16(text_colour, 7);
  a6 = 0x000194;
LOOP(0x7CEA)
  d0 = rd32(a6);
  a6 += 4;
  JSR(0x007D06, 0x7CF0)
  cmpa<L>(0x000194 + 20, a6);
  if (cc_cs()) GOTO(0x7CEA);
  JSR(0x00765A, 0x7CFC)
  set_sr(0x2300);
  // Music, keys and the VBL go on; the game does not.
LOOP(0x7D04)
  if (kit_wait(0x7D04)) return;
  GOTO(0x7D04);
END_ROUTINE

// --- digits -------------------------------------------------------------------

// $7D06: prints d0 as eight hexadecimal digits and a carriage return.
ROUTINE(sub_007D06, 0x007D06)
  d4 = 7;
LOOP(0x7D08)
  d0 = rol<L>(d0, 4);
  save_regs(dregs(0, 7) | aregs(0, 0));
  put<B>(d0, and_<B>(0x0F, d0));
  cmp<B>(9, d0);
  if (cc_ls()) GOTO(0x7D1A);
  put<B>(d0, add<B>(7, d0));
HERE(0x7D1A)
  put<B>(d0, add<B>(0x30, d0));
  JSR(0x00858E, 0x7D22)
  restore_regs(dregs(0, 7) | aregs(0, 0));
  if (dbf(d4)) GOTO(0x7D08);
  d0 = 13;
  JSR(0x00858E, 0x7D34)
  RTS();
END_ROUTINE

// $7D38: prints d0 as seven decimal digits.
ROUTINE(sub_007D38, 0x007D38)
  JSR(0x007D3E, 0x7D3A)
  JMP(0x008584);
END_ROUTINE

// $7D3E: d0 (unsigned, taken modulo 10,000,000) as seven ASCII digits at
// $25E; a0 := $25E.
ROUTINE(sub_007D3E, 0x007D3E)
  for (u32 i = 0; i < 7; ++i) wr8(digit_buffer + i, '0');
  wr8(digit_buffer + 7, 0);
LOOP(0x7D5A)
  cmp<L>(9999999, d0);
  if (cc_ls()) GOTO(0x7D6A);
  d0 = sub<L>(10000000, d0);
  GOTO(0x7D5A);
LOOP(0x7D6A)
  cmp<L>(999999, d0);
  if (cc_ls()) GOTO(0x7D80);
  wr8(digit_buffer + 0, rd8(digit_buffer + 0) + 1);
  d0 = sub<L>(1000000, d0);
  GOTO(0x7D6A);
LOOP(0x7D80)
  cmp<L>(99999, d0);
  if (cc_ls()) GOTO(0x7D96);
  wr8(digit_buffer + 1, rd8(digit_buffer + 1) + 1);
  d0 = sub<L>(100000, d0);
  GOTO(0x7D80);
LOOP(0x7D96)
  cmp<L>(9999, d0);
  if (cc_ls()) GOTO(0x7DAC);
  wr8(digit_buffer + 2, rd8(digit_buffer + 2) + 1);
  d0 = sub<L>(10000, d0);
  GOTO(0x7D96);
LOOP(0x7DAC)
  cmp<W>(1000, d0);
  if (cc_cs()) GOTO(0x7DBE);
  wr8(digit_buffer + 3, rd8(digit_buffer + 3) + 1);
  put<W>(d0, sub<W>(1000, d0));
  GOTO(0x7DAC);
LOOP(0x7DBE)
  cmp<W>(100, d0);
  if (cc_cs()) GOTO(0x7DD0);
  wr8(digit_buffer + 4, rd8(digit_buffer + 4) + 1);
  put<W>(d0, sub<W>(100, d0));
  GOTO(0x7DBE);
LOOP(0x7DD0)
  cmp<B>(9, d0);
  if (cc_ls()) GOTO(0x7DD8);
  wr8(digit_buffer + 5, rd8(digit_buffer + 5) + 1);
  put<B>(d0, sub<B>(10, d0));
  GOTO(0x7DD0);
HERE(0x7DD8)
  wr8(digit_buffer + 6, d0 + '0');
  a0 = digit_buffer;
  RTS();
END_ROUTINE

// $7DE2: a bare return that other routines branch to.
ROUTINE(sub_007DE2, 0x007DE2)
  RTS();
END_ROUTINE

// --- status panel -------------------------------------------------------------

// $7E06: redraws one field of the status panel per frame, in a cycle of
// eight, into screen $020000, then copies the field's block to the same
// place in screen $018000.
ROUTINE(sub_007E06, 0x007E06)
  put<W>(d0, move<W>(rd16(panel_phase)));
  cmp<W>(6, d0);
  if (cc_hi()) GOTO(0x7E1A);
  wr16(panel_phase, d0 + 1);
  tst<W>(d0);
  if (cc_eq()) GOTO(0x7E40);
  cmp<W>(1, d0);
  if (cc_eq()) GOTO(0x7E70);
  cmp<W>(2, d0);
  if (cc_eq()) GOTO(0x7EA0);
  cmp<W>(3, d0);
  if (cc_eq()) GOTO(0x7EB8);
  cmp<W>(4, d0);
  if (cc_eq()) GOTO(0x7ED0);
  cmp<W>(5, d0);
  if (cc_eq()) GOTO(0x7F10);
  GOTO(0x7F60);
HERE(0x7E1A)
  // Phase 7, and any value outside the cycle, starts it again.
  wr16(panel_phase, 0);
  GOTO(0x7FA8);

HERE(0x7E40) // player 1's points
  set_text_cursor(50 * line_bytes, 1, 1);
  push32(rd32(draw_screen));
  wr32(draw_screen, screen_buffer_b);
  a4 = player1;
  JSR(0x008038, 0x7E62)
  wr32(draw_screen, pop32());
  a0 = screen_buffer_b + 50 * line_bytes;
  put<W>(d7, 7);
  GOTO(0x7FE6);

HERE(0x7E70) // player 2's points
  set_text_cursor(50 * line_bytes, 33, 33);
  push32(rd32(draw_screen));
  wr32(draw_screen, screen_buffer_b);
  a4 = player2;
  JSR(0x008038, 0x7E92)
  wr32(draw_screen, pop32());
  a0 = screen_buffer_b + 50 * line_bytes + 128;
  put<W>(d7, 7);
  GOTO(0x7FE6);

HERE(0x7EA0) // player 1's lives
  a4 = player1;
  a0 = screen_buffer_b + 178 * line_bytes + 1;
  JSR(0x0080AA, 0x7EAC)
  a0 = screen_buffer_b + 178 * line_bytes;
  put<W>(d7, 15);
  GOTO(0x7FE6);

HERE(0x7EB8) // player 2's lives
  a4 = player2;
  a0 = screen_buffer_b + 178 * line_bytes + 128 + 1;
  JSR(0x0080AA, 0x7EC4)
  a0 = screen_buffer_b + 178 * line_bytes + 128;
  put<W>(d7, 15);
  GOTO(0x7FE6);

HERE(0x7ED0) // player 1's character, in the colour the last phases left
  a4 = player1;
  tst<W>(rd16(a4 + player_record::lives));
  if (cc_eq()) GOTO(0x7FF6);
  set_text_cursor(183 * line_bytes, 6, 6);
  push32(rd32(draw_screen));
  wr32(draw_screen, screen_buffer_b);
  put<B>(d0, rd8(a4 + player_record::panel_value + 1));
  JSR(0x00858E, 0x7EFA)
  wr32(draw_screen, pop32());
  a0 = screen_buffer_b + 183 * line_bytes;
  put<W>(d7, 7);
  GOTO(0x7FE6);

HERE(0x7F10) // player 2's character
  wr16(text_colour, 8);
  tst<B>(rd8(two_player_flag));
  if (cc_eq()) GOTO(0x7FF6);
  a4 = player2;
  tst<W>(rd16(a4 + player_record::lives));
  if (cc_eq()) GOTO(0x7FF6);
  set_text_cursor(183 * line_bytes, 38, 38);
  push32(rd32(draw_screen));
  wr32(draw_screen, screen_buffer_b);
  put<B>(d0, rd8(a4 + player_record::panel_value + 1));
  JSR(0x00858E, 0x7F46)
  wr32(draw_screen, pop32());
  a0 = screen_buffer_b + 183 * line_bytes + 128;
  put<W>(d7, 7);
  GOTO(0x7FE6);

HERE(0x7F60) // player 1's count
  a4 = player1;
  wr16(text_colour, 8);
  set_text_cursor(129 * line_bytes, 2, 2);
  push32(rd32(draw_screen));
  wr32(draw_screen, screen_buffer_b);
  d0 = rd16(a4 + player_record::counts + sext16(2 * rd16(a4 + player_record::count_index)));
  JSR(0x007D3E, 0x7F84)
  a0 = digit_buffer + 3;
  JSR(0x008584, 0x7F8C)
  wr32(draw_screen, pop32());
  a0 = screen_buffer_b + 129 * line_bytes;
  put<W>(d7, 7);
  GOTO(0x7FE6);

HERE(0x7FA8) // player 2's count
  tst<B>(rd8(two_player_flag));
  if (cc_eq()) GOTO(0x7FF6);
  a4 = player2;
  wr16(text_colour, 8);
  set_text_cursor(129 * line_bytes, 34, 34);
  push32(rd32(draw_screen));
  wr32(draw_screen, screen_buffer_b);
  d0 = rd16(a4 + player_record::counts + sext16(2 * rd16(a4 + player_record::count_index)));
  JSR(0x007D3E, 0x7FC8)
  a0 = digit_buffer + 3;
  JSR(0x008584, 0x7FD0)
  wr32(draw_screen, pop32());
  a0 = screen_buffer_b + 129 * line_bytes + 128;
  put<W>(d7, 7);

HERE(0x7FE6) // the field's block, 64 pixels wide, into screen $018000
  a1 = a0 - (screen_buffer_b - screen_buffer_a);
LOOP(0x7FEA)
  for (u32 i = 0; i < 32; i += 4) wr32(a1 + i, rd32(a0 + i));
  a0 += line_bytes;
  a1 += line_bytes;
  if (dbf(d7)) GOTO(0x7FEA);
HERE(0x7FF6)
  RTS();
END_ROUTINE
