// The image library's C interface: decoded pictures live behind integer
// handles; every successful ToDIB is paired with one DeleteDIB. Paths are
// native file-system paths (UTF-8 bytes). Results: 0 means failure.
#pragma once

#include <stdint.h>

#if defined(IMGCTL_BUILDING)
#define IMGCTL_API __attribute__((visibility("default")))
#else
#define IMGCTL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/// Opens a JPEG file and returns a handle to its picture, or 0 when the file
/// is missing, not a JPEG, or claims an unreasonable size. The file stays
/// open behind the handle, so renaming or deleting it afterwards changes
/// nothing. The pixels are decoded only when needed, at the smallest scale
/// the following operations allow.
IMGCTL_API int32_t ToDIB(const char* path);

/// Resizes the handle's picture to width x height. One side may be -1: it is
/// then derived from the other and the picture's proportions, rounded to the
/// nearest pixel and at least 1. Nonzero on success; the handle stays the same.
IMGCTL_API int32_t ResizeDIB(int32_t handle, int32_t width, int32_t height);

/// Turns the handle's picture right by 90, 180 or 270 degrees. Nonzero on
/// success; any other angle fails.
IMGCTL_API int32_t TurnDIB(int32_t handle, int32_t angle);

/// Mirrors the handle's picture left to right. Nonzero on success.
///
/// Not one of the five functions every image library has: callers look it
/// up on its own, like GetLastFailure.
IMGCTL_API int32_t MirrorDIB(int32_t handle);

/// Writes the handle's picture as a JPEG file of quality 1..100, without any
/// metadata of the source. A nonzero encoder flag asks for the smallest file
/// (optimised Huffman tables), zero for the fastest encoding. The file is
/// written under a temporary name in the same folder and renamed, so the
/// destination is either the complete new picture or untouched; a symbolic
/// link standing at the destination is replaced by the picture, never
/// written through. Nonzero when the file was written.
IMGCTL_API int32_t DIBtoJPG(const char* path, int32_t handle, int32_t quality, int32_t encoderFlag);

/// Frees the handle. Unknown handles are ignored.
IMGCTL_API void DeleteDIB(int32_t handle);

/// Why a call failed, for the caller to tell the user. With a handle: the
/// last failure of a call on that handle (ask before DeleteDIB). With 0: the
/// calling thread's last failure of any call, in particular of a ToDIB that
/// returned 0, which leaves no handle to ask. A failure stays recorded until
/// the next one replaces it; a successful call does not clear it.
///
/// *code receives the errno of a failure of the file system (ENOENT, EACCES,
/// ENOSPC ...) or 0; *corrupt nonzero when the data is not a decodable JPEG
/// picture; text (when capacity > 0) the library's own message, UTF-8, cut
/// to capacity - 1 bytes and always terminated. Any pointer may be null.
/// Returns the size the whole text needs with its terminator, or 0 when
/// nothing failed (or the handle is unknown).
///
/// Not one of the five functions every image library has: callers look it
/// up on its own and do without it when it is missing.
IMGCTL_API int32_t GetLastFailure(int32_t handle, int32_t* code, int32_t* corrupt, char* text, int32_t capacity);

#ifdef __cplusplus
}
#endif
