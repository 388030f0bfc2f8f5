// Text per glyph, image blits and stretches into a 320 x 240 target.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "display/display_s16.h"
#include "display/font.h"
#include "engine/image.h"
#include "engine/testing/memory_file.h"

namespace {

struct Target : ssDisplayS16 {
  std::vector<std::uint16_t> pixels = std::vector<std::uint16_t>(320 * 240, 0x1234);
  Target() {
    m_Width = m_RenderWidth = 320;
    m_Height = m_RenderHeight = 240;
    m_VWidth = 320;
    m_VHeight = 240;
    m_Depth = 16;
    m_RenderPitch = 640;
    m_RenderBits = 16;
    m_RenderBuffer = pixels.data();
    m_ClipStack[0] = ssRect{0, 0, 320, 240};
  }
  ~Target() override { m_RenderBuffer = nullptr; }
};

// A 12-pixel font of solid-edged glyphs 7 pixels wide.
std::vector<std::uint8_t> FontFile() {
  const int height = 12, stripWidth = 128 * 7;
  std::vector<std::uint8_t> f(kFontHeaderSize, 0);
  f[0] = 1;
  f[1] = 1;
  std::memcpy(f.data() + 4, "Bench", 5);
  f[132] = 128;
  f[136] = height;
  f[138] = stripWidth & 0xFF;
  f[139] = stripWidth >> 8;
  for (int i = 0; i < 128; ++i) {
    f[142 + i * 4] = static_cast<std::uint8_t>((i * 7) & 0xFF);
    f[143 + i * 4] = static_cast<std::uint8_t>((i * 7) >> 8);
    f[144 + i * 4] = 7;
  }
  for (int p = 0; p < stripWidth * height; ++p) f.push_back(static_cast<std::uint8_t>((p * 53) & 0xFF));
  return f;
}

void DrawStringPerGlyph(benchmark::State& state) {
  Target t;
  ssScaledFont font(&t);
  ssMemoryFile file(FontFile(), 0, false);
  font.Load(&file, 1.0f, 1.0f);
  const wchar_t* text = L"Rack 'em up: 8-Ball, 9-Ball";
  const auto glyphs = static_cast<std::int64_t>(std::wcslen(text));
  for (auto _ : state) {
    font.DrawString(4, 100, 0xFFFF, 0, text, state.range(0) != 0, nullptr, false);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * glyphs);
}
BENCHMARK(DrawStringPerGlyph)->Arg(0)->Arg(1);

void Blit(benchmark::State& state) {
  Target t;
  const int side = static_cast<int>(state.range(0));
  const bool argb = state.range(1) != 0;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(side) * side * (argb ? 4 : 2), 0x5A);
  ssImage image;
  image.SetBorrowedPixels(bytes.data(), argb ? kPixelARGB32 : kPixelDisplay, static_cast<std::uint16_t>(side),
                          static_cast<std::uint16_t>(side), static_cast<std::uint32_t>(bytes.size()));
  const ssRect dst{10, 10, 10 + side, 10 + side};
  for (auto _ : state) {
    t.DrawImage(&image, &dst, nullptr, 1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(Blit)->Args({128, 0})->Args({128, 1});

void Stretch(benchmark::State& state) {
  Target t;
  std::vector<std::uint8_t> bytes(64 * 64 * 2, 0x5A);
  ssImage image;
  image.SetBorrowedPixels(bytes.data(), kPixelDisplay, 64, 64, static_cast<std::uint32_t>(bytes.size()));
  const ssRect dst{0, 0, 320, 240};
  for (auto _ : state) {
    t.DrawImage(&image, &dst, nullptr, 1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 320 * 240);
}
BENCHMARK(Stretch);

}  // namespace
