#include "qt/window_role.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLatin1String>
#include <QWidget>

#include "qt/form1.h"

namespace plindor::qt {
namespace {

QAccessibleInterface* MainWindowInterface(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String(Form1::staticMetaObject.className())) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

}  // namespace

void AnnounceMainWindowAsWindow() {
  static const bool installed = [] {
    QAccessible::installFactory(MainWindowInterface);
    return true;
  }();
  (void)installed;
}

}  // namespace plindor::qt
