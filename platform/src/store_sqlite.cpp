// The persisted store: registry.db (SQLite, WAL) in the state directory and
// the spooled bytes of each job in spool/<id>.spl beside it.
//
// Layout:
//   keys(id, parent, name, name_upper)   hive roots have fixed ids 1 and 2
//                                         and parent 0; ids are never reused,
//                                         so a handle to a deleted key stays
//                                         recognisable as such
//   key_values(key_id, name, name_upper, type, data)
//   jobs(id, printer, document, user_name, machine, datatype, driver,
//        status, pages, submitted)
//   counters(name, value)                 'last_job'
// name_upper is the name folded with WUpper, so that the database and the
// in-memory store agree on which names are equal; text is UTF-8.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "store.h"

namespace kvp {
namespace {

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " name_upper TEXT NOT NULL,"
    " UNIQUE(parent, name_upper));"
    "CREATE TABLE IF NOT EXISTS key_values("
    " key_id INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " name_upper TEXT NOT NULL,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key_id, name_upper));"
    "CREATE TABLE IF NOT EXISTS jobs("
    " id INTEGER PRIMARY KEY,"
    " printer TEXT NOT NULL,"
    " document TEXT NOT NULL,"
    " user_name TEXT NOT NULL,"
    " machine TEXT NOT NULL,"
    " datatype TEXT NOT NULL,"
    " driver TEXT NOT NULL,"
    " status INTEGER NOT NULL,"
    " pages INTEGER NOT NULL,"
    " submitted BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS counters(name TEXT PRIMARY KEY, value INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO keys(id, parent, name, name_upper) VALUES"
    " (1, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
    " (2, 0, 'HKEY_USERS', 'HKEY_USERS');"
    "INSERT OR IGNORE INTO counters(name, value) VALUES ('last_job', 0);";

// Waits this long for another process's write to finish before failing.
const int kBusyTimeoutMs = 10000;

