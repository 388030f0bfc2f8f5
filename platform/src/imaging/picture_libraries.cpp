// giflib and libjpeg, opened when the first GIF or JPEG picture is decoded
// (kernel/library_on_demand.h): the platform library does not link them, so
// a program that decodes no such picture never loads them. Below is each
// function the decoders call.
//
// Without a library the picture fails to decode: DGifOpen gives null, and
// jpeg_CreateDecompress ends the decode through the caller's error exit.
#include <gif_lib.h>

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "kernel/library_on_demand.h"

namespace {

ce::kernel::LibraryOnDemand& Gif() {
  static ce::kernel::LibraryOnDemand library("libgif.so.7");
  return library;
}

ce::kernel::LibraryOnDemand& Jpeg() {
  static ce::kernel::LibraryOnDemand library("libjpeg.so.62");
  return library;
}

GifFileType* NoGif(int* error) {
  if (error != nullptr) *error = D_GIF_ERR_OPEN_FAILED;
  return nullptr;
}

jpeg_error_mgr* BlankErrorManager(jpeg_error_mgr* manager) {
  std::memset(manager, 0, sizeof *manager);
  return manager;
}

// The caller's error exit, as libjpeg would call it on a failure.
void FailDecode(j_decompress_ptr info) {
  if (info->err != nullptr && info->err->error_exit != nullptr) {
    info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
  }
}

}  // namespace

#define CE_GIF(result, name, parameters, arguments, missing) \
  CE_FORWARD(Gif(), result, name, parameters, arguments, missing)
#define CE_JPEG(result, name, parameters, arguments, missing) \
  CE_FORWARD(Jpeg(), result, name, parameters, arguments, missing)

CE_GIF(GifFileType*, DGifOpen, (void* user, InputFunc read, int* error), (user, read, error), NoGif(error))
CE_GIF(int, DGifCloseFile, (GifFileType * file, int* error), (file, error), GIF_ERROR)
CE_GIF(int, DGifGetRecordType, (GifFileType * file, GifRecordType* type), (file, type), GIF_ERROR)
CE_GIF(int, DGifGetImageDesc, (GifFileType * file), (file), GIF_ERROR)
CE_GIF(int, DGifGetLine, (GifFileType * file, GifPixelType* line, int length), (file, line, length), GIF_ERROR)
CE_GIF(int, DGifGetExtension, (GifFileType * file, int* code, GifByteType** extension), (file, code, extension),
       GIF_ERROR)
CE_GIF(int, DGifGetExtensionNext, (GifFileType * file, GifByteType** extension), (file, extension), GIF_ERROR)
CE_GIF(int, DGifExtensionToGCB, (const size_t length, const GifByteType* extension, GraphicsControlBlock* block),
       (length, extension, block), GIF_ERROR)

CE_JPEG(jpeg_error_mgr*, jpeg_std_error, (jpeg_error_mgr * manager), (manager), BlankErrorManager(manager))
CE_JPEG(void, jpeg_CreateDecompress, (j_decompress_ptr info, int version, size_t size), (info, version, size),
        FailDecode(info))
CE_JPEG(void, jpeg_destroy_decompress, (j_decompress_ptr info), (info), void())
CE_JPEG(int, jpeg_read_header, (j_decompress_ptr info, boolean image), (info, image), 0)
CE_JPEG(boolean, jpeg_start_decompress, (j_decompress_ptr info), (info), FALSE)
CE_JPEG(JDIMENSION, jpeg_read_scanlines, (j_decompress_ptr info, JSAMPARRAY lines, JDIMENSION count),
        (info, lines, count), 0)
CE_JPEG(boolean, jpeg_finish_decompress, (j_decompress_ptr info), (info), FALSE)
CE_JPEG(boolean, jpeg_resync_to_restart, (j_decompress_ptr info, int desired), (info, desired), FALSE)
