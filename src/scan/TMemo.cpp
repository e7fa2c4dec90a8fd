#include "scan/TMemo.h"

#include "base/Errors.h"
#include "scan/TextCodec.h"

#include <QTextDocument>

#include <algorithm>
#include <new>

namespace {

constexpr char16_t kNulPlaceholder = 0x2400;
// The odd last byte of a UTF-16 file shows as the usual sign for a byte that decodes to nothing.
constexpr char16_t kOddBytePlaceholder = 0xFFFD;

class RedrawSuspended {
public:
    explicit RedrawSuspended(QWidget* widget)
        : m_widget(widget), m_wasEnabled(widget->updatesEnabled())
    {
        if (m_wasEnabled)
            m_widget->setUpdatesEnabled(false);
    }
    ~RedrawSuspended()
    {
        if (m_wasEnabled) {
            m_widget->setUpdatesEnabled(true);
            m_widget->update();
        }
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    QWidget* m_widget;
    bool m_wasEnabled;
};

bool isShownBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab and Shift+Tab move on, as in a multi-line edit, instead of typing into the mail.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &TMemo::takeUserEdit);
    setText(QStringLiteral("\r\n"));
    m_textSetCount = 0;
}

QString TMemo::text() const
{
    return m_text;
}

void TMemo::setText(const QString& text)
{
    if (text.size() > m_capacity)
        refuseText();
    // Laying out the same text again costs as much as a new one: a scan clears panes that may
    // already be empty.
    if (text == m_text && !m_shown.isNull())
        return;
    try {
        const QString shown = shownText(text);
        m_handing = true;
        setPlainText(shown);
        m_shown = document()->toRawText();
        m_text = text;
        m_handing = false;
    } catch (const std::bad_alloc&) {
        m_handing = false;
        throw base::EOutOfMemory(QStringLiteral("Mémoire insuffisante"));
    }
    ++m_textSetCount;
}

void TMemo::LoadFromFile(const QString& fileName)
{
    const RedrawSuspended suspended(this);
    // A text the pane would refuse is never held whole.
    QString loaded;
    if (!LoadTextFileWithin(fileName, m_capacity, loaded))
        refuseText();
    if (loaded == m_text)
        return;
    setText(loaded);
}

void TMemo::refuseText()
{
    ThrowTextTooLong();
}

QString TMemo::shownText(QStringView text)
{
    QString shown(text.size(), Qt::Uninitialized);
    QChar* out = shown.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsOddByteMark(text, i)) {
            ++i;
            *out++ = kOddBytePlaceholder;
        } else if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            *out++ = u'\n';
        } else if (c == u'\0') {
            *out++ = kNulPlaceholder;
        } else {
            *out++ = c;
        }
    }
    shown.truncate(out - shown.data());
    return shown;
}

// Each shown character stands for one true character, except a shown break for a CR LF pair and
// the odd-byte sign for its two-unit mark.
qsizetype TMemo::trueOffset(qsizetype shownOffset, qsizetype fromShown, qsizetype fromTrue) const
{
    qsizetype i = fromTrue;
    for (qsizetype d = fromShown; d < shownOffset && i < m_text.size(); ++d) {
        if (IsOddByteMark(m_text, i) ||
            (m_text[i] == u'\r' && i + 1 < m_text.size() && m_text[i + 1] == u'\n'))
            i += 2;
        else
            ++i;
    }
    return i;
}

void TMemo::takeUserEdit()
{
    if (m_handing)
        return;
    const QString shown = document()->toRawText();
    const qsizetype common = std::min(shown.size(), m_shown.size());
    qsizetype prefix = 0;
    while (prefix < common && shown[prefix] == m_shown[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix &&
           shown[shown.size() - 1 - suffix] == m_shown[m_shown.size() - 1 - suffix])
        ++suffix;

    const qsizetype removeStart = trueOffset(prefix, 0, 0);
    const qsizetype removeEnd = trueOffset(m_shown.size() - suffix, prefix, removeStart);
    QString inserted;
    for (qsizetype i = prefix; i < shown.size() - suffix; ++i) {
        if (isShownBreak(shown[i]))
            inserted += QLatin1StringView("\r\n");
        else
            inserted += shown[i];
    }
    m_text.replace(removeStart, removeEnd - removeStart, inserted);
    m_shown = shown;
}
