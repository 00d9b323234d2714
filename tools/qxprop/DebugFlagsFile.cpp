// tools/qxprop/DebugFlagsFile.cpp -- reading every DebugWriter of the debug-flags file with its attributes, and
// writing them back escaped. The file is replaced by rename, so a process starting meanwhile reads either the
// old or the new file, never half of one.
#include "DebugFlagsFile.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "frame/CExpatImpl.h"
#include "log/LogFormat.h"

namespace qx::shell {

namespace {
class Reader final : public CExpatImpl {
public:
    explicit Reader(std::vector<DebugFlagsFile::Attributes>& writers) : writers_(writers) { create(); }

protected:
    void OnPostCreate() override { enableStartElementHandler(true); }
    void OnStartElement(const XML_Char* name, const XML_Char** attributes) override {
        if (std::strcmp(name, "DebugWriter") != 0) return;
        DebugFlagsFile::Attributes map;
        for (const XML_Char** a = attributes; a[0]; a += 2) map[a[0]] = a[1];
        writers_.push_back(std::move(map));
    }

private:
    std::vector<DebugFlagsFile::Attributes>& writers_;
};

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
} // namespace

bool DebugFlagsFile::load(const std::string& path, std::string& error) {
    writers_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return true;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Reader reader(writers_);
    if (!reader.parse(text.data(), static_cast<int>(text.size()), true)) {
        error = std::string(CExpatImpl::errorString(reader.errorCode())) + " at line " +
                std::to_string(reader.currentLineNumber());
        return false;
    }
    return true;
}

DebugFlagsFile::Attributes& DebugFlagsFile::writerFor(const std::string& module) {
    for (Attributes& writer : writers_) {
        const auto name = writer.find("name");
        if (name != writer.end() && sameIgnoringCase(name->second, module)) return writer;
    }
    writers_.push_back({{"name", module}});
    return writers_.back();
}

bool DebugFlagsFile::save(const std::string& path) const {
    std::string text = "<DebugWriterList>\n";
    for (const Attributes& writer : writers_) {
        text += "  <DebugWriter";
        for (const auto& [key, value] : writer) {
            text += ' ' + key + "=\"";
            logformat::appendEscaped(text, value);
            text += '"';
        }
        text += " />\n";
    }
    text += "</DebugWriterList>\n";
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!(out << text) || !out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace qx::shell
