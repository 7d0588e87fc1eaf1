#include "platform/registry/RegistryStore.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/registry/KeyName.h"

#include <fcntl.h>
#include <pthread.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

namespace plat::registry {

namespace {

constexpr int kFormatVersion = 1;
constexpr DWORD kDefaultBusyMs = 5000;

struct SqlError {
    int code;
};

std::atomic<long> g_busyOverride{-1};

DWORD BusyTimeout()
{
    long set = g_busyOverride.load();
    if (set >= 0)
        return static_cast<DWORD>(set);
    if (const char* env = std::getenv("QBK_REGISTRY_BUSY_MS"); env && *env) {
        char* end = nullptr;
        long ms = std::strtol(env, &end, 10);
        if (end && *end == '\0' && ms >= 0)
            return static_cast<DWORD>(ms);
    }
    return kDefaultBusyMs;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        int rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            throw SqlError{rc};
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, std::int64_t v)
    {
        Check(sqlite3_bind_int64(m_stmt, i, v));
        return *this;
    }
    Statement& BindText(int i, const std::string& text)
    {
        Check(sqlite3_bind_text64(m_stmt, i, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
        return *this;
    }
    Statement& BindName(int i, std::u16string_view name) { return BindText(i, Utf16ToUtf8(name)); }
    Statement& BindFold(int i, std::u16string_view name) { return BindText(i, Utf16ToUtf8(FoldName(name))); }
    Statement& BindBlob(int i, const std::vector<BYTE>& data)
    {
        // A null pointer would store SQL NULL; an empty value is a zero-length
        // blob. The 64-bit length keeps a value past 2 GB a clean SQLITE_TOOBIG.
        if (data.empty())
            Check(sqlite3_bind_zeroblob(m_stmt, i, 0));
        else
            Check(sqlite3_bind_blob64(m_stmt, i, data.data(), data.size(), SQLITE_TRANSIENT));
        return *this;
    }

    bool Step()
    {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw SqlError{rc};
    }

    std::int64_t Int(int col) { return sqlite3_column_int64(m_stmt, col); }
    std::u16string Name(int col)
    {
        const unsigned char* text = sqlite3_column_text(m_stmt, col);
        int size = sqlite3_column_bytes(m_stmt, col);
        if (!text)
            return {};
        return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(size)));
    }
    std::vector<BYTE> Blob(int col)
    {
        const void* p = sqlite3_column_blob(m_stmt, col);
        int size = sqlite3_column_bytes(m_stmt, col);
        if (!p || size <= 0)
            return {};
        const BYTE* b = static_cast<const BYTE*>(p);
        return std::vector<BYTE>(b, b + size);
    }

private:
    static void Check(int rc)
    {
        if (rc != SQLITE_OK)
            throw SqlError{rc};
    }
    sqlite3_stmt* m_stmt = nullptr;
};

void Exec(sqlite3* db, const char* sql)
{
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw SqlError{rc};
}

LONG MapSqlError(int rc, Access access)
{
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return access == Access::Write ? ERROR_CANTWRITE : ERROR_CANTREAD;
    case SQLITE_NOTADB:
        return ERROR_BADDB;
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
    case SQLITE_ERROR:
    case SQLITE_MISMATCH:
    case SQLITE_CONSTRAINT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_FULL:
    case SQLITE_TOOBIG:
        return ERROR_CANTWRITE;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

// Failures after which the connection is dropped, so a later call reopens
// the file (it may have been repaired or replaced meanwhile).
bool DropsConnection(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_FULL:
    case SQLITE_TOOBIG:
    case SQLITE_CONSTRAINT:
        return false;
    default:
        return true;
    }
}

void CreateSchema(sqlite3* db)
{
    Exec(db, "CREATE TABLE IF NOT EXISTS keys("
             " id INTEGER PRIMARY KEY AUTOINCREMENT,"
             " parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
             " name TEXT NOT NULL,"
             " fold TEXT NOT NULL,"
             " UNIQUE(parent, fold));"
             "CREATE TABLE IF NOT EXISTS vals("
             " id INTEGER PRIMARY KEY AUTOINCREMENT,"
             " key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
             " name TEXT NOT NULL,"
             " fold TEXT NOT NULL,"
             " type INTEGER NOT NULL,"
             " data BLOB NOT NULL,"
             " UNIQUE(key, fold));"
             "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
             " (1, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
             " (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
             " (3, NULL, 'HKEY_USERS', 'HKEY_USERS');");
    // The class stores exist from the start, as on Windows.
    Transaction tx(db);
    for (std::int64_t root : {kMachineRootId, kUserRootId}) {
        std::int64_t software = tx.CreateChild(root, u"Software");
        tx.CreateChild(software, u"Classes");
    }
    Exec(db, "PRAGMA user_version = 1");
}

int FormatVersion(sqlite3* db)
{
    Statement st(db, "PRAGMA user_version");
    return st.Step() ? static_cast<int>(st.Int(0)) : 0;
}

struct Connection {
    sqlite3* db = nullptr;
    std::string path;
    pid_t pid = 0;
    DWORD busyMs = 0;
};

std::mutex g_mutex;
Connection* g_connection = nullptr;

// fork() copies only the thread that calls it. A transaction that another
// thread had open at that moment would leave this lock, and SQLite's own
// locks on the file, held for good in the child; so fork waits for the
// transaction in flight, and the child starts with none.
void LockForFork() { g_mutex.lock(); }
void UnlockAfterFork() { g_mutex.unlock(); }

std::unique_lock<std::mutex> LockRegistry()
{
    static const int forkHandlers = pthread_atfork(LockForFork, UnlockAfterFork, UnlockAfterFork);
    (void)forkHandlers;
    return std::unique_lock<std::mutex>(g_mutex);
}

void DropConnection()
{
    if (!g_connection)
        return;
    sqlite3_close_v2(g_connection->db);
    delete g_connection;
    g_connection = nullptr;
}

LONG Connect(Access access, sqlite3** out)
{
    std::string path = RegistryPath();
    if (g_connection && g_connection->pid != getpid()) {
        // Inherited through fork: the parent still uses this connection and
        // its files, so the child must not close it (closing could end the
        // parent's WAL session). It is left behind and a new one opened.
        g_connection = nullptr;
    }
    if (g_connection && g_connection->path != path)
        DropConnection();
    DWORD busyMs = BusyTimeout();
    if (g_connection) {
        if (g_connection->busyMs != busyMs) {
            sqlite3_busy_timeout(g_connection->db, static_cast<int>(busyMs));
            g_connection->busyMs = busyMs;
        }
        *out = g_connection->db;
        return ERROR_SUCCESS;
    }

    // The database is created private to the user; SQLite gives its
    // journal files the same mode.
    if (!EnsureSystemRootLayout())
        return ERROR_ACCESS_DENIED;
    if (int fd = OpenPrivateFile(path, O_RDWR | O_CREAT); fd >= 0)
        close(fd);
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc == SQLITE_NOMEM ? ERROR_OUTOFMEMORY : ERROR_CANTOPEN;
    }
    sqlite3_busy_timeout(db, static_cast<int>(busyMs));
    try {
        Exec(db, "PRAGMA journal_mode=WAL");
        Exec(db, "PRAGMA foreign_keys=ON");
        Exec(db, "PRAGMA synchronous=NORMAL");
        int version = FormatVersion(db);
        if (version == 0) {
            Exec(db, "BEGIN IMMEDIATE");
            try {
                if (FormatVersion(db) == 0)
                    CreateSchema(db);
                Exec(db, "COMMIT");
            } catch (...) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        } else if (version != kFormatVersion) {
            sqlite3_close_v2(db);
            return ERROR_BADDB; // written by a newer format we do not know
        }
    } catch (const SqlError& e) {
        sqlite3_close_v2(db);
        return MapSqlError(e.code, access);
    }
    g_connection = new Connection{db, path, getpid(), busyMs};
    *out = db;
    return ERROR_SUCCESS;
}

} // namespace

