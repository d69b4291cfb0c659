#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

// One HTTP request at a time with libcurl, as a calendar server is spoken to: TLS always verified,
// a timeout on every request, the answer's size capped, redirects followed by hand.
namespace memosync {

struct HttpOptions {
    std::string user;  // "" sends no credentials
    std::string password;
    std::string caFile;  // a CA added to the system's ones ("" for none)
    long connectSeconds = 10;
    long totalSeconds = 60;
    long lowSpeedSeconds = 30;  // an answer that brings less than a byte a second this long is cut
    std::size_t maxBody = std::size_t{64} << 20;
    std::size_t maxHeaders = std::size_t{64} << 10;
    int maxRedirects = 5;
};

struct HttpRequest {
    std::string method;
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

struct HttpResponse {
    long status = 0;                             // 0: no answer, see `error`
    std::map<std::string, std::string> headers;  // names in lower case, the last answer's only
    std::string body;
    std::string url;    // where the answer came from, after redirects
    std::string error;  // "" when an answer came
    // Returns the header `name` (lower case), "" when absent.
    [[nodiscard]] std::string Header(const std::string& name) const;
};

class HttpClient {
public:
    explicit HttpClient(HttpOptions options);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends `request` and returns the answer: redirects followed (never from https to http, the
    // credentials only to the origin they were given for), a Digest challenge answered once.
    HttpResponse Send(const HttpRequest& request);
    // Returns how many requests went to the network since the client was made.
    [[nodiscard]] int RequestCount() const { return requests_; }
    // Returns how many of them had the method `method` ("PUT", "REPORT", ...).
    [[nodiscard]] int RequestCount(const std::string& method) const;

private:
    HttpResponse SendOnce(const HttpRequest& request, bool withCredentials);

    HttpOptions options_;
    void* curl_ = nullptr;  // one handle, so that its connections are kept alive between requests
    bool digest_ = false;   // the server asked for Digest instead of Basic
    int requests_ = 0;
    std::map<std::string, int> requestsByMethod_;
};

// Returns the scheme, host and port of `url` ("https://host:443"), "" when it is no http(s) URL.
std::string OriginOf(const std::string& url);
// Returns `reference` resolved against `base` (an absolute URL, a path or a relative reference).
std::string ResolveUrl(const std::string& base, const std::string& reference);

}  // namespace memosync
