// Running a game routine to its end in the game coroutine, and test-only
// routines at addresses the product has no routine for (code loaded at run
// time, say). A stub registered at such an address is reached only while
// the product has no routine there: the generated dispatch table wins. A
// test isolates a routine from a written callee with stub_records_over.
#pragma once
#include <initializer_list>
#include <vector>

#include "support/machine/machine_fixture.h"

// Runs the routine at `entry` through the test driver, calling between()
// after every slice; the number of slices it took, or -1 when it had not
// returned after max_slices.
int run_routine(u32 entry, int max_slices = 4, void (*between)() = nullptr);
// The same with the registers of g_cpu as the call's inputs, and the
// routine's registers read back into g_cpu afterwards.
int run_routine_with_regs(u32 entry);

// Whether the product has a routine at this entry (a stub registered there
// is then never reached).
bool routine_written(u32 entry);

// The YM driver's song start ($41BCC) and stop ($41BE8) are hook points:
// stand-ins there run the hook and return, so a handler registered with
// hook_register sees every call whether or not the driver is written.
void stub_driver_song_calls();

// Routines that only return, at the addresses of routines written elsewhere.
void stub_returns(std::initializer_list<u32> addresses);

// Routines that note each call (registers, the return address and one RAM
// byte the test chooses) and return; stub_reset forgets them and their
// calls. A recording stub may also do something before it returns (the
// least a caller needs of the routine it stands for): stub_records_doing.
struct stub_call {
  u32 address;
  u32 d0, d1, a0, a1, a2, a4;
  u32 sr;
  u32 a7;
  u32 ret;     // the return address on the stack
  u32 watched; // the byte at stub_watch_address at the call
  u32 colour0; // colour register 0 ($FF8240) at the call
  u32 d2, d3, a6;
};
constexpr int stub_recorder_slots = 96;
inline u32 stub_watch_address = 0;
void stub_records(std::initializer_list<u32> addresses);
void stub_records_doing(u32 address, void (*effect)());
// The same, run in place of a routine that is written: a test of a caller
// isolates it from its callee this way.
void stub_records_over(u32 address, void (*effect)());
void stub_reset();
std::vector<stub_call>& stub_calls();
int stub_call_count(u32 address);

// Handlers at hook points that note each firing in stub_calls() as a call
// at the hook's address with ret = 0, so a test sees hooks and calls in one
// order. They change nothing.
void hooks_record(std::initializer_list<u32> hook_addresses);
// The handler hooks_record registers, for handlers that note and then act.
void hook_noted(u32 address);

// A clean machine and no recorded calls.
class GameTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    stub_reset();
  }
};
