#include "widgets/FileListModel.h"

void FileListModel::setNames(const QStringList& names)
{
    beginResetModel();
    m_names = names;
    m_rows.clear();
    m_filtered = false;
    m_icons.clear();
    endResetModel();
}

void FileListModel::setRows(const QStringList& names, const QList<int>& rows)
{
    beginResetModel();
    m_names = names;
    m_rows = rows;
    m_filtered = true;
    m_icons.clear();
    endResetModel();
}

void FileListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    if (!m_filtered) {
        // Removing from a shared list would copy it whole; a subset removes one number.
        m_rows.resize(m_names.size());
        for (int i = 0; i < m_rows.size(); ++i)
            m_rows[i] = i;
        m_filtered = true;
    }
    m_rows.removeAt(row);
    if (row < m_icons.size())
        m_icons.removeAt(row);
    endRemoveRows();
}

int FileListModel::iconNumber(int row) const
{
    return row < m_icons.size() ? m_icons.at(row) : -1;
}

void FileListModel::setIconNumber(int row, int number) const
{
    if (m_icons.size() <= row)
        m_icons.resize(count(), -1);
    m_icons[row] = number;
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return QVariant();
    if (role == Qt::DisplayRole)
        return name(index.row());
    return QVariant();
}
