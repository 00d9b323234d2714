// bench/registry_setting_bench.cpp -- a list of 10 000 Int32 properties exported to and imported from the
// registry (the user hive of a private folder), each against the same list through an XML file in the same
// run. Target: registry export and import at most 2x their XML file counterparts.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Summary.h"
#include "qxPropHandling.h"

namespace {

std::string folder;

HOBJ list() {
    static const HOBJ made = [] {
        HOBJ l = 0;
        qxPropListCreate(&l, "big", 0, 3);
        for (int p = 0; p < 10000; ++p) {
            HOBJ h = QX_INDEX_APPEND;
            std::string name = "p";
            name += std::to_string(p);
            qxPropListRegisterProp(l, name.c_str(), QX_CT_PROP_INT32, 1, 3, nullptr, &h);
            qxValue v{};
            v.i32 = p;
            ValBuffer b{QX_VT_INT32, 1, &v};
            qxPropSetVal(h, &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
        }
        return l;
    }();
    return made;
}

std::string filePath() { return folder + "/big.xml"; }

void exportTo(benchmark::State& state, bool registry) {
    const HOBJ l = list();
    const std::string name = registry ? std::string("bench\\big") : filePath();
    for (auto _ : state) {
        if (qxPropListExport(l, name.c_str(), registry ? QX_SF_REGISTRY : QX_SF_FILE, 1) != 0) {
            state.SkipWithError("export failed");
            return;
        }
    }
}

void importFrom(benchmark::State& state, bool registry) {
    const HOBJ l = list();
    const std::string name = registry ? std::string("bench\\big") : filePath();
    const unsigned flags = registry ? QX_SF_REGISTRY : QX_SF_FILE;
    if (qxPropListExport(l, name.c_str(), flags, 1) != 0) {
        state.SkipWithError("export failed");
        return;
    }
    for (auto _ : state) {
        HOBJ imported = 0;
        if (qxPropListImport(&imported, name.c_str(), flags, 1) != 0) {
            state.SkipWithError("import failed");
            return;
        }
        state.PauseTiming();
        qxPropListDelete(imported);
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/qxregbench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    folder = pattern;
    ::setenv("QXPROPHANDLING_REGISTRY_DIR", folder.c_str(), 1);
    qxPropHandlingLibInit();
    const char* fileExport = "export to an XML file (baseline)";
    const char* fileImport = "import from an XML file (baseline)";
    benchmark::RegisterBenchmark(fileExport, exportTo, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("export to the registry", exportTo, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(fileImport, importFrom, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("import from the registry", importFrom, true)->Unit(benchmark::kMillisecond);
    const int status = qx::bench::runAndSummarise(argc, argv,
                                                  {"registry_setting_bench", fileExport, 2.0,
                                                   {{"export to the registry", fileExport, 2.0},
                                                    {"import from the registry", fileImport, 2.0}}});
    qxPropHandlingLibDone();
    std::filesystem::remove_all(folder);
    return status;
}
