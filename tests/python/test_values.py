# Typed values through the package: every value type, arrays, limits, dictionaries, iteration and lookup
# by path. Expected values are literals or round trips through the library, never computed by package code.
import pytest
import qxprop
from qxprop import ErrorCode


@pytest.mark.parametrize("vtype, written, read_back", [
    (qxprop.INT32, -2147483648, -2147483648),
    (qxprop.INT32, 2147483647, 2147483647),
    (qxprop.INT64, -(2 ** 63), -(2 ** 63)),
    (qxprop.INT64, 2 ** 40 + 3, 2 ** 40 + 3),
    (qxprop.DOUBLE, 0.1, 0.1),
    (qxprop.DOUBLE, 7, 7.0),
    (qxprop.POINTER, 2 ** 64 - 1, 2 ** 64 - 1),
    (qxprop.STRING, "grüße, ☃", "grüße, ☃"),
    (qxprop.STRING, "", ""),
    (qxprop.STRING, b"\xff\xferaw", "\udcff\udcferaw"),   # bytes that are not UTF-8 survive
])
def test_every_value_type_round_trips(lst, vtype, written, read_back):
    prop = lst.add_property("p", vtype)
    prop.value = written
    assert prop.value == read_back
    assert type(prop.value) is type(read_back)
    assert prop.value_type == vtype


@pytest.mark.parametrize("vtype, bad, error", [
    (qxprop.INT32, 2 ** 31, ValueError),
    (qxprop.INT64, 2 ** 63, ValueError),
    (qxprop.INT32, 1.5, TypeError),
    (qxprop.DOUBLE, None, TypeError),
    (qxprop.STRING, 5, TypeError),
])
def test_values_that_do_not_fit_are_refused_before_the_library(lst, vtype, bad, error):
    prop = lst.add_property("p", vtype)
    before = prop.value
    with pytest.raises(error):
        prop.value = bad
    assert prop.value == before


def test_texts_to_a_numeric_property_are_parsed_by_the_library(lst):
    prop = lst.add_property("n", qxprop.INT32)
    prop.value = "0x10"
    assert prop.value == 16
    prop.values = [1, "2", 3]  # one text makes the whole write texts
    assert prop.values == [1, 2, 3]


def test_arrays_are_lists(lst):
    prop = lst.add_property("a", qxprop.INT64, [1, 2, 3])
    assert prop.values == [1, 2, 3] and len(prop) == 3
    prop.values = [9, 8]
    assert prop.values == [9, 8] and prop.count == 2
    prop[1] = 5
    prop[-2] = 4
    assert prop.values == [4, 5] and prop[-1] == 5
    with pytest.raises(IndexError):
        prop[2]
    prop.set([7, 7, 7], index=1)
    assert prop.values == [4, 7, 7, 7]
    lst["a"] = (1, 2)
    assert lst["a"].values == [1, 2]
    texts = lst.add_property("s", qxprop.STRING, ["x", "y z"])
    assert texts.values == ["x", "y z"]
    assert texts.text(None, delimiter="|") == "x|y z"
    with pytest.raises(ValueError):
        prop.values = []


def test_limits_are_read_set_and_enforced(lst):
    gain = lst.add_property("gain", qxprop.DOUBLE, 1.0, limits=(0.0, 24.0, 0.5))
    assert gain.limits == (0.0, 24.0, 0.5)
    assert gain.limits.max == 24.0
    gain.value = 3.3
    assert gain.value == 3.5  # snapped to the step by the library
    with pytest.raises(qxprop.Error) as high:
        gain.value = 25.0
    assert high.value.code == ErrorCode.PROP_VAL_TOO_LARGE
    with pytest.raises(qxprop.Error) as low:
        gain.value = -1.0
    assert low.value.code == ErrorCode.PROP_VAL_TOO_SMALL
    assert gain.value == 3.5
    gain.limits = (None, 100.0, None)
    assert gain.limits == (None, 100.0, None)
    gain.value = -1.0
    assert gain.value == -1.0
    plain = lst.add_property("plain", qxprop.INT32)
    assert plain.limits == (None, None, None) and plain.default is None


def test_dictionary_translates_names(lst):
    mode = lst.add_property("mode", qxprop.INT32, dictionary={"off": 0, "auto": 2})
    assert mode.dictionary == {"off": 0, "auto": 2}
    mode.value = "auto"
    assert mode.value == 2 and mode.text() == "auto"
    mode.dictionary = {}
    assert mode.dictionary == {}


def test_iteration_and_path_lookup(lst):
    lst.add_property("gain", qxprop.DOUBLE, 2.0)
    stream = lst.add_list("stream0")
    stream.add_property("width", qxprop.INT32, 640)
    stream.add_list("roi").add_property("x", qxprop.INT32, 3)
    lst.add_method("reset", lambda: 0, "i")
    kinds = [(c.name, type(c).__name__) for c in lst]
    assert kinds == [("gain", "Property"), ("stream0", "List"), ("reset@i", "Method")]
    assert lst.keys() == ["gain", "stream0", "reset@i"] and len(lst) == 3
    assert "gain" in lst and "nope" not in lst
    assert lst["stream0/width"].value == 640
    assert lst["//stream0//roi/x/"].value == 3
    lst["stream0/roi/x"] = 4
    assert stream["roi/x"].value == 4
    assert [c.name for c in lst["stream0"]] == ["width", "roi"]
    with pytest.raises(KeyError):
        lst["stream0/height"]
    with pytest.raises(qxprop.NotFoundError):
        lst["nothing/width"]
    assert lst.get("stream0/height", "none") == "none"
    with pytest.raises(qxprop.Error) as through:
        lst["gain/x"]
    assert through.value.code == ErrorCode.NOT_A_LIST
    with pytest.raises(TypeError):
        lst["stream0"] = 5


def test_a_registered_list_belongs_to_its_new_parent():
    with qxprop.List("parent") as parent:
        child = qxprop.List("child")
        child.add_property("x", qxprop.INT32, 1)
        seen = []
        child["x"].on_change(lambda c: seen.append(c.name))
        assert child.owned
        parent.add_list(child)
        assert not child.owned
        child.close()                      # a view: nothing is deleted
        parent["child/x"] = 2
        assert seen == ["x"] and parent["child/x"].value == 2
    with pytest.raises(qxprop.Error) as gone:
        child["x"]
    assert gone.value.code == ErrorCode.LIST_ID_INVALID


def test_descriptive_parameters_round_trip(lst):
    prop = lst.add_property("exposure", qxprop.INT32, 10, doc="Exposure in us", format="%05d")
    assert prop.doc == "Exposure in us" and prop.format == "%05d" and prop.text() == "00010"
    prop.display_name = "Exposure time"
    assert prop.display_name == "Exposure time"
    prop.default = 7
    assert prop.default == 7 and prop.type == 0x10001
    assert prop.flags == qxprop.ComponentFlag.READ_ACCESS | qxprop.ComponentFlag.WRITE_ACCESS
    prop.set_flag(qxprop.ComponentFlag.WRITE_ACCESS, False)
    assert qxprop.ComponentFlag.WRITE_ACCESS not in prop.flags
    with pytest.raises(qxprop.Error) as refused:
        prop.value = 11
    assert refused.value.code == ErrorCode.NO_WRITE_RIGHTS
    prop.set(11, force=True)
    assert prop.value == 11
