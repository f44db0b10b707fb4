// Page $8000: text printers, score and lives, YM silence, the packed-picture
// unpacker, fades, colour cycling and the status-panel value, on small
// hand-made memory images.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "game/game_ram.h"
#include "machine/io_devices.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/machine_fixture.h"
#include "support/synthetic/packed_picture_encoder.h"
#include "support/machine/ram_bytes.h"

namespace {

constexpr u32 screen = 0x018000;
constexpr u32 palette = 0xFF8240;
constexpr u32 picture_at = 0x040000;

u8 glyph_row(u32 code, u32 row) { return static_cast<u8>(((code - 32) * 8 + row) * 37 + 11); }

u32 cell(u32 line_offset, u32 column) { return screen + line_offset + (column / 2) * 8 + (column & 1); }

void set_cursor(u32 line, u32 column, u32 margin, u32 colour) {
  wr16(text_line, line);
  wr16(text_column, column);
  wr16(text_margin, margin);
  wr16(text_colour, colour);
}

void put_text(u32 at, const char* text) {
  for (; *text; ++text) wr8(at++, static_cast<u8>(*text));
  wr8(at, 0);
}

int vbls_delivered;

void deliver_vbl() {
  if (driver_finished()) return;
  ++vbls_delivered;
  wr16(vbl_counter, rd16(vbl_counter) + 1);
  g_cpu.vbl_flag = 1;
}

class Page8000 : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    for (u32 c = 32; c <= 94; ++c)
      for (u32 r = 0; r < 8; ++r) wr8(font8x8 + (c - 32) * 8 + r, glyph_row(c, r));
    wr32(draw_screen, screen);
    vbls_delivered = 0;
  }

  // Runs a routine that does not wait to its end in the game coroutine.
  void run(u32 routine) {
    driver_start(routine);
    driver_run(1);
    ASSERT_TRUE(driver_finished()) << std::hex << routine;
  }

  // Runs a routine that waits for VBLs; vbls_delivered counts the VBLs it
  // took, each one a wait in the VBL wait ($79DC), none a spent budget.
  void run_with_vbls(u32 routine) {
    vbls_delivered = 0;
    driver_start(routine);
    driver_run(1000, 2000000, deliver_vbl);
    ASSERT_TRUE(driver_finished()) << std::hex << routine;
    EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, vbls_delivered));
  }

  void fill(u32 at, u32 length, u8 value) { std::memset(g_ram + at, value, length); }
};

TEST_F(Page8000, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {0x008038, routine_entry, "sub_008038"}, {0x008052, resume_label, "sub_008038"},
      {0x008058, routine_entry, "sub_008058"}, {0x0080AA, routine_entry, "sub_0080AA"},
      {0x0080E0, resume_label, "sub_0080AA"},  {0x008106, routine_entry, "sub_008106"},
      {0x00823C, routine_entry, "sub_00823C"}, {0x0083B2, routine_entry, "sub_0083B2"},
      {0x008494, routine_entry, "sub_008494"}, {0x00849E, resume_label, "sub_008494"},
      {0x0084A4, routine_entry, "sub_0084A4"}, {0x0084D8, resume_label, "sub_0084A4"},
      {0x0084F0, resume_label, "sub_0084A4"},  {0x008528, routine_entry, "sub_008528"},
      {0x008532, resume_label, "sub_008528"},  {0x008538, routine_entry, "sub_008538"},
      {0x00853C, resume_label, "sub_008538"},  {0x008584, routine_entry, "sub_008584"},
      {0x00858A, resume_label, "sub_008584"},  {0x00858E, routine_entry, "sub_00858E"},
      {0x0085B0, routine_entry, "sub_0085B0"}, {0x008648, routine_entry, "sub_008648"},
      {0x00868A, routine_entry, "sub_00868A"}, {0x008690, resume_label, "sub_00868A"},
      {0x008696, routine_entry, "sub_008696"}, {0x00869A, resume_label, "sub_008696"},
  });
}

// --- text printers ------------------------------------------------------------

