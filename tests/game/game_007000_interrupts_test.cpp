// Page $7000, the interrupt handlers run by the interrupt runner: the
// keyboard ACIA with its byte sorter, joystick decoder and key commands,
// the VBL with its counters and raster modes, Timer B and Timer C, and the
// VBL wait.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "game/ym_driver.h"
#include "game_harness.h"
#include "machine/hooks.h"
#include "machine/io_devices.h"
#include "support/machine/interrupt_check.h"

namespace {

constexpr u32 typed_keys = 0x002110;

class Interrupts : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    // The game between two instructions, interrupts open.
    g_cpu.sr_sys = 0x2300;
    g_cpu.pc = 0x004000;
    fill_register_patterns();
    // The handler jumps on into the typed keys: a recording routine in
    // their place shows the hand-off.
    stub_records_over(typed_keys, nullptr);
  }

  // One keyboard interrupt with the bytes queued; it must come back to the
  // game as it found it.
  void keyboard_interrupt() { ASSERT_TRUE(interrupt_returns(0x0079EC, 6)); }
  void keyboard_bytes(std::initializer_list<u8> bytes) {
    for (u8 b : bytes) acia_push(b);
    for (size_t i = 0; i < bytes.size(); ++i) keyboard_interrupt();
  }
};

// --- keyboard bytes ---------------------------------------------------------------

struct sticks {
  u8 p1[5]; // right, left, up, down, fire
  u8 p2[5];
};

sticks read_sticks() {
  sticks s;
  for (u32 i = 0; i < 5; ++i) {
    s.p1[i] = rd8(player1 + player_record::right + i);
    s.p2[i] = rd8(player2 + player_record::right + i);
  }
  return s;
}

TEST_F(Interrupts, JoystickPacketsReachTheirPlayers) {
  constexpr u8 K = 0x5A; // not written
  struct {
    std::vector<u8> bytes;
    sticks after;
  } cases[] = {
      {{0xFF, 0x81}, {{0, 0, 0xFF, 0, 0xFF}, {K, K, K, K, K}}},          // stick 1: up and fire
      {{0xFE, 0x04}, {{K, K, K, K, K}, {0, 0xFF, 0, 0, 0}}},             // stick 0: left
      {{0xFF, 0x8F}, {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {K, K, K, K, K}}}, // everything
      {{0xFE, 0x08}, {{K, K, K, K, K}, {0xFF, 0, 0, 0, 0}}},             // right
      {{0xFD, 0x01, 0x02}, {{0, 0, 0, 0xFF, 0}, {0, 0, 0xFF, 0, 0}}},    // two sticks: 2 then 1
      {{0xF6, 0x80, 0x01}, {{0, 0, 0xFF, 0, 0}, {0, 0, 0, 0, 0xFF}}},    // any other header alike
  };
  for (const auto& c : cases) {
    SetUp();
    for (u32 i = 0; i < 5; ++i) {
      wr8(player1 + player_record::right + i, K);
      wr8(player2 + player_record::right + i, K);
    }
    wr8(last_key, 0x11);
    for (u8 b : c.bytes) acia_push(b);
    for (size_t i = 0; i < c.bytes.size(); ++i) keyboard_interrupt();
    const sticks s = read_sticks();
    for (u32 i = 0; i < 5; ++i) {
      EXPECT_EQ(s.p1[i], c.after.p1[i]) << "player 1 byte " << i << " after " << std::hex << int(c.bytes[0]);
      EXPECT_EQ(s.p2[i], c.after.p2[i]) << "player 2 byte " << i << " after " << std::hex << int(c.bytes[0]);
    }
    EXPECT_EQ(rd8(ikbd_state), 0u);
    EXPECT_EQ(rd8(last_key), 0x11u) << "packets are no keys";
    EXPECT_EQ(stub_call_count(typed_keys), 0);
  }
}

TEST_F(Interrupts, TwoStickReportStepsThroughItsStates) {
  keyboard_bytes({0xFD});
  EXPECT_EQ(rd8(ikbd_state), 0xFDu);
  keyboard_bytes({0x01});
  EXPECT_EQ(rd8(ikbd_state), 0xFFu) << "the next byte is player 1's";
  keyboard_bytes({0x02});
  EXPECT_EQ(rd8(ikbd_state), 0u);
}

