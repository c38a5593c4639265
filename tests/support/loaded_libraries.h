// For GL tests under LeakSanitizer: keeps every shared library loaded so far
// (the GL driver and its compiler among them) in memory until the process
// ends. The driver is otherwise unloaded when its context goes, and the leak
// report could then neither name the driver's frames nor pass over them
// (see gl_environment.cpp).
#pragma once

namespace testsupport {

void keepLoadedLibraries();

}  // namespace testsupport
