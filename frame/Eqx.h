// frame/Eqx.h -- the exception tree of the library. Every failure inside is one of these; the boundary
// (frame/Boundary.h) is the only place that turns them into a code and the caller's last-error text.
// Each concrete class fixes its code and builds its message in its constructor, so a thrower never picks a
// code by hand and no switch anywhere maps classes to codes.
// Eqx deliberately does not derive from std::exception: library failures and foreign failures
// (std::bad_alloc, std::out_of_range) are caught by different clauses and reported differently.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <utility>

#include "qxPropHandling.h"

namespace qx {

class Eqx {
public:
    Eqx(std::string message, int code) : message_(std::move(message)), code_(code) {}
    Eqx(const Eqx&) = default;
    Eqx& operator=(const Eqx&) = delete;
    virtual ~Eqx() = default;

    const std::string& message() const { return message_; }
    int code() const { return code_; }

private:
    std::string message_;
    int code_;
};

// Families. Only EPropertyHandling is ever thrown with a code of its own choosing (a callback's result,
// an error recorded by the settings reader); the others exist to be caught as groups.
class EComponent : public Eqx {
protected:
    using Eqx::Eqx;
};
class EPropertyList : public EComponent {
protected:
    using EComponent::EComponent;
};
class EProperty : public EComponent {
protected:
    using EComponent::EComponent;
};
class EMethod : public EComponent {
protected:
    using EComponent::EComponent;
};
class EPropertyHandling : public Eqx {
public:
    EPropertyHandling(std::string message, int code) : Eqx(std::move(message), code) {}
};
class EHandleManager : public Eqx {
protected:
    explicit EHandleManager(std::string message) : Eqx(std::move(message), -1) {}
};

// Builds "'" + text + "'"-style messages without repeating std::string concatenations at every class.
inline std::string quoted(const char* before, const std::string& detail, const char* after) {
    std::string s(before);
    s += detail;
    s += after;
    return s;
}

// ---- directly below EComponent ----------------------------------------------------------------------
struct ENotAList : EComponent {
    explicit ENotAList(const std::string& d)
        : EComponent(quoted("Component '", d, "' is not a list. Unable to perform list operation."),
                     PROPHANDLING_NOT_A_LIST) {}
};
struct ENotAProperty : EComponent {
    explicit ENotAProperty(const std::string& d)
        : EComponent(quoted("Component '", d, "' is not a property. Unable to perform property operation."),
                     PROPHANDLING_NOT_A_PROPERTY) {}
};
struct ENotAMethod : EComponent {
    explicit ENotAMethod(const std::string& d)
        : EComponent(quoted("Component '", d, "' is not a method. Unable to perform function call operation."),
                     PROPHANDLING_NOT_A_METHOD) {}
};
struct ENoWriteRights : EComponent {
    explicit ENoWriteRights(std::string d) : EComponent(std::move(d), PROPHANDLING_NO_WRITE_RIGHTS) {}
};
struct ENoModifySizeRights : EComponent {
    explicit ENoModifySizeRights(const std::string& d)
        : EComponent(quoted("Component '", d, "' size is fixed and therefore can't be modified"),
                     PROPHANDLING_NO_MODIFY_SIZE_RIGHTS) {}
};
struct EIncompatibleComponents : EComponent {
    explicit EIncompatibleComponents(std::string d)
        : EComponent(std::move(d), PROPHANDLING_INCOMPATIBLE_COMPONENTS) {}
};

// ---- lists ------------------------------------------------------------------------------------------
struct EComponentAlreadyRegistered : EPropertyList {
    explicit EComponentAlreadyRegistered(std::string d)
        : EPropertyList(std::move(d), PROPHANDLING_COMPONENT_ALREADY_REGISTERED) {}
};
struct EComponentIDInvalid : EPropertyList {
    EComponentIDInvalid() : EPropertyList("Invalid component ID", PROPHANDLING_COMPONENT_ID_INVALID) {}
    explicit EComponentIDInvalid(std::string d) : EPropertyList(std::move(d), PROPHANDLING_COMPONENT_ID_INVALID) {}
};
struct EInvalidListID : EPropertyList {
    EInvalidListID() : EPropertyList("Invalid list ID", PROPHANDLING_LIST_ID_INVALID) {}
    explicit EInvalidListID(std::string d) : EPropertyList(std::move(d), PROPHANDLING_LIST_ID_INVALID) {}
};
struct EComponentNotFound : EPropertyList {
    EComponentNotFound(const std::string& component, const std::string& list)
        : EPropertyList(quoted("Component '", component, "' is no member of list ") + list,
                        PROPHANDLING_COMPONENT_NOT_FOUND) {}
};
struct EListEntryOccupied : EPropertyList {
    EListEntryOccupied() : EPropertyList("List entry occupied already", PROPHANDLING_LIST_ENTRY_OCCUPIED) {}
};
struct EComponentHasOwnerAlready : EPropertyList {
    EComponentHasOwnerAlready(const std::string& component, const std::string& owner)
        : EPropertyList(quoted("Component '", component, "' is already owned by '") + owner +
                            "'. Cannot get ownership",
                        PROPHANDLING_COMPONENT_HAS_OWNER_ALREADY) {}
};
struct ECantRegisterComponent : EPropertyList {
    ECantRegisterComponent(const std::string& component, const std::string& list)
        : EPropertyList(quoted("Component '", component, "' cannot be registered in list '") + list + "'",
                        PROPHANDLING_CANT_REGISTER_COMPONENT) {}
};
struct ECantAccessData : EPropertyList {
    explicit ECantAccessData(std::string d) : EPropertyList(std::move(d), PROPHANDLING_LIST_CANT_ACCESS_DATA) {}
};

// ---- properties -------------------------------------------------------------------------------------
struct ETranslationTableNotDefined : EProperty {
    explicit ETranslationTableNotDefined(const std::string& d)
        : EProperty("Translation table hasn't been defined for property " + d,
                    PROPHANDLING_PROP_TRANSLATION_TABLE_NOT_DEFINED) {}
};
struct EInvalidValueType : EProperty {
    explicit EInvalidValueType(const std::string& d)
        : EProperty(quoted("Property '", d, "' does not support this value type"),
                    PROPHANDLING_INVALID_PROP_VALUE_TYPE) {}
};
struct EInvalidValue : EProperty {
    explicit EInvalidValue(std::string d) : EProperty(std::move(d), PROPHANDLING_INVALID_PROP_VALUE) {}
    // From a property name and a reason: "Invalid value for property '<name>'", then "(<reason>)" if any.
    EInvalidValue(const std::string& name, const std::string& reason)
        : EProperty(quoted("Invalid value for property '", name, "'") + (reason.empty() ? "" : "(" + reason + ")"),
                    PROPHANDLING_INVALID_PROP_VALUE) {}
};
struct EValIDOutOfBounds : EProperty {
    explicit EValIDOutOfBounds(std::string d) : EProperty(std::move(d), PROPHANDLING_PROP_VAL_ID_OUT_OF_BOUNDS) {}
    EValIDOutOfBounds(int index, const std::string& name);
    EValIDOutOfBounds(int first, int last, const std::string& name);
};
struct EValidationFailed : EProperty {
    explicit EValidationFailed(const std::string& d)
        : EProperty(quoted("The assigned value doesn't pass the validation test for property '", d, "'"),
                    PROPHANDLING_PROP_VALIDATION_FAILED) {}
};
struct EValTooLarge : EProperty {
    explicit EValTooLarge(std::string d) : EProperty(std::move(d), PROPHANDLING_PROP_VAL_TOO_LARGE) {}
};
struct EValTooSmall : EProperty {
    explicit EValTooSmall(std::string d) : EProperty(std::move(d), PROPHANDLING_PROP_VAL_TOO_SMALL) {}
};

// ---- methods ----------------------------------------------------------------------------------------
struct EMethodPtrInvalid : EMethod {
    explicit EMethodPtrInvalid(const std::string& d)
        : EMethod(quoted("The function pointer for Method '", d, "' is invalid"), PROPHANDLING_METHOD_PTR_INVALID) {}
};
struct EInvalidParameterList : EMethod {
    EInvalidParameterList()
        : EMethod("The functions parameter list is invalid", PROPHANDLING_METHOD_INVALID_PARAM_LIST) {}
    explicit EInvalidParameterList(std::string d)
        : EMethod(std::move(d), PROPHANDLING_METHOD_INVALID_PARAM_LIST) {}
};

// ---- interface and arguments ------------------------------------------------------------------------
struct EImplementationMissing : EPropertyHandling {
    explicit EImplementationMissing(std::string d)
        : EPropertyHandling(std::move(d), PROPHANDLING_IMPLEMENTATION_MISSING) {}
};
struct EInvalidInputParameter : EPropertyHandling {
    EInvalidInputParameter()
        : EPropertyHandling("One or more of the input parameters are invalid (NULL-pointers?)",
                            PROPHANDLING_INVALID_INPUT_PARAMETER) {}
    explicit EInvalidInputParameter(std::string d)
        : EPropertyHandling(std::move(d), PROPHANDLING_INVALID_INPUT_PARAMETER) {}
};
struct EUnsupportedParameter : EPropertyHandling {
    EUnsupportedParameter() : EPropertyHandling("Unsupported parameter", PROPHANDLING_UNSUPPORTED_PARAMETER) {}
};
struct ESizeMismatch : EPropertyHandling {
    explicit ESizeMismatch(std::string d) : EPropertyHandling(std::move(d), PROPHANDLING_SIZE_MISMATCH) {}
};
struct EInputBufferTooSmall : EPropertyHandling {
    EInputBufferTooSmall()
        : EPropertyHandling("The user supplied input buffer was too small for the result",
                            PROPHANDLING_INPUT_BUFFER_TOO_SMALL) {}
    explicit EInputBufferTooSmall(const std::string& d)
        : EPropertyHandling("The user supplied input buffer was too small for the result while accessing component " +
                                d,
                            PROPHANDLING_INPUT_BUFFER_TOO_SMALL) {}
    // The detail of the string output protocol: what the caller offered and what was needed.
    static EInputBufferTooSmall offered(std::size_t offered, std::size_t needed);
};
struct EWrongParamCount : EPropertyHandling {
    explicit EWrongParamCount(std::string d) : EPropertyHandling(std::move(d), PROPHANDLING_WRONG_PARAM_COUNT) {}
};
struct EUnsupportedOperation : EPropertyHandling {
    explicit EUnsupportedOperation(const std::string& d)
        : EPropertyHandling(quoted("The component '", d, "' does not support this operation"),
                            PROPHANDLING_UNSUPPORTED_OPERATION) {}
};
struct ECantSerializeData : EPropertyHandling {
    // With noRights set the detail is a list name; otherwise it is the whole message.
    ECantSerializeData(const std::string& d, bool noRights)
        : EPropertyHandling(noRights ? quoted("No serialize rights for list '", d, "'") : d,
                            PROPHANDLING_CANT_SERIALIZE_DATA) {}
};
struct EInvalidFileContent : EPropertyHandling {
    explicit EInvalidFileContent(std::string d)
        : EPropertyHandling(std::move(d), PROPHANDLING_INVALID_FILE_CONTENT) {}
};
struct ECantAllocateNewList : EPropertyHandling {
    ECantAllocateNewList()
        : EPropertyHandling("Cannot allocate a new list until an old one has been deleted",
                            PROPHANDLING_CANT_ALLOCATE_LIST) {}
};

// ---- handle tables ----------------------------------------------------------------------------------
struct EContainerFull : EHandleManager {
    EContainerFull() : EHandleManager("Can't store any more data") {}
};
struct EInvalidInputData : EHandleManager {
    explicit EInvalidInputData(std::string d) : EHandleManager(std::move(d)) {}
};

// printf into a std::string; every message the library formats goes through one of these two.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformatText(const char* format, std::va_list args) __attribute__((format(printf, 1, 0)));

} // namespace qx
