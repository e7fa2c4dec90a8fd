#include "app/TForm1.h"

#include "app/HandlerGuard.h"
#include "app/RestoreLastScan.h"
#include "base/PathRules.h"
#include "dialogs/AppTitle.h"
#include "dialogs/VectorImage.h"
#include "scan/ReferenceLoader.h"
#include "scan/ScanRun.h"
#include "scan/TMemo.h"
#include "settings/WindowPersistence.h"
#include "shell/ShellOpen.h"
#include "widgets/TGauge.h"
#include "widgets/TJvCaptionPanel.h"
#include "widgets/TJvDirectoryEdit.h"
#include "widgets/TJvFileListBox.h"
#include "widgets/TSplitter.h"
#include "widgets/TStatusBar.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QVBoxLayout>

#include <exception>

static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

const QColor kOrange(255, 128, 0);
// The side columns' widths before the user widens them.
constexpr int kListeWidth = 297;
constexpr int kDoublonsWidth = 185;
const QColor kLightOrange(255, 128, 64);

QFont tahoma(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QWidget* panel(QWidget* parent, const QString& name)
{
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    return w;
}

QVBoxLayout* column(QWidget* owner)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QHBoxLayout* row(QWidget* owner)
{
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

// The width given for Tahoma; a substitute font that runs wider still shows the whole text.
int labelWidth(const QLabel* label, int width)
{
    return qMax(width, label->fontMetrics().horizontalAdvance(label->text()) + 2);
}

void setColours(QWidget* w, const QColor& background, const QColor& text)
{
    QPalette pal = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, background);
        pal.setColor(group, QPalette::Window, background);
        pal.setColor(group, QPalette::Text, text);
    }
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    // The style draws only the border and scroll bars of controls that keep their own colours.
    w->setProperty("keepColors", true);
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    initAppResources();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ApplicationTitle());
    setFont(tahoma(11));

    m_restore = new RestoreLastScan(*this);

    buildActions();
    buildControls();
    m_loader = new ReferenceLoader({m_JvFileListBox1, m_JvFileListBox2, m_Memo1, m_radioButtons});
    connect(m_loader, &ReferenceLoader::mainListCounted, this,
            [this](int count) { setStatusText(0, QString::number(count)); });
    m_persistence = new WindowPersistence(*this, {this, m_JvDirectoryEdit1, m_Edit1, m_chk_AUTO,
                                                  m_Splitter1, m_Splitter2, m_Splitter3});
    buildMenus();
    m_scan = new ScanRun(scanControls());
    applyOwnColours();
    joinColumns();
    // Each list filled itself before its handler was connected.
    setStatusText(0, QString::number(m_JvFileListBox1->itemCount()));
    JvFileListBox2Change();
    buildTabOrder();
    buildHints();

    // Key preview: the window sees every key press before the focused control does.
    qApp->installEventFilter(this);

    resize(895, 486 + menuBar()->sizeHint().height());

    RunHandler([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    delete m_restore;
    delete m_persistence;
    delete m_loader;
    delete m_scan;
}

QPixmap TForm1::ImageList16(int index, qreal devicePixelRatio)
{
    initAppResources();
    return VectorPixmap(QStringLiteral(":/ImageList16/%1.svg").arg(index), QSize(16, 16),
                        devicePixelRatio);
}

void TForm1::buildActions()
{
    auto make = [this](const QString& name, const QString& caption, int picture) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        action->setProperty("category", QStringLiteral("Fichier"));
        if (picture >= 0)
            action->setIcon(QIcon(ImageList16(picture)));
        return action;
    };
    m_COMPARER = make(QStringLiteral("COMPARER"), QStringLiteral("COMPARER"), 4);
    m_CHARGE1 = make(QStringLiteral("CHARGE1"), QStringLiteral("CHARGE Mémo 1"), -1);
    m_CHARGE2 = make(QStringLiteral("CHARGE2"), QStringLiteral("CHARGE2"), -1);
    m_INI_SAVE =
        make(QStringLiteral("INI_SAVE"), QStringLiteral("Enregistrer la configuration"), 2);
    m_FichierFileExit1 = make(QStringLiteral("FichierFileExit1"), QStringLiteral("&Quitter"), 9);

    connect(m_COMPARER, &QAction::triggered, this,
            [this] { RunHandler([this] { COMPARERExecute(); }); });
    connect(m_CHARGE1, &QAction::triggered, this,
            [this] { RunHandler([this] { CHARGE1Execute(); }); });
    connect(m_CHARGE2, &QAction::triggered, this,
            [this] { RunHandler([this] { CHARGE2Execute(); }); });
    connect(m_INI_SAVE, &QAction::triggered, this,
            [this] { RunHandler([this] { INI_SAVEExecute(); }); });
    connect(m_FichierFileExit1, &QAction::triggered, this,
            [this] { RunHandler([this] { FichierFileExit1Execute(); }); });
}

