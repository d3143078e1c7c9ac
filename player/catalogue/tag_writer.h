// The player's two writes into a recording: the played mark and the bookmark. Only the tag's
// bytes change; the file's last-write time is put back, because the list derives the call's
// start time from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "player/catalogue/recording_tag.h"

namespace pell {

enum class TagWriteResult {
    kWritten,     // the tag was changed (or a fresh one appended to a file shorter than a tag)
    kNoTag,       // the last 128 bytes do not begin with TAG: the file is left as it was
    kCannotOpen,  // missing, not a regular file, or no write access: nothing happened
    kIoFailed,    // reading or writing failed; a fresh tag that could not be written whole is undone
};

// What changing a tag needs of an open recording; the real one is a file opened for reading and
// writing alongside the recorder.
class TagFile {
public:
    virtual ~TagFile() = default;
    virtual int64_t Length() const = 0;
    virtual bool ReadExactly(int64_t offset, void* out, std::size_t count) = 0;
    virtual bool WriteExactly(int64_t offset, const void* data, std::size_t count) = 0;
    virtual bool Truncate(int64_t length) = 0;
};

using TagChange = std::function<void(TagBytes&)>;

// Applies `change` to the tag in the last 128 bytes, or to a fresh tag appended after the bytes
// of a file shorter than 128 bytes.
TagWriteResult ChangeRecordingTag(TagFile& file, const TagChange& change);

// Opens `path` and changes its tag as above, keeping the file's last-write time.
TagWriteResult ChangeRecordingTag(const std::string& path, const TagChange& change);

// Sets the played byte; called when a row starts playing.
TagWriteResult MarkPlayed(const std::string& path);

// Stores the first 30 bytes of `text` as the bookmark.
TagWriteResult StoreBookmark(const std::string& path, std::string_view text);

}  // namespace pell
