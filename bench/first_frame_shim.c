/* Preloaded into the viewer by scripts/bench-startup: notes the wall-clock
 * time of the viewer's first whole frame and ends the program there. The
 * viewer presents a picture once while it builds its window (empty slots)
 * and again once the record's slots and settings are in: that second swap
 * is the first frame a person sees. OMBREL_FIRST_FRAME_FILE names the file
 * that receives the time, in nanoseconds since the epoch. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef struct SDL_Window SDL_Window;

void SDL_GL_SwapWindow(SDL_Window* window) {
    static int swaps = 0;
    static void (*real)(SDL_Window*) = NULL;
    if (!real) real = (void (*)(SDL_Window*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real(window);
    if (++swaps < 2) return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const char* path = getenv("OMBREL_FIRST_FRAME_FILE");
    FILE* out = path ? fopen(path, "w") : NULL;
    if (out) {
        fprintf(out, "%lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
        fclose(out);
    }
    _exit(0);
}
