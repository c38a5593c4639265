// `ombrel info` and `ombrel list`: what a modder wants to know about a model
// before opening it, and which models an archive holds.
#pragma once

#include <iosfwd>
#include <string>

namespace frontend {

// Describes the model named by text (a path or ARCHIVE:PATH) on out, as
// text or as one JSON object. Returns 0, or 2 when the viewer would refuse
// the model (the report still says what could be read, and errors gets the
// one line). Throws BadInput when there is nothing to describe: a missing
// file, or one that is not an IDP2 model at all.
int describeModel(const std::string& text, bool json, std::ostream& out, std::ostream& errors);

// Prints the members of the archive that are IDP2 models, one a line, and
// one line on errors when the archive's directory holds entries it leaves
// out. Throws BadInput when the archive can't be read.
int listModels(const std::string& archivePath, std::ostream& out, std::ostream& errors);

}  // namespace frontend
