// Checks that addresses the game's code names are in the generated dispatch
// table with the right kind and owner. Each routine page's tests list the
// addresses of their routines.
#pragma once
#include <initializer_list>

#include "machine/dispatch.h"

struct named_row {
  u32 address;
  dispatch_kind kind;
  const char* owner;
};

void expect_named_rows(std::initializer_list<named_row> rows);
