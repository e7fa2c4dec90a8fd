#pragma once

#include <QString>

// The title of an executable: its file name without folder, cut before the first ".", every
// character after the first lower-cased ("/opt/MYTOOL.EXE" gives "Mytool", "my.tool.exe" "my").
QString ApplicationTitleFor(const QString& exePath);
// The title of the running executable (QCoreApplication::applicationFilePath()).
QString ApplicationTitle();
