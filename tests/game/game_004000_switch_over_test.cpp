// Page $4000: the horizontal switch-over and the band builder, on the
// mission machine with the three-section mission of support/tables/section_cycle.h.
#include <gtest/gtest.h>

#include <string>

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/mission_machine.h"
#include "support/machine/resumption_check.h"
#include "support/tables/section_cycle.h"

namespace {

constexpr u32 switch_over = 0x0045D6;
constexpr u32 band = 0x028000;
constexpr u32 band_copy_bytes = 0x400;

// Bit x (0 = left) of plane p of the 64-pixel line at `line`.
u32 plane_bit(u32 line, u32 p, u32 x) { return rd16(line + 8 * (x / 16) + 2 * p) >> (15 - x % 16) & 1; }

u8 pattern(u32 address) {
  u32 v = address * 0x9E3779B1u;
  v ^= v >> 13;
  return static_cast<u8>(v >> 7);
}

// The first copy, line, plane and pixel where copy k is not the block at
// `block` rotated left by 2k pixels; "" when every one is.
std::string band_difference(u32 block) {
  for (u32 k = 0; k < 16; ++k)
    for (u32 y = 0; y < 32; ++y)
      for (u32 p = 0; p < 4; ++p)
        for (u32 x = 0; x < 64; ++x)
          if (plane_bit(band + k * band_copy_bytes + 32 * y, p, x) != plane_bit(block + 32 * y, p, (x + 2 * k) % 64))
            return "copy " + std::to_string(k) + " line " + std::to_string(y) + " plane " + std::to_string(p) +
                   " x " + std::to_string(x);
  return "";
}

class SwitchOver : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    section_cycle_put(section_cycle_mission(), {});
    wr16(stream_section, 0);
    wr16(last_block, 2);
  }
};

TEST_F(SwitchOver, NamedAddressesAreInTheDispatchTable) {
  expect_named_rows({
      {0x0045D6, routine_entry, "sub_0045D6"},       {0x0045E2, resume_label, "sub_0045D6"},
      {0x0045E6, resume_label, "sub_0045D6"},        {0x004640, routine_entry, "sub_004640"},
      {0x004650, routine_entry, "sub_004650"},       {0x004662, resume_label, "sub_004650"},
      {0x004668, resume_label, "sub_004650"},        {0x00474A, routine_entry, "frame_horizontal"},
      {0x00474E, resume_label, "frame_horizontal"},  {0x004752, resume_label, "frame_horizontal"},
      {0x0047AE, resume_label, "frame_horizontal"},  {0x0047C0, resume_label, "frame_horizontal"},
      {0x0047FA, resume_label, "frame_horizontal"},  {0x004848, resume_label, "frame_horizontal"},
      {0x00485E, resume_label, "frame_horizontal"},  {0x00486A, resume_label, "frame_horizontal"},
      {0x004878, resume_label, "frame_horizontal"},  {0x00487C, resume_label, "frame_horizontal"},
      {0x00488C, routine_entry, "horizontal_background"}, {0x0048B2, resume_label, "horizontal_background"},
      {0x004932, resume_label, "horizontal_background"},  {0x004952, routine_entry, "sub_004952"},
      {0x004954, routine_entry, "sub_004954"},       {0x004A50, resume_label, "sub_004954"},
      {0x004BBE, routine_entry, "sub_004BBE"},       {0x004C06, routine_entry, "sub_004C06"},
  });
  for (u32 ret : {0x4756u, 0x475Au, 0x475Eu, 0x4762u, 0x4766u, 0x476Au, 0x476Eu, 0x4772u, 0x4776u, 0x477Au,
                  0x477Eu, 0x4782u, 0x4794u, 0x4798u, 0x479Cu, 0x47D2u, 0x47D6u, 0x47E8u, 0x480Cu, 0x4810u,
                  0x4814u, 0x4818u, 0x481Cu, 0x483Cu, 0x4840u, 0x4844u})
    expect_named_rows({{ret, resume_label, "frame_horizontal"}});
}

TEST_F(SwitchOver, EmptiesTheSectionTablesAndTakesTheNextStream) {
  struct {
    u16 word_before;
    u16 step; // by the parity of the new value
  } cases[] = {{0, 0xFFFE}, {1, 2}, {0x7FFF, 2}, {0xFFFF, 2}, {2, 0xFFFE}};
  for (const auto& c : cases) {
    SetUp();
    wr16(mission_word, c.word_before);
    for (u32 a = enemy_table.address; a < 0x1DC4; ++a) wr8(a, pattern(a));
    for (u32 a = collision_map; a < 0x2840; ++a) wr8(a, 0xFF);
    wr16(scroll_pos, vertical_section_end);
    wr8(event_clock, 7);
    wr16(hscroll_word, 0x1234);
    ASSERT_NE(run_mission_routine(switch_over, 4), -1);
    std::string wrong;
    for (u32 a = enemy_table.address; a < 0x1DC4 && wrong.empty(); ++a) {
      const u32 want = a >= 0x18E4 && a < 0x1DB8 ? 0 : pattern(a);
      if (rd8(a) != want) wrong = std::to_string(a);
    }
    EXPECT_EQ(wrong, "") << "only $18E4-$1DB7 is cleared: enemies, shots, explosions, debris, effects stay";
    u32 solid = 0;
    for (u32 a = collision_map; a < 0x2840; ++a) solid += rd8(a);
    EXPECT_EQ(solid, 0u) << "the collision map and its copy";
    EXPECT_EQ(rd16(scroll_pos), 0u);
    EXPECT_EQ(rd16(stream_section), 1u);
    EXPECT_EQ(rd32(event_pointer), section_cycle_mission().stream_address(1));
    EXPECT_EQ(rd8(event_clock), 184u);
    EXPECT_EQ(rd16(hscroll_word), 0u);
    EXPECT_EQ(rd16(mission_word), (c.word_before + 1u) & 0xFFFF);
    EXPECT_EQ(rd16(hscroll_step), c.step) << "mission word before " << c.word_before;
  }
}

