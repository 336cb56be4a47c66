// Where the program finds TRAWL.HLP: in a build folder, and installed under a prefix.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/helpfile.h"
#include "support/core_tempworkstation.h"

TEST(HelpFile, IsBesideTheExecutableElseInTheSharedFolderOfItsPrefix)
{
    TempWorkstation ws;
    const std::string bin = ws.root() + "/usr/bin";
    std::filesystem::create_directories(bin);
    const std::string beside = bin + "/TRAWL.HLP";

    // Found nowhere: the place beside the executable, where a build keeps it.
    EXPECT_EQ(findHelpFile(bin), beside);
    EXPECT_EQ(findHelpFile(bin + "/"), beside);

    const std::string shared = ws.makeFile("usr/share/trawl/TRAWL.HLP");
    EXPECT_EQ(findHelpFile(bin), shared);
    EXPECT_EQ(findHelpFile(bin + "/"), shared);
    // A folder of that name beside the executable is not the help file.
    std::filesystem::create_directories(ws.root() + "/opt/bin/TRAWL.HLP");
    const std::string optShared = ws.makeFile("opt/share/trawl/TRAWL.HLP");
    EXPECT_EQ(findHelpFile(ws.root() + "/opt/bin"), optShared);

    // A copy beside the executable wins over the installed one.
    ws.makeFile("usr/bin/TRAWL.HLP");
    EXPECT_EQ(findHelpFile(bin), beside);
}
