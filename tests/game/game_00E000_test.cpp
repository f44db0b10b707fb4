// The disk layer of page $E000: the cached sector loader's hits, misses
// and windows against a stand-in for the resident file service, and the
// floppy-controller routines whose register writes are only stored.
#include <gtest/gtest.h>

#include <vector>

#include "game/game_ram.h"
#include "machine/io_devices.h"
#include "support/machine/dispatch_check.h"
#include "support/machine/gemdos_double.h"
#include "support/machine/machine_fixture.h"

namespace {

constexpr u32 disk_size = 819200;
constexpr u32 cache = 0x81000;
constexpr u32 fake_service = 0xC00000; // the resident table's base in these tests
constexpr u32 game_stack = 0x200000;

u8 disk_byte(u32 offset) { return static_cast<u8>(offset * 7 + (offset >> 9)); }

// The resident file service as the loader sees it: the request at a0 is
// noted and the window it names is read from the disk into the buffer.
std::vector<std::vector<u8>> service_requests;
ROUTINE(test_file_service, 0xC00000)
  {
    std::vector<u8> r(28);
    for (u32 i = 0; i < 28; ++i) r[i] = static_cast<u8>(rd8(a0 + i));
    service_requests.push_back(r);
    const u32 buffer = rd32(a0), offset = rd32(a0 + 4), count = rd32(a0 + 8);
    for (u32 i = 0; i < count && offset + i < disk_size; ++i) wr8(buffer + i, disk_byte(offset + i));
  }
  a0 = 0xDEAD; // the service changes d1, a0, a1
  d1 = 0xDEAD;
  d0 = 0;
  RTS();
END_ROUTINE

u32 be32(const std::vector<u8>& b, u32 at) {
  return static_cast<u32>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// The boot state's control block, with the test service as the miss vector.
void cache_boot(bool whole_disk, u32 window = disk_size) {
  const u8 name[4] = {'B', 'K', 'M', 0};
  for (u32 i = 0; i < 4; ++i) wr8(cache_file_name + i, name[i]);
  wr32(cache_first, 0xFFFFFFFF);
  wr32(cache_end, 0);
  wr32(cache_disk_size, disk_size);
  wr32(cache_buffer, cache);
  wr32(cache_window, window);
  wr8(cache_whole_disk, whole_disk ? 0xFF : 0x00);
  wr32(resident_table, fake_service);
}

void request(int side, u32 track, u32 sector, u32 count, u32 buffer) {
  wr16(disk_side, static_cast<u32>(side));
  wr16(disk_track, track);
  wr16(disk_sector, sector);
  wr16(disk_count, count);
  wr32(disk_buffer, buffer);
}

class SectorLoader : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    service_requests.clear();
    register_routine(fake_service, test_file_service);
  }

  // Runs the loader with distinct values in every register it must keep.
  void load() {
    for (int i = 1; i < 8; ++i) g_cpu.d[i] = 0x01010101u * static_cast<u32>(i);
    for (int i = 0; i < 7; ++i) g_cpu.a[i] = 0x00100000u + static_cast<u32>(i);
    g_cpu.d[0] = 0x55555555;
    g_cpu.a[7] = game_stack;
    driver_start(0x00E92A);
    gemdos_double none;
    ASSERT_GT(run_with_gemdos(none, 20), 0);
    EXPECT_EQ(g_cpu.d[0], 0u);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(g_cpu.d[i], 0x01010101u * static_cast<u32>(i)) << "d" << i;
    for (int i = 0; i < 7; ++i) EXPECT_EQ(g_cpu.a[i], 0x00100000u + static_cast<u32>(i)) << "a" << i;
    EXPECT_EQ(g_cpu.a[7], game_stack);
  }

  void expect_loaded(u32 buffer, u32 offset, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) ASSERT_EQ(rd8(buffer + i), disk_byte(offset + i)) << "byte " << i;
    EXPECT_EQ(rd8(buffer + bytes), 0u) << "one byte too many";
  }
};

