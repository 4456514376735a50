#pragma once

#include <QCoreApplication>

// The one application object of the test program, created on first use: a QCoreApplication for
// the component class alone, a QApplication where windows are shown.
template <class App = QCoreApplication> App& testApp() {
    static int argc = 1;
    static char name[] = "component_tests";
    static char* argv[] = {name, nullptr};
    static App* instance = new App(argc, argv);
    return *instance;
}
