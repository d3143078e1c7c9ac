// A handful of recordings as the recorder files them (8 kHz mono MP3 with its tag, in today's
// day folder under one record root), for the snapshot and the benchmark when no real program
// folder is given.
#pragma once

#include <string>

namespace pell::player {

// Writes "paths.ini" naming `folder`/records into `folder` and `count` recordings of `seconds`
// each into today's day folder; returns the record root, empty on failure.
std::string MakeDemoRecordings(const std::string& folder, int count, double seconds);

}  // namespace pell::player
