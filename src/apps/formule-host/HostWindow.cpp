#include "HostWindow.h"
#include "RecordNames.h"
#include "VerifyWindow.h"

#include "ado/Ado.h"
#include "core/Error.h"
#include "host/Cinterface.h"
#include "host/NavigatorToolBar.h"
#include "host/WindowPlacement.h"
#include "tables/EditingContext.h"
#include "tables/FormulaTables.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace demo {

HostWindow::HostWindow(const QString& connectionString, const QString& language, const core::Variant& company)
    : m_connectionString(connectionString)
    , m_language(language) {
    setObjectName(QStringLiteral("formule-host"));
    m_global.ConnectionSettings()->setConnectionString(connectionString);
    m_global.Company()->setCompanyCode(company);
    m_global.HostContext()->setContextValue1(core::Variant(QStringLiteral("LP")));
    m_global.HostContext()->setContextValue2(core::Variant::fromInt32(1));
    m_global.Translation()->load(host::TranslationService::defaultDirectory(), language);
    m_navigator.setScriptModel(&m_script);
    m_navigator.setLayoutModel(&m_layout);
    m_navigator.setCompanies(&m_global,
                             {{core::Variant::fromInt32(1), text("Ditta") + QStringLiteral(" 1")},
                              {core::Variant::fromInt32(2), text("Ditta") + QStringLiteral(" 2")}});
    m_menuItem.setMenuKey(core::Variant(QStringLiteral("LP_FORMULE")));
    m_script.setObjectName(QStringLiteral("ScriptModel"));
    m_layout.setObjectName(QStringLiteral("LayoutModel"));

    setWindowTitle(text("Listini parametrici"));
    addToolBar(new host::NavigatorToolBar(&m_navigator, this));

    auto* commands = addToolBar(text("Comandi"));
    QAction* open = commands->addAction(text("Apri formule"));
    open->setObjectName(QStringLiteral("openEditor"));
    m_modal = new QCheckBox(text("Modale"), commands);
    commands->addWidget(m_modal);
    connect(open, &QAction::triggered, this, [this] { openSelected(m_modal->isChecked()); });
    QAction* verify = menuBar()->addMenu(text("Strumenti"))->addAction(text("Verifica formule"));
    verify->setObjectName(QStringLiteral("verifyFormulas"));
    commands->addAction(verify);
    connect(verify, &QAction::triggered, this, [this] { openVerification(); });
    // The open editors by their records; a choice brings one to the front.
    m_windowMenu = menuBar()->addMenu(text("Finestre"));
    m_windowMenu->setObjectName(QStringLiteral("windowMenu"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, &HostWindow::fillWindowMenu);

    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("splitter"));
    m_list = new QTreeWidget(splitter);
    m_list->setObjectName(QStringLiteral("records"));
    m_list->setHeaderLabels({text("Contesto"), QStringLiteral("ID"), text("Descrizione"), text("Formula")});
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { openSelected(m_modal->isChecked()); });
    m_mdi = new QMdiArea(splitter);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({480, 920});
    setCentralWidget(splitter);
    resize(1400, 800);
    new host::WindowPlacement(this, m_global.Settings()->User(), host::WindowPlacement::keyFor(objectName()));

    connect(&m_navigator, &host::Navigator::companyChanged, this, [this] { refreshRecords(); });
    connect(&m_navigator, &host::Navigator::exported, this, [this](const QString& title) {
        statusBar()->showMessage(text("Esportazione di") + QLatin1Char(' ') + title, 5000);
    });
    // An editor asks for another record (its where-used list): opened with the use's line marked.
    connect(
        &m_navigator, &host::Navigator::openRecordRequested, this,
        [this](int context, qint64 id, int line, const QString& message) {
            openMarked(context, id, line, message, false);
        },
        Qt::QueuedConnection);
    connect(&m_navigator, &host::Navigator::ButtonPressed, this, &HostWindow::onNavigatorButton,
            Qt::DirectConnection);
}

HostWindow::~HostWindow() {
    delete m_verify.data(); // a window of its own, so that the editors can come in front of it
    // Releasing the last reference of each component runs its termination.
    for (const QPointer<QObject>& c : std::as_const(m_components))
        delete c.data();
}

QString HostWindow::text(const char* italian) const {
    return m_global.Traduci(QString::fromUtf8(italian));
}

