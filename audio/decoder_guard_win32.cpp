#include "audio/decoder_guard.h"

#include <windows.h>

#include <mutex>

// The Windows side of the guard: an integer division by zero is a
// structured exception there, not a signal. A vectored handler sees it
// first, on the thread that divided; for a thread inside run_guarded it
// resumes that thread in jump_back, which leaves the abandoned call the way
// siglongjmp does on other systems. Resuming rather than jumping out of the
// handler lets the system finish its exception dispatch normally.
namespace {

// run_guarded's jump buffer for __builtin_setjmp (five words), per thread.
thread_local void** active = nullptr;

[[noreturn]] void jump_back() {
    void** back = active;
    active = nullptr;
    __builtin_longjmp(back, 1);
}

LONG CALLBACK on_exception(EXCEPTION_POINTERS* exception) {
    const DWORD code = exception->ExceptionRecord->ExceptionCode;
    // Both are SIGFPE elsewhere: a division by zero and INT_MIN / -1.
    if ((code != EXCEPTION_INT_DIVIDE_BY_ZERO && code != EXCEPTION_INT_OVERFLOW) || active == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;  // not ours: the process ends as before
    CONTEXT* context = exception->ContextRecord;
    // A fresh frame below the faulting one, aligned as at a function's
    // entry (a return address' width off 16 bytes).
    context->Rsp = ((context->Rsp - 512) & ~DWORD64{15}) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&jump_back);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void install() { AddVectoredExceptionHandler(1, on_exception); }

}  // namespace

bool run_guarded(void (*call)(void*), void* context) {
    static std::once_flag installed;
    std::call_once(installed, install);
    void* back[5];
    if (__builtin_setjmp(back) != 0)
        return false;  // active was cleared by jump_back
    active = back;
    call(context);
    active = nullptr;
    return true;
}
