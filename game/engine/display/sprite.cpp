#include "display/sprite.h"

#include <algorithm>
#include <cstring>

#include "engine/image.h"

bool ssSprite::Load(ssDisplay* device, const wchar_t* name, const wchar_t* folder, const wchar_t* archive,
                    bool rescale) {
  Release();
  m_Device = device;
  if (device == nullptr || name == nullptr) return false;
  m_Texture = device->GetTexture(name, folder, archive, 0, true, rescale);
  m_Name = name;
  return m_Texture != nullptr;
}

void ssSprite::AddRect(const ssRect& rect) {
  if (m_Texture == nullptr || m_Device == nullptr) {
    m_Rects.push_back(rect);
    return;
  }
  // The stored entry covers the same picture pixels in the turned texture.
  m_Rects.push_back(ssDisplay::TurnEdges(rect, m_Device->m_Rotate, m_Texture->Width(), m_Texture->Height()));
}

void ssSprite::Blit(int index, int x, int y) const {
  const ssDisplay* d = m_Device;
  if (d == nullptr || m_Texture == nullptr || index < 0 || index >= RectCount() || d->m_RenderBuffer == nullptr ||
      d->m_RenderBits != 16 || m_Texture->Format() != kPixelDisplay || m_Texture->Pixels() == nullptr) {
    return;
  }
  const LONG tw = m_Texture->Width(), th = m_Texture->Height();
  if (static_cast<std::uint64_t>(tw) * th * 2 > m_Texture->BufferSize()) return;
  const ssRect& s = m_Rects[static_cast<std::size_t>(index)];
  const LONG sw = s.right - s.left, sh = s.bottom - s.top;
  if (sw <= 0 || sh <= 0) return;
  const bool odd = (d->m_Rotate & 1) != 0;
  const ssRect logical{x, y, x + (odd ? sh : sw), y + (odd ? sw : sh)};
  const ssRect dst = ssDisplay::TurnEdges(logical, d->m_Rotate, d->m_Width, d->m_Height);
  const ssRect clip = d->ClipEdges();
  const LONG left = std::max<LONG>({dst.left, 0, clip.left, dst.left - s.left});
  const LONG top = std::max<LONG>({dst.top, 0, clip.top, dst.top - s.top});
  const LONG right = std::min<LONG>({dst.right, d->m_RenderWidth, clip.right, dst.left + (tw - s.left)});
  const LONG bottom = std::min<LONG>({dst.bottom, d->m_RenderHeight, clip.bottom, dst.top + (th - s.top)});
  const auto* texels = m_Texture->Pixels();
  auto* target = static_cast<std::uint8_t*>(d->m_RenderBuffer);
  for (LONG row = top; row < bottom; ++row) {
    auto* out = reinterpret_cast<std::uint16_t*>(target + static_cast<std::ptrdiff_t>(row) * d->m_RenderPitch);
    const std::size_t from = static_cast<std::size_t>(s.top + (row - dst.top)) * static_cast<std::size_t>(tw);
    for (LONG col = left; col < right; ++col) {
      std::uint16_t p;
      std::memcpy(&p, texels + (from + static_cast<std::size_t>(s.left + (col - dst.left))) * 2, 2);
      if (p != 0) out[col] = p;
    }
  }
}

void ssSprite::Release() {
  m_Rects.clear();
  if (m_Texture != nullptr && m_Device != nullptr) m_Device->ReleaseTexture(m_Texture);
  m_Texture = nullptr;
}