void TForm1::buildMenus()
{
    // Menu items are bound to actions: they take the action's caption and picture and run it.
    auto bound = [this](QMenu* menu, const QString& name, QAction* action) {
        auto* item = menu->addAction(action->icon(), action->text());
        item->setObjectName(name);
        connect(item, &QAction::triggered, action, &QAction::trigger);
        return item;
    };

    QMenu* fichier = menuBar()->addMenu(QStringLiteral("Fichier"));
    fichier->setObjectName(QStringLiteral("Fi1"));
    bound(fichier, QStringLiteral("Quitter1"), m_COMPARER);
    fichier->addSeparator()->setObjectName(QStringLiteral("N2"));
    // Undoes the last scan that moved files, from its journal; also in the duplicates' menu.
    m_Restaurerladerniereanalyse1 =
        new QAction(QStringLiteral("&Restaurer la dernière analyse"), this);
    m_Restaurerladerniereanalyse1->setObjectName(QStringLiteral("Restaurerladerniereanalyse1"));
    connect(m_Restaurerladerniereanalyse1, &QAction::triggered, this,
            [this] { RunHandler([this] { RestaurerladerniereanalyseClick(); }); });
    fichier->addAction(m_Restaurerladerniereanalyse1);
    bound(fichier, QStringLiteral("Quitter2"), m_FichierFileExit1);

    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("Options1"));
    m_chk_BEEP = options->addAction(QStringLiteral("Activer le BIP"));
    m_chk_BEEP->setObjectName(QStringLiteral("chk_BEEP"));
    m_chk_BEEP->setCheckable(true);
    m_chk_BEEP->setChecked(true);
    options->addSeparator()->setObjectName(QStringLiteral("N1"));
    bound(options, QStringLiteral("Enregistrerlaconfiguration1"), m_INI_SAVE);

    m_PopupMenu1 = new QMenu(this);
    m_PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_Raffraichirlaliste2 =
        m_PopupMenu1->addAction(QIcon(ImageList16(5)), QStringLiteral("Raffraichir la liste"));
    m_Raffraichirlaliste2->setObjectName(QStringLiteral("Raffraichirlaliste2"));
    m_Raffraichirlaliste2->setShortcut(QKeySequence(Qt::Key_F5));
    m_PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N6"));
    m_Explorerdossier2 =
        m_PopupMenu1->addAction(QIcon(ImageList16(6)), QStringLiteral("Explorer le dossier"));
    m_Explorerdossier2->setObjectName(QStringLiteral("Explorerdossier2"));
    m_Explorerdossier2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    // The pop-up menu's shortcuts act only while the main list (or a control inside it) has focus.
    for (QAction* a : {m_Raffraichirlaliste2, m_Explorerdossier2}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_JvFileListBox1->addAction(a);
    }
    connect(m_Raffraichirlaliste2, &QAction::triggered, this,
            [this] { RunHandler([this] { Raffraichirlaliste2Click(); }); });
    connect(m_Explorerdossier2, &QAction::triggered, this,
            [this] { RunHandler([this] { Explorerdossier2Click(); }); });
    m_JvFileListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_JvFileListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                m_PopupMenu1->popup(m_JvFileListBox1->viewport()->mapToGlobal(pos));
            });

    m_PopupMenu2 = new QMenu(this);
    m_PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    m_MenuItem5 =
        m_PopupMenu2->addAction(QIcon(ImageList16(6)), QStringLiteral("Ouvrir la corbeille"));
    m_MenuItem5->setObjectName(QStringLiteral("MenuItem5"));
    connect(m_MenuItem5, &QAction::triggered, this,
            [this] { RunHandler([this] { OuvrirlacorbeilleClick(); }); });
    m_PopupMenu2->addSeparator()->setObjectName(QStringLiteral("N7"));
    m_PopupMenu2->addAction(m_Restaurerladerniereanalyse1);
    m_ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_PopupMenu2->popup(m_ListBox1->viewport()->mapToGlobal(pos));
    });
}

