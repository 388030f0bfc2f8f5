// ssImage: the engine's picture, a pixel buffer in one of the ssPixelFormat
// codes with its size, an optional palette and the names under which the
// texture cache finds it again.
//
// Load reads a whole stream and recognises:
//  - TGA, image type 2 (uncompressed) or 10 (run-length), 24 or 32 bits,
//    rows stored bottom first; converted to the requested format;
//  - the palettised picture (magic 0x0CAAD001; format 1, palette groups of
//    32 entries stored with entries 8-15 and 16-23 exchanged);
//  - raw pictures (0xABCD0001-3, 52-byte header; pixels used as stored);
//  - packed JPEG (0xABCD0004, the JPEG stream from byte 52) and bare JPEG,
//    decoded from memory and converted to the requested format.
// Every size, count and run is checked against the data; a picture wider or
// taller than kMaxImageSide is refused.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

class ssFile;

// Pixel format codes.
enum ssPixelFormat : std::uint16_t {
  kPixel4BitIndexed = 0,  // conversion source only: two indices a byte, low nibble first
  kPixelPalettised = 1,   // 8-bit index, 256-entry palette
  kPixelRGB565 = 4,
  kPixelBGR24 = 5,      // bytes B, G, R
  kPixelARGB32 = 6,     // bytes B, G, R, A: the word 0xAARRGGBB
  kPixelDisplay = 7,    // the display's 16-bit format (RGB565, RGB444 at depth 12)
  kPixelChannel8 = 8,   // 8-bit single channel
  kPixelChannel8b = 9,  // 8-bit single channel
  kPixelARGB4444 = 11,  // red 12-15, green 8-11, blue 4-7, alpha 0-3
  kPixelRaw32Alpha = 12,
  kPixelRaw32 = 13,
  kPixelRaw32c = 16,
};

// Bytes a pixel takes in a buffer of this format (4 for unknown codes).
std::uint32_t BytesPerPixel(std::uint16_t format);

// Load and Convert status words.
inline constexpr std::uint32_t kImageLoaded = 0;                    // TGA or JPEG, converted
inline constexpr std::uint32_t kImageLoadedAsStored = 0x80000000u;  // palettised or raw
inline constexpr std::uint32_t kImageNoMemory = 0x80000001u;        // no memory for the stream's contents
inline constexpr std::uint32_t kImageBadData = 0x80000002u;         // undecodable or inconsistent data
inline constexpr std::uint32_t kImageNoPixels = 0x80000004u;        // no memory for the converted pixels

inline constexpr std::uint32_t kImageMagicPalette = 0x0CAAD001u;
inline constexpr std::uint32_t kImageMagicRaw32 = 0xABCD0001u;
inline constexpr std::uint32_t kImageMagicRaw16 = 0xABCD0002u;
inline constexpr std::uint32_t kImageMagicRaw32c = 0xABCD0003u;
inline constexpr std::uint32_t kImageMagicPackedJpeg = 0xABCD0004u;
inline constexpr std::uint32_t kImageRawHeaderSize = 52;
inline constexpr std::uint32_t kImagePaletteHeaderSize = 1040;
inline constexpr std::uint32_t kImageAlphaKind = 4;

// The largest width or height accepted from a file: far beyond any screen
// or texture of the device, small enough that sizes cannot overflow.
inline constexpr std::uint32_t kMaxImageSide = 4096;

class ssImage {
 public:
  ssImage();
  ~ssImage();
  ssImage(const ssImage&) = delete;
  ssImage& operator=(const ssImage&) = delete;

  // Frees the palette, the pixels (unless borrowed) and the names.
  void Free();

  // Reads the whole stream and decodes it; the stream stays with the caller.
  std::uint32_t Load(ssFile* stream, std::uint32_t word, std::uint16_t requestedFormat);

