// `ombrel list`: which models an archive holds.
#pragma once

#include <iosfwd>
#include <string>

namespace frontend {

// Prints the members of the archive that are IDP2 models, one a line, and
// reports one line when its directory holds entries that are left out.
// Throws a Failure when the archive can't be read.
int listModels(const std::string& archivePath, std::ostream& out);

}  // namespace frontend
