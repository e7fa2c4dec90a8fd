#include "dialogs/TMessageLabel.h"

#include <QPainter>
#include <QStyle>

TMessageLabel::TMessageLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

void TMessageLabel::paintEvent(QPaintEvent*)
{
    // QLabel applies the mnemonic only with a buddy and does not expand tabs.
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), textFlags, palette(), isEnabled(), text(),
                          foregroundRole());
}
