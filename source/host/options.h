// Options store: one process-wide table of named values read from and
// written to options.json (a small JSON subset). The store knows nothing of
// what the options mean; keys of nested objects are flattened with a dot
// ("params.p_scan"). Main thread only; no lock.
#pragma once
#include <cstddef>

// Empties the store and reads the file into it. Returns 1 when the whole
// object was read; 0 when the file is missing or damaged, keeping the
// options read before the damage.
int cfg_load(const char* path);
// A larger options file is not read: a full store saves to some 30 KB.
constexpr size_t cfg_largest_file = 1 << 20;
// The same on text already in memory (0-terminated).
int cfg_load_text(const char* text);

// 1 when the key exists and is not null.
int cfg_has(const char* key);
// 1 when the text last read gave the key a number that is not finite: such
// a value is left out of the store (with a log line), but its key was there.
int cfg_not_finite(const char* key);
// The number of a number or boolean entry, else def.
double cfg_num(const char* key, double def);
// For a number or boolean entry 1 when it is not 0, else def.
int cfg_bool(const char* key, int def);
// The text of a string entry (valid until the store changes), else def.
const char* cfg_str(const char* key, const char* def);

// Setters replace the first entry with the key or append one; a new key is
// dropped when all 96 entries are in use. Keys are cut to 47 characters and
// texts to 199.
void cfg_set_num(const char* key, double value);
void cfg_set_bool(const char* key, int value);
void cfg_set_str(const char* key, const char* text);
void cfg_remove(const char* key);
void cfg_clear();

// Writes the store as JSON through "<path>.tmp" and a rename. Returns 1, or
// 0 with the old file untouched.
int cfg_save(const char* path);
