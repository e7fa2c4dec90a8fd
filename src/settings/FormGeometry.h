#pragma once

#include <optional>
#include <QList>
#include <QRect>
#include <QString>

class QWidget;

// The window's position and size as one settings value "left:top:width:height": the frame's left
// and top, the whole window's width and height frame included. Section: AppBaseName(false); key:
// the window's objectName(). An empty IniPath means IniFilePath().

// Raises EIniFileException when the file cannot be written.
void SaveFormGeometry(QWidget* form, const QString& iniPath = QString());
// Applies the stored pieces in order, each clamped to the work area at once; raises
// EConvertError at the first piece that is not an integer, the earlier ones staying applied. A
// value of fewer than four pieces counts as missing: the window keeps its size as far as the work
// area allows, frame included, and is centred on the work area. Whatever was applied, the window
// ends inside the work area of the screen it mostly sits on (FitIntoWorkArea).
void RestoreFormGeometry(QWidget* form, const QString& iniPath = QString());

// The frame moved, and shrunk where it is larger, into the work area it overlaps most; a frame
// that overlaps none goes into the nearest one. The first work area is the primary screen's.
QRect FitIntoWorkArea(const QRect& frame, const QList<QRect>& workAreas);

// The primary screen's available geometry, or the rectangle set for tests.
QRect WorkArea();
// The available geometry of every screen, the primary first; only the test rectangle when set.
QList<QRect> WorkAreas();
void SetWorkAreaForTesting(std::optional<QRect> area);
