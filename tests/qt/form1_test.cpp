#include "qt/form1.h"

#include <QCoreApplication>
#include <QDir>
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

#include "accessible_names.h"
#include "sample_project.h"
#include "scripted_file_dialog.h"
#include "temp_dir.h"

namespace plindor::qt {
namespace {

using plindor::testing::kComponents;
using plindor::testing::kNewComponent;
using plindor::testing::kNewProject;
using plindor::testing::kOldComponent;
using plindor::testing::ReadFile;
using plindor::testing::ScriptedFileDialog;
using plindor::testing::TempDir;
using plindor::testing::WriteFile;
using plindor::testing::WriteSampleProject;

const QString kInstructions = QStringLiteral(
    "Make sure that the program you want to fix is loaded onto your hard disk and that a "
    "suitable backup copy exists in case of problems. Then press the Find It and Fix It! button "
    "to select the Visual Basic program and fix it. The progress will be reported in the text "
    "box below. Press Exit when you are finished.");

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

// A window with a scripted dialog, the way a test drives it.
struct Window {
  Window() {
    auto owned = std::make_unique<ScriptedFileDialog>();
    dialog = owned.get();
    form = std::make_unique<Form1>(std::move(owned));
  }
  template <typename T>
  T& Control(const char* name) const {
    T* control = form->findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) qFatal("no control %s", name);
    return *control;
  }
  QPlainTextEdit& Log() const { return Control<QPlainTextEdit>("Text1"); }
  void Run(std::optional<QString> answer) const {
    dialog->AnswerWith(std::move(answer));
    QTest::mouseClick(&Control<QPushButton>("Command1"), Qt::LeftButton);
  }

  ScriptedFileDialog* dialog;
  std::unique_ptr<Form1> form;
};

// Tab stops of the window, in the order Tab visits them from the first.
QList<QWidget*> TabStops(QWidget& window) {
  QList<QWidget*> stops;
  QWidget* widget = &window;
  do {
    widget = widget->nextInFocusChain();
    if (widget != &window && (widget->focusPolicy() & Qt::TabFocus) != 0) stops.append(widget);
  } while (widget != &window);
  return stops;
}

}  // namespace

