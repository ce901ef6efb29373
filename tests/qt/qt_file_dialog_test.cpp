#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "qt/form1.h"
#include "sample_project.h"
#include "temp_dir.h"

namespace plindor::qt {
namespace {

constexpr int kTimeoutMs = 10000;

// Waits (inside the dialog's own event loop) for the file-open dialog to appear and become the
// active window, then hands it
// to `answer`. Whatever happens, nothing stays open past the timeout, so the test can't hang.
class DialogAnswerer final {
 public:
  explicit DialogAnswerer(std::function<void(QFileDialog&)> answer) : answer_(std::move(answer)) {
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      // The dialog treats typing differently when its name box lacks the keyboard focus.
      if (!dialog->isActiveWindow()) {
        dialog->activateWindow();
        return;
      }
      poll_.stop();
      answered_ = true;
      answer_(*dialog);
    });
    poll_.start();
    guard_.setSingleShot(true);
    QObject::connect(&guard_, &QTimer::timeout, [] {
      while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
          dialog->reject();
        } else {
          modal->close();
        }
      }
    });
    guard_.start(kTimeoutMs);
  }
  bool answered() const { return answered_; }

 private:
  std::function<void(QFileDialog&)> answer_;
  QTimer poll_;
  QTimer guard_;
  bool answered_ = false;
};

// Types `name` into the dialog's file-name box as a user would, then opens it. Return is not
// used to open: the box's completer may have popped up and would take the key.
void TypeAndOpen(QFileDialog& dialog, const QString& name) {
  auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (box == nullptr) {
    QFAIL("the dialog has no file-name box");
  }
  box->setFocus();
  QTest::keyClicks(box, name);
  static_cast<QDialog&>(dialog).accept();
}

}  // namespace

// Drives the window with the toolkit's real file-open dialog, as a user would: type a name and
// press Enter, or cancel.
class QtFileDialogTest final : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void typedNameOrCancel_data() {
    QTest::addColumn<QString>("typed");  // empty: cancel
    QTest::addColumn<QString>("log");
    QTest::newRow("project")
        << "App.vbp"
        << "Fixing %1/App.vbp\n   fixing Main.frm\n   fixing Forms\\Other.frm\n"
           "   fixing Gauge.ctl\nFixup completed.\n";
    // The filter only narrows the list: any existing file is taken as a project.
    QTest::newRow("other existing file") << "notes.txt"
                                         << "Fixing %1/notes.txt\nFixup completed.\n";
    QTest::newRow("cancel") << ""
                            << "";
  }
  void typedNameOrCancel() {
    QFETCH(QString, typed);
    QFETCH(QString, log);
    const testing::TempDir folder;
    testing::WriteSampleProject(folder);
    testing::WriteFile(folder / "notes.txt", "plain notes\r\n");
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    const QString path = QString::fromStdString(folder.path().string());
    Form1 form;
    form.show();

    QString started_in;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    const DialogAnswerer answerer([&](QFileDialog& dialog) {
      started_in = dialog.directory().absolutePath();
      filters = dialog.nameFilters();
      mode = dialog.fileMode();
      if (typed.isEmpty()) {
        dialog.reject();
        return;
      }
      TypeAndOpen(dialog, path + "/" + typed);
    });
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);

    QVERIFY(answerer.answered());
    QCOMPARE(started_in, QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QCOMPARE(filters, QStringList{QStringLiteral("Projects (*.vbp)")});
    QCOMPARE(mode, QFileDialog::ExistingFile);
    const QString expected = log.contains(QLatin1String("%1")) ? log.arg(path) : log;
    QCOMPARE(form.findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText(), expected);
  }

  void nextDialogStartsFromTheLastChosenFile() {
    const testing::TempDir folder;
    testing::WriteFile(folder / "Empty.vbp", "");
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    const QString chosen = QString::fromStdString(folder / "Empty.vbp");
    Form1 form;
    form.show();
    auto* command1 = form.findChild<QPushButton*>(QStringLiteral("Command1"));
    {
      const DialogAnswerer answerer([&](QFileDialog& dialog) { TypeAndOpen(dialog, chosen); });
      QTest::mouseClick(command1, Qt::LeftButton);
      QVERIFY(answerer.answered());
    }
    QStringList selected;
    QString started_in;
    const DialogAnswerer answerer([&](QFileDialog& dialog) {
      started_in = dialog.directory().absolutePath();
      selected = dialog.selectedFiles();
      dialog.reject();
    });
    QTest::mouseClick(command1, Qt::LeftButton);
    QVERIFY(answerer.answered());
    QCOMPARE(started_in, QString::fromStdString(folder.path().string()));
    QCOMPARE(selected, QStringList{chosen});
  }
};

}  // namespace plindor::qt

QTEST_MAIN(plindor::qt::QtFileDialogTest)
#include "qt_file_dialog_test.moc"
