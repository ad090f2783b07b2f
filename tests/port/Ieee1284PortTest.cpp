// SPDX-License-Identifier: GPL-3.0-or-later
#include <ieee1284.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "port/Ieee1284Port.h"

namespace lpt51 {
namespace {

// Stands in for libieee1284: a list of ports, scripted failures, and a log of
// every call that reaches a port.
class FakeLibrary final : public Ieee1284Library {
  public:
    struct FakePort {
        std::string name;
        unsigned long base;
        std::string file;
    };
    explicit FakeLibrary(std::vector<FakePort> ports) : specs_(std::move(ports)) {
        for (const auto& s : specs_) {
            ports_.push_back(parport{s.name.c_str(), s.base, 0, nullptr,
                                     s.file.empty() ? nullptr : s.file.c_str()});
        }
        for (auto& p : ports_) pointers_.push_back(&p);
    }

    int findResult = E1284_OK;
    int findErrno = 0;
    int openResult = E1284_OK;
    int openErrno = 0;
    int capabilities = CAP1284_RAW | CAP1284_BYTE;
    int claimResult = E1284_OK;
    int dataDirResult = E1284_OK;
    int dataDirErrno = 0;
    int claimErrno = 0;
    int controlLines = C1284_INVERTED;  // all four lines as the PC register's 0
    int dataLines = 0x5A;
    bool root = false;
    std::vector<std::string> calls;
    int listsFreed = 0;

    bool runsAsRoot() const override { return root; }

    int findPorts(parport_list* list) override {
        errno = findErrno;
        if (findResult != E1284_OK) return findResult;
        list->portc = static_cast<int>(pointers_.size());
        list->portv = pointers_.data();
        return E1284_OK;
    }
    void freePorts(parport_list* list) override {
        ++listsFreed;
        list->portc = 0;
        list->portv = nullptr;
    }
    int open(parport* port, int flags, int* caps) override {
        note("open", port, flags);
        *caps = capabilities;
        errno = openErrno;
        return openResult;
    }
    int close(parport* port) override {
        note("close", port);
        return E1284_OK;
    }
    int claim(parport* port) override {
        note("claim", port);
        errno = claimErrno;
        return claimResult;
    }
    void release(parport* port) override { note("release", port); }
    int readData(parport* port) override {
        note("readData", port);
        return dataLines;
    }
    void writeData(parport* port, unsigned char value) override { note("writeData", port, value); }
    int dataDir(parport* port, int reverse) override {
        note("dataDir", port, reverse);
        errno = dataDirErrno;
        return dataDirResult;
    }
    int readControl(parport* port) override {
        note("readControl", port);
        return controlLines;
    }
    void writeControl(parport* port, unsigned char value) override {
        note("writeControl", port, value);
    }

  private:
    void note(const char* what, const parport* port, int value = -1) {
        std::string text = std::string(what) + " " + port->name;
        if (value >= 0) {
            char hex[16];
            std::snprintf(hex, sizeof hex, " %02X", value);
            text += hex;
        }
        calls.push_back(text);
    }

