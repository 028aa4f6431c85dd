#include "errors/ErrorHandling.hpp"
#include "platform/types.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace scribeline {
namespace {

class ErrorHandlingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorHandling::Clear();
        ErrorHandling::SetDebugSink(
            [this](const ErrorHandling::ErrorReport& r) { reports.push_back(r); });
    }
    void TearDown() override { ErrorHandling::SetDebugSink({}); }
    std::vector<ErrorHandling::ErrorReport> reports;
};

TEST_F(ErrorHandlingTest, RoutineClearsThePendingErrorAndShowsNothing) {
    ErrorHandling::Raise({ErrorHandling::kErrRuntime, "Scribeline", "boom"});
    ASSERT_EQ(ErrorHandling::CurrentError().number, ErrorHandling::kErrRuntime);
    ErrorHandling::HandleError(true, "ICommand_Checked Scribeline ", 5, "Scribeline", "boom",
                               ErrorHandling::kSilent);
    EXPECT_EQ(ErrorHandling::CurrentError().number, 0);
    EXPECT_TRUE(ErrorHandling::CurrentError().description.empty());
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_TRUE(reports[0].outermost);
    EXPECT_EQ(reports[0].location, "ICommand_Checked Scribeline ");
    EXPECT_EQ(reports[0].mode, ErrorHandling::kSilent);
}

TEST_F(ErrorHandlingTest, TwoFailuresInARowLeaveNothingPending) {
    for (int i = 0; i < 2; ++i) {
        ErrorHandling::Raise({ErrorHandling::kErrAutomation, "GetCamera", "gone"});
        ErrorHandling::HandleError(true, "x", ErrorHandling::kErrAutomation, "GetCamera", "gone",
                                   ErrorHandling::kSilent);
        EXPECT_EQ(ErrorHandling::CurrentError().number, 0);
    }
    EXPECT_EQ(reports.size(), 2U);
}

TEST_F(ErrorHandlingTest, LineTextNamesNumberedStatementsOnly) {
    EXPECT_EQ(ErrorHandling::LineText(0), "");
    EXPECT_EQ(ErrorHandling::LineText(40), "Line : 40");
}

TEST_F(ErrorHandlingTest, DescribeSortsFailuresByKind) {
    struct Case {
        std::exception_ptr failure;
        long number;
        std::string source;
        std::string description;
    };
    const std::vector<Case> cases = {
        {std::make_exception_ptr(PortError("GetRenderHwnd", "no client")),
         ErrorHandling::kErrAutomation, "GetRenderHwnd", "GetRenderHwnd: no client"},
        {std::make_exception_ptr(std::runtime_error("bad")), ErrorHandling::kErrRuntime,
         "Scribeline", "bad"},
        {std::make_exception_ptr(42), ErrorHandling::kErrUnknown, "Scribeline", "unknown failure"},
        {nullptr, ErrorHandling::kErrUnknown, "Scribeline", "unknown failure"},
    };
    for (const auto& c : cases) {
        const auto info = ErrorHandling::Describe(c.failure, "Scribeline");
        EXPECT_EQ(info.number, c.number) << c.description;
        EXPECT_EQ(info.source, c.source) << c.description;
        EXPECT_EQ(info.description, c.description);
    }
}

} // namespace
} // namespace scribeline
