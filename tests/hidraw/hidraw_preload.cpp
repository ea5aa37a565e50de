// Preloaded into the programs that run on emulated hidraw devices: opens of a node fail with
// EACCES while "$UMOCKDEV_DIR/refuse/<node name>" exists, as they do for a user whom the system
// has not granted the node. Every other open goes on to the next library unchanged.

// These definitions replace the library's; its inline checking wrappers would clash with them.
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool refused(const char* path) {
    constexpr char kPrefix[] = "/dev/hidraw";
    if (!path || std::strncmp(path, kPrefix, sizeof kPrefix - 1) != 0)
        return false;
    const char* dir = std::getenv("UMOCKDEV_DIR");
    if (!dir)
        return false;
    char marker[4096];
    if (std::snprintf(marker, sizeof marker, "%s/refuse/%s", dir, path + 5) >= int(sizeof marker))
        return false;
    // Straight to the kernel: the marker is a plain file, and no library should see this look.
    return ::syscall(SYS_faccessat, AT_FDCWD, marker, F_OK, 0) == 0;
}

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

mode_t modeOf(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

int refuse() {
    errno = EACCES;
    return -1;
}

} // namespace

// Each open function of the C library, refusing the marked nodes and passing on the rest. The
// mode argument is there only with O_CREAT or O_TMPFILE.
#define Z4072_REFUSING_OPEN(name, params, args)                                                    \
    int name params {                                                                              \
        va_list va;                                                                                \
        va_start(va, flags);                                                                       \
        const mode_t mode = modeOf(flags, va);                                                     \
        va_end(va);                                                                                \
        if (refused(path))                                                                         \
            return refuse();                                                                       \
        static const auto real = next<int(*) params>(#name);                                       \
        return real args;                                                                          \
    }

extern "C" {

Z4072_REFUSING_OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
Z4072_REFUSING_OPEN(open64, (const char* path, int flags, ...), (path, flags, mode))
Z4072_REFUSING_OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
Z4072_REFUSING_OPEN(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))

// The checked forms that callers built with _FORTIFY_SOURCE use.
int __open_2(const char* path, int flags) {
    if (refused(path))
        return refuse();
    static const auto real = next<int (*)(const char*, int)>("__open_2");
    return real(path, flags);
}

int __open64_2(const char* path, int flags) {
    if (refused(path))
        return refuse();
    static const auto real = next<int (*)(const char*, int)>("__open64_2");
    return real(path, flags);
}

} // extern "C"
