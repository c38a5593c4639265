#include "frontend/commands/gallery_page.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>

#include "common/text.h"

namespace frontend {

namespace {

// The page's look and its filter, inside it: a page opened from disk must
// not need anything from elsewhere.
const char kStyle[] = R"(
body { font-family: sans-serif; background: #1d1f23; color: #d8dade; margin: 1.2em; }
h1 { font-size: 1.3em; font-weight: normal; margin: 0 0 .6em; }
#filter { font-size: 1em; padding: .35em .6em; width: 22em; max-width: 100%; }
#shown { margin-left: .8em; color: #9a9ea6; }
#models { display: grid; gap: 1em; margin-top: 1em; grid-template-columns: repeat(auto-fill, minmax(%MIN%px, 1fr)); }
figure { margin: 0; background: #2a2d33; border-radius: 6px; padding: .6em; }
figure img { display: block; margin: 0 auto .4em; max-width: 100%; height: auto;
  background: repeating-conic-gradient(#34373e 0% 25%, #3c3f47 0% 50%) 50% / 16px 16px; }
figcaption { font-size: .85em; line-height: 1.45; overflow-wrap: anywhere; }
.animations { font-size: .92em; }
.name { font-weight: bold; color: #fff; font-size: 1.05em; }
.path { color: #9a9ea6; }
.problems { color: #e9a878; }
a { color: #8cb8ff; }
)";

const char kScript[] = R"(
const filter = document.getElementById('filter');
const shown = document.getElementById('shown');
const models = Array.from(document.querySelectorAll('#models figure'));
function apply() {
  const wanted = filter.value.trim().toLowerCase();
  let count = 0;
  for (const model of models) {
    const match = !wanted || model.dataset.name.toLowerCase().includes(wanted);
    model.hidden = !match;
    if (match) ++count;
  }
  shown.textContent = wanted ? count + ' of ' + models.length + ' shown' : '';
}
filter.addEventListener('input', apply);
apply();
)";

std::string frames(int first, int last) {
    return first == last ? std::to_string(first) : std::to_string(first) + "\u2013" + std::to_string(last);
}

std::string text(const nlohmann::json& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

void writeEntry(std::ostream& out, const GalleryEntry& e, int width, int height) {
    const nlohmann::json& facts = e.facts;
    const std::string path = text(facts.value("file", nlohmann::json()));
    out << "<figure data-name=\"" << escapeHtml(e.name + " " + path) << "\">\n";
    out << "<a href=\"" << urlPath(e.gif) << "\"><img src=\"" << urlPath(e.gif) << "\" width=\"" << width
        << "\" height=\"" << height << "\" alt=\"" << escapeHtml(e.name) << "\"></a>\n";
    out << "<figcaption>\n<div class=\"name\">" << escapeHtml(e.name) << "</div>\n";
    out << "<div class=\"path\">" << escapeHtml(path) << "</div>\n";
    out << "<div>" << facts.value("frames", 0) << " frames; the picture plays " << frames(e.playedFirst, e.playedLast)
        << " (<a href=\"" << urlPath(e.still) << "\">still</a>)</div>\n";
    const nlohmann::json animations = facts.value("animations", nlohmann::json::array());
    if (!animations.empty()) {
        out << "<div class=\"animations\">animations:";
        for (size_t i = 0; i < animations.size(); ++i) {
            const nlohmann::json& a = animations[i];
            const std::string name = escapeHtml(text(a.value("name", nlohmann::json())));
            const std::string gif = i < e.animationGifs.size() ? e.animationGifs[i] : std::string();
            out << (i == 0 ? " " : ", ");
            if (gif.empty())
                out << name;
            else
                out << "<a href=\"" << urlPath(gif) << "\">" << name << "</a>";
            out << " (" << frames(a.value("first", 0), a.value("last", 0)) << ")";
        }
        out << "</div>\n";
    }
    const std::string skin = text(facts.value("skin", nlohmann::json()));
    out << "<div>skin: " << (skin.empty() ? std::string("none found") : escapeHtml(skin)) << "</div>\n";
    const nlohmann::json problems = facts.value("problems", nlohmann::json::array());
    if (problems.empty()) {
        out << "<div>problems: none</div>\n";
    } else {
        out << "<div class=\"problems\">problems:";
        for (size_t i = 0; i < problems.size(); ++i) out << (i == 0 ? " " : "; ") << escapeHtml(text(problems[i]));
        out << "</div>\n";
    }
    out << "</figcaption>\n</figure>\n";
}

}  // namespace

std::string escapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string urlPath(const std::string& path) { return percentEncoded(path, "/"); }

std::string galleryPage(const std::vector<GalleryEntry>& entries, int width, int height) {
    std::ostringstream out;
    std::string style = kStyle;
    // Room for the picture, and for the facts beside a small one.
    style.replace(style.find("%MIN%"), 5, std::to_string(std::clamp(width, 200, 320) + 20));
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        << "<title>Ombrel gallery: " << entries.size() << (entries.size() == 1 ? " model" : " models")
        << "</title>\n<style>" << style << "</style>\n</head>\n<body>\n";
    out << "<h1>" << entries.size() << (entries.size() == 1 ? " model" : " models") << "</h1>\n";
    out << "<input id=\"filter\" type=\"search\" placeholder=\"Filter by name\" aria-label=\"Filter by name\">"
        << "<span id=\"shown\"></span>\n<div id=\"models\">\n";
    for (const GalleryEntry& entry : entries) writeEntry(out, entry, width, height);
    out << "</div>\n<script>" << kScript << "</script>\n</body>\n</html>\n";
    return out.str();
}

nlohmann::json galleryIndex(const std::vector<GalleryEntry>& entries) {
    nlohmann::json index = nlohmann::json::array();
    for (const GalleryEntry& e : entries) {
        nlohmann::json model = e.facts;
        model["name"] = e.name;
        model["still"] = e.still;
        model["gif"] = e.gif;
        model["played"] = {{"first", e.playedFirst}, {"last", e.playedLast}};
        for (size_t i = 0; i < model["animations"].size(); ++i) {
            const std::string gif = i < e.animationGifs.size() ? e.animationGifs[i] : std::string();
            model["animations"][i]["gif"] = gif.empty() ? nlohmann::json(nullptr) : nlohmann::json(gif);
        }
        index.push_back(model);
    }
    return index;
}

}  // namespace frontend
