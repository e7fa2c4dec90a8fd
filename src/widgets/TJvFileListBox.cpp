#include "widgets/TJvFileListBox.h"

#include "base/Errors.h"
#include "base/MaskMatcher.h"
#include "base/PathRules.h"
#include "widgets/FileListModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <cerrno>
#include <new>
#include <unistd.h>

namespace {

constexpr int GlyphSize = 16;
constexpr int GlyphLeft = 2;
constexpr int TextLeftWithGlyph = 22;
constexpr int TextLeftPlain = 2;
constexpr int HighlightMargin = 2;
constexpr qint64 TypeAheadResetMs = 500;
constexpr int BusyCursorFromIndex = 100;

// One icon per MIME type for the whole process, like the platform's shared small-icon list.
struct IconCache {
    QHash<QString, int> numberByType;
    QList<QIcon> icons;
};

IconCache& iconCache()
{
    static IconCache cache;
    return cache;
}

int iconNumberForName(const QString& name)
{
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QString key = type.isDefault() ? QString() : type.name();
    IconCache& cache = iconCache();
    const auto found = cache.numberByType.constFind(key);
    if (found != cache.numberByType.constEnd())
        return found.value();
    const QIcon generic = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    QIcon icon = generic;
    if (!key.isEmpty())
        icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), generic));
    const int number = int(cache.icons.size());
    cache.icons << icon;
    cache.numberByType.insert(key, number);
    return number;
}

// Only the text is highlighted, from 2 px before it to 2 px after it.
class FileListDelegate : public QStyledItemDelegate {
public:
    explicit FileListDelegate(TJvFileListBox* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QFontMetrics metrics(option.font);
        const int height =
            m_list->showGlyphs() ? qMax(metrics.height(), GlyphSize) : metrics.height();
        const QString text = index.data(Qt::DisplayRole).toString();
        return QSize(textLeft() + metrics.horizontalAdvance(text) + HighlightMargin, height);
    }

    // A name cut at the list's right edge shows whole in a hint; other names leave the list's
    // own hint, if any.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        const int textX = option.rect.left() + textLeft();
        if (textX + QFontMetrics(option.font).horizontalAdvance(text) <= view->viewport()->width())
            return false;
        QToolTip::showText(event->globalPos(), text, view->viewport(), view->visualRect(index));
        return true;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        painter->save();
        const QRect row = option.rect;
        if (m_list->showGlyphs()) {
            const QIcon icon = TJvFileListBox::iconForNumber(m_list->itemIconNumber(index.row()));
            const QRect glyph(row.left() + GlyphLeft, row.top() + (row.height() - GlyphSize) / 2,
                              GlyphSize, GlyphSize);
            icon.paint(painter, glyph);
        }
        const QString text = index.data(Qt::DisplayRole).toString();
        const QFontMetrics metrics(option.font);
        const int textX = row.left() + textLeft();
        const QRect band(textX - HighlightMargin, row.top(),
                         metrics.horizontalAdvance(text) + 2 * HighlightMargin, row.height());
        const QPalette::ColorGroup group =
            !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
            : (option.state & QStyle::State_Active) ? QPalette::Active
                                                    : QPalette::Inactive;
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(band, option.palette.brush(group, QPalette::Highlight));
        painter->setFont(option.font);
        painter->setPen(
            option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRect(textX, row.top(), qMax(0, row.right() - textX + 1), row.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = band;
            focus.state |= QStyle::State_KeyboardFocusChange;
            focus.backgroundColor =
                option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            m_list->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_list);
        }
        painter->restore();
    }

private:
    int textLeft() const { return m_list->showGlyphs() ? TextLeftWithGlyph : TextLeftPlain; }

    TJvFileListBox* m_list;
};

// From the 101st item to the end of the re-read, also when it ends with an error.
class BusyCursor {
public:
    BusyCursor() = default;
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    ~BusyCursor() { restore(); }
    void start()
    {
        if (m_set)
            return;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_set = true;
    }
    void restore()
    {
        if (!m_set)
            return;
        QGuiApplication::restoreOverrideCursor();
        m_set = false;
    }

private:
    bool m_set = false;
};

