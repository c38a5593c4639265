// The ombrel command: `ombrel [OPTIONS] MODEL`, `ombrel --write-config FILE
// [OPTIONS] MODEL`, `ombrel info [--json] MODEL`, `ombrel list ARCHIVE`.
#pragma once

namespace frontend {

// The whole program: parses the command line (and the settings file),
// does what it asks and returns the exit code: 0 done, 2 bad input or
// usage, 1 a failure of the system (no run folder, no viewer), else the
// viewer's own exit code.
int ombrelMain(int argc, char** argv);

}  // namespace frontend
