// log/CFilePtr.h -- the open log file. CFilePtr owns one shared file (other processes may have it open at the
// same time); LogFilePtr adds the writer count of XML and text files, through which the first writer writes
// the XML header and the last one the footer. Callers hold the file's mutex around construction and
// destruction of a LogFilePtr: the count is only meaningful when no other writer opens or closes meanwhile.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/SharedFile.h"
#include "sync/CSemaphore.h"

namespace qx {

class CFilePtr {
public:
    CFilePtr(const std::string& path, platform::SharedFile::Mode mode);
    virtual ~CFilePtr();
    CFilePtr(const CFilePtr&) = delete;
    CFilePtr& operator=(const CFilePtr&) = delete;

    bool isOpen() const noexcept { return file_ != nullptr; }
    // The error number of a failed open, 0 when open.
    int openError() const noexcept { return openError_; }
    bool write(std::string_view text) noexcept { return file_ && file_->write(text); }

protected:
    std::unique_ptr<platform::SharedFile> file_;  // null when the open failed
    int openError_ = 0;
};

class LogFilePtr final : public CFilePtr {
public:
    static constexpr long kMaxWriters = 0x7FFFFFFF;

    // Opens path, joins its writers and, as the only writer of an XML file, writes the header; then writes
    // initialText (when not empty). fileName is the name as given (the header names it and the semaphore is
    // named after it).
    LogFilePtr(const std::string& path, platform::SharedFile::Mode mode, std::string_view fileName,
               std::string_view stylesheet, bool xml, std::string_view initialText);
    // As the last writer of an XML file, writes the footer.
    ~LogFilePtr() override;

    // Whether no other writer has this file open now.
    bool soleWriter() noexcept;

private:
    bool xml_;
    CSemaphore writers_;
    bool counted_ = false;  // whether this object holds one count of writers_
};

// Whether nobody writes fileName now: its writer semaphore shows no count taken and no process holds the file
// open for writing. A writer that was killed keeps its semaphore count, so the file's own writer locks decide
// when the two disagree.
bool noOtherWriter(const std::string& fileName, const std::string& path);

// The name of the writer semaphore of a log file.
std::string writerSemaphoreName(std::string_view fileName);

} // namespace qx
