"""qxprop -- Python access to libqxPropHandling's tree of typed configuration components.

A process has one tree of lists, properties and methods. This package reaches it through the library's
C interface only (the extension module ``_qxprop``)::

    import qxprop
    with qxprop.List("camera") as cam:
        gain = cam.add_property("gain", qxprop.DOUBLE, 1.0, limits=(0.0, 24.0, 0.5))
        cam["gain"] = 3.5
        print(cam["gain"].value, gain.limits)

Ownership: a ``List`` made here (by ``List(name)``, ``import_list``, ``clone`` or ``derive``) owns its list
and deletes it when closed, at the end of a ``with`` block, or when the object is garbage-collected; lists,
properties and methods reached inside it are views that keep their owner alive. Callbacks and methods whose
code is Python belong to the owning list: they stay attached until detached or until that list is closed.

Errors: every non-zero code of the library is raised as :class:`Error` with ``.code``, ``.name`` and
``.text``; looking up a missing name raises :class:`NotFoundError`, an ``Error`` that is also a ``KeyError``.

Threads: the GIL is released around every library call, so a thread waiting for the component-access lock
(see :func:`locked`) never keeps other Python threads from running.
"""
from __future__ import annotations

import atexit
import enum
import itertools
import weakref
from collections import namedtuple
from typing import Any, Callable, Iterator, Optional, Sequence, Union

import _qxprop

__all__ = [
    "Error", "NotFoundError", "ErrorCode", "ValueType", "ComponentFlag", "StorageFlag", "Scope",
    "INT32", "DOUBLE", "POINTER", "STRING", "INT64",
    "Component", "List", "Property", "Method", "Callback", "Limits",
    "locked", "import_list", "setting_exists", "delete_setting", "setting_descriptor",
    "read_ram_setting", "write_ram_setting",
]


# ---- vocabularies --------------------------------------------------------------------------------------

class ErrorCode(enum.IntEnum):
    """The library's error codes (``Error.code`` is one of these when the code is known)."""
    NO_ERROR = 0
    NOT_A_LIST = -2000
    NOT_A_PROPERTY = -2001
    NOT_A_METHOD = -2002
    NO_READ_RIGHTS = -2003
    NO_WRITE_RIGHTS = -2004
    NO_MODIFY_SIZE_RIGHTS = -2005
    INCOMPATIBLE_COMPONENTS = -2006
    UNSUPPORTED_PARAMETER = -2008
    SIZE_MISMATCH = -2009
    IMPLEMENTATION_MISSING = -2010
    ACCESSTOKEN_CREATION_FAILED = -2011
    INVALID_PROP_VALUE = -2012
    PROP_TRANSLATION_TABLE_CORRUPTED = -2013
    PROP_VAL_ID_OUT_OF_BOUNDS = -2014
    PROP_TRANSLATION_TABLE_NOT_DEFINED = -2015
    INVALID_PROP_VALUE_TYPE = -2016
    PROP_VAL_TOO_LARGE = -2017
    PROP_VAL_TOO_SMALL = -2018
    COMPONENT_NOT_FOUND = -2019
    LIST_ID_INVALID = -2020
    COMPONENT_ID_INVALID = -2021
    LIST_ENTRY_OCCUPIED = -2022
    COMPONENT_HAS_OWNER_ALREADY = -2023
    COMPONENT_ALREADY_REGISTERED = -2024
    LIST_CANT_ACCESS_DATA = -2025
    METHOD_PTR_INVALID = -2026
    METHOD_INVALID_PARAM_LIST = -2027
    INVALID_INPUT_PARAMETER = -2029
    COMPONENT_NO_CALLBACK_REGISTERED = -2030
    INPUT_BUFFER_TOO_SMALL = -2031
    WRONG_PARAM_COUNT = -2032
    UNSUPPORTED_OPERATION = -2033
    CANT_SERIALIZE_DATA = -2034
    INVALID_FILE_CONTENT = -2035
    CANT_ALLOCATE_LIST = -2036
    CANT_REGISTER_COMPONENT = -2037
    PROP_VALIDATION_FAILED = -2038


class ValueType(enum.IntEnum):
    """How a property reads its values: the type given to :meth:`List.add_property`."""
    INT32 = 1
    DOUBLE = 2
    POINTER = 3
    STRING = 4
    INT64 = 5


