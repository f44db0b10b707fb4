// Page $7000, the services that print: decimal and hexadecimal digits, the
// exception report and the missions' status panel. Printed text is read
// back from the screen through a test font.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "game/game_ram.h"
#include "game_harness.h"

namespace {

constexpr u32 text_row = 1440; // one line of text

class Digits : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    load_test_font();
    wr32(draw_screen, screen_buffer_b);
  }
};

std::string digit_buffer_text() {
  std::string s;
  for (u32 i = 0; i < 7; ++i) s += static_cast<char>(rd8(digit_buffer + i));
  return s;
}

TEST_F(Digits, DecimalDigitsOfAnUnsignedLong) {
  struct {
    u32 value;
    const char* digits;
  } cases[] = {
      {12345678, "2345678"}, // the ten-millions place is dropped
      {9999999, "9999999"},   {0, "0000000"},         {10000000, "0000000"}, {999, "0000999"},
      {1000000, "1000000"},   {65536, "0065536"},     {65535, "0065535"},    {100, "0000100"},
      {0xFFFFFFFF, "4967295"}, // unsigned
      {0x80000000, "7483648"},
  };
  for (const auto& c : cases) {
    SetUp();
    wr8(digit_buffer + 7, 0x55);
    g_cpu.d[0] = c.value;
    ASSERT_EQ(run_routine(0x007D3E), 1);
    EXPECT_EQ(digit_buffer_text(), c.digits) << c.value;
    EXPECT_EQ(rd8(digit_buffer + 7), 0u);
    EXPECT_EQ(g_cpu.a[0], digit_buffer);
  }
}

TEST_F(Digits, DecimalPrintAtTheCursor) {
  wr16(text_line, 3 * text_row);
  wr16(text_column, 5);
  wr16(text_colour, 1);
  g_cpu.d[0] = 4321;
  ASSERT_EQ(run_routine(0x007D38), 1);
  EXPECT_EQ(screen_text(screen_buffer_b, 3 * text_row, 4, 9), ".0004321.");
  EXPECT_EQ(rd16(text_column), 12u);
}

TEST_F(Digits, HexadecimalPrintEndsWithACarriageReturn) {
  struct {
    u32 value;
    const char* text;
  } cases[] = {{0x0012ABCD, "0012ABCD"}, {0xFFFFFFFF, "FFFFFFFF"}, {0, "00000000"}, {0x9A0F1E2D, "9A0F1E2D"}};
  for (const auto& c : cases) {
    SetUp();
    wr16(text_line, 2 * text_row);
    wr16(text_column, 7);
    wr16(text_margin, 3);
    wr16(text_colour, 5);
    g_cpu.d[0] = c.value;
    for (int i = 1; i < 8; ++i) g_cpu.d[i] = 0xD0000000 + i;
    for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0xA0000000 + i;
    ASSERT_EQ(run_routine(0x007D06), 1);
    EXPECT_EQ(screen_text(screen_buffer_b, 2 * text_row, 7, 8), c.text);
    EXPECT_EQ(screen_cell_colour(screen_buffer_b, 2 * text_row, 7), 5u);
    EXPECT_EQ(rd16(text_column), 3u) << "back to the margin";
    EXPECT_EQ(rd16(text_line), 3 * text_row);
    EXPECT_EQ(g_cpu.d[0], 13u);
    EXPECT_EQ(g_cpu.d[4], 0xFFFFu);
    for (int i : {1, 2, 3, 5, 6, 7}) EXPECT_EQ(g_cpu.d[i], 0xD0000000u + i);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(g_cpu.a[i], 0xA0000000u + i);
  }
}

// --- the exception report ---------------------------------------------------------------

std::string hex(u32 v) {
  char s[9];
  std::snprintf(s, sizeof s, "%08X", v);
  return s;
}

class ExceptionReport : public Digits {
 protected:
  void SetUp() override {
    Digits::SetUp();
    for (u32 v = 2; v < 12; ++v) wr32(4 * v, 0x007B3C + 10 * (v - 2));
    for (u32 i = 0; i < 20; ++i) wr32(0x073B92 + 4 * i, 0x73B90000 + i);
    for (u32 i = 0; i < 5; ++i) wr32(0x000194 + 4 * i, 0x01940000 + i);
  }
};

