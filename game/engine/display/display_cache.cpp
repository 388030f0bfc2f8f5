// The graphics device's font and texture caches and the hooks around them.
#include <cwctype>

#include "display/display.h"
#include "display/font.h"
#include "engine/archive.h"
#include "engine/file.h"
#include "engine/image.h"

namespace {

bool SameText(const std::wstring& a, const wchar_t* b) {
  const std::wstring other = b != nullptr ? b : L"";
  if (a.size() != other.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(other[i]))) return false;
  }
  return true;
}

bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const auto ca = static_cast<unsigned char>(*a >= 'A' && *a <= 'Z' ? *a + 32 : *a);
    const auto cb = static_cast<unsigned char>(*b >= 'A' && *b <= 'Z' ? *b + 32 : *b);
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

}  // namespace

ssDisplay::ssDisplay() = default;

ssDisplay::~ssDisplay() {
  for (auto it = m_Fonts.rbegin(); it != m_Fonts.rend(); ++it) delete *it;
  m_Fonts.clear();
  for (auto it = m_Textures.rbegin(); it != m_Textures.rend(); ++it) {
    OnTextureFree(it->image);
    delete it->image;
  }
  m_Textures.clear();
}

int ssDisplay::FillTriangle(int, int, int, int, int, int, std::uint32_t) { return 0; }
int ssDisplay::DrawImage(ssImage*, const ssRect*, const ssRect*, int) { return 0; }
std::unique_ptr<ssFont> ssDisplay::CreateFont() { return std::make_unique<ssFont>(); }
int ssDisplay::OnTextureLoad(ssImage*) { return 0; }
void ssDisplay::OnTextureFree(ssImage*) {}

void ssDisplay::SetArchive(std::unique_ptr<ssArchive> archive) { m_Archive = std::move(archive); }

ssFont* ssDisplay::GetFont(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  if (name == nullptr) return GetDefaultFont();
  std::wstring wanted = name;
  bool substituted = false;
  if (m_Width == 240 && m_Height == 240 && m_DesignWidth == 320) {
    // The small square screen takes the next smaller face, unscaled.
    if (SameText(L"Small Fonts7", wanted.c_str()) || SameText(L"Small Fonts6", wanted.c_str())) {
      wanted = L"Small Fonts6";
      substituted = true;
    } else if (SameText(L"Tahoma8", wanted.c_str())) {
      wanted = L"Small Fonts7";
      substituted = true;
    }
  }
  char narrow[kFontNameBytes];
  ssArchive::NameToAscii(wanted.c_str(), narrow, sizeof narrow);
  for (ssFont* font : m_Fonts) {
    if (SameName(font->Name(), narrow)) {
      font->AddRef();
      return font;
    }
  }
  std::unique_ptr<ssFont> font = CreateFont();
  font->m_Depth = m_Depth;
  const std::wstring member = wanted + L".fnt";
  std::unique_ptr<ssFile> stream =
      m_Archive ? m_Archive->OpenFile(member.c_str(), folder, archive, kFileModeRead, 0) : nullptr;
  if (stream && font->Load(stream.get(), substituted ? 1.0f : m_XScale, substituted ? 1.0f : m_YScale) == 0) {
    ssFont* kept = font.release();
    m_Fonts.push_back(kept);
    kept->AddRef();
    return kept;
  }
  ssDisplayLog(2, L"Could not load font %s", member.c_str());
  return GetDefaultFont();
}

ssFont* ssDisplay::GetDefaultFont() {
  if (m_Fonts.empty()) return nullptr;
  m_Fonts.front()->AddRef();
  return m_Fonts.front();
}

void ssDisplay::ReleaseFont(ssFont* font) {
  if (font == nullptr || m_Fonts.empty()) return;
  if (font->Release() != 0) return;
  for (auto it = m_Fonts.begin(); it != m_Fonts.end(); ++it) {
    if (*it == font) {
      m_Fonts.erase(it);
      delete font;
      return;
    }
  }
}

ssImage* ssDisplay::GetTexture(const wchar_t* name, const wchar_t* folder, const wchar_t* archive, int format,
                               bool rotate, bool rescale) {
  if (name == nullptr) return nullptr;
  for (CachedTexture& t : m_Textures) {
    if (SameText(t.name, name) && SameText(t.folder, folder) && SameText(t.archive, archive)) {
      t.image->AddRef();
      return t.image;
    }
  }
  std::unique_ptr<ssFile> stream = m_Archive ? m_Archive->OpenFile(name, folder, archive, kFileModeRead, 0) : nullptr;
  if (!stream) {
    m_LastTextureStatus = 0x80000005u;
    ssDisplayLog(2, L"Could not load texture %s", name);
    return nullptr;
  }
  auto image = std::make_unique<ssImage>();
  image->SetDisplayDepth(static_cast<std::uint32_t>(m_Depth));
  const std::uint16_t wantedFormat = static_cast<std::uint16_t>(format == 0 ? m_TextureFormat : format);
  m_LastTextureStatus = image->Load(stream.get(), 0, wantedFormat);
  stream->Close();
  stream.reset();
  // An image that did not decode is not cached: callers test for null.
  // m_Rotate turns the picture counter-clockwise onto the buffer (logical x
  // runs up the buffer at 1); ssImage::Rotate counts clockwise turns.
  if ((m_LastTextureStatus != kImageLoaded && m_LastTextureStatus != kImageLoadedAsStored) ||
      image->Pixels() == nullptr || (rotate && !image->Rotate((4 - (m_Rotate & 3)) & 3))) {
    ssDisplayLog(2, L"Could not load texture %s", name);
    return nullptr;
  }
  if (rescale) {
    ssDisplayLog(2, L"%3.2f %3.2f %d %d %d %d", static_cast<double>(m_XScale), static_cast<double>(m_YScale),
                 m_DesignWidth, m_DesignHeight, m_Width, m_Height);
    if (!(m_XScale == 1.0f && m_YScale == 1.0f)) {
      const bool odd = (m_Rotate & 1) != 0;
      const int fromW = odd ? m_DesignHeight : m_DesignWidth;
      const int fromH = odd ? m_DesignWidth : m_DesignHeight;
      if (fromW > 0 && fromH > 0) {
        const auto w = static_cast<std::uint32_t>(static_cast<std::uint64_t>(image->Width()) * m_Width / fromW);
        const auto h = static_cast<std::uint32_t>(static_cast<std::uint64_t>(image->Height()) * m_Height / fromH);
        if (!image->Scale(w, h)) {
          ssDisplayLog(2, L"Could not load texture %s", name);
          return nullptr;
        }
      }
    }
  }
  ssImage* kept = image.release();
  m_Textures.push_back(CachedTexture{kept, name, folder != nullptr ? folder : L"", archive != nullptr ? archive : L""});
  OnTextureLoad(kept);
  kept->AddRef();
  return kept;
}

void ssDisplay::ReleaseTexture(ssImage* image) {
  if (image == nullptr || m_Textures.empty()) return;
  if (image->Release() != 0) return;
  for (auto it = m_Textures.begin(); it != m_Textures.end(); ++it) {
    if (it->image == image) {
      m_Textures.erase(it);
      OnTextureFree(image);
      delete image;
      return;
    }
  }
}

int ssDisplay::Log2Floor(std::uint32_t n) {
  int result = 0;
  while (n >= 2) {
    n >>= 1;
    ++result;
  }
  return result;
}
