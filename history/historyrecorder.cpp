// One scan recorded and compared with the run before it (see historyrecorder.h).

#include "history/historyrecorder.h"

#include <algorithm>

namespace history {

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

std::uint64_t mix(std::uint64_t hash, std::string_view bytes)
{
    for (const char byte : bytes)
        hash = (hash ^ static_cast<unsigned char>(byte)) * kFnvPrime;
    return hash;
}

std::uint64_t mix(std::uint64_t hash, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i, value >>= 8)
        hash = (hash ^ (value & 0xFF)) * kFnvPrime;
    return hash;
}

}  // namespace

std::uint64_t pathHash(std::string_view path) { return mix(kFnvOffset, path); }

std::uint32_t factsDigest(const FileFacts& facts)
{
    std::uint64_t hash = mix(kFnvOffset, facts.size);
    hash = mix(mix(hash, facts.owner), std::uint64_t{0xFF});
    hash = mix(hash, std::uint64_t{facts.modified} << 32 | facts.created);
    hash = mix(hash, std::uint64_t{facts.attributes});
    return static_cast<std::uint32_t>(hash ^ hash >> 32);
}

std::uint8_t differingFields(const FileFacts& before, const FileFacts& now)
{
    std::uint8_t fields = 0;
    if (before.size != now.size)
        fields |= kChangedSize;
    if (before.owner != now.owner)
        fields |= kChangedOwner;
    if (before.modified != now.modified)
        fields |= kChangedModified;
    if (before.created != now.created)
        fields |= kChangedCreated;
    if (before.attributes != now.attributes)
        fields |= kChangedAttributes;
    return fields;
}

std::string changeText(Change change)
{
    switch (change.kind) {
    case ChangeKind::New:
        return "New";
    case ChangeKind::Same:
        return "Same";
    case ChangeKind::Gone:
        return "Gone";
    case ChangeKind::Changed:
        break;
    }
    std::string text = "Changed: ";
    const std::pair<ChangedField, const char*> names[] = {{kChangedSize, "Size"},
                                                          {kChangedOwner, "Owner"},
                                                          {kChangedModified, "Modified"},
                                                          {kChangedCreated, "Created"},
                                                          {kChangedAttributes, "Attributes"}};
    bool first = true;
    for (const auto& [field, name] : names) {
        if (!(change.fields & field))
            continue;
        if (!first)
            text += '/';
        text += name;
        first = false;
    }
    return text;
}

void Recorder::failed(std::string error)
{
    if (m_error.empty())
        m_error = std::move(error);
}

bool Recorder::begin(RunInfo run, std::string& error)
{
    m_run = std::move(run);
    m_base.reset();
    m_baseFiles.clear();
    m_closed.clear();
    m_new = m_changed = m_gone = 0;
    m_error.clear();
    m_recording = false;
    if (!m_store.latestComplete(m_run.key, m_base, error))
        return false;
    if (m_base) {
        const bool read = m_store.forEachVersion(
            *m_base,
            [&](const Store::VersionDigest& version) {
                m_baseFiles.push_back({version.pathHash, version.id, version.factsDigest, false});
            },
            error);
        if (!read) {
            m_base.reset();
            m_baseFiles.clear();
            return false;
        }
        std::sort(m_baseFiles.begin(), m_baseFiles.end(),
                  [](const BaseFile& a, const BaseFile& b) { return a.pathHash < b.pathHash; });
        m_baseFiles.shrink_to_fit();
    }
    m_recording = m_store.beginRun(m_run, error);
    return m_recording;
}

Recorder::BaseFile* Recorder::findBase(std::uint64_t hash)
{
    const auto found = std::lower_bound(m_baseFiles.begin(), m_baseFiles.end(), hash,
                                        [](const BaseFile& file, std::uint64_t value) { return file.pathHash < value; });
    return found != m_baseFiles.end() && found->pathHash == hash ? &*found : nullptr;
}

Change Recorder::add(std::string_view path, const FileFacts& facts)
{
    Change change;
    BaseFile* known = m_baseFiles.empty() ? nullptr : findBase(pathHash(path));
    if (known != nullptr && !known->seen) {
        known->seen = true;
        if (known->factsDigest == factsDigest(facts)) {
            change.kind = ChangeKind::Same;
            return change;
        }
        std::string error;
        FileFacts before;
        if (!m_store.readVersions({known->version}, [&](std::string_view, const FileFacts& old) { before = old; },
                                  error))
            failed(std::move(error));
        change.kind = ChangeKind::Changed;
        change.fields = differingFields(before, facts);
        m_closed.push_back(known->version);
        ++m_changed;
    } else {
        ++m_new;
    }
    if (m_recording && m_error.empty()) {
        std::string error;
        if (!m_store.stageVersion(NewVersion{std::string(path), facts}, error))
            failed(std::move(error));
    }
    return change;
}

bool Recorder::forEachGone(const FileVisitor& visit, std::string& error)
{
    std::vector<std::int64_t> gone;
    for (const BaseFile& file : m_baseFiles)
        if (!file.seen)
            gone.push_back(file.version);
    std::sort(gone.begin(), gone.end());
    m_gone = static_cast<std::int64_t>(gone.size());
    m_closed.insert(m_closed.end(), gone.begin(), gone.end());
    return m_store.readVersions(gone, visit, error);
}

bool Recorder::finish(bool complete, std::int64_t matches, std::uint64_t bytes, std::string& error)
{
    if (!m_recording) {
        error = m_error;
        return m_error.empty();
    }
    m_recording = false;
    m_run.complete = complete && m_error.empty();
    m_run.matches = matches;
    m_run.bytes = bytes;
    const bool committed = m_store.commitRun(m_run, m_base, m_closed, error);
    if (!m_error.empty()) {
        error = m_error;
        return false;
    }
    return committed;
}

}  // namespace history
