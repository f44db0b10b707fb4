// Lenient JSON reader for the dump index file. It never fails: malformed
// input gives a partial or default tree, and callers check types and
// presence with jget and jint.
#pragma once

#include <cstdint>

enum json_type : int32_t {
    JSON_NULL = 0,
    JSON_BOOL = 1,
    JSON_NUMBER = 2,
    JSON_STRING = 3,
    JSON_ARRAY = 4,
    JSON_OBJECT = 5,
};

// Containers nested deeper than this end the parse; what was read so far is
// kept.
inline constexpr int JSON_MAX_DEPTH = 256;

struct json_value {
    int32_t type;
    double number;     // a number's value; 1.0 for true, 0.0 for false
    char* text;        // a string's text
    int32_t count;     // members or elements
    int32_t capacity;  // of keys and items
    char** keys;       // member names of an object, in file order
    json_value** items;  // member values or array elements, in file order
};

// Parses one value at *cursor (NUL-terminated text) and leaves *cursor
// behind it. The caller frees the tree with jfree.
json_value* jparse(const char** cursor);
// The first member called name, or null.
json_value* jget(const json_value* object, const char* name);
// Reads the string whose opening quote is at *cursor into a new text (freed
// with free) and leaves *cursor behind the closing quote.
char* jstr(const char** cursor);
void jfree(json_value* value);

// The number rule of the callers: a boolean or number counts, truncated
// toward zero and held inside the int range (NaN gives 0). Returns 1 and
// stores the integer, or 0 when the node is absent or of another type.
int jint(const json_value* value, int* out);
