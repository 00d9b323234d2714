// python/_qxprop.cpp -- the extension module under the qxprop package: one thin function per C call it
// needs, taking and returning plain numbers, texts and lists, so that every Python-level decision lives in
// qxprop/__init__.py. It links libqxPropHandling.so and includes only the C header.
//
// Two rules hold for every function here. Every return code is checked: a non-zero code becomes
// qxprop.Error with the code, its name and the calling thread's last-error text. And the GIL is held only
// while Python runs: each library call runs with the GIL released (the call may wait for the
// component-access lock, or call back into Python), and the trampolines behind callbacks and methods take
// the GIL for the Python part only. So the lock order is always "GIL never held while waiting for the
// component-access lock".
//
// Caller code never holds a pointer to a Python object: the user data of a callback or method is an
// integer key, which the package's dispatcher looks up in a weak table. A key whose object is gone makes
// the call fail cleanly instead of touching freed memory, whatever order the garbage collector chose.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <climits>
#include <optional>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "qxPropHandling.h"

namespace py = pybind11;

namespace {

// ---- errors -------------------------------------------------------------------------------------------

// The factory of qxprop.Error and the dispatcher of callbacks, handed over by the package at import. Held for the life of
// the process on purpose: a static py::object would be released after the interpreter is gone.
PyObject* g_errorClass = nullptr;
PyObject* g_dispatcher = nullptr;

// A non-zero library code with its name and text, thrown with the GIL held and turned into qxprop.Error by
// the translator below.
struct LibraryError {
    int code;
    std::string name;
    std::string text;
    py::object cause; // a Python exception raised by caller code during the call, or empty
};

std::string lastErrorText() {
    int code = 0;
    size_t size = 0;
    if (qxPropHandlingGetLastError(&code, nullptr, &size) != 0 || size == 0) return {};
    std::string text(size, '\0');
    if (qxPropHandlingGetLastError(&code, text.data(), &size) != 0) return {};
    text.resize(size > 0 ? size - 1 : 0);
    return text;
}

const char* codeName(int code) {
    const char* name = qxPropHandlingErrorCodeToString(code);
    return name != nullptr ? name : "";
}

// Exceptions raised by caller code on this thread while one of our calls runs, so the call can report them
// with its result; the trampolines fill it. Outside our calls (a C caller fired the callback) it is null
// and the exception goes to sys.unraisablehook at once.
thread_local std::vector<py::object>* t_caught = nullptr;

// Makes exc the pending Python error again, traceback included.
void restoreError(const py::object& exc) {
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(exc.ptr()));
    Py_INCREF(type);
    PyErr_Restore(type, exc.inc_ref().ptr(), PyException_GetTraceback(exc.ptr()));
}

// Hands an exception to sys.unraisablehook; the object named is the dispatcher.
void reportUnraisable(const py::object& exc) {
    restoreError(exc);
    PyErr_WriteUnraisable(g_dispatcher);
}

// Runs one library call (or a few) with the GIL released, and raises qxprop.Error for a non-zero code.
// Exceptions that caller code raised meanwhile: the first becomes the error's __cause__, or, when the call
// succeeded, is re-raised as it is if reraise is set (a method's exception belongs to its caller); the
// others go to sys.unraisablehook.
class Call {
public:
    explicit Call(bool reraise = false) : reraise_(reraise), outer_(t_caught) { t_caught = &caught_; }
    ~Call() { t_caught = outer_; }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // The last error is read here too: reading it takes the component-access lock, so it must not wait
    // with the GIL held, and it must come before Python code (an unraisable hook) can call the library.
    template <class Body>
    int run(Body&& body) {
        py::gil_scoped_release released;
        const int rc = body();
        if (rc != PROPHANDLING_NO_ERROR) text_ = lastErrorText();
        return rc;
    }

    // Checks a code returned by run().
    void check(int rc) {
        if (rc != PROPHANDLING_NO_ERROR) {
            LibraryError error{rc, codeName(rc), std::move(text_), py::object()};
            if (!caught_.empty()) error.cause = caught_.front();
            reportRest(caught_.empty() ? 0 : 1);
            throw error;
        }
        if (!caught_.empty() && reraise_) {
            py::object first = caught_.front();
            reportRest(1);
            restoreError(first);
            throw py::error_already_set();
        }
        reportRest(0);
    }

