#include "dialogs/TMessageForm.h"

#include "dialogs/DialogResources.h"
#include "dialogs/SystemSound.h"
#include "dialogs/TMessageLabel.h"
#include "dialogs/VectorImage.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>

#include <cmath>

namespace {

// Windows' MulDiv for the non-negative values used here: rounds to nearest, halves upwards.
int mulDiv(int number, int numerator, int denominator)
{
    return int((qint64(number) * numerator + denominator / 2) / denominator);
}

// Caption width + 8 per button kind, measured the first time the kind is shown in the run.
int captionWidth(TMsgDlgBtn kind, const QFontMetrics& metrics)
{
    static QHash<int, int> widths;
    const auto found = widths.constFind(int(kind));
    if (found != widths.constEnd())
        return *found;
    const int width =
        metrics
            .boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, ButtonCaption(kind))
            .width() +
        8;
    widths.insert(int(kind), width);
    return width;
}

QChar acceleratorOf(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1];
        ++i;
    }
    return QChar();
}

std::optional<QStyle::StandardPixmap> iconOf(TMsgDlgType kind)
{
    switch (kind) {
    case mtWarning:
        return QStyle::SP_MessageBoxWarning;
    case mtError:
        return QStyle::SP_MessageBoxCritical;
    case mtInformation:
        return QStyle::SP_MessageBoxInformation;
    case mtConfirmation:
        return QStyle::SP_MessageBoxQuestion;
    case mtCustom:
        break;
    }
    return std::nullopt;
}

// The widest run of the text without a blank, as drawn (with fractional advances).
int widestWord(const QString& text, const QFont& font)
{
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (const QString& line :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return int(std::ceil(widest));
}

constexpr int kWrapSlack = 2;

const QString kDashes = QString(27, QLatin1Char('-'));
const QString kCrlf = QStringLiteral("\r\n");

} // namespace

