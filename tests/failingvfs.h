#pragma once
// A SQLite VFS over the default one that fails on request (a full disk, a
// read-only or unreadable file) without root; a database opened with
// ?vfs=<name> goes through it, the program's driver too (same libsqlite3).
#include <sqlite3.h>

namespace testing {

class FailingVfs {
public:
    // Read at each call; change them any time.
    struct Faults {
        long long writableBytes = -1;    // written before every write fails with SQLITE_FULL; -1: no limit
        bool mainFileReadOnly = false;   // the database file opens without write permission
        bool mainFileUnopenable = false; // the database file cannot be opened at all
        int lockResult = 0;              // not 0: what every lock above shared answers (SQLITE_LOCKED, SQLITE_BUSY)
    };
    Faults faults;

    static FailingVfs& instance()
    {
        static FailingVfs vfs;
        return vfs;
    }
    static const char* name() { return "horutea-failing"; }
    void reset() { faults = {}; }

private:
    // A file of ours holds the default VFS's file right behind it and passes
    // every call on to it; only a write can fail.
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
    };
    static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }
    template <auto Method>
    struct Forward;
    template <typename R, typename... Args, R (*sqlite3_io_methods::*Method)(sqlite3_file*, Args...)>
    struct Forward<Method> {
        static R call(sqlite3_file* f, Args... args) { return (real(f)->pMethods->*Method)(real(f), args...); }
    };

    FailingVfs()
    {
        m_real = sqlite3_vfs_find(nullptr);
        m_vfs = *m_real;
        m_vfs.zName = name();
        m_vfs.szOsFile = int(sizeof(File)) + m_real->szOsFile;
        m_vfs.xOpen = &FailingVfs::open;
        m_vfs.pNext = nullptr;
        using M = sqlite3_io_methods;
        m_methods = {3,
                     Forward<&M::xClose>::call,
                     Forward<&M::xRead>::call,
                     &FailingVfs::write,
                     Forward<&M::xTruncate>::call,
                     Forward<&M::xSync>::call,
                     Forward<&M::xFileSize>::call,
                     &FailingVfs::lock,
                     Forward<&M::xUnlock>::call,
                     Forward<&M::xCheckReservedLock>::call,
                     Forward<&M::xFileControl>::call,
                     Forward<&M::xSectorSize>::call,
                     Forward<&M::xDeviceCharacteristics>::call,
                     Forward<&M::xShmMap>::call,
                     &FailingVfs::shmLock,
                     Forward<&M::xShmBarrier>::call,
                     Forward<&M::xShmUnmap>::call,
                     Forward<&M::xFetch>::call,
                     Forward<&M::xUnfetch>::call};
        sqlite3_vfs_register(&m_vfs, 0);
    }

    static int write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset)
    {
        long long& writable = instance().faults.writableBytes;
        if (writable >= 0 && writable < amount)
            return SQLITE_FULL;
        if (writable >= 0)
            writable -= amount;
        return real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
    }

    // A write takes a lock above shared: in a rollback journal the file's,
    // with write-ahead logging an exclusive one in the shared memory.
    static int lock(sqlite3_file* f, int level)
    {
        if (const int result = instance().faults.lockResult; result && level > SQLITE_LOCK_SHARED)
            return result;
        return real(f)->pMethods->xLock(real(f), level);
    }
    static int shmLock(sqlite3_file* f, int offset, int n, int flags)
    {
        if (const int result = instance().faults.lockResult;
            result && (flags & SQLITE_SHM_LOCK) && (flags & SQLITE_SHM_EXCLUSIVE))
            return result;
        return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
    }

    static int open(sqlite3_vfs*, const char* path, sqlite3_file* f, int flags, int* outFlags)
    {
        FailingVfs& self = instance();
        File* file = reinterpret_cast<File*>(f);
        file->base.pMethods = nullptr;
        file->real = reinterpret_cast<sqlite3_file*>(file + 1);
        const bool mainFile = flags & SQLITE_OPEN_MAIN_DB;
        if (mainFile && self.faults.mainFileUnopenable)
            return SQLITE_CANTOPEN;
        if (mainFile && self.faults.mainFileReadOnly)
            flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
        const int rc = self.m_real->xOpen(self.m_real, path, file->real, flags, outFlags);
        if (rc == SQLITE_OK)
            file->base.pMethods = &self.m_methods;
        return rc;
    }

    sqlite3_vfs* m_real = nullptr;
    sqlite3_vfs m_vfs;
    sqlite3_io_methods m_methods;
};

} // namespace testing
