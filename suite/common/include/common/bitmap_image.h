// Pictures of the suite's windows. CBitmapImage holds a bitmap selected
// into its own memory DC, loaded from a file of the same name when there is
// one (so a file in "\Windows\" overrides the built-in picture) and from the
// module's resources otherwise. Compressed pictures (GIF and the other
// formats of the image decompressor) go through CImageDecoder.
#pragma once

#include "ce/imgdecmp.h"
#include "ce/windows.h"

namespace suite {

// A resource of a module read as a stream of bytes.
class CResourceBlob {
 public:
  BOOL Open(HMODULE module, LPCWSTR name, LPCWSTR type);
  // Copies up to `size` bytes from the read position; 0 at the end.
  DWORD Read(void* buffer, DWORD size);
  DWORD Size() const { return m_size; }

 private:
  DWORD m_size = 0;
  DWORD m_position = 0;
  const BYTE* m_data = nullptr;
  HGLOBAL m_resource = nullptr;
};

class CImageDecoder {
 public:
  CImageDecoder() = default;
  virtual ~CImageDecoder();
  CImageDecoder(const CImageDecoder&) = delete;
  CImageDecoder& operator=(const CImageDecoder&) = delete;

  BOOL DecodeFile(HDC dc, LPCWSTR path);
  BOOL DecodeResource(HDC dc, UINT id, LPCWSTR type, HMODULE module);
  // At the natural size when width and height are both -1, else stretched.
  void Draw(HDC dc, int x, int y, int width, int height);
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  BOOL IsLoaded() const { return m_bitmap != nullptr; }
  HBITMAP GetBitmap() const { return m_bitmap; }
  // Hands the decoded bitmap over to the caller, who deletes it.
  HBITMAP TakeBitmap();
  void Free();

 private:
  BOOL Decode(HDC dc, GetDataFunction read, LPARAM source);

  int m_height = 0;
  int m_width = 0;
  HBITMAP m_bitmap = nullptr;
  int m_scale = 100;
  int m_maxWidth = 10000;
  int m_maxHeight = 10000;
  HDC m_dc = nullptr;
  HGDIOBJ m_previous = nullptr;
  COLORREF m_transparent = 0xFFFFFFFFu;
};

class CBitmapImage {
 public:
  CBitmapImage() = default;
  virtual ~CBitmapImage();
  CBitmapImage(const CBitmapImage&) = delete;
  CBitmapImage& operator=(const CBitmapImage&) = delete;

  // A BMP file at `path` when it exists and loads, else the module's bitmap
  // resource. `value` is kept for the caller.
  BOOL LoadBitmap(HDC dc, HMODULE module, UINT id, LPCWSTR path, DWORD value);
  // A compressed picture from the file when it exists and decodes, else
  // from the module's resource of that type.
  BOOL LoadImage(HDC dc, HMODULE module, UINT id, LPCWSTR type, LPCWSTR path);
  void Free();

  HDC GetDC() const { return m_dc; }
  HBITMAP GetBitmap() const { return m_bitmap; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  int GetBitsPerPixel() const { return m_bitsPerPixel; }
  DWORD GetValue() const { return m_value; }
  BOOL IsLoaded() const { return m_dc != nullptr; }

 private:
  BOOL Select(HDC dc, HBITMAP bitmap);

  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_previous = nullptr;
  HDC m_dc = nullptr;
  int m_bitsPerPixel = 0;
  int m_width = 0;
  int m_height = 0;
  CImageDecoder m_decoder;
  DWORD m_value = 0;
};

// TRUE when the device file can be opened for reading.
BOOL FileExists(LPCWSTR path);

}  // namespace suite
