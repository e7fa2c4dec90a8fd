#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TForm1;

// The scan: every file of the main list in turn is the reference, its candidates are compared
// with it, and the duplicates are offered for deletion or moved to the trash.
//
// Whatever the user does while it runs (the window keeps processing events), a candidate is only
// ever compared with the text read from the current reference's own file for this reference, and
// never with the reference itself; so one copy of every group of equal texts always stays.
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

    // The nineteen lines of the manual question.
    static QString DuplicateQuestion(const QString& referenceName, const QString& candidateName);
    // Elapsed time as hh:mm:ss (hours are not cut at one day).
    static QString FormatElapsed(qint64 milliseconds);

private:
    bool stopTest() const;
    void processMessages();
    void takeCandidates();
    void showCandidate(int index);
    // Selects candidate `index` for the eye, loads it into the candidate pane and tells whether
    // its text equals the reference file's own.
    bool isDuplicate(int index);
    void clearPanes();
    QString loadCandidate(const QString& path);
    bool isReference(const QString& path) const;
    void countDuplicate(unsigned soundKind);
    // Moves a duplicate to the trash; on failure tells the user and returns false.
    bool moveToTrash(const QString& path);
    void listDuplicate(const QString& name);
    void checkMainList();

    TForm1& m_form;
    // What the running scan walks: the main list as it was at the start.
    QString m_folder;
    QStringList m_names;
    bool m_mainListChanged = false;
    // The current reference, read from its own file for this reference.
    bool m_haveReference = false;
    QString m_referencePath;
    // Resolved once per reference rather than for every candidate.
    QByteArray m_referenceCanonical;
    QString m_referenceText;
    // The current reference's candidates (full paths) and their names in the candidate list.
    QStringList m_candidatePaths;
    QStringList m_candidateNames;
};
