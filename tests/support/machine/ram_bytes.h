// Runs of bytes into and out of the machine's RAM, for fixtures that place
// tables and tests that read them back.
#pragma once
#include <vector>

#include "machine/types.h"

std::vector<u8> read_bytes(u32 from, u32 count);
void put_bytes(u32 at, const std::vector<u8>& bytes);
