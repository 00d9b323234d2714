// Messages of the exception classes whose text the library composes from pieces.
#include <gtest/gtest.h>

#include "frame/Eqx.h"
#include "frame/StringOutput.h"

namespace qx {
namespace {

template <class E>
std::pair<int, std::string> caught(const E& e) {
    const Eqx& base = e;
    return {base.code(), base.message()};
}

TEST(EqxMessages, ComposedTextsCarryTheirQuotesAndApostrophes) {
    EXPECT_EQ(caught(ENotAList("L(0x00020001), ")),
              std::make_pair(-2000, std::string("Component 'L(0x00020001), ' is not a list. Unable to perform list operation.")));
    EXPECT_EQ(caught(ENoModifySizeRights("Gain")).second, "Component 'Gain' size is fixed and therefore can't be modified");
    EXPECT_EQ(caught(EComponentNotFound("Gain", "root")).second, "Component 'Gain' is no member of list root");
    EXPECT_EQ(caught(EComponentHasOwnerAlready("A", "B")).second,
              "Component 'A' is already owned by 'B'. Cannot get ownership");
    EXPECT_EQ(caught(ECantRegisterComponent("A", "B")).second, "Component 'A' cannot be registered in list 'B'");
    EXPECT_EQ(caught(EValidationFailed("P")).second,
              "The assigned value doesn't pass the validation test for property 'P'");
    EXPECT_EQ(caught(ECantSerializeData("L", true)).second, "No serialize rights for list 'L'");
    EXPECT_EQ(caught(ECantSerializeData("as is", false)).second, "as is");
    EXPECT_EQ(caught(EInvalidValue("Gain", "")).second, "Invalid value for property 'Gain'");
    EXPECT_EQ(caught(EInvalidValue("Gain", "too odd")).second, "Invalid value for property 'Gain'(too odd)");
    EXPECT_EQ(caught(ETranslationTableNotDefined("Mode")).second, "Translation table hasn't been defined for property Mode");
}

TEST(EqxMessages, DefaultTextsAndFormattedRanges) {
    EXPECT_EQ(caught(EInvalidListID()), std::make_pair(-2020, std::string("Invalid list ID")));
    EXPECT_EQ(caught(EComponentIDInvalid()), std::make_pair(-2021, std::string("Invalid component ID")));
    EXPECT_EQ(caught(EInvalidInputParameter()).second, "One or more of the input parameters are invalid (NULL-pointers?)");
    EXPECT_EQ(caught(EInvalidParameterList()).second, "The functions parameter list is invalid");
    EXPECT_EQ(caught(EValIDOutOfBounds(7, "Gain")).second, "Val index 7 is out of bounds for 'Gain'");
    EXPECT_EQ(caught(EValIDOutOfBounds(-6, 3, "Gain")).second, "Val ID range (-6 - 3) out of bounds for 'Gain'");
    EXPECT_EQ(caught(EInvalidInputData("bad")), std::make_pair(-1, std::string("bad")));
}

TEST(StringOutput, SizeIsAlwaysReportedAndShortBuffersStayUntouched) {
    size_t size = 0;
    writeStringOut("abc", nullptr, &size);
    EXPECT_EQ(size, 4u);
    char buf[8] = "zzzzzzz";
    size = 3;
    try {
        writeStringOut("abc", buf, &size);
        ADD_FAILURE() << "a short buffer must fail";
    } catch (const Eqx& e) {
        EXPECT_EQ(e.code(), PROPHANDLING_INPUT_BUFFER_TOO_SMALL);
        EXPECT_EQ(e.message(), "The user supplied input buffer was too small for the result while accessing "
                               "component Buffer too small. Got 3 while 4 where needed");
    }
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(buf, "zzzzzzz");
    size = 4;
    writeStringOut("abc", buf, &size);
    EXPECT_STREQ(buf, "abc");
    EXPECT_THROW(writeStringOut("abc", buf, nullptr), EInvalidInputParameter);
}

} // namespace
} // namespace qx
