#include "support/core_scriptedclient.h"

#include <algorithm>
#include <cstring>

using testing::_;

namespace {

std::string text(const void* value)
{
    return std::string(static_cast<const char*>(value), ::strnlen(static_cast<const char*>(value), 256));
}

// Copies a text into a fixed client buffer, NUL-terminated, never past its end.
void copyBounded(char* target, std::size_t size, const std::string& source)
{
    const std::size_t length = std::min(source.size(), size - 1);
    std::memcpy(target, source.data(), length);
    target[length] = '\0';
}

}  // namespace

ScriptedClient::ScriptedClient() { installDefaults(); }

int ScriptedClient::count(const std::string& prefix) const
{
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
}

int ScriptedClient::exact(const std::string& call) const
{
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

NWCCODE ScriptedClient::record(const std::string& call)
{
    calls.push_back(call);
    const auto found = failures.find(call);
    return found == failures.end() ? 0 : found->second;
}

void ScriptedClient::installDefaults()
{
    ON_CALL(mock, NWCallsInit(_, _)).WillByDefault([this](void*, void*) { return record("NWCallsInit"); });
    ON_CALL(mock, NWLlocaleconv(_)).WillByDefault([this](LocaleRecord* locale) {
        if (const NWCCODE code = record("NWLlocaleconv"))
            return code;
        *locale = LocaleRecord{};
        locale->codePage = kCodePage;
        locale->countryId = kCountry;
        return NWCCODE{0};
    });
    ON_CALL(mock, NWInitUnicodeTables(_, _)).WillByDefault([this](std::int32_t country, std::int32_t codePage) {
        return record("NWInitUnicodeTables(" + std::to_string(country) + "," + std::to_string(codePage) + ")");
    });
    ON_CALL(mock, NWCCGetPrimConnRef(_)).WillByDefault([this](std::uint32_t* ref) {
        if (const NWCCODE code = record("NWCCGetPrimConnRef"))
            return code;
        *ref = kConnRef;
        return NWCCODE{0};
    });
    ON_CALL(mock, NWCCOpenConnByRef(_, _, _, _))
        .WillByDefault([this](std::uint32_t ref, std::uint32_t state, std::uint32_t reserved, NWCONN_HANDLE* conn) {
            if (const NWCCODE code = record("NWCCOpenConnByRef(" + std::to_string(ref) + "," + std::to_string(state) +
                                            "," + std::to_string(reserved) + ")"))
                return code;
            *conn = kPrimaryConn;
            return NWCCODE{0};
        });
    ON_CALL(mock, NWDSCreateContextHandle(_)).WillByDefault([this](NWDSContextHandle* context) {
        if (const NWCCODE code = record("NWDSCreateContextHandle"))
            return code;
        *context = kMainContext;
        return NWCCODE{0};
    });
    ON_CALL(mock, NWDSGetContext(_, _, _)).WillByDefault([this](NWDSContextHandle context, int key, void* value) {
        if (const NWCCODE code = record("NWDSGetContext(" + std::to_string(context) + "," + std::to_string(key) +
                                        ")"))
            return code;
        if (key == nw::kContextFlags)
            *static_cast<std::uint32_t*>(value) = kInitialFlags;
        else
            copyBounded(static_cast<char*>(value), 256, nameContexts[context]);
        return NWCCODE{0};
    });
    ON_CALL(mock, NWDSSetContext(_, _, _))
        .WillByDefault([this](NWDSContextHandle context, int key, const void* value) {
            const std::string shown = key == nw::kContextFlags
                                          ? std::to_string(*static_cast<const std::uint32_t*>(value))
                                          : text(value);
            if (const NWCCODE code = record("NWDSSetContext(" + std::to_string(context) + "," + std::to_string(key) +
                                            "," + shown + ")"))
                return code;
            if (key == nw::kContextNameContext)
                nameContexts[context] = shown;
            return NWCCODE{0};
        });
    ON_CALL(mock, NWDSDuplicateContextHandle(_, _))
        .WillByDefault([this](NWDSContextHandle context, NWDSContextHandle* copy) {
            if (const NWCCODE code = record("NWDSDuplicateContextHandle(" + std::to_string(context) + ")"))
                return code;
            *copy = kTreeContext;
            nameContexts[kTreeContext] = nameContexts[context];
            return NWCCODE{0};
        });

    ON_CALL(mock, NWParseNetwarePath(_, _, _, _))
        .WillByDefault([this](const char* path, NWCONN_HANDLE* conn, NWDIR_HANDLE* dirHandle, char* volPath) {
            if (const NWCCODE code = record("NWParseNetwarePath(" + std::string(path) + ")"))
                return code;
            const std::string root(path);
            for (const Drive& drive : drives) {
                if (root == std::string(1, drive.letter) + ":\\") {
                    *conn = drive.conn;
                    *dirHandle = 0;
                    copyBounded(volPath, 512, drive.volumePath);
                    return NWCCODE{0};
                }
            }
            return NWCCODE{0x8803};
        });
    ON_CALL(mock, NWGetConnectionInformation(_, _, _))
        .WillByDefault([this](NWCONN_HANDLE conn, int level, ConnectionInfoRecord* info) {
            if (const NWCCODE code = record("NWGetConnectionInformation(" + std::to_string(conn) + "," +
                                            std::to_string(level) + ")"))
                return code;
            for (const Drive& drive : drives) {
                if (drive.conn == conn) {
                    copyBounded(info->serverName, sizeof info->serverName, drive.server);
                    return NWCCODE{0};
                }
            }
            return NWCCODE{0x8801};
        });

    ON_CALL(mock, NWDSAllocBuf(_, _)).WillByDefault([this](std::size_t size, Buf_T** buffer) {
        if (const NWCCODE code = record("NWDSAllocBuf(" + std::to_string(size) + ")"))
            return code;
        ++buffersAllocated;
        *buffer = reinterpret_cast<Buf_T*>(&m_bufferStorage);
        return NWCCODE{0};
    });
    ON_CALL(mock, NWDSFreeBuf(_)).WillByDefault([this](Buf_T* buffer) {
        if (const NWCCODE code = record("NWDSFreeBuf"))
            return code;
        if (buffer == reinterpret_cast<Buf_T*>(&m_bufferStorage))
            ++buffersFreed;
        return NWCCODE{0};
    });
    ON_CALL(mock, NWDSList(_, _, _, _))
        .WillByDefault([this](NWDSContextHandle context, const char* name, std::int32_t* iteration, Buf_T*) {
            if (const NWCCODE code = record("NWDSList(" + std::to_string(context) + "," + std::string(name) + ")")) {
                *iteration = 99;
                return code;
            }
            const std::vector<Object>& objects = directory[nameContexts[context]];
            const std::size_t first = *iteration == -1 ? 0 : static_cast<std::size_t>(*iteration);
            const std::size_t end = std::min(objects.size(), first + std::max<std::size_t>(portionSize, 1));
            m_portion.assign(objects.begin() + static_cast<std::ptrdiff_t>(std::min(first, objects.size())),
                             objects.begin() + static_cast<std::ptrdiff_t>(end));
            m_read = 0;
            *iteration = end >= objects.size() ? -1 : static_cast<std::int32_t>(end);
            return NWCCODE{0};
        });
    ON_CALL(mock, NWDSGetObjectCount(_, _, _))
        .WillByDefault([this](NWDSContextHandle context, Buf_T*, std::uint32_t* count) {
            if (const NWCCODE code = record("NWDSGetObjectCount(" + std::to_string(context) + ")"))
                return code;
            *count = static_cast<std::uint32_t>(m_portion.size());
            return NWCCODE{0};
        });
    ON_CALL(mock, NWDSGetObjectName(_, _, _, _, _))
        .WillByDefault(
            [this](NWDSContextHandle context, Buf_T*, char* name, std::uint32_t* attributes, ObjectInfoRecord* info) {
                if (const NWCCODE code = record("NWDSGetObjectName(" + std::to_string(context) + ")"))
                    return code;
                if (m_read >= m_portion.size())
                    return NWCCODE(-308);
                const Object& object = m_portion[m_read++];
                copyBounded(name, 256, object.name);
                *attributes = 0;
                *info = ObjectInfoRecord{};
                info->subordinateCount = object.subordinates;
                copyBounded(info->baseClass, sizeof info->baseClass, object.className);
                return NWCCODE{0};
            });
}
