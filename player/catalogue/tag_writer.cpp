#include "player/catalogue/tag_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "player/catalogue/record_file.h"

namespace pell {

TagWriteResult ChangeRecordingTag(const std::string& path, const std::function<void(TagBytes&)>& change) {
    RecordFile file(path, RecordFile::Mode::ReadWrite);
    if (!file.IsOpen()) return TagWriteResult::CannotOpen;
    const int64_t length = file.Status().st_size;
    const struct timespec lastWrite = file.Status().st_mtim;

    TagBytes tag{};
    int64_t tagOffset = 0;
    if (length >= static_cast<int64_t>(kTagSize)) {
        tagOffset = length - static_cast<int64_t>(kTagSize);
        if (!file.ReadExactly(tagOffset, tag.data(), tag.size())) return TagWriteResult::IoFailed;
        if (!HasTagMarker(tag)) return TagWriteResult::NoTag;
    } else {
        // Too short to hold a tag: a fresh one goes after the existing bytes, none overwritten.
        tag = MakeFreshTag();
        tagOffset = length;
    }
    change(tag);

    TagWriteResult result = TagWriteResult::Written;
    if (!file.WriteExactly(tagOffset, tag.data(), tag.size())) {
        result = TagWriteResult::IoFailed;
        // A half-appended tag would make the next read see garbage; cut back to the old bytes.
        if (tagOffset == length) {
            const int truncated = ::ftruncate(file.Descriptor(), static_cast<off_t>(length));
            (void)truncated;
        }
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, lastWrite};
    (void)::futimens(file.Descriptor(), times);
    return result;
}

TagWriteResult MarkPlayed(const std::string& path) {
    return ChangeRecordingTag(path, [](TagBytes& tag) { SetPlayedMark(tag); });
}

TagWriteResult StoreBookmark(const std::string& path, std::string_view text) {
    return ChangeRecordingTag(path, [text](TagBytes& tag) { SetBookmarkText(tag, text); });
}

}  // namespace pell
