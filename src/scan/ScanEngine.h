#pragma once

#include "scan/FingerprintIndex.h"
#include "scan/ScanFolder.h"
#include "scan/ScanListing.h"
#include "scan/TextComparer.h"
#include "shell/MoveJournal.h"
#include "shell/RecycleBin.h"

#include <QList>
#include <QString>
#include <QStringList>

class ScanListener;

// The scan without a window: every name of a list in turn is the reference, its candidates are
// compared with it, and the duplicates are moved to the trash as the listener decides.
//
// A candidate is only ever compared with the text read from the current reference's own file,
// never with the reference itself under another name, and a link is never taken as the copy a
// real file is the duplicate of; so one copy of every group of equal texts always stays.
//
// The scan opens its folder once and reaches every file through it. Each file is fingerprinted
// once (and again only when it changes), so a pass visits only the candidates that may be
// duplicates; each of those is opened and compared in full, compared again through new
// descriptors just before it is moved, and checked once in the trash: what was compared is what
// moved, else it is put back.
class ScanEngine {
public:
    enum class Pane { Keep, Show, Clear };

    // What the window shows of the running scan; the presenter takes the pending changes.
    struct View {
        int position = -1;
        QString caption;
        int currentCandidate = -1;
        QString candidateMask;
        bool candidatesFailed = false;
        Pane referencePane = Pane::Keep;
        Pane candidatePane = Pane::Keep;
        QString referencePath;
        // Whether referenceText holds the reference's text; else the pane loads it itself.
        bool referenceTextRead = false;
        QString referenceText;
        // The duplicate the candidate pane shows.
        QString candidatePath;
        // Names moved to the trash and not yet listed.
        QStringList moved;
    };

    explicit ScanEngine(ScanListener& listener);

    // Walks the names, in the folder as they are listed there, from the last to the first; kinds
    // are those a listing of candidates keeps. Raises what ends a scan (a candidate that cannot be
    // loaded); a folder that cannot be opened is told to the listener and nothing is scanned.
    void run(const QString& folder, const QStringList& names, base::FolderListing::FileKinds kinds);

    int duplicates() const { return m_duplicates; }
    int notMoved() const { return m_notMoved; }
    // The trash the last move went to, empty before any.
    const QString& lastTrash() const { return m_lastTrash; }
    View& view() { return m_view; }
    const View& view() const { return m_view; }
    const ScanListing& listing() const { return m_listing; }
    FingerprintIndex& index() { return m_index; }

private:
    bool stopTest();
    void keepAlive(bool now);
    void loadReference(int position);
    void chooseCandidates(int position);
    void freshenListing();
    bool openReference();
    // Whether candidate `index` of the listing is a duplicate of the reference, read in full.
    bool isDuplicate(int index);
    bool referenceChanged(const ScanFolder::File& now);
    // Moves a duplicate to the trash once its text and the reference's are still equal; on
    // failure tells the listener and returns false.
    bool moveToTrash(int index);
    void warnNotMoved(const QString& path, const QString& reason);
    void clearPanes();
    // A pass over the candidates; false ends the scan.
    bool pass(bool automatic);

    ScanListener& m_listener;
    FingerprintIndex m_index;
    // What this scan moved, so that it can be undone.
    MoveJournal m_journal;
    ScanListing m_listing;
    ScanFolder m_folder;
    QStringList m_names;
    View m_view;
    int m_duplicates = 0;
    int m_notMoved = 0;
    bool m_endRequested = false;
    QString m_lastTrash;

    // The current reference.
    bool m_haveReference = false;
    Fingerprint m_referencePrint;
    FileStamp m_referenceStamp;
    // The reference as the pass compares with it, opened at its first comparison.
    ScanFolder::File m_referenceFile;
    // The stamp of the candidate last found equal, as it was opened for that comparison.
    FileStamp m_comparedCandidate;
    TextComparer m_comparer;
    // The trash stays open from one move to the next.
    TrashSession m_trash;
    QStringList m_candidatePatterns;
    // The candidates a pass visits, as listing indices, last first.
    QList<int> m_visits;
};
