// The window's controls as designed, and its keyboard commands.

#include "editor/FRMLP_FORMULE.h"
#include "editor/FormulaAssist.h"
#include "editor/Require.h"

#include "ado/Ado.h"
#include "check/SyntaxCheck.h"
#include "core/NullSafe.h"
#include "core/TextBox.h"
#include "editing/EditHistory.h"
#include "editing/FormulaStore.h"
#include "host/Cinterface.h"
#include "host/ConnectionFactory.h"
#include "host/GlobalObject.h"
#include "host/LateBound.h"
#include "host/LogObject.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/Responder.h"
#include "host/ScriptModel.h"
#include "host/controls/HostControls.h"
#include "host/controls/MDIActiveX.h"
#include "host/controls/VXL_RESIZEFORM.h"
#include "host/controls/VxlRichTextBox.h"
#include "instructions/FRMLP_ISTRUZIONI.h"
#include "language/FormulaLanguage.h"
#include "tree/Insertion.h"
#include "tree/StrutturaTree.h"
#include "tree/TreeImages.h"
#include "tree/TreeNode.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QTextStream>
#include <QTreeWidget>

namespace editor {

namespace {

// Design positions of the controls, in twips (left, top, width, height).
struct Design {
    int left, top, width, height;
};
constexpr Design WindowSize{0, 0, 12540, 8055};
constexpr Design dLBL_OPERATORI_{60, 60, 3400, 450};
constexpr Design dIMG_EXPCOL{3480, 60, 420, 450};
constexpr Design dTVW_FIELDS{60, 540, 3840, 6900};
constexpr Design dCHK_DEBUG{60, 7560, 2400, 300};
constexpr Design dLBL_ELEMSELEZ{3990, 60, 8490, 450};
constexpr Design dIMG_UNDO{3990, 540, 450, 450};
constexpr Design dIMG_REDO{4470, 540, 450, 450};
constexpr Design dIMG_LEGEND{4950, 540, 450, 450};
constexpr Design dIMG_IMPACT{10110, 540, 450, 450};
constexpr Design dIMG_HISTORY{5430, 540, 450, 450};
constexpr Design dIMG_TRIAL{10590, 540, 450, 450};
constexpr Design dIMG_CHECK{11070, 540, 450, 450};
constexpr Design dIMG_CLEAR{11550, 540, 450, 450};
constexpr Design dIMG_SAVE{12030, 540, 450, 450};
constexpr Design dGRB_COMPFORMULE{3990, 1050, 8490, 6900};
constexpr Design dTXT_FORMULA{4080, 1290, 8310, 6570};

void place(QWidget* widget, const Design& d) {
    widget->setGeometry(controls::twipsToPixels(QRect(d.left, d.top, d.width, d.height), widget));
}

// The delete button's bin, drawn in full colour: the style's discard icon reads as disabled.
QIcon binIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 20, 20), 1.6));
    p.setBrush(QColor(214, 64, 52));
    p.drawRect(QRectF(6.5, 8.5, 11, 13));
    p.drawRect(QRectF(4.5, 5.5, 15, 2.5));
    p.drawRect(QRectF(9.5, 3, 5, 2.5));
    for (double x : {9.5, 12.0, 14.5})
        p.drawLine(QPointF(x, 11), QPointF(x, 19));
    return QIcon(pixmap);
}

} // namespace

namespace {} // namespace

// ---------------------------------------------------------------------------------------------
// Controls

