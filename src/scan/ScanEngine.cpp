#include "scan/ScanEngine.h"

#include "base/Errors.h"
#include "base/MaskMatcher.h"
#include "base/PathRules.h"
#include "scan/CandidatePrefix.h"
#include "scan/DescriptorText.h"
#include "scan/ScanListener.h"
#include "scan/TextCodec.h"
#include "shell/RecycleBin.h"

#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>

ScanEngine::ScanEngine(ScanListener& listener) : m_listener(listener) {}

bool ScanEngine::stopTest()
{
    return m_listener.stopRequested() || m_listener.listChanged() || m_endRequested;
}

void ScanEngine::keepAlive(bool now)
{
    m_listener.keepAlive(now);
}

void ScanEngine::run(const QString& folder, const QStringList& names,
                     base::FolderListing::FileKinds kinds)
{
    m_names = names;
    m_duplicates = 0;
    m_notMoved = 0;
    m_endRequested = false;
    m_view = View();
    auto cleanUp = qScopeGuard([&] {
        m_haveReference = false;
        m_referenceFile.close();
        m_comparer.clear();
        m_trash.close();
        m_visits.clear();
        m_index.setFolder(-1, QString());
        m_journal.end();
        m_index.saveCache();
        m_folder.close();
    });

    // The scan works in the one folder it opens here: whatever is later renamed or swapped on
    // that path, its files are opened and moved relative to this descriptor.
    QString reason;
    if (!m_folder.open(folder, &reason)) {
        m_listener.folderUnavailable(reason);
        return;
    }
    m_index.setFolder(m_folder.fd(), m_folder.path());
    // Fingerprints of earlier runs, read at the first scan only.
    m_index.loadCache();
    m_journal.begin(m_folder.path());
    // Every file is fingerprinted before the first reference; unchanged files were already.
    m_listing.read(m_folder.fd(), m_folder.path(), kinds, [this] { keepAlive(false); });
    m_index.refresh(m_listing.paths(), [this] {
        keepAlive(true);
        return !stopTest();
    });
    m_listing.group(m_index, m_listener.candidateCapacity());

    const int n = stopTest() ? 0 : int(m_names.size());
    for (int i = n - 1; i >= 0; --i) {
        m_view.position = i;
        m_view.currentCandidate = -1;
        try {
            loadReference(i);
        } catch (const base::Exception& e) {
            m_listener.loadFailed(
                QStringLiteral("ERREUR 346 COMPARERExecute : Appel de Charge1\r\n") + e.message());
        }
        keepAlive(false);
        if (m_listener.listChanged())
            break;

        try {
            chooseCandidates(i);
        } catch (const base::Exception& e) {
            m_listener.loadFailed(
                QStringLiteral("ERREUR 354  COMPARERExecute : Appel de Charge2\r\n") + e.message());
        }
        keepAlive(false);
        if (m_listener.listChanged())
            break;

        m_view.caption = base::PathRules::shownName(m_names[i]);
        // A reference whose file is gone, or could not be read, gets no pass.
        if (m_haveReference && !m_visits.isEmpty()) {
            const bool automatic = m_listener.automatic();
            if (!pass(automatic))
                break;
            // An automatic pass shows nothing that waits for an answer: the window is served
            // every few milliseconds, as between files, rather than after every candidate.
            keepAlive(!automatic);
        } else {
            keepAlive(false);
        }
        if (stopTest())
            break;
    }
}

