/*
 * qxPropHandling.h -- the whole C interface of libqxPropHandling: one tree of named, typed configuration
 * components per process, reached through 59 functions that each return a signed 32-bit error code.
 *
 * Plain C (C99 and later, and C++). Handles are 32-bit numbers: list ID in bits 31..16, entry index in
 * bits 15..0, index 0xFFFF naming a list as a whole. Text is narrow (8-bit); numbers in text use the "C"
 * conventions whatever the process locale is.
 *
 * C has no scoped enumerations, so the vocabularies of the library are plain enumerations with prefixed
 * names. Each group below says which names of the library's own vocabulary its constants stand for.
 */
#ifndef QX_PROP_HANDLING_H
#define QX_PROP_HANDLING_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define QX_API __attribute__((visibility("default")))
#else
#define QX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------------
 * Basic types
 * ------------------------------------------------------------------------------------------------- */

/* Handle of a list or component: list ID << 16 | entry index. */
typedef uint32_t HOBJ;

/* Handle of a callback object: (kind << 16 | table index) widened with sign; bits 15..0 identify it. */
typedef int64_t HCALLBACK;

/* One 8-byte value: the slot of a ValBuffer, the value of a CallParam. An Int32 lives in the low half. */
typedef union qxValue {
    int32_t i32;
    int64_t i64;
    double dbl;
    void* ptr;
    char* str;
    uint64_t bits;
} qxValue;

/* The element in which parameters, results and user data cross the interface: 16 bytes. */
typedef struct CallParam {
    uint32_t type;     /* a QX_PT_... code (ParamType) */
    uint32_t reserved; /* not read */
    qxValue value;
} CallParam;

/* Values entering and leaving a property. The caller owns the struct and the slot array. */
typedef struct ValBuffer {
    uint32_t valType; /* a QX_VT_... code (ValueType) */
    uint64_t count;   /* number of slots behind pSlots */
    qxValue* pSlots;
} ValBuffer;

/* The caller's function behind a method and behind callbacks of kinds 1 to 3. 0 means success. */
typedef int (*MethodFunction)(HOBJ hObj, HOBJ hOwnerList, CallParam* pUserData, size_t userDataCount,
                              CallParam* pValues, size_t valueCount);

/* The caller's function behind a component-changed callback (kind 0). */
typedef void (*FeatureChangedFunction)(HOBJ hObj, uintptr_t userValue);

/* ---------------------------------------------------------------------------------------------------
 * Vocabularies
 * ------------------------------------------------------------------------------------------------- */

/* ParamType: the type code of a CallParam. */
enum qxParamType {
    QX_PT_INT32 = 1,           /* ParamType::Int32 */
    QX_PT_DOUBLE = 2,          /* ParamType::Double */
    QX_PT_POINTER = 3,         /* ParamType::Pointer */
    QX_PT_STRING = 4,          /* ParamType::String */
    QX_PT_UINT32 = 5,          /* ParamType::UInt32 */
    QX_PT_HANDLE = 6,          /* ParamType::Handle */
    QX_PT_COMPONENT_TYPE = 7,  /* ParamType::ComponentType */
    QX_PT_FLAGS = 8,           /* ParamType::Flags */
    QX_PT_COMPONENT_DATA = 9,  /* ParamType::ComponentData */
    QX_PT_INT64 = 10,          /* ParamType::Int64 */
    QX_PT_VISIBILITY = 11,     /* ParamType::Visibility */
    QX_PT_REPRESENTATION = 12  /* ParamType::Representation */
};

/* ValueType: how a property reads its 8-byte slots. */
enum qxValueType {
    QX_VT_INT32 = 1,   /* ValueType::Int32 */
    QX_VT_DOUBLE = 2,  /* ValueType::Double */
    QX_VT_POINTER = 3, /* ValueType::Pointer */
    QX_VT_STRING = 4,  /* ValueType::String */
    QX_VT_INT64 = 5    /* ValueType::Int64 */
};

/* Component types: the high half is the kind, the low half a property's value type. */
enum qxComponentType {
    QX_CT_PROPERTY = 0x10000,
    QX_CT_PROP_INT32 = 0x10001,
    QX_CT_PROP_DOUBLE = 0x10002,
    QX_CT_PROP_POINTER = 0x10003,
    QX_CT_PROP_STRING = 0x10004,
    QX_CT_PROP_INT64 = 0x10005,
    QX_CT_LIST = 0x20000,
    QX_CT_METHOD = 0x40000
};

