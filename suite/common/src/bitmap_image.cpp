#include "common/bitmap_image.h"

#include <cstring>

#include "ce/aygshell.h"

namespace suite {
namespace {

constexpr DWORD kReadBufferSize = 1024;

DWORD CALLBACK ReadFromFile(LPSTR buffer, DWORD size, LPARAM source) {
  HANDLE file = reinterpret_cast<HANDLE>(source);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return 0;
  DWORD read = 0;
  if (!ReadFile(file, buffer, size, &read, nullptr)) return 0;
  return read;
}

DWORD CALLBACK ReadFromBlob(LPSTR buffer, DWORD size, LPARAM source) {
  return reinterpret_cast<CResourceBlob*>(source)->Read(buffer, size);
}

void CALLBACK AcceptProgress(IImageRender* /*render*/, BOOL /*complete*/, LPARAM /*source*/) {}

}  // namespace

BOOL FileExists(LPCWSTR path) {
  if (path == nullptr || path[0] == L'\0') return FALSE;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(file);
  return TRUE;
}

// --- CResourceBlob --------------------------------------------------------------

BOOL CResourceBlob::Open(HMODULE module, LPCWSTR name, LPCWSTR type) {
  m_size = 0;
  m_position = 0;
  m_data = nullptr;
  m_resource = nullptr;
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return FALSE;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return FALSE;
  m_resource = loaded;
  m_data = static_cast<const BYTE*>(data);
  m_size = SizeofResource(module, found);
  return TRUE;
}

DWORD CResourceBlob::Read(void* buffer, DWORD size) {
  if (buffer == nullptr || m_data == nullptr || m_position >= m_size) return 0;
  const DWORD count = size < m_size - m_position ? size : m_size - m_position;
  std::memcpy(buffer, m_data + m_position, count);
  m_position += count;
  return count;
}

// --- CImageDecoder --------------------------------------------------------------

CImageDecoder::~CImageDecoder() { Free(); }

BOOL CImageDecoder::Decode(HDC dc, GetDataFunction read, LPARAM source) {
  Free();
  BYTE buffer[kReadBufferSize];
  HBITMAP bitmap = nullptr;
  DecompressImageInfo info{};
  info.dwSize = sizeof info;
  info.pbBuffer = buffer;
  info.dwBufferMax = kReadBufferSize;
  info.phBM = &bitmap;
  info.iBitDepth = dc != nullptr ? GetDeviceCaps(dc, BITSPIXEL) : 0;
  info.lParam = source;
  info.hdc = dc;
  info.iScale = m_scale;
  info.iMaxWidth = m_maxWidth;
  info.iMaxHeight = m_maxHeight;
  info.pfnGetData = read;
  info.pfnImageProgress = AcceptProgress;
  info.crTransparentOverride = m_transparent;
  if (info.iBitDepth != 16 && info.iBitDepth != 24 && info.iBitDepth != 32) info.iBitDepth = 0;
  if (FAILED(DecompressImageIndirect(&info)) || bitmap == nullptr) return FALSE;
  BITMAP facts{};
  HDC memory = CreateCompatibleDC(dc);
  if (GetObjectW(bitmap, sizeof facts, &facts) == 0 || memory == nullptr) {
    if (memory != nullptr) DeleteDC(memory);
    DeleteObject(bitmap);
    return FALSE;
  }
  m_bitmap = bitmap;
  m_width = facts.bmWidth;
  m_height = facts.bmHeight < 0 ? -facts.bmHeight : facts.bmHeight;
  m_dc = memory;
  m_previous = SelectObject(memory, bitmap);
  return TRUE;
}

BOOL CImageDecoder::DecodeFile(HDC dc, LPCWSTR path) {
  Free();
  if (path == nullptr) return FALSE;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  const BOOL ok = Decode(dc, ReadFromFile, reinterpret_cast<LPARAM>(file));
  CloseHandle(file);
  return ok;
}

BOOL CImageDecoder::DecodeResource(HDC dc, UINT id, LPCWSTR type, HMODULE module) {
  Free();
  CResourceBlob blob;
  if (!blob.Open(module, MAKEINTRESOURCEW(id), type)) return FALSE;
  return Decode(dc, ReadFromBlob, reinterpret_cast<LPARAM>(&blob));
}

void CImageDecoder::Draw(HDC dc, int x, int y, int width, int height) {
  if (dc == nullptr || m_dc == nullptr) return;
  if (width == -1 && height == -1) {
    BitBlt(dc, x, y, m_width, m_height, m_dc, 0, 0, SRCCOPY);
  } else {
    StretchBlt(dc, x, y, width, height, m_dc, 0, 0, m_width, m_height, SRCCOPY);
  }
}

HBITMAP CImageDecoder::TakeBitmap() {
  HBITMAP bitmap = m_bitmap;
  if (m_dc != nullptr) {
    SelectObject(m_dc, m_previous);
    DeleteDC(m_dc);
  }
  m_dc = nullptr;
  m_previous = nullptr;
  m_bitmap = nullptr;
  return bitmap;
}

void CImageDecoder::Free() {
  if (HBITMAP bitmap = TakeBitmap()) DeleteObject(bitmap);
  m_width = 0;
  m_height = 0;
}

// --- CBitmapImage ---------------------------------------------------------------

CBitmapImage::~CBitmapImage() { Free(); }

BOOL CBitmapImage::Select(HDC dc, HBITMAP bitmap) {
  BITMAP facts{};
  HDC memory = bitmap != nullptr ? CreateCompatibleDC(dc) : nullptr;
  if (memory == nullptr || GetObjectW(bitmap, sizeof facts, &facts) == 0) {
    if (memory != nullptr) DeleteDC(memory);
    if (bitmap != nullptr) DeleteObject(bitmap);
    return FALSE;
  }
  m_bitmap = bitmap;
  m_dc = memory;
  m_previous = SelectObject(memory, bitmap);
  m_width = facts.bmWidth;
  m_height = facts.bmHeight < 0 ? -facts.bmHeight : facts.bmHeight;
  m_bitsPerPixel = facts.bmBitsPixel;
  return TRUE;
}

BOOL CBitmapImage::LoadBitmap(HDC dc, HMODULE module, UINT id, LPCWSTR path, DWORD value) {
  Free();
  HBITMAP bitmap = FileExists(path) ? SHLoadDIBitmap(path) : nullptr;
  if (bitmap == nullptr) bitmap = LoadBitmapW(module, MAKEINTRESOURCEW(id));
  if (!Select(dc, bitmap)) return FALSE;
  m_value = value;
  return TRUE;
}

BOOL CBitmapImage::LoadImage(HDC dc, HMODULE module, UINT id, LPCWSTR type, LPCWSTR path) {
  Free();
  if (FileExists(path)) m_decoder.DecodeFile(dc, path);
  if (!m_decoder.IsLoaded()) m_decoder.DecodeResource(dc, id, type, module);
  if (!m_decoder.IsLoaded()) return FALSE;
  return Select(dc, m_decoder.TakeBitmap());
}

void CBitmapImage::Free() {
  if (m_dc != nullptr) {
    SelectObject(m_dc, m_previous);
    DeleteDC(m_dc);
  }
  if (m_bitmap != nullptr) DeleteObject(m_bitmap);
  m_dc = nullptr;
  m_previous = nullptr;
  m_bitmap = nullptr;
  m_width = 0;
  m_height = 0;
  m_bitsPerPixel = 0;
  m_decoder.Free();
}

}  // namespace suite
