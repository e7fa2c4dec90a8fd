#pragma once

#include "dialogs/MessageDialogs.h"

#include <optional>
#include <QDialog>
#include <QList>
#include <QPixmap>

class QLabel;
class QPushButton;
class TMessageLabel;

// The toolkit's own message dialog: icon, word-wrapped message and a row of buttons laid out in
// dialog units of the application's font. Each button ends the dialog with its result; the close
// box gives 2. Keys are seen before the buttons (key preview): Enter presses the focused button,
// Escape the cancel button (if any), an accelerator letter alone or with Alt its button, Tab and
// the arrows move the focus, Ctrl+C copies the dialog's text.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    TMessageForm(const QString& caption, const QString& text, TMsgDlgType kind,
                 TMsgDlgButtons buttons, std::optional<TMsgDlgBtn> defaultButton,
                 QWidget* owner = nullptr);

    const QString& messageText() const { return m_text; }
    // The buttons from left to right.
    QList<QPushButton*> buttons() const;
    QPushButton* button(TMsgDlgBtn kind) const;
    std::optional<TMsgDlgBtn> defaultButton() const { return m_default; }
    std::optional<TMsgDlgBtn> cancelButton() const { return m_cancel; }
    TMessageLabel* messageLabel() const { return m_message; }
    // Null for mtCustom.
    QLabel* iconLabel() const { return m_icon; }
    // The kind's icon, 32 x 32, drawn from a vector source for the device pixel ratio so that it
    // stays sharp on a scaled screen (the style's bitmap only if that cannot be read); null for
    // mtCustom.
    static QPixmap kindIcon(TMsgDlgType kind, qreal devicePixelRatio);
    // What Ctrl+C puts on the clipboard.
    QString clipboardText() const;

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Button {
        TMsgDlgBtn kind;
        QPushButton* widget;
        QChar accelerator;
    };

    bool isOwnKey(const QKeyEvent* key) const;
    void handleKey(const QKeyEvent* key);
    const Button* acceleratorButton(const QKeyEvent* key) const;
    void moveFocus(int step);
    void press(const Button& button);

    QString m_text;
    QList<Button> m_buttons;
    std::optional<TMsgDlgBtn> m_default;
    std::optional<TMsgDlgBtn> m_cancel;
    TMessageLabel* m_message = nullptr;
    QLabel* m_icon = nullptr;
};
