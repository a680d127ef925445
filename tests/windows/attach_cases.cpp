// The load-time entry and the lock: LibMain empties on attach only; thread
// attach and detach, and a second LoadLibrary, keep the slots; a getter
// running beside a reader never sees half of one read.
#include <atomic>
#include <string>

#include "host_cases.hpp"
#include "scratch_dir.hpp"

namespace zh_host {

namespace {

DWORD WINAPI DoNothing(void*) { return 0; }

void LibMainEmptiesOnAttachOnly(Host& host, const std::string& path) {
    host.checks.equal(host.api.zhGetZoleHeader(path.c_str()), 1, "read before LibMain");
    for (std::int32_t reason : {0, 2, 3, 7, -1}) {
        host.checks.equal(host.api.LibMain(host.module, reason, nullptr), 1, "LibMain returns 1");
        host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "x"}, "LibMain keeps the slots for reason " +
                                                                       std::to_string(reason));
    }
    host.checks.equal(host.api.LibMain(host.module, 1, nullptr), 1, "LibMain(attach) returns 1");
    host.checks.expect(AllSlotsEmpty(host.api), "LibMain(attach) empties every slot");
}

// The loader calls the entry with thread attach (2) and detach (3) for every
// thread the process starts: those must leave the slots alone.
void ThreadsComingAndGoingKeepTheSlots(Host& host, const std::string& path) {
    host.checks.equal(host.api.zhGetZoleHeader(path.c_str()), 1, "read before the threads");
    for (int i = 0; i < 4; ++i) {
        HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
        if (!host.checks.expect(thread != nullptr, "start a thread")) return;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "x"}, "threads starting and ending keep the slots");
}

// Loading again only counts a reference: no second attach.
void SecondLoadKeepsTheSlots(Host& host, const std::string& path) {
    host.checks.equal(host.api.zhGetZoleHeader(path.c_str()), 1, "read before the second load");
    const std::wstring dll = ProgramDirectory() + L"ZoleHead.dll";
    HMODULE again = LoadLibraryW(dll.c_str());
    host.checks.expect(again == host.module, "a second LoadLibrary gives the same module");
    host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "x"}, "a second load keeps the slots");
    if (again) FreeLibrary(again);
    host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "x"}, "freeing one reference keeps the slots");
}

struct TornRun {
    const ZoleHeadExports* api;
    const std::string* paths;
    std::atomic<bool> done{false};
};

DWORD WINAPI ReadAlternately(void* arg) {
    TornRun& run = *static_cast<TornRun*>(arg);
    for (int i = 0; i < 1000; ++i) run.api->zhGetZoleHeader(run.paths[i % 2].c_str());
    run.done = true;
    return 0;
}

// The slots sit behind a lock: a getter sees the previous read or the whole
// next one, never the long value cut short or an empty slot in between.
void ConcurrentGetterNeverSeesATornValue(Host& host, const ScratchDir& dir) {
    const std::string long_value(127, 'L');
    const std::string paths[2] = {dir.write(L"long.zole", "*Title '" + long_value + "'"),
                                  dir.write(L"short.zole", "*Title 's'")};
    host.checks.equal(host.api.zhGetZoleHeader(paths[0].c_str()), 1, "read the long value");
    TornRun run{&host.api, paths};
    HANDLE reader = CreateThread(nullptr, 0, ReadAlternately, &run, 0, nullptr);
    if (!host.checks.expect(reader != nullptr, "start the reader thread")) return;
    int torn = 0, seen = 0;
    while (!run.done) {
        char buf[128];
        const std::int32_t status = host.api.zhGetZoleHeaderValue(0, buf, 127);
        const std::string got(buf);
        if (status != 2 || (got != long_value && got != "s")) ++torn;
        ++seen;
    }
    WaitForSingleObject(reader, INFINITE);
    CloseHandle(reader);
    host.checks.equal(torn, 0, "torn values among " + std::to_string(seen) + " copied while another thread reads");
}

}  // namespace

void RunAttachCases(Host& host) {
    ScratchDir dir;
    if (!host.checks.expect(dir.ok(), "create the scratch directory")) return;
    const std::string path = dir.write(L"attach.zole", "*Title 'x'");
    LibMainEmptiesOnAttachOnly(host, path);
    ThreadsComingAndGoingKeepTheSlots(host, path);
    SecondLoadKeepsTheSlots(host, path);
    ConcurrentGetterNeverSeesATornValue(host, dir);
}

}  // namespace zh_host
