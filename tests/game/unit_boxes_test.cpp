// The picture boxes of the unit hooks (support/machine/unit_boxes.h): each kind's
// box from a hand-made record, and the check that finds a byte drawn
// outside one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine/memory.h"
#include "support/machine/machine_fixture.h"
#include "support/machine/unit_boxes.h"

namespace {

class UnitBoxes : public MachineTest {};

constexpr u32 record = 0x1000;

struct word_at {
  u32 offset;
  u16 value;
};

TEST_F(UnitBoxes, EachKindReadsItsPositionAndFrameSize) {
  const struct {
    const char* kind;
    std::vector<word_at> words;
    int left, right, top, bottom;
  } cases[] = {
      // players: screen coordinates, 32 x 25
      {"player", {{2, 40}, {4, 50}}, 40, 71, 50, 74},
      // enemies: field coordinates, 16 x 22, an odd x one pixel left, cut to the window
      {"enemy", {{0, 121}, {2, 150}}, 84, 101, 50, 71},
      {"enemy", {{0, 90}, {2, 90}}, 64, 70, 0, 11},
      {"enemy", {{0, 290}, {2, 290}}, 253, 255, 190, 200}, // down to the spare line 200
      // effects: 16 x 16, cut to the window and the last line
      {"fx", {{0, 100}, {2, 150}}, 64, 80, 50, 65},
      {"fx", {{0, 200}, {2, 290}}, 163, 180, 190, 199},
      // grenades and projectiles: 16 x 9 from their own fields
      {"obj5e32", {{0, 284}, {2, 292}}, 248, 263, 192, 200},
      {"obj5f1a", {{2, 200}, {4, 120}}, 164, 179, 20, 28},
      // bullets: a 2 x 2 mark
      {"bullet", {{0, 100}, {2, 298}}, 64, 65, 198, 199},
      {"bullet2", {{0, 290}, {2, 100}}, 254, 255, 0, 1},
      // vehicles: 64 wide with the record's height, 32 x 48, 48 x 63
      {"veh", {{2, 100}, {4, 80}, {0x0A, 40}}, 64, 127, 0, 19},
      {"veh6", {{2, 132}, {4, 290}}, 96, 127, 190, 199},
      {"veh4", {{2, 164}, {4, 150}}, 128, 175, 50, 112},
      // explosions: 32 x 22 on the column of x, halves beside the field dropped
      {"boom", {{0, 108}, {2, 90}}, 64, 95, 0, 11},
      {"boom", {{0, 276}, {2, 150}}, 240, 255, 50, 71},
      // installations: screen coordinates, 32 x 32, y negative above the screen
      {"turret", {{0, 80}, {2, 0xFFF6}}, 80, 111, 0, 21},
  };
  for (const auto& c : cases) {
    for (u32 i = 0; i < 32; ++i) wr8(record + i, 0);
    for (const word_at& w : c.words) wr16(record + w.offset, w.value);
    const unit_box box = unit_picture_box(c.kind, record);
    EXPECT_EQ(box.kind, c.kind);
    EXPECT_EQ(box.left, c.left) << c.kind << " x";
    EXPECT_EQ(box.right, c.right) << c.kind << " x";
    EXPECT_EQ(box.top, c.top) << c.kind << " y";
    EXPECT_EQ(box.bottom, c.bottom) << c.kind << " y";
  }
  EXPECT_EQ(unit_picture_box("debris", record).kind, "") << "no unit hook";
}

// A player at (40, 50) touches columns 2-4 of lines 50-74.
TEST_F(UnitBoxes, FindsAByteChangedOutsideTheBox) {
  wr16(record + 2, 40);
  wr16(record + 4, 50);
  const unit_box box = unit_picture_box("player", record);
  const std::vector<u8> before(unit_screen_span, 0x33);
  const auto byte = [](int line, int column, int plane_byte) { return line * 160 + column * 8 + plane_byte; };
  const struct {
    int at;
    const char* found; // "" inside the box
  } cases[] = {
      {byte(60, 3, 0), ""},
      {byte(50, 2, 0), ""},
      {byte(74, 4, 7), ""}, // pixels 72-79: past the picture, in the column it touches
      {byte(60, 5, 0), "line 60, column 5"},
      {byte(60, 1, 7), "line 60, column 1"},
      {byte(49, 3, 2), "line 49, column 3"},
      {byte(75, 2, 0), "line 75, column 2"},
      {byte(202, 0, 0), "line 202, column 0"}, // the spare bytes below the screen
      {static_cast<int>(unit_screen_span) - 1, "line 204, column 15"},
  };
  for (const auto& c : cases) {
    std::vector<u8> after = before;
    after[static_cast<size_t>(byte(60, 3, 1))] ^= 0x40; // the picture itself
    after[static_cast<size_t>(c.at)] ^= 0x01;
    const std::string fault = drawn_outside(box, before.data(), after.data());
    if (*c.found == '\0') {
      EXPECT_EQ(fault, "") << "byte " << c.at;
    } else {
      EXPECT_NE(fault.find(c.found), std::string::npos) << "byte " << c.at << ": " << fault;
      EXPECT_NE(fault.find("player"), std::string::npos) << fault;
    }
  }
  EXPECT_EQ(drawn_outside(box, before.data(), before.data()), "") << "nothing drawn";
}

// A box wholly beside the screen allows no byte at all.
TEST_F(UnitBoxes, ABoxBesideTheScreenAllowsNothing) {
  wr16(record + 0, 400); // a grenade at screen pixel 364
  wr16(record + 2, 150);
  const unit_box box = unit_picture_box("obj5e32", record);
  const std::vector<u8> before(unit_screen_span, 0);
  std::vector<u8> after = before;
  after[60 * 160 + 19 * 8 + 7] = 1; // the last column of a line of the box
  EXPECT_NE(drawn_outside(box, before.data(), after.data()).find("line 60, column 19"), std::string::npos);
}

// A free record's box holds nothing: even the picture's own place is outside.
TEST_F(UnitBoxes, AFreeRecordsBoxHoldsNoByte) {
  wr16(record + 0, 100); // an effect at the play field's top-left pixel
  wr16(record + 2, 100);
  const unit_box box = unit_empty_box("fx", record);
  EXPECT_EQ(box.kind, "fx");
  const std::vector<u8> before(unit_screen_span, 0);
  for (int column : {3, 4, 5}) {
    std::vector<u8> after = before;
    after[static_cast<size_t>(column * 8)] = 0x80; // line 0
    EXPECT_NE(drawn_outside(box, before.data(), after.data()).find("line 0, column " + std::to_string(column)),
              std::string::npos);
  }
  EXPECT_EQ(drawn_outside(box, before.data(), before.data()), "");
}

} // namespace
