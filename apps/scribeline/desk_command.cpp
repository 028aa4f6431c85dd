#include "apps/scribeline/desk_command.hpp"

#include "frontends/qt/desk.hpp"
#include "frontends/qt/display.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <iostream>

namespace scribeline::app {

int RunDesk(const DeskCommand& command, int argc, char** argv) {
    using namespace scribeline::frontend;
    // Qt aborts the process when it cannot open a display: tell the user first.
    if (const auto problem = DisplayProblem(ProcessEnvironment(), XServerReachable)) {
        std::cerr << "scribeline desk: " << *problem << '\n';
        return 1;
    }
    DeskOptions options;
    for (const std::string& dem : command.dems) {
        options.dems.emplace_back(dem);
    }
    if (!command.project.empty()) {
        options.project = command.project;
    }
    options.outDir = command.out.empty() ? std::filesystem::path("scribeline-out") / "desk"
                                         : std::filesystem::path(command.out);
    try {
        // The terrain first: a bad DEM is reported before any window opens.
        (void)LoadDeskTerrain(options);
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Scribeline"));
        QApplication::setQuitOnLastWindowClosed(false);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect r = screen->availableGeometry();
            options.screen = Rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        }
        Desk desk(options);
        desk.Show();
        std::cout << "scribeline desk: writing to " << desk.OutDir().string() << '\n' << std::flush;
        return QApplication::exec();
    } catch (const std::exception& e) {
        std::cerr << "scribeline desk: " << e.what() << '\n';
        return 1;
    }
}

} // namespace scribeline::app
