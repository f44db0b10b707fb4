// Writes the mod pack's blob (inflated) for tests: entries made from a
// picture before and after its retouch, or laid out field by field to
// break one rule at a time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct modpack_test_entry {
    std::string name;
    int kind = 4;
    int width = 0;
    int height = 0;
    uint32_t crc = 0;
    std::vector<uint64_t> runs; // gap, run, gap, ...
    uint32_t changed = 0;
    std::vector<uint8_t> planes;
    int first_run_bytes = 0;         // the first value padded to this many bytes
    uint32_t missing_runs = 0;       // counted but not written
};

// The entry that turns `before` into `after` (width x height x kind bytes).
modpack_test_entry modpack_diff(const std::string& name, int kind, int width, int height,
                                const std::vector<uint8_t>& before, const std::vector<uint8_t>& after);

// The entry count (as given, which need not match), then the entries.
std::vector<uint8_t> modpack_blob_bytes(uint32_t count, const std::vector<modpack_test_entry>& entries);
