#include "machine/io_devices.h"

#include <vector>

#include "game/routine_kit.h"
#include "machine/memory.h"
#include "support/machine/machine_fixture.h"

namespace {

class IoDevices : public MachineTest {};

std::vector<ym_event> take_all() {
  std::vector<ym_event> ev(ym_log_capacity);
  ev.resize(ym_take(ev.data(), ym_log_capacity));
  return ev;
}

TEST_F(IoDevices, KeyboardAciaStatusAndData) {
  EXPECT_EQ(rd8(0xFFFC00), 0x02u);
  EXPECT_EQ(rd8(0xFFFC02), 0u) << "empty queue reads 0";
  acia_push(0x39);
  acia_push(0xB9);
  EXPECT_EQ(rd8(0xFFFC00), 0x83u);
  EXPECT_EQ(rd8(0xFFFC00), 0x83u) << "status does not consume";
  EXPECT_EQ(acia_len(), 2);
  EXPECT_EQ(rd8(0xFFFC02), 0x39u);
  EXPECT_EQ(acia_len(), 1);
  EXPECT_EQ(acia_peek(0), 0xB9);
  EXPECT_EQ(acia_peek(1), -1);
  EXPECT_EQ(rd8(0xFFFC02), 0xB9u);
  EXPECT_EQ(rd8(0xFFFC00), 0x02u);
  EXPECT_EQ(rd8(0xFFFC04), 0x02u) << "MIDI ACIA status";
}

TEST_F(IoDevices, ReceiveQueueWrapsAndDropsWhenFull) {
  for (int i = 0; i < rx_capacity + 10; ++i) acia_push(static_cast<u8>(i));
  EXPECT_EQ(acia_len(), rx_capacity);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(rd8(0xFFFC02), static_cast<u32>(i & 0xFF));
  for (int i = 0; i < 100; ++i) acia_push(0xEE); // wraps around the ring
  EXPECT_EQ(acia_len(), rx_capacity);
  EXPECT_EQ(acia_peek(rx_capacity - 1), 0xEE);
  EXPECT_EQ(acia_peek(0), 100);
  acia_clear();
  EXPECT_EQ(acia_len(), 0);
}

TEST_F(IoDevices, CommandBytesToTheKeyboardProcessor) {
  for (int i = 0; i < 300; ++i) wr8(0xFFFC02, static_cast<u32>(i));
  u8 got[256];
  EXPECT_EQ(ikbd_take(got, 4), 4);
  EXPECT_EQ(got[3], 3);
  EXPECT_EQ(ikbd_take(got, 256), 0) << "a short take still empties the queue";
  wr16(0xFFFC02, 0x1280);
  EXPECT_EQ(ikbd_take(got, 256), 1);
  EXPECT_EQ(got[0], 0x80) << "the value's low byte is sent";
}

TEST_F(IoDevices, YmSelectTakesTheRightByte) {
  wr16(0xFF8800, 0x0700);
  EXPECT_EQ(get_ym_sel(), 7);
  wr8(0xFF8800, 0xFF);
  EXPECT_EQ(get_ym_sel(), 15) << "selection limited to 15";
}

// Every byte written at an even address of $FF8800-$FF88FF reaches the
// chip: a select where bit 1 of the address is clear, a data write where it
// is set. Each case starts with register 2 selected.
TEST_F(IoDevices, YmIsDecodedAcrossItsWholePage) {
  struct reg_value {
    int reg;
    u8 value;
  };
  const struct {
    const char* what;
    void (*write)();
    int sel;
    std::vector<reg_value> logged; // also the registers that changed
  } cases[] = {
      {"byte select", [] { wr8(0xFF8800, 7); }, 7, {}},
      {"byte select beyond 15", [] { wr8(0xFF8800, 16); }, 15, {}},
      {"byte data", [] { wr8(0xFF8802, 0x55); }, 2, {{2, 0x55}}},
      {"byte select mirror $FF8804", [] { wr8(0xFF8804, 9); }, 9, {}},
      {"byte data mirror $FF8806", [] { wr8(0xFF8806, 0x33); }, 2, {{2, 0x33}}},
      {"byte select mirror $FF88FC", [] { wr8(0xFF88FC, 11); }, 11, {}},
      {"byte data mirror $FF88FE", [] { wr8(0xFF88FE, 0x44); }, 2, {{2, 0x44}}},
      {"byte at an odd address", [] { wr8(0xFF8801, 7); wr8(0xFF8803, 0x66); wr8(0xFF88FF, 1); }, 2, {}},
      {"word select", [] { wr16(0xFF8800, 0x0700); }, 7, {}},
      {"word data", [] { wr16(0xFF8802, 0x0A00); }, 2, {{2, 0x0A}}},
      {"word data mirror $FF88FE", [] { wr16(0xFF88FE, 0x1234); }, 2, {{2, 0x12}}},
      {"long select and data", [] { wr32(0xFF8800, 0x0A000C00); }, 10, {{10, 0x0C}}},
      {"long at $FF8804", [] { wr32(0xFF8804, 0x08000F00); }, 8, {{8, 0x0F}}},
      {"long at $FF88FC", [] { wr32(0xFF88FC, 0x0300BEEF); }, 3, {{3, 0xBE}}},
      {"long from the data port on", [] { wr32(0xFF8802, 0x21000900); }, 9, {{2, 0x21}}},
      {"MOVEP.L two pairs", [] { movep_store<L>(0x080F090E, 0xFF8800); }, 9, {{8, 0x0F}, {9, 0x0E}}},
      {"MOVEP.W one pair", [] { movep_store<W>(0x0A0D, 0xFF8800); }, 10, {{10, 0x0D}}},
      {"MOVEP.W from the data port", [] { movep_store<W>(0x1107, 0xFF8802); }, 7, {{2, 0x11}}},
      {"MOVEP.W at an odd address", [] { movep_store<W>(0x0506, 0xFF8801); }, 2, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cpu_reset_io();
    wr8(0xFF8800, 2);
    c.write();
    EXPECT_EQ(get_ym_sel(), c.sel);
    u8 want[16] = {};
    for (const reg_value& r : c.logged) want[r.reg] = r.value;
    for (int r = 0; r < 16; ++r) EXPECT_EQ(get_ym_regs()[r], want[r]) << "register " << r;
    const auto ev = take_all();
    ASSERT_EQ(ev.size(), c.logged.size());
    for (size_t i = 0; i < ev.size(); ++i) {
      EXPECT_EQ(ev[i].reg, c.logged[i].reg);
      EXPECT_EQ(ev[i].value, c.logged[i].value);
    }
  }
}

TEST_F(IoDevices, YmSelectMirrorsReadTheSelectedRegister) {
  wr32(0xFF8800, 0x0C005A00);
  for (u32 addr : {0xFF8800u, 0xFF8804u, 0xFF88F8u, 0xFF88FCu})
    EXPECT_EQ(rd8(addr), 0x5Au) << std::hex << addr;
  EXPECT_EQ(rd16(0xFF88FC) >> 8, 0x5Au);
  EXPECT_EQ(rd8(0xFF8802), 0x5Au) << "the data port keeps the byte written";
  EXPECT_EQ(rd8(0xFF8801), 0u) << "odd addresses are no register";
  wr8(0xFF8804, 3);
  EXPECT_EQ(rd32(0xFF8800), 0x00005A00u) << "register 3 at the select, the byte written at the data port";
  wr8(0xFF8806, 0x77);
  EXPECT_EQ(rd32(0xFF8804), 0x77007700u);
}

TEST_F(IoDevices, YmDataWritesAreLoggedWithTime) {
  g_cpu.sub_vbl_time = 0.25;
  wr8(0xFF8800, 8);
  wr8(0xFF8802, 0x0F);
  EXPECT_EQ(rd8(0xFF8800), 0x0Fu) << "register read back through the select address";
  wr8(0xFF8800, 14);
  wr8(0xFF8802, 0x40); // the chip's I/O port: kept, not logged
  EXPECT_EQ(get_ym_regs()[14], 0x40);
  g_ym_tag = 1;
  wr8(0xFF8800, 8);
  wr16(0xFF8802, 0x0A00);
  wr8(0xFF8802, 0x0B);
  g_ym_tag = 1;
  wr8(0xFF8800, 2);
  wr8(0xFF8802, 0x55); // tagged, but not a sample register: plain
  g_ym_tag = 1;
  wr32(0xFF8800, 0x09000C00); // the last sample register, through a long write

  const auto ev = take_all();
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[0].reg, 8);
  EXPECT_DOUBLE_EQ(ev[0].time, 0.25);
  EXPECT_EQ(ev[1].reg, 24) << "tagged write to register 8";
  EXPECT_EQ(ev[1].value, 0x0A);
  EXPECT_EQ(ev[2].reg, 8) << "the tag lasts one write";
  EXPECT_EQ(ev[3].reg, 2);
  EXPECT_EQ(ev[4].reg, 25);
  EXPECT_EQ(ev[4].value, 0x0C);
  EXPECT_EQ(g_ym_tag, 0u);
}

TEST_F(IoDevices, YmTakeMovesTheOldestAndKeepsTheRest) {
  for (int i = 0; i < 5; ++i) {
    wr8(0xFF8800, static_cast<u32>(i));
    wr8(0xFF8802, static_cast<u32>(i * 3));
  }
  ym_event two[2];
  EXPECT_EQ(ym_take(two, 2), 2);
  EXPECT_EQ(two[1].reg, 1);
  const auto rest = take_all();
  ASSERT_EQ(rest.size(), 3u);
  EXPECT_EQ(rest[0].reg, 2);
  EXPECT_EQ(rest[2].value, 12);
}

TEST_F(IoDevices, YmLogDropsBeyondCapacity) {
  wr8(0xFF8800, 1);
  for (int i = 0; i < ym_log_capacity + 5; ++i) wr8(0xFF8802, static_cast<u32>(i));
  EXPECT_EQ(ym_pending(), ym_log_capacity);
  EXPECT_EQ(get_ym_regs()[1], static_cast<u8>(ym_log_capacity + 4)) << "the register still changes";
  ym_clear();
  EXPECT_EQ(ym_pending(), 0);
}

TEST_F(IoDevices, ResetClearsDevicesAndImage) {
  wr8(0xFF8800, 5);
  wr8(0xFF8802, 9);
  wr8(0xFFFC02, 0x80);
  acia_push(1);
  cpu_reset_io();
  EXPECT_EQ(get_ym_sel(), 0);
  EXPECT_EQ(get_ym_regs()[5], 0);
  EXPECT_EQ(ym_pending(), 0);
  EXPECT_EQ(acia_len(), 0);
  u8 b[4];
  EXPECT_EQ(ikbd_take(b, 4), 0);
  EXPECT_EQ(io[0x7C02], 0);
}

} // namespace
