#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

// The rows of a file list: a sorted list of names, all of them or a chosen subset, so that a
// new set of thousands of names is shown without building an item per name.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Every name, in order.
    void setNames(const QStringList& names);
    // Only names[rows[0]], names[rows[1]], ...; rows ascending. The list is shared, not copied.
    void setRows(const QStringList& names, const QList<int>& rows);
    void clear() { setNames(QStringList()); }
    void removeAt(int row);

    int count() const { return m_filtered ? int(m_rows.size()) : int(m_names.size()); }
    QString name(int row) const { return m_names.at(m_filtered ? m_rows.at(row) : row); }
    // Icon number of a row's name, -1 until it is first asked for.
    int iconNumber(int row) const;
    void setIconNumber(int row, int number) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QStringList m_names;
    QList<int> m_rows;
    bool m_filtered = false;
    mutable QList<int> m_icons;
};