bool Transaction::KeyExists(std::int64_t id)
{
    Statement st(m_db, "SELECT 1 FROM keys WHERE id = ?");
    st.Bind(1, id);
    return st.Step();
}

std::optional<std::int64_t> Transaction::FindChild(std::int64_t parent, std::u16string_view name)
{
    Statement st(m_db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    st.Bind(1, parent).BindFold(2, name);
    if (st.Step())
        return st.Int(0);
    return std::nullopt;
}

std::int64_t Transaction::CreateChild(std::int64_t parent, std::u16string_view name)
{
    if (auto existing = FindChild(parent, name))
        return *existing;
    Statement st(m_db, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
    st.Bind(1, parent).BindName(2, name).BindFold(3, name);
    st.Step();
    return sqlite3_last_insert_rowid(m_db);
}

std::optional<std::int64_t> Transaction::FindPath(std::int64_t from, const std::vector<std::u16string>& path)
{
    std::int64_t id = from;
    for (const std::u16string& part : path) {
        auto child = FindChild(id, part);
        if (!child)
            return std::nullopt;
        id = *child;
    }
    return id;
}

std::vector<std::u16string> Transaction::ChildNames(std::int64_t id)
{
    Statement st(m_db, "SELECT name FROM keys WHERE parent = ? ORDER BY fold");
    st.Bind(1, id);
    std::vector<std::u16string> names;
    while (st.Step())
        names.push_back(st.Name(0));
    return names;
}

std::int64_t Transaction::ChildCount(std::int64_t id)
{
    Statement st(m_db, "SELECT COUNT(*) FROM keys WHERE parent = ?");
    st.Bind(1, id);
    return st.Step() ? st.Int(0) : 0;
}

void Transaction::DeleteKey(std::int64_t id)
{
    Statement st(m_db, "DELETE FROM keys WHERE id = ?");
    st.Bind(1, id);
    st.Step();
}

std::vector<ValueRecord> Transaction::Values(std::int64_t key)
{
    Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
    st.Bind(1, key);
    std::vector<ValueRecord> values;
    while (st.Step())
        values.push_back({st.Name(0), static_cast<DWORD>(st.Int(1)), st.Blob(2)});
    return values;
}

std::optional<ValueRecord> Transaction::FindValue(std::int64_t key, std::u16string_view name)
{
    Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
    st.Bind(1, key).BindFold(2, name);
    if (st.Step())
        return ValueRecord{st.Name(0), static_cast<DWORD>(st.Int(1)), st.Blob(2)};
    return std::nullopt;
}

void Transaction::SetValue(std::int64_t key, std::u16string_view name, DWORD type, const std::vector<BYTE>& data)
{
    Statement st(m_db, "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)"
                       " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    st.Bind(1, key).BindName(2, name).BindFold(3, name).Bind(4, type).BindBlob(5, data);
    st.Step();
}

bool Transaction::DeleteValue(std::int64_t key, std::u16string_view name)
{
    Statement st(m_db, "DELETE FROM vals WHERE key = ? AND fold = ?");
    st.Bind(1, key).BindFold(2, name);
    st.Step();
    return sqlite3_changes(m_db) > 0;
}

LONG FlushDatabase()
{
    std::unique_lock<std::mutex> lock = LockRegistry();
    sqlite3* db = nullptr;
    if (LONG err = Connect(Access::Write, &db); err != ERROR_SUCCESS)
        return err;
    // A reader elsewhere only shortens what a passive checkpoint copies,
    // which is no failure; the rest follows at a later checkpoint.
    int rc = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (rc != SQLITE_OK && (rc & 0xFF) != SQLITE_BUSY) {
        if (DropsConnection(rc))
            DropConnection();
        return MapSqlError(rc, Access::Write);
    }
    return ERROR_SUCCESS;
}

LONG RunTransaction(Access access, const std::function<LONG(Transaction&)>& body)
{
    std::unique_lock<std::mutex> lock = LockRegistry();
    sqlite3* db = nullptr;
    if (LONG err = Connect(access, &db); err != ERROR_SUCCESS)
        return err;
    try {
        Exec(db, access == Access::Write ? "BEGIN IMMEDIATE" : "BEGIN");
        Transaction tx(db);
        LONG result = body(tx);
        Exec(db, (result == ERROR_SUCCESS || access == Access::Read) ? "COMMIT" : "ROLLBACK");
        return result;
    } catch (const SqlError& e) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (DropsConnection(e.code))
            DropConnection();
        return MapSqlError(e.code, access);
    } catch (const std::bad_alloc&) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return ERROR_GEN_FAILURE;
    }
}

void SetRegistryBusyTimeout(DWORD milliseconds) { g_busyOverride.store(static_cast<long>(milliseconds)); }

void ClearRegistryBusyTimeout() { g_busyOverride.store(-1); }

} // namespace plat::registry
