#include "scan/ScanRun.h"

#include "app/Exception.h"
#include "app/TForm1.h"
#include "dialogs/MessageDialogs.h"
#include "scan/CandidatePrefix.h"
#include "scan/DescriptorText.h"
#include "scan/TextCodec.h"
#include "scan/TMemo.h"
#include "shell/RecycleBin.h"
#include "shell/SystemSound.h"
#include "widgets/MaskMatcher.h"
#include "widgets/PathRules.h"
#include "widgets/TGauge.h"
#include "widgets/TJvFileListBox.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kStop = QStringLiteral("STOP");
// The window is brought up to date at most this often while the scan does not wait.
constexpr qint64 kShowEveryMs = 33;
constexpr qint64 kPumpEveryMs = 5;

// The dialog takes "&" for an accelerator mark: a name shows as it is written.
QString escapeAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ScanRun::ScanRun(TForm1& form) : m_form(form)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

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
        PathRules::shownName(referenceName),
        QStringLiteral("&&"),
        PathRules::shownName(candidateName),
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
    show(false);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sincePumped.start();
    m_shownSincePumped = false;
    checkMainList();
}

void ScanRun::processMessagesSoon()
{
    // Between files that need no pass, events wait a little: a few microseconds each time add up
    // over tens of thousands of files. Whatever the window has just shown is answered at once.
    if (m_shownSincePumped || !m_sincePumped.isValid() || m_sincePumped.elapsed() >= kPumpEveryMs)
        processMessages();
}

bool ScanRun::stopTest()
{
    checkMainList();
    return m_form.StopRequested || m_mainListChanged || m_endRequested;
}

