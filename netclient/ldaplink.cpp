// The link to an LDAP directory server through OpenLDAP's client library
// (see ldaplink.h).

#include "netclient/ldaplink.h"

#include <ldap.h>
#include <sys/time.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <thread>

#include "netclient/netnames.h"
#include "platform/threadsafety.h"

namespace ldaplink {

namespace {

// The attributes every search asks for; hasSubordinates is operational and
// comes only when named.
char kObjectClass[] = "objectClass";
char kUidNumber[] = "uidNumber";
char kHasSubordinates[] = "hasSubordinates";
char* kAttributes[] = {kObjectClass, kUidNumber, kHasSubordinates, nullptr};
char kNoAttribute[] = LDAP_NO_ATTRS;
char* kNoAttributes[] = {kNoAttribute, nullptr};

// The naming attributes a typeless name may stand for.
constexpr std::string_view kNamingTypes[] = {"cn", "ou", "o", "c", "l", "dc", "uid"};

bool connectionLost(int code)
{
    return code == LDAP_SERVER_DOWN || code == LDAP_TIMEOUT || code == LDAP_CONNECT_ERROR ||
           code == LDAP_UNAVAILABLE || code == LDAP_BUSY;
}

std::string textOf(const berval& value) { return std::string(value.bv_val, value.bv_len); }

struct DnFree {
    void operator()(LDAPDN dn) const { ldap_dnfree(dn); }
};
using ParsedDn = std::unique_ptr<LDAPRDN, DnFree>;

ParsedDn parseDn(const char* text)
{
    LDAPDN dn = nullptr;
    if (ldap_str2dn(text, &dn, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS)
        return nullptr;
    return ParsedDn(dn);
}

std::size_t rdnCount(LDAPDN dn)
{
    std::size_t count = 0;
    while (dn != nullptr && dn[count] != nullptr)
        ++count;
    return count;
}

std::optional<std::uint32_t> parseUid(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::string escapeFilterValue(std::string_view value)
{
    return netnames::escapeBytes(value, '\\', "0123456789abcdef", [](unsigned char byte) {
        return byte == '*' || byte == '(' || byte == ')' || byte == '\\' || byte == '\0';
    });
}

struct Session::Handle {
    LDAP* ld = nullptr;
    std::size_t baseNames = 0;
    ~Handle()
    {
        if (ld != nullptr)
            ldap_unbind_ext_s(ld, nullptr, nullptr);
    }
};

Session::Session(Settings settings) : m_settings(std::move(settings)) {}

Session::~Session() = default;

void Session::drop() { m_handle.reset(); }

bool Session::open()
{
    drop();
    auto handle = std::make_unique<Handle>();
    const auto fail = [&](std::string_view step, int code) {
        m_lastError = std::string(step) + ": " + ldap_err2string(code);
        char* diagnostic = nullptr;
        if (handle->ld != nullptr && ldap_get_option(handle->ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == 0 &&
            diagnostic != nullptr) {
            // GnuTLS failures come without a text of their own: "(unknown error code)".
            if (*diagnostic != '\0' && *diagnostic != '(')
                m_lastError += std::string(" (") + diagnostic + ")";
            ldap_memfree(diagnostic);
        }
        return false;
    };

    const ParsedDn base = parseDn(m_settings.base.c_str());
    if (!base && !m_settings.base.empty()) {
        m_lastError = "Base is not a DN";
        return false;
    }
    handle->baseNames = rdnCount(base.get());

    int code = ldap_initialize(&handle->ld, m_settings.uri.c_str());
    if (code != LDAP_SUCCESS || handle->ld == nullptr)
        return fail("not an LDAP URI", code);
    const int version = LDAP_VERSION3;
    ldap_set_option(handle->ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    const timeval timeout{m_settings.timeoutSeconds, 0};
    ldap_set_option(handle->ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(handle->ld, LDAP_OPT_TIMEOUT, &timeout);
    ldap_set_option(handle->ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const int never = LDAP_DEREF_NEVER;
    ldap_set_option(handle->ld, LDAP_OPT_DEREF, &never);
    // The server's certificate is always checked; a certificate authority of
    // our own goes into a TLS context of this handle only.
    const int demand = LDAP_OPT_X_TLS_DEMAND;
    ldap_set_option(handle->ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
    if (!m_settings.caCertFile.empty())
        ldap_set_option(handle->ld, LDAP_OPT_X_TLS_CACERTFILE, m_settings.caCertFile.c_str());
    const int isServer = 0;
    ldap_set_option(handle->ld, LDAP_OPT_X_TLS_NEWCTX, &isServer);

    if (m_settings.startTls) {
        code = ldap_start_tls_s(handle->ld, nullptr, nullptr);
        if (code != LDAP_SUCCESS)
            return fail("StartTLS", code);
    }
    // A simple bind, anonymous without a DN: it is also what reaches the
    // server, so an address nobody answers on fails here, at the start.
    berval credentials{};
    credentials.bv_val = m_settings.bindDn.empty() ? nullptr : m_settings.password.data();
    credentials.bv_len = m_settings.bindDn.empty() ? 0 : m_settings.password.size();
    code = ldap_sasl_bind_s(handle->ld, m_settings.bindDn.empty() ? "" : m_settings.bindDn.c_str(), LDAP_SASL_SIMPLE,
                            &credentials, nullptr, nullptr, nullptr);
    if (code != LDAP_SUCCESS)
        return fail("bind", code);
    // A Base the server does not have would make an empty tree and every
    // owner unknown to the directory: it stops the start instead.
    timeval searchTimeout = timeout;
    LDAPMessage* result = nullptr;
    code = ldap_search_ext_s(handle->ld, m_settings.base.c_str(), LDAP_SCOPE_BASE, "(objectClass=*)", kNoAttributes,
                             0, nullptr, nullptr, &searchTimeout, 1, &result);
    if (result != nullptr)
        ldap_msgfree(result);
    if (code != LDAP_SUCCESS)
        return fail("Base " + m_settings.base, code);
    m_handle = std::move(handle);
    m_lastError.clear();
    return true;
}

bool Session::ensureOpen() { return m_handle != nullptr || open(); }

Outcome Session::search(std::string_view base, int scope, const std::string& filter, int sizeLimit,
                     std::vector<Entry>& entries, std::string* cookie, int pageSize)
{
    // A connection kept from before may have been closed by a server that
    // has restarted since: such a request is sent once more on a new one.
    // Not after a Timeout: a server that holds the connection without
    // answering would only make the caller wait twice.
    const bool fresh = m_handle == nullptr;
    if (!ensureOpen())
        return Outcome::Failed;
    m_timedOut = false;
    const Outcome outcome = searchOnce(base, scope, filter, sizeLimit, entries, cookie, pageSize);
    if (outcome != Outcome::Failed || fresh || m_timedOut || m_handle != nullptr ||
        (cookie != nullptr && !cookie->empty()))
        return outcome;
    if (!open())
        return Outcome::Failed;
    return searchOnce(base, scope, filter, sizeLimit, entries, cookie, pageSize);
}

Outcome Session::searchOnce(std::string_view base, int scope, const std::string& filter, int sizeLimit,
                         std::vector<Entry>& entries, std::string* cookie, int pageSize)
{
    LDAP* ld = m_handle->ld;
    const std::string searchBase(base.empty() ? std::string_view(m_settings.base) : base);

    LDAPControl* page = nullptr;
    if (cookie != nullptr) {
        berval pageCookie{};
        pageCookie.bv_val = cookie->data();
        pageCookie.bv_len = cookie->size();
        const int code = ldap_create_page_control(ld, pageSize, cookie->empty() ? nullptr : &pageCookie, 1, &page);
        if (code != LDAP_SUCCESS) {
            m_lastError = std::string("paged results: ") + ldap_err2string(code);
            return Outcome::Failed;
        }
    }
    LDAPControl* controls[] = {page, nullptr};
    timeval timeout{m_settings.timeoutSeconds, 0};
    LDAPMessage* result = nullptr;
    int code = ldap_search_ext_s(ld, searchBase.c_str(), scope, filter.c_str(), kAttributes, 0,
                                 page != nullptr ? controls : nullptr, nullptr, &timeout, sizeLimit, &result);
    if (page != nullptr)
        ldap_control_free(page);
    const auto finish = [&](Outcome outcome) {
        if (result != nullptr)
            ldap_msgfree(result);
        return outcome;
    };
    if (code == LDAP_NO_SUCH_OBJECT)
        return finish(Outcome::NotFound);
    // A lookup that asks for one object and finds more takes the first.
    if (code == LDAP_SIZELIMIT_EXCEEDED && sizeLimit > 0)
        code = LDAP_SUCCESS;
    if (code != LDAP_SUCCESS) {
        m_lastError = ldap_err2string(code);
        m_timedOut = code == LDAP_TIMEOUT;
        // A connection that failed is opened again by the next request.
        if (connectionLost(code))
            drop();
        return finish(Outcome::Failed);
    }

    for (LDAPMessage* message = ldap_first_entry(ld, result); message != nullptr;
         message = ldap_next_entry(ld, message)) {
        char* dnText = ldap_get_dn(ld, message);
        if (dnText == nullptr)
            continue;
        Entry entry;
        entry.dn = dnText;
        const ParsedDn dn = parseDn(dnText);
        ldap_memfree(dnText);
        const std::size_t count = rdnCount(dn.get());
        if (!dn || count <= m_handle->baseNames)
            continue;
        for (std::size_t i = 0; i + m_handle->baseNames < count; ++i) {
            Rdn name;
            for (std::size_t k = 0; dn.get()[i][k] != nullptr; ++k) {
                const LDAPAVA* ava = dn.get()[i][k];
                if (k == 0)
                    name.type = textOf(ava->la_attr);
                else
                    name.value += '+';
                name.value += textOf(ava->la_value);
            }
            entry.names.push_back(std::move(name));
        }
        if (berval** values = ldap_get_values_len(ld, message, kObjectClass)) {
            for (std::size_t i = 0; values[i] != nullptr; ++i)
                entry.objectClasses.push_back(textOf(*values[i]));
            ldap_value_free_len(values);
        }
        if (berval** values = ldap_get_values_len(ld, message, kUidNumber)) {
            if (values[0] != nullptr)
                entry.uidNumber = parseUid(textOf(*values[0]));
            ldap_value_free_len(values);
        }
        if (berval** values = ldap_get_values_len(ld, message, kHasSubordinates)) {
            if (values[0] != nullptr)
                entry.hasSubordinates = textOf(*values[0]) == "TRUE";
            ldap_value_free_len(values);
        }
        entries.push_back(std::move(entry));
    }

    if (cookie != nullptr) {
        cookie->clear();
        LDAPControl** answered = nullptr;
        int resultCode = 0;
        if (ldap_parse_result(ld, result, &resultCode, nullptr, nullptr, nullptr, &answered, 0) == LDAP_SUCCESS &&
            answered != nullptr) {
            if (LDAPControl* control = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, answered, nullptr)) {
                ber_int_t estimate = 0;
                berval next{};
                if (ldap_parse_pageresponse_control(ld, control, &estimate, &next) == LDAP_SUCCESS &&
                    next.bv_val != nullptr) {
                    cookie->assign(next.bv_val, next.bv_len);
                    ber_memfree(next.bv_val);
                }
            }
            ldap_controls_free(answered);
        }
    }
    return finish(entries.empty() ? Outcome::NotFound : Outcome::Found);
}

Outcome Session::listPage(std::string_view dn, int pageSize, std::string& cookie, std::vector<Entry>& entries)
{
    const Outcome outcome = search(dn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", 0, entries, &cookie, pageSize);
    return outcome == Outcome::NotFound && cookie.empty() ? Outcome::Found : outcome;
}

Outcome Session::findChild(std::string_view parentDn, std::string_view type, std::string_view value, Entry& entry)
{
    const std::string escaped = escapeFilterValue(value);
    std::string filter;
    if (!type.empty()) {
        filter = "(" + std::string(type) + "=" + escaped + ")";
    } else {
        filter = "(|";
        for (std::string_view naming : kNamingTypes)
            filter += "(" + std::string(naming) + "=" + escaped + ")";
        filter += ")";
    }
    std::vector<Entry> found;
    const Outcome outcome = search(parentDn, LDAP_SCOPE_ONELEVEL, filter, 0, found, nullptr, 0);
    if (outcome != Outcome::Found)
        return outcome;
    // The filter matches any value of the attribute; the object wanted is the
    // one named by it.
    for (Entry& candidate : found) {
        const std::string& own = candidate.names.front().value;
        if (own.size() == value.size() && std::equal(own.begin(), own.end(), value.begin(), [](char a, char b) {
                return (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
            })) {
            entry = std::move(candidate);
            return Outcome::Found;
        }
    }
    return Outcome::NotFound;
}

Outcome Session::findByUidNumber(std::uint32_t uid, Entry& entry)
{
    std::vector<Entry> found;
    const Outcome outcome = search({}, LDAP_SCOPE_SUBTREE, "(uidNumber=" + std::to_string(uid) + ")", 1, found,
                                   nullptr, 0);
    if (outcome == Outcome::Found)
        entry = std::move(found.front());
    return outcome;
}

// The link's thread and the one request it may hold. A request's answer is
// written by the thread and read by the caller only after `done`, both under
// the mutex; a request the caller gave up on is finished and dropped.
struct Link::Worker {
    struct Request {
        Work work;
        Outcome outcome = Outcome::Failed;
        std::string error;
        bool lost = false;
        bool done = false;
    };

    explicit Worker(Settings settings) : session(std::move(settings)) {}

    void serve() TRAWL_EXCLUDES(mutex)
    {
        platform::UniqueLock lock(mutex);
        for (;;) {
            lock.wait(wake, [&]() TRAWL_REQUIRES(mutex) { return quit || (request && !request->done); });
            if (quit)
                return;
            const std::shared_ptr<Request> current = request;
            Work work = std::move(current->work);
            Outcome outcome = Outcome::Failed;
            {
                platform::MutexUnlock unlocked(mutex);
                outcome = work(session);
            }
            current->outcome = outcome;
            current->error = outcome == Outcome::Failed ? session.lastError() : std::string();
            current->lost = !session.connected();
            current->done = true;
            answered.notify_all();
        }
    }

    Session session;  // the thread's alone
    platform::Mutex mutex;
    std::condition_variable wake;
    std::condition_variable answered;
    std::shared_ptr<Request> request TRAWL_GUARDED_BY(mutex);
    bool quit TRAWL_GUARDED_BY(mutex) = false;
    std::thread thread;
};

Link::Link(Settings settings) : m_settings(settings), m_worker(std::make_shared<Worker>(std::move(settings)))
{
    // The thread holds the worker too: a request still on its way when the
    // link goes keeps what it works on until it is answered.
    m_worker->thread = std::thread([worker = m_worker] { worker->serve(); });
}

Link::~Link()
{
    Worker& worker = *m_worker;
    bool waiting = false;
    {
        platform::MutexLock lock(worker.mutex);
        worker.quit = true;
        waiting = worker.request && !worker.request->done;
        worker.wake.notify_all();
    }
    // A thread still held by a server that does not answer is not waited
    // for: it ends by itself once the server answers or Timeout passes.
    if (waiting)
        worker.thread.detach();
    else
        worker.thread.join();
}

void Link::backOff()
{
    if (m_answering)
        ++m_outages;
    m_answering = false;
    m_quietUntil = std::chrono::steady_clock::now() + std::chrono::seconds(3 * std::max(1, m_settings.timeoutSeconds));
}

Outcome Link::run(Work work)
{
    if (std::chrono::steady_clock::now() < m_quietUntil)
        return Outcome::Failed;  // m_lastError still tells why
    auto request = std::make_shared<Worker::Request>();
    request->work = std::move(work);
    Worker& worker = *m_worker;
    platform::UniqueLock lock(worker.mutex);
    if (worker.request && !worker.request->done) {
        m_lastError = "no answer yet to an earlier request";
        return Outcome::Failed;
    }
    worker.request = request;
    worker.wake.notify_all();
    ++m_requestsSent;
    while (!lock.waitFor(worker.answered, std::chrono::milliseconds(20), [&] { return request->done; })) {
        if (!m_waitHook)
            continue;
        bool goOn = true;
        {
            platform::MutexUnlock unlocked(worker.mutex);
            goOn = m_waitHook();
        }
        if (!goOn && !request->done) {
            m_lastError = "no answer; waiting was given up";
            backOff();
            return Outcome::Failed;
        }
    }
    if (request->outcome == Outcome::Failed) {
        m_lastError = request->error;
        if (request->lost)
            backOff();
    } else {
        m_answering = true;
        m_quietUntil = {};
    }
    return request->outcome;
}

bool Link::open()
{
    return run([](Session& session) { return session.open() ? Outcome::Found : Outcome::Failed; }) ==
           Outcome::Found;
}

Outcome Link::listPage(std::string_view dn, int pageSize, std::string& cookie, std::vector<Entry>& entries)
{
    // What the request reads and fills is its own: a request given up on
    // may still be answered after this call has returned.
    auto answer = std::make_shared<std::pair<std::string, std::vector<Entry>>>(cookie, std::vector<Entry>{});
    const Outcome outcome = run([answer, dn = std::string(dn), pageSize](Session& session) {
        return session.listPage(dn, pageSize, answer->first, answer->second);
    });
    if (outcome != Outcome::Failed) {
        cookie = std::move(answer->first);
        std::move(answer->second.begin(), answer->second.end(), std::back_inserter(entries));
    }
    return outcome;
}

Outcome Link::findChild(std::string_view parentDn, std::string_view type, std::string_view value, Entry& entry)
{
    auto answer = std::make_shared<Entry>();
    const Outcome outcome =
        run([answer, parentDn = std::string(parentDn), type = std::string(type), value = std::string(value)](
                Session& session) { return session.findChild(parentDn, type, value, *answer); });
    if (outcome == Outcome::Found)
        entry = std::move(*answer);
    return outcome;
}

Outcome Link::findByUidNumber(std::uint32_t uid, Entry& entry)
{
    auto answer = std::make_shared<Entry>();
    const Outcome outcome = run([answer, uid](Session& session) { return session.findByUidNumber(uid, *answer); });
    if (outcome == Outcome::Found)
        entry = std::move(*answer);
    return outcome;
}

}  // namespace ldaplink
