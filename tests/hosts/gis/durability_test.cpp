// A save of an edit session survives the process being killed at any moment: child processes
// are killed with SIGKILL by a timer at random moments inside StopEditing(true), and after each
// kill ogrinfo and shpdump still read every feature of the previous save unchanged.
#include "hosts/gis/editor.hpp"
#include "hosts/gis/workspace.hpp"
#include "tests/hosts/gis/test_support.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

namespace scribeline::gis {
namespace {

constexpr int kBatch = 40;

Fields layerFields() {
    Fields fields;
    Field shape{"Shape", FieldType::Geometry};
    shape.geometryDef = GeometryDef{GeometryType::Polyline, true, nullptr};
    fields.AddField(shape);
    fields.AddField(Field{"_Name", FieldType::String, 20});
    fields.AddField(Field{"_Descrip", FieldType::String, 50});
    return fields;
}

void storeBatch(IFeatureClass& fc, int round) {
    for (int i = 0; i < kBatch; ++i) {
        auto f = fc.CreateFeature();
        Geometry g = Geometry::empty(GeometryType::Polyline);
        g.zAware = true;
        for (int k = 0; k < 4; ++k) {
            g.AddPoint({round + i * 0.001, k * 0.5, 100.0 + k});
        }
        f->SetShape(g);
        std::string name = std::to_string(round);
        name.append("-").append(std::to_string(i));
        f->SetValue(2, name);
        f->SetValue(3, std::string("saved in round ").append(std::to_string(round)));
        f->Store();
    }
}

// Blocks of a tool's output that start with `marker` ("OGRFeature(" or "Shape:").
std::vector<std::string> blocks(const std::string& text, const std::string& marker) {
    std::vector<std::string> out;
    std::string separator(1, '\n');
    separator.append(marker);
    auto at = text.find(marker);
    while (at != std::string::npos) {
        const auto next = text.find(separator, at);
        std::string block =
            text.substr(at, next == std::string::npos ? std::string::npos : next - at);
        while (!block.empty() && (block.back() == '\n' || block.back() == ' ')) {
            block.pop_back(); // the last block also carries the tool's closing blank lines
        }
        out.push_back(std::move(block));
        at = next == std::string::npos ? next : next + 1;
    }
    return out;
}

struct Snapshot {
    std::vector<std::string> ogr;
    std::vector<std::string> shp;
};

Snapshot readWithTools(const std::filesystem::path& shp) {
    using testing::Quote;
    return {
        blocks(testing::Run(std::string(OGRINFO_EXECUTABLE) + " -al " + Quote(shp)), "OGRFeature("),
        blocks(testing::Run(std::string(SHPDUMP_EXECUTABLE) + " " + Quote(shp)), "Shape:")};
}

// Runs one save in a child process that a timer kills `delay` after StopEditing(true) began.
// Returns true when the child died inside StopEditing.
bool saveInChild(const std::filesystem::path& folder, int round, std::chrono::nanoseconds delay) {
    int done[2];
    if (::pipe(done) != 0) {
        ADD_FAILURE() << "pipe";
        return false;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(done[0]);
        WorkspaceRegistry registry;
        auto ws = registry.ShapefileFolder(folder);
        auto fc = ws->OpenFeatureClass("durable");
        Editor editor;
        editor.StartEditing(ws);
        storeBatch(*fc, round);
        sigevent event{};
        event.sigev_notify = SIGEV_SIGNAL;
        event.sigev_signo = SIGKILL;
        timer_t timer{};
        itimerspec when{};
        when.it_value.tv_sec = static_cast<time_t>(delay.count() / 1000000000);
        when.it_value.tv_nsec = static_cast<long>(delay.count() % 1000000000);
        if (when.it_value.tv_nsec == 0 && when.it_value.tv_sec == 0) {
            when.it_value.tv_nsec = 1;
        }
        if (::timer_create(CLOCK_MONOTONIC, &event, &timer) != 0 ||
            ::timer_settime(timer, 0, &when, nullptr) != 0) {
            ::_exit(3);
        }
        editor.StopEditing(true);
        const char byte = 'd';
        (void)!::write(done[1], &byte, 1);
        ::_exit(0);
    }
    ::close(done[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    char byte = 0;
    const bool finished = ::read(done[0], &byte, 1) == 1;
    ::close(done[0]);
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the child failed on its own";
    }
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && !finished;
}

TEST(DurabilityTest, SavedFeaturesSurviveSigkillInsideStopEditing) {
    testing::TempFolder folder;
    const auto shp = folder / "durable.shp";
    std::chrono::nanoseconds saveTime{};
    {
        WorkspaceRegistry registry;
        auto ws = registry.ShapefileFolder(folder.path());
        auto fc = ws->CreateFeatureClass("durable", layerFields(), "Shape", "");
        Editor editor;
        editor.StartEditing(ws);
        storeBatch(*fc, 0);
        const auto start = std::chrono::steady_clock::now();
        editor.StopEditing(true);
        saveTime = std::chrono::steady_clock::now() - start;
    }
    Snapshot saved = readWithTools(shp);
    ASSERT_EQ(saved.ogr.size(), static_cast<std::size_t>(kBatch));
    ASSERT_EQ(saved.shp.size(), static_cast<std::size_t>(kBatch));

    std::mt19937_64 random(20260101);
    int kills = 0;
    int round = 1;
    for (; kills < 24 && round <= 150; ++round) {
        // Around the measured save, so that some rounds finish and grow the file.
        std::uniform_int_distribution<long long> pick(0, saveTime.count() * 2);
        const bool killed =
            saveInChild(folder.path(), round, std::chrono::nanoseconds(pick(random)));
        kills += killed ? 1 : 0;

        // Straight after the kill, before this host had any chance to recover anything.
        const Snapshot now = readWithTools(shp);
        ASSERT_GE(now.ogr.size(), saved.ogr.size()) << "round " << round;
        ASSERT_GE(now.shp.size(), saved.shp.size()) << "round " << round;
        for (std::size_t i = 0; i < saved.ogr.size(); ++i) {
            ASSERT_EQ(now.ogr[i], saved.ogr[i]) << "round " << round << ", feature " << i;
            ASSERT_EQ(now.shp[i], saved.shp[i]) << "round " << round << ", shape " << i;
        }
        // Readers see a save entirely or not at all.
        ASSERT_TRUE(now.ogr.size() == saved.ogr.size() ||
                    now.ogr.size() == saved.ogr.size() + kBatch)
            << "round " << round << ": " << now.ogr.size();
        ASSERT_EQ(now.ogr.size(), now.shp.size()) << "round " << round;

        // Opening the folder finishes or forgets the interrupted save; either way it is whole.
        WorkspaceRegistry registry;
        auto fc = registry.ShapefileFolder(folder.path())->OpenFeatureClass("durable");
        const auto count = static_cast<std::size_t>(fc->FeatureCount(nullptr));
        ASSERT_TRUE(count == saved.ogr.size() || count == saved.ogr.size() + kBatch) << count;
        ASSERT_FALSE(std::filesystem::exists(folder / ".scribeline-edit")) << "round " << round;
        saved = readWithTools(shp);
        ASSERT_EQ(saved.ogr.size(), count);
    }
    EXPECT_GE(kills, 20) << "only " << kills << " kills inside StopEditing in " << round - 1
                         << " rounds (a save takes " << saveTime.count() << " ns)";
    RecordProperty("kills", kills);
    RecordProperty("rounds", round - 1);
}

// What a process killed right after the commit point leaves behind, made by hand: the next
// open of the folder finishes the save; copies without a journal are dropped.
TEST(DurabilityTest, OpeningTheFolderFinishesAJournalledSave) {
    testing::TempFolder folder;
    testing::TempFolder newer;
    {
        WorkspaceRegistry registry;
        auto fc = registry.ShapefileFolder(folder.path())
                      ->CreateFeatureClass("durable", layerFields(), "Shape", "");
        storeBatch(*fc, 0);
        auto next = registry.ShapefileFolder(newer.path())
                        ->CreateFeatureClass("durable", layerFields(), "Shape", "");
        storeBatch(*next, 0);
        storeBatch(*next, 1);
    }
    const auto edit = folder / ".scribeline-edit";
    std::filesystem::create_directories(edit);
    std::string journal = "scribeline-commit 1\n";
    for (const char* ext : {".shp", ".dbf", ".shx"}) {
        std::filesystem::copy_file(newer / (std::string("durable") + ext),
                                   edit / (std::string("durable~999999-1") + ext));
        journal += std::string("rename\tdurable~999999-1") + ext + "\tdurable" + ext + "\n";
    }
    // The .shp already went into place before the "crash".
    std::filesystem::rename(edit / "durable~999999-1.shp", folder / "durable.shp");
    std::ofstream(edit / "commit.journal") << journal << "end\n";
    std::ofstream(edit / "other~999999-2.shp") << "a copy that never reached a journal";

    WorkspaceRegistry registry;
    auto fc = registry.ShapefileFolder(folder.path())->OpenFeatureClass("durable");
    EXPECT_EQ(fc->FeatureCount(nullptr), 2 * kBatch);
    EXPECT_FALSE(std::filesystem::exists(edit));
    EXPECT_EQ(readWithTools(folder / "durable.shp").shp.size(),
              static_cast<std::size_t>(2 * kBatch));

    // A journal cut short is not guessed at.
    std::filesystem::create_directories(edit);
    std::ofstream(edit / "commit.journal") << "scribeline-commit 1\nrename\ta\tb\n";
    WorkspaceRegistry again;
    EXPECT_THROW(again.ShapefileFolder(folder.path()), PortError);
}

} // namespace
} // namespace scribeline::gis