TEST_F(Interrupts, KeyBytesGoToLastKeyAndTheKeyCommands) {
  wr8(0xFFFA11, 0xFF);
  keyboard_bytes({0xC2}); // F8 released: returns with every register kept
  EXPECT_EQ(rd8(last_key), 0xC2u);
  ASSERT_EQ(stub_call_count(typed_keys), 1) << "on into the typed keys";
  EXPECT_EQ(stub_calls()[0].d0 & 0xFF, 0xC2u);
  EXPECT_EQ(rd8(0xFFFA11), 0xBFu) << "ACIA in-service bit cleared";

  keyboard_bytes({0xF6});
  EXPECT_EQ(rd8(ikbd_state), 0xF6u);
  EXPECT_EQ(rd8(last_key), 0xC2u) << "a header is no key";
  EXPECT_EQ(stub_call_count(typed_keys), 1) << "nor is it typed";

  // $F5 is the highest key byte.
  SetUp();
  keyboard_bytes({0xF5});
  EXPECT_EQ(rd8(last_key), 0xF5u);
  EXPECT_EQ(rd8(ikbd_state), 0u);
}

TEST_F(Interrupts, OneKeyboardByteForEachInterrupt) {
  acia_push(0xFF);
  acia_push(0x81);
  keyboard_interrupt();
  EXPECT_EQ(rd8(ikbd_state), 0xFFu);
  EXPECT_EQ(acia_len(), 1);
  keyboard_interrupt();
  EXPECT_EQ(acia_len(), 0);
  EXPECT_EQ(rd8(player1 + player_record::fire), 0xFFu);
  // An interrupt with nothing received (the MIDI ACIA's, say) sorts no
  // byte: the packet state and the sticks stay.
  wr8(ikbd_state, 0xFE);
  keyboard_interrupt();
  EXPECT_EQ(rd8(ikbd_state), 0xFEu);
  EXPECT_EQ(rd8(player2 + player_record::fire), 0u);
  EXPECT_EQ(rd8(last_key), 0u);
}

TEST_F(Interrupts, DeveloperKeysNeedDeveloperMode) {
  for (u8 key : {0x0F, 0x72, 0x70}) {
    SetUp();
    keyboard_bytes({key}); // back from the interrupt, no download
    EXPECT_EQ(rd8(last_key), key);
    EXPECT_EQ(stub_call_count(typed_keys), 1) << int(key) << ": typed";
  }
}

// --- the monitor keys ---------------------------------------------------------------

constexpr u32 monitor_table = 0x3F0000; // RAM without code
cpu_state saved_game_registers;
constexpr u32 monitor_entry = 0x3F0100;

class MonitorKeys : public Interrupts {
 protected:
  void SetUp() override {
    Interrupts::SetUp();
    stub_records({monitor_entry});
    wr32(0x217A, monitor_table);
    wr16(monitor_table + 12, monitor_entry - monitor_table);
    wr32(0x20FA, 0x30000);
    wr32(0x20EE, 0xDEADBEEF);
  }
};

TEST_F(MonitorKeys, KeypadSlashReleasedEntersTheMonitorWithTheCacheRecord) {
  saved_game_registers = g_cpu;
  keyboard_bytes({0xE5}); // the monitor stand-in returns: so does the interrupt
  ASSERT_EQ(stub_call_count(monitor_entry), 1);
  const stub_call& c = stub_calls()[0];
  EXPECT_EQ(c.d0, 0u);
  EXPECT_EQ(c.a0, 0x0021D4u);
  EXPECT_EQ(c.a2, 0x002120u) << "the monitor's way back";
  EXPECT_EQ(c.sr & 0xFF00, 0x2700u);
  // All fifteen registers saved below the monitor's return address: d0
  // with the key, the others as the game had them.
  const cpu_state game = saved_game_registers;
  EXPECT_EQ(rd32(c.a7 + 4), (game.d[0] & 0xFFFFFF00) | 0xE5) << "d0 saved first, with the key";
  for (u32 i = 1; i < 8; ++i) EXPECT_EQ(rd32(c.a7 + 4 + 4 * i), game.d[i]) << "d" << i;
  for (u32 i = 0; i < 7; ++i) EXPECT_EQ(rd32(c.a7 + 36 + 4 * i), game.a[i]) << "a" << i;
  EXPECT_EQ(rd32(0x30000 - 8), 0x6356616Cu); // "cVal"
  EXPECT_EQ(rd32(0x30000 - 4), 0xDEADBEEFu);
  EXPECT_EQ(rd32(0x20EE), 0xFFFFFFFFu);
  EXPECT_EQ(rd16(0x2224) & 0xFF00, 0x2600u) << "the SR inside the keyboard interrupt";
  EXPECT_EQ(stub_call_count(typed_keys), 0);
}

