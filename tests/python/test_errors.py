# Every refusal of the library arrives as qxprop.Error with the library's code, the code's name and the
# thread's last-error text; a missing name is also a KeyError.
import pytest
import qxprop
import _qxprop
from qxprop import ErrorCode


def _read_only(lst):
    prop = lst.add_property("ro", qxprop.INT32, 1, flags=qxprop.ComponentFlag.READ_ACCESS)
    prop.value = 2


def _deleted_list(lst):
    gone = qxprop.List("gone")
    prop = gone.add_property("p", qxprop.INT32)
    gone.close()
    prop.value


def _method_bad_name(lst):
    lst.add_method("bad", lambda: 0, "x")


def _register_twice(lst):
    lst.add_property("twice", qxprop.INT32)
    lst.add_property("twice", qxprop.INT32)


def _limit(lst):
    lst.add_property("lim", qxprop.INT32, 5, limits=(0, 10, None)).value = 11


@pytest.mark.parametrize("action, code, name, text_part", [
    (_read_only, ErrorCode.NO_WRITE_RIGHTS, "PROPHANDLING_NO_WRITE_RIGHTS", "ro"),
    (_deleted_list, ErrorCode.LIST_ID_INVALID, "PROPHANDLING_LIST_ID_INVALID", ""),
    (_method_bad_name, ErrorCode.METHOD_INVALID_PARAM_LIST, "PROPHANDLING_METHOD_INVALID_PARAM_LIST", "bad@x"),
    (_register_twice, ErrorCode.COMPONENT_ALREADY_REGISTERED, "PROPHANDLING_COMPONENT_ALREADY_REGISTERED", "twice"),
    (_limit, ErrorCode.PROP_VAL_TOO_LARGE, "PROPHANDLING_PROP_VAL_TOO_LARGE", "lim"),
    (lambda lst: lst["missing"], ErrorCode.COMPONENT_NOT_FOUND, "PROPHANDLING_COMPONENT_NOT_FOUND", "missing"),
])
def test_refusals_carry_code_name_and_text(lst, action, code, name, text_part):
    with pytest.raises(qxprop.Error) as refused:
        action(lst)
    err = refused.value
    assert err.code == code and isinstance(err.code, ErrorCode)
    assert err.name == name
    assert text_part in err.text and err.text
    assert str(err).startswith(f"{int(code)} {name}: ")


def test_text_is_the_last_error_of_the_calling_thread():
    with pytest.raises(qxprop.Error) as raised:
        _qxprop.raise_code(-2033, "a text of our own")
    assert (raised.value.code, raised.value.name, raised.value.text) == (
        ErrorCode.UNSUPPORTED_OPERATION, "PROPHANDLING_UNSUPPORTED_OPERATION", "a text of our own")


def test_a_code_outside_the_table_stays_an_int():
    with pytest.raises(qxprop.Error) as raised:
        _qxprop.raise_code(5, "five")
    assert raised.value.code == 5 and not isinstance(raised.value.code, ErrorCode)
    assert raised.value.text == "five"


def test_only_a_missing_name_is_a_key_error(lst):
    lst.add_property("p", qxprop.INT32, flags=qxprop.ComponentFlag.READ_ACCESS)
    with pytest.raises(KeyError):
        lst["nope"]
    with pytest.raises(qxprop.Error) as refused:
        lst["p"] = 3
    assert not isinstance(refused.value, KeyError)


def test_errors_of_settings_calls_are_raised(tmp_path):
    with pytest.raises(qxprop.Error) as refused:
        qxprop.import_list(str(tmp_path / "absent.xml"))
    assert refused.value.code != 0
    with pytest.raises(qxprop.Error):
        qxprop.read_ram_setting("never-written")
