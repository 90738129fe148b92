#pragma once
// One QApplication for the whole test program (offscreen, set by CTest and here).

#include <QApplication>
#include <cstdlib>

namespace wbx::testing {

inline QApplication& EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "wbx_test_app";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);  // lives until the process ends
    }();
    return *app;
}

}  // namespace wbx::testing
