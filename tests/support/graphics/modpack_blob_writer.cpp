#include "support/graphics/modpack_blob_writer.h"

#include "graphics/png_codec.h"

namespace {

void put_le(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++)
        out.push_back(uint8_t(v >> (8 * i)));
}

void put_varint(std::vector<uint8_t>& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

}  // namespace

modpack_test_entry modpack_diff(const std::string& name, int kind, int width, int height,
                                const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    modpack_test_entry e;
    e.name = name;
    e.kind = kind;
    e.width = width;
    e.height = height;
    e.crc = png_crc32(after.data(), after.size());
    const size_t pixels = size_t(width) * size_t(height);
    auto differs = [&](size_t p) {
        for (int c = 0; c < kind; c++)
            if (before[p * kind + c] != after[p * kind + c])
                return true;
        return false;
    };
    std::vector<size_t> changed;
    for (size_t p = 0; p < pixels;) {
        size_t gap = 0, run = 0;
        while (p + gap < pixels && !differs(p + gap))
            gap++;
        p += gap;
        while (p + run < pixels && differs(p + run))
            changed.push_back(p + run), run++;
        p += run;
        if (run) {
            e.runs.push_back(gap);
            e.runs.push_back(run);
        }
    }
    e.changed = uint32_t(changed.size());
    for (int c = 0; c < kind; c++)
        for (size_t p : changed)
            e.planes.push_back(after[p * kind + c]);
    return e;
}

std::vector<uint8_t> modpack_blob_bytes(uint32_t count, const std::vector<modpack_test_entry>& entries) {
    std::vector<uint8_t> out;
    put_le(out, count, 4);
    for (const modpack_test_entry& e : entries) {
        out.push_back(uint8_t(e.name.size()));
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.push_back(uint8_t(e.kind));
        put_le(out, e.width, 2);
        put_le(out, e.height, 2);
        put_le(out, e.crc, 4);
        put_le(out, e.runs.size() + e.missing_runs, 4);
        put_le(out, e.changed, 4);
        for (size_t i = 0; i < e.runs.size(); i++) {
            if (i == 0 && e.first_run_bytes) {
                uint64_t v = e.runs[0];
                for (int k = 1; k < e.first_run_bytes; k++, v >>= 7)
                    out.push_back(uint8_t((v & 0x7F) | 0x80));
                out.push_back(uint8_t(v));
                continue;
            }
            put_varint(out, e.runs[i]);
        }
        out.insert(out.end(), e.planes.begin(), e.planes.end());
    }
    return out;
}