/* Component flags: the cf... bits. */
enum qxComponentFlag {
    QX_CF_READ_ACCESS = 0x1,                        /* cfReadAccess */
    QX_CF_WRITE_ACCESS = 0x2,                       /* cfWriteAccess */
    QX_CF_FIXED_SIZE = 0x4,                         /* cfFixedSize */
    QX_CF_INVISIBLE = 0x10,                         /* cfInvisible */
    QX_CF_ALLOW_VALUE_COMBINATIONS = 0x20,          /* cfAllowValueCombinations */
    QX_CF_SHOULD_BE_DISPLAYED_AS_LIST = 0x40,       /* cfShouldBeDisplayedAsList */
    QX_CF_DISALLOW_SERIALIZE = 0x80,                /* cfDisallowSerialize */
    QX_CF_ALWAYS_FORCE_CLONE = 0x100,               /* cfAlwaysForceClone */
    QX_CF_NOT_AVAILABLE = 0x200,                    /* cfNotAvailable */
    QX_CF_NOT_IMPLEMENTED = 0x400,                  /* cfNotImplemented */
    QX_CF_CONTAINS_BINARY_DATA = 0x800,             /* cfContainsBinaryData */
    QX_CF_SHOULD_BE_DISPLAYED_AS_ENUMERATION = 0x1000, /* cfShouldBeDisplayedAsEnumeration */
    QX_CF_ALWAYS_FORCE_UPDATE = 0x2000,             /* cfAlwaysForceUpdate */
    QX_CF_ENTRY_MASK = 0x1450,   /* flags kept per list entry rather than in shared data */
    QX_CF_SETTABLE_MASK = 0x15D3 /* flags a caller may change after creation */
};

/* Visibility: a larger value is seen by fewer users. */
enum qxVisibility {
    QX_VIS_BEGINNER = 0,
    QX_VIS_EXPERT = 1,
    QX_VIS_GURU = 2,
    QX_VIS_INVISIBLE = 3
};

/* Representation: a hint to user interfaces on how to show a value. */
enum qxRepresentation {
    QX_REPR_UNDEFINED = 0,
    QX_REPR_LINEAR = 1,
    QX_REPR_LOGARITHMIC = 2,
    QX_REPR_BOOLEAN = 3,
    QX_REPR_PURE_NUMBER = 4,
    QX_REPR_HEX_NUMBER = 5,
    QX_REPR_IPV4_ADDRESS = 6,
    QX_REPR_MAC_ADDRESS = 7,
    QX_REPR_FILE_NAME = 8,
    QX_REPR_DIRECTORY_NAME = 9
};

/* Callback kinds. */
enum qxCallbackKind {
    QX_CB_COMPONENT_CHANGED = 0, /* cbComponentChanged */
    QX_CB_PROPERTY_READ = 1,     /* cbPropertyRead */
    QX_CB_PROPERTY_WRITE = 2,    /* cbPropertyWrite */
    QX_CB_COMPONENT_ACCESS = 3   /* cbComponentAccess */
};

/* Special value indices of a property (limMaximum ... limBinarySizeMax). */
enum qxSpecialValue {
    QX_LIM_MAXIMUM = -1,
    QX_LIM_MINIMUM = -2,
    QX_LIM_STEP_WIDTH = -3,
    QX_LIM_DEFAULT = -4,
    QX_LIM_BINARY_SIZE_MAX = -5
};

/* Entry index values that ask a list to choose the place of a registration. */
enum qxEntryIndex {
    QX_INDEX_APPEND = 0xFFFF,    /* append after the last entry; also "the list as a whole" in a handle */
    QX_INDEX_FIRST_FREE = 0xFFFE /* first free entry, else append */
};

/* qxPropSetVal modes. */
enum qxSetValMode {
    QX_SETVAL_VALUES = 1, /* a value write */
    QX_SETVAL_BINARY = 2  /* a binary write into a string property */
};

/* qxPropGetValArrayAsString mode bits. */
enum qxArrayTextMode {
    QX_AT_RAW_VALUES = 0x1 /* format the values themselves even where a dictionary names them */
};

/* Search mode bits of qxPropListFindComp and of counting components: kinds to leave out. */
enum qxSearchMode {
    QX_SM_EXCLUDE_LISTS = 0x2,
    QX_SM_EXCLUDE_METHODS = 0x4,
    QX_SM_EXCLUDE_PROPERTIES = 0x8
};