TEST_F(Page8000, CharacterReplacesTheWholeCellInTheCursorColour) {
  struct colour_case {
    u32 column, colour;
  };
  for (const colour_case& c : {colour_case{4, 5}, colour_case{7, 10}, colour_case{0, 0}, colour_case{39, 15}}) {
    fill(screen, 32000, 0xAA);
    set_cursor(2880, c.column, 0, c.colour);
    g_cpu.d[0] = 'K';
    g_cpu.d[1] = 0x11111111;
    g_cpu.d[2] = 0x22222222;
    g_cpu.d[3] = 0x33333333;
    g_cpu.a[0] = 0x12345;
    g_cpu.a[1] = 0xAAAAAA;
    g_cpu.a[2] = 0xBBBBBB;
    run(0x00858E);
    const u32 at = cell(2880, c.column);
    for (u32 row = 0; row < 8; ++row)
      for (u32 plane = 0; plane < 4; ++plane) {
        const u8 want = (c.colour >> plane) & 1 ? glyph_row('K', row) : 0;
        EXPECT_EQ(g_ram[at + row * 160 + 2 * plane], want) << "column " << c.column << " row " << row << " plane " << plane;
      }
    EXPECT_EQ(g_ram[(at ^ 1)], 0xAA) << "the neighbouring cell of the group is untouched";
    EXPECT_EQ(g_ram[at + 8], 0xAA) << "four planes, none of the next group";
    EXPECT_EQ(g_ram[at + 8 * 160], 0xAA) << "the line below the cell is untouched";
    EXPECT_EQ(rd16(text_column), c.column + 1);
    EXPECT_EQ(g_cpu.d[0], u32{'K'});
    EXPECT_EQ(g_cpu.d[1], 0x11111111u);
    EXPECT_EQ(g_cpu.d[2], 0x22222222u);
    EXPECT_EQ(g_cpu.d[3], 0x33333333u);
    EXPECT_EQ(g_cpu.a[0], 0x12345u);
    EXPECT_EQ(g_cpu.a[1], 0xAAAAAAu);
    EXPECT_EQ(g_cpu.a[2], 0xBBBBBBu);
  }
}

TEST_F(Page8000, TextControlBytesSetColourSkipAndReturnToTheMargin) {
  // 'A'; colour 5; 'B'; skip 2; 'C'; carriage return; 'D'.
  put_bytes(0x30000, {'A', 0x85, 'B', 2, 'C', 13, 'D', 0, 'X'});
  set_cursor(1440, 5, 3, 1);
  g_cpu.a[0] = 0x30000;
  run(0x008584);

  struct glyph_at {
    u32 code, line, column, colour;
  };
  for (const glyph_at& g : {glyph_at{'A', 1440, 5, 1}, glyph_at{'B', 1440, 6, 5}, glyph_at{'C', 1440, 9, 5},
                            glyph_at{'D', 2880, 3, 5}}) {
    const u32 at = cell(g.line, g.column);
    for (u32 row = 0; row < 8; ++row)
      for (u32 plane = 0; plane < 4; ++plane)
        EXPECT_EQ(g_ram[at + row * 160 + 2 * plane], (g.colour >> plane) & 1 ? glyph_row(g.code, row) : 0)
            << static_cast<char>(g.code) << " row " << row << " plane " << plane;
  }
  EXPECT_EQ(g_ram[cell(1440, 7)], 0) << "skipped columns are not drawn";
  EXPECT_EQ(g_ram[cell(2880, 4)], 0) << "nothing after the zero";
  EXPECT_EQ(rd16(text_line), 2880u);
  EXPECT_EQ(rd16(text_column), 4u) << "the carriage return went to the margin, not to 0";
  EXPECT_EQ(rd16(text_margin), 3u);
  EXPECT_EQ(rd16(text_colour), 5u);
  EXPECT_EQ(g_cpu.a[0], 0x30008u) << "a0 past the zero";
  EXPECT_EQ(g_cpu.d[0] & 0xFF, 0u);
}

