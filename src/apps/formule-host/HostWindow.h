#pragma once

#include "core/Variant.h"
#include "host/DataFrame.h"
#include "host/GlobalObject.h"
#include "host/LayoutModel.h"
#include "host/MenuItem.h"
#include "host/Navigator.h"
#include "host/ScriptModel.h"

#include <QLibrary>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QCheckBox;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTreeWidget;

namespace ado {
class Connection;
}

namespace demo {

// One record of the three editing contexts, as the list shows it.
struct Record {
    int context = 0;
    qint64 id = 0;
    QString description;
    bool hasFormula = false;
};

// The demo host: a main window with the navigator tool bar, a multi-document area and the list
// of the records of the three editing contexts; it creates the component from its shared library
// and opens the formula editor on the selected record.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    HostWindow(const QString& connectionString, const QString& language, const core::Variant& company);
    ~HostWindow() override;

    // Loads the component library; false (with a message in errorText) when it cannot.
    bool loadComponent();
    QString errorText() const { return m_error; }

    // Re-reads the record list of the current company. Returns false when the database failed.
    bool refreshRecords();
    QList<Record> records() const { return m_records; }

    // Opens the editor on a record. Modal opens return when the window has closed.
    // `onFirstActivation` runs once the window has finished its first activation.
    bool openEditor(int context, const core::Variant& id, bool modal,
                    const std::function<void(QWidget*)>& onFirstActivation = {});

    // Opens the editor on a record (modeless) and marks `line` of its formula with `message`,
    // as a failed check's line (`error`) or as a note. Line 0 opens the record only.
    bool openMarked(int context, qint64 id, int line, const QString& message, bool error);

    // The window "Verifica formule", started with `jobs` connections (a new run when already open).
    class VerifyWindow* openVerification(int jobs = 1);

    // Modeless editors are placed in the multi-document area (default) or stay top-level windows.
    void setEmbedInArea(bool embed) { m_embedInArea = embed; }

    host::GlobalObject& global() { return m_global; }
    host::Navigator& navigator() { return m_navigator; }

    // The multi-document area's sub-window of the editor of a record, or null.
    QMdiSubWindow* editorWindow(int context, qint64 id) const;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    // Reads the record list again after an editor saved, keeping the selected record.
    void refreshAfterSave();

private:
    void openSelected(bool modal);
    // Puts a new editor's sub-window at the user's last place, or in the next free place of the
    // cascade, inside the area (remembered per user when it closes), and names its record in its
    // title bar and in the window list.
    void placeSubWindow(QMdiSubWindow* sub, int context, qint64 id);
    QString recordTitle(QWidget* editor, int context, qint64 id) const;
    void fillWindowMenu();
    // Brings an editor (its sub-window, or its own window) to the front.
    void bringToFront(QWidget* editor);
    void onNavigatorButton(bool& cancel, int& button);
    QString text(const char* italian) const;

    QString m_connectionString;
    host::GlobalObject m_global;
    host::Navigator m_navigator;
    host::ScriptModel m_script;
    host::LayoutModel m_layout;
    host::MenuItem m_menuItem;
    host::DataFrame m_frame;
    std::unique_ptr<ado::Connection> m_connection;
    QLibrary m_library;
    QObject* (*m_create)(const char*) = nullptr;
    QString m_error;
    QPointer<class VerifyWindow> m_verify;
    QList<Record> m_records;
    QMdiArea* m_mdi = nullptr;
    QMenu* m_windowMenu = nullptr;
    QString m_language;
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_modal = nullptr;
    QList<QPointer<QObject>> m_components;
    bool m_embedInArea = true;
};

} // namespace demo
