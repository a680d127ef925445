// The module's resources read back the way Windows shows them: the version
// resource through GetFileVersionInfo/VerQueryValue, the icon group
// "MAINICON" through FindResource, compared with the committed icon file.
#include <cstring>
#include <string>
#include <vector>

#include "host_cases.hpp"
#include "scratch_dir.hpp"
#include "sjis.hpp"

namespace zh_host {

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);  // 0x0411

// "Zole 曲データのヘッダー読み取りライブラリ" in UTF-16 and in code page 932.
const std::wstring kDescriptionWide =
    L"Zole \u66F2\u30C7\u30FC\u30BF\u306E\u30D8\u30C3\u30C0\u30FC\u8AAD\u307F\u53D6\u308A\u30E9\u30A4\u30D6\u30E9"
    L"\u30EA";
const std::string kDescriptionAnsi = "Zole " + kSong +
                                     "\x83\x66" "\x81\x5B" "\x83\x5E" "\x82\xCC" "\x83\x77" "\x83\x62" "\x83\x5F"
                                     "\x81\x5B" "\x93\xC7" "\x82\xDD" "\x8E\xE6" "\x82\xE8" "\x83\x89" "\x83\x43"
                                     "\x83\x75" "\x83\x89" "\x83\x8A";

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, n);
}

void VersionResource(Host& host) {
    const std::string dll = ToAnsi(ModulePath(host.module));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &ignored);
    if (!host.checks.expect(size > 0, "the DLL has a version resource")) return;
    std::vector<char> info(size);
    if (!host.checks.expect(GetFileVersionInfoA(dll.c_str(), 0, size, info.data()), "GetFileVersionInfoA")) return;

    void* data = nullptr;
    UINT length = 0;
    if (host.checks.expect(VerQueryValueA(info.data(), "\\", &data, &length) && length >= sizeof(VS_FIXEDFILEINFO),
                           "the fixed part")) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data, sizeof fixed);
        host.checks.equal(fixed.dwSignature, 0xFEEF04BDul, "fixed part signature");
        host.checks.equal(fixed.dwFileVersionMS, 0x00010000ul, "file version 1.0");
        host.checks.equal(fixed.dwFileVersionLS, 0ul, "file version .0.0");
        host.checks.equal(fixed.dwProductVersionMS, 0x00010000ul, "product version 1.0");
        host.checks.equal(fixed.dwProductVersionLS, 0ul, "product version .0.0");
        host.checks.equal(fixed.dwFileType, static_cast<unsigned long>(VFT_DLL), "file type: DLL");
        host.checks.equal(fixed.dwFileOS, static_cast<unsigned long>(VOS_NT_WINDOWS32), "file OS: Windows NT");
        host.checks.equal(fixed.dwFileFlags & fixed.dwFileFlagsMask, 0ul, "no debug, pre-release or patched flag");
        // The resource and the export agree on the version.
        std::int32_t v[4] = {-1, -1, -1, -1};
        host.api.zhGetZoleHeadDllVersion(&v[0], &v[1], &v[2], &v[3]);
        host.checks.equal(static_cast<unsigned long>((v[0] << 16) | v[1]), fixed.dwFileVersionMS,
                          "zhGetZoleHeadDllVersion matches the resource (high)");
        host.checks.equal(static_cast<unsigned long>((v[2] << 16) | v[3]), fixed.dwFileVersionLS,
                          "zhGetZoleHeadDllVersion matches the resource (low)");
    }

    if (host.checks.expect(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &data, &length),
                           "the translation table")) {
        host.checks.equal(length, 4u, "one translation");
        WORD pair[2] = {0, 0};
        std::memcpy(pair, data, sizeof pair);
        host.checks.equal(pair[0], kJapanese, "translation language 0x0411");
        host.checks.equal(pair[1], 932, "translation code page 932");
    }

    // Through the ANSI API the strings come in the ANSI code page (932 here).
    struct Field {
        const char* name;
        std::string value;
    } fields[] = {
        {"FileVersion", "1.0.0"},
        {"ProductVersion", "1.0.0"},
        {"CompanyName", "ZoleHead project"},
        {"FileDescription", kDescriptionAnsi},
        {"InternalName", "ZoleHead"},
        {"OriginalFilename", "ZoleHead.dll"},
        {"ProductName", "ZoleHead"},
        {"LegalCopyright", "Copyright (C) ZoleHead project"},
    };
    for (const Field& f : fields) {
        const std::string key = std::string("\\StringFileInfo\\041103A4\\") + f.name;
        char* text = nullptr;
        if (!host.checks.expect(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) &&
                                    text != nullptr,
                                key + " exists"))
            continue;
        host.checks.equal(std::string(text), f.value, key);
    }
    host.checks.equal(GetACP(), 932u, "the ANSI code page is 932 for the Japanese description");

    // The same block through the wide API: the stored UTF-16 text.
    const std::wstring dll_wide = ModulePath(host.module);
    std::vector<char> wide_info(GetFileVersionInfoSizeW(dll_wide.c_str(), &ignored));
    if (!wide_info.empty() &&
        GetFileVersionInfoW(dll_wide.c_str(), 0, static_cast<DWORD>(wide_info.size()), wide_info.data())) {
        wchar_t* text = nullptr;
        const bool found = VerQueryValueW(wide_info.data(), L"\\StringFileInfo\\041103A4\\FileDescription",
                                          reinterpret_cast<void**>(&text), &length);
        host.checks.expect(found && text != nullptr && std::wstring(text) == kDescriptionWide,
                           "FileDescription in UTF-16");
    } else {
        host.checks.expect(false, "GetFileVersionInfoW");
    }
    // The version resource is tagged Japanese.
    host.checks.expect(FindResourceExW(host.module, MAKEINTRESOURCEW(16) /* RT_VERSION */, MAKEINTRESOURCEW(1),
                                       kJapanese) != nullptr,
                       "the version resource is in language 0x0411");
}

