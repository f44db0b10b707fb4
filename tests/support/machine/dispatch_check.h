// Checks that addresses the game's code names are in the generated dispatch
// table with the right kind and owner. (That no address ever leaves the
// table is checked for all of them at once against
// tests/game/dispatch_addresses.txt.)
#pragma once
#include <initializer_list>

#include "machine/dispatch.h"

struct named_row {
  u32 address;
  dispatch_kind kind;
  const char* owner;
};

void expect_named_rows(std::initializer_list<named_row> rows);
