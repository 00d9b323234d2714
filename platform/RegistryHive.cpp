// platform/RegistryHive.cpp -- owns the hive files of the emulated registry: where they live, the
// per-thread connections to them, the schema, transactions with busy retries, and volatile keys.
//
// Why one connection per thread and hive: an SQLite transaction belongs to a connection, and a registry
// transaction belongs to the thread that opened it; sharing one connection would let a second thread's
// calls slip into the first thread's transaction. Why write-ahead logging: readers then work from a
// snapshot and never wait for a writer, and a process killed mid-transaction leaves only an uncommitted
// tail of the log, which the next opener ignores. Why BEGIN IMMEDIATE for writes: a deferred transaction
// that upgrades to writing can deadlock against another upgrader and fail at once; taking the write lock
// first makes writers queue under the busy timeout instead.
//
// Fork: a connection is never used by a process other than the one that opened it (SQLite's rule). A
// forked child closes every connection it inherited, from all threads, before it opens one of its own:
// SQLite keeps per-process lock counts per file, and inherited counts would make the child's new
// connection believe it holds locks that only the parent holds. Once the parent let go, a checkpoint
// elsewhere could then delete the write-ahead log under the child. Closing in the child releases nothing
// of the parent's (POSIX record locks belong to the process that took them). All connections are listed
// process-wide for that; the list's guard is held across fork() so the child never inherits it locked.
//
// Not here: key and value operations (Registry.cpp), how values are packed and cached (RegistryValues.cpp),
// environment strings (RegistryExpand.cpp).
#include "platform/RegistryHive.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx::platform {

namespace hive {

namespace {

std::atomic<int> busyTimeoutMs{2000};
std::atomic<int> busyRetries{5};
constexpr const char* kFolderVariable = "QXPROPHANDLING_REGISTRY_DIR";
constexpr const char* kMachineFolder = "/var/lib/qxPropHandling";

thread_local std::string failureDetail;

std::mutex bootIdSourceGuard;  // guards bootIdSource
std::string bootIdSource = "/proc/sys/kernel/random/boot_id";

std::string currentBootId() {
    std::string path;
    {
        std::lock_guard lock(bootIdSourceGuard);
        path = bootIdSource;
    }
    std::ifstream in(path);
    std::string id;
    std::getline(in, id);
    // Without a boot id volatile keys cannot be told apart from those of an earlier start; a fixed word
    // keeps them until one can be read again, which loses nothing.
    return id.empty() ? std::string("unknown-boot") : id;
}

std::mutex everyGuard;                // guards every, across fork() too
std::vector<Connection*> every;       // every open connection of every thread; owned by the thread tables

void closeConnection(Connection& c) {
    for (auto& entry : c.statements) sqlite3_finalize(entry.second);
    c.statements.clear();
    sqlite3_close_v2(c.db);
    c.db = nullptr;
    c.pid = 0;
}

std::atomic<int> cachedPid{0};  // this process's id, refreshed in a forked child; getpid() is a system call

void refreshPidAfterFork() {
    cachedPid = ::getpid();
    everyGuard.unlock();
}

// The process id, without a system call on every registry call.
int processId() {
    // A function-local static: after the first call its guard is one load, where call_once costs a call.
    static const bool registered = [] {
        cachedPid = ::getpid();
        ::pthread_atfork([] { everyGuard.lock(); }, [] { everyGuard.unlock(); }, refreshPidAfterFork);
        return true;
    }();
    (void)registered;
    return cachedPid.load(std::memory_order_relaxed);
}

void listConnection(Connection* c) {
    std::lock_guard lock(everyGuard);
    every.push_back(c);
}

void unlistAndClose(Connection& c) {
    {
        std::lock_guard lock(everyGuard);
        every.erase(std::remove(every.begin(), every.end(), &c), every.end());
    }
    closeConnection(c);
}

// In a forked child, closes what the parent's threads had open (see the file comment). Their Connection
// records stay with the thread tables: this thread's are dropped on its next lookup, those of threads that
// do not exist in the child are never touched again.
void closeInherited() {
    const int self = processId();
    std::lock_guard lock(everyGuard);
    for (Connection* c : every)
        if (c->pid != self) closeConnection(*c);
    every.erase(std::remove_if(every.begin(), every.end(), [](Connection* c) { return c->db == nullptr; }),
                every.end());
}

// This thread's connections, by hive file.
struct ConnectionTable {
    std::map<std::string, std::unique_ptr<Connection>> byFile;

