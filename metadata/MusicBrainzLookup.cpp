#include "metadata/MusicBrainzLookup.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "base/Text.h"

namespace sv {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Whom the MusicBrainz operators can reach about this program's requests:
// the build's SORNAVAL_CONTACT (see metadata/CMakeLists.txt), empty unless
// whoever builds the program names a web or mail address there.
constexpr const char* kContact = SORNAVAL_CONTACT;

// How often a wait processes events and looks for a cancel request.
constexpr milliseconds kSlice{20};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

enum class WaitEnd { Reached, Cancelled };

WaitEnd WaitUntil(Clock::time_point until, IEventPump* pump) {
    for (;;) {
        if (pump) {
            pump->ProcessPendingEvents();
            if (pump->CancelRequested()) return WaitEnd::Cancelled;
        }
        const auto now = Clock::now();
        if (now >= until) return WaitEnd::Reached;
        std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, until - now));
    }
}

// The process's request times: a request may start `intervalMs` after the
// one before it at the earliest. Takes the earliest start at or after now for
// a new request, unless it lies beyond `deadline`.
std::optional<Clock::time_point> ReserveRequestTime(int intervalMs, Clock::time_point deadline) {
    static std::mutex mutex;
    static std::optional<Clock::time_point> last;
    std::lock_guard<std::mutex> lock(mutex);
    auto start = Clock::now();
    if (last) start = std::max(start, *last + milliseconds(std::max(intervalMs, 0)));
    if (start > deadline) return std::nullopt;
    last = start;
    return start;
}

// What arrives of one reply.
struct Transfer {
    std::string body;
    std::size_t limit = 0;
    bool tooLarge = false;
    int retryAfterSeconds = -1;  // the Retry-After header in seconds; -1: none
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (n > transfer->limit - transfer->body.size()) {
        transfer->tooLarge = true;
        return 0;  // anything but n stops the transfer
    }
    transfer->body.append(data, n);
    return n;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    constexpr std::string_view kRetryAfter = "retry-after:";
    if (line.starts_with("HTTP/")) {
        transfer->retryAfterSeconds = -1;  // the headers of a new reply (after a redirect)
    } else if (line.size() > kRetryAfter.size() && AsciiLower(line.substr(0, kRetryAfter.size())) == kRetryAfter) {
        // Seconds; the other form, an HTTP date, counts as none.
        const std::string value = Trim(line.substr(kRetryAfter.size()));
        if (!value.empty() && value.size() <= 6 &&
            std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            transfer->retryAfterSeconds = std::stoi(value);
    }
    return size * count;
}

// One GET with its libcurl handles, freed in the right order.
class CurlGet {
public:
    CurlGet() : multi_(curl_multi_init()), easy_(curl_easy_init()) {}
    ~CurlGet() {
        if (added_) curl_multi_remove_handle(multi_, easy_);
        if (easy_) curl_easy_cleanup(easy_);
        if (multi_) curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    CurlGet(const CurlGet&) = delete;
    CurlGet& operator=(const CurlGet&) = delete;

    struct Outcome {
        bool cancelled = false;
        CURLcode code = CURLE_OK;
        long status = 0;
        std::string detail;  // libcurl's own words about a failure
    };

    Outcome Run(const std::string& url, const MbLookupOptions& options, Clock::time_point deadline,
                IEventPump* pump, Transfer& transfer) {
        Outcome out;
        if (!multi_ || !easy_) {
            out.code = CURLE_FAILED_INIT;
            return out;
        }
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        const long timeoutMs = static_cast<long>(std::max<long long>(left, 1));
        const std::string userAgent = MusicBrainzUserAgent();
        headers_ = curl_slist_append(headers_, "Accept: application/json");
        curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(easy_, CURLOPT_USERAGENT, userAgent.c_str());
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, timeoutMs);
        curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
        curl_easy_setopt(easy_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(transfer.limit));
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, OnBody);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(easy_, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errors_);
        // An empty proxy name also keeps libcurl from taking one from the environment.
        const CddbProxy& proxy = options.proxy;
        curl_easy_setopt(easy_, CURLOPT_PROXY, proxy.host.c_str());
        if (!proxy.host.empty()) {
            curl_easy_setopt(easy_, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
            curl_easy_setopt(easy_, CURLOPT_PROXYPORT, static_cast<long>(proxy.port > 0 ? proxy.port : 80));
            if (!proxy.user.empty()) {
                curl_easy_setopt(easy_, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
                curl_easy_setopt(easy_, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
            }
        }
        if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
            out.code = CURLE_FAILED_INIT;
            return out;
        }
        added_ = true;
        // The multi interface hands control back every slice, so that a window
        // stays responsive while the server is silent (libcurl's progress
        // callback slows down to one call a second then).
        for (int running = 1; running;) {
            if (curl_multi_perform(multi_, &running) != CURLM_OK) {
                out.code = CURLE_FAILED_INIT;
                return out;
            }
            if (!running) break;
            curl_multi_poll(multi_, nullptr, 0, static_cast<int>(kSlice.count()), nullptr);
            if (pump) {
                pump->ProcessPendingEvents();
                if (pump->CancelRequested()) {
                    out.cancelled = true;
                    return out;
                }
            }
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued))
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) out.code = message->data.result;
        curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &out.status);
        out.detail = errors_;
        return out;
    }

private:
    CURLM* multi_;
    CURL* easy_;
    curl_slist* headers_ = nullptr;
    bool added_ = false;
    char errors_[CURL_ERROR_SIZE] = {};
};

std::string Seconds(long long ms) { return std::to_string((ms + 999) / 1000) + " s"; }

