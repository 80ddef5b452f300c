#include "util/seh_guard.h"

#if defined(__GNUC__) && defined(__i386__)

// On 32-bit x86, Windows finds exception handlers through a chain of registration records on
// the stack whose head is FS:[0]; GCC has no __try to build one. The guard links its own record
// in front of the chain for the length of the call. Windows asks the newest records first, so
// the library's own handlers still handle what they raise; only what they leave unhandled
// reaches the guard's handler. That handler unwinds the frames above the record (RtlUnwind runs
// the library's clean-up handlers and leaves FS:[0] at the record), unlinks the record and jumps
// back to the point before the call.
namespace {

struct Guard {
    Guard* previous;
    EXCEPTION_DISPOSITION(__cdecl* handler)(EXCEPTION_RECORD*, void*, CONTEXT*, void*);
    void* resume[5];  // __builtin_setjmp's buffer
    DWORD code;
};

Guard* ChainHead()
{
    Guard* head = nullptr;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(Guard* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// RtlUnwind does not keep EBX, ESI and EDI on every Windows version, so they are saved here.
void UnwindTo(Guard* frame, EXCEPTION_RECORD* record)
{
    asm volatile("pushl %%ebx\n\t"
                 "pushl %%esi\n\t"
                 "pushl %%edi\n\t"
                 "pushl $0\n\t"
                 "pushl %1\n\t"
                 "pushl $0\n\t"
                 "pushl %0\n\t"
                 "call *%2\n\t"
                 "popl %%edi\n\t"
                 "popl %%esi\n\t"
                 "popl %%ebx"
                 :
                 : "r"(frame), "r"(record), "r"(&RtlUnwind)
                 : "eax", "ecx", "edx", "memory", "cc");
}

EXCEPTION_DISPOSITION __cdecl CatchUnhandled(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Guard* guard = static_cast<Guard*>(frame);
    guard->code = record->ExceptionCode;
    UnwindTo(guard, record);
    SetChainHead(guard->previous);
    __builtin_longjmp(guard->resume, 1);
}

}  // namespace

bool CallGuarded(void (*function)(void*), void* data, DWORD& exceptionCode)
{
    Guard guard = {};
    guard.previous = ChainHead();
    guard.handler = CatchUnhandled;
    if (__builtin_setjmp(guard.resume) == 0) {
        SetChainHead(&guard);
        function(data);
        SetChainHead(guard.previous);
        return true;
    }
    exceptionCode = guard.code;
    return false;
}

#elif defined(_MSC_VER)

bool CallGuarded(void (*function)(void*), void* data, DWORD& exceptionCode)
{
    __try {
        function(data);
        return true;
    } __except (exceptionCode = GetExceptionCode(), EXCEPTION_EXECUTE_HANDLER) {
        return false;
    }
}

#elif defined(__GNUC__) && defined(__x86_64__)

// On 64-bit Windows handlers are found through unwind tables, and GCC has no __try to add one.
// The guard lets the library's own handlers go first and takes over only what they leave
// unhandled: for the length of the call its filter is the process's top-level filter, which
// jumps back to the point before the call. The guard serves one call at a time, which is how the
// tool calls the library.
namespace {

struct Guard {
    void* resume[5];  // __builtin_setjmp's buffer
    DWORD code;
    DWORD thread;
};

Guard* activeGuard = nullptr;

LONG WINAPI CatchUnhandled(EXCEPTION_POINTERS* pointers)
{
    Guard* guard = activeGuard;
    if (!guard || guard->thread != GetCurrentThreadId())
        return EXCEPTION_CONTINUE_SEARCH;
    guard->code = pointers->ExceptionRecord->ExceptionCode;
    __builtin_longjmp(guard->resume, 1);
}

}  // namespace

bool CallGuarded(void (*function)(void*), void* data, DWORD& exceptionCode)
{
    Guard guard = {};
    guard.thread = GetCurrentThreadId();
    Guard* const outer = activeGuard;
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(CatchUnhandled);
    if (__builtin_setjmp(guard.resume) == 0) {
        activeGuard = &guard;
        function(data);
        activeGuard = outer;
        SetUnhandledExceptionFilter(previous);
        return true;
    }
    activeGuard = outer;
    SetUnhandledExceptionFilter(previous);
    exceptionCode = guard.code;
    return false;
}

#endif