void TForm1::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    QVBoxLayout* clientLayout = column(client);

    // The side columns keep their width when the window grows, and the user may widen them.
    m_columns = new QSplitter(Qt::Horizontal, client);
    m_columns->setObjectName(QStringLiteral("Columns"));
    m_columns->setChildrenCollapsible(false);
    m_columns->setHandleWidth(4);
    clientLayout->addWidget(m_columns, 1);
    // The columns join the splitter once their controls have their own colours (joinColumns):
    // the splitter polishes what it holds, and the style sheet would keep the colours of then.
    QWidget* columns = client;

    const QFont captionFont = tahoma(13, true);
    auto captionPanel = [&](const QString& name, const QString& caption) {
        auto* p = new TJvCaptionPanel(columns);
        p->setObjectName(name);
        p->setCaption(caption);
        p->setCaptionFont(captionFont);
        p->setIcon(TJvCaptionPanel::builtinIcon(caption));
        return p;
    };

    // Left column "Liste".
    m_PANEL_LISTE = captionPanel(QStringLiteral("PANEL_LISTE"), QStringLiteral("Liste"));
    m_PANEL_LISTE->setMinimumWidth(kListeWidth);
    QVBoxLayout* liste = column(m_PANEL_LISTE);

    QWidget* panel3 = panel(m_PANEL_LISTE, QStringLiteral("Panel3"));
    panel3->setFixedHeight(25);
    QHBoxLayout* panel3Layout = row(panel3);
    m_Label2 = new QLabel(QStringLiteral("Dossier : "), panel3);
    m_Label2->setObjectName(QStringLiteral("Label2"));
    m_Label2->setFixedWidth(labelWidth(m_Label2, 45));
    m_Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_JvDirectoryEdit1 = new TJvDirectoryEdit(panel3);
    m_JvDirectoryEdit1->setObjectName(QStringLiteral("JvDirectoryEdit1"));
    m_JvDirectoryEdit1->setToolTip(QStringLiteral("Dossier des EMAILS à analyser"));
    panel3Layout->addWidget(m_Label2);
    panel3Layout->addWidget(m_JvDirectoryEdit1, 1);
    liste->addWidget(panel3);

    QWidget* panel1 = panel(m_PANEL_LISTE, QStringLiteral("Panel1"));
    panel1->setFixedHeight(22);
    QHBoxLayout* panel1Layout = row(panel1);
    m_Label1 = new QLabel(QStringLiteral("Masque : "), panel1);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->setFixedWidth(labelWidth(m_Label1, 47));
    m_Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_Edit1 = new QLineEdit(QStringLiteral("*.*"), panel1);
    m_Edit1->setObjectName(QStringLiteral("Edit1"));
    m_Button2 = new QPushButton(QStringLiteral("X"), panel1);
    m_Button2->setObjectName(QStringLiteral("Button2"));
    m_Button2->setFixedSize(25, 20);
    panel1Layout->addWidget(m_Label1);
    panel1Layout->addWidget(m_Edit1, 1);
    panel1Layout->addWidget(m_Button2);
    liste->addWidget(panel1);

    m_JvFileListBox1 = new TJvFileListBox(m_PANEL_LISTE);
    m_JvFileListBox1->setObjectName(QStringLiteral("JvFileListBox1"));
    m_JvFileListBox1->setShowGlyphs(true);
    m_JvFileListBox1->setMask(m_Edit1->text() + QLatin1Char('*'));
    liste->addWidget(m_JvFileListBox1, 1);
    m_Splitter1 = new TSplitter(m_PANEL_LISTE);
    m_Splitter1->setObjectName(QStringLiteral("Splitter1"));
    liste->addWidget(m_Splitter1);
    m_JvFileListBox2 = new TJvFileListBox(m_PANEL_LISTE);
    m_JvFileListBox2->setObjectName(QStringLiteral("JvFileListBox2"));
    m_JvFileListBox2->setMask(QStringLiteral("a*.*"));
    m_JvFileListBox2->setFixedHeight(160);
    liste->addWidget(m_JvFileListBox2);
    m_Splitter1->setControls(m_JvFileListBox1, m_JvFileListBox2);

    // Middle column "Texte".
    m_JvCaptionPanel2 = captionPanel(QStringLiteral("JvCaptionPanel2"), QStringLiteral("Texte"));
    QVBoxLayout* texte = column(m_JvCaptionPanel2);
    m_Memo1 = new TMemo(m_JvCaptionPanel2);
    m_Memo1->setObjectName(QStringLiteral("Memo1"));
    texte->addWidget(m_Memo1, 1);
    m_Splitter2 = new TSplitter(m_JvCaptionPanel2);
    m_Splitter2->setObjectName(QStringLiteral("Splitter2"));
    texte->addWidget(m_Splitter2);
    m_Memo2 = new TMemo(m_JvCaptionPanel2);
    m_Memo2->setObjectName(QStringLiteral("Memo2"));
    m_Memo2->setFixedHeight(160);
    texte->addWidget(m_Memo2);
    m_Splitter2->setControls(m_Memo1, m_Memo2);

    // Right column "Doublons traités".
    m_JvCaptionPanel1 =
        captionPanel(QStringLiteral("JvCaptionPanel1"), QStringLiteral("Doublons traités"));
    m_JvCaptionPanel1->setMinimumWidth(kDoublonsWidth);
    QVBoxLayout* doublons = column(m_JvCaptionPanel1);
    QWidget* panel4 = panel(m_JvCaptionPanel1, QStringLiteral("Panel4"));
    panel4->setFixedHeight(111);
    QVBoxLayout* panel4Layout = column(panel4);
    m_RadioGroup1 = new QGroupBox(QStringLiteral("Mode Scan"), panel4);
    m_RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    auto* radioLayout = new QVBoxLayout(m_RadioGroup1);
    radioLayout->setContentsMargins(8, 4, 8, 4);
    radioLayout->setSpacing(2);
    m_radioButtons = new QButtonGroup(m_RadioGroup1);
    const QStringList items{QStringLiteral("Rapide (Nom...)"), QStringLiteral("Modéré (ABC...)"),
                            QStringLiteral("Approfondi (...)")};
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], m_RadioGroup1);
        button->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        m_radioButtons->addButton(button, i);
        m_radioItems.append(button);
        radioLayout->addWidget(button);
    }
    m_radioItems[0]->setChecked(true);
    connect(m_radioButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            RunHandler([this] { RadioGroup1Click(); });
    });
    panel4Layout->addWidget(m_RadioGroup1, 1);
    auto* autoRow = new QWidget(panel4);
    autoRow->setFixedHeight(20);
    QHBoxLayout* autoLayout = row(autoRow);
    autoLayout->setContentsMargins(12, 0, 12, 0);
    m_chk_AUTO = new QCheckBox(QStringLiteral("Mode automatique"), autoRow);
    m_chk_AUTO->setObjectName(QStringLiteral("chk_AUTO"));
    // The text stands to the left of the box.
    m_chk_AUTO->setLayoutDirection(Qt::RightToLeft);
    autoLayout->addWidget(m_chk_AUTO);
    panel4Layout->addWidget(autoRow);
    doublons->addWidget(panel4);

    m_Button1 = new QPushButton(m_COMPARER->text(), m_JvCaptionPanel1);
    m_Button1->setObjectName(QStringLiteral("Button1"));
    m_Button1->setFont(tahoma(11, true));
    m_Button1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_Button1->setMinimumHeight(25);
    connect(m_Button1, &QPushButton::clicked, m_COMPARER, &QAction::trigger);
    doublons->addWidget(m_Button1, 1);
    m_Splitter3 = new TSplitter(m_JvCaptionPanel1);
    m_Splitter3->setObjectName(QStringLiteral("Splitter3"));
    doublons->addWidget(m_Splitter3);
    m_ListBox1 = new QListWidget(m_JvCaptionPanel1);
    m_ListBox1->setObjectName(QStringLiteral("ListBox1"));
    m_ListBox1->setFixedHeight(160);
    // One line of one font per name: rows are laid out without measuring each name again.
    m_ListBox1->setUniformItemSizes(true);
    m_ListBox1->viewport()->installEventFilter(this);
    doublons->addWidget(m_ListBox1);
    m_Splitter3->setControls(m_Button1, m_ListBox1);

    // Bottom bands.
    m_Panel_GAUGE = panel(client, QStringLiteral("Panel_GAUGE"));
    m_Panel_GAUGE->setFixedHeight(33);
    QHBoxLayout* gaugeLayout = row(m_Panel_GAUGE);
    gaugeLayout->setContentsMargins(3, 3, 3, 3);
    m_gauge1 = new TGauge(m_Panel_GAUGE);
    m_gauge1->setObjectName(QStringLiteral("gauge1"));
    m_gauge1->setForeColor(Qt::red);
    gaugeLayout->addWidget(m_gauge1);
    m_Panel_GAUGE->hide();
    clientLayout->addWidget(m_Panel_GAUGE);

    QWidget* panel2 = panel(client, QStringLiteral("Panel2"));
    panel2->setFixedHeight(22);
    QHBoxLayout* panel2Layout = row(panel2);
    m_StatusBar1 = new TStatusBar(4, 50, panel2);
    m_StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_StatusBar1->setFixedWidth(303);
    panel2Layout->addWidget(m_StatusBar1);
    panel2Layout->addStretch(1);
    clientLayout->addWidget(panel2);

    connect(m_Edit1, &QLineEdit::textChanged, this,
            [this] { RunHandler([this] { Edit1Change(); }); });
    connect(m_Button2, &QPushButton::clicked, this,
            [this] { RunHandler([this] { Button2Click(); }); });
    connect(m_JvDirectoryEdit1, &TJvDirectoryEdit::OnChange, this,
            [this] { RunHandler([this] { JvDirectoryEdit1Change(); }); });
    connect(m_JvFileListBox1, &TJvFileListBox::OnChange, this,
            [this] { RunHandler([this] { JvFileListBox1Change(); }); });
    connect(m_JvFileListBox2, &TJvFileListBox::OnChange, this,
            [this] { RunHandler([this] { JvFileListBox2Change(); }); });
    connect(m_JvFileListBox2, &TJvFileListBox::OnClick, this,
            [this] { RunHandler([this] { JvFileListBox2Click(); }); });
}

