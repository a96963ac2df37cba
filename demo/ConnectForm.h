#pragma once

// The dialog in which the user names the database and the attachment parameters.

#include "FbDatabase.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TFbDatabase;

class TfmConnect : public QDialog {
  Q_OBJECT
public:
  explicit TfmConnect(QWidget* parent = nullptr);

  QLineEdit* edDBFile;
  QPushButton* buBrowse;
  QLineEdit* edUserName;
  QLineEdit* edPassword;
  QLineEdit* edRole;
  QComboBox* cbCharset;
  QGroupBox* rgDialect;
  QRadioButton* rbDialect1;
  QRadioButton* rbDialect3;
  QPushButton* buOk;
  QPushButton* buCancel;

  // Fills the controls from the connection's settings.
  void LoadFrom(const TFbDatabase& database);
  // The settings as filled in: an empty value removes its parameter, "NONE" the character set.
  TFbSettings Settings(const TFbDatabase& database) const;
  // Disconnects, writes the settings and connects; raises when connecting fails.
  void ApplyTo(TFbDatabase& database) const;
  // The charset entry to show for a parameter value: its entry, "NONE" when there is none, or
  // an entry added for a value the list lacks (so that OK keeps it).
  void SelectCharset(const QString& value);
  QString Charset() const;
  int Dialect() const;

  void buBrowseClick();
};

// How the connection is made once the settings are written: `connect` does it, and the runner
// decides where (the window runs it on its database worker).
using TConnectRunner = std::function<void(const std::function<void()>& connect)>;

// Shows the dialog for `database`; on OK writes the settings and connects. True when the user
// confirmed and the connection was made; raises when connecting fails (the dialog is gone then).
bool ShowConnectDialog(TFbDatabase* database, QWidget* parent = nullptr,
                       const TConnectRunner& runner = {});
