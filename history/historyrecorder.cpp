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

bool RunIndex::read(Store& store, const RunInfo& run, std::string& error)
{
    clear();
    m_changed.clear();
    const bool read = store.forEachVersion(
        run,
        [&](const Store::VersionDigest& version) {
            m_entries.push_back({version.pathHash, version.id, version.factsDigest, false});
        },
        error);
    if (!read) {
        clear();
        return false;
    }
    std::sort(m_entries.begin(), m_entries.end(),
              [](const Entry& a, const Entry& b) { return a.pathHash < b.pathHash; });
    m_entries.shrink_to_fit();
    return true;
}

Change RunIndex::compare(Store& store, std::string_view path, const FileFacts& facts, std::string& error)
{
    Change change;
    if (m_entries.empty())
        return change;
    const std::uint64_t hash = pathHash(path);
    const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), hash,
                                        [](const Entry& entry, std::uint64_t value) { return entry.pathHash < value; });
    if (found == m_entries.end() || found->pathHash != hash || found->met)
        return change;
    found->met = true;
    if (found->factsDigest == factsDigest(facts)) {
        change.kind = ChangeKind::Same;
        return change;
    }
    FileFacts before;
    store.readVersions({found->version}, [&](std::string_view, const FileFacts& old) { before = old; }, error);
    change.kind = ChangeKind::Changed;
    change.fields = differingFields(before, facts);
    m_changed.push_back(found->version);
    return change;
}

std::vector<std::int64_t> RunIndex::unmet() const
{
    std::vector<std::int64_t> versions;
    for (const Entry& entry : m_entries)
        if (!entry.met)
            versions.push_back(entry.version);
    std::sort(versions.begin(), versions.end());
    return versions;
}

bool compareRuns(Store& store, const RunInfo& earlier, const RunInfo& later,
                 const std::function<void(std::string_view path, const FileFacts& facts, Change change)>& visit,
                 std::string& error)
{
    RunIndex index;
    if (!index.read(store, earlier, error))
        return false;
    std::string failure;
    const bool read = store.forEachFile(
        later,
        [&](std::string_view path, const FileFacts& facts) {
            const Change change = index.compare(store, path, facts, failure);
            if (change.kind != ChangeKind::Same)
                visit(path, facts, change);
        },
        error);
    if (!read)
        return false;
    if (!failure.empty()) {
        error = failure;
        return false;
    }
    return store.readVersions(
        index.unmet(), [&](std::string_view path, const FileFacts& facts) { visit(path, facts, {ChangeKind::Gone, 0}); },
        error);
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
    if (m_base && !m_baseFiles.read(m_store, *m_base, error)) {
        m_base.reset();
        return false;
    }
    m_recording = m_store.beginRun(m_run, error);
    return m_recording;
}

Change Recorder::add(std::string_view path, const FileFacts& facts)
{
    std::string error;
    const Change change = m_baseFiles.compare(m_store, path, facts, error);
    if (!error.empty())
        failed(std::move(error));
    if (change.kind == ChangeKind::Same)
        return change;
    if (change.kind == ChangeKind::Changed)
        ++m_changed;
    else
        ++m_new;
    if (m_recording && m_error.empty() && !m_store.stageVersion(NewVersion{std::string(path), facts}, error))
        failed(std::move(error));
    return change;
}

bool Recorder::forEachGone(const FileVisitor& visit, std::string& error)
{
    const std::vector<std::int64_t> gone = m_baseFiles.unmet();
    m_gone = static_cast<std::int64_t>(gone.size());
    m_closed = gone;
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
    std::vector<std::int64_t> closed = m_baseFiles.changed();
    closed.insert(closed.end(), m_closed.begin(), m_closed.end());
    const bool committed = m_store.commitRun(m_run, m_base, closed, error);
    if (!m_error.empty()) {
        error = m_error;
        return false;
    }
    return committed;
}

}  // namespace history
