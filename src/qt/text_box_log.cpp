#include "qt/text_box_log.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextCursor>

namespace plindor::qt {

QString DecodeLogText(std::string_view text) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString decoded = utf8.decode(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

void TextBoxLog::Append(std::string_view text) {
  const QTextCursor caret = box_.textCursor();
  const int anchor = caret.anchor();
  const int position = caret.position();

  QTextCursor end(box_.document());
  end.movePosition(QTextCursor::End);
  end.insertText(DecodeLogText(text));

  // A caret at the very end would otherwise be carried past the new text.
  if (box_.textCursor().anchor() != anchor || box_.textCursor().position() != position) {
    QTextCursor restored(box_.document());
    restored.setPosition(anchor);
    restored.setPosition(position, QTextCursor::KeepAnchor);
    box_.setTextCursor(restored);
  }
  QScrollBar& scroll = *box_.verticalScrollBar();
  scroll.setValue(scroll.maximum());
  box_.viewport()->repaint();
}

void TextBoxLog::Clear() { box_.clear(); }

}  // namespace plindor::qt