INT32 = ValueType.INT32
"""A property of signed 32-bit integers (Python ``int``)."""
DOUBLE = ValueType.DOUBLE
"""A property of 64-bit floating-point numbers (Python ``float``)."""
POINTER = ValueType.POINTER
"""A property of untyped pointers, stored as unsigned 64-bit numbers (Python ``int``)."""
STRING = ValueType.STRING
"""A property of texts (Python ``str``; bytes that are not UTF-8 survive as surrogate escapes)."""
INT64 = ValueType.INT64
"""A property of signed 64-bit integers (Python ``int``)."""


class ComponentFlag(enum.IntFlag):
    """The component flags (``Component.flags``; ``flags=`` of the ``add_...`` methods)."""
    READ_ACCESS = 0x1
    WRITE_ACCESS = 0x2
    FIXED_SIZE = 0x4
    INVISIBLE = 0x10
    ALLOW_VALUE_COMBINATIONS = 0x20
    SHOULD_BE_DISPLAYED_AS_LIST = 0x40
    DISALLOW_SERIALIZE = 0x80
    ALWAYS_FORCE_CLONE = 0x100
    NOT_AVAILABLE = 0x200
    NOT_IMPLEMENTED = 0x400
    CONTAINS_BINARY_DATA = 0x800
    SHOULD_BE_DISPLAYED_AS_ENUMERATION = 0x1000
    ALWAYS_FORCE_UPDATE = 0x2000


class StorageFlag(enum.IntFlag):
    """Where a setting is stored and what it holds (``flags=`` and ``location=`` of the setting calls)."""
    REGISTRY = 0x00001
    REGISTRY_RAW_PATH = 0x00002
    VOLATILE = 0x00004
    PROCESS_TRANSLATION_DICTS = 0x00008
    CREATE_MISSING = 0x00010
    INCLUDE_READ_ONLY = 0x00020
    SKIP_VALUES = 0x00040
    PROCESS_DOC_STRINGS = 0x00080
    PROCESS_CONSTANTS_DICTS = 0x00100
    DERIVE_FROM_PARENT = 0x00200
    OMIT_LAYOUT = 0x00400
    SKIP_INVISIBLE = 0x00800
    FILE = 0x01000
    PROCESS_DISPLAY_NAMES = 0x02000
    RAM = 0x04000
    UPDATE_BY_LIST_ENTRIES = 0x08000
    EXTENDED_XML = 0x10000
    OMIT_DEFAULT_MARKER = 0x20000


class Scope(enum.IntEnum):
    """The registry hive of a registry setting."""
    LOCAL_MACHINE = 0
    CURRENT_USER = 1


_RW = ComponentFlag.READ_ACCESS | ComponentFlag.WRITE_ACCESS
_CT_PROPERTY, _CT_LIST, _CT_METHOD = 0x10000, 0x20000, 0x40000
_PT_INT32, _PT_DOUBLE, _PT_POINTER, _PT_STRING, _PT_UINT32, _PT_FLAGS, _PT_INT64 = 1, 2, 3, 4, 5, 8, 10
_PAR_LIST_HANDLE, _PAR_VALUE_COUNT, _PAR_HANDLE_BY_NAME = 1, 6, 8
_PAR_NAME, _PAR_NEXT_COMPONENT, _PAR_FIRST_COMPONENT = 11, 13, 14
_PAR_HAS_SPECIAL_VALUE, _PAR_FLAGS, _PAR_TYPE, _PAR_NAME_EXISTS = 17, 20, 21, 22
_PAR_DOC_STRING, _PAR_METHOD_SIGNATURE, _PAR_FORMAT_STRING = 24, 28, 30
_PAR_DISPLAY_NAME = 48
_LIM_MAXIMUM, _LIM_MINIMUM, _LIM_STEP, _LIM_DEFAULT = -1, -2, -3, -4
_CB_CHANGED, _CB_READ, _CB_WRITE = 0, 1, 2
_ANSWER_FAILED = int(ErrorCode.LIST_CANT_ACCESS_DATA)
_SIGNATURE_TYPES = {"i": _PT_INT32, "I": _PT_INT64, "f": _PT_DOUBLE, "p": _PT_POINTER, "s": _PT_STRING}


