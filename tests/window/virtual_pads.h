// Game controllers made by SDL itself, so pad input is tested without a
// real device.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

inline SDL_Joystick* attach_virtual_pad() {
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  EXPECT_GE(index, 0) << SDL_GetError();
  SDL_Joystick* j = SDL_JoystickOpen(index);
  EXPECT_NE(j, nullptr) << SDL_GetError();
  return j;
}

// Unplugs the pad: its device goes away, as a pulled cable's would.
inline void unplug_virtual_pad(SDL_Joystick* j) {
  const SDL_JoystickID id = SDL_JoystickInstanceID(j);
  for (int d = 0; d < SDL_NumJoysticks(); d++)
    if (SDL_JoystickGetDeviceInstanceID(d) == id) SDL_JoystickDetachVirtual(d);
  SDL_JoystickClose(j);
}
