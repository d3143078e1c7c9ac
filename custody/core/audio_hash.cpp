#include "custody/core/audio_hash.h"

#include <algorithm>
#include <cstring>

#include "common/core/recording_tag_layout.h"

namespace pell {
namespace {

constexpr std::size_t kId3v2HeaderSize = 10;

}  // namespace

int64_t Id3v2Length(std::span<const uint8_t> firstBytes) {
    if (firstBytes.size() < kId3v2HeaderSize) return 0;
    if (firstBytes[0] != 'I' || firstBytes[1] != 'D' || firstBytes[2] != '3') return 0;
    if (firstBytes[3] == 0xFF || firstBytes[4] == 0xFF) return 0;
    int64_t body = 0;
    for (std::size_t i = 6; i < 10; ++i) {
        if ((firstBytes[i] & 0x80) != 0) return 0;  // sizes are stored seven bits a byte
        body = (body << 7) | firstBytes[i];
    }
    const bool footer = (firstBytes[5] & 0x10) != 0;
    return static_cast<int64_t>(kId3v2HeaderSize) + body + (footer ? static_cast<int64_t>(kId3v2HeaderSize) : 0);
}

void AudioHasher::Release(std::span<const uint8_t> bytes) {
    if (skip_ < 0) skip_ = Id3v2Length(head_);
    const int64_t start = released_;
    released_ += static_cast<int64_t>(bytes.size());
    if (released_ <= skip_) return;
    const auto from = static_cast<std::size_t>(std::max<int64_t>(0, skip_ - start));
    hash_.Update(bytes.subspan(from));
    audioBytes_ += static_cast<int64_t>(bytes.size() - from);
}

void AudioHasher::Update(std::span<const uint8_t> bytes) {
    if (head_.size() < kId3v2HeaderSize) {
        const std::size_t take = std::min(kId3v2HeaderSize - head_.size(), bytes.size());
        head_.insert(head_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    }
    const std::size_t total = held_.size() + bytes.size();
    if (total <= kTagSize) {
        held_.insert(held_.end(), bytes.begin(), bytes.end());
        return;
    }
    // Everything but the newest 128 bytes leaves: first what was held, then the new block's front.
    std::size_t out = total - kTagSize;
    const std::size_t fromHeld = std::min(out, held_.size());
    Release(std::span<const uint8_t>(held_.data(), fromHeld));
    out -= fromHeld;
    Release(bytes.first(out));
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(fromHeld));
    held_.insert(held_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(out), bytes.end());
}

AudioDigest AudioHasher::Finish() {
    const bool tagged = held_.size() == kTagSize && std::memcmp(held_.data(), "TAG", 3) == 0;
    if (!tagged) Release(held_);
    AudioDigest digest{HexDigest(hash_.Finish()), audioBytes_};
    head_.clear();
    held_.clear();
    skip_ = -1;
    released_ = 0;
    audioBytes_ = 0;
    return digest;
}

}  // namespace pell
