// Fuzz target: the lenient JSON reader and its accessors on any text.
#include "graphics/json_reader.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void walk(const json_value* v, int depth) {
    if (v == nullptr)
        return;
    if (depth > JSON_MAX_DEPTH + 1)
        std::abort();
    int n;
    jint(v, &n);
    if (v->type == JSON_STRING && v->text == nullptr)
        std::abort();
    for (int i = 0; i < v->count; i++) {
        if (v->type == JSON_OBJECT && jget(v, v->keys[i]) == nullptr)
            std::abort();
        walk(v->items[i], depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const char* begin = text.c_str();
    const char* cursor = begin;
    json_value* root = jparse(&cursor);
    if (cursor < begin || cursor > begin + std::strlen(begin))
        std::abort();
    // A tree costs at most its stated multiple of the text.
    if (jcost(root) > std::strlen(begin) * JSON_COST_PER_BYTE + JSON_COST_SPARE)
        std::abort();
    walk(root, 0);
    jfree(root);
    return 0;
}
