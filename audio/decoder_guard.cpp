#include "audio/decoder_guard.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace {

// The jump back into run_guarded of the thread that divides, if it is in one.
thread_local sigjmp_buf* active = nullptr;
struct sigaction previous;

void on_fpe(int signal, siginfo_t* info, void* context) {
    if (sigjmp_buf* back = active) {
        active = nullptr;
        siglongjmp(*back, 1);
    }
    // Not ours: whoever handled it before us does, or the default action
    // ends the process when the instruction runs again.
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction != nullptr) {
            previous.sa_sigaction(signal, info, context);
            return;
        }
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN &&
               previous.sa_handler != nullptr) {
        previous.sa_handler(signal);
        return;
    }
    sigaction(SIGFPE, &previous, nullptr);
}

void install() {
    struct sigaction action {};
    action.sa_sigaction = on_fpe;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, &previous);
}

}  // namespace

bool run_guarded(void (*call)(void*), void* context) {
    static std::once_flag installed;
    std::call_once(installed, install);
    sigjmp_buf back;
    if (sigsetjmp(back, 1) != 0)
        return false;  // active was cleared by the handler
    active = &back;
    call(context);
    active = nullptr;
    return true;
}
