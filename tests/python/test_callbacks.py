# Python code called by the library: write, read and change callbacks and methods. A raising callback
# never takes the process down: a refused write or failed read carries the exception as __cause__, and what
# no Python caller can receive goes to sys.unraisablehook. Reference cycles through callbacks are collected.
import contextlib
import gc
import sys
import weakref

import pytest
import qxprop
import _qxprop
from qxprop import ErrorCode


@contextlib.contextmanager
def unraisable():
    # Set inside the test body: pytest puts its own hook in place around each test phase.
    seen, before = [], sys.unraisablehook
    sys.unraisablehook = lambda u: seen.append(u.exc_value)
    try:
        yield seen
    finally:
        sys.unraisablehook = before


def test_write_callback_sees_values_and_may_refuse(lst):
    prop = lst.add_property("p", qxprop.INT32, 1)
    seen = []
    prop.on_write(lambda p, values: seen.append((p.name, values)) or values[0] != 13)
    prop.value = 5
    with pytest.raises(qxprop.Error) as refused:
        prop.value = 13
    assert refused.value.code == ErrorCode.PROP_VALIDATION_FAILED
    assert refused.value.__cause__ is None
    assert prop.value == 5
    assert seen == [("p", [5]), ("p", [13])]


def test_raising_write_callback_refuses_with_the_exception_as_cause(lst):
    prop = lst.add_property("p", qxprop.DOUBLE, 1.0)

    def fail(p, values):
        raise RuntimeError("hardware says no")
    prop.on_write(fail)
    with unraisable() as reported, pytest.raises(qxprop.Error) as refused:
        prop.value = 2.0
    assert refused.value.code == ErrorCode.PROP_VALIDATION_FAILED
    assert isinstance(refused.value.__cause__, RuntimeError)
    assert str(refused.value.__cause__) == "hardware says no"
    assert prop.value == 1.0 and reported == []


def test_raising_read_callback_fails_the_read(lst):
    prop = lst.add_property("p", qxprop.INT32, 1)
    calls = []

    def refresh(p):
        calls.append(p.handle)
        if len(calls) > 1:
            raise OSError("sensor gone")
    prop.on_read(refresh)
    assert prop.value == 1
    with pytest.raises(qxprop.Error) as failed:
        prop.value
    assert failed.value.code == ErrorCode.LIST_CANT_ACCESS_DATA
    assert isinstance(failed.value.__cause__, OSError)
    assert calls == [prop.handle, prop.handle]


def test_read_callback_may_write_fresh_values(lst):
    prop = lst.add_property("temp", qxprop.INT32, 0)
    ticks = iter(range(40, 100))
    prop.on_read(lambda p: p.set(next(ticks)))
    assert prop.value == 40
    assert prop.value == 41


def test_raising_change_callback_is_reported_unraisable_and_the_change_stays(lst):
    prop = lst.add_property("p", qxprop.INT32, 1)
    changes = []

    def watch(c):
        changes.append(c.name)
        raise ValueError("observer broke")
    prop.on_change(watch)
    with unraisable() as reported:
        prop.value = 2
    assert prop.value == 2 and changes == ["p"]
    assert len(reported) == 1 and isinstance(reported[0], ValueError)


def test_detach_and_close_stop_the_calls(lst):
    prop = lst.add_property("p", qxprop.INT32, 1)
    seen = []
    cb = prop.on_change(lambda c: seen.append(1))
    prop.value = 2
    cb.detach()
    prop.value = 3
    assert seen == [1] and not cb.attached
    cb.close()  # idempotent
    with prop.on_write(lambda p, v: seen.append(2)):
        prop.value = 4
    prop.value = 5
    assert seen == [1, 2]
    assert lst._keep == []


def test_a_dropped_handle_keeps_the_callback_while_the_list_lives(lst):
    prop = lst.add_property("p", qxprop.INT32, 1)
    seen = []
    prop.on_change(lambda c: seen.append(c.handle))
    gc.collect()
    prop.value = 2
    assert seen == [prop.handle]


