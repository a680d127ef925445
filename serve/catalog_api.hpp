// The catalog's HTTP interface, as a function from request to response:
//
//   GET  /             the page (the one request that needs no token)
//   GET  /api/status   the scan's progress and the catalog's size
//   POST /api/rows     a window of rows of a filtered, sorted view
//   POST /api/file     one file read now: every field and its header lines
//   POST /api/rescan   starts a new scan (202); the page polls /api/status
//
// Every request must name this server in Host; all but the page must carry
// the access token in X-ZoleHead-Token and, if they carry an Origin, come
// from this server's own. Refusals are JSON {"error": "..."} with 400, 403,
// 404, 405, 409, 413, 415 or 422. Safe to call from many threads at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "access_policy.hpp"
#include "catalog_query.hpp"
#include "catalog_scan.hpp"
#include "catalog_store.hpp"
#include "http_types.hpp"
#include "served_roots.hpp"

namespace zolehead::serve {

inline constexpr std::string_view kTokenHeader = "X-ZoleHead-Token";
inline constexpr std::size_t kMaxBodyBytes = 1 << 20;

struct CatalogPage {
    std::string_view html;
    std::string_view content_security_policy;
};

class CatalogApi {
public:
    CatalogApi(const AccessPolicy& policy, const ServedRoots& roots, CatalogStore& store, BackgroundScanner& scanner,
               std::vector<std::string> roots_as_given, CatalogPage page);

    HttpResponse handle(const HttpRequest& request);

private:
    HttpResponse route(const HttpRequest& request);
    HttpResponse status(const HttpRequest& request);
    HttpResponse rows(const HttpRequest& request);
    HttpResponse file(const HttpRequest& request);
    HttpResponse rescan(const HttpRequest& request);

    const AccessPolicy& policy_;
    const ServedRoots& roots_;
    CatalogStore& store_;
    BackgroundScanner& scanner_;
    std::vector<std::string> roots_as_given_;
    CatalogPage page_;
    ViewCache views_;
};

}  // namespace zolehead::serve
