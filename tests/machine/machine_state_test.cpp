// Machine states: records, saving and loading the live machine, and the
// state file with its refusals of damaged or crafted files.
#include "machine/machine_state.h"

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "machine/io_devices.h"
#include "machine/ikbd.h"
#include "support/log_capture.h"
#include "support/machine/machine_fixture.h"

namespace {

class MachineState : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    std::memset(&tos, 0, sizeof tos);
    tos.song = -1;
    ym_clear();
    ikbd_reset();
  }
  temp_dir dir;
  log_capture log;
};

// Puts distinct values into every part of the live machine that a state holds.
void fill_live_machine(u32 seed) {
  std::mt19937 rng(seed);
  for (u32 i = 0; i < ram_size; i += 4096) {
    const bool noisy = rng() % 4 == 0;
    for (u32 k = 0; k < 4096; ++k) g_ram[i + k] = noisy ? static_cast<u8>(rng()) : static_cast<u8>(seed);
  }
  for (u32 i = 0; i < io_size; ++i) g_io[i] = static_cast<u8>(rng());
  for (int i = 0; i < 8; ++i) g_cpu.d[i] = rng();
  for (int i = 0; i < 8; ++i) g_cpu.a[i] = rng() & 0xFFFFFE;
  g_cpu.other_sp = rng() & 0xFFFFFE;
  g_cpu.pc = rng() & 0xFFFFFE;
  g_cpu.sr_sys = 0x2500;
  g_cpu.fx = 1, g_cpu.fn = 0, g_cpu.fz = 1, g_cpu.fv = 0, g_cpu.fc = 1;
  tos.vbl = rng();
  tos.mem_top = rng();
  tos.screen_base = rng();
  std::snprintf(tos.path, sizeof tos.path, "FILES/SUB%u", seed);
  tos.song = static_cast<i32>(seed % 7);
  tos.zone_count = 3;
  for (int z = 0; z < max_palette_zones; ++z) {
    tos.zones[z].line = z < 3 ? rng() % 200 : 0;
    for (u8& b : tos.zones[z].palette) b = z < 3 ? static_cast<u8>(rng()) : 0;
  }
  u8 regs[16];
  for (u8& r : regs) r = static_cast<u8>(rng());
  set_ym_regs(regs);
  set_ym_sel(static_cast<int>(rng() % 16));
  acia_clear();
  for (int i = 0; i < 5; ++i) acia_push(static_cast<u8>(rng()));
}

void expect_same_state(const machine_state& x, const machine_state& y) {
  EXPECT_EQ(std::memcmp(x.ram, y.ram, ram_size), 0) << "ram";
  EXPECT_EQ(std::memcmp(x.io, y.io, io_size), 0) << "io";
  EXPECT_EQ(x.pc, y.pc);
  EXPECT_EQ(x.vbl, y.vbl);
  EXPECT_EQ(x.sr, y.sr);
  EXPECT_EQ(x.usp, y.usp);
  EXPECT_EQ(x.ssp, y.ssp);
  EXPECT_EQ(x.a7, y.a7);
  EXPECT_EQ(x.mem_top, y.mem_top);
  EXPECT_EQ(x.screen_base, y.screen_base);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(x.d[i], y.d[i]) << "d" << i;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(x.a[i], y.a[i]) << "a" << i;
  EXPECT_EQ(x.song, y.song);
  EXPECT_EQ(x.acia_count, y.acia_count);
  EXPECT_EQ(std::memcmp(x.acia, y.acia, sizeof x.acia), 0) << "acia";
  EXPECT_EQ(x.zone_count, y.zone_count);
  for (int z = 0; z < x.zone_count && z < max_palette_zones; ++z) {
    EXPECT_EQ(x.zones[z].line, y.zones[z].line) << z;
    EXPECT_EQ(std::memcmp(x.zones[z].palette, y.zones[z].palette, 32), 0) << z;
  }
  EXPECT_EQ(std::memcmp(x.ym_regs, y.ym_regs, 16), 0) << "ym_regs";
  EXPECT_EQ(x.ym_sel, y.ym_sel);
  EXPECT_STREQ(x.path, y.path);
}