void TForm1::joinColumns()
{
    for (QWidget* column :
         {static_cast<QWidget*>(m_PANEL_LISTE), static_cast<QWidget*>(m_JvCaptionPanel2),
          static_cast<QWidget*>(m_JvCaptionPanel1)})
        m_columns->addWidget(column);
    m_columns->setStretchFactor(0, 0);
    m_columns->setStretchFactor(1, 1);
    m_columns->setStretchFactor(2, 0);
    m_columns->setSizes({kListeWidth, 10000, kDoublonsWidth});
}

void TForm1::applyOwnColours()
{
    const QColor windowText = palette().color(QPalette::WindowText);
    setColours(m_JvFileListBox1, Qt::white, windowText);
    setColours(m_JvFileListBox2, kOrange, Qt::white);
    m_JvFileListBox2->setFont(tahoma(11));
    setColours(m_Memo1, Qt::white, Qt::black);
    m_Memo1->setFont(tahoma(11));
    setColours(m_Memo2, kLightOrange, Qt::white);
    m_Memo2->setFont(tahoma(11));
    setColours(m_ListBox1, kOrange, Qt::white);
    m_ListBox1->setFont(tahoma(11));
    m_Button1->setProperty("keepColors", true);
}

void TForm1::buildTabOrder()
{
    const QList<QWidget*> order{m_JvDirectoryEdit1, m_Edit1,         m_Button2,  m_JvFileListBox1,
                                m_JvFileListBox2,   m_Memo1,         m_Memo2,    m_radioItems[0],
                                m_radioItems[1],    m_radioItems[2], m_chk_AUTO, m_Button1,
                                m_ListBox1};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    // Only the checked mode (the first when none is) is a tab stop; the arrows move between modes.
    auto updateModeStops = [this] {
        const int checked = qMax(0, radioGroupIndex());
        for (qsizetype i = 0; i < m_radioItems.size(); ++i)
            m_radioItems[i]->setFocusPolicy(i == checked ? Qt::StrongFocus : Qt::ClickFocus);
    };
    connect(m_radioButtons, &QButtonGroup::idToggled, this, updateModeStops);
    updateModeStops();
}

