// A real browser for the tests: Debian's headless Chromium, driven through
// its DevTools protocol on a pipe (--remote-debugging-pipe: requests on
// descriptor 3, answers on descriptor 4, each a JSON text ended by a zero
// byte), so a test can open a page, run a script in it and take a
// screenshot with nothing but the browser itself.
#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <string>

namespace e2e {

class Browser {
public:
    Browser() = default;
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // Starts /usr/bin/chromium headless with a fresh profile in folder (its
    // messages go to folder/chromium.log). False with the reason in error.
    bool start(const std::string& folder, std::string& error);

    // Opens url in a new page of width x height and waits for its load
    // event. False with the reason in error.
    bool open(const std::string& url, int width, int height, std::string& error);

    // The value of a JavaScript expression in the open page (a promise is
    // awaited); a JSON null with the reason in error when it threw.
    nlohmann::json evaluate(const std::string& expression, std::string& error);

    // Writes a PNG of the whole page to path. False with the reason in error.
    bool screenshot(const std::string& path, std::string& error);

private:
    // Sends a request (to the open page when session is set) and returns
    // its result, or the error object under "error".
    nlohmann::json call(const std::string& method, const nlohmann::json& params, bool toPage = true);
    bool readMessage(nlohmann::json& message, int timeoutMs);

    pid_t pid_ = 0;
    int toBrowser_ = -1, fromBrowser_ = -1;
    int nextId_ = 1;
    std::string session_;
    std::string pending_;
};

}  // namespace e2e
