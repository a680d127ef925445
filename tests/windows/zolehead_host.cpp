// A Windows host for ZoleHead.dll: loads it, resolves the exports by name and
// runs one group of checks against it.
//
//   zolehead_host GROUP      GROUP: exports getters readers files attach resources
//
// Exits 0 when every check passed, 1 when one failed, 2 when the DLL could
// not be loaded or the group is unknown.
#include <cstdio>
#include <cstring>

#include "canary_buffer.hpp"
#include "host_cases.hpp"

namespace zh_host {

SlotView ReadSlot(const ZoleHeadExports& api, std::int32_t index) {
    CanaryBuffer buf;
    const std::int32_t status = api.zhGetZoleHeaderValue(index, buf.data(), 127);
    return {status, std::string(buf.data())};
}

std::array<SlotView, 16> ReadSlots(const ZoleHeadExports& api) {
    std::array<SlotView, 16> slots;
    for (std::int32_t i = 0; i < 16; ++i) slots[static_cast<std::size_t>(i)] = ReadSlot(api, i);
    return slots;
}

bool AllSlotsEmpty(const ZoleHeadExports& api) {
    for (const SlotView& slot : ReadSlots(api))
        if (slot.status != 0 || !slot.value.empty()) return false;
    return true;
}

}  // namespace zh_host

int main(int argc, char** argv) {
    using namespace zh_host;
    struct Group {
        const char* name;
        void (*run)(Host&);
    } const groups[] = {
        {"exports", RunExportCases}, {"getters", RunGetterCases}, {"readers", RunReaderCases},
        {"files", RunFileCases},     {"attach", RunAttachCases},   {"resources", RunResourceCases},
    };
    const Group* group = nullptr;
    for (const Group& g : groups)
        if (argc == 2 && std::strcmp(argv[1], g.name) == 0) group = &g;
    if (group == nullptr) {
        std::fprintf(stderr, "usage: zolehead_host exports|getters|readers|files|attach|resources\n");
        return 2;
    }

    // Failures show up as results, not as dialog boxes.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ZoleHeadExports api{};
    std::string error;
    HMODULE module = LoadZoleHead(api, error);
    if (module == nullptr) {
        std::printf("FAIL: %s\n", error.c_str());
        return 2;
    }
    Checks checks;
    Host host{module, api, checks};
    group->run(host);
    FreeLibrary(module);
    std::printf("%s: %d checks, %d failed\n", group->name, checks.count(), checks.failed());
    return checks.failed() == 0 && checks.count() > 0 ? 0 : 1;
}