TEST_F(MonitorKeys, KeypadStarReleasedEntersItWithout) {
  keyboard_bytes({0xE6});
  ASSERT_EQ(stub_call_count(monitor_entry), 1);
  EXPECT_EQ(stub_calls()[0].d0, 55u);
  EXPECT_EQ(rd32(0x30000 - 8), 0u) << "no cache record";
  EXPECT_EQ(rd32(0x20EE), 0xFFFFFFFFu);
}

// --- the developer downloads ------------------------------------------------------------

int song_stops;
void note_song_stop(u32) { ++song_stops; }

class Downloads : public Interrupts {
 protected:
  void SetUp() override {
    Interrupts::SetUp();
    stub_records({0x020022});
    stub_records_over(0x00373A, nullptr); // the new game's start: its call is the download's end
    stub_driver_song_calls();
    hook_register(0x041BE8, note_song_stop);
    song_stops = 0;
    wr16(dev_mode, 0xFF00);
    wr8(0xFFFA05, 0xFF);
    for (u32 reg = 0; reg < 14; ++reg) io_write(0xFF8800, 1, reg), io_write(0xFF8802, 1, 0x0F);
    io_write(0xFF8800, 1, 7);
    io_write(0xFF8802, 1, 0xC0);
    io_write(0xFF8800, 1, 15);
    io_write(0xFF8802, 1, 0xAB); // the byte waiting on port B
    // The two messages, the font to read them back, screens to be cleared
    // and vectors to be set again.
    load_test_font();
    const char code_message[] = "CODE", data_message[] = "DATA";
    for (u32 i = 0; i < sizeof code_message; ++i) wr8(0x00825E + i, code_message[i]);
    for (u32 i = 0; i < sizeof data_message; ++i) wr8(0x00826B + i, data_message[i]);
    for (u32 a = screen_buffer_a; a < screen_buffer_b + 32768; a += 4) wr32(a, 0x5A5A5A5A);
    wr32(0x70, 0);
  }

  // The key starts the download inside the keyboard interrupt, which never
  // returns: its flow goes on as the game, through the interrupt set-up
  // (which waits for the keyboard processor) into the poll loop, one pass
  // per slice.
  void start(u8 key) {
    acia_push(key);
    ASSERT_EQ(cpu_run_isr(&g_cpu, 0x0079EC, 6, 0, 1, nullptr), 0);
    ASSERT_NE(g_cpu.pc, 0x004000u) << "the download does not return to the interrupted code";
    for (int i = 0; i < 200 && g_cpu.pc != 0x007A66; ++i) {
      simple_vbl(); // through the keyboard processor's reset delay
      core_run(&g_cpu, 2000000);
    }
    ASSERT_EQ(g_cpu.pc, 0x007A66u);
    ASSERT_EQ(g_cpu.yield_reason, static_cast<u32>(YIELD_WAIT)) << "each pass waits for the next slice";
  }
  void slices(int n) {
    for (int i = 0; i < n; ++i) {
      core_run(&g_cpu, 2000000);
      if (g_cpu.pc == 0x007A66) {
        EXPECT_EQ(g_cpu.yield_reason, static_cast<u32>(YIELD_WAIT));
      }
    }
  }
  // The screens cleared and the message printed on screen $20000 at line
  // 48, column 10, in `colour`; the interrupt set-up ran again. (A code
  // download has already stored its first byte at $20000.)
  void expect_download_screen(const char* message, u32 colour) {
    EXPECT_EQ(rd32(draw_screen), screen_buffer_b);
    for (u32 a = screen_buffer_a; a < screen_buffer_a + 32000; a += 4) ASSERT_EQ(rd32(a), 0u) << std::hex << a;
    for (u32 a = screen_buffer_b + 4; a < screen_buffer_b + 0x7800; a += 4) ASSERT_EQ(rd32(a), 0u) << std::hex << a;
    EXPECT_EQ(screen_text(screen_buffer_b, 0x7800, 10, 5), std::string(message) + ".");
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0x7800, 10), colour);
    EXPECT_EQ(rd32(0x70), 0x0078A8u) << "the interrupt set-up";
    u8 sent[16];
    EXPECT_EQ(ikbd_take(sent, 16), 3) << "the keyboard processor reset";
  }
};

