// The groups of checks the Windows host runs against the loaded DLL. Each
// group is one CTest test.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host_check.hpp"
#include "zolehead_module.hpp"

namespace zh_host {

struct Host {
    HMODULE module;
    ZoleHeadExports api;
    Checks& checks;
};

// One slot as zhGetZoleHeaderValue reports it.
struct SlotView {
    std::int32_t status;
    std::string value;
    bool operator==(const SlotView&) const = default;
};

inline std::string Show(const SlotView& slot) { return "status " + Show(slot.status) + " " + Show(slot.value); }

SlotView ReadSlot(const ZoleHeadExports& api, std::int32_t index);
std::array<SlotView, 16> ReadSlots(const ZoleHeadExports& api);
bool AllSlotsEmpty(const ZoleHeadExports& api);

void RunExportCases(Host& host);
void RunGetterCases(Host& host);
void RunReaderCases(Host& host);
void RunFileCases(Host& host);
void RunAttachCases(Host& host);
void RunResourceCases(Host& host);

}  // namespace zh_host
