# Type stubs of the qxprop package: every public name with its types, so editors complete them.
# The docstrings in __init__.py say what each one does.
import enum
from typing import Any, Callable, Iterator, NamedTuple, Optional, Sequence, Union

Value = Union[int, float, str]

class ErrorCode(enum.IntEnum):
    """The library's error codes."""
    NO_ERROR: int
    NOT_A_LIST: int
    NOT_A_PROPERTY: int
    NOT_A_METHOD: int
    NO_READ_RIGHTS: int
    NO_WRITE_RIGHTS: int
    NO_MODIFY_SIZE_RIGHTS: int
    INCOMPATIBLE_COMPONENTS: int
    UNSUPPORTED_PARAMETER: int
    SIZE_MISMATCH: int
    IMPLEMENTATION_MISSING: int
    ACCESSTOKEN_CREATION_FAILED: int
    INVALID_PROP_VALUE: int
    PROP_TRANSLATION_TABLE_CORRUPTED: int
    PROP_VAL_ID_OUT_OF_BOUNDS: int
    PROP_TRANSLATION_TABLE_NOT_DEFINED: int
    INVALID_PROP_VALUE_TYPE: int
    PROP_VAL_TOO_LARGE: int
    PROP_VAL_TOO_SMALL: int
    COMPONENT_NOT_FOUND: int
    LIST_ID_INVALID: int
    COMPONENT_ID_INVALID: int
    LIST_ENTRY_OCCUPIED: int
    COMPONENT_HAS_OWNER_ALREADY: int
    COMPONENT_ALREADY_REGISTERED: int
    LIST_CANT_ACCESS_DATA: int
    METHOD_PTR_INVALID: int
    METHOD_INVALID_PARAM_LIST: int
    INVALID_INPUT_PARAMETER: int
    COMPONENT_NO_CALLBACK_REGISTERED: int
    INPUT_BUFFER_TOO_SMALL: int
    WRONG_PARAM_COUNT: int
    UNSUPPORTED_OPERATION: int
    CANT_SERIALIZE_DATA: int
    INVALID_FILE_CONTENT: int
    CANT_ALLOCATE_LIST: int
    CANT_REGISTER_COMPONENT: int
    PROP_VALIDATION_FAILED: int

class ValueType(enum.IntEnum):
    """How a property reads its values."""
    INT32: int
    DOUBLE: int
    POINTER: int
    STRING: int
    INT64: int

INT32: ValueType
DOUBLE: ValueType
POINTER: ValueType
STRING: ValueType
INT64: ValueType

class ComponentFlag(enum.IntFlag):
    """Component flags."""
    READ_ACCESS: int
    WRITE_ACCESS: int
    FIXED_SIZE: int
    INVISIBLE: int
    ALLOW_VALUE_COMBINATIONS: int
    SHOULD_BE_DISPLAYED_AS_LIST: int
    DISALLOW_SERIALIZE: int
    ALWAYS_FORCE_CLONE: int
    NOT_AVAILABLE: int
    NOT_IMPLEMENTED: int
    CONTAINS_BINARY_DATA: int
    SHOULD_BE_DISPLAYED_AS_ENUMERATION: int
    ALWAYS_FORCE_UPDATE: int

class StorageFlag(enum.IntFlag):
    """Where a setting is stored and what it holds."""
    REGISTRY: int
    REGISTRY_RAW_PATH: int
    VOLATILE: int
    PROCESS_TRANSLATION_DICTS: int
    CREATE_MISSING: int
    INCLUDE_READ_ONLY: int
    SKIP_VALUES: int
    PROCESS_DOC_STRINGS: int
    PROCESS_CONSTANTS_DICTS: int
    DERIVE_FROM_PARENT: int
    OMIT_LAYOUT: int
    SKIP_INVISIBLE: int
    FILE: int
    PROCESS_DISPLAY_NAMES: int
    RAM: int
    UPDATE_BY_LIST_ENTRIES: int
    EXTENDED_XML: int
    OMIT_DEFAULT_MARKER: int

class Scope(enum.IntEnum):
    """The registry hive of a registry setting."""
    LOCAL_MACHINE: int
    CURRENT_USER: int

class Error(Exception):
    """A call the library refused."""
    code: Union[ErrorCode, int]
    name: str
    text: str
    def __init__(self, code: int, name: str, text: str) -> None: ...

