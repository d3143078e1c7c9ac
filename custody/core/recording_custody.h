// What the recorder asks of the custody records: cleaning and the age pass empty a day folder
// except its protected recordings (audited), and each filed recording gets its manifest entry
// with the hash of its audio. The real one is PosixRecordingCustody (custody/posix/custody.h);
// a recorder without one removes whole day folders and writes no manifest.
#pragma once

#include <string>

#include "custody/core/manifest.h"
#include "custody/core/removal.h"

namespace pell {

class RecordingCustody {
public:
    virtual ~RecordingCustody() = default;
    // Empties ROOT/dd.mm.yyyy except its protected recordings; see RemoveDayFolder.
    virtual DayRemoval RemoveDay(const std::string& dayFolder, RemovalReason reason) = 0;
    // Hashes the recording at `path` as it lies on the disk and appends its manifest entry
    // (facts.size 0: taken from the file). An errno value, 0 when it is on the disk.
    virtual int NoteFiled(const std::string& path, const FiledFacts& facts) = 0;
};

}  // namespace pell
