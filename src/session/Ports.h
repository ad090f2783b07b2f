// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "port/Ieee1284Port.h"

namespace lpt51::session {

// The machine's parallel ports as both front ends list them; see FindPorts.
struct PortSurvey {
    std::vector<FoundPort> ports;
    bool guessed = false;  // no driver loaded: kNoParportDriver says what to do
    std::string problem;   // the library could not look
};

inline PortSurvey SurveyPorts() {
    PortSurvey s;
    s.ports = FindPorts(s.guessed, s.problem);
    return s;
}

}  // namespace lpt51::session
