#include "hosts/stack/headless_stack.hpp"

#include "hosts/gis/headless.hpp"
#include "hosts/globe/headless_attach.hpp"

#include <utility>

namespace scribeline::stack {

HeadlessStack::HeadlessStack(HeadlessStackOptions options)
    : desktop_(std::make_unique<desktop::HeadlessDesktop>(std::move(options.desktop))) {
    if (options.globe) {
        globe_ = globe::StartHeadlessGlobe(*desktop_, std::move(*options.globe));
    }
    map_ = std::make_shared<gis::GisHost>(*desktop_,
                                          gis::HeadlessOptions(*desktop_, std::move(options.map)));
    try {
        if (options.project) {
            map_->LoadProject(*options.project);
        } else if (options.defaultMap) {
            const std::filesystem::path folder =
                options.mapFolder.empty() ? std::filesystem::path(desktop_->GetTempPath())
                                          : options.mapFolder;
            if (options.worldMapSource.empty()) {
                map_->LoadDefaultMap(folder);
            } else {
                map_->LoadDefaultMap(folder, options.worldMapSource);
            }
        }
    } catch (const std::exception& e) {
        throw MapLoadError(e.what());
    }
}

HeadlessStack::~HeadlessStack() {
    map_.reset();
    globe_.reset();
}

globe::SimulatedGlobe& HeadlessStack::Globe() {
    if (!globe_) {
        throw std::logic_error("HeadlessStack: started without a globe");
    }
    return *globe_;
}

} // namespace scribeline::stack
