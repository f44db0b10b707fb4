// The title and attract sequence: the masked blit and the picture steps,
// the two forms of the sequence with their loads, the timed waits cut short
// by a fire button, the script's animation over the title sample, and
// wait_fire's exits. The disk is the synthetic one, already in the loader's
// cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/game_io.h"
#include "game/game_ram.h"
#include "game_harness.h"
#include "machine/boot_state.h"
#include "machine/dispatch.h"
#include "machine/hooks.h"
#include "support/graphics/contact_sheet.h"
#include "support/machine/disk_cache.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/resume_check.h"
#include "support/synthetic/squeeze_encoder.h"
#include "support/synthetic/synthetic_disk.h"

namespace {

constexpr u32 cache = 0x81000;
constexpr u32 disk_size = 819200;
constexpr u32 fire1 = player1 + player_record::fire;
constexpr u32 fire0 = player2 + player_record::fire;
constexpr u32 title_frame = 0x000204;
constexpr int timed_vbls = 334;

std::vector<u8> synthetic_logical_file() {
  synth_game_data g = synth_standard();
  EXPECT_TRUE(synth_place_disk_road(g)) << g.error;
  return synth_bkm(g);
}

// The VBLs of a run, with a fire press (port 1, port 0 or both) made
// before the VBL numbered fire_at.
int vbls, fire_at;
bool press1, press0;
void vbl_with_fire() {
  if (++vbls == fire_at) {
    if (press1) wr8(fire1, 0xFF);
    if (press0) wr8(fire0, 0xFF);
  }
  simple_vbl();
}

int waits_at(u32 label) {
  const auto& e = driver_slice_ends();
  return static_cast<int>(std::count(e.begin(), e.end(), waited(label)));
}

class Title : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    static const std::vector<u8> file = synthetic_logical_file();
    ASSERT_EQ(file.size(), disk_size);
    put_disk_in_cache(file, cache);
    wr16(second_side_ok, 0xFFFF);
    wr32(draw_screen, screen_buffer_b);
    vbls = 0;
    fire_at = 0;
    press1 = press0 = false;
  }
};

// --- the masked blit ----------------------------------------------------------