# ---- errors ------------------------------------------------------------------------------------------------

class Error(Exception):
    """A call the library refused: ``code`` (an :class:`ErrorCode` when known, else the int), ``name`` (the
    library's name of the code) and ``text`` (the calling thread's last-error text). An exception raised by
    Python callback code that made the call fail is chained as ``__cause__``."""

    def __init__(self, code: int, name: str, text: str) -> None:
        super().__init__(code, name, text)
        try:
            self.code: Union[ErrorCode, int] = ErrorCode(code)
        except ValueError:
            self.code = code
        self.name = name
        self.text = text

    def __str__(self) -> str:
        return f"{int(self.code)} {self.name}: {self.text}"


class NotFoundError(Error, KeyError):
    """No component of that name (``ErrorCode.COMPONENT_NOT_FOUND``): an :class:`Error` that is also a
    ``KeyError``, so ``lst.get(...)`` and mapping idioms work."""

    __str__ = Error.__str__


def _make_error(code: int, name: str, text: str) -> Error:
    return (NotFoundError if code == ErrorCode.COMPONENT_NOT_FOUND else Error)(code, name, text)


# ---- caller code: callbacks and methods ----------------------------------------------------------------------

# key -> Callback or method target. Weak: the owning List holds them, so reference cycles through
# callbacks stay collectable; a key whose object is gone makes the library's call fail cleanly.
_targets: "weakref.WeakValueDictionary[int, Any]" = weakref.WeakValueDictionary()
_keys = itertools.count(1)
# Callbacks kept by views of lists this package does not own; released at exit.
_orphans: list = []
_owning_lists: "weakref.WeakSet[List]" = weakref.WeakSet()


def _dispatch(key: int, kind: int, handle: int, owner: int, values: list) -> int:
    target = _targets.get(key)
    if target is None:
        return _ANSWER_FAILED
    return target._invoke(kind, handle, owner, values)


_qxprop._setup(_make_error, _dispatch)


class Callback:
    """Python code attached to a component (made by ``on_change``, ``on_read`` or ``on_write``).

    It stays attached until :meth:`detach` or :meth:`close`, or until the owning :class:`List` is closed; the
    object itself need not be kept. Usable as a context manager (closed at the end of the block)."""

    def __init__(self, component: "Component", kind: int, fn: Callable[..., Any]) -> None:
        if not callable(fn):
            raise TypeError("a callback needs a callable")
        self._fn = fn
        # The component's handle and a weak reference to its owner, not the component: a list whose
        # callbacks do not refer to it is deleted as soon as its last reference goes, without waiting for gc.
        self._target_handle = component.handle
        self._target_class = type(component)
        self._owner_ref = weakref.ref(component._owner) if component._owner is not None else None
        self._kind = kind
        self._key = next(_keys)
        self._handle: Optional[int] = None
        _targets[self._key] = self
        self._handle = _qxprop.callback_create(kind, self._key)
        try:
            _qxprop.callback_attach(component.handle, self._handle)
        except BaseException:
            _qxprop.callback_delete(self._handle)
            self._handle = None
            raise
        self._keeper = component._keeper()
        self._keeper.append(self)

    @property
    def attached(self) -> bool:
        """Whether the callback still exists in the library."""
        return self._handle is not None

    def detach(self) -> None:
        """Takes the callback off its component (an error if the component is gone) and deletes it."""
        if self._handle is None:
            return
        _qxprop.callback_detach(self._target_handle, self._handle)
        self.close()

    def close(self) -> None:
        """Deletes the callback: it is off every component at once and never runs again. Idempotent."""
        handle, self._handle = self._handle, None
        if handle is None:
            return
        try:
            self._keeper.remove(self)
        except ValueError:
            pass
        _qxprop.callback_delete(handle)

    def __enter__(self) -> "Callback":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_handle", None) is not None and _qxprop is not None:
            self.close()

    def _invoke(self, kind: int, handle: int, owner: int, values: list) -> int:
        root = self._owner_ref() if self._owner_ref is not None else None
        if kind == _CB_WRITE:
            return 1 if self._fn(Property(handle, root), values) is False else 0
        if kind == _CB_READ:
            self._fn(Property(handle, root))
            return 0
        self._fn(_wrap(handle, root))
        return 0

    def __repr__(self) -> str:
        state = "attached" if self._handle is not None else "closed"
        return f"<qxprop.Callback {state} to {self._target_class.__name__} 0x{self._target_handle:08x}>"


