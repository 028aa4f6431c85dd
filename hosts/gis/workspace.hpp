// Workspaces: a folder of shapefiles, a GeoPackage, or any other OGR vector source (read
// only), and the edit sessions on them.
//
// Saving an edit session of a shapefile folder is crash-safe. Every class written during the
// session works on a copy of its files in the folder's ".scribeline-edit" subfolder. Saving
// closes and syncs the copies, writes a journal of the renames that put them in place (the
// commit point), renames the copies over the originals (.shp, then .dbf, then .shx, so that a
// reader in between sees the old features, every one of them intact) and removes the journal.
// Opening the folder again finishes the renames of a journal left by a crash and deletes
// copies that never reached a journal. A GeoPackage session is one SQLite transaction.
#pragma once

#include "command/map_port.hpp"
#include "hosts/gis/feature_class.hpp"
#include "hosts/gis/gdal_support.hpp"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace scribeline::gis {

class Workspace final : public IFeatureWorkspace, public std::enable_shared_from_this<Workspace> {
public:
    // Raises PortError when `folder` is no folder. Recovers an interrupted save first.
    static std::shared_ptr<Workspace> OpenShapefileFolder(const std::filesystem::path& folder);
    // A GeoPackage (writable when the file is) or another OGR vector source (read only).
    static std::shared_ptr<Workspace> OpenDataSource(const std::filesystem::path& path);
    // Creates an empty GeoPackage; raises PortError when the file exists.
    static std::shared_ptr<Workspace> CreateGeoPackage(const std::filesystem::path& path);
    ~Workspace() override;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // ---- IWorkspace / IFeatureWorkspace ----
    [[nodiscard]] std::string PathName() const override { return path_.string(); }
    std::shared_ptr<IFeatureClass> CreateFeatureClass(const std::string& name, const Fields& fields,
                                                      const std::string& shapeFieldName,
                                                      const std::string& configKeyword) override;
    std::shared_ptr<IFeatureClass> OpenFeatureClass(const std::string& name) override;

    // ---- host side ----
    [[nodiscard]] StoreKind Kind() const { return kind_; }
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Names of the feature classes the workspace holds, sorted.
    [[nodiscard]] std::vector<std::string> FeatureClassNames() const;
    // The class as a concrete object (OpenFeatureClass without the cast).
    std::shared_ptr<FeatureClass> Class(const std::string& name);

    // Edit session (driven by the editor). StartEdit raises PortError for read-only sources
    // and when a session is already open; StopEdit when none is.
    [[nodiscard]] bool IsEditing() const { return editing_; }
    void StartEdit();
    void StopEdit(bool save);

    // The folder that holds working copies and the save journal of a shapefile folder.
    [[nodiscard]] std::filesystem::path EditFolder() const;
    // The GeoPackage or read-only dataset; null for shapefile folders. Borrowed.
    [[nodiscard]] GDALDataset* Dataset() const { return dataset_.get(); }

private:
    Workspace() = default;
    void save();
    void recover();

    StoreKind kind_ = StoreKind::Shapefile;
    std::filesystem::path path_;
    DatasetPtr dataset_;
    bool editing_ = false;
    std::map<std::string, std::shared_ptr<FeatureClass>> classes_; // by lower-case name
};

// One workspace object per path, so that classes opened twice are the same object and an
// edit session sees every class of its workspace.
class WorkspaceRegistry {
public:
    std::shared_ptr<Workspace> ShapefileFolder(const std::filesystem::path& folder);
    std::shared_ptr<Workspace> DataSource(const std::filesystem::path& path);
    // A folder opens as a shapefile workspace, a file as a data source.
    std::shared_ptr<Workspace> Open(const std::filesystem::path& path);

private:
    std::map<std::string, std::shared_ptr<Workspace>> workspaces_;
};

class ShapefileWorkspaceFactory final : public IShapefileWorkspaceFactory {
public:
    explicit ShapefileWorkspaceFactory(WorkspaceRegistry& registry) : registry_(registry) {}
    // Raises PortError when the folder does not exist.
    std::shared_ptr<IFeatureWorkspace> OpenFromFile(const std::string& folder) override;

private:
    WorkspaceRegistry& registry_;
};

// Writes the file through a temporary sibling and an atomic rename, synced. Internal helper,
// shared with the project file writer.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& contents);
// fsync of a file or folder; raises PortError(operation) on failure.
void SyncPath(const std::filesystem::path& path, const std::string& operation);

} // namespace scribeline::gis
