#pragma once

#include <QListWidget>
#include <QString>

// The files of one folder whose names match a ";"-separated mask, sorted by the user's locale
// ignoring case. Both the display and the scan's working list: removing an item never touches
// the file.
class TJvFileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TJvFileListBox(QWidget* parent = nullptr);

    QString directory() const { return m_directory; }
    void setDirectory(const QString& directory);
    QString mask() const { return m_mask; }
    void setMask(const QString& mask);
    // Re-reads the folder with the current mask, then OnChange.
    void Update();

    int itemCount() const { return count(); }
    // Raises EStringListError for an index outside the items.
    QString itemText(int index) const;
    int itemIndex() const { return currentRow(); }
    // Selects without any event; -1 selects nothing.
    void setItemIndex(int index);
    bool isItemSelected(int index) const;
    void setItemSelected(int index, bool selected);
    void DeleteSelected();
    // Full path of the selected file; empty when nothing is selected.
    QString fileName() const;

    bool showGlyphs() const { return m_showGlyphs; }
    void setShowGlyphs(bool show);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

signals:
    void OnChange();
    void OnClick();

private:
    QString m_directory;
    QString m_mask = QStringLiteral("*.*");
    bool m_showGlyphs = false;
    int m_tag = 0;
    int m_lastNotifiedIndex = -1;
};
