#pragma once

// The program's look, shared by its windows.

#include <QFont>
#include <QIcon>

// The program's icon: a magnifying glass over a net, drawn in code at the
// usual sizes so that no image file has to travel with the executable.
QIcon trawlIcon();

// "MS Sans Serif" at a pixel size (so that the layout does not follow the
// system's font scaling). Where that font is missing, the nearest in width
// that is installed stands in.
QFont formFont(int pixelSize = 11);
