// method/CMethod.cpp -- construction and cloning of methods (the signature read from the name), the call of
// the caller's function with the component-access lock left around it, and the conversion of a parameter
// text into typed parameters.
// Not here: where methods sit and how they travel with lists (list/), the C frame (api/Method.cpp).
#include "method/CMethod.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>
#include <utility>

#include "frame/Eqx.h"
#include "list/CPropList.h"
#include "sync/CCriticalSection.h"

namespace qx {

namespace {

constexpr std::string_view kSignatureChars = "fiIpsv";
constexpr std::string_view kReservedDelimiters = ",._";
constexpr HOBJ noHandle = 0xFFFFFFFFu;

std::vector<CallParam> copyUserData(const CallParam* userData, std::size_t count) {
    if (userData == nullptr) return {};
    return std::vector<CallParam>(userData, userData + count);
}

// Decimal floating-point text in the "C" conventions whatever the process locale: leading blanks skipped,
// text that does not start with a number gives 0.0, whatever follows the number is ignored.
double textToDouble(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])) != 0) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    double value = 0.0;
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too large becomes infinity, too small zero, as the standard conversion does.
        const std::string_view number(first, static_cast<std::size_t>(end - first));
        const std::size_t e = number.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::string withoutAll(std::string text, std::string_view what) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
    return text;
}

CallParam convertToken(char kind, std::string& token) {
    CallParam param{};
    switch (kind) {
    case 'I': {
        long long value = 0;
        if (std::sscanf(token.c_str(), "%lld", &value) != 1) throw EInvalidInputParameter();
        param.type = QX_PT_INT64;
        param.value.i64 = value;
        break;
    }
    case 'f': {
        if (const std::size_t comma = token.find(','); comma != std::string::npos) token[comma] = '.';
        param.type = QX_PT_DOUBLE;
        param.value.dbl = textToDouble(token);
        break;
    }
    case 'i': {
        int value = 0;
        if (std::sscanf(token.c_str(), "%i", &value) != 1) throw EInvalidInputParameter();
        param.type = QX_PT_INT32;
        param.value.i32 = value;
        break;
    }
    case 'p': {
        token = withoutAll(withoutAll(std::move(token), "0x"), "0X");
        void* value = nullptr;
        if (std::sscanf(token.c_str(), "%p", &value) != 1) throw EInvalidInputParameter();
        param.type = QX_PT_POINTER;
        param.value.ptr = value;
        break;
    }
    case 's':
        if (token == "_") token.clear();
        param.type = QX_PT_STRING;
        break; // the text pointer is set once the token no longer moves
    default: throw EInvalidParameterList();
    }
    return param;
}

} // namespace

std::string parseMethodSignature(const std::string& name) {
    const std::size_t at = name.find('@');
    if (name.empty() || at == std::string::npos || at + 1 == name.size() ||
        name.find_first_not_of(kSignatureChars, at + 1) != std::string::npos) {
        throw EInvalidParameterList("The functions parameter list is invalid for '" + name + "'");
    }
    return name.substr(at + 1);
}

void checkParamCount(std::size_t got, std::size_t expected) {
    if (got != expected) {
        throw EWrongParamCount(formatText("Wrong parameter count. Expected: %d, got: %d.", static_cast<int>(expected),
                                          static_cast<int>(got)));
    }
}

CMethod::CMethod(std::string name, CComponent* owner, MethodFunction function, const CallParam* userData,
                 std::size_t userDataCount, std::uint32_t flags)
    : CComponent(std::move(name), owner), function_(function) {
    if (function_ == nullptr) throw EMethodPtrInvalid(this->name());
    signature_ = parseMethodSignature(this->name());
    userData_ = copyUserData(userData, userDataCount);
    installSharedData(SharedHolder(std::make_unique<CComponentSharedData>(QX_CT_METHOD, flags, this)));
}

CMethod::CMethod(const CMethod& source, CComponent* newOwner, const std::string* newName)
    : CComponent(source, newOwner, newName), function_(source.function_) {
    signature_ = parseMethodSignature(name());
    userData_ = source.userData_;
    installSharedData(SharedHolder(std::make_unique<CComponentSharedData>(*source.sharedData(), this)));
    copyCallerHooks(source);
}

std::unique_ptr<CComponent> CMethod::clone(CComponent* newOwner, const std::string* newName, CloneMode) const {
    // A method's shared data is always copied: nothing of it is tied to the source the way a derived
    // property's limits are.
    return std::unique_ptr<CComponent>(new CMethod(*this, newOwner, newName));
}

HOBJ CMethod::ownerListHandle() {
    if (ownerListHandle_ != -1) return static_cast<HOBJ>(ownerListHandle_);
    const auto* list = dynamic_cast<const CPropList*>(owner());
    const auto* parent = list != nullptr ? dynamic_cast<const CPropList*>(list->owner()) : nullptr;
    if (parent == nullptr) return noHandle;
    const std::uint16_t index = parent->indexOfName(list->name());
    if (index != 0xFFFF) ownerListHandle_ = static_cast<std::int32_t>(parent->handleOf(index));
    return static_cast<HOBJ>(ownerListHandle_);
}

std::int32_t CMethod::invoke(HOBJ handle, std::span<CallParam> params) {
    // Everything the call needs is copied out first: the function may remove this method.
    std::vector<CallParam> userData = userData_;
    const HOBJ ownerList = ownerListHandle();
    const MethodFunction function = function_;
    CompAccessUnlock callerCode;
    return function(handle, ownerList, userData.empty() ? nullptr : userData.data(), userData.size(),
                    params.data(), params.size());
}

CMethod::TextParams CMethod::convertParamText(std::string_view text, const char* delimiters) const {
    if (delimiters == nullptr) throw EInvalidInputParameter();
    const std::string_view delims(delimiters);
    if (delims.find_first_of(kReservedDelimiters) != std::string_view::npos) {
        throw EInvalidInputParameter(formatText("At least one character of the passed delimiter string for calling "
                                                "function '%s' is invalid. Invalid characters are: '%s', got: '%s'",
                                                name().c_str(), std::string(kReservedDelimiters).c_str(), delimiters));
    }
    TextParams result;
    for (std::size_t pos = text.find_first_not_of(delims); pos != std::string_view::npos;
         pos = text.find_first_not_of(delims, pos)) {
        const std::size_t end = std::min(text.find_first_of(delims, pos), text.size());
        result.tokens.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    const std::size_t expected = signature_.size() - 1;
    if (result.tokens.size() != expected) {
        throw EWrongParamCount(formatText("Wrong parameter count for calling method '%s'. Expected: %d, got: %d. "
                                          "Passed parameter string: '%s', passed delimiter string: '%s'",
                                          name().c_str(), static_cast<int>(expected),
                                          static_cast<int>(result.tokens.size()), std::string(text).c_str(),
                                          delimiters));
    }
    result.params.reserve(expected);
    for (std::size_t k = 0; k < expected; ++k) result.params.push_back(convertToken(signature_[k + 1], result.tokens[k]));
    // Tokens are final now; String parameters point at them.
    for (std::size_t k = 0; k < expected; ++k) {
        if (result.params[k].type == QX_PT_STRING) result.params[k].value.str = result.tokens[k].data();
    }
    return result;
}

} // namespace qx