    template <class Body>
    void operator()(Body&& body) { check(run(std::forward<Body>(body))); }

private:
    void reportRest(size_t from) {
        for (size_t k = from; k < caught_.size(); ++k) reportUnraisable(caught_[k]);
        caught_.clear();
    }
    bool reraise_;
    std::string text_;
    std::vector<py::object>* outer_;
    std::vector<py::object> caught_;
};

// The component-access lock for one scope, taken with the GIL released; for reads whose results point into
// the library (texts) and must be copied before anyone can change them.
class AccessLock {
public:
    AccessLock() { qxLockCompAccess(); }
    ~AccessLock() { qxUnlockCompAccess(); }
    AccessLock(const AccessLock&) = delete;
    AccessLock& operator=(const AccessLock&) = delete;
};

// ---- values ---------------------------------------------------------------------------------------------

// Python values as slots of one value type. Texts are kept here so the slots can point at them.
struct Slots {
    std::vector<qxValue> slots;
    std::vector<std::string> texts;
    uint32_t valType = 0;
};

std::string textOf(const py::handle& v) {
    if (py::isinstance<py::bytes>(v)) return v.cast<std::string>();
    if (py::isinstance<py::str>(v)) {
        // surrogateescape: bytes that were not UTF-8 when read come back as they were.
        py::bytes b = py::reinterpret_steal<py::bytes>(PyUnicode_AsEncodedString(v.ptr(), "utf-8", "surrogateescape"));
        if (!b) throw py::error_already_set();
        return b.cast<std::string>();
    }
    throw py::type_error("a text (str or bytes) is needed, not " + std::string(py::str(v.get_type().attr("__name__"))));
}

