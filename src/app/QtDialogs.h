// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "app/Dialogs.h"

namespace lpt51::app {

// The dialogs as modal Qt boxes over `parent`.
class QtDialogs final : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    void showMessage(const std::string& text) override;
    Answer ask(QuestionKind kind, const std::string& text) override;
    bool offerChoice(const std::string& text, const std::string& choice) override;
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
    std::optional<std::string> chooseOpenFile(const std::string& filter,
                                              const std::string& directory) override;
    std::optional<std::string> chooseSaveFile(const std::string& filter,
                                              const std::string& suggestedPath) override;

  private:
    QWidget* parent_;
};

// A message text as a box shows it: each "\r" a line break.
QString DisplayText(const std::string& text);

}  // namespace lpt51::app
