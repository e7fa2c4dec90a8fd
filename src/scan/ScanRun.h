#pragma once

#include "scan/FingerprintIndex.h"
#include "scan/MoveJournal.h"
#include "scan/ScanFolder.h"
#include "scan/ScanListing.h"

#include <QByteArray>
#include <QCollator>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

class TForm1;

// The scan: every file of the main list in turn is the reference, its candidates are compared
// with it, and the duplicates are offered for deletion or moved to the trash.
//
// Whatever the user does while it runs (the window keeps processing events), a candidate is only
// ever compared with the text read from the current reference's own file for this reference, and
// never with the reference itself; so one copy of every group of equal texts always stays.
//
// Each file is fingerprinted once (and again only when it changes), so a pass visits only the
// candidates that may be duplicates; each of those is read and compared in full, and read again
// with the reference just before it is moved. The window is brought up to date at most about
// thirty times a second, and exactly whenever the scan waits for the user.
class ScanRun {
public:
    explicit ScanRun(TForm1& form);

    void COMPARERExecute();
    // The close handler's decision: false keeps the window open (a scan runs and is asked to
    // stop); otherwise the settings are saved and the window may close.
    bool FormClose();
    bool ManualPass();
    bool AutomaticPass();

    bool isRunning() const;
    FingerprintIndex& index() { return m_index; }

    // The nineteen lines of the manual question.
    static QString DuplicateQuestion(const QString& referenceName, const QString& candidateName);
    // Elapsed time as hh:mm:ss (hours are not cut at one day).
    static QString FormatElapsed(qint64 milliseconds);

private:
    enum class Pane { Keep, Show, Clear };

    bool stopTest();
    void processMessages();
    void processMessagesSoon();
    void showNow();
    void show(bool now);
    void showCandidates();
    bool loadReference(int position);
    void chooseCandidates(int position);
    void freshenListing();
    bool openReference();
    // Whether candidate `index` of the listing is a duplicate of the reference, read in full.
    bool isDuplicate(int index);
    void clearPanes();
    void countDuplicate(unsigned soundKind);
    // Moves a duplicate to the trash once its text and the reference's are still equal; on
    // failure tells the user and returns false.
    bool moveToTrash(int index);
    bool referenceChanged(const ScanFolder::File& now);
    // Escape (or "Annuler") on the warning asks the scan to end.
    void warnNotMoved(const QString& path, const QString& reason);
    void listDuplicate(const QString& name);
    void showListed();
    void insertListed(const QString& name);
    void checkMainList();

    TForm1& m_form;
    FingerprintIndex m_index;
    MoveJournal m_journal; // undo: the journal of this scan's moves
    ScanListing m_listing;
    QCollator m_collator;
    QElapsedTimer m_sinceShown;
    QElapsedTimer m_sincePumped;
    bool m_shownSincePumped = false;

    // What the running scan walks: the main list as it was at the start, in the one folder it
    // opened.
    ScanFolder m_folder;
    QStringList m_names;
    quint64 m_mainListReads = 0;
    bool m_mainListChanged = false;

    // The current reference.
    int m_position = -1;
    bool m_haveReference = false;
    QString m_referencePath;
    Fingerprint m_referencePrint;
    bool m_referenceTextRead = false;
    QString m_referenceText;
    // The reference as the pass compares with it, opened at its first comparison.
    ScanFolder::File m_referenceFile;
    FileStamp m_referenceStamp;
    int m_notMoved = 0;
    bool m_endRequested = false;
    QString m_candidateMask;
    QStringList m_candidatePatterns;
    bool m_candidatesFailed = false;
    // The candidates a pass visits, as listing indices, last first.
    QList<int> m_visits;

    // What the window shows when it is next brought up to date.
    QString m_caption;
    QStringList m_toList;
    Pane m_referencePane = Pane::Keep;
    Pane m_candidatePane = Pane::Keep;
    QString m_candidateText;
    int m_currentCandidate = -1;
    quint64 m_shownCandidatesKey = 0;
    QString m_shownCandidatesMask;
    int m_shownCandidatesPosition = -1;
    QList<int> m_shownRows;
};
