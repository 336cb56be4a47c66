#include "settings/commandline.h"

namespace {

// ASCII letters compared blind to case, nothing else folded: "/ſettings" is no switch.
bool equalsIgnoringAsciiCase(std::u16string_view text, std::string_view lowerWord)
{
    if (text.size() != lowerWord.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const char16_t lower = (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
        if (lower != static_cast<unsigned char>(lowerWord[i]))
            return false;
    }
    return true;
}

} // namespace

CommandLineAction readCommandLineArgument(std::u16string_view argument)
{
    constexpr std::string_view settingsSwitch = "/settings";
    if (argument.size() >= settingsSwitch.size() &&
        equalsIgnoringAsciiCase(argument.substr(0, settingsSwitch.size()), settingsSwitch)) {
        const std::size_t equals = argument.find(u'=');
        if (equals == std::u16string_view::npos || equals + 1 == argument.size())
            return {};
        return {CommandLineActionKind::LoadSettings, argument.substr(equals + 1)};
    }
    if (equalsIgnoringAsciiCase(argument, "/autorun"))
        return {CommandLineActionKind::AutoRun, {}};
    if (equalsIgnoringAsciiCase(argument, "/autoclose"))
        return {CommandLineActionKind::AutoClose, {}};
    return {};
}

std::vector<CommandLineAction> readCommandLine(std::span<const std::u16string_view> arguments)
{
    std::vector<CommandLineAction> actions;
    actions.reserve(arguments.size());
    for (const std::u16string_view argument : arguments)
        actions.push_back(readCommandLineArgument(argument));
    return actions;
}
