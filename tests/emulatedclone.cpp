// Preloaded into the tests' programs of another architecture under qemu-user (cross
// builds only): qemu-user refuses the clone() that Qt's QProcess starts a child with
// (CLONE_VM | CLONE_VFORK | CLONE_PIDFD: EINVAL), so no program could start one. This
// clone() gives the same result with a fork(): the child runs the function and ends with
// its value; the parent gets the child's id, and its pidfd where one was asked for.
// Threads do not come here: glibc's pthread_create calls its own clone, not this one.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" int clone(int (*function)(void *), void *, int flags, void *argument, ...)
{
    va_list more;
    va_start(more, argument);
    pid_t *parentTid = va_arg(more, pid_t *);
    va_end(more);
    if (!(flags & CLONE_VFORK) || (flags & CLONE_THREAD)) {
        errno = EINVAL;
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(function(argument));
    if (pid > 0 && (flags & CLONE_PIDFD)) {
        const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
        if (pidfd < 0)
            return -1;
        *parentTid = pidfd;
    }
    return pid;
}

// The programs of this machine that the tests start (sh, mysql) must not see it.
__attribute__((constructor)) static void forgetPreload()
{
    ::unsetenv("LD_PRELOAD");
}
