// The three header packets of an Ogg Vorbis stream, checked before
// stb_vorbis reads them: it trusts the lengths and counts they declare, so
// a few hundred hostile bytes could make it allocate gigabytes, or allocate
// a size truncated to int and write past it.
#pragma once
#include <cstddef>

#include "machine/types.h"

// Null when the headers are sound, else why the stream is refused.
const char* ogg_headers_fault(const u8* data, size_t size);
