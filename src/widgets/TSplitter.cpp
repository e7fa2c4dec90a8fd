#include "widgets/TSplitter.h"

#include <QMouseEvent>
#include <QPainter>

TSplitter::TSplitter(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(9);
    setCursor(Qt::SplitVCursor);
}

void TSplitter::setControls(QWidget* above, QWidget* below)
{
    m_above = above;
    m_control = below;
}

int TSplitter::boundedHeight(int height) const
{
    int maximum = height;
    // Before the first layout the heights mean nothing yet; rebound() runs once it is done.
    if (m_above && m_control && m_above->isVisible())
        maximum = m_control->height() + m_above->height() - m_minimum;
    return qMax(m_minimum, qMin(height, maximum));
}

void TSplitter::setControlHeight(int height)
{
    if (m_control)
        m_control->setFixedHeight(boundedHeight(height));
}

void TSplitter::rebound()
{
    if (m_control && m_above && m_above->isVisible() && m_above->height() < m_minimum)
        setControlHeight(m_control->height() - (m_minimum - m_above->height()));
}

void TSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_control)
        return;
    m_dragging = true;
    m_pressY = event->globalPosition().toPoint().y();
    m_pressHeight = m_control->height();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    setControlHeight(m_pressHeight - (event->globalPosition().toPoint().y() - m_pressY));
}

void TSplitter::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

void TSplitter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const int cy = height() / 2;
    p.setPen(palette().mid().color());
    for (int x = width() / 2 - 12; x <= width() / 2 + 12; x += 4)
        p.drawPoint(x, cy);
}
