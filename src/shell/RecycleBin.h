#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Moves one file to the freedesktop.org trash (the home trash, or the trash at the top of the
// file's own file system), with the record a file manager needs to restore it. Never deletes:
// a file the trash cannot take stays where it is, the result is false and reason (when given)
// receives a French sentence. Asks nothing, shows nothing, raises nothing.
bool SendToRecycleBin(const QString& fileName, QString* reason = nullptr);

// The home trash folder ($XDG_DATA_HOME/Trash, else under the generic data location).
QString HomeTrashPath();

using TrashVerify = std::function<bool(int filesFd, const QByteArray& trashName, QString* why)>;
bool SendToRecycleBinAt(int folderFd, const QString& folderPath, const QByteArray& name,
                        const TrashVerify& verify, QString* reason,
                        QString* trashFolder = nullptr);
// Tests make a change happen at the very moment of a move: called once the trash is chosen and
// checked, just before the rename.
void SetTrashMoveHook(std::function<void()> hook);
