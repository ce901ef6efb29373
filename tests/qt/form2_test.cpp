#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <stdexcept>

#include <version/version_record.h>

#include "accessible_names.h"
#include "desktop/texts.h"
#include "layout_properties.h"
#include "qt/form2.h"
#include "qt/start.h"

namespace plindor::qt {
namespace {

constexpr char kNotice[] =
    "Important - Before using this program, you must read and agree to the Terms and Conditions "
    "listed below. If you do not, press I Disagree to leave the program. Otherwise press I Agree, "
    "to proceed.";

// Stands in for the main window and counts how often it was asked for.
struct MainWindowProbe {
  int made = 0;
  bool terms_visible_when_made = false;
  bool terms_visible_in_pending_event = false;
  std::unique_ptr<QWidget> window;

  MainWindowFactory Factory(QPointer<Form2>* terms) {
    return [this, terms] {
      ++made;
      terms_visible_when_made = !terms->isNull() && (*terms)->isVisible();
      window = std::make_unique<QWidget>();
      // Work the new window leaves pending must run before the terms window goes.
      QMetaObject::invokeMethod(
          window.get(),
          [this, terms] {
            terms_visible_in_pending_event = !terms->isNull() && (*terms)->isVisible();
          },
          Qt::QueuedConnection);
      return window.get();
    };
  }
};

template <typename T>
T* Child(QWidget* parent, const char* name) {
  auto* child = parent->findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) {
    qFatal("no control %s", name);
  }
  return child;
}

constexpr int kStillRunning = 42;

// Runs the application's event loop as the program does, does the action in it, and returns how
// the loop ended: 0 when the application quit, kStillRunning when it was still going later.
int RunEventLoopAfter(const std::function<void()>& action) {
  QTimer::singleShot(0, action);
  QTimer later;  // stopped on return, so that it cannot end a later event loop
  later.setSingleShot(true);
  QObject::connect(&later, &QTimer::timeout, [] { QCoreApplication::exit(kStillRunning); });
  later.start(500);
  return QApplication::exec();
}

void ProcessDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

class Form2Test final : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    probe_ = std::make_unique<MainWindowProbe>();
    form_ = ShowTermsWindow(probe_->Factory(&form_));
    QVERIFY(QTest::qWaitForWindowExposed(form_));
  }

  void cleanup() {
    delete form_.data();
    probe_.reset();
    ProcessDeferredDeletes();
  }

  void WindowIsAFixedFrameWithoutTitleBar() {
    QCOMPARE(form_->minimumSize(), form_->maximumSize());
    QVERIFY(form_->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(form_->palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::HighlightedText));
    QVERIFY(form_->autoFillBackground());
    // Named like the product for the X title and screen readers, though no title bar shows it.
    QCOMPARE(form_->windowTitle(), QStringLiteral("Plindor"));
    QAccessibleInterface* const accessible = QAccessible::queryAccessibleInterface(form_.data());
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Plindor terms"));
    QCOMPARE(accessible->role(), QAccessible::Dialog);
  }

  void WindowDrawsAThinFrameOverItsControls() {
    const QImage picture = form_->grab().toImage();
    const QRgb line = form_->palette().color(QPalette::Shadow).rgb();
    QVERIFY(line != form_->palette().color(QPalette::Window).rgb());
    const int right = picture.width() - 1;
    const int bottom = picture.height() - 1;
    for (int x = 0; x <= right; ++x) {
      QCOMPARE(picture.pixel(x, 0), line);  // the logo lies along the top edge
      QCOMPARE(picture.pixel(x, bottom), line);
    }
    for (int y = 0; y <= bottom; ++y) {
      QCOMPARE(picture.pixel(0, y), line);
      QCOMPARE(picture.pixel(right, y), line);
    }
    // One pixel thin: the row inside is the window's own.
    QCOMPARE(picture.pixelColor(right / 2, bottom - 1), form_->palette().color(QPalette::Window));
  }

  void LayoutProperties() {
    QApplication::setActiveWindow(form_);
    QVERIFY(QTest::qWaitForWindowActive(form_));
    {
      const QStringList broken = testing::ControlsOutsideTheirParent(*form_);
      QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }
    {
      const QStringList broken = testing::TextsThatDoNotFit(*form_);
      QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }
    {
      const QStringList broken = testing::CaptionsNotInTheirColour(*form_);
      QVERIFY2(broken.isEmpty(), qPrintable(broken.join(", ")));
    }
    const QList<QWidget*> stops = testing::TabStopsInLayoutOrder(*form_);
    QCOMPARE(testing::TabStops(*form_), stops);
    QCOMPARE(QApplication::focusWidget(), stops.value(0));
    for (int step = 1; step <= stops.size(); ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), stops[step % stops.size()]);
    }
  }

  void DisclaimerScrollsVerticallyOnly() {
    auto* text = Child<QPlainTextEdit>(form_, "Text1");
    QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  }

  void LoadFillsTheTexts() {
    QCOMPARE(Child<QLabel>(form_, "Label1")->text(),
             QStringLiteral("Product: Plindor; Version 1.0.1"));
    QCOMPARE(Child<QLabel>(form_, "Label2")->text(), QString::fromUtf8(version::kLegalCopyright));
    QVERIFY(Child<QLabel>(form_, "Label3")->text().startsWith(QStringLiteral("Author of ")));
    QCOMPARE(Child<QLabel>(form_, "Label5")->text(), QString::fromLatin1(kNotice));
    QCOMPARE(Child<QPlainTextEdit>(form_, "Text1")->toPlainText(),
             QString::fromUtf8(desktop::kDisclaimer));
    QCOMPARE(Child<QPushButton>(form_, "Command1")->text(), QStringLiteral("I Agree"));
    QCOMPARE(Child<QPushButton>(form_, "Command2")->text(), QStringLiteral("I Disagree"));
  }

  void DisclaimerIsAboutSixHundredCharacters() {
    const auto length = QString::fromUtf8(desktop::kDisclaimer).size();
    QVERIFY2(length >= 500 && length <= 700, qPrintable(QString::number(length)));
  }

  void Pictures() {
    const QPixmap photo = Child<QLabel>(form_, "Picture2")->pixmap();
    QCOMPARE(photo.size(), QSize(100, 119));
    QVERIFY(!photo.hasAlphaChannel());
    // The logo is bigger than its box, which cuts it at the right and bottom.
    auto* box = Child<QLabel>(form_, "Picture1");
    QVERIFY(box->pixmap().width() > box->width());
    QVERIFY(box->pixmap().height() > box->height());
    QCOMPARE(box->alignment() & (Qt::AlignLeft | Qt::AlignTop), Qt::AlignLeft | Qt::AlignTop);
  }

  // Each row: a key pressed with the cursor at the start of the disclaimer, the character the
  // platform delivers with it, and what it leaves.
  void DisclaimerKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("removesFirstCharacter");
    QTest::addColumn<int>("cursor");
    QTest::newRow("letter") << int(Qt::Key_A) << "a" << int(Qt::NoModifier) << false << 0;
    QTest::newRow("capital") << int(Qt::Key_A) << "A" << int(Qt::ShiftModifier) << false << 0;
    QTest::newRow("space") << int(Qt::Key_Space) << " " << int(Qt::NoModifier) << false << 0;
    QTest::newRow("Return") << int(Qt::Key_Return) << "\r" << int(Qt::NoModifier) << false << 0;
    QTest::newRow("Ctrl+X on a selection")
        << int(Qt::Key_X) << "\x18" << int(Qt::ControlModifier) << false << -1;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << "" << int(Qt::NoModifier) << true << 0;
    QTest::newRow("Delete carrying DEL")
        << int(Qt::Key_Delete) << "\x7f" << int(Qt::NoModifier) << true << 0;
    QTest::newRow("Right") << int(Qt::Key_Right) << "" << int(Qt::NoModifier) << false << 1;
  }

  void DisclaimerKeys() {
    QFETCH(int, key);
    QFETCH(QString, character);
    QFETCH(int, modifiers);
    QFETCH(bool, removesFirstCharacter);
    QFETCH(int, cursor);
    auto* text = Child<QPlainTextEdit>(form_, "Text1");
    text->setFocus();
    text->moveCursor(QTextCursor::Start);
    if (cursor < 0) {
      text->selectAll();
    }
    QTest::sendKeyEvent(QTest::Click, text, static_cast<Qt::Key>(key), character,
                        Qt::KeyboardModifiers(modifiers));
    const QString disclaimer = QString::fromUtf8(desktop::kDisclaimer);
    QCOMPARE(text->toPlainText(), removesFirstCharacter ? disclaimer.mid(1) : disclaimer);
    if (cursor >= 0) {
      QCOMPARE(text->textCursor().position(), cursor);
    }
  }

  void BackspaceLeavesTheDisclaimer() {
    auto* text = Child<QPlainTextEdit>(form_, "Text1");
    text->moveCursor(QTextCursor::End);
    QTest::keyClick(text, Qt::Key_Backspace);
    QCOMPARE(text->toPlainText(), QString::fromUtf8(desktop::kDisclaimer));
  }

  void ComposedCharactersLeaveTheDisclaimer() {
    auto* text = Child<QPlainTextEdit>(form_, "Text1");
    text->setFocus();
    QInputMethodEvent compose;
    compose.setCommitString(QStringLiteral("é"));
    QApplication::sendEvent(text, &compose);
    QCOMPARE(text->toPlainText(), QString::fromUtf8(desktop::kDisclaimer));
  }

  void DisagreeEndsWithoutTheMainWindow_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::newRow("click I Disagree") << "Command2" << 0;
    QTest::newRow("Esc on I Disagree") << "Command2" << int(Qt::Key_Escape);
    QTest::newRow("Esc in the disclaimer") << "Text1" << int(Qt::Key_Escape);
    QTest::newRow("Return on I Disagree") << "Command2" << int(Qt::Key_Return);
  }

  void DisagreeEndsWithoutTheMainWindow() {
    QFETCH(QString, from);
    QFETCH(int, key);
    QWidget* control = Child<QWidget>(form_, from.toLatin1().constData());
    const int status = RunEventLoopAfter([control, key] {
      if (key == 0) {
        QTest::mouseClick(control, Qt::LeftButton);
      } else {
        control->setFocus();
        QTest::keyClick(control, static_cast<Qt::Key>(key));
      }
    });
    QCOMPARE(status, 0);
    ProcessDeferredDeletes();
    QVERIFY(form_.isNull());
    QCOMPARE(probe_->made, 0);
  }

  void AgreeHandsOverToTheMainWindow() {
    auto* agree = Child<QPushButton>(form_, "Command1");
    const int status = RunEventLoopAfter([agree] { QTest::mouseClick(agree, Qt::LeftButton); });
    QCOMPARE(status, kStillRunning);
    ProcessDeferredDeletes();
    QVERIFY(form_.isNull());
    QCOMPARE(probe_->made, 1);
    QVERIFY(probe_->terms_visible_when_made);
    QVERIFY(probe_->terms_visible_in_pending_event);
    QVERIFY(probe_->window->isVisible());
  }

  void EveryControlIsAnnouncedByItsCaptionOrAName() {
    QCOMPARE(testing::ControlsWithoutProperNames(*form_), QStringList());
  }

  void FailingMainWindowIsReportedAndEndsTheProgram() {
    delete form_.data();
    int made = 0;
    form_ = ShowTermsWindow([&made]() -> QWidget* {
      ++made;
      throw std::runtime_error("cannot create the file service");
    });
    QString reported;
    QTimer::singleShot(0, [&reported] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        reported = box->text();
        box->close();
      }
    });
    QTest::mouseClick(Child<QPushButton>(form_, "Command1"), Qt::LeftButton);
    ProcessDeferredDeletes();
    QCOMPARE(made, 1);
    QCOMPARE(reported, QStringLiteral("cannot create the file service"));
    QVERIFY(form_.isNull());
  }

 private:
  std::unique_ptr<MainWindowProbe> probe_;
  QPointer<Form2> form_;
};

}  // namespace plindor::qt

QTEST_MAIN(plindor::qt::Form2Test)
#include "form2_test.moc"
