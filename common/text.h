// Text as the programs pass it on: letter case ignored the ASCII way (names
// from games and models), bytes made safe for an address or a message.
#pragma once

#include <cstddef>
#include <string>

std::string lowerAscii(std::string text);
bool equalIgnoringCase(const std::string& a, const std::string& b);

// Text as it may stand in a URI's path: every byte but letters, digits,
// '-', '.', '_', '~' and those in kept percent-encoded ("a b#" -> "a%20b%23").
std::string percentEncoded(const std::string& text, const std::string& kept = "");

// Text fit for a one-line message: bytes outside printable ASCII, and '\',
// as \xNN; the first `most` bytes of it, "..." after the rest.
std::string escapedBytes(const std::string& text, size_t most);
