#include "catalog_api.hpp"

#include <exception>
#include <new>

#include "api_json.hpp"
#include "file_detail.hpp"
#include "request_body.hpp"

namespace zolehead::serve {

namespace {

// What JSON answers may do in a browser: nothing.
constexpr std::string_view kDataPolicy = "default-src 'none'; frame-ancestors 'none'; sandbox";

HttpResponse Json(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.content_type = "application/json; charset=utf-8";
    response.body = std::move(body);
    return response;
}

HttpResponse Error(int status, const std::string& message) { return Json(status, ErrorJson(message)); }

bool IsJsonType(std::string_view type) {
    constexpr std::string_view kJson = "application/json";
    if (type.size() < kJson.size() || !EqualsIgnoringAsciiCase(type.substr(0, kJson.size()), kJson)) return false;
    type.remove_prefix(kJson.size());
    return type.empty() || type.front() == ';' || type.front() == ' ';
}

struct Route {
    std::string_view path;
    std::string_view method;
    HttpResponse (CatalogApi::*handler)(const HttpRequest&);
};

}  // namespace

CatalogApi::CatalogApi(const AccessPolicy& policy, const ServedRoots& roots, CatalogStore& store,
                       BackgroundScanner& scanner, std::vector<std::string> roots_as_given, CatalogPage page)
    : policy_(policy),
      roots_(roots),
      store_(store),
      scanner_(scanner),
      roots_as_given_(std::move(roots_as_given)),
      page_(page) {}

HttpResponse CatalogApi::handle(const HttpRequest& request) {
    HttpResponse response;
    try {
        response = route(request);
    } catch (const std::bad_alloc&) {
        response = Error(500, "out of memory");
    } catch (const std::exception& e) {
        response = Error(500, std::string("internal error: ") + e.what());
    }
    const bool page = response.content_type.starts_with("text/html");
    response.headers.emplace_back("Content-Security-Policy",
                                  std::string(page ? page_.content_security_policy : kDataPolicy));
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    response.headers.emplace_back("Referrer-Policy", "no-referrer");
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("Cross-Origin-Resource-Policy", "same-origin");
    response.headers.emplace_back("Cross-Origin-Opener-Policy", "same-origin");
    return response;
}

HttpResponse CatalogApi::route(const HttpRequest& request) {
    if (request.header_count("Host") != 1 || !policy_.host_allowed(request.header("Host"))) {
        return Error(403, "refused: this server answers only to http://" + policy_.hosts().front() + "/");
    }
    const bool reading = request.method == "GET" || request.method == "HEAD";
    if (request.path == "/") {
        if (!reading) {
            HttpResponse response = Error(405, "the page is only fetched with GET");
            response.headers.emplace_back("Allow", "GET, HEAD");
            return response;
        }
        HttpResponse response;
        response.content_type = "text/html; charset=utf-8";
        response.body = std::string(page_.html);
        return response;
    }
    if (request.header_count(kTokenHeader) != 1 || !policy_.token_matches(request.header(kTokenHeader))) {
        return Error(403, "missing or wrong access token: open the address that zolehead serve printed");
    }
    if (const std::size_t origins = request.header_count("Origin");
        origins > 1 || (origins == 1 && !policy_.origin_allowed(request.header("Origin")))) {
        return Error(403, "refused: a request from another site");
    }

    static constexpr Route kRoutes[] = {
        {"/api/status", "GET", &CatalogApi::status},
        {"/api/rows", "POST", &CatalogApi::rows},
        {"/api/file", "POST", &CatalogApi::file},
        {"/api/rescan", "POST", &CatalogApi::rescan},
    };
    for (const Route& route : kRoutes) {
        if (request.path != route.path) continue;
        const bool method_fits = route.method == "GET" ? reading : request.method == route.method;
        if (!method_fits) {
            HttpResponse response = Error(405, std::string(route.path) + " takes " + std::string(route.method));
            response.headers.emplace_back("Allow", route.method == "GET" ? "GET, HEAD" : std::string(route.method));
            return response;
        }
        if (reading) return (this->*route.handler)(request);
        if (request.body.size() > kMaxBodyBytes) {
            return Error(413, "the body is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
        }
        if (!request.body.empty() && !IsJsonType(request.header("Content-Type"))) {
            return Error(415, "the body must be sent as application/json");
        }
        return (this->*route.handler)(request);
    }
    return Error(404, "no such endpoint");
}

HttpResponse CatalogApi::status(const HttpRequest&) {
    const CatalogStore::Snapshot snapshot = store_.current();
    StatusFacts facts;
    facts.version = snapshot.version;
    facts.catalog = snapshot.catalog.get();
    facts.scan = scanner_.status();
    facts.roots = roots_as_given_;
    return Json(200, StatusJson(facts));
}

HttpResponse CatalogApi::rows(const HttpRequest& request) {
    const ParsedBody<RowsRequest> parsed = ParseRowsRequest(request.body);
    if (!parsed.value) return Error(400, parsed.error);
    const CatalogStore::Snapshot snapshot = store_.current();
    const std::shared_ptr<const RowList> rows = views_.rows(snapshot.catalog, snapshot.version, parsed.value->view);
    return Json(200, RowsJson(*snapshot.catalog, snapshot.version, *rows, parsed.value->offset, parsed.value->limit));
}

HttpResponse CatalogApi::file(const HttpRequest& request) {
    const ParsedBody<FileRequest> parsed = ParseFileRequest(request.body);
    if (!parsed.value) return Error(400, parsed.error);
    std::string path;
    if (parsed.value->path) {
        path = *parsed.value->path;
    } else {
        const CatalogStore::Snapshot snapshot = store_.current();
        if (parsed.value->version != snapshot.version) {
            return Error(409, "the catalog has been scanned again since: ask for the row of version " +
                                  std::to_string(snapshot.version));
        }
        if (parsed.value->row >= snapshot.catalog->size()) return Error(404, "no such row");
        path = std::string(snapshot.catalog->path(parsed.value->row));
    }
    const FileDetail detail = ReadFileDetail(roots_, path);
    if (!detail.ok()) {
        const int status = detail.refusal == PathRefusal::OUTSIDE     ? 403
                           : detail.refusal == PathRefusal::NOT_FOUND ? 404
                                                                      : 422;
        return Error(status, detail.reason());
    }
    return Json(200, DetailJson(path, detail));
}

HttpResponse CatalogApi::rescan(const HttpRequest& request) {
    const ParsedBody<bool> parsed = ParseEmptyRequest(request.body);
    if (!parsed.value) return Error(400, parsed.error);
    const bool started = scanner_.start();
    return Json(202, started ? R"({"started":true})" : R"({"started":false,"reason":"a scan is running"})");
}

}  // namespace zolehead::serve
