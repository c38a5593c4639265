#include "tests/support/browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace e2e {

namespace {

constexpr int kCallTimeoutMs = 60000;

std::vector<unsigned char> decodeBase64(const std::string& text) {
    std::vector<unsigned char> bytes;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        int digit;
        if (c >= 'A' && c <= 'Z') digit = c - 'A';
        else if (c >= 'a' && c <= 'z') digit = c - 'a' + 26;
        else if (c >= '0' && c <= '9') digit = c - '0' + 52;
        else if (c == '+') digit = 62;
        else if (c == '/') digit = 63;
        else continue;
        value = (value << 6) | unsigned(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<unsigned char>((value >> bits) & 0xFF));
        }
    }
    return bytes;
}

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool Browser::start(const std::string& folder, std::string& error) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        error = "no pipes";
        return false;
    }
    signal(SIGPIPE, SIG_IGN);  // a browser that died answers a write with an error, not a signal
    const std::string profile = "--user-data-dir=" + folder + "/profile";
    const std::string log = folder + "/chromium.log";
    pid_ = fork();
    if (pid_ == 0) {
        // The protocol's descriptors are 3 (requests) and 4 (answers);
        // moved out of the way first so neither overwrites the other.
        const int requests = fcntl(in[0], F_DUPFD, 10), answers = fcntl(out[1], F_DUPFD, 10);
        dup2(requests, 3);
        dup2(answers, 4);
        close(requests);
        close(answers);
        const int logFile = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (logFile >= 0) {
            dup2(logFile, 1);
            dup2(logFile, 2);
            close(logFile);
        }
        // No network at all: the machines the tests run on have none, and a
        // page from disk must need none.
        execl("/usr/bin/chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--disable-default-apps", "--disable-extensions", "--hide-scrollbars", "--mute-audio",
              "--remote-debugging-pipe", profile.c_str(), "about:blank", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toBrowser_ = in[1];
    fromBrowser_ = out[0];
    if (pid_ < 0) {
        error = "can't start chromium";
        return false;
    }
    const nlohmann::json version = call("Browser.getVersion", nlohmann::json::object(), false);
    if (!version.contains("product")) {
        error = "chromium did not answer (see " + log + "): " + version.dump();
        return false;
    }
    return true;
}

Browser::~Browser() {
    if (pid_ <= 0) return;
    call("Browser.close", nlohmann::json::object(), false);
    if (toBrowser_ >= 0) close(toBrowser_);
    const long long deadline = nowMs() + 10000;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (nowMs() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fromBrowser_ >= 0) close(fromBrowser_);
}

bool Browser::readMessage(nlohmann::json& message, int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t end = pending_.find('\0');
        if (end != std::string::npos) {
            message = nlohmann::json::parse(pending_.substr(0, end), nullptr, false);
            pending_.erase(0, end + 1);
            return !message.is_discarded();
        }
        const long long left = deadline - nowMs();
        if (left <= 0) return false;
        pollfd wait{fromBrowser_, POLLIN, 0};
        if (poll(&wait, 1, int(left)) <= 0) continue;
        char buffer[65536];
        const ssize_t n = read(fromBrowser_, buffer, sizeof buffer);
        if (n <= 0) return false;  // the browser is gone
        pending_.append(buffer, size_t(n));
    }
}

nlohmann::json Browser::call(const std::string& method, const nlohmann::json& params, bool toPage) {
    const int id = nextId_++;
    nlohmann::json request = {{"id", id}, {"method", method}, {"params", params}};
    if (toPage && !session_.empty()) request["sessionId"] = session_;
    const std::string text = request.dump() + '\0';
    for (size_t written = 0; written < text.size();) {
        const ssize_t n = write(toBrowser_, text.data() + written, text.size() - written);
        if (n <= 0) return {{"error", "can't write to the browser"}};
        written += size_t(n);
    }
    nlohmann::json message;
    while (readMessage(message, kCallTimeoutMs)) {
        if (!message.contains("id") || message["id"] != id) continue;  // an event, or another answer
        if (message.contains("error")) return {{"error", message["error"]}};
        return message.value("result", nlohmann::json::object());
    }
    return {{"error", method + ": no answer from the browser"}};
}

bool Browser::open(const std::string& url, int width, int height, std::string& error) {
    const nlohmann::json target = call("Target.createTarget", {{"url", "about:blank"}}, false);
    if (!target.contains("targetId")) {
        error = target.dump();
        return false;
    }
    const nlohmann::json attached =
        call("Target.attachToTarget", {{"targetId", target["targetId"]}, {"flatten", true}}, false);
    if (!attached.contains("sessionId")) {
        error = attached.dump();
        return false;
    }
    session_ = attached["sessionId"];
    call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
    const nlohmann::json navigated = call("Page.navigate", {{"url", url}});
    if (navigated.contains("error") || navigated.contains("errorText")) {
        error = navigated.dump();
        return false;
    }
    // Loaded: the page's own document, with everything it asked for.
    const std::string loaded =
        "document.readyState === 'complete' && location.href === " + nlohmann::json(url).dump();
    const long long deadline = nowMs() + kCallTimeoutMs;
    while (nowMs() < deadline) {
        std::string ignored;
        if (evaluate(loaded, ignored) == true) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = url + " did not finish loading";
    return false;
}

nlohmann::json Browser::evaluate(const std::string& expression, std::string& error) {
    const nlohmann::json result =
        call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    if (result.contains("error") || result.contains("exceptionDetails")) {
        error = result.dump();
        return nullptr;
    }
    return result["result"].value("value", nlohmann::json());
}

bool Browser::screenshot(const std::string& path, std::string& error) {
    const nlohmann::json metrics = call("Page.getLayoutMetrics", nlohmann::json::object());
    const nlohmann::json size = metrics.value("cssContentSize", nlohmann::json::object());
    nlohmann::json params = {{"format", "png"}, {"captureBeyondViewport", true}};
    if (size.contains("width"))
        params["clip"] = {{"x", 0}, {"y", 0}, {"width", size["width"]}, {"height", size["height"]}, {"scale", 1}};
    const nlohmann::json shot = call("Page.captureScreenshot", params);
    if (!shot.contains("data")) {
        error = shot.dump();
        return false;
    }
    const std::vector<unsigned char> bytes = decodeBase64(shot["data"].get<std::string>());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        error = "can't write " + path;
        return false;
    }
    return true;
}

}  // namespace e2e
