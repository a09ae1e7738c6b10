// Reader entry points: one per file kind. Each takes the path of the playing
// file (always the current FilePath), fills Track() from it and returns 1.
// ClassifyAndRead picks the entry point from the path's extension.
#pragma once

#include <string_view>

namespace tunelet {

// Runs the entry point that matches FileExtension(path); 0 when none does
// (the record then keeps what player access put into it).
int ClassifyAndRead(std::u16string_view path);

int ReadMp3Info(std::u16string_view path);       // MPEG audio, ID3v1 (+Lyrics3), ID3v2
int ReadOggInfo(std::u16string_view path);       // Ogg Vorbis stream and comments
int ReadWmaInfo(std::u16string_view path);       // ASF
int ReadApeInfo(std::u16string_view path);       // Monkey's Audio with APE / ID3 tags
int ReadWavInfo(std::u16string_view path);       // RIFF/WAVE and WavPack
int ReadMp4Info(std::u16string_view path);       // MP4 / M4A atoms
int ReadFlacInfo(std::u16string_view path);      // FLAC metadata and stream info
int ReadNameOnlyInfo(std::u16string_view path);  // video files: size and name only

}  // namespace tunelet
