#include "hosts/gis/workspace.hpp"

#include "hosts/gis/field_mapping.hpp"
#include "hosts/gis/spatial_reference.hpp"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

namespace scribeline::gis {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEditFolder = ".scribeline-edit";
constexpr const char* kJournal = "commit.journal";
constexpr const char* kJournalHeader = "scribeline-commit 1";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string withoutShp(const std::string& name) {
    if (name.size() > 4 && lower(name.substr(name.size() - 4)) == ".shp") {
        return name.substr(0, name.size() - 4);
    }
    return name;
}

bool validClassName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || c == '\t' || c == '\n' || c == '\r' || c == '\0';
    });
}

// The .shp of class `name` in `folder`, found whatever the case of its letters.
std::optional<fs::path> findShapefile(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    const fs::path exact = folder / (name + ".shp");
    if (fs::is_regular_file(exact, ec)) {
        return exact;
    }
    const std::string wanted = lower(name + ".shp");
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (lower(entry.path().filename().string()) == wanted && entry.is_regular_file(ec)) {
            return entry.path();
        }
    }
    return std::nullopt;
}

OGRwkbGeometryType ogrTypeFor(const GeometryDef& def, bool shapefile) {
    OGRwkbGeometryType type = wkbUnknown;
    switch (def.geometryType) {
    case GeometryType::Point:
        type = wkbPoint;
        break;
    case GeometryType::Multipoint:
        type = wkbMultiPoint;
        break;
    case GeometryType::Polyline:
        type = shapefile ? wkbLineString : wkbMultiLineString;
        break;
    case GeometryType::Polygon:
        type = shapefile ? wkbPolygon : wkbMultiPolygon;
        break;
    default:
        throw PortError("CreateFeatureClass",
                        "geometry type " + std::to_string(static_cast<int>(def.geometryType)) +
                            " cannot be stored in a feature class here");
    }
    return def.hasZ ? wkbSetZ(type) : type;
}

bool processAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// "<class>~<pid>-<n>.<ext>" gives pid; -1 when the name is not a working copy's.
long workingCopyOwner(const std::string& filename) {
    const auto tilde = filename.rfind('~');
    if (tilde == std::string::npos) {
        return -1;
    }
    try {
        return std::stol(filename.substr(tilde + 1));
    } catch (const std::exception&) {
        return -1;
    }
}

} // namespace

void SyncPath(const fs::path& path, const std::string& operation) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw PortError(operation, "cannot open " + path.string() + ": " + std::strerror(errno));
    }
    const int rc = ::fsync(fd);
    const int saved = errno;
    ::close(fd);
    if (rc != 0) {
        throw PortError(operation, "cannot sync " + path.string() + ": " + std::strerror(saved));
    }
}

void WriteFileAtomically(const fs::path& path, const std::string& contents) {
    fs::path temporary = path;
    temporary += ".tmp~" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw PortError("WriteFile",
                        "cannot create " + temporary.string() + ": " + std::strerror(errno));
    }
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int saved = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            throw PortError("WriteFile",
                            "cannot write " + temporary.string() + ": " + std::strerror(saved));
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temporary.c_str());
        throw PortError("WriteFile", "cannot sync " + temporary.string());
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        throw PortError("WriteFile",
                        "cannot replace " + path.string() + ": " + std::strerror(saved));
    }
    SyncPath(path.parent_path().empty() ? fs::path(".") : path.parent_path(), "WriteFile");
}

// ---- Workspace -----------------------------------------------------------------------------

std::shared_ptr<Workspace> Workspace::OpenShapefileFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        throw PortError("OpenFromFile", "there is no folder " + folder.string());
    }
    EnsureGdal();
    std::shared_ptr<Workspace> ws(new Workspace);
    ws->kind_ = StoreKind::Shapefile;
    ws->path_ = folder;
    ws->recover();
    return ws;
}

