// log/CFilePtr.cpp -- owns opening and closing log files and the header/footer hand-over between writers.
//
// The writer semaphore starts at its maximum and every writer holds one count, so "count was max-1 before my
// take" means "I am alone". A process killed while writing never returns its count; to keep one dead writer
// from stopping every footer thereafter, the answer of the semaphore is checked against the file's writer
// locks (platform/SharedFile.h), which the kernel drops with the process: nobody else holding the file means
// alone whatever the count says.
#include "log/CFilePtr.h"

#include "log/LogFormat.h"

namespace qx {

namespace {
constexpr long kAloneBeforeRelease = LogFilePtr::kMaxWriters - 1;
}

std::string writerSemaphoreName(std::string_view fileName) {
    return logformat::objectNameOf(fileName) + "2D6F0A93-B471-4e5c-A0C8-5E17D93B6F24";
}

CFilePtr::CFilePtr(const std::string& path, platform::SharedFile::Mode mode)
    : file_(platform::SharedFile::open(path, mode, &openError_)) {}

CFilePtr::~CFilePtr() = default;

LogFilePtr::LogFilePtr(const std::string& path, platform::SharedFile::Mode mode, std::string_view fileName,
                       std::string_view stylesheet, bool xml, std::string_view initialText)
    : CFilePtr(path, mode), xml_(xml),
      writers_(kMaxWriters, kMaxWriters, writerSemaphoreName(fileName).c_str()) {
    if (!file_) return;
    // Take one, give it back to learn the count, take it again: the count before the release tells
    // whether anyone else holds one.
    long before = -1;
    if (writers_.waitFor(0) == CSyncObj::kSignalled) {
        writers_.release(1, &before);
        counted_ = writers_.waitFor(0) == CSyncObj::kSignalled;
    }
    const bool alone = before == kAloneBeforeRelease || file_->soleWriter();
    if (alone && xml_) file_->write(logformat::xmlHeader(fileName, stylesheet));
    if (!initialText.empty()) file_->write(initialText);
}

LogFilePtr::~LogFilePtr() {
    long before = -1;
    if (counted_) writers_.release(1, &before);
    if (file_ && xml_ && (before == kAloneBeforeRelease || file_->soleWriter())) file_->write(logformat::kFooter);
}

bool LogFilePtr::soleWriter() noexcept {
    return file_ != nullptr && file_->soleWriter();
}

bool noOtherWriter(const std::string& fileName, const std::string& path) {
    CSemaphore writers(LogFilePtr::kMaxWriters, LogFilePtr::kMaxWriters, writerSemaphoreName(fileName).c_str());
    long before = -1;
    if (writers.waitFor(0) == CSyncObj::kSignalled) writers.release(1, &before);
    if (before == LogFilePtr::kMaxWriters - 1) return true;
    // Someone holds a count, or there is no semaphore: ask the file itself. Opening for append takes a writer
    // lock of our own, which soleWriter() discounts.
    auto file = platform::SharedFile::open(path, platform::SharedFile::Mode::Read);
    if (!file) return true;  // no file, no writer
    file.reset();
    auto probe = platform::SharedFile::open(path, platform::SharedFile::Mode::Append);
    return probe && probe->soleWriter();
}

} // namespace qx
