#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <utility>

#include "qt/file_dialog.h"

namespace plindor::testing {

// Answers file-open requests from a script instead of a user, and records how it was asked.
class ScriptedFileDialog final : public qt::FileDialog {
 public:
  void AnswerWith(std::optional<QString> answer) { answers_.push_back(std::move(answer)); }

  std::optional<QString> GetExistingFile(QWidget* /*parent*/, const QString& file_name,
                                         const QString& filter) override {
    asked_from_.append(file_name);
    filters_.append(filter);
    // Unscripted requests are cancelled; tests see them in asked_from().
    if (answers_.empty()) return std::nullopt;
    std::optional<QString> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }

  // The starting point the window handed each dialog, in order.
  const QStringList& asked_from() const { return asked_from_; }
  const QStringList& filters() const { return filters_; }

 private:
  std::deque<std::optional<QString>> answers_;
  QStringList asked_from_;
  QStringList filters_;
};

}  // namespace plindor::testing
