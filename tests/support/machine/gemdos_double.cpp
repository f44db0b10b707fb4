#include "support/machine/gemdos_double.h"

#include <algorithm>

#include "support/machine/machine_fixture.h"

namespace {

constexpr u32 trap1 = 0x4E41;

std::string ram_string(u32 at) {
  std::string s;
  for (u32 i = 0; i < 259 && at + i < ram_size && ram[at + i]; ++i) s += static_cast<char>(ram[at + i]);
  return s;
}

i32 serve(gemdos_double& dos, gemdos_call& c, u32 sp) {
  switch (c.function) {
    case 0x2F: return static_cast<i32>(dos.dta);
    case 0x3C:
      c.name = ram_string(rd32(sp + 2));
      c.mode = rd16(sp + 6);
      dos.position = 0;
      return 7;
    case 0x3D:
      c.name = ram_string(rd32(sp + 2));
      c.mode = rd16(sp + 6);
      dos.position = 0;
      return dos.open_result;
    case 0x3E: c.handle = rd16(sp + 2); return 0;
    case 0x3F:
    case 0x40: {
      c.handle = rd16(sp + 2);
      c.count = rd32(sp + 4);
      c.buffer = rd32(sp + 8);
      if (dos.on_call) dos.on_call(c);
      u32 n = std::min(c.count, dos.read_limit);
      if (c.function == 0x40) {
        for (u32 i = 0; i < n; ++i) dos.written.push_back(static_cast<u8>(rd8(c.buffer + i)));
        return static_cast<i32>(n);
      }
      n = dos.position < dos.file.size() ? std::min<u32>(n, static_cast<u32>(dos.file.size() - dos.position)) : 0;
      for (u32 i = 0; i < n; ++i) wr8(c.buffer + i, dos.file[dos.position + i]);
      dos.position += n;
      return static_cast<i32>(n);
    }
    case 0x42:
      c.offset = static_cast<i32>(rd32(sp + 2));
      c.handle = rd16(sp + 6);
      dos.position = static_cast<u32>(c.offset);
      return c.offset;
    case 0x4E:
      c.name = ram_string(rd32(sp + 2));
      dos.search_index = 0;
      if (dos.search_first < 0) return dos.search_first;
      [[fallthrough]];
    case 0x4F:
      if (dos.search_index >= dos.search_matches) return -49;
      // The transfer area of the entry found: its index in every byte.
      for (u32 i = 0; i < 62; ++i) wr8(dos.dta + i, static_cast<u32>(0x40 + dos.search_index));
      ++dos.search_index;
      return 0;
    default: return 0;
  }
}

} // namespace

u32 gemdos_argument_bytes(u32 function) {
  switch (function) {
    case 0x0E: return 4;
    case 0x2F: case 0x4F: return 2;
    case 0x3B: return 6;
    case 0x3C: case 0x3D: case 0x4E: return 8;
    case 0x3E: return 4;
    case 0x3F: case 0x40: return 12;
    case 0x42: return 10;
    default: return 0;
  }
}

bool gemdos_double::one_stack_depth() const {
  for (const gemdos_call& c : calls)
    if (c.sp + gemdos_argument_bytes(c.function) != calls[0].sp + gemdos_argument_bytes(calls[0].function))
      return false;
  return true;
}

int gemdos_double::count_of(u32 function) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                        [function](const gemdos_call& c) { return c.function == function; }));
}

const gemdos_call* gemdos_double::first(u32 function) const {
  for (const gemdos_call& c : calls)
    if (c.function == function) return &c;
  return nullptr;
}

bool gemdos_serve(gemdos_double& dos) {
  const u32 at = g_cpu.fault_pc;
  if (rd16(at) != trap1) {
    dos.bad_opcode = true;
    return false;
  }
  const u32 sp = g_cpu.a[7];
  gemdos_call c;
  c.function = rd16(sp);
  c.at = at;
  c.sp = sp;
  c.result = serve(dos, c, sp);
  if (c.function != 0x3F && c.function != 0x40 && dos.on_call) dos.on_call(c);
  g_cpu.d[0] = static_cast<u32>(c.result);
  g_cpu.pc = at + 2;
  dos.calls.push_back(c);
  return true;
}

int run_with_gemdos(gemdos_double& dos, int max_slices) {
  for (int n = 1; n <= max_slices; ++n) {
    const int reason = core_run(&g_cpu, 2000000);
    driver_note_slice(reason);
    if (reason == YIELD_BAD_JUMP) return -1;
    if (reason == YIELD_TRAP && !gemdos_serve(dos)) return -1;
    if (driver_finished()) return n;
  }
  return -1;
}
