#pragma once

// The ten fields an output file can hold and their boxes on the Output page:
// what each box is called and says, the flag of the criteria it sets, and the
// field's heading. The window lays the boxes out, the validation sets the
// flags, the settings file stores them and the output writer writes the
// fields, all from this one table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/scancriteria.h"

// In the order of the fields in an output line, which is also the order of the
// boxes on the page (down the first column, then the second).
enum class OutputField {
    Server,
    FullPath,
    FileName,
    Extension,
    Size,
    Owner,
    Accessed,
    Modified,
    Creation,
    Attributes
};

constexpr std::size_t index(OutputField field) { return static_cast<std::size_t>(field); }

struct OutputFieldRow {
    OutputField id;
    // The box's object name, which is also its key in a settings file.
    std::string_view name;
    std::string_view caption;
    std::int32_t ScanCriteria::*enabled;
    std::string_view heading;
    // The place of the box's key among the field keys of a settings file: the
    // file lists the boxes row by row across the page.
    std::size_t settingsRank;
};

// Row n is the field whose index is n.
inline constexpr std::array<OutputFieldRow, 10> kOutputFields{{
    {OutputField::Server, "chkOutputServer", "Server Name", &ScanCriteria::OutServer, "Server", 0},
    {OutputField::FullPath, "chkOutputFullPath", "Full Path Name", &ScanCriteria::OutFullPath, "Path", 2},
    {OutputField::FileName, "chkOutputFilename", "Filename Only", &ScanCriteria::OutFileName, "Filename", 4},
    {OutputField::Extension, "chkOutputExtension", "Extension", &ScanCriteria::OutExtension, "Extension", 6},
    {OutputField::Size, "chkOutputSize", "File Size", &ScanCriteria::OutSize, "Size", 8},
    {OutputField::Owner, "chkOutputOwner", "Owner", &ScanCriteria::OutOwner, "Owner", 1},
    {OutputField::Accessed, "chkOutputAccessed", "Last Accessed Date", &ScanCriteria::OutAccessed, "Accessed", 3},
    {OutputField::Modified, "chkOutputModified", "Last Modified Date", &ScanCriteria::OutModified, "Modified", 5},
    {OutputField::Creation, "chkOutputCreation", "Creation Date", &ScanCriteria::OutCreation, "Created", 7},
    {OutputField::Attributes, "chkOutputAttributes", "Attributes", &ScanCriteria::OutAttributes, "Attributes", 9},
}};

inline constexpr std::size_t kOutputFieldCount = kOutputFields.size();
