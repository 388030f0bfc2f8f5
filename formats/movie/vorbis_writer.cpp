#include "vorbis_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace moviemake {

std::vector<std::uint8_t> EncodeVorbis(const std::vector<std::int16_t>& samples, int rate, float quality,
                                       std::string* error) {
  std::vector<std::uint8_t> out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 1, rate, quality) != 0) {
    if (error != nullptr) *error = "the Vorbis encoder refused the rate or quality";
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "ENCODER", "moviemake");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 0x4B53);
  ogg_page page;
  auto append = [&](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  {
    ogg_packet header, comments, code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &comments, &code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &comments);
    ogg_stream_packetin(&stream, &code);
    while (ogg_stream_flush(&stream, &page) != 0) append(page);
  }
  std::size_t at = 0;
  bool ended = false;
  while (!ended) {
    const std::size_t n = std::min<std::size_t>(1024, samples.size() - at);
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (std::size_t i = 0; i < n; ++i) buffer[0][i] = samples[at + i] / 32768.0f;
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      at += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          append(page);
          if (ogg_page_eos(&page) != 0) ended = true;
        }
      }
    }
    if (n == 0) {
      while (ogg_stream_flush(&stream, &page) != 0) append(page);
      ended = true;
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace moviemake
