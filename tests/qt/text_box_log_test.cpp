#include "qt/text_box_log.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <string>

namespace plindor::qt {

class TextBoxLogTest final : public QObject {
  Q_OBJECT

 private slots:
  void decodesBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ASCII") << QByteArray("Fixing C:\\App.vbp")
                           << QStringLiteral("Fixing C:\\App.vbp");
    QTest::newRow("UTF-8 path") << QByteArray("/home/j\xc3\xbcrgen/App.vbp")
                                << QStringLiteral("/home/j\u00fcrgen/App.vbp");
    QTest::newRow("code-page path")
        << QByteArray("   fixing M\xe4in.frm") << QStringLiteral("   fixing M\u00e4in.frm");
  }
  void decodesBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(DecodeLogText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))),
             shown);
  }

  void longLogKeepsItsLastLineInViewAndTheSelection() {
    QPlainTextEdit box;
    box.resize(345, 129);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    TextBoxLog log(box);
    log.Append("first line\r\n");
    QTextCursor selection(box.document());
    selection.setPosition(1);
    selection.setPosition(5, QTextCursor::KeepAnchor);
    box.setTextCursor(selection);

    for (int i = 0; i < 200; ++i) log.Append("   fixing Form" + std::to_string(i) + ".frm\r\n");

    const QScrollBar& scroll = *box.verticalScrollBar();
    QVERIFY(scroll.maximum() > 0);
    QCOMPARE(scroll.value(), scroll.maximum());
    QCOMPARE(box.textCursor().anchor(), 1);
    QCOMPARE(box.textCursor().position(), 5);
  }
};

}  // namespace plindor::qt

QTEST_MAIN(plindor::qt::TextBoxLogTest)
#include "text_box_log_test.moc"
