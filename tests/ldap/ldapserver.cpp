#include "ldap/ldapserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr const char* kSlapd = "/usr/sbin/slapd";
constexpr const char* kSlapadd = "/usr/sbin/slapadd";

// Runs a program to its end with its output in log; its exit status.
int runProgram(const std::vector<std::string>& arguments, const std::string& log)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool answers(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

std::string person(const std::string& dn, const std::string& cn, int uid)
{
    return "dn: " + dn + "\nobjectClass: inetOrgPerson\nobjectClass: posixAccount\ncn: " + cn + "\nsn: " + cn +
           "\nuid: " + cn + "\nuidNumber: " + std::to_string(uid) + "\ngidNumber: 100\nhomeDirectory: /home/" + cn +
           "\n\n";
}

}  // namespace

int LdapTestServer::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

LdapTestServer::LdapTestServer(int bigCount)
{
    if (::access(kSlapd, X_OK) != 0) {
        ADD_FAILURE() << kSlapd << " is missing: install slapd and ldap-utils (scripts/install-deps.sh)";
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "trawl-slapd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder";
        return;
    }
    m_folder = pattern;
    const std::string& d = m_folder;
    std::filesystem::create_directory(d + "/db");
    const std::string log = d + "/setup.log";

    // The certificate authority and a server certificate for 127.0.0.1.
    m_caFile = d + "/ca.pem";
    writeFile(d + "/ext.cnf", "subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    // Elliptic-curve keys: made in milliseconds, where RSA keys take a while.
    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const auto openssl = [&](std::vector<std::string> arguments, bool withNewKey) {
        arguments.insert(arguments.begin(), "/usr/bin/openssl");
        if (withNewKey)
            arguments.insert(arguments.begin() + 2, newKey.begin(), newKey.end());
        return runProgram(arguments, log);
    };
    const int tls =
        openssl({"req", "-x509", "-keyout", d + "/ca.key", "-out", m_caFile, "-days", "2", "-subj",
                 "/CN=Trawl test CA"},
                true) |
        openssl({"req", "-keyout", d + "/server.key", "-out", d + "/server.csr", "-subj", "/CN=127.0.0.1"}, true) |
        openssl({"x509", "-req", "-in", d + "/server.csr", "-CA", m_caFile, "-CAkey", d + "/ca.key",
                 "-CAcreateserial", "-out", d + "/server.pem", "-days", "2", "-extfile", d + "/ext.cnf"},
                false);
    if (tls != 0)
        ADD_FAILURE() << "openssl could not make the certificates; see " << log;

    // At most 500 objects per search unless paged: a listing of ou=BIG must page.
    m_config = d + "/slapd.conf";
    writeFile(m_config, "include /etc/ldap/schema/core.schema\n"
                        "include /etc/ldap/schema/cosine.schema\n"
                        "include /etc/ldap/schema/nis.schema\n"
                        "include /etc/ldap/schema/inetorgperson.schema\n"
                        "modulepath /usr/lib/ldap\n"
                        "moduleload back_mdb\n"
                        "pidfile " +
                            d +
                            "/slapd.pid\n"
                            "argsfile " +
                            d +
                            "/slapd.args\n"
                            "TLSCACertificateFile " +
                            m_caFile +
                            "\n"
                            "TLSCertificateFile " +
                            d +
                            "/server.pem\n"
                            "TLSCertificateKeyFile " +
                            d +
                            "/server.key\n"
                            "sizelimit size.soft=500 size.hard=500 size.prtotal=unlimited\n"
                            "database mdb\n"
                            "maxsize 104857600\n"
                            "suffix \"" +
                            std::string(kBase) +
                            "\"\n"
                            "rootdn \"cn=admin," +
                            std::string(kBase) +
                            "\"\n"
                            "directory " +
                            d +
                            "/db\n"
                            "access to attrs=userPassword by anonymous auth by * none\n"
                            "access to * by * read\n");

    const std::string base = kBase;
    std::string ldif = "dn: " + base + "\nobjectClass: dcObject\nobjectClass: organization\ndc: acme\no: Acme\n\n";
    ldif += "dn: cn=trawl," + base + "\nobjectClass: person\ncn: trawl\nsn: trawl\nuserPassword: " + kBindPassword +
            "\n\n";
    ldif += "dn: o=ACME," + base + "\nobjectClass: organization\no: ACME\n\n";
    ldif += "dn: ou=SALES,o=ACME," + base + "\nobjectClass: organizationalUnit\nou: SALES\n\n";
    ldif += person("cn=JSMITH,ou=SALES,o=ACME," + base, "JSMITH", 4097);
    ldif += person("cn=MJONES,ou=SALES,o=ACME," + base, "MJONES", 4098);
    ldif += "dn: ou=EAST,ou=SALES,o=ACME," + base + "\nobjectClass: organizationalUnit\nou: EAST\n\n";
    ldif += person("cn=ALEE,ou=EAST,ou=SALES,o=ACME," + base, "ALEE", 4099);
    ldif += "dn: cn=FS1,o=ACME," + base + "\nobjectClass: device\ncn: FS1\n\n";
    ldif += "dn: ou=BIG,o=ACME," + base + "\nobjectClass: organizationalUnit\nou: BIG\n\n";
    for (int i = 0; i < bigCount; ++i) {
        char cn[16];
        std::snprintf(cn, sizeof cn, "U%05d", i);
        ldif += "dn: cn=" + std::string(cn) + ",ou=BIG,o=ACME," + base + "\nobjectClass: person\ncn: " + cn +
                "\nsn: u\n\n";
    }
    // Names a NetWare name cannot hold, and names that are filter syntax.
    const std::string odd = "ou=ODD,o=ACME," + base;
    ldif += "dn: " + odd + "\nobjectClass: organizationalUnit\nou: ODD\n\n";
    ldif += person("cn=A.B," + odd, "A.B", 5001);
    ldif += "dn: cn=P+uid=q," + odd + "\nobjectClass: inetOrgPerson\ncn: P\nsn: P\nuid: q\n\n";
    for (const auto& [unit, value, inner] :
         {std::tuple{"S*", "S*", "IN1"}, std::tuple{"SX", "SX", "IN2"}, std::tuple{"x(y)\\5c", "x(y)\\", "IN3"}}) {
        ldif += "dn: ou=" + std::string(unit) + "," + odd + "\nobjectClass: organizationalUnit\nou: " + value +
                "\n\n";
        ldif += "dn: cn=" + std::string(inner) + ",ou=" + unit + "," + odd + "\nobjectClass: person\ncn: " + inner +
                "\nsn: i\n\n";
    }
    writeFile(d + "/data.ldif", ldif);
    if (runProgram({kSlapadd, "-f", m_config, "-l", d + "/data.ldif", "-q"}, log) != 0)
        ADD_FAILURE() << "slapadd failed; see " << log;

    m_ldapPort = freePort();
    m_ldapsPort = freePort();
    start();
}

LdapTestServer::~LdapTestServer()
{
    stop();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

bool LdapTestServer::start()
{
    if (m_pid > 0 || m_folder.empty())
        return m_pid > 0;
    const std::string urls = ldapUri() + "/ " + ldapsUri() + "/";
    const std::string log = m_folder + "/slapd.log";
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The server goes with the test process, however that ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        // -d 0: in the foreground, so that the process ID is the server's.
        ::execl(kSlapd, kSlapd, "-f", m_config.c_str(), "-h", urls.c_str(), "-d", "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid < 0) {
        ADD_FAILURE() << "cannot start slapd";
        return false;
    }
    m_pid = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (answers(m_ldapPort) && answers(m_ldapsPort))
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "slapd did not start; see " << log;
    stop();
    return false;
}

void LdapTestServer::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGCONT);
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

void LdapTestServer::pause()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGSTOP);
    // The signal is delivered, not yet obeyed, when kill returns: a thread
    // of the server could still answer one request. Wait until it is stopped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
        std::string pid, name, state;
        stat >> pid >> name >> state;
        if (state == "T")
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "slapd did not stop";
}

void LdapTestServer::resume()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGCONT);
}

std::string LdapTestServer::ldapUri() const { return "ldap://127.0.0.1:" + std::to_string(m_ldapPort); }

std::string LdapTestServer::ldapsUri() const { return "ldaps://127.0.0.1:" + std::to_string(m_ldapsPort); }

LdapTestServer& sharedLdapServer()
{
    static LdapTestServer server(10000);
    return server;
}
