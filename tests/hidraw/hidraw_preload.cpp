// Preloaded into the programs that run on emulated hidraw devices, before the emulation's own
// preload. It does two things the emulation does not:
//  - opens of a node fail with EACCES while "$UMOCKDEV_DIR/refuse/<node name>" exists, as they
//    do for a user whom the system has not granted the node;
//  - once the test bed in the process has offered to serve reads itself, a read() of an
//    emulated node goes straight to it, a call as cheap as the system call it stands for,
//    instead of a round trip through the emulation's socket to its worker thread.
// Everything else goes on to the next library unchanged.

// These definitions replace the library's; its inline checking wrappers would clash with them.
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kPrefix[] = "/dev/hidraw";

// The node number of a path "/dev/hidrawN" under the test bed, -1 for any other path.
int nodeOf(const char* path) {
    if (!path || std::strncmp(path, kPrefix, sizeof kPrefix - 1) != 0 ||
        !std::getenv("UMOCKDEV_DIR"))
        return -1;
    char* end = nullptr;
    const long n = std::strtol(path + sizeof kPrefix - 1, &end, 10);
    return end != path + sizeof kPrefix - 1 && *end == '\0' && n >= 0 && n < 1 << 20 ? int(n) : -1;
}

bool refused(const char* path) {
    if (nodeOf(path) < 0)
        return false;
    char marker[4096];
    if (std::snprintf(marker, sizeof marker, "%s/refuse/%s", std::getenv("UMOCKDEV_DIR"),
                      path + 5) >= int(sizeof marker))
        return false;
    // Straight to the kernel: the marker is a plain file, and no library should see this look.
    return ::syscall(SYS_faccessat, AT_FDCWD, marker, F_OK, 0) == 0;
}

// Reads of an emulated node: the byte count, or -errno.
using ServeRead = long (*)(int node, void* buf, size_t count);
std::atomic<ServeRead> serveRead{nullptr};
// Which node each file descriptor has open, plus 1; 0 for none.
constexpr int kFds = 4096;
std::atomic<int> nodeOfFd[kFds];

int opened(int fd, const char* path) {
    if (fd >= 0 && fd < kFds)
        nodeOfFd[fd].store(nodeOf(path) + 1);
    return fd;
}

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

int refuse() {
    errno = EACCES;
    return -1;
}

} // namespace

// Each open function of the C library, refusing the marked nodes and passing on the rest. The
// mode argument is there only with O_CREAT or O_TMPFILE.
// NOLINTBEGIN(bugprone-macro-parentheses): `params` and `args` are parenthesised lists
#define Z4072_EMULATED_OPEN(name, params, args)                                                    \
    int name params {                                                                              \
        mode_t mode = 0;                                                                           \
        if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {                               \
            va_list va;                                                                            \
            va_start(va, flags);                                                                   \
            mode = mode_t(va_arg(va, int));                                                        \
            va_end(va);                                                                            \
        }                                                                                          \
        if (refused(path))                                                                         \
            return refuse();                                                                       \
        static const auto real = next<int(*) params>(#name);                                       \
        return opened(real args, path);                                                            \
    }
// NOLINTEND(bugprone-macro-parentheses)

extern "C" {

Z4072_EMULATED_OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
Z4072_EMULATED_OPEN(open64, (const char* path, int flags, ...), (path, flags, mode))
Z4072_EMULATED_OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
Z4072_EMULATED_OPEN(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))

// The checked forms that callers built with _FORTIFY_SOURCE use.
int __open_2(const char* path, int flags) { // NOLINT(bugprone-reserved-identifier): glibc's
    if (refused(path))
        return refuse();
    static const auto real = next<int (*)(const char*, int)>("__open_2");
    return opened(real(path, flags), path);
}

int __open64_2(const char* path, int flags) { // NOLINT(bugprone-reserved-identifier)
    if (refused(path))
        return refuse();
    static const auto real = next<int (*)(const char*, int)>("__open64_2");
    return opened(real(path, flags), path);
}

int close(int fd) {
    if (fd >= 0 && fd < kFds)
        nodeOfFd[fd].store(0);
    static const auto real = next<int (*)(int)>("close");
    return real(fd);
}

ssize_t read(int fd, void* buf, size_t count) {
    const ServeRead serve = serveRead.load();
    const int node = fd >= 0 && fd < kFds ? nodeOfFd[fd].load() - 1 : -1;
    if (serve && node >= 0) {
        const long n = serve(node, buf, count);
        if (n >= 0)
            return n;
        errno = int(-n);
        return -1;
    }
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    return real(fd, buf, count);
}

// Called by the test bed in the process: from now on it serves the reads of emulated nodes.
void z4072_serve_hidraw_reads(ServeRead serve) {
    serveRead.store(serve);
}

} // extern "C"
