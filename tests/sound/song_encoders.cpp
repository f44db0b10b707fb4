// The reference MP3 (LAME) and Vorbis encoders, used only to make test songs.
#include "song_encoders.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <cstdlib>
#include <ctime>

std::string encode_mp3(const std::vector<i16>& samples, int channels, int rate, int kbps) {
  lame_t g = lame_init();
  lame_set_num_channels(g, channels);
  lame_set_in_samplerate(g, rate);
  lame_set_out_samplerate(g, rate);
  lame_set_mode(g, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(g, kbps);
  lame_set_bWriteVbrTag(g, 0);
  lame_init_params(g);
  const int frames = static_cast<int>(samples.size()) / channels;
  std::vector<unsigned char> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
  std::vector<short> left(frames);
  for (int i = 0; i < frames; ++i) left[i] = samples[static_cast<size_t>(i) * channels];
  int n = channels == 1
              ? lame_encode_buffer(g, left.data(), left.data(), frames, out.data(), static_cast<int>(out.size()))
              : lame_encode_buffer_interleaved(g, const_cast<short*>(samples.data()), frames, out.data(),
                                               static_cast<int>(out.size()));
  if (n < 0) n = 0;
  const int tail = lame_encode_flush(g, out.data() + n, static_cast<int>(out.size()) - n);
  lame_close(g);
  return std::string(reinterpret_cast<char*>(out.data()), static_cast<size_t>(n + (tail > 0 ? tail : 0)));
}

std::string encode_ogg(const std::vector<i16>& samples, int channels, int rate, bool coupled) {
  std::string file;
  auto add_page = [&](const ogg_page& page) {
    file.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    file.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
  };
  vorbis_info vi;
  vorbis_info_init(&vi);
  vorbis_encode_setup_vbr(&vi, channels, rate, 0.4f);
  int coupling = coupled ? 1 : 0;
  vorbis_encode_ctl(&vi, OV_ECTL_COUPLING_SET, &coupling);
  vorbis_encode_setup_init(&vi);
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page)) add_page(page);

  const int frames = static_cast<int>(samples.size()) / channels;
  float** buffer = vorbis_analysis_buffer(&vd, frames);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) buffer[c][i] = samples[static_cast<size_t>(i) * channels + c] / 32768.0f;
  vorbis_analysis_wrote(&vd, frames);
  vorbis_analysis_wrote(&vd, 0);
  ogg_packet packet;
  while (vorbis_analysis_blockout(&vd, &vb) == 1) {
    vorbis_analysis(&vb, nullptr);
    vorbis_bitrate_addblock(&vb);
    while (vorbis_bitrate_flushpacket(&vd, &packet)) {
      ogg_stream_packetin(&os, &packet);
      while (ogg_stream_pageout(&os, &page)) add_page(page);
    }
  }
  while (ogg_stream_flush(&os, &page)) add_page(page);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return file;
}

std::string ogg_of_packets(const std::vector<std::string>& packets) {
  std::string file;
  ogg_stream_state os;
  ogg_stream_init(&os, 1);
  ogg_page page;
  for (size_t i = 0; i < packets.size(); ++i) {
    ogg_packet p{};
    p.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(packets[i].data()));
    p.bytes = static_cast<long>(packets[i].size());
    p.b_o_s = i == 0;
    p.e_o_s = i + 1 == packets.size();
    p.packetno = static_cast<ogg_int64_t>(i);
    ogg_stream_packetin(&os, &p);
    // The identification header has the first page to itself.
    if (i == 0 || i + 1 == packets.size())
      while (ogg_stream_flush(&os, &page)) {
        file.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
        file.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
      }
  }
  ogg_stream_clear(&os);
  return file;
}
