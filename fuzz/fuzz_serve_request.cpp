// The catalog server's request handling, without a socket: any method, path,
// headers and body reach CatalogApi over a small collection whose folder has
// a link leading out to a file that must never be read. Each answer must be
// one the API documents, JSON where it says so (and valid UTF-8), carry its
// security headers, refuse whatever lacks the Host or the token, and never
// hold the outside file's contents. Edits are let through (the scratch
// files inside may change) but the outside file must stay as it was, and
// an edit body the parser accepts must be one the editor can be given.
//
// The input: "PATH\nName: value\n...\n\nBODY", then a byte of flags (which
// valid headers to add, so that the checks behind them are reached) and a
// byte of method: FuzzedDataProvider takes its integers from the end. "@/" in the body stands for the scratch folder ("@/col/a.zole"),
// whose name changes from run to run.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "catalog_api.hpp"
#include "header_invariants.hpp"
#include "request_body.hpp"

namespace {

using namespace zolehead::serve;
using zh_fuzz::Require;

constexpr std::string_view kOutsideSecret = "OutsideSecret";
const std::string kSecretFile = "*Title '" + std::string(kOutsideSecret) + "'\n";

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What the edit endpoint promises of a body it accepts.
void CheckEditBody(std::string_view body) {
    const ParsedBody<EditRequest> parsed = ParseEditRequest(body);
    Require(parsed.value.has_value() != !parsed.error.empty(), "an edit body both accepted and refused");
    if (!parsed.value) return;
    const EditRequest& request = *parsed.value;
    Require(!request.items.empty(), "an accepted edit with no items");
    Require(!request.names_rows || request.version.has_value(), "rows accepted without a version");
    std::size_t files = 0;
    for (const EditItem& item : request.items) {
        Require(!item.targets.empty() && !item.changes.empty(), "an item without files or changes");
        bool seen[zolehead::kFieldCount] = {};
        for (const auto& change : item.changes) {
            Require(change.row >= 0 && change.row < zolehead::kFieldCount, "a change to no field");
            Require(!seen[change.row], "a field changed twice in one item");
            seen[change.row] = true;
            Require(change.value.size() <= kMaxValueBytes, "a value over the limit accepted");
        }
        files += item.targets.size();
    }
    Require(files == request.files && files <= kMaxEditFiles, "more files than one edit may name");
}
const std::string kToken(48, 'f');

// The served folder, its catalog and the API, made once for the whole run.
struct World {
    World() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zolehead-fuzz-serve-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        top = pattern;
        std::filesystem::create_directories(top / "col" / "sub");
        std::filesystem::create_directories(top / "outside");
        std::ofstream(top / "col" / "a.zole") << "*Title 'Alpha'\n*Genre 'Pop'\n";
        std::ofstream(top / "col" / "sub" / "b.zole", std::ios::binary) << "\x8B\xC8\x96\xBC\x81\x46\x8D\xF7\n";
        std::ofstream(top / "outside" / "secret.zole") << kSecretFile;
        std::filesystem::create_symlink("../outside/secret.zole", top / "col" / "link-out.zole");
        std::filesystem::create_symlink("../outside", top / "col" / "out-dir");
        std::string error;
        roots.emplace(std::move(*ServedRoots::Resolve({(top / "col").string()}, error)));
        scanner = std::make_unique<BackgroundScanner>(ScanSettings{{(top / "col").string()}, true, {}, 1}, *roots, store);
        scanner->start();
        scanner->wait();
        api = std::make_unique<CatalogApi>(policy, *roots, store, *scanner, std::vector<std::string>{"col"},
                                           CatalogPage{"<html></html>", "default-src 'none'"});
    }
    ~World() {
        api.reset();
        scanner.reset();
        std::error_code ignored;
        std::filesystem::remove_all(top, ignored);
    }

    // Whether a regular file inside the served folder (links not followed) holds the secret text.
    bool inside_holds_secret() const {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top / "col", error)) {
            if (entry.is_symlink() || !entry.is_regular_file()) continue;
            if (ReadAll(entry.path()).find(kOutsideSecret) != std::string::npos) return true;
        }
        return false;
    }

    std::filesystem::path top;
    std::optional<ServedRoots> roots;
    CatalogStore store;
    std::unique_ptr<BackgroundScanner> scanner;
    AccessPolicy policy{kToken, "127.0.0.1", 8765};
    std::unique_ptr<CatalogApi> api;
};

