#include "platform/registry/RegistryKeys.h"

#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/registry/KeyName.h"

#include <pthread.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <unordered_map>

namespace plat::registry {

namespace {

struct KeyObject {
    bool classesView = false;
    std::int64_t id = 0;              // the key, for a hive handle
    std::vector<std::u16string> path; // below Software\Classes, for a classes-view handle
    REGSAM access = KEY_ALL_ACCESS;
    std::string database; // the file the key lives in; empty for the predefined keys
};

// Handles are numbers in a per-process table, never pointers, so a stale or
// made-up handle is refused instead of followed.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, KeyObject> handles;
    std::uintptr_t nextHandle = 0x1000;
};

// The table is never destroyed: threads that are not joined (the device
// notifications' watcher, say) may still open and close keys while the
// process runs its static destructors at exit.
HandleTable& Table()
{
    static HandleTable* const table = new HandleTable;
    return *table;
}

// A child of fork() must not inherit the table's lock held by a thread it
// does not have.
void LockHandlesForFork() { Table().mutex.lock(); }
void UnlockHandlesAfterFork() { Table().mutex.unlock(); }

std::unique_lock<std::mutex> LockHandles()
{
    static const int forkHandlers = pthread_atfork(LockHandlesForFork, UnlockHandlesAfterFork, UnlockHandlesAfterFork);
    (void)forkHandlers;
    return std::unique_lock<std::mutex>(Table().mutex);
}

bool LookUp(HKEY key, KeyObject* out)
{
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_USERS) {
        out->classesView = false;
        out->id = key == HKEY_LOCAL_MACHINE ? kMachineRootId : key == HKEY_CURRENT_USER ? kUserRootId : kUsersRootId;
        out->path.clear();
        out->access = KEY_ALL_ACCESS;
        return true;
    }
    if (key == HKEY_CLASSES_ROOT) {
        *out = KeyObject{true, 0, {}, KEY_ALL_ACCESS, {}};
        return true;
    }
    std::unique_lock<std::mutex> lock = LockHandles();
    auto it = Table().handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == Table().handles.end())
        return false;
    *out = it->second;
    return true;
}

HKEY AddHandle(KeyObject object)
{
    object.database = RegistryPath();
    std::unique_lock<std::mutex> lock = LockHandles();
    HandleTable& table = Table();
    std::uintptr_t value = table.nextHandle;
    table.nextHandle += 4;
    table.handles.emplace(value, std::move(object));
    return reinterpret_cast<HKEY>(value);
}

bool IsPredefined(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_USERS || key == HKEY_CLASSES_ROOT;
}

const std::vector<std::u16string>& ClassesBase()
{
    static const std::vector<std::u16string> base{u"Software", u"Classes"};
    return base;
}

// The keys behind a handle: for a hive handle its one key, for a classes
// view the user's and the machine's keys of the same path (either may be
// missing).
struct Backing {
    std::optional<std::int64_t> user;
    std::optional<std::int64_t> machine;

    bool Any() const { return user || machine; }
    // Read order: the user's first.
    std::vector<std::int64_t> ReadOrder() const
    {
        std::vector<std::int64_t> ids;
        if (user)
            ids.push_back(*user);
        if (machine)
            ids.push_back(*machine);
        return ids;
    }
    // Values go where reads find them first: the user's key when there is
    // one, so that a write is never hidden behind an older user value.
    std::optional<std::int64_t> WriteTarget() const { return user ? user : machine; }
};

Backing ResolveClasses(Transaction& tx, const std::vector<std::u16string>& path)
{
    Backing b;
    auto userBase = tx.FindPath(kUserRootId, ClassesBase());
    auto machineBase = tx.FindPath(kMachineRootId, ClassesBase());
    if (userBase)
        b.user = tx.FindPath(*userBase, path);
    if (machineBase)
        b.machine = tx.FindPath(*machineBase, path);
    return b;
}

// The keys behind `object`; ERROR_KEY_DELETED when none exists any more.
LONG Resolve(Transaction& tx, const KeyObject& object, Backing* b)
{
    if (object.classesView) {
        *b = ResolveClasses(tx, object.path);
        // The view's root always exists, even when both stores were deleted.
        if (!b->Any() && !object.path.empty())
            return ERROR_KEY_DELETED;
        return ERROR_SUCCESS;
    }
    if (!tx.KeyExists(object.id))
        return ERROR_KEY_DELETED;
    b->machine = object.id;
    b->user.reset();
    return ERROR_SUCCESS;
}

