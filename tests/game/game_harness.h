// Helpers for the tests of the game's routines: running a routine in the
// game coroutine until it returns, stubs at the addresses of routines that
// other work provides, a test font, and reading printed text back from a
// screen.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "support/machine_fixture.h"

// Runs the routine at `entry` through the test driver, calling between()
// after every slice; the number of slices it took, or -1 when it had not
// returned after max_slices.
int run_routine(u32 entry, int max_slices = 4, void (*between)() = nullptr);

// Whether the product has a routine at this entry (a stub registered there
// is then never reached), and the contrary.
bool routine_written(u32 entry);
inline bool stubbed(u32 entry) { return !routine_written(entry); }

// The YM driver's song start ($41BCC) and stop ($41BE8) are hook points:
// stand-ins there run the hook and return, so a handler registered with
// hook_register sees every call whether or not the driver is written.
void stub_driver_song_calls();
// The same for the driver's tick ($41BDA): its stand-in passes the hook
// point of the tick's first volume write ($41DD8), where a test handler
// sees the machine as inside the tick.
void stub_driver_tick();

// Routines that only return, at the addresses of routines written elsewhere.
void stub_returns(std::initializer_list<u32> addresses);

// Routines that note each call (registers, the return address and one RAM
// byte the test chooses) and return. At most eight addresses per test;
// stub_reset forgets them and their calls.
struct stub_call {
  u32 address;
  u32 d0, d1, a0, a1, a2, a4;
  u32 sr;
  u32 a7;
  u32 ret;     // the return address on the stack
  u32 watched; // the byte at stub_watch_address at the call
};
inline u32 stub_watch_address = 0;
void stub_records(std::initializer_list<u32> addresses);
void stub_reset();
std::vector<stub_call>& stub_calls();
int stub_call_count(u32 address);

// A clean machine and no recorded calls.
class GameTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    stub_reset();
  }
};

// A VBL as the game sees it without the ST's delivery: the flag of the
// busy-waits and one more on the VBL counter.
void simple_vbl();

// A font at $8700 whose glyph for code c has c in its top row, so printed
// text can be read back from the screen.
void load_test_font();
// The characters printed in one text line: for each of `count` cells from
// `column`, the top row of the glyph found there (any plane); '.' for an
// empty cell.
std::string screen_text(u32 screen, u32 line_offset, u32 column, u32 count);
// The colour (planes set) of the cell's top row.
u32 screen_cell_colour(u32 screen, u32 line_offset, u32 column);
