#include "widgets/TSplitter.h"

#include <QLayout>
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

int TSplitter::maximumControlHeight() const
{
    const QWidget* parent = m_control ? m_control->parentWidget() : nullptr;
    if (!parent || !parent->layout() || !parent->isVisible())
        return -1;
    // What the column holds besides the two neighbours keeps its height.
    int used = 0;
    const QLayout* layout = parent->layout();
    for (int i = 0; i < layout->count(); ++i) {
        const QWidget* w = layout->itemAt(i)->widget();
        if (!w || w == m_above || w == m_control || w->isHidden())
            continue;
        used +=
            w->minimumHeight() == w->maximumHeight() ? w->height() : w->minimumSizeHint().height();
    }
    return parent->contentsRect().height() - used - m_minimum;
}

int TSplitter::boundedHeight(int height) const
{
    // Before the first layout the room is unknown; rebound() applies it once it is known.
    const int maximum = maximumControlHeight();
    if (maximum >= 0)
        height = qMin(height, maximum);
    return qMax(m_minimum, height);
}

void TSplitter::setControlHeight(int height)
{
    if (m_control)
        m_control->setFixedHeight(boundedHeight(height));
}

void TSplitter::rebound()
{
    if (m_control && boundedHeight(m_control->height()) != m_control->height())
        setControlHeight(m_control->height());
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
