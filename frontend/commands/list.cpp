#include "frontend/commands/list.h"

#include <ostream>

#include "frontend/base/report.h"
#include "frontend/inputs/formats.h"
#include "frontend/inputs/inputs.h"

namespace frontend {

int listModels(const std::string& archivePath, std::ostream& out) {
    Inputs inputs;
    const Archive& archive = inputs.archive(archivePath);
    for (const std::string& member : archive.members()) {
        std::string error;
        switch (memberKind(archive, member, error)) {
        case MemberKind::Model:
            out << member << "\n";
            break;
        case MemberKind::Unreadable:
            report(archivePath + ":" + member + ": " + error);
            break;
        case MemberKind::Other:
            break;
        }
    }
    const std::vector<LeftOutEntry>& leftOut = archive.leftOut();
    if (!leftOut.empty())
        report(archivePath + ": " + std::to_string(leftOut.size()) + (leftOut.size() == 1 ? " entry" : " entries") +
               " left out (" + leftOut.front().name + ": " + leftOut.front().reason +
               (leftOut.size() > 1 ? "; ..." : "") + ")");
    return 0;
}

}  // namespace frontend
