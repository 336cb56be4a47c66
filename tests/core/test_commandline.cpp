#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "settings/commandline.h"

namespace {

using Kind = CommandLineActionKind;

std::string describe(std::u16string_view text)
{
    std::string out;
    for (const char16_t c : text) {
        if (c >= 0x20 && c < 0x7F)
            out.push_back(static_cast<char>(c));
        else
            out += "\\u" + std::to_string(static_cast<unsigned>(c));
    }
    return out;
}

// Cases the window's own tests cannot easily reach: letters outside a-z that
// fold to a-z under Unicode rules, and names that must come back unit for unit.
TEST(CommandLine, SwitchesFoldOnlyAsciiLettersAndNamesComeBackUnchanged)
{
    const std::u16string loneSurrogate(1, char16_t(0xD800));
    const struct {
        std::u16string argument;
        Kind kind;
        std::u16string name;
    } cases[] = {
        {u"/\u017Fettings=a.tws", Kind::Ignored, u""},                 // long s folds to "s" in Unicode
        {u"/sett\u0130ngs=a.tws", Kind::Ignored, u""},                 // dotted capital I
        {u"/autorun" + std::u16string(1, u'\0'), Kind::Ignored, u""},  // an embedded NUL is part of the argument
        {u"\uFF0Fautorun", Kind::Ignored, u""},                        // full-width solidus
        {u"/AuToClOsE", Kind::AutoClose, u""},
        {u"/settings==x", Kind::LoadSettings, u"=x"},
        {u"/SETTINGS\u00E9=" + loneSurrogate + u"\u00E9.tws", Kind::LoadSettings, loneSurrogate + u"\u00E9.tws"},
        {u"/settingsfoo", Kind::Ignored, u""},
        {u"/settings=", Kind::Ignored, u""},
        {u"x/settings=a.tws", Kind::Ignored, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.argument));
        const CommandLineAction action = readCommandLineArgument(c.argument);
        EXPECT_EQ(action.kind, c.kind);
        EXPECT_EQ(action.settingsName, c.name);
    }
}

TEST(CommandLine, OneActionPerArgumentInOrder)
{
    const std::u16string_view arguments[] = {u"/autoclose", u"/settings=b.tws", u"junk", u"/AUTORUN",
                                             u"/settings=a.tws"};
    const std::vector<CommandLineAction> actions = readCommandLine(arguments);
    ASSERT_EQ(actions.size(), 5u);
    const Kind kinds[] = {Kind::AutoClose, Kind::LoadSettings, Kind::Ignored, Kind::AutoRun, Kind::LoadSettings};
    for (std::size_t i = 0; i < actions.size(); ++i)
        EXPECT_EQ(actions[i].kind, kinds[i]) << "argument " << i;
    EXPECT_EQ(actions[1].settingsName, u"b.tws");
    EXPECT_EQ(actions[4].settingsName, u"a.tws");
    EXPECT_TRUE(readCommandLine({}).empty());
}

}  // namespace
