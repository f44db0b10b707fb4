// A scripted stand-in for GEMDOS, for tests of the game's resident
// services without the emulated ST: it serves the TRAP #1 yields of the
// game coroutine from one file held in memory, records every call with the
// registers and memory of that moment, and checks that each trap site holds
// the TRAP #1 opcode in RAM, as the host's slice runner needs.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "machine/types.h"

struct gemdos_call {
  u32 function = 0;
  u32 at = 0;        // address of the TRAP
  u32 sp = 0;        // a7 at the TRAP: the function word
  std::string name;  // Fopen, Fcreate, Fsfirst: the name argument
  u32 mode = 0;      // Fopen: the access mode; Fcreate: the attributes
  u32 handle = 0;    // Fseek, Fread, Fwrite, Fclose
  i32 offset = 0;    // Fseek
  u32 count = 0;     // Fread, Fwrite
  u32 buffer = 0;    // Fread, Fwrite
  i32 result = 0;
};

// The bytes a GEMDOS call's arguments take on the stack, function word
// included (the functions the game uses).
u32 gemdos_argument_bytes(u32 function);

struct gemdos_double {
  std::vector<u8> file;    // the bytes of the one file
  i32 open_result = 6;     // the handle Fopen gives, or an error
  u32 read_limit = ~0u;    // no single Fread delivers more
  u32 dta = 0x3FA000;      // Fgetdta
  i32 search_first = -33;  // Fsfirst
  int search_matches = 0;  // entries found by Fsfirst and the Fsnext calls after it
  std::vector<gemdos_call> calls;
  std::vector<u8> written;  // what Fwrite delivered
  // Runs at every call (a read or write before its bytes move), to look at
  // the machine at that moment.
  std::function<void(const gemdos_call&)> on_call;
  bool bad_opcode = false;  // a trap site without $4E41 in RAM was met

  u32 position = 0;
  int search_index = 0;

  int count_of(u32 function) const;
  // Whether every call was made from the same stack depth, its arguments
  // pushed and nothing else: a stack adjustment after a call that is off
  // by a byte or a word shows as a call from another depth.
  bool one_stack_depth() const;
  const gemdos_call* first(u32 function) const;
};

// Serves the TRAP #1 the coroutine yielded at (g_cpu.fault_pc): d0 :=
// result, pc on after the trap. False (and bad_opcode set) when the
// instruction there is no TRAP #1.
bool gemdos_serve(gemdos_double& dos);

// Runs the game coroutine from its current pc, slice after slice, until the
// test driver (support/machine/machine_fixture.h) has finished: every TRAP #1 is
// served by the double (d0 := result, on after the trap), every other yield
// is resumed. -1 when a slice jumped nowhere, a trap is not a TRAP #1, or
// the driver had not finished after max_slices; else the slices run.
int run_with_gemdos(gemdos_double& dos, int max_slices);
