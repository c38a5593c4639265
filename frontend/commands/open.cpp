#include "frontend/commands/open.h"

#include "frontend/base/report.h"
#include "frontend/files/files.h"
#include "frontend/scene/prepare.h"
#include "frontend/scene/staging.h"
#include "frontend/system/system.h"
#include "viewer/config.h"

namespace frontend {

int writeViewerRecord(const ViewOptions& view, const std::string& recordFile) {
    const std::string target = absolutePath(recordFile);
    if (fileKind(target) == FileKind::Folder) throw badInput(recordFile, "a folder, not a file");
    Inputs inputs;
    PreparedView prepared = prepareView(view, inputs);
    Staging staging(target + ".files");
    // The files are of no use without their record: a failure takes them too.
    auto dropFiles = [&] {
        if (staging.used()) removeFolder(staging.folder());
    };
    try {
        staging.place(prepared);
    } catch (const Failure&) {
        dropFiles();
        throw;
    }
    prepared.messages.show(view.verbose);
    if (!writeConfig(target, prepared.record)) {
        dropFiles();
        throw badInput(recordFile, "can't write the record there");
    }
    if (view.verbose) report("record: " + nativePath(target));
    return 0;
}

int showInViewer(const ViewOptions& view) {
    const std::string viewer = viewerProgram();
    if (fileKind(viewer) != FileKind::Regular) throw systemFailure(viewer, "the viewer is not there");
    InterruptGuard guard;
    ViewerExit exit;
    {
        RunFolder run;
        if (run.path().empty()) throw systemFailure("", run.error());
        Inputs inputs;
        PreparedView prepared = prepareView(view, inputs);
        Staging(run.path()).place(prepared);
        // The viewer shows what it can: an empty scene, said so.
        if (!prepared.nothingToDraw.empty()) prepared.messages.warnings.push_back(prepared.nothingToDraw);
        prepared.messages.show(view.verbose);
        // Without a display the viewer would run unseen for ever. Asked after
        // the files, so a broken one is still named first.
        std::string why;
        if (!displayAvailable(why))
            throw systemFailure("", "no display to show the model on (" + why +
                                        "); ombrel render MODEL -o OUT.png draws it without one");
        if (!writeConfig(run.path() + "/ombrel.cfg", prepared.record))
            throw systemFailure(run.path(), "can't write the record");
        if (!guard.received()) exit = runViewer(viewer, run.path());
    }  // the run folder goes here, before anything else happens
    // Interrupted, ombrel ends as an interrupted command does (130 for
    // Ctrl+C), also when the viewer closed calmly on the signal passed on.
    if (guard.received()) InterruptGuard::dieBy(guard.received());
    if (!exit.started) throw systemFailure("", exit.error);
    if (exit.signal) {
        report("the viewer ended by signal " + std::to_string(exit.signal) + " (" + signalName(exit.signal) + ")");
        return 128 + exit.signal;
    }
    return exit.code;
}

}  // namespace frontend
