// The request handling without a socket: who is let in, which endpoint
// answers, and what a bad body gets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "catalog_api.hpp"

namespace zolehead::serve {
namespace {

namespace fs = std::filesystem;

const std::string kToken(48, 'a');

class CatalogApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zolehead-api-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        top_ = pattern;
        fs::create_directories(top_ / "col");
        std::ofstream(top_ / "col" / "a.zole") << "*Title 'Alpha'\n*Genre 'Pop'\n";
        std::ofstream(top_ / "col" / "b.zole") << "*Title 'Beta'\n";
        std::ofstream(top_ / "secret.zole") << "*Title 'Secret'\n";
        std::string error;
        roots_.emplace(std::move(*ServedRoots::Resolve({(top_ / "col").string()}, error)));
        scanner_ = std::make_unique<BackgroundScanner>(ScanSettings{{(top_ / "col").string()}, true, {}, 2}, *roots_,
                                                       store_);
        ASSERT_TRUE(scanner_->start());
        scanner_->wait();
        api_ = std::make_unique<CatalogApi>(policy_, *roots_, store_, *scanner_, std::vector<std::string>{"col"},
                                            CatalogPage{"<html>page</html>", "default-src 'none'"});
    }
    void TearDown() override {
        api_.reset();
        scanner_.reset();
        fs::remove_all(top_);
    }

    HttpResponse send(std::string method, std::string path, HeaderList headers, std::string body = {}) {
        return api_->handle(HttpRequest{std::move(method), std::move(path), std::move(headers), std::move(body)});
    }
    // A request as the page makes it.
    HttpResponse ask(std::string method, std::string path, std::string body = {}) {
        HeaderList headers{{"Host", "127.0.0.1:8765"}, {"X-ZoleHead-Token", kToken}};
        if (!body.empty()) headers.emplace_back("Content-Type", "application/json");
        return send(std::move(method), std::move(path), std::move(headers), std::move(body));
    }

    fs::path top_;
    std::optional<ServedRoots> roots_;
    CatalogStore store_;
    std::unique_ptr<BackgroundScanner> scanner_;
    AccessPolicy policy_{kToken, "127.0.0.1", 8765};
    std::unique_ptr<CatalogApi> api_;
};

TEST_F(CatalogApiTest, WhoIsLetIn) {
    const std::string host = "127.0.0.1:8765";
    struct Case {
        const char* label;
        std::string path;
        HeaderList headers;
        int status;
    } cases[] = {
        {"the page without a token", "/", {{"Host", host}}, 200},
        {"the page by name", "/", {{"host", "Localhost:8765"}}, 200},
        {"the page for a rebound name", "/", {{"Host", "evil.example:8765"}}, 403},
        {"the page with no Host", "/", {}, 403},
        {"the page with two Hosts", "/", {{"Host", host}, {"Host", "evil.example"}}, 403},
        {"status with the token", "/api/status", {{"Host", host}, {"X-ZoleHead-Token", kToken}}, 200},
        {"header names in any case", "/api/status", {{"HOST", host}, {"x-zolehead-token", kToken}}, 200},
        {"status without the token", "/api/status", {{"Host", host}}, 403},
        {"status with a wrong token", "/api/status", {{"Host", host}, {"X-ZoleHead-Token", std::string(48, 'b')}}, 403},
        {"status with a longer token", "/api/status", {{"Host", host}, {"X-ZoleHead-Token", kToken + "a"}}, 403},
        {"the token and a rebound name", "/api/status", {{"Host", "evil.example:8765"}, {"X-ZoleHead-Token", kToken}},
         403},
        {"from this origin", "/api/status",
         {{"Host", host}, {"X-ZoleHead-Token", kToken}, {"Origin", "http://127.0.0.1:8765"}}, 200},
        {"from another origin", "/api/status",
         {{"Host", host}, {"X-ZoleHead-Token", kToken}, {"Origin", "http://evil.example"}}, 403},
        {"from an https origin of the same host", "/api/status",
         {{"Host", host}, {"X-ZoleHead-Token", kToken}, {"Origin", "https://127.0.0.1:8765"}}, 403},
        {"unknown endpoint, no token", "/api/secret", {{"Host", host}}, 403},
        {"unknown endpoint, token", "/api/secret", {{"Host", host}, {"X-ZoleHead-Token", kToken}}, 404},
    };
    for (const Case& c : cases) {
        const HttpResponse response = send("GET", c.path, c.headers);
        EXPECT_EQ(response.status, c.status) << c.label;
        if (c.status == 200 && c.path == "/") {
            EXPECT_EQ(response.body, "<html>page</html>") << c.label;
        }
        if (c.status != 200) {
            EXPECT_EQ(response.body.find("Alpha"), std::string::npos) << c.label;
        }
    }
}

