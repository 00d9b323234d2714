// tests/property/CPropertyS_test.cpp -- string values as owned texts, and binary data in string values:
// round trips through the cache and through the text, decode-once, lazy re-encode, equal binary writes,
// size limits and removal with pending bytes.
#include "property/CPropertyS.h"

#include <gtest/gtest.h>

#include "PropertyTestSupport.h"

namespace qx {
namespace {

using test::failureOf;
using test::Failure;
using test::LogCapture;
using test::TestContainer;
using test::texts;

constexpr std::uint32_t binaryFlags = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS | QX_CF_CONTAINS_BINARY_DATA;
using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<CPropertyS> makeS(std::uint64_t count = 1, std::uint32_t flags = binaryFlags,
                                  CComponent* owner = nullptr) {
    return std::make_unique<CPropertyS>("Blob", owner, count, flags, "");
}

std::string textAt(CProperty& p, int index) {
    CValBuffer b(QX_VT_STRING, 1);
    p.getVal(b, index);
    return b[0].str;
}

Bytes pattern(std::size_t n, unsigned seed) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 131 + seed) ^ (i >> 8));
    return bytes;
}

int writeBinary(CProperty& p, const std::vector<Bytes>& blocks, int index, std::uint32_t rights = rightsOrdinary) {
    static const std::uint8_t none = 0;
    CValBuffer pointers(QX_VT_STRING, blocks.size());
    std::vector<CallParam> sizes(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        pointers[i].ptr = const_cast<std::uint8_t*>(blocks[i].empty() ? &none : blocks[i].data());
        sizes[i].value.bits = blocks[i].size();
    }
    return p.setBinary(rights, pointers, sizes.data(), sizes.size(), index);
}

Bytes readBinary(CProperty& p, std::uint64_t index) {
    Bytes out(p.binarySize(index) + 16);
    out.resize(p.getBinary(out.data(), out.size(), index));
    return out;
}

TEST(StringProperty, KeepsItsOwnCopiesOfTexts) {
    auto p = makeS(2, QX_CF_READ_ACCESS);
    char caller[] = "hello";
    CValBuffer in(QX_VT_STRING, 2);
    in[0].str = caller;
    EXPECT_EQ(p->storeVals(rightsOrdinary, in, 0), 1);
    caller[0] = 'j';
    EXPECT_EQ(textAt(*p, 0), "hello");
    EXPECT_EQ(textAt(*p, 1), "") << "a null text is stored as empty";
    EXPECT_EQ(p->storeVals(rightsOrdinary, texts({"hello", ""}), 0), 0) << "equal texts are no change";
    EXPECT_EQ(p->valCmp(texts({"hellp"}), 0), -1);
    EXPECT_EQ(p->valCmp(texts({"hell\xff"}), 0), -1) << "bytes compare unsigned";

    // The property's own texts written back in swapped order must not be read after being freed.
    CValBuffer own(QX_VT_STRING, 2);
    own[0].str = p->slots()[1].str;
    own[1].str = p->slots()[0].str;
    EXPECT_EQ(p->storeVals(rightsOrdinary, own, 0), 1);
    EXPECT_EQ(textAt(*p, 1), "hello");

    p->storeVals(rightsOrdinary, texts({"f"}), 4);
    EXPECT_EQ(textAt(*p, 3), "");
    p->removeVal(0, rightsOrdinary);
    EXPECT_EQ(textAt(*p, 0), "hello");
    auto clone = p->clone(nullptr, nullptr, CloneMode::CopyData);
    p.reset();
    EXPECT_EQ(textAt(static_cast<CProperty&>(*clone), 3), "f") << "the clone's texts are its own";
}

