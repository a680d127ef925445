// The exported readers: run the core, publish its result into the slots.
#include "ZoleHead.h"
#include "header_slots.hpp"
#include "zolehead.hpp"

namespace {

int32_t ReadAndPublish(const char* filePath, zolehead::HeaderForm form) noexcept {
    zolehead::ZoleHeader header;
    const zolehead::ReadResult result = zolehead::ReadHeaderFile(filePath, form, header);
    zolehead::PublishHeaderSlots(header);  // empty on failure
    return result ? 1 : 0;
}

}  // namespace

extern "C" {

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderA(const char* filePath) {
    return ReadAndPublish(filePath, zolehead::HeaderForm::A);
}

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderB(const char* filePath) {
    return ReadAndPublish(filePath, zolehead::HeaderForm::B);
}

ZH_EXPORT int32_t ZH_CALL zhGetZoleHeader(const char* filePath) {
    return ReadAndPublish(filePath, zolehead::HeaderForm::BOTH);
}

}  // extern "C"
