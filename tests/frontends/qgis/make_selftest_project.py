#!/usr/bin/python3
"""Writes the QGIS project the plugin's self-test opens: the Natural Earth world map that QGIS
ships (a writable copy, in the group the default map uses) and a small DEM, chosen as the
Scribeline globe's terrain, with the map's view on the DEM.
Usage: make_selftest_project.py WORLD_MAP.gpkg DEM.tif OUT.qgs"""
import sys

from qgis.core import (QgsApplication, QgsCoordinateReferenceSystem, QgsProject,
                       QgsRasterLayer, QgsReferencedRectangle, QgsVectorLayer)

world, dem_file, out = sys.argv[1:4]
app = QgsApplication([], False)
app.initQgis()
project = QgsProject.instance()
project.setCrs(QgsCoordinateReferenceSystem("EPSG:4326"))
group = project.layerTreeRoot().addGroup("Natural Earth")
# Lines over areas, the finer areas over the coarser.
for name in ("disputed_borders", "states_provinces", "countries"):
    layer = QgsVectorLayer("%s|layername=%s" % (world, name), name, "ogr")
    if not layer.isValid():
        sys.exit("cannot open %s in %s" % (name, world))
    project.addMapLayer(layer, False)
    group.addLayer(layer)
dem = QgsRasterLayer(dem_file, "dem", "gdal")
if not dem.isValid():
    sys.exit("cannot open " + dem_file)
project.addMapLayer(dem)
project.writeEntry("Scribeline", "/terrainLayer", dem.id())
project.viewSettings().setDefaultViewExtent(QgsReferencedRectangle(dem.extent(), dem.crs()))
if not project.write(out):
    sys.exit("cannot write " + out)
app.exitQgis()
