#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// Moves one file to the freedesktop.org trash (the home trash, or the trash at the top of the
// file's own file system), with the record a file manager needs to restore it. Never deletes:
// a file the trash cannot take stays where it is, the result is false and reason (when given)
// receives a French sentence. Asks nothing, shows nothing, raises nothing.
bool SendToRecycleBin(const QString& fileName, QString* reason = nullptr);

// Called once the entry sits in the trash, as the entry trashName of the open folder filesFd.
// False (with a French sentence in why) when it is not the file that was meant.
using TrashVerify = std::function<bool(int filesFd, const QByteArray& trashName, QString* why)>;

// Called once the trash is chosen and the entry's record written, just before the file moves:
// trashRoot is the folder that holds files/ and info/ (as bytes), trashName the entry's name in
// files/. False (with a French sentence in why) leaves the file where it is, its record removed.
using TrashAboutToMove =
    std::function<bool(const QByteArray& trashRoot, const QByteArray& trashName, QString* why)>;

// The trash chosen for a series of moves (one scan's) and its folders, kept open between them:
// each later move checks that the folders it holds are still where they were found, instead of
// opening and checking them all anew. Moves to another file system choose their trash afresh.
class TrashSession {
public:
    TrashSession();
    ~TrashSession();
    TrashSession(const TrashSession&) = delete;
    TrashSession& operator=(const TrashSession&) = delete;
    // Closes what is kept.
    void close();

    struct Chosen;
    Chosen& chosen() { return *m_chosen; }

private:
    std::unique_ptr<Chosen> m_chosen;
};

// Moves the entry `name` of the open folder `folderFd` to the trash of the folder's file system.
// Every folder is opened once and checked and used through its descriptor, so that no one can
// turn a checked path into another between the check and the move. folderPath is the folder as
// the user reached it, for the record only. When verify (if given) refuses the entry in the
// trash, it is put back under its own name, never over another file, and its record removed;
// the result is then false with reason = why. If it cannot be put back, the record stays so that
// it can be restored, and reason says so and where it is. trashFolder (when given) receives the
// trash root used, such as ~/.local/share/Trash. aboutToMove (if given) is called as described
// at TrashAboutToMove. With a session, the trash it holds is used when it still stands.
bool SendToRecycleBinAt(int folderFd, const QString& folderPath, const QByteArray& name,
                        const TrashVerify& verify, QString* reason, QString* trashFolder = nullptr,
                        const TrashAboutToMove& aboutToMove = TrashAboutToMove(),
                        TrashSession* session = nullptr);

// The home trash folder ($XDG_DATA_HOME/Trash, else under the generic data location).
QString HomeTrashPath();

namespace RecycleBinSeam {
// Tests only: called with the trash root once its folders are open and checked, just before the
// record is written and the file moved, so that a test can change the folders at that moment.
extern std::function<void(const QString& trashRoot)> trashOpened;
} // namespace RecycleBinSeam