/* qxPropListMoveEntries mode bits. */
enum qxMoveMode {
    QX_MOVE_COMPACT_SOURCE = 0x1,
    QX_MOVE_FILL_FREE_DESTINATION = 0x2
};

/* Storage flags of settings (sf... bits); location values of delete, exists and content queries. */
enum qxStorageFlag {
    QX_SF_REGISTRY = 0x00001,                  /* sfRegistry */
    QX_SF_REGISTRY_RAW_PATH = 0x00002,         /* sfRegistryRawPath */
    QX_SF_VOLATILE = 0x00004,                  /* sfVolatile */
    QX_SF_PROCESS_TRANSLATION_DICTS = 0x00008, /* sfProcessTranslationDicts */
    QX_SF_CREATE_MISSING = 0x00010,            /* sfCreateMissing */
    QX_SF_INCLUDE_READ_ONLY = 0x00020,         /* sfIncludeReadOnly */
    QX_SF_SKIP_VALUES = 0x00040,               /* sfSkipValues */
    QX_SF_PROCESS_DOC_STRINGS = 0x00080,       /* sfProcessDocStrings */
    QX_SF_PROCESS_CONSTANTS_DICTS = 0x00100,   /* sfProcessConstantsDicts */
    QX_SF_DERIVE_FROM_PARENT = 0x00200,        /* sfDeriveFromParent */
    QX_SF_OMIT_LAYOUT = 0x00400,               /* sfOmitLayout */
    QX_SF_SKIP_INVISIBLE = 0x00800,            /* sfSkipInvisible */
    QX_SF_FILE = 0x01000,                      /* sfFile */
    QX_SF_PROCESS_DISPLAY_NAMES = 0x02000,     /* sfProcessDisplayNames */
    QX_SF_RAM = 0x04000,                       /* sfRAM */
    QX_SF_UPDATE_BY_LIST_ENTRIES = 0x08000,    /* sfUpdateByListEntries */
    QX_SF_EXTENDED_XML = 0x10000,              /* sfExtendedXml */
    QX_SF_OMIT_DEFAULT_MARKER = 0x20000        /* sfOmitDefaultMarker */
};

/* Registry hive of a setting: 0 the machine's, any other value the user's. */
enum qxScope {
    QX_SCOPE_LOCAL_MACHINE = 0,
    QX_SCOPE_CURRENT_USER = 1
};

/* Parameter IDs of qxCompGetParam and qxCompSetParam (the par... names). */
enum qxComponentParam {
    QX_PAR_LIST_HANDLE = 1,
    QX_PAR_FIRST_DERIVED_LIST = 2,
    QX_PAR_PARENT_LIST = 3,
    QX_PAR_BASE_LIST = 4,
    QX_PAR_NEXT_DERIVED_LIST = 5,
    QX_PAR_VALUE_COUNT = 6,
    QX_PAR_DICTIONARY_SIZE = 7,
    QX_PAR_HANDLE_BY_NAME = 8,
    QX_PAR_IS_VALID_HANDLE = 9,
    QX_PAR_IS_INHERITED = 10,
    QX_PAR_NAME = 11,
    QX_PAR_ENTRY_COUNT = 12,
    QX_PAR_NEXT_COMPONENT = 13,
    QX_PAR_FIRST_COMPONENT = 14,
    QX_PAR_CHANGE_COUNT = 15,
    QX_PAR_HAS_SPECIAL_VALUE = 17,
    QX_PAR_IS_DEFAULT = 18,
    QX_PAR_HANDLE_BY_PATH = 19,
    QX_PAR_FLAGS = 20,
    QX_PAR_TYPE = 21,
    QX_PAR_NAME_EXISTS = 22,
    QX_PAR_ORIGIN = 23,
    QX_PAR_DOC_STRING = 24,
    QX_PAR_LIST_AUX_TEXT = 25,
    QX_PAR_METHOD_SUPPRESSED = 26,
    QX_PAR_COMPARE_VALUES = 27,
    QX_PAR_METHOD_SIGNATURE = 28,
    QX_PAR_COMPONENT_DATA = 29,
    QX_PAR_FORMAT_STRING = 30,
    QX_PAR_CONTENT_DESCRIPTOR = 31,
    QX_PAR_DICTIONARY_ENTRY = 32,
    QX_PAR_VALUE_CHANGE_COUNT = 33,
    QX_PAR_FIRST_CHILD = 34,
    QX_PAR_BINARY_SIZE = 36,
    QX_PAR_FIRST_FREE_ENTRY = 37,
    QX_PAR_TYPE_TEXT = 38,
    QX_PAR_FLAGS_TEXT = 39,
    QX_PAR_DEFAULT_VALUE_COUNT = 40,
    QX_PAR_MAX_VALUE_COUNT = 41,
    QX_PAR_USER_DATA = 42,
    QX_PAR_LAST_COMPONENT = 43,
    QX_PAR_COUNT_MATCHING = 44,
    QX_PAR_VISIBILITY = 45,
    QX_PAR_VISIBILITY_TEXT = 46,
    QX_PAR_VISIBILITY_VALUE_TEXT = 47,
    QX_PAR_DISPLAY_NAME = 48,
    QX_PAR_BINARY_SIZE_MAX = 49,
    QX_PAR_INVALIDATE = 50,
    QX_PAR_CALLBACK_SUPPRESSED = 51,
    QX_PAR_REPRESENTATION = 52,
    QX_PAR_REPRESENTATION_TEXT = 53,
    QX_PAR_REPRESENTATION_VALUE_TEXT = 54
};