TEST_F(Downloads, CodeDownloadStoresPortBytesUntilPAndRunsThem) {
  start(0x0F);
  EXPECT_EQ(song_stops, 1) << "music stopped";
  expect_download_screen("CODE", 15);
  EXPECT_EQ(rd16(text_margin), 10u);
  EXPECT_EQ(rd8(0xFFFA05), 0xFEu) << "BUSY is an input";
  const u8 mixer = get_ym_regs()[7];
  EXPECT_EQ(mixer & 0x80, 0) << "port B is an input";
  EXPECT_EQ(get_ym_regs()[14], mixer & 0xDF) << "strobe low";

  EXPECT_EQ(rd8(0x020000), 0xABu) << "BUSY low: the first pass took a byte";
  EXPECT_EQ(rd8(0x020001), 0x00u);
  slices(3); // a byte each pass
  EXPECT_EQ(rd8(0x020003), 0xABu);
  EXPECT_EQ(rd8(0x020004), 0x00u);
  EXPECT_EQ(g_cpu.sr_sys & 0x0700, 0x0700) << "interrupts stay masked";

  wr8(0xFFFA01, 0x01); // BUSY high: the keyboard is read directly
  acia_push(0x2C);
  slices(2);
  EXPECT_EQ(stub_call_count(0x020022), 0);
  acia_push(0x19); // P
  slices(1);
  EXPECT_EQ(stub_call_count(0x020022), 1) << "the received code runs";
  EXPECT_EQ(stub_call_count(0x00373A), 0);
  EXPECT_EQ(get_ym_regs()[14], mixer | 0x20) << "strobe high";
  EXPECT_EQ(rd8(0x020004), 0x00u) << "nothing stored while BUSY was high";
}

TEST_F(Downloads, DataDownloadGoesTo073B92AndStartsANewGameOnP) {
  start(0x70);
  EXPECT_EQ(song_stops, 0) << "the chip silenced instead";
  for (int reg : {0, 1, 6, 8, 9, 10, 13}) EXPECT_EQ(get_ym_regs()[reg], 0u) << "silenced: register " << reg;
  EXPECT_EQ(get_ym_regs()[7], 0x7Fu) << "every channel off, port B an input";
  expect_download_screen("DATA", 5);
  slices(2);
  EXPECT_EQ(rd8(0x073B92), 0xABu);
  EXPECT_EQ(rd8(0x073B94), 0xABu);
  EXPECT_EQ(rd8(0x073B95), 0x00u);
  wr8(0xFFFA01, 0x01);
  acia_push(0x19);
  slices(1);
  EXPECT_EQ(stub_call_count(0x00373A), 1) << "a new game";
  EXPECT_NE(g_cpu.pc, 0x007A66u) << "the download is over";
  EXPECT_EQ(stub_call_count(0x020022), 0);
}

// --- VBL, raster and timers -------------------------------------------------------------

void vbl_interrupt() { ASSERT_TRUE(interrupt_returns(0x0078A8, 4)); }

TEST_F(Interrupts, VblCountsAndTheFrameCountdownStopsNegative) {
  struct {
    u16 before, after;
  } cases[] = {
      {2, 1}, {1, 0}, {0, 0xFFFF}, {0xFFFF, 0xFFFF}, {0xFFFE, 0xFFFD}, {0xFF01, 0xFF01}, {0xFF02, 0xFF01}, {0x8000, 0x7FFF},
  };
  for (const auto& c : cases) {
    wr16(frame_countdown, c.before);
    wr16(vbl_counter, 0xFFFF);
    vbl_interrupt();
    EXPECT_EQ(rd16(frame_countdown), c.after) << std::hex << c.before;
    EXPECT_EQ(rd16(vbl_counter), 0u);
  }
}

