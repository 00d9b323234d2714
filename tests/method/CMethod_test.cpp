// The method component without the C frame: reading the signature out of a name, the count check of the
// parameter rows, clones, and how invoke treats the component-access lock.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "frame/Eqx.h"
#include "method/CMethod.h"
#include "sync/CCriticalSection.h"

namespace qx {
namespace {

TEST(MethodSignature, ValidNamesGiveTheTextAfterTheAt) {
    const std::pair<const char*, const char*> good[] = {
        {"Reset@v", "v"}, {"Scale@ifI", "ifI"}, {"@p", "p"}, {"all@fiIpsv", "fiIpsv"}, {"a b-c@ss", "ss"}};
    for (const auto& [name, signature] : good) EXPECT_EQ(parseMethodSignature(name), signature) << name;
}

TEST(MethodSignature, MalformedNamesThrowWithTheWholeName) {
    for (const char* name : {"", "Calc", "Calc@", "Calc@ix", "Calc@i@i", "@", "Calc@F", "Calc@i "}) {
        try {
            parseMethodSignature(name);
            ADD_FAILURE() << "accepted '" << name << "'";
        } catch (const Eqx& e) {
            EXPECT_EQ(e.code(), PROPHANDLING_METHOD_INVALID_PARAM_LIST) << name;
            EXPECT_EQ(e.message(), std::string("The functions parameter list is invalid for '") + name + "'");
        }
    }
}

TEST(MethodSignature, ParameterCountCheckNamesExpectedThenReceived) {
    EXPECT_NO_THROW(checkParamCount(2, 2));
    try {
        checkParamCount(3, 1);
        ADD_FAILURE() << "a wrong count passed";
    } catch (const Eqx& e) {
        EXPECT_EQ(e.code(), PROPHANDLING_WRONG_PARAM_COUNT);
        EXPECT_EQ(e.message(), "Wrong parameter count. Expected: 1, got: 3.");
    }
}

int seenDepthInside = -1;
HOBJ seenOwner = 0;
std::size_t seenUserCount = 0;
int lockProbe(HOBJ, HOBJ hOwnerList, CallParam* pUser, std::size_t userCount, CallParam*, std::size_t) {
    seenOwner = hOwnerList;
    seenUserCount = userCount;
    seenDepthInside = componentAccessLock().heldByCaller() ? 1 : 0;
    if (userCount > 0) pUser[0].value.i32 = 99; // scribbling on the copy must not reach the method
    return userCount > 0 ? 7 : -7;
}

TEST(MethodInvoke, TheLockIsGivenBackOnceAroundTheFunctionAndTakenAgain) {
    const CallParam user[1] = {CallParam{QX_PT_INT32, 0, {.i32 = 1}}};
    CMethod method("probe@i", nullptr, lockProbe, user, 1, 0);
    {
        CompAccessLock once;
        EXPECT_EQ(method.invoke(0x00020003, {}), 7);
        EXPECT_EQ(seenDepthInside, 0) << "held inside though the library held it only once";
        EXPECT_TRUE(componentAccessLock().heldByCaller()) << "not taken back after the call";
    }
    EXPECT_FALSE(componentAccessLock().heldByCaller());
    {
        CompAccessLock first;
        CompAccessLock second; // a caller that holds the lock itself keeps it during the call
        method.invoke(0x00020003, {});
        EXPECT_EQ(seenDepthInside, 1);
    }
    EXPECT_FALSE(componentAccessLock().heldByCaller()) << "the depth no longer balances";
    EXPECT_EQ(seenOwner, 0xFFFFFFFFu);
    EXPECT_EQ(method.userData()[0].value.i32, 1);
}

TEST(MethodClone, TheCloneReadsItsSignatureFromItsOwnNameAndCopiesUserData) {
    const CallParam user[2] = {CallParam{QX_PT_INT32, 0, {.i32 = 1}}, CallParam{QX_PT_INT32, 0, {.i32 = 2}}};
    CMethod method("m@iI", nullptr, lockProbe, user, 2, QX_CF_READ_ACCESS);
    const std::string renamed = "n@vsf";
    auto copy = method.clone(nullptr, &renamed, CloneMode::ShareData);
    auto& clone = static_cast<CMethod&>(*copy);
    EXPECT_EQ(clone.signature(), "vsf");
    EXPECT_EQ(clone.function(), &lockProbe);
    ASSERT_EQ(clone.userData().size(), 2u);
    EXPECT_NE(clone.userData().data(), method.userData().data());
    EXPECT_NE(clone.sharedData(), method.sharedData());
    EXPECT_EQ(clone.flags(), std::uint32_t{QX_CF_READ_ACCESS});
    const std::string bad = "n@q";
    EXPECT_THROW(method.clone(nullptr, &bad, CloneMode::CopyData), EInvalidParameterList);
    EXPECT_EQ(static_cast<CMethod&>(*method.clone(nullptr, nullptr, CloneMode::CopyData)).signature(), "iI");
}

TEST(MethodText, ConvertedTextsStayWithTheReturnedTokens) {
    CMethod method("m@vss", nullptr, lockProbe, nullptr, 3, 0);
    EXPECT_TRUE(method.userData().empty());
    CMethod::TextParams moved = method.convertParamText("short a-much-longer-text-than-fits-inline", " ");
    ASSERT_EQ(moved.params.size(), 2u);
    EXPECT_STREQ(moved.params[0].value.str, "short");
    EXPECT_EQ(moved.params[0].value.str, moved.tokens[0].data());
    EXPECT_EQ(moved.params[1].value.str, moved.tokens[1].data());
}

TEST(MethodText, DoublesOutOfRangeBecomeInfinityOrZero) {
    CMethod method("m@vfff", nullptr, lockProbe, nullptr, 0, 0);
    CMethod::TextParams p = method.convertParamText("1e999 -1e999 1e-999", " ");
    EXPECT_EQ(p.params[0].value.dbl, std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.params[1].value.dbl, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.params[2].value.dbl, 0.0);
    EXPECT_EQ(p.params[2].type, std::uint32_t{QX_PT_DOUBLE});
}

} // namespace
} // namespace qx
