#include "toolkit/sdl/endrequests.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <new>

namespace endrequests {

namespace {

// Shared between this process and the box's process, which SDL forks: the
// box process puts its id here, and either side sees the other's news.
struct BoxProcess {
    std::atomic<pid_t> pid{0};
    std::atomic<int> endRequested{0};
};

volatile sig_atomic_t requests = 0;
bool taken = false;
bool installed = false;
BoxProcess* box = nullptr;
bool boxForking = false;  // read in the forked child, where it is a copy
pid_t ownPid = 0;

static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the shared words are touched from signal handlers");

void onEndSignal(int signal) {
    if (requests) {
        // Asked twice: the program did not end the polite way; end it now.
        ::signal(signal, SIG_DFL);
        raise(signal);
        return;
    }
    requests = 1;
    if (box) {
        box->endRequested.store(1);
        pid_t shown = box->pid.load();
        if (shown > 0) kill(shown, SIGKILL);
    }
}

// Runs in every child this process forks; acts only in the box's.
void afterForkInChild() {
    if (!boxForking) return;
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    // The box goes when this program goes, however it goes.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != ownPid) _exit(1);
    box->pid.store(getpid());
    // A request that came between the fork and the store above.
    if (box->endRequested.load()) _exit(1);
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
    if (installed) return;
    installed = true;
    ownPid = getpid();
    void* shared = mmap(nullptr, sizeof(BoxProcess), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED) box = new (shared) BoxProcess;
    pthread_atfork(nullptr, nullptr, afterForkInChild);
    catchUnlessTaken(SIGTERM);
    catchUnlessTaken(SIGINT);
}

bool requested() { return requests != 0; }

bool takeRequest() {
    if (!requests || taken) return false;
    taken = true;
    return true;
}

void boxStarting() {
    if (!box) return;
    box->pid.store(0);
    boxForking = true;
}

void boxEnded() {
    boxForking = false;
    if (box) box->pid.store(0);
}

}  // namespace endrequests