/* Error codes, with the names qxPropHandlingErrorCodeToString returns. */
enum qxErrorCode {
    PROPHANDLING_NO_ERROR = 0,
    PROPHANDLING_NOT_A_LIST = -2000,
    PROPHANDLING_NOT_A_PROPERTY = -2001,
    PROPHANDLING_NOT_A_METHOD = -2002,
    PROPHANDLING_NO_READ_RIGHTS = -2003,
    PROPHANDLING_NO_WRITE_RIGHTS = -2004,
    PROPHANDLING_NO_MODIFY_SIZE_RIGHTS = -2005,
    PROPHANDLING_INCOMPATIBLE_COMPONENTS = -2006,
    PROPHANDLING_UNSUPPORTED_PARAMETER = -2008,
    PROPHANDLING_SIZE_MISMATCH = -2009,
    PROPHANDLING_IMPLEMENTATION_MISSING = -2010,
    PROPHANDLING_ACCESSTOKEN_CREATION_FAILED = -2011,
    PROPHANDLING_INVALID_PROP_VALUE = -2012,
    PROPHANDLING_PROP_TRANSLATION_TABLE_CORRUPTED = -2013,
    PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS = -2014,
    PROPHANDLING_PROP_TRANSLATION_TABLE_NOT_DEFINED = -2015,
    PROPHANDLING_INVALID_PROP_VALUE_TYPE = -2016,
    PROPHANDLING_PROP_VAL_TOO_LARGE = -2017,
    PROPHANDLING_PROP_VAL_TOO_SMALL = -2018,
    PROPHANDLING_COMPONENT_NOT_FOUND = -2019,
    PROPHANDLING_LIST_ID_INVALID = -2020,
    PROPHANDLING_COMPONENT_ID_INVALID = -2021,
    PROPHANDLING_LIST_ENTRY_OCCUPIED = -2022,
    PROPHANDLING_COMPONENT_HAS_OWNER_ALREADY = -2023,
    PROPHANDLING_COMPONENT_ALREADY_REGISTERED = -2024,
    PROPHANDLING_LIST_CANT_ACCESS_DATA = -2025,
    PROPHANDLING_METHOD_PTR_INVALID = -2026,
    PROPHANDLING_METHOD_INVALID_PARAM_LIST = -2027,
    PROPHANDLING_SWIG_ERROR = -2028,
    PROPHANDLING_INVALID_INPUT_PARAMETER = -2029,
    PROPHANDLING_COMPONENT_NO_CALLBACK_REGISTERED = -2030,
    PROPHANDLING_INPUT_BUFFER_TOO_SMALL = -2031,
    PROPHANDLING_WRONG_PARAM_COUNT = -2032,
    PROPHANDLING_UNSUPPORTED_OPERATION = -2033,
    PROPHANDLING_CANT_SERIALIZE_DATA = -2034,
    PROPHANDLING_INVALID_FILE_CONTENT = -2035,
    PROPHANDLING_CANT_ALLOCATE_LIST = -2036,
    PROPHANDLING_CANT_REGISTER_COMPONENT = -2037,
    PROPHANDLING_PROP_VALIDATION_FAILED = -2038,
    PROPHANDLING_LAST_ASSIGNED_ERROR_CODE = -2039,
    PROPHANDLING_LAST_VALID_ERROR_CODE = -2099
};

