// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "backend/Backend.h"
#include "port/Clock.h"
#include "port/Port.h"

namespace lpt51::app::testing {

// A port whose data lines read back as the three port kinds do: an
// output-only port its last byte, a bidirectional one its pull-ups (or none)
// while bit 5 has the drivers off. Every control write is kept.
class ProbeModelPort final : public Port {
  public:
    enum class Kind { OutputOnly, PullUps, NoPullUps };
    explicit ProbeModelPort(Kind kind) : kind_(kind) {}

    std::uint8_t readData() override {
        if (kind_ == Kind::OutputOnly || (control_ & 0x20) == 0) return data_;
        return kind_ == Kind::PullUps ? 0xFF : 0x00;
    }
    void writeData(std::uint8_t value) override {
        data_ = value;
        ++dataWrites;
    }
    std::uint8_t readControl() override { return control_; }
    void writeControl(std::uint8_t value) override {
        control_ = value;
        controlWrites.push_back(value);
    }
    std::uint8_t data() const { return data_; }

    std::vector<std::uint8_t> controlWrites;
    int dataWrites = 0;

  private:
    Kind kind_;
    std::uint8_t data_ = 0;
    std::uint8_t control_ = 0;
};

class FakeBackend final : public Backend {
  public:
    explicit FakeBackend(ProbeModelPort* port, std::string problem = {})
        : port_(port), problem_(std::move(problem)) {}
    bool usable() const override { return port_ != nullptr; }
    const std::string& problem() const override { return problem_; }
    Port* port() override { return port_; }
    Clock& clock() override { return clock_; }
    std::string description() const override { return "test port"; }
    sim::VirtualAdapter* virtualAdapter() override { return nullptr; }
    std::optional<std::string> persist() override { return std::nullopt; }

  private:
    ProbeModelPort* port_;
    std::string problem_;
    VirtualClock clock_;
};

// Records every text shown and answers from a script; an exhausted script
// answers No and Cancel, so a forgotten answer can never approve anything.
class ScriptedDialogs final : public Dialogs {
  public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    Answer ask(QuestionKind, const std::string& text) override {
        messages.push_back(text);
        if (answers.empty()) return Answer::No;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    // The message is kept as any other; the choice is taken when the
    // script says so.
    bool offerChoice(const std::string& text, const std::string& choice) override {
        messages.push_back(text);
        offeredChoices.push_back(choice);
        if (takeChoices.empty()) return false;
        const bool take = takeChoices.front();
        takeChoices.pop_front();
        return take;
    }
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override {
        inputCaptions.push_back(caption + "|" + prompt);
        controlDuringInput = port != nullptr ? port->readControl() : -1;
        if (inputs.empty()) return defaultText;
        std::string text = inputs.front();
        inputs.pop_front();
        return text;
    }
    std::optional<std::string> chooseOpenFile(const std::string&, const std::string&) override {
        if (files.empty()) return std::nullopt;
        std::string f = files.front();
        files.pop_front();
        return f;
    }
    std::optional<std::string> chooseSaveFile(const std::string& f, const std::string& s) override {
        return chooseOpenFile(f, s);
    }

    std::vector<std::string> messages;
    std::vector<std::string> inputCaptions;
    std::deque<Answer> answers;
    std::deque<std::string> inputs;
    std::deque<std::string> files;
    std::vector<std::string> offeredChoices;
    std::deque<bool> takeChoices;
    Port* port = nullptr;
    int controlDuringInput = -1;
};

inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "app_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureApplication();
        char pattern[] = "/tmp/lpt51-app-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        appDir = std::string(pattern) + "/";
    }
    void TearDown() override {
        window.reset();
        realBackend.reset();
        std::filesystem::remove_all(appDir);
    }

    bool exists(const char* name) const { return std::filesystem::exists(appDir + name); }
    void touch(const char* name) const { std::ofstream(appDir + name).put('x'); }

    // Builds and starts the window on a port of `kind` (no port at all when
    // `problem` is given).
    Form1& start(ProbeModelPort::Kind kind, std::string problem = {}, double mhz = 2993.7) {
        if (problem.empty()) {
            port = std::make_unique<ProbeModelPort>(kind);
            dialogs.port = port.get();
        }
        backend = std::make_unique<FakeBackend>(port.get(), std::move(problem));
        WindowContext context;
        context.openBackend = [this] {
            startEvents.push_back("open");
            return backend.get();
        };
        context.dialogs = &dialogs;
        context.appDir = appDir;
        context.appDirectory = [dir = appDir] { return dir; };
        context.measureCpuMHz = [this, mhz] {
            startEvents.push_back("measure");
            return mhz;
        };
        context.locale = locale;
        context.backendOptions = backendOptions;
        context.device = device;
        window = std::make_unique<Form1>(std::move(context));
        window->FormCreate();
        return *window;
    }

    // Builds and starts the window on the virtual adapter.
    Form1& startOn(std::unique_ptr<Backend> adapter) {
        backend.reset();
        port.reset();
        realBackend = std::move(adapter);
        WindowContext context;
        context.backend = realBackend.get();
        context.dialogs = &dialogs;
        context.appDir = appDir;
        context.appDirectory = [dir = appDir] { return dir; };
        context.measureCpuMHz = [] { return 1000.0; };
        context.nominalClock = true;
        context.locale = locale;
        window = std::make_unique<Form1>(std::move(context));
        window->FormCreate();
        return *window;
    }

    std::string appDir;
    // What the command line gave the window: the port a change of port in
    // the Device menu starts from, and --device.
    BackendOptions backendOptions;
    std::optional<std::string> device;
    std::unique_ptr<Backend> realBackend;
    QLocale locale{QLocale::English};
    ScriptedDialogs dialogs;
    std::unique_ptr<ProbeModelPort> port;
    std::unique_ptr<FakeBackend> backend;
    std::unique_ptr<Form1> window;
    std::vector<std::string> startEvents;  // "measure", "open", in the order start-up ran them
};

}  // namespace lpt51::app::testing
