#pragma once

#include <QApplication>

// The one application object of the widget tests (created on first use).
inline QApplication& guiApp() {
    static int argc = 1;
    static char name[] = "host_gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}
