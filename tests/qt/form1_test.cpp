#include "qt/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "accessible_names.h"
#include "layout_properties.h"
#include "sample_project.h"
#include "scripted_chooser.h"
#include "temp_dir.h"

namespace plindor::qt {
namespace {

using plindor::testing::ScriptedChooser;
using plindor::testing::TempDir;
using plindor::testing::WriteSampleProject;

// The log lines of one successful run on the sample project, as the box shows them.
QString SampleRunLog(const std::string& project) {
  return QStringLiteral(
             "Fixing %1\n"
             "   fixing Main.frm\n"
             "   fixing Forms\\Other.frm\n"
             "   fixing Gauge.ctl\n"
             "Fixup completed.\n")
      .arg(QString::fromStdString(project));
}

// A window with a scripted chooser, the way a test drives it.
struct Window {
  template <typename T>
  T& Control(const char* name) const {
    T* control = form->findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) qFatal("no control %s", name);
    return *control;
  }
  QPlainTextEdit& Log() const { return Control<QPlainTextEdit>("Text1"); }
  void Run(std::optional<std::string> answer) {
    script.answers.push_back(std::move(answer));
    QTest::mouseClick(&Control<QPushButton>("Command1"), Qt::LeftButton);
  }

  ScriptedChooser::Script script;
  std::unique_ptr<Form1> form =
      std::make_unique<Form1>(nullptr, std::make_unique<ScriptedChooser>(script));
};

}  // namespace

class Form1Test final : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void layoutProperties() {
    const Window window;
    window.form->show();
    QVERIFY(QTest::qWaitForWindowActive(window.form.get()));
    {
      const QStringList broken = testing::ControlsOutsideTheirParent(*window.form);
      QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }
    {
      const QStringList broken = testing::TextsThatDoNotFit(*window.form);
      QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }
    {
      const QStringList broken = testing::CaptionsNotInTheirColour(*window.form);
      QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }
    const QList<QWidget*> stops = testing::TabStopsInLayoutOrder(*window.form);
    QCOMPARE(testing::TabStops(*window.form), stops);
    QCOMPARE(QApplication::focusWidget(), stops.value(0));
    for (int step = 1; step <= stops.size(); ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), stops[step % stops.size()]);
    }
  }

  void windowTitleAndAWindowOfItsOwn() {
    const Window window;
    QCOMPARE(window.form->windowTitle(), QStringLiteral("Plindor"));

    // Opened by another window, it is still a window of its own.
    QWidget opener;
    const Form1 opened(&opener);
    QCOMPARE(opened.isWindow(), true);
  }

  void backgrounds() {
    const Window window;
    const auto& frame = window.Control<QGroupBox>("Frame1");
    const auto& label = window.Control<QLabel>("Label1");
    // The window, the frame and the label share the text boxes' background.
    const QColor fill = window.Log().palette().color(QPalette::Base);
    for (const QWidget* filled :
         {static_cast<const QWidget*>(window.form.get()), static_cast<const QWidget*>(&frame),
          static_cast<const QWidget*>(&label)}) {
      QCOMPARE(filled->autoFillBackground(), true);
      QCOMPARE(filled->palette().color(filled->backgroundRole()), fill);
    }
  }

  void framesBorderShowsWhole() {
    const Window window;
    auto& frame = window.Control<QGroupBox>("Frame1");
    const auto& label = window.Control<QLabel>("Label1");
    const QImage picture = frame.grab().toImage();
    const QColor fill = frame.palette().color(frame.backgroundRole());
    // The top border's row, found left of the label, below the caption.
    const int left = label.x() / 2;
    int border = QFontMetrics(frame.font()).height();
    while (border < label.y() + label.height() && picture.pixelColor(left, border) == fill) {
      ++border;
    }
    const QColor line = picture.pixelColor(left, border);
    QVERIFY(line != fill);
    for (int x = label.x(); x < label.x() + label.width(); ++x) {
      QCOMPARE(picture.pixelColor(x, border), line);
    }
  }

  void exitCloses_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");  // 0: a click
    QTest::newRow("click") << "Command2" << 0;
    QTest::newRow("Esc in the log box") << "Text1" << int(Qt::Key_Escape);
    QTest::newRow("Return on Exit") << "Command2" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on Exit") << "Command2" << int(Qt::Key_Enter);
  }
  void exitCloses() {
    QFETCH(QString, from);
    QFETCH(int, key);
    const Window window;
    window.form->show();
    QVERIFY(QTest::qWaitForWindowActive(window.form.get()));
    auto& control = window.Control<QWidget>(from.toLatin1().constData());
    if (key == 0) {
      QTest::mouseClick(&control, Qt::LeftButton);
    } else {
      control.setFocus();
      QTest::keyClick(&control, static_cast<Qt::Key>(key));
    }
    QCOMPARE(window.form->isVisible(), false);
  }

  void returnOnFindItAndFixItStartsARun() {
    const Window window;
    window.form->show();
    QVERIFY(QTest::qWaitForWindowActive(window.form.get()));
    auto& find_it = window.Control<QPushButton>("Command1");
    find_it.setFocus();
    QTest::keyClick(&find_it, Qt::Key_Return);
    QCOMPARE(window.script.asked_from.size(), 1u);
  }

  void everyControlIsAnnouncedByItsCaptionOrAName() {
    const Window window;
    QCOMPARE(testing::ControlsWithoutProperNames(*window.form), QStringList());
    // The window itself, as a window rather than filler.
    QAccessibleInterface* const accessible =
        QAccessible::queryAccessibleInterface(window.form.get());
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Plindor"));
    QCOMPARE(accessible->role(), QAccessible::Window);
  }

  // The run itself is the desktop code's; here, that the button reaches it from the program's
  // folder and that the log box shows its lines after whatever the user typed there.
  void findItAndFixItLogsTheRunAfterTheUsersText_data() {
    QTest::addColumn<bool>("caretAtEnd");
    QTest::addColumn<int>("caretAt");
    QTest::newRow("caret at the start") << false << 0;
    QTest::newRow("caret at the end") << true << 10;
  }
  void findItAndFixItLogsTheRunAfterTheUsersText() {
    QFETCH(bool, caretAtEnd);
    QFETCH(int, caretAt);
    const TempDir folder;
    const std::string project = WriteSampleProject(folder);
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    Window window;
    QCOMPARE(window.Log().toPlainText(), QString());
    QTest::keyClicks(&window.Log(), QStringLiteral("my notes: "));
    window.Log().moveCursor(caretAtEnd ? QTextCursor::End : QTextCursor::Start);

    window.Run(project);

    QCOMPARE(window.script.asked_from,
             std::vector{QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString()});
    QCOMPARE(window.Log().toPlainText(), "my notes: " + SampleRunLog(project));
    QCOMPARE(window.Log().textCursor().position(), caretAt);
  }
};

}  // namespace plindor::qt

QTEST_MAIN(plindor::qt::Form1Test)
#include "form1_test.moc"