// Slices with VBLs between them until the report idles at $7D04 (the
// interrupt set-up it calls waits for the keyboard processor, where written).
void run_to_the_report() {
  for (int i = 0; i < 300 && g_cpu.pc != 0x007D04; ++i) driver_run(1, 2000000, simple_vbl);
}

// A routine that sets its registers and takes exception `d0.w`.
ROUTINE(toy_faulting_routine, 0xC32000)
  {
    const u32 vector = d0 & 0xFFFF;
    for (int i = 0; i < 8; ++i) *cpu_reg[i] = 0x11111111u * i;
    for (int i = 0; i < 7; ++i) *cpu_reg[8 + i] = 0xA0A00000u + i;
    push32(0xCAFEF00D); // the caller's data above the frame
    cpu_exception_frame(0xC32010);
    kit_jump_dynamic(rd32(4 * vector));
  }
  return;
END_ROUTINE

TEST_F(ExceptionReport, FrameRegistersAndStackAreSavedAndShown) {
  register_routine(0xC32000, toy_faulting_routine);
  for (u32 i = 0; i < 48; ++i) wr32(0x9000 + 4 * i, 0x57AC0000 + i);
  g_cpu.a[7] = 0x9000;
  g_cpu.d[0] = 4;
  g_cpu.sr_sys = 0x2300;
  driver_start(0xC32000);
  run_to_the_report();
  EXPECT_FALSE(driver_finished()) << "the report never returns";
  EXPECT_EQ(g_cpu.pc, 0x007D04u) << "it idles at $7D04";
  EXPECT_EQ(g_cpu.sr_sys, 0x2300) << "with interrupts running";
  driver_run(2, 2000000, simple_vbl);
  EXPECT_EQ(g_cpu.pc, 0x007D04u) << "for ever";
  EXPECT_EQ(rd32(0x70), 0x0078A8u) << "after the interrupt set-up";
  EXPECT_EQ(rd32(0x118), 0x0079ECu);

  // The record in low memory.
  EXPECT_EQ(rd32(0x380), 0x4F524E2Eu); // "ORN."
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd32(0x384 + 4 * i), 0x11111111u * i);
  for (u32 i = 0; i < 7; ++i) EXPECT_EQ(rd32(0x3A4 + 4 * i), 0xA0A00000u + i);
  const u32 frame = 0x9000 - 4 - 4 - 6; // below the driver's return and the toy's long
  EXPECT_EQ(rd32(0x3C0), frame) << "a7 points at the frame";
  EXPECT_EQ(rd16(0x3C4), 4u);
  EXPECT_EQ(rd32(0x3C6), 0xC32010u) << "the stacked program counter";
  EXPECT_EQ(rd16(0x3CA), 0xCAFEu) << "then the first word after the frame";
  EXPECT_EQ(rd32(0x3CC), 0u);
  EXPECT_EQ(rd32(0x3D0), 0xF00D00C0u) << "the stack from the end of those bytes on";
  for (u32 i = 0; i < 40; ++i) EXPECT_EQ(rd32(0x3D0 + 4 * i), rd32(frame + 8 + 4 * i)) << "stack long " << i;
  EXPECT_EQ(rd32(0x470), 0x00002C00u);
  EXPECT_EQ(rd32(draw_screen), screen_buffer_b);

  // On screen: the marker and d0-d7 in colour 3, two lines down a0-a7 in
  // colour 4; then the frame and stack, the longs at $73B92 and at $194.
  for (u32 i = 0; i < 9; ++i)
    EXPECT_EQ(screen_text(screen_buffer_b, i * text_row, 0, 8), hex(rd32(0x380 + 4 * i))) << "line " << i;
  EXPECT_EQ(screen_text(screen_buffer_b, 0, 0, 8), "4F524E2E");
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0, 0), 3u);
  for (u32 i = 0; i < 8; ++i)
    EXPECT_EQ(screen_text(screen_buffer_b, (11 + i) * text_row, 0, 8), hex(rd32(0x3A4 + 4 * i))) << "line " << 11 + i;
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 11 * text_row, 0), 4u);
  for (u32 i = 0; i < 20; ++i) {
    EXPECT_EQ(screen_text(screen_buffer_b, i * text_row, 22, 8), hex(rd32(0x3C4 + 4 * i))) << "line " << i;
    EXPECT_EQ(screen_text(screen_buffer_b, i * text_row, 32, 8), hex(0x73B90000 + i)) << "line " << i;
  }
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0, 22), 6u);
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0, 32), 6u);
  for (u32 i = 0; i < 5; ++i)
    EXPECT_EQ(screen_text(screen_buffer_b, i * text_row, 11, 8), hex(0x01940000 + i)) << "line " << i;
  EXPECT_EQ(screen_cell_colour(screen_buffer_b, 0, 11), 7u);
  EXPECT_EQ(screen_text(screen_buffer_b, 5 * text_row, 11, 8), "........") << "the rest of the screen is cleared";

  const u16 colours[8] = {0x000, 0x780, 0x630, 0x5D8, 0x060, 0x606, 0x037, 0x500};
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(rd16(0xFF8240 + 2 * i), colours[i]) << "colour " << i;
  EXPECT_EQ(rd8(0xFF8201), 0x02u);
}

