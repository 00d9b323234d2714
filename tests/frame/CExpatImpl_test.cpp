// Tests of the expat wrapper: events reach the virtual handlers, handler failures never unwind through
// expat, and the exception-aware parser records a library failure and goes on to the end of the text.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "frame/Eqx.h"
#include "frame/ExceptionAwareParser.h"

using namespace qx;

namespace {

struct Recorder : CExpatImpl {
    std::vector<std::string> events;
    std::string throwAt;  // element name whose start throws a std::runtime_error
    void OnPostCreate() override {
        enableStartElementHandler();
        enableEndElementHandler();
        enableCharacterDataHandler();
    }
    void OnStartElement(const XML_Char* name, const XML_Char** attributes) override {
        if (throwAt == name) throw std::runtime_error("handler failed");
        std::string e = std::string("<") + name;
        for (int i = 0; attributes[i] != nullptr; i += 2) e += std::string(" ") + attributes[i] + "=" + attributes[i + 1];
        events.push_back(e);
    }
    void OnEndElement(const XML_Char* name) override { events.push_back(std::string("/") + name); }
    void OnCharacterData(const XML_Char* text, int length) override { events.push_back("#" + std::string(text, length)); }
};

struct Recording : ExceptionAwareParser {
    int starts = 0;
    void OnPostCreate() override { enableStartElementHandler(); }
    void OnStartElement(const XML_Char* name, const XML_Char**) override {
        ++starts;
        if (std::string(name) == "bad") throw EInvalidFileContent("bad element");
        if (std::string(name) == "oom") throw std::bad_alloc();
    }
};

} // namespace

TEST(CExpatImpl, EventsReachTheHandlersInDocumentOrder) {
    Recorder r;
    r.create();
    const std::string doc = "<a x=\"1\"><b>t</b></a>";
    ASSERT_TRUE(r.parse(doc.data(), static_cast<int>(doc.size()), true));
    EXPECT_EQ(r.events, (std::vector<std::string>{"<a x=1", "<b", "#t", "/b", "/a"}));
}

TEST(CExpatImpl, SwitchedOffHandlersAreNotCalled) {
    Recorder r;
    r.create();
    r.enableCharacterDataHandler(false);
    r.enableEndElementHandler(false);
    const std::string doc = "<a>text</a>";
    ASSERT_TRUE(r.parse(doc.data(), static_cast<int>(doc.size()), true));
    EXPECT_EQ(r.events, (std::vector<std::string>{"<a"}));
}

TEST(CExpatImpl, HandlerFailureStopsTheParseAndIsRethrownAfterIt) {
    Recorder r;
    r.create();
    r.throwAt = "b";
    const std::string doc = "<a><b/><c/></a>";
    EXPECT_THROW(r.parse(doc.data(), static_cast<int>(doc.size()), true), std::runtime_error);
    EXPECT_EQ(r.events, (std::vector<std::string>{"<a"}));  // <c> never reached a handler
}

TEST(CExpatImpl, MalformedTextReportsExpatsCodeAndText) {
    Recorder r;
    r.create();
    const std::string doc = "<a><b></a>";
    EXPECT_FALSE(r.parse(doc.data(), static_cast<int>(doc.size()), true));
    EXPECT_EQ(r.errorCode(), XML_ERROR_TAG_MISMATCH);
    EXPECT_STREQ(CExpatImpl::errorString(r.errorCode()), "mismatched tag");
}

TEST(CExpatImpl, ParsesItsOwnBuffer) {
    Recorder r;
    r.create();
    const std::string doc = "<a>z</a>";
    void* buffer = r.getBuffer(static_cast<int>(doc.size()));
    ASSERT_NE(buffer, nullptr);
    doc.copy(static_cast<char*>(buffer), doc.size());
    ASSERT_TRUE(r.parseBuffer(static_cast<int>(doc.size()), true));
    EXPECT_EQ(r.events, (std::vector<std::string>{"<a", "#z", "/a"}));
}

TEST(CExpatImpl, EntityExpansionBombIsRefused) {
    std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e0 \"lollollollollollollollollollol\">";
    for (int i = 1; i < 10; ++i)
        doc += "<!ENTITY e" + std::to_string(i) + " \"" + std::string(10, '&') + "\">";
    // ten references to the previous entity per level: 10^9 copies of the first
    for (int i = 1; i < 10; ++i) {
        std::string refs;
        for (int k = 0; k < 10; ++k) refs += "&e" + std::to_string(i - 1) + ";";
        const std::string from = "<!ENTITY e" + std::to_string(i) + " \"" + std::string(10, '&') + "\">";
        doc.replace(doc.find(from), from.size(), "<!ENTITY e" + std::to_string(i) + " \"" + refs + "\">");
    }
    doc += "]><r>&e9;</r>";
    Recorder r;
    r.create();
    EXPECT_FALSE(r.parse(doc.data(), static_cast<int>(doc.size()), true));
    EXPECT_EQ(r.errorCode(), XML_ERROR_AMPLIFICATION_LIMIT_BREACH);
}

TEST(ExceptionAwareParser, RecordsTheFirstLibraryFailureAndParsesOn) {
    Recording p;
    p.create();
    const std::string doc = "<a><bad/><c/><d/></a>";
    EXPECT_TRUE(p.parse(doc.data(), static_cast<int>(doc.size()), true));
    EXPECT_TRUE(p.hasRecordedException());
    EXPECT_EQ(p.recordedCode(), PROPHANDLING_INVALID_FILE_CONTENT);
    EXPECT_EQ(p.recordedMessage(), "bad element");
    EXPECT_EQ(p.starts, 2);  // no handler after the failure
}

TEST(ExceptionAwareParser, MalformedTailAfterARecordIsStillReported) {
    Recording p;
    p.create();
    const std::string doc = "<a><bad/><c></a>";
    EXPECT_FALSE(p.parse(doc.data(), static_cast<int>(doc.size()), true));
    EXPECT_TRUE(p.hasRecordedException());
    EXPECT_EQ(p.errorCode(), XML_ERROR_TAG_MISMATCH);
}

TEST(ExceptionAwareParser, ForeignFailuresStillStopAndRethrow) {
    Recording p;
    p.create();
    const std::string doc = "<a><oom/><c/></a>";
    EXPECT_THROW(p.parse(doc.data(), static_cast<int>(doc.size()), true), std::bad_alloc);
    EXPECT_FALSE(p.hasRecordedException());
    EXPECT_EQ(p.starts, 2);
}
