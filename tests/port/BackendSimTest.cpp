// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "../ScratchDir.h"
#include "backend/Backend.h"
#include "file/System.h"

namespace lpt51 {
namespace {

namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
class StateDir : public ::testing::Test {
  protected:
    std::string path(const char* name) const { return scratch.path(name); }
    static std::string contents(const std::string& file) {
        return test::ScratchDir::contents(file);
    }
    static void write(const std::string& file, const std::string& text) {
        test::ScratchDir::put(file, text);
    }
    std::unique_ptr<Backend> openSim(const std::string& port,
                                     sim::ChipKind chip = sim::ChipKind::Part12V) {
        BackendOptions options;
        options.port = port;
        options.simChip = chip;
        options.virtualTiming = true;
        return Backend::open(options);
    }

    test::ScratchDir scratch;
};

TEST(SimBackend, ShapedByTheOptionsAndTimedByTheChosenClock) {
    BackendOptions options;
    options.port = "sim";
    options.simChip = sim::ChipKind::Part5V;
    options.simPort = sim::PortKind::OutputOnly;
    options.virtualTiming = true;
    auto backend = Backend::open(options);
    ASSERT_TRUE(backend->usable()) << backend->problem();
    EXPECT_TRUE(backend->problem().empty());
    ASSERT_NE(backend->virtualAdapter(), nullptr);
    EXPECT_EQ(backend->port(), backend->virtualAdapter());
    EXPECT_EQ(backend->virtualAdapter()->portKind(), sim::PortKind::OutputOnly);
    EXPECT_EQ(backend->virtualAdapter()->chip().kind, sim::ChipKind::Part5V);
    EXPECT_NE(dynamic_cast<VirtualClock*>(&backend->clock()), nullptr);
    EXPECT_EQ(backend->description(), "virtual adapter (AT89C51 5 V part, output-only port)");
    EXPECT_EQ(backend->persist(), std::nullopt);  // nothing to write without a file

    options = BackendOptions{};
    options.port = "sim";
    backend = Backend::open(options);
    EXPECT_NE(dynamic_cast<RealClock*>(&backend->clock()), nullptr);  // real timing by default
    EXPECT_EQ(backend->description(), "virtual adapter (AT89C51 12 V part, bidirectional port)");
}

TEST_F(StateDir, AMissingFileIsAnErasedChipWrittenOnlyWhenPersisted) {
    const std::string file = path("chip.state");
    auto backend = openSim("sim:" + file, sim::ChipKind::Part5V);
    ASSERT_TRUE(backend->usable()) << backend->problem();
    EXPECT_FALSE(fs::exists(file));
    const sim::ChipState erased = sim::ChipState::erased(sim::ChipKind::Part5V);
    EXPECT_EQ(backend->virtualAdapter()->chip().code, erased.code);
    EXPECT_EQ(backend->virtualAdapter()->chip().kind, sim::ChipKind::Part5V);
    EXPECT_EQ(backend->description(),
              "virtual adapter (AT89C51 5 V part, bidirectional port, state in " + file + ")");
    EXPECT_EQ(backend->persist(), std::nullopt);
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(StateDir, PersistedChipComesBackWholeAndTheFileKeepsItsKind) {
    const std::string file = path("chip.state");
    {
        auto backend = openSim("sim:" + file);
        sim::ChipState& chip = backend->virtualAdapter()->chip();
        for (std::size_t i = 0; i < chip.code.size(); ++i) {
            chip.code[i] = static_cast<std::uint8_t>(0xA5 ^ i ^ (i >> 8));
        }
        chip.lockBits = {true, false, true};
        chip.weakCells = {0x000, 0x7FF, 0xFFF};
        chip.stuckMask = 0x81;
        ASSERT_EQ(backend->persist(), std::nullopt);
    }
    // The state file, not --sim-chip, says what is in the socket.
    auto again = openSim("sim:" + file, sim::ChipKind::Empty);
    ASSERT_TRUE(again->usable()) << again->problem();
    const sim::ChipState& chip = again->virtualAdapter()->chip();
    EXPECT_EQ(chip.kind, sim::ChipKind::Part12V);
    for (std::size_t i = 0; i < chip.code.size(); ++i) {
        ASSERT_EQ(chip.code[i], static_cast<std::uint8_t>(0xA5 ^ i ^ (i >> 8))) << i;
    }
    EXPECT_EQ(chip.lockBits, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(chip.weakCells, (std::vector<std::uint16_t>{0x000, 0x7FF, 0xFFF}));
    EXPECT_EQ(chip.stuckMask, 0x81);
    // Saving replaces the file by rename: no temporary is left beside it.
    EXPECT_EQ(scratch.entries(), 1u);
}

TEST_F(StateDir, DamagedOrForeignFilesAreRefusedAndNeverOverwritten) {
    std::string good;
    {
        const std::string file = path("good.state");
        ASSERT_EQ(openSim("sim:" + file)->persist(), std::nullopt);
        good = contents(file);
    }
    const std::string truncated = good.substr(0, good.size() / 2);
    std::string badByte = good;
    badByte[badByte.size() - 3] = 'g';
    std::string extra = good + "00\n";
    std::string badKind = good;
    ASSERT_NE(badKind.find("kind "), std::string::npos);
    badKind[badKind.find("kind ") + 5] = 'Z';
    std::string oneCellChanged = good;  // a byte changed in the middle of the code lines
    oneCellChanged[good.size() / 2] = oneCellChanged[good.size() / 2] == '0' ? '1' : '0';
    const std::pair<const char*, std::string> files[] = {
        {"truncated", truncated},
        {"bad byte", badByte},
        {"extra byte", extra},
        {"bad kind", badKind},
        {"one cell changed", oneCellChanged},
        {"foreign", "hello, world\n"},
        {"empty", ""},
    };
    for (const auto& [what, text] : files) {
        const std::string file = path("damaged.state");
        write(file, text);
        auto backend = openSim("sim:" + file);
        EXPECT_FALSE(backend->usable()) << what;
        EXPECT_NE(backend->problem().find(file), std::string::npos) << what << backend->problem();
        EXPECT_EQ(backend->port(), nullptr) << what;
        EXPECT_EQ(backend->virtualAdapter(), nullptr) << what;
        EXPECT_EQ(backend->persist(), std::nullopt) << what;
        EXPECT_EQ(contents(file), text) << what;
    }
}

TEST_F(StateDir, AFileThatCannotBeWrittenIsReportedNotIgnored) {
    // A directory that is not there is no chip yet to be made: refused at once.
    const std::string missing = path("no-such-dir/chip.state");
    EXPECT_FALSE(openSim("sim:" + missing)->usable());
    EXPECT_FALSE(fs::exists(path("no-such-dir")));

    // One that goes while the chip is in use fails the save, said.
    fs::create_directory(path("gone"));
    const std::string file = path("gone/chip.state");
    auto backend = openSim("sim:" + file);
    ASSERT_TRUE(backend->usable()) << backend->problem();
    fs::remove_all(path("gone"));
    const auto error = backend->persist();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->rfind("Cannot save", 0), 0u) << *error;
    EXPECT_NE(error->find(file), std::string::npos) << *error;
    EXPECT_NE(error->find("No such file or directory"), std::string::npos) << *error;
}

TEST_F(StateDir, AFileReplacedSinceLoadingIsNotOverwritten) {
    const std::string file = path("chip.state");
    auto backend = openSim("sim:" + file);
    ASSERT_EQ(backend->persist(), std::nullopt);
    write(file, "the user's notes\n");
    const auto error = backend->persist();
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(file), std::string::npos) << *error;
    EXPECT_EQ(contents(file), "the user's notes\n");
}

TEST_F(StateDir, AnUnreadableFileIsRefusedWithTheSystemsReason) {
    // A directory where the file should be: opening it for reading fails
    // (or reads nothing), and it must not be mistaken for a missing file.
    const std::string file = path("a-directory");
    fs::create_directory(file);
    auto backend = openSim("sim:" + file);
    EXPECT_FALSE(backend->usable());
    EXPECT_NE(backend->problem().find(file), std::string::npos) << backend->problem();
    EXPECT_TRUE(fs::is_directory(file));
}

// Operations on a chip kept in a state file, as both front ends run them.
class StateOperations : public StateDir {
  protected:
    using Use = sim::ChipUse;
    using Kind = sim::ChipStateRefusal::Kind;