TEST_F(SectorLoader, AnEmptyCacheReadsTheWholeDiskThenServesHits) {
  cache_boot(true);
  request(1, 1, 1, 1, 0x5647E);
  load();
  ASSERT_EQ(service_requests.size(), 1u);
  const std::vector<u8>& r = service_requests[0];
  EXPECT_EQ(be32(r, 0), cache);
  EXPECT_EQ(be32(r, 4), 0u);
  EXPECT_EQ(be32(r, 8), disk_size);
  EXPECT_EQ(r[14], 'B');
  EXPECT_EQ(r[16], 'M');
  EXPECT_EQ(r[17], 0);
  EXPECT_EQ(rd32(cache_first), 0u);
  EXPECT_EQ(rd32(cache_end), disk_size);
  expect_loaded(0x5647E, 414720, 512);

  // Side 0, track 20, sector 3, 38 sectors: a copy from the cache.
  request(0, 20, 3, 38, 0x30000);
  load();
  EXPECT_EQ(service_requests.size(), 1u);
  expect_loaded(0x30000, 103424, 38 * 512);
}

TEST_F(SectorLoader, ARequestEndingPastTheCachedRangeIsAMiss) {
  cache_boot(true);
  wr32(cache_first, 0);
  wr32(cache_end, 0x1000);
  request(0, 0, 8, 2, 0x30000); // $E00-$11FF
  load();
  ASSERT_EQ(service_requests.size(), 1u);
  EXPECT_EQ(be32(service_requests[0], 8), disk_size);
  expect_loaded(0x30000, 0xE00, 1024);

  cache_boot(true);
  wr32(cache_first, 0);
  wr32(cache_end, 0x1200);
  request(0, 0, 8, 2, 0x30000); // ends exactly at the cached end: a hit
  load();
  EXPECT_EQ(service_requests.size(), 1u);
}

TEST_F(SectorLoader, WindowModeReadsAWindowAndMovesItDownAtTheDiskEnd) {
  struct row {
    int side;
    u32 track, sector, count;
    u32 window_start; // the file offset the service is asked for
  };
  const row rows[] = {
      {0, 1, 1, 2, 5120},
      {1, 79, 10, 1, disk_size - 0x8000},
      {1, 79, 1, 10, disk_size - 0x8000},
  };
  for (const row& w : rows) {
    SCOPED_TRACE(testing::Message() << "side " << w.side << " track " << w.track << " sector " << w.sector);
    machine_clear();
    service_requests.clear();
    register_routine(fake_service, test_file_service);
    cache_boot(false, 0x8000);
    request(w.side, w.track, w.sector, w.count, 0x30000);
    load();
    const u32 offset = static_cast<u32>(w.side) * 409600 + w.track * 5120 + (w.sector - 1) * 512;
    ASSERT_EQ(service_requests.size(), 1u);
    EXPECT_EQ(be32(service_requests[0], 0), cache);
    EXPECT_EQ(be32(service_requests[0], 4), w.window_start);
    EXPECT_EQ(be32(service_requests[0], 8), 0x8000u);
    EXPECT_EQ(rd32(cache_first), w.window_start);
    EXPECT_EQ(rd32(cache_end), w.window_start + 0x8000);
    expect_loaded(0x30000, offset, w.count * 512);
  }
}

