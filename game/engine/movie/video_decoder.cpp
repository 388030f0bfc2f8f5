#include "engine/movie/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <cstring>

#include "display/display.h"
#include "engine/image.h"
#include "engine/movie/yuv_convert.h"

int ssVideoDecoder::Create(ssDisplay* display, int width, int height) {
  m_Display = display;
  m_Width = width;
  m_Height = height;
  return 0;
}

int ssVideoDecoder::Decode(const RECT*, const std::uint8_t*, std::uint32_t) { return 0; }

int ssVideoDecoder::ToScreen(const RECT*, const std::uint8_t*, std::uint32_t) { return 0; }

int ssVideoDecoder::ToImage(ssImage*, const RECT*) { return 0; }

ssVP3Decoder::ssVP3Decoder() = default;

ssVP3Decoder::~ssVP3Decoder() { Release(); }

void ssVP3Decoder::Release() {
  avcodec_free_context(&m_Context);
  av_frame_free(&m_Frame);
  av_frame_free(&m_Picture);
  av_packet_free(&m_Packet);
  m_HasPicture = false;
}

int ssVP3Decoder::Create(ssDisplay* display, int width, int height) {
  Release();
  ssVideoDecoder::Create(display, width, height);
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return -1;
  // The decoder's complaints about damaged frames are answered by skipping
  // the frame; they need not reach the console.
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_VP3);
  if (codec == nullptr) return -1;
  m_Context = avcodec_alloc_context3(codec);
  m_Frame = av_frame_alloc();
  m_Picture = av_frame_alloc();
  m_Packet = av_packet_alloc();
  if (m_Context == nullptr || m_Frame == nullptr || m_Picture == nullptr || m_Packet == nullptr) {
    Release();
    return -1;
  }
  // VP3 without Theora headers: the size and the version come from here.
  m_Context->width = width;
  m_Context->height = height;
  m_Context->codec_tag = MKTAG('V', 'P', '3', '1');
  m_Context->thread_count = 1;
  if (avcodec_open2(m_Context, codec, nullptr) < 0) {
    Release();
    return -1;
  }
  return 0;
}

int ssVP3Decoder::Decode(const RECT*, const std::uint8_t* data, std::uint32_t size) {
  if (m_Context == nullptr || data == nullptr || size == 0 || size > (1u << 30)) return -1;
  m_Input.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
  std::memcpy(m_Input.data(), data, size);
  std::memset(m_Input.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  m_Packet->data = m_Input.data();
  m_Packet->size = static_cast<int>(size);
  const int sent = avcodec_send_packet(m_Context, m_Packet);
  m_Packet->data = nullptr;
  m_Packet->size = 0;
  if (sent < 0 && sent != AVERROR(EAGAIN)) return -1;
  int result = -1;
  // VP3 gives one picture a frame; take whatever is ready.
  while (avcodec_receive_frame(m_Context, m_Frame) == 0) {
    const bool usable = m_Frame->format == AV_PIX_FMT_YUV420P && m_Frame->width >= m_Width &&
                        m_Frame->height >= m_Height && m_Frame->data[0] != nullptr && m_Frame->data[1] != nullptr &&
                        m_Frame->data[2] != nullptr && (m_Frame->decode_error_flags == 0);
    if (usable) {
      av_frame_unref(m_Picture);
      av_frame_move_ref(m_Picture, m_Frame);
      m_HasPicture = true;
      result = 0;
    } else {
      av_frame_unref(m_Frame);
    }
  }
  return result;
}

namespace {

ssYuvPlanes PlanesOf(const AVFrame* f, int width, int height) {
  ssYuvPlanes p;
  p.y = f->data[0];
  p.cb = f->data[1];
  p.cr = f->data[2];
  p.yPitch = f->linesize[0];
  p.cPitch = f->linesize[1];
  p.width = width;
  p.height = height;
  return p;
}

}  // namespace

int ssVP3Decoder::ToScreen(const RECT* rects, const std::uint8_t*, std::uint32_t) {
  if (!m_HasPicture || m_Display == nullptr) return -1;
  ssDisplay& d = *m_Display;
  if (d.m_RenderBuffer == nullptr || d.m_RenderBits != 16) return -1;
  ssPixelTarget target;
  target.pixels = static_cast<std::uint16_t*>(d.m_RenderBuffer);
  target.pitch = d.m_RenderPitch / 2;
  target.width = d.m_RenderWidth;
  target.height = d.m_RenderHeight;
  target.rotate = d.m_Rotate;
  target.depth = d.m_Depth;
  ssConvertYuv(PlanesOf(m_Picture, m_Width, m_Height), target, m_Scale2x, rects);
  return 0;
}

int ssVP3Decoder::ToImage(ssImage* image, const RECT*) {
  if (!m_HasPicture || image == nullptr || image->Pixels() == nullptr) return -1;
  if (image->Width() != m_Width || image->Height() != m_Height ||
      image->BufferSize() < static_cast<std::uint32_t>(m_Width) * static_cast<std::uint32_t>(m_Height) * 2) {
    return -1;
  }
  ssPixelTarget target;
  target.pixels = reinterpret_cast<std::uint16_t*>(image->Pixels());
  target.pitch = m_Width;
  target.width = m_Width;
  target.height = m_Height;
  target.depth = m_Display != nullptr ? m_Display->m_Depth : 16;
  ssConvertYuv(PlanesOf(m_Picture, m_Width, m_Height), target, false, nullptr);
  return 0;
}
