// fuzz/ApiDriver.cpp -- turns a byte stream into a program of calls of the exported C interface: lists
// are created, derived, cloned, filled, nested, moved and deleted; values, limits, dictionaries, texts and
// binary data are written and read; parameters are queried with arbitrary IDs; methods with small built-in
// bodies (some of which call back into the interface, remove their own method or delete its list) are
// registered and called with parameter arrays and parameter texts; callbacks of every kind with such
// bodies are created, attached, detached and deleted, and methods registered as change methods and
// validation methods. Handles come from a small
// pool of what earlier calls returned, mixed with raw numbers, so stale and foreign handles are tried too.
// Whatever a call returns is fine; the driver looks only for crashes, sanitizer reports and hangs. At the
// end the library is torn down to a count of 0 and brought up again, so every input starts afresh and the
// teardown itself is exercised.
#include "ApiDriver.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qxPropHandling.h"

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    std::int32_t small() { return static_cast<std::int8_t>(byte()); }
    // A short text from the stream (at most 24 bytes, NUL-terminated by the string).
    std::string text() {
        const std::size_t n = byte() % 25;
        std::string s;
        for (std::size_t i = 0; i < n && !done(); ++i) s += static_cast<char>(byte());
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

constexpr std::array<const char*, 10> kNames = {"a", "b", "gain", "mode", "x", "list", "", "a/b", "root", "globalRoot"};
constexpr std::array<const char*, 9> kMethodNames = {"m@v", "f@visfIp", "s@vss", "n@iv", "bad@x", "@i", "",
                                                     "sum@iii", "a@i@i"};
constexpr std::array<const char*, 7> kDelimiters = {" ", ";", "", ",", nullptr, " ;", "_"};

// Method bodies. Each reads only what a careful function reads: the counts it is given.
int countBody(HOBJ, HOBJ, CallParam*, size_t userCount, CallParam*, size_t count) {
    return static_cast<int>(userCount + count);
}
int readBody(HOBJ, HOBJ, CallParam* pUser, size_t userCount, CallParam* pValues, size_t count) {
    std::size_t total = 0;
    for (size_t k = 0; k < userCount; ++k) total += pUser[k].value.bits & 0xFF;
    for (size_t k = 0; k < count; ++k) {
        if (pValues[k].type == QX_PT_STRING && pValues[k].value.str != nullptr) total += std::strlen(pValues[k].value.str);
        else total += pValues[k].value.bits & 0xFF;
    }
    return static_cast<int>(total);
}
// Calls back into the interface on its own handle: reads its name and signature, then removes itself.
int reenterBody(HOBJ hObj, HOBJ, CallParam*, size_t, CallParam*, size_t) {
    CallParam out{};
    qxCompGetParam(hObj, QX_PAR_NAME, nullptr, 0, &out, 1);
    qxCompGetParam(hObj, QX_PAR_METHOD_SIGNATURE, nullptr, 0, &out, 1);
    return qxPropListRemoveComp(hObj);
}
int deleteListBody(HOBJ hObj, HOBJ, CallParam*, size_t, CallParam*, size_t) { return qxPropListDelete(hObj | 0xFFFFu); }
constexpr std::array<MethodFunction, 5> kBodies = {countBody, readBody, reenterBody, deleteListBody, nullptr};

// Component-changed bodies: read the component, write it (a change from inside its own call), delete the
// callback whose handle is the user value.
void readChanged(HOBJ hObj, uintptr_t) {
    char text[32];
    qxPropGetValAsString(hObj, nullptr, text, sizeof text, 0);
}
void writeChanged(HOBJ hObj, uintptr_t) {
    qxValue slot{};
    slot.i32 = 7;
    ValBuffer b{QX_VT_INT32, 1, &slot};
    qxPropSetVal(hObj, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 1);
}
void deleteChanged(HOBJ, uintptr_t self) { qxCompDeleteCallback(static_cast<HCALLBACK>(self)); }
constexpr std::array<FeatureChangedFunction, 4> kChangedBodies = {readChanged, writeChanged, deleteChanged, nullptr};

constexpr std::array<const char*, 12> kFormats = {nullptr, "", "%d", "%s", "%f", "%lld", "0x%p", "%x", "%n",
                                                  "%5.2f|", "%s %d", "%*d"};

class Program {
public:
    explicit Program(Reader& in) : in_(in) {}

    void run() {
        for (int steps = 0; steps < 400 && !in_.done(); ++steps) step();
    }

private:
    HOBJ handle() {
        const HOBJ h = pickHandle();
        if (trace_) std::fprintf(stderr, "  handle 0x%08x\n", h);
        return h;
    }
    HOBJ pickHandle() {
        const std::uint8_t pick = in_.byte();
        if (pick < 200 && !handles_.empty()) return handles_[pick % handles_.size()];
        if (pick < 230 && !handles_.empty()) return (handles_[pick % handles_.size()] & 0xFFFF0000u) | in_.byte();
        return in_.u32();
    }
    void keep(int rc, HOBJ h) {
        if (trace_) std::fprintf(stderr, "  -> %d 0x%08x\n", rc, h);
        if (rc == 0 && handles_.size() < 64) handles_.push_back(h);
    }
    const char* name() { return kNames[in_.byte() % kNames.size()]; }
    const char* format() { return kFormats[in_.byte() % kFormats.size()]; }

    ValBuffer values(std::vector<qxValue>& slots, std::vector<std::string>& texts) {
        const std::uint32_t type = 1 + in_.byte() % 5;
        const std::size_t count = in_.byte() % 4;
        slots.assign(count, qxValue{});
        texts.clear();
        texts.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            switch (type) {
            case QX_VT_STRING:
                texts.push_back(in_.text());
                slots[i].str = texts.back().data();
                break;
            case QX_VT_DOUBLE: slots[i].dbl = static_cast<double>(in_.small()) / 4; break;
            case QX_VT_POINTER: slots[i].bits = in_.u32(); break;
            default: slots[i].i64 = in_.small(); break;
            }
        }
        return ValBuffer{type, count, slots.data()};
    }

    void step() {
        std::vector<qxValue> slots;
        std::vector<std::string> texts;
        char buffer[64];
        size_t size = sizeof buffer;
        HOBJ out = 0;
        const int op = in_.byte() % 31;
        if (trace_) std::fprintf(stderr, "op %d\n", op);
        switch (op) {
        case 0: {
            const char* n = name();
            const size_t entries = in_.byte() % 6;
            const int rc = qxPropListCreate(&out, n, entries, in_.byte() & 0x3);
            keep(rc, out);
            break;
        }
        case 1: {
            out = 0xFFFF - (in_.byte() & 1);
            const HOBJ list = handle();
            const unsigned type = 0x10000u + in_.byte() % 7;
            const char* n = name();
            const size_t count = in_.byte() % 4;
            const unsigned flags = in_.byte() & 0x3F;
            const int rc = qxPropListRegisterProp(list, n, type, count, flags, format(), &out);
            keep(rc, out);
            break;
        }
        case 2: {
            const HOBJ parent = handle();
            out = 0xFFFF;
            const int rc = qxPropListRegisterList(parent, handle(), &out);
            keep(rc, out);
            break;
        }
        case 3: {
            const HOBJ parent = handle();
            const int rc = qxPropListDerive(&out, parent, (in_.byte() & 1) ? name() : nullptr);
            keep(rc, out);
            break;
        }
        case 4: {
            const int rc = qxPropListClone(&out, handle(), nullptr);
            keep(rc, out);
            break;
        }
        case 5: qxPropListDelete(handle()); break;
        case 6: qxPropListRemoveComp(handle()); break;
        case 7: {
            const HOBJ h = handle();
            const int index = in_.small() % 8;
            const ValBuffer b = values(slots, texts);
            qxPropSetVal(h, &b, index, 1, nullptr, 0, in_.byte() & 1);
            break;
        }
        case 8: {
            const HOBJ h = handle();
            const int index = in_.small() % 8;
            ValBuffer b = values(slots, texts);
            if (b.valType == QX_VT_STRING) break; // reading fills the slots with the library's texts
            qxPropGetVal(h, &b, index);
            break;
        }
        case 9: {
            const HOBJ h = handle();
            const char* f = format();
            qxPropGetValAsStringEx(h, f, (in_.byte() & 1) ? buffer : nullptr, &size, in_.small() % 8);
            break;
        }
        case 10: {
            const HOBJ h = handle();
            const char* f = format();
            const int start = in_.small() % 8;
            qxPropGetValArrayAsStringEx(h, f, (in_.byte() & 1) ? "," : nullptr, buffer, &size, start,
                                        (in_.byte() & 1) ? 0x7FFFFFFF : in_.small() % 8, in_.byte() & 1);
            break;
        }
        case 11: {
            // A string property's dictionary values are texts: ask the type as a careful caller does.
            const HOBJ h = handle();
            CallParam type{};
            const bool text = qxCompGetParam(h, QX_PAR_TYPE, nullptr, 0, &type, 1) == 0 && type.value.bits == QX_CT_PROP_STRING;
            const char* entry = name();
            const std::int64_t value = text ? static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(entry)) : in_.small();
            qxPropRegisterTranslationEntry(h, entry, value, in_.byte() & 1);
            break;
        }
        case 12: {
            const HOBJ h = handle();
            if (in_.byte() & 1) qxPropRemoveTranslationEntry(h, name(), 1);
            else qxPropRemoveTranslationTable(h, 1);
            break;
        }
        case 13: qxPropRemoveVal(handle(), in_.small() % 8, in_.byte() & 1); break;
        case 14: {
            const HOBJ h = handle();
            const ValBuffer b = values(slots, texts);
            qxPropValidateVal(h, &b);
            break;
        }
        case 15: {
            const HOBJ h = handle();
            const std::string bytes = in_.text();
            qxValue slot{};
            slot.ptr = const_cast<char*>(bytes.data());
            const ValBuffer b{QX_VT_STRING, 1, &slot};
            CallParam sizes{};
            sizes.value.i64 = static_cast<std::int64_t>(bytes.size());
            qxPropSetVal(h, &b, in_.small() % 4, 2, &sizes, 1, 1);
            break;
        }
        case 16: {
            const HOBJ h = handle();
            qxPropGetValAsBinaryDataEx(h, buffer, &size, in_.small() % 4);
            break;
        }
        case 17: {
            const HOBJ h = handle();
            const std::string path = in_.text();
            const int id = in_.byte() % 60;
            // Rows 8, 19 and 22 read a text from element 0; the others read a number (for the text rows the
            // size of the caller's buffer), and an honest caller passes what the row reads.
            const bool textIn = id == QX_PAR_HANDLE_BY_NAME || id == QX_PAR_HANDLE_BY_PATH || id == QX_PAR_NAME_EXISTS;
            CallParam inParams[3]{};
            inParams[0].type = in_.byte() % 13;
            if (textIn) inParams[0].value.str = const_cast<char*>(path.c_str());
            else inParams[0].value.bits = (in_.byte() & 1) ? in_.byte() : sizeof buffer;
            if (!textIn && inParams[0].value.bits > sizeof buffer) inParams[0].value.bits = sizeof buffer;
            inParams[1].type = QX_PT_STRING;
            inParams[1].value.str = const_cast<char*>("|");
            CallParam outParams[2]{};
            outParams[0].value.ptr = buffer;
            qxCompGetParam(h, id, inParams, in_.byte() % 4, outParams, 1 + (in_.byte() & 1));
            break;
        }
        case 18: {
            const HOBJ h = handle();
            const std::string text = in_.text();
            const int id = in_.byte() % 60;
            // Rows 24, 25, 31 and 48 read a text from element 0, the others numbers.
            const bool textIn = id == QX_PAR_DOC_STRING || id == QX_PAR_LIST_AUX_TEXT ||
                                id == QX_PAR_CONTENT_DESCRIPTOR || id == QX_PAR_DISPLAY_NAME;
            CallParam inParams[2]{};
            if (textIn) inParams[0].value.str = const_cast<char*>(text.c_str());
            else inParams[0].value.bits = in_.u32() % 0x10000; // counts stay small enough to allocate
            inParams[1].value.bits = 1u << (in_.byte() % 16);
            qxCompSetParam(h, id, inParams, in_.byte() % 3, in_.byte() & 1);
            break;
        }
        case 19: qxCompRestoreDefault(handle(), in_.byte() & 1); break;
        case 20: {
            const HOBJ list = handle();
            const char* n = name();
            const unsigned mode = in_.byte() & 0xE;
            const int rc = qxPropListFindComp(&out, list, n, mode, in_.byte() % 4);
            keep(rc, out);
            break;
        }
        case 21: {
            const HOBJ from = handle();
            const HOBJ to = handle();
            qxPropListMoveEntries(from, to, in_.byte() % 6, (in_.byte() & 1) ? 0xFFFF : in_.byte() % 6,
                                  (in_.byte() & 1) ? 0xFFFF : in_.byte() % 6, in_.byte() & 3);
            break;
        }
        case 22: {
            std::uint64_t result = 0;
            const HOBJ to = handle();
            qxPropListUpdateWithList(to, handle(), &result);
            break;
        }
        case 23: {
            const HOBJ a = handle();
            const HOBJ b = handle();
            if (in_.byte() & 1) qxCompAddSelectedFeature(a, b, in_.byte() & 1);
            HOBJ features[4];
            size_t count = 4;
            qxCompGetSelectingFeatures(a, in_.small(), (in_.byte() & 1) ? features : nullptr, &count);
            break;
        }
        case 24:
        case 25:
        case 26: methodStep(op); break;
        default: callbackStep(op); break;
        }
    }

    // Parameters or user data: up to 3 elements of any type; String elements point at live texts.
    void callParams(std::vector<CallParam>& params, std::vector<std::string>& texts) {
        const std::size_t count = in_.byte() % 4;
        params.assign(count, CallParam{});
        texts.clear();
        texts.reserve(count);
        for (CallParam& p : params) {
            p.type = in_.byte() % 12;
            if (p.type == QX_PT_STRING) {
                texts.push_back(in_.text());
                p.value.str = texts.back().data();
            } else {
                p.value.bits = in_.u32();
            }
        }
    }

    void methodStep(int op) {
        std::vector<CallParam> params;
        std::vector<std::string> texts;
        std::int64_t result = 0;
        switch (op) {
        case 24: {
            HOBJ out = 0xFFFF - (in_.byte() & 1);
            const HOBJ list = handle();
            const char* n = kMethodNames[in_.byte() % kMethodNames.size()];
            const MethodFunction body = kBodies[in_.byte() % kBodies.size()];
            callParams(params, texts);
            const std::size_t userCount = params.size() + (in_.byte() & 1);
            CallParam* user = (in_.byte() & 1) && !params.empty() ? params.data() : nullptr;
            const int rc = qxPropListRegisterMethod(list, n, body, user, user != nullptr ? params.size() : userCount,
                                                    in_.byte() & 0x3F, &out);
            keep(rc, out);
            break;
        }
        case 25: {
            const HOBJ h = handle();
            callParams(params, texts);
            qxMethCall(h, params.empty() ? nullptr : params.data(), params.size(), (in_.byte() & 1) ? &result : nullptr);
            break;
        }
        case 26: {
            const HOBJ h = handle();
            const std::string text = in_.text();
            const char* delimiters = kDelimiters[in_.byte() % kDelimiters.size()];
            qxMethCallS(h, (in_.byte() & 7) ? text.c_str() : nullptr, delimiters, (in_.byte() & 1) ? &result : nullptr);
            break;
        }
        }
    }

    HCALLBACK callbackHandle() {
        const std::uint8_t pick = in_.byte();
        if (pick < 220 && !callbacks_.empty()) return callbacks_[pick % callbacks_.size()];
        return static_cast<HCALLBACK>(static_cast<std::int32_t>(in_.u32()));
    }

    void callbackStep(int op) {
        switch (op) {
        case 27: {
            const unsigned kind = in_.byte() % 5;
            std::vector<CallParam> user;
            std::vector<std::string> texts;
            callParams(user, texts);
            HCALLBACK h = 0;
            int rc;
            if (kind == 0) {
                // The delete-itself body finds its own handle in user element 0 (the next table index
                // is a guess; a wrong guess deletes another callback or none, which is fine too).
                if (user.empty()) user.push_back(CallParam{});
                user[0].value.bits = static_cast<std::uint64_t>(callbacks_.size());
                rc = qxCompCreateFeatureChangedCallback(kChangedBodies[in_.byte() % kChangedBodies.size()], user.data(),
                                                        user.size(), &h);
            } else {
                rc = qxCompCreateCallback(kind, kBodies[in_.byte() % kBodies.size()], user.empty() ? nullptr : user.data(),
                                          user.size(), &h);
            }
            if (trace_) std::fprintf(stderr, "  callback kind %u -> %d 0x%llx\n", kind, rc, static_cast<long long>(h));
            if (rc == 0 && callbacks_.size() < 32) callbacks_.push_back(h);
            break;
        }
        case 28: {
            const HOBJ h = handle();
            const HCALLBACK c = callbackHandle();
            if (in_.byte() & 1) qxCompAttachCallback(h, c);
            else qxCompDetachCallback(h, c);
            break;
        }
        case 29: qxCompDeleteCallback(callbackHandle()); break;
        case 30: {
            const HOBJ h = handle();
            qxCompRegisterCallback(h, handle(), in_.byte() % 4);
            break;
        }
        }
    }

    Reader& in_;
    std::vector<HOBJ> handles_;
    std::vector<HCALLBACK> callbacks_;
    // QX_FUZZ_TRACE=1 prints each operation, for turning a saved input back into a readable sequence.
    const bool trace_ = std::getenv("QX_FUZZ_TRACE") != nullptr;
};

} // namespace

void runApiProgram(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    Program(in).run();
    // Back to a fresh library: the load's own reference stays, everything made by the program goes.
    while (qxPropHandlingLibDone() > 0) {
    }
    qxPropHandlingLibInit();
}
