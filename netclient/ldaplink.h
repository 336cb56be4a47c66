#pragma once

// The link to a directory server that speaks LDAP, through OpenLDAP's client
// library: one connection, bound once, opened again after it was lost. Only
// this file's .cpp sees the library; the rest of the client gets plain entries.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ldaplink {

struct Settings {
    std::string uri;       // ldap://host:port or ldaps://host:port
    std::string base;      // the objects directly below it are the top of the tree
    std::string bindDn;    // empty: anonymous
    std::string password;  // never printed or logged
    bool startTls = false;
    std::string caCertFile;  // empty: the library's default
    int timeoutSeconds = 5;
};

// One relative name of a DN: its attribute type and value as the server
// gives them ("ou", "SALES"). A name of several values ("cn=A+uid=b") keeps
// the type of its first and its values joined by "+".
struct Rdn {
    std::string type;
    std::string value;
};

struct Entry {
    std::string dn;          // as the server spelt it
    std::vector<Rdn> names;  // the object's own first, up to the one below Base
    std::vector<std::string> objectClasses;
    std::optional<std::uint32_t> uidNumber;
    std::optional<bool> hasSubordinates;  // when the server tells
};

enum class Outcome : std::uint8_t { Found, NotFound, Failed };

// The value as a search filter may hold it: * ( ) \ and NUL as \2a \28 \29
// \5c \00, so that a name can never widen or break the search it is put in.
std::string escapeFilterValue(std::string_view value);

class Link {
public:
    explicit Link(Settings settings);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Connects, starts TLS when asked, binds. False, with the reason in
    // lastError(), when any of it fails.
    bool open();

    // One page of the objects directly below dn (Base when empty). cookie is
    // empty for the first page and comes back empty after the last one.
    Outcome listPage(std::string_view dn, int pageSize, std::string& cookie, std::vector<Entry>& entries);
    // The object directly below parentDn (Base when empty) whose naming
    // attribute (any of the usual ones when type is empty) has that value.
    Outcome findChild(std::string_view parentDn, std::string_view type, std::string_view value, Entry& entry);
    // The object anywhere below Base with that uidNumber.
    Outcome findByUidNumber(std::uint32_t uid, Entry& entry);

    // Why the last operation failed: the library's text for it.
    const std::string& lastError() const { return m_lastError; }
    const Settings& settings() const { return m_settings; }

private:
    struct Handle;
    Outcome search(std::string_view base, int scope, const std::string& filter, int sizeLimit,
                   std::vector<Entry>& entries, std::string* cookie, int pageSize);
    Outcome searchOnce(std::string_view base, int scope, const std::string& filter, int sizeLimit,
                       std::vector<Entry>& entries, std::string* cookie, int pageSize);
    bool ensureOpen();
    void drop();

    Settings m_settings;
    std::unique_ptr<Handle> m_handle;
    std::string m_lastError;
};

}  // namespace ldaplink
