#include "http_server.hpp"

#include <httplib.h>

namespace zolehead::serve {

namespace {

// httplib refuses bodies past this with 413 before reading them; CatalogApi
// refuses smaller ones past its own limit, with a message.
constexpr std::size_t kWireBodyLimit = 4 * kMaxBodyBytes;

HttpRequest FromWire(const httplib::Request& wire) {
    HttpRequest request;
    request.method = wire.method;
    request.path = wire.path;
    for (const auto& [name, value] : wire.headers) request.headers.emplace_back(name, value);
    request.body = wire.body;
    return request;
}

void ToWire(HttpResponse response, httplib::Response& wire) {
    wire.status = response.status;
    for (auto& [name, value] : response.headers) wire.set_header(name.c_str(), value);
    if (!response.content_type.empty()) wire.set_content(std::move(response.body), response.content_type.c_str());
}

}  // namespace

struct HttpServer::Impl {
    httplib::Server server;
};

HttpServer::HttpServer() : impl_(std::make_unique<Impl>()) { impl_->server.set_payload_max_length(kWireBodyLimit); }

HttpServer::~HttpServer() = default;

int HttpServer::bind(const std::string& address, int port) {
    if (port != 0 && impl_->server.bind_to_port(address, port)) return port;
    return impl_->server.bind_to_any_port(address);
}

bool HttpServer::run(CatalogApi& api) {
    httplib::Server& server = impl_->server;
    const auto handler = [&api](const httplib::Request& wire, httplib::Response& out) {
        ToWire(api.handle(FromWire(wire)), out);
    };
    // Every path and method reaches CatalogApi, which routes and refuses.
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.Put(".*", handler);
    server.Patch(".*", handler);
    server.Delete(".*", handler);
    server.Options(".*", handler);
    return server.listen_after_bind();
}

void HttpServer::stop() { impl_->server.stop(); }

}  // namespace zolehead::serve