    void TearDown() override { file::SetSystem(nullptr); }

    // A chip with `first` at address 0 saved in `file` by an operation.
    void program(Backend& backend, std::uint8_t first) {
        ASSERT_EQ(backend.beginOperation(Use::Changes), std::nullopt);
        backend.virtualAdapter()->chip().code[0] = first;
        ASSERT_EQ(backend.endOperation(), std::nullopt);
    }
    static ino_t inode(const std::string& file) {
        struct stat info {};
        return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
    }

    const std::string file = path("chip.state");
};

TEST_F(StateOperations, OneProcessAtATimeAndEachStartsFromTheFileAsItIsNow) {
    auto window = openSim("sim:" + file);
    auto other = openSim("sim:" + file);
    program(*other, 0x12);

    // The window loaded the chip before the other wrote it: it reads again.
    ASSERT_EQ(window->beginOperation(Use::Reads), std::nullopt);
    EXPECT_EQ(window->virtualAdapter()->chip().code[0], 0x12);
    const auto refused = other->beginOperation(Use::Changes);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind, Kind::InUse);
    EXPECT_EQ(refused->message, "the virtual chip " + file + " is in use by another lpt51 (pid " +
                                    std::to_string(::getpid()) + ")");
    // A read-only operation never rewrites the file, whatever it left in memory.
    const ino_t before = inode(file);
    window->virtualAdapter()->chip().code[0] = 0x99;
    EXPECT_EQ(window->endOperation(), std::nullopt);
    EXPECT_EQ(inode(file), before);

