#pragma once

// The rows of the list benchmarks, as a scan of a large server gives them: a
// name of 12 characters, one of five owners, and a full path of 60
// characters, the name in a folder that 32 neighbouring rows share. Appended
// in batches of 100 between flushes, as the walker does.

#include "output/qt_listmodels.h"

// Appends rows rows to model; returns the bytes of the row texts as the list
// shows them.
std::size_t appendBenchRows(ResultsModel& model, long rows);
