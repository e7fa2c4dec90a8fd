#include "widgets/TJvDirectoryEdit.h"

#include "base/Errors.h"
#include "base/PathRules.h"
#include "dialogs/ErrorReport.h"
#include "dialogs/MessageDialogs.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

namespace {

constexpr qsizetype DroppedPathRoom = 255;

TJvDirectoryEdit::FolderPicker& pickerOverride()
{
    static TJvDirectoryEdit::FolderPicker picker;
    return picker;
}

// Column widths that show every header and every value in full.
void fitColumns(QTreeView* view)
{
    QHeaderView* header = view->header();
    for (int column = 1; column < header->count(); ++column)
        header->resizeSection(
            column, qMax(header->sectionSizeHint(column),
                         static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column)));
}

// Qt's own folder dialog, not the platform's, so that every text in it is French.
std::optional<QString> runFolderDialog(QWidget* parent, const QString& start)
{
    QFileDialog dialog(parent, QString(), start);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setWindowTitle(QStringLiteral("Choisir un dossier"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Voir dans :"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Dossier :"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Type :"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("&Choisir"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annuler"));
    if (auto* view = dialog.findChild<QTreeView*>()) {
        fitColumns(view);
        if (auto* model = dialog.findChild<QFileSystemModel*>())
            QObject::connect(model, &QFileSystemModel::directoryLoaded, view,
                             [view] { fitColumns(view); });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> runFolderPicker(QWidget* parent, const QString& start)
{
    if (pickerOverride())
        return pickerOverride()(parent, start);
    return runFolderDialog(parent, start);
}

} // namespace

TJvDirectoryEdit::TJvDirectoryEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setAcceptDrops(true);
    m_button = new QToolButton(this);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setCursor(Qt::ArrowCursor);
    m_button->setIcon(
        QIcon::fromTheme(QStringLiteral("folder"), style()->standardIcon(QStyle::SP_DirIcon)));
    m_button->setIconSize(QSize(16, 16));
    setTextMargins(0, 0, ButtonWidth, 0);
    placeButton();
    // The press focuses the field first, so that AutoSelect selects its whole text. Qt hands
    // the focus to the field itself, as a mouse focus, before the button sees the press.
    connect(m_button, &QToolButton::pressed, this, [this] {
        if (!hasFocus())
            setFocus(Qt::OtherFocusReason);
        else if (m_focusedByPress && m_autoSelect)
            selectAll();
        m_focusedByPress = false;
    });
    connect(m_button, &QToolButton::clicked, this, &TJvDirectoryEdit::chooseFolder);
    // Changes made through QLineEdit itself (not through setText below) still notify.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!m_settingText)
            textWasChanged();
    });
}

void TJvDirectoryEdit::setText(const QString& text)
{
    if (text == QLineEdit::text())
        return;
    {
        const QScopedValueRollback guard(m_settingText, true);
        QLineEdit::setText(text);
    }
    textWasChanged();
}

// A line break is never notified: the cut before it is a change of its own.
void TJvDirectoryEdit::textWasChanged()
{
    const QString current = text();
    qsizetype cut = current.indexOf(QLatin1Char('\n'));
    if (cut < 0)
        cut = current.indexOf(QLatin1Char('\r'));
    if (cut >= 0) {
        setText(current.left(cut));
        return;
    }
    emit OnChange();
}

// An error of an OnChange handler is reported and the operation goes on.
void TJvDirectoryEdit::setTextReporting(const QString& text)
{
    try {
        setText(text);
    } catch (const base::Exception& error) {
        ShowErrorReport(error.message());
    }
}

// The field cuts a text at its first line break, which for a chosen folder would silently name
// another one: such a folder is refused whole instead.
bool TJvDirectoryEdit::refuseUnshowable(const QString& folder)
{
    if (!folder.contains(QLatin1Char('\n')) && !folder.contains(QLatin1Char('\r')))
        return false;
    QString shown = base::PathRules::shownName(folder);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    ShowMessageDialog(QStringLiteral("Le dossier \"%1\" ne peut pas être affiché dans le champ "
                                     "Dossier : son nom contient un saut de ligne.\r\n"
                                     "Le dossier n'est pas changé. Renommez ce dossier ou "
                                     "choisissez-en un autre.")
                          .arg(shown),
                      mtWarning, buttonBit(mbOK), 0, -1, -1, QString());
    return true;
}

void TJvDirectoryEdit::setFolderPicker(FolderPicker picker)
{
    pickerOverride() = std::move(picker);
}

QString TJvDirectoryEdit::pickerStart(const QString& directory, const QString& initialDir)
{
    const QString given = directory.isEmpty() ? initialDir : directory;
    if (!QDir::isAbsolutePath(given))
        return QDir::homePath();
    if (QFileInfo(given).isDir())
        return given;
    // The root is where a folder on no longer mounted media would lead: home is more useful.
    for (QString folder = QFileInfo(QDir::cleanPath(given)).path(); folder != QDir::rootPath();
         folder = QFileInfo(folder).path()) {
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

void TJvDirectoryEdit::chooseFolder()
{
    std::optional<QString> chosen;
    try {
        chosen = runFolderPicker(window(), pickerStart(directory(), m_initialDir));
    } catch (...) {
        chosen.reset();
    }

    if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::OtherFocusReason);
    if (!chosen || refuseUnshowable(*chosen))
        return;

    if (hasSelectedText()) {
        QString remaining = text();
        remaining.remove(selectionStart(), selectionLength());
        setTextReporting(remaining);
    }
    QString next = *chosen;
    if (m_multipleDirs && !text().isEmpty())
        next = text() + QLatin1Char(';') + *chosen;
    setTextReporting(next);
    if (!chosen->isEmpty() && QFileInfo(*chosen).isDir())
        m_initialDir = *chosen;
}

void TJvDirectoryEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Down &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier) {
        event->accept();
        chooseFolder();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TJvDirectoryEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    m_focusedByPress = event->reason() == Qt::MouseFocusReason;
    if (!m_autoSelect)
        return;
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        selectAll();
        break;
    default:
        // A mouse click places the cursor; regaining the active window keeps the selection.
        break;
    }
}

void TJvDirectoryEdit::mousePressEvent(QMouseEvent* event)
{
    m_focusedByPress = false;
    QLineEdit::mousePressEvent(event);
}

void TJvDirectoryEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    placeButton();
}

void TJvDirectoryEdit::placeButton()
{
    const int frame =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    m_button->setGeometry(width() - frame - ButtonWidth, frame, ButtonWidth,
                          qMax(0, height() - 2 * frame));
}

std::optional<QString> TJvDirectoryEdit::droppedPath(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return std::nullopt;
    return urls.first().toLocalFile();
}

void TJvDirectoryEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedPath(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TJvDirectoryEdit::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedPath(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TJvDirectoryEdit::dropEvent(QDropEvent* event)
{
    const std::optional<QString> dropped = droppedPath(event->mimeData());
    if (!dropped) {
        event->ignore();
        return;
    }
    const QString path = dropped->left(DroppedPathRoom);
    const QFileInfo info(path);
    QString folder = info.exists() && !info.isDir() ? info.absolutePath() : path;
    // "/" stays whole: an empty folder would be ignored by the lists.
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (refuseUnshowable(folder)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QString next = folder;
    if (m_multipleDirs && !text().isEmpty())
        next = text() + QLatin1Char(';') + folder;
    setTextReporting(next);
}