void FRMLP_FORMULE::buildControls() {
    resize(controls::twipsToPixels(WindowSize.width, this), controls::twipsToPixels(WindowSize.height, this));
    // Below its design size the controls would overlap.
    setMinimumSize(controls::twipsToPixels(WindowSize.width, this) * 4 / 5,
                   controls::twipsToPixels(WindowSize.height, this) * 4 / 5);
    setWindowIcon(QIcon(tree::treePixmap(QStringLiteral("ramo"))));

    LBL_OPERATORI_ = new controls::VXL_TITLEBAR(this);
    LBL_OPERATORI_->setObjectName(QStringLiteral("LBL_OPERATORI_"));
    LBL_OPERATORI_->SetTitle(QStringLiteral("Elementi"));
    place(LBL_OPERATORI_, dLBL_OPERATORI_);

    auto button = [this](const char* name, const Design& d, const QIcon& picture, const QString& tip) {
        auto* b = new controls::VXL_TBARMENU(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetPicture(picture);
        b->setToolTip(tip);
        place(b, d);
        return b;
    };

    // imlImagesTrv: the tree's pictures are drawn by the element tree; the window keeps them by key.
    TVW_FIELDS = new QTreeWidget(this);
    TVW_FIELDS->setObjectName(QStringLiteral("TVW_FIELDS"));
    TVW_FIELDS->setHeaderHidden(true);
    TVW_FIELDS->setColumnCount(1);
    TVW_FIELDS->setIconSize(QSize(24, 24));
    TVW_FIELDS->setUniformRowHeights(true);
    place(TVW_FIELDS, dTVW_FIELDS);

    IMG_EXPCOL = button("IMG_EXPCOL", dIMG_EXPCOL, QIcon(), QStringLiteral("Espandi/comprimi"));

    CHK_DEBUG = new QCheckBox(QStringLiteral("Log Attivo"), this);
    CHK_DEBUG->setObjectName(QStringLiteral("CHK_DEBUG"));
    place(CHK_DEBUG, dCHK_DEBUG);
    CHK_DEBUG->setVisible(false);
    CHK_DEBUG->setAttribute(Qt::WA_WState_ExplicitShowHide);

    LBL_ELEMSELEZ = new controls::VXL_TITLEBAR(this);
    LBL_ELEMSELEZ->setObjectName(QStringLiteral("LBL_ELEMSELEZ"));
    LBL_ELEMSELEZ->SetTitle(QStringLiteral("Formula"));
    place(LBL_ELEMSELEZ, dLBL_ELEMSELEZ);

    QStyle* st = style();
    IMG_UNDO = button("IMG_UNDO", dIMG_UNDO, st->standardIcon(QStyle::SP_ArrowBack),
                      QStringLiteral("Annulla (Ctrl+Z)"));
    IMG_REDO = button("IMG_REDO", dIMG_REDO, st->standardIcon(QStyle::SP_ArrowForward),
                      QStringLiteral("Ripristina (Ctrl+Y)"));
    IMG_LEGEND = button("IMG_LEGEND", dIMG_LEGEND, st->standardIcon(QStyle::SP_MessageBoxInformation),
                        QStringLiteral("Istruzioni (Ctrl+L)"));
    IMG_CHECK = button("IMG_CHECK", dIMG_CHECK, st->standardIcon(QStyle::SP_DialogApplyButton),
                       QStringLiteral("Controlla la formula (Ctrl+H)"));
    IMG_CLEAR = button("IMG_CLEAR", dIMG_CLEAR, binIcon(), QStringLiteral("Elimina la formula"));
    IMG_SAVE = button("IMG_SAVE", dIMG_SAVE, st->standardIcon(QStyle::SP_DialogSaveButton),
                      QStringLiteral("Salva la formula (Ctrl+S)"));

    GRB_COMPFORMULE = new controls::VXL_GROUPBOX(this);
    GRB_COMPFORMULE->setObjectName(QStringLiteral("GRB_COMPFORMULE"));
    place(GRB_COMPFORMULE, dGRB_COMPFORMULE);

    TXT_FORMULA = new controls::VxlRichTextBox(this);
    TXT_FORMULA->setObjectName(QStringLiteral("TXT_FORMULA"));
    QFont mono = TXT_FORMULA->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    TXT_FORMULA->setFont(mono);
    place(TXT_FORMULA, dTXT_FORMULA);
    TXT_FORMULA->raise();

    RESIZEFORM = new controls::VXL_RESIZEFORM(this);
    connect(RESIZEFORM, &controls::VXL_RESIZEFORM::RegisterControls, this,
            &FRMLP_FORMULE::RESIZEFORM_RegisterControls);

    MDIActiveX1 = new controls::MDIActiveX(this);
    connect(MDIActiveX1, &controls::MDIActiveX::PlacementRequest, this,
            &FRMLP_FORMULE::MDIActiveX1_PlacementRequest);

    // The main menu is designed invisible and its items carry no command of their own.
    mnuPrincipale = new QMenu(QStringLiteral("Principale"), this);
    mnuPrincipale->setObjectName(QStringLiteral("mnuPrincipale"));
    mnuSeleziona = mnuPrincipale->addAction(QStringLiteral("Seleziona entità anagrafica"));
    mnuSeleziona->setObjectName(QStringLiteral("mnuSeleziona"));
    mnuDeseleziona = mnuPrincipale->addAction(QStringLiteral("Deseleziona entità anagrafica"));
    mnuDeseleziona->setObjectName(QStringLiteral("mnuDeseleziona"));

    buildTrialPanel(controls::twipsToPixels(
        QRect(dIMG_TRIAL.left, dIMG_TRIAL.top, dIMG_TRIAL.width, dIMG_TRIAL.height), this));
    buildImpactButton(controls::twipsToPixels(
        QRect(dIMG_IMPACT.left, dIMG_IMPACT.top, dIMG_IMPACT.width, dIMG_IMPACT.height), this));
    buildHistoryPanel(controls::twipsToPixels(
        QRect(dIMG_HISTORY.left, dIMG_HISTORY.top, dIMG_HISTORY.width, dIMG_HISTORY.height), this));
    setTabOrder(TXT_FORMULA, TVW_FIELDS);
}

void FRMLP_FORMULE::RESIZEFORM_RegisterControls() {
    static const QPair<const char*, int> registrations[] = {
        {"LBL_ELEMSELEZ", 7}, {"IMG_UNDO", 3},         {"IMG_REDO", 3},   {"IMG_LEGEND", 3},
        {"IMG_CHECK", 5},     {"IMG_CLEAR", 5},        {"IMG_SAVE", 5},   {"TVW_FIELDS", 11},
        {"TXT_FORMULA", 15},  {"GRB_COMPFORMULE", 15}, {"CHK_DEBUG", 10},
    };
    for (const auto& registration : registrations) {
        core::runStep(QStringLiteral("RESIZEFORM_RegisterControls"), core::suppressErrors(), [&] {
            RESIZEFORM->AddControl(QVariant(QString::fromLatin1(registration.first)),
                                   QVariant(qint32(registration.second)));
        });
    }
}

void FRMLP_FORMULE::MDIActiveX1_PlacementRequest() {
    QVariant left = 0, top = 30;
    core::runSteps(
        QStringLiteral("MDIActiveX1_Placement"), core::suppressErrors(),
        {[&] {
             const core::Variant v = require(ActiveInterface())->Left();
             left = v.equals(core::Variant::fromInt32(0)) ? QVariant(0) : v.toQVariant();
         },
         [&] {
             const core::Variant v = require(ActiveInterface())->Top();
             top = v.equals(core::Variant::fromInt32(0)) ? QVariant(30) : v.toQVariant();
         },
         [&] { MDIActiveX1->SetPlacement(left, top, QVariant(qint16(12540)), QVariant(qint16(8055))); }});
}

// ---------------------------------------------------------------------------------------------
// Keyboard commands

bool FRMLP_FORMULE::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || (widget != this && !isAncestorOf(widget)))
        return false;
    // A key the focused control ignores travels up to its parents: handle it once only.
    if (event == m_lastKeyEvent && m_lastKeyReceiver != nullptr && widget != m_lastKeyReceiver &&
        widget->isAncestorOf(m_lastKeyReceiver))
        return false;
    m_lastKeyEvent = event;
    m_lastKeyReceiver = widget;
    auto* key = static_cast<QKeyEvent*>(event);
    const int keyCode = controls::virtualKeyCode(key->key());
    const int shift = controls::shiftState(key->modifiers());
    // The key handler has no trap of its own; a command that fails (a translation of the view
    // switch, for instance) is shown rather than left to escape the event loop.
    core::runStep(QStringLiteral("Form_KeyDown"), errorAnswer(), [&] { Form_KeyDown(keyCode, shift); });
    return false; // never consumed: the key still reaches the focused control
}