class Form1Test final : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("tabStop");  // -1: never takes the focus

    QTest::newRow("Command2") << "Command2" << QRect(216, 120, 153, 25) << "Exit" << true << 0;
    QTest::newRow("Command1") << "Command1" << QRect(24, 120, 153, 25) << "Find It and Fix It!"
                              << true << 1;
    QTest::newRow("Frame1") << "Frame1" << QRect(8, 8, 377, 97) << "Instructions" << true << -1;
    // Three pixels below its place in the layout, so as not to cover the frame's top border.
    QTest::newRow("Label1") << "Label1" << QRect(8, 19, 361, 73) << kInstructions << true << -1;
    QTest::newRow("Text1") << "Text1" << QRect(24, 160, 345, 129) << "" << false << 2;
  }
  void layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, bold);
    QFETCH(int, tabStop);

    const Window window;
    auto& control = window.Control<QWidget>(name.toLatin1().constData());
    QCOMPARE(control.geometry(), geometry);
    QString shown;
    if (auto* button = qobject_cast<QPushButton*>(&control)) shown = button->text();
    if (auto* frame = qobject_cast<QGroupBox*>(&control)) shown = frame->title();
    if (auto* label = qobject_cast<QLabel*>(&control)) shown = label->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(&control)) shown = box->toPlainText();
    QCOMPARE(shown, caption);
    QCOMPARE(QFontInfo(control.font()).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(control.font().pointSizeF(), 8.25);
    QCOMPARE(control.font().weight(), bold ? QFont::Bold : QFont::Normal);
    QCOMPARE(TabStops(*window.form).indexOf(&control), tabStop);
  }

  void windowTitlePlaceAndSize() {
    const Window window;
    QCOMPARE(window.form->windowTitle(), QStringLiteral("Plindor"));
    QCOMPARE(window.form->pos(), QPoint(103, 103));
    QCOMPARE(window.form->size(), QSize(398, 301));

    // Opened by another window, it is still a window of its own.
    QWidget opener;
    const Form1 opened(&opener);
    QCOMPARE(opened.isWindow(), true);
  }

  void colours() {
    const Window window;
    const auto& frame = window.Control<QGroupBox>("Frame1");
    const auto& label = window.Control<QLabel>("Label1");
    QCOMPARE(frame.palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::blue));
    // The colour the label actually draws its text in, whatever role its background takes.
    QCOMPARE(label.palette().color(label.foregroundRole()), QColor(Qt::blue));
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

  void opensWithFocusOnExitAndTabVisitsTheTabOrder() {
    const Window window;
    window.form->show();
    QVERIFY(QTest::qWaitForWindowActive(window.form.get()));
    const QList<QWidget*> expected = {&window.Control<QWidget>("Command2"),
                                      &window.Control<QWidget>("Command1"),
                                      &window.Control<QWidget>("Text1")};
    QCOMPARE(QApplication::focusWidget(), expected[0]);
    for (int step = 1; step <= expected.size(); ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), expected[step % expected.size()]);
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
    window.dialog->AnswerWith(std::nullopt);
    auto& find_it = window.Control<QPushButton>("Command1");
    find_it.setFocus();
    QTest::keyClick(&find_it, Qt::Key_Return);
    QCOMPARE(window.dialog->asked_from().size(), 1);
  }

  void everyControlIsAnnouncedByItsCaptionOrAName() {
    const Window window;
    QCOMPARE(testing::ControlsWithoutProperNames(*window.form), QStringList());
  }

  void captionsFitTheirControls() {
    const Window window;
    const QFontInfo used(window.Control<QPushButton>("Command1").font());
    QCOMPARE(used.family(), QStringLiteral("Liberation Sans"));

    for (const char* name : {"Command1", "Command2"}) {
      const auto& button = window.Control<QPushButton>(name);
      const QFontMetrics metrics(button.font());
      // Room for the button's frame on either side.
      QVERIFY2(metrics.horizontalAdvance(button.text()) + 8 <= button.width(), name);
      QVERIFY2(metrics.height() + 4 <= button.height(), name);
    }
    const auto& frame = window.Control<QGroupBox>("Frame1");
    const QFontMetrics frame_metrics(frame.font());
    QVERIFY(frame_metrics.horizontalAdvance(frame.title()) + 16 <= frame.width());
    // The caption sits in the band above the label.
    QVERIFY(frame_metrics.height() <= window.Control<QLabel>("Label1").y() + 2);

    const auto& label = window.Control<QLabel>("Label1");
    const QRect needed = QFontMetrics(label.font())
                             .boundingRect(QRect(0, 0, label.width(), 10000),
                                           Qt::TextWordWrap | Qt::AlignLeft, label.text());
    QVERIFY2(needed.height() <= label.height(),
             qPrintable(QStringLiteral("the instructions need %1 px").arg(needed.height())));
  }

  void loadClearsTheLogAndStartsTheDialogInTheProgramsFolder() {
    const Window window;
    QCOMPARE(window.Log().toPlainText(), QString());
    window.Run(std::nullopt);
    QCOMPARE(window.dialog->asked_from(), QStringList{QCoreApplication::applicationDirPath()});
    QCOMPARE(window.dialog->filters(), QStringList{QStringLiteral("Projects (*.vbp)")});
  }

  void runRepairsTheProjectAndItsComponents() {
    const TempDir folder;
    const std::string project = WriteSampleProject(folder);
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    const Window window;

    window.Run(QString::fromStdString(project));

    QCOMPARE(window.Log().toPlainText(), SampleRunLog(project));
    QCOMPARE(ReadFile(project), std::string(kNewProject));
    for (const char* component : kComponents) {
      QCOMPARE(ReadFile(folder / component), std::string(kNewComponent));
    }
    QCOMPARE(QDir::current().canonicalPath(), QDir(folder.path()).canonicalPath());
  }

  void cancelChangesNothing() {
    const TempDir folder;
    const std::string project = WriteSampleProject(folder);
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    const QString before = QDir::currentPath();
    const Window window;
    window.Log().setPlainText(QStringLiteral("kept"));

    window.Run(std::nullopt);
    window.Run(std::nullopt);

    QCOMPARE(window.Log().toPlainText(), QStringLiteral("kept"));
    QCOMPARE(QDir::currentPath(), before);
    QCOMPARE(ReadFile(folder / "Main.frm"), std::string(kOldComponent));
    // A cancelled dialog leaves the next one where this one started.
    QCOMPARE(window.dialog->asked_from().size(), 2);
    QCOMPARE(window.dialog->asked_from()[1], window.dialog->asked_from()[0]);
  }

  void twoRunsAppendTwoBlocks() {
    const TempDir folder;
    const std::string project = WriteSampleProject(folder);
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    const Window window;

    window.Run(QString::fromStdString(project));
    window.Run(QString::fromStdString(project));

    QCOMPARE(window.Log().toPlainText(), SampleRunLog(project) + SampleRunLog(project));
    QCOMPARE(window.dialog->asked_from().at(1), QString::fromStdString(project));
    QCOMPARE(ReadFile(project), std::string(kNewProject));
    QCOMPARE(ReadFile(folder / "Gauge.ctl"), std::string(kNewComponent));
  }

  void typedTextSurvivesAndTheCaretStays_data() {
    QTest::addColumn<bool>("caretAtEnd");
    QTest::addColumn<int>("caretAt");
    QTest::newRow("caret at the start") << false << 0;
    QTest::newRow("caret at the end") << true << 10;
  }
  void typedTextSurvivesAndTheCaretStays() {
    QFETCH(bool, caretAtEnd);
    QFETCH(int, caretAt);
    const TempDir folder;
    const std::string project = WriteSampleProject(folder);
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    const Window window;
    QTest::keyClicks(&window.Log(), QStringLiteral("my notes: "));
    window.Log().moveCursor(caretAtEnd ? QTextCursor::End : QTextCursor::Start);

    window.Run(QString::fromStdString(project));

    QCOMPARE(window.Log().toPlainText(), "my notes: " + SampleRunLog(project));
    QCOMPARE(window.Log().textCursor().position(), caretAt);
  }

  void failedRunSaysWhereItStopped() {
    const TempDir folder;
    const testing::CurrentDirectory restore(QDir::tempPath().toStdString());
    WriteFile(folder / "App.vbp", "Form=Main.frm\r\nForm=Missing.frm\r\nUserControl=Gauge.ctl\r\n");
    WriteFile(folder / "Main.frm", kOldComponent);
    WriteFile(folder / "Gauge.ctl", kOldComponent);
    const Window window;

    window.Run(QString::fromStdString(folder / "App.vbp"));

    QCOMPARE(window.Log().toPlainText(),
             QStringLiteral("Fixing %1\n"
                            "   fixing Main.frm\n"
                            "   fixing Missing.frm\n"
                            "Error: cannot open \"Missing.frm\" for reading: No such file or "
                            "directory\n"
                            "Fixup stopped.\n")
                 .arg(QString::fromStdString(folder / "App.vbp")));
    QCOMPARE(ReadFile(folder / "Main.frm"), std::string(kNewComponent));
    QCOMPARE(ReadFile(folder / "Gauge.ctl"), std::string(kOldComponent));
    // The window stays usable: the next run asks again.
    window.Run(std::nullopt);
    QCOMPARE(window.dialog->asked_from().size(), 2);
  }

  void folderThatCannotBeEnteredStopsTheRun() {
    const TempDir folder;
    const testing::CurrentDirectory restore(folder.path());
    const Window window;

    window.Run(QString::fromStdString(folder / "gone/App.vbp"));

    QCOMPARE(window.Log().toPlainText(),
             QStringLiteral("Error: cannot make \"%1\" the current folder\nFixup stopped.\n")
                 .arg(QString::fromStdString(folder / "gone")));
  }
};

}  // namespace plindor::qt

QTEST_MAIN(plindor::qt::Form1Test)
#include "form1_test.moc"