TEST_F(Title, TheBlitKeepsTheScreenUnderColourZeroAndReplacesTheRest) {
  struct row {
    u16 p[4];      // source planes of one group
    u16 screen[4]; // the screen's planes before
    u16 want[4];
  };
  const row rows[] = {
      {{0, 0, 0, 0}, {0x1234, 0x5678, 0x9ABC, 0xDEF0}, {0x1234, 0x5678, 0x9ABC, 0xDEF0}},
      {{0xFFFF, 0, 0, 0}, {0x1234, 0x5678, 0x9ABC, 0xDEF0}, {0xFFFF, 0, 0, 0}},
      {{0xF000, 0, 0, 0x000F}, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {0xFFF0, 0x0FF0, 0x0FF0, 0x0FFF}},
      {{0, 0x8000, 0, 0}, {0, 0, 0xFFFF, 0}, {0, 0x8000, 0x7FFF, 0}},
  };
  for (const row& r : rows) {
    for (int i = 0; i < 4; ++i) {
      wr16(0x60000 + 2 * i, r.p[i]);
      wr16(0x20000 + 160 * 3 + 8 + 2 * i, r.screen[i]);
    }
    g_cpu.a[0] = 0x60000;
    g_cpu.a[1] = 0x20000 + 160 * 3 + 8;
    g_cpu.d[6] = 0xABCD0000;
    g_cpu.d[7] = 0x12340000;
    g_cpu.d[5] = 0x55555555;
    g_cpu.a[2] = 0x77777777;
    ASSERT_EQ(run_routine(0x00F63A), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(rd16(0x20000 + 160 * 3 + 8 + 2 * i), r.want[i]) << i;
    EXPECT_EQ(g_cpu.a[0], 0x60000u);
    EXPECT_EQ(g_cpu.a[1], 0x20000u + 160 * 3 + 8);
    EXPECT_EQ(g_cpu.d[6], 0xABCD0000u);
    EXPECT_EQ(g_cpu.d[7], 0x12340000u);
    EXPECT_EQ(g_cpu.d[5], 0x55555555u);
    EXPECT_EQ(g_cpu.a[2], 0x77777777u);
  }
}

TEST_F(Title, TheBlitRunsItsSourceOnAndItsScreenDownALine) {
  // 3 groups by 2 lines, every source word its own index + 1.
  for (u32 i = 0; i < 24; ++i) wr16(0x60000 + 2 * i, i + 1);
  g_cpu.a[0] = 0x60000;
  g_cpu.a[1] = 0x20000 + 160 + 16;
  g_cpu.d[6] = 2;
  g_cpu.d[7] = 1;
  ASSERT_EQ(run_routine(0x00F63A), 1);
  for (u32 line = 0; line < 2; ++line)
    for (u32 w = 0; w < 12; ++w) EXPECT_EQ(rd16(0x20000 + 160 * (1 + line) + 16 + 2 * w), line * 12 + w + 1);
  EXPECT_EQ(rd16(0x20000 + 160 + 16 + 24), 0u) << "nothing past the width";
  EXPECT_EQ(rd16(0x20000 + 160 * 3 + 16), 0u) << "nothing past the height";
}

// --- the picture steps --------------------------------------------------------

// Source bytes that differ from their neighbours and are never 0.
u32 source_byte(u32 i) { return (i * 37 + 11) % 255 + 1; }

// Where a step puts the first group of its source and how many lines it
// draws: a source without colour 0 (running on a line further, so a line or
// group too many shows) draws the rectangle. The blits of $EF0C and $F56E
// are one row each, with the others' sources left at colour 0.
TEST_F(Title, ThePictureStepsDrawAtTheirPlaces) {
  struct row {
    u32 entry, source, x, y, groups, lines;
  };
  const row rows[] = {
      {0x00EEF2, 0x05EB1A, 128, 157, 7, 30}, {0x00EF3E, 0x05649A, 208, 0, 7, 61},
      {0x00EF0C, 0x05ABDA, 32, 6, 9, 194},   {0x00EF0C, 0x05EB1A, 128, 157, 7, 30},
      {0x00F5B8, 0x05E26A, 96, 20, 2, 50},   {0x00F5D2, 0x05E59A, 96, 20, 2, 50},
      {0x00F5EC, 0x05E8CA, 96, 30, 2, 10},   {0x00F606, 0x05E8CA, 96, 30, 2, 32},
      {0x00F620, 0x05EADA, 96, 34, 2, 4},    {0x00F56E, 0x057A4A, 144, 66, 11, 5},
      {0x00F56E, 0x057C02, 144, 73, 11, 5},  {0x00F56E, 0x057DBA, 144, 80, 11, 5},
  };
  for (const row& r : rows) {
    machine_clear();
    for (u32 i = 0; i < r.groups * 8 * (r.lines + 1); ++i) wr8(r.source + i, source_byte(i));
    ASSERT_EQ(run_routine(r.entry), 1) << std::hex << r.entry;
    const u32 first = 0x20000 + r.y * 160 + r.x / 16 * 8;
    const u32 last = first + (r.lines - 1) * 160 + (r.groups - 1) * 8;
    // Over a clear screen the blit leaves the source's words as they are.
    const u32 last_word = ((r.lines - 1) * r.groups + r.groups - 1) * 8 + 6;
    EXPECT_EQ(rd16(first), source_byte(0) << 8 | source_byte(1)) << std::hex << r.entry;
    EXPECT_EQ(rd16(last + 6), source_byte(last_word) << 8 | source_byte(last_word + 1)) << std::hex << r.entry;
    EXPECT_EQ(rd16(first - 2), 0u) << std::hex << r.entry;
    EXPECT_EQ(rd16(last + 8), 0u) << std::hex << r.entry;
    EXPECT_EQ(rd16(last + 160), 0u) << std::hex << r.entry;
  }
}

TEST_F(Title, TheTopRightPicturesLastLineComesFromThePanelPiece) {
  for (u32 i = 0; i < 56; i += 2) wr16(0x0571BA + i, 0x0100 + i);
  ASSERT_EQ(run_routine(0x00EF3E), 1);
  for (u32 i = 0; i < 56; i += 2) EXPECT_EQ(rd16(0x20068 + 60 * 160 + i), 0x0100 + i) << i;
}

TEST_F(Title, TheClosingRowOfTilesAndThePanel) {
  // The tile: each line's four plane words (line + 1, plane + 1), so a tile
  // drawn from the wrong line or too wide shows.
  const auto tile_word = [](u32 line, u32 plane) { return (line + 1) << 8 | (plane + 1); };
  for (u32 l = 0; l < 16; ++l)
    for (u32 p = 0; p < 4; ++p) wr16(0x0579CA + l * 8 + 2 * p, tile_word(l, p));
  for (u32 i = 0; i < 16; ++i) wr8(0x0278C0 + i, 0xAA);
  for (u32 i = 0; i < 6 * 8 * 43; i += 2) wr16(0x0571BA + i, 0x8001);
  ASSERT_EQ(run_routine(0x00EF58), 1);
  // The row from x 0 to x 208, lines 186-201 (the last two unshown), but
  // the gap of line 193.
  for (u32 x = 0; x <= 208; x += 16)
    for (u32 l = 0; l < 16; ++l)
      for (u32 p = 0; p < 4; ++p) {
        if (l == 7 && (x == 64 || x == 80)) continue;
        ASSERT_EQ(rd16(0x20000 + (186 + l) * 160 + x / 2 + 2 * p), tile_word(l, p)) << x << " " << l << " " << p;
      }
  EXPECT_EQ(rd16(0x20000 + 201 * 160 + 224 / 2), 0u) << "the row ends at x 208";
  EXPECT_EQ(rd16(0x20000 + 186 * 160 + 224 / 2), 0x8001u) << "the panel lies over the row's end";
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd8(0x0278C0 + i), 0u) << i;
  EXPECT_EQ(rd16(0x20000 + 158 * 160 + 224 / 2), 0x8001u);
  EXPECT_EQ(rd16(0x20000 + 200 * 160 + 304 / 2), 0x8001u);
}

