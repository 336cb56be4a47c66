#pragma once

// Where the program finds its help file.

#include <string>
#include <string_view>

// The help file TRAWL.HLP of a program whose executable is in executableFolder:
// beside the executable (the build folder, or a copy kept in one folder), else
// in ../share/trawl/ relative to it (an installed program: /usr/bin/trawl reads
// /usr/share/trawl/TRAWL.HLP). When neither holds the file, the place beside
// the executable, so that the help viewer names where it looked first.
std::string findHelpFile(std::string_view executableFolder);