TMessageForm::TMessageForm(const QString& caption, const QString& text, TMsgDlgType kind,
                           TMsgDlgButtons buttons, std::optional<TMsgDlgBtn> defaultButton,
                           QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_text(text)
{
    setModal(true);
    setFont(QApplication::font());
    setLayoutDirection(QApplication::layoutDirection());
    setWindowTitle(caption);
    installEventFilter(this);

    const QFontMetrics metrics(font());
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int averageWidth = metrics.horizontalAdvance(letters) / 52;
    const int charHeight = metrics.height();
    const int hMargin = mulDiv(8, averageWidth, 4);
    const int vMargin = mulDiv(8, charHeight, 8);
    const int hSpacing = mulDiv(10, averageWidth, 4);
    const int vSpacing = mulDiv(10, charHeight, 8);
    const int buttonHeight = mulDiv(14, charHeight, 8);
    const int buttonSpacing = mulDiv(4, averageWidth, 4);

    QList<TMsgDlgBtn> kinds;
    for (int b = mbYes; b <= mbClose; ++b) {
        if (buttons & buttonBit(TMsgDlgBtn(b)))
            kinds.append(TMsgDlgBtn(b));
    }
    int buttonWidth = mulDiv(50, averageWidth, 4);
    for (TMsgDlgBtn b : kinds)
        buttonWidth = std::max(buttonWidth, captionWidth(b, metrics));

    const auto icon = iconOf(kind);
    const int iconExtra = icon ? hSpacing + 32 : 0;

    // Half the primary screen, but never more than the work area of the screen the dialog shows
    // on leaves for the text, so that a word too long for it is broken rather than cut off.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QScreen* shownOn = owner && owner->screen() ? owner->screen() : primary;
    int wrapWidth = primary ? primary->geometry().width() / 2 : 0;
    if (shownOn)
        wrapWidth =
            std::min(wrapWidth, shownOn->availableGeometry().width() - 2 * hMargin - iconExtra);
    // A line without a blank (a rule of "=") is never wrapped where the screen has room for it.
    // Glyph advances rounded at another scale may make it a pixel or two wider than measured.
    const int room =
        shownOn ? shownOn->availableGeometry().width() - 2 * hMargin - iconExtra : wrapWidth;
    const int widest = widestWord(text, font()) + kWrapSlack;
    if (widest <= room)
        wrapWidth = std::max(wrapWidth, widest);
    wrapWidth = std::max(wrapWidth, averageWidth);
    const QString shown = TMessageLabel::breakableText(text, metrics, wrapWidth);
    const QRect textRect =
        metrics.boundingRect(QRect(0, 0, wrapWidth, 0), TMessageLabel::textFlags, shown);
    const int textWidth = std::min(textRect.width() + kWrapSlack, wrapWidth);
    const int textHeight = textRect.height();

    int iconTextWidth = textWidth;
    int iconTextHeight = textHeight;
    if (icon) {
        iconTextWidth += iconExtra;
        iconTextHeight = std::max(iconTextHeight, 32);
    }
    const int n = int(kinds.size());
    const int rowWidth = n > 0 ? n * buttonWidth + (n - 1) * buttonSpacing : 0;
    const int clientWidth = std::max(iconTextWidth, rowWidth) + 2 * hMargin;
    const int clientHeight = iconTextHeight + buttonHeight + vSpacing + 2 * vMargin;
    setFixedSize(clientWidth, clientHeight);

    const bool mirrored = layoutDirection() == Qt::RightToLeft;
    auto placed = [&](int left, int width) { return mirrored ? clientWidth - left - width : left; };
    if (icon) {
        m_icon = new QLabel(this);
        m_icon->setObjectName(QStringLiteral("Image"));
        m_icon->setPixmap(kindIcon(kind, devicePixelRatioF()));
        m_icon->setGeometry(placed(hMargin, 32), vMargin, 32, 32);
    }
    m_message = new TMessageLabel(text, this);
    m_message->setObjectName(QStringLiteral("Message"));
    m_message->setShownText(shown);
    m_message->setGeometry(placed(iconTextWidth - textWidth + hMargin, textWidth), vMargin,
                           textWidth, textHeight);

    m_default = defaultButton && (buttons & buttonBit(*defaultButton))
                    ? defaultButton
                    : std::optional<TMsgDlgBtn>();
    const TMsgDlgBtn cancel = (buttons & buttonBit(mbCancel)) ? mbCancel
                              : (buttons & buttonBit(mbNo))   ? mbNo
                                                              : mbOK;
    if (buttons & buttonBit(cancel))
        m_cancel = cancel;

    int left = (clientWidth - rowWidth) / 2;
    const int top = iconTextHeight + vMargin + vSpacing;
    for (TMsgDlgBtn b : kinds) {
        auto* widget = new QPushButton(ButtonCaption(b), this);
        widget->setAutoDefault(false);
        widget->setGeometry(left, top, buttonWidth, buttonHeight);
        widget->installEventFilter(this);
        const int result = ButtonResult(b);
        if (result != mrNone)
            connect(widget, &QPushButton::clicked, this, [this, result] { done(result); });
        m_buttons.append({b, widget, acceleratorOf(ButtonCaption(b))});
        left += buttonWidth + buttonSpacing;
    }
    if (QPushButton* initial = m_default ? button(*m_default) : nullptr) {
        initial->setDefault(true);
        initial->setFocus(Qt::OtherFocusReason);
    } else if (!m_buttons.isEmpty()) {
        // Without a default the first button in tab order has the focus, as the toolkit gives it.
        m_buttons.first().widget->setFocus(Qt::OtherFocusReason);
    }
}

QPixmap TMessageForm::kindIcon(TMsgDlgType kind, qreal devicePixelRatio)
{
    const auto icon = iconOf(kind);
    if (!icon)
        return QPixmap();
    InitDialogResources();
    const char* name = *icon == QStyle::SP_MessageBoxWarning    ? "warning"
                       : *icon == QStyle::SP_MessageBoxCritical ? "error"
                       : *icon == QStyle::SP_MessageBoxQuestion ? "question"
                                                                : "information";
    const QPixmap drawn =
        VectorPixmap(QStringLiteral(":/icons/message-%1.svg").arg(QLatin1String(name)),
                     QSize(32, 32), devicePixelRatio);
    if (!drawn.isNull())
        return drawn;
    return QApplication::style()->standardIcon(*icon).pixmap(QSize(32, 32), devicePixelRatio);
}

QList<QPushButton*> TMessageForm::buttons() const
{
    QList<QPushButton*> result;
    for (const Button& b : m_buttons)
        result.append(b.widget);
    return result;
}

QPushButton* TMessageForm::button(TMsgDlgBtn kind) const
{
    for (const Button& b : m_buttons) {
        if (b.kind == kind)
            return b.widget;
    }
    return nullptr;
}

QString TMessageForm::clipboardText() const
{
    QString buttonLine;
    for (const Button& b : m_buttons)
        buttonLine +=
            QString(ButtonCaption(b.kind)).remove(QLatin1Char('&')) + QStringLiteral("   ");
    return kDashes + kCrlf + windowTitle() + kCrlf + kDashes + kCrlf + m_text + kCrlf + kDashes +
           kCrlf + buttonLine + kCrlf + kDashes + kCrlf;
}

void TMessageForm::reject()
{
    // Reached from the close box (title bar, Alt+F4); Escape is handled before the dialog sees it.
    done(mrCancel);
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isOwnKey(key)) {
            // Accepting the override keeps the buttons' own Alt shortcuts and any application
            // shortcut from taking the key.
            event->accept();
            if (event->type() == QEvent::KeyPress)
                handleKey(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TMessageForm::isOwnKey(const QKeyEvent* key) const
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return mods == Qt::NoModifier;
    case Qt::Key_C:
        if (mods == Qt::ControlModifier)
            return true;
        break;
    default:
        break;
    }
    return acceleratorButton(key) != nullptr;
}

const TMessageForm::Button* TMessageForm::acceleratorButton(const QKeyEvent* key) const
{
    const Qt::KeyboardModifiers mods =
        key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (mods != Qt::NoModifier)
        return nullptr;
    for (const Button& b : m_buttons) {
        if (b.accelerator.isNull())
            continue;
        const QChar upper = b.accelerator.toUpper();
        // With Alt the event may carry no text: the key code names the letter.
        if ((upper.unicode() < 0x80 && key->key() == upper.unicode()) ||
            key->text().compare(QString(b.accelerator), Qt::CaseInsensitive) == 0)
            return &b;
    }
    return nullptr;
}

void TMessageForm::handleKey(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        for (const Button& b : m_buttons) {
            if (b.widget == focusWidget()) {
                press(b);
                return;
            }
        }
        return;
    case Qt::Key_Escape:
        for (const Button& b : m_buttons) {
            if (m_cancel && b.kind == *m_cancel) {
                press(b);
                return;
            }
        }
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveFocus(-1);
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveFocus(1);
        return;
    default:
        break;
    }
    if (key->key() == Qt::Key_C &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        MessageBeep(MB_OK);
        QGuiApplication::clipboard()->setText(clipboardText());
        return;
    }
    if (const Button* b = acceleratorButton(key))
        press(*b);
}

void TMessageForm::moveFocus(int step)
{
    const int n = int(m_buttons.size());
    if (n == 0)
        return;
    int current = -1;
    for (int i = 0; i < n; ++i) {
        if (m_buttons[i].widget == focusWidget())
            current = i;
    }
    const int next = current < 0 ? 0 : (current + step + n) % n;
    m_buttons[next].widget->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
}

void TMessageForm::press(const Button& button)
{
    button.widget->setFocus(Qt::ShortcutFocusReason);
    button.widget->click();
}
