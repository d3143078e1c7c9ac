// What the call index holds for one recording. The files stay the truth: every field here is
// read from the recording (tag, first frame header, length, last-write time) or from where it
// lies, so a row can be thrown away and read again at any time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "player/catalogue/record_list.h"
#include "player/catalogue/recording_tag.h"

namespace pell {

// What a refresh compares to tell whether a file changed since it was read: the player puts the
// last-write time back after a tag write, so only the change time shows a new bookmark.
struct FileStamp {
    int64_t size = 0;
    int64_t mtimeNs = 0;  // last write, nanoseconds since the epoch
    int64_t ctimeNs = 0;  // last change of content or status
    uint64_t inode = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One recording as read from its file, in the record list's terms.
struct CallFacts {
    std::string name;  // file name inside its day folder
    FileStamp stamp;   // of the file as it was read
    // False when the file could not be opened: the list shows it with its defaults too.
    bool readable = false;
    // False for files shorter than 3 bytes, whose Date the list leaves empty.
    bool timesKnown = false;
    int64_t startTime = 0;  // seconds since the epoch: from the manifest, else last write minus the duration
    int64_t durationSeconds = 0;
    std::string line;    // tag artist: the line's description
    std::string number;  // tag title: the calling number as the recorder stored it
    CallDirection direction = CallDirection::Unknown;
    std::string bookmark;  // tag comment
    bool played = false;
    bool isProtected = false;  // held from every deletion: named in its day folder's hold list
    // 16 hex digits over the audio's length and first bytes (the tag left out, so a bookmark
    // does not change it): the same recording copied elsewhere with its times has the same key.
    std::string contentKey;
    // SHA-256 of the audio (tag left out) as the day folder's manifest noted it at filing, 64 hex
    // digits; empty when the manifest does not list the file. Never hashed by the index itself.
    std::string audioSha256;

    // The last write in whole seconds, which is also the call's end.
    int64_t EndTime() const;

    friend bool operator==(const CallFacts&, const CallFacts&) = default;
};

// A recording as the index returns it.
struct CallRecord {
    int64_t id = 0;      // the index's own number for the row, stable while the file stays
    std::string root;    // the record root as listed (without a trailing "/")
    std::string folder;  // day folder name, "%d.%m.%Y"
    CallFacts facts;

    std::string Path() const;

    friend bool operator==(const CallRecord&, const CallRecord&) = default;
};

// The root as the index keys it: trailing "/" removed, except for "/" itself.
std::string NormaliseRoot(std::string_view root);

// root + "/" + day folder + "/" + name, without doubling a root's "/".
std::string CallPath(std::string_view root, std::string_view folder, std::string_view name);

// The record list's row for a recording, exactly as FillRecordList shows the file.
RecordRow ToRecordRow(const CallRecord& call, std::size_t rowIndex);

}  // namespace pell
