#include "recorder/core/callerid/calling_number.h"

namespace pell {

bool IsCallingNumber(const std::string& text) {
    if (text.empty()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        if (!digit && c != '*' && c != '#' && !(c == '+' && i == 0)) return false;
    }
    return text != "+";
}

}  // namespace pell
