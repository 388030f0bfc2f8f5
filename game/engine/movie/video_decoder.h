// Video decoders of the movie player, chosen by the AVI stream's handler.
// ssVideoDecoder is the interface and the default for handlers nobody
// decodes: it decodes and shows nothing. ssVP3Decoder decodes "vp31"
// frames through libavcodec's VP3 decoder and converts its Y, Cb and Cr
// planes (4:2:0) to 16-bit pixels, into the display's current render
// target (the back buffer) or into an image.
//
// The rectangles handed to the operations are the player's: the first is
// the area of the logical screen the picture is centred in, empty for the
// whole screen.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ce/windef.h"

class ssDisplay;
class ssImage;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class ssVideoDecoder {
 public:
  ssVideoDecoder() = default;
  virtual ~ssVideoDecoder() = default;
  ssVideoDecoder(const ssVideoDecoder&) = delete;
  ssVideoDecoder& operator=(const ssVideoDecoder&) = delete;

  // Stores the display and the output size; 0.
  virtual int Create(ssDisplay* display, int width, int height);
  // One compressed frame; 0, or -1 when it could not be decoded (the last
  // good picture stays). The base decodes nothing.
  virtual int Decode(const RECT* rects, const std::uint8_t* data, std::uint32_t size);
  // The last decoded picture into the display's render target; into an
  // image of the video's size. The base draws nothing. 0, or -1 when there
  // is nothing to draw into.
  virtual int ToScreen(const RECT* rects, const std::uint8_t* data, std::uint32_t size);
  virtual int ToImage(ssImage* image, const RECT* rects);

  ssDisplay* m_Display = nullptr;
  int m_Width = 0;
  int m_Height = 0;
};

class ssVP3Decoder : public ssVideoDecoder {
 public:
  ssVP3Decoder();
  ~ssVP3Decoder() override;

  // Creates libavcodec's VP3 decoder for width x height; 0, or -1.
  int Create(ssDisplay* display, int width, int height) override;
  int Decode(const RECT* rects, const std::uint8_t* data, std::uint32_t size) override;
  int ToScreen(const RECT* rects, const std::uint8_t* data, std::uint32_t size) override;
  int ToImage(ssImage* image, const RECT* rects) override;

  // Whether a picture has been decoded.
  bool HasPicture() const { return m_HasPicture; }

  // Set by the player when the video is at most half as wide as the
  // display's rows: every pixel becomes a 2 x 2 block.
  bool m_Scale2x = false;

 private:
  void Release();

  AVCodecContext* m_Context = nullptr;
  AVFrame* m_Frame = nullptr;    // the picture being decoded
  AVFrame* m_Picture = nullptr;  // the last good picture
  AVPacket* m_Packet = nullptr;
  std::vector<std::uint8_t> m_Input;  // the frame with the zero padding the decoder reads past its end
  bool m_HasPicture = false;
};
