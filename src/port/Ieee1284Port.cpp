// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Ieee1284Port.h"

#include <fcntl.h>
#include <ieee1284.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "port/Bus.h"
#include "port/ControlBits.h"

namespace lpt51 {

namespace {

using control_bits::kDataInput;
using control_bits::kLines;
using control_bits::kP27High;
static_assert(control_bits::kInvertedLines == C1284_INVERTED);

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

bool isPpdev(const parport* p) {
    return p->filename != nullptr && std::strstr(p->filename, "parport") != nullptr;
}

// "parport0 at 0x378", or "0x378" for a port the library named after its
// address (it does so without /proc/sys/dev/parport).
std::string portName(const parport* p) {
    const std::string address = p->base_addr != 0 ? hex(p->base_addr) : std::string();
    if (p->name == nullptr || p->name[0] == '\0') return address.empty() ? "unnamed" : address;
    if (address.empty() || strcasecmp(p->name, address.c_str()) == 0) {
        return address.empty() ? p->name : address;
    }
    return std::string(p->name) + " at " + address;
}

// "parport0 at 0x378 (/dev/parport0, ppdev)" or "0x378 (direct I/O)".
std::string portLabel(const parport* p) {
    const std::string access =
        isPpdev(p) ? std::string(p->filename) + ", ppdev" : std::string("direct I/O");
    return portName(p) + " (" + access + ")";
}

std::function<bool(const parport*)> atAddress(unsigned long baseAddress) {
    return [baseAddress](const parport* p) { return p->base_addr == baseAddress; };
}

// Without /proc/sys/dev/parport the library names its guesses after their
// addresses; a port the kernel's driver found has a name of its own.
bool onlyGuessed(const parport_list& list) {
    if (list.portc == 0) return false;
    for (int i = 0; i < list.portc; ++i) {
        const parport* p = list.portv[i];
        if (isPpdev(p) || p->name == nullptr || p->base_addr == 0 ||
            strcasecmp(p->name, hex(p->base_addr).c_str()) != 0)
            return false;
    }
    return true;
}

std::string portsFound(const parport_list& list) {
    if (list.portc == 0) return "No parallel port was found on this machine.";
    if (onlyGuessed(list)) return kNoParportDriver;
    std::string text = "Ports found:";
    for (int i = 0; i < list.portc; ++i) text += "\n  " + portLabel(list.portv[i]);
    return text;
}

// libieee1284 lists a port without its ppdev device when it could not open
// that device while it looked, and keeps no reason. Asking the device once
// more (an open does nothing to the port) tells a refusal from no device:
// the /dev/parportN path when it refuses this user, or nothing.
std::string refusingPpdevDevice(const parport* p) {
    if (p->name == nullptr || std::strncmp(p->name, "parport", 7) != 0) return "";
    const std::string device = std::string("/dev/") + p->name;
    const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return "";
    }
    return errno == EACCES || errno == EPERM ? device : "";
}

// Why opening or claiming failed, from the library's code and errno;
// `refusing` is a device that refused this user, if known.
std::string openFailure(const parport* p, int code, int savedErrno, bool asRoot,
                        const std::string& refusing = "") {
    const std::string orRoot = asRoot ? "" : ", or run the program as root";
    const std::string label = portLabel(p);
    const std::string head = "Cannot open the parallel port " + label + ": ";
    if (!refusing.empty()) savedErrno = EACCES;
    if (savedErrno == EACCES || savedErrno == EPERM) {
        return head + "permission denied" + (refusing.empty() ? "" : " on " + refusing) +
               ".\nAdd your user to the group 'lp' (sudo adduser $USER lp, "
               "then log in again), make sure the ppdev module is loaded (sudo modprobe "
               "ppdev)" +
               orRoot + ".";
    }
    if (savedErrno == EBUSY) {
        return head +
               "the port is in use by another program or driver.\nClose the other program "
               "(or unload the printer driver: sudo modprobe -r lp) and try again.";
    }
    if (savedErrno == ENOENT || savedErrno == ENODEV || savedErrno == ENXIO) {
        return head +
               "the device is missing.\nLoad the parport_pc and ppdev modules (sudo modprobe "
               "parport_pc ppdev) and check the port is enabled in the firmware set-up.";
    }
    if (!isPpdev(p) && (code == E1284_INIT || code == E1284_SYS)) {
        return head +
               "direct I/O is not possible (it needs root or CAP_SYS_RAWIO, and /dev/port), and "
               "no ppdev device was found for this port.\nLoad the parport_pc and ppdev modules "
               "(sudo modprobe parport_pc ppdev) and use /dev/parport0 as a member of the group "
               "'lp'" +
               orRoot + ".";
    }
    std::string reason;
    switch (code) {
        case E1284_NOMEM:
            reason = "out of memory";
            break;
        case E1284_NOTAVAIL:
            reason = "this kind of access is not available on this system";
            break;
        case E1284_INVALIDPORT:
            reason = "invalid port";
            break;
        default:
            reason = "the system refused access";
            break;
    }
    if (savedErrno != 0) reason += std::string(" (") + std::strerror(savedErrno) + ")";
    return head + reason +
           ".\nCheck that the ppdev module is loaded and that your user may use the port "
           "(group 'lp')" +
           orRoot + ".";
}

}  // namespace

