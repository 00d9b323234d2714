// tests/platform/ObjectName_test.cpp -- object names to file names: safe, distinct, bounded.
#include "platform/ObjectName.h"

#include <gtest/gtest.h>

#include <string>

namespace qx::platform {
namespace {

TEST(ObjectName, PlainNamesStayReadableAndOthersAreEscaped) {
    EXPECT_EQ(objectFileName("qxStdOutWriteLock"), "qxStdOutWriteLock");
    EXPECT_EQ(objectFileName("C:\\logs/run.txt"), "C%3A%5Clogs%2Frun.txt");
    EXPECT_EQ(objectFileName("C:#logs#run.txt"), "C%3A%23logs%23run.txt");
    EXPECT_EQ(objectFileName(".guard"), "%2Eguard");
    EXPECT_EQ(objectFileName(".."), "%2E.");
    EXPECT_EQ(objectFileName("a%2F"), "a%252F");  // never equal to the escaped "a/"
}

TEST(ObjectName, LongNamesAreBoundedAndStillDistinct) {
    const std::string prefix(300, 'p');
    const std::string a = objectFileName(prefix + "a");
    const std::string b = objectFileName(prefix + "b");
    EXPECT_NE(a, b);
    EXPECT_LE(a.size(), 255u);
    EXPECT_EQ(a, objectFileName(prefix + "a"));
    EXPECT_NE(a.find('~'), std::string::npos);
    EXPECT_EQ(objectFileName(std::string(160, 'k')), std::string(160, 'k'));
    EXPECT_NE(objectFileName(std::string(161, 'k')), std::string(161, 'k'));
}

} // namespace
} // namespace qx::platform
