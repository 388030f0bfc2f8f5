// A whole small scene (fills, images, a stretched image, a sprite, text with
// shadow and box) drawn at every rotation and at depths 16 and 12: every
// rotation shows the rotation-0 picture, whose hash is the golden value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "display/display_s16.h"
#include "display/font.h"
#include "display/sprite.h"
#include "engine/image.h"
#include "engine/testing/memory_file.h"

namespace {

std::vector<std::uint8_t> SceneFont() {
  const int height = 10, stripWidth = 128 * 6;
  std::vector<std::uint8_t> f(kFontHeaderSize, 0);
  f[0] = 1;
  f[1] = 1;
  std::memcpy(f.data() + 4, "Scene", 5);
  f[132] = 128;
  f[136] = height;
  f[138] = stripWidth & 0xFF;
  f[139] = stripWidth >> 8;
  for (int i = 0; i < 128; ++i) {
    f[142 + i * 4] = static_cast<std::uint8_t>((i * 6) & 0xFF);
    f[143 + i * 4] = static_cast<std::uint8_t>((i * 6) >> 8);
    f[144 + i * 4] = static_cast<std::uint8_t>(3 + i % 4);
  }
  for (int p = 0; p < stripWidth * height; ++p) f.push_back(static_cast<std::uint8_t>((p * 97 + p / 7) & 0xFF));
  return f;
}

std::vector<std::uint8_t> SpriteSheet() {
  std::vector<std::uint8_t> f(kImageRawHeaderSize, 0);
  const std::uint32_t magic = kImageMagicRaw16, w = 16, h = 8;
  std::memcpy(f.data(), &magic, 4);
  std::memcpy(f.data() + 8, &w, 4);
  std::memcpy(f.data() + 12, &h, 4);
  for (std::uint32_t i = 0; i < w * h; ++i) {
    const std::uint16_t t = i % 5 == 0 ? 0 : static_cast<std::uint16_t>(i * 517);
    f.push_back(static_cast<std::uint8_t>(t));
    f.push_back(static_cast<std::uint8_t>(t >> 8));
  }
  return f;
}

struct Scene : ssDisplayS16 {
  std::vector<std::uint16_t> pixels;
  Scene(int rotate, int depth) {
    m_Rotate = rotate;
    m_Width = m_RenderWidth = rotate & 1 ? 48 : 64;
    m_Height = m_RenderHeight = rotate & 1 ? 64 : 48;
    m_VWidth = 64;
    m_VHeight = 48;
    m_Depth = depth;
    m_RenderPitch = m_Width * 2;
    m_RenderBits = 16;
    pixels.assign(64 * 48, 0);
    m_RenderBuffer = pixels.data();
    m_ClipStack[0] = ssRect{0, 0, m_Width, m_Height};
    auto archive = std::make_unique<ssMemoryArchive>();
    archive->AddFile(L"\\UI\\Scene.fnt", SceneFont());
    archive->AddFile(L"\\UI\\sheet.raw", SpriteSheet());
    archive->SetBaseFolder(L"\\", 0);
    SetArchive(std::move(archive));
  }
  ~Scene() override { m_RenderBuffer = nullptr; }
  std::uint16_t Logical(int x, int y) const {
    int bx = x, by = y;
    if (m_Rotate == 1) bx = y, by = m_Height - 1 - x;
    if (m_Rotate == 2) bx = m_Width - 1 - x, by = m_Height - 1 - y;
    if (m_Rotate == 3) bx = m_Width - 1 - y, by = x;
    return pixels[static_cast<std::size_t>(by) * m_Width + bx];
  }
};

std::uint64_t DrawScene(Scene& s, std::vector<std::uint16_t>& logical) {
  s.DrawRect(ssRect{0, 0, 64, 48}, 1, s.MakePixel(20, 60, 30));
  s.DrawRect(ssRect{4, 4, 30, 20}, 5, s.MakePixel(250, 250, 250));
  s.DrawRect(ssRect{2, 30, 20, 46}, 0, s.MakePixel(200, 40, 40));
  // A 32-bit picture blended by alpha, logical 12 x 8, stored turned.
  const bool odd = s.m_Rotate & 1;
  std::vector<std::uint32_t> argb(96);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 12; ++x) {
      int tx = x, ty = y;
      const int sw = odd ? 8 : 12, sh = odd ? 12 : 8;
      if (s.m_Rotate == 1) tx = y, ty = sh - 1 - x;
      if (s.m_Rotate == 2) tx = sw - 1 - x, ty = sh - 1 - y;
      if (s.m_Rotate == 3) tx = sw - 1 - y, ty = x;
      argb[static_cast<std::size_t>(ty * sw + tx)] =
          (static_cast<std::uint32_t>(x * 21) << 24) | 0x00C08040u | static_cast<std::uint32_t>(y * 30);
    }
  }
  ssImage picture;
  picture.SetBorrowedPixels(reinterpret_cast<std::uint8_t*>(argb.data()), kPixelARGB32, odd ? 8 : 12, odd ? 12 : 8,
                            384);
  const ssRect at{40, 2, 52, 10};
  s.DrawImage(&picture, &at, nullptr, 0);
  const ssRect wide{40, 12, 64, 28};  // stretched past the right edge, clipped
  s.PushClipRect(ssRect{0, 0, 60, 48});
  s.DrawImage(&picture, &wide, nullptr, 0);
  ssSprite sprite;
  EXPECT_TRUE(sprite.Load(&s, L"sheet.raw", L"UI", nullptr, false));
  sprite.AddRect(ssRect{2, 1, 14, 7});
  sprite.Blit(0, 50, 38);  // runs into the clip's edge
  s.PopClipRect();
  ssFont* font = s.GetFont(L"Scene", L"UI", nullptr);
  EXPECT_NE(font, nullptr);
  const ssRect box{22, 24, 62, 46};
  s.DrawText(font, 24, 25, L"Nine ball rack", -1, s.MakePixel(255, 255, 0), 0, s.MakePixel(0, 0, 0), false, true, false,
             0, &box, true, true);
  s.DrawText(font, 3, 32, L"Go", -1, s.MakePixel(255, 255, 255), s.MakePixel(0, 0, 128), 0, true, false, false, 0,
             nullptr, false, false);
  s.ReleaseFont(font);
  std::uint64_t hash = 14695981039346656037ull;
  logical.assign(64 * 48, 0);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint16_t p = s.Logical(x, y);
      logical[static_cast<std::size_t>(y * 64 + x)] = p;
      hash = (hash ^ p) * 1099511628211ull;
    }
  }
  return hash;
}

TEST(Scene, EveryRotationMatchesAndTheHashHolds) {
  struct Golden {
    int depth;
    std::uint64_t hash;
  };
  for (const Golden& g : {Golden{16, 0xd867c066ef2bc31cull}, Golden{12, 0x6893ef025180b5edull}}) {
    Scene base(0, g.depth);
    std::vector<std::uint16_t> reference;
    const std::uint64_t hash = DrawScene(base, reference);
    EXPECT_EQ(hash, g.hash) << "depth " << g.depth;
    std::vector<std::uint16_t> colours(reference);
    std::sort(colours.begin(), colours.end());
    EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 40);  // a real picture
    for (int rotate = 1; rotate < 4; ++rotate) {
      Scene s(rotate, g.depth);
      std::vector<std::uint16_t> picture;
      DrawScene(s, picture);
      for (std::size_t i = 0; i < picture.size(); ++i) {
        ASSERT_EQ(picture[i], reference[i])
            << "depth " << g.depth << " rotation " << rotate << " at " << i % 64 << "," << i / 64;
      }
    }
  }
}

}  // namespace