bool HostWindow::loadComponent() {
    // The library beside the program's own libraries (the build tree or an installed tree, moved
    // or not), else wherever the dynamic loader finds it; by its major version, as the runtime
    // package ships it (libformule_component.so.1, without the development link).
    const QStringList candidates = {
        QDir(QCoreApplication::applicationDirPath())
            .absoluteFilePath(QStringLiteral(FORMULE_BIN_TO_LIB "/formule_component")),
        QStringLiteral("formule_component")};
    for (const QString& name : candidates) {
        m_library.setFileNameAndVersion(name, FORMULE_COMPONENT_SOVERSION);
        if (m_library.load())
            break;
    }
    if (!m_library.isLoaded()) {
        m_error = m_library.errorString();
        return false;
    }
    m_create = reinterpret_cast<QObject* (*)(const char*)>(m_library.resolve("formule_create"));
    if (!m_create) {
        m_error = m_library.errorString();
        return false;
    }
    return true;
}

bool HostWindow::refreshRecords() {
    m_records.clear();
    m_list->clear();
    try {
        if (!m_connection) {
            m_connection = std::make_unique<ado::Connection>();
            m_connection->Open(m_connectionString);
        }
        const QString company = m_global.Company()->CompanyCode().toString();
        for (const tables::EditingContext& t : tables::editingContexts()) {
            const int c = t.number;
            ado::RecordsetPtr rs = m_connection->Execute(tables::companyRecordsStatement(t, company));
            while (rs->IsOpen() && !rs->IsEOF()) {
                Record r;
                r.context = c;
                r.id = rs->GetFields().Item(0).Value().toInt64();
                const core::Variant description = rs->GetFields().Item(1).Value();
                r.description = description.isNull() ? QString() : description.toString();
                const core::Variant formula = rs->GetFields().Item(2).Value();
                r.hasFormula = !formula.isNull() && !formula.toString().trimmed().isEmpty();
                m_records.append(r);
                auto* item = new QTreeWidgetItem(
                    m_list, {contextName(c, [this](const QString& s) { return m_global.Traduci(s); }),
                             QString::number(r.id), r.description, r.hasFormula ? text("sì") : QString()});
                item->setData(0, Qt::UserRole, c);
                item->setData(1, Qt::UserRole, r.id);
                rs->MoveNext();
            }
        }
        statusBar()->showMessage(text("Record letti") + QStringLiteral(": %1").arg(m_records.size()), 5000);
        return true;
    } catch (const core::ComError& e) {
        m_error = e.description();
        statusBar()->showMessage(m_error);
        return false;
    }
}

void HostWindow::refreshAfterSave() {
    const QTreeWidgetItem* current = m_list->currentItem();
    const int context = current ? current->data(0, Qt::UserRole).toInt() : -1;
    const qint64 id = current ? current->data(1, Qt::UserRole).toLongLong() : -1;
    refreshRecords();
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == context &&
            item->data(1, Qt::UserRole).toLongLong() == id) {
            m_list->setCurrentItem(item);
            m_list->scrollToItem(item);
            break;
        }
    }
}

void HostWindow::openSelected(bool modal) {
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item) {
        statusBar()->showMessage(text("Selezionare un record"), 5000);
        return;
    }
    openEditor(item->data(0, Qt::UserRole).toInt(),
               core::Variant::fromInt64(item->data(1, Qt::UserRole).toLongLong()), modal);
}

VerifyWindow* HostWindow::openVerification(int jobs) {
    if (!m_verify) {
        // A window of its own (no parent): an editor opened from it can come in front of it.
        m_verify =
            new VerifyWindow(m_connectionString, [this](const QString& t) { return m_global.Traduci(t); });
        m_verify->setAttribute(Qt::WA_DeleteOnClose);
        m_verify->setLocale(QLocale(m_language));
        new host::WindowPlacement(m_verify, m_global.Settings()->User(),
                                  host::WindowPlacement::keyFor(m_verify->objectName()), this);
        connect(m_verify, &VerifyWindow::openRecord, this,
                [this](int context, qint64 id, int line, const QString& message) {
                    openMarked(context, id, line, message, true);
                });
    }
    m_verify->show();
    m_verify->raise();
    m_verify->start(jobs);
    return m_verify;
}

