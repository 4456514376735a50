#include "instructions/FRMLP_ISTRUZIONI.h"

#include "host/WindowPlacement.h"

#include "host/controls/HostControls.h"
#include "host/controls/VXL_RESIZEFORM.h"
#include "host/controls/VxlRichTextBox.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <memory>

namespace instructions {

int FRMLP_ISTRUZIONI::s_instances = 0;

namespace {

ModalRunner& runner() {
    static ModalRunner r;
    return r;
}

// The window's own size, in twips: the controls reach 6405 to the right and 6885 down.
constexpr int WindowWidth = 6525;
constexpr int WindowHeight = 7005;

// The width a box needs to show its longest line without wrapping or scrolling.
int neededWidth(const controls::VxlRichTextBox* box) {
    int widest = 0;
    for (const QString& line : box->toPlainText().split(u'\n'))
        widest = std::max(widest, box->fontMetrics().horizontalAdvance(line));
    const int margins = 2 * int(std::ceil(box->document()->documentMargin())) + 2 * box->frameWidth();
    // A multi-line box keeps room for its scroll bar: shown while the window had its design size,
    // it would otherwise wrap the longest line again. The cursor and the rounding need a few pixels.
    const int bar =
        box->lineWrapMode() == QPlainTextEdit::NoWrap ? 0 : box->verticalScrollBar()->sizeHint().width();
    return widest + margins + bar + 6;
}

// The height a multi-line box needs to show all its lines.
int neededHeight(const controls::VxlRichTextBox* box) {
    const auto lines = box->toPlainText().count(u'\n') + 1;
    const int margins = 2 * int(std::ceil(box->document()->documentMargin())) + 2 * box->frameWidth();
    return int(lines) * box->fontMetrics().lineSpacing() + margins + 2;
}

} // namespace

FRMLP_ISTRUZIONI::FRMLP_ISTRUZIONI(QWidget* parent)
    : QDialog(parent) {
    ++s_instances;
    setObjectName(QStringLiteral("FRMLP_ISTRUZIONI"));
    setWindowTitle(QStringLiteral("Istruzioni"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(controls::twipsToPixels(WindowWidth, this), controls::twipsToPixels(WindowHeight, this));

    auto label = [this](const char* name, int l, int t, int w, int h, const QString& caption) {
        auto* lbl = new controls::VXL_LABEL(this);
        lbl->setObjectName(QString::fromLatin1(name));
        lbl->SetCaption(caption);
        lbl->setGeometry(controls::twipsToPixels(QRect(l, t, w, h), this));
        return lbl;
    };
    auto box = [this](const char* name, int l, int t, int w, int h, bool multiLine) {
        auto* b = new controls::VxlRichTextBox(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetMultiLine(multiLine);
        b->setGeometry(controls::twipsToPixels(QRect(l, t, w, h), this));
        return b;
    };

    VXL_LABEL1 =
        label("VXL_LABEL1", 120, 120, 6165, 660,
              QStringLiteral("Lo strumento \"composizione formule SQL\" consente di estendere le logiche di "
                             "recupero della quotazione attraverso la definizione di calcoli personalizzati "
                             "basati su linguaggio Sql."));
    VXL_LABEL2 =
        label("VXL_LABEL2", 120, 870, 6165, 450,
              QStringLiteral("E' possibilie ricalcolare ogni singolo elemento di \"Quotazione\" (prezzi, "
                             "sconti, maggiorazioni) secondo varie modalità."));
    VXL_LABEL3 = label("VXL_LABEL3", 240, 1410, 5925, 240,
                       QStringLiteral("- Impostando un valore di quotazione in maniera fissa (Esempio 1)."));
    VXL_LABEL4 =
        label("VXL_LABEL4", 240, 1710, 5925, 660,
              QStringLiteral("- Impostando un valore di quotazione basato su un valore della quotazione "
                             "corrente o della quotazione della precedente condizione in tabella priorità "
                             "(Esempio 2)."));
    VXL_LABEL5 =
        label("VXL_LABEL5", 240, 2430, 5925, 480,
              QStringLiteral("- Impostando un valore di quotazione subordinandolo alla valutazione di una "
                             "entità anagrafica (Esempio 3)."));
    VXL_LABEL7 = label("VXL_LABEL7", 120, 3090, 5925, 240, QStringLiteral("Esempi di composizione formule"));
    VXL_LABEL7->SetLabelStyle(1);
    VXL_LABEL6 =
        label("VXL_LABEL6", 120, 3360, 5925, 480,
              QStringLiteral("È importante ricordarsi di anteporre l'istruzione SET prima di ogni elemento "
                             "di quotazione da valorizzare."));
    VXL_LABEL8 = label("VXL_LABEL8", 360, 4020, 3645, 240, QStringLiteral("Esempio 1"));
    TXT_ESEMPIO1 = box("TXT_ESEMPIO1", 150, 4260, 3855, 300, false);
    VXL_LABEL10 = label("VXL_LABEL10", 360, 4680, 3645, 240, QStringLiteral("Esempio 2"));
    TXT_ESEMPIO2 = box("TXT_ESEMPIO2", 150, 4920, 3855, 300, false);
    TXT_ESEMPIO3 = box("TXT_ESEMPIO3", 150, 5250, 3855, 300, false);
    VXL_LABEL9 = label("VXL_LABEL9", 360, 5700, 3645, 240, QStringLiteral("Esempio 3"));
    TXT_ESEMPIO4 = box("TXT_ESEMPIO4", 150, 5940, 3855, 600, true);

    BTN_CHIUDI = new controls::VXL_TBARMENU(this);
    BTN_CHIUDI->setObjectName(QStringLiteral("BTN_CHIUDI"));
    BTN_CHIUDI->SetCaption(QStringLiteral("&Chiudi"));
    BTN_CHIUDI->setGeometry(controls::twipsToPixels(QRect(5160, 6510, 1245, 375), this));
    connect(BTN_CHIUDI, &controls::VXL_TBARMENU::ButtonClick, this,
            &FRMLP_ISTRUZIONI::BTN_CHIUDI_ButtonClick);

    VXL_RESIZEFORM1 = new controls::VXL_RESIZEFORM(this);
    VXL_RESIZEFORM1->setObjectName(QStringLiteral("VXL_RESIZEFORM1"));
    connect(VXL_RESIZEFORM1, &controls::VXL_RESIZEFORM::QueryProportional, this,
            [](bool* all) { *all = true; });
}

FRMLP_ISTRUZIONI::~FRMLP_ISTRUZIONI() {
    --s_instances;
}

int FRMLP_ISTRUZIONI::liveInstances() {
    return s_instances;
}

QString FRMLP_ISTRUZIONI::example(int number) {
    switch (number) {
    case 1:
        return QStringLiteral("SET [Prezzo lordo] = 25");
    case 2:
        return QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo corr] + 50");
    case 3:
        return QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo in] + 75");
    case 4:
        return QStringLiteral(
            "IF  [Famiglia] in ('MPRI','PFIN')\r\n    SET [Prezzo lordo] = [Prezzo lordo corr] + 100");
    default:
        return {};
    }
}

void FRMLP_ISTRUZIONI::Form_Activate() {
    controls::VxlRichTextBox* const boxes[] = {TXT_ESEMPIO1, TXT_ESEMPIO2, TXT_ESEMPIO3, TXT_ESEMPIO4};
    for (auto* b : boxes)
        b->SetLocked(true);
    for (int i = 0; i < 4; ++i)
        boxes[i]->SetText(example(i + 1));
    VXL_RESIZEFORM1->Start();
    if (!m_sized) {
        // The resize manager scales every control with the window: opened larger in proportion,
        // every text and example shows whole in the host's font and language.
        m_sized = true;
        resize(openingSize().expandedTo(size()));
    }
}

QSize FRMLP_ISTRUZIONI::openingSize() const {
    double sx = 1.0;
    double sy = 1.0;
    for (const controls::VxlRichTextBox* b : {TXT_ESEMPIO1, TXT_ESEMPIO2, TXT_ESEMPIO3, TXT_ESEMPIO4})
        sx = std::max(sx, double(neededWidth(b)) / b->width());
    sy = std::max(sy, double(neededHeight(TXT_ESEMPIO4)) / TXT_ESEMPIO4->height());
    // The labels wrap at their scaled width and must show every line at their scaled height.
    for (const controls::VXL_LABEL* l : findChildren<controls::VXL_LABEL*>())
        sy = std::max(sy, double(l->heightForWidth(int(l->width() * sx)) + 1) / l->height());
    QSize size(int(std::ceil(width() * sx)), int(std::ceil(height() * sy)));
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    return size;
}

void FRMLP_ISTRUZIONI::BTN_CHIUDI_ButtonClick() {
    close();
}

void FRMLP_ISTRUZIONI::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
    host::fitToScreen(this, true); // the size it opens at, decorations and all, stays on screen
}

void setModalRunner(ModalRunner r) {
    runner() = std::move(r);
}

void showInstructions(QWidget* parent, const std::function<QString(const QString&)>& translate,
                      host::UserSettings* settings) {
    auto window = std::make_unique<FRMLP_ISTRUZIONI>(parent);
    new host::WindowPlacement(window.get(), settings, host::WindowPlacement::keyFor(window->objectName()));
    if (translate) {
        window->setWindowTitle(translate(window->windowTitle()));
        const auto labels = window->findChildren<controls::VXL_LABEL*>();
        for (controls::VXL_LABEL* l : labels)
            l->SetCaption(translate(l->Caption()));
        window->BTN_CHIUDI->SetCaption(translate(window->BTN_CHIUDI->Caption()));
    }
    window->setModal(true);
    if (runner()) {
        window->show();
        runner()(*window);
    } else {
        window->exec();
    }
    // The instance is released here; the caller gets the focus back.
}

} // namespace instructions
