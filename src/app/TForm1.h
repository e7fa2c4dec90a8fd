#pragma once

#include "settings/PersistedWindow.h"

#include <QList>
#include <QMainWindow>
#include <QPixmap>

class QAction;
class QCheckBox;
class QSplitter;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QButtonGroup;
class TGauge;
class TJvCaptionPanel;
class TJvDirectoryEdit;
class TJvFileListBox;
class TMemo;
class TSplitter;
class TStatusBar;
class ScanRun;
struct ScanControls;
class ReferenceLoader;
class RestoreLastScan;
class WindowPersistence;

// The main window: its composition, its event wiring and the small handlers that only wire
// controls together. The scan, the loaders and the settings live in their own classes.
class TForm1 : public QMainWindow, public PersistedWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The image list: ten 16 x 16 pictures by index, drawn from vector sources for the device
    // pixel ratio (0: the highest of the screens').
    static QPixmap ImageList16(int index, qreal devicePixelRatio = 0);

    // Scan state shared by the window, the scan and its passes.

    // The controls, by their window names.
    TJvCaptionPanel* PANEL_LISTE() const { return m_PANEL_LISTE; }
    TJvCaptionPanel* JvCaptionPanel1() const { return m_JvCaptionPanel1; }
    TJvCaptionPanel* JvCaptionPanel2() const { return m_JvCaptionPanel2; }
    TJvDirectoryEdit* JvDirectoryEdit1() const { return m_JvDirectoryEdit1; }
    QLineEdit* Edit1() const { return m_Edit1; }
    QPushButton* Button2() const { return m_Button2; }
    TJvFileListBox* JvFileListBox1() const { return m_JvFileListBox1; }
    TJvFileListBox* JvFileListBox2() const { return m_JvFileListBox2; }
    TSplitter* Splitter1() const { return m_Splitter1; }
    TSplitter* Splitter2() const { return m_Splitter2; }
    TSplitter* Splitter3() const { return m_Splitter3; }
    TMemo* Memo1() const { return m_Memo1; }
    TMemo* Memo2() const { return m_Memo2; }
    QGroupBox* RadioGroup1() const { return m_RadioGroup1; }
    QCheckBox* chk_AUTO() const { return m_chk_AUTO; }
    QPushButton* Button1() const { return m_Button1; }
    QListWidget* ListBox1() const { return m_ListBox1; }
    QWidget* Panel_GAUGE() const { return m_Panel_GAUGE; }
    TGauge* gauge1() const { return m_gauge1; }
    TStatusBar* StatusBar1() const { return m_StatusBar1; }
    QAction* COMPARER() const { return m_COMPARER; }
    QAction* CHARGE1() const { return m_CHARGE1; }
    QAction* CHARGE2() const { return m_CHARGE2; }
    QAction* INI_SAVE() const { return m_INI_SAVE; }
    QAction* FichierFileExit1() const { return m_FichierFileExit1; }
    QAction* chk_BEEP() const { return m_chk_BEEP; }
    QMenu* PopupMenu2() const { return m_PopupMenu2; }

    ScanRun* scan() const { return m_scan; }

    // Item index of the scan-mode group, -1 when no mode is selected. Setting it clamps to
    // -1..2 and, for a changed index other than -1, runs RadioGroup1Click.
    int radioGroupIndex() const override;
    void setRadioGroupIndex(int index) override;

    // Whether the main list, the candidate list and the folder field name one same folder: the
    // only state a scan may start from.
    bool FoldersAgree() const;

    // Field texts of the status bar.
    QString statusText(int field) const;
    void setStatusText(int field, const QString& text);

public slots:
    void FormCreate();
    void FormShow();
    void Edit1Change() override;
    void Button2Click();
    void JvDirectoryEdit1Change();
    void JvFileListBox1Change();
    void JvFileListBox2Change();
    void JvFileListBox2Click();
    void RadioGroup1Click();
    void Raffraichirlaliste2Click();
    void Explorerdossier2Click();
    void OuvrirlacorbeilleClick();
    void RestaurerladerniereanalyseClick();
    void COMPARERExecute();
    void CHARGE1Execute();
    void CHARGE2Execute();
    void INI_SAVEExecute();
    void FichierFileExit1Execute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Shown in the general error report, as any handler's error.
    void restoreFailed(const std::exception& error) override;
    // Returns false when the close must be refused.
    bool FormClose();
    void FormKeyPress(QKeyEvent* event);
    void buildActions();
    void buildMenus();
    void buildControls();
    void applyOwnColours();
    void joinColumns();
    // Tab order in reading order; the scan modes take one tab stop, at the checked mode.
    void buildTabOrder();
    // Tooltips of the scan modes, the automatic mode and the status fields.
    void buildHints();

    TJvCaptionPanel* m_PANEL_LISTE = nullptr;
    TJvCaptionPanel* m_JvCaptionPanel1 = nullptr;
    TJvCaptionPanel* m_JvCaptionPanel2 = nullptr;
    TJvDirectoryEdit* m_JvDirectoryEdit1 = nullptr;
    QLabel* m_Label1 = nullptr;
    QLabel* m_Label2 = nullptr;
    QLineEdit* m_Edit1 = nullptr;
    QPushButton* m_Button2 = nullptr;
    TJvFileListBox* m_JvFileListBox1 = nullptr;
    TJvFileListBox* m_JvFileListBox2 = nullptr;
    TSplitter* m_Splitter1 = nullptr;
    TSplitter* m_Splitter2 = nullptr;
    TSplitter* m_Splitter3 = nullptr;
    TMemo* m_Memo1 = nullptr;
    TMemo* m_Memo2 = nullptr;
    QGroupBox* m_RadioGroup1 = nullptr;
    QButtonGroup* m_radioButtons = nullptr;
    QList<QRadioButton*> m_radioItems;
    QCheckBox* m_chk_AUTO = nullptr;
    QPushButton* m_Button1 = nullptr;
    QListWidget* m_ListBox1 = nullptr;
    QWidget* m_Panel_GAUGE = nullptr;
    TGauge* m_gauge1 = nullptr;
    TStatusBar* m_StatusBar1 = nullptr;

    QAction* m_COMPARER = nullptr;
    QAction* m_CHARGE1 = nullptr;
    QAction* m_CHARGE2 = nullptr;
    QAction* m_INI_SAVE = nullptr;
    QAction* m_FichierFileExit1 = nullptr;
    QAction* m_chk_BEEP = nullptr;
    QSplitter* m_columns = nullptr;
    QAction* m_Raffraichirlaliste2 = nullptr;
    QAction* m_Explorerdossier2 = nullptr;
    QAction* m_MenuItem5 = nullptr;
    QAction* m_Restaurerladerniereanalyse1 = nullptr;
    QMenu* m_PopupMenu1 = nullptr;
    QMenu* m_PopupMenu2 = nullptr;

    ScanControls scanControls();

    ScanRun* m_scan = nullptr;
    ReferenceLoader* m_loader = nullptr;
    WindowPersistence* m_persistence = nullptr;
    RestoreLastScan* m_restore = nullptr;
    bool m_shownOnce = false;
    // The field's text at its last change, and the folder it names.
    QString m_fieldText;
    QString m_fieldFolder;
    // Whether the field has pointed the lists at a folder yet; until then they list the
    // process's working folder, which the user never chose.
    bool m_listsFollowField = false;
};
