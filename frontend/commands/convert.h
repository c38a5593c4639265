// `ombrel convert SOURCE -o OUT.md2`: an IDP2 model made from what artists
// make today (glTF, OBJ and OBJ sequences), or an IDP2 model made again
// (new normals, commands, scale or skin), with its skin as OUT.pcx beside
// it. The making is the model code's (model/import.h reads the source,
// model/md2_maker.h makes the file); this finds the source and its files as
// opening does, maps the options onto the maker's, writes the model and its
// skin whole or not at all, and reports how close the file comes to the
// source.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace frontend {

struct ConvertRequest {
    std::string source;  // a path, ARCHIVE:PATH or an OBJ sequence's pattern
    std::string output;  // OUT.md2; the skin goes to OUT.pcx
    double rate = 10;    // samples a second of each glTF animation
    std::vector<std::string> animations;
    double scale = 1;
    double height = 0;  // > 0: scaled to this height instead
    bool scaleGiven = false;
    bool boxPerFrame = false;
    std::string skin;     // a picture for the skin instead of the source's own
    std::string palette;  // a PCX, or 768 bytes of .lmp/.pal
    bool dither = false;
    std::string skinName;  // stored in the model; "" for OUT.pcx's file name
    bool skinNameGiven = false;
    bool strict = false;
    bool json = false;
    bool verbose = false;
};

void addConvertOptions(CLI::App& app, ConvertRequest& request);

// Makes and writes what the request asks for, prints the report; 0. Throws
// a Failure (the source refused, a limit passed: nothing written).
int convertModel(const ConvertRequest& request);

}  // namespace frontend
