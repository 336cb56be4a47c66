#pragma once

// A private OpenLDAP server for the tests: Debian's slapd from a temporary
// slapd.conf in a temporary folder, listening on free loopback ports (ldap://
// with StartTLS, and ldaps://) with a certificate authority and a server
// certificate made here, loaded once with slapadd. It is stopped by its
// process ID and dies with the test process; a system-wide slapd is never
// touched. The organisation below Base (dc=acme,dc=example):
//
//   cn=trawl                     a person to bind as (password kBindPassword)
//   o=ACME
//     ou=SALES                   cn=JSMITH (uidNumber 4097), cn=MJONES (4098)
//       ou=EAST                  cn=ALEE (4099)
//     ou=BIG                     cn=U00000 ... (bigCount persons, paged listing)
//     ou=ODD                     cn=A.B (5001), cn=P+uid=q, and the units S*, SX
//                                and x(y)\ (each holding one person, IN1 to IN3)
//     cn=FS1                     a device: an NCP Server
//
// Everything that fails is a test failure (ADD_FAILURE); running() says
// whether the server answers.

#include <sys/types.h>

#include <string>

class LdapTestServer {
public:
    static constexpr const char* kBase = "dc=acme,dc=example";
    static constexpr const char* kBindDn = "cn=trawl,dc=acme,dc=example";
    static constexpr const char* kBindPassword = "s3cret-Trawl";

    explicit LdapTestServer(int bigCount = 0);
    ~LdapTestServer();
    LdapTestServer(const LdapTestServer&) = delete;
    LdapTestServer& operator=(const LdapTestServer&) = delete;

    bool start();
    void stop();
    // The server stays, but answers nothing (SIGSTOP) until resumed.
    void pause();
    void resume();
    bool running() const { return m_pid > 0; }

    std::string ldapUri() const;   // ldap://127.0.0.1:port
    std::string ldapsUri() const;  // ldaps://127.0.0.1:port
    const std::string& caFile() const { return m_caFile; }
    const std::string& folder() const { return m_folder; }

    // A loopback port nobody listens on (for a server that is down).
    static int freePort();

private:
    std::string m_folder;
    std::string m_caFile;
    std::string m_config;
    int m_ldapPort = 0;
    int m_ldapsPort = 0;
    pid_t m_pid = -1;
};

// One server for the tests that only read, with 10,000 objects in ou=BIG,
// made at its first use and stopped when the test program ends.
LdapTestServer& sharedLdapServer();