class NotFoundError(Error, KeyError):
    """No component of that name; also a KeyError."""

class Limits(NamedTuple):
    """Minimum, maximum and step width; None where absent."""
    min: Optional[Value]
    max: Optional[Value]
    step: Optional[Value]

class Callback:
    """Python code attached to a component."""
    @property
    def attached(self) -> bool: ...
    def detach(self) -> None: ...
    def close(self) -> None: ...
    def __enter__(self) -> Callback: ...
    def __exit__(self, *exc: Any) -> None: ...

class Component:
    """What lists, properties and methods share."""
    @property
    def handle(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def type(self) -> int: ...
    @property
    def flags(self) -> ComponentFlag: ...
    def set_flag(self, flag: ComponentFlag, on: bool = ...) -> None: ...
    doc: str
    display_name: str
    def on_change(self, fn: Callable[[Component], Any]) -> Callback: ...

class Property(Component):
    """One or more values of one value type."""
    @property
    def value_type(self) -> ValueType: ...
    value: Any
    values: list[Any]
    count: int
    minimum: Optional[Value]
    maximum: Optional[Value]
    step: Optional[Value]
    default: Optional[Value]
    limits: Limits
    dictionary: dict[str, Value]
    @property
    def format(self) -> str: ...
    def set(self, values: Union[Any, Sequence[Any]], index: int = ..., force: bool = ...) -> None: ...
    def text(self, index: Optional[int] = ..., format: str = ..., delimiter: str = ...) -> str: ...
    def __len__(self) -> int: ...
    def __getitem__(self, i: int) -> Any: ...
    def __setitem__(self, i: int, v: Any) -> None: ...
    def on_write(self, fn: Callable[[Property, list[Any]], Any]) -> Callback: ...
    def on_read(self, fn: Callable[[Property], Any]) -> Callback: ...

class Method(Component):
    """A callable component."""
    @property
    def signature(self) -> str: ...
    def __call__(self, *args: Any) -> int: ...
    def call_text(self, text: Optional[str], delimiters: str = ...) -> int: ...

class List(Component):
    """A list of components; List(name) creates and owns one."""
    def __init__(self, name: str, size: int = ..., flags: ComponentFlag = ...) -> None: ...
    @property
    def owned(self) -> bool: ...
    def close(self) -> None: ...
    def __enter__(self) -> List: ...
    def __exit__(self, *exc: Any) -> None: ...
    def add_property(self, name: str, type: ValueType, value: Any = ..., *, count: int = ...,
                     flags: ComponentFlag = ..., format: str = ..., limits: Optional[Sequence[Any]] = ...,
                     dictionary: Optional[dict[str, Value]] = ..., doc: Optional[str] = ...) -> Property: ...
    def add_list(self, sub: Union[str, List], size: int = ..., flags: ComponentFlag = ...) -> List: ...
    def add_method(self, name: str, fn: Callable[..., Optional[int]], signature: str = ...,
                   flags: ComponentFlag = ...) -> Method: ...
    def remove(self, name: str) -> None: ...
    def clone(self, name: str) -> List: ...
    def derive(self, name: str) -> List: ...
    def __getitem__(self, path: str) -> Any: ...
    def __setitem__(self, path: str, value: Any) -> None: ...
    def get(self, path: str, default: Any = ...) -> Any: ...
    def __contains__(self, name: object) -> bool: ...
    def __iter__(self) -> Iterator[Component]: ...
    def __len__(self) -> int: ...
    def keys(self) -> list[str]: ...
    def export(self, name: str, flags: StorageFlag = ..., scope: Scope = ...) -> None: ...
    def update(self, name: str, flags: StorageFlag = ..., scope: Scope = ...) -> None: ...

class locked:
    """Holds the component-access lock for a with block."""
    def __enter__(self) -> locked: ...
    def __exit__(self, *exc: Any) -> None: ...

def import_list(name: str, flags: StorageFlag = ..., scope: Scope = ...) -> List: ...
def setting_exists(name: str, location: StorageFlag = ..., scope: Scope = ...) -> bool: ...
def delete_setting(name: str, location: StorageFlag = ..., scope: Scope = ...) -> None: ...
def setting_descriptor(name: str, location: StorageFlag = ..., scope: Scope = ...) -> str: ...
def read_ram_setting(name: str) -> str: ...
def write_ram_setting(name: str, text: str) -> None: ...
