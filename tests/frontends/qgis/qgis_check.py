# Runs inside the real QGIS (qgis --code): drives the Scribeline plugin through QGIS's own
# widgets and writes what it saw, one "name=value" line each, to $SCRIBELINE_QGIS_CHECK_OUT,
# then quits QGIS with nothing left to save.
import os
import time

from qgis.core import QgsProject, QgsVectorLayer
from qgis.PyQt.QtCore import Qt, QTimer
from qgis.PyQt.QtWidgets import QAction, QApplication, QDockWidget
from qgis.utils import iface

OUT = os.environ["SCRIBELINE_QGIS_CHECK_OUT"]
LAYER = os.environ["SCRIBELINE_QGIS_CHECK_LAYER"]
lines = []


def note(name, value):
    lines.append("%s=%s" % (name, value))


def scribeline_windows():
    return [w for w in QApplication.topLevelWidgets()
            if w.isVisible() and w.windowTitle().startswith("Scribeline")]


def settle():
    for _ in range(5):
        QApplication.processEvents()


def run():
    try:
        main = iface.mainWindow()
        action = main.findChild(QAction, "mActionScribeline")
        note("action", action is not None)
        if action is None:
            return
        note("caption", action.text())
        note("tooltip", action.toolTip())
        note("enabled_empty_project", action.isEnabled())
        dock = main.findChild(QDockWidget, "ScribelineGlobeDock")
        note("dock", dock is not None)
        note("dock_right", dock is not None and main.dockWidgetArea(dock) == 2)

        layer = QgsVectorLayer(LAYER, "points", "ogr")
        note("layer_valid", layer.isValid())
        QgsProject.instance().addMapLayer(layer)
        settle()
        note("enabled_with_layer", action.isEnabled())

        action.trigger()
        settle()
        windows = scribeline_windows()
        note("windows_after_press", len(windows))
        note("window_is_tool_of_main", len(windows) == 1 and windows[0].parentWidget() is main
             and windows[0].windowType() == Qt.Tool)
        note("globe_in_dock", dock is not None and len(dock.widget().children()) > 1)

        QgsProject.instance().clear()
        settle()
        note("windows_after_close", len(scribeline_windows()))
        note("enabled_after_close", action.isEnabled())
    except Exception as e:  # the report says what went wrong; QGIS must still quit
        note("error", repr(e))
    finally:
        with open(OUT, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        QgsProject.instance().setDirty(False)
        iface.actionExit().trigger()


QTimer.singleShot(200, run)
