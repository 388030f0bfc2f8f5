// Image decompression into bitmaps: BMP (every depth, BI_RGB and
// BI_BITFIELDS, bottom-up and top-down), GIF (its first picture) and JPEG,
// told apart by their content. The caller hands the compressed bytes over
// through a read callback and gets a DIB section of the depth it asks for.
//
// On the device the decoder lives in the library "imgdecmp.dll", which
// programs load by name and whose export number 1 is
// DecompressImageIndirect. That library is installed beside the programs;
// the call is also part of the platform library itself.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

// Progressive rendering objects: not provided (ppImageRender must be null).
struct IImageRender;

// Reads up to `bufferMax` bytes of the image into `buffer`; returns the
// count read, 0 at the end of the data or on an error.
using GetDataFunction = DWORD(CALLBACK*)(LPSTR buffer, DWORD bufferMax, LPARAM lParam);
// Told of the decoder's progress; called once the picture is complete.
using ImageProgressFunction = void(CALLBACK*)(IImageRender* render, BOOL complete, LPARAM lParam);

struct DecompressImageInfo {
  DWORD dwSize;                  // sizeof(DecompressImageInfo)
  LPBYTE pbBuffer;               // the read buffer the callback fills
  DWORD dwBufferMax;             // its size in bytes (at least 1)
  DWORD dwBufferCurrent;         // set to the count of the last read
  HBITMAP* phBM;                 // receives the bitmap (the caller deletes it)
  IImageRender** ppImageRender;  // must be null
  int iBitDepth;                 // 16, 24 or 32; 0 for the depth of hdc (or the screen)
  LPARAM lParam;                 // handed to both callbacks
  HDC hdc;                       // may be null
  int iScale;                    // output size in per cent of the picture's (100: as stored)
  int iMaxWidth;                 // a larger result is shrunk to fit, keeping its shape;
  int iMaxHeight;                // 0 or less: no limit
  GetDataFunction pfnGetData;
  ImageProgressFunction pfnImageProgress;  // may be null
  COLORREF crTransparentOverride;          // colour of transparent GIF pixels; 0xFFFFFFFF: the GIF's background
};

// S_OK with *phBM set, or a negative result with *phBM null:
// E_INVALIDARG for a bad record, E_FAIL for data that is not a picture the
// decoder reads (unknown, corrupt, truncated or larger than it takes),
// E_OUTOFMEMORY when the bitmap cannot be made.
HRESULT DecompressImageIndirect(DecompressImageInfo* info);

#pragma GCC visibility pop