class _MethodTarget:
    """The Python function behind a method registered from Python; kept by the owning list."""

    def __init__(self, fn: Callable[..., Any]) -> None:
        self.fn = fn

    def _invoke(self, kind: int, handle: int, owner: int, values: list) -> int:
        result = self.fn(*values)
        return 0 if result is None else int(result)


# ---- components ------------------------------------------------------------------------------------------------

def _wrap(handle: int, owner: Optional["List"]) -> "Component":
    kind = _qxprop.param_bits(handle, _PAR_TYPE)
    return _make(handle, kind, _qxprop.param_bits(handle, _PAR_LIST_HANDLE) if kind & _CT_LIST else 0, owner)


def _make(handle: int, kind: int, list_handle: int, owner: Optional["List"]) -> "Component":
    if kind & _CT_LIST:
        return List._view(list_handle, owner)
    if kind & _CT_METHOD:
        return Method(handle, owner)
    prop = Property(handle, owner)
    prop._vt = kind & 0xFFFF
    return prop


class Component:
    """What lists, properties and methods share: a handle, a name, flags, texts and change callbacks.

    Components are views: they do not own what they name, and keep the owning :class:`List` alive."""

    def __init__(self, handle: int, owner: Optional["List"] = None) -> None:
        self._handle = handle
        self._owner = owner

    @property
    def handle(self) -> int:
        """The library's 32-bit handle (list ID << 16 | entry index)."""
        return self._handle

    @property
    def name(self) -> str:
        """The component's name."""
        return _qxprop.get_param(self._handle, _PAR_NAME)

    @property
    def type(self) -> int:
        """The component type (0x10000 + value type for a property, 0x20000 list, 0x40000 method)."""
        return _qxprop.param_bits(self._handle, _PAR_TYPE)

    @property
    def flags(self) -> ComponentFlag:
        """The component's flags."""
        return ComponentFlag(_qxprop.param_bits(self._handle, _PAR_FLAGS) & 0xFFFFFFFF)

    def set_flag(self, flag: ComponentFlag, on: bool = True) -> None:
        """Sets or clears one flag (one bit per call, as the library takes it)."""
        _qxprop.set_param(self._handle, _PAR_FLAGS, [(_PT_UINT32, 1 if on else 0), (_PT_FLAGS, int(flag))], False)

    @property
    def doc(self) -> str:
        """The documentation text (settable)."""
        return _qxprop.get_param(self._handle, _PAR_DOC_STRING)

    @doc.setter
    def doc(self, text: str) -> None:
        _qxprop.set_param(self._handle, _PAR_DOC_STRING, [(_PT_STRING, text)], False)

    @property
    def display_name(self) -> str:
        """The name shown to users (settable)."""
        return _qxprop.get_param(self._handle, _PAR_DISPLAY_NAME)

    @display_name.setter
    def display_name(self, text: str) -> None:
        _qxprop.set_param(self._handle, _PAR_DISPLAY_NAME, [(_PT_STRING, text)], False)

    def on_change(self, fn: Callable[["Component"], Any]) -> Callback:
        """Calls ``fn(component)`` after each change of this component, at the end of the call that made it.
        An exception from ``fn`` goes to ``sys.unraisablehook``; the change stays."""
        return Callback(self, _CB_CHANGED, fn)

    def _keeper(self) -> list:
        owner = self._owner
        return owner._keep if owner is not None else _orphans

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Component) and other._handle == self._handle

    def __hash__(self) -> int:
        return hash(self._handle)

    def __repr__(self) -> str:
        try:
            name = self.name
        except Error:
            name = "?"
        return f"<qxprop.{type(self).__name__} {name!r} 0x{self._handle:08x}>"


Limits = namedtuple("Limits", "min max step")
Limits.__doc__ = "A property's minimum, maximum and step width; None where the property has none."


