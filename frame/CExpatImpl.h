// frame/CExpatImpl.h -- owns one expat parser and turns its C callbacks into virtual member calls.
// Every reader of XML in the library (settings, the logger's configuration) derives from this class, so
// expat is set up, fed and released in exactly one place.
// Why the trampolines catch: expat calls the handlers from C frames, and an exception unwinding through
// them would leave the parser half-updated. A handler that throws has its exception kept, the parser is
// stopped, and parse() throws it again once XML_Parse has returned. Subclasses that want to keep some
// failures and go on (ExceptionAwareParser) override OnHandlerFailure.
// Entity expansion stays bounded by expat's own amplification limits (on by default since expat 2.4).
#pragma once

#include <expat.h>

#include <exception>

namespace qx {

class CExpatImpl {
public:
    CExpatImpl() = default;
    CExpatImpl(const CExpatImpl&) = delete;
    CExpatImpl& operator=(const CExpatImpl&) = delete;
    virtual ~CExpatImpl();

    // Makes the parser (default encoding, no namespace processing), calls OnPostCreate and registers this
    // object as the parser's user data. Throws std::bad_alloc when expat cannot make a parser.
    void create();

    // Switch the three content callbacks on or off; switching off takes effect for the next event.
    void enableStartElementHandler(bool on = true);
    void enableEndElementHandler(bool on = true);
    void enableCharacterDataHandler(bool on = true);

    // Feeds one piece of text; isFinal marks the last piece. Returns true when expat reported no error.
    // Rethrows a failure of a handler that OnHandlerFailure did not keep for itself.
    bool parse(const char* text, int length, bool isFinal);
    // A buffer of the parser for `length` bytes (null when expat cannot allocate it), and the parse of
    // the first `length` bytes written into it.
    void* getBuffer(int length);
    bool parseBuffer(int length, bool isFinal);

    XML_Error errorCode() const;
    static const char* errorString(XML_Error code);
    XML_Size currentLineNumber() const;

protected:
    // The event handlers, in the order expat knows them. The base does nothing; the two that answer
    // expat answer "not handled".
    virtual void OnStartElement(const XML_Char* name, const XML_Char** attributes);
    virtual void OnEndElement(const XML_Char* name);
    virtual void OnCharacterData(const XML_Char* text, int length);
    virtual void OnProcessingInstruction(const XML_Char* target, const XML_Char* data);
    virtual void OnComment(const XML_Char* data);
    virtual void OnStartCdataSection();
    virtual void OnEndCdataSection();
    virtual void OnDefault(const XML_Char* text, int length);
    virtual bool OnExternalEntityRef(const XML_Char* context, const XML_Char* base, const XML_Char* systemId,
                                     const XML_Char* publicId);
    virtual bool OnUnknownEncoding(const XML_Char* name, XML_Encoding* info);
    virtual void OnStartNamespaceDecl(const XML_Char* prefix, const XML_Char* uri);
    virtual void OnEndNamespaceDecl(const XML_Char* prefix);
    virtual void OnXmlDecl(const XML_Char* version, const XML_Char* encoding, bool standalone);
    virtual void OnStartDoctypeDecl(const XML_Char* doctypeName, const XML_Char* systemId, const XML_Char* publicId,
                                    bool hasInternalSubset);
    virtual void OnEndDoctypeDecl();
    virtual void OnPostCreate();

    // Called inside the trampoline with the failure of a handler. The base keeps the first failure,
    // switches the handlers off and stops the parser; parse() rethrows it after expat has returned.
    virtual void OnHandlerFailure(std::exception_ptr failure) noexcept;

    XML_Parser parser() const { return parser_; }

private:
    static void XMLCALL startElementThunk(void* self, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL endElementThunk(void* self, const XML_Char* name);
    static void XMLCALL characterDataThunk(void* self, const XML_Char* text, int length);
    bool finishParse(XML_Status status);

    XML_Parser parser_ = nullptr;  // owned; freed by the destructor
    std::exception_ptr failure_;   // a handler's failure waiting for XML_Parse to return
};

} // namespace qx
