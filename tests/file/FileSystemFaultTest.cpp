// SPDX-License-Identifier: GPL-3.0-or-later
// Faults no real disk gives on demand: each system call of a replacement or
// a read failing, or coming back short, in turn.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "../ScratchDir.h"

#include "file/ReadFile.h"
#include "file/ReplaceFile.h"
#include "file/System.h"

namespace lpt51::file {
namespace {

// The real system, but one chosen call fails with `error`, and writes and
// reads may be cut short or interrupted first.
class FaultySystem final : public PosixSystem {
  public:
    enum class Call { None, Write, Fsync, Close, Rename, Read };
    Call failing = Call::None;
    int error = EIO;
    bool shortAndInterrupted = false;

    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (failing == Call::Write) return fail();
        if (shortAndInterrupted && (flip_ = !flip_)) return interrupted();
        return PosixSystem::write(fd, data, shortAndInterrupted ? 1 : size);
    }
    ssize_t read(int fd, void* buffer, std::size_t size) override {
        if (failing == Call::Read) return fail();
        if (shortAndInterrupted && (flip_ = !flip_)) return interrupted();
        return PosixSystem::read(fd, buffer, shortAndInterrupted ? 1 : size);
    }
    int fsync(int fd) override { return failing == Call::Fsync ? fail() : PosixSystem::fsync(fd); }
    int close(int fd) override {
        const int result = PosixSystem::close(fd);
        return failing == Call::Close ? fail() : result;
    }
    int rename(const char* from, const char* to) override {
        return failing == Call::Rename ? fail() : PosixSystem::rename(from, to);
    }

  private:
    int fail() {
        errno = error;
        return -1;
    }
    int interrupted() {
        errno = EINTR;
        return -1;
    }
    bool flip_ = false;
};

class FileFault : public ::testing::Test {
  protected:
    void TearDown() override { SetSystem(nullptr); }

    std::string Path(const char* name) const { return scratch_.path(name); }
    std::string Contents(const char* name) const { return scratch_.contents(Path(name)); }
    std::size_t Entries() const { return scratch_.entries(); }

    test::ScratchDir scratch_;
};

TEST_F(FileFault, AFailedReplacementLeavesTheTargetAndNoTemporaryFile) {
    using Call = FaultySystem::Call;
    for (Call call : {Call::Write, Call::Fsync, Call::Close, Call::Rename}) {
        scratch_.put(Path("keep.hex"), "precious\n");
        FaultySystem faulty;
        faulty.failing = call;
        faulty.error = call == Call::Write ? ENOSPC : EIO;
        SetSystem(&faulty);
        const auto problem = ReplaceFile(Path("keep.hex"), "new contents\n");
        ASSERT_TRUE(problem) << static_cast<int>(call);
        EXPECT_EQ(problem->step, ReplaceProblem::Step::Write);
        EXPECT_EQ(problem->error, faulty.error);
        // A target that did not exist stays missing.
        EXPECT_TRUE(ReplaceFile(Path("new.hex"), "x"));
        SetSystem(nullptr);
        EXPECT_EQ(Contents("keep.hex"), "precious\n") << static_cast<int>(call);
        EXPECT_EQ(Entries(), 1u) << "temporary file left after a failed call "
                                 << static_cast<int>(call);
    }
}

TEST_F(FileFault, ShortAndInterruptedCallsAreCarriedThrough) {
    FaultySystem faulty;
    faulty.shortAndInterrupted = true;
    SetSystem(&faulty);
    const std::string text = "0123456789abcdef\n";
    ASSERT_EQ(ReplaceFile(Path("out.hex"), text), std::nullopt);
    std::string back;
    ASSERT_EQ(ReadRegularFile(Path("out.hex"), 1024, back), std::nullopt);
    EXPECT_EQ(back, text);

    faulty.shortAndInterrupted = false;
    faulty.failing = FaultySystem::Call::Read;
    back = "untouched";
    const auto problem = ReadRegularFile(Path("out.hex"), 1024, back);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, ReadProblem::Kind::Read);
    EXPECT_EQ(problem->error, EIO);
    EXPECT_EQ(back, "untouched");
}

}  // namespace
}  // namespace lpt51::file