/* Results of qxGlobalLock. */
enum qxWaitResult {
    QX_WAIT_ABANDONED = 0, /* acquired; the previous owner ended without releasing it */
    QX_WAIT_ACQUIRED = 1,
    QX_WAIT_TIMEOUT = 2    /* the time ran out, or the wait failed */
};
#define QX_INFINITE 0xFFFFFFFFu

/* The layout of the three records is part of the interface; a compiler that can check it here does. */
#if defined(__cplusplus) && __cplusplus >= 201103L
static_assert(sizeof(qxValue) == 8, "qxValue must be 8 bytes");
static_assert(sizeof(CallParam) == 16 && offsetof(CallParam, value) == 8, "CallParam layout");
static_assert(offsetof(ValBuffer, count) == 8 && offsetof(ValBuffer, pSlots) == 16, "ValBuffer layout");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(qxValue) == 8, "qxValue must be 8 bytes");
_Static_assert(sizeof(CallParam) == 16 && offsetof(CallParam, value) == 8, "CallParam layout");
_Static_assert(offsetof(ValBuffer, count) == 8 && offsetof(ValBuffer, pSlots) == 16, "ValBuffer layout");
#endif

/* ---------------------------------------------------------------------------------------------------
 * Library frame and last error
 * ------------------------------------------------------------------------------------------------- */

QX_API int qxPropHandlingLibInit(void);
QX_API int qxPropHandlingLibDone(void);
QX_API int qxPropHandlingGetLastError(int* pErrorCode, char* pErrorText, size_t* pErrorTextSize);
QX_API int qxPropHandlingSetLastError(int errorCode, const char* pErrorText);
QX_API const char* qxPropHandlingErrorCodeToString(int errorCode);
QX_API int qxGlobalLock(unsigned int timeout_ms);
QX_API int qxGlobalUnlock(void);
QX_API void qxLockCompAccess(void);
QX_API void qxUnlockCompAccess(void);
QX_API int qxIsPropListValid(HOBJ hList);

/* ---------------------------------------------------------------------------------------------------
 * Component parameters
 * ------------------------------------------------------------------------------------------------- */

QX_API int qxCompGetParam(HOBJ hObj, int paramId, const CallParam* pIn, size_t inCount, CallParam* pOut,
                          size_t outCount);
QX_API int qxCompSetParam(HOBJ hObj, int paramId, const CallParam* pIn, size_t inCount, int force);
QX_API int qxCompRestoreDefault(HOBJ hObj, int force);

/* ---------------------------------------------------------------------------------------------------
 * Property values and dictionaries
 * ------------------------------------------------------------------------------------------------- */

QX_API int qxPropGetVal(HOBJ hProp, ValBuffer* pBuf, int index);
QX_API int qxPropSetVal(HOBJ hProp, const ValBuffer* pBuf, int index, int mode, const CallParam* pSizes,
                        size_t sizeCount, int force);
QX_API int qxPropValidateVal(HOBJ hProp, const ValBuffer* pBuf);
QX_API int qxPropRemoveVal(HOBJ hProp, int index, int force);
QX_API int qxPropGetValAsStringEx(HOBJ hProp, const char* format, char* buf, size_t* pBufSize, int index);
QX_API int qxPropGetValAsString(HOBJ hProp, const char* format, char* buf, size_t bufSize, int index);
QX_API int qxPropGetValArrayAsStringEx(HOBJ hProp, const char* format, const char* delimiter, char* buf,
                                       size_t* pBufSize, int start, int end, int mode);
QX_API int qxPropGetValArrayAsString(HOBJ hProp, const char* format, const char* delimiter, char* buf,
                                     size_t bufSize, int start, int end, int mode);
QX_API int qxPropGetValAsBinaryDataEx(HOBJ hProp, void* buf, size_t* pBufSize, int index);
QX_API int qxPropGetValAsBinaryData(HOBJ hProp, void* buf, size_t bufSize, int index);
QX_API int qxPropGetTranslationTable(HOBJ hProp, ValBuffer* pNames, ValBuffer* pValues);
QX_API int qxPropRegisterTranslationEntry(HOBJ hProp, const char* name, int64_t value, int force);
QX_API int qxPropRemoveTranslationEntry(HOBJ hProp, const char* name, int force);
QX_API int qxPropRemoveTranslationTable(HOBJ hProp, int force);

