#include "machine/memory.h"

#include "machine/io_devices.h"
#include "support/machine/machine_fixture.h"

namespace {

class Memory : public MachineTest {};

TEST_F(Memory, AccessesFollowTheAddressRules) {
  for (u32 i = 0; i < 8; ++i) ram[0x3FFFF8 + i] = static_cast<u8>(0xA0 + i);
  ram[5] = 0x5A;
  rom[0] = 0x12;
  rom[1] = 0x34;
  rom[rom_size - 1] = 0x77;

  struct {
    const char* what;
    u32 got;
    u32 want;
  } cases[] = {
      {"byte at the last RAM byte", rd8(0x3FFFFF), 0xA7},
      {"word at $3FFFFE is RAM", rd16(0x3FFFFE), 0xA6A7},
      {"word at $3FFFFF runs past RAM", rd16(0x3FFFFF), 0},
      {"long at $3FFFFC is RAM", rd32(0x3FFFFC), 0xA4A5A6A7},
      {"long at $3FFFFE runs past RAM", rd32(0x3FFFFE), 0},
      {"address taken modulo 2^24", rd8(0x01000005), 0x5A},
      {"high byte of the address ignored for words", rd16(0xFF000004), 0x005A},
      {"ROM word", rd16(0xE00000), 0x1234},
      {"ROM read clipped at its end", rd16(0xEFFFFF), 0x77},
      {"unmapped space", rd32(0x400000), 0},
      {"unmapped below the ROM", rd8(0xDFFFFF), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST_F(Memory, WritesNeverLeaveTheArrays) {
  wr8(0x01000005, 0x11);
  EXPECT_EQ(ram[5], 0x11);
  wr32(0xFF3FFFFC, 0xDEADBEEF); // masks to $3FFFFC
  EXPECT_EQ(rd32(0x3FFFFC), 0xDEADBEEFu);
  wr32(0x3FFFFE, 0x01020304); // runs past RAM: ignored
  EXPECT_EQ(rd16(0x3FFFFE), 0xBEEFu);
  wr16(0xE00000, 0xFFFF); // ROM is read-only
  EXPECT_EQ(rd16(0xE00000), 0u);
  wr32(0xFFFFFE, 0xAABBCCDD); // stops at the end of the I/O image
  EXPECT_EQ(io[0x7FFE], 0xAA);
  EXPECT_EQ(io[0x7FFF], 0xBB);
  EXPECT_EQ(io[0], 0u);
}

TEST_F(Memory, BigEndianAtOddAddresses) {
  wr32(0x1001, 0x11223344);
  EXPECT_EQ(ram[0x1001], 0x11);
  EXPECT_EQ(ram[0x1004], 0x44);
  EXPECT_EQ(rd16(0x1002), 0x2233u);
}

TEST_F(Memory, OtherRegistersKeepWhatWasWritten) {
  wr16(0xFF8240, 0x0777);
  wr8(0xFFFA07, 0x21);
  EXPECT_EQ(rd16(0xFF8240), 0x0777u);
  EXPECT_EQ(rd8(0xFFFA07), 0x21u);
}

} // namespace
