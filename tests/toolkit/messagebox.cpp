// Shows one message box through the toolkit and prints its answer, for the
// end-to-end tests.   toolkit_messagebox CAPTION FLAGS
#include <cstdio>
#include <cstdlib>

#include "toolkit/mxApp.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CAPTION FLAGS\n", argv[0]);
        return 2;
    }
    mxAppInit(argc, argv);
    int answer = mxShowMessage(nullptr, "Error loading configuration", argv[1], std::atoi(argv[2]));
    std::printf("%d\n", answer);
    mxAppQuit();
    return 0;
}
