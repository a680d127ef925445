// Runs LibMain with the attach reason when the library is loaded.
#include "ZoleHead.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    return LibMain(module, static_cast<int32_t>(reason), reserved) ? TRUE : FALSE;
}

#else

namespace {
__attribute__((constructor)) void AttachOnLoad() { LibMain(nullptr, 1, nullptr); }
}  // namespace

#endif