/* ---------------------------------------------------------------------------------------------------
 * Lists and features
 * ------------------------------------------------------------------------------------------------- */

QX_API int qxPropListCreate(HOBJ* phList, const char* pName, size_t size, int flags);
QX_API int qxPropListClone(HOBJ* phList, HOBJ hList, const char* pName);
QX_API int qxPropListDerive(HOBJ* phList, HOBJ hParentList, const char* pName);
QX_API int qxPropListDelete(HOBJ hList);
QX_API int qxPropListRegisterProp(HOBJ hList, const char* pName, unsigned int type, size_t valCount,
                                  unsigned int flags, const char* pFormatString, HOBJ* pHandle);
QX_API int qxPropListRegisterMethod(HOBJ hList, const char* pName, MethodFunction pFunction, CallParam* pUserData,
                                    size_t userDataCount, unsigned int flags, HOBJ* pHandle);
QX_API int qxPropListRegisterList(HOBJ hParentList, HOBJ hList, HOBJ* pHandle);
QX_API int qxPropListRemoveComp(HOBJ hObj);
QX_API int qxPropListUpdateWithList(HOBJ hDstList, HOBJ hSrcList, uint64_t* pResult);
QX_API int qxPropListFindComp(HOBJ* phObj, HOBJ hList, const char* pName, unsigned int searchMode,
                              unsigned int maxSearchDepth);
QX_API int qxPropListMoveEntries(HOBJ hSrcList, HOBJ hDstList, unsigned int first, unsigned int last,
                                 unsigned int dstIndex, unsigned int mode);
QX_API int qxCompAddSelectedFeature(HOBJ hComp, HOBJ hFeature, int fullRights);
QX_API int qxCompAddSelectingFeature(HOBJ hComp, HOBJ hFeature, int fullRights);
QX_API int qxCompGetSelectedFeatures(HOBJ hComp, int index, HOBJ* pFeatures, size_t* pFeatureCount);
QX_API int qxCompGetSelectingFeatures(HOBJ hComp, int index, HOBJ* pFeatures, size_t* pFeatureCount);

/* ---------------------------------------------------------------------------------------------------
 * Methods and callbacks
 * ------------------------------------------------------------------------------------------------- */

QX_API int qxCompCreateCallback(unsigned int kind, MethodFunction pFunction, CallParam* pUserData,
                                size_t userDataCount, HCALLBACK* phCallback);
QX_API int qxCompCreateFeatureChangedCallback(FeatureChangedFunction pFunction, CallParam* pUserData,
                                              size_t userDataCount, HCALLBACK* phCallback);
QX_API int qxCompAttachCallback(HOBJ hComp, HCALLBACK hCallback);
QX_API int qxCompDetachCallback(HOBJ hComp, HCALLBACK hCallback);
QX_API int qxCompDeleteCallback(HCALLBACK hCallback);
QX_API int qxCompRegisterCallback(HOBJ hComp, HOBJ hMethod, unsigned int kind);
QX_API int qxMethCall(HOBJ hMeth, const CallParam* pParams, size_t paramCount, int64_t* pResult);
QX_API int qxMethCallS(HOBJ hMeth, const char* pParams, const char* pDelimiters, int64_t* pResult);

/* ---------------------------------------------------------------------------------------------------
 * Settings
 * ------------------------------------------------------------------------------------------------- */

QX_API int qxPropListExport(HOBJ hList, const char* pName, unsigned int storageFlags, unsigned int scope);
QX_API int qxPropListImport(HOBJ* phList, const char* pName, unsigned int storageFlags, unsigned int scope);
QX_API int qxPropListImportEx(HOBJ hParentList, HOBJ* pResult, const char* pName, unsigned int storageFlags,
                              unsigned int scope);
QX_API int qxPropListUpdate(HOBJ hList, const char* pName, unsigned int storageFlags, unsigned int scope);
QX_API int qxDeleteSetting(const char* pName, unsigned int location, unsigned int scope);
QX_API int qxDoesSettingExist(const char* pName, unsigned int location, unsigned int scope);
QX_API int qxSettingGetContentDescriptor(const char* pName, unsigned int location, unsigned int scope, char* pBuf,
                                         size_t* pBufSize);
QX_API int qxReadSettingFromRAM(const char* pName, char* pBuf, size_t* pBufSize);
QX_API int qxWriteSettingToRAM(const char* pName, const char* pBuf);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QX_PROP_HANDLING_H */
