#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every error this system raises: a message meant for the user, shown as it is.
class EKvError : public std::exception {
public:
  explicit EKvError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
  const QString& Message() const noexcept { return m_message; }
  const char* what() const noexcept override { return m_utf8.constData(); }

private:
  QString m_message;
  QByteArray m_utf8;
};