// --- the sequence ---------------------------------------------------------------

TEST_F(Title, TheFullFormShowsThePictureWaitsThenAnimatesOverTheSample) {
  const std::vector<u8> block = synth_title_block();
  wr16(title_frame, 0);
  const int slices = run_routine(0x00EC40, 1000, vbl_with_fire);
  ASSERT_GT(slices, 0);
  const int steps = static_cast<int>(synth_title_script_steps);
  // One VBL before the picture, the timed ones, one per script byte read.
  EXPECT_EQ(waits_at(0x79E2), 1 + timed_vbls + steps + 1);
  EXPECT_EQ(driver_slice_ends().back(), returned);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), ram + 0x05647E)) << "143 sectors of the second side";
  EXPECT_EQ(rd16(title_frame), static_cast<u32>(steps % 4));
  EXPECT_EQ(rd32(0x134), 0x00F816u);
  EXPECT_EQ(rd8(st_io::mfp_tacr), 2u);
  EXPECT_EQ(rd8(st_io::mfp_tadr), 50u);
  EXPECT_NE(rd8(st_io::mfp_iera) & 0x20, 0);
  EXPECT_NE(rd8(st_io::mfp_imra) & 0x20, 0);
  EXPECT_EQ(rd32(0x1E0), 0x066F38u);
  EXPECT_EQ(rd16(split_title), 0xFFFFu);
  EXPECT_EQ(rd16(title_mode), 0u);
  EXPECT_EQ(rd16(st_io::palette_regs), rd16(0xEB76));
  // The finished picture, before the script, is the clean copy: the left
  // picture's middle, which nothing after the eight steps draws over.
  for (u32 y : {90u, 120u, 140u})
    EXPECT_TRUE(std::equal(ram + 0x18000 + y * 160 + 16, ram + 0x18000 + y * 160 + 72, ram + 0x20000 + y * 160 + 16)) << y;
  // For the eye: the title with its pieces in place, in the title's colours.
  EXPECT_TRUE(write_contact_sheet("title", ram + 0x20000, ram + 0xEB76));
}