class Property(Component):
    """A property: one or more values of one :class:`ValueType`, with limits and a dictionary.

    ``prop.value`` is the first value, ``prop.values`` all of them as a list; ``prop[i]`` one of them.
    Texts written to a numeric property are parsed by the library, or translated through its dictionary."""

    _vt: Optional[int] = None

    @property
    def value_type(self) -> ValueType:
        """The property's value type."""
        if self._vt is None:
            self._vt = _qxprop.param_bits(self._handle, _PAR_TYPE) & 0xFFFF
        return ValueType(self._vt)

    @property
    def value(self) -> Any:
        """The first value (settable; a list or tuple sets all values, as ``values`` does)."""
        return _qxprop.get_value(self._handle, 0, self._vt or self.value_type)

    @value.setter
    def value(self, v: Any) -> None:
        if isinstance(v, (list, tuple)):
            self.values = v
        else:
            _qxprop.set_value(self._handle, 0, v, self._vt or self.value_type, False)

    @property
    def values(self) -> list:
        """All values as a list (settable: the property then holds exactly these values)."""
        return _qxprop.get_values(self._handle, 0, -1, self.value_type)

    @values.setter
    def values(self, vs: Sequence[Any]) -> None:
        self.set(vs)

    def set(self, values: Union[Any, Sequence[Any]], index: int = 0, force: bool = False) -> None:
        """Writes one value or a sequence of values from ``index`` on; ``force`` writes with full rights
        (also where the property is read-only). A sequence written at index 0 also sets the value count."""
        if isinstance(values, (list, tuple)):
            if not values:
                raise ValueError("a property holds at least one value")
            _qxprop.set_values(self._handle, index, values, self.value_type, force)
            if index == 0 and len(values) != len(self):
                self.count = len(values)
        else:
            _qxprop.set_values(self._handle, index, (values,), self.value_type, force)

    @property
    def count(self) -> int:
        """The number of values (settable)."""
        return _qxprop.param_bits(self._handle, _PAR_VALUE_COUNT) & 0xFFFFFFFF

    @count.setter
    def count(self, n: int) -> None:
        _qxprop.set_param(self._handle, _PAR_VALUE_COUNT, [(_PT_UINT32, n)], False)

    def __len__(self) -> int:
        return self.count

    def _index(self, i: int) -> int:
        n = len(self)
        if i < 0:
            i += n
        if not 0 <= i < n:
            raise IndexError("value index out of range")
        return i

    def __getitem__(self, i: int) -> Any:
        return _qxprop.get_values(self._handle, self._index(i), 1, self.value_type)[0]

    def __setitem__(self, i: int, v: Any) -> None:
        _qxprop.set_values(self._handle, self._index(i), (v,), self.value_type, False)

    def text(self, index: Optional[int] = 0, format: str = "", delimiter: str = ", ") -> str:
        """A value as the library formats it (its format string unless ``format`` is given); with
        ``index=None`` all values joined by ``delimiter``. Dictionary values read as their names."""
        return _qxprop.value_text(self._handle, index, format, delimiter)

    @property
    def format(self) -> str:
        """The format string used to turn values into text."""
        return _qxprop.get_param(self._handle, _PAR_FORMAT_STRING)

    def _special(self, index: int) -> Any:
        has = _qxprop.get_param(self._handle, _PAR_HAS_SPECIAL_VALUE, [(_PT_INT32, index)])
        return _qxprop.get_values(self._handle, index, 1, self.value_type)[0] if has else None

    def _set_special(self, index: int, v: Any) -> None:
        if v is None:
            if _qxprop.get_param(self._handle, _PAR_HAS_SPECIAL_VALUE, [(_PT_INT32, index)]):
                _qxprop.remove_value(self._handle, index, False)
        else:
            _qxprop.set_values(self._handle, index, (v,), self.value_type, False)

    minimum = property(lambda self: self._special(_LIM_MINIMUM), lambda self, v: self._set_special(_LIM_MINIMUM, v),
                       doc="The smallest value allowed, or None (settable; None removes it).")
    maximum = property(lambda self: self._special(_LIM_MAXIMUM), lambda self, v: self._set_special(_LIM_MAXIMUM, v),
                       doc="The largest value allowed, or None (settable; None removes it).")
    step = property(lambda self: self._special(_LIM_STEP), lambda self, v: self._set_special(_LIM_STEP, v),
                    doc="The step width values are snapped to, or None (settable; None removes it).")
    default = property(lambda self: self._special(_LIM_DEFAULT), lambda self, v: self._set_special(_LIM_DEFAULT, v),
                       doc="The default value, or None (settable; None removes it).")

    @property
    def limits(self) -> Limits:
        """(min, max, step) as a :data:`Limits`; settable from a 3-tuple (None removes a limit)."""
        return Limits(self.minimum, self.maximum, self.step)

    @limits.setter
    def limits(self, lims: Sequence[Any]) -> None:
        lo, hi, step = lims
        self.minimum, self.maximum, self.step = lo, hi, step

    @property
    def dictionary(self) -> dict:
        """The translation dictionary, name -> value (settable from a mapping; {} removes it)."""
        return dict(_qxprop.dictionary(self._handle, self.value_type))

    @dictionary.setter
    def dictionary(self, entries: dict) -> None:
        _qxprop.dict_clear(self._handle, False)
        for name, value in entries.items():
            _qxprop.dict_add(self._handle, name, value, self.value_type, False)

    def on_write(self, fn: Callable[["Property", list], Any]) -> Callback:
        """Calls ``fn(prop, values)`` before each write, with the values being written. Returning False
        refuses the write (``ErrorCode.PROP_VALIDATION_FAILED``); so does raising, and the exception is the
        refused write's ``__cause__`` (or goes to ``sys.unraisablehook`` when no Python call made the write)."""
        return Callback(self, _CB_WRITE, fn)

    def on_read(self, fn: Callable[["Property"], Any]) -> Callback:
        """Calls ``fn(prop)`` before each read; it may write fresh values. Raising makes the read fail
        (``ErrorCode.LIST_CANT_ACCESS_DATA``, the exception as ``__cause__``)."""
        return Callback(self, _CB_READ, fn)