// Generic rights and MAXIMUM_ALLOWED stand for the key rights they map to.
REGSAM KeyRights(REGSAM access)
{
    constexpr REGSAM kGenericRead = 0x80000000u;
    constexpr REGSAM kGenericWrite = 0x40000000u;
    constexpr REGSAM kGenericExecute = 0x20000000u;
    constexpr REGSAM kGenericAll = 0x10000000u;
    constexpr REGSAM kMaximumAllowed = 0x02000000u;
    REGSAM rights = access;
    if (access & kGenericRead)
        rights |= KEY_READ;
    if (access & kGenericWrite)
        rights |= KEY_WRITE;
    if (access & kGenericExecute)
        rights |= KEY_EXECUTE;
    if (access & (kGenericAll | kMaximumAllowed))
        rights |= KEY_ALL_ACCESS;
    return rights;
}

LONG CheckPath(const std::vector<std::u16string>& parts)
{
    for (const std::u16string& part : parts)
        if (part.size() > REG_MAX_KEY_NAME)
            return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

std::vector<std::u16string> Join(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b)
{
    std::vector<std::u16string> out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// Runs `body` with the handle's object looked up; ERROR_INVALID_HANDLE for
// an unknown handle.
template <typename Body>
LONG WithKey(HKEY key, Access access, Body body)
{
    KeyObject object;
    if (!LookUp(key, &object))
        return ERROR_INVALID_HANDLE;
    // Ids mean nothing in another database (the system root changed).
    if (!object.database.empty() && object.database != RegistryPath())
        return ERROR_KEY_DELETED;
    return RunTransaction(access, [&](Transaction& tx) { return body(tx, object); });
}

std::vector<std::u16string> MergedChildNames(Transaction& tx, const Backing& b)
{
    std::vector<std::u16string> names;
    std::set<std::u16string> seen;
    std::vector<std::pair<std::u16string, std::u16string>> merged; // fold, name
    for (std::int64_t id : b.ReadOrder())
        for (std::u16string& name : tx.ChildNames(id)) {
            std::u16string fold = FoldName(name);
            if (seen.insert(fold).second)
                merged.emplace_back(std::move(fold), std::move(name));
        }
    std::sort(merged.begin(), merged.end());
    for (auto& [fold, name] : merged)
        names.push_back(std::move(name));
    return names;
}

std::vector<ValueRecord> MergedValues(Transaction& tx, const Backing& b)
{
    std::vector<ValueRecord> values;
    std::set<std::u16string> seen;
    for (std::int64_t id : b.ReadOrder())
        for (ValueRecord& v : tx.Values(id))
            if (seen.insert(FoldName(v.name)).second)
                values.push_back(std::move(v));
    return values;
}

} // namespace

LONG OpenKey(HKEY key, std::u16string_view subKey, REGSAM access, HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> parts = SplitKeyPath(subKey);
    if (LONG err = CheckPath(parts); err != ERROR_SUCCESS)
        return err;
    KeyObject opened;
    LONG err = WithKey(key, Access::Read, [&](Transaction& tx, const KeyObject& object) {
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        if (object.classesView) {
            opened = KeyObject{true, 0, Join(object.path, parts), access, {}};
            return ResolveClasses(tx, opened.path).Any() || opened.path.empty() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        }
        auto id = tx.FindPath(object.id, parts);
        if (!id)
            return ERROR_FILE_NOT_FOUND;
        opened = KeyObject{false, *id, {}, access, {}};
        return ERROR_SUCCESS;
    });
    if (err == ERROR_SUCCESS) {
        opened.access = KeyRights(access);
        *result = AddHandle(std::move(opened));
    }
    return err;
}

LONG CreateKey(HKEY key, std::u16string_view subKey, REGSAM access, HKEY* result, DWORD* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> parts = SplitKeyPath(subKey);
    if (LONG err = CheckPath(parts); err != ERROR_SUCCESS)
        return err;
    KeyObject created;
    DWORD how = REG_OPENED_EXISTING_KEY;
    LONG err = WithKey(key, Access::Write, [&](Transaction& tx, const KeyObject& object) {
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        if (object.classesView) {
            std::vector<std::u16string> path = Join(object.path, parts);
            created = KeyObject{true, 0, path, access, {}};
            if (path.empty() || ResolveClasses(tx, path).Any())
                return ERROR_SUCCESS;
            if (!(object.access & KEY_CREATE_SUB_KEY))
                return ERROR_ACCESS_DENIED;
            // The hive holding the deepest existing part of the path.
            std::int64_t hive = kMachineRootId;
            for (size_t len = path.size(); len-- > 0;) {
                std::vector<std::u16string> prefix(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(len));
                Backing p = ResolveClasses(tx, prefix);
                if (p.machine || p.user) {
                    hive = p.machine ? kMachineRootId : kUserRootId;
                    break;
                }
            }
            std::int64_t id = hive;
            for (const std::u16string& part : Join(ClassesBase(), path))
                id = tx.CreateChild(id, part);
            how = REG_CREATED_NEW_KEY;
            return ERROR_SUCCESS;
        }
        std::int64_t id = object.id;
        for (const std::u16string& part : parts) {
            if (auto child = tx.FindChild(id, part)) {
                id = *child;
                continue;
            }
            if (!(object.access & KEY_CREATE_SUB_KEY))
                return ERROR_ACCESS_DENIED;
            id = tx.CreateChild(id, part);
            how = REG_CREATED_NEW_KEY;
        }
        created = KeyObject{false, id, {}, access, {}};
        return ERROR_SUCCESS;
    });
    if (err != ERROR_SUCCESS)
        return err;
    created.access = KeyRights(access);
    *result = AddHandle(std::move(created));
    if (disposition)
        *disposition = how;
    return ERROR_SUCCESS;
}

LONG CloseKey(HKEY key)
{
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    std::unique_lock<std::mutex> lock = LockHandles();
    return Table().handles.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG FlushKey(HKEY key)
{
    LONG err = WithKey(key, Access::Read, [&](Transaction& tx, const KeyObject& object) {
        Backing b;
        return Resolve(tx, object, &b);
    });
    return err == ERROR_SUCCESS ? FlushDatabase() : err;
}

LONG QueryValue(HKEY key, std::u16string_view name, ValueRecord* value)
{
    return WithKey(key, Access::Read, [&](Transaction& tx, const KeyObject& object) {
        if (!(object.access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        for (std::int64_t id : b.ReadOrder())
            if (auto found = tx.FindValue(id, name)) {
                *value = std::move(*found);
                return ERROR_SUCCESS;
            }
        return ERROR_FILE_NOT_FOUND;
    });
}

LONG SetValue(HKEY key, std::u16string_view name, DWORD type, std::vector<BYTE> data)
{
    if (name.size() > REG_MAX_VALUE_NAME)
        return ERROR_INVALID_PARAMETER;
    return WithKey(key, Access::Write, [&](Transaction& tx, const KeyObject& object) {
        if (!(object.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        std::optional<std::int64_t> target = b.WriteTarget();
        if (!target) // the bare classes root with neither store present
            target = tx.CreateChild(tx.CreateChild(kMachineRootId, u"Software"), u"Classes");
        tx.SetValue(*target, name, type, data);
        return ERROR_SUCCESS;
    });
}

LONG DeleteValue(HKEY key, std::u16string_view name)
{
    return WithKey(key, Access::Write, [&](Transaction& tx, const KeyObject& object) {
        if (!(object.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        bool deleted = false;
        for (std::int64_t id : b.ReadOrder())
            deleted = tx.DeleteValue(id, name) || deleted;
        return deleted ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

namespace {
// The keys named by `subKey` below `object`: ERROR_FILE_NOT_FOUND when there
// is none; ERROR_ACCESS_DENIED for a hive root or the classes root.
LONG ResolveTarget(Transaction& tx, const KeyObject& object, const std::vector<std::u16string>& parts, Backing* target)
{
    Backing b;
    if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
        return e;
    if (object.classesView) {
        std::vector<std::u16string> path = Join(object.path, parts);
        if (path.empty())
            return ERROR_ACCESS_DENIED;
        *target = ResolveClasses(tx, path);
        return target->Any() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    auto id = tx.FindPath(object.id, parts);
    if (!id)
        return ERROR_FILE_NOT_FOUND;
    if (*id == kMachineRootId || *id == kUserRootId || *id == kUsersRootId)
        return ERROR_ACCESS_DENIED;
    target->machine = id;
    return ERROR_SUCCESS;
}
} // namespace

LONG DeleteKey(HKEY key, std::u16string_view subKey)
{
    std::vector<std::u16string> parts = SplitKeyPath(subKey);
    return WithKey(key, Access::Write, [&](Transaction& tx, const KeyObject& object) {
        Backing target;
        if (LONG e = ResolveTarget(tx, object, parts, &target); e != ERROR_SUCCESS)
            return e;
        for (std::int64_t id : target.ReadOrder())
            if (tx.ChildCount(id) > 0)
                return ERROR_ACCESS_DENIED;
        for (std::int64_t id : target.ReadOrder())
            tx.DeleteKey(id);
        return ERROR_SUCCESS;
    });
}

LONG DeleteTree(HKEY key, std::optional<std::u16string_view> subKey)
{
    std::vector<std::u16string> parts = subKey ? SplitKeyPath(*subKey) : std::vector<std::u16string>{};
    return WithKey(key, Access::Write, [&](Transaction& tx, const KeyObject& object) {
        if (!parts.empty()) {
            Backing target;
            if (LONG e = ResolveTarget(tx, object, parts, &target); e != ERROR_SUCCESS)
                return e;
            for (std::int64_t id : target.ReadOrder())
                tx.DeleteKey(id);
            return ERROR_SUCCESS;
        }
        // Empty the key itself: its subkeys and its values go, it stays.
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        for (std::int64_t id : b.ReadOrder()) {
            for (const std::u16string& child : tx.ChildNames(id))
                if (auto childId = tx.FindChild(id, child))
                    tx.DeleteKey(*childId);
            for (const ValueRecord& v : tx.Values(id))
                tx.DeleteValue(id, v.name);
        }
        return ERROR_SUCCESS;
    });
}

LONG EnumKey(HKEY key, DWORD index, std::u16string* name)
{
    return WithKey(key, Access::Read, [&](Transaction& tx, const KeyObject& object) {
        if (!(object.access & KEY_ENUMERATE_SUB_KEYS))
            return ERROR_ACCESS_DENIED;
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        std::vector<std::u16string> names = MergedChildNames(tx, b);
        if (index >= names.size())
            return ERROR_NO_MORE_ITEMS;
        *name = std::move(names[index]);
        return ERROR_SUCCESS;
    });
}

LONG EnumValue(HKEY key, DWORD index, ValueRecord* value)
{
    return WithKey(key, Access::Read, [&](Transaction& tx, const KeyObject& object) {
        if (!(object.access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        std::vector<ValueRecord> values = MergedValues(tx, b);
        if (index >= values.size())
            return ERROR_NO_MORE_ITEMS;
        *value = std::move(values[index]);
        return ERROR_SUCCESS;
    });
}

LONG QueryKeyInfo(HKEY key, KeyInfo* info)
{
    return WithKey(key, Access::Read, [&](Transaction& tx, const KeyObject& object) {
        if (!(object.access & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        Backing b;
        if (LONG e = Resolve(tx, object, &b); e != ERROR_SUCCESS)
            return e;
        KeyInfo out;
        for (const std::u16string& name : MergedChildNames(tx, b)) {
            ++out.subKeys;
            out.maxSubKeyLen = std::max<DWORD>(out.maxSubKeyLen, static_cast<DWORD>(name.size()));
        }
        for (const ValueRecord& v : MergedValues(tx, b)) {
            ++out.values;
            out.maxValueNameLen = std::max<DWORD>(out.maxValueNameLen, static_cast<DWORD>(v.name.size()));
            out.maxValueLen = std::max<DWORD>(out.maxValueLen, static_cast<DWORD>(v.data.size()));
        }
        *info = out;
        return ERROR_SUCCESS;
    });
}

} // namespace plat::registry
