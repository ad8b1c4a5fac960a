// The storage behind the registry and the spooler's jobs: in memory, or an
// SQLite database in the system's state directory so that processes on one
// state directory share it. Private to the platform.
//
// INVARIANT: every call of the registry or spooler holds StoreLock() for its
// whole duration and runs its store accesses inside one Txn, so a call is
// seen by other processes whole or not at all.
//
// Store operations answer Win32 error codes: ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND for something missing, ERROR_REGISTRY_IO_FAILED when
// the database fails.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "kvp/base.h"
#include "kvp/kernel.h"
#include "kvp/registry.h"
#include "wstr.h"

namespace kvp {

typedef int64_t KeyId;

// Fixed ids of the two hive roots; every other key hangs below one of them.
const KeyId kRootMachine = 1;  // HKEY_LOCAL_MACHINE
const KeyId kRootUsers = 2;    // HKEY_USERS

struct ValueRec {
    wstring16 name;  // as first stored
    DWORD type = 0;
    std::string data;  // raw bytes
};

struct ChildRec {
    KeyId id = 0;
    wstring16 name;
};

// A job as the spooler keeps it; the spooled bytes live apart (memory or file).
struct JobRec {
    DWORD id = 0;
    wstring16 printer;  // the printer's name as stored
    wstring16 document;
    wstring16 user;
    wstring16 machine;
    wstring16 datatype;
    wstring16 driver;
    DWORD status = 0;
    DWORD pages = 0;
    SYSTEMTIME submitted{};
};

class Store {
public:
    virtual ~Store() {}

    // Transactions; a write transaction takes the database's write lock at
    // once, so that it never has to upgrade (and fail) later.
    virtual LONG Begin(bool write) = 0;
    virtual LONG Commit() = 0;
    virtual void Rollback() = 0;

    virtual LONG KeyExists(KeyId id) = 0;
    virtual LONG FindChild(KeyId parent, const wstring16 &name, ChildRec *out) = 0;
    virtual LONG AddChild(KeyId parent, const wstring16 &name, KeyId *out) = 0;
    // Unordered; the registry orders them.
    virtual LONG Children(KeyId parent, std::vector<ChildRec> *out) = 0;
    // Removes the key and its values; the caller has made sure it has no
    // subkeys.
    virtual LONG DeleteKey(KeyId id) = 0;

    virtual LONG GetValue(KeyId key, const wstring16 &name, ValueRec *out) = 0;
    // Replaces the data and type; a new value is stored under NAME's case.
    virtual LONG SetValue(KeyId key, const wstring16 &name, DWORD type, const std::string &data) = 0;
    virtual LONG DeleteValue(KeyId key, const wstring16 &name) = 0;
    // In the order they were first set.
    virtual LONG Values(KeyId key, std::vector<ValueRec> *out) = 0;

    // Jobs. NewJobId hands out the next id of the system (1, 2, ...).
    virtual LONG NewJobId(DWORD *out) = 0;
    virtual LONG LastJobId(DWORD *out) = 0;
    virtual LONG PutJob(const JobRec &job) = 0;  // insert or replace
    virtual LONG GetJob(DWORD id, JobRec *out) = 0;
    virtual LONG Jobs(std::vector<JobRec> *out) = 0;  // by id
    virtual LONG DeleteJob(DWORD id) = 0;

    // Spooled bytes of a job.
    virtual LONG AppendSpool(DWORD id, const void *data, size_t size) = 0;
    virtual LONG ReadSpool(DWORD id, std::string *out) = 0;
    virtual LONG SpoolSize(DWORD id, DWORD *out) = 0;
    virtual LONG DeleteSpool(DWORD id) = 0;
    virtual std::string SpoolPath(DWORD id) = 0;
};

std::recursive_mutex &StoreLock();
// The store of the current system, opened on first use after a reset; null
// when the state directory cannot be opened.
Store *CurrentStore();

// Open a database store in DIR (created when missing); null on failure.
Store *OpenSqliteStore(const std::string &dir);
Store *NewMemoryStore();

// Registers a reset hook of an area that keeps handles into the store.
void StoreOnReset(void (*hook)());

// One transaction on the current store; rolled back unless committed.
class Txn {
public:
    Txn(bool write);
    ~Txn();
    Txn(const Txn &) = delete;
    Txn &operator=(const Txn &) = delete;
    // ERROR_SUCCESS when the transaction is open.
    LONG status() const { return status_; }
    Store &store() { return *store_; }
    LONG Commit();

private:
    Store *store_ = nullptr;
    LONG status_ = ERROR_REGISTRY_IO_FAILED;
    bool open_ = false;
};

// Case-insensitive order of names, as enumeration returns them.
bool NameLess(const wstring16 &a, const wstring16 &b);

// Key paths: components separated by backslashes; a trailing backslash is
// allowed, a leading one is ERROR_BAD_PATHNAME.
LONG SplitKeyPath(const wstring16 &path, std::vector<wstring16> *out);
// Walk down from FROM; ERROR_FILE_NOT_FOUND when a component is missing.
LONG OpenKeyPath(Store &store, KeyId from, const wstring16 &path, KeyId *out);
// Walk down, creating what is missing; *created tells whether the last
// component was new.
LONG CreateKeyPath(Store &store, KeyId from, const wstring16 &path, KeyId *out, bool *created);
// Children in enumeration order.
LONG SortedChildren(Store &store, KeyId parent, std::vector<ChildRec> *out);
// A key with everything below it.
LONG DeleteKeyTree(Store &store, KeyId id);

}  // namespace kvp
