#pragma once

#include <QString>

#include <functional>

// Told once an opening is settled (after the warning, when one was shown): true when a program
// took the request.
using OpenOutcome = std::function<void(bool opened)>;

// Opens the trash in the file manager ("trash:///", else the home trash's files folder). When no
// program opens either, a warning names the files folder. Returns at once.
void OpenRecycleBin(OpenOutcome done = {});

// Hands the folder, unchanged, to the file manager; when no program opens it, a warning names it.
// An empty folder opens nothing and shows nothing. Returns at once.
void OpenFolderInFileManager(const QString& folder, OpenOutcome done = {});
