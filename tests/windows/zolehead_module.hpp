// ZoleHead.dll as a Windows host sees it: loaded with LoadLibrary, every
// export resolved by its plain name with GetProcAddress. The pointer types
// are the host's own, with the Windows API calling convention (WINAPI is
// __stdcall on x86), not taken from ZoleHead.h.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>

namespace zh_host {

using LibMainFn = std::int32_t(WINAPI*)(void* module, std::int32_t reason, void* reserved);
using VersionFn = void(WINAPI*)(std::int32_t*, std::int32_t*, std::int32_t*, std::int32_t*);
using CountFn = std::int32_t(WINAPI*)();
using GetterFn = std::int32_t(WINAPI*)(std::int32_t slotIndex, char* outText, std::int32_t maxBytes);
using ReaderFn = std::int32_t(WINAPI*)(const char* filePath);

struct ZoleHeadExports {
    LibMainFn LibMain;
    VersionFn zhGetZoleHeadDllVersion;
    CountFn zhGetZoleHeaderIdentNum;
    CountFn zhGetZoleHeaderIdentSize;
    CountFn zhGetZoleHeaderValueSize;
    GetterFn zhGetZoleHeaderIdent;
    GetterFn zhGetZoleHeaderIdentA;
    GetterFn zhGetZoleHeaderIdentB;
    GetterFn zhGetZoleHeaderValue;
    ReaderFn zhGetZoleHeaderA;
    ReaderFn zhGetZoleHeaderB;
    ReaderFn zhGetZoleHeader;
};

// The twelve export names, in the order of ZoleHeadExports.
extern const char* const kExportNames[12];

// The directory of this program, with a trailing backslash.
std::wstring ProgramDirectory();

// Loads ZoleHead.dll from this program's directory and resolves every export.
// On failure returns null and says why in `error`.
HMODULE LoadZoleHead(ZoleHeadExports& out, std::string& error);

}  // namespace zh_host