TEST_F(Page8000, QuickPrinterDrawsIntoPlaneZeroOnly) {
  fill(screen, 32000, 0x55);
  put_text(0x30000, "0194");
  set_cursor(4320, 11, 0, 6);
  g_cpu.a[0] = 0x30000;
  g_cpu.d[1] = 0x11111111;
  g_cpu.a[1] = 0xAAAAAA;
  g_cpu.a[2] = 0xBBBBBB;
  run(0x008058);
  const char* digits = "0194";
  for (u32 i = 0; i < 4; ++i) {
    const u32 at = cell(4320, 11 + i);
    for (u32 row = 0; row < 8; ++row) {
      EXPECT_EQ(g_ram[at + row * 160], glyph_row(static_cast<u8>(digits[i]), row)) << i << " row " << row;
      for (u32 plane = 1; plane < 4; ++plane) EXPECT_EQ(g_ram[at + row * 160 + 2 * plane], 0x55);
    }
  }
  EXPECT_EQ(rd16(text_column), 15u);
  EXPECT_EQ(rd16(text_colour), 6u);
  EXPECT_EQ(g_cpu.a[0], 0x30005u);
  EXPECT_EQ(g_cpu.d[1], 0x11111111u);
  EXPECT_EQ(g_cpu.a[1], 0xAAAAAAu);
  EXPECT_EQ(g_cpu.a[2], 0xBBBBBBu);
}

// --- score and lives ----------------------------------------------------------

TEST_F(Page8000, ScoreGivesOneExtraLifeAtTheFirstTenThousand) {
  struct score_case {
    u32 score;
    u8 latch;
    u16 lives_before, lives_after;
    u8 latch_after;
    const char* printed; // the six places from $25F
  };
  const score_case cases[] = {
      {9999, 0x00, 3, 3, 0x00, "009999"},
      {10000, 0x00, 3, 4, 0xFF, "010000"},
      {10000, 0xFF, 4, 4, 0xFF, "010000"},
      {12345678, 0x00, 1, 2, 0xFF, "345678"},
      {0xFFFFFFFF, 0x00, 0, 1, 0xFF, "967295"}, // unsigned: 4,294,967,295
  };
  for (const score_case& c : cases) {
    wr16(player1 + player_record::lives, c.lives_before);
    wr32(player1 + player_record::score, c.score);
    wr8(player1 + player_record::extra_life, c.latch);
    set_cursor(0, 1, 1, 8);
    g_cpu.a[4] = player1;
    run(0x008038);
    EXPECT_EQ(rd16(player1 + player_record::lives), c.lives_after) << c.score;
    EXPECT_EQ(rd8(player1 + player_record::extra_life), c.latch_after) << c.score;
    for (u32 i = 0; i < 6; ++i)
      for (u32 row = 0; row < 8; ++row)
        ASSERT_EQ(g_ram[cell(0, 1 + i) + row * 160], glyph_row(static_cast<u8>(c.printed[i]), row))
            << c.score << " place " << i;
    EXPECT_EQ(rd16(text_column), 7u);
  }

  // A second print of the same score gives no further life.
  wr16(player1 + player_record::lives, 2);
  wr32(player1 + player_record::score, 25000);
  wr8(player1 + player_record::extra_life, 0);
  g_cpu.a[4] = player1;
  run(0x008038);
  run(0x008038);
  EXPECT_EQ(rd16(player1 + player_record::lives), 3u);
}

TEST_F(Page8000, LifeIconsDrawUpToFiveAfterClearingTheStrip) {
  constexpr u32 strip = 0x026F40; // a0 - 1
  for (u32 i = 0; i < 64; ++i) wr8(0x010228 + i, static_cast<u8>(0xC0 + i));
  for (u16 lives : {0, 1, 3, 5, 6, 9, 0x8000}) {
    fill(strip - 8, 17 * 160, 0x3C);
    wr16(player2 + player_record::lives, lives);
    g_cpu.a[4] = player2;
    g_cpu.a[0] = strip + 1;
    g_cpu.d[0] = 0xD0D0D0D0;
    g_cpu.d[1] = 0xD1D1D1D1;
    g_cpu.a[1] = 0xA1A1A1;
    run(0x0080AA);

    std::array<u8, 16 * 24> want;
    want.fill(lives == 0 ? 0x3C : 0x00);
    const u32 icons = lives == 0 ? 0 : lives > 5 ? 5 : lives;
    const u32 cells[] = {1, 8, 9, 16, 17}; // from the odd a0: +7, +1, +7, +1
    for (u32 n = 0; n < icons; ++n)
      for (u32 line = 0; line < 16; ++line)
        for (u32 plane = 0; plane < 4; ++plane)
          want[line * 24 + cells[n] + 2 * plane] = static_cast<u8>(0xC0 + line * 4 + plane);
    for (u32 line = 0; line < 16; ++line) {
      for (u32 x = 0; x < 24; ++x)
        ASSERT_EQ(g_ram[strip + line * 160 + x], want[line * 24 + x]) << "lives " << lives << " line " << line << " x " << x;
      EXPECT_EQ(g_ram[strip + line * 160 - 1], 0x3C) << "left of the strip";
      EXPECT_EQ(g_ram[strip + line * 160 + 24], 0x3C) << "right of the strip";
    }
    EXPECT_EQ(g_ram[strip + 16 * 160], 0x3C) << "below the strip";
    if (lives != 0) {
      const u32 after_last[] = {1, 8, 9, 16, 17, 24};
      EXPECT_EQ(g_cpu.a[0], strip + after_last[icons]) << "a0 after the last icon";
      EXPECT_EQ(g_cpu.d[0], 0xD0D0D0D0u);
      EXPECT_EQ(g_cpu.d[1], 0xD1D1D1D1u);
      EXPECT_EQ(g_cpu.a[1], 0xA1A1A1u);
    }
  }
}