// The closing pieces go over a clean animation area: with the lower piece
// and the panel all colour 0 (drawing nothing there), the area x 208-319,
// lines 144-180 is the clean background again after the animation.
TEST_F(Title, TheAnimationAreaIsCleanUnderTheClosingPieces) {
  const u32 title_on_disk = cache + 409600 + 5120; // second side, track 1
  std::fill(ram + title_on_disk + (0x05EB1A - 0x05647E), ram + title_on_disk + (0x05EB1A - 0x05647E) + 7 * 8 * 30, 0);
  std::fill(ram + title_on_disk + (0x0571BA - 0x05647E), ram + title_on_disk + (0x0571BA - 0x05647E) + 6 * 8 * 43, 0);
  ASSERT_GT(run_routine(0x00EC40, 1000, vbl_with_fire), 0);
  ASSERT_EQ(driver_slice_ends().back(), returned);
  for (u32 line = 144; line <= 180; ++line)
    EXPECT_TRUE(std::equal(ram + 0x18000 + line * 160 + 104, ram + 0x18000 + line * 160 + 160,
                           ram + 0x20000 + line * 160 + 104))
        << "line " << line;
}

TEST_F(Title, AScriptStartingWithItsEndDrawsTheClosingPiecesAtOnce) {
  wr8(0xF752, 0x80);
  wr16(title_frame, 2);
  ASSERT_GT(run_routine(0x00EC40, 1000, vbl_with_fire), 0);
  EXPECT_EQ(waits_at(0x79E2), 1 + timed_vbls + 1);
  EXPECT_EQ(rd16(title_frame), 2u) << "no animation step";
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd8(0x0278C0 + i), 0u) << "the closing gap on line 193";
}

TEST_F(Title, FireInTheFirstWaitLeavesAtTheEndOfThatVbl) {
  struct row {
    bool port1, port0;
    u32 flag;
  };
  const row rows[] = {{true, false, 0x0000}, {false, true, 0xFFFF}, {true, true, 0x0000}};
  for (const row& r : rows) {
    SetUp();
    press1 = r.port1;
    press0 = r.port0;
    fire_at = 40;
    wr16(two_player_flag, 0x1234);
    run_routine(0x00EC40, 60, vbl_with_fire);
    EXPECT_EQ(rd16(two_player_flag), r.flag);
    // The palette's VBL, 39 more of the first wait; then the main loop's prompt.
    EXPECT_EQ(waits_at(0x79E2), 40);
    EXPECT_EQ(driver_slice_ends().back(), waited(0xFDF0));
    EXPECT_EQ(rd8(st_io::mfp_tacr), 0u) << "timer A stopped";
  }
}

// A press in any of the eight waits or in the script leaves at the end of
// that VBL, on either port; the bytes after the fire bytes (the extra-life
// flags) are not fire.
TEST_F(Title, FireInAnyWaitOrTheScriptLeavesAtOnce) {
  // The VBL of the press: one in each timed wait (the first is the
  // palette's), then two in the script.
  const int moments[] = {60, 150, 176, 200, 218, 230, 260, 300, 337, 345};
  for (int at : moments)
    for (bool port1 : {true, false}) {
      SetUp();
      press1 = port1;
      press0 = !port1;
      fire_at = at;
      wr8(fire1 + 1, 0xFF);
      wr8(fire0 + 1, 0xFF);
      run_routine(0x00EC40, 400, vbl_with_fire);
      EXPECT_EQ(rd16(two_player_flag), port1 ? 0x0000u : 0xFFFFu) << at;
      EXPECT_EQ(waits_at(0x79E2), at) << at;
      EXPECT_EQ(driver_slice_ends().back(), waited(0xFDF0)) << at;
    }
}

std::vector<u32> songs;
void note_song(u32) { songs.push_back(g_cpu.d[0] & 0xFFFF); }