std::vector<FoundPort> FindPorts(bool& guessed, std::string& problem, Ieee1284Library& library) {
    guessed = false;
    parport_list list{};
    errno = 0;
    if (library.findPorts(&list) != E1284_OK) {
        const int err = errno;
        problem = "Cannot look for parallel ports: " +
                  std::string(err != 0 ? std::strerror(err) : "the system refused") +
                  ".\nLoad the parport_pc and ppdev modules (sudo modprobe parport_pc ppdev).";
        return {};
    }
    std::vector<FoundPort> found;
    guessed = onlyGuessed(list);
    for (int i = 0; i < list.portc && !guessed; ++i) {
        parport* p = list.portv[i];
        FoundPort f;
        f.name = p->name != nullptr ? p->name : portName(p);
        f.base = p->base_addr != 0 ? hex(p->base_addr) : std::string();
        f.device = isPpdev(p) ? p->filename : "";
        f.access = isPpdev(p) ? "ppdev" : "direct I/O";
        int capabilities = 0;
        errno = 0;
        const int code = library.open(p, 0, &capabilities);
        if (code == E1284_OK) {
            library.close(p);
            f.opens = (capabilities & CAP1284_RAW) != 0;
            if (!f.opens) f.whyNot = "the system gives no pin-level access to it";
        } else {
            const int err = errno;
            const std::string refusing = isPpdev(p) ? "" : refusingPpdevDevice(p);
            // The library lists a device that refused it as direct I/O.
            if (!refusing.empty()) {
                f.device = refusing;
                f.access = "ppdev";
            }
            const std::string why = openFailure(p, code, err, library.runsAsRoot(), refusing);
            // Without the "Cannot open the parallel port X: " the list already says.
            const std::size_t colon = why.find(": ");
            f.whyNot = colon == std::string::npos ? why : why.substr(colon + 2);
        }
        found.push_back(std::move(f));
    }
    library.freePorts(&list);
    return found;
}

void Ieee1284Port::FreeList::operator()(parport_list* list) const {
    library->freePorts(list);
    delete list;
}

void Ieee1284Port::ClosePort::operator()(parport* port) const {
    library->close(port);
}

void Ieee1284Port::ReleasePort::operator()(parport* port) const {
    library->release(port);
}

std::unique_ptr<Ieee1284Port> Ieee1284Port::openMatching(
    const std::string& wanted, const std::function<bool(const parport*)>& matches,
    bool onlyPortWillDo, std::string& problem, Ieee1284Library& library) {
    // The library fills the list only when it succeeds; only then is there
    // anything for it to free.
    auto found = std::make_unique<parport_list>();
    errno = 0;
    if (library.findPorts(found.get()) != E1284_OK) {
        const int err = errno;
        problem = "Cannot look for parallel ports: " +
                  std::string(err != 0 ? std::strerror(err) : "the system refused") +
                  ".\nLoad the parport_pc and ppdev modules (sudo modprobe parport_pc ppdev).";
        return nullptr;
    }
    PortList list(found.release(), FreeList{&library});
    parport* chosen = nullptr;
    for (int i = 0; i < list->portc && chosen == nullptr; ++i) {
        if (matches(list->portv[i])) chosen = list->portv[i];
    }
    const bool standsIn = chosen == nullptr && onlyPortWillDo && list->portc == 1;
    if (standsIn) chosen = list->portv[0];
    if (chosen == nullptr) {
        problem = "There is no parallel port " + wanted + ".\n" + portsFound(*list) +
                  "\nChoose one with --port (a base address such as 0x378, or a name such as "
                  "parport0), or use --port sim for the virtual adapter.";
        return nullptr;
    }
    const std::string label = portLabel(chosen);
    // Not F1284_EXCL: ppdev refuses exclusive access whenever any other driver
    // (typically the printer driver) is registered on the port, even idle. The
    // claim below, held for the object's whole life, already keeps every other
    // user off the lines while we drive them.
    int capabilities = 0;
    errno = 0;
    int code = library.open(chosen, 0, &capabilities);
    if (code != E1284_OK) {
        const int err = errno;
        problem = openFailure(chosen, code, err, library.runsAsRoot(),
                              isPpdev(chosen) ? "" : refusingPpdevDevice(chosen));
        return nullptr;
    }
    OpenedPort opened(chosen, ClosePort{&library});
    if ((capabilities & CAP1284_RAW) == 0) {
        problem = "Cannot use the parallel port " + label +
                  ": the system gives no pin-level access to it, which the adapter needs.";
        return nullptr;
    }
    errno = 0;
    code = library.claim(chosen);
    if (code != E1284_OK) {
        const int err = errno;
        problem = openFailure(chosen, code, err == 0 ? EBUSY : err, library.runsAsRoot());
        return nullptr;
    }
    ClaimedPort claimed(chosen, ReleasePort{&library});
    auto port = std::unique_ptr<Ieee1284Port>(
        new Ieee1284Port(library, std::move(list), std::move(opened), std::move(claimed)));
    port->standsIn_ = standsIn;
    return port;
}

