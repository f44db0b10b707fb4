// The gamepad picture of the controls menu: a game controller with a
// labelled box for each button, stick and the d-pad, telling what each is
// bound to in the current language.
#pragma once

#include <cstdint>

inline constexpr int PADMAP_W = 2220;
inline constexpr int PADMAP_H = 1350;

// A new RGBA picture (freed with free()), or null.
uint8_t* padmap_render(int* w, int* h);
// Changes exactly when the picture would: the pad bindings, dual stick and
// the language.
uint32_t padmap_signature();
