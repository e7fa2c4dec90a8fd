#include "widgets/TJvFileListBox.h"

#include "app/EListError.h"
#include "app/EStringListError.h"

#include <QDir>

TJvFileListBox::TJvFileListBox(QWidget* parent)
    : QListWidget(parent), m_directory(QDir::currentPath())
{
}

void TJvFileListBox::setDirectory(const QString& directory)
{
    if (directory.isEmpty())
        return;
    m_directory = directory;
    Update();
}

void TJvFileListBox::setMask(const QString& mask)
{
    if (mask == m_mask)
        return;
    m_mask = mask;
    Update();
}

void TJvFileListBox::Update()
{
    clear();
    const QStringList names = QDir(m_directory).entryList(QDir::Files, QDir::Name);
    addItems(names);
    m_lastNotifiedIndex = itemIndex();
    emit OnChange();
}

QString TJvFileListBox::itemText(int index) const
{
    if (index < 0 || index >= count())
        throw EStringListError(QStringLiteral("Index de liste hors limites (%1)").arg(index));
    return item(index)->text();
}

void TJvFileListBox::setItemIndex(int index)
{
    const QSignalBlocker blocker(this);
    setCurrentRow(index);
}

bool TJvFileListBox::isItemSelected(int index) const
{
    if (index < 0 || index >= count())
        throw EListError(QStringLiteral("Index de liste hors limites (%1)").arg(index));
    return currentRow() == index;
}

void TJvFileListBox::setItemSelected(int index, bool selected)
{
    if (index < 0 || index >= count())
        throw EListError(QStringLiteral("Index de liste hors limites (%1)").arg(index));
    setItemIndex(selected ? index : -1);
}

void TJvFileListBox::DeleteSelected()
{
    const int row = currentRow();
    if (row >= 0)
        delete takeItem(row);
}

QString TJvFileListBox::fileName() const
{
    const int row = currentRow();
    if (row < 0)
        return QString();
    const QString text = item(row)->text();
    return m_directory.endsWith(QLatin1Char('/')) ? m_directory + text
                                                  : m_directory + QLatin1Char('/') + text;
}

void TJvFileListBox::setShowGlyphs(bool show)
{
    m_showGlyphs = show;
    viewport()->update();
}