TEST_F(MachineState, NewRecordAndDeepClone) {
  state_ptr s(state_new());
  ASSERT_TRUE(s);
  EXPECT_EQ(s->song, -1);
  EXPECT_EQ(s->acia_count, 0);
  EXPECT_EQ(s->pc, 0u);
  fill_live_machine(3);
  tos_save_state(s.get());
  state_ptr c(state_clone(s.get()));
  ASSERT_TRUE(c);
  EXPECT_NE(c->ram, s->ram);
  expect_same_state(*s, *c);
  c->ram[100] ^= 0xFF;
  EXPECT_NE(c->ram[100], s->ram[100]) << "the copy has its own RAM";
  state_free(nullptr);
  EXPECT_EQ(state_clone(nullptr), nullptr);
}

TEST_F(MachineState, SaveWriteReadLoadRoundTripsEveryField) {
  fill_live_machine(1);
  state_ptr saved(state_new());
  tos_save_state(saved.get());
  EXPECT_EQ(saved->sr, 0x2515u);
  EXPECT_EQ(saved->ssp, g_cpu.a[7]) << "supervisor mode: a7 is the SSP";
  EXPECT_EQ(saved->usp, g_cpu.other_sp);
  EXPECT_EQ(saved->acia_count, 5);
  EXPECT_EQ(acia_len(), 5) << "saving does not consume the queue";

  const std::string path = dir / "slot1.bkms";
  ASSERT_EQ(state_write_file(saved.get(), path.c_str()), 1);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  state_ptr read(state_new());
  ASSERT_EQ(state_read_file(read.get(), path.c_str()), 1);
  expect_same_state(*saved, *read);

  const std::vector<u8> acia(saved->acia, saved->acia + 5);
  const u32 ssp = g_cpu.a[7], usp = g_cpu.other_sp;
  fill_live_machine(2);
  io_write(0xFF8800, 1, 3);
  io_write(0xFF8802, 1, 0x44); // a YM write of the other timeline
  tos_load_state(read.get());
  state_ptr again(state_new());
  tos_save_state(again.get());
  expect_same_state(*saved, *again);
  EXPECT_EQ(g_cpu.a[7], ssp);
  EXPECT_EQ(g_cpu.other_sp, usp);
  EXPECT_EQ(g_cpu.sr_sys, 0x2500);
  EXPECT_EQ(ym_pending(), 0) << "the YM write log is emptied";
  ASSERT_EQ(acia_len(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(acia_peek(i), acia[i]);
}

TEST_F(MachineState, UserModeStatesRestoreBothStacks) {
  fill_live_machine(4);
  g_cpu.sr_sys = 0x0000;
  g_cpu.fz = 1;
  g_cpu.a[7] = 0x7000;     // user stack, active
  g_cpu.other_sp = 0x2400; // supervisor stack
  state_ptr s(state_new());
  tos_save_state(s.get());
  EXPECT_EQ(s->sr & 0x2000, 0u);
  EXPECT_EQ(s->usp, 0x7000u);
  EXPECT_EQ(s->ssp, 0x2400u);
  EXPECT_EQ(s->a7, 0x7000u);

  fill_live_machine(5);
  tos_load_state(s.get());
  EXPECT_EQ(g_cpu.a[7], 0x7000u);
  EXPECT_EQ(g_cpu.other_sp, 0x2400u);
  EXPECT_EQ(g_cpu.sr_sys, 0);
  EXPECT_EQ(g_cpu.fz, 1);
}

ROUTINE(toy_resume, 0xC30000)
  d1 = 1;
LABEL(0xC30004)
  if (kit_wait(0xC30004)) return;
  GOTO(0xC30004);
LABEL(0xC30010)
  d1 = 2;
  GOTO(0xC30004);
END_ROUTINE

TEST_F(MachineState, LoadingRestartsTheGameAtThePcAndResetsTheRunBookkeeping) {
  register_routine(0xC30000, toy_resume, {0xC30004, 0xC30010});
  g_cpu.pc = 0xC30000;
  ASSERT_EQ(core_run(&g_cpu, 1000), YIELD_WAIT);
  ASSERT_TRUE(core_active());
  ASSERT_EQ(g_cpu.d[1], 1u);

  state_ptr s(state_new());
  tos_save_state(s.get());
  s->pc = 0xC30010;
  g_cpu.hook_on[5] = 1;
  g_cpu.patch_flags[1] = 1;
  g_cpu.vbl_wait_armed = 1;
  g_cpu.vbl_flag = 1;
  stop_flag = 1;
  io_write(0xFFFC02, 1, 0x80); // the first byte of a keyboard reset command
  drain_ikbd();

  tos_load_state(s.get());
  EXPECT_FALSE(core_active()) << "the coroutine is dropped";
  EXPECT_EQ(g_cpu.vbl_wait_armed, 0u);
  EXPECT_EQ(g_cpu.vbl_flag, 0u);
  EXPECT_EQ(stop_flag, 0);
  EXPECT_EQ(g_cpu.hook_on[5], 1) << "hook enables are the host's, not the state's";
  EXPECT_EQ(g_cpu.patch_flags[1], 1);
  io_write(0xFFFC02, 1, 0x01);
  drain_ikbd();
  EXPECT_EQ(acia_len(), 0) << "the half-collected command was forgotten";

  EXPECT_EQ(core_run(&g_cpu, 1000), YIELD_WAIT);
  EXPECT_EQ(g_cpu.d[1], 2u) << "a fresh coroutine started at the saved pc";
}

TEST_F(MachineState, LoadingPutsBackTheTwoCodeWords) {
  struct word_case {
    u32 address;
    u16 in_state, after_load;
  };
  const word_case cases[] = {
      {0xAA42, 0x4E75, 0x48E7}, {0xB13E, 0x6086, 0x4E75}, {0xAA42, 0x1234, 0x1234}, {0xB13E, 0x4E75, 0x4E75}};
  for (const word_case& c : cases) {
    state_ptr s(state_new());
    tos_save_state(s.get());
    s->ram[c.address] = static_cast<u8>(c.in_state >> 8);
    s->ram[c.address + 1] = static_cast<u8>(c.in_state);
    tos_load_state(s.get());
    EXPECT_EQ(rd16(c.address), c.after_load) << std::hex << c.address << " " << c.in_state;
  }
}

std::vector<u8> file_bytes(const std::string& path) {
  const std::string s = slurp(path);
  return {s.begin(), s.end()};
}

void put32(std::vector<u8>& f, size_t at, u32 v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<u8>(v >> (24 - 8 * i));
}

TEST_F(MachineState, DamagedOrCraftedFilesAreRefusedAndChangeNothing) {
  std::memset(g_ram, 0, ram_size);
  state_ptr base(state_new());
  tos_save_state(base.get());
  const std::string good_path = dir / "good.bkms";
  ASSERT_EQ(state_write_file(base.get(), good_path.c_str()), 1);
  const std::vector<u8> good = file_bytes(good_path);
  ASSERT_EQ(good.size(), state_header_size + 64528);

  struct bad_case {
    const char* what;
    std::vector<u8> (*make)(std::vector<u8>);
  };
  const bad_case cases[] = {
      {"empty", [](std::vector<u8>) { return std::vector<u8>{}; }},
      {"shorter than the header", [](std::vector<u8> f) { f.resize(state_header_size - 1); return f; }},
      {"packed memory one byte short", [](std::vector<u8> f) { f.pop_back(); return f; }},
      {"wrong magic", [](std::vector<u8> f) { f[3] = 'X'; return f; }},
      {"packed length 0", [](std::vector<u8> f) { put32(f, 33704, 0); return f; }},
      {"packed length past the file", [](std::vector<u8> f) { put32(f, 33704, 64529); return f; }},
      {"packed length huge", [](std::vector<u8> f) { put32(f, 33704, 0xFFFFFFF0); return f; }},
      {"257 keyboard bytes", [](std::vector<u8> f) { put32(f, 104, 257); return f; }},
      {"negative keyboard count", [](std::vector<u8> f) { put32(f, 104, 0xFFFFFFFF); return f; }},
      {"9 palette zones", [](std::vector<u8> f) { put32(f, 364, 9); return f; }},
      {"negative zone count", [](std::vector<u8> f) { put32(f, 364, 0x80000000); return f; }},
      {"memory that unpacks too long", [](std::vector<u8> f) { f[f.size() - 2] = 0xFF; return f; }},
      {"garbage", [](std::vector<u8> f) {
         std::mt19937 rng(9);
         for (u8& b : f) b = static_cast<u8>(rng());
         f[0] = 'B', f[1] = 'K', f[2] = 'M', f[3] = 'S', f[4] = '1';
         return f;
       }},
  };
  for (const bad_case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / "bad.bkms";
    spit(path, [&] {
      const std::vector<u8> b = c.make(good);
      return std::string(b.begin(), b.end());
    }());
    state_ptr record(state_new());
    fill_live_machine(6);
    tos_save_state(record.get());
    state_ptr before(state_clone(record.get()));
    u8* ram_before = record->ram;
    EXPECT_EQ(state_read_file(record.get(), path.c_str()), 0);
    EXPECT_EQ(record->ram, ram_before);
    expect_same_state(*before, *record);
    EXPECT_NE(log.text().find("State file " + path), std::string::npos) << "a log line names the file";
  }
  state_ptr record(state_new());
  EXPECT_EQ(state_read_file(record.get(), (dir / "missing.bkms").c_str()), 0);
  EXPECT_EQ(state_read_file(record.get(), dir.path.c_str()), 0) << "a folder";
}

// Slot files are user files: one larger than any state is refused from its
// size before it is read (sparse files here: they cost no disk).
TEST_F(MachineState, FilesLargerThanAnyStateAreNotRead) {
  log_capture log;
  std::mt19937 rng(5);
  for (u32 i = 0; i < ram_size; ++i) g_ram[i] = static_cast<u8>(rng()); // packs worst
  state_ptr base(state_new());
  tos_save_state(base.get());
  const std::string path = dir / "slot1.bkms";
  ASSERT_EQ(state_write_file(base.get(), path.c_str()), 1);
  EXPECT_LE(std::filesystem::file_size(path), state_file_largest);
  std::filesystem::resize_file(path, state_file_largest);
  state_ptr read(state_new());
  EXPECT_EQ(state_read_file(read.get(), path.c_str()), 1) << "zero bytes after the memory are ignored";
  for (std::uintmax_t size : {std::uintmax_t{state_file_largest} + 1, std::uintmax_t{6} << 30}) {
    std::filesystem::resize_file(path, size);
    EXPECT_EQ(state_read_file(read.get(), path.c_str()), 0) << size;
    EXPECT_TRUE(log.has(path + " is not read: " + std::to_string(size) + " bytes, more than the " +
                        std::to_string(state_file_largest) + " a file of its kind can hold"))
        << log.text();
  }
}

TEST_F(MachineState, TolerableFilesLoad) {
  std::memset(g_ram, 0x11, ram_size);
  state_ptr base(state_new());
  tos_save_state(base.get());
  const std::string path = dir / "s.bkms";
  ASSERT_EQ(state_write_file(base.get(), path.c_str()), 1);
  std::vector<u8> f = file_bytes(path);

  f.insert(f.end(), 100, 0x5A); // bytes after the complete memory
  f[5] = 'x';                   // the three bytes after "BKMS1" are not checked
  for (size_t i = 0; i < 260; ++i) f[676 + i] = 'A'; // a path without its terminator
  spit(path, std::string(f.begin(), f.end()));
  state_ptr read(state_new());
  ASSERT_EQ(state_read_file(read.get(), path.c_str()), 1);
  EXPECT_EQ(std::string(read->path), std::string(259, 'A'));
  EXPECT_EQ(std::memcmp(read->ram, base->ram, ram_size), 0);
}

TEST_F(MachineState, RecordsWithCountsOutOfRangeStillWriteLoadableFiles) {
  std::memset(g_ram, 0, ram_size);
  state_ptr s(state_new());
  tos_save_state(s.get());
  s->acia_count = 300;
  s->zone_count = -2;
  const std::string path = dir / "odd.bkms";
  ASSERT_EQ(state_write_file(s.get(), path.c_str()), 1);
  state_ptr back(state_new());
  ASSERT_EQ(state_read_file(back.get(), path.c_str()), 1);
  EXPECT_EQ(back->acia_count, 256);
  EXPECT_EQ(back->zone_count, 0);
  tos_load_state(s.get());
  EXPECT_EQ(acia_len(), 256) << "loading a record keeps to its arrays too";
  EXPECT_EQ(tos.zone_count, 0);
}

TEST_F(MachineState, WriteFailuresAreReportedAndKeepTheOldFile) {
  state_ptr s(state_new());
  std::memset(g_ram, 0, ram_size);
  tos_save_state(s.get());
  const std::string folder = dir / "a_folder";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(state_write_file(s.get(), folder.c_str()), 0) << "renaming over a folder fails";
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_FALSE(std::filesystem::exists(folder + ".tmp"));
  EXPECT_EQ(state_write_file(s.get(), (dir / "no/such/folder/x.bkms").c_str()), 0);
  EXPECT_NE(log.text().find("Could not save the state to"), std::string::npos);

  const std::string path = dir / "slot.bkms";
  spit(path, "old");
  g_ram[0x1234] = 0x99;
  tos_save_state(s.get());
  ASSERT_EQ(state_write_file(s.get(), path.c_str()), 1);
  state_ptr back(state_new());
  ASSERT_EQ(state_read_file(back.get(), path.c_str()), 1);
  EXPECT_EQ(back->ram[0x1234], 0x99);
}

} // namespace
