// qxPropHandling.hpp -- the C++17 interface over the flat C interface of libqxPropHandling. Header-only: the
// shared library still exports only its C functions, so this header can change without touching the ABI.
//
// What it adds to the C calls: owners that clean up (Library, List, Callback, AccessLock), typed access to
// values (get<T>/set with scalars, std::vector for arrays, std::string for texts, std::optional for limits
// that may be absent), lookup by path and iteration, and one exception type, qx::Error, for every failed
// call. Every C return code is checked; a destructor, which must not throw, leaves its failure in the
// thread's last error and never hides a failure of the call it wraps.
//
// Cost: the typed scalar get/set is inline and allocates nothing; the only work beyond the C call is the
// one-slot argument buffer (three stores) and the check of its result (one load of a global and a test).
//
// Handles stay plain HOBJ values: a Component, Property or Method is a handle with typed calls, copied
// freely and owning nothing. Texts the library hands out (names, string values) are copied while the
// component-access lock is held, because they live only until the component changes.
#ifndef QX_PROP_HANDLING_HPP
#define QX_PROP_HANDLING_HPP

#include "qxPropHandling.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iterator>
#include <locale>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qx {

// ---- errors ----------------------------------------------------------------------------------------------

// The one exception of this interface: a failed call with the library's code, the code's name and the
// calling thread's last-error text at the time of the failure.
class Error : public std::runtime_error {
public:
    // An error with code and text; the name comes from the library's table of code names.
    Error(int code, std::string text)
        : std::runtime_error(describe(code, text)), code_(code), name_(nameOf(code)), text_(std::move(text)) {}

    // The C return code, e.g. -2004.
    int code() const noexcept { return code_; }
    // The code's name, e.g. "PROPHANDLING_NO_WRITE_RIGHTS".
    const std::string& name() const noexcept { return name_; }
    // The library's last-error text for the failure (may be empty: some refusals carry none).
    const std::string& text() const noexcept { return text_; }

    // The library's name for a code ("(null)" if the library gave none).
    static std::string nameOf(int code) {
        const char* name = qxPropHandlingErrorCodeToString(code);
        return name != nullptr ? name : "(null)";
    }

private:
    static std::string describe(int code, const std::string& text) {
        return nameOf(code) + " (" + std::to_string(code) + ")" + (text.empty() ? "" : ": " + text);
    }
    int code_;
    std::string name_;
    std::string text_;
};