TEST_F(Interrupts, VblKeepsRegistersAndRunsItsServices) {
  wr16(split_title, 1);
  vbl_interrupt(); // every register, a7, SR and the pc as they were
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
}

TEST_F(Interrupts, VblCallsTheFloppySamplesAndColourCycling) {
  wr16(0x1BA, 5); // floppy motor-off countdown
  wr16(0x230, 3); // colour cycling: register 3, due this VBL
  wr16(0x232, 1);
  wr16(0x238, 2);
  wr32(0x234, 0x9000);
  wr16(0x9000, 0x0123);
  vbl_interrupt();
  // A service that is written shows its effect; one that is not yet is a
  // stub that notes its call.
  if (routine_written(0x00EAD8)) {
    EXPECT_EQ(rd16(0x1BA), 4u) << "floppy motor-off countdown";
  } else {
    EXPECT_EQ(stub_call_count(0x00EAD8), 1);
  }
  if (routine_written(0x008648)) {
    EXPECT_EQ(rd16(0xFF8246), 0x0123u) << "colour cycling";
  } else {
    EXPECT_EQ(stub_call_count(0x008648), 1);
  }
  if (!routine_written(0x00E7C0)) {
    EXPECT_EQ(stub_call_count(0x00E7C0), 1) << "the sample player's check";
  }
}

void fill_palette(u32 at, u16 base) {
  for (u32 i = 0; i < 16; ++i) wr16(at + 2 * i, base + i);
}

TEST_F(Interrupts, RasterModesLoadTheTopPaletteAndArmTimerB) {
  struct {
    u32 word;
    u16 top;
    u8 lines;
  } cases[] = {{split_map, 0x100, 48}, {split_title, 0x300, 150}, {title_mode, 0x300, 144}};
  for (const auto& c : cases) {
    SetUp();
    fill_palette(0x00C72E, 0x100);
    fill_palette(0x00EB76, 0x300);
    wr16(c.word, 0x0001);
    if (c.word != split_map) wr16(split_map, 0); // the first set word wins
    vbl_interrupt();
    EXPECT_EQ(rd16(0xFF8240), c.top);
    EXPECT_EQ(rd16(0xFF825E), c.top + 15u);
    EXPECT_EQ(rd8(0xFFFA21), c.lines);
    EXPECT_EQ(rd8(0xFFFA1B), 8u);
  }

  SetUp();
  fill_palette(0x00C72E, 0x100);
  wr16(split_map, 1);
  wr16(title_mode, 1);
  vbl_interrupt();
  EXPECT_EQ(rd8(0xFFFA21), 48u) << "split_map before title_mode";
}

TEST_F(Interrupts, NoRasterModeLeavesPaletteAndTimerBAlone) {
  fill_palette(0x00C72E, 0x100);
  wr16(0xFF8240, 0x0777);
  wr8(0xFFFA1B, 0x00);
  wr8(0xFFFA21, 54);
  vbl_interrupt();
  EXPECT_EQ(rd16(0xFF8240), 0x0777u);
  EXPECT_EQ(rd8(0xFFFA1B), 0u);
  EXPECT_EQ(rd8(0xFFFA21), 54u);
}

void timer_b_interrupt() { ASSERT_TRUE(interrupt_returns(rd32(0x120), 6)); }

TEST_F(Interrupts, TimerBGivesEachModeItsLowerPalette) {
  struct {
    u32 word;
    u16 lower;
  } cases[] = {{split_map, 0x200}, {split_title, 0x400}};
  for (const auto& c : cases) {
    SetUp();
    fill_palette(0x00C70E, 0x200);
    fill_palette(0x00EBB6, 0x400);
    wr32(0x120, 0x007932);
    wr16(c.word, 1);
    wr8(0xFFFA1B, 8);
    wr8(0xFFFA0F, 0xFF);
    g_cpu.a[0] = 0x1234;
    g_cpu.a[1] = 0x5678;
    timer_b_interrupt();
    EXPECT_EQ(rd16(0xFF8240), c.lower);
    EXPECT_EQ(rd8(0xFFFA1B), 0u) << "stopped";
    EXPECT_EQ(rd8(0xFFFA0F), 0xFEu);
    EXPECT_EQ(g_cpu.a[0], 0x1234u);
    EXPECT_EQ(g_cpu.a[1], 0x5678u);
  }
}