TEST_F(SwitchOver, StreamOffsetsAreSignedAndCountFromTheLevelTable) {
  wr16(stream_section, 2); // the next is stream 3: level_table word 7
  wr16(level_table + 14, 0xFFF0);
  ASSERT_NE(run_mission_routine(switch_over, 4), -1);
  EXPECT_EQ(rd32(event_pointer), level_table - 16);
}

TEST(SectionCycleData, GroundBlockLinesShowALostCarryOrAWrongRotation) {
  const mission_builder m = section_cycle_mission();
  machine_clear();
  m.put_in_ram();
  for (u32 n = 0; n < 6; ++n)
    for (u32 p = 0; p < 4; ++p) {
      u32 carries_set[4] = {}, carries_clear[4] = {};
      for (u32 y = 0; y < 32; ++y) {
        const u32 line = ground_blocks + n * ground_block_bytes + 32 * y;
        u64 bits = 0;
        for (u32 x = 0; x < 64; ++x) bits = bits << 1 | plane_bit(line, p, x);
        for (u32 s = 2; s < 64; s += 2)
          EXPECT_NE(bits, bits << s | bits >> (64 - s)) << "block " << n << " line " << y << " plane " << p;
        for (u32 g = 0; g < 4; ++g) {
          const u32 top = rd16(line + 8 * g + 2 * p) >> 14;
          (top & 1 ? carries_set : carries_clear)[g]++;
        }
      }
      for (u32 g = 0; g < 4; ++g)
        EXPECT_TRUE(carries_set[g] && carries_clear[g]) << "block " << n << " plane " << p << " group " << g;
    }
}

TEST_F(SwitchOver, BandCopiesAreTheBlockRotatedLeftTwoPixelsACopy) {
  for (u32 block : {0u, 2u, 5u}) {
    SetUp();
    wr16(last_block, block);
    ASSERT_NE(run_mission_routine(switch_over, 4), -1);
    EXPECT_EQ(band_difference(ground_blocks + block * ground_block_bytes), "") << "block " << block;
  }
}

TEST_F(SwitchOver, TheBandSourceIsFormedInSixteenBits) {
  struct {
    u16 byte;
    u32 source;
  } cases[] = {
      {0, 0x05649A},          {5, 0x05649A + 5 * 1024}, {31, 0x05649A + 31 * 1024}, {32, 0x04E49A},
      {0x80, 0x05649A},       {0x85, 0x05649A + 5 * 1024}, {0xA0, 0x04E49A},        {0xFF, 0x05609A},
  };
  constexpr u32 from = 0x04E49A, to = 0x05649A + 32 * 1024;
  for (const auto& c : cases) {
    SetUp();
    for (u32 a = from; a < to; ++a) wr8(a, pattern(a));
    wr16(last_block, c.byte);
    ASSERT_NE(run_mission_routine(switch_over, 4), -1);
    EXPECT_EQ(band_difference(c.source), "") << "block byte " << c.byte;
    u32 changed = 0;
    for (u32 a = from; a < to; ++a) changed += rd8(a) != pattern(a);
    EXPECT_EQ(changed, 0u) << "the source is only read";
  }
}

void prepare_switch_over() {
  machine_clear();
  stub_reset();
  mission_machine_reset();
  section_cycle_put(section_cycle_mission(), {});
  wr16(last_block, 3);
}

TEST(SwitchOverResumption, AStateSavedInTheRotatedCopiesResumesToTheSameBand) {
  const resumption_result first = check_resumption(prepare_switch_over, switch_over, 0, 1);
  ASSERT_TRUE(first.sliced_same) << first.first_difference;
  EXPECT_GE(first.yields, 15 * 32) << "a budget check per rotated line";
  for (int save_at : {first.yields - 3, first.yields - 200, first.yields - 15 * 32}) {
    const resumption_result r = check_resumption(prepare_switch_over, switch_over, 0, save_at);
    EXPECT_TRUE(r.saved_pc == 0x4662 || r.saved_pc == 0x4668) << std::hex << r.saved_pc;
    EXPECT_TRUE(r.resumed_same) << "saved at yield " << save_at << ": " << r.first_difference;
  }
  machine_clear();
}

} // namespace
