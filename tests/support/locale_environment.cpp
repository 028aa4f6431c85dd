// Linked into the test binaries whose number texts must not depend on the process locale:
// with SCRIBELINE_TEST_LOCALE set (ctest's "<binary>_locale" runs set it to de_DE.UTF-8) the
// whole binary runs under that locale, as a Qt or QGIS process with a German user would.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

class LocaleEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        const char* name = std::getenv("SCRIBELINE_TEST_LOCALE");
        if (name == nullptr || *name == '\0') {
            return;
        }
        if (std::setlocale(LC_ALL, name) == nullptr) {
            if (std::getenv("CI") != nullptr) {
                FAIL() << "the locale " << name << " is not installed (package locales-all)";
            }
            GTEST_SKIP() << "the locale " << name << " is not installed";
        }
        // The run only proves something when the locale really writes a decimal comma.
        ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",")
            << name << " does not use a decimal comma";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

const ::testing::Environment* const kLocale =
    ::testing::AddGlobalTestEnvironment(new LocaleEnvironment);

} // namespace
