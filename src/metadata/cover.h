// Cover pictures: the image type of a picture and the temporary image file it
// is written to, whose path goes into TrackInfo::CoverFile.
//
// The plug-in removes the temporary files it wrote: a new read
// (RunEntryPoint) deletes the previous track's files, and the core calls
// DeleteTemporaryCovers() when the plug-in stops.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"
#include "common/text.h"

namespace tunelet {

enum class ImageType { kNone, kJpg, kPng, kGif, kBmp };

// By MIME text first ("image/jpeg", "image/jpg", "image/png", "image/gif",
// "image/bmp", ignoring case), else by the data's first bytes; kNone when
// neither says.
ImageType DetectImageType(std::string_view mime, ByteSpan data);
ImageType DetectImageType(std::u16string_view mime, ByteSpan data);
// By the first bytes only (JPEG FF D8 FF Ex, "GIF8", 89 "PNG", "BM").
ImageType ImageTypeFromData(ByteSpan data);
// "JPG", "PNG", "GIF", "BMP"; empty for kNone.
std::u16string_view ImageExtension(ImageType type);

// Writes data to a new file in the temporary folder named prefix + the tick
// count (16 bits) in hex + "." + the type's extension, and remembers it for
// clean-up. An existing file is never opened: the next number is tried.
// Returns its full path, or absent when the type is kNone or writing fails.
OptText SaveCoverImage(ByteSpan data, ImageType type, std::u16string_view prefix = u"img");

// Deletes every temporary cover file this process created (files that cannot be
// deleted now are tried again next time) and forgets the record's cover
// when its file was among them.
void DeleteTemporaryCovers();
// Paths written and not yet deleted (for tests).
std::vector<std::u16string> TemporaryCoverFiles();

// Standard Base64 (RFC 4648) with '=' padding; stops at the first character
// outside the alphabet or at padding and returns what was decoded so far.
std::vector<uint8_t> Base64Decode(std::string_view text);

}  // namespace tunelet
