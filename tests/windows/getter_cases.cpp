// Sizes, version and the getters through GetProcAddress pointers: exact
// bytes written, nothing past the clamped count plus one.
#include <string>

#include "canary_buffer.hpp"
#include "host_cases.hpp"
#include "scratch_dir.hpp"
#include "sjis.hpp"

namespace zh_host {

namespace {

void SizesAndVersion(Host& host) {
    const ZoleHeadExports& api = host.api;
    host.checks.equal(api.zhGetZoleHeaderIdentNum(), 16, "identifier count");
    host.checks.equal(api.zhGetZoleHeaderIdentSize(), 18, "identifier size");
    host.checks.equal(api.zhGetZoleHeaderValueSize(), 127, "value size");
    std::int32_t v[4] = {-1, -1, -1, -1};
    api.zhGetZoleHeadDllVersion(&v[0], &v[1], &v[2], &v[3]);
    host.checks.expect(v[0] == 1 && v[1] == 0 && v[2] == 0 && v[3] == 0, "version 1.0.0.0");
    std::int32_t revision = -1;
    api.zhGetZoleHeadDllVersion(nullptr, nullptr, &revision, nullptr);  // null pointers are skipped
    host.checks.equal(revision, 0, "version with null pointers");
}

void EverySlotEmptyBeforeAnyRead(Host& host) {
    for (std::int32_t i = 0; i < 16; ++i) {
        CanaryBuffer buf;
        host.checks.equal(host.api.zhGetZoleHeaderValue(i, buf.data(), 127), 0, "status before any read");
        host.checks.equal(buf.written(), std::string(128, '\0'), "value before any read: 127 NULs and the final NUL");
    }
}

void IdentifierGettersWriteExactBytes(Host& host) {
    const ZoleHeadExports& api = host.api;
    struct Case {
        const char* what;
        GetterFn getter;
        std::int32_t index, max_bytes;
        std::int32_t result;
        std::string bytes;  // everything written, final NUL included
    } cases[] = {
        {"label, count clamped to 18", api.zhGetZoleHeaderIdentA, 0, 100, 1, WithNuls(kTitleLabel, 19)},
        {"keyword cut at 3", api.zhGetZoleHeaderIdentB, 0, 3, 1, std::string("Tit\0", 4)},
        {"label cut inside a character", api.zhGetZoleHeaderIdentA, 0, 3, 1, std::string("\x8B\xC8\x96\0", 4)},
        {"longest label fills 18 bytes", api.zhGetZoleHeaderIdentA, 12, 18, 1, kZoleVersionLabel + '\0'},
        {"longest keyword, NUL-filled", api.zhGetZoleHeaderIdentB, 6, 18, 1, WithNuls("ComposedYear", 19)},
        {"keyword with a hyphen", api.zhGetZoleHeaderIdentB, 9, 18, 1, WithNuls("E-Mail", 19)},
        {"last row", api.zhGetZoleHeaderIdentB, 15, 7, 1, std::string("Comment\0", 8)},
        {"alias of the label getter", api.zhGetZoleHeaderIdent, 15, 18, 1, WithNuls(kCommentLabel, 19)},
        {"zero count writes one NUL", api.zhGetZoleHeaderIdentA, 1, 0, 1, std::string(1, '\0')},
        {"negative count writes one NUL", api.zhGetZoleHeaderIdentA, 1, -5, 1, std::string(1, '\0')},
        {"negative count, keyword", api.zhGetZoleHeaderIdentB, 1, -1, 1, std::string(1, '\0')},
        {"most negative count", api.zhGetZoleHeaderIdent, 2, INT32_MIN, 1, std::string(1, '\0')},
        {"index 16 writes nothing", api.zhGetZoleHeaderIdentA, 16, 18, 0, ""},
        {"index -1 writes nothing", api.zhGetZoleHeaderIdentB, -1, 18, 0, ""},
        {"most negative index writes nothing", api.zhGetZoleHeaderIdent, INT32_MIN, 18, 0, ""},
    };
    for (const Case& c : cases) {
        CanaryBuffer buf;
        host.checks.equal(c.getter(c.index, buf.data(), c.max_bytes), c.result, c.what);
        host.checks.equal(buf.written(), c.bytes, c.what);
    }
    // Every keyword in table order.
    const char* keywords[16] = {"Title",       "Genre",       "Composer",   "Lyricist",   "Arranger", "Artist",
                                "ComposedYear", "ZoledBy",     "DataDate",   "E-Mail",     "HomePage", "DataVersion",
                                "ZoleVersion", "MidiDevice", "Impression", "Comment"};
    for (std::int32_t i = 0; i < 16; ++i) {
        char buf[19];
        host.checks.equal(api.zhGetZoleHeaderIdentB(i, buf, 18), 1, "keyword row");
        host.checks.equal(std::string(buf), std::string(keywords[i]), "keyword of its row");
    }
}

void IdentIsTheLabelGetter(Host& host) {
    int mismatches = 0;
    for (std::int32_t index = -2; index <= 17; ++index) {
        for (std::int32_t max_bytes = -2; max_bytes <= 21; ++max_bytes) {
            CanaryBuffer a, b;
            if (host.api.zhGetZoleHeaderIdent(index, a.data(), max_bytes) !=
                    host.api.zhGetZoleHeaderIdentA(index, b.data(), max_bytes) ||
                a.bytes != b.bytes)
                ++mismatches;
        }
    }
    host.checks.equal(mismatches, 0, "zhGetZoleHeaderIdent matches zhGetZoleHeaderIdentA for every index and count");
}

void ValueGetterWritesExactBytes(Host& host) {
    ScratchDir dir;
    const std::string path = dir.write(L"values.zole", kTitleLabel + kColon + "Sakura\r\n*Genre '" + kHiraA + "x'");
    if (!host.checks.expect(!path.empty(), "write the value file")) return;
    host.checks.equal(host.api.zhGetZoleHeader(path.c_str()), 1, "read the value file");
    struct Case {
        const char* what;
        std::int32_t index, max_bytes;
        std::int32_t result;
        std::string bytes;
    } cases[] = {
        {"count clamped to 127", 0, 200, 1, WithNuls("Sakura", 128)},
        {"exact count", 0, 6, 1, std::string("Sakura\0", 7)},
        {"short count", 0, 4, 1, std::string("Saku\0", 5)},
        {"zero count still gives the status", 1, 0, 2, std::string(1, '\0')},
        {"negative count taken as zero", 1, -3, 2, std::string(1, '\0')},
        {"most negative count taken as zero", 1, INT32_MIN, 2, std::string(1, '\0')},
        {"cut inside a character leaves its lead byte", 1, 1, 2, std::string("\x82\0", 2)},
        {"whole double-byte value", 1, 3, 2, kHiraA + "x" + '\0'},
        {"empty slot", 5, 10, 0, std::string(11, '\0')},
        {"index 16 writes nothing", 16, 127, 0, ""},
        {"index -1 writes nothing", -1, 127, 0, ""},
    };
    for (const Case& c : cases) {
        CanaryBuffer buf;
        host.checks.equal(host.api.zhGetZoleHeaderValue(c.index, buf.data(), c.max_bytes), c.result, c.what);
        host.checks.equal(buf.written(), c.bytes, c.what);
    }
}

void NullBuffersAreRefused(Host& host) {
    const ZoleHeadExports& api = host.api;
    host.checks.equal(api.zhGetZoleHeaderIdent(0, nullptr, 18), 0, "zhGetZoleHeaderIdent with a null buffer");
    host.checks.equal(api.zhGetZoleHeaderIdentA(0, nullptr, 18), 0, "zhGetZoleHeaderIdentA with a null buffer");
    host.checks.equal(api.zhGetZoleHeaderIdentB(0, nullptr, 18), 0, "zhGetZoleHeaderIdentB with a null buffer");
    ScratchDir dir;
    const std::string path = dir.write(L"null.zole", "*Title 'x'");
    host.checks.equal(api.zhGetZoleHeader(path.c_str()), 1, "read before the null buffer");
    host.checks.equal(api.zhGetZoleHeaderValue(0, nullptr, 127), 0, "zhGetZoleHeaderValue with a null buffer");
}

}  // namespace

void RunGetterCases(Host& host) {
    EverySlotEmptyBeforeAnyRead(host);  // first: nothing has been read in this process yet
    SizesAndVersion(host);
    IdentifierGettersWriteExactBytes(host);
    IdentIsTheLabelGetter(host);
    ValueGetterWritesExactBytes(host);
    NullBuffersAreRefused(host);
}

}  // namespace zh_host
