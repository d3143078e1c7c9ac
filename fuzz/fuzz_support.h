// Shared by the fuzz targets: a scratch folder for inputs that must be files, and a check that
// stops the run with a message when a property of the code under test fails.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace pell::fuzz {

// A folder of this process, made once; libFuzzer runs one input at a time per process.
inline const std::string& ScratchFolder() {
    // Never destroyed, so the clean-up at exit can still read it.
    static const std::string& folder = *[] {
        auto* templ = new std::string("/tmp/pell-fuzz-XXXXXX");
        if (::mkdtemp(templ->data()) == nullptr) std::abort();
        // Gone when the run ends normally; a fault leaves it for a look.
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return templ;
    }();
    return folder;
}

// Writes bytes to a file in the scratch folder, replacing it; returns the path.
inline std::string WriteScratch(const std::string& name, std::string_view bytes) {
    const std::string path = ScratchFolder() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return path;
}

inline std::string ReadScratch(const std::string& path) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return bytes;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

// Reads an input front to back: fixed-size numbers, short texts with a length byte, then the
// rest. Past the end every number reads 0 and every text is empty. Seeds are written the same
// way by InputWriter, so a seed is a readable layout rather than bytes picked from the end.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= std::uint32_t{Byte()} << (8 * i);
        return value;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::size_t Remaining() const { return size_ - at_; }
    std::string Text() {
        const std::size_t n = std::min<std::size_t>(Byte(), size_ - at_);
        std::string text(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return text;
    }
    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

class InputWriter {
public:
    InputWriter& Byte(std::uint8_t value) {
        bytes_ += static_cast<char>(value);
        return *this;
    }
    InputWriter& U32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) Byte(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    InputWriter& Text(std::string_view text) {
        text = text.substr(0, 255);
        Byte(static_cast<std::uint8_t>(text.size()));
        bytes_.append(text);
        return *this;
    }
    InputWriter& Rest(std::string_view rest) {
        bytes_.append(rest);
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}

}  // namespace pell::fuzz

#define PELL_FUZZ_CHECK(condition)                                            \
    do {                                                                      \
        if (!(condition)) ::pell::fuzz::Fail(#condition, __FILE__, __LINE__); \
    } while (false)
