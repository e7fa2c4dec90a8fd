#pragma once

#include <QObject>
#include <QString>

class QButtonGroup;
class TJvFileListBox;
class TMemo;

// The reference (the main list's selection) and its candidates (the files whose names begin with
// the prefix the scan mode takes from the reference's name).
class ReferenceLoader : public QObject {
    Q_OBJECT
public:
    // The window's controls the loader reads and fills; they outlive the loader.
    struct Controls {
        TJvFileListBox* mainList = nullptr;
        TJvFileListBox* candidateList = nullptr;
        TMemo* referencePane = nullptr;
        // The scan modes by id; none checked is the whole name.
        const QButtonGroup* scanModes = nullptr;
    };

    explicit ReferenceLoader(const Controls& controls, QObject* parent = nullptr);

    // Loads the selected file of the main list into the reference pane when it exists; returns
    // whether the pane now holds that file's text.
    bool CHARGE1Execute();
    // Fills the candidate list by the scan mode and removes the reference from it.
    void CHARGE2Execute();
    void FormShow();
    void JvFileListBox1Change();
    void RadioGroup1Click();
    void JvFileListBox2Click();

    // The name (last path element) of the main list's selected file, empty without one.
    QString referenceName() const;

signals:
    // The main list changed and now holds this many files.
    void mainListCounted(int count);

private:
    Controls m_controls;
};