  // Converts `width` x `height` pixels of `sourceFormat` (rows of
  // `sourceRowBytes`) into a new buffer of `targetFormat`, which becomes this
  // image's pixels. 0, or kImageNoPixels when the buffer cannot be made or
  // the conversion does not exist.
  std::uint32_t Convert(std::uint16_t sourceFormat, std::uint16_t targetFormat, const std::uint8_t* source,
                        const std::uint32_t* palette, std::uint32_t width, std::uint32_t height,
                        std::uint32_t sourceRowBytes);

  // Turns the picture by 1, 2 or 3 quarter turns clockwise (other values do
  // nothing) and sets the rotated flag. False when no memory.
  bool Rotate(int quarterTurns);

  // Resizes to width x height with bilinear filtering (nearest for the
  // palettised format). False when the size is 0 or too large, or no memory.
  bool Scale(std::uint32_t width, std::uint32_t height);

  // Texture cache reference count.
  std::uint32_t AddRef() { return ++m_References; }
  std::uint32_t Release() {
    if (m_References > 0) --m_References;
    return m_References;
  }

  // Uses caller-owned pixels (the movie player's frame) without taking them.
  void SetBorrowedPixels(std::uint8_t* pixels, std::uint16_t format, std::uint16_t width, std::uint16_t height,
                         std::uint32_t bufferSize);

  std::uint8_t* Pixels() { return m_Pixels; }
  const std::uint8_t* Pixels() const { return m_Pixels; }
  const std::uint32_t* Palette() const { return m_Palette.get(); }
  std::uint16_t Format() const { return m_Format; }
  std::uint16_t Width() const { return m_Width; }
  std::uint16_t Height() const { return m_Height; }
  std::uint32_t Log2Width() const { return m_Log2Width; }
  std::uint32_t References() const { return m_References; }
  bool HasAlpha() const { return m_Alpha; }
  bool IsRotated() const { return m_Rotated; }
  bool IsBorrowed() const { return m_Borrowed; }
  std::uint32_t BufferSize() const { return m_BufferSize; }
  std::int32_t Word() const { return m_Word; }
  void SetWord(std::int32_t word) { m_Word = word; }

  // 16 by default; 12 turns every conversion into the display format into
  // RGB444.
  std::uint32_t DisplayDepth() const { return m_DisplayDepth; }
  void SetDisplayDepth(std::uint32_t depth) { m_DisplayDepth = depth; }

  // The texture cache's key.
  std::wstring m_FileName, m_Folder, m_Archive;

 private:
  struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
  };
  using Buffer = std::unique_ptr<std::uint8_t, FreeDeleter>;

  // Allocates a pixel buffer (zeroed); null when the size is unreasonable or
  // memory is short.
  static Buffer AllocatePixels(std::uint64_t bytes);
  void AdoptPixels(Buffer buffer, std::uint32_t bytes);
  void SetSize(std::uint32_t width, std::uint32_t height);

  std::uint32_t LoadTga(const std::uint8_t* data, std::uint32_t size, std::uint16_t requestedFormat);
  std::uint32_t LoadPalettised(const std::uint8_t* data, std::uint32_t size);
  std::uint32_t LoadRaw(const std::uint8_t* data, std::uint32_t size);
  std::uint32_t LoadJpeg(const std::uint8_t* data, std::uint32_t size, std::uint16_t requestedFormat);

  Buffer m_Owned;
  std::uint8_t* m_Pixels = nullptr;
  std::unique_ptr<std::uint32_t[]> m_Palette;
  std::int32_t m_Word = -1;
  std::uint16_t m_Format = 0;
  std::uint16_t m_Width = 0, m_Height = 0;
  std::uint16_t m_Width2 = 0, m_Height2 = 0;
  std::uint16_t m_Width3 = 0, m_Height3 = 0;
  std::uint32_t m_Log2Width = 0;
  std::uint32_t m_References = 0;
  bool m_Alpha = false;
  bool m_Rotated = false;
  std::uint32_t m_DisplayDepth = 16;
  std::uint32_t m_BufferSize = 0;
  bool m_Borrowed = false;
};

// floor(log2(value)): the number of halvings before it drops below 1.
std::uint32_t Log2Floor(std::uint32_t value);
