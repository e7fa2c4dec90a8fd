#pragma once

#include <QFont>
#include <QFrame>
#include <QPixmap>
#include <QString>

// A container with a coloured title bar along its top edge, an icon and a bold title. Child
// widgets go in the content area (its layout's contents margins leave room for the bar).
class TJvCaptionPanel : public QFrame {
    Q_OBJECT
public:
    explicit TJvCaptionPanel(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QFont captionFont() const { return m_captionFont; }
    void setCaptionFont(const QFont& font);
    QPixmap icon() const { return m_icon; }
    void setIcon(const QPixmap& icon);
    // Height of the bar; 0 means the platform's window-caption height.
    int captionHeight() const { return m_captionHeight; }
    void setCaptionHeight(int height);
    // The bar's height in use (23 at 96 dpi when captionHeight() is 0).
    int barHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateMargins();

    QString m_caption;
    QFont m_captionFont;
    QPixmap m_icon;
    int m_captionHeight = 0;
};
