#pragma once
// A SQLite VFS over the default one that fails on request, so the tests can
// meet a full disk, a read-only file or an unreadable file without root and
// without filling a real disk. Registered under a name; a database opened
// with ?vfs=<name> goes through it. The program's SQL driver links the same
// libsqlite3, so it sees the registration (openedFiles() proves it).
#include <sqlite3.h>

#include <cstring>

namespace testing {

class FailingVfs {
public:
    // Settings, read at each call; change them any time.
    struct Faults {
        long long writableBytes = -1; // bytes written before every write fails with SQLITE_FULL; -1: no limit
        bool mainFileReadOnly = false; // the database file opens as a file without write permission
        bool mainFileUnopenable = false; // the database file cannot be opened at all
    };

    static FailingVfs& instance()
    {
        static FailingVfs vfs;
        return vfs;
    }
    static const char* name() { return "horutea-failing"; }

    Faults faults;
    int openedFiles() const { return m_opened; }
    int refusedWrites() const { return m_refusedWrites; }
    void reset()
    {
        faults = {};
        m_refusedWrites = 0;
    }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real; // follows this struct in the same allocation
    };

    FailingVfs()
    {
        m_real = sqlite3_vfs_find(nullptr);
        std::memset(&m_vfs, 0, sizeof m_vfs);
        m_vfs = *m_real;
        m_vfs.zName = name();
        m_vfs.szOsFile = int(sizeof(File)) + m_real->szOsFile;
        m_vfs.pAppData = this;
        m_vfs.xOpen = &FailingVfs::open;
        m_vfs.pNext = nullptr;

        std::memset(&m_methods, 0, sizeof m_methods);
        m_methods.iVersion = 3;
        m_methods.xClose = [](sqlite3_file* f) {
            sqlite3_file* real = real_(f);
            const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
            return rc;
        };
        m_methods.xRead = [](sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
            return real_(f)->pMethods->xRead(real_(f), buffer, amount, offset);
        };
        m_methods.xWrite = [](sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
            FailingVfs& self = instance();
            if (self.faults.writableBytes >= 0) {
                if (self.faults.writableBytes < amount) {
                    ++self.m_refusedWrites;
                    return SQLITE_FULL;
                }
                self.faults.writableBytes -= amount;
            }
            return real_(f)->pMethods->xWrite(real_(f), buffer, amount, offset);
        };
        m_methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) { return real_(f)->pMethods->xTruncate(real_(f), size); };
        m_methods.xSync = [](sqlite3_file* f, int flags) { return real_(f)->pMethods->xSync(real_(f), flags); };
        m_methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) { return real_(f)->pMethods->xFileSize(real_(f), size); };
        m_methods.xLock = [](sqlite3_file* f, int lock) { return real_(f)->pMethods->xLock(real_(f), lock); };
        m_methods.xUnlock = [](sqlite3_file* f, int lock) { return real_(f)->pMethods->xUnlock(real_(f), lock); };
        m_methods.xCheckReservedLock = [](sqlite3_file* f, int* out) {
            return real_(f)->pMethods->xCheckReservedLock(real_(f), out);
        };
        m_methods.xFileControl = [](sqlite3_file* f, int op, void* arg) {
            return real_(f)->pMethods->xFileControl(real_(f), op, arg);
        };
        m_methods.xSectorSize = [](sqlite3_file* f) { return real_(f)->pMethods->xSectorSize(real_(f)); };
        m_methods.xDeviceCharacteristics = [](sqlite3_file* f) {
            return real_(f)->pMethods->xDeviceCharacteristics(real_(f));
        };
        m_methods.xShmMap = [](sqlite3_file* f, int page, int size, int extend, void volatile** out) {
            return real_(f)->pMethods->xShmMap(real_(f), page, size, extend, out);
        };
        m_methods.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
            return real_(f)->pMethods->xShmLock(real_(f), offset, n, flags);
        };
        m_methods.xShmBarrier = [](sqlite3_file* f) { real_(f)->pMethods->xShmBarrier(real_(f)); };
        m_methods.xShmUnmap = [](sqlite3_file* f, int deleteFlag) { return real_(f)->pMethods->xShmUnmap(real_(f), deleteFlag); };
        m_methods.xFetch = [](sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
            return real_(f)->pMethods->xFetch(real_(f), offset, amount, out);
        };
        m_methods.xUnfetch = [](sqlite3_file* f, sqlite3_int64 offset, void* p) {
            return real_(f)->pMethods->xUnfetch(real_(f), offset, p);
        };
        sqlite3_vfs_register(&m_vfs, 0);
    }

    static sqlite3_file* real_(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int open(sqlite3_vfs* vfs, const char* path, sqlite3_file* f, int flags, int* outFlags)
    {
        FailingVfs& self = *static_cast<FailingVfs*>(vfs->pAppData);
        File* file = reinterpret_cast<File*>(f);
        file->base.pMethods = nullptr;
        file->real = reinterpret_cast<sqlite3_file*>(file + 1);
        const bool mainFile = flags & SQLITE_OPEN_MAIN_DB;
        if (mainFile && self.faults.mainFileUnopenable)
            return SQLITE_CANTOPEN;
        if (mainFile && self.faults.mainFileReadOnly)
            flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
        const int rc = self.m_real->xOpen(self.m_real, path, file->real, flags, outFlags);
        if (rc != SQLITE_OK)
            return rc;
        if (mainFile)
            ++self.m_opened;
        file->base.pMethods = &self.m_methods;
        return SQLITE_OK;
    }

    sqlite3_vfs* m_real = nullptr;
    sqlite3_vfs m_vfs;
    sqlite3_io_methods m_methods;
    int m_opened = 0;
    int m_refusedWrites = 0;
};

} // namespace testing
