#pragma once

#include <QString>
#include <QtGlobal>

// What the journal and the growing table files need of the file system beyond QFile: appends
// made with one write a line, data forced to the disk (and a new name's folder entry with it),
// and an advisory lock that goes with its holder however the holder ends. One implementation a
// system: system_file_posix.cpp.
class SystemFile {
public:
    enum class Access {
        Read,   // reading only; the file must exist
        Append, // reading and writing, every write at the end; made (rw for all, less the umask)
                // when missing
    };

    SystemFile() = default;
    ~SystemFile() { close(); }
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;

    // False with the system's reason in *error.
    bool open(const QString& path, Access access, QString* error);
    bool isOpen() const { return handle_ != kClosed; }
    void close();

    bool size(qint64* bytes, QString* error) const;
    // `length` bytes from `offset`; false unless all of them came.
    bool readAt(qint64 offset, char* buf, qint64 length) const;
    // Up to `length` bytes from where the last read ended: the count, 0 at the end, -1 on
    // failure with *error.
    qint64 read(char* buf, qint64 length, QString* error);
    // Writes all of it, going on after interruptions and short writes.
    bool writeAll(const char* data, qint64 length, QString* error);
    // Returns once everything written so far is on the disk.
    bool syncData(QString* error);
    // Takes the file's exclusive lock without waiting: false when another holder has it, with
    // *error saying so. The lock goes when the file is closed or its program ends, however.
    bool tryLock(QString* error);
    // Whether `path` still names this open file (it was not renamed or replaced meanwhile).
    bool isAt(const QString& path) const;

private:
    static constexpr qintptr kClosed = -1;
    qintptr handle_ = kClosed;
};

// Returns once the folder that holds `path` has its entry for it on the disk (after the file
// was made or renamed); false when that could not be done.
bool syncFolderOf(const QString& path);

// Makes folder `path` (its parent must exist), open to the user alone; false with the reason in
// *error ("Not a directory" when something else has that name).
bool makeUserFolder(const QString& path, QString* error);

// Gives file `from` the name `to`, replacing any file of that name in one step; false with the
// reason in *error.
bool renameReplacing(const QString& from, const QString& to, QString* error);
