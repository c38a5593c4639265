// Linked into the programs and GL tests of the sanitizer build. LeakSanitizer
// reads this at start-up: the memory that libraries outside the project keep
// until the process ends (Mesa's GL driver; the D-Bus connection SDL opens on
// a desktop session for the screen saver and input methods) is passed over by
// the name of the module that allocated it, and everything else is still
// checked. Without it every clean exit of the viewer on X11 ends with a leak
// report and exit status 1, and a sanitizer run of the real program says
// nothing.
extern "C" const char* __lsan_default_suppressions() { return "leak:_dri.so\nleak:libgallium\nleak:libdbus-1.so\n"; }
