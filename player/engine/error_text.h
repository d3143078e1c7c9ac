#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pell {

// The last-error text every engine class keeps: the operation and its message, at most 1023
// characters, never shown to the user.
class ErrorText {
public:
    static constexpr std::size_t kMaxChars = 1023;

    void Set(std::string_view message) { text_.assign(message.substr(0, kMaxChars)); }
    void Clear() { text_.clear(); }
    const std::string& Get() const { return text_; }

private:
    std::string text_;
};

}  // namespace pell
