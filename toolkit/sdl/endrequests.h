#pragma once
// Requests to end the program from outside (SIGTERM, SIGINT). Windows asks a
// windowed program to end by sending WM_CLOSE to its windows; the SDL backend
// turns these signals into the same messages, so the program ends through
// its own quit path (the display mode restored, exit code 0). A message box
// shown meanwhile is closed as if the user had closed it, and the process
// that shows it never outlives the program.
namespace endrequests {

// Catches SIGTERM and SIGINT, unless they were ignored or taken by the
// program already. Safe to call again.
void install();

// Whether an end has been asked for.
bool requested();
// True once after a request: the caller then asks the windows to close.
bool takeRequest();

// Around a message box whose process the box library starts: the process
// is tied to this one, and a request while it shows ends it.
void boxStarting();
void boxEnded();

}  // namespace endrequests
