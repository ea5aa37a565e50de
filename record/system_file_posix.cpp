// The file-system seam on POSIX systems: descriptors, flock, fdatasync and the folder's fsync.

#include "record/system_file.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString errnoText(int e = errno) {
    return QString::fromLocal8Bit(std::strerror(e));
}

int fdOf(qintptr handle) {
    return int(handle);
}

} // namespace

bool SystemFile::open(const QString& path, Access access, QString* error) {
    close();
    const QByteArray native = QFile::encodeName(path);
    const int fd = access == Access::Read
                       ? ::open(native.constData(), O_RDONLY | O_CLOEXEC)
                       : ::open(native.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = errnoText();
        return false;
    }
    handle_ = fd;
    return true;
}

void SystemFile::close() {
    if (isOpen())
        ::close(fdOf(handle_));
    handle_ = kClosed;
}

bool SystemFile::size(qint64* bytes, QString* error) const {
    struct stat st {};
    if (::fstat(fdOf(handle_), &st) != 0) {
        *error = errnoText();
        return false;
    }
    *bytes = st.st_size;
    return true;
}

bool SystemFile::readAt(qint64 offset, char* buf, qint64 length) const {
    return ::pread(fdOf(handle_), buf, size_t(length), off_t(offset)) == ssize_t(length);
}

qint64 SystemFile::read(char* buf, qint64 length, QString* error) {
    for (;;) {
        const ssize_t n = ::read(fdOf(handle_), buf, size_t(length));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            *error = errnoText();
        return n;
    }
}

bool SystemFile::writeAll(const char* data, qint64 length, QString* error) {
    while (length > 0) {
        const ssize_t n = ::write(fdOf(handle_), data, size_t(length));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = errnoText(n == 0 ? EIO : errno);
            return false;
        }
        data += n;
        length -= n;
    }
    return true;
}

bool SystemFile::syncData(QString* error) {
    if (::fdatasync(fdOf(handle_)) != 0) {
        *error = errnoText();
        return false;
    }
    return true;
}

bool SystemFile::tryLock(QString* error) {
    if (::flock(fdOf(handle_), LOCK_EX | LOCK_NB) != 0) {
        *error = errnoText();
        return false;
    }
    return true;
}

bool SystemFile::isAt(const QString& path) const {
    struct stat opened {
    }, named{};
    return ::fstat(fdOf(handle_), &opened) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

bool syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool makeUserFolder(const QString& path, QString* error) {
    if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0)
        return true;
    *error = errnoText(errno == EEXIST ? ENOTDIR : errno); // something else by that name
    return false;
}

bool renameReplacing(const QString& from, const QString& to, QString* error) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = errnoText();
    return false;
}
