// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Ieee1284Library.h"

#include <ieee1284.h>
#include <unistd.h>

namespace lpt51 {

bool Ieee1284Library::runsAsRoot() const {
    return ::geteuid() == 0;
}

namespace {

class SystemIeee1284 final : public Ieee1284Library {
  public:
    int findPorts(parport_list* list) override { return ieee1284_find_ports(list, 0); }
    void freePorts(parport_list* list) override { ieee1284_free_ports(list); }
    int open(parport* port, int flags, int* capabilities) override {
        return ieee1284_open(port, flags, capabilities);
    }
    int close(parport* port) override { return ieee1284_close(port); }
    int claim(parport* port) override { return ieee1284_claim(port); }
    void release(parport* port) override { ieee1284_release(port); }
    int readData(parport* port) override { return ieee1284_read_data(port); }
    void writeData(parport* port, unsigned char value) override {
        ieee1284_write_data(port, value);
    }
    int dataDir(parport* port, int reverse) override { return ieee1284_data_dir(port, reverse); }
    int readControl(parport* port) override { return ieee1284_read_control(port); }
    void writeControl(parport* port, unsigned char value) override {
        ieee1284_write_control(port, value);
    }
};

}  // namespace

Ieee1284Library& systemIeee1284() {
    static SystemIeee1284 library;
    return library;
}

}  // namespace lpt51