def test_methods_take_parameters_by_signature_and_raise_to_the_caller(lst):
    got = []
    scale = lst.add_method("scale", lambda f, n, s: got.append((f, n, s)) or int(f * (n % 1000)), "ifIs")
    assert scale(2.5, 2 ** 40 + 2, "x") == 1945  # 2.5 * (1099511627778 % 1000)
    assert got[-1] == (2.5, 2 ** 40 + 2, "x")
    assert scale.call_text("1.5;4;word", ";") == 6
    assert got[-1] == (1.5, 4, "word")
    with pytest.raises(TypeError):
        scale(1.0)
    with pytest.raises(qxprop.Error) as wrong:
        scale.call_text("1.5;4", ";")
    assert wrong.value.code == ErrorCode.WRONG_PARAM_COUNT

    def broken():
        raise LookupError("no such register")
    with pytest.raises(LookupError):
        lst.add_method("broken", broken, "i")()


def test_method_result_comes_back(lst):
    add = lst.add_method("add", lambda a, b: a + b, "iii")
    assert add(20, 22) == 42
    assert add(-5, 2) == -3
    assert lst.add_method("nothing", lambda: None, "v")() == 0


def test_cycles_between_callbacks_and_lists_are_collected():
    gc.collect()
    lst = qxprop.List("cyclic")
    prop = lst.add_property("p", qxprop.INT32, 1)
    prop.on_write(lambda p, v: lst is not None)      # the closure holds the list
    prop.on_change(lambda c: prop.name)
    lst.add_method("m", lambda: len(lst), "i")
    handle = lst.handle
    keys = set(qxprop._targets.keys())
    assert len(keys) >= 3
    ref = weakref.ref(lst)
    del lst, prop
    gc.collect()
    assert ref() is None
    assert not _qxprop.list_valid(handle)
    assert keys.isdisjoint(qxprop._targets.keys())


def test_closing_the_list_deletes_its_callbacks():
    lst = qxprop.List("closing")
    prop = lst.add_property("p", qxprop.INT32, 1)
    cb = prop.on_change(lambda c: None)
    lst.close()
    assert not cb.attached
    with pytest.raises(qxprop.Error) as gone:
        prop.value = 2
    assert gone.value.code == ErrorCode.LIST_ID_INVALID


def test_a_clone_keeps_the_python_methods_of_its_source():
    source = qxprop.List("source")
    source.add_method("twice", lambda x: 2 * x, "ii")
    copy = source.clone("copy")
    source.close()
    gc.collect()
    with copy:
        assert copy["twice@ii"](21) == 42


def test_a_method_whose_python_function_is_gone_answers_without_crashing(lst):
    meth = lst.add_method("gone", lambda: 1, "i")
    assert meth() == 1
    lst._keep.clear()  # what closing the owner does; the method itself lives on in the tree
    gc.collect()
    assert meth() == int(ErrorCode.LIST_CANT_ACCESS_DATA)


def test_exception_in_a_callback_fired_by_a_c_caller_goes_to_unraisablehook(lst):
    prop = lst.add_property("p", qxprop.INT32, 0)

    def fail(p, values):
        raise KeyError("from C")
    prop.on_write(fail)
    with unraisable() as reported, pytest.raises(qxprop.Error) as refused:
        _qxprop.native_set_get_ns(prop.handle, 1)   # loops qxPropSetVal in C, outside any Python call
    assert refused.value.code == ErrorCode.PROP_VALIDATION_FAILED
    assert refused.value.__cause__ is None
    assert len(reported) == 1 and isinstance(reported[0], KeyError)


def test_detach_from_a_removed_component_is_an_error_and_close_still_works(lst):
    prop = lst.add_property("p", qxprop.INT32, 0)
    cb = prop.on_change(lambda c: None)
    lst.remove("p")
    with pytest.raises(qxprop.Error) as gone:
        cb.detach()
    assert gone.value.code == ErrorCode.COMPONENT_ID_INVALID
    assert cb.attached
    cb.close()
    assert not cb.attached


def test_a_list_whose_callbacks_do_not_refer_to_it_goes_with_its_last_reference():
    gc.disable()
    try:
        lst = qxprop.List("prompt")
        prop = lst.add_property("p", qxprop.INT32, 1)
        prop.on_change(lambda c: None)
        prop.on_write(lambda p, v: True)
        handle = lst.handle
        del lst, prop
        assert not _qxprop.list_valid(handle)   # no collection ran
    finally:
        gc.enable()
