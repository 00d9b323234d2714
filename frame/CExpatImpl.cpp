// frame/CExpatImpl.cpp -- the expat parser wrapper: creation, feeding, error texts, and the trampolines
// that keep handler exceptions out of expat's C frames (see the header for why).
#include "frame/CExpatImpl.h"

#include <new>
#include <utility>

namespace qx {

CExpatImpl::~CExpatImpl() {
    if (parser_ != nullptr) XML_ParserFree(parser_);
}

void CExpatImpl::create() {
    if (parser_ != nullptr) {
        XML_ParserFree(parser_);
        parser_ = nullptr;
    }
    parser_ = XML_ParserCreate(nullptr);
    if (parser_ == nullptr) throw std::bad_alloc();
    failure_ = nullptr;
    XML_SetUserData(parser_, this);
    OnPostCreate();
}

void CExpatImpl::enableStartElementHandler(bool on) {
    XML_SetStartElementHandler(parser_, on ? &startElementThunk : nullptr);
}
void CExpatImpl::enableEndElementHandler(bool on) {
    XML_SetEndElementHandler(parser_, on ? &endElementThunk : nullptr);
}
void CExpatImpl::enableCharacterDataHandler(bool on) {
    XML_SetCharacterDataHandler(parser_, on ? &characterDataThunk : nullptr);
}

bool CExpatImpl::parse(const char* text, int length, bool isFinal) {
    return finishParse(XML_Parse(parser_, text, length, isFinal ? XML_TRUE : XML_FALSE));
}

void* CExpatImpl::getBuffer(int length) { return XML_GetBuffer(parser_, length); }

bool CExpatImpl::parseBuffer(int length, bool isFinal) {
    return finishParse(XML_ParseBuffer(parser_, length, isFinal ? XML_TRUE : XML_FALSE));
}

bool CExpatImpl::finishParse(XML_Status status) {
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return status != XML_STATUS_ERROR;
}

XML_Error CExpatImpl::errorCode() const { return XML_GetErrorCode(parser_); }

const char* CExpatImpl::errorString(XML_Error code) {
    const XML_LChar* text = XML_ErrorString(code);
    return text != nullptr ? text : "unknown error";
}

XML_Size CExpatImpl::currentLineNumber() const { return XML_GetCurrentLineNumber(parser_); }

void CExpatImpl::OnHandlerFailure(std::exception_ptr failure) noexcept {
    if (failure_) return;
    failure_ = std::move(failure);
    enableStartElementHandler(false);
    enableEndElementHandler(false);
    enableCharacterDataHandler(false);
    XML_StopParser(parser_, XML_FALSE);
}

void XMLCALL CExpatImpl::startElementThunk(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto* p = static_cast<CExpatImpl*>(self);
    try {
        p->OnStartElement(name, attributes);
    } catch (...) {
        p->OnHandlerFailure(std::current_exception());
    }
}

void XMLCALL CExpatImpl::endElementThunk(void* self, const XML_Char* name) {
    auto* p = static_cast<CExpatImpl*>(self);
    try {
        p->OnEndElement(name);
    } catch (...) {
        p->OnHandlerFailure(std::current_exception());
    }
}

void XMLCALL CExpatImpl::characterDataThunk(void* self, const XML_Char* text, int length) {
    auto* p = static_cast<CExpatImpl*>(self);
    try {
        p->OnCharacterData(text, length);
    } catch (...) {
        p->OnHandlerFailure(std::current_exception());
    }
}

void CExpatImpl::OnStartElement(const XML_Char*, const XML_Char**) {}
void CExpatImpl::OnEndElement(const XML_Char*) {}
void CExpatImpl::OnCharacterData(const XML_Char*, int) {}
void CExpatImpl::OnProcessingInstruction(const XML_Char*, const XML_Char*) {}
void CExpatImpl::OnComment(const XML_Char*) {}
void CExpatImpl::OnStartCdataSection() {}
void CExpatImpl::OnEndCdataSection() {}
void CExpatImpl::OnDefault(const XML_Char*, int) {}
bool CExpatImpl::OnExternalEntityRef(const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    return false;
}
bool CExpatImpl::OnUnknownEncoding(const XML_Char*, XML_Encoding*) { return false; }
void CExpatImpl::OnStartNamespaceDecl(const XML_Char*, const XML_Char*) {}
void CExpatImpl::OnEndNamespaceDecl(const XML_Char*) {}
void CExpatImpl::OnXmlDecl(const XML_Char*, const XML_Char*, bool) {}
void CExpatImpl::OnStartDoctypeDecl(const XML_Char*, const XML_Char*, const XML_Char*, bool) {}
void CExpatImpl::OnEndDoctypeDecl() {}
void CExpatImpl::OnPostCreate() {}

} // namespace qx
