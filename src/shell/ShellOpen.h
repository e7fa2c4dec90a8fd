#pragma once

#include <QString>

#include <functional>

// Told once an opening is settled (after the warning, when one was shown): true when a program
// took the request.
using OpenOutcome = std::function<void(bool opened)>;

// Opens the trash in the file manager: "trash:///", else the files folder of the trash the last
// scan moved files to (RememberTrashUsed), else the home trash's. When no program opens either,
// a warning names that files folder. Returns at once.
void OpenRecycleBin(OpenOutcome done = {});

// The trash root (such as /media/disk/.Trash-1000) where files were last moved, for the fallback
// of OpenRecycleBin; an empty root goes back to the home trash.
void RememberTrashUsed(const QString& trashRoot);

// Hands the folder, unchanged, to the file manager; when no program opens it, a warning names it.
// An empty folder opens nothing and shows nothing. Returns at once.
void OpenFolderInFileManager(const QString& folder, OpenOutcome done = {});
