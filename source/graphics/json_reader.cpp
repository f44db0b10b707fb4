// Lenient JSON reader: objects without commas or colons, stray commas and
// misspelt literals all give a tree; parsing stops at the first character
// that cannot start a member.
#include "graphics/json_reader.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

struct parser {
    int depth = 0;
    // Set when nesting passes JSON_MAX_DEPTH or memory runs out: every open
    // container then ends where the cursor stands.
    bool stopped = false;
};

const char* skip_space(const char* s) {
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r')
        s++;
    return s;
}

json_value* new_node(int32_t type) {
    auto* v = static_cast<json_value*>(std::calloc(1, sizeof(json_value)));
    if (v != nullptr)
        v->type = type;
    return v;
}

// Takes ownership of key and item; false (both freed) when memory runs out.
bool append(json_value* v, char* key, json_value* item) {
    if (v->count == v->capacity) {
        int32_t capacity = v->capacity ? v->capacity * 2 : 8;
        auto* items = static_cast<json_value**>(std::realloc(v->items, sizeof(json_value*) * size_t(capacity)));
        if (items != nullptr)
            v->items = items;
        bool ok = items != nullptr;
        if (ok && v->type == JSON_OBJECT) {
            auto* keys = static_cast<char**>(std::realloc(v->keys, sizeof(char*) * size_t(capacity)));
            if (keys != nullptr)
                v->keys = keys;
            ok = keys != nullptr;
        }
        if (!ok) {
            std::free(key);
            jfree(item);
            return false;
        }
        v->capacity = capacity;
    }
    if (v->type == JSON_OBJECT)
        v->keys[v->count] = key;
    v->items[v->count] = item;
    v->count++;
    return true;
}

json_value* parse_value(const char** cursor, parser& p);

json_value* parse_container(const char** cursor, parser& p, int32_t type) {
    const char* s = *cursor;
    if (p.depth >= JSON_MAX_DEPTH) {
        p.stopped = true;
        return new_node(JSON_NULL);
    }
    json_value* v = new_node(type);
    if (v == nullptr) {
        p.stopped = true;
        return nullptr;
    }
    const char close = type == JSON_OBJECT ? '}' : ']';
    p.depth++;
    s = skip_space(s + 1);
    while (!p.stopped) {
        char c = *s;
        if (c == 0)
            break;
        if (c == close) {
            s++;
            break;
        }
        if (c == ',') {
            s = skip_space(s + 1);
            continue;
        }
        char* key = nullptr;
        if (type == JSON_OBJECT) {
            if (c != '"')
                break;
            key = jstr(&s);
            s = skip_space(s);
            if (*s == ':')
                s++;
        }
        json_value* item = parse_value(&s, p);
        s = skip_space(s);
        if (!append(v, key, item))
            p.stopped = true;
    }
    p.depth--;
    *cursor = s;
    return v;
}

json_value* parse_value(const char** cursor, parser& p) {
    const char* s = skip_space(*cursor);
    json_value* v;
    if (*s == '{' || *s == '[') {
        *cursor = s;
        return parse_container(cursor, p, *s == '{' ? JSON_OBJECT : JSON_ARRAY);
    }
    if (*s == '"') {
        v = new_node(JSON_STRING);
        char* text = jstr(&s);
        if (v != nullptr)
            v->text = text;
        else
            std::free(text);
    } else if (std::strncmp(s, "true", 4) == 0) {
        v = new_node(JSON_BOOL);
        if (v != nullptr)
            v->number = 1.0;
        s += 4;
    } else if (std::strncmp(s, "false", 5) == 0) {
        v = new_node(JSON_BOOL);
        s += 5;
    } else if (std::strncmp(s, "null", 4) == 0) {
        v = new_node(JSON_NULL);
        s += 4;
    } else {
        v = new_node(JSON_NUMBER);
        char* end = nullptr;
        double number = std::strtod(s, &end);
        if (end == s) {
            number = 0.0;
            if (*s != 0)
                s++;
        } else {
            s = end;
        }
        if (v != nullptr)
            v->number = number;
    }
    if (v == nullptr)
        p.stopped = true;
    *cursor = s;
    return v;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

char* jstr(const char** cursor) {
    if (cursor == nullptr || *cursor == nullptr)
        return static_cast<char*>(std::calloc(1, 1));
    const char* s = *cursor;
    if (*s == '"')
        s++;
    size_t capacity = 32, length = 0;
    auto* text = static_cast<char*>(std::malloc(capacity));
    while (*s != 0 && *s != '"') {
        char c = *s++;
        if (c == '\\') {
            if (*s == 0)
                break;
            char e = *s++;
            switch (e) {
            case 'n': c = '\n'; break;
            case 't': c = '\t'; break;
            case 'r': c = '\r'; break;
            case 'u': {
                unsigned value = 0;
                int digits = 0;
                while (digits < 4 && hex_digit(s[digits]) >= 0)
                    value = value * 16 + unsigned(hex_digit(s[digits++]));
                // The four characters after the u are taken whatever they are.
                for (int k = 0; k < 4 && *s != 0; k++)
                    s++;
                c = digits > 0 && value < 128 ? char(value) : '?';
                break;
            }
            default: c = e; break;
            }
        }
        if (text == nullptr)
            continue;
        if (length + 1 == capacity) {
            auto* grown = static_cast<char*>(std::realloc(text, capacity * 2));
            if (grown == nullptr) {
                std::free(text);
                text = nullptr;
                continue;
            }
            text = grown;
            capacity *= 2;
        }
        text[length++] = c;
    }
    if (*s == '"')
        s++;
    *cursor = s;
    if (text != nullptr)
        text[length] = 0;
    return text;
}

json_value* jparse(const char** cursor) {
    if (cursor == nullptr || *cursor == nullptr)
        return new_node(JSON_NULL);
    parser p;
    return parse_value(cursor, p);
}

json_value* jget(const json_value* object, const char* name) {
    if (object == nullptr || object->type != JSON_OBJECT || name == nullptr)
        return nullptr;
    for (int32_t i = 0; i < object->count; i++)
        if (object->keys[i] != nullptr && std::strcmp(object->keys[i], name) == 0)
            return object->items[i];
    return nullptr;
}

void jfree(json_value* value) {
    if (value == nullptr)
        return;
    for (int32_t i = 0; i < value->count; i++) {
        if (value->keys != nullptr)
            std::free(value->keys[i]);
        jfree(value->items[i]);
    }
    std::free(value->keys);
    std::free(value->items);
    std::free(value->text);
    std::free(value);
}

int jint(const json_value* value, int* out) {
    if (value == nullptr || (value->type != JSON_BOOL && value->type != JSON_NUMBER))
        return 0;
    double d = std::trunc(value->number);
    int result;
    if (std::isnan(d))
        result = 0;
    else if (d <= double(INT_MIN))
        result = INT_MIN;
    else if (d >= double(INT_MAX))
        result = INT_MAX;
    else
        result = int(d);
    if (out != nullptr)
        *out = result;
    return 1;
}
