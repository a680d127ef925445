#include "serve.hpp"

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <mutex>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>

#include "access_policy.hpp"
#include "catalog_api.hpp"
#include "catalog_page.hpp"
#include "catalog_scan.hpp"
#include "catalog_store.hpp"
#include "http_server.hpp"
#include "served_roots.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::serve {

namespace {

constexpr int kExitStopped = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Why an address cannot be listened on, or nothing.
std::optional<std::string> CheckListenAddress(const std::string& address) {
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        if (v4.s_addr == htonl(INADDR_ANY)) {
            return "--listen needs the address the browser will use, not 0.0.0.0: the Host check must know it";
        }
        return std::nullopt;
    }
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_UNSPECIFIED(&v6)) {
            return "--listen needs the address the browser will use, not ::: the Host check must know it";
        }
        return std::nullopt;
    }
    return "--listen takes a numeric IPv4 or IPv6 address, not '" + address + "'";
}

// Why a root cannot be served, or nothing.
std::optional<std::string> CheckRoot(const std::string& root, bool recursive) {
    struct stat st;
    if (stat(root.c_str(), &st) != 0) return root + ": " + std::strerror(errno);
    if (S_ISDIR(st.st_mode) && !recursive) return root + ": a folder is served with -r (every file under it)";
    return std::nullopt;
}

// Stop signals are taken by one thread with sigwait, so the server stops
// cleanly rather than in the middle of an answer.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigaddset(&set_, SIGHUP);
        // Before any thread starts, so that every thread inherits the mask.
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
        signal(SIGPIPE, SIG_IGN);
    }
    // Whatever `stop` refers to must outlive this object or the next call to
    // closing(); a signal that comes later only wakes the waiter.
    ~StopSignals() {
        closing();
        if (waiter_.joinable()) {
            pthread_kill(waiter_.native_handle(), SIGTERM);
            waiter_.join();
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    template <class F>
    void on_signal(F stop) {
        waiter_ = std::thread([this, stop] {
            int signal_number = 0;
            sigwait(&set_, &signal_number);
            const std::lock_guard<std::mutex> lock(mutex_);
            if (closing_) return;
            fired_ = true;
            stop();
        });
    }
    // Whether a signal asked the server to stop.
    bool fired() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return fired_;
    }
    // From here on a signal stops nothing.
    void closing() {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }

private:
    sigset_t set_{};
    sigset_t previous_{};
    std::mutex mutex_;
    bool closing_ = false;
    bool fired_ = false;
    std::thread waiter_;
};

}  // namespace

int Serve(const ServeOptions& options, std::FILE* out, std::FILE* err) {
    for (const std::string& root : options.roots) {
        if (const std::optional<std::string> problem = CheckRoot(root, options.recursive)) {
            std::fprintf(err, "zolehead serve: %s\n", problem->c_str());
            return kExitUsage;
        }
    }
    if (const std::optional<std::string> problem = CheckListenAddress(options.listen)) {
        std::fprintf(err, "zolehead serve: %s\n", problem->c_str());
        return kExitUsage;
    }
    std::string problem;
    const std::optional<ServedRoots> roots = ServedRoots::Resolve(options.roots, problem);
    if (!roots) {
        std::fprintf(err, "zolehead serve: %s\n", problem.c_str());
        return kExitUsage;
    }
    std::string token;
    try {
        collection::ShiftJisDecoder check;  // a C library without CP932 stops here, not mid-scan
        token = NewAccessToken();
    } catch (const std::exception& e) {
        std::fprintf(err, "zolehead serve: %s\n", e.what());
        return kExitFailed;
    }

    StopSignals signals;
    CatalogStore store;
    ScanSettings settings{options.roots, options.recursive, options.extensions, options.jobs};
    BackgroundScanner scanner(std::move(settings), *roots, store, [err](const ScanStatus& done) {
        if (done.failure.empty()) {
            std::fprintf(err, "zolehead serve: scanned %llu files (%llu could not be read, %llu passed over) in %.1f s\n",
                         static_cast<unsigned long long>(done.read), static_cast<unsigned long long>(done.failed),
                         static_cast<unsigned long long>(done.skipped), done.seconds);
        } else {
            std::fprintf(err, "zolehead serve: the scan failed: %s\n", done.failure.c_str());
        }
    });

    HttpServer server;
    const int port = server.bind(options.listen, options.port);
    if (port <= 0) {
        std::fprintf(err, "zolehead serve: cannot listen on %s\n", options.listen.c_str());
        return kExitFailed;
    }
    const AccessPolicy policy(token, options.listen, port);
    CatalogApi api(policy, *roots, store, scanner, options.roots, CatalogPage{kCatalogPageHtml, kCatalogPagePolicy});

    std::fprintf(out, "http://%s/?token=%s\n", policy.hosts().front().c_str(), token.c_str());
    std::fflush(out);
    if (options.port != 0 && port != options.port) {
        std::fprintf(err, "zolehead serve: port %d is taken; serving on port %d\n", options.port, port);
    }
    std::fprintf(err, "zolehead serve: serving %zu path%s; open the address above (Ctrl+C stops)\n",
                 options.roots.size(), options.roots.size() == 1 ? "" : "s");
    scanner.start();
    signals.on_signal([&server] { server.stop(); });
    const bool listened = server.run(api);
    signals.closing();  // the server goes out of scope before the signal waiter
    // A signal that came before listening began stops it as well, not a failure.
    return listened || signals.fired() ? kExitStopped : kExitFailed;
}

}  // namespace zolehead::serve
