// bench/setting_bench.cpp -- what settings cost on a tree of 100 000 Int32 properties (100 lists of 1 000):
// export to the RAM store, import from it as a new list, and update of the existing tree, each against
// expat parsing the same document with empty handlers (the baseline) in the same run. Targets: import at
// least 0.5x the baseline's speed (time ratio at most 2), update at least 0.4x (at most 2.5). Export is
// measured in bytes of XML per second (the bytes_per_second column of the console report).
#include <benchmark/benchmark.h>

#include <expat.h>

#include <string>

#include "Summary.h"
#include "qxPropHandling.h"

namespace {

HOBJ tree() {
    static const HOBJ root = [] {
        HOBJ top = 0;
        qxPropListCreate(&top, "tree", 0, 3);
        for (int l = 0; l < 100; ++l) {
            HOBJ list = 0;
            qxPropListCreate(&list, ("list" + std::to_string(l)).c_str(), 0, 3);
            for (int p = 0; p < 1000; ++p) {
                HOBJ h = QX_INDEX_APPEND;
                qxPropListRegisterProp(list, ("p" + std::to_string(p)).c_str(), QX_CT_PROP_INT32, 1, 3, nullptr, &h);
                qxValue v{};
                v.i32 = l * 1000 + p;
                ValBuffer b{QX_VT_INT32, 1, &v};
                qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
            }
            HOBJ at = QX_INDEX_APPEND;
            qxPropListRegisterList(top, list, &at);
        }
        qxPropListExport(top, "bench", QX_SF_RAM, 0);
        return top;
    }();
    return root;
}

const std::string& documentText() {
    static const std::string text = [] {
        tree();
        size_t size = 0;
        qxReadSettingFromRAM("bench", nullptr, &size);
        std::string t(size, '\0');
        qxReadSettingFromRAM("bench", t.data(), &size);
        t.resize(size - 1);
        return t;
    }();
    return text;
}

void XMLCALL noStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL noEnd(void*, const XML_Char*) {}
void XMLCALL noText(void*, const XML_Char*, int) {}

void expatBaseline(benchmark::State& state) {
    const std::string& text = documentText();
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetElementHandler(parser, noStart, noEnd);
        XML_SetCharacterDataHandler(parser, noText);
        benchmark::DoNotOptimize(XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE));
        XML_ParserFree(parser);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void exportTree(benchmark::State& state) {
    const HOBJ root = tree();
    const std::size_t bytes = documentText().size();
    for (auto _ : state) benchmark::DoNotOptimize(qxPropListExport(root, "out", QX_SF_RAM, 0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void importTree(benchmark::State& state) {
    const std::size_t bytes = documentText().size();
    for (auto _ : state) {
        HOBJ list = 0;
        if (qxPropListImport(&list, "bench", QX_SF_RAM, 0) != 0) {
            state.SkipWithError("import failed");
            return;
        }
        state.PauseTiming();
        qxPropListDelete(list);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void updateTree(benchmark::State& state) {
    const HOBJ root = tree();
    const std::size_t bytes = documentText().size();
    for (auto _ : state) {
        if (qxPropListUpdate(root, "bench", QX_SF_RAM, 0) != 0) {
            state.SkipWithError("update failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

} // namespace

int main(int argc, char** argv) {
    qxPropHandlingLibInit();
    benchmark::RegisterBenchmark("expat parse, empty handlers (baseline)", expatBaseline)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qxPropListExport to RAM", exportTree)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qxPropListImport from RAM", importTree)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qxPropListUpdate from RAM", updateTree)->Unit(benchmark::kMillisecond);
    const std::string base = "expat parse, empty handlers (baseline)";
    return qx::bench::runAndSummarise(argc, argv,
                                      {"setting_bench", base, 2.5,
                                       {{"qxPropListImport from RAM", base, 2.0},
                                        {"qxPropListUpdate from RAM", base, 2.5},
                                        {"qxPropListExport to RAM", base, 10.0}}});
}
