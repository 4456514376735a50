#pragma once

#include <QDialog>

#include <functional>

namespace controls {
class VXL_LABEL;
class VXL_RESIZEFORM;
class VXL_TBARMENU;
class VxlRichTextBox;
} // namespace controls

namespace host {
class UserSettings;
}

namespace instructions {

// The instructions window "Istruzioni": a few paragraphs and four example formulas, read-only.
// Opened modally by the editor (showInfo) and closed with its own button. Controls are placed
// at their design positions in twips, converted for the screen's resolution; the resize
// manager scales them with the window.
class FRMLP_ISTRUZIONI : public QDialog {
    Q_OBJECT
public:
    explicit FRMLP_ISTRUZIONI(QWidget* parent = nullptr);
    ~FRMLP_ISTRUZIONI() override;

    // The texts of the four example boxes, as shown.
    static QString example(int number); // 1 to 4

    // Form_Activate: locks the example boxes, fills them, starts the resize manager. Runs on
    // every activation of the window (every time it is shown).
    void Form_Activate();
    void BTN_CHIUDI_ButtonClick();

    controls::VXL_LABEL* VXL_LABEL1 = nullptr;
    controls::VXL_LABEL* VXL_LABEL2 = nullptr;
    controls::VXL_LABEL* VXL_LABEL3 = nullptr;
    controls::VXL_LABEL* VXL_LABEL4 = nullptr;
    controls::VXL_LABEL* VXL_LABEL5 = nullptr;
    controls::VXL_LABEL* VXL_LABEL7 = nullptr;
    controls::VXL_LABEL* VXL_LABEL6 = nullptr;
    controls::VXL_LABEL* VXL_LABEL8 = nullptr;
    controls::VxlRichTextBox* TXT_ESEMPIO1 = nullptr;
    controls::VXL_LABEL* VXL_LABEL10 = nullptr;
    controls::VxlRichTextBox* TXT_ESEMPIO2 = nullptr;
    controls::VxlRichTextBox* TXT_ESEMPIO3 = nullptr;
    controls::VXL_LABEL* VXL_LABEL9 = nullptr;
    controls::VxlRichTextBox* TXT_ESEMPIO4 = nullptr;
    controls::VXL_TBARMENU* BTN_CHIUDI = nullptr;
    controls::VXL_RESIZEFORM* VXL_RESIZEFORM1 = nullptr;

    // How many instances exist now (each showInfo creates and releases one).
    static int liveInstances();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The size the window opens at: its design size enlarged in proportion until every label and
    // example box shows its whole text.
    QSize openingSize() const;

    static int s_instances;
    bool m_sized = false;
};

// Shows a new instance modally and deletes it once closed. The translation service (may be
// empty: texts as written) passes the caption and labels through the host's translation.
// The modal run is replaceable: a runner receives the shown instance instead of the dialog's
// own event loop and must close it (tests close it through BTN_CHIUDI without timers).
using ModalRunner = std::function<void(FRMLP_ISTRUZIONI&)>;
void setModalRunner(ModalRunner runner);
// `settings`: the user's host settings, where the window's place is remembered (none: it opens
// at its place beside the parent, fitted to the screen).
void showInstructions(QWidget* parent, const std::function<QString(const QString&)>& translate = {},
                      host::UserSettings* settings = nullptr);

} // namespace instructions