py::object textValue(const char* s) {
    if (s == nullptr) return py::str("");
    PyObject* o = PyUnicode_DecodeUTF8(s, static_cast<Py_ssize_t>(std::char_traits<char>::length(s)), "surrogateescape");
    if (o == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(o);
}

long long integerOf(const py::handle& v, long long lo, long long hi, const char* what) {
    if (!PyLong_Check(v.ptr())) {
        throw py::type_error(std::string("an int is needed for ") + what + ", not " +
                             std::string(py::str(v.get_type().attr("__name__"))));
    }
    int overflow = 0;
    const long long x = PyLong_AsLongLongAndOverflow(v.ptr(), &overflow);
    if (overflow != 0 || x < lo || x > hi) throw py::value_error(std::string("value out of range for ") + what);
    return x;
}

// Numbers go as numbers of the property's type; any text among them makes the whole buffer texts, which
// the library parses or translates through the dictionary.
Slots toSlots(const py::sequence& values, uint32_t valType) {
    Slots out;
    bool anyText = false;
    for (const py::handle v : values)
        if (py::isinstance<py::str>(v) || py::isinstance<py::bytes>(v)) anyText = true;
    out.valType = anyText ? uint32_t{QX_VT_STRING} : valType;
    out.texts.reserve(values.size());
    for (const py::handle v : values) {
        qxValue slot{};
        switch (out.valType) {
        case QX_VT_INT32: slot.i32 = static_cast<int32_t>(integerOf(v, INT32_MIN, INT32_MAX, "a 32-bit integer")); break;
        case QX_VT_INT64: slot.i64 = integerOf(v, LLONG_MIN, LLONG_MAX, "a 64-bit integer"); break;
        case QX_VT_POINTER:
            if (!PyLong_Check(v.ptr())) throw py::type_error("an int is needed for a pointer value");
            slot.bits = PyLong_AsUnsignedLongLong(v.ptr());
            if (PyErr_Occurred()) throw py::error_already_set();
            break;
        case QX_VT_DOUBLE:
            if (!PyFloat_Check(v.ptr()) && !PyLong_Check(v.ptr())) throw py::type_error("a float is needed for a double value");
            slot.dbl = v.cast<double>();
            break;
        case QX_VT_STRING:
            // A number among texts is written as its Python text, which the library parses back exactly.
            out.texts.push_back(anyText && valType != QX_VT_STRING && (PyLong_Check(v.ptr()) || PyFloat_Check(v.ptr()))
                                    ? std::string(py::str(v))
                                    : textOf(v));
            break;
        default: throw py::value_error("unknown value type " + std::to_string(out.valType));
        }
        out.slots.push_back(slot);
    }
    if (out.valType == QX_VT_STRING)
        for (size_t k = 0; k < out.slots.size(); ++k) out.slots[k].str = out.texts[k].data();
    return out;
}

// Slots read from a property, copied while the component-access lock is held (texts point into the property).
struct ReadSlots {
    std::vector<qxValue> slots;
    std::vector<std::string> texts;
};

py::list fromSlots(const ReadSlots& r, uint32_t valType) {
    py::list out;
    for (size_t k = 0; k < r.slots.size(); ++k) {
        const qxValue& s = r.slots[k];
        switch (valType) {
        case QX_VT_INT32: out.append(py::int_(s.i32)); break;
        case QX_VT_INT64: out.append(py::int_(s.i64)); break;
        case QX_VT_POINTER: out.append(py::int_(s.bits)); break;
        case QX_VT_DOUBLE: out.append(py::float_(s.dbl)); break;
        default: out.append(textValue(r.texts[k].c_str())); break;
        }
    }
    return out;
}

uint64_t paramBits(HOBJ h, int id) {
    CallParam out{};
    Call call;
    call([&] { return qxCompGetParam(h, id, nullptr, 0, &out, 1); });
    return out.value.bits;
}

int readValues(HOBJ h, int index, long long count, uint32_t valType, ReadSlots& r);
void setValues(HOBJ h, int index, const py::sequence& values, uint32_t valType, bool force);

// Values from index on (count of them; count < 0: all the rest). Negative index: one special value.
py::list getValues(HOBJ h, int index, long long count, uint32_t valType) {
    ReadSlots r;
    Call call;
    // Texts point into the property, and "all values" needs the count and the read to agree: both copy
    // under the lock. A fixed count of numbers is one call, atomic by itself.
    const bool needLock = valType == QX_VT_STRING || count < 0;
    call([&] {
        std::optional<AccessLock> lock;
        if (needLock) lock.emplace();
        return readValues(h, index, count, valType, r);
    });
    return fromSlots(r, valType);
}

int readValues(HOBJ h, int index, long long count, uint32_t valType, ReadSlots& r) {
    if (count < 0) {
        CallParam n{};
        if (int rc = qxCompGetParam(h, QX_PAR_VALUE_COUNT, nullptr, 0, &n, 1); rc != 0) return rc;
        const long long total = static_cast<long long>(n.value.bits & 0xFFFFFFFFu);
        count = index < total ? total - index : 0;
    }
    r.slots.assign(static_cast<size_t>(count), qxValue{});
    ValBuffer buffer{valType, r.slots.size(), r.slots.data()};
    if (int rc = qxPropGetVal(h, &buffer, index); rc != 0) return rc;
    if (valType == QX_VT_STRING)
        for (const qxValue& s : r.slots) r.texts.emplace_back(s.str != nullptr ? s.str : "");
    return 0;
}

// One value: the common case, without the sequence and the vectors of the array path.
void setValue(HOBJ h, int index, const py::handle& value, uint32_t valType, bool force) {
    if (valType == QX_VT_STRING || py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value)) {
        setValues(h, index, py::make_tuple(value), valType, force);
        return;
    }
    qxValue slot{};
    switch (valType) {
    case QX_VT_INT32: slot.i32 = static_cast<int32_t>(integerOf(value, INT32_MIN, INT32_MAX, "a 32-bit integer")); break;
    case QX_VT_INT64: slot.i64 = integerOf(value, LLONG_MIN, LLONG_MAX, "a 64-bit integer"); break;
    case QX_VT_DOUBLE:
        if (!PyFloat_Check(value.ptr()) && !PyLong_Check(value.ptr())) throw py::type_error("a float is needed for a double value");
        slot.dbl = value.cast<double>();
        break;
    default: setValues(h, index, py::make_tuple(value), valType, force); return;
    }
    const ValBuffer buffer{valType, 1, &slot};
    Call call;
    call([&] { return qxPropSetVal(h, &buffer, index, QX_SETVAL_VALUES, nullptr, 0, force ? 1 : 0); });
}

py::object getValue(HOBJ h, int index, uint32_t valType) {
    if (valType != QX_VT_INT32 && valType != QX_VT_INT64 && valType != QX_VT_DOUBLE) return getValues(h, index, 1, valType)[0];
    qxValue slot{};
    ValBuffer buffer{valType, 1, &slot};
    Call call;
    call([&] { return qxPropGetVal(h, &buffer, index); });
    if (valType == QX_VT_INT32) return py::int_(slot.i32);
    if (valType == QX_VT_INT64) return py::int_(slot.i64);
    return py::float_(slot.dbl);
}

