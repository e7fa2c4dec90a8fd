#pragma once

#include <QString>

// Opens the trash in the file manager ("trash:///", else the home trash's files folder).
// Results are ignored and nothing is shown.
void OpenRecycleBin();

// Hands the folder, unchanged, to the file manager; the result is ignored.
void OpenFolderInFileManager(const QString& folder);
