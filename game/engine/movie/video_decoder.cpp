#include "engine/movie/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <dlfcn.h>

#include <cstring>

#include "display/display.h"
#include "engine/image.h"
#include "engine/movie/yuv_convert.h"

namespace {

// libavcodec and the libraries it brings are many and large: mapping and
// relocating them costs more than all the rest of a program's start, and
// only a movie needs them. They are opened when the first decoder is made
// and stay open; the calls go through the table below, made from this list
// of each call's library, name and field.
#define KS_AVCODEC_CALLS(X)                      \
  X(codec, avcodec_free_context, freeContext)    \
  X(codec, avcodec_find_decoder, findDecoder)    \
  X(codec, avcodec_alloc_context3, allocContext) \
  X(codec, avcodec_open2, open)                  \
  X(codec, avcodec_send_packet, sendPacket)      \
  X(codec, avcodec_receive_frame, receiveFrame)  \
  X(codec, av_packet_alloc, packetAlloc)         \
  X(codec, av_packet_free, packetFree)           \
  X(util, av_frame_alloc, frameAlloc)            \
  X(util, av_frame_free, frameFree)              \
  X(util, av_frame_unref, frameUnref)            \
  X(util, av_frame_move_ref, frameMoveRef)       \
  X(util, av_log_set_level, logSetLevel)

struct AvCodecApi {
#define KS_AVCODEC_FIELD(library, name, field) decltype(&name) field = nullptr;
  KS_AVCODEC_CALLS(KS_AVCODEC_FIELD)
#undef KS_AVCODEC_FIELD
  bool ready = false;
};

template <typename F>
bool Find(void* library, const char* name, F& out) {
  out = reinterpret_cast<F>(::dlsym(library, name));
  return out != nullptr;
}

AvCodecApi LoadAvCodec() {
  AvCodecApi a;
  // The versions the decoder was built against, by their library names.
  void* util = ::dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  void* codec = ::dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  if (util == nullptr || codec == nullptr) return a;
  a.ready = true;
#define KS_AVCODEC_FIND(library, name, field) a.ready = a.ready && Find(library, #name, a.field);
  KS_AVCODEC_CALLS(KS_AVCODEC_FIND)
#undef KS_AVCODEC_FIND
  return a;
}
#undef KS_AVCODEC_CALLS

const AvCodecApi& AvCodec() {
  static const AvCodecApi api = LoadAvCodec();
  return api;
}

}  // namespace

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
  // Nothing was made unless the library was opened.
  if (m_Context != nullptr || m_Frame != nullptr || m_Picture != nullptr || m_Packet != nullptr) {
    const AvCodecApi& av = AvCodec();
    av.freeContext(&m_Context);
    av.frameFree(&m_Frame);
    av.frameFree(&m_Picture);
    av.packetFree(&m_Packet);
  }
  m_HasPicture = false;
}

int ssVP3Decoder::Create(ssDisplay* display, int width, int height) {
  Release();
  ssVideoDecoder::Create(display, width, height);
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return -1;
  // The decoder's complaints about damaged frames are answered by skipping
  // the frame; they need not reach the console.
  const AvCodecApi& av = AvCodec();
  if (!av.ready) return -1;
  av.logSetLevel(AV_LOG_QUIET);
  const AVCodec* codec = av.findDecoder(AV_CODEC_ID_VP3);
  if (codec == nullptr) return -1;
  m_Context = av.allocContext(codec);
  m_Frame = av.frameAlloc();
  m_Picture = av.frameAlloc();
  m_Packet = av.packetAlloc();
  if (m_Context == nullptr || m_Frame == nullptr || m_Picture == nullptr || m_Packet == nullptr) {
    Release();
    return -1;
  }
  // VP3 without Theora headers: the size and the version come from here.
  m_Context->width = width;
  m_Context->height = height;
  m_Context->codec_tag = MKTAG('V', 'P', '3', '1');
  m_Context->thread_count = 1;
  if (av.open(m_Context, codec, nullptr) < 0) {
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
  const AvCodecApi& av = AvCodec();
  const int sent = av.sendPacket(m_Context, m_Packet);
  m_Packet->data = nullptr;
  m_Packet->size = 0;
  if (sent < 0 && sent != AVERROR(EAGAIN)) return -1;
  int result = -1;
  // VP3 gives one picture a frame; take whatever is ready.
  while (av.receiveFrame(m_Context, m_Frame) == 0) {
    const bool usable = m_Frame->format == AV_PIX_FMT_YUV420P && m_Frame->width >= m_Width &&
                        m_Frame->height >= m_Height && m_Frame->data[0] != nullptr && m_Frame->data[1] != nullptr &&
                        m_Frame->data[2] != nullptr && (m_Frame->decode_error_flags == 0);
    if (usable) {
      av.frameUnref(m_Picture);
      av.frameMoveRef(m_Picture, m_Frame);
      m_HasPicture = true;
      result = 0;
    } else {
      av.frameUnref(m_Frame);
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
