// platform/Registry.h -- the emulated registry: a tree of keys holding typed values, one SQLite database
// per hive, behind the same narrow calls the settings code would make on a system with a native registry:
// open or create a key below a hive or a key, query, set, enumerate and delete values, enumerate subkeys,
// query key information, delete a tree, and expand environment strings.
//
// Results are numbers, not exceptions: 0 for success or one of the kReg* error numbers below, which are the
// numbers a native registry gives, so code above can log and compare them as it would there. Key and value
// names compare case-insensitively (ASCII) and keep their case; subkeys enumerate in case-folded name order,
// values in creation order. A path separates its components with backslashes only.
//
// Threads: every call is safe from any thread. Each thread has its own database connection per hive, so
// a transaction (RegistryTransaction) belongs to the thread that made it and groups that thread's calls on
// that hive; other threads and processes see all of it or none of it. Readers never wait for a writer
// (except the first opener after a restart, which clears old volatile keys); writers wait for each other
// up to a busy timeout and a few retries, then fail with kRegBusy.
//
// Where the hives live: see hiveFile(). Volatile keys carry the boot id of the system they were made in and
// are dropped when a hive is opened after a restart (setBootIdSource makes that testable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::platform {

// Error numbers of the registry calls.
inline constexpr int kRegSuccess = 0;
inline constexpr int kRegFileNotFound = 2;       // no such key or value; also a hive file that does not exist yet
inline constexpr int kRegAccessDenied = 5;       // write through a read handle; hive folder not writable
inline constexpr int kRegInvalidParameter = 87;  // NUL byte or over-long name, bad data size, closed handle
inline constexpr int kRegBadPathname = 161;      // empty path component, "." or "..", too deep a path
inline constexpr int kRegBusy = 170;             // other writers held the hive past the timeout and retries
inline constexpr int kRegMoreData = 234;         // the caller's buffer is too small; the size needed is set
inline constexpr int kRegNoMoreItems = 259;      // enumeration index past the end
inline constexpr int kRegBadDb = 1009;           // the hive file is not a registry database
inline constexpr int kRegIoFailed = 1016;        // any other failure of the database
inline constexpr int kRegKeyDeleted = 1018;      // the key behind the handle was deleted
inline constexpr int kRegChildMustBeVolatile = 1021;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Limits of names, in bytes without a terminating zero.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxKeyDepth = 512;

enum class Hive { Machine, User };
// The settings scope word: 0 the machine hive, anything else the user's.
constexpr Hive hiveOfScope(int scope) noexcept { return scope == 0 ? Hive::Machine : Hive::User; }

enum class KeyAccess { Read, ReadWrite };

// Where a hive's database lives: both hives in QXPROPHANDLING_REGISTRY_DIR when it is set and not empty;
// otherwise the user hive in $XDG_CONFIG_HOME/qxPropHandling (or ~/.config/qxPropHandling) and the machine
// hive in /var/lib/qxPropHandling. Read on every open, so tests may switch folders between calls.
std::string hiveFile(Hive hive);

// Text of the last failure of this thread that had more to say than its number (which folder could not be
// written, what the database said); empty when the last failing call had nothing to add.
std::string registryFailureDetail();
void clearRegistryFailureDetail();
// A short English text for an error number of this file.
std::string registryErrorText(int error);

// Where the boot id comes from; the default is /proc/sys/kernel/random/boot_id. Tests point it at a file of
// their own. Takes effect when a hive is next opened by a thread (see closeThreadHives).
void setBootIdSource(std::string path);
// How long a writer waits for the hive's write lock before one retry (default 2000 ms), and how many
// retries it makes (default 5) before failing with kRegBusy. Takes effect for connections opened later.
void setBusyWait(int timeoutMs, int retries);
// Closes this thread's connections to hives with no transaction open, so the next call opens them anew
// (and drops stale volatile keys). Open key handles stay valid.
void closeThreadHives();

// One value for RegistryKey::setValues.
struct ValueWrite {
    std::string_view name;
    std::uint32_t type = kRegNone;
    const void* data = nullptr;
    std::uint32_t size = 0;
};

struct KeyInfo {
    std::uint32_t subKeys = 0;
    std::uint32_t maxSubKeyLength = 0;   // longest subkey name, bytes without the zero
    std::uint32_t values = 0;
    std::uint32_t maxValueNameLength = 0;
    std::uint32_t maxValueDataLength = 0;
};

// A handle of an open key. Copyable (a copy is another handle of the same key); closing is dropping it.
// A default-made handle is closed; calls through it fail with kRegInvalidParameter.
class RegistryKey {
public:
    RegistryKey() = default;
    // The root key of a hive, open for writing (the root itself cannot be deleted).
    static RegistryKey root(Hive hive);

    bool isOpen() const noexcept { return id_ != 0; }
    Hive hive() const noexcept { return hive_; }
    KeyAccess access() const noexcept { return access_; }
    // The key's path below its hive as given when opened ("" for the root).
    const std::string& path() const noexcept { return path_; }