std::string ResourceBytes(HMODULE module, HRSRC resource) {
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, resource));
}

std::string FileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

template <class T>
T Read(const std::string& bytes, std::size_t offset) {
    T value{};
    if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The icon group "MAINICON": one 32x32, 32-bit icon whose image is exactly
// the one in the committed ZoleHead.ico.
void MainIcon(Host& host) {
    HRSRC group_resource = FindResourceW(host.module, L"MAINICON", MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    const std::string group = ResourceBytes(host.module, group_resource);
    // GRPICONDIR (6 bytes) and one GRPICONDIRENTRY (14 bytes).
    if (!host.checks.equal(group.size(), std::size_t{20}, "the icon group holds one entry")) return;
    host.checks.equal(Read<WORD>(group, 2), 1, "the group is an icon group");
    host.checks.equal(Read<WORD>(group, 4), 1, "one icon in the group");
    host.checks.equal(Read<BYTE>(group, 6), 32, "icon width 32");
    host.checks.equal(Read<BYTE>(group, 7), 32, "icon height 32");
    host.checks.equal(Read<WORD>(group, 10), 1, "icon planes");
    host.checks.equal(Read<WORD>(group, 12), 32, "icon bits per pixel");
    const DWORD image_size = Read<DWORD>(group, 14);
    const WORD image_id = Read<WORD>(group, 18);
    host.checks.expect(FindResourceExW(host.module, MAKEINTRESOURCEW(14), L"MAINICON", kJapanese) != nullptr,
                       "the icon group is in language 0x0411");

    const std::string image =
        ResourceBytes(host.module, FindResourceW(host.module, MAKEINTRESOURCEW(image_id), MAKEINTRESOURCEW(3)));
    host.checks.equal(image.size(), std::size_t{image_size}, "the icon image has the size the group says");
    host.checks.equal(Read<DWORD>(image, 0), 40ul, "the image starts with a BITMAPINFOHEADER");
    host.checks.equal(Read<LONG>(image, 8), 64l, "the image holds the colours and the AND mask");
    // The .ico file: ICONDIR (6), one ICONDIRENTRY (16), then the image.
    const std::string ico = FileBytes(ProgramDirectory() + L"ZoleHead.ico");
    if (!host.checks.expect(ico.size() > 22, "read ZoleHead.ico beside the host")) return;
    const std::size_t offset = Read<DWORD>(ico, 18);
    host.checks.expect(ico.compare(offset, std::string::npos, image) == 0,
                       "the resource image is the committed icon, byte for byte");
}

}  // namespace

void RunResourceCases(Host& host) {
    VersionResource(host);
    MainIcon(host);
}

}  // namespace zh_host
