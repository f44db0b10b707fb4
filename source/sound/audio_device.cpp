// The sound device through SDL: opened with the program's own format so the
// ring's frames play at their rate whatever the device wants (SDL converts),
// with only the buffer size left to the driver.
#include <SDL.h>

#include "host/platform.h"
#include "sound/audio_output.h"

namespace {

const char* driver_name(const char* fallback) {
  const char* driver = SDL_GetCurrentAudioDriver();
  return driver ? driver : fallback;
}

} // namespace

audio_output* audio_open(int rate, double target_ms) {
  audio_output* h = audio_output_new(rate, target_ms, audio_device_request);
  if (!h) return nullptr;
  const bool was_running = SDL_WasInit(SDL_INIT_AUDIO) != 0;
  if (!was_running && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    host_log("SDL audio initialization failed: %s", SDL_GetError());
    audio_output_free(h);
    return nullptr;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = rate;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = audio_device_request;
  want.callback = sdl_audio_cb;
  want.userdata = h;
  // The device opens paused: the callback cannot run before the handle fits it.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  if (device == 0 || !audio_output_fit_device(h, have.samples)) {
    host_log("Sound disabled: SDL could not open an audio device (driver %s): %s", driver_name("default"),
             device == 0 ? SDL_GetError() : "out of memory");
    if (device != 0) SDL_CloseAudioDevice(device);
    if (!was_running) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio_output_free(h);
    return nullptr;
  }
  h->device = device;
  host_log("Audio: SDL driver %s, %d Hz, %d channels, %d samples", driver_name("unknown"), have.freq, have.channels,
           have.samples);
  SDL_PauseAudioDevice(device, 0);
  return h;
}

void audio_close(audio_output* h) {
  if (!h) return;
  SDL_PauseAudioDevice(h->device, 1);
  SDL_CloseAudioDevice(h->device);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  audio_output_free(h);
}
