#include "player/ui/core/transport_ports.h"

#include <sys/stat.h>

#include "player/catalogue/tag_writer.h"

namespace pell::player {

void DiskRecordFiles::MarkPlayed(const std::string& path) { pell::MarkPlayed(path); }

std::time_t DiskRecordFiles::LastWriteTime(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mtime : 0;
}

}  // namespace pell::player
