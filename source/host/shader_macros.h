// External shader files: how many words the macros of a text make where
// they are used, counted before the text goes to the driver. Plain text
// work, no GL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Words that the text's macros may make where they are used. A few nested
// definitions can make a driver's preprocessor expand for hours on the
// thread that draws, so a text whose macros make more is not compiled.
inline constexpr size_t SHADER_MACRO_WORDS_MAX = 1 << 18;

// Whether the words the prepared text's macros make where they are used (in
// code and in #if, #elif and #line lines), each use counted at its macro's
// full expansion, stay within SHADER_MACRO_WORDS_MAX. When they do not,
// *largest names the used macro that expands to most words. A word is a
// name, a number or one other character; every definition of a name counts,
// whatever conditionals surround it, so the count errs on the high side.
// A function-like macro's call makes its body's words with each parameter
// standing for its argument fully expanded (nested calls and macros
// included), as often as the body names it and at least once. A call the
// count cannot follow (an argument or a pasted name called, a body that
// leaves a call open) counts as too many.
bool shader_macros_fit(std::string_view prepared, std::string* largest);
