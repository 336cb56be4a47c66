// Placeholder until the file-system layer is written.
#include "platform/drives.h"

namespace platform {
void DriveTable::clear() {}
void DriveTable::setDrive(char, std::string) {}
std::optional<std::string> DriveTable::hostFolder(char) const { return {}; }
std::optional<std::string> DriveTable::hostPath(std::string_view) const { return {}; }
DriveTable& drives() { static DriveTable table; return table; }
bool wildcardMatch(std::string_view, std::string_view) { return false; }
bool DirListing::open(std::string_view, std::uint32_t) { return false; }
bool DirListing::next(DirEntry&) { return false; }
std::string charToOem(std::string_view text) { return std::string(text); }
int setCurrentFolder(std::string_view) { return 0; }
std::string resolveUserPath(std::string_view name) { return std::string(name); }
} // namespace platform