// Keeps the process's current folder on the listed one; a failure is of no consequence since
// the listing reads the folder by its full path.
void makeCurrent(const QString& folder)
{
    [[maybe_unused]] const int ignored = ::chdir(base::PathRules::localPath(folder).constData());
}

} // namespace

TJvFileListBox::TJvFileListBox(QWidget* parent)
    : QListView(parent), m_model(new FileListModel(this)), m_directory(QDir::currentPath())
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new FileListDelegate(this));
    m_elapsed.start();
    m_clock = [this] { return m_elapsed.elapsed(); };
    reRead();
}

void TJvFileListBox::setDirectory(const QString& directory)
{
    if (directory.isEmpty())
        return;
    const QString folder = base::PathRules::resolveFolder(directory);
    if (folder != m_directory) {
        const QByteArray path = base::PathRules::localPath(folder);
        if (::chdir(path.constData()) != 0)
            throw base::EInOutError(base::EInOutError::codeForFolder(errno, path));
        m_directory = folder;
        reRead();
    }
    reRead();
}

void TJvFileListBox::clearDirectory()
{
    m_directory.clear();
    reRead();
}

void TJvFileListBox::setMask(const QString& mask)
{
    if (mask == m_mask)
        return;
    m_mask = mask;
    reRead();
}

void TJvFileListBox::Update()
{
    reRead();
}

void TJvFileListBox::Refresh()
{
    if (!m_directory.isEmpty()) {
        const QByteArray path = base::PathRules::localPath(m_directory);
        if (::chdir(path.constData()) != 0) {
            const int error = errno;
            ++m_readCount;
            m_model->clear();
            notifyChange();
            throw base::EInOutError(base::EInOutError::codeForFolder(error, path));
        }
    }
    reRead();
}

void TJvFileListBox::setFileType(base::FolderListing::FileKinds kinds)
{
    if (kinds == m_fileType)
        return;
    m_fileType = kinds;
    reRead();
}

void TJvFileListBox::reRead()
{
    ++m_readCount;
    makeCurrent(m_directory);
    m_model->clear();
    BusyCursor busy;
    QStringList names =
        base::FolderListing::list(m_directory, base::MaskMatcher::splitMask(m_mask), m_fileType);
    if (names.size() > BusyCursorFromIndex)
        busy.start();
    try {
        m_model->setNames(names);
    } catch (const std::bad_alloc&) {
        throw base::EOutOfResources(QStringLiteral("Impossible d'insérer une ligne"));
    }
    busy.restore();
    notifyChange();
}

void TJvFileListBox::showListing(const QString& mask, const QStringList& names,
                                 const QList<int>& rows)
{
    m_mask = mask;
    m_model->setRows(names, rows);
    notifyChange();
}

void TJvFileListBox::notifyChange()
{
    m_lastNotifiedIndex = itemIndex();
    emit OnChange();
}

void TJvFileListBox::checkIndex(int index, bool listError) const
{
    if (index >= 0 && index < itemCount())
        return;
    const QString message = QStringLiteral("Index de liste hors limites (%1)").arg(index);
    if (listError)
        throw base::EListError(message);
    throw base::EStringListError(message);
}

QString TJvFileListBox::itemText(int index) const
{
    checkIndex(index, false);
    return m_model->name(index);
}

int TJvFileListBox::itemIconNumber(int index) const
{
    checkIndex(index, false);
    const int stored = m_model->iconNumber(index);
    if (stored >= 0)
        return stored;
    // Looked up on first need so that a re-read never waits for icons.
    const int number = iconNumberForName(m_model->name(index));
    m_model->setIconNumber(index, number);
    return number;
}

QIcon TJvFileListBox::iconForNumber(int number)
{
    const IconCache& cache = iconCache();
    if (number < 0 || number >= cache.icons.size())
        return QIcon();
    return cache.icons.at(number);
}

