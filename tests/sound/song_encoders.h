// Tiny MP3 and Ogg Vorbis files made at test time with the reference
// encoders (test-only dependencies), for the loader's decoders.
#pragma once
#include <string>
#include <vector>

#include "machine/types.h"

// Interleaved 16-bit samples of channels at rate, as file bytes: MP3 of 1
// or 2 channels (at kbps), Ogg Vorbis of any number in Vorbis's order
// (stereo and 5.1 with their channels coupled unless told otherwise).
std::string encode_mp3(const std::vector<i16>& samples, int channels, int rate, int kbps = 128);
std::string encode_ogg(const std::vector<i16>& samples, int channels, int rate, bool coupled = true);

// An Ogg stream of these packets (CRCs right), the first alone on its page.
std::string ogg_of_packets(const std::vector<std::string>& packets);