// The high-score write: one sector from $28000 to track 0, sector 2. The
// DMA address and the mode words are stored; nothing is written anywhere.
TEST_F(SectorLoader, TheWriteTransferStoresItsRegistersAndGoesOn) {
  struct row {
    u32 sector, count;
    u32 track_after, sector_after, buffer_after;
  };
  const row rows[] = {
      {2, 1, 0, 2, 0x28000},
      {9, 2, 1, 1, 0x28200},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << "sector " << r.sector << ", count " << r.count);
    machine_clear();
    request(0, 0, r.sector, r.count, 0x28000);
    wr32(0x28000, 0x12345678);
    g_cpu.d[7] = 1; // the transfer sets its own time-out count, whatever d7 held
    driver_start(0x00E8B2);
    gemdos_double none;
    ASSERT_GT(run_with_gemdos(none, 20), 0);
    EXPECT_EQ(rd8(0xFF8609), 0x02u);
    EXPECT_EQ(rd8(0xFF860B), r.count == 1 ? 0x80u : 0x82u);
    EXPECT_EQ(rd8(0xFF860D), 0x00u);
    EXPECT_EQ(rd16(0xFF8606), 0x180u); // the last mode: command register
    EXPECT_EQ(rd16(disk_count), 0u);
    EXPECT_EQ(rd16(disk_track), r.track_after);
    EXPECT_EQ(rd16(disk_sector), r.sector_after);
    EXPECT_EQ(rd32(disk_buffer), r.buffer_after);
    EXPECT_EQ(rd16(motor_off_vbls), 350u);
    EXPECT_EQ(rd16(sector_attempts), 2u);
    EXPECT_EQ(rd32(0x28000), 0x12345678u);
    EXPECT_EQ(g_cpu.d[0], 0xA0u);
  }
}

