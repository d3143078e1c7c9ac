// A recording's tail as a hostile file: the catalogue's tag and frame reading, the player's two
// tag writes (played mark, bookmark) and the recorder's tag writer read back by the player.

#include "common/core/tag_text.h"
#include "fuzz/fuzz_support.h"
#include "player/catalogue/record_info.h"
#include "player/catalogue/recording_tag.h"
#include "player/catalogue/tag_writer.h"
#include "recorder/core/recording_names.h"

using namespace pell;

namespace {

// What the player reads back from a text the recorder stored: UTF-8 cut to 30 bytes between
// characters, read up to a NUL, trimmed, and taken as UTF-8 (or Latin-1 where it is not).
std::string AsReadBack(const std::string& text) {
    std::string stored = EncodeTagText(text, 30);
    stored = stored.substr(0, stored.find('\0'));
    const char* blanks = " \t\r\n";
    const std::size_t first = stored.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return TagTextAsUtf8(stored.substr(first, stored.find_last_not_of(blanks) - first + 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string number = input.Text();
    const std::string description = input.Text();
    const std::string bookmark = input.Text();
    const char mark = static_cast<char>(input.Byte());
    const std::string file = input.Rest();

    // The recorder's writer, read by the player.
    RecordingTag written{number, description, mark};
    TagBytes tag{};
    const auto bytes = written.Bytes();
    std::copy(bytes.begin(), bytes.end(), tag.begin());
    const std::optional<TagFields> fields = ParseRecordingTag(tag);
    PELL_FUZZ_CHECK(fields.has_value());
    PELL_FUZZ_CHECK(fields->number == AsReadBack(number));
    PELL_FUZZ_CHECK(fields->channel == AsReadBack(description));
    PELL_FUZZ_CHECK(fields->played == 0);

    // The player's reading of the hostile file, in memory and on disk.
    const auto* raw = reinterpret_cast<const uint8_t*>(file.data());
    DescribeRecording(MemoryRecordBytes({raw, file.size()}), 1236262200);
    const std::string path = fuzz::WriteScratch("a0000001.mp3", file);
    ReadRecordInfo(path);

    // The two writes change the tag's bytes only, or nothing when the file has no tag.
    const TagWriteResult played = MarkPlayed(path);
    const TagWriteResult booked = StoreBookmark(path, bookmark);
    const std::string after = fuzz::ReadScratch(path);
    if (file.size() >= kTagSize) {
        PELL_FUZZ_CHECK(after.size() == file.size());
        PELL_FUZZ_CHECK(after.compare(0, file.size() - kTagSize, file, 0, file.size() - kTagSize) == 0);
    } else if (played == TagWriteResult::kWritten) {
        // A file shorter than a tag gets a fresh one appended.
        PELL_FUZZ_CHECK(after.size() == file.size() + kTagSize && after.compare(0, file.size(), file) == 0);
    } else {
        PELL_FUZZ_CHECK(after == file);
    }
    if (played != TagWriteResult::kWritten || booked != TagWriteResult::kWritten) return 0;
    TagBytes tail{};
    std::copy(after.end() - kTagSize, after.end(), tail.begin());
    const std::optional<TagFields> reread = ParseRecordingTag(tail);
    PELL_FUZZ_CHECK(reread.has_value() && reread->played == 1);
    PELL_FUZZ_CHECK(reread->bookmark == AsReadBack(bookmark));
    return 0;
}
