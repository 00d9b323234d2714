// tests/component/TestSupport.h -- stand-ins the component and property tests share: a minimal owning
// container (lists come later; this one plugs into the same container-side virtuals a list overrides and
// records what its members asked of it) and a logger that keeps every emitted line.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "component/CComponent.h"
#include "frame/Eqx.h"
#include "log/LogMsgWriter.h"

namespace qx::test {

class TestContainer : public CComponent {
public:
    struct DependencyStep {
        CComponent* member;
        bool dependentsForced;
    };

    explicit TestContainer(std::string name, CComponent* owner = nullptr,
                           std::uint32_t flags = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS)
        : CComponent(std::move(name), owner) {
        installSharedData(SharedHolder(std::make_unique<CComponentSharedData>(QX_CT_LIST, flags, this)));
        setHasDependents(true); // so that it is told of every member's change, as a list with derived lists is
    }

    std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName, CloneMode) const override {
        return std::make_unique<TestContainer>(newName ? *newName : name(), newOwner, flags());
    }
    void memberValueChanged(CComponent& member, bool dependentsForced) override {
        dependencySteps.push_back({&member, dependentsForced});
    }
    int callMemberChangeMethod(CComponent& member) override {
        changeMethodCalls.push_back(&member);
        return changeMethodResult;
    }
    bool takesPartInDerivation() const override { return derived; }

    std::vector<DependencyStep> dependencySteps;
    std::vector<CComponent*> changeMethodCalls;
    int changeMethodResult = 0;
    bool derived = false;
};

// A plain component of any type (a property type makes it count as a property for the flag rules).
class TestLeaf : public CComponent {
public:
    TestLeaf(std::string name, CComponent* owner, std::uint32_t type,
             std::uint32_t flags = QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS)
        : CComponent(std::move(name), owner) {
        installSharedData(SharedHolder(std::make_unique<CComponentSharedData>(type, flags, this)));
    }
    // The component part of a clone, sharing the source's shared data.
    TestLeaf(const TestLeaf& source, CComponent* newOwner, const std::string* newName)
        : CComponent(source, newOwner, newName) {
        installSharedData(source.sharedHolder());
    }
    std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName, CloneMode) const override {
        return std::make_unique<TestLeaf>(*this, newOwner, newName);
    }
};

// The code and message of the library exception that body throws; {0, ""} when it throws none.
struct Failure {
    int code;
    std::string message;
    bool operator==(const Failure&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Failure& f) {
    return os << "{" << f.code << ", \"" << f.message << "\"}";
}
template <class Body>
Failure failureOf(Body&& body) {
    try {
        body();
    } catch (const Eqx& e) {
        return {e.code(), e.message()};
    }
    return {0, ""};
}

// Installs itself as the library's logger for one scope and gives the previous logger back afterwards.
class LogCapture {
public:
    struct Line {
        int messageClass;
        std::string text;
    };

    LogCapture() {
        auto writer = std::make_unique<Writer>(lines_);
        previous_ = exchangeLibraryLogger(std::move(writer));
    }
    ~LogCapture() { exchangeLibraryLogger(std::move(previous_)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<Line>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    class Writer : public LogMsgWriter {
    public:
        explicit Writer(std::vector<Line>& lines) : LogMsgWriter("tests", ""), lines_(lines) { setFlags(~0u); }

    protected:
        void emit(int messageClass, const std::string& text) override { lines_.push_back({messageClass, text}); }

    private:
        std::vector<Line>& lines_;
    };

    std::vector<Line> lines_;
    std::unique_ptr<LogMsgWriter> previous_;
};

} // namespace qx::test
