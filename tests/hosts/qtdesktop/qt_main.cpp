// The one main of the Qt test programs (the Qt desktop, its conformance runs, the desktop
// app's widgets): Qt's offscreen platform, so no X server is needed.
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says so each time a window is raised; nothing a test can act on.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.startsWith("This plugin does not support")) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
    });
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