void TJvFileListBox::setItemIndex(int index)
{
    if (index == currentRow())
        return;
    const QSignalBlocker blocker(this);
    setCurrentRow(index >= 0 && index < itemCount() ? index : -1);
}

bool TJvFileListBox::isItemSelected(int index) const
{
    checkIndex(index, true);
    return currentRow() == index;
}

void TJvFileListBox::setItemSelected(int index, bool selected)
{
    checkIndex(index, true);
    setItemIndex(selected ? index : -1);
}

void TJvFileListBox::DeleteSelected()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const QSignalBlocker blocker(this);
    setCurrentRow(-1);
    m_model->removeAt(row);
}

QString TJvFileListBox::fileName() const
{
    const int row = currentRow();
    if (row < 0)
        return QString();
    return base::PathRules::fullName(m_directory, m_model->name(row));
}

int TJvFileListBox::itemCount() const
{
    return m_model->count();
}

QRect TJvFileListBox::itemRect(int index) const
{
    return visualRect(m_model->index(index, 0));
}

int TJvFileListBox::currentRow() const
{
    return currentIndex().row();
}

void TJvFileListBox::setCurrentRow(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    setCurrentIndex(index);
}

void TJvFileListBox::setShowGlyphs(bool show)
{
    if (show == m_showGlyphs)
        return;
    m_showGlyphs = show;
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void TJvFileListBox::setTypeAheadClock(std::function<qint64()> clock)
{
    m_clock = std::move(clock);
}

void TJvFileListBox::userSelected(int row)
{
    scrollTo(model()->index(row, 0));
    emit OnClick();
    if (itemIndex() != m_lastNotifiedIndex)
        notifyChange();
}

void TJvFileListBox::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    setCurrentRow(index.row());
    userSelected(index.row());
}

// Selection follows presses only, as a plain single-selection list box.
void TJvFileListBox::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QListView::mouseMoveEvent(event);
}

void TJvFileListBox::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void TJvFileListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void TJvFileListBox::keyPressEvent(QKeyEvent* event)
{
    const bool plain =
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    bool navigation = true;
    CursorAction action = MoveDown;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        action = MoveUp;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        action = MoveDown;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    default:
        navigation = false;
    }
    if (navigation && !(event->modifiers() & Qt::AltModifier)) {
        event->accept();
        const QModelIndex target = moveCursor(action, Qt::NoModifier);
        if (target.isValid() && target.row() != currentRow()) {
            setCurrentRow(target.row());
            userSelected(target.row());
        }
        return;
    }
    const QString text = event->text();
    if (plain && (event->key() == Qt::Key_Backspace || (!text.isEmpty() && text.at(0).isPrint()))) {
        event->accept();
        typeAhead(event);
        return;
    }
    event->ignore();
}

void TJvFileListBox::typeAhead(QKeyEvent* event)
{
    const qint64 now = m_clock();
    if (!m_typedBefore || now - m_lastTypeAheadKey >= TypeAheadResetMs)
        m_prefix.clear();
    m_typedBefore = true;
    m_lastTypeAheadKey = now;

    int target = -1;
    if (event->key() == Qt::Key_Backspace) {
        m_prefix.chop(1);
        if (m_prefix.isEmpty() && itemCount() > 0)
            target = 0;
    } else {
        m_prefix += event->text();
    }
    if (!m_prefix.isEmpty()) {
        for (int i = 0; i < itemCount(); ++i) {
            if (m_model->name(i).startsWith(m_prefix, Qt::CaseInsensitive)) {
                target = i;
                break;
            }
        }
    }
    if (target >= 0 && target != currentRow()) {
        setCurrentRow(target);
        userSelected(target);
    }
}

// Qt's view would make the first row current on focus, silently changing the selection index.
void TJvFileListBox::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TJvFileListBox::changeEvent(QEvent* event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        scheduleDelayedItemsLayout();
}
