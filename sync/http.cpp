#include "sync/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

namespace memosync {
namespace {

std::string HeaderLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
    std::string result(text);
    curl_free(text);
    return result;
}

std::string SchemeOf(const std::string& url) {
    const UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
    return HeaderLower(UrlPart(handle.get(), CURLUPART_SCHEME));
}

// What the callbacks fill while one answer comes in.
struct Incoming {
    HttpResponse* response = nullptr;
    std::size_t maxBody = 0;
    std::size_t maxHeaders = 0;
    std::size_t headerBytes = 0;
    bool bodyTooLarge = false;
    bool headersTooLarge = false;
};

std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* in = static_cast<Incoming*>(user);
    const std::size_t bytes = size * count;
    if (in->response->body.size() + bytes > in->maxBody) {
        in->bodyTooLarge = true;
        return 0;  // libcurl aborts the transfer
    }
    in->response->body.append(data, bytes);
    return bytes;
}

std::size_t TakeHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* in = static_cast<Incoming*>(user);
    const std::size_t bytes = size * count;
    in->headerBytes += bytes;
    if (in->headerBytes > in->maxHeaders) {
        in->headersTooLarge = true;
        return 0;
    }
    std::string line(data, bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // A status line starts the headers of one more answer (an interim 100, an authentication round).
    if (line.rfind("HTTP/", 0) == 0) {
        in->response->headers.clear();
        return bytes;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos) return bytes;
    const std::string name = HeaderLower(line.substr(0, colon));
    std::string value = line.substr(colon + 1);
    const auto first = value.find_first_not_of(" \t");
    value = first == std::string::npos ? std::string() : value.substr(first);
    auto& slot = in->response->headers[name];
    slot = slot.empty() ? value : slot + ", " + value;
    return bytes;
}

struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

std::string HttpResponse::Header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

std::string OriginOf(const std::string& url) {
    const UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
    const std::string scheme = HeaderLower(UrlPart(handle.get(), CURLUPART_SCHEME));
    if (scheme != "http" && scheme != "https") return {};
    return scheme + "://" + HeaderLower(UrlPart(handle.get(), CURLUPART_HOST)) + ":" +
           UrlPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
    const UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) return {};
    // Given a handle that holds a URL, libcurl resolves a relative reference against it.
    if (curl_url_set(handle.get(), CURLUPART_URL, reference.c_str(), 0) != CURLUE_OK) return {};
    return UrlPart(handle.get(), CURLUPART_URL);
}

HttpClient::HttpClient(HttpOptions options) : options_(std::move(options)) {
    InitCurlOnce();
    curl_ = curl_easy_init();
}

HttpClient::~HttpClient() {
    if (curl_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

int HttpClient::RequestCount(const std::string& method) const {
    const auto found = requestsByMethod_.find(method);
    return found == requestsByMethod_.end() ? 0 : found->second;
}

HttpResponse HttpClient::Send(const HttpRequest& request) {
    HttpRequest current = request;
    const std::string credentialOrigin = OriginOf(request.url);
    if (credentialOrigin.empty()) {
        HttpResponse refused;
        refused.error = "not an http or https URL: " + request.url;
        return refused;
    }
    for (int hop = 0;; ++hop) {
        const bool credentials = !options_.user.empty() && OriginOf(current.url) == credentialOrigin;
        HttpResponse response = SendOnce(current, credentials);
        if (response.status == 401 && credentials && !digest_) {
            const std::string challenge = HeaderLower(response.Header("www-authenticate"));
            if (challenge.find("digest") != std::string::npos && challenge.find("basic") == std::string::npos) {
                digest_ = true;
                response = SendOnce(current, credentials);
            }
        }
        if (!IsRedirect(response.status)) return response;
        const std::string location = response.Header("location");
        if (location.empty()) return response;
        if (hop >= options_.maxRedirects) {
            response.status = 0;
            response.error = "more than " + std::to_string(options_.maxRedirects) + " redirects from " + request.url;
            return response;
        }
        const std::string next = ResolveUrl(current.url, location);
        const std::string scheme = SchemeOf(next);
        if (scheme != "http" && scheme != "https") {
            response.status = 0;
            response.error = "a redirect to something that is no http(s) URL: " + location;
            return response;
        }
        if (SchemeOf(current.url) == "https" && scheme != "https") {
            response.status = 0;
            response.error = "a redirect from https to http refused: " + next;
            return response;
        }
        if (response.status == 303 && current.method != "HEAD") {
            current.method = "GET";
            current.body.clear();
        }
        current.url = next;
    }
}

HttpResponse HttpClient::SendOnce(const HttpRequest& request, bool withCredentials) {
    HttpResponse response;
    response.url = request.url;
    auto* curl = static_cast<CURL*>(curl_);
    if (curl == nullptr) {
        response.error = "libcurl could not be started";
        return response;
    }
    // A reset clears the options and keeps the open connections.
    curl_easy_reset(curl);
    Incoming in{&response, options_.maxBody, options_.maxHeaders};

    curl_slist* raw = nullptr;
    for (const auto& [name, value] : request.headers) raw = curl_slist_append(raw, (name + ": " + value).c_str());
    // Without this libcurl waits for a "100 Continue" before a body, which costs a second on some servers.
    raw = curl_slist_append(raw, "Expect:");
    const std::unique_ptr<curl_slist, HeaderListDeleter> headerList(raw);

    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options_.caFile.empty()) {
        // Both set: OpenSSL trusts the system's CAs and the one the user gave.
        curl_easy_setopt(curl, CURLOPT_CAINFO, options_.caFile.c_str());
        curl_easy_setopt(curl, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options_.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, options_.totalSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options_.lowSpeedSeconds);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options_.maxBody));
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Velmora/1.0");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, TakeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &in);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, TakeHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &in);
    if (withCredentials) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, digest_ ? CURLAUTH_DIGEST : CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, options_.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, options_.password.c_str());
    }
    if (request.method == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else if (request.method == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        if (!request.body.empty() || request.method == "PUT") {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        }
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    ++requests_;
    ++requestsByMethod_[request.method];
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        response.status = 0;
        response.headers.clear();
        response.body.clear();
        if (in.bodyTooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            response.error =
                request.url + ": the answer is larger than " + std::to_string(options_.maxBody >> 20) + " MiB";
        } else if (in.headersTooLarge) {
            response.error = request.url + ": the answer's headers are larger than " +
                             std::to_string(options_.maxHeaders >> 10) + " KiB";
        } else if (code == CURLE_OPERATION_TIMEDOUT) {
            response.error = request.url + ": no whole answer in time (" + curl_easy_strerror(code) + ")";
        } else {
            response.error = request.url + ": " + curl_easy_strerror(code);
        }
        return response;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

}  // namespace memosync