void TForm1::buildHints()
{
    const QStringList modes{
        QStringLiteral("Candidats : les fichiers dont le nom commence par les mêmes lettres que la "
                       "référence (ex. « facture12.eml » et « facture-mars.eml »)."),
        QStringLiteral("Candidats : les fichiers dont le nom commence par le même caractère que "
                       "la référence (ex. « facture12.eml » et « fiche.eml »)."),
        QStringLiteral("Candidats : tous les fichiers du dossier ; chaque fichier est comparé à "
                       "tous les autres (plus lent)."),
    };
    for (qsizetype i = 0; i < m_radioItems.size(); ++i)
        m_radioItems[i]->setToolTip(modes.value(i));
    m_chk_AUTO->setToolTip(
        QStringLiteral("Coché : chaque doublon trouvé part à la corbeille sans question."));
    const QStringList fields{
        QStringLiteral("Nombre de fichiers de la liste principale"),
        QStringLiteral("Nombre de fichiers qui répondent au masque des candidats, la référence "
                       "comprise"),
        QStringLiteral("Position du fichier en cours dans la liste pendant une comparaison"),
        QStringLiteral("Nombre de doublons trouvés par la comparaison en cours"),
    };
    for (qsizetype i = 0; i < fields.size(); ++i)
        m_StatusBar1->setFieldHint(int(i), fields[i]);
}