TEST_F(Page8000, IconCellStepsToTheNextCell) {
  for (u32 from : {0x20000u, 0x20001u}) {
    g_cpu.a[0] = from;
    run(0x008106);
    EXPECT_EQ(g_cpu.a[0], from + ((from & 1) ? 7 : 1));
  }
}

// --- sound ----------------------------------------------------------------------

TEST_F(Page8000, YmSilenceZeroesTheVoicesAndSwitchesTheMixerOff) {
  std::array<u8, 16> noisy;
  noisy.fill(0x5A);
  set_ym_regs(noisy.data());
  run(0x0083B2);
  const u8* regs = get_ym_regs();
  for (int r = 0; r < 14; ++r) EXPECT_EQ(regs[r], r == 7 ? 0xFF : 0x00) << "register " << r;
  EXPECT_EQ(regs[14], 0x5A) << "the I/O ports are left alone";
  EXPECT_EQ(regs[15], 0x5A);
}

// --- packed pictures --------------------------------------------------------------

// The screen a list of words in unpacking order gives.
std::vector<u8> screen_of(const std::vector<u16>& words) {
  std::vector<u8> s(picture_screen_bytes, 0);
  for (u32 i = 0; i < words.size(); ++i) {
    s[picture_word_offset(i)] = static_cast<u8>(words[i] >> 8);
    s[picture_word_offset(i) + 1] = static_cast<u8>(words[i]);
  }
  return s;
}

std::vector<u8> ram_bytes(u32 at, u32 length) { return {g_ram + at, g_ram + at + length}; }

TEST_F(Page8000, UnpacksRepeatAndCopyRunsInShortAndLongForms) {
  packed_picture_builder b;
  std::vector<u16> words;
  auto repeat = [&](u16 w, u32 n, bool long_form) {
    b.repeat(w, n, long_form);
    words.insert(words.end(), n, w);
  };
  auto copy = [&](u32 n, u16 first, bool long_form) {
    std::vector<u16> run(n);
    for (u32 i = 0; i < n; ++i) run[i] = static_cast<u16>(first + 3 * i);
    b.copy(run, long_form);
    words.insert(words.end(), run.begin(), run.end());
  };
  repeat(0x1111, 5, false);
  copy(3, 0xA000, false);
  repeat(0x2222, 300, true); // long repeat across the first column's end
  copy(500, 0x4000, true);   // long copy
  repeat(0x3333, 127, false);
  copy(128, 0x6000, false);  // control byte $80
  copy(1, 0x7777, false);    // control byte $FF
  repeat(0x4444, 2, false);
  repeat(0x5555, 1, true);   // a single word needs the long form
  repeat(0x8888, static_cast<u32>(picture_screen_words - words.size()), true);
  ASSERT_EQ(words.size(), picture_screen_words);
  const std::vector<u8> picture = b.bytes();
  EXPECT_EQ(picture[2], 5) << "short repeat";
  EXPECT_EQ(picture[3], 0xFD) << "short copy of three";
  EXPECT_EQ(picture[4], 0) << "long repeat";

  put_bytes(picture_at, picture);
  fill(screen - 16, 16, 0xEE);
  fill(screen + 32000, 16, 0xEE);
  g_cpu.a[0] = screen;
  g_cpu.a[1] = picture_at;
  run(0x0084A4);
  EXPECT_EQ(ram_bytes(screen, 32000), screen_of(words));
  for (u32 i = 1; i <= 16; ++i) {
    EXPECT_EQ(g_ram[screen - i], 0xEE);
    EXPECT_EQ(g_ram[screen + 32000 + i - 1], 0xEE);
  }
}

