#pragma once

#include <QLabel>

// The message of a message dialog. The text is drawn with the flags it was measured with
// (word wrap, expanded tabs) and with "&" as accelerator prefix: "&&" shows one "&", a lone "&"
// is hidden and underlines the next character. text() keeps the message as given.
class TMessageLabel : public QLabel {
    Q_OBJECT
public:
    explicit TMessageLabel(const QString& text, QWidget* parent = nullptr);

    // The flags for measuring and drawing a message.
    static constexpr int textFlags =
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;

protected:
    void paintEvent(QPaintEvent* event) override;
};
