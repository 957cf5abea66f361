#pragma once
// The application object a test program needs, made on first use and never
// destroyed: the toolkit's own objects may outlive a static one at exit.
#include <QCoreApplication>

namespace ormtest {

inline char *testProgramName()
{
    static char name[] = "ormolux-tests";
    return name;
}

template <class App = QCoreApplication> App &testApp()
{
    static int argc = 1;
    static char *argv[] = {testProgramName(), nullptr};
    static App *instance = new App(argc, argv);
    return *instance;
}

} // namespace ormtest