void setValues(HOBJ h, int index, const py::sequence& values, uint32_t valType, bool force) {
    Slots s = toSlots(values, valType);
    const ValBuffer buffer{s.valType, s.slots.size(), s.slots.data()};
    Call call;
    call([&] { return qxPropSetVal(h, &buffer, index, QX_SETVAL_VALUES, nullptr, 0, force ? 1 : 0); });
}

// ---- trampolines ------------------------------------------------------------------------------------------

// What a trampoline answers when the Python side failed: a read fails with this code and "Internal error",
// a write is refused (-2038), a method returns it as its result.
constexpr int kCallerFailed = PROPHANDLING_LIST_CANT_ACCESS_DATA;

py::list paramsToList(const CallParam* p, size_t n) {
    py::list out;
    for (size_t k = 0; k < n; ++k) {
        switch (p[k].type) {
        case QX_PT_INT32: out.append(py::int_(p[k].value.i32)); break;
        case QX_PT_INT64: out.append(py::int_(p[k].value.i64)); break;
        case QX_PT_DOUBLE: out.append(py::float_(p[k].value.dbl)); break;
        case QX_PT_STRING: out.append(p[k].value.str != nullptr ? textValue(p[k].value.str) : py::none()); break;
        default: out.append(py::int_(p[k].value.bits)); break;
        }
    }
    return out;
}

// Calls the package's dispatcher(key, kind, handle, owner, values) with the GIL taken; its int result is
// the answer to the library. An exception is kept for the running Call, or reported unraisable.
int dispatch(int64_t key, int kind, HOBJ h, HOBJ owner, const CallParam* values, size_t count) {
    if (g_dispatcher == nullptr || Py_IsInitialized() == 0 || _Py_IsFinalizing()) return kCallerFailed;
    py::gil_scoped_acquire gil;
    try {
        py::object result = py::reinterpret_borrow<py::object>(g_dispatcher)(key, kind, h, owner, paramsToList(values, count));
        return result.cast<int>();
    } catch (py::error_already_set& e) {
        py::object value = e.value();
        if (t_caught != nullptr) t_caught->push_back(value);
        else reportUnraisable(value);
    } catch (const std::exception& e) {
        py::object value = py::module_::import("builtins").attr("RuntimeError")(e.what());
        if (t_caught != nullptr) t_caught->push_back(value);
        else reportUnraisable(value);
    }
    return kCallerFailed;
}

int64_t keyOf(const CallParam* userData, size_t count) { return count > 0 ? userData[0].value.i64 : -1; }

template <int Kind>
int accessTrampoline(HOBJ h, HOBJ owner, CallParam* userData, size_t udCount, CallParam* values, size_t count) {
    return dispatch(keyOf(userData, udCount), Kind, h, owner, values, count);
}

void changedTrampoline(HOBJ h, uintptr_t key) { dispatch(static_cast<int64_t>(key), QX_CB_COMPONENT_CHANGED, h, 0, nullptr, 0); }

constexpr int kMethodKind = -1; // the dispatcher's kind for a method call

int methodTrampoline(HOBJ h, HOBJ owner, CallParam* userData, size_t udCount, CallParam* values, size_t count) {
    return dispatch(keyOf(userData, udCount), kMethodKind, h, owner, values, count);
}

CallParam keyParam(int64_t key) {
    CallParam p{};
    p.type = QX_PT_INT64;
    p.value.i64 = key;
    return p;
}

// ---- component parameters ---------------------------------------------------------------------------------

// Inputs as (type, value) pairs: str values go as String, ints by their type code.
struct Params {
    std::vector<CallParam> params;
    std::vector<std::string> texts;
};

Params toParams(const py::sequence& inputs) {
    Params out;
    out.texts.reserve(inputs.size());
    for (const py::handle item : inputs) {
        auto pair = item.cast<py::tuple>();
        CallParam p{};
        p.type = pair[0].cast<uint32_t>();
        py::handle v = pair[1];
        if (p.type == QX_PT_STRING) {
            out.texts.push_back(textOf(v));
        } else if (p.type == QX_PT_DOUBLE) {
            p.value.dbl = v.cast<double>();
        } else {
            p.value.bits = static_cast<uint64_t>(integerOf(v, LLONG_MIN, LLONG_MAX, "a parameter"));
        }
        out.params.push_back(p);
    }
    size_t t = 0;
    for (CallParam& p : out.params)
        if (p.type == QX_PT_STRING) p.value.str = out.texts[t++].data();
    return out;
}

