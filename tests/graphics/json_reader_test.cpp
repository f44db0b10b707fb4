// The lenient JSON reader: valid documents against a strict parser, the
// lenient cases, the depth limit and the number rule.
#include "graphics/json_reader.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <climits>
#include <cmath>
#include <memory>
#include <string>

namespace {

struct tree_deleter {
    void operator()(json_value* v) const { jfree(v); }
};
using tree = std::unique_ptr<json_value, tree_deleter>;

tree parse(const char* text, std::string* rest = nullptr) {
    const char* cursor = text;
    tree t(jparse(&cursor));
    if (rest)
        *rest = cursor;
    return t;
}

void expect_same(const json_value* ours, const nlohmann::ordered_json& ref, const std::string& where) {
    ASSERT_NE(ours, nullptr) << where;
    switch (ref.type()) {
    case nlohmann::json::value_t::null:
        EXPECT_EQ(ours->type, JSON_NULL) << where;
        break;
    case nlohmann::json::value_t::boolean:
        ASSERT_EQ(ours->type, JSON_BOOL) << where;
        EXPECT_EQ(ours->number, ref.get<bool>() ? 1.0 : 0.0) << where;
        break;
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
    case nlohmann::json::value_t::number_float:
        ASSERT_EQ(ours->type, JSON_NUMBER) << where;
        EXPECT_EQ(ours->number, ref.get<double>()) << where;
        break;
    case nlohmann::json::value_t::string:
        ASSERT_EQ(ours->type, JSON_STRING) << where;
        EXPECT_EQ(std::string(ours->text), ref.get<std::string>()) << where;
        break;
    case nlohmann::json::value_t::array:
        ASSERT_EQ(ours->type, JSON_ARRAY) << where;
        ASSERT_EQ(size_t(ours->count), ref.size()) << where;
        for (size_t i = 0; i < ref.size(); i++)
            expect_same(ours->items[i], ref[i], where + "[" + std::to_string(i) + "]");
        break;
    case nlohmann::json::value_t::object: {
        ASSERT_EQ(ours->type, JSON_OBJECT) << where;
        ASSERT_EQ(size_t(ours->count), ref.size()) << where;
        size_t i = 0;
        for (const auto& [key, value] : ref.items()) {
            EXPECT_EQ(std::string(ours->keys[i]), key) << where;
            expect_same(ours->items[i], value, where + "." + key);
            i++;
        }
        break;
    }
    default:
        FAIL() << "unexpected type at " << where;
    }
}

TEST(JsonReader, ValidDocumentsAgreeWithAStrictParser) {
    const char* docs[] = {
        "null",
        "true",
        " false ",
        "0",
        "-0",
        "-12.5e-3",
        "1E+300",
        "123456789012",
        "\"plain\"",
        "\"esc \\\" \\\\ \\/ \\n \\t \\r \\u0041\\u007e\"",
        "\"raw UTF-8: \xc3\xa9\xe2\x82\xac\"",
        "[]",
        "{}",
        "[1, [2, [3, [4, []]]], {\"a\": {}}]",
        "{\"b\": 1, \"a\": 2, \"c\": [true, false, null]}",
        "\t{\r\n  \"x\" :\t-1 ,\n  \"y\" : \"\" \n}\n",
        "{\"format\":2,\"margin\":4,\"sheets\":{\"sprites/enemy\":{\"kind\":\"sprite\",\"width\":160,"
        "\"height\":96,\"cell\":[32,32],\"cols\":5,\"cells\":[{\"i\":0,\"hash\":\"0123456789ab\","
        "\"frame\":[16,22],\"crop\":[2,3,14,19]},{\"i\":1}]}},\"reference_levels\":[]}",
    };
    for (const char* doc : docs) {
        SCOPED_TRACE(doc);
        auto ref = nlohmann::ordered_json::parse(doc);
        tree ours = parse(doc);
        expect_same(ours.get(), ref, "$");
    }
}

// A compact text of a tree, for the tables below.
std::string show(const json_value* v) {
    if (v == nullptr)
        return "<none>";
    switch (v->type) {
    case JSON_NULL: return "null";
    case JSON_BOOL: return v->number != 0 ? "true" : "false";
    case JSON_NUMBER: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v->number);
        return buf;
    }
    case JSON_STRING: return std::string("\"") + v->text + "\"";
    default: {
        std::string s = v->type == JSON_ARRAY ? "[" : "{";
        for (int i = 0; i < v->count; i++) {
            if (i)
                s += ",";
            if (v->type == JSON_OBJECT)
                s += std::string("\"") + v->keys[i] + "\":";
            s += show(v->items[i]);
        }
        return s + (v->type == JSON_ARRAY ? "]" : "}");
    }
    }
}

