#ifndef REPLACINGFILE_H
#define REPLACINGFILE_H

#include <QString>

#include <memory>

class QTemporaryFile;

// Writes a file so that an existing one is replaced only by a complete new one, and stays what
// it was: its owner, group, mode and hard links, and a symbolic link stays a link whose target
// (wherever it lives, on any file system) gets the new contents.
//
// Where it can, the bytes go to a new file with a short name of its own in the target's folder
// (so that a target name as long as the system allows still works), readable by its owner alone
// while it is written; every write is checked, the data are synced, the new file gets the old
// one's owner, group and mode, takes the target's name, and the folder is synced. Where a new
// file cannot keep what the old one was (it belongs to another user or group than the writer
// can give a new file, it has several hard links, or its folder cannot be written), the file
// itself is written, after a copy of its old contents was kept; a write that fails or is given
// up restores those contents.
//
// A character device (say /dev/null) has no content to keep, and renaming onto it would
// replace the device node itself, so it is written directly. A pipe or a socket is refused
// (writing to it could wait for ever for a reader), and so is a write-protected file.
class ReplacingFile
{
public:
    explicit ReplacingFile(const QString &target);
    // Removes the new file, or restores the old contents, unless the write was committed.
    ~ReplacingFile();

    // Makes the new file; false, with the reason in error(), when the target cannot be
    // replaced.
    bool open();
    // Writes all of bytes; false, with the reason in error(), when the system refused some.
    bool write(const char *bytes, qint64 length);
    // Finishes the file and gives it the target's name; false, with the reason in error(),
    // when that fails; the target is then as it was.
    bool commit();

    QString error() const { return reason; }
    // Whether the file itself is written (after its old contents were kept) rather than
    // replaced by a new one.
    bool writesInPlace() const { return mode == InPlace; }
    // The new file being written, empty when there is none.
    QString temporaryName() const { return temporary; }

private:
    enum Mode
    {
        Closed,
        Replace,
        InPlace,
        Direct
    };

    bool fail(int error);
    bool openReplacement(const QString &folder, bool *inPlace);
    bool openInPlace();
    bool restore();

    QString target;
    // The file the contents go to: the target with its symbolic links followed.
    QString destination;
    QString temporary;
    QString reason;
    Mode mode = Closed;
    int fd = -1;
    bool existed = false;
    // The old file's owner, group and permission bits, or those a new file gets.
    unsigned int ownerId = 0;
    unsigned int groupId = 0;
    unsigned int permissions = 0;
    // In place: the old contents and their length, and how far the new ones reach.
    std::unique_ptr<QTemporaryFile> oldContents;
    qint64 oldSize = 0;
    qint64 written = 0;
    bool committed = false;
};

#endif // REPLACINGFILE_H
