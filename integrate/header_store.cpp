// The exported header store: slots, identifier table, sizes and getters.
#include <cstdint>
#include <cstring>

#include "ZoleHead.h"
#include "header_slots.hpp"
#include "identifier_table.hpp"
#include "slot_lock.hpp"
#include "zole_header.hpp"

namespace zolehead {

namespace {

// Zero-initialised static storage: empty before the first call, whatever the
// order in which the loader runs things.
ZoleHeader g_slots;
SlotLock g_slots_lock;

// strncpy's contract, then one more NUL at offset `count`: count + 1 bytes.
void CopyCounted(char* out, std::string_view text, int count) noexcept {
    const std::size_t n = static_cast<std::size_t>(count);
    const std::size_t copied = text.size() < n ? text.size() : n;
    std::memcpy(out, text.data(), copied);
    std::memset(out + copied, 0, n - copied + 1);
}

int ClampCount(int32_t maxBytes, int limit) noexcept {
    if (maxBytes < 0) return 0;
    return maxBytes > limit ? limit : static_cast<int>(maxBytes);
}

bool IsFieldIndex(int32_t index) noexcept { return index >= 0 && index < kFieldCount; }

}  // namespace

void ClearHeaderSlots() noexcept {
    SlotLockHold hold(g_slots_lock);
    g_slots.clear();
}

void PublishHeaderSlots(const ZoleHeader& header) noexcept {
    SlotLockHold hold(g_slots_lock);
    g_slots = header;
}

}  // namespace zolehead

using namespace zolehead;

extern "C" {

ZH_EXPORT int32_t ZH_CALL LibMain(void* /*module*/, int32_t reason, void* /*reserved*/) {
    constexpr int32_t kProcessAttach = 1;
    if (reason == kProcessAttach) ClearHeaderSlots();
    return 1;
}

ZH_EXPORT void ZH_CALL zhGetZoleHeadDllVersion(int32_t* major, int32_t* minor, int32_t* revision, int32_t* build) {
    if (major) *major = 1;
    if (minor) *minor = 0;
    if (revision) *revision = 0;
    if (build) *build = 0;
}

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentNum(void) { return kFieldCount; }
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentSize(void) { return kLabelMaxBytes; }
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderValueSize(void) { return kValueMaxBytes; }

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentA(int32_t slotIndex, char* outText, int32_t maxBytes) {
    if (!IsFieldIndex(slotIndex) || outText == nullptr) return 0;
    CopyCounted(outText, kIdentifiers[static_cast<std::size_t>(slotIndex)].label, ClampCount(maxBytes, kLabelMaxBytes));
    return 1;
}

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdent(int32_t slotIndex, char* outText, int32_t maxBytes) {
    return zhGetZoleHeaderIdentA(slotIndex, outText, maxBytes);
}

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentB(int32_t slotIndex, char* outText, int32_t maxBytes) {
    if (!IsFieldIndex(slotIndex) || outText == nullptr) return 0;
    CopyCounted(outText, kIdentifiers[static_cast<std::size_t>(slotIndex)].keyword,
                ClampCount(maxBytes, kLabelMaxBytes));
    return 1;
}

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderValue(int32_t slotIndex, char* outText, int32_t maxBytes) {
    if (!IsFieldIndex(slotIndex) || outText == nullptr) return 0;
    SlotLockHold hold(g_slots_lock);
    const HeaderSlot& slot = g_slots.slots[static_cast<std::size_t>(slotIndex)];
    CopyCounted(outText, slot.text(), ClampCount(maxBytes, kValueMaxBytes));
    return slot.status;
}

}  // extern "C"