class Method(Component):
    """A method: call it as ``meth(1, 2.5)`` (parameters converted by its signature) or with a parameter
    text through :meth:`call_text`. The result is the function's int result."""

    @property
    def signature(self) -> str:
        """The signature: the result character, then one of ``i I f p s`` per parameter."""
        return _qxprop.get_param(self._handle, _PAR_METHOD_SIGNATURE)

    def __call__(self, *args: Any) -> int:
        types = self.signature[1:]
        if len(args) != len(types):
            raise TypeError(f"{self.name} takes {len(types)} parameter(s), {len(args)} given")
        return _qxprop.meth_call(self._handle, [(_SIGNATURE_TYPES.get(t, _PT_INT64), a) for t, a in zip(types, args)])

    def call_text(self, text: Optional[str], delimiters: str = " ") -> int:
        """Calls the method with its parameters as one text, split at ``delimiters`` and converted by the
        library according to the signature."""
        return _qxprop.meth_call_text(self._handle, text, delimiters)


class List(Component):
    """A list of components. ``List(name)`` creates one that this object owns (see the module's text on
    ownership); views of lists inside a tree come from lookups and iteration.

    ``lst["a/b"]`` finds a component by path, ``lst["gain"] = 3.5`` writes a property, ``for c in lst``
    walks the components, ``"gain" in lst`` asks for a name."""

    def __init__(self, name: str, size: int = 0, flags: ComponentFlag = _RW) -> None:
        super().__init__(_qxprop.list_create(name, size, int(flags)), None)
        self._own()

    def _own(self) -> None:
        self._owned = True
        self._closed = False
        self._keep: list = []
        _owning_lists.add(self)

    @classmethod
    def _view(cls, handle: int, owner: Optional["List"]) -> "List":
        view = cls.__new__(cls)
        Component.__init__(view, handle, owner)
        view._owned = False
        view._closed = False
        return view

    @classmethod
    def _adopt(cls, handle: int) -> "List":
        lst = cls.__new__(cls)
        Component.__init__(lst, handle, None)
        lst._own()
        return lst

    def _keeper(self) -> list:
        return self._keep if self._owned else super()._keeper()

    @property
    def owned(self) -> bool:
        """Whether this object deletes the list when closed."""
        return self._owned and not self._closed

    def close(self) -> None:
        """Deletes an owned list with everything in it, then the callbacks and Python methods kept for it.
        A view, or a list closed before, is left alone."""
        if not self._owned or self._closed:
            return
        self._closed = True
        _owning_lists.discard(self)
        try:
            if _qxprop.list_valid(self._handle):
                _qxprop.list_delete(self._handle)
        finally:
            kept, self._keep = self._keep, []
            for item in kept:
                if isinstance(item, Callback):
                    item._keeper = []
                    item.close()

    def __enter__(self) -> "List":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_owned", False) and not self._closed and _qxprop is not None:
            self.close()

    # -- building

    def add_property(self, name: str, type: ValueType, value: Any = None, *, count: int = 1,
                     flags: ComponentFlag = _RW, format: str = "", limits: Optional[Sequence[Any]] = None,
                     dictionary: Optional[dict] = None, doc: Optional[str] = None) -> Property:
        """Registers a new property of ``type`` with ``count`` values and returns it. Limits and the
        dictionary are set before the value, which must then fit them."""
        prop = Property(_qxprop.register_prop(self._handle, name, _CT_PROPERTY | int(type), count, int(flags), format), self._root())
        if dictionary:
            prop.dictionary = dictionary
        if limits is not None:
            prop.limits = limits
        if doc is not None:
            prop.doc = doc
        if value is not None:
            prop.set(value, force=True)
        return prop

    def add_list(self, sub: Union[str, "List"], size: int = 0, flags: ComponentFlag = _RW) -> "List":
        """Registers a list in this one: a new list of that name, or an owned ``List``, whose list then
        belongs to this one (the object becomes a view and hands its callbacks over). Returns the view."""
        if isinstance(sub, str):
            handle = _qxprop.list_create(sub, size, int(flags))
            try:
                _qxprop.register_list(self._handle, handle)
            except BaseException:
                _qxprop.list_delete(handle)
                raise
            return List._view(handle, self._root())
        _qxprop.register_list(self._handle, sub._handle)
        root = self._root()
        if sub._owned and not sub._closed:
            sub._owned = False
            _owning_lists.discard(sub)
            for item in sub._keep:
                if isinstance(item, Callback):
                    item._keeper = root._keep if root is not None else _orphans
            (root._keep if root is not None else _orphans).extend(sub._keep)
            sub._keep = []
        sub._owner = root
        return sub

    def add_method(self, name: str, fn: Callable[..., Any], signature: str = "i",
                   flags: ComponentFlag = _RW) -> Method:
        """Registers ``fn`` as a method named ``name@signature`` (result character, then ``i I f p s`` per
        parameter). ``fn`` gets the parameters and returns an int (None counts as 0); an exception it
        raises reaches the Python code that called the method."""
        target = _MethodTarget(fn)
        key = next(_keys)
        _targets[key] = target
        handle = _qxprop.register_method(self._handle, f"{name}@{signature}", key, int(flags))
        self._keeper().append(target)
        return Method(handle, self._root())

    def remove(self, name: str) -> None:
        """Removes the component of that name from this list (a list removed so is deleted with it)."""
        _qxprop.remove_comp(self._entry(name))

    def clone(self, name: str) -> "List":
        """A deep copy of this list under a new name, owned by the returned object. Its methods call the
        same Python functions, which the copy keeps alive too; callbacks stay those of this list's owner."""
        return self._copy(_qxprop.clone(self._handle, name, False))

    def derive(self, name: str) -> "List":
        """A list derived from this one (sharing its values until written), owned by the returned object;
        Python methods are kept alive as by :meth:`clone`."""
        return self._copy(_qxprop.clone(self._handle, name, True))

    def _copy(self, handle: int) -> "List":
        copy = List._adopt(handle)
        copy._keep.extend(t for t in self._keeper() if isinstance(t, _MethodTarget))
        return copy

    def _root(self) -> Optional["List"]:
        return self if self._owned else self._owner

    # -- lookup and iteration

    def _entry(self, name: str) -> int:
        return _qxprop.get_param(self._handle, _PAR_HANDLE_BY_NAME, [(_PT_STRING, name)])

    def __getitem__(self, path: str) -> Component:
        names = [n for n in path.split("/") if n]
        if not names:
            raise NotFoundError(int(ErrorCode.COMPONENT_NOT_FOUND), "PROPHANDLING_COMPONENT_NOT_FOUND",
                                f"empty path {path!r}")
        entry, kind, list_handle = _qxprop.find_path(self._handle, names)
        return _make(entry, kind, list_handle, self._root())

    def __setitem__(self, path: str, value: Any) -> None:
        comp = self[path]
        if not isinstance(comp, Property):
            raise TypeError(f"{path!r} is not a property")
        comp.value = value

    def get(self, path: str, default: Any = None) -> Any:
        """The component at ``path``, or ``default`` when a name on the way is missing."""
        try:
            return self[path]
        except NotFoundError:
            return default

    def __contains__(self, name: object) -> bool:
        return isinstance(name, str) and bool(_qxprop.get_param(self._handle, _PAR_NAME_EXISTS, [(_PT_STRING, name)]))

    def __iter__(self) -> Iterator[Component]:
        root = self._root()
        entry = _qxprop.param_bits(self._handle, _PAR_FIRST_COMPONENT)
        while entry & 0xFFFF != 0xFFFF:
            yield _wrap(entry, root)
            entry = _qxprop.param_bits(entry, _PAR_NEXT_COMPONENT)

    def __len__(self) -> int:
        return sum(1 for _ in self)

    def keys(self) -> list:
        """The names of the components, in entry order."""
        return [c.name for c in self]

    # -- settings

    def export(self, name: str, flags: StorageFlag = StorageFlag.FILE, scope: Scope = Scope.CURRENT_USER) -> None:
        """Writes this list as a setting: a file (``.xml`` is added when the name has no extension; the file
        is replaced crash-safely), a RAM text (``StorageFlag.RAM``) or the registry (``StorageFlag.REGISTRY``,
        in the hive of ``scope``)."""
        _qxprop.export(self._handle, name, int(flags), int(scope))

    def update(self, name: str, flags: StorageFlag = StorageFlag.FILE, scope: Scope = Scope.CURRENT_USER) -> None:
        """Writes the values of a stored setting into this list, through the same checks as any write."""
        _qxprop.update(self._handle, name, int(flags), int(scope))