bool MakeDirs(const std::string &path)
{
    std::string part;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        part = path.substr(0, pos);
        if (part.empty()) continue;
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string U8(const wstring16 &s) { return WToUtf8(s); }
std::string Upper8(const wstring16 &s) { return WToUtf8(WUpper(s)); }

class SqliteStore : public Store {
public:
    ~SqliteStore() override
    {
        for (auto &s : stmts_) sqlite3_finalize(s.second);
        if (db_) sqlite3_close(db_);
    }

    bool Open(const std::string &dir)
    {
        dir_ = dir;
        if (!MakeDirs(dir) || !MakeDirs(dir + "/spool")) return false;
        const std::string path = dir + "/registry.db";
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK)
            return false;
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        // WAL lets readers of other processes go on while one writes; NORMAL
        // sync still commits every call before it returns.
        if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=NORMAL")) return false;
        if (!Exec("BEGIN IMMEDIATE")) return false;
        if (!Exec(kSchema)) {
            Exec("ROLLBACK");
            return false;
        }
        return Exec("COMMIT");
    }

    LONG Begin(bool write) override
    {
        if (depth_++ > 0) return ERROR_SUCCESS;
        failed_ = false;
        if (Exec(write ? "BEGIN IMMEDIATE" : "BEGIN")) return ERROR_SUCCESS;
        depth_ = 0;
        return ERROR_REGISTRY_IO_FAILED;
    }

    LONG Commit() override
    {
        if (depth_ == 0) return ERROR_REGISTRY_IO_FAILED;
        if (--depth_ > 0) return ERROR_SUCCESS;
        ResetStatements();
        if (failed_) {
            Exec("ROLLBACK");
            return ERROR_REGISTRY_IO_FAILED;
        }
        if (Exec("COMMIT")) return ERROR_SUCCESS;
        Exec("ROLLBACK");
        return ERROR_REGISTRY_IO_FAILED;
    }

    void Rollback() override
    {
        if (depth_ == 0) return;
        if (--depth_ > 0) {
            failed_ = true;
            return;
        }
        ResetStatements();
        Exec("ROLLBACK");
    }

    LONG KeyExists(KeyId id) override
    {
        sqlite3_stmt *s = Prep("SELECT 1 FROM keys WHERE id = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, id);
        return Row(s);
    }

    LONG FindChild(KeyId parent, const wstring16 &name, ChildRec *out) override
    {
        sqlite3_stmt *s = Prep("SELECT id, name FROM keys WHERE parent = ? AND name_upper = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, parent);
        BindText(s, 2, Upper8(name));
        LONG rc = Row(s);
        if (rc == ERROR_SUCCESS) {
            out->id = sqlite3_column_int64(s, 0);
            out->name = ColText(s, 1);
        }
        return rc;
    }

    LONG AddChild(KeyId parent, const wstring16 &name, KeyId *out) override
    {
        sqlite3_stmt *s = Prep("INSERT INTO keys(parent, name, name_upper) VALUES (?, ?, ?)");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, parent);
        BindText(s, 2, U8(name));
        BindText(s, 3, Upper8(name));
        if (sqlite3_step(s) != SQLITE_DONE) return Fail();
        *out = sqlite3_last_insert_rowid(db_);
        return ERROR_SUCCESS;
    }

    LONG Children(KeyId parent, std::vector<ChildRec> *out) override
    {
        out->clear();
        sqlite3_stmt *s = Prep("SELECT id, name FROM keys WHERE parent = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, parent);
        return Rows(s, out, [](sqlite3_stmt *r) { return ChildRec{sqlite3_column_int64(r, 0), ColText(r, 1)}; });
    }

    LONG DeleteKey(KeyId id) override
    {
        sqlite3_stmt *v = Prep("DELETE FROM key_values WHERE key_id = ?");
        if (!v) return Fail();
        sqlite3_bind_int64(v, 1, id);
        if (sqlite3_step(v) != SQLITE_DONE) return Fail();
        sqlite3_stmt *k = Prep("DELETE FROM keys WHERE id = ?");
        if (!k) return Fail();
        sqlite3_bind_int64(k, 1, id);
        return Removed(k);
    }

    LONG GetValue(KeyId key, const wstring16 &name, ValueRec *out) override
    {
        sqlite3_stmt *s = Prep("SELECT name, type, data FROM key_values WHERE key_id = ? AND name_upper = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, key);
        BindText(s, 2, Upper8(name));
        LONG rc = Row(s);
        if (rc == ERROR_SUCCESS) ReadValue(s, out);
        return rc;
    }

    LONG SetValue(KeyId key, const wstring16 &name, DWORD type, const std::string &data) override
    {
        // An update keeps the row, so the value keeps its place in the
        // enumeration order and the case of its first name.
        sqlite3_stmt *u = Prep("UPDATE key_values SET type = ?, data = ? WHERE key_id = ? AND name_upper = ?");
        if (!u) return Fail();
        sqlite3_bind_int64(u, 1, type);
        sqlite3_bind_blob(u, 2, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(u, 3, key);
        BindText(u, 4, Upper8(name));
        if (sqlite3_step(u) != SQLITE_DONE) return Fail();
        if (sqlite3_changes(db_) > 0) return ERROR_SUCCESS;
        sqlite3_stmt *i = Prep("INSERT INTO key_values(key_id, name, name_upper, type, data) VALUES (?, ?, ?, ?, ?)");
        if (!i) return Fail();
        sqlite3_bind_int64(i, 1, key);
        BindText(i, 2, U8(name));
        BindText(i, 3, Upper8(name));
        sqlite3_bind_int64(i, 4, type);
        sqlite3_bind_blob(i, 5, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        return sqlite3_step(i) == SQLITE_DONE ? ERROR_SUCCESS : Fail();
    }

    LONG DeleteValue(KeyId key, const wstring16 &name) override
    {
        sqlite3_stmt *s = Prep("DELETE FROM key_values WHERE key_id = ? AND name_upper = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, key);
        BindText(s, 2, Upper8(name));
        return Removed(s);
    }

    LONG Values(KeyId key, std::vector<ValueRec> *out) override
    {
        out->clear();
        sqlite3_stmt *s = Prep("SELECT name, type, data FROM key_values WHERE key_id = ? ORDER BY rowid");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, key);
        return Rows(s, out, [](sqlite3_stmt *r) {
            ValueRec v;
            ReadValue(r, &v);
            return v;
        });
    }

    LONG NewJobId(DWORD *out) override
    {
        sqlite3_stmt *u = Prep("UPDATE counters SET value = value + 1 WHERE name = 'last_job'");
        if (!u || sqlite3_step(u) != SQLITE_DONE) return Fail();
        return LastJobId(out);
    }

    LONG LastJobId(DWORD *out) override
    {
        sqlite3_stmt *s = Prep("SELECT value FROM counters WHERE name = 'last_job'");
        if (!s) return Fail();
        LONG rc = Row(s);
        if (rc == ERROR_SUCCESS) *out = static_cast<DWORD>(sqlite3_column_int64(s, 0));
        return rc == ERROR_FILE_NOT_FOUND ? Fail() : rc;
    }

    LONG PutJob(const JobRec &job) override
    {
        sqlite3_stmt *s = Prep(
            "INSERT OR REPLACE INTO jobs(id, printer, document, user_name, machine, datatype, driver, status, pages,"
            " submitted) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, job.id);
        BindText(s, 2, U8(job.printer));
        BindText(s, 3, U8(job.document));
        BindText(s, 4, U8(job.user));
        BindText(s, 5, U8(job.machine));
        BindText(s, 6, U8(job.datatype));
        BindText(s, 7, U8(job.driver));
        sqlite3_bind_int64(s, 8, job.status);
        sqlite3_bind_int64(s, 9, job.pages);
        sqlite3_bind_blob(s, 10, &job.submitted, sizeof job.submitted, SQLITE_TRANSIENT);
        return sqlite3_step(s) == SQLITE_DONE ? ERROR_SUCCESS : Fail();
    }

    LONG GetJob(DWORD id, JobRec *out) override
    {
        sqlite3_stmt *s = Prep(
            "SELECT id, printer, document, user_name, machine, datatype, driver, status, pages, submitted"
            " FROM jobs WHERE id = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, id);
        LONG rc = Row(s);
        if (rc == ERROR_SUCCESS) ReadJob(s, out);
        return rc;
    }

    LONG Jobs(std::vector<JobRec> *out) override
    {
        out->clear();
        sqlite3_stmt *s = Prep(
            "SELECT id, printer, document, user_name, machine, datatype, driver, status, pages, submitted"
            " FROM jobs ORDER BY id");
        if (!s) return Fail();
        return Rows(s, out, [](sqlite3_stmt *r) {
            JobRec j;
            ReadJob(r, &j);
            return j;
        });
    }

    LONG DeleteJob(DWORD id) override
    {
        sqlite3_stmt *s = Prep("DELETE FROM jobs WHERE id = ?");
        if (!s) return Fail();
        sqlite3_bind_int64(s, 1, id);
        return Removed(s);
    }

    // A write that does not go through whole is cut back, so the file holds
    // exactly what the successful writes gave it.
    LONG AppendSpool(DWORD id, const void *data, size_t size) override
    {
        const std::string path = SpoolPath(id);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return ERROR_WRITE_FAULT;
        struct stat st;
        if (fstat(fd, &st) != 0) {
            close(fd);
            return ERROR_WRITE_FAULT;
        }
        const char *p = static_cast<const char *>(data);
        size_t left = size;
        LONG rc = ERROR_SUCCESS;
        while (left > 0) {
            ssize_t n = write(fd, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                rc = errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
                break;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
        if (rc != ERROR_SUCCESS && ftruncate(fd, st.st_size) != 0) rc = ERROR_WRITE_FAULT;
        close(fd);
        return rc;
    }

    LONG ReadSpool(DWORD id, std::string *out) override
    {
        out->clear();
        int fd = open(SpoolPath(id).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT ? ERROR_SUCCESS : ERROR_READ_FAULT;
        char buf[65536];
        for (;;) {
            ssize_t n = read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                close(fd);
                return ERROR_READ_FAULT;
            }
            if (n == 0) break;
            out->append(buf, static_cast<size_t>(n));
        }
        close(fd);
        return ERROR_SUCCESS;
    }

    LONG SpoolSize(DWORD id, DWORD *out) override
    {
        struct stat st;
        if (stat(SpoolPath(id).c_str(), &st) != 0) {
            *out = 0;
            return errno == ENOENT ? ERROR_SUCCESS : ERROR_READ_FAULT;
        }
        *out = st.st_size > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<DWORD>(st.st_size);
        return ERROR_SUCCESS;
    }

    LONG DeleteSpool(DWORD id) override
    {
        if (unlink(SpoolPath(id).c_str()) != 0 && errno != ENOENT) return ERROR_ACCESS_DENIED;
        return ERROR_SUCCESS;
    }

    std::string SpoolPath(DWORD id) override { return dir_ + "/spool/" + std::to_string(id) + ".spl"; }

private:
    bool Exec(const char *sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    // A statement left on a row keeps its read snapshot; ending the
    // transaction must let go of it so that the next one sees what other
    // processes wrote since.
    void ResetStatements()
    {
        for (auto &s : stmts_) sqlite3_reset(s.second);
    }

    // A failed statement inside a transaction spoils it: the call that runs
    // it reports the failure and its transaction is rolled back.
    LONG Fail()
    {
        failed_ = true;
        return ERROR_REGISTRY_IO_FAILED;
    }

    sqlite3_stmt *Prep(const char *sql)
    {
        sqlite3_stmt *&s = stmts_[sql];
        if (!s && sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) {
            s = nullptr;
            return nullptr;
        }
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        return s;
    }

    LONG Row(sqlite3_stmt *s)
    {
        int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) return ERROR_SUCCESS;
        if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
        return Fail();
    }

    // Appends what READ makes of each row of S to OUT.
    template <class Rec, class Read>
    LONG Rows(sqlite3_stmt *s, std::vector<Rec> *out, Read read)
    {
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) out->push_back(read(s));
        return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail();
    }

    // Runs a DELETE: ERROR_FILE_NOT_FOUND when there was nothing to delete.
    LONG Removed(sqlite3_stmt *s)
    {
        if (sqlite3_step(s) != SQLITE_DONE) return Fail();
        return sqlite3_changes(db_) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }

    static void BindText(sqlite3_stmt *s, int i, const std::string &t)
    {
        sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }

    static wstring16 ColText(sqlite3_stmt *s, int i)
    {
        const unsigned char *t = sqlite3_column_text(s, i);
        int n = sqlite3_column_bytes(s, i);
        return t ? WFromUtf8(std::string(reinterpret_cast<const char *>(t), static_cast<size_t>(n))) : wstring16();
    }

    static void ReadValue(sqlite3_stmt *s, ValueRec *out)
    {
        out->name = ColText(s, 0);
        out->type = static_cast<DWORD>(sqlite3_column_int64(s, 1));
        const void *d = sqlite3_column_blob(s, 2);
        int n = sqlite3_column_bytes(s, 2);
        out->data.assign(d ? static_cast<const char *>(d) : "", d ? static_cast<size_t>(n) : 0);
    }

    static void ReadJob(sqlite3_stmt *s, JobRec *out)
    {
        out->id = static_cast<DWORD>(sqlite3_column_int64(s, 0));
        out->printer = ColText(s, 1);
        out->document = ColText(s, 2);
        out->user = ColText(s, 3);
        out->machine = ColText(s, 4);
        out->datatype = ColText(s, 5);
        out->driver = ColText(s, 6);
        out->status = static_cast<DWORD>(sqlite3_column_int64(s, 7));
        out->pages = static_cast<DWORD>(sqlite3_column_int64(s, 8));
        out->submitted = SYSTEMTIME{};
        const void *t = sqlite3_column_blob(s, 9);
        if (t && sqlite3_column_bytes(s, 9) == static_cast<int>(sizeof out->submitted))
            std::memcpy(&out->submitted, t, sizeof out->submitted);
    }

    sqlite3 *db_ = nullptr;
    std::string dir_;
    std::map<std::string, sqlite3_stmt *> stmts_;
    int depth_ = 0;
    bool failed_ = false;
};

}  // namespace

Store *OpenSqliteStore(const std::string &dir)
{
    SqliteStore *s = new SqliteStore;
    if (!s->Open(dir)) {
        delete s;
        return nullptr;
    }
    return s;
}

}  // namespace kvp
