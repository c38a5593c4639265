#include "frontend/cli/command.h"
#include "frontend/system/system.h"

int main(int argc, char** argv) {
    frontend::CommandLine line(argc, argv);
    return frontend::ombrelMain(line.count(), line.words());
}