TEST_F(ExceptionReport, EachStubNamesItsVector) {
  register_routine(0xC32000, toy_faulting_routine);
  for (u32 vector = 2; vector < 12; ++vector) {
    SetUp();
    register_routine(0xC32000, toy_faulting_routine);
    g_cpu.d[0] = vector;
    driver_start(0xC32000);
    run_to_the_report();
    EXPECT_EQ(rd16(0x3C4), vector);
    EXPECT_EQ(g_cpu.pc, 0x007D04u);
  }
}

// --- the status panel ----------------------------------------------------------------

constexpr u32 panel_phase = 0x25A;
constexpr u32 icon = 0x10228;

class StatusPanel : public Digits {
 protected:
  void SetUp() override {
    Digits::SetUp();
    for (u32 i = 0; i < 64; ++i) wr8(icon + i, 0xC3);
    for (u32 i = 0; i < 32768; ++i) wr8(screen_buffer_a + i, 0xAA);
    wr32(draw_screen, screen_buffer_a);
    wr8(two_player_flag, 0xFF);
    player(player1, 3, 123456, 'A', 1, 42);
    player(player2, 2, 7890, 'B', 0, 1234);
    wr16(text_colour, 2);
  }

  static void player(u32 record, u32 lives, u32 score, u32 character, u32 index, u32 count) {
    wr16(record + player_record::lives, lives);
    wr32(record + player_record::score, score);
    wr8(record + 0x13, 0xFF); // extra life already given
    wr16(record + player_record::panel_value, character);
    wr16(record + player_record::count_index, index);
    wr16(record + player_record::counts + 2 * index, count);
  }

  // One frame's call.
  void panel() {
    ASSERT_EQ(run_routine(0x007E06), 1);
    EXPECT_EQ(rd32(draw_screen), screen_buffer_a) << "draw_screen put back";
  }

  // Whether the block of `lines` lines at `offset` was copied to $018000.
  static bool copied(u32 offset, u32 lines) {
    for (u32 y = 0; y < lines; ++y)
      for (u32 i = 0; i < 32; ++i)
        if (rd8(screen_buffer_a + offset + y * 160 + i) != rd8(screen_buffer_b + offset + y * 160 + i)) return false;
    return true;
  }
  static bool untouched(u32 offset, u32 lines) {
    for (u32 y = 0; y < lines; ++y)
      for (u32 i = 0; i < 32; ++i)
        if (rd8(screen_buffer_a + offset + y * 160 + i) != 0xAA) return false;
    return true;
  }
};

