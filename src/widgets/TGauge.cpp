#include "widgets/TGauge.h"

#include "base/Errors.h"

#include <algorithm>
#include <limits>
#include <QFontMetrics>
#include <QPainter>

namespace {

[[noreturn]] void raiseRange(qint64 low, qint64 high)
{
    throw base::EInvalidOperation(
        QStringLiteral("La valeur doit être comprise entre %1 et %2").arg(low).arg(high));
}

} // namespace

TGauge::TGauge(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGauge::setMinValue(int value)
{
    if (value == m_minValue)
        return;
    if (value > m_maxValue)
        raiseRange(-qint64(std::numeric_limits<int>::max()), qint64(m_maxValue) - 1);
    m_minValue = value;
    if (m_progress < value)
        m_progress = value;
    repaint();
}

void TGauge::setMaxValue(int value)
{
    if (value == m_maxValue)
        return;
    if (value < m_minValue)
        raiseRange(qint64(m_minValue) + 1, std::numeric_limits<int>::max());
    m_maxValue = value;
    if (m_progress > value)
        m_progress = value;
    repaint();
}

void TGauge::setProgress(int value)
{
    const int stored = qBound(m_minValue, value, m_maxValue);
    if (stored == m_progress)
        return;
    const int before = PercentDone();
    m_progress = stored;
    if (PercentDone() != before)
        repaint();
}

int TGauge::PercentDone() const
{
    if (m_maxValue == m_minValue)
        return 0;
    // In floating point: the 32-bit differences can overflow.
    return int(100.0 * (double(m_progress) - m_minValue) / (double(m_maxValue) - m_minValue));
}

void TGauge::setForeColor(const QColor& color)
{
    m_foreColor = color;
    update();
}

void TGauge::setBackColor(const QColor& color)
{
    m_backColor = color;
    update();
}

int TGauge::filledLength() const
{
    const int w = width() - 1;
    return std::clamp(int(w * (PercentDone() * 0.01)), 0, std::max(w, 0));
}

QImage TGauge::render() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (inner.isEmpty())
        return image;
    const int h = height() - 1;
    {
        QPainter p(&image);
        p.fillRect(inner, m_backColor);
        const int length = filledLength();
        if (length > 0)
            p.fillRect(QRect(inner.topLeft(), QPoint(length - 1, h - 1)), m_foreColor);
    }

    const QString text = QStringLiteral("%1%").arg(PercentDone());
    QFont textFont = font();
    // Plain black and white pixels keep the exclusive-or to the exact inverse colours.
    textFont.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(textFont);
    QImage textImage(size(), QImage::Format_RGB32);
    textImage.fill(Qt::black);
    {
        QPainter p(&textImage);
        p.setFont(textFont);
        p.setPen(Qt::white);
        p.setClipRect(inner);
        const int x = (width() - 1 - metrics.horizontalAdvance(text)) / 2;
        const int y = (h - metrics.height()) / 2;
        p.drawText(QRect(x, y, metrics.horizontalAdvance(text) + 1, metrics.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* source = reinterpret_cast<const QRgb*>(textImage.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            target[x] = 0xff000000u | ((target[x] ^ source[x]) & 0x00ffffffu);
    }
    return image;
}

void TGauge::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    QPainter p(this);
    p.drawImage(0, 0, render());
}