void FRMLP_FORMULE::Form_KeyDown(int keyCode, int shift) {
    if (shift != 2)
        return; // Ctrl alone only
    // A stored formula that cannot be shown may be looked at (Ctrl+W) but never overwritten.
    if (m_storedUnreadable && keyCode != 87 && keyCode != 76)
        return;
    // While a run is in flight nothing starts another one or changes the box under it.
    if (runInFlight() &&
        (keyCode == 83 || keyCode == 72 || keyCode == 87 || keyCode == 80 || keyCode == 90 || keyCode == 89))
        return;
    switch (keyCode) {
    case 90: // Ctrl+Z
        UndoFormula();
        break;
    case 89: // Ctrl+Y
        RedoFormula();
        break;
    case 83: // Ctrl+S
        UpdateFormula();
        break;
    case 80: // Ctrl+P
        TXT_FORMULA->SetText(QString());
        break;
    case 72: // Ctrl+H
        CheckFormula(true);
        break;
    case 76: // Ctrl+L
        showInfo();
        break;
    case 87: // Ctrl+W
        switchTechnicalView();
        break;
    case 84: // Ctrl+T: the trial panel
        toggleTrialPanel();
        break;
    case 73: // Ctrl+I: the impact preview
        if (!m_technicalView)
            showImpactPreview();
        break;
    case 75: // Ctrl+K: the history
        showHistory();
        break;
    default:
        break;
    }
}

void FRMLP_FORMULE::switchTechnicalView() {
    QWidget* const editing[] = {TVW_FIELDS, IMG_SAVE, IMG_CHECK, IMG_CLEAR,  IMG_LEGEND,
                                IMG_EXPCOL, IMG_UNDO, IMG_REDO,  IMG_IMPACT, IMG_HISTORY};
    const bool entering = !m_technicalView;
    LBL_ELEMSELEZ->SetTitle(
        translate(entering ? QStringLiteral("Info tecniche") : QStringLiteral("Formula")));
    const QString text = RTrimN(core::Variant(TXT_FORMULA->Text())).toString();
    if (entering)
        assist()->setTechnicalView(true);
    if (m_storedUnreadable)
        TXT_FORMULA->SetText(entering ? m_storedSql : QString());
    else
        TXT_FORMULA->SetText(entering ? decodeToken(text, false) : encodeToken(text));
    TXT_FORMULA->setEnabled(true);
    TXT_FORMULA->SetLocked(entering || m_storedUnreadable);
    for (QWidget* w : editing)
        w->setEnabled(!entering && !m_storedUnreadable);
    CHK_DEBUG->setVisible(entering);
    m_technicalView = entering;
    if (!entering)
        assist()->setTechnicalView(false);
}

} // namespace editor
