#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>

// A container with a coloured title bar along its top edge, an icon and a bold title, inside a
// fixed raised frame (drawn by the panel). Child widgets go in the
// content area: contentsRect() leaves room for the frame, the bar and a 1-pixel margin, so a layout
// set on the panel (with zero margins) puts its first child at (1, bar height + 3) from the client
// area's corner. Pressing or dragging the bar does nothing.
class TJvCaptionPanel : public QWidget {
    Q_OBJECT
public:
    explicit TJvCaptionPanel(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QFont captionFont() const { return m_captionFont; }
    void setCaptionFont(const QFont& font);
    // The title's colour (white by default).
    QColor captionFontColor() const { return m_captionFontColor; }
    void setCaptionFontColor(const QColor& color);
    // The bar's fill: an active-title blue by default, untouched by the application style.
    QColor captionColor() const { return m_captionColor; }
    void setCaptionColor(const QColor& color);
    QPixmap icon() const { return m_icon; }
    void setIcon(const QPixmap& icon);
    // Height of the bar; 0 means the platform's window-caption height.
    int captionHeight() const { return m_captionHeight; }
    void setCaptionHeight(int height);
    // The bar's height in use (23 at 96 dpi when captionHeight() is 0).
    int barHeight() const;

    // Widget coordinates. The client area is the panel less its frame; the others derive from it.
    QRect clientRect() const;
    QRect barRect() const;
    // Where the icon is drawn: at its own size, or scaled down to the bar's height less a pixel
    // above and below, centred in the bar's height.
    QRect iconRect() const;
    // The title's rectangle: the bar moved 8 pixels right (and past the icon) and down to centre
    // the text; the title is cut at its right edge and at the client area.
    QRect titleRect() const;

    // The window's column icons, 32 x 32 device-independent pixels, drawn from vector sources
    // for the device pixel ratio (0: the highest of the screens'): "Liste", "Texte", "Doublons
    // traités". A null pixmap for any other name.
    static QPixmap builtinIcon(const QString& name, qreal devicePixelRatio = 0);

    static constexpr int kFrameWidth = 2;
    static constexpr int kTextOffset = 8;
    static constexpr int kPlatformCaptionHeight = 23;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateMargins();
    void paintClient(QPainter& painter) const;

    QString m_caption;
    QFont m_captionFont;
    QColor m_captionFontColor = Qt::white;
    QColor m_captionColor = QColor(0x1f, 0x5f, 0xa8);
    QPixmap m_icon;
    int m_captionHeight = 0;
};
