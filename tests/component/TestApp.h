#pragma once

#include <QApplication>

// The one application object of the test program (widgets need it; created on first use).
inline QApplication& testApp() {
    static int argc = 1;
    static char name[] = "component_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}
