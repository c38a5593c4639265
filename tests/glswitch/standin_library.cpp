// A shared library that stands in for a GL library a package carries; the
// tests give it the soname of the library it stands for.
extern "C" int ombrelStandinLibrary() { return 1; }
