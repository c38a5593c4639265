// `ombrel MODEL`: the model shown in the viewer, which reads what it shows
// from a run folder made for it; and `ombrel --write-config FILE MODEL`, the
// same record written for running the viewer by hand.
#pragma once

#include <string>

#include "frontend/base/options.h"

namespace frontend {

// Starts the viewer on the model and waits for it; its exit status (128 +
// the signal that ended it). Throws a Failure.
int showInViewer(const ViewOptions& options);

// Writes the viewer's record to recordFile, with what it needs on disk in
// recordFile.files; 0. Throws a Failure.
int writeViewerRecord(const ViewOptions& options, const std::string& recordFile);

}  // namespace frontend
