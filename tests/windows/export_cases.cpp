// The exports as a host finds them: the twelve plain names resolve, no
// decorated spelling does, and the calling convention matches the host's.
#include <string>

#include "host_cases.hpp"

namespace zh_host {

namespace {

void PlainNamesOnly(Host& host) {
    for (const char* name : kExportNames) {
        host.checks.expect(GetProcAddress(host.module, name) != nullptr, std::string(name) + " resolves");
        // The spellings the x86 conventions would leave behind.
        std::string decorated[9];
        decorated[0].append("_").append(name);
        int n = 1;
        for (const char* bytes : {"@0", "@4", "@12", "@16"}) {
            decorated[n++].append(name).append(bytes);
            decorated[n++].append("_").append(name).append(bytes);
        }
        for (const std::string& spelling : decorated) {
            host.checks.expect(GetProcAddress(host.module, spelling.c_str()) == nullptr, spelling + " is not exported");
        }
    }
}

// On x86 a __stdcall callee removes its own arguments. If the DLL used any
// other convention, every call through these pointers would leave 4 to 16
// bytes on the stack: long before a million rounds the thread's stack
// (1 MiB) overflows and the host dies. On x64 there is one convention and
// the loop simply passes.
void CallingConventionKeepsTheStackBalanced(Host& host) {
    const ZoleHeadExports& api = host.api;
    char buf[19];
    std::int32_t v[4];
    int wrong = 0;
    for (int i = 0; i < (1 << 20); ++i) {
        if (api.LibMain(nullptr, 0, nullptr) != 1) ++wrong;                               // 12 bytes
        api.zhGetZoleHeadDllVersion(&v[0], &v[1], &v[2], &v[3]);                          // 16 bytes
        if (v[0] != 1) ++wrong;
        if (api.zhGetZoleHeaderIdentB(i & 15, buf, 18) != 1) ++wrong;                    // 12 bytes
        if (api.zhGetZoleHeaderValue(-1, buf, 0) != 0) ++wrong;                          // 12 bytes
        if (api.zhGetZoleHeaderIdentNum() != 16) ++wrong;                                // 0 bytes
        if ((i & 1023) == 0 && api.zhGetZoleHeaderB(nullptr) != 0) ++wrong;             // 4 bytes
    }
    host.checks.equal(wrong, 0, "a million rounds of calls through WINAPI pointers");
}

}  // namespace

void RunExportCases(Host& host) {
    PlainNamesOnly(host);
    CallingConventionKeepsTheStackBalanced(host);
}

}  // namespace zh_host
