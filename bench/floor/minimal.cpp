// The floor under `ombrel --version`: a C++ program that prints one line
// and ends, linked as C++ programs are (libstdc++). scripts/bench-startup
// measures ombrel's commands that draw nothing against it.
#include <iostream>

int main() {
    std::cout << "minimal 0.1.0\n";
    return 0;
}
