#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// A picture drawn from an SVG resource at a size in device-independent pixels, rendered for the
// given device pixel ratio so that it stays sharp on a scaled screen. The default ratio is the
// highest of the screens'. A null pixmap when the resource cannot be read.
QPixmap VectorPixmap(const QString& resource, const QSize& size, qreal devicePixelRatio = 0);
