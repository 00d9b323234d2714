// component/CallbackTable.h -- the process's callback handle table: an array of up to 65535 entries indexed
// by the low 16 bits of a callback handle, with a free list that hands out the last freed index first.
// Resolving a handle is a bounds check and one load.
//
// Guard: the component-access lock, for the table and for every callback in it. Made on first use;
// destroyed by the library's last release, after the lists (whose components detach themselves first).
#pragma once

#include <cstdint>
#include <vector>

#include "qxPropHandling.h"

namespace qx {

class CCallback;

class CallbackTable {
public:
    static CallbackTable& instance();
    // Deletes every callback still in the table (the table's references) and the table itself.
    static void destroyInstance() noexcept;

    // Enters callback (whose table reference the table now holds) and returns its index; EContainerFull
    // when 65535 entries are alive.
    std::uint16_t add(CCallback* callback);
    // The live callback behind the low 16 bits of handle; EInvalidInputParameter "Invalid callback handle".
    CCallback& resolve(HCALLBACK handle) const;
    // Frees callback's entry and drops the table's reference; EInvalidInputData "object is not registered"
    // when no entry holds it.
    void remove(CCallback& callback);

private:
    struct Entry {
        std::uint16_t nextFree;
        std::uint16_t ownIndex;
        CCallback* callback;
    };
    static constexpr std::uint16_t kNone = 0xFFFF;

    CallbackTable() = default;
    ~CallbackTable();

    std::vector<Entry> entries_;
    std::uint16_t freeHead_ = kNone;
};

} // namespace qx