TEST_F(StatusPanel, EightPhasesOneFieldEach) {
  struct {
    u32 next_phase;
    u32 line;   // pixel line of the field
    u32 column; // text column, or none for the icon rows
    const char* text;
    u32 colour;
    u32 block; // offset of the copied block
    u32 lines;
  } phases[] = {
      {1, 50, 1, "123456", 1, 0x1F40, 8},
      {2, 50, 33, "007890", 1, 0x1FC0, 8},
      {3, 178, 0, nullptr, 0, 0x6F40, 16},
      {4, 178, 0, nullptr, 0, 0x6FC0, 16},
      {5, 183, 6, "A", 2, 0x7260, 8}, // in the colour left from before
      {6, 183, 38, "B", 8, 0x72E0, 8},
      {7, 129, 2, "0042", 8, 0x50A0, 8},
      {0, 129, 34, "1234", 8, 0x5120, 8},
  };
  for (u32 phase = 0; phase < 8; ++phase) {
    const auto& p = phases[phase];
    SetUp(); // the fields of the icon rows and the characters overlap
    wr16(panel_phase, phase);
    panel();
    EXPECT_EQ(rd16(panel_phase), p.next_phase) << "phase " << phase;
    if (p.text) {
      const u32 n = static_cast<u32>(std::string(p.text).size());
      EXPECT_EQ(screen_text(screen_buffer_b, p.line * 160, p.column, n), p.text) << "phase " << phase;
      EXPECT_EQ(screen_cell_colour(screen_buffer_b, p.line * 160, p.column), p.colour) << "phase " << phase;
      EXPECT_EQ(rd16(text_margin), p.column) << "phase " << phase;
    } else {
      EXPECT_EQ(rd8(screen_buffer_b + p.block + 160 + 1), 0xC3u) << "icons drawn, phase " << phase;
      EXPECT_EQ(rd8(screen_buffer_b + p.block + 160), 0u) << "from the right half of the first group, phase " << phase;
    }
    EXPECT_TRUE(copied(p.block, p.lines)) << "phase " << phase;
    EXPECT_TRUE(untouched(p.block + p.lines * 160, 1)) << "no more lines, phase " << phase;
  }
}

TEST_F(StatusPanel, OnePlayerGameSkipsPlayerTwosCharacterAndCount) {
  for (u32 phase = 0; phase < 8; ++phase) {
    SetUp();
    wr8(two_player_flag, 0);
    wr16(panel_phase, phase);
    panel();
    EXPECT_EQ(rd16(panel_phase), (phase + 1) & 7);
    if (phase == 1) {
      EXPECT_EQ(screen_text(screen_buffer_b, 50 * 160, 33, 6), "007890") << "player 2's points all the same";
      EXPECT_TRUE(copied(0x1FC0, 8));
    }
    if (phase == 3) {
      EXPECT_TRUE(copied(0x6FC0, 16)) << "and the block of its icon row";
    }
    if (phase == 5) {
      EXPECT_TRUE(untouched(0x72E0, 8)) << "phase 5 draws and copies nothing";
      EXPECT_EQ(screen_text(screen_buffer_b, 183 * 160, 38, 1), ".");
      EXPECT_EQ(rd16(text_colour), 8u) << "but sets the colour";
    }
    if (phase == 7) {
      EXPECT_TRUE(untouched(0x5120, 8)) << "phase 7 neither";
      EXPECT_EQ(screen_text(screen_buffer_b, 129 * 160, 34, 4), "....");
    }
  }
}

TEST_F(StatusPanel, NoCharacterForAPlayerOutOfPlay) {
  wr16(player1 + player_record::lives, 0);
  wr16(panel_phase, 4);
  panel();
  EXPECT_EQ(rd16(panel_phase), 5u);
  EXPECT_TRUE(untouched(0x7260, 8));
  EXPECT_EQ(screen_text(screen_buffer_b, 183 * 160, 6, 1), ".");
  panel();
  EXPECT_EQ(screen_text(screen_buffer_b, 183 * 160, 38, 1), "B") << "the next call runs phase 5";

  wr16(player2 + player_record::lives, 0);
  wr16(panel_phase, 3);
  panel();
  EXPECT_EQ(rd8(screen_buffer_b + 0x6FC0 + 160 + 1), 0u) << "no icons";
  EXPECT_TRUE(copied(0x6FC0, 16)) << "the block is copied all the same";
}

TEST_F(StatusPanel, PhaseOutsideTheCycleStartsItAgain) {
  wr16(panel_phase, 9);
  panel();
  EXPECT_EQ(rd16(panel_phase), 0u);
  EXPECT_EQ(screen_text(screen_buffer_b, 129 * 160, 34, 4), "1234") << "drawn as phase 7";
}

TEST_F(StatusPanel, CountsShowFourPlaces) {
  wr16(player1 + player_record::counts + 2, 65535);
  wr16(panel_phase, 6);
  panel();
  EXPECT_EQ(screen_text(screen_buffer_b, 129 * 160, 2, 4), "5535");
}

} // namespace
