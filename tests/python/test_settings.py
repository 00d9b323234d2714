# Settings through the package: a list written as a file, a RAM text and a registry setting comes back
# with its values; stored settings can be asked for and deleted.
import os

import pytest
import qxprop
from qxprop import StorageFlag, Scope


def _camera(name="camera"):
    cam = qxprop.List(name)
    cam.add_property("gain", qxprop.DOUBLE, 3.5, limits=(0.0, 24.0, 0.5))
    cam.add_property("label", qxprop.STRING, "front door")
    cam.add_property("big", qxprop.INT64, [2 ** 40, -1])
    cam.add_list("stream0").add_property("width", qxprop.INT32, 640)
    return cam


def _values(lst):
    return {"gain": lst["gain"].value, "label": lst["label"].value, "big": lst["big"].values,
            "width": lst["stream0/width"].value}


EXPECTED = {"gain": 3.5, "label": "front door", "big": [2 ** 40, -1], "width": 640}


def test_file_round_trip(tmp_path):
    path = str(tmp_path / "camera.xml")
    with _camera() as cam:
        cam.export(path)
    assert qxprop.setting_exists(path)
    with qxprop.import_list(path) as back:
        assert back.owned and _values(back) == EXPECTED
        back["gain"] = 1.0
        back.update(path)            # the stored values come back into an existing list
        assert back["gain"].value == 3.5
    qxprop.delete_setting(path)
    assert not qxprop.setting_exists(path)


def test_ram_round_trip_and_edited_text():
    with _camera() as cam:
        cam.export("cam", StorageFlag.RAM)
        with qxprop.import_list("cam", StorageFlag.RAM) as back:
            assert _values(back) == EXPECTED
        text = qxprop.read_ram_setting("cam")
        assert "front door" in text
        qxprop.write_ram_setting("cam", text.replace("front door", "back door"))
        assert qxprop.read_ram_setting("cam") == text.replace("front door", "back door")
        cam.update("cam", StorageFlag.RAM)
        assert cam["label"].value == "back door"
    with pytest.raises(qxprop.Error) as never:
        qxprop.write_ram_setting("never-exported", text)
    assert never.value.code == qxprop.ErrorCode.LIST_CANT_ACCESS_DATA
    assert not qxprop.setting_exists("never-exported", StorageFlag.RAM)


def test_registry_round_trip_in_the_user_hive(tmp_path, monkeypatch):
    monkeypatch.setenv("QXPROPHANDLING_REGISTRY_DIR", str(tmp_path))
    with _camera() as cam:
        cam.export("qxprop-test\\camera", StorageFlag.REGISTRY, Scope.CURRENT_USER)
    assert os.path.exists(tmp_path / "user.hive")
    assert qxprop.setting_exists("qxprop-test\\camera", StorageFlag.REGISTRY)
    with qxprop.import_list("qxprop-test\\camera", StorageFlag.REGISTRY) as back:
        assert _values(back) == EXPECTED
    qxprop.delete_setting("qxprop-test\\camera", StorageFlag.REGISTRY)
    assert not qxprop.setting_exists("qxprop-test\\camera", StorageFlag.REGISTRY)


def test_storage_flags_combine_as_an_int_flag():
    flags = StorageFlag.FILE | StorageFlag.PROCESS_TRANSLATION_DICTS
    assert isinstance(flags, StorageFlag) and int(flags) == 0x1008
    assert StorageFlag.RAM in StorageFlag.RAM | StorageFlag.REGISTRY


def test_dictionary_survives_a_file_round_trip_with_its_flag(tmp_path):
    path = str(tmp_path / "modes.xml")
    with qxprop.List("modes") as lst:
        lst.add_property("mode", qxprop.INT32, 2, dictionary={"off": 0, "auto": 2})
        lst.export(path, StorageFlag.FILE | StorageFlag.PROCESS_TRANSLATION_DICTS)
    with qxprop.import_list(path, StorageFlag.FILE | StorageFlag.PROCESS_TRANSLATION_DICTS) as back:
        assert back["mode"].dictionary == {"off": 0, "auto": 2}
        assert back["mode"].text() == "auto"
    with pytest.raises(qxprop.Error):
        qxprop.import_list(str(tmp_path / "nothing-here.xml"))
