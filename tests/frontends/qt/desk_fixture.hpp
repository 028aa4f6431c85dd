// A desk (offscreen, 1600x900, no drape) with the digitizer window open, in a temporary folder
// of its own that goes with the test: the start of every test of the window's widgets.
#pragma once

#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/session_driver.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace scribeline::frontend {

class DeskWithWindow : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = std::filesystem::temp_directory_path() /
               ("scribeline-desk-test-" + std::to_string(std::random_device{}()));
        DeskOptions options;
        options.outDir = out_;
        options.moduleFolder = out_; // screen shots stay in the test's folder
        options.screen = Rect{0, 0, 1600, 900};
        options.drape = false;
        options.quit = [] {};
        desk_ = std::make_unique<Desk>(options);
        desk_->Show();
        desk_->PressCommand();
        SessionDriver::Wait(std::chrono::milliseconds(20));
        ASSERT_TRUE(form().IsLoaded());
    }
    void TearDown() override {
        desk_.reset();
        std::error_code ec;
        std::filesystem::remove_all(out_, ec);
    }
    frmGE2Arc& form() { return desk_->Command().Window(); }

    std::filesystem::path out_;
    std::unique_ptr<Desk> desk_;
};

} // namespace scribeline::frontend