TEST_F(SectorLoader, DriveSelectReplacesTheLowBitsOfPortA) {
  wr8(0xFF8800, 14);
  wr8(0xFF8802, 0xF5);
  g_cpu.d[0] = 0x12345607;
  g_cpu.d[1] = 0xAAAAAAAA;
  g_cpu.d[2] = 0xBBBBBBBB;
  g_cpu.sr_sys = 0x2300;
  driver_start(0x00EA8C);
  gemdos_double none;
  ASSERT_GT(run_with_gemdos(none, 4), 0);
  wr8(0xFF8800, 14);
  EXPECT_EQ(rd8(0xFF8800), 0xF7u);
  EXPECT_EQ(g_cpu.d[0], 0x123456F5u);
  EXPECT_EQ(g_cpu.d[1], 0xAAAAAAF0u);
  EXPECT_EQ(g_cpu.d[2], 0xBBBBBBF5u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
}

TEST_F(SectorLoader, TheSettleDelayKeepsSrAndTheLowWordOfD7) {
  g_cpu.d[7] = 0xFFFF1234;
  g_cpu.sr_sys = 0x2300;
  g_cpu.fc = 1;
  g_cpu.fn = 1;
  driver_start(0x00EA18);
  gemdos_double none;
  ASSERT_GT(run_with_gemdos(none, 4), 0);
  EXPECT_EQ(g_cpu.d[7], 0x00001234u);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
  EXPECT_EQ(g_cpu.fc, 1);
  EXPECT_EQ(g_cpu.fn, 1);
}

// The motor-off countdown of the VBL handler: 350 VBLs after a transfer the
// drives are deselected, unless bit 7 of the interrupted d0 says the motor
// still runs; then the test repeats at the next VBL. Whenever the count
// runs out the status register is selected and the keyboard ACIA reset
// (a byte waiting there is read and lost).
TEST_F(SectorLoader, TheMotorOffCountdownDeselectsTheDrives) {
  struct row {
    u32 countdown, d0;
    u32 countdown_after;
    u32 port_a_after;
    bool ran_out;
  };
  const row rows[] = {
      {0, 0, 0, 0xF0, false},
      {5, 0, 4, 0xF0, false},
      {1, 0, 0, 0xF7, true},
      {1, 0x80, 1, 0xF0, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << "countdown " << r.countdown << ", d0 " << r.d0);
    machine_clear();
    wr16(motor_off_vbls, r.countdown);
    wr8(0xFF8800, 14);
    wr8(0xFF8802, 0xF0);
    wr16(0xFF8606, 0x186);
    acia_push(0x39);
    g_cpu.d[0] = r.d0;
    g_cpu.sr_sys = 0x2400;
    driver_start(0x00EAD8);
    gemdos_double none;
    ASSERT_GT(run_with_gemdos(none, 4), 0);
    EXPECT_EQ(rd16(motor_off_vbls), r.countdown_after);
    wr8(0xFF8800, 14);
    EXPECT_EQ(rd8(0xFF8800), r.port_a_after);
    EXPECT_EQ(rd16(0xFF8606), r.ran_out ? 0x80u : 0x186u);
    EXPECT_EQ(acia_len(), r.ran_out ? 0 : 1) << "the keyboard ACIA reset";
    EXPECT_EQ(g_cpu.sr_sys, 0x2400);
  }
}

// The seek: the track goes to the data register, the seek command to the
// command register; neither reaches a disk, the command stays in d0.
TEST_F(SectorLoader, TheSeekPreparesTrackAndCommand) {
  wr16(disk_track, 37);
  driver_start(0x00EA4A);
  gemdos_double none;
  ASSERT_GT(run_with_gemdos(none, 4), 0);
  EXPECT_EQ(g_cpu.d[0], 0x13u);
  EXPECT_EQ(rd16(0xFF8606), 0x80u);
}

// The end of disk access ($8904): the status register selected, the drives
// deselected, SR as it was, the keyboard ACIA reset. While bit 7 of the entering d0 is set it repeats its settle delay
// for ever, giving the host its budget back.
TEST_F(SectorLoader, TheEndOfDiskAccessDeselectsTheDrives) {
  wr8(0xFF8800, 14);
  wr8(0xFF8802, 0xF2);
  wr16(0xFF8606, 0x186);
  acia_push(0x39);
  g_cpu.sr_sys = 0x2300;
  g_cpu.d[0] = 0x12345600;
  g_cpu.d[7] = 0xFFFF1234;
  driver_start(0x008904);
  gemdos_double none;
  ASSERT_GT(run_with_gemdos(none, 4), 0);
  wr8(0xFF8800, 14);
  EXPECT_EQ(rd8(0xFF8800), 0xF7u);
  EXPECT_EQ(rd16(0xFF8606), 0x80u);
  EXPECT_EQ(acia_len(), 0);
  EXPECT_EQ(g_cpu.sr_sys, 0x2300);
  EXPECT_EQ(g_cpu.d[7], 0x00001234u) << "the settle delay ran";

  machine_clear();
  g_cpu.d[0] = 0x80;
  driver_start(0x008904);
  driver_run(3, 1000);
  EXPECT_FALSE(driver_finished());
  for (const slice_end& e : driver_slice_ends()) EXPECT_EQ(e.reason, static_cast<u32>(YIELD_BUDGET));
  wr8(0xFF8800, 14);
  EXPECT_EQ(rd8(0xFF8800), 0u) << "the drives are not deselected";
}

TEST(DiskLayer, NamedAddresses) {
  expect_named_rows({
      {0x00E8B2, routine_entry, "sub_00E8B2"},
      {0x00E92A, routine_entry, "sub_00E92A"},
      {0x002000, resume_label, "sub_00E92A"},
      {0x002048, resume_label, "sub_00E92A"},
      {0x00E9AE, routine_entry, "sub_00E9AE"},
      {0x00E9EA, routine_entry, "sub_00E9EA"},
      {0x00EA06, routine_entry, "sub_00EA06"},
      {0x00EA10, routine_entry, "sub_00EA10"},
      {0x00EA18, routine_entry, "sub_00EA18"},
      {0x00EA28, routine_entry, "sub_00EA28"},
      {0x00EA4A, routine_entry, "sub_00EA4A"},
      {0x00EA5C, routine_entry, "sub_00EA5C"},
      {0x00EA76, routine_entry, "sub_00EA76"},
      {0x00EA8C, routine_entry, "sub_00EA8C"},
      {0x00EAD8, routine_entry, "sub_00EAD8"},
      {0x00EB26, routine_entry, "sub_00EB26"},
  });
}

} // namespace
