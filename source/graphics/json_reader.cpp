// Lenient JSON reader: objects without commas or colons, stray commas and
// misspelt literals all give a tree; parsing stops at the first character
// that cannot start a member.
//
// A tree is read once and freed whole, so its nodes, texts and member lists
// are cut from a few large blocks rather than allocated one by one, and
// each member list is copied there at its exact length once its container
// ends. Every character that cannot be read stands for the number 0 and
// shares one node. So a tree costs a small multiple of its text, and a cap
// on that cost ends a text built to cost more.
#include "graphics/json_reader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>

namespace {

constexpr size_t BLOCK_SIZE = size_t{32} << 10;  // half of JSON_COST_SPARE

// A block of the tree's memory; its bytes follow the header.
struct block {
    block* next;
    size_t size;
};

constexpr size_t HEADER = (sizeof(block) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                          alignof(std::max_align_t);

struct json_tree {
    json_value root;  // first: jfree finds the tree from its root
    json_value zero;  // shared by every character that cannot be read
    block* blocks;
    size_t cost;
};

struct parser {
    json_tree* tree;
    unsigned char* free_at = nullptr;
    size_t free_left = 0;
    size_t allowed = 0;
    size_t spent = 0;  // the tree and its blocks
    // The members of every open container, innermost last: a deque grows
    // by small pieces and gives them back as containers end.
    std::deque<json_value*> items;
    std::deque<char*> keys;
    int depth = 0;
    // Set when nesting passes JSON_MAX_DEPTH, the cost cap is reached or
    // memory runs out: every open container then ends where the cursor
    // stands.
    bool stopped = false;
};

// What the members of the open containers cost: their places in the work
// space (pieces of 64), and the bytes promised to their lists, which are
// copied into the tree when their container ends, whatever happens.
size_t pending(size_t members) { return (members + 63) / 64 * (64 + 1) * sizeof(void*) + members * sizeof(void*); }
size_t promised(const parser& p) { return pending(p.items.size()) + pending(p.keys.size()); }

// n bytes of the tree's memory. A member list, or a large text, that does
// not fit in the current block gets a block of its own, so that no block
// loses more than a small tail. Only member lists are granted past the cap:
// their bytes were promised when their members were added.
void* grab(parser& p, size_t n, bool list = false) {
    n = (n + 7) & ~size_t{7};
    if (n <= p.free_left) {
        void* at = p.free_at;
        p.free_at += n;
        p.free_left -= n;
        return at;
    }
    const bool own_block = list || n >= BLOCK_SIZE / 4;
    const size_t size = own_block ? n : BLOCK_SIZE;
    if (!list && p.spent + promised(p) + HEADER + size > p.allowed) {
        p.stopped = true;
        return nullptr;
    }
    auto* b = static_cast<block*>(std::malloc(HEADER + size));
    if (b == nullptr) {
        p.stopped = true;
        return nullptr;
    }
    b->next = p.tree->blocks;
    b->size = HEADER + size;
    p.tree->blocks = b;
    p.spent += HEADER + size;
    unsigned char* at = reinterpret_cast<unsigned char*>(b) + HEADER;
    if (own_block)
        return at;
    p.free_at = at + n;
    p.free_left = size - n;
    return at;
}

json_value* new_node(parser& p, int32_t type) {
    auto* v = static_cast<json_value*>(grab(p, sizeof(json_value)));
    if (v != nullptr) {
        std::memset(v, 0, sizeof *v);
        v->type = type;
    }
    return v;
}

// A place for one more member in the work space, counted against the cap.
bool take_place(parser& p, char* key, bool with_key) {
    const size_t more = pending(p.items.size() + 1) - pending(p.items.size()) +
                        (with_key ? pending(p.keys.size() + 1) - pending(p.keys.size()) : 0);
    if (p.spent + promised(p) + more > p.allowed) {
        p.stopped = true;
        return false;
    }
    try {
        p.items.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        p.stopped = true;
        return false;
    }
    if (!with_key)
        return true;
    try {
        p.keys.push_back(key);
    } catch (const std::bad_alloc&) {
        p.items.pop_back();
        p.stopped = true;
        return false;
    }
    return true;
}

const char* skip_space(const char* s) {
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r')
        s++;
    return s;
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

// Reads the string at s (its opening quote, when there is one, is skipped)
// into out, when out is given; returns its length and leaves *end behind
// the closing quote.
size_t read_string(const char* s, char* out, const char** end) {
    if (*s == '"')
        s++;
    size_t length = 0;
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
        if (out != nullptr)
            out[length] = c;
        length++;
    }
    if (*s == '"')
        s++;
    *end = s;
    return length;
}

// A string into the tree's memory; null when the cap or memory is reached
// (the cursor still moves behind it).
char* tree_string(parser& p, const char** cursor) {
    const char* end = nullptr;
    const size_t length = read_string(*cursor, nullptr, &end);
    auto* text = static_cast<char*>(grab(p, length + 1));
    if (text != nullptr) {
        read_string(*cursor, text, &end);
        text[length] = 0;
    }
    *cursor = end;
    return text;
}

template <typename T>
T* keep_list(parser& p, const std::deque<T>& list, size_t from) {
    const size_t n = list.size() - from;
    auto* kept = static_cast<T*>(grab(p, n * sizeof(T), true));
    if (kept != nullptr)
        std::copy(list.begin() + std::ptrdiff_t(from), list.end(), kept);
    return kept;
}

json_value* parse_value(const char** cursor, parser& p);

json_value* parse_container(const char** cursor, parser& p, int32_t type) {
    const char* s = *cursor;
    if (p.depth >= JSON_MAX_DEPTH) {
        p.stopped = true;
        return new_node(p, JSON_NULL);
    }
    json_value* v = new_node(p, type);
    if (v == nullptr)
        return nullptr;
    const char close = type == JSON_OBJECT ? '}' : ']';
    const size_t first = p.items.size(), first_key = p.keys.size();
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
            key = tree_string(p, &s);
            s = skip_space(s);
            if (*s == ':')
                s++;
        }
        // The member's place is taken before its value is read, so that a
        // value the cap cuts short keeps what it read.
        const size_t slot = p.items.size();
        if ((type == JSON_OBJECT && key == nullptr) || !take_place(p, key, type == JSON_OBJECT))
            break;
        json_value* item = parse_value(&s, p);
        s = skip_space(s);
        if (item == nullptr) {
            p.items.pop_back();
            if (type == JSON_OBJECT)
                p.keys.pop_back();
            break;
        }
        p.items[slot] = item;
    }
    p.depth--;
    const size_t n = p.items.size() - first;
    if (n > 0) {
        v->items = keep_list(p, p.items, first);
        v->keys = type == JSON_OBJECT ? keep_list(p, p.keys, first_key) : nullptr;
        if (v->items != nullptr && (type != JSON_OBJECT || v->keys != nullptr))
            v->count = int32_t(n);
        p.items.resize(first);
        p.keys.resize(first_key);
    }
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
        v = new_node(p, JSON_STRING);
        char* text = v != nullptr ? tree_string(p, &s) : nullptr;
        if (text != nullptr)
            v->text = text;
        else
            v = nullptr;
    } else if (std::strncmp(s, "true", 4) == 0) {
        v = new_node(p, JSON_BOOL);
        if (v != nullptr)
            v->number = 1.0;
        s += 4;
    } else if (std::strncmp(s, "false", 5) == 0) {
        v = new_node(p, JSON_BOOL);
        s += 5;
    } else if (std::strncmp(s, "null", 4) == 0) {
        v = new_node(p, JSON_NULL);
        s += 4;
    } else {
        char* end = nullptr;
        double number = std::strtod(s, &end);
        if (end == s) {
            v = &p.tree->zero;
            if (*s != 0)
                s++;
        } else {
            s = end;
            v = new_node(p, JSON_NUMBER);
            if (v != nullptr)
                v->number = number;
        }
    }
    *cursor = s;
    return v;
}

}  // namespace

