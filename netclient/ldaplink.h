#pragma once

// The link to a directory server that speaks LDAP, through OpenLDAP's client
// library: one connection, bound once, opened again after it was lost, on a
// thread of its own. Only this file's .cpp sees the library; the rest of the
// client gets plain entries.

#include <chrono>
#include <cstdint>
#include <functional>
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

// One connection to the server, bound once, opened again after it was lost.
// Every call waits for the server (up to Timeout for each step): a Session is
// used on its Link's own thread only.
class Session {
public:
    explicit Session(Settings settings);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

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
    // False once the connection was lost or could not be opened.
    bool connected() const { return m_handle != nullptr; }

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
    bool m_timedOut = false;  // the last search waited its whole Timeout
};

// What the client holds of a directory server: a Session on a thread of its
// own, so that the caller's thread never blocks on the server. A call hands
// its request to that thread and waits for the answer, calling the wait hook
// about every 20 ms; the hook keeps a window painting, and ends the wait by
// returning false (a Stop). A server that failed (the connection lost, a
// request timed out or given up) is left alone for a back-off of three times
// Timeout (or until tryAgain): calls in it fail at once with the reason of
// the failure, then one call tries the server again. A request the caller gave up on goes on on the
// link's thread until the server answers or Timeout passes; calls meanwhile
// fail at once.
class Link {
public:
    // Called while a call waits; false gives the wait up.
    using WaitHook = std::function<bool()>;

    explicit Link(Settings settings);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    void setWaitHook(WaitHook hook) { m_waitHook = std::move(hook); }
    // Ends a back-off: the next call asks the server.
    void tryAgain() { m_quietUntil = {}; }

    // As Session's, each run on the link's thread.
    bool open();
    Outcome listPage(std::string_view dn, int pageSize, std::string& cookie, std::vector<Entry>& entries);
    Outcome findChild(std::string_view parentDn, std::string_view type, std::string_view value, Entry& entry);
    Outcome findByUidNumber(std::uint32_t uid, Entry& entry);

    // Why the last call failed.
    const std::string& lastError() const { return m_lastError; }
    // Calls made to the server, not those the back-off answered.
    std::uint64_t requestsSent() const { return m_requestsSent; }
    // How many times the server stopped answering (it had answered, or had
    // not been asked, before).
    std::uint64_t outages() const { return m_outages; }

private:
    struct Worker;
    using Work = std::function<Outcome(Session&)>;
    Outcome run(Work work);
    void backOff();

    Settings m_settings;
    std::shared_ptr<Worker> m_worker;
    WaitHook m_waitHook;
    std::string m_lastError;
    std::chrono::steady_clock::time_point m_quietUntil{};
    std::uint64_t m_requestsSent = 0;
    std::uint64_t m_outages = 0;
    bool m_answering = true;
};

}  // namespace ldaplink
