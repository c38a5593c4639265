// The gallery's page and index: index.html, which any browser shows opened
// from disk (nothing from elsewhere: its style and its filter script are
// inside it), and index.json with the same facts. Every name that comes from
// a file or an archive is escaped before it goes into the page.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace frontend {

struct GalleryEntry {
    std::string name;      // the model's name in the gallery (sources.h)
    nlohmann::json facts;  // what ombrel info --json says of it (info.h's describeJson)
    std::string still, gif;               // its pictures, relative to the page ('/' between parts)
    int playedFirst = 0, playedLast = 0;  // the key frames the GIF shows
    // One for each of the facts' animations: its GIF, "" where none was made.
    std::vector<std::string> animationGifs;
};

// The page for these models, pictures width x height pixels.
std::string galleryPage(const std::vector<GalleryEntry>& entries, int width, int height);

// The index: one object per model, ombrel info's facts with the pictures'
// paths.
nlohmann::json galleryIndex(const std::vector<GalleryEntry>& entries);

// Text made safe for HTML, in text and in quoted attribute values alike.
std::string escapeHtml(const std::string& text);

// A relative path as a URL path: every byte but letters, digits, '-', '.',
// '_', '~' and '/' percent-encoded.
std::string urlPath(const std::string& path);

}  // namespace frontend
