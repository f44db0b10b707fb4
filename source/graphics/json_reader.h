// Lenient JSON reader for the dump index file. It never fails: malformed
// input gives a partial or default tree, and callers check types and
// presence with jget and jint.
#pragma once

#include <cstddef>
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

// What a tree may cost: its nodes, texts and member lists, and the parser's
// own work space, hold at most this many bytes per byte of the text after
// the cursor, plus JSON_COST_SPARE. A text that would cost more ends where
// the parse stands, as a text nested too deep does; what was read so far is
// kept. An ordinary index costs well under half of it.
inline constexpr size_t JSON_COST_PER_BYTE = 16;
inline constexpr size_t JSON_COST_SPARE = size_t{64} << 10;

struct json_value {
    int32_t type;
    int32_t count;  // members or elements
    union {
        double number;  // a number's value; 1.0 for true, 0.0 for false
        char* text;     // a string's text
    };
    char** keys;         // member names of an object, in file order
    json_value** items;  // member values or array elements, in file order
};

// Parses one value at *cursor (NUL-terminated text) and leaves *cursor
// behind it. The tree is one block of memory owned by its root: the caller
// frees the root with jfree, and nothing below it.
json_value* jparse(const char** cursor);
// The first member called name, or null.
json_value* jget(const json_value* object, const char* name);
// Reads the string whose opening quote is at *cursor into a new text (freed
// with free) and leaves *cursor behind the closing quote.
char* jstr(const char** cursor);
// Frees a tree that jparse returned; null is accepted.
void jfree(json_value* root);
// The bytes a tree holds (nodes, texts, member lists), 0 for null.
size_t jcost(const json_value* root);

// The number rule of the callers: a boolean or number counts, truncated
// toward zero and held inside the int range (NaN gives 0). Returns 1 and
// stores the integer, or 0 when the node is absent or of another type.
int jint(const json_value* value, int* out);
