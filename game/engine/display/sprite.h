// ssSprite: one texture of the device's cache and a list of source
// rectangles in it. The texture is loaded turned for the screen, so a
// sprite is drawn by a plain row copy in every rotation; pixel 0 is
// transparent.
#pragma once

#include <string>
#include <vector>

#include "display/display.h"

class ssImage;

class ssSprite {
 public:
  ssSprite() = default;
  ~ssSprite() { Release(); }
  ssSprite(const ssSprite&) = delete;
  ssSprite& operator=(const ssSprite&) = delete;

  // Gets the texture (the device's format, turned, rescaled on request);
  // false when it cannot be loaded.
  bool Load(ssDisplay* device, const wchar_t* name, const wchar_t* folder, const wchar_t* archive, bool rescale);
  // A source rectangle in the unturned picture's pixels; add after Load.
  void AddRect(const ssRect& rect);
  // Draws rectangle `index` with its top-left corner at logical (x, y),
  // clipped to the render target and the clip rectangle. An unknown index
  // or a sprite without a texture draws nothing.
  void Blit(int index, int x, int y) const;
  // Frees the list and gives the texture back to the cache.
  void Release();

  int RectCount() const { return static_cast<int>(m_Rects.size()); }
  const ssRect& StoredRect(int index) const { return m_Rects[static_cast<std::size_t>(index)]; }
  ssImage* Texture() const { return m_Texture; }

 private:
  ssDisplay* m_Device = nullptr;
  std::vector<ssRect> m_Rects;  // in the turned texture's pixels
  ssImage* m_Texture = nullptr;
  std::wstring m_Name;
};