std::shared_ptr<Workspace> Workspace::OpenDataSource(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        throw PortError("OpenWorkspace", "there is no data source " + path.string());
    }
    EnsureGdal();
    GdalErrorTrap trap;
    std::shared_ptr<Workspace> ws(new Workspace);
    ws->path_ = path;
    // A GeoPackage without tables opens only for update, so ask the drivers first.
    GDALDriverH driver = GDALIdentifyDriver(path.c_str(), nullptr);
    const bool geopackage =
        driver != nullptr && std::strcmp(GDALGetDriverShortName(driver), "GPKG") == 0;
    if (geopackage && ::access(path.c_str(), W_OK) == 0) {
        ws->dataset_ = OpenVector(path.string(), true);
        ws->kind_ = StoreKind::GeoPackage;
    } else {
        ws->dataset_ = OpenVector(path.string(), false);
        ws->kind_ = StoreKind::ReadOnly;
    }
    if (!ws->dataset_) {
        trap.Fail("OpenWorkspace", "no vector driver reads " + path.string());
    }
    return ws;
}

std::shared_ptr<Workspace> Workspace::CreateGeoPackage(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(path, ec)) {
        throw PortError("CreateWorkspace", path.string() + " already exists");
    }
    EnsureGdal();
    GdalErrorTrap trap;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    DatasetPtr created(
        driver != nullptr ? driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
    if (!created) {
        trap.Fail("CreateWorkspace", "cannot create the GeoPackage " + path.string());
    }
    created.reset();
    return OpenDataSource(path);
}

Workspace::~Workspace() {
    if (editing_) {
        if (kind_ == StoreKind::GeoPackage && dataset_) {
            dataset_->RollbackTransaction();
        }
        for (auto& [name, fc] : classes_) {
            fc->DropWorkingCopy();
        }
    }
}

fs::path Workspace::EditFolder() const {
    return path_ / kEditFolder;
}

