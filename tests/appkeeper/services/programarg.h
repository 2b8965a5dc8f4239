#pragma once
// The caption functions find their files through the application object's
// first argument. These tests run under a QApplication whose first argument
// they can change (the application keeps reading the argument vector it was
// given), so that the program can "live" in a temporary folder.
//
// Use SERVICES_TEST_MAIN(Class) instead of QTEST_MAIN(Class).

#include <QApplication>
#include <QByteArray>
#include <QTest>

namespace programarg {

inline char** argvSlots()
{
    static char* table[2] = {nullptr, nullptr};
    return table;
}

// Makes `arg` the application's first argument from now on.
inline void set(const QString& arg)
{
    static QByteArray storage;
    storage = arg.toLocal8Bit();
    argvSlots()[0] = storage.data();
}

} // namespace programarg

#define SERVICES_TEST_MAIN(TestObject)                                  \
    int main(int argc, char** argv)                                     \
    {                                                                   \
        static int appArgc = 1;                                         \
        static QByteArray first(argv[0]);                               \
        programarg::argvSlots()[0] = first.data();                      \
        QApplication app(appArgc, programarg::argvSlots());             \
        app.setAttribute(Qt::AA_Use96Dpi, true);                        \
        TestObject tc;                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                      \
        return QTest::qExec(&tc, argc, argv);                           \
    }
