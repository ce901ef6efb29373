#pragma once

#include <QString>

class QAbstractButton;
class QGroupBox;
class QLabel;

namespace plindor::qt {

// Shows a caption on a control and makes it the control's accessible name, so that screen
// readers announce what the user reads.
void SetCaption(QAbstractButton& button, const QString& caption);
void SetCaption(QGroupBox& frame, const QString& caption);
void SetCaption(QLabel& label, const QString& caption);

}  // namespace plindor::qt
