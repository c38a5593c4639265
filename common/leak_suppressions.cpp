// Linked into the programs and GL tests of the sanitizer build. LeakSanitizer
// reads this at start-up: the memory that libraries outside the project keep
// until the process ends (Mesa's GL driver; the D-Bus connection SDL opens on
// a desktop session for the screen saver and input methods) is passed over by
// the name of the module that allocated it, and everything else is still
// checked. Without it every clean exit of the viewer on X11 ends with a leak
// report and exit status 1, and a sanitizer run of the real program says
// nothing.
extern "C" const char* __lsan_default_suppressions() { return "leak:_dri.so\nleak:libgallium\nleak:libdbus-1.so\n"; }

// The GL driver is loaded when the first context is made and unloaded when
// the last goes (SDL's offscreen driver closes EGL and Mesa before exit);
// the report could then neither name the driver's frames nor pass over
// them. Leaving every library in memory until the process ends, as the
// process's exit would anyway, keeps their names for the report.
extern "C" int dlclose(void*) { return 0; }