int TForm1::radioGroupIndex() const
{
    return m_radioButtons->checkedId();
}

void TForm1::setRadioGroupIndex(int index)
{
    index = qBound(-1, index, 2);
    if (index == radioGroupIndex())
        return;
    if (index == -1) {
        // An exclusive group cannot be emptied while exclusive.
        m_radioButtons->setExclusive(false);
        for (QRadioButton* b : m_radioItems)
            b->setChecked(false);
        m_radioButtons->setExclusive(true);
        return;
    }
    m_radioItems[index]->setChecked(true);
}

QString TForm1::statusText(int field) const
{
    return m_StatusBar1->fieldText(field);
}

void TForm1::setStatusText(int field, const QString& text)
{
    m_StatusBar1->setFieldText(field, text);
}

void TForm1::restoreFailed(const std::exception& error)
{
    ReportException(error);
}

void TForm1::FormCreate()
{
    m_persistence->Restore();
}

void TForm1::FormShow()
{
    m_loader->FormShow();
}

void TForm1::Edit1Change()
{
    m_JvFileListBox1->setMask(m_Edit1->text() + QLatin1Char('*'));
}

void TForm1::Button2Click()
{
    m_Edit1->setText(QString());
}

void TForm1::JvDirectoryEdit1Change()
{
    m_fieldText = m_JvDirectoryEdit1->directory();
    m_fieldFolder.clear();
    // The lists ignore an empty folder.
    if (m_fieldText.isEmpty())
        return;
    // Resolved once: the first list moves the process's current folder, against which a relative
    // text would name another folder for the second.
    m_fieldFolder = base::PathRules::resolveFolder(m_fieldText);
    std::exception_ptr error;
    try {
        m_JvFileListBox1->setDirectory(m_fieldFolder);
    } catch (...) {
        error = std::current_exception();
    }
    // The candidate list follows the main list into the folder even when the main list's re-read
    // failed after entering it (a bad mask): the scan reads the folder from either.
    if (!error || m_JvFileListBox1->directory() == m_fieldFolder) {
        try {
            m_JvFileListBox2->setDirectory(m_fieldFolder);
        } catch (...) {
            if (!error)
                error = std::current_exception();
        }
    }
    const QString folder = m_JvFileListBox1->directory();
    if (folder == m_fieldFolder && m_JvFileListBox2->directory() == folder)
        m_listsFollowField = true;
    // Lists that name two folders, or still the working folder, show nothing rather than files
    // of a folder the user did not choose.
    if (folder != m_JvFileListBox2->directory() || !m_listsFollowField) {
        m_JvFileListBox1->clearDirectory();
        m_JvFileListBox2->clearDirectory();
    }
    if (error)
        std::rethrow_exception(error);
}