    std::vector<FakePort> specs_;
    std::vector<parport> ports_;
    std::vector<parport*> pointers_;
};

const std::vector<FakeLibrary::FakePort> kTwoPorts{{"parport0", 0x378, "/dev/parport0"},
                                                   {"parport1", 0x278, "/dev/parport1"}};

TEST(Ieee1284Port, ChoosesByAddressOrNameAndClaimsOnlyThatPort) {
    for (const std::string how : {"0x278", "parport1", "/dev/parport1"}) {
        FakeLibrary library(kTwoPorts);
        std::string problem;
        auto port = how == "0x278" ? Ieee1284Port::openByAddress(0x278, problem, library)
                                   : Ieee1284Port::openByName(how, problem, library);
        ASSERT_NE(port, nullptr) << how << problem;
        EXPECT_EQ(port->description(), "parallel port parport1 at 0x278 (/dev/parport1, ppdev)");
        EXPECT_EQ(port->name(), "parport1 at 0x278");
        // Not exclusive: the claim held for the object's life keeps others off.
        ASSERT_GE(library.calls.size(), 3u) << how;
        EXPECT_EQ(library.calls[0], "open parport1 00") << how;
        EXPECT_EQ(library.calls[1], "claim parport1") << how;
        // The claim leaves PROG low and both latches open: the idle mode byte
        // goes on the lines before any control write closes them, then
        // nothing but the writes that put the port at rest, however the
        // caller goes on.
        ASSERT_GE(library.calls.size(), 4u) << how;
        EXPECT_EQ(library.calls[2], "writeData parport1 80") << how;
        for (std::size_t i = 3; i < library.calls.size(); ++i) {
            EXPECT_TRUE(library.calls[i].rfind("writeControl parport1", 0) == 0 ||
                        library.calls[i].rfind("dataDir parport1 00", 0) == 0 ||
                        library.calls[i] == "writeData parport1 00")
                << how << ": " << library.calls[i];
        }
        EXPECT_EQ(library.calls.back(), "writeData parport1 00") << how;
        EXPECT_EQ(port->readControl(), 0x07) << how;
        port.reset();
        EXPECT_EQ(library.calls.back(), "close parport1");
        EXPECT_EQ(library.calls[library.calls.size() - 2], "release parport1");
        EXPECT_EQ(library.listsFreed, 1);
    }
}

TEST(Ieee1284Port, ControlValuesBecomeLineLevelsAndTheDirectionCall) {
    FakeLibrary library(kTwoPorts);
    std::string problem;
    auto port = Ieee1284Port::openByAddress(0x378, problem, library);
    ASSERT_NE(port, nullptr) << problem;
    EXPECT_EQ(port->readControl(), 0x07);  // put at rest when claimed
    library.calls.clear();

    // One value that turns the direction is two register writes; neither may
    // leave a state the value does not ask for.
    port->writeControl(0x07);  // direction known since the rest: no direction call
    port->writeControl(0x05);  // high latch open, lines driving
    port->writeControl(0x27);  // to input: the latch closes on the driven byte first
    port->writeControl(0x23);  // direction unchanged: no direction call
    port->writeControl(0x2B);  // erase pulse
    port->writeControl(0x07);  // to output: the pulse ends in its mode, then the drivers
    port->writeControl(0x23);  // to input with P2.7 low: lowered once the port is off
    port->writeControl(0x07);  // to output: P2.7 high (chip off) before the drivers
    port->writeControl(0xFF);  // bits 4, 6, 7 have no line; bit 3 is select-in
    const std::vector<std::string> expected{
        "writeControl parport0 0C",                              // 0x07 ^ 0x0B
        "writeControl parport0 0E",                              // 0x05
        "writeControl parport0 0C", "dataDir parport0 01",       // 0x27
        "writeControl parport0 08",                              // 0x23: init low
        "writeControl parport0 00",                              // 0x2B
        "writeControl parport0 0C", "dataDir parport0 00",       // 0x07
        "dataDir parport0 01",      "writeControl parport0 08",  // 0x23
        "writeControl parport0 0C", "dataDir parport0 00",       // 0x07
        "writeControl parport0 04", "dataDir parport0 01",       // 0xFF: 0x0F ^ 0x0B
    };
    EXPECT_EQ(library.calls, expected);
    // The shadow, not the lines, answers: bit 5 and the unwired bits included.
    library.calls.clear();
    EXPECT_EQ(port->readControl(), 0xFF);
    EXPECT_TRUE(library.calls.empty());

    port->writeData(0xA5);
    EXPECT_EQ(port->readData(), 0x5A);
    EXPECT_EQ(library.calls,
              (std::vector<std::string>{"writeData parport0 A5", "readData parport0"}));

    // A direction change the kernel refuses is kept for the operation to
    // end on, with the system's reason; the first one counts until cleared.
    EXPECT_EQ(port->failure(), std::nullopt);
    library.dataDirResult = E1284_SYS;
    library.dataDirErrno = EIO;
    port->writeControl(0x07);
    library.dataDirErrno = EPERM;
    port->writeControl(0x27);
    EXPECT_EQ(port->failure(),
              "Turning the data lines of parport0 at 0x378 to output failed: the system refused "
              "(Input/output error). Set the port to bidirectional (PS/2) mode in the firmware "
              "set-up.");
    port->clearFailure();
    EXPECT_EQ(port->failure(), std::nullopt);
}

TEST(Ieee1284Port, EachRefusalNamesItsCauseAndLeavesNothingOpen) {
    struct Case {
        const char* what;
        void (*script)(FakeLibrary&);
        std::string expectedStart;
        std::string mentions;
    };
    const Case cases[] = {
        {"permission", [](FakeLibrary& l) { l.openResult = E1284_INIT, l.openErrno = EACCES; },
         "Cannot open the parallel port parport0 at 0x378 (/dev/parport0, ppdev): permission "
         "denied.",
         "group 'lp'"},
        {"busy claim", [](FakeLibrary& l) { l.claimResult = E1284_SYS, l.claimErrno = EBUSY; },
         "Cannot open the parallel port parport0 at 0x378 (/dev/parport0, ppdev): the port is in "
         "use",
         "another program"},
        {"no pin access", [](FakeLibrary& l) { l.capabilities = CAP1284_COMPAT; },
         "Cannot use the parallel port parport0 at 0x378 (/dev/parport0, ppdev): the system gives "
         "no pin-level access",
         "adapter"},
        {"cannot look", [](FakeLibrary& l) { l.findResult = E1284_SYS, l.findErrno = EACCES; },
         "Cannot look for parallel ports: Permission denied.", "ppdev"},
    };
    for (const Case& c : cases) {
        FakeLibrary library(kTwoPorts);
        c.script(library);
        std::string problem;
        EXPECT_EQ(Ieee1284Port::openByAddress(0x378, problem, library), nullptr) << c.what;
        EXPECT_EQ(problem.rfind(c.expectedStart, 0), 0u) << c.what << ": " << problem;
        EXPECT_NE(problem.find(c.mentions), std::string::npos) << c.what << ": " << problem;
        // Whatever was opened is closed again; the other port is never touched.
        int opened = 0;
        for (const auto& call : library.calls) {
            EXPECT_EQ(call.find("parport1"), std::string::npos) << c.what;
            if (call.rfind("open ", 0) == 0 && library.openResult == E1284_OK) ++opened;
            if (call.rfind("close ", 0) == 0) --opened;
            EXPECT_EQ(call.find("write"), std::string::npos) << c.what;
        }
        EXPECT_EQ(opened, 0) << c.what;
        // A list the library never filled is not the library's to free.
        EXPECT_EQ(library.listsFreed, library.findResult == E1284_OK ? 1 : 0) << c.what;
    }
}

TEST(Ieee1284Port, AMissingPortListsThePortsThereAreUnlessTheOnlyOneMayStandIn) {
    FakeLibrary library(kTwoPorts);
    std::string problem;
    EXPECT_EQ(Ieee1284Port::openAtOrOnly(0x3BC, problem, library), nullptr);
    EXPECT_EQ(problem,
              "There is no parallel port at 0x3BC.\nPorts found:\n"
              "  parport0 at 0x378 (/dev/parport0, ppdev)\n"
              "  parport1 at 0x278 (/dev/parport1, ppdev)\n"
              "Choose one with --port (a base address such as 0x378, or a name such as "
              "parport0), or use --port sim for the virtual adapter.");
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(library.listsFreed, 1);

    FakeLibrary none({});
    EXPECT_EQ(Ieee1284Port::openByName("parport0", problem, none), nullptr);
    EXPECT_NE(problem.find("No parallel port was found on this machine."), std::string::npos);

    // A PCIe card: the machine's only port, elsewhere than asked.
    const std::vector<FakeLibrary::FakePort> card{{"parport0", 0xD010, "/dev/parport0"}};
    FakeLibrary named(card);
    EXPECT_EQ(Ieee1284Port::openByAddress(0x378, problem, named), nullptr);
    EXPECT_TRUE(named.calls.empty());
    FakeLibrary usual(card);
    auto port = Ieee1284Port::openAtOrOnly(0x378, problem, usual);
    ASSERT_NE(port, nullptr) << problem;
    EXPECT_TRUE(port->standsIn());
    EXPECT_EQ(port->description(), "parallel port parport0 at 0xD010 (/dev/parport0, ppdev)");
    FakeLibrary both(kTwoPorts);
    auto usualPort = Ieee1284Port::openAtOrOnly(0x378, problem, both);
    ASSERT_NE(usualPort, nullptr) << problem;
    EXPECT_FALSE(usualPort->standsIn());
    EXPECT_EQ(usualPort->name(), "parport0 at 0x378");
}

TEST(Ieee1284Port, DirectIoOnlyExplainsWhatIsMissing) {
    FakeLibrary library({{"0x378", 0x378, "/dev/port"}});
    library.openResult = E1284_INIT;
    std::string problem;
    auto port = Ieee1284Port::openByAddress(0x378, problem, library);
    EXPECT_EQ(port, nullptr);
    EXPECT_EQ(problem.rfind("Cannot open the parallel port 0x378 (direct I/O): direct I/O is not "
                            "possible",
                            0),
              0u)
        << problem;
    EXPECT_NE(problem.find("modprobe parport_pc ppdev"), std::string::npos);
    EXPECT_NE(problem.find("or run the program as root."), std::string::npos) << problem;
    // Root already: the rest of the advice stands, becoming root is not in it.
    library.root = true;
    std::string asRoot;
    EXPECT_EQ(Ieee1284Port::openByAddress(0x378, asRoot, library), nullptr);
    EXPECT_EQ(asRoot.find("as root"), std::string::npos) << asRoot;
    EXPECT_EQ(asRoot.substr(asRoot.size() - 11), "group 'lp'.") << asRoot;

    // Guessed ports bear their address as their name ("0x3bc"); with ioperm
    // the library knows no device file at all. Each is named once.
    FakeLibrary guessed({{"0x3bc", 0x3BC, "/dev/port"}, {"parport1", 0x278, ""}});
    auto port3bc = Ieee1284Port::openByName("0x3bc", problem, guessed);
    ASSERT_NE(port3bc, nullptr) << problem;
    EXPECT_EQ(port3bc->description(), "parallel port 0x3BC (direct I/O)");
    auto io = Ieee1284Port::openByAddress(0x278, problem, guessed);
    ASSERT_NE(io, nullptr) << problem;
    EXPECT_EQ(io->description(), "parallel port parport1 at 0x278 (direct I/O)");
}

}  // namespace
}  // namespace lpt51
