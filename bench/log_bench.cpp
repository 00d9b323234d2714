// bench/log_bench.cpp -- what a log message costs. One process writing text lines to a log file through
// LogMsgWriter (output lock, timestamps, file mutex, one append per line), against spdlog's basic_file_sink_mt
// writing lines of the same length in the same run; and a message of a disabled class, which must stop at the
// class check, against spdlog's own check of a disabled level.
// Links the library's objects, not the shared library: no exported function writes a log message.
#include <benchmark/benchmark.h>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "Summary.h"
#include "frame/Log.h"
#include "log/LogMsgWriter.h"

namespace {

std::filesystem::path scratch() {
    static const std::filesystem::path dir = [] {
        char pattern[] = "/tmp/qx-log-bench-XXXXXX";
        return std::filesystem::path(::mkdtemp(pattern));
    }();
    return dir;
}

// The same text as the library's text lines: a local time, the fixed fields, then the message.
void spdlogFileLine(benchmark::State& state) {
    const std::string path = (scratch() / "spdlog.txt").string();
    auto logger = spdlog::basic_logger_mt("bench", path, true);
    logger->set_pattern("ts=\"%H:%M:%S.%e\" td=\"         0\" procId=\"%10P\" threadId=\"%10t\" df=\" 2\":%v");
    int i = 0;
    for (auto _ : state) logger->warn("{}: WARNING!!! value {} is out of range", "qx::CPropList::update", ++i);
    logger->flush();
    spdlog::drop("bench");
}

void qxTextFileLine(benchmark::State& state) {
    const std::string path = (scratch() / "qx.txt").string();
    qx::LogMsgWriter writer("qxPropHandling", "");
    writer.setConsoleOutputs(0);
    writer.setFlags(1u << qx::Warning);
    writer.setOutputToFile(path.c_str(), "none", 1, true, false);
    int i = 0;
    for (auto _ : state) writer.writeWarning("%s: WARNING!!! value %d is out of range\n", "qx::CPropList::update", ++i);
}

void spdlogDisabledLevel(benchmark::State& state) {
    auto logger = spdlog::basic_logger_mt("disabled", (scratch() / "never.txt").string(), true);
    logger->set_level(spdlog::level::err);
    int i = 0;
    for (auto _ : state) logger->warn("{}: WARNING!!! value {} is out of range", "qx::CPropList::update", ++i);
    spdlog::drop("disabled");
}

// Through frame/Log.h, as every floor of the library logs.
void qxDisabledClass(benchmark::State& state) {
    auto previous = qx::exchangeLibraryLogger(std::make_unique<qx::LogMsgWriter>("qxPropHandling", ""));
    int i = 0;
    for (auto _ : state) qx::logWarning("%s: WARNING!!! value %d is out of range\n", "qx::CPropList::update", ++i);
    qx::exchangeLibraryLogger(std::move(previous));
}

BENCHMARK(spdlogFileLine);
BENCHMARK(qxTextFileLine);
BENCHMARK(spdlogDisabledLevel);
BENCHMARK(qxDisabledClass);

} // namespace

int main(int argc, char** argv) {
    const int rc = qx::bench::runAndSummarise(
        argc, argv,
        {"log_bench", "", 0,
         {{"qxTextFileLine", "spdlogFileLine", 2.0}, {"qxDisabledClass", "spdlogDisabledLevel", 2.0}}});
    std::filesystem::remove_all(scratch());
    return rc;
}
