// Directory services and the bindery of the simulated client: the tree of
// objects the workstation file lists, name contexts, listing buffers, and
// the names behind object IDs.

#include <cstring>

#include "netclient/netnames.h"
#include "netclient/simclient_state.h"
#include "platform/asciicase.h"

using namespace simclient;
using workstation::Operation;

namespace {

// The directory-services buffer as the listing fills it: a header, then per
// object its name, attribute count and object-information record.
constexpr std::size_t kDsBufferHeader = 8;
constexpr std::size_t kDsObjectOverhead = 4 + 1 + 4 + sizeof(ObjectInfoRecord);
constexpr std::size_t kMinDsBuffer = 64;
constexpr std::size_t kMaxDsBuffer = 65536;

constexpr std::uint32_t kDsContainerEntry = 0x04;
constexpr std::uint16_t kBinderyUserType = 0x0001;

// "CN", "OU", "O", "C", "L" by the object's class.
std::string_view typeOfClass(std::string_view className)
{
    if (ascii::equalsIgnoringCase(className, "Organization"))
        return "O";
    if (ascii::equalsIgnoringCase(className, "Organizational Unit"))
        return "OU";
    if (ascii::equalsIgnoringCase(className, "Country"))
        return "C";
    if (ascii::equalsIgnoringCase(className, "Locality"))
        return "L";
    return "CN";
}

std::vector<std::string_view> splitDots(std::string_view name)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '.') {
            parts.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// "OU=SALES" -> "SALES": the type in front of a component is dropped.
std::string_view withoutType(std::string_view component)
{
    const std::size_t equals = component.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals > 2)
        return component;
    for (std::size_t i = 0; i < equals; ++i) {
        const char c = ascii::toUpper(component[i]);
        if (c < 'A' || c > 'Z')
            return component;
    }
    return component.substr(equals + 1);
}

// Components joined by dots, as the directory's full names are.
std::string joinDots(const std::vector<std::string>& components)
{
    std::string joined;
    for (const std::string& part : components)
        joined += (joined.empty() ? "" : ".") + part;
    return joined;
}

} // namespace

void SimClient::State::installDirectory()
{
    objects.reserve(ws.directory.size());
    for (const workstation::DirectoryObject& entry : ws.directory) {
        DirObject object;
        for (std::string_view part : splitDots(entry.fullName))
            object.components.emplace_back(part);
        object.className = entry.className;
        objectByName.emplace(ascii::toUpper(entry.fullName), objects.size());
        if (entry.id)
            objectById.emplace(*entry.id, objects.size());
        objects.push_back(std::move(object));
    }
    // Types and children once every object is known, whatever the file order.
    for (std::size_t i = 0; i < objects.size(); ++i) {
        DirObject& object = objects[i];
        const std::size_t count = object.components.size();
        std::string tail;
        object.types.assign(count, std::string_view{});
        for (std::size_t k = count; k-- > 0;) {
            tail = tail.empty() ? ascii::toUpper(object.components[k])
                                : ascii::toUpper(object.components[k]) + "." + tail;
            const auto known = objectByName.find(tail);
            if (known != objectByName.end())
                object.types[k] = typeOfClass(objects[known->second].className);
            else
                object.types[k] = k + 1 == count ? "O" : "OU";
            if (k == 1) {
                if (known != objectByName.end())
                    objects[known->second].children.push_back(i);
            }
        }
        if (count == 1)
            topObjects.push_back(i);
    }
}

ContextState* SimClient::State::context(NWDSContextHandle handle)
{
    return handle >= 1 && handle <= contexts.size() ? &contexts[handle - 1] : nullptr;
}

DsBuffer* SimClient::State::buffer(Buf_T* handle)
{
    const auto found = buffers.find(handle);
    return found == buffers.end() ? nullptr : found->second.get();
}

// The opening of an operation on a context: a pointer the caller left out,
// the fault, then the context itself. Null, with the code, when it stops.
ContextState* SimClient::State::openContext(Operation operation, bool argumentsGiven, NWDSContextHandle handle,
                                            NWCCODE& code)
{
    if (stops(operation, argumentsGiven, code))
        return nullptr;
    ContextState* state = context(handle);
    if (state == nullptr)
        code = nw::kDsErrBadContext;
    return state;
}

