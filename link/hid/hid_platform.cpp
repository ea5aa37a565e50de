#include "link/hid/hid_platform.h"

#include <cstring>

namespace {
// strerror_r comes in two kinds: the GNU one answers the text (which may be a static one instead
// of the buffer), the POSIX one fills the buffer and answers a status.
[[maybe_unused]] const char* errorTextOf(const char* answered, const char*) {
    return answered;
}
[[maybe_unused]] const char* errorTextOf(int, const char* buf) {
    return buf;
}
} // namespace

QString systemErrorText(quint32 code) {
    char buf[256] = {};
#ifdef _WIN32
    strerror_s(buf, sizeof buf, int(code));
    return QString::fromLocal8Bit(buf);
#else
    return QString::fromLocal8Bit(errorTextOf(strerror_r(int(code), buf, sizeof buf), buf));
#endif
}
