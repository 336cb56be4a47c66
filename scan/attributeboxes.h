#pragma once

// The twenty attribute boxes of the Attributes page: what each is called, what
// it says and which NetWare bit it asks for. The window lays them out, the
// validation turns them into the attribute mask and the settings file stores
// them, all from this one table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/scancriteria.h"

// In the order of the page (down each column in turn), which is also the order
// of their keys in a settings file.
enum class AttributeBox {
    ReadOnly,
    Shareable,
    Hidden,
    System,
    Transactional,
    Migrated,
    DontMigrate,
    DeleteInhibit,
    RenameInhibit,
    CopyInhibit,
    ArchiveNeeded,
    ExecuteOnly,
    ImmedPurge,
    Compressed,
    ImmedCompress,
    DontCompress,
    CantCompress,
    DontSuballocate,
    ReadAudit,
    WriteAudit,
};

constexpr std::size_t index(AttributeBox box) { return static_cast<std::size_t>(box); }

struct AttributeBoxRow {
    AttributeBox id;
    // The box's object name, which is also its key in a settings file.
    std::string_view name;
    std::string_view caption;
    std::uint32_t bit;
};

// Row n is the box whose index is n.
inline constexpr std::array<AttributeBoxRow, 20> kAttributeBoxes{{
    {AttributeBox::ReadOnly, "chkAttribReadOnly", "Read Only", nwattr::ReadOnly},
    {AttributeBox::Shareable, "chkAttribShareable", "Shareable", nwattr::Shareable},
    {AttributeBox::Hidden, "chkAttribHidden", "Hidden", nwattr::Hidden},
    {AttributeBox::System, "chkAttribSystem", "System", nwattr::System},
    {AttributeBox::Transactional, "chkAttribTransactional", "Transactional", nwattr::Transactional},
    {AttributeBox::Migrated, "chkAttribMigrated", "Migrated", nwattr::Migrated},
    {AttributeBox::DontMigrate, "chkAttribDontMigrate", "Dont Migrate", nwattr::DontMigrate},
    {AttributeBox::DeleteInhibit, "chkAttribDeleteInhibit", "Delete Inhibit", nwattr::DeleteInhibit},
    {AttributeBox::RenameInhibit, "chkAttribRenameInhibit", "Rename Inhibit", nwattr::RenameInhibit},
    {AttributeBox::CopyInhibit, "chkAttribCopyInhibit", "Copy Inhibit", nwattr::CopyInhibit},
    {AttributeBox::ArchiveNeeded, "chkAttribArchiveNeeded", "Archive Needed", nwattr::ArchiveNeeded},
    {AttributeBox::ExecuteOnly, "chkAttribExecuteOnly", "Execute Only", nwattr::ExecuteOnly},
    {AttributeBox::ImmedPurge, "chkAttribImmedPurge", "Immed Purge", nwattr::ImmedPurge},
    {AttributeBox::Compressed, "chkAttribCompressed", "Compressed", nwattr::Compressed},
    {AttributeBox::ImmedCompress, "chkAttribImmedCompress", "Immed Compress", nwattr::ImmedCompress},
    {AttributeBox::DontCompress, "chkAttribDontCompress", "Dont Compress", nwattr::DontCompress},
    {AttributeBox::CantCompress, "chkAttribCantCompress", "Cant Compress", nwattr::CantCompress},
    {AttributeBox::DontSuballocate, "chkAttribDontSuballocate", "Dont Suballocate", nwattr::DontSuballocate},
    {AttributeBox::ReadAudit, "chkAttribReadAudit", "Read Audit", nwattr::ReadAudit},
    {AttributeBox::WriteAudit, "chkAttribWriteAudit", "Write Audit", nwattr::WriteAudit},
}};

inline constexpr std::size_t kAttributeBoxCount = kAttributeBoxes.size();
