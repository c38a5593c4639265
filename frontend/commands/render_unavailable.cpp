// render, thumbnail and gallery in a build without offscreen drawing (OMBREL_PICTURES
// off): their words are taken, so a person who types them learns in one line
// why nothing is drawn.
#include <CLI/CLI.hpp>

#include "frontend/commands/render.h"
#include "frontend/base/report.h"

namespace frontend {

namespace {

[[noreturn]] void refuse(const char* command) {
    throw badInput(command, "this build of ombrel draws no pictures (open the model to see it)");
}

}  // namespace

bool picturesDrawable() { return false; }

void addRenderOptions(CLI::App& app, RenderRequest&) { app.allow_extras(); }

int renderPictures(const RenderRequest&) { refuse("ombrel render"); }

void addThumbnailOptions(CLI::App& app, ThumbnailRequest&) { app.allow_extras(); }

int writeThumbnail(const ThumbnailRequest&) { refuse("ombrel thumbnail"); }

void addGalleryOptions(CLI::App& app, GalleryRequest&) { app.allow_extras(); }

int writeGallery(const GalleryRequest&) { refuse("ombrel gallery"); }

}  // namespace frontend
