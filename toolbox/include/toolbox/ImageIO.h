/* Image decoding: image sources (Image I/O) and graphics importers (QuickTime) over PNG,
 * JPEG, GIF, BMP and TIFF files, decoded with the FFmpeg libraries. Only the first image of
 * a file is read. Images are at most 4095 pixels across and down. A file that is missing,
 * of another kind, truncated or corrupt gives no image (a source with a count of 0, an
 * importer that is not made), never a read outside the file's data. */
#pragma once

#include "toolbox/CFBundle.h"
#include "toolbox/Files.h"
#include "toolbox/Quartz.h"

typedef struct CGImageSource* CGImageSourceRef; /* released with CFRelease */
typedef const void* CFDictionaryRef;            /* options: none are read */
typedef struct ComponentInstanceRecord* GraphicsImportComponent;
typedef SInt32 ComponentResult;

enum { invalidComponentID = -3000, noCodecErr = -8961 };
enum { kGraphicsImportCreateCGImageUsingCurrentSettings = 1 };

TB_EXTERN_C_BEGIN

/* A source over the file of a file URL; NULL for a URL that is not a file's. */
CGImageSourceRef CGImageSourceCreateWithURL(CFURLRef url, CFDictionaryRef options);
/* 1 when the file holds a decodable image, else 0. */
size_t CGImageSourceGetCount(CGImageSourceRef isrc);
/* The image (premultiplied alpha, red, green, blue) or NULL; the caller releases it. */
CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef isrc, size_t index, CFDictionaryRef options);

/* An importer for a file that holds a decodable image; noCodecErr otherwise. */
OSErr GetGraphicsImporterForFile(const FSSpec* theFile, GraphicsImportComponent* gi);
/* A picture of the image laid over white; its frame is (0, 0, height, width). */
ComponentResult GraphicsImportGetAsPicture(GraphicsImportComponent ci, PicHandle* picture);
ComponentResult GraphicsImportCreateCGImage(GraphicsImportComponent ci, CGImageRef* imageRef, UInt32 flags);
OSErr CloseComponent(GraphicsImportComponent aComponentInstance);

TB_EXTERN_C_END

#ifdef __cplusplus
#include <cstdint>
#include <span>
namespace toolbox {
/* The image held by a file's bytes, or NULL. */
CGImageRef DecodeImageData(std::span<const std::uint8_t> bytes);
} // namespace toolbox
#endif