class BinaryRoundTrip : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BinaryRoundTrip, BytesSurviveTheCacheAndTheText) {
    const Bytes bytes = pattern(GetParam(), 3);
    auto writer = makeS();
    EXPECT_EQ(writeBinary(*writer, {bytes}, 0), 1);
    // Another property that only gets the text decodes the same bytes.
    auto reader = makeS();
    reader->storeVals(rightsOrdinary, texts({textAt(*writer, 0)}), 0);
    for (CPropertyS* p : {writer.get(), reader.get()}) {
        EXPECT_EQ(p->binarySize(0), bytes.size());
        if (bytes.empty()) {
            std::uint8_t dest[4];
            EXPECT_EQ(failureOf([&] { p->getBinary(dest, sizeof dest, 0); }),
                      (Failure{PROPHANDLING_SIZE_MISMATCH,
                               "Value 0 of property 'Blob' does not seem to contain binary data. The value buffer is "
                               "too small. Have 0 bytes, need at least 4 bytes."}));
        } else {
            EXPECT_EQ(readBinary(*p, 0), bytes);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BinaryRoundTrip, ::testing::Values(0, 1, 2, 3, 57, 1024 * 1024));

TEST(BinaryData, WritesEncodeLazilyAndTextsDecodeOnce) {
    auto p = makeS(4);
    p->storeVals(rightsOrdinary, texts({"old", "", "", "YWJj"}), 0);
    writeBinary(*p, {{'x'}, {'a', 'b'}, Bytes(57, 0)}, 0);
    writeBinary(*p, {{'a'}}, 0);
    EXPECT_STREQ(p->slots()[0].str, "old") << "binary writes do not encode";
    EXPECT_EQ(textAt(*p, 0), "YQ==");
    EXPECT_EQ(textAt(*p, 1), "YWI=");
    EXPECT_EQ(textAt(*p, 2), std::string(76, 'A') + "\r\n");
    EXPECT_EQ(p->decodeCount(), 0u) << "written bytes are served from the cache";

    EXPECT_EQ(readBinary(*p, 3), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(p->binarySizeMax(), 57u);
    EXPECT_EQ(p->decodeCount(), 1u);
    p->storeVals(rightsOrdinary, texts({"YWJjZA=="}), 3);
    EXPECT_EQ(p->binarySize(3), 4u) << "a stored text replaces the cached bytes";
    EXPECT_EQ(p->decodeCount(), 2u);
}

TEST(BinaryData, EqualBinaryWritesAreNotCounted) {
    TestContainer list("L");
    auto p = makeS(1, binaryFlags, &list);
    const Bytes bytes = pattern(100, 9);
    EXPECT_EQ(writeBinary(*p, {bytes}, 0), 1);
    const auto changes = p->changeCount();
    EXPECT_EQ(writeBinary(*p, {bytes}, 0), 0);
    EXPECT_EQ(p->changeCount(), changes);
    EXPECT_EQ(list.changeCount(), changes);
    EXPECT_EQ(writeBinary(*p, {Bytes(bytes.begin(), bytes.end() - 1)}, 0), 1);

    auto forced = makeS(1, binaryFlags | QX_CF_ALWAYS_FORCE_UPDATE);
    writeBinary(*forced, {bytes}, 0);
    EXPECT_EQ(writeBinary(*forced, {bytes}, 0), 1);
}

TEST(BinaryData, WritesPastTheEndGrowUnlessTheSizeIsFixed) {
    auto p = makeS(1);
    EXPECT_EQ(writeBinary(*p, {{1, 2}, {3}}, 2), 1);
    ASSERT_EQ(p->valCount(), 4u);
    EXPECT_EQ(textAt(*p, 1), "");
    EXPECT_EQ(textAt(*p, 2), "AQI=");

    TestContainer list("L");
    auto fixed = makeS(1, binaryFlags | QX_CF_FIXED_SIZE, &list);
    EXPECT_EQ(failureOf([&] { writeBinary(*fixed, {{1}}, 1); }).code, PROPHANDLING_NO_MODIFY_SIZE_RIGHTS);
    EXPECT_EQ(fixed->binarySize(0), 0u) << "a refused write caches nothing";
}

TEST(BinaryData, InvalidRequestsAreRefused) {
    auto p = makeS(1);
    std::uint8_t byte = 1, dest[19];
    CallParam size{QX_PT_INT32, 0, zeroSlot()};
    size.value.bits = 1;
    CValBuffer ok(QX_VT_STRING, 1), wrongType(QX_VT_INT64, 1), nullBlock(QX_VT_STRING, 1);
    ok[0].ptr = wrongType[0].ptr = &byte;
    EXPECT_EQ(failureOf([&] { p->setBinary(rightsOrdinary, wrongType, &size, 1, 0); }).code,
              PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    const int invalid = PROPHANDLING_INVALID_INPUT_PARAMETER;
    EXPECT_EQ(failureOf([&] { p->setBinary(1, nullBlock, &size, 1, 0); }).code, invalid);
    EXPECT_EQ(failureOf([&] { p->setBinary(1, ok, nullptr, 1, 0); }).code, invalid);
    EXPECT_EQ(failureOf([&] { p->setBinary(1, ok, &size, 2, 0); }).code, invalid);
    EXPECT_EQ(failureOf([&] { p->setBinary(1, ok, &size, 1, -1); }).code, invalid);
    EXPECT_EQ(p->changeCount(), 0u);

    writeBinary(*p, {pattern(20, 1)}, 0);
    EXPECT_EQ(failureOf([&] { p->getBinary(dest, sizeof dest, 0); }),
              (Failure{PROPHANDLING_INPUT_BUFFER_TOO_SMALL,
                       "The user supplied input buffer was too small for the result while accessing component Blob"}));
    EXPECT_EQ(failureOf([&] { p->getBinary(nullptr, 20, 0); }).code, PROPHANDLING_INVALID_INPUT_PARAMETER);

    auto number = CProperty::create(QX_VT_INT32, "N", nullptr, 1, 0, "");
    EXPECT_EQ(failureOf([&] { number->setBinary(1, ok, &size, 1, 0); }).code, PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(failureOf([&] { number->binarySize(0); }).code, PROPHANDLING_INVALID_PROP_VALUE_TYPE);
    EXPECT_EQ(failureOf([&] { number->setBinarySizeMax(4, rightsFull); }).code, PROPHANDLING_UNSUPPORTED_OPERATION);
    EXPECT_EQ(failureOf([&] { makeS(1, QX_CF_READ_ACCESS)->setBinarySizeMax(8, rightsFull); }),
              (Failure{PROPHANDLING_UNSUPPORTED_OPERATION, "The component 'Blob' does not support this operation"}));
}

TEST(BinaryData, SizeLimitCutsLongerValuesAndRefusesLargerBlocks) {
    LogCapture log;
    auto p = makeS(2);
    const Bytes twenty = pattern(20, 5);
    writeBinary(*p, {twenty, pattern(3, 1)}, 0);
    const auto changes = p->changeCount();
    p->setBinarySizeMax(8, rightsOrdinary);
    EXPECT_EQ(readBinary(*p, 0), Bytes(twenty.begin(), twenty.begin() + 8));
    EXPECT_EQ(p->binarySize(1), 3u);
    EXPECT_EQ(p->binarySizeMax(), 8u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].text, "qx::CPropertyS::setBinarySizeMax(Blob): WARNING!!! Reducing binary value 0 from 20 "
                                   "to 8 as a new size limit has been defined.\n");
    EXPECT_EQ(p->changeCount(), changes + 2) << "the cut value and the new limit";

    EXPECT_EQ(failureOf([&] { writeBinary(*p, {pattern(8, 0), pattern(9, 0)}, 0); }),
              (Failure{PROPHANDLING_PROP_VAL_TOO_LARGE, "The value at index 1 for property 'Blob' contains too much "
                                                        "data. Allowed: 8 bytes, got: 9 bytes"}));
    EXPECT_EQ(readBinary(*p, 0), Bytes(twenty.begin(), twenty.begin() + 8)) << "nothing of a refused write is kept";
}

TEST(BinaryData, RemovalAndCloningKeepPendingBytes) {
    auto p = makeS(3);
    writeBinary(*p, {pattern(10, 1), pattern(11, 2), pattern(12, 3)}, 0);
    p->removeVal(1, rightsOrdinary);
    ASSERT_EQ(p->valCount(), 2u);
    auto clone = p->clone(nullptr, nullptr, CloneMode::ShareData);
    p.reset();
    auto& c = static_cast<CPropertyS&>(*clone);
    EXPECT_EQ(readBinary(c, 0), pattern(10, 1));
    EXPECT_EQ(readBinary(c, 1), pattern(12, 3));
    auto reader = makeS(1);
    reader->storeVals(rightsOrdinary, texts({textAt(c, 1)}), 0);
    EXPECT_EQ(readBinary(*reader, 0), pattern(12, 3)) << "the text says the same as the bytes";
}

} // namespace
} // namespace qx