std::vector<std::string> Workspace::FeatureClassNames() const {
    std::vector<std::string> names;
    if (kind_ == StoreKind::Shapefile) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(path_, ec)) {
            if (entry.is_regular_file(ec) && lower(entry.path().extension().string()) == ".shp") {
                names.push_back(entry.path().stem().string());
            }
        }
    } else {
        for (int i = 0; i < dataset_->GetLayerCount(); ++i) {
            OGRLayer* layer = dataset_->GetLayer(i);
            if (layer->GetGeomType() != wkbNone) {
                names.emplace_back(layer->GetName());
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::shared_ptr<FeatureClass> Workspace::Class(const std::string& requested) {
    const std::string name = kind_ == StoreKind::Shapefile ? withoutShp(requested) : requested;
    const std::string key = lower(name);
    if (auto it = classes_.find(key); it != classes_.end()) {
        return it->second;
    }
    std::shared_ptr<FeatureClass> fc;
    if (kind_ == StoreKind::Shapefile) {
        const auto shp = validClassName(name) ? findShapefile(path_, name) : std::nullopt;
        if (!shp) {
            throw PortError("OpenFeatureClass",
                            "no feature class named \"" + name + "\" in " + path_.string());
        }
        fc = FeatureClass::OpenShapefile(shared_from_this(), *shp);
    } else {
        OGRLayer* layer = dataset_->GetLayerByName(name.c_str());
        if (layer == nullptr) {
            throw PortError("OpenFeatureClass",
                            "no feature class named \"" + name + "\" in " + path_.string());
        }
        fc = FeatureClass::OpenLayer(shared_from_this(), dataset_.get(), layer->GetName(), kind_);
    }
    classes_[key] = fc;
    return fc;
}

std::shared_ptr<IFeatureClass> Workspace::OpenFeatureClass(const std::string& name) {
    return Class(name);
}

std::shared_ptr<IFeatureClass> Workspace::CreateFeatureClass(const std::string& requested,
                                                             const Fields& fields,
                                                             const std::string& shapeFieldName,
                                                             const std::string& /*configKeyword*/) {
    const bool shapefile = kind_ == StoreKind::Shapefile;
    const std::string name = shapefile ? withoutShp(requested) : requested;
    if (kind_ == StoreKind::ReadOnly) {
        throw PortError("CreateFeatureClass", path_.string() + " is read-only");
    }
    if (!validClassName(name)) {
        throw PortError("CreateFeatureClass", "\"" + requested + "\" is not a valid class name");
    }
    if (kind_ == StoreKind::GeoPackage && editing_) {
        throw PortError("CreateFeatureClass", "classes cannot be created while editing");
    }
    // A class whose files were deleted behind our back may be created again.
    const std::string key = lower(name);
    if (auto it = classes_.find(key); it != classes_.end()) {
        if (shapefile && !findShapefile(path_, name)) {
            classes_.erase(it);
        }
    }
    const bool exists = shapefile ? findShapefile(path_, name).has_value()
                                  : dataset_->GetLayerByName(name.c_str()) != nullptr;
    if (exists) {
        throw PortError("CreateFeatureClass", "a feature class named \"" + name +
                                                  "\" already exists in " + path_.string());
    }

    const Field* shape = nullptr;
    std::vector<const Field*> attributes;
    std::set<std::string> seen;
    for (const auto& f : fields.fields) {
        if (f.type == FieldType::OID) {
            continue; // the store makes its own
        }
        if (!seen.insert(lower(f.name)).second) {
            throw PortError("CreateFeatureClass", "the field name \"" + f.name + "\" is repeated");
        }
        if (f.type == FieldType::Geometry) {
            if (shape != nullptr) {
                throw PortError("CreateFeatureClass", "more than one geometry field");
            }
            shape = &f;
        } else {
            attributes.push_back(&f);
        }
    }
    if (shape == nullptr || !shape->geometryDef) {
        throw PortError("CreateFeatureClass",
                        "the fields hold no geometry field with a definition");
    }
    if (!shapeFieldName.empty() && lower(shape->name) != lower(shapeFieldName)) {
        throw PortError("CreateFeatureClass", "the geometry field is \"" + shape->name +
                                                  "\", not \"" + shapeFieldName + "\"");
    }
    std::vector<std::unique_ptr<OGRFieldDefn>> definitions;
    for (const auto* f : attributes) {
        definitions.push_back(OgrFieldFor(*f, shapefile));
    }
    const OGRwkbGeometryType type = ogrTypeFor(*shape->geometryDef, shapefile);
    std::shared_ptr<SpatialReference> reference;
    if (shape->geometryDef->spatialReference) {
        reference = SpatialReference::Share(*shape->geometryDef->spatialReference);
    }
    const OGRSpatialReference* srs =
        reference && !reference->IsUnknown() ? &reference->Ogr() : nullptr;

    GdalErrorTrap trap;
    if (shapefile) {
        const fs::path shp = path_ / (name + ".shp");
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        DatasetPtr created(driver->Create(shp.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        if (!created) {
            trap.Fail("CreateFeatureClass", "cannot create " + shp.string());
        }
        const char* const options[] = {"ENCODING=UTF-8", nullptr};
        OGRLayer* layer = created->CreateLayer(name.c_str(), const_cast<OGRSpatialReference*>(srs),
                                               type, const_cast<char**>(options));
        bool ok = layer != nullptr;
        for (auto& d : definitions) {
            ok = ok && layer->CreateField(d.get(), FALSE) == OGRERR_NONE;
        }
        created.reset();
        if (!ok) {
            for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"}) {
                fs::path file = shp;
                file.replace_extension(ext);
                std::error_code ec;
                fs::remove(file, ec);
            }
            trap.Fail("CreateFeatureClass", "cannot create the fields of " + shp.string());
        }
        SyncPath(path_, "CreateFeatureClass");
    } else {
        std::string geometryName = "GEOMETRY_NAME=" + shape->name;
        const char* const options[] = {geometryName.c_str(), nullptr};
        OGRLayer* layer = dataset_->CreateLayer(name.c_str(), const_cast<OGRSpatialReference*>(srs),
                                                type, const_cast<char**>(options));
        bool ok = layer != nullptr;
        for (auto& d : definitions) {
            ok = ok && layer->CreateField(d.get(), FALSE) == OGRERR_NONE;
        }
        if (!ok) {
            if (layer != nullptr) {
                for (int i = 0; i < dataset_->GetLayerCount(); ++i) {
                    if (dataset_->GetLayer(i) == layer) {
                        dataset_->DeleteLayer(i);
                        break;
                    }
                }
            }
            trap.Fail("CreateFeatureClass", "cannot create \"" + name + "\" in " + path_.string());
        }
        dataset_->FlushCache();
    }
    return Class(name);
}

void Workspace::StartEdit() {
    if (kind_ == StoreKind::ReadOnly) {
        throw PortError("StartEditing", path_.string() + " is read-only");
    }
    if (editing_) {
        throw PortError("StartEditing", path_.string() + " is already being edited");
    }
    if (kind_ == StoreKind::GeoPackage) {
        GdalErrorTrap trap;
        if (dataset_->StartTransaction(FALSE) != OGRERR_NONE) {
            trap.Fail("StartEditing", "cannot start a transaction on " + path_.string());
        }
    } else if (::access(path_.c_str(), W_OK) != 0) {
        throw PortError("StartEditing", "the folder " + path_.string() + " is not writable");
    }
    editing_ = true;
}

void Workspace::StopEdit(bool saveEdits) {
    if (!editing_) {
        throw PortError("StopEditing", path_.string() + " is not being edited");
    }
    if (kind_ == StoreKind::GeoPackage) {
        GdalErrorTrap trap;
        const OGRErr err =
            saveEdits ? dataset_->CommitTransaction() : dataset_->RollbackTransaction();
        if (err != OGRERR_NONE) {
            trap.Fail("StopEditing", std::string("cannot ") + (saveEdits ? "commit" : "roll back") +
                                         " the edits of " + path_.string());
        }
    } else if (saveEdits) {
        save(); // on failure the session stays open with every edit kept
    } else {
        for (auto& [name, fc] : classes_) {
            fc->DropWorkingCopy();
        }
        std::error_code ec;
        fs::remove(EditFolder(), ec); // only when empty
    }
    editing_ = false;
}

void Workspace::save() {
    std::vector<std::shared_ptr<FeatureClass>> dirty;
    for (auto& [name, fc] : classes_) {
        if (fc->HasWorkingCopy()) {
            dirty.push_back(fc);
        }
    }
    if (dirty.empty()) {
        return;
    }
    const fs::path editFolder = EditFolder();
    std::vector<std::pair<fs::path, fs::path>> renames;
    for (auto& fc : dirty) {
        for (auto& r : fc->SealWorkingCopy()) {
            renames.push_back(std::move(r));
        }
    }
    SyncPath(editFolder, "StopEditing");
    std::ostringstream journal;
    journal << kJournalHeader << '\n';
    for (const auto& [copy, original] : renames) {
        journal << "rename\t" << copy.filename().string() << '\t' << original.filename().string()
                << '\n';
    }
    journal << "end\n";
    // The commit point: once the journal is on disk the save finishes, now or at the next open.
    WriteFileAtomically(editFolder / kJournal, journal.str());

    for (auto& fc : dirty) {
        fc->CloseOriginal();
        // A spatial index of the old records would mislead readers of the new ones.
        for (const char* ext : {".qix", ".sbn", ".sbx"}) {
            fs::path index = fc->Path();
            index.replace_extension(ext);
            std::error_code ec;
            fs::remove(index, ec);
        }
    }
    std::string failure;
    for (const auto& [copy, original] : renames) {
        if (::rename(copy.c_str(), original.c_str()) != 0 && failure.empty()) {
            failure = "cannot replace " + original.string() + ": " + std::strerror(errno);
        }
    }
    if (!failure.empty()) {
        // The journal stays: the next open of the folder finishes the save.
        editing_ = false;
        throw PortError("StopEditing", failure);
    }
    SyncPath(path_, "StopEditing");
    std::error_code ec;
    fs::remove(editFolder / kJournal, ec);
    for (auto& fc : dirty) {
        fc->DropWorkingCopy();
    }
    fs::remove(editFolder, ec); // only when empty
}

void Workspace::recover() {
    const fs::path editFolder = EditFolder();
    std::error_code ec;
    if (!fs::is_directory(editFolder, ec)) {
        return;
    }
    const fs::path journalPath = editFolder / kJournal;
    if (fs::exists(journalPath, ec)) {
        std::ifstream in(journalPath);
        std::string line;
        std::vector<std::pair<std::string, std::string>> renames;
        bool header = false;
        bool complete = false;
        while (std::getline(in, line)) {
            if (!header) {
                header = line == kJournalHeader;
                if (!header) {
                    break;
                }
                continue;
            }
            if (line == "end") {
                complete = true;
                break;
            }
            std::istringstream fields(line);
            std::string verb, from, to;
            if (std::getline(fields, verb, '\t') && std::getline(fields, from, '\t') &&
                std::getline(fields, to) && verb == "rename") {
                renames.emplace_back(from, to);
            }
        }
        if (!complete) {
            throw PortError("OpenFromFile", "the save journal " + journalPath.string() +
                                                " is damaged; the folder needs checking by hand");
        }
        for (const auto& [from, to] : renames) {
            const fs::path source = editFolder / from;
            if (fs::exists(source, ec) && ::rename(source.c_str(), (path_ / to).c_str()) != 0) {
                throw PortError("OpenFromFile", "cannot finish an interrupted save: " +
                                                    std::string(std::strerror(errno)));
            }
        }
        SyncPath(path_, "OpenFromFile");
        fs::remove(journalPath, ec);
    }
    // Working copies whose process is gone never reached a journal: they are not saved edits.
    for (const auto& entry : fs::directory_iterator(editFolder, ec)) {
        const std::string filename = entry.path().filename().string();
        const long owner = workingCopyOwner(filename);
        if (owner < 0 || !processAlive(owner)) {
            std::error_code ignored;
            fs::remove(entry.path(), ignored);
        }
    }
    fs::remove(editFolder, ec);
}

// ---- registry and factory --------------------------------------------------------------------

namespace {

std::string keyOf(const fs::path& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
    std::string key = (ec ? path : canonical).lexically_normal().string();
    while (key.size() > 1 && key.back() == '/') {
        key.pop_back();
    }
    return key;
}

} // namespace

std::shared_ptr<Workspace> WorkspaceRegistry::ShapefileFolder(const fs::path& folder) {
    const std::string key = keyOf(folder);
    if (auto it = workspaces_.find(key); it != workspaces_.end()) {
        return it->second;
    }
    auto ws = Workspace::OpenShapefileFolder(fs::path(key));
    workspaces_[key] = ws;
    return ws;
}

std::shared_ptr<Workspace> WorkspaceRegistry::DataSource(const fs::path& path) {
    const std::string key = keyOf(path);
    if (auto it = workspaces_.find(key); it != workspaces_.end()) {
        return it->second;
    }
    auto ws = Workspace::OpenDataSource(fs::path(key));
    workspaces_[key] = ws;
    return ws;
}

std::shared_ptr<Workspace> WorkspaceRegistry::Open(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return ShapefileFolder(path);
    }
    if (lower(path.extension().string()) == ".shp") {
        return ShapefileFolder(path.parent_path().empty() ? fs::path(".") : path.parent_path());
    }
    return DataSource(path);
}

std::shared_ptr<IFeatureWorkspace>
ShapefileWorkspaceFactory::OpenFromFile(const std::string& folder) {
    return registry_.ShapefileFolder(folder);
}

} // namespace scribeline::gis
