// Placeholder until the profile parser is written.
#include "settings/profile.h"

namespace profile {
std::optional<std::int32_t> parseInteger(std::string_view) { return {}; }
ProfileDocument ProfileDocument::parse(std::string_view) { return {}; }
std::optional<std::string> ProfileDocument::value(std::string_view, std::string_view) const { return {}; }
const ProfileSection* ProfileDocument::section(std::string_view) const { return nullptr; }
void ProfileDocument::setValue(std::string_view, std::string_view, std::string_view) {}
std::string ProfileDocument::serialize() const { return {}; }
std::optional<std::string> readFile(const std::string&) { return {}; }
int writeFileAtomically(const std::string&, std::string_view) { return 0; }
} // namespace profile
