// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct parport;
struct parport_list;

namespace lpt51 {

// The libieee1284 calls the hardware port makes, behind one seam so tests can
// stand in for the library: no port, a refused open, a busy port. Each
// function has the library's meaning and return codes; failures leave errno
// as the library left it.
class Ieee1284Library {
  public:
    virtual ~Ieee1284Library() = default;
    virtual int findPorts(parport_list* list) = 0;
    virtual void freePorts(parport_list* list) = 0;
    virtual int open(parport* port, int flags, int* capabilities) = 0;
    virtual int close(parport* port) = 0;
    virtual int claim(parport* port) = 0;
    virtual void release(parport* port) = 0;
    virtual int readData(parport* port) = 0;
    virtual void writeData(parport* port, unsigned char value) = 0;
    virtual int dataDir(parport* port, int reverse) = 0;
    virtual int readControl(parport* port) = 0;
    virtual void writeControl(parport* port, unsigned char value) = 0;
    // The program runs as root: advice to become root would not help.
    virtual bool runsAsRoot() const;
};

// The real library; it keeps no state of its own.
Ieee1284Library& systemIeee1284();

}  // namespace lpt51
