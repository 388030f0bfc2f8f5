#include "skinner/bitmap.h"

#include <cstring>
#include <vector>

#include "ce/imgdecmp.h"
#include "ce/winuser.h"
#include "liba/text.h"
#include "liba/text_stream.h"
#include "os/file.h"
#include "os/log.h"
#include "os/path.h"
#include "runtime/le_bytes.h"

namespace skinner {

namespace {

using ks::runtime::LoadLe32;

constexpr std::int32_t kMaxSide = 10000;

DWORD CALLBACK read_data(LPSTR buffer, DWORD max, LPARAM reader) {
  return reinterpret_cast<liba::ResourceReader*>(reader)->read(buffer, max);
}

void CALLBACK no_progress(IImageRender*, BOOL, LPARAM) {}

HRESULT decode(liba::ResourceReader& reader, int bit_depth, HBITMAP& out) {
  HDC screen = GetDC(nullptr);
  BYTE buffer[4096];
  DecompressImageInfo info{};
  info.dwSize = sizeof info;
  info.pbBuffer = buffer;
  info.dwBufferMax = sizeof buffer;
  info.dwBufferCurrent = 0;
  info.phBM = &out;
  info.ppImageRender = nullptr;
  info.iBitDepth = bit_depth != 0 ? bit_depth : GetDeviceCaps(screen, BITSPIXEL);
  info.lParam = reinterpret_cast<LPARAM>(&reader);
  info.hdc = screen;
  info.iScale = 100;
  info.iMaxWidth = kMaxSide;
  info.iMaxHeight = kMaxSide;
  info.pfnGetData = &read_data;
  info.pfnImageProgress = &no_progress;
  info.crTransparentOverride = 0xFFFFFFFFu;
  const HRESULT result = DecompressImageIndirect(&info);
  ReleaseDC(nullptr, screen);
  return result;
}

template <typename T>
bool read_struct(liba::ResourceReader& reader, T& out) {
  return reader.read(&out, sizeof out) == sizeof out;
}

// Copies `source` into `destination` (both w x h of the colour image), at
// the factor: BitBlt at exactly 1, else StretchBlt.
void scaled_copy(HBITMAP destination, HBITMAP source, int w, int h, double factor, DWORD rop) {
  HDC screen = GetDC(nullptr);
  HDC to = CreateCompatibleDC(screen);
  HDC from = CreateCompatibleDC(screen);
  HGDIOBJ old_to = SelectObject(to, destination);
  HGDIOBJ old_from = SelectObject(from, source);
  if (factor == 1.0) {
    BitBlt(to, 0, 0, w, h, from, 0, 0, rop);
  } else {
    StretchBlt(to, 0, 0, static_cast<int>(w * factor), static_cast<int>(h * factor), from, 0, 0, w, h, rop);
  }
  SelectObject(to, old_to);
  SelectObject(from, old_from);
  DeleteDC(to);
  DeleteDC(from);
  ReleaseDC(nullptr, screen);
}

}  // namespace

bool decode_archive_entry(liba::ZipFile& archive, const std::wstring& entry_name, int bit_depth, HBITMAP& out) {
  if (!archive.find_entry(entry_name)) return true;
  return decode(archive, bit_depth, out) >= 0;
}

HBITMAP decode_file(const std::wstring& path, int bit_depth) {
  os::File file(path, 0);
  if (!file.is_ok()) return nullptr;
  HBITMAP out = nullptr;
  if (decode(file, bit_depth, out) < 0) return nullptr;
  return out;
}

bool load_zipped_image(liba::ZipFile& archive, const std::wstring& entry_name, int, HBITMAP& out) {
  if (!archive.find_entry(entry_name)) return true;
  std::uint8_t file_header[14];
  BITMAPINFOHEADER header;
  if (archive.read(file_header, sizeof file_header) != sizeof file_header || !read_struct(archive, header)) {
    return true;
  }
  // Only what GDI takes and what fits the decoder's own limits.
  const int bits = header.biBitCount;
  const bool depth_ok = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (file_header[0] != 'B' || file_header[1] != 'M' || header.biSize < 40 || header.biPlanes != 1 || !depth_ok ||
      header.biCompression != BI_RGB || header.biWidth <= 0 || header.biWidth > kMaxSide || header.biHeight == 0 ||
      header.biHeight < -kMaxSide || header.biHeight > kMaxSide) {
    return true;
  }
  header.biSize = 40;
  std::uint32_t colours = 0;
  if (bits < 9) {
    colours = 1u << bits;
    if (header.biClrUsed != 0 && header.biClrUsed < colours) colours = header.biClrUsed;
  }
  std::vector<std::uint8_t> info(sizeof(BITMAPINFOHEADER) + 4 * (colours == 0 ? 1 : colours), 0);
  std::memcpy(info.data(), &header, sizeof header);
  const std::uint32_t table_bytes = 4 * colours;
  if (table_bytes != 0 && archive.read(info.data() + sizeof header, table_bytes) != table_bytes) return true;
  // The pixels may not start inside what was read already.
  const std::uint32_t read_so_far = 14 + 40 + table_bytes;
  const std::uint32_t offset = LoadLe32(file_header + 10);
  if (offset < read_so_far) return true;
  if (archive.skip(offset - read_so_far) != offset - read_so_far) return true;

  const std::uint64_t stride =
      (static_cast<std::uint64_t>(bits) * static_cast<std::uint32_t>(header.biWidth) + 31) / 32 * 4;
  const std::uint64_t rows = header.biHeight < 0
                                 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(header.biHeight))
                                 : static_cast<std::uint64_t>(header.biHeight);
  const std::uint64_t size = stride * rows;
  void* pixels = nullptr;
  HBITMAP section =
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (section == nullptr || pixels == nullptr) {
    if (section != nullptr) DeleteObject(section);
    return true;
  }
  out = section;
  std::wstring line = L"load_zipped_image: " + entry_name + L" - ";
  line << static_cast<int>(size);
  os::get_log() << line << L"\n";
  // A short entry leaves the rest of the section as it was made (zeros).
  std::uint64_t done = 0;
  while (done < size) {
    const std::uint32_t piece = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - done, 1u << 20));
    const std::uint32_t got = archive.read(static_cast<std::uint8_t*>(pixels) + done, piece);
    if (got == 0) break;
    done += got;
  }
  return true;
}

