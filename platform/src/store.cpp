// The store of the current system: which one is in use, its transactions,
// and the in-memory store that tests run on.
#include "store.h"

#include <algorithm>
#include <map>
#include <memory>

#include "kvp/system.h"

namespace kvp {

bool NameLess(const wstring16 &a, const wstring16 &b)
{
    wstring16 ua = WUpper(a), ub = WUpper(b);
    if (ua != ub) return ua < ub;
    return a < b;
}

LONG SplitKeyPath(const wstring16 &path, std::vector<wstring16> *out)
{
    out->clear();
    if (!path.empty() && path[0] == u'\\') return ERROR_BAD_PATHNAME;
    wstring16 part;
    for (WCHAR c : path) {
        if (c == u'\\') {
            if (!part.empty()) out->push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) out->push_back(part);
    return ERROR_SUCCESS;
}

LONG OpenKeyPath(Store &store, KeyId from, const wstring16 &path, KeyId *out)
{
    std::vector<wstring16> parts;
    LONG rc = SplitKeyPath(path, &parts);
    if (rc != ERROR_SUCCESS) return rc;
    KeyId id = from;
    for (const auto &p : parts) {
        ChildRec child;
        rc = store.FindChild(id, p, &child);
        if (rc != ERROR_SUCCESS) return rc;
        id = child.id;
    }
    *out = id;
    return ERROR_SUCCESS;
}

LONG CreateKeyPath(Store &store, KeyId from, const wstring16 &path, KeyId *out, bool *created)
{
    std::vector<wstring16> parts;
    LONG rc = SplitKeyPath(path, &parts);
    if (rc != ERROR_SUCCESS) return rc;
    KeyId id = from;
    bool made = false;
    for (const auto &p : parts) {
        ChildRec child;
        rc = store.FindChild(id, p, &child);
        if (rc == ERROR_SUCCESS) {
            id = child.id;
            made = false;
            continue;
        }
        if (rc != ERROR_FILE_NOT_FOUND) return rc;
        rc = store.AddChild(id, p, &id);
        if (rc != ERROR_SUCCESS) return rc;
        made = true;
    }
    *out = id;
    if (created) *created = made;
    return ERROR_SUCCESS;
}

LONG SortedChildren(Store &store, KeyId parent, std::vector<ChildRec> *out)
{
    LONG rc = store.Children(parent, out);
    if (rc != ERROR_SUCCESS) return rc;
    std::sort(out->begin(), out->end(), [](const ChildRec &a, const ChildRec &b) { return NameLess(a.name, b.name); });
    return ERROR_SUCCESS;
}

LONG DeleteKeyTree(Store &store, KeyId id)
{
    std::vector<ChildRec> children;
    LONG rc = store.Children(id, &children);
    if (rc != ERROR_SUCCESS) return rc;
    for (const auto &c : children) {
        rc = DeleteKeyTree(store, c.id);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return store.DeleteKey(id);
}

namespace {

class MemoryStore : public Store {
public:
    MemoryStore()
    {
        keys_[kRootMachine] = Key{0, u"HKEY_LOCAL_MACHINE", {}};
        keys_[kRootUsers] = Key{0, u"HKEY_USERS", {}};
    }

    LONG Begin(bool) override { return ERROR_SUCCESS; }
    LONG Commit() override { return ERROR_SUCCESS; }
    void Rollback() override {}

    LONG KeyExists(KeyId id) override { return keys_.count(id) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; }

    LONG FindChild(KeyId parent, const wstring16 &name, ChildRec *out) override
    {
        const wstring16 upper = WUpper(name);
        for (const auto &k : keys_) {
            if (k.second.parent == parent && WUpper(k.second.name) == upper) {
                out->id = k.first;
                out->name = k.second.name;
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    }

    LONG AddChild(KeyId parent, const wstring16 &name, KeyId *out) override
    {
        KeyId id = nextKey_++;
        keys_[id] = Key{parent, name, {}};
        *out = id;
        return ERROR_SUCCESS;
    }

    LONG Children(KeyId parent, std::vector<ChildRec> *out) override
    {
        out->clear();
        for (const auto &k : keys_)
            if (k.second.parent == parent) out->push_back(ChildRec{k.first, k.second.name});
        return ERROR_SUCCESS;
    }

    LONG DeleteKey(KeyId id) override { return keys_.erase(id) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; }

    LONG GetValue(KeyId key, const wstring16 &name, ValueRec *out) override
    {
        auto k = keys_.find(key);
        if (k == keys_.end()) return ERROR_FILE_NOT_FOUND;
        auto v = Find(k->second, name);
        if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
        *out = *v;
        return ERROR_SUCCESS;
    }

    LONG SetValue(KeyId key, const wstring16 &name, DWORD type, const std::string &data) override
    {
        auto k = keys_.find(key);
        if (k == keys_.end()) return ERROR_FILE_NOT_FOUND;
        auto v = Find(k->second, name);
        if (v == k->second.values.end()) {
            k->second.values.push_back(ValueRec{name, type, data});
        } else {
            v->type = type;
            v->data = data;
        }
        return ERROR_SUCCESS;
    }

    LONG DeleteValue(KeyId key, const wstring16 &name) override
    {
        auto k = keys_.find(key);
        if (k == keys_.end()) return ERROR_FILE_NOT_FOUND;
        auto v = Find(k->second, name);
        if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
        k->second.values.erase(v);
        return ERROR_SUCCESS;
    }

    LONG Values(KeyId key, std::vector<ValueRec> *out) override
    {
        auto k = keys_.find(key);
        if (k == keys_.end()) return ERROR_FILE_NOT_FOUND;
        *out = k->second.values;
        return ERROR_SUCCESS;
    }

    LONG NewJobId(DWORD *out) override
    {
        *out = ++lastJob_;
        return ERROR_SUCCESS;
    }

    LONG LastJobId(DWORD *out) override
    {
        *out = lastJob_;
        return ERROR_SUCCESS;
    }

    LONG PutJob(const JobRec &job) override
    {
        jobs_[job.id] = job;
        return ERROR_SUCCESS;
    }

    LONG GetJob(DWORD id, JobRec *out) override
    {
        auto j = jobs_.find(id);
        if (j == jobs_.end()) return ERROR_FILE_NOT_FOUND;
        *out = j->second;
        return ERROR_SUCCESS;
    }

    LONG Jobs(std::vector<JobRec> *out) override
    {
        out->clear();
        for (const auto &j : jobs_) out->push_back(j.second);
        return ERROR_SUCCESS;
    }

    LONG DeleteJob(DWORD id) override { return jobs_.erase(id) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; }

    LONG AppendSpool(DWORD id, const void *data, size_t size) override
    {
        spool_[id].append(static_cast<const char *>(data), size);
        return ERROR_SUCCESS;
    }

    LONG ReadSpool(DWORD id, std::string *out) override
    {
        auto s = spool_.find(id);
        if (s == spool_.end()) out->clear();
        else *out = s->second;
        return ERROR_SUCCESS;
    }

    LONG SpoolSize(DWORD id, DWORD *out) override
    {
        auto s = spool_.find(id);
        *out = s == spool_.end() ? 0 : static_cast<DWORD>(std::min<size_t>(s->second.size(), 0xFFFFFFFFu));
        return ERROR_SUCCESS;
    }

    LONG DeleteSpool(DWORD id) override
    {
        spool_.erase(id);
        return ERROR_SUCCESS;
    }

    std::string SpoolPath(DWORD) override { return std::string(); }

private:
    struct Key {
        KeyId parent;
        wstring16 name;
        std::vector<ValueRec> values;
    };

    static std::vector<ValueRec>::iterator Find(Key &key, const wstring16 &name)
    {
        const wstring16 upper = WUpper(name);
        return std::find_if(key.values.begin(), key.values.end(),
                            [&](const ValueRec &v) { return WUpper(v.name) == upper; });
    }

    std::map<KeyId, Key> keys_;
    KeyId nextKey_ = 3;
    std::map<DWORD, JobRec> jobs_;
    std::map<DWORD, std::string> spool_;
    DWORD lastJob_ = 0;
};

struct Current {
    std::unique_ptr<Store> store;
};

Current &Cur()
{
    static Current c;
    return c;
}

std::vector<void (*)()> &AreaHooks()
{
    static std::vector<void (*)()> hooks;
    return hooks;
}

// The areas drop their handles first, then the store goes, so that the next
// call opens whatever state directory the system now names.
void ResetStore()
{
    std::lock_guard<std::recursive_mutex> lock(StoreLock());
    for (auto hook : AreaHooks()) hook();
    Cur().store.reset();
}

struct RegisterReset {
    RegisterReset() { SystemAddResetHook(&ResetStore); }
} g_registerReset;

}  // namespace

Store *NewMemoryStore() { return new MemoryStore; }

std::recursive_mutex &StoreLock()
{
    static std::recursive_mutex m;
    return m;
}

Store *CurrentStore()
{
    Current &c = Cur();
    if (!c.store) {
        // A directory that cannot be opened is not silently replaced by
        // memory: the caller would lose what it writes without knowing. The
        // next call tries again.
        const std::string dir = SystemStateDir();
        c.store.reset(dir.empty() ? NewMemoryStore() : OpenSqliteStore(dir));
    }
    return c.store.get();
}

void StoreOnReset(void (*hook)()) { AreaHooks().push_back(hook); }

Txn::Txn(bool write)
{
    store_ = CurrentStore();
    if (!store_) return;
    status_ = store_->Begin(write);
    open_ = status_ == ERROR_SUCCESS;
}

Txn::~Txn()
{
    if (open_) store_->Rollback();
}

LONG Txn::Commit()
{
    if (!open_) return status_;
    open_ = false;
    return store_->Commit();
}

}  // namespace kvp