TEST_F(Title, WaitFireStartsTuneZeroAndWaitsForAButton) {
  struct row {
    bool port1, port0;
    u32 flag;
  };
  const row rows[] = {{true, false, 0x0000}, {false, true, 0xFFFF}, {true, true, 0x0000}};
  for (const row& r : rows) {
    SetUp();
    hook_register(0x041BCC, note_song);
    songs.clear();
    press1 = r.port1;
    press0 = r.port0;
    fire_at = 5;
    wr16(two_player_flag, 0x1234);
    // The bytes after the fire bytes (the extra-life flags) are not fire.
    wr8(fire1 + 1, 0xFF);
    wr8(fire0 + 1, 0xFF);
    run_routine(0x00EBFE, 30, vbl_with_fire);
    EXPECT_EQ(songs, std::vector<u32>{0});
    EXPECT_EQ(rd16(two_player_flag), r.flag);
    EXPECT_EQ(waits_at(0x79E2), 5);
    EXPECT_EQ(driver_slice_ends().back(), waited(0xFDF0));
  }
}

TEST_F(Title, TheShortFormUnpacksOnePictureFromTheFirstSide) {
  // A packed picture where the short form reads (track 0, sector 10 on):
  // 128 bytes before the screen, then 32,000 bytes in runs of 37.
  std::vector<u8> picture(128 + 32000);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<u8>(i / 37 * 7 + 1);
  const std::vector<u8> file = squeeze(picture);
  ASSERT_LE(file.size(), 49u * 512);
  std::copy(file.begin(), file.end(), ram + cache + 9 * 512);
  wr16(second_side_ok, 0);
  ASSERT_GT(run_routine(0x00EC40, 10, vbl_with_fire), 0);
  EXPECT_EQ(driver_slice_ends(), waits_then_return(0x79E2, 1));
  EXPECT_TRUE(std::equal(ram + cache + 9 * 512, ram + cache + 9 * 512 + 49 * 512, ram + 0x68254))
      << "49 sectors from track 0, sector 10";
  EXPECT_TRUE(std::equal(picture.begin() + 128, picture.end(), ram + 0x20000)) << "the picture shown";
  EXPECT_TRUE(std::equal(ram + 0x18000, ram + 0x20000, ram + 0x20000)) << "8,192 longs copied";
  EXPECT_EQ(rd16(split_title), 0xFFFFu);
  EXPECT_EQ(rd16(title_mode), 0u);
  EXPECT_EQ(rd8(st_io::mfp_tacr), 0u) << "no title sample";
  EXPECT_NE(rd32(0x134), 0x00F816u);
  for (u32 i = 0; i < 16; ++i) EXPECT_EQ(rd16(st_io::palette_regs + 2 * i), rd16(0xEB76 + 2 * i)) << i;
}

// An animation step: the clean background back under the animation (its
// right edge, x 304-319, is all that the frames leave of it), the small
// frame `title_frame` at x 128, y 157 and the large frame the byte's low
// bits choose at x 192, y 144. Every frame group has plane 0 set, so it
// replaces the screen whole.
TEST_F(Title, AnAnimationStepRestoresTheAreaAndDrawsBothFrames) {
  const auto frame_byte = [](u32 frame, u32 i) { return i % 8 < 2 ? 0xFFu : (frame * 41 + i * 3) % 251 + 1; };
  struct row {
    u32 byte, title_frame, large;
  };
  const row rows[] = {{0x00, 0, 0}, {0x05, 1, 1}, {0x7E, 3, 2}, {0x13, 2, 3}};
  for (const row& r : rows) {
    SetUp();
    for (u32 a = 0x20000; a < 0x28000; ++a) wr8(a, 0xEE);
    for (u32 line = 144; line <= 180; ++line)
      for (u32 b = 104; b < 160; ++b) wr8(0x18000 + line * 160 + b, (line * 7 + b) % 253 + 1);
    // Large frame 3 runs on into the small frames, which lie after three
    // large ones.
    for (u32 i = 0; i < 4 * 2072; ++i) wr8(0x057F72 + i, frame_byte(4 + i / 2072, i % 2072));
    for (u32 i = 0; i < 4 * 1288; ++i) wr8(0x0597BA + i, frame_byte(i / 1288, i % 1288));
    wr16(title_frame, r.title_frame);
    g_cpu.d[5] = r.byte;
    ASSERT_EQ(run_routine(0x00F688), 1);
    for (u32 line = 144; line <= 180; ++line) {
      EXPECT_TRUE(std::equal(ram + 0x18000 + line * 160 + 152, ram + 0x18000 + line * 160 + 160,
                             ram + 0x20000 + line * 160 + 152))
          << "background, line " << line;
      EXPECT_EQ(rd16(0x20000 + (line + 1) * 160), 0xEEEEu) << "nothing past the area, line " << line;
    }
    for (u32 line = 0; line < 37; ++line)
      for (u32 b = 0; b < 56; ++b)
        ASSERT_EQ(rd8(0x20000 + (144 + line) * 160 + 96 + b), rd8(0x057F72 + r.large * 2072 + line * 56 + b))
            << "large frame, line " << line << " byte " << b;
    // The small frame's left part, x 128-191 (the large frame lies over the rest).
    for (u32 line = 0; line < 23; ++line)
      for (u32 b = 0; b < 32; ++b)
        ASSERT_EQ(rd8(0x20000 + (157 + line) * 160 + 64 + b), rd8(0x0597BA + r.title_frame * 1288 + line * 56 + b))
            << "small frame, line " << line << " byte " << b;
    EXPECT_EQ(rd8(0x20000 + 180 * 160 + 64), 0xEEu) << "the small frame is 23 lines high";
  }
}

