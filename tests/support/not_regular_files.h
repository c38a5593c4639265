// For the tests that hand every reader something other than a regular file:
// a FIFO with no writer (opening it for reading the usual way waits for ever)
// and devices that never end (/dev/zero, /dev/urandom).
#pragma once

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// While it lives, the test program is ended by SIGALRM after `seconds`, so a
// reader that blocks in an open or a read fails the test at once instead of
// hanging the suite until its time-out.
class EndsWithin {
public:
    explicit EndsWithin(unsigned seconds) { alarm(seconds); }
    ~EndsWithin() { alarm(0); }
    EndsWithin(const EndsWithin&) = delete;
    EndsWithin& operator=(const EndsWithin&) = delete;
};

// Makes a FIFO at path; true when it exists.
inline bool makeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

// Devices that deliver bytes without end.
inline std::vector<std::string> endlessDevices() { return {"/dev/zero", "/dev/urandom"}; }

}  // namespace testsupport