void ScanRun::checkMainList()
{
    // A re-read of the main list under the running loop (new mask, refresh, new folder, even one
    // that failed half-way) makes its indices stale: the scan then ends at its next stop test
    // rather than touch a wrong file.
    TJvFileListBox* list = m_form.JvFileListBox1();
    if (m_mainListChanged || list->readCount() == m_mainListReads)
        return;
    m_mainListReads = list->readCount();
    if (list->directory() != m_folder.path() || list->itemCount() != m_names.size()) {
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

void ScanRun::showNow()
{
    show(true);
}

void ScanRun::show(bool now)
{
    if (!now && m_sinceShown.isValid() && m_sinceShown.elapsed() < kShowEveryMs)
        return;
    m_sinceShown.start();
    m_shownSincePumped = true;
    m_form.setStatusText(3, QString::number(m_form.DuplicateCount));
    showListed();
    if (!m_caption.isNull() && m_form.windowTitle() != m_caption)
        m_form.setWindowTitle(m_caption);
    if (m_position < 0)
        return;
    m_form.gauge1()->setProgress(m_position + 1);
    m_form.setStatusText(2, QString::number(m_position));
    TJvFileListBox* mainList = m_form.JvFileListBox1();
    if (!m_mainListChanged && m_position < mainList->itemCount() &&
        mainList->itemIndex() != m_position) {
        mainList->setItemSelected(m_position, true);
        mainList->scrollTo(mainList->model()->index(m_position, 0));
    }
    try {
        if (m_referencePane == Pane::Show) {
            if (!m_referenceTextRead) {
                m_form.Memo1()->LoadFromFile(m_referencePath);
            } else if (m_form.Memo1()->text() != m_referenceText) {
                m_form.Memo1()->setText(m_referenceText);
            }
        } else if (m_referencePane == Pane::Clear) {
            m_form.Memo1()->clearText();
        }
    } catch (const Exception&) {
        // For the eye only: the pane keeps what it had, as after a failed load.
    }
    m_referencePane = Pane::Keep;
    try {
        if (m_candidatePane == Pane::Show && m_form.Memo2()->text() != m_candidateText)
            m_form.Memo2()->setText(m_candidateText);
        else if (m_candidatePane == Pane::Clear)
            m_form.Memo2()->clearText();
    } catch (const Exception&) {
    }
    m_candidatePane = Pane::Keep;
    showCandidates();
}

void ScanRun::showCandidates()
{
    TJvFileListBox* list = m_form.JvFileListBox2();
    if (m_shownCandidatesKey != m_listing.version() || m_shownCandidatesMask != m_candidateMask ||
        m_shownCandidatesPosition != m_position) {
        m_shownCandidatesKey = m_listing.version();
        m_shownCandidatesMask = m_candidateMask;
        m_shownCandidatesPosition = m_position;
        QList<int> matching;
        bool failed = m_candidatesFailed;
        try {
            if (!failed)
                matching = m_listing.matching(m_candidateMask);
        } catch (const Exception&) {
            // A file listed since the candidates were chosen reaches an empty pattern: shown
            // as a failed re-read, an empty list.
            failed = true;
        }
        const qsizetype counted = matching.size();
        const QString& reference = m_names[m_position];
        matching.removeIf([&](int i) { return m_listing.names()[i] == reference; });
        m_shownRows = matching;
        list->showListing(m_candidateMask, m_listing.names(), m_shownRows);
        // Counted before the reference leaves the list, as after a re-read.
        if (!failed)
            m_form.setStatusText(1, QString::number(counted));
    }
    const auto row = std::lower_bound(m_shownRows.cbegin(), m_shownRows.cend(), m_currentCandidate);
    if (m_currentCandidate >= 0 && row != m_shownRows.cend() && *row == m_currentCandidate) {
        const int at = int(row - m_shownRows.cbegin());
        list->setItemSelected(at, true);
        list->scrollTo(list->model()->index(at, 0));
    } else {
        list->setItemIndex(-1);
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
    if (!m_form.FoldersAgree()) {
        ShowMessageDialog(QStringLiteral("Les listes ne montrent pas le dossier choisi : la "
                                         "comparaison n'est pas lancée.\r\nChoisissez de nouveau "
                                         "le dossier à analyser."),
                          mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
        return;
    }

    m_form.StopRequested = false;
    m_form.DuplicateCount = 0;
    m_form.setStatusText(3, QStringLiteral("0"));
    m_form.Button1()->setText(kStop);
    QElapsedTimer clock;
    clock.start();
    m_form.ListBox1()->clear();
    m_toList.clear();
    m_form.gauge1()->setMaxValue(mainList->itemCount());
    m_form.Panel_GAUGE()->show();

    m_names.clear();
    m_names.reserve(mainList->itemCount());
    for (int i = 0; i < mainList->itemCount(); ++i)
        m_names.append(mainList->itemText(i));
    m_mainListReads = mainList->readCount();
    m_mainListChanged = false;
    m_endRequested = false;
    m_notMoved = 0;
    m_position = -1;
    m_currentCandidate = -1;
    m_candidateMask.clear();
    m_caption = QString();
    m_referencePane = m_candidatePane = Pane::Keep;
    m_sinceShown.invalidate();
    m_sincePumped.invalidate();

    {
        auto cleanUp = qScopeGuard([&] {
            try {
                showNow();
            } catch (...) {
                // The state shown is for the eye; ending the scan matters more.
            }
            m_haveReference = false;
            m_referenceFile.close();
            m_index.setFolder(-1, QString());
            m_journal.end();     // undo/cache
            m_index.saveCache(); // undo/cache
            m_folder.close();
            m_referenceText.clear();
            m_candidateText.clear();
            m_visits.clear();
            m_form.Panel_GAUGE()->hide();
            m_form.Button1()->setText(QStringLiteral("Comparer"));
        });

        // The scan works in the one folder it opens here: whatever is later renamed or swapped
        // on that path, its files are opened and moved relative to this descriptor.
        TJvFileListBox* candidates = m_form.JvFileListBox2();
        QString reason;
        if (!m_folder.open(mainList->directory(), &reason)) {
            m_mainListChanged = true;
            showNow();
            ShowMessageDialog(escapeAmpersands(reason), mtWarning, buttonBit(mbOK), 0, -1, -1,
                              QString());
            return;
        }
        m_index.setFolder(m_folder.fd(), m_folder.path());
        m_index.loadCache();              // undo/cache: fingerprints of earlier runs, once
        m_journal.begin(m_folder.path()); // undo/cache: a journal for this scan's moves
        // Every file is fingerprinted before the first reference; unchanged files were already.
        m_listing.read(m_folder.fd(), m_folder.path(), candidates->fileType());
        m_index.refresh(m_listing.paths(), [this] {
            processMessages();
            return !stopTest();
        });
        m_listing.group(m_index, m_form.Memo2()->capacity());

        const int n = stopTest() ? 0 : int(m_names.size());
        for (int i = n - 1; i >= 0; --i) {
            m_position = i;
            m_currentCandidate = -1;
            try {
                loadReference(i);
            } catch (const Exception& e) {
                showNow();
                ShowNotice(QStringLiteral("ERREUR 346 COMPARERExecute : Appel de Charge1\r\n") +
                           e.message());
            }
            processMessagesSoon();
            if (m_mainListChanged)
                break;

            try {
                chooseCandidates(i);
            } catch (const Exception& e) {
                showNow();
                ShowNotice(QStringLiteral("ERREUR 354  COMPARERExecute : Appel de Charge2\r\n") +
                           e.message());
            }
            processMessagesSoon();
            if (m_mainListChanged)
                break;

            m_caption = PathRules::shownName(m_names[i]);
            // A reference whose file is gone, or could not be read, gets no pass.
            if (m_haveReference && !m_visits.isEmpty()) {
                const bool goOn = m_form.chk_AUTO()->isChecked() ? AutomaticPass() : ManualPass();
                if (!goOn)
                    break;
                processMessages();
            } else {
                processMessagesSoon();
            }
            if (stopTest())
                break;
        }
    }

    processMessages();
    const QString elapsed = FormatElapsed(clock.elapsed());
    QString summary = m_form.statusText(0) + QStringLiteral(" fichiers analysés en ") + elapsed +
                      QStringLiteral("\r\n\r\n") + m_form.statusText(3) +
                      QStringLiteral(" doublons trouvés et placés dans la corbeille");
    if (m_notMoved > 0)
        summary += QStringLiteral("\r\n%1 doublons n'ont pas pu être placés dans la corbeille")
                       .arg(m_notMoved);
    ShowInfo(summary);
}

bool ScanRun::loadReference(int position)
{
    m_haveReference = false;
    m_referenceTextRead = false;
    m_referenceFile.close();
    m_referenceText.clear();
    m_visits.clear();
    m_referencePath = m_folder.fullName(m_names[position]);
    const FingerprintIndex::Entry& entry = m_index.update(m_referencePath);
    // Links are followed; a folder or a file gone since the list was read is no reference, and
    // the pane keeps its text.
    if (!entry.stamp.regular)
        return false;
    FingerprintIndex::raiseError(entry);
    // A text too long for the pane is refused as loading it there would refuse it.
    TMemo* pane = m_form.Memo1();
    if (entry.textLength > pane->capacity()) {
        pane->LoadFromFile(m_referencePath);
        m_referenceText = pane->text();
        m_referenceTextRead = true;
    }
    m_referencePrint = entry.print;
    m_referenceStamp = entry.stamp;
    m_haveReference = true;
    m_referencePane = Pane::Show;
    return true;
}

void ScanRun::freshenListing()
{
    if (!m_listing.isStale())
        return;
    // Another program added, removed or renamed files: seen from this reference on.
    m_listing.read(m_folder.fd(), m_folder.path(), m_form.JvFileListBox2()->fileType());
    m_index.refresh(m_listing.paths(), [this] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return true;
    });
    m_listing.group(m_index, m_form.Memo2()->capacity());
}

void ScanRun::chooseCandidates(int position)
{
    m_visits.clear();
    m_candidatesFailed = false;
    const QString& name = m_names[position];
    freshenListing();
    m_candidateMask = CandidatePrefix(name, m_form.radioGroupIndex()) + QLatin1Char('*');
    m_candidatePatterns = MaskMatcher::splitMask(m_candidateMask);
    if (m_candidatePatterns.contains(QString())) {
        // Reading the list with an empty pattern fails where a re-read would.
        try {
            m_listing.matching(m_candidateMask);
        } catch (const Exception&) {
            m_candidatesFailed = true;
            throw;
        }
    }
    if (m_haveReference)
        m_visits = m_listing.visits(name, m_referencePrint, m_candidatePatterns);
}

bool ScanRun::openReference()
{
    if (m_referenceFile.isOpen())
        return true;
    try {
        m_referenceFile = m_folder.openFile(m_names[m_position]);
        if (!m_referenceTextRead) {
            m_referenceText = LoadTextDescriptor(m_referenceFile.fd(), m_referencePath);
            m_referenceTextRead = true;
        }
        return true;
    } catch (const Exception& e) {
        // The file became unreadable since it was fingerprinted: no pass, as for a failed load.
        m_referenceFile.close();
        m_haveReference = false;
        showNow();
        ShowNotice(QStringLiteral("ERREUR 346 COMPARERExecute : Appel de Charge1\r\n") +
                   e.message());
        return false;
    }
}

bool ScanRun::isDuplicate(int index)
{
    m_currentCandidate = index;
    const QString& name = m_listing.names()[index];
    const QString path = m_folder.fullName(name);
    if (!m_haveReference)
        return false;
    const FingerprintIndex::Entry& entry = m_index.update(path);
    // Gone since the folder was read (an earlier pass of this scan may have moved it), or another
    // name of the reference itself: a link, a hard link, a path through a bind mount.
    if (!entry.stamp.regular || ScanFolder::sameFile(entry.stamp, m_referenceStamp))
        return false;
    // A candidate that cannot be read ends the scan, with the loader's own error.
    FingerprintIndex::raiseError(entry);
    TMemo* pane = m_form.Memo2();
    if (entry.textLength > pane->capacity())
        pane->LoadFromFile(path);
    else if (!(entry.print == m_referencePrint))
        return false;
    const ScanFolder::File candidate = m_folder.openFile(name);
    if (!openReference())
        return false;
    if (ScanFolder::sameFile(candidate.stamp(), m_referenceFile.stamp()))
        return false;
    // Of a link and the file it stands beside, the link is the one that may go: a real file is
    // never taken as the copy of a link, which may lead anywhere.
    if (m_referenceFile.isLink() && !candidate.isLink())
        return false;
    if (!DescriptorTextsEqual(m_referenceFile.fd(), m_referencePath, candidate.fd(), path))
        return false;
    m_candidateText = LoadTextDescriptor(candidate.fd(), path);
    m_candidatePane = Pane::Show;
    return true;
}

void ScanRun::clearPanes()
{
    // For the eye only: the remaining candidates are still compared with the reference's text.
    m_referencePane = Pane::Clear;
    m_candidatePane = Pane::Clear;
    m_candidateText.clear();
}

void ScanRun::countDuplicate(unsigned soundKind)
{
    if (m_form.chk_BEEP()->isChecked())
        MessageBeep(soundKind);
    ++m_form.DuplicateCount;
}

void ScanRun::warnNotMoved(const QString& path, const QString& reason)
{
    ++m_notMoved;
    showNow();
    const int answer = ShowMessageDialog(
        QStringLiteral("Impossible de placer le fichier \"%1\" dans la corbeille.\r\n"
                       "%2\r\nLe fichier reste à sa place.")
            .arg(escapeAmpersands(PathRules::shownName(path)),
                 escapeAmpersands(reason.isEmpty() ? QStringLiteral("Raison inconnue.") : reason)),
        mtWarning, mbOK | mbCancel, 0, -1, -1, QString(), mbOK);
    // A trash that refuses every file would otherwise warn for every duplicate until the end.
    if (answer != mrOk)
        m_endRequested = true;
}

bool ScanRun::referenceChanged(const ScanFolder::File& now)
{
    const FileStamp& before = m_referenceFile.stamp();
    if (now.stamp() == before)
        return false;
    // Touched or replaced: it still counts as the same while it holds the text compared.
    return !(DescriptorFingerprint(now.fd(), m_referencePath) == m_referencePrint);
}

bool ScanRun::moveToTrash(int index)
{
    const QString& name = m_listing.names()[index];
    const QString path = m_folder.fullName(name);
    // Nothing goes to the trash on the strength of an earlier reading: both files are opened
    // again, compared through those descriptors, and the move is then checked against them.
    ScanFolder::File candidate;
    try {
        candidate = m_folder.openFile(name);
    } catch (const Exception& e) {
        warnNotMoved(path, e.message());
        return false;
    }
    ScanFolder::File reference;
    try {
        reference = m_folder.openFile(m_names[m_position]);
    } catch (const Exception& e) {
        warnNotMoved(path, QStringLiteral("Le fichier de référence ne peut plus être lu : ") +
                               e.message());
        // The rest of the pass would only find copies of a text the reference no longer holds.
        m_haveReference = false;
        return false;
    }
    const QString shownReference = PathRules::shownName(m_referencePath);
    const QString changedText =
        QStringLiteral("Son texte, ou celui de \"%1\", a changé depuis la comparaison.")
            .arg(shownReference);
    try {
        if (ScanFolder::sameFile(candidate.stamp(), reference.stamp())) {
            warnNotMoved(path,
                         QStringLiteral("C'est maintenant le fichier de référence lui-même."));
            return false;
        }
        if (referenceChanged(reference)) {
            warnNotMoved(path, QStringLiteral("Le texte de \"%1\" a changé depuis la comparaison.")
                                   .arg(shownReference));
            m_haveReference = false;
            return false;
        }
        if (reference.isLink() && !candidate.isLink()) {
            warnNotMoved(path, QStringLiteral("\"%1\" est maintenant un lien symbolique : le "
                                              "fichier lui-même reste.")
                                   .arg(shownReference));
            return false;
        }
        if (!DescriptorTextsEqual(reference.fd(), m_referencePath, candidate.fd(), path)) {
            warnNotMoved(path, changedText);
            return false;
        }
    } catch (const Exception& e) {
        warnNotMoved(path, e.message());
        return false;
    }

    // Once in the trash, what sits there must be the file just compared, still holding that
    // text, and the reference must still be in the folder; else it is put back.
    const TrashVerify verify = [&](int filesFd, const QByteArray& trashName, QString* why) {
        struct stat moved;
        const FileStamp expected = candidate.isLink() ? candidate.linkStamp() : candidate.stamp();
        if (::fstatat(filesFd, trashName.constData(), &moved, AT_SYMLINK_NOFOLLOW) != 0 ||
            bool(S_ISLNK(moved.st_mode)) != candidate.isLink() ||
            !ScanFolder::sameFile(FileStamp::of(moved), expected)) {
            *why = QStringLiteral("Il a été remplacé par un autre fichier depuis la comparaison.");
            return false;
        }
        try {
            if (!candidate.isLink() &&
                !DescriptorTextsEqual(reference.fd(), m_referencePath, candidate.fd(), path)) {
                *why = changedText;
                return false;
            }
        } catch (const Exception& e) {
            *why = e.message();
            return false;
        }
        if (!ScanFolder::sameFile(m_folder.stampOf(reference.localName()), reference.stamp())) {
            *why = QStringLiteral("Le fichier de référence \"%1\" a disparu ou changé au moment "
                                  "du déplacement.")
                       .arg(shownReference);
            return false;
        }
        return true;
    };
    const FileStamp folderBefore = m_listing.folderStamp();
    QString reason;
    // undo/cache: the journal records the move just before it happens, and its outcome.
    const TrashAboutToMove record = [&](const QByteArray& root, const QByteArray& trashName,
                                        QString* why) {
        return m_journal.aboutToMove(m_folder.fd(), candidate.localName(), reference.localName(),
                                     root, trashName, why);
    };
    if (!SendToRecycleBinAt(m_folder.fd(), m_folder.path(), candidate.localName(), verify, &reason,
                            nullptr, record)) {
        m_journal.notMoved(); // undo/cache
        warnNotMoved(path, reason);
        return false;
    }
    m_journal.moved(); // undo/cache
    m_listing.removeOwn(index, folderBefore);
    return true;
}

void ScanRun::listDuplicate(const QString& name)
{
    // Shown with the rest of the window: each insertion would repaint the list.
    m_toList.append(name);
}

void ScanRun::showListed()
{
    for (const QString& name : std::as_const(m_toList))
        insertListed(name);
    m_toList.clear();
}

void ScanRun::insertListed(const QString& name)
{
    // Alphabetical order ignoring case, as a sorted list box inserts.
    QListWidget* list = m_form.ListBox1();
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

bool ScanRun::ManualPass()
{
    bool result = true;
    for (const int candidate : QList<int>(m_visits)) {
        if (isDuplicate(candidate)) {
            countDuplicate(MB_ICONEXCLAMATION);
            const QString name = m_listing.names()[candidate];
            showNow();
            const int answer = ShowMessageDialog(
                DuplicateQuestion(escapeAmpersands(m_form.windowTitle()), escapeAmpersands(name)),
                mtConfirmation, mbYes | mbNo | mbCancel, 0, -1, -1, QString());
            if (answer == mrYes) {
                if (moveToTrash(candidate)) {
                    processMessages();
                    clearPanes();
                    listDuplicate(name);
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
    for (const int candidate : QList<int>(m_visits)) {
        if (isDuplicate(candidate)) {
            countDuplicate(MB_ICONASTERISK);
            // Listed once really moved: the list names only what is in the trash.
            if (moveToTrash(candidate)) {
                listDuplicate(m_listing.names()[candidate]);
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
    m_index.saveCache(); // undo/cache
    // A save that fails is reported by the action's handler; the window closes all the same, so
    // that an unwritable settings file never keeps the tool from ending.
    m_form.INI_SAVE()->trigger();
    return true;
}
