#ifndef FILEKIND_H
#define FILEKIND_H

#include <QString>

// What a path chosen in a file dialog names. Only regular files are read; a save may also go to
// a character device (a printer port, /dev/null). A pipe or a socket is never opened: reading
// or writing one can wait for ever for a peer, and the window with it.
class FileKind
{
public:
    enum Kind
    {
        Missing,
        Regular,
        Directory,
        CharacterDevice,
        Other
    };

    // The kind of what path names, after following symbolic links.
    static Kind of(const QString &path);
};

#endif // FILEKIND_H