bool HostWindow::openMarked(int context, qint64 id, int line, const QString& message, bool error) {
    // The record's editor, when it is open, comes to the front with the line marked.
    if (QMdiSubWindow* open = editorWindow(context, id)) {
        bool marked = false;
        if (line > 0)
            QMetaObject::invokeMethod(open->widget(), "markLine", Q_RETURN_ARG(bool, marked),
                                      Q_ARG(int, line), Q_ARG(QString, message), Q_ARG(bool, error));
        if (line > 0 && !marked)
            statusBar()->showMessage(message, 8000);
        bringToFront(open->widget());
        return true;
    }
    return openEditor(
        context, core::Variant(QString::number(id)), false, [this, line, message, error](QWidget* editor) {
            // The editor is reached late bound: the host links nothing of the component.
            bool marked = false;
            if (line > 0 && editor)
                QMetaObject::invokeMethod(editor, "markLine", Q_RETURN_ARG(bool, marked), Q_ARG(int, line),
                                          Q_ARG(QString, message), Q_ARG(bool, error));
            if (line > 0 && !marked)
                statusBar()->showMessage(message, 8000);
            if (editor)
                bringToFront(editor);
        });
}

QMdiSubWindow* HostWindow::editorWindow(int context, qint64 id) const {
    const QList<QMdiSubWindow*> subs = m_mdi->subWindowList();
    for (QMdiSubWindow* sub : subs) {
        if (sub->property("recordContext").toInt() == context &&
            sub->property("recordId").toLongLong() == id && sub->property("recordId").isValid())
            return sub;
    }
    return nullptr;
}

void HostWindow::bringToFront(QWidget* editor) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(editor->parentWidget()))
        m_mdi->setActiveSubWindow(sub);
    QWidget* top = editor->window();
    if (top->isMinimized())
        top->showNormal();
    top->raise();
    top->activateWindow();
}

QString HostWindow::recordTitle(QWidget* editor, int context, qint64 id) const {
    QString description;
    for (const Record& r : m_records) {
        if (r.context == context && r.id == id)
            description = r.description;
    }
    // The window's own caption first, as it gives it; then the record it edits.
    return editor->windowTitle() + QStringLiteral(" - ") +
           recordName(context, id, description, [this](const QString& t) { return m_global.Traduci(t); });
}

void HostWindow::placeSubWindow(QMdiSubWindow* sub, int context, qint64 id) {
    sub->setProperty("recordContext", context);
    sub->setProperty("recordId", id);
    sub->setWindowTitle(recordTitle(sub->widget(), context, id));
    // The window asked for its place (MDIActiveX); the user's last place of an editor in the
    // area wins over it. Each further editor goes one title bar lower and to the right, in the
    // first place no other editor holds, the whole sub-window inside the area.
    auto* placement = new host::SubWindowPlacement(
        sub, m_global.Settings()->User(), host::SubWindowPlacement::keyFor(sub->widget()->objectName()));
    placement->place();
}

void HostWindow::fillWindowMenu() {
    m_windowMenu->clear();
    QAction* cascade = m_windowMenu->addAction(text("Sovrapponi"));
    connect(cascade, &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
    QAction* tile = m_windowMenu->addAction(text("Affianca"));
    connect(tile, &QAction::triggered, m_mdi, &QMdiArea::tileSubWindows);
    const QList<QMdiSubWindow*> subs = m_mdi->subWindowList();
    if (!subs.isEmpty())
        m_windowMenu->addSeparator();
    int number = 0;
    for (QMdiSubWindow* sub : subs) {
        QAction* item =
            m_windowMenu->addAction(QStringLiteral("&%1 %2").arg(++number).arg(sub->windowTitle()));
        item->setCheckable(true);
        item->setChecked(sub == m_mdi->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, sub = QPointer<QMdiSubWindow>(sub)] {
            if (sub)
                bringToFront(sub->widget());
        });
    }
}

