// Directory services and the bindery of the simulated client: the tree of
// objects the workstation file lists, name contexts, listing buffers, and
// the names behind object IDs.

#include <algorithm>
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

// Objects of a directory server come in pages of this many.
constexpr int kServerPageSize = 500;
// An owner the server has, whose full name would be longer than a name text.
constexpr std::size_t kNameTooLong = static_cast<std::size_t>(-1);

// A value of a directory server as one component of a full name. Characters
// a component cannot hold, and "%" itself, are written as "%" and two hex
// digits: "." (it would split the name), "=", "+", "\\", control characters,
// and every byte of 0x80 and above when the value is not UTF-8. The rule is
// reversible, so two objects never come out under the same name.
std::string componentOfValue(std::string_view value)
{
    const bool utf8 = netnames::isValidUtf8(value);
    return netnames::escapeBytes(value, '%', "0123456789ABCDEF", [utf8](unsigned char byte) {
        return byte < 0x20 || byte == 0x7F || byte == '.' || byte == '=' || byte == '+' || byte == '\\' ||
               byte == '%' || (byte >= 0x80 && !utf8);
    });
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    const char upper = ascii::toUpper(c);
    return upper >= 'A' && upper <= 'F' ? upper - 'A' + 10 : -1;
}

// The value a component stands for: componentOfValue undone.
std::string valueOfComponent(std::string_view component)
{
    std::string value;
    for (std::size_t i = 0; i < component.size(); ++i) {
        if (component[i] == '%' && i + 2 < component.size() && hexDigit(component[i + 1]) >= 0 &&
            hexDigit(component[i + 2]) >= 0) {
            value += static_cast<char>(hexDigit(component[i + 1]) * 16 + hexDigit(component[i + 2]));
            i += 2;
        } else {
            value += component[i];
        }
    }
    return value;
}

bool hasClass(const std::vector<std::string>& classes, std::string_view wanted)
{
    return std::any_of(classes.begin(), classes.end(),
                       [&](const std::string& c) { return ascii::equalsIgnoringCase(c, wanted); });
}

// The class of a server's object by its object classes; a device is what
// the tree shows as a server.
std::string classOfEntry(const std::vector<std::string>& classes)
{
    if (hasClass(classes, "person") || hasClass(classes, "inetOrgPerson") || hasClass(classes, "posixAccount"))
        return "User";
    if (hasClass(classes, "device"))
        return "NCP Server";
    if (hasClass(classes, "organization"))
        return "Organization";
    if (hasClass(classes, "organizationalUnit"))
        return "Organizational Unit";
    if (hasClass(classes, "country"))
        return "Country";
    if (hasClass(classes, "locality"))
        return "Locality";
    for (const std::string& c : classes) {
        if (ascii::equalsIgnoringCase(c, "top") || c.empty() || c.size() > workstation::kMaxClassName)
            continue;
        if (std::all_of(c.begin(), c.end(), [](char k) { return k > 0x20 && k < 0x7F && k != '='; }))
            return c;
    }
    return "Unknown";
}

// The type of a container named by the server's attribute, for the typed
// names of containers that have not been read themselves.
std::string_view typeOfAttribute(std::string_view attribute)
{
    for (std::string_view type : {"O", "OU", "C", "L"})
        if (ascii::equalsIgnoringCase(attribute, type))
            return type;
    return {};
}

}  // namespace

std::optional<std::size_t> SimClient::State::serverObject(const ldaplink::Entry& entry)
{
    if (entry.names.empty())
        return std::nullopt;
    DirObject object;
    std::string fullName;
    for (const ldaplink::Rdn& name : entry.names) {
        object.components.push_back(componentOfValue(name.value));
        if (object.components.back().empty())
            return std::nullopt;
        fullName += (fullName.empty() ? "" : ".") + object.components.back();
    }
    if (fullName.size() > workstation::kMaxFullName)
        return std::nullopt;
    object.className = classOfEntry(entry.objectClasses);
    object.dn = entry.dn;
    const std::string_view ownType = typeOfClass(object.className);
    object.hasSubordinates = entry.hasSubordinates.value_or(ownType != "CN");
    const std::size_t count = object.components.size();
    object.types.assign(count, std::string_view{});
    object.types[0] = ownType;
    std::string tail = ascii::toUpper(object.components[count - 1]);
    for (std::size_t k = count - 1; k >= 1; --k) {
        const auto known = objectByName.find(tail);
        if (known != objectByName.end())
            object.types[k] = typeOfClass(objects[known->second].className);
        else if (const std::string_view type = typeOfAttribute(entry.names[k].type); !type.empty())
            object.types[k] = type;
        else
            object.types[k] = k + 1 == count ? "O" : "OU";
        tail = ascii::toUpper(object.components[k - 1]) + "." + tail;
    }

    const std::string folded = ascii::toUpper(fullName);
    std::size_t index = objects.size();
    if (const auto known = objectByName.find(folded); known != objectByName.end()) {
        index = known->second;
        object.children = std::move(objects[index].children);
        object.listing = std::move(objects[index].listing);
        objects[index] = std::move(object);
    } else {
        objectByName.emplace(folded, index);
        objects.push_back(std::move(object));
    }
    if (entry.uidNumber)
        objectById[*entry.uidNumber] = index;
    return index;
}

