// The registry database: one SQLite connection per process on the file in the
// system root, and the transactions every registry call runs in.
//
// Layout: table `keys` (id, parent, name, fold) holds the tree, three roots
// without a parent (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS);
// table `vals` (key, name, fold, type, data) holds values, data as the exact
// bytes of the value. `fold` is the case-folded name that lookups and
// uniqueness use. Deleting a key removes everything below it (foreign keys
// with cascade).
#pragma once

#include "platform/base/wintypes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace plat::registry {

constexpr std::int64_t kMachineRootId = 1;
constexpr std::int64_t kUserRootId = 2;
constexpr std::int64_t kUsersRootId = 3;

struct ValueRecord {
    std::u16string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// The operations of one transaction. SQLite failures throw inside and are
// turned into Windows codes by RunTransaction; nothing escapes it.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) {}

    bool KeyExists(std::int64_t id);
    std::optional<std::int64_t> FindChild(std::int64_t parent, std::u16string_view name);
    std::int64_t CreateChild(std::int64_t parent, std::u16string_view name);
    // Follows a path of components from a key; nullopt when one is missing.
    std::optional<std::int64_t> FindPath(std::int64_t from, const std::vector<std::u16string>& path);
    std::vector<std::u16string> ChildNames(std::int64_t id); // case-insensitive name order
    std::int64_t ChildCount(std::int64_t id);
    void DeleteKey(std::int64_t id); // the key and everything below it

    std::vector<ValueRecord> Values(std::int64_t key); // creation order
    std::optional<ValueRecord> FindValue(std::int64_t key, std::u16string_view name);
    // A new value goes last; an existing one keeps its place and its name.
    void SetValue(std::int64_t key, std::u16string_view name, DWORD type, const std::vector<BYTE>& data);
    bool DeleteValue(std::int64_t key, std::u16string_view name);

private:
    sqlite3* m_db;
};

enum class Access { Read, Write };

// Runs `body` in one transaction (a write transaction takes the database's
// write lock at its start, so it never fails half-way for a lock). A body
// result other than ERROR_SUCCESS rolls a write back. SQLite failures give
// ERROR_BADDB (not a database), ERROR_REGISTRY_CORRUPT, ERROR_CANTREAD or
// ERROR_CANTWRITE (locked past the busy time-out), ERROR_CANTOPEN,
// ERROR_REGISTRY_IO_FAILED, ERROR_ACCESS_DENIED (read-only file).
LONG RunTransaction(Access access, const std::function<LONG(Transaction&)>& body);

// Copies committed transactions from the write-ahead log into the database
// file and syncs it (outside any transaction, as SQLite requires).
LONG FlushDatabase();

// How long a call waits for another process's lock before it fails. The
// default is 5000 ms, or QBK_REGISTRY_BUSY_MS from the environment.
void SetRegistryBusyTimeout(DWORD milliseconds);
// Back to the default (or the environment's value).
void ClearRegistryBusyTimeout();

} // namespace plat::registry
