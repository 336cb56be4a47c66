// The program's command line read one argument at a time.

#include "settings/commandline.h"

#include "platform/asciicase.h"

CommandLineAction readCommandLineArgument(std::u16string_view argument)
{
    constexpr std::string_view settingsSwitch = "/settings";
    if (argument.size() >= settingsSwitch.size() &&
        ascii::equalsIgnoringCase(argument.substr(0, settingsSwitch.size()), settingsSwitch)) {
        const std::size_t equals = argument.find(u'=');
        if (equals == std::u16string_view::npos || equals + 1 == argument.size())
            return {};
        return {CommandLineActionKind::LoadSettings, argument.substr(equals + 1)};
    }
    if (ascii::equalsIgnoringCase(argument, "/autorun"))
        return {CommandLineActionKind::AutoRun, {}};
    if (ascii::equalsIgnoringCase(argument, "/autoclose"))
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
