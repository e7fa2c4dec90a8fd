#pragma once

#include "scan/ScanEngine.h"
#include "scan/ScanListener.h"

#include <QCollator>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QCheckBox;
class QListWidget;
class QPushButton;
class QWidget;
class TGauge;
class TJvFileListBox;
class TMemo;

// The controls of the window that show a scan or that the scan reads.
struct ScanControls {
    QWidget* window = nullptr;
    TJvFileListBox* mainList = nullptr;
    TJvFileListBox* candidateList = nullptr;
    TMemo* referencePane = nullptr;
    TMemo* candidatePane = nullptr;
    QListWidget* duplicatesList = nullptr;
    TGauge* gauge = nullptr;
    QWidget* gaugePanel = nullptr;
    QPushButton* button = nullptr;
    QCheckBox* automatic = nullptr;
    QAction* beep = nullptr;
    QAction* saveSettings = nullptr;
    std::function<int()> mode;
    std::function<QString(int field)> statusText;
    std::function<void(int field, const QString& text)> setStatusText;
    // Whether both lists show the folder the folder field names.
    std::function<bool()> foldersAgree;
};

// The scan as the window shows it: it starts the engine on the main list, brings the window up
// to date at most about thirty times a second (and exactly whenever the scan waits for the user),
// keeps the window answering events, asks the questions and shows the messages.
class ScanRun : public ScanListener {
public:
    explicit ScanRun(ScanControls controls);

    void COMPARERExecute();
    // The close handler's decision: false keeps the window open (a scan runs and is asked to
    // stop); otherwise the settings are saved and the window may close.
    bool FormClose();
    // Escape, a close request or the scan button: the running scan ends at its next stop test.
    void requestStop() { StopRequested = true; }

    bool isRunning() const { return m_running; }
    FingerprintIndex& index() { return m_engine.index(); }
    // The trash the last move of a scan went to, empty before any.
    const QString& lastTrash() const { return m_engine.lastTrash(); }

    // Set by a stop request, cleared when a scan starts.
    bool StopRequested = false;
    // Duplicates found by the current or last scan.
    int DuplicateCount = 0;

    // The nineteen lines of the manual question.
    static QString DuplicateQuestion(const QString& referenceName, const QString& candidateName);
    // Elapsed time as hh:mm:ss (hours are not cut at one day).
    static QString FormatElapsed(qint64 milliseconds);

    // What the engine asks.
    int mode() const override;
    bool automatic() const override;
    qsizetype referenceCapacity() const override;
    qsizetype candidateCapacity() const override;
    void keepAlive(bool now) override;
    bool stopRequested() override;
    bool listChanged() override;
    void loadFailed(const QString& notice) override;
    void duplicateFound(bool automatic) override;
    Answer askDuplicate(const QString& candidateName) override;
    bool notMoved(const QString& path, const QString& reason) override;
    void folderUnavailable(const QString& reason) override;

private:
    void processMessages();
    void showNow() { show(true); }
    void show(bool now);
    void showCandidates();
    void showListed();
    void insertListed(const QString& name);
    void checkMainList();

    ScanControls m_controls;
    ScanEngine m_engine;
    QCollator m_collator;
    QElapsedTimer m_sinceShown;
    QElapsedTimer m_sincePumped;
    bool m_shownSincePumped = false;
    bool m_running = false;

    // The main list as it was at the start: what the running scan walks.
    QString m_folder;
    QStringList m_names;
    bool m_folderUnavailable = false;
    quint64 m_mainListReads = 0;
    bool m_mainListChanged = false;

    quint64 m_shownCandidatesKey = 0;
    QString m_shownCandidatesMask;
    int m_shownCandidatesPosition = -1;
    QList<int> m_shownRows;
};