TEST_F(Interrupts, TitleModeHasAThirdZoneFortyLinesOn) {
  fill_palette(0x00EB76, 0x300);
  fill_palette(0x00EBD6, 0x500);
  wr32(0x120, 0x007932);
  wr16(title_mode, 1);
  timer_b_interrupt();
  EXPECT_EQ(rd16(0xFF8240), 0x500u);
  EXPECT_EQ(rd32(0x120), 0x0079B2u);
  EXPECT_EQ(rd8(0xFFFA21), 40u);
  EXPECT_EQ(rd8(0xFFFA1B), 8u);
  timer_b_interrupt();
  EXPECT_EQ(rd16(0xFF8240), 0x300u) << "back to the top palette";
  EXPECT_EQ(rd32(0x120), 0x007932u);
  EXPECT_EQ(rd8(0xFFFA1B), 0u);
}

TEST_F(Interrupts, TimerBWithoutAModeOnlyStops) {
  wr32(0x120, 0x007932);
  wr16(0xFF8240, 0x0777);
  wr8(0xFFFA1B, 8);
  timer_b_interrupt();
  EXPECT_EQ(rd16(0xFF8240), 0x0777u);
  EXPECT_EQ(rd8(0xFFFA1B), 0u);

  EXPECT_TRUE(interrupt_returns(0x0079A0, 6)) << "the lone RTE";
}

std::vector<i32> tick_srs;
void note_tick_sr(u32) { tick_srs.push_back(g_cpu.sr_sys); }

TEST_F(Interrupts, TimerCTicksTheMusicWithTheMfpOpen) {
  tick_srs.clear();
  hook_register(0x041DD8, note_tick_sr);
  wr8(ym_driver_vars + ym_var::tune_flag, 0xFF); // a tune plays: the tick writes its volumes
  wr8(0xFFFA11, 0xFF);
  ASSERT_EQ(cpu_run_batch(&g_cpu, 0x007896, 1, nullptr), 0);
  EXPECT_EQ(rd8(0xFFFA11), 0xDFu);
  EXPECT_TRUE(tick_srs.empty()) << "music off";
  wr8(music_on, 0xFF);
  ASSERT_EQ(cpu_run_batch(&g_cpu, 0x007896, 2, nullptr), 0);
  // Inside the tick the keyboard and the raster (level 6) can interrupt.
  EXPECT_EQ(tick_srs, (std::vector<i32>{0x2500, 0x2500}));
  EXPECT_EQ(g_cpu.sr_sys, 0x2300) << "the batch puts the SR back";
}

// --- the VBL wait -----------------------------------------------------------------------

TEST_F(Interrupts, WaitVblReturnsAfterOneVblWithD0Kept) {
  g_cpu.d[0] = 0x12345678;
  EXPECT_EQ(run_routine(0x0079DC, 5, simple_vbl), 2);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, 1));
  EXPECT_EQ(g_cpu.d[0], 0x12345678u);
  EXPECT_EQ(g_cpu.vbl_wait_armed, 0u);
}

int budget_slices;
void no_vbl() { ++budget_slices; }

TEST_F(Interrupts, WaitVblWithoutAVblHandlerSpinsOnItsBudget) {
  // The counter never moves: after its one wait, the loop only gives the
  // host its budget back.
  budget_slices = 0;
  driver_start(0x0079DC);
  driver_run(3, 1000, no_vbl);
  EXPECT_FALSE(driver_finished());
  EXPECT_EQ(g_cpu.yield_reason, static_cast<u32>(YIELD_BUDGET));
  EXPECT_EQ(g_cpu.pc, 0x0079E2u);
  simple_vbl();
  driver_run(1);
  EXPECT_TRUE(driver_finished());
}

} // namespace
