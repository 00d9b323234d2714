// platform/SettingFile.h -- the file operations of settings: whole-file reads, crash-safe replacement,
// existence and removal. Nothing above this layer sees a file descriptor or an errno.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qx::platform {

// Replaces the file at path with data: a temporary file in the same folder is written, flushed to disk and
// renamed over path, so a reader (or a crash at any moment) finds the old file or the new one, never a
// mixture or an empty file. False (and no temporary left behind) when any step fails.
bool replaceFile(const std::string& path, std::string_view data);

// Reads the whole file. alloc(size) must return room for size bytes; the file is read into it and the
// number of bytes read returned through `read`. False when the file cannot be opened or read.
bool readFileInto(const std::string& path, const std::function<char*(std::size_t)>& alloc, std::size_t& read);
bool readFile(const std::string& path, std::string& out);

// Whether the file can be opened for reading (it is closed again at once).
bool isReadable(const std::string& path);

} // namespace qx::platform
