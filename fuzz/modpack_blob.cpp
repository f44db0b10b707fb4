// Fuzz target: the mod pack's blob (inflated) read entry by entry, each
// entry's runs applied to a blank picture of its size.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "graphics/modpack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t count = 0;
    if (!modpack_read_count(data, size, &count))
        return 0;
    size_t at = 4;
    for (uint32_t i = 0; i < count; i++) {
        modpack_entry e;
        if (!modpack_read_entry(data, size, at, &e))
            return 0;
        if (std::strlen(e.name) >= sizeof e.name)
            std::abort();
        // The program's pictures come from PNG files of at most 16,384 x
        // 16,384; the fuzzer looks at small ones only.
        const size_t bytes = size_t(e.width) * size_t(e.height) * size_t(e.kind);
        if (bytes > size_t(1) << 22)
            return 0;
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[bytes ? bytes : 1]());
        if (!modpack_apply(data, size, &e, pixels.get()))
            return 0;
        if (e.end <= at || e.end > size)
            std::abort();
        at = e.end;
    }
    return 0;
}
