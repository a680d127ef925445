#include "zolehead_module.hpp"

namespace zh_host {

const char* const kExportNames[12] = {
    "LibMain",
    "zhGetZoleHeadDllVersion",
    "zhGetZoleHeaderIdentNum",
    "zhGetZoleHeaderIdentSize",
    "zhGetZoleHeaderValueSize",
    "zhGetZoleHeaderIdent",
    "zhGetZoleHeaderIdentA",
    "zhGetZoleHeaderIdentB",
    "zhGetZoleHeaderValue",
    "zhGetZoleHeaderA",
    "zhGetZoleHeaderB",
    "zhGetZoleHeader",
};

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

namespace {

template <class Fn>
bool Resolve(HMODULE module, const char* name, Fn& out, std::string& error) {
    FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr) {
        error += std::string(error.empty() ? "" : ", ") + name;
        return false;
    }
    out = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    return true;
}

}  // namespace

HMODULE LoadZoleHead(ZoleHeadExports& out, std::string& error) {
    // A full path: the DLL next to this program, not one found elsewhere.
    const std::wstring path = ProgramDirectory() + L"ZoleHead.dll";
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        error = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return nullptr;
    }
    std::string missing;
    bool ok = true;
    ok &= Resolve(module, kExportNames[0], out.LibMain, missing);
    ok &= Resolve(module, kExportNames[1], out.zhGetZoleHeadDllVersion, missing);
    ok &= Resolve(module, kExportNames[2], out.zhGetZoleHeaderIdentNum, missing);
    ok &= Resolve(module, kExportNames[3], out.zhGetZoleHeaderIdentSize, missing);
    ok &= Resolve(module, kExportNames[4], out.zhGetZoleHeaderValueSize, missing);
    ok &= Resolve(module, kExportNames[5], out.zhGetZoleHeaderIdent, missing);
    ok &= Resolve(module, kExportNames[6], out.zhGetZoleHeaderIdentA, missing);
    ok &= Resolve(module, kExportNames[7], out.zhGetZoleHeaderIdentB, missing);
    ok &= Resolve(module, kExportNames[8], out.zhGetZoleHeaderValue, missing);
    ok &= Resolve(module, kExportNames[9], out.zhGetZoleHeaderA, missing);
    ok &= Resolve(module, kExportNames[10], out.zhGetZoleHeaderB, missing);
    ok &= Resolve(module, kExportNames[11], out.zhGetZoleHeader, missing);
    if (!ok) {
        error = "exports not found: " + missing;
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

}  // namespace zh_host