NWCCODE SimClient::State::findServerObject(const std::vector<std::string>& components, std::size_t& object)
{
    std::string tail;
    std::string parentDn;
    for (std::size_t k = components.size(); k-- > 0;) {
        tail = tail.empty() ? components[k] : components[k] + "." + tail;
        if (const auto known = objectByName.find(tail); known != objectByName.end()) {
            object = known->second;
            parentDn = objects[object].dn;
            continue;
        }
        ldaplink::Entry entry;
        const ldaplink::Outcome outcome = ldap->findChild(parentDn, {}, valueOfComponent(components[k]), entry);
        if (outcome == ldaplink::Outcome::Failed)
            return nw::kDsErrTransportFailure;
        if (outcome == ldaplink::Outcome::NotFound)
            return nw::kDsErrNoSuchEntry;
        const auto found = serverObject(entry);
        // The server's spelling of a name may differ from the one asked for
        // only in case; any other difference is not this object.
        if (!found || ascii::toUpper(joinDots(objects[*found].components)) != tail)
            return nw::kDsErrNoSuchEntry;
        object = *found;
        parentDn = objects[object].dn;
    }
    return nw::kSuccess;
}

ServerListing& SimClient::State::listingOf(std::optional<std::size_t> container)
{
    return container ? objects[*container].listing : topListing;
}