// One parameter; texts are copied under the lock, numbers come back as ints (Double as float).
py::object getParam(HOBJ h, int id, const py::sequence& inputs) {
    Params in = toParams(inputs);
    CallParam out{};
    std::string text;
    Call call;
    call([&] {
        AccessLock lock;
        if (int rc = qxCompGetParam(h, id, in.params.data(), in.params.size(), &out, 1); rc != 0) return rc;
        if (out.type == QX_PT_STRING) text = out.value.str != nullptr ? out.value.str : "";
        return 0;
    });
    if (out.type == QX_PT_STRING) return textValue(text.c_str());
    if (out.type == QX_PT_DOUBLE) return py::float_(out.value.dbl);
    if (out.type == QX_PT_INT32) return py::int_(out.value.i32);
    return py::int_(out.value.bits);
}

// The component at a path of names below a list, resolved under one hold of the lock: (entry handle, component
// type, the list's own handle for a list or 0). Every name but the last must name a list.
py::tuple findPath(HOBJ list, const std::vector<std::string>& names) {
    HOBJ here = list, entry = 0, listHandle = 0;
    uint64_t type = 0;
    Call call;
    call([&] {
        AccessLock lock;
        for (size_t k = 0; k < names.size(); ++k) {
            CallParam in{}, out{};
            in.type = QX_PT_STRING;
            in.value.str = const_cast<char*>(names[k].c_str());
            if (int rc = qxCompGetParam(here, QX_PAR_HANDLE_BY_NAME, &in, 1, &out, 1); rc != 0) return rc;
            entry = static_cast<HOBJ>(out.value.bits);
            if (int rc = qxCompGetParam(entry, QX_PAR_TYPE, nullptr, 0, &out, 1); rc != 0) return rc;
            type = out.value.bits;
            listHandle = 0;
            // On the way every name must be a list: the library's own refusal (-2000) says so otherwise.
            if ((type & QX_CT_LIST) == 0 && k + 1 == names.size()) break;
            if (int rc = qxCompGetParam(entry, QX_PAR_LIST_HANDLE, nullptr, 0, &out, 1); rc != 0) return rc;
            here = listHandle = static_cast<HOBJ>(out.value.bits);
        }
        return 0;
    });
    return py::make_tuple(entry, type, listHandle);
}

// ---- the benchmark's native baseline ----------------------------------------------------------------------

// ns per qxPropSetVal of the Int32 5 and per qxPropGetVal of it, looped natively on the property the Python loop
// uses.
std::pair<double, double> nativeSetGet(HOBJ h, long long iterations) {
    using Clock = std::chrono::steady_clock;
    qxValue slot{};
    ValBuffer buffer{QX_VT_INT32, 1, &slot};
    double setNs = 0, getNs = 0;
    int failed = 0;
    std::string text;
    {
        py::gil_scoped_release released;
        auto t0 = Clock::now();
        for (long long k = 0; k < iterations; ++k) {
            slot.i32 = 5; // the value the Python loop writes, so both do the same work
            const int rc = qxPropSetVal(h, &buffer, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
            if (rc != 0 && failed == 0) failed = rc;
        }
        auto t1 = Clock::now();
        for (long long k = 0; k < iterations; ++k) {
            const int rc = qxPropGetVal(h, &buffer, 0);
            if (rc != 0 && failed == 0) failed = rc;
        }
        auto t2 = Clock::now();
        setNs = std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(iterations);
        getNs = std::chrono::duration<double, std::nano>(t2 - t1).count() / static_cast<double>(iterations);
        if (failed != 0) text = lastErrorText(); // the first failure's text may be overwritten by later ones
    }
    if (failed != 0) throw LibraryError{failed, codeName(failed), text, py::object()};
    return {setNs, getNs};
}

} // namespace

