// property/CPropertyS.h -- the string property. Every slot points to a text of its own on the heap, owned by
// this object and freed exactly once (when overwritten, removed, cut off by a resize, or at destruction).
//
// Binary data travels as base64 text in such values. Two structures keep that cheap: the binary cache holds
// the decoded bytes of each index that was decoded or written as binary, so a text is decoded at most once;
// the pending-encode set names the indices whose cached bytes are newer than their text, so binary writes
// never encode and the text is rebuilt only when that value is next read (prepareRead).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "property/CProperty.h"

namespace qx {

class CPropertyS final : public CProperty {
public:
    CPropertyS(std::string name, CComponent* owner, std::uint64_t count, std::uint32_t flags,
               const std::string& formatString);
    CPropertyS(const CPropertyS& source, CComponent* newOwner, const std::string* newName, CloneMode mode);
    ~CPropertyS() override;

    std::unique_ptr<CComponent> clone(CComponent* newOwner, const std::string* newName,
                                      CloneMode mode) const override;
    void assignVals(const ::ValBuffer& buffer, std::uint64_t index) override;
    void freeValsFrom(std::uint64_t index) override;
    void initNewVals(qxValue* fresh, std::uint64_t newCount, std::uint64_t keptCount) override;
    void removeValAt(std::uint64_t index) override;
    void prepareRead(std::uint64_t index, std::uint64_t count, bool onlyIfInvalid) override;
    void dropBinary(std::uint64_t index, std::uint64_t count) override;
    std::uint64_t binarySize(std::uint64_t index) override;
    // limBinarySizeMax when set, else the largest binary size of all values.
    std::uint64_t binarySizeMax() override;
    // Copies the bytes of value index into dest and returns their number.
    std::uint64_t getBinary(void* dest, std::uint64_t destSize, std::uint64_t index) override;
    // Sets limBinarySizeMax (owner only) and cuts longer values to it, logging a warning for each.
    void setBinarySizeMax(std::uint64_t size, std::uint32_t rights) override;
    int setBinary(std::uint32_t rights, const ::ValBuffer& blocks, const CallParam* sizes, std::size_t sizeCount,
                  int index) override;
    // Numbers of the four fixed-width types are stored as their texts in the type's default format.
    int setValsFromOtherType(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index) override;
    bool validateValsFromOtherType(const ::ValBuffer& buffer) override;

    // How many texts have been decoded into the cache so far (tests use it to see "at most once").
    std::uint64_t decodeCount() const { return decodeCount_; }

private:
    using Bytes = std::vector<std::uint8_t>;
    // The bytes of value index, decoding its text on first use.
    const Bytes& ensureBinary(std::uint64_t index);
    // Forgets cache entries and pending marks of indices in [first, last).
    void forgetBinary(std::uint64_t first, std::uint64_t last);

    std::map<std::uint64_t, Bytes> binaryCache_;
    std::set<std::uint64_t> pendingEncode_;
    std::uint64_t decodeCount_ = 0;
};

} // namespace qx
