#include "frontend/command.h"

int main(int argc, char** argv) { return frontend::ombrelMain(argc, argv); }
