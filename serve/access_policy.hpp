// Who may talk to the server. A browser page of any other site can send
// requests to a local port; these checks make them fail:
//   - the Host header must name the address the server listens on (or
//     localhost when that is a loopback address), with the port, so a
//     hostile name rebound to 127.0.0.1 (DNS rebinding) is refused;
//   - an Origin header, when present, must be this server's own;
//   - every request but the page itself carries the access token, which
//     only the person who started the server has seen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zolehead::serve {

// 24 random bytes from the kernel, in lower-case hex. Throws
// std::system_error if the kernel gives none.
std::string NewAccessToken();

// Whether a and b are equal, taking the same time wherever they differ.
bool SameSecret(std::string_view a, std::string_view b) noexcept;

// "127.0.0.1:8765", "[::1]:8765": an address and port as a URL names them.
std::string HostPort(std::string_view address, int port);

class AccessPolicy {
public:
    // `address` is the numeric address listened on.
    AccessPolicy(std::string token, std::string_view address, int port);

    const std::string& token() const noexcept { return token_; }
    // The Host values answered to, lower case, the URL's own first.
    const std::vector<std::string>& hosts() const noexcept { return hosts_; }

    bool host_allowed(std::string_view host) const noexcept;
    bool origin_allowed(std::string_view origin) const noexcept;
    bool token_matches(std::string_view presented) const noexcept;

private:
    std::string token_;
    std::vector<std::string> hosts_;
};

// Whether a numeric address is a loopback one (127.0.0.0/8, ::1).
bool IsLoopbackAddress(std::string_view address) noexcept;

}  // namespace zolehead::serve
