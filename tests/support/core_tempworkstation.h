#pragma once

// A simulated NetWare workstation for one test, in a temporary folder that the
// destructor removes. Volumes are host folders below it; files, folders,
// links, times and the extended attributes the client reads are made with the
// helpers below; write() produces workstation.ini and load() a SimClient on it
// (which also points platform::drives() at its drives).
//
//   TempWorkstation ws;
//   const std::string sys = ws.addVolume("FS1", "SYS");      // [Volumes] FS1/SYS=<host folder>
//   ws.mapDrive('F', "FS1/SYS:");                             // [Drives] F=FS1/SYS:
//   ws.addLine("Directory", "JSMITH.ACME=User, 0x1001");
//   const std::string file = ws.makeFile(sys + "/PUBLIC/report.txt", 1200);
//   if (!ws.setOwner(file, 0x1001))
//       GTEST_SKIP() << TempWorkstation::kNoXattrMessage;
//   std::unique_ptr<SimClient> client = ws.load();
//   ASSERT_TRUE(client) << ws.lastError();
//   setNwClient(client.get());  // and back to nullptr before the client goes
//
// Paths given to the helpers are host paths; a relative one is taken from
// root(). A helper that fails reports a test failure (ADD_FAILURE) and goes on.

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "netclient/simclient.h"

class TempWorkstation {
public:
    static constexpr const char* kNoXattrMessage =
        "the temporary folder's file system does not take user extended attributes";

    TempWorkstation();
    ~TempWorkstation();
    TempWorkstation(const TempWorkstation&) = delete;
    TempWorkstation& operator=(const TempWorkstation&) = delete;

    // The temporary folder; workstation.ini is written here.
    const std::string& root() const { return m_root; }

    // Makes <root>/volumes/<server>-<volume> and adds "SERVER/VOLUME=<folder>"
    // to [Volumes]; returns the host folder.
    std::string addVolume(std::string_view server, std::string_view volume);
    // Makes <root>/local/<name>; returns the host folder (map it with mapDrive).
    std::string addLocalFolder(std::string_view name);
    // "[Drives] letter=target": "FS1/SYS:PUBLIC" or a host folder.
    void mapDrive(char letter, std::string_view target);
    // Adds "key=value" (or any line) to a section; sections are written in
    // the order they were first used.
    void addLine(std::string_view section, std::string_view line);
    // Text written after all sections, as it stands.
    void addRawText(std::string_view text);

    // Host files. Parent folders are made as needed; each returns the absolute path.
    std::string makeFolder(std::string_view path);
    // A file of that size (sparse, so 5 GiB costs nothing).
    std::string makeFile(std::string_view path, std::uint64_t size = 0);
    std::string makeSymlink(std::string_view target, std::string_view linkPath);
    void setTimes(std::string_view path, std::time_t accessed, std::time_t modified);
    void setMode(std::string_view path, mode_t mode);

    // Extended attributes; false when the file system refuses user attributes.
    bool xattrsSupported() const;
    bool setXattr(std::string_view path, std::string_view name, std::string_view value);
    bool setOwner(std::string_view path, std::uint32_t objectId);      // user.nw.owner
    bool setAttributes(std::string_view path, std::uint32_t bits);     // user.nw.attributes
    bool setCreated(std::string_view path, std::string_view isoDate);  // user.nw.created

    // The workstation file's text as write() would write it.
    std::string text() const;
    // Writes <root>/workstation.ini; returns its path.
    std::string write();
    // Writes and loads; nullptr (and the reason in lastError()) on failure.
    std::unique_ptr<SimClient> load();
    const std::string& lastError() const { return m_lastError; }

    // A local time (in the TZ in force) as a host time stamp.
    static std::time_t localTime(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);

    std::string absolute(std::string_view path) const;

private:
    std::string m_root;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_sections;
    std::string m_rawText;
    std::string m_lastError;
};

// Sets TZ for the life of the object (and tzset), then puts the old value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_had = false;
    std::string m_old;
};

// Sets (or with nullptr unsets) an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};
