#include "scan/ScanRun.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "dialogs/MessageDialogs.h"
#include "dialogs/SystemSound.h"
#include "scan/TMemo.h"
#include "shell/ShellOpen.h"
#include "widgets/TGauge.h"
#include "widgets/TJvFileListBox.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>

#include <algorithm>

namespace {

// The window is brought up to date at most this often while the scan does not wait.
constexpr qint64 kShowEveryMs = 33;
constexpr qint64 kPumpEveryMs = 5;

// The dialog takes "&" for an accelerator mark: a name shows as it is written.
QString escapeAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ScanRun::ScanRun(ScanControls controls) : m_controls(std::move(controls)), m_engine(*this)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
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
        base::PathRules::shownName(referenceName),
        QStringLiteral("&&"),
        base::PathRules::shownName(candidateName),
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

int ScanRun::mode() const
{
    return m_controls.mode();
}

bool ScanRun::automatic() const
{
    return m_controls.automatic->isChecked();
}

qsizetype ScanRun::referenceCapacity() const
{
    return m_controls.referencePane->capacity();
}

qsizetype ScanRun::candidateCapacity() const
{
    return m_controls.candidatePane->capacity();
}

void ScanRun::processMessages()
{
    show(false);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sincePumped.start();
    m_shownSincePumped = false;
    checkMainList();
}

void ScanRun::keepAlive(bool now)
{
    // Between files that need no pass, events wait a little: a few microseconds each time add up
    // over tens of thousands of files. Whatever the window has just shown is answered at once.
    if (now || m_shownSincePumped || !m_sincePumped.isValid() ||
        m_sincePumped.elapsed() >= kPumpEveryMs)
        processMessages();
}

bool ScanRun::stopRequested()
{
    return StopRequested;
}

bool ScanRun::listChanged()
{
    checkMainList();
    return m_mainListChanged;
}

void ScanRun::checkMainList()
{
    // A re-read of the main list under the running loop (new mask, refresh, new folder, even one
    // that failed half-way) makes its indices stale: the scan then ends at its next stop test
    // rather than touch a wrong file.
    TJvFileListBox* list = m_controls.mainList;
    if (m_mainListChanged || list->readCount() == m_mainListReads)
        return;
    m_mainListReads = list->readCount();
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

void ScanRun::show(bool now)
{
    if (!now && m_sinceShown.isValid() && m_sinceShown.elapsed() < kShowEveryMs)
        return;
    m_sinceShown.start();
    m_shownSincePumped = true;
    ScanEngine::View& view = m_engine.view();
    m_controls.setStatusText(3, QString::number(DuplicateCount));
    showListed();
    if (!view.caption.isNull() && m_controls.window->windowTitle() != view.caption)
        m_controls.window->setWindowTitle(view.caption);
    if (view.position < 0)
        return;
    m_controls.gauge->setProgress(view.position + 1);
    m_controls.setStatusText(2, QString::number(view.position));
    TJvFileListBox* mainList = m_controls.mainList;
    if (!m_mainListChanged && view.position < mainList->itemCount() &&
        mainList->itemIndex() != view.position) {
        mainList->setItemSelected(view.position, true);
        mainList->scrollTo(mainList->model()->index(view.position, 0));
    }
    TMemo* referencePane = m_controls.referencePane;
    try {
        if (view.referencePane == ScanEngine::Pane::Show) {
            if (!view.referenceTextRead)
                referencePane->LoadFromFile(view.referencePath);
            else if (referencePane->text() != view.referenceText)
                referencePane->setText(view.referenceText);
        } else if (view.referencePane == ScanEngine::Pane::Clear) {
            referencePane->clearText();
        }
    } catch (const base::Exception&) {
        // For the eye only: the pane keeps what it had, as after a failed load.
    }
    view.referencePane = ScanEngine::Pane::Keep;
    TMemo* candidatePane = m_controls.candidatePane;
    try {
        if (view.candidatePane == ScanEngine::Pane::Show)
            candidatePane->LoadFromFile(view.candidatePath);
        else if (view.candidatePane == ScanEngine::Pane::Clear)
            candidatePane->clearText();
    } catch (const base::Exception&) {
    }
    view.candidatePane = ScanEngine::Pane::Keep;
    showCandidates();
}

void ScanRun::showCandidates()
{
    const ScanEngine::View& view = m_engine.view();
    const ScanListing& listing = m_engine.listing();
    TJvFileListBox* list = m_controls.candidateList;
    if (m_shownCandidatesKey != listing.version() || m_shownCandidatesMask != view.candidateMask ||
        m_shownCandidatesPosition != view.position) {
        m_shownCandidatesKey = listing.version();
        m_shownCandidatesMask = view.candidateMask;
        m_shownCandidatesPosition = view.position;
        QList<int> matching;
        bool failed = view.candidatesFailed;
        try {
            if (!failed)
                matching = listing.matching(view.candidateMask);
        } catch (const base::Exception&) {
            // A file listed since the candidates were chosen reaches an empty pattern: shown
            // as a failed re-read, an empty list.
            failed = true;
        }
        const qsizetype counted = matching.size();
        const QString& reference = m_names[view.position];
        matching.removeIf([&](int i) { return listing.names()[i] == reference; });
        m_shownRows = matching;
        list->showListing(view.candidateMask, listing.names(), m_shownRows);
        // Counted before the reference leaves the list, as after a re-read.
        if (!failed)
            m_controls.setStatusText(1, QString::number(counted));
    }
    const int current = view.currentCandidate;
    const auto row = std::lower_bound(m_shownRows.cbegin(), m_shownRows.cend(), current);
    if (current >= 0 && row != m_shownRows.cend() && *row == current) {
        const int at = int(row - m_shownRows.cbegin());
        list->setItemSelected(at, true);
        list->scrollTo(list->model()->index(at, 0));
    } else {
        list->setItemIndex(-1);
    }
}

void ScanRun::showListed()
{
    // Shown with the rest of the window: each insertion would repaint the list.
    QStringList& moved = m_engine.view().moved;
    for (const QString& name : std::as_const(moved))
        insertListed(name);
    moved.clear();
}

void ScanRun::insertListed(const QString& name)
{
    // Alphabetical order ignoring case, as a sorted list box inserts.
    QListWidget* list = m_controls.duplicatesList;
    int low = 0;
    int high = list->count();
    while (low < high) {
        const int middle = (low + high) / 2;
        const QString other = list->item(middle)->text();
        const int order = m_collator.compare(name, other);
        if (order < 0 || (order == 0 && name < other))
            high = middle;
        else
            low = middle + 1;
    }
    list->insertItem(low, name);
}

void ScanRun::COMPARERExecute()
{
    // A run while a scan runs only asks that scan to stop.
    if (m_running) {
        StopRequested = true;
        return;
    }
    TJvFileListBox* mainList = m_controls.mainList;
    if (!AskConfirm(QStringLiteral("Comparer %1 fichiers ?").arg(mainList->itemCount()),
                    mtConfirmation))
        return;
    if (!m_controls.foldersAgree()) {
        ShowMessageDialog(QStringLiteral("Les listes ne montrent pas le dossier choisi : la "
                                         "comparaison n'est pas lancée.\r\nChoisissez de nouveau "
                                         "le dossier à analyser."),
                          mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
        return;
    }

    StopRequested = false;
    DuplicateCount = 0;
    m_controls.setStatusText(3, QStringLiteral("0"));
    m_running = true;
    m_controls.button->setText(QStringLiteral("STOP"));
    QElapsedTimer clock;
    clock.start();
    m_controls.duplicatesList->clear();
    m_controls.gauge->setMaxValue(mainList->itemCount());
    m_controls.gaugePanel->show();

    m_folder = mainList->directory();
    m_names.clear();
    m_names.reserve(mainList->itemCount());
    for (int i = 0; i < mainList->itemCount(); ++i)
        m_names.append(mainList->itemText(i));
    m_mainListReads = mainList->readCount();
    m_mainListChanged = false;
    m_sinceShown.invalidate();
    m_sincePumped.invalidate();
    m_folderUnavailable = false;
    {
        auto cleanUp = qScopeGuard([&] {
            try {
                showNow();
            } catch (...) {
                // The state shown is for the eye; ending the scan matters more.
            }
            ScanEngine::View& view = m_engine.view();
            view.referenceText.clear();
            view.candidatePath.clear();
            m_controls.gaugePanel->hide();
            m_controls.button->setText(QStringLiteral("Comparer"));
            m_running = false;
            // Opening the trash shows the one this scan's files went to.
            if (!m_engine.lastTrash().isEmpty())
                RememberTrashUsed(m_engine.lastTrash());
        });
        m_engine.run(m_folder, m_names, m_controls.candidateList->fileType());
    }
    if (m_folderUnavailable)
        return;

    processMessages();
    const QString elapsed = FormatElapsed(clock.elapsed());
    QString summary = m_controls.statusText(0) + QStringLiteral(" fichiers analysés en ") +
                      elapsed + QStringLiteral("\r\n\r\n") + m_controls.statusText(3) +
                      QStringLiteral(" doublons trouvés et placés dans la corbeille");
    if (m_engine.notMoved() > 0)
        summary += QStringLiteral("\r\n%1 doublons n'ont pas pu être placés dans la corbeille")
                       .arg(m_engine.notMoved());
    ShowInfo(summary);
}

void ScanRun::loadFailed(const QString& notice)
{
    showNow();
    ShowNotice(notice);
}

void ScanRun::duplicateFound(bool automatic)
{
    if (m_controls.beep->isChecked())
        MessageBeep(automatic ? MB_ICONASTERISK : MB_ICONEXCLAMATION);
    DuplicateCount = m_engine.duplicates();
}

ScanListener::Answer ScanRun::askDuplicate(const QString& candidateName)
{
    showNow();
    const int answer =
        ShowMessageDialog(DuplicateQuestion(escapeAmpersands(m_controls.window->windowTitle()),
                                            escapeAmpersands(candidateName)),
                          mtConfirmation, mbYes | mbNo | mbCancel, 0, -1, -1, QString());
    if (answer == mrYes)
        return Answer::Move;
    if (answer == mrCancel)
        return Answer::End;
    return Answer::Keep;
}

bool ScanRun::notMoved(const QString& path, const QString& reason)
{
    showNow();
    const int answer = ShowMessageDialog(
        QStringLiteral("Impossible de placer le fichier \"%1\" dans la corbeille.\r\n"
                       "%2\r\nLe fichier reste à sa place.")
            .arg(escapeAmpersands(base::PathRules::shownName(path)),
                 escapeAmpersands(reason.isEmpty() ? QStringLiteral("Raison inconnue.") : reason)),
        mtWarning, mbOK | mbCancel, 0, -1, -1, QString(), mbOK);
    return answer == mrOk;
}

void ScanRun::folderUnavailable(const QString& reason)
{
    m_folderUnavailable = true;
    m_mainListChanged = true;
    showNow();
    ShowMessageDialog(escapeAmpersands(reason), mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
}

bool ScanRun::FormClose()
{
    if (m_running) {
        StopRequested = true;
        return false;
    }
    index().saveCache();
    // A save that fails is reported by the action's handler; the window closes all the same, so
    // that an unwritable settings file never keeps the tool from ending.
    m_controls.saveSettings->trigger();
    return true;
}