TEST_F(CatalogApiTest, Endpoints) {
    struct Case {
        const char* label;
        std::string method;
        std::string path;
        std::string body;
        int status;
        std::string contains;
    } cases[] = {
        {"status", "GET", "/api/status", "", 200, "\"files\":2"},
        {"rows", "POST", "/api/rows", R"({"sort":"Title","descending":true})", 200, "Beta"},
        {"rows with no body", "POST", "/api/rows", "", 200, "Alpha"},
        {"a filter", "POST", "/api/rows", R"({"filter":"pop"})", 200, "\"matched\":1"},
        {"a file", "POST", "/api/file", R"({"path":")" + (top_ / "col" / "a.zole").string() + R"("})", 200, "Pop"},
        {"a file outside", "POST", "/api/file", R"({"path":")" + (top_ / "secret.zole").string() + R"("})", 403,
         "not inside"},
        {"a file by dot-dot", "POST", "/api/file",
         R"({"path":")" + (top_ / "col" / ".." / "secret.zole").string() + R"("})", 403, "not inside"},
        {"a row", "POST", "/api/file", R"({"row":1,"version":1})", 200, "Beta"},
        {"a row of an old version", "POST", "/api/file", R"({"row":1,"version":0})", 409, "version 1"},
        {"malformed JSON", "POST", "/api/rows", "{", 400, "not valid JSON"},
        {"a string, not an object", "POST", "/api/rows", "\"x\"", 400, "object"},
        {"a huge number", "POST", "/api/rows", R"({"offset":1e400})", 400, ""},
        {"a float offset", "POST", "/api/rows", R"({"offset":1.5})", 400, "offset"},
        {"a body too large", "POST", "/api/rows", std::string(kMaxBodyBytes + 1, ' '), 413, "larger"},
        {"rows by GET", "GET", "/api/rows", "", 405, "POST"},
        {"the page by POST", "POST", "/", "", 405, "GET"},
        {"rescan", "POST", "/api/rescan", "{}", 202, "started"},
    };
    for (const Case& c : cases) {
        const HttpResponse response = ask(c.method, c.path, c.body);
        EXPECT_EQ(response.status, c.status) << c.label << ": " << response.body;
        EXPECT_NE(response.body.find(c.contains), std::string::npos) << c.label << ": " << response.body;
        EXPECT_TRUE(nlohmann::json::accept(response.body)) << c.label;
    }
    scanner_->wait();
}

TEST_F(CatalogApiTest, EveryAnswerCarriesItsPolicy) {
    for (const std::string path : {"/", "/api/status", "/nothing"}) {
        const HttpResponse response = ask("GET", path);
        bool policy = false, nosniff = false;
        for (const auto& [name, value] : response.headers) {
            policy |= name == "Content-Security-Policy" && value.starts_with("default-src 'none'");
            nosniff |= name == "X-Content-Type-Options" && value == "nosniff";
        }
        EXPECT_TRUE(policy && nosniff) << path;
    }
}

}  // namespace
}  // namespace zolehead::serve
