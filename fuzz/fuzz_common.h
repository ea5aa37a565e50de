#pragma once

// Helpers shared by the fuzz targets: the input as a file, a hard stop on a broken invariant.

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Stops the run with a message: libFuzzer keeps the input that got here.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
inline void check(bool ok, const char* what) {
    if (!ok)
        fail(what);
}

// A file in a directory of this process that holds the bytes.
inline QString writeFile(const char* name, const QByteArray& bytes) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail("cannot write the input file");
    return path;
}
inline QString writeFile(const char* name, const quint8* data, size_t size) {
    return writeFile(name, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail("cannot read a file written");
    return f.readAll();
}

} // namespace fuzz
