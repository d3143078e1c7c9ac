#include "player/ui/core/transport_rules.h"

#include <cstdio>

namespace pell {
int SecondsOfDay(long long seconds) {
    const long long day = seconds % kSecondsPerDay;
    return static_cast<int>(day < 0 ? day + kSecondsPerDay : day);
}

int NextRow(int currentRow, int rowCount) {
    if (currentRow < 0 || rowCount <= 0) return -1;
    return currentRow + 1 >= rowCount ? 0 : currentRow + 1;
}

int PreviousRow(int currentRow, int rowCount) {
    if (currentRow < 0 || rowCount <= 0) return -1;
    return currentRow == 0 || currentRow > rowCount ? rowCount - 1 : currentRow - 1;
}

int ShownSeconds(std::uint32_t positionSeconds, int startOfDay, int clockMode) {
    return SecondsOfDay(static_cast<long long>(positionSeconds) + (clockMode != 0 ? startOfDay : 0));
}

std::string ClockText(int seconds) {
    const int v = SecondsOfDay(seconds);
    char text[16];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", v / 3600, (v % 3600) / 60, v % 60);
    return text;
}

std::array<int, 6> TimeDigits(int seconds) {
    const int v = SecondsOfDay(seconds);
    return {v / 36000, (v / 3600) % 10, (v % 3600) / 600, ((v % 3600) / 60) % 10, (v % 60) / 10, v % 10};
}

int StartOfDay(std::time_t lastWrite, std::uint32_t lengthSeconds) {
    const std::time_t start = lastWrite - static_cast<std::time_t>(lengthSeconds);
    std::tm local{};
    if (localtime_r(&start, &local) == nullptr) return 0;
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

}  // namespace pell