bool TForm1::FoldersAgree() const
{
    const QString folder = m_JvFileListBox1->directory();
    return !folder.isEmpty() && m_JvDirectoryEdit1->directory() == m_fieldText &&
           folder == m_fieldFolder && m_JvFileListBox2->directory() == folder;
}

void TForm1::JvFileListBox1Change()
{
    m_loader->JvFileListBox1Change();
}

void TForm1::JvFileListBox2Change()
{
    setStatusText(1, QString::number(m_JvFileListBox2->itemCount()));
}

void TForm1::JvFileListBox2Click()
{
    m_loader->JvFileListBox2Click();
}

void TForm1::RadioGroup1Click()
{
    m_loader->RadioGroup1Click();
}

void TForm1::Raffraichirlaliste2Click()
{
    // A folder removed since is reported as the folder field reports it.
    const auto counts = qScopeGuard([this] {
        setStatusText(2, QStringLiteral("0"));
        setStatusText(3, QStringLiteral("0"));
    });
    m_JvFileListBox1->Refresh();
}

void TForm1::Explorerdossier2Click()
{
    OpenFolderInFileManager(m_JvDirectoryEdit1->directory());
}

void TForm1::OuvrirlacorbeilleClick()
{
    OpenRecycleBin();
}

void TForm1::RestaurerladerniereanalyseClick()
{
    m_restore->Execute();
}

void TForm1::COMPARERExecute()
{
    m_scan->COMPARERExecute();
}

void TForm1::CHARGE1Execute()
{
    m_loader->CHARGE1Execute();
}

void TForm1::CHARGE2Execute()
{
    m_loader->CHARGE2Execute();
}

void TForm1::INI_SAVEExecute()
{
    m_persistence->Save();
}

void TForm1::FichierFileExit1Execute()
{
    close();
}

ScanControls TForm1::scanControls()
{
    ScanControls c;
    c.window = this;
    c.mainList = m_JvFileListBox1;
    c.candidateList = m_JvFileListBox2;
    c.referencePane = m_Memo1;
    c.candidatePane = m_Memo2;
    c.duplicatesList = m_ListBox1;
    c.gauge = m_gauge1;
    c.gaugePanel = m_Panel_GAUGE;
    c.button = m_Button1;
    c.automatic = m_chk_AUTO;
    c.beep = m_chk_BEEP;
    c.saveSettings = m_INI_SAVE;
    c.mode = [this] { return radioGroupIndex(); };
    c.statusText = [this](int field) { return statusText(field); };
    c.setStatusText = [this](int field, const QString& text) { setStatusText(field, text); };
    c.foldersAgree = [this] { return FoldersAgree(); };
    return c;
}

bool TForm1::FormClose()
{
    return m_scan->FormClose();
}

void TForm1::FormKeyPress(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        m_scan->requestStop();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // A key for the menu bar or an open menu (Escape leaving them) is theirs alone.
        if (qobject_cast<QMenuBar*>(widget) || qobject_cast<QMenu*>(widget))
            return QMainWindow::eventFilter(watched, event);
        // Once per key: the press is seen where it is first delivered, the focused control.
        if (widget && widget->window() == this && widget == QApplication::focusWidget())
            FormKeyPress(static_cast<QKeyEvent*>(event));
        else if (widget == this && !QApplication::focusWidget())
            FormKeyPress(static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::MouseButtonDblClick && watched == m_ListBox1->viewport() &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        RunHandler([this] { OuvrirlacorbeilleClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    bool close = true;
    RunHandler([&] { close = FormClose(); });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    RunHandler([this] { FormShow(); });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    for (TSplitter* s : {m_Splitter1, m_Splitter2, m_Splitter3})
        s->rebound();
}
