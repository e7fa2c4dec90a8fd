#include "scan/ScanRun.h"

#include "app/Exception.h"
#include "app/TForm1.h"
#include "dialogs/MessageDialogs.h"
#include "scan/ReferenceLoader.h"
#include "scan/TextCodec.h"
#include "scan/TMemo.h"
#include "shell/RecycleBin.h"
#include "shell/SystemSound.h"
#include "widgets/TGauge.h"
#include "widgets/PathRules.h"
#include "widgets/TJvFileListBox.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>

namespace {

const QString kStop = QStringLiteral("STOP");

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The dialog takes "&" for an accelerator mark: a name shows as it is written.
QString escapeAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ScanRun::ScanRun(TForm1& form) : m_form(form) {}

bool ScanRun::isRunning() const
{
    return m_form.Button1()->text() == kStop;
}

QString ScanRun::DuplicateQuestion(const QString& referenceName, const QString& candidateName)
{
    const QString equals(40, QLatin1Char('='));
    const QString dashes(40, QLatin1Char('-'));
    const QStringList lines{
        equals,
        QStringLiteral("D O U B L O N   T R O U V E !!! "),
        equals,
        QString(),
        QStringLiteral("Voulez vous le supprimer ?"),
        QString(),
        QStringLiteral("Ces 2 fichiers contiennent exactement le même texte"),
        QStringLiteral("Et la même présentation : mot pour mot, ligne pour ligne !"),
        QStringLiteral("Seul leur NOM est différent"),
        QString(),
        dashes,
        QString(),
        referenceName,
        QStringLiteral("&&"),
        candidateName,
        QString(),
        dashes,
        QString(),
        QStringLiteral("SUPPRIMER | GARDER | ANNULER")};
    return lines.join(QStringLiteral("\r\n"));
}

QString ScanRun::FormatElapsed(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ScanRun::processMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool ScanRun::stopTest() const
{
    return m_form.StopRequested || m_mainListChanged;
}

void ScanRun::checkMainList()
{
    // A re-read of the main list under the running loop (new mask, refresh, new folder) makes its
    // indices stale: the scan then ends at its next stop test rather than touch a wrong file.
    if (m_mainListChanged)
        return;
    TJvFileListBox* list = m_form.JvFileListBox1();
    if (list->directory() != m_folder || list->itemCount() != m_names.size()) {
        m_mainListChanged = true;
        return;
    }
    for (int i = 0; i < m_names.size(); ++i) {
        if (list->itemText(i) != m_names[i]) {
            m_mainListChanged = true;
            return;
        }
    }
}

void ScanRun::COMPARERExecute()
{
    // A run while a scan runs (the button reads "STOP") only asks that scan to stop.
    if (isRunning()) {
        m_form.StopRequested = true;
        return;
    }
    TJvFileListBox* mainList = m_form.JvFileListBox1();
    if (!AskConfirm(QStringLiteral("Comparer %1 fichiers ?").arg(mainList->itemCount()),
                    mtConfirmation))
        return;

    m_form.StopRequested = false;
    m_form.DuplicateCount = 0;
    m_form.setStatusText(3, QStringLiteral("0"));
    m_form.Button1()->setText(kStop);
    QElapsedTimer clock;
    clock.start();
    m_form.ListBox1()->clear();
    m_form.gauge1()->setMaxValue(mainList->itemCount());
    m_form.Panel_GAUGE()->show();

    m_folder = mainList->directory();
    m_names.clear();
    for (int i = 0; i < mainList->itemCount(); ++i)
        m_names.append(mainList->itemText(i));
    m_mainListChanged = false;
    const QMetaObject::Connection watch = QObject::connect(mainList, &TJvFileListBox::OnChange,
                                                           mainList, [this] { checkMainList(); });

    {
        auto cleanUp = qScopeGuard([&] {
            QObject::disconnect(watch);
            m_haveReference = false;
            m_referenceText.clear();
            m_form.Panel_GAUGE()->hide();
            m_form.Button1()->setText(QStringLiteral("Comparer"));
        });

        const int n = int(m_names.size());
        for (int i = n - 1; i >= 0; --i) {
            m_form.gauge1()->setProgress(i + 1);
            m_form.setStatusText(2, QString::number(i));
            mainList->setItemSelected(i, true);

            m_haveReference = false;
            m_referencePath = joinPath(m_folder, m_names[i]);
            try {
                if (m_form.loader()->CHARGE1Execute()) {
                    // Read back at once, before any other handler can change the pane.
                    m_referenceText = m_form.Memo1()->text();
                    m_referenceCanonical = PathRules::realPath(m_referencePath);
                    m_haveReference = true;
                }
            } catch (const Exception& e) {
                ShowNotice(QStringLiteral("ERREUR 346 COMPARERExecute : Appel de Charge1\r\n") +
                           e.message());
            }
            processMessages();
            if (m_mainListChanged)
                break;

            // The user may have selected another file meanwhile: the candidates are this one's.
            mainList->setItemIndex(i);
            try {
                m_form.loader()->CHARGE2Execute();
            } catch (const Exception& e) {
                ShowNotice(QStringLiteral("ERREUR 354  COMPARERExecute : Appel de Charge2\r\n") +
                           e.message());
            }
            takeCandidates();
            processMessages();
            if (m_mainListChanged)
                break;

            m_form.setWindowTitle(m_names[i]);
            // A reference whose file is gone, or could not be read, gets no pass.
            if (m_haveReference) {
                const bool goOn = m_form.chk_AUTO()->isChecked() ? AutomaticPass() : ManualPass();
                if (!goOn)
                    break;
            }
            processMessages();
            if (stopTest())
                break;
        }
    }

    processMessages();
    const QString elapsed = FormatElapsed(clock.elapsed());
    ShowInfo(m_form.statusText(0) + QStringLiteral(" fichiers analysés en ") + elapsed +
             QStringLiteral("\r\n\r\n") + m_form.statusText(3) +
             QStringLiteral(" doublons trouvés et placés dans la corbeille"));
}

void ScanRun::takeCandidates()
{
    m_candidatePaths.clear();
    m_candidateNames.clear();
    TJvFileListBox* list = m_form.JvFileListBox2();
    for (int i = 0; i < list->itemCount(); ++i) {
        const QString name = list->itemText(i);
        m_candidateNames.append(name);
        m_candidatePaths.append(joinPath(list->directory(), name));
    }
}

void ScanRun::showCandidate(int index)
{
    // For the eye only: the pass walks its own copy of the candidates.
    TJvFileListBox* list = m_form.JvFileListBox2();
    if (index < list->itemCount() && list->itemText(index) == m_candidateNames[index])
        list->setItemSelected(index, true);
}

bool ScanRun::isReference(const QString& path) const
{
    if (path == m_referencePath)
        return true;
    // A link to the reference (or the reference a link to it) is the same file, not a copy.
    const QByteArray canonical = PathRules::realPath(path);
    return !canonical.isEmpty() && canonical == m_referenceCanonical;
}

QString ScanRun::loadCandidate(const QString& path)
{
    m_form.Memo2()->LoadFromFile(path);
    return m_form.Memo2()->text();
}

void ScanRun::countDuplicate(unsigned soundKind)
{
    if (m_form.chk_BEEP()->isChecked())
        MessageBeep(soundKind);
    ++m_form.DuplicateCount;
    m_form.setStatusText(3, QString::number(m_form.DuplicateCount));
}

bool ScanRun::moveToTrash(const QString& path)
{
    QString reason;
    if (SendToRecycleBin(path, &reason))
        return true;
    ShowMessageDialog(
        QStringLiteral("Impossible de placer le fichier \"%1\" dans la corbeille.\r\n"
                       "%2\r\nLe fichier reste à sa place.")
            .arg(escapeAmpersands(path),
                 escapeAmpersands(reason.isEmpty() ? QStringLiteral("Raison inconnue.") : reason)),
        mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
    return false;
}

void ScanRun::listDuplicate(const QString& name)
{
    // Alphabetical order ignoring case, as a sorted list box inserts.
    QListWidget* list = m_form.ListBox1();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    int row = 0;
    while (row < list->count()) {
        const QString other = list->item(row)->text();
        const int order = collator.compare(name, other);
        if (order < 0 || (order == 0 && name < other))
            break;
        ++row;
    }
    list->insertItem(row, name);
}

bool ScanRun::isDuplicate(int index)
{
    showCandidate(index);
    const QString& path = m_candidatePaths[index];
    // Gone since the list was read (an earlier pass of this scan may have moved it).
    if (!PathRules::isRegularFile(path) || isReference(path))
        return false;
    return TextsEqual(m_referenceText, loadCandidate(path));
}

void ScanRun::clearPanes()
{
    // For the eye only: the remaining candidates are still compared with the reference's text.
    m_form.Memo2()->clearText();
    m_form.Memo1()->clearText();
}

bool ScanRun::ManualPass()
{
    bool result = true;
    const int n = int(m_candidatePaths.size());
    for (int i = n - 1; i >= 0; --i) {
        if (isDuplicate(i)) {
            countDuplicate(MB_ICONEXCLAMATION);
            const int answer =
                ShowMessageDialog(DuplicateQuestion(escapeAmpersands(m_form.windowTitle()),
                                                    escapeAmpersands(m_candidateNames[i])),
                                  mtConfirmation, mbYes | mbNo | mbCancel, 0, -1, -1, QString());
            if (answer == mrYes) {
                if (moveToTrash(m_candidatePaths[i])) {
                    processMessages();
                    clearPanes();
                    listDuplicate(m_candidateNames[i]);
                }
            } else if (answer == mrNo) {
                continue;
            } else if (answer == mrCancel) {
                result = false;
                break;
            }
        }
        processMessages();
        if (stopTest())
            break;
    }
    return result;
}

bool ScanRun::AutomaticPass()
{
    const int n = int(m_candidatePaths.size());
    for (int i = n - 1; i >= 0; --i) {
        if (isDuplicate(i)) {
            countDuplicate(MB_ICONASTERISK);
            // Listed once really moved: the list names only what is in the trash.
            if (moveToTrash(m_candidatePaths[i])) {
                listDuplicate(m_candidateNames[i]);
                processMessages();
                clearPanes();
            }
        }
        processMessages();
        if (stopTest())
            break;
    }
    return true;
}

bool ScanRun::FormClose()
{
    if (isRunning()) {
        m_form.StopRequested = true;
        return false;
    }
    // A save that fails is reported by the action's handler; the window closes all the same, so
    // that an unwritable settings file never keeps the tool from ending.
    m_form.INI_SAVE()->trigger();
    return true;
}