char* jstr(const char** cursor) {
    if (cursor == nullptr || *cursor == nullptr)
        return static_cast<char*>(std::calloc(1, 1));
    const char* end = nullptr;
    const size_t length = read_string(*cursor, nullptr, &end);
    auto* text = static_cast<char*>(std::malloc(length + 1));
    if (text != nullptr) {
        read_string(*cursor, text, &end);
        text[length] = 0;
    }
    *cursor = end;
    return text;
}

json_value* jparse(const char** cursor) {
    auto* tree = static_cast<json_tree*>(std::calloc(1, sizeof(json_tree)));
    if (tree == nullptr)
        return nullptr;
    tree->zero.type = JSON_NUMBER;
    tree->cost = sizeof(json_tree);
    if (cursor == nullptr || *cursor == nullptr)
        return &tree->root;
    parser p;
    p.tree = tree;
    p.spent = sizeof(json_tree);
    const size_t length = std::strlen(*cursor);
    p.allowed = length > (SIZE_MAX - JSON_COST_SPARE) / JSON_COST_PER_BYTE
                    ? SIZE_MAX
                    : length * JSON_COST_PER_BYTE + JSON_COST_SPARE;
    json_value* top = parse_value(cursor, p);
    // The top value is copied into the root, which the tree begins with.
    if (top != nullptr)
        tree->root = *top;
    tree->cost = p.spent;
    return &tree->root;
}

json_value* jget(const json_value* object, const char* name) {
    if (object == nullptr || object->type != JSON_OBJECT || name == nullptr)
        return nullptr;
    for (int32_t i = 0; i < object->count; i++)
        if (object->keys[i] != nullptr && std::strcmp(object->keys[i], name) == 0)
            return object->items[i];
    return nullptr;
}

void jfree(json_value* root) {
    if (root == nullptr)
        return;
    auto* tree = reinterpret_cast<json_tree*>(root);
    for (block* b = tree->blocks; b != nullptr;) {
        block* next = b->next;
        std::free(b);
        b = next;
    }
    std::free(tree);
}

size_t jcost(const json_value* root) {
    return root != nullptr ? reinterpret_cast<const json_tree*>(root)->cost : 0;
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
