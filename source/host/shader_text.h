// External shader files: the text preparation that turns one user-supplied
// ".glsl" file (both stages of a program, chosen by the VERTEX and FRAGMENT
// macros) into the two stage sources, and the reader of its
// "#pragma parameter" lines. Plain text work, no GL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Largest external shader file that is read; larger ones are refused.
inline constexpr size_t SHADER_FILE_MAX = 1 << 20;
inline constexpr int SHADER_PARAM_MAX = 64;
inline constexpr int SHADER_PARAM_NAME_MAX = 47;

struct shader_param {
  char name[SHADER_PARAM_NAME_MAX + 1];
  float value;
};

// The file's text up to its first 0 byte, without carriage returns and
// UTF-8 byte-order marks (Windows editors add both) and with its
// "#version" line emptied (the program chooses its own version):
// the first line that is not blank or a comment, when it begins so.
std::string shader_prepare_text(std::string_view file);

// The stage source: the version line, the stage macro and
// PARAMETER_UNIFORM, then the prepared text numbered from line 1.
std::string shader_stage_source(std::string_view prepared, bool vertex);

// Reads every "#pragma parameter NAME "description" default" of the text,
// up to max of them; occurrences that do not fit the pattern are skipped.
// Returns how many were stored.
int shader_read_params(std::string_view text, shader_param* out, int max);
