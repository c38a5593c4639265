#include "frontend/commands/info.h"

#include <ostream>

#include "frontend/base/report.h"
#include "frontend/inputs/inputs.h"
#include "frontend/scene/describe.h"

namespace frontend {

int describeModel(const std::string& text, bool json, std::ostream& out) {
    Inputs inputs;
    const FileRef file = inputs.locate(text);
    const ModelDescription d = describeBytes(text, inputs.read(file, kLargestInputFile, text), file);
    printDescription(d, json, out);
    // The account is printed whole first: what can be read of a refused model helps.
    if (!d.check.refusal.empty()) throw badInput(text, d.check.refusal);
    if (!d.check.nothingToDraw.empty()) throw badInput(text, "nothing to draw (" + d.check.nothingToDraw + ")");
    return 0;
}

}  // namespace frontend
