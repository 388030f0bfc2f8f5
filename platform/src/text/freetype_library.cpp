// FreeType, opened when the first font is realised from a font file
// (kernel/library_on_demand.h): the platform library does not link it, so a
// program that draws no text from the device's fonts never loads it nor
// what it pulls in. Below is each function the font engine calls.
//
// Without the library FT_Init_FreeType fails, and the font engine falls back
// as it does for any font it cannot open.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "kernel/library_on_demand.h"

namespace {

ce::kernel::LibraryOnDemand& FreeType() {
  static ce::kernel::LibraryOnDemand library("libfreetype.so.6");
  return library;
}

constexpr FT_Error kMissing = FT_Err_Cannot_Open_Resource;

}  // namespace

#define CE_FT(result, name, parameters, arguments, missing) \
  CE_FORWARD(FreeType(), result, name, parameters, arguments, missing)

CE_FT(FT_Error, FT_Init_FreeType, (FT_Library * library), (library), kMissing)
CE_FT(FT_Error, FT_New_Face, (FT_Library library, const char* path, FT_Long index, FT_Face* face),
      (library, path, index, face), kMissing)
CE_FT(FT_Error, FT_Done_Face, (FT_Face face), (face), kMissing)
CE_FT(FT_Error, FT_Set_Pixel_Sizes, (FT_Face face, FT_UInt width, FT_UInt height), (face, width, height), kMissing)
CE_FT(void*, FT_Get_Sfnt_Table, (FT_Face face, FT_Sfnt_Tag tag), (face, tag), nullptr)
CE_FT(FT_UInt, FT_Get_Char_Index, (FT_Face face, FT_ULong code), (face, code), 0)
CE_FT(FT_Error, FT_Load_Glyph, (FT_Face face, FT_UInt glyph, FT_Int32 flags), (face, glyph, flags), kMissing)
CE_FT(FT_Error, FT_Render_Glyph, (FT_GlyphSlot slot, FT_Render_Mode mode), (slot, mode), kMissing)