    // Opens subKey below this key ("" opens this key again, possibly with other access).
    int open(std::string_view subKey, KeyAccess access, RegistryKey& result) const;
    // Opens subKey below this key, making it and any missing keys on the way; a key made volatile is made
    // with the boot id of this system, and a key below a volatile key must be volatile too. *created tells
    // whether the last key of the path was made by this call.
    int create(std::string_view subKey, KeyAccess access, bool isVolatile, RegistryKey& result,
               bool* created = nullptr) const;

    // Reads a value. data null asks only for type and size. *size is the buffer's size on entry and the
    // value's size on return; a buffer too small gives kRegMoreData and leaves the buffer unspecified.
    int queryValue(std::string_view name, std::uint32_t* type, void* data, std::uint32_t* size) const;
    // The whole value in one call.
    int queryValue(std::string_view name, std::uint32_t& type, std::vector<std::uint8_t>& data) const;
    // Sets a value, making it or replacing type and data (a replaced value keeps its place in the order).
    // REG_DWORD needs 4 bytes, REG_QWORD 8.
    int setValue(std::string_view name, std::uint32_t type, const void* data, std::uint32_t size) const;
    // Sets several values in order in one step, as setValue would one by one: results[i] gets each one's
    // number, and a value that cannot be set leaves the others set. Returns the first failure, or 0.
    int setValues(const ValueWrite* values, std::size_t count, int* results) const;
    // create (for writing) and setValues in one step: an export makes a key for each property and fills it
    // at once. Returns create's number; when that is 0, results[i] holds each value's number as setValues
    // gives it. result, when given, becomes a handle of the key.
    int createWithValues(std::string_view subKey, bool isVolatile, const ValueWrite* values, std::size_t count,
                         int* results, RegistryKey* result = nullptr) const;
    int deleteValue(std::string_view name) const;

    // The name of the subkey with this index. *nameSize is the buffer's size on entry (room for the
    // terminating zero included) and the name's length without it on return; too small: kRegMoreData.
    int enumKey(std::uint32_t index, char* name, std::uint32_t* nameSize) const;
    int enumKey(std::uint32_t index, std::string& name) const;
    // Name, type and data of the value with this index; sizes as for enumKey and queryValue (data may be
    // null to ask only for the name, type and size).
    int enumValue(std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type, void* data,
                  std::uint32_t* dataSize) const;
    int enumValue(std::uint32_t index, std::string& name, std::uint32_t& type,
                  std::vector<std::uint8_t>& data) const;
    int queryInfo(KeyInfo& info) const;

    // Deletes subKey below this key with every key and value below it. An empty subKey is refused.
    int deleteTree(std::string_view subKey) const;

private:
    // Runs use on the type and bytes of the named value; its answer is the result. 2 when there is none.
    int withValue(std::string_view name, const std::function<int(std::uint32_t, const void*, std::uint32_t)>& use) const;
    RegistryKey(Hive hive, std::shared_ptr<const std::string> file, std::int64_t parent, std::int64_t id,
                KeyAccess access, std::string path)
        : hive_(hive), file_(std::move(file)), parent_(parent), id_(id), access_(access), path_(std::move(path)) {}
    template <class Body>
    int run(bool write, bool needFile, bool manyStatements, Body&& body) const;

    Hive hive_ = Hive::User;
    std::shared_ptr<const std::string> file_;  // the hive's database, fixed when the root handle was made
    std::int64_t parent_ = 0;  // id of the key's parent (0 for the root): where the key is looked up
    std::int64_t id_ = 0;      // id of the key in its hive; ids are never reused, so a deleted key stays gone
    KeyAccess access_ = KeyAccess::Read;
    std::string path_;
};

// Groups this thread's calls on one hive into one database transaction: other threads and processes see
// all of its changes or none. A write transaction holds the hive's write lock from construction on; a read
// transaction sees one consistent state of the hive for its whole life. Nests: an inner transaction joins
// the outer one. Not committed when it goes away: rolled back (also when the process dies).
class RegistryTransaction {
public:
    enum class Mode { Read, Write };
    RegistryTransaction(Hive hive, Mode mode);
    ~RegistryTransaction();
    RegistryTransaction(const RegistryTransaction&) = delete;
    RegistryTransaction& operator=(const RegistryTransaction&) = delete;

    // 0 when the transaction began; otherwise the error number (and every call on the hive from this thread
    // runs as if there were no transaction).
    int status() const noexcept { return status_; }
    // Makes the changes durable and visible. Returns 0 or an error number (the changes are then lost). An
    // inner transaction's commit only marks it done; the outermost one decides.
    int commit();

private:
    Hive hive_;
    std::string file_;
    int status_;
    bool done_ = false;
};

// Replaces every %NAME% of source whose variable is set by its value; %NAME% of a variable that is not
// set stays as it is, as does a lone %. Writes the result with its terminating zero into dest when it fits
// in size bytes; returns the number of bytes the result needs with its zero, or 0 when that exceeds 32768.
std::uint32_t expandEnvironmentStrings(const char* source, char* dest, std::uint32_t size);
// The same, as a string; nothing when the result exceeds the limit.
std::optional<std::string> expandEnvironmentStrings(std::string_view source);

} // namespace qx::platform
