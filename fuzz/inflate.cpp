// Fuzz target: the DEFLATE decoder. The first two bytes choose the output
// size; the rest is the stream. Both buffers are exactly sized so that any
// access past them is caught.
#include "graphics/png_codec.h"

#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t out_size = (size_t(data[0]) | size_t(data[1]) << 8) * 4;
    size_t in_size = size - 2;
    std::unique_ptr<uint8_t[]> input(new uint8_t[in_size ? in_size : 1]);
    if (in_size)
        std::memcpy(input.get(), data + 2, in_size);
    std::unique_ptr<uint8_t[]> output(new uint8_t[out_size ? out_size : 1]);
    int result = png_inflate(input.get(), in_size, output.get(), out_size);
    if (result != 0 && result != 1)
        std::abort();
    return 0;
}
