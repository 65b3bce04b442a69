#ifndef REPLACINGFILE_H
#define REPLACINGFILE_H

#include <QString>

#include <memory>

class QFile;

// Writes a file so that an existing one is replaced only by a complete new one. The bytes go to
// a new file with a short name of its own in the same folder (so that a target name as long as
// the system allows still works); every write and the closing are checked, and only then does
// the new file, with the old one's permissions, take the target's name. A character device
// (say /dev/null) has no content to keep, and renaming onto it would replace the device node
// itself, so it is written directly. A pipe or a socket is refused (writing to it could wait for
// ever for a reader), and so is a write-protected file.
class ReplacingFile
{
public:
    explicit ReplacingFile(const QString &target);
    // Removes the new file unless it was committed.
    ~ReplacingFile();

    // Makes the new file; false, with the reason in error(), when the target cannot be
    // replaced.
    bool open();
    // Writes all of bytes; false, with the reason in error(), when the system refused some.
    bool write(const char *bytes, qint64 length);
    // Closes the new file and gives it the target's name; false, with the reason in error(),
    // when either fails; the target is then as it was.
    bool commit();

    QString error() const { return reason; }

private:
    QString target;
    QString reason;
    std::unique_ptr<QFile> file;
    bool direct = false;
    bool committed = false;
};

#endif // REPLACINGFILE_H
