// api/Property.cpp -- the property value functions: values, special values, texts, binary data
// and translation dictionaries of one property. Each is a thin frame: resolve the handle for reading or for
// writing (write rights, and a derived list's own copy of a shared property), make one call on the property,
// and let guarded() report. Texts go to the caller by the one size protocol of writeStringOut.
#include "frame/Boundary.h"
#include "api/Resolve.h"
#include "frame/StringOutput.h"
#include "property/CProperty.h"

using namespace qx;

namespace {

// A format the caller passes may be null or empty; both mean "the property's own".
const char* callerFormat(const char* format) { return format && *format ? format : nullptr; }

} // namespace

extern "C" {

QX_API int qxPropGetVal(HOBJ hProp, ValBuffer* pBuf, int index) {
    return guarded([&] {
        CProperty& property = resolvePropertyForReading(hProp);
        if (!pBuf) throw EInvalidInputParameter();
        if (!property.getOneQuickly(*pBuf, index)) property.getVal(*pBuf, index);
    });
}

QX_API int qxPropSetVal(HOBJ hProp, const ValBuffer* pBuf, int index, int mode, const CallParam* pSizes,
                        size_t sizeCount, int force) {
    return guarded([&] {
        const std::uint32_t rights = rightsFor(force);
        CProperty& property = resolvePropertyForWriting(hProp, rights);
        if (mode != QX_SETVAL_VALUES && mode != QX_SETVAL_BINARY) throw EUnsupportedParameter();
        if (!pBuf) throw EInvalidInputParameter();
        if (mode == QX_SETVAL_VALUES)
            property.writeVals(rights, *pBuf, index);
        else
            property.setBinary(rights, *pBuf, pSizes, sizeCount, index);
    });
}

QX_API int qxPropValidateVal(HOBJ hProp, const ValBuffer* pBuf) {
    return guarded([&] {
        CProperty& property = resolvePropertyForReading(hProp);
        if (!pBuf) throw EInvalidInputParameter();
        // Values the check does not accept are reported by the code alone, with an empty text.
        if (!property.validateVals(*pBuf)) throw EInvalidValue(std::string());
    });
}

QX_API int qxPropRemoveVal(HOBJ hProp, int index, int force) {
    return guarded([&] {
        const std::uint32_t rights = rightsFor(force);
        resolvePropertyForWriting(hProp, rights).removeVal(index, rights);
    });
}

QX_API int qxPropGetValAsStringEx(HOBJ hProp, const char* format, char* buf, size_t* pBufSize, int index) {
    return guarded([&] {
        CProperty& property = resolvePropertyForReading(hProp);
        if (!pBufSize) throw EInvalidInputParameter("Invalid destination buffer size pointer");
        writeStringOut(property.valueTextAt(callerFormat(format), index), buf, pBufSize);
    });
}

QX_API int qxPropGetValAsString(HOBJ hProp, const char* format, char* buf, size_t bufSize, int index) {
    return qxPropGetValAsStringEx(hProp, format, buf, &bufSize, index);
}

QX_API int qxPropGetValArrayAsStringEx(HOBJ hProp, const char* format, const char* delimiter, char* buf,
                                       size_t* pBufSize, int start, int end, int mode) {
    return guarded([&] {
        CProperty& property = resolvePropertyForReading(hProp);
        if (!pBufSize) throw EInvalidInputParameter("Invalid destination buffer size pointer");
        writeStringOut(property.arrayText(callerFormat(format), delimiter, start, end, mode), buf, pBufSize);
    });
}

QX_API int qxPropGetValArrayAsString(HOBJ hProp, const char* format, const char* delimiter, char* buf,
                                     size_t bufSize, int start, int end, int mode) {
    return qxPropGetValArrayAsStringEx(hProp, format, delimiter, buf, &bufSize, start, end, mode);
}

QX_API int qxPropGetValAsBinaryDataEx(HOBJ hProp, void* buf, size_t* pBufSize, int index) {
    return guarded([&] {
        CProperty& property = resolvePropertyForReading(hProp);
        if (!pBufSize) throw EInvalidInputParameter("Invalid destination buffer size pointer");
        if (index < 0) throw EValIDOutOfBounds(index, property.name());
        *pBufSize = property.getBinary(buf, *pBufSize, static_cast<std::uint64_t>(index));
    });
}

QX_API int qxPropGetValAsBinaryData(HOBJ hProp, void* buf, size_t bufSize, int index) {
    return qxPropGetValAsBinaryDataEx(hProp, buf, &bufSize, index);
}

QX_API int qxPropGetTranslationTable(HOBJ hProp, ValBuffer* pNames, ValBuffer* pValues) {
    return guarded([&] {
        CProperty& property = resolvePropertyForReading(hProp);
        if (!pNames || !pValues) throw EInvalidInputParameter();
        property.getTranslationTable(*pNames, *pValues);
    });
}

QX_API int qxPropRegisterTranslationEntry(HOBJ hProp, const char* name, int64_t value, int force) {
    return guarded([&] {
        CProperty& property = resolvePropertyForWriting(hProp, rightsFor(force));
        if (!name) throw EInvalidInputParameter();
        qxValue slot;
        slot.i64 = value;
        property.registerEntry(name, slot);
    });
}

QX_API int qxPropRemoveTranslationEntry(HOBJ hProp, const char* name, int force) {
    return guarded([&] {
        CProperty& property = resolvePropertyForWriting(hProp, rightsFor(force));
        if (!name) throw EInvalidInputParameter();
        property.removeEntry(name);
    });
}

QX_API int qxPropRemoveTranslationTable(HOBJ hProp, int force) {
    return guarded([&] { resolvePropertyForWriting(hProp, rightsFor(force)).removeDictionary(); });
}

} // extern "C"
