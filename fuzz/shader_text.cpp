// Fuzz target: the preparation of an external shader file, its
// "#pragma parameter" reader and the count of its macros' words, on any
// bytes.
#include "host/shader_macros.h"
#include "host/shader_text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > SHADER_FILE_MAX) return 0;
  std::string_view file(reinterpret_cast<const char*>(data), size);
  std::string text = shader_prepare_text(file);
  if (text.find_first_of(std::string_view("\r\0", 2)) != std::string::npos) std::abort();
  if (text.size() > size) std::abort();
  // The stage source is a fixed prefix followed by the prepared text.
  static const size_t prefix = shader_stage_source({}, true).size();
  std::string stage = shader_stage_source(text, true);
  if (stage.size() != prefix + text.size() || stage.compare(prefix, std::string::npos, text) != 0) std::abort();
  shader_param params[SHADER_PARAM_MAX];
  int count = shader_read_params(text, params, SHADER_PARAM_MAX);
  if (count < 0 || count > SHADER_PARAM_MAX) std::abort();
  for (int i = 0; i < count; ++i) {
    size_t length = strnlen(params[i].name, sizeof params[i].name);
    if (length == 0 || length > SHADER_PARAM_NAME_MAX || !std::isfinite(params[i].value))
      std::abort();
  }
  // A text refused for its macros names the macro that makes the most.
  std::string largest;
  if (!shader_macros_fit(text, &largest) && largest.empty()) std::abort();
  return 0;
}
