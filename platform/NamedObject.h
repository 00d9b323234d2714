// platform/NamedObject.h -- the shared memory behind every named mutex, semaphore and event: one small file
// per name in the user's namespace directory, mapped once per process however many objects use the name.
// Mutex.cpp, Semaphore.cpp and Event.cpp put their state in the payload; this file owns where the file lives,
// who may use it, when it counts as existing and when it goes away.
//
// The namespace directory is looked up on every create and probe: QXPROPHANDLING_SYNC_DIR when set and not
// empty, else /dev/shm/qx-<uid>. It is created (with missing parents) with mode 0700; a symlink, a directory
// of another owner or one that group or others may access is refused, and the create then fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace qx::platform {

enum class ObjectKind : std::uint32_t { Mutex = 1, Semaphore = 2, Event = 3 };

// Called under the namespace guard with the payload of a file nobody else holds, all zero bytes; returns
// false when the object cannot be set up (the create then fails).
using PayloadInit = bool (*)(void* payload, const void* context);
// Called once in a process (or a forked child of it) when the mapping's last user there goes, before the memory
// is unmapped. Returns false when the memory must stay mapped in this process (a mutex the caller still owns is linked
// into its thread's robust list; the kernel marks it abandoned there when the thread ends).
using PayloadRelease = bool (*)(void* payload);

class NamedObject {
public:
    // Null on any failure, including an existing object of the same name but another kind.
    static std::unique_ptr<NamedObject> open(std::string_view name, ObjectKind kind, std::size_t payloadSize,
                                             PayloadInit init, const void* initContext, PayloadRelease release);
    ~NamedObject();
    NamedObject(const NamedObject&) = delete;
    NamedObject& operator=(const NamedObject&) = delete;

    void* payload() const noexcept { return payload_; }
    // Whether a live object of this name existed before this open (in this or another process).
    bool existedBefore() const noexcept { return existedBefore_; }

    struct Mapping;

private:
    NamedObject(Mapping* mapping, void* payload, bool existedBefore) noexcept
        : mapping_(mapping), payload_(payload), existedBefore_(existedBefore) {}

    Mapping* mapping_;  // shared with the process's other objects of this name; counted in the process table
    void* payload_;
    bool existedBefore_;
};

// Where the state of a semaphore or an event lives: in the payload of a named object, shared with the other
// processes that open the name, or on the heap, private to one object, when there is no name.
template <class State>
struct StateHolder {
    std::unique_ptr<NamedObject> named; // null when unnamed
    std::unique_ptr<State> own;         // the state when unnamed
    State* state = nullptr;

    // initNamed sets up a fresh named payload from context; makePrivate() returns a new private state.
    template <class MakePrivate>
    bool open(const char* name, ObjectKind kind, PayloadInit initNamed, const void* context, MakePrivate makePrivate) {
        if (name && *name) {
            named = NamedObject::open(name, kind, sizeof(State), initNamed, context, nullptr);
            if (!named) return false;
            state = std::launder(static_cast<State*>(named->payload()));
        } else {
            own.reset(makePrivate());
            state = own.get();
        }
        return true;
    }
};

// Whether some live process holds an object of this name and kind. Creates nothing; removes a file that
// only dead processes held.
bool namedObjectExists(std::string_view name, ObjectKind kind);

// The directory a create made now would use (not checked, not created).
std::string syncNamespaceDirectory();

// Why creates in the namespace directory fail now, as one sentence naming the folder, what is wrong with it
// and what to do; empty when the directory is usable or can be made.
std::string syncNamespaceProblem();

} // namespace qx::platform