std::unique_ptr<Ieee1284Port> Ieee1284Port::openByAddress(unsigned long baseAddress,
                                                          std::string& problem,
                                                          Ieee1284Library& library) {
    return openMatching("at " + hex(baseAddress), atAddress(baseAddress), false, problem, library);
}

std::unique_ptr<Ieee1284Port> Ieee1284Port::openAtOrOnly(unsigned long baseAddress,
                                                         std::string& problem,
                                                         Ieee1284Library& library) {
    return openMatching("at " + hex(baseAddress), atAddress(baseAddress), true, problem, library);
}

std::unique_ptr<Ieee1284Port> Ieee1284Port::openByName(const std::string& name,
                                                       std::string& problem,
                                                       Ieee1284Library& library) {
    return openMatching(
        name,
        [&](const parport* p) {
            return (p->name != nullptr && name == p->name) ||
                   (p->filename != nullptr && name == p->filename);
        },
        false, problem, library);
}

Ieee1284Port::Ieee1284Port(Ieee1284Library& library, PortList list, OpenedPort opened,
                           ClaimedPort claimed)
    : library_(library),
      list_(std::move(list)),
      opened_(std::move(opened)),
      claimed_(std::move(claimed)),
      port_(claimed_.get()),
      name_(portName(port_)),
      description_("parallel port " + portLabel(port_)) {
    // The claim has just written the kernel's initial control value (0x0C,
    // 0x1C with an IRQ): PROG low, both latches open to the data lines. Rest
    // comes before anything else, so that state lasts microseconds, not the
    // length of whatever the caller does next; and the idle mode byte goes
    // on the lines first, so the high latch closes on 5 V at EA/VPP rather
    // than on whatever the lines carried (0 would be 12 V in an undefined
    // mode until the first operation latches idle).
    writeData(kIdleMode);
    writeControl(control::kRest);
    writeData(0);
}

std::uint8_t Ieee1284Port::readData() {
    return static_cast<std::uint8_t>(library_.readData(port_));
}

void Ieee1284Port::writeData(std::uint8_t value) {
    library_.writeData(port_, value);
}

std::uint8_t Ieee1284Port::readControl() {
    return shadow_;
}

void Ieee1284Port::writeControl(std::uint8_t value) {
    const bool toInput = (value & kDataInput) != 0;
    const bool turns = !directionKnown_ || toInput != ((shadow_ & kDataInput) != 0);
    if (!turns) {
        writeLines(value);
        shadow_ = value;
        return;
    }
    // The kernel and the library cannot change the direction and bits 0-3 in
    // one register write: the direction call writes the register at once,
    // with bits 0-3 as they were. So the value goes out in steps that leave
    // nothing in between: first bits 0-3 with P2.7 held high, while the
    // drivers are as they were (a latch closes on what the port drove, a
    // pulse ends in the mode it ran in, the chip's output stays disabled);
    // then the direction; then P2.7 low if the value asks for it, only once
    // the port no longer drives.
    const auto held = static_cast<std::uint8_t>(value | kP27High);
    if (!directionKnown_ || ((held ^ shadow_) & kLines) != 0) writeLines(held);
    errno = 0;
    if (const int error = library_.dataDir(port_, toInput ? 1 : 0);
        error != E1284_OK && !failure_) {
        // The port may now drive lines the chip drives too: the operation must end.
        const int savedErrno = errno;
        failure_ = std::string("Turning the data lines of ") + name_ + " to " +
                   (toInput ? "input" : "output") + " failed: " +
                   (error == E1284_NOTAVAIL ? "the port cannot change its data direction"
                                            : "the system refused") +
                   (savedErrno != 0 ? std::string(" (") + std::strerror(savedErrno) + ")" : "") +
                   ". Set the port to bidirectional (PS/2) mode in the firmware set-up.";
    }
    if ((value & kP27High) == 0) writeLines(value);
    directionKnown_ = true;
    shadow_ = value;
}

void Ieee1284Port::writeLines(std::uint8_t value) {
    library_.writeControl(
        port_, static_cast<unsigned char>((value & kLines) ^ control_bits::kInvertedLines));
}

}  // namespace lpt51
