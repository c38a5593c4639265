// `ombrel info`: what a modder wants to know about a model before opening it.
#pragma once

#include <iosfwd>
#include <string>

namespace frontend {

// Describes the model named by text (a path or ARCHIVE:PATH) on out. Throws
// a Failure when there is nothing to describe (a missing file, one that is
// not an IDP2 model at all), and, after printing the account, when the
// viewer would refuse the model.
int describeModel(const std::string& text, bool json, std::ostream& out);

}  // namespace frontend