    // Released: the other goes on, and sees no trace of the window's copy.
    program(*other, 0x34);
    ASSERT_EQ(window->beginOperation(Use::Changes), std::nullopt);
    EXPECT_EQ(window->virtualAdapter()->chip().code[0], 0x34);
    EXPECT_EQ(window->endOperation(), std::nullopt);
}

// The lock file lives as long as an operation holds it: nothing is left
// beside the state file, nor beside one a read never made.
TEST_F(StateOperations, TheLockFileGoesWithItsHolder) {
    const std::string lock = file + ".lock";
    auto backend = openSim("sim:" + file);
    ASSERT_EQ(backend->beginOperation(Use::Reads), std::nullopt);
    EXPECT_TRUE(fs::exists(lock));
    EXPECT_EQ(backend->endOperation(), std::nullopt);
    EXPECT_EQ(scratch.entries(), 0u);
    program(*backend, 0x21);
    EXPECT_EQ(scratch.entries(), 1u) << "the state file only";

    // A holder lets go, removing the file, just as another has locked it:
    // that one holds nothing until it has locked the file the name leads to.
    struct Overtaken final : file::PosixSystem {
        bool removed = false;
        int stat(const char* name, struct stat* info) override {
            if (!removed && std::string(name).ends_with(".lock")) {
                removed = true;
                ::unlink(name);
            }
            return PosixSystem::stat(name, info);
        }
    } overtaken;
    file::SetSystem(&overtaken);
    const auto refused = backend->beginOperation(Use::Reads);
    file::SetSystem(nullptr);
    ASSERT_EQ(refused, std::nullopt);
    EXPECT_TRUE(overtaken.removed);
    EXPECT_TRUE(fs::exists(lock));
    auto other = openSim("sim:" + file);
    const auto inUse = other->beginOperation(Use::Reads);
    ASSERT_TRUE(inUse);
    EXPECT_EQ(inUse->kind, Kind::InUse);
    EXPECT_EQ(backend->endOperation(), std::nullopt);
}

TEST_F(StateOperations, AFileThatCannotBeWrittenIsReadOnlyAndAFullDiskRefusesBeforeTheWork) {
    auto backend = openSim("sim:" + file);
    program(*backend, 0x5A);
    const std::string saved = contents(file);

    ::chmod(file.c_str(), 0444);
    ASSERT_EQ(backend->beginOperation(Use::Reads), std::nullopt);
    EXPECT_EQ(backend->endOperation(), std::nullopt);
    auto refused = backend->beginOperation(Use::Changes);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind, Kind::ReadOnly);
    EXPECT_NE(refused->message.find(file + " is read-only"), std::string::npos) << refused->message;
    ::chmod(file.c_str(), 0644);

    // No room for the new state: refused at the start, not lost at the end.
    struct FullDisk final : file::PosixSystem {
        int posix_fallocate(int, off_t, off_t) override { return ENOSPC; }
    } full;
    file::SetSystem(&full);
    refused = backend->beginOperation(Use::Changes);
    file::SetSystem(nullptr);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind, Kind::CannotSave);
    EXPECT_NE(refused->message.find("No space left on device"), std::string::npos)
        << refused->message;
    EXPECT_EQ(contents(file), saved);
    EXPECT_EQ(scratch.entries(), 1u) << "the state file only";
    // Nothing is held after a refusal.
    program(*backend, 0x6B);
}

TEST_F(StateOperations, ALinkedStateFileUpdatesItsTargetAndOrphansAreRemoved) {
    const std::string target = path("real.state");
    auto backend = openSim("sim:" + target);
    program(*backend, 0x01);
    fs::create_symlink(target, file);

    // Temporary files of a process that is gone go; a running one's stay.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string orphan = target + ".tmp-" + std::to_string(child) + "-0123ABCD";
    const std::string live = target + ".tmp-" + std::to_string(::getppid()) + "-0123ABCD";
    write(orphan, "half a state");
    write(live, "being written");

    auto linked = openSim("sim:" + file);
    program(*linked, 0x02);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(backend->beginOperation(Use::Reads), std::nullopt);
    EXPECT_EQ(backend->virtualAdapter()->chip().code[0], 0x02);
    EXPECT_EQ(backend->endOperation(), std::nullopt);
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_TRUE(fs::exists(live));
}

TEST(Backend, AHardwarePortThatIsNotThereGivesAnUnusableBackend) {
    BackendOptions options;
    options.port = "parport-that-does-not-exist";
    auto backend = Backend::open(options);
    ASSERT_NE(backend, nullptr);
    EXPECT_FALSE(backend->usable());
    EXPECT_FALSE(backend->problem().empty());
    EXPECT_EQ(backend->port(), nullptr);
    EXPECT_EQ(backend->virtualAdapter(), nullptr);
    EXPECT_EQ(backend->persist(), std::nullopt);
    backend->clock().sleepMs(0);

    options.port = "0xZZ";  // built by hand, not through the option parser
    backend = Backend::open(options);
    EXPECT_FALSE(backend->usable());
    EXPECT_EQ(backend->problem().rfind("--port: bad base address '0xZZ'", 0), 0u)
        << backend->problem();
}

}  // namespace
}  // namespace lpt51
