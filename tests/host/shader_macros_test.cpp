// The count of the words an external shader's macros make where they are
// used, which keeps texts that would make the driver's preprocessor expand
// without end from reaching it.
#include "host/shader_macros.h"
#include "host/shader_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <span>
#include <string>

namespace {

// "#define A0 x" and n lines that each name the line before twice: An
// makes 2^n words.
std::string doubling(int n) {
  std::string text = "#define A0 x\n";
  for (int i = 1; i <= n; ++i)
    text += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" + std::to_string(i - 1) + "\n";
  return text;
}

// `name(` n times, then `inner` and n closing parentheses, written on one
// line or with a line break after each opening one.
std::string nested(const std::string& name, int n, const std::string& inner, bool line_breaks = false) {
  std::string text;
  for (int i = 0; i < n; ++i) text += name + (line_breaks ? "(\n" : "(");
  return text + inner + std::string(n, ')') + "\n";
}

// A shader's text as an external file gives it.
std::string shader_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct macro_case {
  const char* what;
  std::string text;
  const char* largest;  // null: the text fits
};

// Each text fits or not, and a text that does not names its largest macro.
void expect_cases(std::span<const macro_case> cases) {
  for (const macro_case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string largest = "unset";
    EXPECT_EQ(shader_macros_fit(c.text, &largest), c.largest == nullptr);
    if (c.largest) {
      EXPECT_EQ(largest, c.largest);
    }
  }
}

TEST(shader_macros, WordsMadeWhereMacrosAreUsed) {
  // 2^18 words is the limit itself.
  static_assert(SHADER_MACRO_WORDS_MAX == 1 << 18);
  const std::string d = doubling(19);
  const macro_case cases[] = {
      {"no macro", "void main() { gl_FragColor = vec4(1.0); }\n", nullptr},
      {"at the limit", d + "void f() { A18 }\n", nullptr},
      {"over the limit", d + "void f() { A19 }\n", "A19"},
      {"defined but never used", d, nullptr},
      {"two uses that together pass it", d + "A17 A17\nA17\n", "A17"},
      {"the largest of several is named", d + "A2 A18 A3\n", "A18"},
      {"in #if", d + "#if A19 > 0\n#endif\n", "A19"},
      {"in #elif", d + "#if 0\n#elif A17 A17 A17\n#endif\n", "A17"},
      {"in #line", d + "#line A18 A18\n", "A18"},
      {"a name, not a use", d + "#ifdef A19\n#endif\n#ifndef A19\n#endif\n#undef A19\n#if defined(A19) || defined A19\n#endif\n", nullptr},
      {"in comments", d + "// A19\n/* A19\n A19 */ int x;\n/*/ A19 */\n", nullptr},
      {"after an empty comment", d + "/**/A19\n", "A19"},
      {"a comment inside a definition", d + "#define B /* x */ A17\nB B B\n", "B"},
      {"on a last line without a line break", d + "A19", "A19"},
      {"a continued line", d + "#define B \\\n A18 A18\nB\n", "B"},
      {"spaces inside the directive", d + "  #  define B A18 A18\nB\n", "B"},
      {"a macro in its own body stays a word", "#define A A A\n#define B B B B\nA B\n", nullptr},
      {"and counts as one", d + "#define B A17 A17 B\nB\n", "B"},
      {"up to the limit", d + "#define B A17 A16 A15 A14 A13 A12 A11 A10 A9 A8 A7 A6 A5 A4 A3 A2 A1 A0 B\nB\n", nullptr},
      {"a cycle of two", "#define A B B\n#define B A A\nA B\n", nullptr},
      {"function-like", d + "#define F(x) A18 x A18\nF(1)\n", "F"},
      {"a body right after the parameters", d + "#define F(x)A19\nF(1)\n", "F"},
      {"parameters that share macros' names", d + "#define F(A19, A18) A19 A18 A19\nF(1, 2)\n", nullptr},
      {"function-like chain", "#define F0(x) x\n" + [] {
         std::string t;
         for (int i = 1; i <= 19; ++i)
           t += "#define F" + std::to_string(i) + "(x) F" + std::to_string(i - 1) + "(x) F" +
                std::to_string(i - 1) + "(x)\n";
         return t;
       }() + "F19(1)\n", "F19"},
      {"every definition of a name counts", d + "#define B x\n#undef B\n#define B A19\nB\n", "B"},
  };
  expect_cases(cases);
}

// A function-like macro's use makes its body's words with each parameter
// standing for its argument's full expansion, as often as the body names
// it: nested calls multiply.
TEST(shader_macros, ArgumentsCountAtTheirExpansion) {
  const std::string d = doubling(19);
  const std::string twice = "#define F(x) x x\n";
  // G(x) is F(F(x)): four words for each of x's.
  const std::string four = twice + "#define G(x) F(F(x))\n";
  // H passes its parameter to F four times: eight words for each of x's.
  const std::string eight = twice + "#define H(x) F(x) F(x) F(x) F(x)\n";
  const macro_case cases[] = {
      {"nested calls thirty deep", twice + nested("F", 30, "1"), "F"},
      {"nested calls at the limit", twice + nested("F", 18, "1"), nullptr},
      {"nested calls one past it", twice + nested("F", 19, "1"), "F"},
      {"nested calls five deep", twice + nested("F", 5, "1") + nested("F", 5, "1"), nullptr},
      {"nested calls over several lines", twice + "void f() {\n" + nested("F", 19, "1", true) + "}\n", "F"},
      {"nested calls in #if", twice + "#if " + nested("F", 19, "1") + "#endif\n", "F"},
      {"a chain through a second macro", four + nested("G", 10, "1"), "G"},
      {"that chain at the limit", four + nested("G", 9, "1"), nullptr},
      {"a body with calls nested in it", twice + "#define K(x) " + nested("F", 19, "x") + "K(1)\n", "K"},
      {"a parameter passed on many times", eight + nested("H", 7, "1"), "H"},
      {"that parameter at the limit", eight + nested("H", 6, "1"), nullptr},
      {"a parameter named many times", "#define M(x) x x x x x x x x x x x x x x x x\n" + nested("M", 5, "1"), "M"},
      {"an argument that is a macro", d + twice + "F(A17)\n", nullptr},
      {"an argument that is a larger macro", d + twice + "F(A18)\n", "F"},
      {"an argument the body drops is expanded all the same", d + "#define Z(x) 1\nZ(A19)\n", "Z"},
      {"a later parameter", d + "#define P(a, b, c, d, e, f, g, h, i, j) j j\nP(1, 2, 3, 4, 5, 6, 7, 8, 9, A18)\n", "P"},
      {"a comma inside parentheses", d + "#define P(a, b) b b\nP((1, A17), 2)\n", nullptr},
      {"a name that calls through an object-like macro", twice + "#define E F\n" + nested("E", 19, "1"), "F"},
      {"the name it ends in is replaced by the call", twice + "#define E F\n" + nested("E", 18, "1"), nullptr},
      {"definitions ending in different names", twice + "#define Q(x) x\n#define E F\n#undef E\n#define E Q\n" + nested("E", 19, "1"), "E"},
      {"a name that calls through a call", twice + "#define R(x) F\n" + nested("R(0)", 19, "1"), "F"},
      {"an argument that is called", twice + "#define P(f) " + nested("f", 19, "1") + "P(F)\n", "P"},
      {"pasted names", d + "#define CAT(a, b) a ## b\nCAT(A, 19)\n", "CAT"},
      {"a body that leaves a call open", twice + "#define O(x) F(x\nO(1) 2)\n", "O"},
  };
  expect_cases(cases);
  EXPECT_FALSE(shader_macros_fit(d + "A19\n", nullptr));
}

// Shaders as players use them, with their few function-like macros, fit,
// also with their macros' calls nested a few deep.
TEST(shader_macros, OrdinaryShadersFit) {
  for (const char* name : {"bezel-overlay.glsl", "crt-1tap.glsl", "crt-easymode.glsl", "crt-geom-mini.glsl",
                           "image-adjustment.glsl", "scanline.glsl"}) {
    SCOPED_TRACE(name);
    const std::string text = shader_prepare_text(shader_file(std::string(BKM_TEST_SHADERS) + "/" + name));
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(shader_macros_fit(text, nullptr));
    if (text.find("#define TEX2D(") != std::string::npos) {
      EXPECT_TRUE(shader_macros_fit(text + "vec4 t = TEX2D(TEX2D(FIX(TEX2D(vTexCoord))).xy);\n", nullptr));
    }
  }
}

// A chain as long as a file may be: counted without running out of stack.
TEST(shader_macros, LongChainsAreCounted) {
  // B0 makes 4 words, each link one more: B59999 makes 60,003.
  std::string text = "#define B0 x x x x\n";
  for (int i = 1; i < 60000; ++i) text += "#define B" + std::to_string(i) + " B" + std::to_string(i - 1) + " x\n";
  EXPECT_TRUE(shader_macros_fit(text + "B59999 B59999 B59999 B59999\n", nullptr));
  std::string largest;
  EXPECT_FALSE(shader_macros_fit(text + "B59999 B59999 B59999 B59999 B59999\n", &largest));
  EXPECT_EQ(largest, "B59999");
  // Sixty lines that each name the one before twice, the first empty: each
  // macro is counted once, not once for each of its 2^60 uses.
  std::string empty = "#define E0\n";
  for (int i = 1; i <= 60; ++i)
    empty += "#define E" + std::to_string(i) + " E" + std::to_string(i - 1) + " E" + std::to_string(i - 1) + "\n";
  EXPECT_TRUE(shader_macros_fit(empty + "E60\n", nullptr));
}

}  // namespace
