// component/CallbackTable.cpp -- the callback handle table of component/CallbackTable.h.
#include "component/CallbackTable.h"

#include "component/CCallback.h"
#include "frame/Eqx.h"

namespace qx {

namespace {
// A raw pointer: made on first use under the component-access lock, destroyed by the library's teardown.
constinit CallbackTable* g_table = nullptr;
} // namespace

CallbackTable& CallbackTable::instance() {
    if (g_table == nullptr) g_table = new CallbackTable();
    return *g_table;
}

void CallbackTable::destroyInstance() noexcept {
    delete g_table;
    g_table = nullptr;
}

CallbackTable::~CallbackTable() {
    for (Entry& entry : entries_) {
        if (entry.callback != nullptr) entry.callback->release();
    }
}

std::uint16_t CallbackTable::add(CCallback* callback) {
    if (freeHead_ == kNone) {
        const std::size_t index = entries_.size();
        if (index >= kNone) throw EContainerFull();
        entries_.push_back({kNone, static_cast<std::uint16_t>(index), callback});
        return static_cast<std::uint16_t>(index);
    }
    const std::uint16_t index = freeHead_;
    freeHead_ = entries_[index].nextFree;
    entries_[index] = {kNone, index, callback};
    return index;
}

CCallback& CallbackTable::resolve(HCALLBACK handle) const {
    const std::size_t index = static_cast<std::uint64_t>(handle) & 0xFFFFu;
    if (index >= entries_.size() || entries_[index].callback == nullptr)
        throw EInvalidInputParameter("Invalid callback handle");
    return *entries_[index].callback;
}

void CallbackTable::remove(CCallback& callback) {
    for (Entry& entry : entries_) {
        if (entry.callback != &callback) continue;
        const std::uint16_t index = entry.ownIndex;
        entry = {freeHead_, kNone, nullptr};
        freeHead_ = index;
        callback.release();
        return;
    }
    throw EInvalidInputData("object is not registered");
}

} // namespace qx
