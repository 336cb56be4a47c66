#pragma once

// What each argument of the program's command line asks for, without the
// window: the window loads the settings files and sets its flags from these.
//
// An argument whose first nine characters are "/settings" (a-z compared blind
// to case, nothing else folded) names a settings file: the text after its
// first "=", further "=" included. Without an "=", or with nothing after it,
// the switch names nothing and is ignored. "/autorun" and "/autoclose" match
// the whole argument, blind to the case of a-z. Anything else is ignored.

#include <span>
#include <string_view>
#include <vector>

enum class CommandLineActionKind { LoadSettings, AutoRun, AutoClose, Ignored };

struct CommandLineAction {
    CommandLineActionKind kind = CommandLineActionKind::Ignored;
    // LoadSettings only: the file name, a view into the argument it came from.
    std::u16string_view settingsName;
};

CommandLineAction readCommandLineArgument(std::u16string_view argument);

// One action per argument, in the order of the arguments.
std::vector<CommandLineAction> readCommandLine(std::span<const std::u16string_view> arguments);
