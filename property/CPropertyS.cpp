// property/CPropertyS.cpp -- string values: owned texts, and binary data kept in the binary cache and the
// pending-encode set. Texts live in the slots as raw owned char arrays (the slot is a C union), so every
// path that replaces or drops a slot's text frees it here and nowhere else.
#include "property/CPropertyS.h"

#include <algorithm>
#include <cstring>

#include "frame/Log.h"
#include "property/Base64.h"
#include "property/CValBuffer.h"
#include "property/ValueText.h"

namespace qx {

namespace {
// Texts made for new slots, freed again unless handed over (keeps a failed allocation from leaking).
class PendingTexts {
public:
    explicit PendingTexts(std::size_t n) { texts_.reserve(n); }
    ~PendingTexts() {
        for (char* t : texts_) freeText(t);
    }
    PendingTexts(const PendingTexts&) = delete;
    PendingTexts& operator=(const PendingTexts&) = delete;
    void add(char* text) { texts_.push_back(text); }
    char* operator[](std::size_t i) const { return texts_[i]; }
    void release() { texts_.clear(); }

private:
    std::vector<char*> texts_;
};
} // namespace

CPropertyS::CPropertyS(std::string name, CComponent* owner, std::uint64_t count, std::uint32_t flags,
                       const std::string& formatString)
    : CProperty(QX_VT_STRING, std::move(name), owner, count, flags, formatString) {
    initNewVals(mutableSlots(), valCount(), 0);
}

CPropertyS::CPropertyS(const CPropertyS& source, CComponent* newOwner, const std::string* newName, CloneMode mode)
    : CProperty(source, newOwner, newName, mode),
      binaryCache_(source.binaryCache_),
      pendingEncode_(source.pendingEncode_) {
    PendingTexts texts(source.valCount());
    for (std::uint64_t i = 0; i < source.valCount(); ++i) texts.add(duplicateText(source.slots()[i].str));
    for (std::uint64_t i = 0; i < source.valCount(); ++i) mutableSlots()[i].str = texts[i];
    texts.release();
}

CPropertyS::~CPropertyS() { freeValsFrom(0); }

std::unique_ptr<CComponent> CPropertyS::clone(CComponent* newOwner, const std::string* newName,
                                              CloneMode mode) const {
    return std::make_unique<CPropertyS>(*this, newOwner, newName, mode);
}

void CPropertyS::assignVals(const ::ValBuffer& buffer, std::uint64_t index) {
    // Copy every new text before freeing any old one: the buffer may point at this property's own texts.
    PendingTexts texts(buffer.count);
    for (std::uint64_t p = 0; p < buffer.count; ++p) texts.add(duplicateText(buffer.pSlots[p].str));
    qxValue* slots = mutableSlots();
    for (std::uint64_t p = 0; p < buffer.count; ++p) {
        freeText(slots[index + p].str);
        slots[index + p].str = texts[p];
    }
    texts.release();
}

void CPropertyS::freeValsFrom(std::uint64_t index) {
    qxValue* slots = mutableSlots();
    for (std::uint64_t i = index; i < valCount(); ++i) {
        freeText(slots[i].str);
        slots[i].str = nullptr;
    }
    forgetBinary(index, UINT64_MAX);
}

void CPropertyS::initNewVals(qxValue* fresh, std::uint64_t newCount, std::uint64_t keptCount) {
    PendingTexts texts(newCount - keptCount);
    for (std::uint64_t i = keptCount; i < newCount; ++i) texts.add(duplicateText(""));
    for (std::uint64_t i = keptCount; i < newCount; ++i) fresh[i].str = texts[i - keptCount];
    texts.release();
}

void CPropertyS::removeValAt(std::uint64_t index) {
    qxValue* slots = mutableSlots();
    freeText(slots[index].str);
    std::copy(slots + index + 1, slots + valCount(), slots + index);
    slots[valCount() - 1].str = nullptr;
    // The cache follows its values down instead of being dropped, so bytes written but not yet encoded
    // survive the removal of an earlier value.
    std::map<std::uint64_t, Bytes> moved;
    for (auto it = binaryCache_.upper_bound(index); it != binaryCache_.end(); ++it) {
        moved.emplace(it->first - 1, std::move(it->second));
    }
    binaryCache_.erase(binaryCache_.lower_bound(index), binaryCache_.end());
    binaryCache_.merge(moved);
    std::set<std::uint64_t> movedMarks;
    for (auto it = pendingEncode_.upper_bound(index); it != pendingEncode_.end(); ++it) movedMarks.insert(*it - 1);
    pendingEncode_.erase(pendingEncode_.lower_bound(index), pendingEncode_.end());
    pendingEncode_.merge(movedMarks);
}

void CPropertyS::forgetBinary(std::uint64_t first, std::uint64_t last) {
    binaryCache_.erase(binaryCache_.lower_bound(first), binaryCache_.lower_bound(last));
    pendingEncode_.erase(pendingEncode_.lower_bound(first), pendingEncode_.lower_bound(last));
}

void CPropertyS::dropBinary(std::uint64_t index, std::uint64_t count) { forgetBinary(index, index + count); }

void CPropertyS::prepareRead(std::uint64_t index, std::uint64_t count, bool onlyIfInvalid) {
    CProperty::prepareRead(index, count, onlyIfInvalid);
    // Texts of bytes written since the last read are rebuilt now (also for a property that lacks
    // cfContainsBinaryData but was written as binary anyway, so its texts never go stale).
    if ((flags() & QX_CF_CONTAINS_BINARY_DATA) == 0 && pendingEncode_.empty()) return;
    qxValue* slots = mutableSlots();
    for (auto it = pendingEncode_.lower_bound(index); it != pendingEncode_.end() && *it < index + count;) {
        const auto cached = binaryCache_.find(*it);
        if (cached != binaryCache_.end()) {
            const std::string text = encodeBase64(cached->second.data(), cached->second.size());
            char* fresh = duplicateText(text);
            freeText(slots[*it].str);
            slots[*it].str = fresh;
        }
        it = pendingEncode_.erase(it);
    }
    setValid();
}

const CPropertyS::Bytes& CPropertyS::ensureBinary(std::uint64_t index) {
    if (binaryCache_.count(index) != 0) {
        prepareRead(index, 1, false);
        const auto again = binaryCache_.find(index); // the read callback may have rewritten the value
        if (again != binaryCache_.end()) return again->second;
    }
    CValBuffer text(QX_VT_STRING, 1);
    getVal(text, static_cast<int>(index));
    ++decodeCount_;
    return binaryCache_.insert_or_assign(index, decodeBase64(text[0].str ? text[0].str : "")).first->second;
}

std::uint64_t CPropertyS::binarySize(std::uint64_t index) { return ensureBinary(index).size(); }

std::uint64_t CPropertyS::binarySizeMax() {
    if (const qxValue* limit = propertySharedData().limit(QX_LIM_BINARY_SIZE_MAX)) return limit->bits;
    std::uint64_t largest = 0;
    for (std::uint64_t i = 0; i < valCount(); ++i) largest = std::max(largest, binarySize(i));
    return largest;
}

std::uint64_t CPropertyS::getBinary(void* dest, std::uint64_t destSize, std::uint64_t index) {
    if (dest == nullptr) throw EInvalidInputParameter();
    const Bytes& bytes = ensureBinary(index);
    if (bytes.empty()) {
        throw ESizeMismatch(formatText("Value %d of property '%s' does not seem to contain binary data. The value "
                                       "buffer is too small. Have %d bytes, need at least 4 bytes.",
                                       static_cast<int>(index), name().c_str(), 0));
    }
    if (bytes.size() > destSize) throw EInputBufferTooSmall(name());
    std::memcpy(dest, bytes.data(), bytes.size());
    return bytes.size();
}

int CPropertyS::setBinary(std::uint32_t rights, const ::ValBuffer& blocks, const CallParam* sizes,
                          std::size_t sizeCount, int index) {
    if (blocks.valType != QX_VT_STRING) throw EInvalidValueType(name());
    if (blocks.count == 0 || sizes == nullptr || sizeCount != blocks.count || index < 0 || blocks.pSlots == nullptr) {
        throw EInvalidInputParameter();
    }
    for (std::uint64_t p = 0; p < blocks.count; ++p) {
        if (blocks.pSlots[p].ptr == nullptr) throw EInvalidInputParameter();
    }
    runWriteHook(blocks);
    checkBinarySizes(sizes, sizeCount);
    auto sizeOf = [&](std::uint64_t p) { return sizes[p].value.bits & 0xFFFFFFFFu; };
    const auto first = static_cast<std::uint64_t>(index);
    const bool grows = first + blocks.count > valCount();
    if (grows) checkResize(first + blocks.count, rights);

    const bool forced = (flags() & QX_CF_ALWAYS_FORCE_UPDATE) != 0;
    bool changed = false;
    for (std::uint64_t p = 0; p < blocks.count; ++p) {
        const auto* data = static_cast<const std::uint8_t*>(blocks.pSlots[p].ptr);
        const std::uint64_t size = sizeOf(p);
        const auto cached = binaryCache_.find(first + p);
        if (!forced && cached != binaryCache_.end() && cached->second.size() == size &&
            std::equal(data, data + size, cached->second.begin())) {
            continue;
        }
        binaryCache_.insert_or_assign(first + p, Bytes(data, data + size));
        pendingEncode_.insert(first + p);
        changed = true;
    }
    if (grows) {
        setValCount(first + blocks.count, rights);
    } else if (!changed) {
        return 0;
    }
    setValid();
    raiseChangeNotification(true, false, false, false);
    return 1;
}

namespace {
bool isFixedWidthType(std::uint32_t type) {
    return type == QX_VT_INT32 || type == QX_VT_DOUBLE || type == QX_VT_POINTER || type == QX_VT_INT64;
}
} // namespace

int CPropertyS::setValsFromOtherType(std::uint32_t rights, const ::ValBuffer& buffer, std::uint64_t index) {
    if (!isFixedWidthType(buffer.valType)) throw EInvalidValueType(name());
    CValBuffer texts(QX_VT_STRING, buffer.count);
    for (std::uint64_t i = 0; i < buffer.count; ++i) texts.setText(i, valueText(buffer.valType, buffer.pSlots[i], nullptr));
    return storeVals(rights, texts, index);
}

bool CPropertyS::validateValsFromOtherType(const ::ValBuffer& buffer) {
    if (!isFixedWidthType(buffer.valType)) throw EInvalidValueType(name());
    return true;
}

void CPropertyS::setBinarySizeMax(std::uint64_t size, std::uint32_t rights) {
    if ((flags() & QX_CF_CONTAINS_BINARY_DATA) == 0) throw EUnsupportedOperation(name());
    qxValue limit = zeroSlot();
    limit.bits = size;
    const bool changed = propertySharedData().setLimit(QX_LIM_BINARY_SIZE_MAX, limit, this);
    for (std::uint64_t i = 0; i < valCount(); ++i) {
        const Bytes& bytes = ensureBinary(i);
        const std::uint64_t old = bytes.size();
        if (old <= size) continue;
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        const std::uint8_t none = 0;
        CValBuffer block(QX_VT_STRING, 1);
        block[0].ptr = const_cast<std::uint8_t*>(cut.empty() ? &none : cut.data());
        CallParam blockSize{QX_PT_INT64, 0, zeroSlot()};
        blockSize.value.bits = size;
        setBinary(rights, block, &blockSize, 1, static_cast<int>(i));
        logWarning("%s(%s): WARNING!!! Reducing binary value %d from %d to %d as a new size limit has been "
                   "defined.\n",
                   "qx::CPropertyS::setBinarySizeMax", name().c_str(), static_cast<int>(i),
                   static_cast<int>(old), static_cast<int>(size));
    }
    if (changed) raiseChangeNotification(true, false, true, false);
}

} // namespace qx
