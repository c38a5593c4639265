#include "frontend/commands/info.h"

#include <optional>
#include <ostream>

#include "frontend/base/report.h"
#include "frontend/inputs/inputs.h"
#include "frontend/inputs/skins.h"
#include "frontend/scene/describe.h"

namespace frontend {

int describeModel(const std::string& text, bool json, std::ostream& out) {
    Inputs inputs;
    const OpenedModel model = readModel(text, inputs);
    // The skin the model would be shown with: the same choice, read and
    // decoded as opening makes it (what it has to say is in the account).
    std::optional<SkinChoice> skin;
    if (model.check.refusal.empty()) {
        Messages ignored;
        skin = chooseSkin(model, "", 0, "skin", inputs, ignored);
    }
    const ModelDescription d =
        describeModel(model, text, skin ? &*skin : nullptr, [](const FileRef& file) { return file.display(); });
    printDescription(d, json, out);
    // The account is printed whole first: what can be read of a refused model helps.
    if (!d.check.refusal.empty()) throw badInput(text, d.check.refusal);
    if (!d.check.nothingToDraw.empty()) throw badInput(text, "nothing to draw (" + d.check.nothingToDraw + ")");
    return 0;
}

}  // namespace frontend