TEST_F(Page8000, OneLongRunFillsTheScreen) {
  const std::vector<u8> picture = packed_picture_builder().repeat(0xBEEF, 16000).bytes();
  EXPECT_EQ(picture, (std::vector<u8>{0x00, 0x03, 0x00, 0x3E, 0x80, 0xBE, 0xEF}));
  put_bytes(picture_at, picture);
  g_cpu.a[0] = screen;
  g_cpu.a[1] = picture_at;
  run(0x0084A4);
  EXPECT_EQ(ram_bytes(screen, 32000), screen_of(std::vector<u16>(16000, 0xBEEF)));
  EXPECT_EQ(g_cpu.d[7] & 0xFFFF, 0u);
}

TEST_F(Page8000, PackedScreenRoundTripsKeepingEveryRegister) {
  std::vector<u8> original(32000);
  u32 seed = 12345;
  for (u32 i = 0; i < 32000; i += 2) {
    seed = seed * 1103515245 + 12345;
    const bool plain = (i / 640) % 3 == 0; // bands of repeated words
    original[i] = plain ? 0x12 : static_cast<u8>(seed >> 16);
    original[i + 1] = plain ? 0x34 : static_cast<u8>(seed >> 24);
  }
  put_bytes(picture_at, pack_picture(original));
  fill(screen, 32000, 0xEE);
  // a3 = the picture and a4 = the screen are the inputs.
  const u32 marks[15] = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xA0, 0xA1, 0xA2, picture_at, screen, 0xA5, 0xA6};
  for (int r = 0; r < 8; ++r) g_cpu.d[r] = marks[r];
  for (int r = 0; r < 7; ++r) g_cpu.a[r] = marks[8 + r];
  run(0x008494);
  EXPECT_EQ(ram_bytes(screen, 32000), original);
  for (int r = 0; r < 8; ++r) EXPECT_EQ(g_cpu.d[r], marks[r]) << "d" << r;
  for (int r = 0; r < 7; ++r) EXPECT_EQ(g_cpu.a[r], marks[8 + r]) << "a" << r;
  EXPECT_EQ(g_cpu.a[7], 0x10000u);
}

// Pictures whose runs do not add up to 16,000 words keep the game unpacking
// (as the machine would), but only inside the screen, and the host gets
// control back at every slice.
TEST_F(Page8000, ABadPictureKeepsTheGameBusyInsideTheScreen) {
  for (u32 total : {16001u, 15999u}) {
    SetUp();
    const std::vector<u8> picture = packed_picture_builder().repeat(0x9999, total, true).bytes();
    put_bytes(picture_at, picture);
    const std::vector<u8> before(g_ram, g_ram + ram_size);
    g_cpu.a[0] = screen;
    g_cpu.a[1] = picture_at;
    driver_start(0x0084A4);
    for (int slice = 0; slice < 5; ++slice) {
      EXPECT_EQ(driver_run(1, 200000), 1);
      ASSERT_FALSE(driver_finished()) << total;
      EXPECT_EQ(g_cpu.yield_reason, u32{YIELD_BUDGET});
    }
    for (u32 a = 0; a < ram_size; ++a) {
      if (a >= screen && a < screen + 32000) continue;
      if (a >= 0xF000 && a < 0x10000) continue; // the stack
      ASSERT_EQ(g_ram[a], before[a]) << total << ": written outside the screen at " << std::hex << a;
    }
  }
}

// --- fades ------------------------------------------------------------------------

TEST_F(Page8000, FadeStepWaitsThenDimsEveryComponent) {
  const u16 before[16] = {0x765, 0x700, 0x070, 0x007, 0x001, 0x000, 0x111, 0x777,
                          0x123, 0x456, 0x010, 0x100, 0x200, 0x020, 0x002, 0x707};
  const u16 after[16] = {0x654, 0x600, 0x060, 0x006, 0x000, 0x000, 0x000, 0x666,
                         0x012, 0x345, 0x000, 0x000, 0x100, 0x010, 0x001, 0x606};
  struct wait_case {
    u16 fade_wait;
    int vbls;
  };
  for (const wait_case& w : {wait_case{0, 1}, wait_case{2, 3}, wait_case{4, 5}}) {
    for (u32 i = 0; i < 16; ++i) wr16(palette + 2 * i, before[i]);
    wr16(fade_wait, w.fade_wait);
    run_with_vbls(0x008538);
    EXPECT_EQ(vbls_delivered, w.vbls) << "fade wait " << w.fade_wait;
    for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(palette + 2 * i), after[i]) << "colour " << i;
    EXPECT_EQ(rd16(fade_wait), 4u);
    EXPECT_EQ(g_cpu.a[0], palette + 32);
  }
}

