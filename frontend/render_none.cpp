// render and thumbnail in the Windows build: their words are taken, so a
// person who types them learns in one line why nothing is drawn.
#include <CLI/CLI.hpp>

#include <iostream>

#include "frontend/render.h"

namespace frontend {

namespace {

int refuse(const char* command) {
    std::cerr << "ombrel: " << command
              << " draws on Linux only; this Windows build has no offscreen drawing (open the model to see it)\n";
    return 2;
}

}  // namespace

void addRenderOptions(CLI::App& app, RenderRequest&) { app.allow_extras(); }

int renderPictures(const RenderRequest&) { return refuse("ombrel render"); }

int writeThumbnail(const std::string&, int, const std::string&) { return refuse("ombrel thumbnail"); }

}  // namespace frontend