// Colour 0 as each blit of an animation step begins (the blits themselves
// are left out).
std::vector<u32> colour0_at_blits;
ROUTINE(blit_noting_colour0, 0xC20600)
  colour0_at_blits.push_back(rd16(st_io::palette_regs));
  RTS();
END_ROUTINE

TEST_F(Title, DevTimingMarksThePhasesOfAnAnimationStep) {
  struct row {
    u32 dev_timing, frame_before;
    std::vector<u32> at_blits; // small frame, large frame
    u32 colour0_after, frame_after;
  };
  const row rows[] = {
      {0, 1, {0x123, 0x123}, 0x123, 2}, // without it colour 0 is left alone
      {0, 3, {0x123, 0x123}, 0x123, 0},
      {1, 1, {0x431, 0x431}, 0, 2},
      {1, 3, {0x431, 0x727}, 0, 0}, // the fourth step marks the wrap
  };
  for (const row& r : rows) {
    SetUp();
    dispatch_register_over(0x00F63A, blit_noting_colour0);
    colour0_at_blits.clear();
    wr16(st_io::palette_regs, 0x123);
    wr16(dev_timing, r.dev_timing);
    wr16(dev_timing + 2, 0xFFFF); // the word after it is not read
    wr16(title_frame, r.frame_before);
    g_cpu.d[5] = 1;
    ASSERT_EQ(run_routine(0x00F688), 1);
    EXPECT_EQ(colour0_at_blits, r.at_blits) << r.dev_timing << " " << r.frame_before;
    EXPECT_EQ(rd16(st_io::palette_regs), r.colour0_after);
    EXPECT_EQ(rd16(title_frame), r.frame_after);
  }
}

TEST_F(Title, TheFullRoadResumesAlike) {
  EXPECT_TRUE(resumes_alike({.entry = 0x00EC40, .between = simple_vbl, .first_visits = 2, .load_every = 200}));
}

TEST(TitleRows, NamedAddresses) {
  expect_named_rows({
      {0x00EBFE, routine_entry, "wait_fire"},  {0x00EC16, routine_entry, "sub_00EC16"},
      {0x00EC2A, routine_entry, "sub_00EC2A"}, {0x00EC40, routine_entry, "sub_00EC40"},
      {0x00EEF2, routine_entry, "sub_00EEF2"}, {0x00EF0C, routine_entry, "sub_00EF0C"},
      {0x00EF3E, routine_entry, "sub_00EF3E"}, {0x00EF58, routine_entry, "sub_00EF58"},
      {0x00F56E, routine_entry, "sub_00F56E"}, {0x00F5B8, routine_entry, "sub_00F5B8"},
      {0x00F5D2, routine_entry, "sub_00F5D2"}, {0x00F5EC, routine_entry, "sub_00F5EC"},
      {0x00F606, routine_entry, "sub_00F606"}, {0x00F620, routine_entry, "sub_00F620"},
      {0x00F63A, routine_entry, "sub_00F63A"}, {0x00F688, routine_entry, "sub_00F688"},
      {0x00F816, routine_entry, "sub_00F816"}, {0x00F864, routine_entry, "sub_00F864"},
  });
}

} // namespace
