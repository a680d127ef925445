// The catalog on a socket: cpp-httplib carries requests to CatalogApi and
// its answers back. Everything the catalog decides is in CatalogApi; this is
// only the wire.
#pragma once

#include <memory>
#include <string>

#include "catalog_api.hpp"

namespace zolehead::serve {

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds `address` (numeric) on `port`; if that port is taken, or is 0,
    // on a free one. Returns the port bound, or -1 if none could be.
    int bind(const std::string& address, int port);
    // Answers with `api` until stop(); false if it could not listen.
    bool run(CatalogApi& api);
    // From any thread.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zolehead::serve
