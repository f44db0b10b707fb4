// The synthetic game data builder that stands in for the game's data in
// every test: placement rules, the logical file, "BKM" and the disk image.
#include "support/synthetic/synthetic_game_data.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "machine/game_data.h"
#include "support/synthetic/synthetic_disk.h"

namespace {

// The CRC32 of the "BKM" that build/tests/write_synthetic_bkm writes (the
// program logs it at start: "Game data: original/BKM (CRC32 ...)"). Every
// build of the writer must write these bytes; one that writes others is
// miscompiled, as GCC 12 at -O3 once miscompiled the sound tables. After a
// deliberate change of the synthetic content, put here the value that
// SyntheticGameData.TheWrittenFileIsPinned reports.
constexpr u32 synth_bkm_pinned_crc32 = 0x4A8B7264;

const std::vector<u8> marker = {'M', 'A', 'R', 'K'};

TEST(SyntheticGameData, PlacesByProgramAddressAndBySector) {
  u32 offset = 0;
  ASSERT_TRUE(synth_program_offset(0x2C00, 4, offset));
  EXPECT_EQ(offset, 0x5141Cu);
  ASSERT_TRUE(synth_program_offset(0x2C00 + 60000 - 4, 4, offset));
  EXPECT_EQ(offset + 4, synth_minimal_size) << "the program block ends the minimal file";
  EXPECT_FALSE(synth_program_offset(0x2BFF, 4, offset));
  EXPECT_FALSE(synth_program_offset(0x2C00 + 60000 - 3, 4, offset));

  struct sector_case {
    int side, track, sector;
    bool ok;
    u32 offset;
  };
  const sector_case cases[] = {
      {0, 0, 1, true, 0},      {0, 1, 1, true, 5120},      {1, 1, 1, true, 414720},
      {1, 79, 10, true, 818688}, {0, 0, 0, false, 0},      {0, 0, 11, false, 0},
      {0, 80, 1, false, 0},    {2, 0, 1, false, 0},
  };
  for (const sector_case& c : cases) {
    EXPECT_EQ(synth_sector_offset(c.side, c.track, c.sector, offset), c.ok) << c.side << c.track << c.sector;
    if (c.ok) {
      EXPECT_EQ(offset, c.offset);
    }
  }
}

TEST(SyntheticGameData, RefusesOverlapsAndRegionsOutsideTheirArea) {
  synth_game_data g = synth_standard();
  const size_t before = g.regions.size();
  EXPECT_FALSE(synth_place_at_program(g, "clash", "overlaps the head", 0x2C10, marker));
  EXPECT_NE(g.error.find("program_head"), std::string::npos) << g.error;
  EXPECT_FALSE(synth_place_at_program(g, "outside", "before the block", 0x2000, marker));
  EXPECT_FALSE(synth_place(g, "past", "past the end", synth_full_size - 2, marker));
  EXPECT_FALSE(synth_place(g, "empty", "nothing", 0x20000, {}));
  EXPECT_EQ(g.regions.size(), before) << "nothing placed";

  EXPECT_TRUE(synth_place_at_program(g, "after", "right after the head", 0x2C20, marker));
  EXPECT_TRUE(synth_place_at_sector(g, "sector", "side 1 track 2", 1, 2, 1, marker));
  EXPECT_EQ(synth_find(g, "sector")->offset, 409600u + 2 * 5120);
}

TEST(SyntheticGameData, FilesCarryTheRegionsAndTheFiller) {
  synth_game_data g = synth_standard();
  ASSERT_TRUE(synth_place_at_sector(g, "sector", "a marker on side 0, track 20", 0, 20, 3, marker));
  const std::vector<u8> logical = synth_logical_file(g);
  ASSERT_EQ(logical.size(), synth_full_size) << g.error;
  for (const synth_region& r : g.regions)
    EXPECT_EQ(std::vector<u8>(logical.begin() + r.offset, logical.begin() + r.offset + r.bytes.size()), r.bytes)
        << r.name;
  EXPECT_EQ(logical[0x20000], synth_filler(0x20000)) << "mapped, not shared, no region";
  EXPECT_EQ(logical[0x100], 0) << "unmapped bytes read as 0 from the image";
  EXPECT_EQ(logical[0x80000], 0);

  EXPECT_EQ(synth_bkm(g), logical);
  const std::vector<u8> minimal = synth_bkm(g, synth_minimal_size);
  EXPECT_EQ(minimal, std::vector<u8>(logical.begin(), logical.begin() + synth_minimal_size));

  const std::vector<u8> image = synth_image(g);
  ASSERT_EQ(image.size(), synth_image_size);
  EXPECT_EQ(game_data_crc32(image.data(), image.size()), vellicor_image_crc);
}

TEST(SyntheticGameData, RefusesRegionsTheImageCannotCarry) {
  synth_game_data unmapped = synth_standard();
  ASSERT_TRUE(synth_place(unmapped, "boot_sector", "in the unmapped first kilobyte", 0x10, marker));
  EXPECT_TRUE(synth_image(unmapped).empty());
  EXPECT_TRUE(synth_logical_file(unmapped).empty());
  EXPECT_NE(unmapped.error.find("does not map"), std::string::npos) << unmapped.error;

  // Logical $400 and $C7600 lie on the same image bytes.
  synth_game_data shared = synth_standard();
  ASSERT_TRUE(synth_place(shared, "first", "on the image bytes from $3FE", 0x400, marker));
  EXPECT_EQ(synth_image(shared).size(), synth_image_size) << "alone it is carried";
  ASSERT_TRUE(synth_place(shared, "second", "on the same image bytes", 0xC7600, std::vector<u8>{1, 2, 3, 4}));
  EXPECT_TRUE(synth_image(shared).empty());
  EXPECT_NE(shared.error.find("shares"), std::string::npos) << shared.error;
}

TEST(SyntheticGameData, TheWrittenFileIsPinned) {
  std::string error;
  const std::vector<u8> bkm = synth_standard_bkm(error);
  ASSERT_EQ(bkm.size(), synth_full_size) << error;
  char now[16];
  std::snprintf(now, sizeof now, "0x%08X", game_data_crc32(bkm.data(), bkm.size()));
  char pinned[16];
  std::snprintf(pinned, sizeof pinned, "0x%08X", synth_bkm_pinned_crc32);
  EXPECT_STREQ(now, pinned) << "the synthetic BKM is not the pinned one: a miscompiled build, or a changed "
                               "content whose CRC32 belongs in synth_bkm_pinned_crc32";
}

} // namespace
