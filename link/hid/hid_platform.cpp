#include "hid_platform.h"

#include <cstring>

QString systemErrorText(quint32 code) {
    char buf[256] = {};
    // The GNU strerror_r may answer a static text instead of filling the buffer.
    const char* text = strerror_r(int(code), buf, sizeof buf);
    return QString::fromLocal8Bit(text);
}
