// Memory of a large import: a 50 MB setting imported from the RAM store peaks below three times the
// resulting tree plus the document. Measured in a child process with the kernel's own accounting: the
// peak resident size (VmHWM) is reset just before the import.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "ForkedChild.h"
#include "qxPropHandling.h"

namespace {

long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
    return -1;
}

// A document of lists of 1 000 Int32 properties, about `bytes` long.
std::string bigDocument(std::size_t bytes) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<PropList name=\"big\" flags=\"3\">\n";
    for (int l = 0; doc.size() < bytes; ++l) {
        doc += "<PropList name=\"l" + std::to_string(l) + "\" flags=\"3\" parent=\"none\">\n";
        for (int p = 0; p < 1000; ++p)
            doc += "<Property name=\"p" + std::to_string(p) + "\" default=\"0\" position=\"" + std::to_string(p) +
                   "\" flags=\"3\" size=\"1\" formatString=\"%d\" valType=\"1\">\n<Value index=\"0\" val=\"" +
                   std::to_string(l * 1000 + p) + "\"></Value>\n</Property>\n";
        doc += "</PropList>\n";
    }
    return doc + "</PropList>\n";
}

} // namespace

TEST(ImportMemory, FiftyMegabyteSettingPeaksBelowThreeTimesTreeAndDocument) {
    qx::test::ForkedChild child([] {
        qxPropHandlingLibInit();
        HOBJ scratch = 0;
        qxPropListCreate(&scratch, "scratch", 0, 3);
        qxPropListExport(scratch, "big", QX_SF_RAM, 0);
        const long beforeDoc = statusKb("VmRSS");
        {
            const std::string doc = bigDocument(50u << 20);
            if (qxWriteSettingToRAM("big", doc.c_str()) != 0) return 10;
        }
        const long docKb = statusKb("VmRSS") - beforeDoc;
        std::ofstream("/proc/self/clear_refs") << "5"; // resets VmHWM to the current size
        const long base = statusKb("VmRSS");
        HOBJ list = 0;
        if (qxPropListImport(&list, "big", QX_SF_RAM, 0) != 0) return 11;
        const long treeKb = statusKb("VmRSS") - base;
        const long peakKb = statusKb("VmHWM") - base + docKb; // what the import needed, with its document
        std::printf("document %ld kB, tree %ld kB, import peak %ld kB (%.2fx of tree + document)\n", docKb, treeKb,
                    peakKb, static_cast<double>(peakKb) / static_cast<double>(treeKb + docKb));
        std::fflush(stdout);
        if (docKb < 40000 || treeKb <= 0) return 12;
        return peakKb < 3 * (treeKb + docKb) ? 0 : 1;
    });
    EXPECT_EQ(child.wait(120000), 0);
}
