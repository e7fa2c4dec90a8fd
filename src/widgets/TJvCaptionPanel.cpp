#include "widgets/TJvCaptionPanel.h"

#include <QPainter>

TJvCaptionPanel::TJvCaptionPanel(QWidget* parent) : QFrame(parent)
{
    updateMargins();
}

void TJvCaptionPanel::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void TJvCaptionPanel::setCaptionFont(const QFont& font)
{
    m_captionFont = font;
    update();
}

void TJvCaptionPanel::setIcon(const QPixmap& icon)
{
    m_icon = icon;
    update();
}

void TJvCaptionPanel::setCaptionHeight(int height)
{
    m_captionHeight = height;
    updateMargins();
    update();
}

int TJvCaptionPanel::barHeight() const
{
    return m_captionHeight > 0 ? m_captionHeight : 23;
}

void TJvCaptionPanel::updateMargins()
{
    setContentsMargins(1, barHeight() + 3, 1, 1);
}

void TJvCaptionPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    const QRect bar(2, 2, width() - 4, barHeight());
    p.fillRect(bar, QColor(0x1f, 0x5f, 0xa8));
    p.setFont(m_captionFont);
    p.setPen(Qt::white);
    p.drawText(bar.adjusted(8 + (m_icon.isNull() ? 0 : m_icon.width() + 2), 0, 0, 0),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_caption);
    if (!m_icon.isNull())
        p.drawPixmap(3, (2 + 2 + barHeight() - m_icon.height()) / 2, m_icon);
}
