#include "widgets/TJvCaptionPanel.h"

#include "dialogs/VectorImage.h"
#include "widgets/WidgetResources.h"

#include <qdrawutil.h>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>

TJvCaptionPanel::TJvCaptionPanel(QWidget* parent) : QWidget(parent)
{
    InitWidgetResources();
    m_captionFont = QFont(QStringLiteral("Tahoma"));
    m_captionFont.setPixelSize(13);
    m_captionFont.setBold(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
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

void TJvCaptionPanel::setCaptionFontColor(const QColor& color)
{
    m_captionFontColor = color;
    update();
}

void TJvCaptionPanel::setCaptionColor(const QColor& color)
{
    m_captionColor = color;
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
    return m_captionHeight > 0 ? m_captionHeight : kPlatformCaptionHeight;
}

QRect TJvCaptionPanel::clientRect() const
{
    return rect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
}

QRect TJvCaptionPanel::barRect() const
{
    const QRect client = clientRect();
    return QRect(QPoint(client.left() + 2, client.top() + 2),
                 QPoint(client.right() - 2, client.top() + 2 + barHeight() - 1));
}

QRect TJvCaptionPanel::iconRect() const
{
    if (m_icon.isNull())
        return QRect();
    const QRect bar = barRect();
    // Inside the bar, one pixel from its edges: an icon taller than the bar would hang over the
    // controls below it.
    const int room = std::max(1, bar.height() - 2);
    QSize size = m_icon.deviceIndependentSize().toSize();
    if (size.height() > room)
        size = size.scaled(QSize(room * 4, room), Qt::KeepAspectRatio);
    return QRect(QPoint(bar.left() + 1, bar.top() + (bar.height() - size.height()) / 2), size);
}

QRect TJvCaptionPanel::titleRect() const
{
    QFont font = m_captionFont;
    const int textHeight = QFontMetrics(font).height();
    QRect title = barRect().translated(kTextOffset, (barHeight() - textHeight) / 2);
    if (!m_icon.isNull())
        title.setLeft(title.left() + iconRect().width() + 2);
    return title;
}

void TJvCaptionPanel::updateMargins()
{
    const int fw = kFrameWidth;
    setContentsMargins(fw + 1, fw + barHeight() + 2 + 1, fw + 1, fw + 1);
}

void TJvCaptionPanel::paintClient(QPainter& painter) const
{
    const QRect client = clientRect();
    painter.translate(-client.topLeft());
    painter.fillRect(client, palette().color(QPalette::Button));
    painter.fillRect(barRect(), m_captionColor);
    if (!m_icon.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(iconRect(), m_icon);
    }
    if (!m_caption.isEmpty()) {
        QFont font = m_captionFont;
        font.setStyleStrategy(QFont::PreferOutline);
        painter.setFont(font);
        painter.setPen(m_captionFontColor);
        const QRect title = titleRect();
        painter.setClipRect(title.intersected(client));
        // No Qt::TextShowMnemonic: every "&" is drawn as it is.
        painter.drawText(title, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_caption);
    }
}

void TJvCaptionPanel::paintEvent(QPaintEvent*)
{
    const QRect client = clientRect();
    if (!client.isEmpty()) {
        const qreal ratio = devicePixelRatioF();
        QImage buffer(client.size() * ratio, QImage::Format_RGB32);
        buffer.setDevicePixelRatio(ratio);
        {
            QPainter offscreen(&buffer);
            paintClient(offscreen);
        }
        QPainter screen(this);
        screen.drawImage(client.topLeft(), buffer);
    }
    // Drawn here: a QFrame would reset the contents margins to its own frame width on polish.
    QPainter frame(this);
    qDrawWinPanel(&frame, rect(), palette(), false);
}

namespace {
const QSize kIconSize(32, 32);
} // namespace

QPixmap TJvCaptionPanel::builtinIcon(const QString& name, qreal devicePixelRatio)
{
    InitWidgetResources();
    if (name == QStringLiteral("Liste"))
        return VectorPixmap(QStringLiteral(":/icons/liste.svg"), kIconSize, devicePixelRatio);
    if (name == QStringLiteral("Texte"))
        return VectorPixmap(QStringLiteral(":/icons/texte.svg"), kIconSize, devicePixelRatio);
    if (name == QStringLiteral("Doublons traités"))
        return VectorPixmap(QStringLiteral(":/icons/doublons.svg"), kIconSize, devicePixelRatio);
    return QPixmap();
}
