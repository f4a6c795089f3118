#include "build/message_help.h"

#include <QRegularExpression>

namespace krvs::ide {

namespace {

// The message without what the build driver and the tools put in front of it.
QString bareMessage(const QString& text) {
  static const QRegularExpression kListPrefix(QStringLiteral("^(错误|警告):第\\d+行\\s*"));
  static const QRegularExpression kToolPrefix(QStringLiteral("^(Warning|Error|Fatal): |^\\*+(Warning|Error|Fatal)\\*+ \\S*\\(\\d+\\) "));
  QString message = text.trimmed();
  message.remove(kListPrefix);
  message.remove(kToolPrefix);
  return message.trimmed();
}

}  // namespace

const MessageHelp* FindMessageHelp(const QString& text) {
  QByteArray message = bareMessage(text).toUtf8();
  return doc::findMessage(std::string_view(message.constData(), static_cast<std::size_t>(message.size())));
}

QString ExplainMessage(const QString& text) {
  const MessageHelp* entry = FindMessageHelp(text);
  return entry ? QString::fromUtf8(entry->help) : QString();
}

const MessageHelp* MessageHelpTable(int* count) {
  auto table = doc::messageTable();
  *count = static_cast<int>(table.size());
  return table.data();
}

}  // namespace krvs::ide
