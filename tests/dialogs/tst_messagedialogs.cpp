#include "dialogs/AppTitle.h"
#include "dialogs/MessageDialogs.h"
#include "dialogs/SystemSound.h"
#include "dialogs/TMessageForm.h"
#include "dialogs/TMessageLabel.h"
#include "support/DialogAnswerer.h"

#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTest>
#include <QTextLayout>
#include <QtMath>

namespace {

// The uses of the dialog by the tool.
enum Use { Confirm, Info, Duplicate, Notice, CloseOnly };

// Steps as text: "close", "click:<caption>", a single character typed, or a key ("Return",
// "Esc", "Alt+N", "Shift+Tab").
void queue(DialogAnswerer& answerer, const QStringList& steps)
{
    for (const QString& step : steps) {
        if (step == QLatin1String("close")) {
            answerer.closeBox();
        } else if (step.startsWith(QLatin1String("click:"))) {
            answerer.click(step.mid(6));
        } else if (step.size() == 1) {
            answerer.type(step[0].toLatin1());
        } else {
            const QKeySequence sequence = QKeySequence::fromString(step);
            QVERIFY2(sequence.count() == 1, qPrintable(step));
            answerer.press(sequence[0].key(), sequence[0].keyboardModifiers());
        }
    }
}

int horizontalUnits(int units)
{
    const QFontMetrics fm(QApplication::font());
    const int average = fm.horizontalAdvance(QStringLiteral(
                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                        52;
    return (units * average + 2) / 4;
}

QImage rendered(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

const TMsgDlgButtons kAllButtons = 0xFFF;

} // namespace

class TestMessageDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup() { SetSoundRecorder({}); }

    void usesAnswer_data()
    {
        QTest::addColumn<int>("use");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result");

        QTest::newRow("confirm: Enter gives OK") << int(Confirm) << QStringList{"Return"} << 1;
        QTest::newRow("confirm: keypad Enter gives OK")
            << int(Confirm) << QStringList{"Enter"} << 1;
        QTest::newRow("confirm: Escape gives Cancel") << int(Confirm) << QStringList{"Esc"} << 2;
        QTest::newRow("confirm: close box gives 2") << int(Confirm) << QStringList{"close"} << 2;
        QTest::newRow("confirm: click OK") << int(Confirm) << QStringList{"click:OK"} << 1;
        QTest::newRow("confirm: click Annuler")
            << int(Confirm) << QStringList{"click:Annuler"} << 2;
        QTest::newRow("confirm: Tab then Enter presses Annuler")
            << int(Confirm) << QStringList{"Tab", "Return"} << 2;
        QTest::newRow("confirm: Space presses the focused button")
            << int(Confirm) << QStringList{"Right", "Space"} << 2;

        QTest::newRow("info: Enter gives 1") << int(Info) << QStringList{"Return"} << 1;
        QTest::newRow("info: Escape gives 1") << int(Info) << QStringList{"Esc"} << 1;
        QTest::newRow("info: close box gives 2") << int(Info) << QStringList{"close"} << 2;

        QTest::newRow("duplicate: Enter gives Yes") << int(Duplicate) << QStringList{"Return"} << 6;
        QTest::newRow("duplicate: Escape gives Cancel")
            << int(Duplicate) << QStringList{"Esc"} << 2;
        QTest::newRow("duplicate: close box gives 2")
            << int(Duplicate) << QStringList{"close"} << 2;
        QTest::newRow("duplicate: n gives No") << int(Duplicate) << QStringList{"n"} << 7;
        QTest::newRow("duplicate: N gives No") << int(Duplicate) << QStringList{"N"} << 7;
        QTest::newRow("duplicate: Alt+N gives No") << int(Duplicate) << QStringList{"Alt+N"} << 7;
        QTest::newRow("duplicate: o gives Yes") << int(Duplicate) << QStringList{"o"} << 6;
        QTest::newRow("duplicate: Alt+O gives Yes") << int(Duplicate) << QStringList{"Alt+O"} << 6;
        QTest::newRow("duplicate: Ctrl+N is no accelerator")
            << int(Duplicate) << QStringList{"Ctrl+N", "Return"} << 6;
        QTest::newRow("duplicate: a letter of no button does nothing")
            << int(Duplicate) << QStringList{"x", "Return"} << 6;
        QTest::newRow("duplicate: Right moves to Non")
            << int(Duplicate) << QStringList{"Right", "Return"} << 7;
        QTest::newRow("duplicate: Down moves to Non")
            << int(Duplicate) << QStringList{"Down", "Return"} << 7;
        QTest::newRow("duplicate: Left wraps to Annuler")
            << int(Duplicate) << QStringList{"Left", "Return"} << 2;
        QTest::newRow("duplicate: Shift+Tab wraps to Annuler")
            << int(Duplicate) << QStringList{"Shift+Tab", "Return"} << 2;
        QTest::newRow("duplicate: click Non") << int(Duplicate) << QStringList{"click:Non"} << 7;

        QTest::newRow("notice: Enter gives 1") << int(Notice) << QStringList{"Return"} << 1;
        QTest::newRow("notice: Escape gives 1") << int(Notice) << QStringList{"Esc"} << 1;
        QTest::newRow("notice: close box gives 2") << int(Notice) << QStringList{"close"} << 2;

        QTest::newRow("close only: Escape does nothing, m gives 8")
            << int(CloseOnly) << QStringList{"Esc", "m"} << 8;
        QTest::newRow("close only: M gives 8") << int(CloseOnly) << QStringList{"M"} << 8;
        QTest::newRow("close only: Alt+M gives 8") << int(CloseOnly) << QStringList{"Alt+M"} << 8;
        QTest::newRow("close only: Enter presses the focused button")
            << int(CloseOnly) << QStringList{"Return"} << 8;
        QTest::newRow("close only: close box gives 2")
            << int(CloseOnly) << QStringList{"Esc", "close"} << 2;
    }
    void usesAnswer()
    {
        QFETCH(int, use);
        QFETCH(QStringList, steps);
        QFETCH(int, result);

        DialogAnswerer answerer;
        queue(answerer, steps);
        int returned = -1;
        switch (Use(use)) {
        case Confirm:
            returned = AskConfirm(QStringLiteral("Comparer 3 fichiers ?"), mtConfirmation);
            QCOMPARE(returned, result == 1 ? 1 : 0);
            break;
        case Info:
            ShowInfo(QStringLiteral("Fin"));
            break;
        case Duplicate:
            returned = ShowMessageDialog(QStringLiteral("Supprimer ?"), mtConfirmation,
                                         mbYes | mbNo | mbCancel, 0, -1, -1, QString());
            QCOMPARE(returned, result);
            break;
        case Notice:
            ShowNotice(QStringLiteral("ERREUR"));
            break;
        case CloseOnly:
            returned = ShowMessageDialog(QStringLiteral("Style 'x' non trouvé"), mtError,
                                         buttonBit(mbClose), 0, -1, -1, QString());
            QCOMPARE(returned, result);
            break;
        }
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(answerer.results(), QList<int>{result});
    }

    void usesLook_data()
    {
        QTest::addColumn<int>("use");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("defaultButton");

        QTest::newRow("confirm") << int(Confirm) << "Confirmer" << QStringList{"OK", "Annuler"}
                                 << "OK";
        QTest::newRow("info") << int(Info) << "Informations" << QStringList{"OK"} << "OK";
        QTest::newRow("duplicate")
            << int(Duplicate) << "Confirmer" << QStringList{"&Oui", "&Non", "Annuler"} << "&Oui";
        QTest::newRow("notice") << int(Notice) << ApplicationTitle() << QStringList{"OK"} << "OK";
        QTest::newRow("close only") << int(CloseOnly) << "Erreur" << QStringList{"Fer&mer"} << "";
    }
    void usesLook()
    {
        QFETCH(int, use);
        QFETCH(QString, caption);
        QFETCH(QStringList, buttons);
        QFETCH(QString, defaultButton);

        DialogAnswerer answerer;
        QString shownDefault;
        answerer.inspect([&](QDialog* dialog) {
            for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
                if (b->isDefault())
                    shownDefault = b->text();
            }
        });
        answerer.closeBox();
        switch (Use(use)) {
        case Confirm:
            AskConfirm(QStringLiteral("Texte"), mtConfirmation);
            break;
        case Info:
            ShowInfo(QStringLiteral("Texte"));
            break;
        case Duplicate:
            ShowMessageDialog(QStringLiteral("Texte"), mtConfirmation, mbYes | mbNo | mbCancel, 0,
                              -1, -1, QString());
            break;
        case Notice:
            ShowNotice(QStringLiteral("Texte"));
            break;
        case CloseOnly:
            ShowMessageDialog(QStringLiteral("Texte"), mtError, buttonBit(mbClose), 0, -1, -1,
                              QString());
            break;
        }
        QCOMPARE(answerer.texts(), QStringList{"Texte"});
        QCOMPARE(answerer.captions(), QStringList{caption});
        QCOMPARE(answerer.buttons(), QList<QStringList>{buttons});
        QCOMPARE(shownDefault, defaultButton);
    }

    void kinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("warning") << int(mtWarning) << "Avertissement"
                                 << int(QStyle::SP_MessageBoxWarning);
        QTest::newRow("error") << int(mtError) << "Erreur" << int(QStyle::SP_MessageBoxCritical);
        QTest::newRow("information")
            << int(mtInformation) << "Informations" << int(QStyle::SP_MessageBoxInformation);
        QTest::newRow("confirmation")
            << int(mtConfirmation) << "Confirmer" << int(QStyle::SP_MessageBoxQuestion);
        QTest::newRow("custom: application title, no icon")
            << int(mtCustom) << ApplicationTitleFor(QCoreApplication::applicationFilePath()) << -1;
    }
    void kinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        TMessageForm form(KindCaption(TMsgDlgType(kind)), QStringLiteral("Texte"),
                          TMsgDlgType(kind), buttonBit(mbOK), mbOK);
        QCOMPARE(form.windowTitle(), caption);
        if (icon < 0) {
            QVERIFY(!form.iconLabel());
            return;
        }
        QVERIFY(form.iconLabel());
        QCOMPARE(form.iconLabel()->size(), QSize(32, 32));
        // Drawn for the screen's pixels, not a 32-pixel bitmap scaled up.
        const QPixmap shown = form.iconLabel()->pixmap();
        const qreal ratio = form.devicePixelRatioF();
        QCOMPARE(shown.devicePixelRatio(), ratio);
        QCOMPARE(shown.size(), QSize(qCeil(32 * ratio), qCeil(32 * ratio)));
        QCOMPARE(shown.toImage(), TMessageForm::kindIcon(TMsgDlgType(kind), ratio).toImage());
        // Each kind has a picture of its own, and none is empty.
        static QList<QImage> seen;
        const QImage image = shown.toImage();
        QVERIFY(!seen.contains(image));
        seen.append(image);
        QVERIFY(image.pixelColor(16 * ratio, 16 * ratio).alpha() > 0);
    }

    // Every button's caption and result, each alone in a dialog and clicked.
    void buttonTable_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("result");
        const QList<std::tuple<TMsgDlgBtn, const char*, const char*, int>> rows = {
            {mbYes, "yes", "&Oui", 6},
            {mbNo, "no", "&Non", 7},
            {mbOK, "ok", "OK", 1},
            {mbCancel, "cancel", "Annuler", 2},
            {mbAbort, "abort", "A&bandonner", 3},
            {mbRetry, "retry", "&Réessayer", 4},
            {mbIgnore, "ignore", "&Ignorer", 5},
            {mbAll, "all", "&Tous", 12},
            {mbNoToAll, "no to all", "Non &pour tout", 13},
            {mbYesToAll, "yes to all", "O&ui pour tout", 14},
            {mbHelp, "help keeps the dialog open", "&Aide", -1},
            {mbClose, "close", "Fer&mer", 8},
        };
        for (const auto& [button, name, caption, result] : rows)
            QTest::newRow(name) << int(button) << QString::fromUtf8(caption) << result;
    }
    void buttonTable()
    {
        QFETCH(int, button);
        QFETCH(QString, caption);
        QFETCH(int, result);
        DialogAnswerer answerer;
        answerer.click(QString(caption).remove(QLatin1Char('&')));
        if (result < 0)
            answerer.closeBox();
        const int returned = ShowMessageDialog(QStringLiteral("Texte"), mtWarning,
                                               buttonBit(TMsgDlgBtn(button)), 0, -1, -1, QString());
        QCOMPARE(answerer.buttons(), QList<QStringList>{{caption}});
        QCOMPARE(returned, result < 0 ? 2 : result);
        QCOMPARE(answerer.pending(), 0);
    }

    void buttonOrder_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("cancel and ok: OK left of Annuler")
            << int(mbCancel | mbOK) << QStringList{"OK", "Annuler"};
        QTest::newRow("close, ignore, yes")
            << int(mbClose | mbIgnore | mbYes) << QStringList{"&Oui", "&Ignorer", "Fer&mer"};
        QTest::newRow("all twelve")
            << int(kAllButtons)
            << QStringList{"&Oui",           "&Non",           "OK",       "Annuler",
                           "A&bandonner",    "&Réessayer",     "&Ignorer", "&Tous",
                           "Non &pour tout", "O&ui pour tout", "&Aide",    "Fer&mer"};
    }
    void buttonOrder()
    {
        QFETCH(int, buttons);
        QFETCH(QStringList, captions);
        TMessageForm form(QStringLiteral("T"), QStringLiteral("Texte"), mtWarning,
                          TMsgDlgButtons(buttons), std::nullopt);
        QStringList shown;
        int lastRight = -1;
        for (QPushButton* b : form.buttons()) {
            shown.append(b->text());
            QVERIFY(b->x() > lastRight);
            lastRight = b->geometry().right();
        }
        QCOMPARE(shown, captions);
        QCOMPARE(form.findChildren<QPushButton*>().size(), captions.size());
    }

    // Escape then Enter: shows whether Escape pressed a cancel button and which button Enter
    // presses first.
    void defaultAndCancel_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton"); // -1: the rule
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("shownDefault");

        QTest::newRow("ok before yes")
            << int(mbYes | mbOK) << -1 << QStringList{"Return"} << 1 << "OK";
        QTest::newRow("retry when neither ok nor yes")
            << int(mbRetry | mbCancel) << -1 << QStringList{"Return"} << 4 << "&Réessayer";
        QTest::newRow("abort retry ignore: no cancel, Escape does nothing")
            << int(mbAbort | mbRetry | mbIgnore) << -1 << QStringList{"Esc", "Return"} << 4
            << "&Réessayer";
        QTest::newRow("yes no: No is the cancel button")
            << int(mbYes | mbNo) << -1 << QStringList{"Esc"} << 7 << "&Oui";
        QTest::newRow("cancel before no")
            << int(mbYes | mbNo | mbCancel) << -1 << QStringList{"Esc"} << 2 << "&Oui";
        QTest::newRow("ok alone is the cancel button")
            << int(buttonBit(mbOK)) << -1 << QStringList{"Esc"} << 1 << "OK";
        QTest::newRow("abort ignore: no default, Enter presses the first")
            << int(mbAbort | mbIgnore) << -1 << QStringList{"Esc", "Return"} << 3 << "";
        QTest::newRow("given default")
            << int(mbYes | mbNo | mbCancel) << int(mbNo) << QStringList{"Return"} << 7 << "&Non";
        QTest::newRow("given default outside the set: none")
            << int(mbOK | mbCancel) << int(mbYes) << QStringList{"Right", "Return"} << 2 << "";
    }
    void defaultAndCancel()
    {
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        QFETCH(QStringList, steps);
        QFETCH(int, result);
        QFETCH(QString, shownDefault);

        DialogAnswerer answerer;
        QString seenDefault;
        answerer.inspect([&](QDialog* dialog) {
            for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
                if (b->isDefault())
                    seenDefault = b->text();
            }
        });
        queue(answerer, steps);
        const int returned =
            defaultButton < 0
                ? ShowMessageDialog(QStringLiteral("?"), mtConfirmation, TMsgDlgButtons(buttons), 0,
                                    -1, -1, QString())
                : ShowMessageDialog(QStringLiteral("?"), mtConfirmation, TMsgDlgButtons(buttons), 0,
                                    -1, -1, QString(), TMsgDlgBtn(defaultButton));
        QCOMPARE(returned, result);
        QCOMPARE(seenDefault, shownDefault);
        QCOMPARE(answerer.pending(), 0);
    }

    void copyText()
    {
        QList<unsigned> sounds;
        SetSoundRecorder([&](unsigned kind) { sounds.append(kind); });
        DialogAnswerer answerer;
        answerer.copyText();
        answerer.press(Qt::Key_Escape);
        const int result =
            ShowMessageDialog(QStringLiteral("Supprimer « a.eml » ?\nDeux & trois"), mtConfirmation,
                              mbYes | mbNo | mbCancel, 0, -1, -1, QString());
        const QString line = QStringLiteral("---------------------------\r\n");
        QCOMPARE(answerer.copiedTexts(), QStringList{line + "Confirmer\r\n" + line +
                                                     "Supprimer « a.eml » ?\nDeux & trois\r\n" +
                                                     line + "Oui   Non   Annuler   \r\n" + line});
        // The dialog stayed open for Escape; the only sound is the copy's default beep.
        QCOMPARE(result, 2);
        QCOMPARE(answerer.results(), QList<int>{2});
        QCOMPARE(sounds, QList<unsigned>{0});
    }

    void noSoundOnOpen()
    {
        QList<unsigned> sounds;
        SetSoundRecorder([&](unsigned kind) { sounds.append(kind); });
        DialogAnswerer answerer;
        answerer.press(Qt::Key_Return);
        ShowMessageDialog(QStringLiteral("!"), mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
        QCOMPARE(answerer.pending(), 0);
        QVERIFY(sounds.isEmpty());
    }

    void buttonsShareOneWidth()
    {
        TMessageForm form(QStringLiteral("T"), QStringLiteral("Texte"), mtWarning, kAllButtons,
                          std::nullopt);
        const QFontMetrics fm(QApplication::font());
        const int width = form.buttons().first()->width();
        QVERIFY(width >= horizontalUnits(50));
        for (QPushButton* b : form.buttons()) {
            QCOMPARE(b->width(), width);
            QVERIFY(width >= fm.horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 8);
            QVERIFY(form.rect().contains(b->geometry()));
        }
        // Short captions alone still get the minimum.
        TMessageForm small(QStringLiteral("T"), QStringLiteral("Texte"), mtWarning, buttonBit(mbOK),
                           mbOK);
        QCOMPARE(small.buttons().first()->width(), horizontalUnits(50));
    }

    // A caption is measured the first time its button is shown; a later font keeps that width.
    void captionWidthKeptForTheRun()
    {
        const QFont original = QApplication::font();
        const int first = TMessageForm(QStringLiteral("T"), QStringLiteral("Texte"), mtWarning,
                                       buttonBit(mbNoToAll), std::nullopt)
                              .buttons()
                              .first()
                              ->width();
        if (first == horizontalUnits(50))
            QSKIP("the caption is narrower than the minimum width in this font");
        QFont small = original;
        small.setPixelSize(std::max(4, QFontInfo(original).pixelSize() / 2));
        QApplication::setFont(small);
        const int later = TMessageForm(QStringLiteral("T"), QStringLiteral("Texte"), mtWarning,
                                       buttonBit(mbNoToAll), std::nullopt)
                              .buttons()
                              .first()
                              ->width();
        const int fresh =
            QFontMetrics(small).horizontalAdvance(QStringLiteral("Non pour tout")) + 8;
        QApplication::setFont(original);
        QVERIFY(fresh < first);
        QCOMPARE(later, first);
    }

    void longMessageWraps()
    {
        const QString text = QStringLiteral("Le fichier est identique à un autre. ").repeated(40);
        const QFontMetrics fm(QApplication::font());
        const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
        QVERIFY(fm.horizontalAdvance(text) > half);

        TMessageForm form(QStringLiteral("T"), text, mtInformation, buttonBit(mbOK), mbOK);
        const QRect label = form.messageLabel()->geometry();
        QVERIFY(label.width() <= half);
        QVERIFY(label.width() > half * 3 / 4);
        QVERIFY(label.height() >= 3 * fm.lineSpacing());
        QVERIFY(form.rect().contains(label));
        QVERIFY(!label.intersects(form.iconLabel()->geometry()));
        QVERIFY(form.buttons().first()->y() >= label.bottom());
    }

    // A word wider than the wrapping width (a long file name) is broken so that the dialog
    // stays inside the work area; the copied text is still the message as given.
    void longWordFitsTheScreen_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        const QString name =
            QStringLiteral("facture-") + QString(288, QLatin1Char('x')) + QStringLiteral(".eml");
        QTest::newRow("warning naming a 300-character file")
            << QStringLiteral("Impossible d'ouvrir le fichier \"/tmp/%1\".").arg(name)
            << int(mtWarning) << int(buttonBit(mbOK));
        QTest::newRow("duplicate question, name with accelerators")
            << QStringLiteral("Supprimer « %1&&%1 » ?\nDeuxième ligne").arg(name)
            << int(mtConfirmation) << int(mbYes | mbNo | mbCancel);
        QTest::newRow("one long word and no icon")
            << QString(400, QChar(0x00E9)) << int(mtCustom) << int(buttonBit(mbOK));
    }
    void longWordFitsTheScreen()
    {
        QFETCH(QString, message);
        QFETCH(int, kind);
        QFETCH(int, buttons);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(QFontMetrics(QApplication::font()).horizontalAdvance(message) > area.width());

        DialogAnswerer answerer;
        QRect frame;
        QRect label;
        QRect client;
        answerer.inspect([&](QDialog* dialog) {
            frame = dialog->frameGeometry();
            client = dialog->rect();
            label = static_cast<TMessageForm*>(dialog)->messageLabel()->geometry();
        });
        answerer.copyText();
        answerer.press(Qt::Key_Escape);
        ShowMessageDialog(message, TMsgDlgType(kind), TMsgDlgButtons(buttons), 0, -1, -1,
                          QString());
        QCOMPARE(answerer.pending(), 0);
        QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                      .arg(frame.x())
                                                      .arg(frame.y())
                                                      .arg(frame.width())
                                                      .arg(frame.height())));
        QVERIFY(client.contains(label));
        QCOMPARE(answerer.copiedTexts().size(), 1);
        QVERIFY(answerer.copiedTexts().first().contains(QStringLiteral("\r\n") + message +
                                                        QStringLiteral("\r\n")));
    }

    // Every piece of the broken word is drawn: the label shows as much ink as the word would.
    void longWordIsDrawnWhole()
    {
        const QString word(200, QLatin1Char('m'));
        TMessageForm form(QStringLiteral("T"), word, mtCustom, buttonBit(mbOK), mbOK);
        const QFontMetrics fm(QApplication::font());
        TMessageLabel* label = form.messageLabel();
        QVERIFY(label->height() >= 2 * fm.height());
        QCOMPARE(label->text(), word);
        // The first line is filled and the last one still holds part of the word.
        const QImage image = rendered(label);
        auto inkIn = [&](const QRect& band) {
            for (int y = band.top(); y <= band.bottom(); ++y) {
                for (int x = band.left(); x <= band.right(); ++x) {
                    if (qGray(image.pixel(x, y)) < 128)
                        return true;
                }
            }
            return false;
        };
        const int w = image.width();
        QVERIFY(inkIn(QRect(w * 3 / 4, 0, w / 4, fm.height())));
        QVERIFY(inkIn(QRect(0, image.height() - fm.height(), w, fm.height())));
    }

    void manyLinesMakeItTall()
    {
        QStringList lines;
        for (int i = 1; i <= 30; ++i)
            lines.append(QStringLiteral("ligne %1").arg(i));
        const QFontMetrics fm(QApplication::font());
        TMessageForm form(QStringLiteral("T"), lines.join(QLatin1Char('\n')), mtInformation,
                          buttonBit(mbOK), mbOK);
        const QRect label = form.messageLabel()->geometry();
        QVERIFY(label.height() >= 30 * fm.height());
        const QRect button = form.buttons().first()->geometry();
        QVERIFY(button.top() > label.bottom());
        QVERIFY(form.rect().contains(button));
        QVERIFY(form.height() >= label.height() + button.height());
    }

    // The message draws "&" as an accelerator prefix; compared with a plain label drawing the
    // text that should be seen.
    void ampersands_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<bool>("same");
        QTest::newRow("&& shows one &") << "Tom && Jerry"
                                        << "Tom & Jerry" << true;
        QTest::newRow("&&&& shows two") << "a &&&& b"
                                        << "a && b" << true;
        QTest::newRow("a lone & is not shown") << "&Quitter"
                                               << "&Quitter" << false;
        QTest::newRow("a lone & underlines, so differs from the bare text") << "&Quitter"
                                                                            << "Quitter" << false;
        QTest::newRow("no & at all") << "Quitter"
                                     << "Quitter" << true;
    }
    void ampersands()
    {
        QFETCH(QString, message);
        QFETCH(QString, seen);
        QFETCH(bool, same);
        TMessageForm form(QStringLiteral("T"), message, mtCustom, buttonBit(mbOK), mbOK);
        TMessageLabel* label = form.messageLabel();
        QLabel plain(seen);
        plain.setTextFormat(Qt::PlainText);
        plain.setFont(label->font());
        plain.setAlignment(Qt::AlignLeft | Qt::AlignTop);
        plain.resize(label->size());
        QCOMPARE(rendered(label) == rendered(&plain), same);
        QCOMPARE(label->text(), message);
    }

    void position_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("both given") << 30 << 40;
        QTest::newRow("x given, y centred") << 30 << -1;
        QTest::newRow("y given, x centred") << -1 << 0;
        QTest::newRow("both centred") << -1 << -1;
    }
    void position()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        DialogAnswerer answerer;
        QPoint pos;
        QSize size;
        answerer.inspect([&](QDialog* dialog) {
            pos = dialog->pos();
            size = dialog->size();
        });
        answerer.press(Qt::Key_Return);
        ShowMessageDialog(QStringLiteral("Texte"), mtWarning, buttonBit(mbOK), 0, x, y, QString());
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = x < 0 && y < 0 ? screen->availableGeometry() : screen->geometry();
        QCOMPARE(pos.x(), x >= 0 ? x : area.left() + (area.width() - size.width()) / 2);
        QCOMPARE(pos.y(), y >= 0 ? y : area.top() + (area.height() - size.height()) / 2);
    }

    void modalAndOwnedByTheActiveWindow()
    {
        QWidget window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        DialogAnswerer answerer;
        QPointer<QDialog> seen;
        answerer.inspect([&](QDialog* dialog) {
            seen = dialog;
            QCOMPARE(dialog->parentWidget(), &window);
            QVERIFY(dialog->isModal());
            QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint));
            QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
            QCOMPARE(dialog->font(), QApplication::font());
            QVERIFY(!window.isEnabled() || QApplication::activeModalWidget() == dialog);
        });
        answerer.press(Qt::Key_Return);
        QVERIFY(AskConfirm(QStringLiteral("?"), mtConfirmation));
        QCOMPARE(answerer.pending(), 0);
        QVERIFY(seen.isNull()); // destroyed before the call returned
    }

    void ownerDestroyedWhileOpen()
    {
        auto* window = new QWidget;
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        DialogAnswerer answerer;
        answerer.inspect([&](QDialog*) { delete window; });
        QVERIFY(!AskConfirm(QStringLiteral("?"), mtConfirmation));
        QCOMPARE(answerer.pending(), 0);
    }

    // The duplicate question's rules of forty "=" stay one line each, at any scale (this test
    // also runs on a 1600 x 1000 screen at scale 2).
    void rulesOfTheQuestionNeverWrap()
    {
        const QString rule(40, QLatin1Char('='));
        const QString dashes(40, QLatin1Char('-'));
        const QStringList lines{rule,
                                QStringLiteral("D O U B L O N   T R O U V E !!! "),
                                rule,
                                QString(),
                                QStringLiteral("Voulez vous le supprimer ?"),
                                dashes,
                                QStringLiteral("a1.txt"),
                                QStringLiteral("&&"),
                                QStringLiteral("a2.txt"),
                                dashes};
        TMessageForm form(QStringLiteral("Confirmer"), lines.join(QStringLiteral("\r\n")),
                          mtConfirmation, mbYes | mbNo | mbCancel, mbYes);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const TMessageLabel* label = form.messageLabel();
        // Laid out as the label draws it: on its own device, in its own rectangle.
        for (const QString& line : {rule, dashes}) {
            QTextLayout layout(line, label->font(), const_cast<TMessageLabel*>(label));
            layout.beginLayout();
            int count = 0;
            for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
                l.setLineWidth(label->contentsRect().width());
                ++count;
            }
            layout.endLayout();
            QCOMPARE(count, 1);
        }
        // Drawn, the rule's last "=" sits on the rule's own line: no lone "=" below it.
        QImage image(label->size() * form.devicePixelRatioF(), QImage::Format_ARGB32);
        image.setDevicePixelRatio(form.devicePixelRatioF());
        image.fill(Qt::white);
        const_cast<TMessageLabel*>(label)->render(&image);
        const QFontMetrics metrics(label->font());
        const int lineHeight = metrics.lineSpacing();
        const int inkRows = [&] {
            int rows = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qGray(image.pixel(x, y)) < 128) {
                        ++rows;
                        break;
                    }
                }
            }
            return rows;
        }();
        QVERIFY(inkRows > 0);
        QVERIFY2(label->height() <= lines.size() * lineHeight + 2,
                 qPrintable(QStringLiteral("%1 lines of %2 pixels in %3")
                                .arg(lines.size())
                                .arg(lineHeight)
                                .arg(label->height())));
    }

    // A message dialog has a close box and no minimise or maximise button.
    void noMinimiseOrMaximise()
    {
        TMessageForm form(QStringLiteral("T"), QStringLiteral("Texte"), mtWarning, buttonBit(mbOK),
                          mbOK);
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QCOMPARE(form.minimumSize(), form.maximumSize());
    }
};

QTEST_MAIN(TestMessageDialogs)
#include "tst_messagedialogs.moc"
