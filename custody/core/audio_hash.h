// The proof of a recording's content: SHA-256 over its audio, which is the file without its
// ID3 version 1 tag (the last 128 bytes, when they begin with "TAG") and without an ID3
// version 2 tag at its start. The tags are left out so a bookmark or a played mark, which
// rewrite only the last 128 bytes, never make a recording look altered. For a recording
// without a leading tag the digest is what `head -c -128 FILE | sha256sum` prints.
//
// AudioHasher is fed the file's bytes in order, in blocks of any size: it holds the last 128
// bytes back until Finish says whether they are a tag, and learns the ID3v2 length from the
// first ten bytes. It is not fed the recorder's writes as they happen: the encoder rewrites the
// first frame with its Info header when a recording ends, so the hash is taken from the file
// once it is filed (HashAudio), which costs about two thousandths of the encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "custody/core/sha256.h"

namespace pell {

struct AudioDigest {
    std::string sha256;      // 64 lower-case hex digits
    int64_t audioBytes = 0;  // bytes hashed: the file without its tags
};

class AudioHasher {
public:
    void Update(std::span<const uint8_t> bytes);
    // The digest of everything fed; the hasher starts afresh afterwards.
    AudioDigest Finish();

private:
    void Release(std::span<const uint8_t> bytes);

    Sha256 hash_;
    std::vector<uint8_t> head_;  // the first ten bytes, for the ID3v2 header
    std::vector<uint8_t> held_;  // the newest bytes, at most a tag's length
    int64_t skip_ = -1;          // leading bytes left out; -1 until the header is known
    int64_t released_ = 0;       // bytes that have left `held_`
    int64_t audioBytes_ = 0;
};

// The length of an ID3 version 2 tag at the start of a file from its first ten bytes (header,
// body and footer), 0 when they are no such header.
int64_t Id3v2Length(std::span<const uint8_t> firstBytes);

}  // namespace pell
