#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>
#include <optional>

class QMimeData;
class QToolButton;

// The read-only field that holds the working folder, with a browse button at its right end.
// Text and directory are the same string; OnChange fires once per actual change.
class TJvDirectoryEdit : public QLineEdit {
    Q_OBJECT
public:
    // Answers the folder picker: the chosen folder, or nothing when cancelled.
    using FolderPicker =
        std::function<std::optional<QString>(QWidget* parent, const QString& start)>;

    explicit TJvDirectoryEdit(QWidget* parent = nullptr);

    QString directory() const { return text(); }
    void setDirectory(const QString& directory) { setText(directory); }
    // Hides QLineEdit::setText so that OnChange runs outside the line edit's own code.
    void setText(const QString& text);
    QString initialDir() const { return m_initialDir; }
    void setInitialDir(const QString& dir) { m_initialDir = dir; }
    bool autoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool autoSelect) { m_autoSelect = autoSelect; }
    bool multipleDirs() const { return m_multipleDirs; }
    void setMultipleDirs(bool multiple) { m_multipleDirs = multiple; }
    bool acceptFiles() const { return acceptDrops(); }
    void setAcceptFiles(bool accept) { setAcceptDrops(accept); }

    // The folder choice, as the button and Alt+Down run it.
    void chooseFolder();

    // Where the picker opens: the folder (or, when it is empty, the initial folder), else its
    // nearest existing parent, else the home folder; never the root for a folder since removed.
    static QString pickerStart(const QString& directory, const QString& initialDir);

    // Replaces the folder dialog (tests); an empty function restores it.
    static void setFolderPicker(FolderPicker picker);

    static constexpr int ButtonWidth = 21;

signals:
    void OnChange();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void textWasChanged();
    void setTextReporting(const QString& text);
    // True, after telling the user, for a chosen or dropped folder that this one-line field
    // cannot show whole.
    static bool refuseUnshowable(const QString& folder);
    void placeButton();
    static std::optional<QString> droppedPath(const QMimeData* data);

    QToolButton* m_button = nullptr;
    QString m_initialDir;
    bool m_autoSelect = true;
    bool m_multipleDirs = false;
    bool m_settingText = false;
    bool m_focusedByPress = false;
};
