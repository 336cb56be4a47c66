// Random command lines against the reader of the program's arguments: it must
// never crash, must give one action per argument that depends on that argument
// alone, must recognise the switches exactly as a plain reader does (blind to
// the case of a-z and to nothing else), and every settings name must be the
// text after the first "=" of its argument, unit for unit.
//
// Input: the arguments separated by NUL bytes. Inside an argument a byte below
// 0x80 is that character; 0xFF and the two bytes after it are one raw UTF-16
// unit (big-endian: lone surrogates, NUL); 0xF0 to 0xFE pick from a few units
// that fold to a-z, "/" or "=" under Unicode rules; any other byte is the
// Latin-1 character of that value.

#include "settings/commandline.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr std::array<char16_t, 15> kLookAlikes = {
    0x017F,  // long s
    0x0130,  // capital I with dot
    0x0131,  // dotless i
    0x212A,  // Kelvin sign
    0xFF0F,  // full-width solidus
    0xFF1D,  // full-width equals sign
    0xFF33,  // full-width S
    0x1E9E,  // capital sharp s
    0x0161,  // s with caron
    0x2215,  // division slash
    0xD800,  // lone high surrogate
    0xDC00,  // lone low surrogate
    0xFEFF,  // byte-order mark
    0x0000,  // NUL inside an argument
    0x0153,  // oe ligature
};

std::vector<std::u16string> decodeArguments(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::u16string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        if (byte == 0) {
            arguments.emplace_back();
        } else if (byte == 0xFF) {
            const std::uint8_t high = i + 1 < size ? data[i + 1] : 0;
            const std::uint8_t low = i + 2 < size ? data[i + 2] : 0;
            arguments.back().push_back(static_cast<char16_t>(high << 8 | low));
            i += 2;
        } else if (byte >= 0xF0) {
            arguments.back().push_back(kLookAlikes[byte - 0xF0]);
        } else {
            arguments.back().push_back(byte);
        }
    }
    return arguments;
}

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Each character of the word, or its capital when it is a letter a-z.
bool sameWord(std::u16string_view text, std::string_view lowerWord)
{
    if (text.size() != lowerWord.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t lower = static_cast<unsigned char>(lowerWord[i]);
        const char16_t upper = (lower >= u'a' && lower <= u'z') ? char16_t(lower - 32) : lower;
        if (text[i] != lower && text[i] != upper)
            return false;
    }
    return true;
}

struct Expected {
    CommandLineActionKind kind;
    std::u16string name;
};

Expected reference(std::u16string_view argument)
{
    if (argument.size() >= 9 && sameWord(argument.substr(0, 9), "/settings")) {
        for (std::size_t i = 9; i < argument.size(); ++i) {
            if (argument[i] == u'=') {
                if (i + 1 == argument.size())
                    break;
                return {CommandLineActionKind::LoadSettings, std::u16string(argument.substr(i + 1))};
            }
        }
        return {CommandLineActionKind::Ignored, {}};
    }
    if (sameWord(argument, "/autorun"))
        return {CommandLineActionKind::AutoRun, {}};
    if (sameWord(argument, "/autoclose"))
        return {CommandLineActionKind::AutoClose, {}};
    return {CommandLineActionKind::Ignored, {}};
}

bool sameAction(const CommandLineAction& a, const CommandLineAction& b)
{
    return a.kind == b.kind && a.settingsName == b.settingsName;
}

void checkAction(const CommandLineAction& action, std::u16string_view argument)
{
    const Expected expected = reference(argument);
    require(action.kind == expected.kind);
    require(action.settingsName == expected.name);
    if (action.kind == CommandLineActionKind::LoadSettings) {
        // The name is the tail of the argument itself, not a copy.
        require(action.settingsName.data() + action.settingsName.size() == argument.data() + argument.size());
        require(!action.settingsName.empty());
    }
}

// Every letter a-z in the other case: the same switch, the name in the other case.
void checkCaseBlind(std::u16string_view argument, const CommandLineAction& action)
{
    std::u16string flipped(argument);
    for (char16_t& c : flipped) {
        if (isAsciiLetter(c))
            c ^= 0x20;
    }
    const CommandLineAction other = readCommandLineArgument(flipped);
    require(other.kind == action.kind);
    require(other.settingsName.size() == action.settingsName.size());
    for (std::size_t i = 0; i < other.settingsName.size(); ++i) {
        const char16_t c = action.settingsName[i];
        require(other.settingsName[i] == (isAsciiLetter(c) ? char16_t(c ^ 0x20) : c));
    }
}

// Any character of a recognised switch word replaced by one outside ASCII
// leaves no switch.
void checkNothingElseFolds(std::u16string_view argument, const CommandLineAction& action)
{
    std::size_t wordLength = 0;
    if (action.kind == CommandLineActionKind::LoadSettings)
        wordLength = 9;
    else if (action.kind != CommandLineActionKind::Ignored)
        wordLength = argument.size();
    std::u16string changed(argument);
    for (std::size_t i = 0; i < wordLength; ++i) {
        for (const char16_t replacement : {char16_t(changed[i] + 0x100), kLookAlikes[i % kLookAlikes.size()]}) {
            const char16_t kept = changed[i];
            changed[i] = replacement;
            require(readCommandLineArgument(changed).kind == CommandLineActionKind::Ignored);
            changed[i] = kept;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::u16string> arguments = decodeArguments(data, size);
    std::vector<std::u16string_view> views(arguments.begin(), arguments.end());

    const std::vector<CommandLineAction> actions = readCommandLine(views);
    require(actions.size() == views.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
        checkAction(actions[i], views[i]);
        // An argument's action depends on that argument alone.
        require(sameAction(readCommandLineArgument(views[i]), actions[i]));
        checkCaseBlind(views[i], actions[i]);
        checkNothingElseFolds(views[i], actions[i]);
    }

    // Reversed, and with a switch between every two arguments: each argument
    // still gives its own action, in its own place.
    std::vector<std::u16string_view> reversed(views.rbegin(), views.rend());
    const std::vector<CommandLineAction> backwards = readCommandLine(reversed);
    require(backwards.size() == actions.size());
    for (std::size_t i = 0; i < actions.size(); ++i)
        require(sameAction(backwards[actions.size() - 1 - i], actions[i]));

    std::vector<std::u16string_view> mixed;
    for (const std::u16string_view view : views) {
        mixed.push_back(view);
        mixed.push_back(u"/settings=other.tws");
    }
    const std::vector<CommandLineAction> interleaved = readCommandLine(mixed);
    require(interleaved.size() == 2 * actions.size());
    for (std::size_t i = 0; i < actions.size(); ++i) {
        require(sameAction(interleaved[2 * i], actions[i]));
        require(interleaved[2 * i + 1].kind == CommandLineActionKind::LoadSettings &&
                interleaved[2 * i + 1].settingsName == u"other.tws");
    }
    return 0;
}
