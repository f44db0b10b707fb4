// Fuzz target: both PNG readers on arbitrary file contents, as a caller that
// takes pictures of up to 2,048 x 2,048 asks for them, and the header reader
// on the same bytes as a file.
#include "graphics/png_codec.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_scratch.h"
#include "host/platform.h"

namespace {

// The largest picture this caller takes: 16 MB as RGBA. The reader
// allocates no more than that, nor more than its image data can fill.
constexpr int MOST = 2048;

void touch(const uint8_t* pixels, int width, int height, size_t bytes_per_pixel) {
    if (width < 1 || width > MOST || height < 1 || height > MOST)
        std::abort();
    // Every byte, so that the sanitizers see the whole picture.
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < size_t(width) * size_t(height) * bytes_per_pixel; i++)
        sum = uint8_t(sum + pixels[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int width = 0, height = 0;
    if (uint8_t* rgba = png_decode_rgba(data, size, &width, &height, MOST, MOST)) {
        touch(rgba, width, height, 4);
        std::free(rgba);
    }
    if (uint8_t* indices = png_decode_indexed(data, size, &width, &height, MOST, MOST)) {
        touch(indices, width, height, 1);
        std::free(indices);
    }
    static const std::string path = fuzz_scratch_dir() + "/sheet.png";
    write_file(path.c_str(), data, size);
    png_header_info info{};
    if (png_read_header(path.c_str(), &info)) {
        const char* why = png_format_refusal(info);
        if (why != nullptr && std::strlen(why) == 0)
            std::abort();
    }
    if (uint8_t* rgba = png_read_rgba(path.c_str(), &width, &height, MOST, MOST)) {
        touch(rgba, width, height, 4);
        std::free(rgba);
    }
    return 0;
}