bool HostWindow::openEditor(int context, const core::Variant& id, bool modal,
                            const std::function<void(QWidget*)>& onFirstActivation) {
    if (!m_create) {
        QMessageBox::warning(this, windowTitle(), m_error);
        return false;
    }
    QObject* object = m_create("QEDRIX.CLSLP_FORMULE");
    host::Cinterface* plugin = host::cinterfaceOf(object);
    if (!plugin) {
        delete object;
        m_error = QStringLiteral("QEDRIX.CLSLP_FORMULE");
        return false;
    }
    m_components.append(object);
    object->setProperty("enmContestoformule", context);
    object->setProperty("ID", QVariant::fromValue(id));

    // The data frame of the current record (the price-list provider record).
    m_frame.setRecordset(nullptr);
    if (context == tables::vxContestoProvider && m_connection) {
        try {
            const tables::EditingContext& provider = *tables::editingContext(tables::vxContestoProvider);
            m_frame.load(*m_connection, QLatin1String(provider.table), QLatin1String(provider.idColumn),
                         id.toInt64());
        } catch (const std::exception&) {
            m_frame.setRecordset(nullptr);
        }
    }
    // A window that closed took the object models from the navigator (its unload sets them to
    // null): each window opens with them, or the host would never learn of it.
    m_navigator.setScriptModel(&m_script);
    m_navigator.setLayoutModel(&m_layout);
    plugin->setClsGlobal(&m_global);
    plugin->setActiveNavigator(&m_navigator);
    plugin->setActiveFrame(context == tables::vxContestoProvider ? &m_frame : nullptr);
    plugin->setClsVoceMenu(&m_menuItem);
    plugin->setWindowModal(modal);
    plugin->setWindowState(0);
    plugin->setCaption(core::Variant(text("Composizione formule SQL")));
    plugin->sethwndParent(1);
    plugin->setIsActive(true);

    // The window reports its opening to the script object model at its first activation; the
    // host then gives it its layouts and script objects, and learns the window from them.
    QPointer<QObject> guard(object);
    auto reported = std::make_shared<QMetaObject::Connection>();
    *reported =
        connect(&m_script, &host::HostObject::called, this,
                [this, guard, modal, reported, onFirstActivation, context, id](const QString& member) {
                    if (member != QLatin1String("ScriptFormEvent"))
                        return;
                    disconnect(*reported);
                    QTimer::singleShot(0, this, [this, guard, modal, onFirstActivation, context, id] {
                        if (!guard)
                            return;
                        host::LayoutModel* layout = &m_layout;
                        m_navigator.raiseInitializeLayoutObjectModel(layout);
                        host::ScriptModel* script = &m_script;
                        m_navigator.raiseInitializeScriptObjectModel(script);
                        auto* window = qobject_cast<QWidget*>(m_layout.lastWindow().data());
                        if (!window)
                            return;
                        // A save changes the record's Formula column.
                        connect(window, SIGNAL(formulaSaved()), this, SLOT(refreshAfterSave()));
                        if (!modal && m_embedInArea) {
                            QMdiSubWindow* sub = m_mdi->addSubWindow(window);
                            sub->setWindowIcon(window->windowIcon());
                            sub->show();
                            placeSubWindow(sub, context, id.toInt64());
                            connect(window, SIGNAL(unloaded()), sub, SLOT(close()), Qt::QueuedConnection);
                        }
                        if (!modal)
                            connect(window, SIGNAL(unloaded()), guard.data(), SLOT(deleteLater()));
                        if (onFirstActivation)
                            onFirstActivation(window);
                    });
                });
    plugin->ShowForm();
    if (modal) {
        disconnect(*reported);
        if (guard) {
            m_components.removeAll(guard);
            delete guard.data();
        }
    }
    return true;
}

void HostWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // On a small screen the record list gives up width first, so that an editor fits the area.
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"))) {
        const int total = splitter->width();
        const int list = std::clamp(total - 860, 200, 480);
        if (total > list)
            splitter->setSizes({list, total - list});
    }
}

void HostWindow::onNavigatorButton(bool&, int& button) {
    switch (button) {
    case host::button::New:
        m_frame.setStatus(host::frame::Inserting);
        statusBar()->showMessage(text("Nuovo record"), 5000);
        break;
    case host::button::Save:
        m_frame.Update();
        break;
    case host::button::Multimedia:
        // After the plug-ins have handled the press: what the hypermedia library was asked.
        QTimer::singleShot(0, this, [this] {
            QStringList opened;
            for (const QPointer<QObject>& c : std::as_const(m_components)) {
                QObject* media = c ? c->findChild<QObject*>(QStringLiteral("CHyperMedia")) : nullptr;
                QStringList calls;
                if (media &&
                    QMetaObject::invokeMethod(media, "callStrings", Q_RETURN_ARG(QStringList, calls)) &&
                    !calls.isEmpty())
                    opened << calls.last();
            }
            statusBar()->showMessage(
                text("Collegamento multimediale") + QStringLiteral(": ") +
                    (opened.isEmpty() ? QStringLiteral("-") : opened.join(QStringLiteral("; "))),
                8000);
        });
        break;
    default:
        break;
    }
}

} // namespace demo