void ScanEngine::loadReference(int position)
{
    m_haveReference = false;
    m_view.referenceTextRead = false;
    m_view.referenceText.clear();
    m_referenceFile.close();
    m_visits.clear();
    m_view.referencePath = m_folder.fullName(m_names[position]);
    const FingerprintIndex::Entry& entry = m_index.update(m_view.referencePath);
    // Links are followed; a folder or a file gone since the list was read is no reference, and
    // the pane keeps its text.
    if (!entry.stamp.regular)
        return;
    FingerprintIndex::raiseError(entry);
    // A text too long for the pane is refused as loading it there would refuse it.
    if (entry.textLength > m_listener.referenceCapacity()) {
        QString text;
        if (!LoadTextFileWithin(m_view.referencePath, m_listener.referenceCapacity(), text))
            ThrowTextTooLong();
        m_view.referenceText = text;
        m_view.referenceTextRead = true;
    }
    m_referencePrint = entry.print;
    m_referenceStamp = entry.stamp;
    m_haveReference = true;
    m_view.referencePane = Pane::Show;
}

void ScanEngine::freshenListing()
{
    if (!m_listing.isStale())
        return;
    // Another program added, removed or renamed files: seen from this reference on.
    m_listing.read(m_folder.fd(), m_folder.path(), m_listing.kinds(), [this] { keepAlive(false); });
    m_index.refresh(m_listing.paths(), [this] {
        keepAlive(true);
        return true;
    });
    m_listing.group(m_index, m_listener.candidateCapacity());
}

void ScanEngine::chooseCandidates(int position)
{
    m_visits.clear();
    m_view.candidatesFailed = false;
    const QString& name = m_names[position];
    freshenListing();
    m_view.candidateMask = CandidateMask(name, m_listener.mode());
    m_candidatePatterns = base::MaskMatcher::splitMask(m_view.candidateMask);
    if (m_candidatePatterns.contains(QString())) {
        // Reading the list with an empty pattern fails where a re-read would.
        try {
            m_listing.matching(m_view.candidateMask);
        } catch (const base::Exception&) {
            m_view.candidatesFailed = true;
            throw;
        }
    }
    if (m_haveReference)
        m_visits = m_listing.visits(name, m_referencePrint, m_candidatePatterns);
}

bool ScanEngine::openReference()
{
    if (m_referenceFile.isOpen())
        return true;
    try {
        m_referenceFile = m_folder.openFile(m_names[m_view.position]);
        return true;
    } catch (const base::Exception& e) {
        // The file became unreadable since it was fingerprinted: no pass, as for a failed load.
        m_referenceFile.close();
        m_haveReference = false;
        m_listener.loadFailed(QStringLiteral("ERREUR 346 COMPARERExecute : Appel de Charge1\r\n") +
                              e.message());
        return false;
    }
}

bool ScanEngine::isDuplicate(int index)
{
    m_view.currentCandidate = index;
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
    if (entry.textLength > m_listener.candidateCapacity()) {
        QString text;
        if (!LoadTextFileWithin(path, m_listener.candidateCapacity(), text))
            ThrowTextTooLong();
    } else if (!(entry.print == m_referencePrint)) {
        return false;
    }
    const ScanFolder::File candidate = m_folder.openFile(name);
    if (!openReference())
        return false;
    if (ScanFolder::sameFile(candidate.stamp(), m_referenceFile.stamp()))
        return false;
    // Of a link and the file it stands beside, the link is the one that may go: a real file is
    // never taken as the copy of a link, which may lead anywhere.
    if (m_referenceFile.isLink() && !candidate.isLink())
        return false;
    if (!m_comparer.equal(m_referenceFile.fd(), m_view.referencePath, candidate.fd(), path))
        return false;
    m_comparedCandidate = candidate.stamp();
    // Read for the pane only if it is shown: most duplicates go before the next paint.
    m_view.candidatePath = path;
    m_view.candidatePane = Pane::Show;
    return true;
}

void ScanEngine::clearPanes()
{
    // For the eye only: the remaining candidates are still compared with the reference's text.
    m_view.referencePane = Pane::Clear;
    m_view.candidatePane = Pane::Clear;
    m_view.candidatePath.clear();
}

