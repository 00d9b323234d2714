// method/CMethod.h -- the method component: a caller's function with the user data it gets on every call
// and a parameter signature written into the method's own name ("Scale@ifI": result 'i', then a double
// and a 64-bit integer). The library never runs code of its own for a method; it checks and converts
// parameters, leaves the component-access lock around the caller's function, and hands its result back.
//
// Ownership: the method owns a byte-for-byte copy of the user-data array it was given (the texts String
// elements point to stay the caller's). Function, user data and signature never change after creation.
// Guard: the component-access lock, like every component.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "component/CComponent.h"
#include "qxPropHandling.h"

namespace qx {

class CMethod final : public CComponent {
public:
    // name is the whole name, signature included; owner: not owned. Throws EMethodPtrInvalid for a null
    // function and EInvalidParameterList for a malformed name, before anything is made. A user-data count
    // without a user-data array is taken as no user data.
    CMethod(std::string name, CComponent* owner, MethodFunction function, const CallParam* userData,
            std::size_t userDataCount, std::uint32_t flags);

    std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName, CloneMode mode) const override;

    // The text after the '@': the result character, then one character per parameter.
    const std::string& signature() const { return signature_; }
    MethodFunction function() const { return function_; }
    std::span<const CallParam> userData() const { return userData_; }

    // Calls the function with (handle, the owning list's handle in its parent or 0xFFFFFFFF, a copy of the
    // user data, params) and returns its result. The component-access lock is left once around exactly
    // that call and entered again afterwards, however the call ends; this object is not touched after the
    // call starts, so the function may remove its own method or destroy its list. Neither the count nor
    // the types of params are checked against the signature.
    std::int32_t invoke(HOBJ handle, std::span<CallParam> params);
    // The same call for a method registered as a change or validation method of another component.
    int invokeRegistered(HOBJ handle, CallParam* params, std::size_t count) override {
        return invoke(handle, std::span<CallParam>(params, params != nullptr ? count : 0));
    }

    // The parameters written as one text (tokens separated by any run of delimiter characters) converted
    // by the signature. Texts of String parameters point into the returned object, which must outlive the
    // call. Throws EInvalidInputParameter, EWrongParamCount or EInvalidParameterList; calls nothing.
    struct TextParams {
        std::vector<std::string> tokens;
        std::vector<CallParam> params;
    };
    TextParams convertParamText(std::string_view text, const char* delimiters) const;

private:
    CMethod(const CMethod& source, CComponent* newOwner, const std::string* newName);

    // The handle of the owning list inside its own owner, found once and then kept; 0xFFFFFFFF while the
    // owning list sits in no list (or in none that knows it by its name).
    HOBJ ownerListHandle();

    std::int32_t ownerListHandle_ = -1;
    MethodFunction function_;
    std::vector<CallParam> userData_;
    std::string signature_;
};

// The text after the '@' of name when it is a valid method name, else EInvalidParameterList naming it.
std::string parseMethodSignature(const std::string& name);

// "Wrong parameter count. Expected: %d, got: %d." when got differs from expected.
void checkParamCount(std::size_t got, std::size_t expected);

} // namespace qx