TEST_F(Page8000, FadeToBlackTakesFortyVbls) {
  for (u16 start : {u16{0x777}, u16{0x000}}) {
    for (u32 i = 0; i < 16; ++i) wr16(palette + 2 * i, i == 3 ? 0x000 : start);
    wr16(fade_wait, 0);
    run_with_vbls(0x008528);
    EXPECT_EQ(vbls_delivered, 40) << std::hex << start;
    for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(palette + 2 * i), 0u) << "colour " << i;
    EXPECT_EQ(g_cpu.d[7] & 0xFFFF, 0xFFFFu);
  }
}

// --- colour cycling ---------------------------------------------------------------

TEST_F(Page8000, ColourCyclingStepsEveryThirdVblAndRestartsAtTheTableStart) {
  const u16 table[] = {0x0100, 0x0200, 0x0300, 0x8000};
  for (u32 i = 0; i < 4; ++i) wr16(cycle_table + 2 * i, table[i]);
  wr16(cycle_register, 3);
  wr32(cycle_position, cycle_table);
  wr16(cycle_vbls, 0);
  wr16(cycle_on, 1);
  struct step {
    u16 colour;
    u32 position;
  };
  const step expected[] = {{0x0000, 0x35EE}, {0x0000, 0x35EE}, {0x0100, 0x35F0}, {0x0100, 0x35F0},
                           {0x0100, 0x35F0}, {0x0200, 0x35F2}, {0x0200, 0x35F2}, {0x0200, 0x35F2},
                           {0x0300, 0x35F4}, {0x0300, 0x35F4}, {0x0300, 0x35F4}, {0x0100, 0x35F0}};
  for (const step& s : expected) {
    run(0x008648);
    EXPECT_EQ(rd16(palette + 6), s.colour) << "VBL " << (&s - expected + 1);
    EXPECT_EQ(rd32(cycle_position), s.position);
  }
  for (u32 r = 0; r < 16; ++r) {
    if (r == 3) continue;
    EXPECT_EQ(rd16(palette + 2 * r), 0u) << "register " << r;
  }

  // Off: nothing moves.
  wr16(cycle_on, 0);
  wr16(cycle_vbls, 2);
  run(0x008648);
  EXPECT_EQ(rd16(cycle_vbls), 2u);
  EXPECT_EQ(rd32(cycle_position), 0x35F0u);
}

TEST_F(Page8000, ColourCyclingOnATableWithoutColoursStillReturns) {
  wr16(cycle_table, 0x8000);
  wr16(cycle_register, 0);
  wr32(cycle_position, cycle_table);
  wr16(cycle_vbls, 2);
  wr16(cycle_on, 1);
  run(0x008648);
  EXPECT_EQ(rd32(cycle_position), cycle_table + 2);
}

// --- status-panel value -----------------------------------------------------------

// The ammunition type of each record's weapon and column, from the table
// at $AB10 (four columns a weapon), through the game's lookup at $AAF8.
TEST_F(Page8000, PanelValueOfBothRecords) {
  constexpr u32 ammo_type_table = 0x00AB10;
  for (u32 i = 0; i < 76; ++i) wr8(ammo_type_table + i, 0x80 + i);
  wr16(player1 + 0x0C, 5); // weapon
  wr16(player1 + 0x60, 2); // column
  wr16(player2 + 0x0C, 18);
  wr16(player2 + 0x60, 3);
  run(0x00868A);
  EXPECT_EQ(rd16(player1 + player_record::panel_value), 0x80u + 22);
  EXPECT_EQ(rd16(player2 + player_record::panel_value), 0x80u + 75) << "the table's last byte";
  EXPECT_EQ(g_cpu.a[4], player2);
}

} // namespace