namespace detail {

// An exception thrown by caller code inside a callback cannot cross the library's C frames: the trampoline
// keeps it here (the first one wins), makes the library's call fail or finish, and the wrapper call that
// ran the library rethrows it.
//
// The success path of every call reads one plain global: the number of threads holding such an exception.
// A thread_local would be as cheap in an executable, but code built position-independent (a plugin, a
// shared library over this header) reaches it through a call to __tls_get_addr on every wrapper call.
// Only while the count is non-zero does a call look at its own thread's flag.
inline std::atomic<unsigned> g_threadsWithPending{0};
inline thread_local bool t_callbackThrew = false;

// The thread's kept exception; a thread that ends still holding one takes itself off the count.
struct PendingException {
    std::exception_ptr exception;
    ~PendingException() {
        if (t_callbackThrew) g_threadsWithPending.fetch_sub(1, std::memory_order_relaxed);
    }
};
inline PendingException& pendingException() noexcept {
    static thread_local PendingException pending;
    return pending;
}
inline void keepCallbackException(std::exception_ptr e) noexcept {
    if (t_callbackThrew) return;
    pendingException().exception = std::move(e);
    t_callbackThrew = true;
    g_threadsWithPending.fetch_add(1, std::memory_order_relaxed);
}
// True while this thread holds an exception from a callback that no wrapper call has rethrown yet.
inline bool callbackThrew() noexcept {
    return g_threadsWithPending.load(std::memory_order_relaxed) != 0 && t_callbackThrew;
}

// The calling thread's last-error text, read with the size protocol; empty if even that read fails.
inline std::string lastErrorText() {
    int code = 0;
    std::size_t size = 0;
    if (qxPropHandlingGetLastError(&code, nullptr, &size) != PROPHANDLING_NO_ERROR || size == 0) return {};
    std::string text(size, '\0');
    if (qxPropHandlingGetLastError(&code, text.data(), &size) != PROPHANDLING_NO_ERROR) return {};
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

// Throws what a failed call means: the callback's own exception if caller code threw, else qx::Error.
[[noreturn]] inline void raise(int rc) {
    if (t_callbackThrew) {
        t_callbackThrew = false;
        g_threadsWithPending.fetch_sub(1, std::memory_order_relaxed);
        std::exception_ptr e = std::move(pendingException().exception);
        pendingException().exception = nullptr;
        std::rethrow_exception(e);
    }
    throw Error(rc, lastErrorText());
}

// The rare path of check(): a failed call, or some thread holds a callback's exception (maybe another one,
// and then a successful call returns normally).
inline void settle(int rc) {
    if (rc != PROPHANDLING_NO_ERROR || t_callbackThrew) raise(rc);
}

// Every C call's result goes through here. One test for both: codes are zero on success, and so is the
// count while no callback has thrown.
inline void check(int rc) {
#if defined(__GNUC__)
    if (__builtin_expect((rc | static_cast<int>(g_threadsWithPending.load(std::memory_order_relaxed))) != 0, 0))
        settle(rc);
#else
    if ((rc | static_cast<int>(g_threadsWithPending.load(std::memory_order_relaxed))) != 0) settle(rc);
#endif
}

inline CallParam param(std::uint32_t type, std::uint64_t bits) noexcept {
    CallParam p{};
    p.type = type;
    p.value.bits = bits;
    return p;
}

inline CallParam getParam(HOBJ h, int id, const CallParam* in = nullptr, std::size_t inCount = 0) {
    CallParam out{};
    check(qxCompGetParam(h, id, in, inCount, &out, 1));
    return out;
}

inline std::uint64_t getBits(HOBJ h, int id) { return getParam(h, id).value.bits; }

} // namespace detail

// ---- library and locks -------------------------------------------------------------------------------

// One reference on the library for a scope: init in the constructor, done in the destructor. The last
// reference released destroys every list, so keep a Library alive as long as the tree is used.
class Library {
public:
    // Takes a reference (the library's count goes up by one).
    Library() noexcept : count_(static_cast<unsigned>(qxPropHandlingLibInit())) {}
    // Releases it; the last release destroys the tree.
    ~Library() { qxPropHandlingLibDone(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    // The library's reference count right after this object took its reference.
    unsigned countAtStart() const noexcept { return count_; }

private:
    unsigned count_;
};

// Holds the process's component-access lock for a scope (recursive; callbacks run by calls made inside
// the scope keep it, so other threads wait until the scope ends).
class AccessLock {
public:
    // Enters the lock.
    AccessLock() noexcept { qxLockCompAccess(); }
    // Leaves it.
    ~AccessLock() { qxUnlockCompAccess(); }
    AccessLock(const AccessLock&) = delete;
    AccessLock& operator=(const AccessLock&) = delete;
};

// ---- vocabulary ------------------------------------------------------------------------------------------

// Storage flags of settings (the sf... bits), combined with | and tested with &.
enum class Storage : unsigned {
    None = 0,                                             // no flag
    Registry = QX_SF_REGISTRY,                            // the emulated registry
    RegistryRawPath = QX_SF_REGISTRY_RAW_PATH,            // any registry key tree, raw layout
    Volatile = QX_SF_VOLATILE,                            // registry keys that end with the boot
    ProcessTranslationDicts = QX_SF_PROCESS_TRANSLATION_DICTS, // dictionaries too
    CreateMissing = QX_SF_CREATE_MISSING,                 // update creates components it does not find
    IncludeReadOnly = QX_SF_INCLUDE_READ_ONLY,            // read-only components too
    SkipValues = QX_SF_SKIP_VALUES,                       // structure without values
    ProcessDocStrings = QX_SF_PROCESS_DOC_STRINGS,        // doc strings too
    ProcessConstantsDicts = QX_SF_PROCESS_CONSTANTS_DICTS, // constant dictionaries too
    DeriveFromParent = QX_SF_DERIVE_FROM_PARENT,          // import as a list derived from the parent
    OmitLayout = QX_SF_OMIT_LAYOUT,                       // no layout attributes
    SkipInvisible = QX_SF_SKIP_INVISIBLE,                 // leave invisible components out
    File = QX_SF_FILE,                                    // an XML file
    ProcessDisplayNames = QX_SF_PROCESS_DISPLAY_NAMES,    // display names too
    Ram = QX_SF_RAM,                                      // the process's RAM store
    UpdateByListEntries = QX_SF_UPDATE_BY_LIST_ENTRIES,   // update walks the list's entries
    ExtendedXml = QX_SF_EXTENDED_XML,                     // methods as Method elements
    OmitDefaultMarker = QX_SF_OMIT_DEFAULT_MARKER         // no default marker per value
};
// Both sets of flags.
constexpr Storage operator|(Storage a, Storage b) noexcept {
    return static_cast<Storage>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
// The flags in both sets; test with `(flags & Storage::File) != Storage::None` or `any(...)`.
constexpr Storage operator&(Storage a, Storage b) noexcept {
    return static_cast<Storage>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
// True when any flag is set.
constexpr bool any(Storage s) noexcept { return static_cast<unsigned>(s) != 0; }

// Registry hive of a setting.
enum class Scope : unsigned {
    LocalMachine = QX_SCOPE_LOCAL_MACHINE, // the machine's hive
    CurrentUser = QX_SCOPE_CURRENT_USER    // the user's hive
};

// The special values of a property, read and written with the negative indices.
enum class Limit : int {
    Maximum = QX_LIM_MAXIMUM,             // largest value allowed
    Minimum = QX_LIM_MINIMUM,             // smallest value allowed
    StepWidth = QX_LIM_STEP_WIDTH,        // values snap to minimum + n * step
    Default = QX_LIM_DEFAULT,             // value restore-default puts back
    BinarySizeMax = QX_LIM_BINARY_SIZE_MAX // largest binary value of a string property
};

// Read and write rights: the flags most components are made with.
constexpr unsigned kReadWrite = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS;

// ---- value types -----------------------------------------------------------------------------------------

// How a C++ type travels in a value slot: integers up to 32 bits as Int32, 64-bit integers as Int64,
// float/double as Double, void* as Pointer, std::string as String. Unsupported types do not compile.
template <class T, class = void>
struct ValueTraits;

template <class T>
struct ValueTraits<T, std::enable_if_t<std::is_integral_v<T> && sizeof(T) <= 4>> {
    static constexpr std::uint32_t valueType = QX_VT_INT32;
    static constexpr std::uint32_t paramType = QX_PT_INT32;
    static qxValue put(T v) noexcept {
        qxValue s;
        s.i64 = static_cast<std::int32_t>(v); // sign-extended, so a 64-bit reader of the slot sees the number
        return s;
    }
    static T take(const qxValue& s) noexcept { return static_cast<T>(s.i32); }
};

template <class T>
struct ValueTraits<T, std::enable_if_t<std::is_integral_v<T> && sizeof(T) == 8>> {
    static constexpr std::uint32_t valueType = QX_VT_INT64;
    static constexpr std::uint32_t paramType = QX_PT_INT64;
    static qxValue put(T v) noexcept {
        qxValue s;
        s.i64 = static_cast<std::int64_t>(v);
        return s;
    }
    static T take(const qxValue& s) noexcept { return static_cast<T>(s.i64); }
};

template <class T>
struct ValueTraits<T, std::enable_if_t<std::is_floating_point_v<T>>> {
    static constexpr std::uint32_t valueType = QX_VT_DOUBLE;
    static constexpr std::uint32_t paramType = QX_PT_DOUBLE;
    static qxValue put(T v) noexcept {
        qxValue s;
        s.dbl = static_cast<double>(v);
        return s;
    }
    static T take(const qxValue& s) noexcept { return static_cast<T>(s.dbl); }
};

template <>
struct ValueTraits<void*> {
    static constexpr std::uint32_t valueType = QX_VT_POINTER;
    static constexpr std::uint32_t paramType = QX_PT_POINTER;
    static qxValue put(void* v) noexcept {
        qxValue s;
        s.bits = 0;
        s.ptr = v;
        return s;
    }
    static void* take(const qxValue& s) noexcept { return s.ptr; }
};

template <>
struct ValueTraits<std::string> {
    static constexpr std::uint32_t valueType = QX_VT_STRING;
    static constexpr std::uint32_t paramType = QX_PT_STRING;
    // The slot points into v: v must outlive the call the slot is passed to.
    static qxValue put(const std::string& v) noexcept {
        qxValue s;
        s.str = const_cast<char*>(v.c_str());
        return s;
    }
    static std::string take(const qxValue& s) { return s.str != nullptr ? std::string(s.str) : std::string(); }
};

// True for std::vector: get<std::vector<T>> reads every value, set(std::vector<T>) writes several.
template <class T>
struct IsVector : std::false_type {};
template <class T, class A>
struct IsVector<std::vector<T, A>> : std::true_type {};

// ---- components ------------------------------------------------------------------------------------------

class Property;
class List;
class Method;

// Any component of the tree, named by its handle: what path lookup and iteration give. Converts to
// Property, List or Method after asking the library whether it is one (qx::Error with -2001, -2000 or
// -2002 and the library's text when not). Owns nothing.
class Component {
public:
    // No component (handle 0xFFFFFFFF).
    Component() noexcept = default;
    // The component handle h names; not checked until used.
    explicit Component(HOBJ h) noexcept : h_(h) {}

    // The handle (list ID << 16 | entry index).
    HOBJ handle() const noexcept { return h_; }
    // The component type (QX_CT_...): kind in the high half, a property's value type in the low half.
    std::uint32_t type() const { return static_cast<std::uint32_t>(detail::getBits(h_, QX_PAR_TYPE)); }
    // True for a property, list, method.
    bool isProperty() const { return (type() & QX_CT_PROPERTY) != 0; }
    bool isList() const { return (type() & QX_CT_LIST) != 0; }
    bool isMethod() const { return (type() & QX_CT_METHOD) != 0; }
    // The component's name (a method's includes its signature).
    std::string name() const { return paramText(QX_PAR_NAME); }
    // The doc string (empty when none), and setting it.
    std::string docString() const { return paramText(QX_PAR_DOC_STRING); }
    void setDocString(const std::string& doc) const {
        CallParam in = detail::param(QX_PT_STRING, 0);
        in.value.str = const_cast<char*>(doc.c_str());
        detail::check(qxCompSetParam(h_, QX_PAR_DOC_STRING, &in, 1, 0));
    }
    // Shared flags OR the entry's flags (QX_CF_...).
    unsigned flags() const { return static_cast<unsigned>(detail::getBits(h_, QX_PAR_FLAGS)); }
    // Sets (on true) or clears one flag for this entry.
    void setFlag(unsigned flag, bool on) const {
        const CallParam in[2] = {detail::param(QX_PT_UINT32, on ? 1 : 0), detail::param(QX_PT_FLAGS, flag)};
        detail::check(qxCompSetParam(h_, QX_PAR_FLAGS, in, 2, 0));
    }
    // Changes of the component and its shared data so far.
    unsigned changeCount() const { return static_cast<unsigned>(detail::getBits(h_, QX_PAR_CHANGE_COUNT)); }
    // Marks the component's data as stale: the next access runs its first-access callback (onAccess).
    void invalidate() const { detail::check(qxCompSetParam(h_, QX_PAR_INVALIDATE, nullptr, 0, 0)); }
    // Puts the component back to its default (force: also where it is read-only).
    void restoreDefault(bool force = false) const { detail::check(qxCompRestoreDefault(h_, force ? 1 : 0)); }

    // The same component as a Property, List or Method; throws qx::Error if it is not one.
    Property property() const;
    List list() const;
    Method method() const;
    operator Property() const;
    operator List() const;
    operator Method() const;

    // Same handle.
    friend bool operator==(const Component& a, const Component& b) noexcept { return a.h_ == b.h_; }
    friend bool operator!=(const Component& a, const Component& b) noexcept { return a.h_ != b.h_; }

protected:
    std::string paramText(int id) const {
        AccessLock lock; // the text lives only until the component changes
        const CallParam out = detail::getParam(h_, id);
        return out.value.str != nullptr ? std::string(out.value.str) : std::string();
    }
    HOBJ h_ = 0xFFFFFFFFu;
};

// A property: typed values, limits, a dictionary, and the library's own text formatting.
class Property : public Component {
public:
    // No property.
    Property() noexcept = default;
    // The property h names; not checked (Component::property() checks).
    explicit Property(HOBJ h) noexcept : Component(h) {}

    // The property's value type (QX_VT_...).
    std::uint32_t valueType() const { return type() & 0xFFFFu; }
    // Number of values.
    std::size_t count() const { return static_cast<std::size_t>(detail::getBits(h_, QX_PAR_VALUE_COUNT) & 0xFFFFFFFFu); }
    // Sets the number of values (force: also a fixed-size property).
    void resize(std::size_t n, bool force = false) const {
        const CallParam in = detail::param(QX_PT_UINT32, n);
        detail::check(qxCompSetParam(h_, QX_PAR_VALUE_COUNT, &in, 1, force ? 1 : 0));
    }

    // Value index (a negative index is a special value, see Limit). T is a scalar (int32_t, int64_t,
    // double, void*, std::string) or std::vector of one, which reads every value.
    template <class T>
    T get(int index = 0) const {
        if constexpr (IsVector<T>::value) {
            return getAll<typename T::value_type>();
        } else if constexpr (std::is_same_v<T, std::string>) {
            AccessLock lock; // the text is the property's own until its value changes
            return ValueTraits<T>::take(readSlot(ValueTraits<T>::valueType, index));
        } else {
            return ValueTraits<T>::take(readSlot(ValueTraits<T>::valueType, index));
        }
    }

    // Writes value at index (a vector writes its elements from index on, growing the property as
    // needed). A text (std::string, const char*) is parsed by the library, or translated through the
    // dictionary, for a property of any type. force: also where the property is read-only.
    template <class T>
    void set(const T& value, int index = 0, bool force = false) const {
        if constexpr (IsVector<T>::value) {
            setAll(value, index, force);
        } else {
            const qxValue slot = ValueTraits<T>::put(value);
            write(ValueTraits<T>::valueType, &slot, 1, index, force);
        }
    }
    // A text, as set(std::string).
    void set(const char* text, int index = 0, bool force = false) const {
        qxValue slot;
        slot.str = const_cast<char*>(text);
        write(QX_VT_STRING, &slot, 1, index, force);
    }

    // The library's text of the value at index (its format string unless format is given).
    std::string text(int index = 0, const char* format = nullptr) const {
        return sized([&](char* buf, std::size_t* size) { return qxPropGetValAsStringEx(h_, format, buf, size, index); });
    }
    // All values as one text, joined by delimiter.
    std::string textAll(const char* delimiter = ", ") const {
        return sized([&](char* buf, std::size_t* size) {
            return qxPropGetValArrayAsStringEx(h_, nullptr, delimiter, buf, size, 0, 0x7FFFFFFF, 0);
        });
    }
    // Checks values without storing them: false when the library refuses them as invalid (-2012);
    // other failures (a refusing write callback, limits) throw.
    template <class T>
    bool accepts(const T& value) const {
        const qxValue slot = ValueTraits<T>::put(value);
        const ValBuffer buffer{ValueTraits<T>::valueType, 1, const_cast<qxValue*>(&slot)};
        const int rc = qxPropValidateVal(h_, &buffer);
        if (rc == PROPHANDLING_INVALID_PROP_VALUE && !detail::callbackThrew()) return false;
        detail::check(rc);
        return true;
    }

    // A special value, or nothing when the property has none.
    template <class T>
    std::optional<T> limit(Limit which) const {
        AccessLock lock; // the answer to "has it?" must still hold for the read
        const CallParam in = detail::param(QX_PT_INT32, static_cast<std::uint32_t>(static_cast<int>(which)));
        if (detail::getParam(h_, QX_PAR_HAS_SPECIAL_VALUE, &in, 1).value.bits == 0) return std::nullopt;
        return get<T>(static_cast<int>(which));
    }
    // Shorthands of limit().
    template <class T>
    std::optional<T> minimum() const { return limit<T>(Limit::Minimum); }
    template <class T>
    std::optional<T> maximum() const { return limit<T>(Limit::Maximum); }
    template <class T>
    std::optional<T> step() const { return limit<T>(Limit::StepWidth); }
    // Writes a special value (the values already stored are brought inside the new limit).
    template <class T>
    void setLimit(Limit which, const T& value) const { set(value, static_cast<int>(which)); }
    // Removes a special value.
    void removeLimit(Limit which) const { detail::check(qxPropRemoveVal(h_, static_cast<int>(which), 0)); }

    // Adds or renames a dictionary entry: name stands for value (of the property's type).
    template <class T>
    void addTranslation(const std::string& name, const T& value) const {
        const qxValue slot = ValueTraits<T>::put(value);
        detail::check(qxPropRegisterTranslationEntry(h_, name.c_str(), slot.i64, 0));
    }
    // Removes one entry (an unknown name is no error), or the whole dictionary.
    void removeTranslation(const std::string& name) const {
        detail::check(qxPropRemoveTranslationEntry(h_, name.c_str(), 0));
    }
    void removeTranslations() const { detail::check(qxPropRemoveTranslationTable(h_, 0)); }
    // The dictionary in its order: (name, value) pairs; empty when there is none.
    template <class T>
    std::vector<std::pair<std::string, T>> translations() const {
        AccessLock lock; // names are the library's texts until the dictionary changes
        const std::size_t n = static_cast<std::size_t>(detail::getBits(h_, QX_PAR_DICTIONARY_SIZE) & 0xFFFFFFFFu);
        std::vector<qxValue> names(n), values(n);
        ValBuffer nb{QX_VT_STRING, n, names.data()}, vb{ValueTraits<T>::valueType, n, values.data()};
        std::vector<std::pair<std::string, T>> out;
        if (n == 0) return out;
        detail::check(qxPropGetTranslationTable(h_, &nb, &vb));
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            out.emplace_back(ValueTraits<std::string>::take(names[i]), ValueTraits<T>::take(values[i]));
        return out;
    }

private:
    qxValue readSlot(std::uint32_t valueType, int index) const {
        qxValue slot; // filled by a call that succeeds; a failed one throws before it is read
        ValBuffer buffer{valueType, 1, &slot};
        detail::check(qxPropGetVal(h_, &buffer, index));
        return slot;
    }
    void write(std::uint32_t valueType, const qxValue* slots, std::size_t n, int index, bool force) const {
        const ValBuffer buffer{valueType, n, const_cast<qxValue*>(slots)};
        detail::check(qxPropSetVal(h_, &buffer, index, QX_SETVAL_VALUES, nullptr, 0, force ? 1 : 0));
    }
    template <class T>
    std::vector<T> getAll() const {
        AccessLock lock; // count and values from one state of the property
        std::vector<qxValue> slots(count());
        ValBuffer buffer{ValueTraits<T>::valueType, slots.size(), slots.data()};
        detail::check(qxPropGetVal(h_, &buffer, 0));
        std::vector<T> out;
        out.reserve(slots.size());
        for (const qxValue& s : slots) out.push_back(ValueTraits<T>::take(s));
        return out;
    }
    template <class T, class A>
    void setAll(const std::vector<T, A>& values, int index, bool force) const {
        std::vector<qxValue> slots;
        slots.reserve(values.size());
        for (const T& v : values) slots.push_back(ValueTraits<T>::put(v));
        write(ValueTraits<T>::valueType, slots.data(), slots.size(), index, force);
    }
    // A text under the size protocol: ask the size, then fetch; again if it grew meanwhile.
    template <class Call>
    static std::string sized(Call call) {
        for (;;) {
            std::size_t size = 0;
            detail::check(call(nullptr, &size));
            std::string text(size, '\0');
            const int rc = call(text.data(), &size);
            if (rc == PROPHANDLING_INPUT_BUFFER_TOO_SMALL && !detail::callbackThrew()) continue;
            detail::check(rc);
            text.resize(size > 0 ? size - 1 : 0);
            return text;
        }
    }
};

// A method: a function of the code that owns the tree, called with typed parameters or a parameter text.
class Method : public Component {
public:
    // No method.
    Method() noexcept = default;
    // The method h names; not checked (Component::method() checks).
    explicit Method(HOBJ h) noexcept : Component(h) {}

    // Calls with typed parameters (integers, double, void*, std::string or const char*) and returns the
    // function's result. The library does not check them against the signature.
    template <class... Args>
    std::int64_t call(const Args&... args) const {
        std::array<CallParam, sizeof...(Args)> params{toParam(args)...};
        std::int64_t result = 0;
        detail::check(qxMethCall(h_, params.data(), params.size(), &result));
        return result;
    }
    // Calls with the parameters as one text, converted by the library by the signature.
    std::int64_t callText(const std::string& params, const std::string& delimiters = " ") const {
        std::int64_t result = 0;
        detail::check(qxMethCallS(h_, params.c_str(), delimiters.c_str(), &result));
        return result;
    }
    // The signature: result character, then one character per parameter ("fiIpsv").
    std::string signature() const { return paramText(QX_PAR_METHOD_SIGNATURE); }

private:
    static CallParam toParam(const char* s) noexcept {
        CallParam p = detail::param(QX_PT_STRING, 0);
        p.value.str = const_cast<char*>(s);
        return p;
    }
    template <class T>
    static CallParam toParam(const T& v) noexcept {
        CallParam p{};
        p.type = ValueTraits<T>::paramType;
        p.value = ValueTraits<T>::put(v);
        return p;
    }
};

// ---- lists -----------------------------------------------------------------------------------------------

// A list. Owning when this object made it (create, clone, derive, a setting's import): the destructor
// deletes it. A view (List::view, a list found in the tree, one registered in another list) never deletes.
// Movable; a moved-from List is an empty view.
class List {
public:
    // No list.
    List() noexcept = default;
    ~List() { deleteOwned(); }
    List(const List& other) = delete;
    List& operator=(const List& other) = delete;
    // Takes over other's list and ownership; other becomes empty.
    List(List&& other) noexcept
        : h_(std::exchange(other.h_, 0xFFFFFFFFu)), owning_(std::exchange(other.owning_, false)),
          ownedName_(std::move(other.ownedName_)) {}
    List& operator=(List&& other) noexcept {
        if (this != &other) {
            deleteOwned();
            h_ = std::exchange(other.h_, 0xFFFFFFFFu);
            owning_ = std::exchange(other.owning_, false);
            ownedName_ = std::move(other.ownedName_);
        }
        return *this;
    }

    // A new list of size empty entries, owned by the returned object.
    static List create(const std::string& name, std::size_t size = 0, unsigned flags = kReadWrite) {
        HOBJ h = 0;
        detail::check(qxPropListCreate(&h, name.c_str(), size, static_cast<int>(flags)));
        return List(h, true);
    }
    // A non-owning view of the list h names (its own handle or its entry in a parent list).
    static List view(HOBJ h) { return List(static_cast<HOBJ>(detail::getBits(h, QX_PAR_LIST_HANDLE)), false); }
    // Takes ownership of a list made by a C call (the handle qxPropListCreate and friends give).
    static List adopt(HOBJ listHandle) { return List(listHandle, true); }

    // The list's own handle (list ID << 16 | 0xFFFF); 0xFFFFFFFF for an empty List.
    HOBJ handle() const noexcept { return h_; }
    // True when this object deletes the list.
    bool owning() const noexcept { return owning_; }
    // True when this object names a list that still exists.
    bool valid() const noexcept { return h_ != 0xFFFFFFFFu && qxIsPropListValid(h_) == 1; }
    // Gives up ownership and returns the handle; the object stays a view.
    HOBJ release() noexcept {
        owning_ = false;
        ownedName_.clear();
        return h_;
    }
    // Deletes the list now (owning or not) and reports a failure; the object becomes empty.
    void destroy() {
        const HOBJ h = std::exchange(h_, 0xFFFFFFFFu);
        owning_ = false;
        ownedName_.clear();
        detail::check(qxPropListDelete(h));
    }

    // The list's name, number of entry slots, flags.
    std::string name() const { return Component(h_).name(); }
    std::size_t entryCount() const { return static_cast<std::size_t>(detail::getBits(h_, QX_PAR_ENTRY_COUNT) & 0xFFFFFFFFu); }
    unsigned flags() const { return Component(h_).flags(); }
    // The kind of content the list holds: settings made from it carry it, and an update from a setting
    // of another kind is refused. The registry store needs one.
    std::string contentDescriptor() const {
        AccessLock lock; // the text lives only until the list changes
        const CallParam out = detail::getParam(h_, QX_PAR_CONTENT_DESCRIPTOR);
        return out.value.str != nullptr ? std::string(out.value.str) : std::string();
    }
    void setContentDescriptor(const std::string& descriptor) const {
        CallParam in = detail::param(QX_PT_STRING, 0);
        in.value.str = const_cast<char*>(descriptor.c_str());
        detail::check(qxCompSetParam(h_, QX_PAR_CONTENT_DESCRIPTOR, &in, 1, 0));
    }

    // Registers a new property of value type T (or of valueType) with count values.
    template <class T>
    Property addProperty(const std::string& name, std::size_t count = 1, unsigned flags = kReadWrite,
                         const char* format = nullptr) const {
        return addProperty(name, ValueTraits<T>::valueType, count, flags, format);
    }
    Property addProperty(const std::string& name, std::uint32_t valueType, std::size_t count = 1,
                         unsigned flags = kReadWrite, const char* format = nullptr) const {
        HOBJ h = QX_INDEX_APPEND;
        detail::check(qxPropListRegisterProp(h_, name.c_str(), QX_CT_PROPERTY | valueType, count, flags, format, &h));
        return Property(h);
    }
    // Registers a method: name is "name@signature"; function must outlive the list. userData is copied.
    Method addMethod(const std::string& name, MethodFunction function, unsigned flags = kReadWrite,
                     std::vector<CallParam> userData = {}) const {
        HOBJ h = QX_INDEX_APPEND;
        detail::check(qxPropListRegisterMethod(h_, name.c_str(), function, userData.empty() ? nullptr : userData.data(),
                                               userData.size(), flags, &h));
        return Method(h);
    }
    // Makes a list and registers it here; this list owns it, the returned object is a view.
    List addList(const std::string& name, std::size_t size = 0, unsigned flags = kReadWrite) const {
        List child = create(name, size, flags);
        return add(child);
    }
    // Registers child here. This list owns it from now on: an owning child becomes a view.
    List add(List& child) const {
        HOBJ h = QX_INDEX_APPEND;
        detail::check(qxPropListRegisterList(h_, child.h_, &h));
        child.release();
        return List(child.h_, false);
    }
    // Removes the component from this list (destroying what the list owns).
    void remove(const Component& c) const { detail::check(qxPropListRemoveComp(c.handle())); }

    // The component at path ("stream0/exposure": names separated by '/'); qx::Error -2019 when a name
    // is missing, -2000 when a step before the last is not a list.
    Component operator[](const std::string& path) const {
        std::optional<Component> found = walk(path, true);
        return *found;
    }
    // The same, or nothing when a name is missing.
    std::optional<Component> find(const std::string& path) const { return walk(path, false); }

    // A copy of the list (owning), named name or as the source.
    List clone(const std::string& name = {}) const {
        HOBJ h = 0;
        detail::check(qxPropListClone(&h, h_, name.empty() ? nullptr : name.c_str()));
        return List(h, true);
    }
    // A list derived from this one (owning): it shares this list's components until it changes them.
    List derive(const std::string& name = {}) const {
        HOBJ h = 0;
        detail::check(qxPropListDerive(&h, h_, name.empty() ? nullptr : name.c_str()));
        return List(h, true);
    }
    // Copies source's values into this list; returns the library's result word.
    std::uint64_t updateFrom(const List& source) const {
        std::uint64_t result = 0;
        detail::check(qxPropListUpdateWithList(h_, source.h_, &result));
        return result;
    }

    // Forward iteration over the components of the list, in entry order (free entries skipped).
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Component;
        using difference_type = std::ptrdiff_t;
        using pointer = const Component*;
        using reference = const Component&;
        iterator() noexcept = default;
        explicit iterator(HOBJ current) noexcept : c_(current) {}
        reference operator*() const noexcept { return c_; }
        pointer operator->() const noexcept { return &c_; }
        iterator& operator++() {
            c_ = Component(static_cast<HOBJ>(detail::getBits(c_.handle(), QX_PAR_NEXT_COMPONENT)));
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const iterator& a, const iterator& b) noexcept { return a.c_ == b.c_; }
        friend bool operator!=(const iterator& a, const iterator& b) noexcept { return a.c_ != b.c_; }

    private:
        Component c_;
    };
    // The first component, and the end (the list's own handle, which the library answers after the last).
    iterator begin() const { return iterator(static_cast<HOBJ>(detail::getBits(h_, QX_PAR_FIRST_COMPONENT))); }
    iterator end() const noexcept { return iterator(h_); }

    // This list as a Component.
    Component component() const noexcept { return Component(h_); }

private:
    List(HOBJ h, bool owning) : h_(h), owning_(owning) {
        if (owning_) ownedName_ = name();
    }

    std::optional<Component> walk(const std::string& path, bool required) const {
        HOBJ list = h_;
        std::optional<Component> found;
        std::size_t at = 0;
        while (at <= path.size()) {
            const std::size_t slash = std::min(path.find('/', at), path.size());
            const std::string name = path.substr(at, slash - at);
            at = slash + 1;
            if (name.empty()) continue; // doubled, leading and trailing separators
            if (found) list = static_cast<HOBJ>(detail::getBits(found->handle(), QX_PAR_LIST_HANDLE));
            CallParam in = detail::param(QX_PT_STRING, 0);
            in.value.str = const_cast<char*>(name.c_str());
            if (!required && detail::getParam(list, QX_PAR_NAME_EXISTS, &in, 1).value.bits == 0) return std::nullopt;
            found = Component(static_cast<HOBJ>(detail::getParam(list, QX_PAR_HANDLE_BY_NAME, &in, 1).value.bits));
        }
        if (!found) throw Error(PROPHANDLING_INVALID_INPUT_PARAMETER, "The path '" + path + "' names no component");
        return found;
    }

    // An owned list is deleted only while its ID still names a list of the name it had: the ID of a list
    // deleted behind this object's back may already belong to another list. Failures stay in the last error.
    void deleteOwned() noexcept {
        if (!owning_ || h_ == 0xFFFFFFFFu) return;
        owning_ = false;
        try {
            if (qxIsPropListValid(h_) == 1 && name() == ownedName_) qxPropListDelete(h_);
        } catch (...) {
            // name() failed: the library's last error says why; a destructor cannot report more.
        }
    }

    HOBJ h_ = 0xFFFFFFFFu;
    bool owning_ = false;
    std::string ownedName_; // checked before the destructor deletes
};

inline Property Component::property() const {
    detail::getBits(h_, QX_PAR_VALUE_COUNT); // the library's own refusal (-2001) for anything else
    return Property(h_);
}
inline List Component::list() const { return List::view(h_); }
inline Method Component::method() const {
    detail::getParam(h_, QX_PAR_METHOD_SIGNATURE); // -2002 for anything else
    return Method(h_);
}
inline Component::operator Property() const { return property(); }
inline Component::operator List() const { return list(); }
inline Component::operator Method() const { return method(); }

// ---- callbacks -------------------------------------------------------------------------------------------

// What a callback's function is told.
struct Event {
    // The component the call is for.
    Component component;
    // The values being written (write callback) or read (read callback); none for the other kinds.
    const CallParam* values = nullptr;
    std::size_t count = 0;

    // Value i as T. Numbers convert between integer and double; a text (a value written as text, which
    // the library translates only after the callback) is parsed. qx::Error -2029 when it cannot be.
    template <class T>
    T value(std::size_t i = 0) const {
        if (i >= count) throw Error(PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS, "No value " + std::to_string(i) + " in this call");
        const CallParam& p = values[i];
        if constexpr (std::is_same_v<T, std::string>) {
            if (p.type == QX_PT_STRING) return p.value.str != nullptr ? p.value.str : "";
            if (p.type == QX_PT_DOUBLE) return std::to_string(p.value.dbl);
            if (p.type == QX_PT_INT64) return std::to_string(p.value.i64);
            return std::to_string(p.value.i32);
        } else if constexpr (std::is_arithmetic_v<T>) {
            switch (p.type) {
            case QX_PT_INT32: return static_cast<T>(p.value.i32);
            case QX_PT_INT64: return static_cast<T>(p.value.i64);
            case QX_PT_DOUBLE: return static_cast<T>(p.value.dbl);
            case QX_PT_STRING: return parse<T>(p.value.str);
            default: break;
            }
            throw Error(PROPHANDLING_INVALID_INPUT_PARAMETER, "Value " + std::to_string(i) + " is not a number");
        } else {
            static_assert(std::is_same_v<T, void*>, "Event::value<T>: T is a number, std::string or void*");
            return p.value.ptr;
        }
    }
    // Value i is a text (written as text; a dictionary name, for example).
    bool isText(std::size_t i = 0) const noexcept { return i < count && values[i].type == QX_PT_STRING; }

private:
    // A whole text as a number in the "C" conventions, whatever the process locale (integers through
    // from_chars; floating point through a classic-locale stream, which compilers before from_chars for
    // floating point have too).
    template <class T>
    static T parse(const char* s) {
        const std::string text = s != nullptr ? s : "";
        T v{};
        bool whole = false;
        if constexpr (std::is_floating_point_v<T>) {
            std::istringstream in(text);
            in.imbue(std::locale::classic());
            in >> v;
            whole = !in.fail() && in.peek() == std::istringstream::traits_type::eof();
        } else {
            const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
            whole = r.ec == std::errc() && r.ptr == text.data() + text.size();
        }
        if (!whole) throw Error(PROPHANDLING_INVALID_INPUT_PARAMETER, "'" + text + "' is not a number");
        return v;
    }
};

// A callback whose code is a std::function. Made attached to nothing; attach() puts it on components.
// The destructor deletes it in the library, which takes it off every component it is attached to (also
// while an exception unwinds); after that the function is never called again. A change callback running
// on another thread is waited for by the library; a read or write call running elsewhere finishes with
// the function kept alive. Do not destroy a Callback from inside its own function. Movable.
class Callback {
public:
    // Code of a write, read or access callback: return true to accept, false to refuse. An exception it
    // throws refuses too, and the wrapper call that ran the callback rethrows it (after a plain C call,
    // the thread's next wrapper call does).
    using Check = std::function<bool(const Event&)>;
    // Code of a change callback: runs after the call that changed the component. An exception it throws is
    // rethrown by the wrapper call that made the change.
    using Notify = std::function<void(const Component&)>;

    // A write callback (kind 2): sees the values before they are checked and stored.
    static Callback onWrite(Check code) { return Callback(QX_CB_PROPERTY_WRITE, std::move(code)); }
    // A read callback (kind 1): runs before values are read; may set them.
    static Callback onRead(Check code) { return Callback(QX_CB_PROPERTY_READ, std::move(code)); }
    // A first-access callback (kind 3).
    static Callback onAccess(Check code) { return Callback(QX_CB_COMPONENT_ACCESS, std::move(code)); }
    // A change callback (kind 0).
    static Callback onChange(Notify code) {
        auto state = std::make_shared<State>();
        state->notify = std::move(code);
        const std::uint64_t id = registry().add(state);
        CallParam user = detail::param(QX_PT_POINTER, id);
        HCALLBACK h = 0;
        const int rc = qxCompCreateFeatureChangedCallback(&changed, &user, 1, &h);
        if (rc != PROPHANDLING_NO_ERROR) registry().remove(id);
        detail::check(rc);
        return Callback(h, id);
    }

    // An empty callback.
    Callback() noexcept = default;
    ~Callback() { retire(); }
    Callback(const Callback&) = delete;
    Callback& operator=(const Callback&) = delete;
    // Takes over other's callback; other becomes empty.
    Callback(Callback&& other) noexcept
        : h_(other.h_), id_(std::exchange(other.id_, 0)) {}
    Callback& operator=(Callback&& other) noexcept {
        if (this != &other) {
            retire();
            h_ = other.h_;
            id_ = std::exchange(other.id_, 0);
        }
        return *this;
    }

    // The library's handle (meaningless for an empty Callback).
    HCALLBACK handle() const noexcept { return h_; }
    // True while this object holds a callback.
    explicit operator bool() const noexcept { return id_ != 0; }
    // Puts the callback on c (a component holds one callback per kind: one there before goes off).
    void attach(const Component& c) const { detail::check(qxCompAttachCallback(c.handle(), h_)); }
    // Takes the callback's kind off c: this clears c's slot for the kind, whichever callback holds it.
    void detach(const Component& c) const { detail::check(qxCompDetachCallback(c.handle(), h_)); }
    // Deletes the callback now and reports a failure; the object becomes empty.
    void reset() {
        if (id_ == 0) return;
        registry().remove(std::exchange(id_, 0));
        detail::check(qxCompDeleteCallback(h_));
    }

private:
    struct State {
        Check check;
        Notify notify;
    };
    // Callbacks by ID: the library carries the ID, never a pointer, so a call that starts after the
    // Callback is gone finds nothing instead of a freed object, and a running call keeps its State alive.
    class Registry {
    public:
        std::uint64_t add(std::shared_ptr<State> state) {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::uint64_t id = ++last_;
            states_.emplace(id, std::move(state));
            return id;
        }
        void remove(std::uint64_t id) {
            std::shared_ptr<State> gone;
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = states_.find(id);
            if (it == states_.end()) return;
            gone = std::move(it->second); // freed after the mutex, in case the function's captures call back
            states_.erase(it);
        }
        std::shared_ptr<State> find(std::uint64_t id) {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = states_.find(id);
            return it != states_.end() ? it->second : nullptr;
        }

    private:
        std::mutex mutex_;
        std::uint64_t last_ = 0;
        std::unordered_map<std::uint64_t, std::shared_ptr<State>> states_;
    };
    static Registry& registry() {
        static Registry r;
        return r;
    }

    Callback(std::uint32_t kind, Check code) {
        auto state = std::make_shared<State>();
        state->check = std::move(code);
        const std::uint64_t id = registry().add(state);
        CallParam user = detail::param(QX_PT_POINTER, id);
        HCALLBACK h = 0;
        const int rc = qxCompCreateCallback(kind, &access, &user, 1, &h);
        if (rc != PROPHANDLING_NO_ERROR) registry().remove(id);
        detail::check(rc);
        h_ = h;
        id_ = id;
    }
    Callback(HCALLBACK h, std::uint64_t id) noexcept : h_(h), id_(id) {}

    // The library's view of our code: nothing may leave these functions by exception.
    static int access(HOBJ h, HOBJ, CallParam* user, std::size_t userCount, CallParam* values, std::size_t count) noexcept {
        try {
            const std::shared_ptr<State> state = userCount > 0 ? registry().find(user[0].value.bits) : nullptr;
            if (!state || !state->check) return 0;
            return state->check(Event{Component(h), values, count}) ? 0 : 1;
        } catch (...) {
            detail::keepCallbackException(std::current_exception());
            return 1;
        }
    }
    static void changed(HOBJ h, std::uintptr_t id) noexcept {
        try {
            const std::shared_ptr<State> state = registry().find(id);
            if (state && state->notify) state->notify(Component(h));
        } catch (...) {
            detail::keepCallbackException(std::current_exception());
        }
    }
    // Deletes the callback; a destructor reports a failure only through the thread's last error.
    void retire() noexcept {
        if (id_ == 0) return;
        qxCompDeleteCallback(h_);
        registry().remove(std::exchange(id_, 0));
    }

    HCALLBACK h_ = 0;
    std::uint64_t id_ = 0; // 0: empty
};

// ---- settings --------------------------------------------------------------------------------------------

// A stored setting: a name at a storage location (file path, RAM name or registry setting name) with
// the storage flags and the registry scope every call uses.
class Setting {
public:
    // The setting name at storage (default: an XML file), in scope (for the registry).
    explicit Setting(std::string name, Storage storage = Storage::File, Scope scope = Scope::CurrentUser)
        : name_(std::move(name)), storage_(storage), scope_(scope) {}

    // The setting's name, flags, scope.
    const std::string& name() const noexcept { return name_; }
    Storage storage() const noexcept { return storage_; }
    Scope scope() const noexcept { return scope_; }

    // Writes list to the setting (extra flags added to the setting's own). Files are replaced
    // crash-safely and a registry export is one transaction.
    void exportList(const List& list, Storage extra = Storage::None) const {
        detail::check(qxPropListExport(list.handle(), name_.c_str(), flags(extra), hive()));
    }
    // Reads the setting as a new list, owned by the returned object.
    List importList(Storage extra = Storage::None) const {
        HOBJ h = 0;
        detail::check(qxPropListImport(&h, name_.c_str(), flags(extra), hive()));
        return List::adopt(h);
    }
    // Reads the setting as a new list inside parent (which owns it; the result is a view).
    List importInto(const List& parent, Storage extra = Storage::None) const {
        HOBJ h = 0;
        detail::check(qxPropListImportEx(parent.handle(), &h, name_.c_str(), flags(extra), hive()));
        return List::view(h);
    }
    // Writes the setting's values into the components of list that it names.
    void update(const List& list, Storage extra = Storage::None) const {
        detail::check(qxPropListUpdate(list.handle(), name_.c_str(), flags(extra), hive()));
    }
    // True when the setting exists at the location of its flags.
    // (The library answers -2025 for a setting that is not there; any other failure throws.)
    bool exists() const {
        const int rc = qxDoesSettingExist(name_.c_str(), flags(Storage::None), hive());
        if (rc == PROPHANDLING_LIST_CANT_ACCESS_DATA && !detail::callbackThrew()) return false;
        detail::check(rc);
        return true;
    }
    // Deletes the setting.
    void remove() const { detail::check(qxDeleteSetting(name_.c_str(), flags(Storage::None), hive())); }

    // The content descriptor stored with the setting.
    std::string contentDescriptor() const {
        for (;;) {
            std::size_t size = 0;
            detail::check(qxSettingGetContentDescriptor(name_.c_str(), flags(Storage::None), hive(), nullptr, &size));
            std::string text(size, '\0');
            const int rc = qxSettingGetContentDescriptor(name_.c_str(), flags(Storage::None), hive(), text.data(), &size);
            if (rc == PROPHANDLING_INPUT_BUFFER_TOO_SMALL && !detail::callbackThrew()) continue;
            detail::check(rc);
            text.resize(size > 0 ? size - 1 : 0);
            return text;
        }
    }

    // A text in the process's RAM store, and writing one.
    static std::string readRam(const std::string& name) {
        for (;;) {
            std::size_t size = 0;
            detail::check(qxReadSettingFromRAM(name.c_str(), nullptr, &size));
            std::string text(size, '\0');
            const int rc = qxReadSettingFromRAM(name.c_str(), text.data(), &size);
            if (rc == PROPHANDLING_INPUT_BUFFER_TOO_SMALL) continue;
            detail::check(rc);
            text.resize(size > 0 ? size - 1 : 0);
            return text;
        }
    }
    static void writeRam(const std::string& name, const std::string& text) {
        detail::check(qxWriteSettingToRAM(name.c_str(), text.c_str()));
    }

private:
    unsigned flags(Storage extra) const noexcept { return static_cast<unsigned>(storage_ | extra); }
    unsigned hive() const noexcept { return static_cast<unsigned>(scope_); }

    std::string name_;
    Storage storage_;
    Scope scope_;
};

} // namespace qx

#endif // QX_PROP_HANDLING_HPP