NWCCODE SimClient::State::readServerPage(std::optional<std::size_t> container)
{
    // Objects are added while the page is read, which may move every object:
    // the container is found again by its index afterwards.
    const std::string dn = container ? objects[*container].dn : std::string();
    ServerListing listing = listingOf(container);
    std::vector<ldaplink::Entry> entries;
    const ldaplink::Outcome outcome = ldap->listPage(dn, kServerPageSize, listing.cookie, entries);
    // Only a page that brought objects and a cookie leads to another: a
    // server that kept sending the same empty page must not hold the tree.
    if (outcome != ldaplink::Outcome::Found || entries.empty())
        listing.cookie.clear();
    listing.pagesLeft = !listing.cookie.empty();
    std::vector<std::size_t> read;
    read.reserve(entries.size());
    for (const ldaplink::Entry& entry : entries) {
        // An object whose full name would not fit a name text is left out.
        if (const auto index = serverObject(entry))
            read.push_back(*index);
    }
    std::vector<std::size_t>& children = container ? objects[*container].children : topObjects;
    children.insert(children.end(), read.begin(), read.end());
    listingOf(container) = std::move(listing);
    return outcome == ldaplink::Outcome::Failed ? nw::kDsErrTransportFailure : nw::kSuccess;
}

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
    NWCCODE code = 0;
    if (m->stops(Operation::DSCreateContextHandle, context != nullptr, code))
        return code;
    m->contexts.emplace_back();
    *context = static_cast<NWDSContextHandle>(m->contexts.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetContext(NWDSContextHandle context, int key, void* value)
{
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
    NWCCODE code = 0;
    const ContextState* state = m->openContext(Operation::DSDuplicateContextHandle, newContext != nullptr, context,
                                               code);
    if (state == nullptr)
        return code;
    ContextState copy = *state;
    m->contexts.push_back(std::move(copy));
    *newContext = static_cast<NWDSContextHandle>(m->contexts.size());
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSAllocBuf(std::size_t size, Buf_T** buffer)
{
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
    std::optional<std::size_t> containerObject;
    if (!container->empty()) {
        auto found = m->objectByName.find(joinDots(*container));
        if (found == m->objectByName.end() && m->ldap) {
            std::size_t object = 0;
            if (const NWCCODE failure = m->findServerObject(*container, object))
                return failure;
            found = m->objectByName.find(joinDots(*container));
        }
        if (found == m->objectByName.end())
            return nw::kDsErrNoSuchEntry;
        containerObject = found->second;
    }
    // Reading a server's objects may move every object: the container's
    // children are found again by its index after each page.
    const auto children = [&]() -> std::vector<std::size_t>& {
        return containerObject ? m->objects[*containerObject].children : m->topObjects;
    };
    const auto morePages = [&] { return m->ldap && m->listingOf(containerObject).pagesLeft; };
    // A server's container is read again at each listing's first portion,
    // then page by page as the portions reach the end of what was read.
    if (m->ldap && *iterationHandle == -1) {
        children().clear();
        m->listingOf(containerObject) = ServerListing();
        if (const NWCCODE failure = m->readServerPage(containerObject))
            return failure;
    }

    std::size_t next = 0;
    if (*iterationHandle != -1) {
        if (*iterationHandle < 1 || static_cast<std::size_t>(*iterationHandle) > children().size() ||
            (static_cast<std::size_t>(*iterationHandle) == children().size() && !morePages()))
            return nw::kDsErrInvalidIteration;
        next = static_cast<std::size_t>(*iterationHandle);
    }
    target.objects.clear();
    target.next = 0;
    target.listed = true;
    std::size_t used = kDsBufferHeader;
    for (;; ++next) {
        if (next == children().size()) {
            if (!morePages())
                break;
            if (const NWCCODE failure = m->readServerPage(containerObject)) {
                target.listed = false;
                return failure;
            }
            if (next == children().size())
                break;
        }
        if (m->portionSize != 0 && target.objects.size() == m->portionSize)
            break;
        const std::size_t cost = kDsObjectOverhead + m->objects[children()[next]].components.front().size();
        if (used + cost > target.size)
            break;
        used += cost;
        target.objects.push_back(ListedObject{children()[next]});
    }
    if (target.objects.empty() && next < children().size())
        return nw::kDsErrInsufficientBuffer;
    *iterationHandle = next < children().size() || morePages() ? static_cast<std::int32_t>(next) : -1;
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, std::uint32_t* count)
{
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
        // A server's container not yet listed has objects below it all the same.
        info->subordinateCount = std::max(static_cast<std::uint32_t>(object.children.size()),
                                          object.hasSubordinates ? 1u : 0u);
        const std::string_view type = object.types.front();
        if (!object.children.empty() || type == "O" || type == "OU" || type == "C" || type == "L")
            info->objectFlags = kDsContainerEntry;
        copyTruncated(object.className, info->baseClass, sizeof info->baseClass);
    }
    return nw::kSuccess;
}

NWCCODE SimClient::NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, std::uint32_t objectId, char* name)
{
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
    std::optional<std::size_t> object;
    if (m->ldap) {
        // Each owner ID is asked of the server once per scan; a failure is
        // not kept, so the next file asks again.
        auto known = m->ownerLookups.find(objectId);
        if (known == m->ownerLookups.end()) {
            ldaplink::Entry entry;
            const ldaplink::Outcome outcome = m->ldap->findByUidNumber(objectId, entry);
            if (outcome == ldaplink::Outcome::Failed)
                return nw::kDsErrTransportFailure;
            std::optional<std::size_t> found;
            // An object whose name would not fit is there all the same: it
            // must not pass for an ID the directory does not know.
            if (outcome == ldaplink::Outcome::Found)
                found = m->serverObject(entry).value_or(kNameTooLong);
            known = m->ownerLookups.emplace(objectId, found).first;
        }
        if (known->second == kNameTooLong)
            return nw::kDsErrInsufficientBuffer;
        object = known->second;
    } else if (const auto found = m->objectById.find(objectId); found != m->objectById.end()) {
        object = found->second;
    }
    if (!object)
        return nw::kDsErrNoSuchEntry;
    if (!copyText(m->objectName(m->objects[*object], *state), name, kNameBufferSize))
        return nw::kDsErrInsufficientBuffer;
    return nw::kSuccess;
}

bool SimClient::directoryFailure(std::string& directory, std::string& reason) const
{
    if (!m->ldap)
        return false;
    directory = m->ws.ldap->uri;
    reason = m->ldap->lastError();
    return true;
}

std::uint64_t SimClient::directoryRequests() const { return m->ldap ? m->ldap->requestsSent() : 0; }

std::uint64_t SimClient::directoryOutages() const { return m->ldap ? m->ldap->outages() : 0; }

void SimClient::setWaitHook(std::function<bool()> hook)
{
    m->waitHook = std::move(hook);
    if (m->ldap)
        m->ldap->setWaitHook(m->waitHook);
}
