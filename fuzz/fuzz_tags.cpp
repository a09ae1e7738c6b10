// Tag readers and the MPEG audio scan: ID3v2 (direct and class), ID3v1 with
// Lyrics3, APE (direct and class), TMPEGaudio.
#include "fuzz_input.h"
#include "metadata/ape_tag.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "metadata/mpeg_audio.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WithInput(data, size, [](platform::ReadableFile& f, TrackInfo& info) {
    ReadId3v2Tag(f, info);
    ReadApeTag(f, info);
    ReadId3v1Tag(f, info);
    TID3v1 v1;
    v1.LoadFromFile(f);
    (void)v1.GenreName();
    TID3v2 v2;
    v2.LoadFromFile(f);
    TAPETag ape;
    ape.LoadFromFile(f);
    (void)ape.GetItem("Title");
    TMPEGaudio mpeg;
    if (mpeg.LoadFromFile(f) && mpeg.Valid()) {
      (void)mpeg.BitRate();
      (void)mpeg.Duration();
    }
  });
  return 0;
}
