// The tags of MP3 files: ID3v2 (versions 2.2 to 2.4) at the start, ID3v1
// and APEv2 at the end. Their text frames become the runtime's attributes
// (title, album, artists, genre, track number, year). Not thread-bound.
#pragma once

#include "media/ByteSource.h"
#include "media/MediaDescription.h"

#include <cstdint>
#include <string>

namespace libmusic {
namespace media {

// Reads every ID3v2 tag at the start; answers where the audio begins.
// Earlier tags win over later ones.
std::uint64_t ReadLeadingId3Tags(CByteSource& source, CMediaDescription* out);

// Reads an ID3v1 tag (only for what the ID3v2 tags left out) and steps over
// an APEv2 tag at the end; answers where the audio ends.
std::uint64_t ReadTrailingTags(CByteSource& source, std::uint64_t audio_begin,
                               CMediaDescription* out);

// A genre field as a name: "(17)" and "17" are the numbered genre "Rock",
// "(17)Heavy" the refinement "Heavy", "((x" the text "(x".
std::wstring ResolveGenre(const std::wstring& text);

}  // namespace media
}  // namespace libmusic