# ---- the lock and settings --------------------------------------------------------------------------------------

class locked:
    """``with qxprop.locked():`` holds the component-access lock for the block, so several calls see the
    tree unchanged by other threads. Waiting for it releases the GIL; it is recursive per thread."""

    def __enter__(self) -> "locked":
        _qxprop.lock()
        return self

    def __exit__(self, *exc: Any) -> None:
        _qxprop.unlock()


def import_list(name: str, flags: StorageFlag = StorageFlag.FILE, scope: Scope = Scope.CURRENT_USER) -> List:
    """Builds a new list from a stored setting (file, RAM text or registry, by ``flags``); the returned
    object owns it."""
    return List._adopt(_qxprop.import_(name, int(flags), int(scope)))


def setting_exists(name: str, location: StorageFlag = StorageFlag.FILE, scope: Scope = Scope.CURRENT_USER) -> bool:
    """Whether a setting is stored at ``location`` (``FILE``, ``RAM`` or ``REGISTRY``)."""
    return _qxprop.setting_exists(name, int(location), int(scope))


def delete_setting(name: str, location: StorageFlag = StorageFlag.FILE, scope: Scope = Scope.CURRENT_USER) -> None:
    """Removes a stored setting from ``location``."""
    _qxprop.delete_setting(name, int(location), int(scope))


def setting_descriptor(name: str, location: StorageFlag = StorageFlag.FILE, scope: Scope = Scope.CURRENT_USER) -> str:
    """The content descriptor a stored setting carries."""
    return _qxprop.setting_descriptor(name, int(location), int(scope))


def read_ram_setting(name: str) -> str:
    """The XML text of a setting in the process's RAM store."""
    return _qxprop.ram_read(name)


def write_ram_setting(name: str, text: str) -> None:
    """Replaces the XML text of a RAM setting that an export with ``StorageFlag.RAM`` made; a name never
    exported is refused (``ErrorCode.LIST_CANT_ACCESS_DATA``)."""
    _qxprop.ram_write(name, text)


@atexit.register
def _close_all() -> None:
    # Before the interpreter goes: no callback may outlive the Python objects its key names.
    for lst in list(_owning_lists):
        lst.close()
    for cb in list(_orphans):
        if isinstance(cb, Callback):
            cb.close()
