#pragma once

#include <QIcon>

// The program's icon: a magnifying glass over a net, drawn in code at the
// usual sizes so that no image file has to travel with the executable.
QIcon trawlIcon();
