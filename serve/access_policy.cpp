#include "access_policy.hpp"

#include <arpa/inet.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "http_types.hpp"

namespace zolehead::serve {

std::string NewAccessToken() {
    unsigned char bytes[24];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "no random bytes for the access token");
        }
        got += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 15];
    }
    return token;
}

bool SameSecret(std::string_view a, std::string_view b) noexcept {
    // The length is no secret (always 48); the bytes are.
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string HostPort(std::string_view address, int port) {
    // Built by appending: g++ 12 warns falsely (-Wrestrict) on "[" + string.
    const bool ipv6 = address.find(':') != std::string_view::npos;
    std::string host;
    if (ipv6) host += '[';
    host += address;
    if (ipv6) host += ']';
    host += ':';
    host += std::to_string(port);
    return host;
}

bool IsLoopbackAddress(std::string_view address) noexcept {
    const std::string text(address);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

AccessPolicy::AccessPolicy(std::string token, std::string_view address, int port) : token_(std::move(token)) {
    hosts_.push_back(HostPort(address, port));
    if (IsLoopbackAddress(address)) hosts_.push_back("localhost:" + std::to_string(port));
    // Port 80 may be left out of a Host header.
    if (port == 80) {
        const std::size_t n = hosts_.size();
        for (std::size_t i = 0; i < n; ++i) hosts_.push_back(hosts_[i].substr(0, hosts_[i].rfind(':')));
    }
}

bool AccessPolicy::host_allowed(std::string_view host) const noexcept {
    for (const std::string& allowed : hosts_) {
        if (EqualsIgnoringAsciiCase(host, allowed)) return true;
    }
    return false;
}

bool AccessPolicy::origin_allowed(std::string_view origin) const noexcept {
    constexpr std::string_view kScheme = "http://";
    if (origin.size() <= kScheme.size() || !EqualsIgnoringAsciiCase(origin.substr(0, kScheme.size()), kScheme)) {
        return false;
    }
    return host_allowed(origin.substr(kScheme.size()));
}

bool AccessPolicy::token_matches(std::string_view presented) const noexcept { return SameSecret(presented, token_); }

}  // namespace zolehead::serve
