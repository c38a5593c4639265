// The ombrel command: `ombrel [OPTIONS] MODEL`, `ombrel --write-config FILE
// [OPTIONS] MODEL`, `ombrel render ...`, `ombrel thumbnail ...`, `ombrel
// info [--json] MODEL`, `ombrel list ARCHIVE`.
#pragma once

namespace frontend {

// The whole program: parses the command line (and the settings file) once,
// runs what it asks from the subcommand's own callback, and returns the exit
// code: 0 done, 2 bad input or usage, 1 a failure of the system (no run
// folder, no viewer, no display), else the viewer's own exit code. Every
// refusal and failure is reported here, in one place.
int ombrelMain(int argc, char** argv);

}  // namespace frontend
