// Language files: every text the host shows is looked up by a text id such
// as "startup.ready". The chosen language is asked first, then the fallback
// language ("en"), and an id without a translation shows as itself.
// Loaded once on the main thread; read-only afterwards except for the
// current language.
#pragma once

#include <cstddef>
#include <type_traits>

// Loads every "*.xml" file of the folder (up to 16 languages). The fallback
// is the last one whose code is "en", else the first; it starts as current.
void lang_init(const char* folder);
// Makes the language with this code (any case) current; 0 and no change
// when there is none.
int lang_set(const char* code);
// The current language's code, "en" when no language is loaded.
const char* lang_current();
int lang_count();
const char* lang_name(int i);  // display name, empty out of range
const char* lang_code(int i);  // code, empty out of range
int lang_index();              // index of the current language

// The text of the id: current language, else fallback, else the id itself;
// the empty text for a null id. Lives as long as the loaded languages.
const char* tr(const char* id);

// ---- trf ---------------------------------------------------------------------
// trf(buffer, size, id, values...) uses the translation of the id as a
// printf format for the values and writes the result into the buffer, cut
// to size (never inside a UTF-8 character). A translation is only used when
// its conversions take exactly the values given, in kind and order; else the
// fallback language's text is tried, and then the id is shown as it stands
// (logged once), so a wrong or hostile language file cannot read values
// that were never passed.

enum lang_arg_kind : unsigned char {
  LANG_ARG_INT,     // int and everything promoted to it
  LANG_ARG_LONG,    // long, long long, size_t and the like (64 bits)
  LANG_ARG_DOUBLE,  // float, double
  LANG_ARG_STRING,  // char pointers and arrays
  LANG_ARG_POINTER, // other pointers
};

// Whether the format's conversions take exactly these kinds in this order.
bool lang_format_fits(const char* format, const lang_arg_kind* kinds, size_t count);

char* lang_trf_checked(char* buffer, size_t size, const char* id, const lang_arg_kind* kinds,
                       size_t count, ...);

template <class T>
constexpr lang_arg_kind lang_kind_of() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_pointer_v<U>) {
    using P = std::remove_cv_t<std::remove_pointer_t<U>>;
    return std::is_same_v<P, char> ? LANG_ARG_STRING : LANG_ARG_POINTER;
  } else if constexpr (std::is_floating_point_v<U>) {
    static_assert(!std::is_same_v<U, long double>, "trf takes no long double");
    return LANG_ARG_DOUBLE;
  } else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    static_assert(sizeof(U) <= 8, "trf takes integers of up to 64 bits");
    return sizeof(U) <= sizeof(int) ? LANG_ARG_INT : LANG_ARG_LONG;
  } else {
    static_assert(std::is_pointer_v<U>, "trf takes numbers and C strings only");
    return LANG_ARG_POINTER;
  }
}

// The value as C variadic arguments carry it.
template <class T>
constexpr auto lang_pass(T v) {
  if constexpr (std::is_enum_v<T>)
    return static_cast<std::conditional_t<(sizeof(T) <= sizeof(int)), int, long long>>(v);
  else if constexpr (std::is_same_v<T, float>)
    return static_cast<double>(v);
  else
    return v;
}

template <class... A>
char* trf(char* buffer, size_t size, const char* id, A... values) {
  static constexpr lang_arg_kind kinds[sizeof...(A) + 1] = {lang_kind_of<A>()..., LANG_ARG_INT};
  return lang_trf_checked(buffer, size, id, kinds, sizeof...(A), lang_pass(values)...);
}
