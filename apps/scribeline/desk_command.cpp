#include "apps/scribeline/desk_command.hpp"

#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/display.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <chrono>

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
        if (command.open) {
            desk.PressCommand();
        }
        if (!command.screenshot.empty() && command.open) {
            // The map shows what the globe shows, as the toolbar's button makes it.
            desk.Command().Window().ctl.toolbarScribeline.UserClick("setarcview");
        }
        std::cout << "scribeline desk: writing to " << desk.OutDir().string() << '\n' << std::flush;
        if (!command.screenshot.empty()) {
            // Once the globe's full-quality frame (with its drape) is shown.
            QTimer::singleShot(100, [&desk, &command] {
                (void)desk.Frames().WaitShown(std::chrono::seconds(30));
                QApplication::processEvents();
                const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
                if (!shot.save(QString::fromStdString(command.screenshot))) {
                    std::cerr << "scribeline desk: cannot write " << command.screenshot << '\n';
                    QApplication::exit(1);
                    return;
                }
                desk.RequestQuit();
            });
        }
        return QApplication::exec();
    } catch (const std::exception& e) {
        std::cerr << "scribeline desk: " << e.what() << '\n';
        return 1;
    }
}

} // namespace scribeline::app
