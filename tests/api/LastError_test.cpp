// The per-thread last-error record and the string output protocol, through the exported functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ApiTestSupport.h"
#include "qxPropHandling.h"

using qxtest::lastError;

namespace {

TEST(LastError, AFreshThreadReadsNoError) {
    int code = 77;
    size_t size = 0;
    ASSERT_EQ(qxPropHandlingGetLastError(&code, nullptr, &size), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(size, 9u); // "No error" and its terminator
    char text[9];
    ASSERT_EQ(qxPropHandlingGetLastError(&code, text, &size), 0);
    EXPECT_STREQ(text, "No error");
}

TEST(LastError, NullPointersAreRefusedWithoutTouchingTheRecord) {
    ASSERT_EQ(qxPropHandlingSetLastError(-2019, "earlier failure"), 0);
    int code = 0;
    size_t size = 100;
    char text[100];
    EXPECT_EQ(qxPropHandlingGetLastError(nullptr, text, &size), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(qxPropHandlingGetLastError(&code, text, nullptr), PROPHANDLING_INVALID_INPUT_PARAMETER);
    EXPECT_EQ(size, 100u);
    const auto e = lastError();
    EXPECT_EQ(e.code, -2019);
    EXPECT_EQ(e.text, "earlier failure");
}

TEST(LastError, OneByteShortFailsAndReportsTheNeededSize) {
    ASSERT_EQ(qxPropHandlingSetLastError(-2020, "Invalid list ID(0x00050003)"), 0);
    const size_t needed = std::strlen("Invalid list ID(0x00050003)") + 1;
    char text[64];
    std::memset(text, 'x', sizeof text);
    size_t size = needed - 1;
    int code = 0;
    EXPECT_EQ(qxPropHandlingGetLastError(&code, text, &size), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(code, -2020); // the code is handed out before the text is tried
    EXPECT_EQ(text[0], 'x'); // nothing was written
    const auto e = lastError(); // and the getter's own failure was not recorded
    EXPECT_EQ(e.code, -2020);
    EXPECT_EQ(e.text, "Invalid list ID(0x00050003)");

    size = needed;
    ASSERT_EQ(qxPropHandlingGetLastError(&code, text, &size), 0);
    EXPECT_STREQ(text, "Invalid list ID(0x00050003)");
}

TEST(LastError, SetWithNullTextKeepsTheOldText) {
    ASSERT_EQ(qxPropHandlingSetLastError(-2031, "some text"), 0);
    ASSERT_EQ(qxPropHandlingSetLastError(-2020, nullptr), 0);
    const auto e = lastError();
    EXPECT_EQ(e.code, -2020);
    EXPECT_EQ(e.text, "some text");
}

TEST(LastError, LongTextsAreTruncatedTo8191Characters) {
    std::string longText(10000, 'a');
    longText[8190] = 'b';
    longText[8191] = 'c';
    ASSERT_EQ(qxPropHandlingSetLastError(-2012, longText.c_str()), 0);
    size_t size = 0;
    int code = 0;
    ASSERT_EQ(qxPropHandlingGetLastError(&code, nullptr, &size), 0);
    EXPECT_EQ(size, 8192u);
    const auto e = lastError();
    EXPECT_EQ(e.code, -2012);
    ASSERT_EQ(e.text.size(), 8191u);
    EXPECT_EQ(e.text.back(), 'b');
}

TEST(LastError, AFailureIsRecordedAndASuccessLeavesItAlone) {
    EXPECT_EQ(qxMethCall(0x7FFF0001, nullptr, 0, nullptr), PROPHANDLING_LIST_ID_INVALID);
    auto e = lastError();
    EXPECT_EQ(e.code, PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(e.text, "Invalid list ID(0x7fff0001)");

    int code = 0;
    size_t size = 0;
    ASSERT_EQ(qxPropHandlingGetLastError(&code, nullptr, &size), 0); // a success of its own
    ASSERT_EQ(qxPropHandlingLibInit(), 2);
    ASSERT_EQ(qxPropHandlingLibDone(), 1);
    e = lastError();
    EXPECT_EQ(e.code, PROPHANDLING_LIST_ID_INVALID);
    EXPECT_EQ(e.text, "Invalid list ID(0x7fff0001)");
}

} // namespace
