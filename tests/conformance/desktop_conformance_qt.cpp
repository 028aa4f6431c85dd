// The desktop conformance suite against the Qt desktop, on Qt's offscreen platform (no X
// server, no window frames).
#include "hosts/qtdesktop/qt_desktop.hpp"
#include "tests/conformance/desktop_conformance.hpp"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdio>

namespace scribeline::conformance {
namespace {

DesktopUnderTest makeQt() {
    auto desktop = std::make_unique<qtdesktop::QtDesktop>();
    qtdesktop::QtDesktop* raw = desktop.get();
    return {std::move(desktop), [raw](WindowHandle w) { raw->Repaint(w); }};
}

INSTANTIATE_TEST_SUITE_P(Qt, DesktopConformance,
                         ::testing::Values(DesktopImplementation{"Qt", makeQt}),
                         implementationName);

} // namespace
} // namespace scribeline::conformance

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