// The opening of an operation on a listing: a pointer the caller left out,
// then the context, then the buffer, the first refusal winning.
NWCCODE SimClient::State::openListing(bool argumentsGiven, NWDSContextHandle contextHandle, Buf_T* bufferHandle,
                                      Listing& listing)
{
    if (!argumentsGiven)
        return nw::kErrInvalidParameter;
    listing.context = context(contextHandle);
    if (listing.context == nullptr)
        return nw::kDsErrBadContext;
    listing.buffer = buffer(bufferHandle);
    return listing.buffer == nullptr ? nw::kDsErrBadBuffer : nw::kSuccess;
}

NWCCODE SimClient::NWGetObjectName(NWCONN_HANDLE conn, std::uint32_t objectId, char* name, std::uint16_t* objectType)
{
    const State::CallSpan span(*m);
    if (name == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->faultedId(Operation::GetObjectName, objectId, code))
        return code;
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    std::string_view found;
    if (const auto bindery = m->ws.bindery.find(objectId); bindery != m->ws.bindery.end()) {
        found = bindery->second;
    } else {
        auto known = m->hostUsers.find(objectId);
        if (known == m->hostUsers.end()) {
            std::optional<std::string> user = m->hostUserLookup(objectId);
            if (user)
                *user = ascii::toUpper(*user);
            known = m->hostUsers.emplace(objectId, std::move(user)).first;
        }
        if (!known->second || known->second->empty())
            return nw::kErrNoSuchObject;
        found = *known->second;
    }
    if (!copyText(found, name, kNameBufferSize))
        return nw::kErrBufferTooSmall;
    if (objectType != nullptr)
        *objectType = kBinderyUserType;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSCreateContextHandle(NWDSContextHandle* context)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    if (m->stops(Operation::DSCreateContextHandle, context != nullptr, code))
        return code;
    m->contexts.emplace_back();
    *context = static_cast<NWDSContextHandle>(m->contexts.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetContext(NWDSContextHandle context, int key, void* value)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    const ContextState* state = m->openContext(Operation::DSGetContext, value != nullptr, context, code);
    if (state == nullptr)
        return code;
    if (key == nw::kContextFlags) {
        std::memcpy(value, &state->flags, sizeof state->flags);
        return nw::kSuccess;
    }
    if (key == nw::kContextNameContext) {
        copyTruncated(state->nameContext, static_cast<char*>(value), kNameBufferSize);
        return nw::kSuccess;
    }
    return nw::kDsErrBadKey;
}

NWCCODE SimClient::NWDSSetContext(NWDSContextHandle context, int key, const void* value)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    ContextState* state = m->openContext(Operation::DSSetContext, value != nullptr, context, code);
    if (state == nullptr)
        return code;
    if (key == nw::kContextFlags) {
        std::memcpy(&state->flags, value, sizeof state->flags);
        return nw::kSuccess;
    }
    if (key != nw::kContextNameContext)
        return nw::kDsErrBadKey;
    const char* text = static_cast<const char*>(value);
    const std::size_t length = ::strnlen(text, kNameBufferSize);
    if (length >= kNameBufferSize)
        return nw::kDsErrNameTooLong;
    std::string_view name(text, length);
    state->nameContext = std::string(name);
    state->components.clear();
    if (name.empty() || ascii::equalsIgnoringCase(name, kRootName))
        return nw::kSuccess;
    if (name.front() == '.')
        name.remove_prefix(1);
    for (std::string_view part : splitDots(name))
        state->components.push_back(ascii::toUpper(withoutType(part)));
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSDuplicateContextHandle(NWDSContextHandle context, NWDSContextHandle* newContext)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    const ContextState* state =
        m->openContext(Operation::DSDuplicateContextHandle, newContext != nullptr, context, code);
    if (state == nullptr)
        return code;
    ContextState copy = *state;
    m->contexts.push_back(std::move(copy));
    *newContext = static_cast<NWDSContextHandle>(m->contexts.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSAllocBuf(std::size_t size, Buf_T** buffer)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    if (m->stops(Operation::DSAllocBuf, buffer != nullptr, code))
        return code;
    if (size < kMinDsBuffer || size > kMaxDsBuffer)
        return nw::kErrInvalidParameter;
    auto state = std::make_unique<DsBuffer>();
    state->size = size;
    // The caller's handle is the address of our own record; Buf_T stays opaque.
    Buf_T* handle = reinterpret_cast<Buf_T*>(state.get());
    m->buffers.emplace(handle, std::move(state));
    *buffer = handle;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSFreeBuf(Buf_T* buffer)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    if (m->faulted(Operation::DSFreeBuf, "*", code))
        return code;
    if (m->buffers.erase(buffer) == 0)
        return nw::kDsErrBadBuffer;
    return nw::kSuccess;
}

// The components (in capitals, object first) of the container a name stands
// for: the name context itself for "", the name below it otherwise; a leading
// dot names from the top, each trailing dot goes up one level.
std::optional<std::vector<std::string>> SimClient::State::containerOf(const ContextState& context,
                                                                      std::string_view name) const
{
    if (name.empty())
        return context.components;
    std::vector<std::string> result;
    bool absolute = false;
    if (name.front() == '.') {
        absolute = true;
        name.remove_prefix(1);
    }
    std::size_t up = 0;
    while (!name.empty() && name.back() == '.') {
        ++up;
        name.remove_suffix(1);
    }
    if (!name.empty())
        for (std::string_view part : splitDots(name))
            result.push_back(ascii::toUpper(withoutType(part)));
    if (!absolute) {
        if (up > context.components.size())
            return std::nullopt;
        result.insert(result.end(), context.components.begin() + static_cast<std::ptrdiff_t>(up),
                      context.components.end());
    }
    return result;
}

std::string_view SimClient::State::componentName(const DirObject& object, const ContextState& context,
                                                 std::string& out) const
{
    if ((context.flags & nw::kTypelessNames) != 0)
        return object.components.front();
    out.assign(object.types.front());
    out += '=';
    out += object.components.front();
    return out;
}

// The object's name as the context asks for it: typeless or typed, relative
// to the name context. The part the name shares with the name context is
// dropped (at least the object's own component stays); a dot at the end
// stands for each level of the name context above the shared part.
std::string SimClient::State::objectName(const DirObject& object, const ContextState& context) const
{
    const bool typeless = (context.flags & nw::kTypelessNames) != 0;
    const std::size_t count = object.components.size();
    const std::size_t contextCount = context.components.size();
    std::size_t shared = 0;
    while (shared + 1 < count && shared < contextCount &&
           ascii::equalsIgnoringCase(object.components[count - 1 - shared],
                                    context.components[contextCount - 1 - shared]))
        ++shared;
    std::string name;
    for (std::size_t i = 0; i < count - shared; ++i) {
        if (i > 0)
            name += '.';
        if (!typeless) {
            name += object.types[i];
            name += '=';
        }
        name += object.components[i];
    }
    name.append(contextCount - shared, '.');
    return name;
}

NWCCODE SimClient::NWDSList(NWDSContextHandle context, const char* objectName, std::int32_t* iterationHandle,
                            Buf_T* buffer)
{
    const State::CallSpan span(*m);
    Listing listing;
    NWCCODE code = m->openListing(objectName != nullptr && iterationHandle != nullptr, context, buffer, listing);
    if (code != nw::kSuccess)
        return code;
    DsBuffer& target = *listing.buffer;
    const std::string_view name(objectName, ::strnlen(objectName, kNameBufferSize));
    if (name.size() >= kNameBufferSize)
        return nw::kDsErrNameTooLong;
    const auto container = m->containerOf(*listing.context, name);
    if (m->hasFaults(Operation::DSList)) {
        const std::string subject = container && !container->empty() ? joinDots(*container) : kRootName;
        if (m->faulted(Operation::DSList, subject, code))
            return code;
    }
    if (!container)
        return nw::kDsErrNoSuchEntry;
    const std::vector<std::size_t>* children = &m->topObjects;
    if (!container->empty()) {
        const auto found = m->objectByName.find(joinDots(*container));
        if (found == m->objectByName.end())
            return nw::kDsErrNoSuchEntry;
        children = &m->objects[found->second].children;
    }

    std::size_t next = 0;
    if (*iterationHandle != -1) {
        if (*iterationHandle < 1 || static_cast<std::size_t>(*iterationHandle) >= children->size())
            return nw::kDsErrInvalidIteration;
        next = static_cast<std::size_t>(*iterationHandle);
    }
    target.objects.clear();
    target.next = 0;
    target.listed = true;
    std::size_t used = kDsBufferHeader;
    for (; next < children->size(); ++next) {
        if (m->portionSize != 0 && target.objects.size() == m->portionSize)
            break;
        const std::size_t cost = kDsObjectOverhead + m->objects[(*children)[next]].components.front().size();
        if (used + cost > target.size)
            break;
        used += cost;
        target.objects.push_back(ListedObject{(*children)[next]});
    }
    if (target.objects.empty() && next < children->size())
        return nw::kDsErrInsufficientBuffer;
    *iterationHandle = next < children->size() ? static_cast<std::int32_t>(next) : -1;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count)
{
    const State::CallSpan span(*m);
    NWCCODE code = 0;
    if (m->stops(Operation::DSGetObjectCount, count != nullptr, code))
        return code;
    Listing listing;
    code = m->openListing(true, context, buffer, listing);
    if (code != nw::kSuccess)
        return code;
    if (!listing.buffer->listed)
        return nw::kDsErrBufferEmpty;
    *count = static_cast<std::uint32_t>(listing.buffer->objects.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetObjectName(NWDSContextHandle context, Buf_T* buffer, char* name,
                                     std::uint32_t* attributeCount, ObjectInfoRecord* info)
{
    const State::CallSpan span(*m);
    Listing listing;
    NWCCODE code = m->openListing(name != nullptr, context, buffer, listing);
    if (code != nw::kSuccess)
        return code;
    DsBuffer& source = *listing.buffer;
    if (!source.listed || source.next >= source.objects.size())
        return nw::kDsErrBufferEmpty;
    // A failed read still uses up its object, so a reader cannot be held on it.
    const DirObject& object = m->objects[source.objects[source.next++].object];
    if (m->hasFaults(Operation::DSGetObjectName) &&
        m->faulted(Operation::DSGetObjectName, object.components.front(), code))
        return code;
    std::string typed;
    if (!copyText(m->componentName(object, *listing.context, typed), name, kNameBufferSize))
        return nw::kDsErrInsufficientBuffer;
    if (attributeCount != nullptr)
        *attributeCount = 0;  // the listing carries names only
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
        info->subordinateCount = static_cast<std::uint32_t>(object.children.size());
        const std::string_view type = object.types.front();
        if (!object.children.empty() || type == "O" || type == "OU" || type == "C" || type == "L")
            info->objectFlags = kDsContainerEntry;
        copyTruncated(object.className, info->baseClass, sizeof info->baseClass);
    }
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId, char* name)
{
    const State::CallSpan span(*m);
    if (name == nullptr)
        return nw::kErrInvalidParameter;
    NWCCODE code = 0;
    if (m->faultedId(Operation::DSMapIDToName, objectId, code))
        return code;
    const ContextState* state = m->context(context);
    if (state == nullptr)
        return nw::kDsErrBadContext;
    if (!m->validConnection(conn))
        return nw::kErrInvalidConnection;
    const auto found = m->objectById.find(objectId);
    if (found == m->objectById.end())
        return nw::kDsErrNoSuchEntry;
    if (!copyText(m->objectName(m->objects[found->second], *state), name, kNameBufferSize))
        return nw::kDsErrInsufficientBuffer;
    return nw::kSuccess;
}
