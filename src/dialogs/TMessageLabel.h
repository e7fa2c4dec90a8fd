#pragma once

#include <QLabel>

class QFontMetrics;

// The message of a message dialog. The text is drawn with the flags it was measured with
// (word wrap, expanded tabs) and with "&" as accelerator prefix: "&&" shows one "&", a lone "&"
// is hidden and underlines the next character. text() keeps the message as given; what is drawn
// may hold break opportunities inside words too long for the wrapping width.
class TMessageLabel : public QLabel {
    Q_OBJECT
public:
    explicit TMessageLabel(const QString& text, QWidget* parent = nullptr);

    // The flags for measuring and drawing a message.
    static constexpr int textFlags =
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;

    // The text with a zero-width space between the characters of every word wider than width,
    // so that word wrapping may break it anywhere; shorter words are left whole.
    static QString breakableText(const QString& text, const QFontMetrics& metrics, int width);

    // What is drawn; text() when never set.
    QString shownText() const { return m_shown.isNull() ? text() : m_shown; }
    void setShownText(const QString& shown);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_shown;
};
