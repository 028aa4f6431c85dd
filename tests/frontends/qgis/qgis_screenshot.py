# Runs inside the real QGIS (qgis --code): opens the Natural Earth countries that QGIS ships,
# presses the Scribeline button, lets the globe dock draw, saves a picture of the main window
# to $SCRIBELINE_QGIS_SCREENSHOT and quits with nothing to save. The README's picture.
import os

from qgis.core import QgsProject, QgsVectorLayer
from qgis.PyQt.QtCore import QTimer
from qgis.PyQt.QtWidgets import QAction, QDockWidget
from qgis.utils import iface

OUT = os.environ["SCRIBELINE_QGIS_SCREENSHOT"]


def press():
    layer = QgsVectorLayer("/usr/share/qgis/resources/data/world_map.gpkg|layername=countries",
                           "countries", "ogr")
    QgsProject.instance().addMapLayer(layer)
    main = iface.mainWindow()
    main.showMaximized()
    main.findChild(QAction, "mActionScribeline").trigger()
    dock = main.findChild(QDockWidget, "ScribelineGlobeDock")
    if dock is not None:
        dock.setMinimumWidth(520)
    QTimer.singleShot(8000, shoot)


def shoot():
    iface.mainWindow().grab().save(OUT)
    QgsProject.instance().setDirty(False)
    iface.actionExit().trigger()


QTimer.singleShot(500, press)
