#include "toolkit/sdl/endrequests.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "toolkit/sdl/state.h"

namespace sdlbackend {

// Shared between this process and the box's process, which SDL forks: the
// box process puts its id here, and either side sees the other's news.
struct BoxProcess {
    std::atomic<pid_t> pid{0};
    std::atomic<int> endRequested{0};
};

}  // namespace sdlbackend

namespace endrequests {

namespace {

using sdlbackend::BoxProcess;
sdlbackend::EndRequestState& ends = sdlbackend::state.endRequests;

static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the shared words are touched from signal handlers");

void onEndSignal(int signal) {
    if (ends.requests) {
        // Asked twice: the program did not end the polite way; end it now.
        ::signal(signal, SIG_DFL);
        raise(signal);
        return;
    }
    ends.requests = 1;
    if (ends.box) {
        ends.box->endRequested.store(1);
        pid_t shown = ends.box->pid.load();
        if (shown > 0) kill(shown, SIGKILL);
    }
}

// Runs in every child this process forks; acts only in the box's.
void afterForkInChild() {
    if (!ends.boxForking) return;
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    // The box goes when this program goes, however it goes.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != ends.ownPid) _exit(1);
    ends.box->pid.store(getpid());
    // A request that came between the fork and the store above.
    if (ends.box->endRequested.load()) _exit(1);
}

void catchUnlessTaken(int signal) {
    struct sigaction previous;
    if (sigaction(signal, nullptr, &previous) != 0) return;
    // An ignored signal stays ignored (nohup, background jobs), and a
    // handler the program installed itself stays in place.
    if (previous.sa_handler != SIG_DFL) return;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void install() {
    if (ends.installed) return;
    ends.installed = true;
    ends.ownPid = getpid();
    void* shared = mmap(nullptr, sizeof(BoxProcess), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED) ends.box = new (shared) BoxProcess;
    pthread_atfork(nullptr, nullptr, afterForkInChild);
    catchUnlessTaken(SIGTERM);
    catchUnlessTaken(SIGINT);
}

bool requested() { return ends.requests != 0; }

bool takeRequest() {
    if (!ends.requests || ends.taken) return false;
    ends.taken = true;
    return true;
}

void boxStarting() {
    if (!ends.box) return;
    ends.box->pid.store(0);
    ends.boxForking = true;
}

void boxEnded() {
    ends.boxForking = false;
    if (ends.box) ends.box->pid.store(0);
}

}  // namespace endrequests