bool load_image_file(const std::wstring& file_name, const std::wstring& directory, liba::ZipFile& archive,
                     int bit_depth, HBITMAP& out) {
  if (out == nullptr && !decode_archive_entry(archive, file_name, bit_depth, out)) return false;
  if (out == nullptr) load_zipped_image(archive, file_name, bit_depth, out);
  if (out == nullptr) out = decode_file(os::expand_path(os::path_join(directory, file_name)), 0);
  return out != nullptr;
}

Bitmap::Bitmap(const std::wstring& skin_path, const std::wstring& name, double factor) : scale_(factor) {
  HDC screen = GetDC(nullptr);
  if (load(skin_path, name)) scale(screen);
  ReleaseDC(nullptr, screen);
}

Bitmap::~Bitmap() {
  for (HBITMAP b : {colour_, source_colour_, mask_, source_mask_}) {
    if (b != nullptr) DeleteObject(b);
  }
}

bool Bitmap::load(const std::wstring& skin_path, const std::wstring& name) {
  liba::ZipFile archive(os::expand_path(skin_path));
  const std::wstring directory = os::path_directory(skin_path);
  if (source_colour_ == nullptr) load_image_file(name + L".bmp", directory, archive, 0, source_colour_);
  if (source_colour_ == nullptr) {
    if (source_mask_ != nullptr) DeleteObject(source_mask_);
    source_mask_ = nullptr;
    return false;
  }
  if (source_mask_ == nullptr) load_image_file(name + L"_1.bmp", directory, archive, 0, source_mask_);
  if (source_mask_ == nullptr) {
    load_image_file(name + L"_8.bmp", directory, archive, 24, source_mask_);
    if (source_mask_ != nullptr) alpha_ = true;
  }
  BITMAP info{};
  GetObjectW(source_colour_, sizeof info, &info);
  width_ = info.bmWidth;
  height_ = info.bmHeight;
  return true;
}

bool Bitmap::scale(HDC screen) {
  BITMAP info{};
  GetObjectW(source_colour_, sizeof info, &info);
  std::wstring line = L"bmp: Width=";
  line << info.bmWidth << L" Height=" << info.bmHeight << L" bmBitsPixel=" << info.bmBitsPixel << L" bmPlanes="
       << info.bmPlanes << L"\n";
  os::get_log() << line;
  const int w = width_;
  const int h = height_;
  bool ok = true;
  colour_ = CreateCompatibleBitmap(screen, static_cast<int>(w * scale_), static_cast<int>(h * scale_));
  ok = colour_ != nullptr;
  if (ok && source_mask_ != nullptr) {
    BITMAP mask_info{};
    GetObjectW(source_mask_, sizeof mask_info, &mask_info);
    line = L"bitmap_info_a: bmBitsPixel=";
    line << mask_info.bmBitsPixel << L" bmPlanes=" << mask_info.bmPlanes << L"\n";
    os::get_log() << line;
    mask_ = CreateCompatibleBitmap(screen, static_cast<int>(mask_info.bmWidth * scale_),
                                   static_cast<int>(mask_info.bmHeight * scale_));
    ok = mask_ != nullptr;
  }
  if (ok) {
    if (source_mask_ == nullptr) {
      scaled_copy(colour_, source_colour_, w, h, scale_, SRCCOPY);
    } else if (alpha_) {
      scaled_copy(mask_, source_mask_, w, h, scale_, SRCCOPY);
      scaled_copy(colour_, source_colour_, w, h, scale_, SRCCOPY);
    } else {
      // The stored mask is white where the image is transparent, and the
      // colour is black there.
      scaled_copy(mask_, source_mask_, w, h, scale_, NOTSRCCOPY);
      scaled_copy(colour_, source_mask_, w, h, scale_, SRCCOPY);
      scaled_copy(colour_, source_colour_, w, h, scale_, SRCAND);
    }
  }
  for (HBITMAP* b : {&source_colour_, &source_mask_}) {
    if (*b != nullptr) DeleteObject(*b);
    *b = nullptr;
  }
  if (!ok) {
    for (HBITMAP* b : {&colour_, &mask_}) {
      if (*b != nullptr) DeleteObject(*b);
      *b = nullptr;
    }
  }
  return ok;
}

bool Bitmap::is_transparent_at(Point source) const {
  if (source.x < 0 || source.y < 0) return true;
  if (mask_ == nullptr) return false;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, mask_);
  const COLORREF pixel = GetPixel(dc, source.x, source.y) & 0xFFFFFFu;
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return alpha_ ? pixel == 0 : pixel == 0xFFFFFFu;
}

}  // namespace skinner
