// A minimal host of the formula editor component, built against the installed package:
//   example_host --db "Provider=Embedded;Data Source=demo.sqlite" [--lang en] [--context 0] [--id 1]
//                [--screenshot FILE]
// It sets up the host framework's objects the component needs (global object with the connection
// string and the company, navigator, menu item, responder), creates the component class through
// the factory, configures it through its properties and the plug-in interface, and shows the
// editor. With --screenshot it renders the window off screen to FILE and exits.
#include <formule/Factory.h>
#include <formule/host/Cinterface.h>
#include <formule/host/DialogResponder.h>
#include <formule/host/GlobalObject.h>
#include <formule/host/MenuItem.h>
#include <formule/host/Navigator.h>
#include <formule/host/ScriptModel.h>
#include <formule/host/TranslationService.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <QWidget>

#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Connection string."),
                                QStringLiteral("conn"));
    const QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("it or en."), QStringLiteral("lang"),
                                  QStringLiteral("it"));
    const QCommandLineOption context(QStringLiteral("context"), QStringLiteral("Editing context (0, 1, 2)."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption id(QStringLiteral("id"), QStringLiteral("Record."), QStringLiteral("ID"),
                                QStringLiteral("1"));
    const QCommandLineOption shot(QStringLiteral("screenshot"),
                                  QStringLiteral("Save the editor as PNG and exit."), QStringLiteral("FILE"));
    parser.addOptions({db, lang, context, id, shot});
    parser.addHelpOption();
    parser.process(app);
    QTextStream err(stderr);
    if (!parser.isSet(db)) {
        err << "example_host: --db is required\n";
        return 2;
    }

    // The host framework's objects: the component reads the connection string and the company from
    // the global object and asks its questions through the responder.
    host::GlobalObject global;
    global.ConnectionSettings()->setConnectionString(parser.value(db));
    global.Company()->setCompanyCode(core::Variant::fromInt32(1));
    if (parser.value(lang) != QLatin1String("it"))
        global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), parser.value(lang));
    host::DialogResponder dialogs;
    host::TestResponder answers; // off screen every question gets its default button
    global.setResponder(parser.isSet(shot) ? static_cast<host::Responder*>(&answers) : &dialogs);
    host::Navigator navigator;
    host::ScriptModel script;
    navigator.setScriptModel(&script);
    host::MenuItem item;
    item.setMenuKey(core::Variant(QStringLiteral("LP_FORMULE")));

    // The component, through its factory, configured as a host framework configures a plug-in.
    std::unique_ptr<QObject> component(formule_create("QEDRIX.CLSLP_FORMULE"));
    host::Cinterface* plugin = host::cinterfaceOf(component.get());
    if (!plugin) {
        err << "example_host: the factory gave no component\n";
        return 1;
    }
    component->setProperty("enmContestoformule", parser.value(context).toInt());
    component->setProperty("ID", QVariant::fromValue(core::Variant::fromInt32(parser.value(id).toInt())));
    plugin->setClsGlobal(&global);
    plugin->setActiveNavigator(&navigator);
    plugin->setClsVoceMenu(&item);
    plugin->setCaption(core::Variant(QStringLiteral("Composizione formule SQL")));
    plugin->setIsActive(true);
    plugin->ShowForm();

    if (!parser.isSet(shot))
        return app.exec();

    // Off screen: let the window lay itself out and paint once, then save it.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    QWidget* editor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QLatin1String("FRMLP_FORMULE"))
            editor = w;
    if (!editor || !editor->grab().save(parser.value(shot), "PNG")) {
        err << "example_host: no editor window to save\n";
        return 1;
    }
    QTextStream(stdout) << parser.value(shot) << '\n';
    plugin->CloseForm();
    return 0;
}
