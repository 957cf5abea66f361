// Built into the test programs of the thread sanitizer build only.
//
// QProcess starts its child with clone(CLONE_VM | CLONE_VFORK): the child runs
// on the parent's memory until it execs. The sanitizer's clone interceptor
// takes every clone for a fork and runs its child-side bookkeeping in the
// child, here on the parent's own state: the starting thread is left with its
// interceptors switched off (an ignore count of -1 per start). From then on
// the sanitizer sees none of that thread's mutex operations and reports races
// on everything they guard. Without CLONE_VM the clone is the fork the
// interceptor takes it for. CLONE_VFORK still holds the parent until the child
// has exec'd, and QProcess hears of a failed exec through a pipe, not through
// the shared memory, so the child works the same on a copy.
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

namespace {

using CloneFunction = int (*)(int (*)(void *), void *, int, void *, ...);

CloneFunction nextClone()
{
    // The next definition after this program's: the sanitizer's interceptor.
    static const auto next = reinterpret_cast<CloneFunction>(dlsym(RTLD_NEXT, "clone"));
    return next;
}

} // namespace

extern "C" int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...) noexcept
{
    va_list rest;
    va_start(rest, arg);
    pid_t *parentTid = va_arg(rest, pid_t *);
    void *tls = va_arg(rest, void *);
    pid_t *childTid = va_arg(rest, pid_t *);
    va_end(rest);
    if ((flags & CLONE_VM) && !(flags & CLONE_THREAD))
        flags &= ~CLONE_VM;
    return nextClone()(fn, stack, flags, arg, parentTid, tls, childTid);
}
