// The walk over the boxes of an MP4 (M4A) file that fills a music-file
// record: movie duration, the audio sample entry (channels, sample size,
// rate, protection), the elementary stream's average bit rate, the sample
// size table (VBR) and the iTunes-style tags. Every read and skip stays
// inside the file and the enclosing box, whatever the sizes claim. One
// walker reads one file on one thread.
#pragma once

#include "MusicFileInfo.h"
#include "media/ByteSource.h"

#include <cstdint>
#include <string>

namespace libmusic {

// M4A genre numbers (one more than the genre's place in the numbered
// list) that are given names; others give an empty genre.
const wchar_t* Mp4GenreName(int number);

class CMp4BoxWalker final {
 public:
  CMp4BoxWalker(media::CByteSource& source, CMusicFileInfo* info) : _source(source), _info(info) {}
  CMp4BoxWalker(const CMp4BoxWalker&) = delete;
  CMp4BoxWalker& operator=(const CMp4BoxWalker&) = delete;

  // False when the file cannot be described: a box that cannot be read, an
  // unknown elementary stream descriptor, or a damaged box (a size below
  // its header, or beyond its parent) met before the movie header and the
  // audio sample entry were read.
  bool Walk();

 private:
  struct Box {
    char type[4];
    std::uint64_t begin;  // first byte after the header
    std::uint64_t end;
    bool cut = false;  // its size ran past its parent's end
  };

  bool WalkChildren(std::uint64_t begin, std::uint64_t end, const char* parent, int depth);
  // 1 read, 0 no more boxes here, -1 damaged.
  int ReadBoxHeader(std::uint64_t pos, std::uint64_t end, Box* box);
  bool OnBox(const Box& box, const char* parent, int depth);
  bool ReadMovieHeader(const Box& box);
  bool ReadHandler(const Box& box);
  bool ReadSampleDescription(const Box& box, int depth);
  bool ReadSampleEntry(std::uint64_t begin, std::uint64_t end, int depth);
  bool FindElementaryStream(std::uint64_t begin, std::uint64_t end, int depth);
  bool ReadDescriptors(std::uint64_t begin, std::uint64_t end, int depth);
  bool ReadSampleSizes(const Box& box);
  bool ReadItemList(const Box& box);
  bool ReadItem(const Box& item);

  bool Read(std::uint64_t pos, void* out, size_t n) { return _source.ReadAt(pos, out, n); }

  media::CByteSource& _source;
  CMusicFileInfo* _info;
  bool _have_movie_header = false;
  bool _have_audio_entry = false;
  bool _damaged = false;
  // The handler of the track being walked: only sound tracks describe the
  // audio. Empty until a handler box was seen.
  std::string _handler;
};

}  // namespace libmusic
