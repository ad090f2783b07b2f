// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PortList.h"

#include <string>

#include "session/Ports.h"

namespace lpt51::cli {

namespace {

// A reason of several lines stays under its row.
std::string Indented(std::string text) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 5)
        text.replace(at, 1, "\n    ");
    return text;
}

}  // namespace

void ListPorts(std::ostream& out, std::ostream& err) {
    const session::PortSurvey survey = session::SurveyPorts();
    if (!survey.problem.empty()) {
        err << "lpt51: " << survey.problem << '\n';
    } else if (survey.guessed) {
        err << "lpt51: " << kNoParportDriver << '\n';
    } else if (survey.ports.empty()) {
        err << "lpt51: No parallel port was found on this machine.\n";
    }
    for (const FoundPort& p : survey.ports) {
        out << p.name << "  base " << (p.base.empty() ? "-" : p.base) << "  "
            << (p.device.empty() ? "-" : p.device) << "  " << p.access << "  "
            << (p.opens ? "can be opened" : "cannot be opened: " + Indented(p.whyNot)) << '\n';
    }
    err << "lpt51: --port sim is the virtual adapter, always there.\n";
}

}  // namespace lpt51::cli
