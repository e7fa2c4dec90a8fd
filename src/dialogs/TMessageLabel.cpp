#include "dialogs/TMessageLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextBoundaryFinder>

namespace {

constexpr QChar kZeroWidthSpace(0x200B);

// The word with a break opportunity at each character boundary, except between an accelerator
// "&" and the character it underlines.
QString breakable(QStringView word)
{
    QList<bool> keepWhole(word.size() + 1, false);
    for (qsizetype i = 0; i + 1 < word.size(); ++i) {
        if (word[i] == QLatin1Char('&')) {
            keepWhole[i + 1] = true;
            ++i;
        }
    }
    QString result;
    result.reserve(word.size() * 2);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, word.data(), word.size());
    qsizetype from = 0;
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
        result += word.mid(from, at - from);
        if (at < word.size() && !keepWhole[at])
            result += kZeroWidthSpace;
        from = at;
    }
    return result;
}

} // namespace

TMessageLabel::TMessageLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

QString TMessageLabel::breakableText(const QString& text, const QFontMetrics& metrics, int width)
{
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        const bool space = text[i].isSpace();
        while (end < text.size() && text[end].isSpace() == space)
            ++end;
        const QStringView piece = QStringView(text).mid(i, end - i);
        if (!space && metrics.horizontalAdvance(piece.toString()) > width)
            result += breakable(piece);
        else
            result += piece;
        i = end;
    }
    return result;
}

void TMessageLabel::setShownText(const QString& shown)
{
    m_shown = shown;
    update();
}

void TMessageLabel::paintEvent(QPaintEvent*)
{
    // QLabel applies the mnemonic only with a buddy and does not expand tabs.
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), textFlags, palette(), isEnabled(), shownText(),
                          foregroundRole());
}
