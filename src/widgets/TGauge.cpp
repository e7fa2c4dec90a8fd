#include "widgets/TGauge.h"

#include <QPainter>

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::setMinValue(int value)
{
    m_minValue = value;
    update();
}

void TGauge::setMaxValue(int value)
{
    m_maxValue = value;
    if (m_progress > value)
        m_progress = value;
    update();
}

void TGauge::setProgress(int value)
{
    m_progress = qBound(m_minValue, value, m_maxValue);
    update();
}

int TGauge::PercentDone() const
{
    if (m_maxValue == m_minValue)
        return 0;
    return int(100.0 * (m_progress - m_minValue) / (double(m_maxValue) - m_minValue));
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

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_backColor);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("%1%").arg(PercentDone()));
}