// The message for a transfer that failed with `code`.
std::string TransferFailure(const CurlGet::Outcome& outcome, const Transfer& transfer, const std::string& server,
                            const MbLookupOptions& options, int timeoutMs) {
    const std::string proxy = options.proxy.host + ":" + std::to_string(options.proxy.port);
    const std::string detail = outcome.detail.empty() ? curl_easy_strerror(outcome.code) : outcome.detail;
    if (transfer.tooLarge || outcome.code == CURLE_FILESIZE_EXCEEDED)
        return "the reply of " + server + " is larger than " + std::to_string(options.maxReplyBytes) + " bytes";
    switch (outcome.code) {
    case CURLE_OPERATION_TIMEDOUT: return server + " did not answer within " + Seconds(timeoutMs);
    case CURLE_COULDNT_RESOLVE_HOST: return "the name of " + server + " could not be resolved";
    case CURLE_COULDNT_RESOLVE_PROXY: return "the name of the proxy " + proxy + " could not be resolved";
    case CURLE_COULDNT_CONNECT:
        return options.proxy.host.empty() ? "no connection to " + server : "no connection to the proxy " + proxy;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT: return "\"" + options.baseUrl + "\" is not an http or https address";
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED: return "the secure connection to " + server + " failed: " + detail;
    default: return "the request to " + server + " failed: " + detail;
    }
}

int AudioTrackCount(const DiscToc& toc) {
    int count = 0;
    for (std::size_t i = 0; i < toc.trackStarts.size(); ++i) count += toc.IsData(i) ? 0 : 1;
    return count;
}

}  // namespace

std::string MusicBrainzUserAgent() {
    std::string agent = std::string("Sornaval/") + SORNAVAL_VERSION;
    if (*kContact) agent += std::string(" ( ") + kContact + " )";
    return agent;
}

std::string MusicBrainzRequestTarget(const MbToc& toc) {
    return "/ws/2/discid/" + MusicBrainzDiscId(toc) + "?inc=artist-credits+recordings&fmt=json&cdstubs=no&toc=" +
           MusicBrainzTocText(toc);
}

MbLookupResult LookupMusicBrainz(const DiscToc& toc, const MbLookupOptions& options, IEventPump* pump) {
    using Status = MbLookupResult::Status;
    MbLookupResult result;
    const int timeoutMs = options.timeoutMs > 0 ? options.timeoutMs : kDefaultMbTimeoutMs;
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    const auto fail = [&](Status status, std::string message) {
        result.status = status;
        result.message = std::move(message);
        return result;
    };
    const auto mb = MusicBrainzToc(toc);
    if (!mb) return fail(Status::Failed, "the disc has no audio track to look up");
    result.discId = MusicBrainzDiscId(*mb);
    std::string base = options.baseUrl;
    while (!base.empty() && base.back() == '/') base.pop_back();
    const std::string server = "MusicBrainz (" + base + ")";
    const std::string url = base + MusicBrainzRequestTarget(*mb);
    InitCurlOnce();

    Transfer transfer;
    for (int attempt = 0;; ++attempt) {
        const auto start = ReserveRequestTime(options.requestIntervalMs, deadline);
        if (!start)
            return fail(Status::Failed, "the time-out of " + Seconds(timeoutMs) + " ended before " + server +
                                            " could be asked (one request a second)");
        if (WaitUntil(*start, pump) == WaitEnd::Cancelled) return fail(Status::Cancelled, "cancelled");
        transfer = Transfer{};
        transfer.limit = options.maxReplyBytes;
        CurlGet get;
        const CurlGet::Outcome outcome = get.Run(url, options, deadline, pump, transfer);
        if (outcome.cancelled) return fail(Status::Cancelled, "cancelled");
        if (outcome.code != CURLE_OK)
            return fail(Status::Failed, TransferFailure(outcome, transfer, server, options, timeoutMs));
        result.httpStatus = static_cast<int>(outcome.status);
        if (result.httpStatus != 503) break;
        if (attempt > 0)
            return fail(Status::Failed, server + " is busy (HTTP 503) and refused the request twice; try again later");
        // Too many requests: once more after the delay the server asks for (a
        // second when it names none), at most kMaxMbRetryAfterMs.
        const long long waitMs =
            transfer.retryAfterSeconds < 0 ? 1000 : std::min<long long>(transfer.retryAfterSeconds * 1000LL, kMaxMbRetryAfterMs);
        const auto retry = Clock::now() + milliseconds(waitMs);
        if (retry > deadline)
            return fail(Status::Failed, server + " is busy (HTTP 503) and asks to wait longer than the time-out");
        if (WaitUntil(retry, pump) == WaitEnd::Cancelled) return fail(Status::Cancelled, "cancelled");
    }

    if (result.httpStatus == 404) return fail(Status::NotFound, server + " knows no release of this disc");
    if (result.httpStatus != 200) {
        std::string message = server + " answered with HTTP status " + std::to_string(result.httpStatus);
        if (const std::string text = MusicBrainzErrorText(transfer.body); !text.empty()) message += ": " + text;
        return fail(Status::Failed, message);
    }
    std::string error;
    auto reply = ParseMusicBrainzReply(transfer.body, result.discId, AudioTrackCount(toc), error);
    if (!reply) return fail(Status::Failed, "the reply of " + server + " could not be read: " + error);
    if (reply->releases.empty()) return fail(Status::NotFound, server + " knows no release of this disc");
    result.status = Status::Found;
    result.fuzzy = reply->fuzzy;
    result.releases = std::move(reply->releases);
    return result;
}

}  // namespace sv