void ScanEngine::warnNotMoved(const QString& path, const QString& reason)
{
    ++m_notMoved;
    // A trash that refuses every file would otherwise warn for every duplicate until the end.
    if (!m_listener.notMoved(path, reason))
        m_endRequested = true;
}

bool ScanEngine::referenceChanged(const ScanFolder::File& now)
{
    if (now.stamp() == m_referenceFile.stamp())
        return false;
    // Touched or replaced: it still counts as the same while it holds the text compared.
    return !(DescriptorFingerprint(now.fd(), m_view.referencePath) == m_referencePrint);
}

bool ScanEngine::moveToTrash(int index)
{
    const QString& name = m_listing.names()[index];
    const QString path = m_folder.fullName(name);
    const QString& referencePath = m_view.referencePath;
    // Nothing goes to the trash on the strength of an earlier reading: both files are opened
    // again, compared through those descriptors, and the move is then checked against them.
    ScanFolder::File candidate;
    try {
        candidate = m_folder.openFile(name);
    } catch (const base::Exception& e) {
        warnNotMoved(path, e.message());
        return false;
    }
    ScanFolder::File reference;
    try {
        reference = m_folder.openFile(m_names[m_view.position]);
    } catch (const base::Exception& e) {
        warnNotMoved(path, QStringLiteral("Le fichier de référence ne peut plus être lu : ") +
                               e.message());
        // The rest of the pass would only find copies of a text the reference no longer holds.
        m_haveReference = false;
        return false;
    }
    const QString shownReference = base::PathRules::shownName(referencePath);
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
        // Untouched since the comparison, they are not read again here: the check once in the
        // trash reads them both whatever happens.
        const bool untouched = candidate.stamp() == m_comparedCandidate &&
                               reference.stamp() == m_referenceFile.stamp();
        if (!untouched && !m_comparer.equal(reference.fd(), referencePath, candidate.fd(), path)) {
            warnNotMoved(path, changedText);
            return false;
        }
    } catch (const base::Exception& e) {
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
                !m_comparer.equal(reference.fd(), referencePath, candidate.fd(), path)) {
                *why = changedText;
                return false;
            }
        } catch (const base::Exception& e) {
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
    // The journal records the move just before it happens, and then its outcome.
    const TrashAboutToMove record = [&](const QByteArray& root, const QByteArray& trashName,
                                        QString* why) {
        return m_journal.aboutToMove(m_folder.fd(), candidate.localName(), reference.localName(),
                                     root, trashName, why);
    };
    const FileStamp folderBefore = m_listing.folderStamp();
    QString reason;
    QString trash;
    if (!SendToRecycleBinAt(m_folder.fd(), m_folder.path(), candidate.localName(), verify, &reason,
                            &trash, record, &m_trash)) {
        m_journal.notMoved();
        warnNotMoved(path, reason);
        return false;
    }
    m_journal.moved();
    m_lastTrash = trash;
    m_listing.removeOwn(index, folderBefore);
    return true;
}

bool ScanEngine::pass(bool automatic)
{
    bool result = true;
    for (const int candidate : QList<int>(m_visits)) {
        if (isDuplicate(candidate)) {
            ++m_duplicates;
            m_listener.duplicateFound(automatic);
            const QString name = m_listing.names()[candidate];
            if (automatic) {
                // Listed once really moved: the list names only what is in the trash.
                if (moveToTrash(candidate)) {
                    m_view.moved.append(name);
                    keepAlive(false);
                    clearPanes();
                }
            } else {
                const ScanListener::Answer answer = m_listener.askDuplicate(name);
                if (answer == ScanListener::Answer::Move) {
                    if (moveToTrash(candidate)) {
                        keepAlive(true);
                        clearPanes();
                        m_view.moved.append(name);
                    }
                } else if (answer == ScanListener::Answer::Keep) {
                    continue;
                } else {
                    result = false;
                    break;
                }
            }
        }
        keepAlive(!automatic);
        if (stopTest())
            break;
    }
    return result;
}