bool IsDocumentedStatus(int status) {
    switch (status) {
    case 200: case 202: case 400: case 403: case 404: case 405: case 409: case 413: case 415: case 422: return true;
    default: return false;
    }
}

bool HasHeader(const HttpResponse& response, std::string_view name) {
    for (const auto& [key, value] : response.headers) {
        if (key == name && !value.empty()) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    FuzzedDataProvider input(data, size);
    static constexpr const char* kMethods[] = {"GET", "POST", "HEAD", "PUT", "DELETE", "OPTIONS", "PATCH", "get"};
    HttpRequest request;
    request.method = kMethods[input.ConsumeIntegralInRange<std::size_t>(0, 7)];
    const auto flags = input.ConsumeIntegral<std::uint8_t>();
    const std::string rest = input.ConsumeRemainingBytesAsString();

    // "PATH\nName: value\n...\n\nBODY"
    std::size_t at = rest.find('\n');
    request.path = rest.substr(0, at);
    while (at != std::string::npos && at + 1 < rest.size() && rest[at + 1] != '\n') {
        const std::size_t end = rest.find('\n', at + 1);
        const std::string line = rest.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(line.substr(0, colon), line.substr(colon + 1 + (line.size() > colon + 1 && line[colon + 1] == ' ')));
        }
        at = end;
    }
    if (at != std::string::npos && at + 2 <= rest.size()) request.body = rest.substr(at + 2);
    const std::string scratch = world.top.string() + "/";
    for (std::size_t mark = request.body.find("@/"); mark != std::string::npos;
         mark = request.body.find("@/", mark + scratch.size())) {
        request.body.replace(mark, 2, scratch);
    }
    if (flags & 1) request.headers.emplace_back("Host", "127.0.0.1:8765");
    if (flags & 2) request.headers.emplace_back("X-ZoleHead-Token", kToken);
    if (flags & 4) request.headers.emplace_back("Content-Type", "application/json");
    if (flags & 8) request.headers.emplace_back("Origin", "http://localhost:8765");
    if (flags & 16) request.path = std::string("/api/") + (flags & 32 ? "file" : "rows");
    if (flags & 64) request.path = "/api/edit";
    CheckEditBody(request.body);

    const bool secret_inside_before = world.inside_holds_secret();
    const HttpResponse response = world.api->handle(request);

    Require(IsDocumentedStatus(response.status), "an undocumented status (500: an exception escaped a handler)");
    Require(HasHeader(response, "Content-Security-Policy") && HasHeader(response, "X-Content-Type-Options"),
            "an answer without its security headers");
    // Echoed back in an error message is no leak: only a secret the request did not carry counts,
    // and only while no file inside held it, before or after (an earlier input's edit may have
    // written it there, and an edit answers with the value it replaced).
    const bool asked = rest.find(kOutsideSecret) != std::string::npos;
    Require(asked || response.body.find(kOutsideSecret) == std::string::npos || secret_inside_before ||
                world.inside_holds_secret(),
            "the file outside the served folder was read");
    if (response.content_type.starts_with("application/json")) {
        Require(nlohmann::json::accept(response.body), "an answer that is not JSON (or not UTF-8)");
    }
    const bool host_ok = request.header_count("Host") == 1 && world.policy.host_allowed(request.header("Host"));
    const bool token_ok =
        request.header_count("X-ZoleHead-Token") == 1 && world.policy.token_matches(request.header("X-ZoleHead-Token"));
    if (!host_ok || (request.path != "/" && !token_ok)) Require(response.status == 403, "let in without Host or token");
    if (response.status == 200 && request.path != "/") Require(token_ok && host_ok, "data without the token");
    // A rescan runs on a thread: let it end, so that runs stay independent.
    world.scanner->wait();
    Require(ReadAll(world.top / "outside" / "secret.zole") == kSecretFile, "the file outside was written");
    return 0;
}
