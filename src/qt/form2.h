#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class Form2;
}

namespace plindor::qt {

// Creates the main window (unshown, with no parent) and hands it over; called at most once.
using MainWindowFactory = std::function<QWidget*()>;

// The terms window the program starts with. It names the product and its version and makes the
// user choose: "I Agree" shows the main window and unloads this one; "I Disagree" (or Esc)
// unloads it, which ends the program when no other window is open. It deletes itself on unload.
class Form2 final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(Form2)

 public:
  // Loads the window: fills its texts from the program's version record.
  explicit Form2(MainWindowFactory make_main_window, QWidget* parent = nullptr);
  ~Form2() override;

 private:
  void ApplyLook();
  void Load();
  void Agree();

  std::unique_ptr<::Ui::Form2> ui_;
  MainWindowFactory make_main_window_;
};

}  // namespace plindor::qt
