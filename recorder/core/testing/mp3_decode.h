// Decodes an MP3 file with libmpg123 to prove that a recording plays from start to end.
#pragma once

#include <cstdint>
#include <string>

namespace pell {

struct DecodedMp3 {
    bool opened = false;
    bool decodeError = false;       // the decoder reported an error before the end
    int64_t samplesDecoded = 0;     // per channel
    int64_t lengthFromHeader = -1;  // per channel, as the decoder reports it before decoding
    long rateHz = 0;
    int channels = 0;
    bool startsWithFrame = false;  // the file's first bytes are an MPEG audio frame header
    bool hasInfoFrame = false;     // the first frame carries an "Info"/"Xing" header
};

DecodedMp3 DecodeMp3File(const std::string& path);

}  // namespace pell