    ~ConnectionTable() {
        for (auto& entry : byFile)
            if (entry.second->pid == processId()) unlistAndClose(*entry.second);
    }
};
thread_local ConnectionTable connections;
// The connection used last and its file (the key of its entry in connections): most calls in a row go to
// the same hive. Plain pointers, so that reaching them needs no thread-local initialisation check.
thread_local Connection* lastConnection = nullptr;
thread_local const std::string* lastFile = nullptr;

void remember(Connection* c, const std::string& file) {
    lastConnection = c;
    lastFile = &file;
}

std::atomic<int> listedFor{0};  // the process whose connections `every` holds

bool isRetryable(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// Runs one statement without a result set, prepared once per connection (a transaction's BEGIN, SAVEPOINT
// and RELEASE run for every call, so compiling them each time would cost more than the work itself).
int exec(Connection& c, const char* sql) {
    Statement s(c, sql);
    const int rc = s.step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

int execWithRetry(Connection& c, const char* sql) {
    int rc = SQLITE_OK;
    const int retries = busyRetries.load();
    for (int attempt = 0; attempt <= retries; ++attempt) {
        rc = exec(c, sql);
        if (!isRetryable(rc)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5 * (attempt + 1)));
    }
    return rc;
}

// Makes folder and its missing parents with mode; false with the failure detail set when it cannot be
// made or written.
bool makeFolder(const std::string& folder, mode_t mode) {
    std::string partial;
    std::size_t start = 0;
    while (start <= folder.size()) {
        const std::size_t slash = folder.find('/', start);
        const std::size_t end = slash == std::string::npos ? folder.size() : slash;
        partial = folder.substr(0, end);
        if (!partial.empty() && ::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) {
            setFailureDetail("registry folder " + folder + " cannot be made: " + std::strerror(errno) +
                             "; set " + kFolderVariable + " to a writable folder");
            return false;
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    struct stat info{};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || ::access(folder.c_str(), W_OK) != 0) {
        setFailureDetail("registry folder " + folder + " cannot be written; set " + kFolderVariable +
                         " to a writable folder");
        return false;
    }
    return true;
}

// Values live packed in their key's row (RegistryValues.cpp), leaves in their parent's (RegistryTree.cpp);
// ids: the next key id, for rows and leaves alike.
const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, folded TEXT NOT NULL, name TEXT NOT NULL, boot TEXT,"
    " vals BLOB NOT NULL DEFAULT x'', leaves BLOB NOT NULL DEFAULT x'', UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS ids(next INTEGER NOT NULL);"
    "INSERT INTO ids SELECT 2 WHERE NOT EXISTS(SELECT 1 FROM ids);"
    "INSERT OR IGNORE INTO keys(id, parent, folded, name) VALUES(1, 0, '', '');"
    "PRAGMA user_version = 3;";

// The result of checkSchema for a hive of another layout: SQLITE_NOTADB widened by a code SQLite does not
// use, so that connect keeps the detail checkSchema wrote instead of the database's own text.
constexpr int kOtherLayout = SQLITE_NOTADB | (99 << 8);

int schemaVersion(Connection& c) {
    Statement s(c, "PRAGMA user_version");
    return s.step() == SQLITE_ROW ? static_cast<int>(s.int64(0)) : -1;
}

// SQLITE_OK when a hive that has a root is of the layout this code reads; otherwise SQLITE_NOTADB with a
// detail that says why (a hive of an earlier layout is not converted: see docs/behaviour.md).
int checkSchema(Connection& c) {
    const int version = schemaVersion(c);
    if (version == kSchemaVersion) return SQLITE_OK;
    if (version == 0 || version == 2)
        setFailureDetail("hive " + std::string(sqlite3_db_filename(c.db, "main")) + " was made by an earlier version" +
                         " that kept one row per " + (version == 0 ? "value" : "key") + "; remove it to start anew");
    else
        setFailureDetail("hive " + std::string(sqlite3_db_filename(c.db, "main")) + " has layout " +
                         std::to_string(version) + ", which this version does not know");
    return kOtherLayout;
}

// A connection the file system lets only read: the hive must already be set up.
int readOnlyCheck(Connection& c) {
    Statement probe(c, "SELECT 1 FROM keys WHERE id = 1");
    const int rc = probe.step();
    if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_NOTADB : rc;
    return checkSchema(c);
}

// Sets up a fresh connection: WAL, busy timeout, schema, and drops volatile keys of an earlier boot.
int prepare(Connection& c) {
    sqlite3_busy_timeout(c.db, busyTimeoutMs.load());
    sqlite3_extended_result_codes(c.db, 1);
    // The log and its index stay when the last writer closes: a user who may read the hive but not write
    // its folder can then still open it (SQLite cannot make those files for such a reader).
    int persist = 1;
    sqlite3_file_control(c.db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    if (sqlite3_db_readonly(c.db, "main") == 1) return readOnlyCheck(c);
    // Large pages for a new hive (a hive that has pages keeps its size): a list's leaves make one large
    // value, and every page of it costs a log frame and, when the next export replaces it, a trip through
    // the free list. Only before the log is set up can the size still change.
    int rc = execWithRetry(c, "PRAGMA page_size=65536");
    if (rc != SQLITE_OK) return rc;
    rc = execWithRetry(c, "PRAGMA journal_mode=WAL");
    if (rc != SQLITE_OK) return rc;
    // NORMAL in WAL mode loses no committed transaction to a killed process, only to a power failure.
    if ((rc = execWithRetry(c, "PRAGMA synchronous=NORMAL")) != SQLITE_OK) return rc;
    // An export of a large list changes more pages than the default cache holds; spilling them into the
    // log before the commit would write them twice. Temporary tables (the tree walks of deletes) stay
    // in memory for the same reason.
    if ((rc = execWithRetry(c, "PRAGMA cache_size=-16384")) != SQLITE_OK) return rc;
    // The log is copied back into the hive once it holds about 4 MiB, as with SQLite's default for its
    // default page size; counted in pages, the default would let it grow to 64 MiB with large pages.
    if ((rc = execWithRetry(c, "PRAGMA wal_autocheckpoint=64")) != SQLITE_OK) return rc;
    // Freed pages are not overwritten with zeros where that costs extra writes: an export frees the whole
    // previous setting, and zeroing it doubled what the export wrote. The hive is private to its owner.
    if ((rc = execWithRetry(c, "PRAGMA secure_delete=FAST")) != SQLITE_OK) return rc;
    if ((rc = execWithRetry(c, "PRAGMA temp_store=MEMORY")) != SQLITE_OK) return rc;
    // The schema is made only by the first opener, so opening a hive that exists never waits for a writer.
    const auto hasRoot = [&c] {
        Statement probe(c, "SELECT 1 FROM keys WHERE id = 1");
        return probe.step() == SQLITE_ROW;
    };
    if (!hasRoot()) {
        if ((rc = execWithRetry(c, "BEGIN IMMEDIATE")) != SQLITE_OK) return rc;
        rc = sqlite3_exec(c.db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = execWithRetry(c, "COMMIT");
        if (rc != SQLITE_OK) {
            sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
            return rc;
        }
        if (!hasRoot()) return SQLITE_NOTADB;
    }
    if ((rc = checkSchema(c)) != SQLITE_OK) return rc;
    {
        Statement stale(c, "SELECT 1 FROM keys WHERE boot IS NOT NULL AND boot <> ?1 LIMIT 1");
        stale.bind(1, c.bootId);
        rc = stale.step();
        if (rc == SQLITE_DONE) return SQLITE_OK;
        if (rc != SQLITE_ROW) return rc;
    }  // reset before taking the write lock: a pending read would pin an old snapshot
    // Writers holding the hive past the wait only postpone the clean-up to the next open; the keys stay.
    if ((rc = execWithRetry(c, "BEGIN IMMEDIATE")) != SQLITE_OK) return isRetryable(rc) ? SQLITE_OK : rc;
    Statement keys(c, "WITH RECURSIVE sub(id) AS (SELECT id FROM keys WHERE boot IS NOT NULL AND boot <> ?1"
                      " UNION SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
                      " DELETE FROM keys WHERE id IN sub");
    keys.bind(1, c.bootId);
    rc = keys.step();
    if (rc == SQLITE_DONE) rc = execWithRetry(c, "COMMIT");
    if (rc != SQLITE_OK) sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
}

} // namespace

void setFailureDetail(std::string text) { failureDetail = std::move(text); }

int errorOf(Connection& c, int sqliteResult) {
    setFailureDetail(c.db ? sqlite3_errmsg(c.db) : sqlite3_errstr(sqliteResult));
    switch (sqliteResult & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return kRegBusy;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return kRegBadDb;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return kRegAccessDenied;
    case SQLITE_TOOBIG: return kRegInvalidParameter;
    default: return kRegIoFailed;
    }
}

Connection* connect(Hive hive, const std::string& file, bool create, int* error) {
    if (lastConnection && lastConnection->pid == processId() && file == *lastFile &&
        listedFor.load(std::memory_order_relaxed) == processId())
        return lastConnection;
    lastConnection = nullptr;
    if (listedFor.load() != processId()) {
        closeInherited();
        listedFor = processId();
    }
    auto found = connections.byFile.find(file);
    if (found != connections.byFile.end()) {
        if (found->second->pid == processId()) {
            remember(found->second.get(), found->first);
            return lastConnection;
        }
        connections.byFile.erase(found);  // closed by closeInherited
    }
    struct stat info{};
    if (::stat(file.c_str(), &info) != 0) {
        if (!create) {
            setFailureDetail("hive " + file + " does not exist yet");
            *error = kRegFileNotFound;
            return nullptr;
        }
        const std::string folder = file.substr(0, file.rfind('/'));
        if (!makeFolder(folder, hive == Hive::User ? 0700 : 0755)) {
            *error = kRegAccessDenied;
            return nullptr;
        }
        // Made here, not by SQLite, so the user's hive is private from its first byte; SQLite gives its
        // log files the mode of the database.
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, hive == Hive::User ? 0600 : 0644);
        if (fd < 0) {
            setFailureDetail("hive " + file + " cannot be made: " + std::strerror(errno));
            *error = kRegAccessDenied;
            return nullptr;
        }
        ::close(fd);
    }
    auto c = std::make_unique<Connection>();
    c->pid = processId();
    c->bootId = currentBootId();
    int rc = sqlite3_open_v2(file.c_str(), &c->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) rc = prepare(*c);
    if (rc != SQLITE_OK) {
        *error = rc == kOtherLayout ? kRegBadDb : (rc & 0xFF) == SQLITE_CANTOPEN ? kRegAccessDenied : errorOf(*c, rc);
        if ((rc & 0xFF) == SQLITE_CANTOPEN) setFailureDetail("hive " + file + " cannot be opened for writing");
        closeConnection(*c);
        return nullptr;
    }
    Connection* result = c.get();
    listConnection(result);
    const auto placed = connections.byFile.emplace(file, std::move(c)).first;
    remember(result, placed->first);
    return result;
}

Connection* connect(Hive hive, const std::shared_ptr<const std::string>& file, bool create, int* error) {
    if (lastConnection && lastConnection->fileObject == file && lastConnection->pid == processId() &&
        listedFor.load(std::memory_order_relaxed) == processId())
        return lastConnection;
    Connection* c = connect(hive, *file, create, error);
    if (c) c->fileObject = file;
    return c;
}

Statement::Statement(Connection& c, const char* sql) {
    auto found = c.statements.find(sql);
    if (found != c.statements.end()) {
        s_ = found->second;
        prepared_ = SQLITE_OK;
        return;
    }
    prepared_ = sqlite3_prepare_v2(c.db, sql, -1, &s_, nullptr);
    if (prepared_ == SQLITE_OK) c.statements.emplace(sql, s_);
}

Statement::~Statement() {
    if (s_) {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (s_) sqlite3_bind_int64(s_, index, value);
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    if (s_) sqlite3_bind_text(s_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindBlob(int index, const void* data, std::size_t size) {
    // A null pointer would bind SQL NULL; an empty value is an empty blob.
    if (!s_) return *this;
    if (size == 0) sqlite3_bind_zeroblob(s_, index, 0);
    else sqlite3_bind_blob64(s_, index, data, size, SQLITE_STATIC);
    return *this;
}

Statement& Statement::bindNull(int index) {
    if (s_) sqlite3_bind_null(s_, index);
    return *this;
}

std::string Statement::text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s_, column))) : std::string();
}

int beginStep(Connection& c, bool write) {
    c.touched = false;
    if (c.depth == 0) ++c.serial;
    const char* sql = c.depth > 0 ? "SAVEPOINT step" : write ? "BEGIN IMMEDIATE" : "BEGIN";
    const int rc = execWithRetry(c, sql);
    return rc == SQLITE_OK ? kRegSuccess : errorOf(c, rc);
}

void noteFailedStep(Connection& c) {
    c.rollbackOnly = true;
    c.rollbackReason = "a call in the transaction failed after changing it: " + registryFailureDetail();
}

int endStep(Connection& c, bool ok) {
    if (c.depth > 0) {
        if (!ok) {
            exec(c, "ROLLBACK TO step");
            if (c.touched) noteFailedStep(c);
        }
        const int rc = exec(c, "RELEASE step");
        return rc == SQLITE_OK ? kRegSuccess : errorOf(c, rc);
    }
    int rc = ok ? flushTree(c) : kRegIoFailed;
    endTransactionMemory(c);
    if (rc == kRegSuccess) {
        rc = execWithRetry(c, "COMMIT");
        if (rc == SQLITE_OK) return kRegSuccess;
        rc = errorOf(c, rc);
    }
    sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
    dropTree(c);
    return ok ? rc : kRegSuccess;
}

} // namespace hive

std::string hiveFile(Hive hive) {
    const char* name = hive == Hive::User ? "user.hive" : "machine.hive";
    if (const char* folder = std::getenv(hive::kFolderVariable); folder && *folder)
        return std::string(folder) + "/" + name;
    if (hive == Hive::Machine) return std::string(hive::kMachineFolder) + "/" + name;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/qxPropHandling/" + name;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.config/qxPropHandling/" + name;
}

std::string registryFailureDetail() { return hive::failureDetail; }

void clearRegistryFailureDetail() { hive::failureDetail.clear(); }

std::string registryErrorText(int error) {
    switch (error) {
    case kRegSuccess: return "success";
    case kRegFileNotFound: return "no such key or value";
    case kRegAccessDenied: return "access denied";
    case kRegInvalidParameter: return "invalid parameter";
    case kRegBadPathname: return "bad key path";
    case kRegBusy: return "the hive is busy";
    case kRegMoreData: return "more data is available";
    case kRegNoMoreItems: return "no more items";
    case kRegBadDb: return "the hive file is damaged or not a hive";
    case kRegIoFailed: return "the hive could not be read or written";
    case kRegKeyDeleted: return "the key has been deleted";
    case kRegChildMustBeVolatile: return "a key below a volatile key must be volatile";
    default: return "error " + std::to_string(error);
    }
}

void setBootIdSource(std::string path) {
    std::lock_guard lock(hive::bootIdSourceGuard);
    hive::bootIdSource = std::move(path);
}

void setBusyWait(int timeoutMs, int retries) {
    hive::busyTimeoutMs = timeoutMs;
    hive::busyRetries = retries;
}

void closeThreadHives() {
    if (hive::listedFor.load() != hive::processId()) {
        hive::closeInherited();
        hive::listedFor = hive::processId();
    }
    hive::lastConnection = nullptr;
    auto& table = hive::connections.byFile;
    for (auto it = table.begin(); it != table.end();) {
        hive::Connection& c = *it->second;
        if (c.pid != hive::processId()) {
            it = table.erase(it);
        } else if (c.depth == 0) {
            hive::unlistAndClose(c);
            it = table.erase(it);
        } else {
            ++it;
        }
    }
}

RegistryTransaction::RegistryTransaction(Hive hive, Mode mode) : hive_(hive), file_(hiveFile(hive)) {
    int error = kRegSuccess;
    hive::Connection* c = hive::connect(hive, file_, mode == Mode::Write, &error);
    if (!c) {
        status_ = error;
        return;
    }
    if (c->depth == 0) {
        const int rc = hive::beginStep(*c, mode == Mode::Write);
        if (rc != kRegSuccess) {
            status_ = rc;
            return;
        }
        c->rollbackOnly = false;
    }
    ++c->depth;
    status_ = kRegSuccess;
}

RegistryTransaction::~RegistryTransaction() {
    if (status_ != kRegSuccess || done_) return;
    int error = kRegSuccess;
    hive::Connection* c = hive::connect(hive_, file_, false, &error);
    if (!c || c->depth == 0) return;
    if (--c->depth == 0) {
        sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
        hive::dropTree(*c);
        hive::endTransactionMemory(*c);
    } else {
        c->rollbackOnly = true;
        c->rollbackReason = "an inner transaction was not committed";
    }
}

int RegistryTransaction::commit() {
    if (status_ != kRegSuccess) return status_;
    if (done_) return kRegInvalidParameter;
    done_ = true;
    int error = kRegSuccess;
    hive::Connection* c = hive::connect(hive_, file_, false, &error);
    if (!c || c->depth == 0) return error ? error : kRegIoFailed;
    if (--c->depth > 0) return kRegSuccess;
    if (c->rollbackOnly) {
        sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
        hive::dropTree(*c);
        hive::endTransactionMemory(*c);
        hive::setFailureDetail(c->rollbackReason);
        return kRegIoFailed;
    }
    // depth is 0 now, so endStep writes what is kept in memory and commits the outermost transaction.
    return hive::endStep(*c, true);
}

} // namespace qx::platform