TEST(JsonReader, LenientCases) {
    struct lenient_case {
        const char* text;
        const char* tree;
        const char* rest;
    };
    const lenient_case cases[] = {
        {"{\"a\":1 \"b\":2}", "{\"a\":1,\"b\":2}", ""},
        {"{\"a\" 1, \"b\" [1 2]}", "{\"a\":1,\"b\":[1,2]}", ""},
        {"{\"a\":1, bare:2, \"c\":3}", "{\"a\":1}", "bare:2, \"c\":3}"},
        {"[1,,2,]", "[1,2]", ""},
        {"{,,\"a\":1,}", "{\"a\":1}", ""},
        {"tru", "0", "ru"},
        {"[tru]", "[0,0,0]", ""},
        {"truex", "true", "x"},
        {"falsehood", "false", "hood"},
        {"nullify", "null", "ify"},
        {"", "0", ""},
        {"  42  rest", "42", "  rest"},
        {"{\"a\":1}garbage", "{\"a\":1}", "garbage"},
        {"{\"k\":}", "{\"k\":0}", ""},
        {"{\"a\":[1,2}", "{\"a\":[1,2,0]}", ""},
        {"{\"open\":{\"inner\":[1", "{\"open\":{\"inner\":[1]}}", ""},
        {"\"unterminated", "\"unterminated\"", ""},
        {"\"ends in a backslash\\", "\"ends in a backslash\"", ""},
        {"\"\\u00e9|\\u0041|\\q|\\b|\\/|\\u7FFF\"", "\"?|A|q|b|/|?\"", ""},
        {"\"\\u41\"", "\"A\"", ""},
        // Upper- and lower-case hex at the ends of their ranges; exactly four
        // digits are read, a fifth is text.
        {"\"\\u004A|\\u004F|\\u006a|\\u006f|\\u0039|\\u0030\"", "\"J|O|j|o|9|0\"", ""},
        {"\"\\u00414\"", "\"A4\"", ""},
        {"\"\\u007F|\\u0080\"", "\"\x7F|?\"", ""},
        {"fals", "0", "als"},
        {"nul", "0", "ul"},
        // The four characters after the u are taken, the closing quote too.
        {"\"\\u4\"x", "\"\x04\"", ""},
        {"0x1A", "26", ""},
        {"1e999", "inf", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string rest;
        tree t = parse(c.text, &rest);
        EXPECT_EQ(show(t.get()), c.tree);
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(JsonReader, JgetFindsTheFirstMember) {
    tree t = parse("{\"a\":1,\"b\":{\"c\":\"x\"},\"a\":2}");
    ASSERT_NE(jget(t.get(), "a"), nullptr);
    EXPECT_EQ(jget(t.get(), "a")->number, 1.0);
    EXPECT_EQ(show(jget(jget(t.get(), "b"), "c")), "\"x\"");
    EXPECT_EQ(jget(t.get(), "missing"), nullptr);
    EXPECT_EQ(jget(nullptr, "a"), nullptr);
    EXPECT_EQ(jget(jget(t.get(), "a"), "a"), nullptr);  // not an object
    tree arr = parse("[\"a\"]");
    EXPECT_EQ(jget(arr.get(), "a"), nullptr);
    jfree(nullptr);
    // No text at all still gives a tree.
    const char* none = nullptr;
    tree empty(jparse(&none));
    EXPECT_EQ(show(empty.get()), "null");
}

TEST(JsonReader, JstrReadsOneString) {
    const char* text = "\"first\\\"part\" \"second\"";
    const char* cursor = text;
    char* first = jstr(&cursor);
    EXPECT_STREQ(first, "first\"part");
    EXPECT_STREQ(cursor, " \"second\"");
    std::free(first);
    // Longer than the first buffer, so it has to grow.
    std::string long_text = "\"" + std::string(1000, 'z') + "\"";
    cursor = long_text.c_str();
    char* grown = jstr(&cursor);
    EXPECT_EQ(std::string(grown), std::string(1000, 'z'));
    EXPECT_EQ(*cursor, 0);
    std::free(grown);
}

int depth_of(const json_value* v) {
    int depth = 0;
    while (v != nullptr && (v->type == JSON_ARRAY || v->type == JSON_OBJECT)) {
        depth++;
        v = v->count > 0 ? v->items[0] : nullptr;
    }
    return depth;
}

TEST(JsonReader, DeepNestingEndsCleanly) {
    // At the limit everything is read.
    std::string at_limit = std::string(JSON_MAX_DEPTH, '[') + "7" + std::string(JSON_MAX_DEPTH, ']') + "x";
    std::string rest;
    tree t = parse(at_limit.c_str(), &rest);
    EXPECT_EQ(depth_of(t.get()), JSON_MAX_DEPTH);
    EXPECT_EQ(rest, "x");

    // Past it the parse stops at the first bracket too deep, keeping what
    // it read; a million brackets do not overflow the stack.
    for (const std::string& open : {std::string("["), std::string("{\"k\":")}) {
        std::string deep;
        for (int i = 0; i < 1000000; i++)
            deep += open;
        tree d = parse(deep.c_str(), &rest);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(depth_of(d.get()), JSON_MAX_DEPTH);
        EXPECT_EQ(rest.size(), deep.size() - size_t(JSON_MAX_DEPTH) * open.size());
    }
    std::string one_more = std::string(JSON_MAX_DEPTH + 1, '[') + std::string(JSON_MAX_DEPTH + 1, ']');
    tree m = parse(one_more.c_str(), &rest);
    EXPECT_EQ(depth_of(m.get()), JSON_MAX_DEPTH);
}

TEST(JsonReader, NumberRule) {
    struct number_case {
        const char* text;
        int counts;
        int value;
    };
    const number_case cases[] = {
        {"3.9", 1, 3},
        {"-3.9", 1, -3},
        {"true", 1, 1},
        {"false", 1, 0},
        {"2147483647", 1, INT_MAX},
        {"2147483648", 1, INT_MAX},
        {"-2147483648", 1, INT_MIN},
        {"-2147483649", 1, INT_MIN},
        {"1e300", 1, INT_MAX},
        {"-1e999", 1, INT_MIN},
        {"nan", 1, 0},
        {"\"5\"", 0, 0},
        {"null", 0, 0},
        {"[1]", 0, 0},
        {"{}", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        tree t = parse(c.text);
        int value = -12345;
        EXPECT_EQ(jint(t.get(), &value), c.counts);
        EXPECT_EQ(value, c.counts ? c.value : -12345);
    }
    EXPECT_EQ(jint(nullptr, nullptr), 0);
}

std::string repeated(const std::string& piece, size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; i++)
        out += piece;
    return out;
}

// An index of the dump's shape: many sheets of many cells.
std::string index_like(int sheets, int cells) {
    std::string text = "{\"format\":2,\"sheets\":{";
    for (int s = 0; s < sheets; s++) {
        text += (s ? ",\"sprites/s" : "\"sprites/s") + std::to_string(s) +
                "\":{\"kind\":\"sprite\",\"width\":320,\"height\":396,\"cell\":[32,33],\"cols\":10,"
                "\"margin\":4,\"missions\":[1,2,3,4,5,6,7,8,9,10,11,12],\"cells\":[";
        for (int c = 0; c < cells; c++)
            text += (c ? ",{\"i\":" : "{\"i\":") + std::to_string(c) +
                    ",\"hash\":\"9a5c2cd1e9f0\",\"frame\":[10,12],\"crop\":[3,2,10,12],\"key\":7}";
        text += "]}";
    }
    return text + "}}";
}

size_t cap_of(const std::string& text) { return text.size() * JSON_COST_PER_BYTE + JSON_COST_SPARE; }

// Whatever a text holds, its tree costs a small multiple of it: a
// character that cannot be read costs its place in its list, no node.
TEST(JsonReader, TheTreeCostsASmallMultipleOfItsText) {
    const size_t n = 100000;
    struct cost_case {
        const char* what;
        std::string text;
        size_t most;  // bytes the tree may hold; 0: the cap
    };
    const std::string index = index_like(20, 100);
    const cost_case cases[] = {
        {"stray characters", "[" + std::string(n, 'x') + "]", n * sizeof(void*) + (size_t{64} << 10)},
        {"a misspelt literal", "[" + repeated("tru", n / 3) + "]", n * sizeof(void*) + (size_t{64} << 10)},
        {"zeros", "[" + repeated("0 ", n) + "]", 0},
        {"empty lists", "[" + repeated("[],", n) + "]", 0},
        {"members without names", "{" + repeated("\"\":0,", n) + "}", 0},
        {"one long text", "\"" + std::string(n, 'a') + "\"", n + (size_t{64} << 10)},
        {"the dump's index", index, index.size() * 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tree t = parse(c.text.c_str());
        ASSERT_NE(t, nullptr);
        EXPECT_LE(jcost(t.get()), c.most ? c.most : cap_of(c.text));
    }
    // Read whole, the strays are the number 0 each.
    tree strays = parse(cases[0].text.c_str());
    ASSERT_EQ(strays->count, int(n));
    for (int i = 0; i < strays->count; i++)
        ASSERT_EQ(show(strays->items[i]), "0") << i;
    // The index is read whole too.
    tree read = parse(index.c_str());
    const json_value* sheets = jget(read.get(), "sheets");
    ASSERT_NE(sheets, nullptr);
    ASSERT_EQ(sheets->count, 20);
    EXPECT_EQ(jget(sheets->items[19], "cells")->count, 100);
    EXPECT_EQ(jcost(nullptr), 0u);
}

// A text that would cost more ends where the parse stands, as one nested
// too deep does: what was read before stays.
TEST(JsonReader, ATextCostingMoreThanItsCapEndsKeepingWhatWasRead) {
    const size_t n = 200000;
    const std::string text = "{\"format\":2,\"sheets\":{\"a\":{\"width\":12}},\"junk\":[" + repeated("0 ", n) +
                             "],\"after\":1}";
    std::string rest;
    tree t = parse(text.c_str(), &rest);
    EXPECT_LE(jcost(t.get()), cap_of(text));
    EXPECT_EQ(show(jget(t.get(), "format")), "2");
    EXPECT_EQ(show(jget(t.get(), "sheets")), "{\"a\":{\"width\":12}}");
    const json_value* junk = jget(t.get(), "junk");
    ASSERT_NE(junk, nullptr);
    EXPECT_GT(junk->count, 0);
    EXPECT_LT(size_t(junk->count), n);
    for (int i = 0; i < junk->count; i++)
        ASSERT_EQ(show(junk->items[i]), "0") << i;
    EXPECT_EQ(jget(t.get(), "after"), nullptr);
    EXPECT_FALSE(rest.empty());
    EXPECT_EQ(rest.substr(rest.size() - 12), "],\"after\":1}");
}

}  // namespace