PYBIND11_MODULE(_qxprop, m) {
    m.doc() = "Low-level binding of libqxPropHandling's C interface; use the qxprop package instead.";

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const LibraryError& e) {
            if (g_errorClass == nullptr) {
                PyErr_SetString(PyExc_RuntimeError, (std::to_string(e.code) + " " + e.name + ": " + e.text).c_str());
                return;
            }
            // The package's factory picks the class (qxprop.Error, or its KeyError flavour for a missing name).
            py::object exc = py::reinterpret_borrow<py::object>(g_errorClass)(e.code, e.name, e.text);
            if (e.cause) PyException_SetCause(exc.ptr(), e.cause.inc_ref().ptr());
            PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exc.ptr())), exc.ptr());
        }
    });

    m.def("_setup", [](py::object errorFactory, py::object dispatcher) {
        g_errorClass = errorFactory.inc_ref().ptr();
        g_dispatcher = dispatcher.inc_ref().ptr();
    }, "Hands the package's error factory and callback dispatcher to the module (once, at import).");

    m.def("error_name", [](int code) { return std::string(codeName(code)); }, "The library's name of an error code.");
    m.def("raise_code", [](int code, const std::string& text) {
        Call call;
        call([&] { return qxPropHandlingSetLastError(code, text.c_str()) != 0 ? PROPHANDLING_INVALID_INPUT_PARAMETER : code; });
    }, "Records code and text as this thread's last error and raises it as qxprop.Error (for tests).");

    m.def("lock", [] { py::gil_scoped_release r; qxLockCompAccess(); }, "Enters the component-access lock.");
    m.def("unlock", [] { py::gil_scoped_release r; qxUnlockCompAccess(); }, "Leaves the component-access lock.");

    m.def("list_create", [](const std::string& name, size_t size, int flags) {
        HOBJ h = 0;
        Call c;
        c([&] { return qxPropListCreate(&h, name.c_str(), size, flags); });
        return h;
    });
    m.def("list_delete", [](HOBJ h) { Call c; c([&] { return qxPropListDelete(h); }); });
    m.def("list_valid", [](HOBJ h) { py::gil_scoped_release r; return qxIsPropListValid(h) != 0; });
    m.def("register_prop", [](HOBJ list, const std::string& name, unsigned type, size_t count, unsigned flags,
                              const std::string& format) {
        HOBJ h = QX_INDEX_APPEND;
        Call c;
        c([&] { return qxPropListRegisterProp(list, name.c_str(), type, count, flags, format.empty() ? nullptr : format.c_str(), &h); });
        return h;
    });
    m.def("register_list", [](HOBJ parent, HOBJ list) {
        HOBJ h = QX_INDEX_APPEND;
        Call c;
        c([&] { return qxPropListRegisterList(parent, list, &h); });
        return h;
    });
    m.def("register_method", [](HOBJ list, const std::string& name, int64_t key, unsigned flags) {
        HOBJ h = QX_INDEX_APPEND;
        CallParam user = keyParam(key);
        Call c;
        c([&] { return qxPropListRegisterMethod(list, name.c_str(), &methodTrampoline, &user, 1, flags, &h); });
        return h;
    });
    m.def("remove_comp", [](HOBJ h) { Call c; c([&] { return qxPropListRemoveComp(h); }); });
    m.def("clone", [](HOBJ list, const std::string& name, bool derive) {
        HOBJ h = 0;
        Call c;
        c([&] { return derive ? qxPropListDerive(&h, list, name.c_str()) : qxPropListClone(&h, list, name.c_str()); });
        return h;
    });

    m.def("get_param", &getParam, py::arg("handle"), py::arg("id"), py::arg("inputs") = py::tuple());
    m.def("set_param", [](HOBJ h, int id, const py::sequence& inputs, bool force) {
        Params in = toParams(inputs);
        Call c;
        c([&] { return qxCompSetParam(h, id, in.params.data(), in.params.size(), force ? 1 : 0); });
    });
    m.def("param_bits", &paramBits);
    m.def("find_path", &findPath);
    m.def("restore_default", [](HOBJ h, bool force) { Call c; c([&] { return qxCompRestoreDefault(h, force ? 1 : 0); }); });

    m.def("get_values", &getValues);
    m.def("set_values", &setValues);
    m.def("get_value", &getValue);
    m.def("set_value", &setValue);
    m.def("remove_value", [](HOBJ h, int index, bool force) { Call c; c([&] { return qxPropRemoveVal(h, index, force ? 1 : 0); }); });
    m.def("validate", [](HOBJ h, const py::sequence& values, uint32_t valType) {
        Slots s = toSlots(values, valType);
        const ValBuffer buffer{s.valType, s.slots.size(), s.slots.data()};
        Call c;
        c([&] { return qxPropValidateVal(h, &buffer); });
    });
    m.def("value_text", [](HOBJ h, const py::object& index, const std::string& format, const std::string& delimiter) {
        std::string text;
        const char* fmt = format.empty() ? nullptr : format.c_str();
        const bool all = index.is_none();
        const int at = all ? 0 : index.cast<int>();
        Call c;
        c([&] {
            AccessLock lock; // the size query and the copy see the same text
            size_t size = 0;
            auto get = [&](char* buf) {
                return all ? qxPropGetValArrayAsStringEx(h, fmt, delimiter.c_str(), buf, &size, 0, 0x7FFFFFFF, 0)
                           : qxPropGetValAsStringEx(h, fmt, buf, &size, at);
            };
            if (int rc = get(nullptr); rc != 0) return rc;
            text.assign(size, '\0');
            if (int rc = get(text.data()); rc != 0) return rc;
            text.resize(size > 0 ? size - 1 : 0);
            return 0;
        });
        return textValue(text.c_str());
    });
    m.def("dictionary", [](HOBJ h, uint32_t valType) {
        ReadSlots names, values;
        Call c;
        c([&] {
            AccessLock lock;
            CallParam n{};
            if (int rc = qxCompGetParam(h, QX_PAR_DICTIONARY_SIZE, nullptr, 0, &n, 1); rc != 0) return rc;
            const size_t count = static_cast<size_t>(n.value.bits & 0xFFFFFFFFu);
            names.slots.assign(count, qxValue{});
            values.slots.assign(count, qxValue{});
            ValBuffer nb{QX_VT_STRING, count, names.slots.data()}, vb{valType, count, values.slots.data()};
            if (count == 0) return 0;
            if (int rc = qxPropGetTranslationTable(h, &nb, &vb); rc != 0) return rc;
            for (size_t k = 0; k < count; ++k) {
                names.texts.emplace_back(names.slots[k].str != nullptr ? names.slots[k].str : "");
                if (valType == QX_VT_STRING) values.texts.emplace_back(values.slots[k].str != nullptr ? values.slots[k].str : "");
            }
            return 0;
        });
        py::list n = fromSlots(names, QX_VT_STRING), v = fromSlots(values, valType);
        py::list out;
        for (size_t k = 0; k < n.size(); ++k) out.append(py::make_tuple(n[k], v[k]));
        return out;
    });
    m.def("dict_add", [](HOBJ h, const py::object& name, const py::object& value, uint32_t valType, bool force) {
        const std::string n = textOf(name);
        Slots s = toSlots(py::make_tuple(value), valType == QX_VT_DOUBLE ? uint32_t{QX_VT_DOUBLE} : valType == QX_VT_STRING ? uint32_t{QX_VT_STRING} : uint32_t{QX_VT_INT64});
        if (valType == QX_VT_INT32 && (s.slots[0].i64 < INT32_MIN || s.slots[0].i64 > INT32_MAX))
            throw py::value_error("value out of range for a 32-bit integer");
        Call c;
        c([&] { return qxPropRegisterTranslationEntry(h, n.c_str(), s.slots[0].i64, force ? 1 : 0); });
    });
    m.def("dict_remove", [](HOBJ h, const py::object& name, bool force) {
        const std::string n = textOf(name);
        Call c;
        c([&] { return qxPropRemoveTranslationEntry(h, n.c_str(), force ? 1 : 0); });
    });
    m.def("dict_clear", [](HOBJ h, bool force) { Call c; c([&] { return qxPropRemoveTranslationTable(h, force ? 1 : 0); }); });

    m.def("find", [](HOBJ list, const std::string& name, unsigned mode, unsigned depth) {
        HOBJ h = 0;
        Call c;
        c([&] { return qxPropListFindComp(&h, list, name.c_str(), mode, depth); });
        return h;
    });

    m.def("callback_create", [](unsigned kind, int64_t key) {
        HCALLBACK cb = 0;
        CallParam user = keyParam(key);
        Call c;
        c([&] {
            switch (kind) {
            case QX_CB_COMPONENT_CHANGED: return qxCompCreateFeatureChangedCallback(&changedTrampoline, &user, 1, &cb);
            case QX_CB_PROPERTY_READ: return qxCompCreateCallback(kind, &accessTrampoline<QX_CB_PROPERTY_READ>, &user, 1, &cb);
            case QX_CB_PROPERTY_WRITE: return qxCompCreateCallback(kind, &accessTrampoline<QX_CB_PROPERTY_WRITE>, &user, 1, &cb);
            default: return qxCompCreateCallback(kind, &accessTrampoline<QX_CB_COMPONENT_ACCESS>, &user, 1, &cb);
            }
        });
        return cb;
    });
    m.def("callback_attach", [](HOBJ h, HCALLBACK cb) { Call c; c([&] { return qxCompAttachCallback(h, cb); }); });
    m.def("callback_detach", [](HOBJ h, HCALLBACK cb) { Call c; c([&] { return qxCompDetachCallback(h, cb); }); });
    m.def("callback_delete", [](HCALLBACK cb) { Call c; c([&] { return qxCompDeleteCallback(cb); }); });

    m.def("meth_call", [](HOBJ h, const py::sequence& params) {
        Params in = toParams(params);
        int64_t result = 0;
        Call c(true);
        c([&] { return qxMethCall(h, in.params.data(), in.params.size(), &result); });
        return result;
    });
    m.def("meth_call_text", [](HOBJ h, const py::object& text, const std::string& delimiters) {
        const bool none = text.is_none();
        const std::string t = none ? std::string() : textOf(text);
        int64_t result = 0;
        Call c(true);
        c([&] { return qxMethCallS(h, none ? nullptr : t.c_str(), delimiters.c_str(), &result); });
        return result;
    });

    m.def("export", [](HOBJ h, const std::string& name, unsigned flags, unsigned scope) {
        Call c;
        c([&] { return qxPropListExport(h, name.c_str(), flags, scope); });
    });
    m.def("import_", [](const std::string& name, unsigned flags, unsigned scope) {
        HOBJ h = 0;
        Call c;
        c([&] { return qxPropListImport(&h, name.c_str(), flags, scope); });
        return h;
    });
    m.def("import_into", [](HOBJ parent, const std::string& name, unsigned flags, unsigned scope) {
        HOBJ h = QX_INDEX_APPEND;
        Call c;
        c([&] { return qxPropListImportEx(parent, &h, name.c_str(), flags, scope); });
        return h;
    });
    m.def("update", [](HOBJ h, const std::string& name, unsigned flags, unsigned scope) {
        Call c;
        c([&] { return qxPropListUpdate(h, name.c_str(), flags, scope); });
    });
    m.def("delete_setting", [](const std::string& name, unsigned location, unsigned scope) {
        Call c;
        c([&] { return qxDeleteSetting(name.c_str(), location, scope); });
    });
    m.def("setting_exists", [](const std::string& name, unsigned location, unsigned scope) {
        Call c;
        const int rc = c.run([&] { return qxDoesSettingExist(name.c_str(), location, scope); });
        if (rc == PROPHANDLING_LIST_CANT_ACCESS_DATA) return false; // the library's "not stored"
        c.check(rc);
        return true;
    });
    m.def("setting_descriptor", [](const std::string& name, unsigned location, unsigned scope) {
        std::string text;
        Call c;
        c([&] {
            size_t size = 0;
            if (int rc = qxSettingGetContentDescriptor(name.c_str(), location, scope, nullptr, &size); rc != 0) return rc;
            text.assign(size, '\0');
            if (int rc = qxSettingGetContentDescriptor(name.c_str(), location, scope, text.data(), &size); rc != 0) return rc;
            text.resize(size > 0 ? size - 1 : 0);
            return 0;
        });
        return textValue(text.c_str());
    });
    m.def("ram_read", [](const std::string& name) {
        std::string text;
        Call c;
        c([&] {
            AccessLock lock;
            size_t size = 0;
            if (int rc = qxReadSettingFromRAM(name.c_str(), nullptr, &size); rc != 0) return rc;
            text.assign(size, '\0');
            if (int rc = qxReadSettingFromRAM(name.c_str(), text.data(), &size); rc != 0) return rc;
            text.resize(size > 0 ? size - 1 : 0);
            return 0;
        });
        return textValue(text.c_str());
    });
    m.def("ram_write", [](const std::string& name, const py::object& text) {
        const std::string t = textOf(text);
        Call c;
        c([&] { return qxWriteSettingToRAM(name.c_str(), t.c_str()); });
    });

    m.def("native_set_get_ns", &nativeSetGet,
          "ns per qxPropSetVal of the Int32 5 and per qxPropGetVal, looped natively (the benchmark's baseline).");
}
