#pragma once

#include "base/FolderListing.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QListView>
#include <QString>

#include <functional>

// The files of one folder whose names match a ";"-separated mask, sorted by the user's locale
// ignoring case. Both the display and the scan's working list: removing an item never touches
// the file. Usable (and filled from the process's current folder) as soon as it is constructed.
class FileListModel;

class TJvFileListBox : public QListView {
    Q_OBJECT
public:
    explicit TJvFileListBox(QWidget* parent = nullptr);

    QString directory() const { return m_directory; }
    // "" does nothing. Another folder re-reads twice, the folder already listed once; a folder
    // that cannot be entered raises EInOutError and leaves everything as it was.
    void setDirectory(const QString& directory);
    // Names no folder and lists nothing until a folder is set; then OnChange.
    void clearDirectory();
    QString mask() const { return m_mask; }
    void setMask(const QString& mask);
    // Re-reads the folder with the current mask, then OnChange.
    void Update();
    // The same for the user's refresh: a folder that can no longer be entered (removed since)
    // empties the list, then OnChange, and raises EInOutError as setDirectory does.
    void Refresh();
    // How many re-reads have started, those that failed included.
    quint64 readCount() const { return m_readCount; }

    base::FolderListing::FileKinds fileType() const { return m_fileType; }
    void setFileType(base::FolderListing::FileKinds kinds);

    int itemCount() const;
    // Raises EStringListError for an index outside the items.
    QString itemText(int index) const;
    // Index of the item's MIME-type icon in iconForNumber(); raises EStringListError.
    int itemIconNumber(int index) const;
    static QIcon iconForNumber(int number);
    int itemIndex() const { return currentRow(); }
    // Where an item is drawn, in viewport coordinates.
    QRect itemRect(int index) const;
    // Selects without any event; -1 selects nothing.
    void setItemIndex(int index);
    bool isItemSelected(int index) const;
    void setItemSelected(int index, bool selected);
    void DeleteSelected();
    // Full path of the selected file; empty when nothing is selected.
    QString fileName() const;

    // Shows names[rows...] of the folder's sorted listing, as a re-read with mask would, without
    // reading the folder again; then OnChange. The names are shared, not copied.
    void showListing(const QString& mask, const QStringList& names, const QList<int>& rows);

    bool showGlyphs() const { return m_showGlyphs; }
    void setShowGlyphs(bool show);

    // Milliseconds of a monotonic clock, for the type-ahead's 500 ms; tests may replace it.
    void setTypeAheadClock(std::function<qint64()> clock);

signals:
    void OnChange();
    void OnClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reRead();
    void notifyChange();
    void userSelected(int row);
    void typeAhead(QKeyEvent* event);
    void checkIndex(int index, bool listError) const;
    int currentRow() const;
    void setCurrentRow(int row);

    FileListModel* m_model = nullptr;
    QString m_directory;
    QString m_mask = QStringLiteral("*.*");
    base::FolderListing::FileKinds m_fileType = base::FolderListing::ftNormal;
    bool m_showGlyphs = false;
    int m_lastNotifiedIndex = -1;
    quint64 m_readCount = 0;
    QString m_prefix;
    qint64 m_lastTypeAheadKey = 0;
    bool m_typedBefore = false;
    QElapsedTimer m_elapsed;
    std::function<qint64()> m_clock;
};
