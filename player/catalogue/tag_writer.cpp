#include "player/catalogue/tag_writer.h"

#include "player/catalogue/record_file.h"

namespace pell {
namespace {

class OpenTagFile final : public TagFile {
public:
    explicit OpenTagFile(const RecordFile& file) : file_(file) {}
    int64_t Length() const override { return file_.Length(); }
    bool ReadExactly(int64_t offset, void* out, std::size_t count) override {
        return file_.ReadExactly(offset, out, count);
    }
    bool WriteExactly(int64_t offset, const void* data, std::size_t count) override {
        return file_.WriteExactly(offset, data, count);
    }
    bool Truncate(int64_t length) override { return file_.Truncate(length); }

private:
    const RecordFile& file_;
};

}  // namespace

TagWriteResult ChangeRecordingTag(TagFile& file, const TagChange& change) {
    const int64_t length = file.Length();
    TagBytes tag{};
    int64_t tagOffset = length;
    if (length >= static_cast<int64_t>(kTagSize)) {
        tagOffset = length - static_cast<int64_t>(kTagSize);
        if (!file.ReadExactly(tagOffset, tag.data(), tag.size())) return TagWriteResult::kIoFailed;
        if (!HasTagMarker(tag)) return TagWriteResult::kNoTag;
    } else {
        // Too short to hold a tag: a fresh one goes after the existing bytes, none overwritten.
        tag = MakeFreshTag();
    }
    change(tag);
    if (file.WriteExactly(tagOffset, tag.data(), tag.size())) return TagWriteResult::kWritten;
    // A half-appended tag would be read as audio and shift the next tag; cut back to the old end.
    if (tagOffset == length) file.Truncate(length);
    return TagWriteResult::kIoFailed;
}

TagWriteResult ChangeRecordingTag(const std::string& path, const TagChange& change) {
    RecordFile file(path, RecordFile::Mode::kReadWrite);
    if (!file.IsOpen()) return TagWriteResult::kCannotOpen;
    OpenTagFile tagFile(file);
    const TagWriteResult result = ChangeRecordingTag(tagFile, change);
    // The list shows last write minus duration as the call's start: it must not move.
    if (result == TagWriteResult::kWritten || result == TagWriteResult::kIoFailed) file.SetLastWrite(file.LastWrite());
    if (result == TagWriteResult::kWritten && !file.Close()) return TagWriteResult::kIoFailed;
    return result;
}

TagWriteResult MarkPlayed(const std::string& path) {
    return ChangeRecordingTag(path, [](TagBytes& tag) { SetPlayedMark(tag); });
}

TagWriteResult StoreBookmark(const std::string& path, std::string_view text) {
    return ChangeRecordingTag(path, [text](TagBytes& tag) { SetBookmarkText(tag, text); });
}

}  // namespace pell
