// What the DTMF digits of a recording can be trusted to say: a caller-ID frame, digits dialled
// on the line, or nothing certain. A missing number is better than a wrong one.
//
// A frame (A or D ... C, B ... C, or "**" ...) is trusted only when it is complete and every key
// of it is sound: its twist within +-6.5 dB, no tone pair that came and went without becoming a
// digit between its first and last key, and the even timing a sender keeps (no key lasting or
// following much longer than the others, which is where a key merged or was lost). Dialled digits
// come in groups (keys less than 10 s apart); a group of fewer than three keys, one holding A-D
// (no telephone keypad has them) or one among pairs that came and went (one for every four keys
// or fewer) is talk-off and is dropped. In the others a key with its twist outside the band, or one
// lost between two keys less than 2 s apart, is written "?" so no digit vanishes silently.
#pragma once

#include <string>

#include "recorder/core/callerid/dtmf_detector.h"

namespace pell {

enum class ToneReadingKind {
    kNothing,    // no digit at all
    kCallerId,   // a trusted frame: number is its number (or "Private", "No number")
    kDialled,    // number is the dialled digits kept
    kUncertain,  // digits were found, but nothing that can be trusted
};

struct ToneReading {
    ToneReadingKind kind = ToneReadingKind::kNothing;
    std::string number;
};

ToneReading ReadToneScan(const DtmfScan& scan);

}  // namespace pell
