#pragma once

// The about box.

#include <QDialog>

class QLabel;
class QPushButton;

class TfmAbout : public QDialog {
  Q_OBJECT
public:
  explicit TfmAbout(QWidget* parent = nullptr);

  QLabel* imLogo;
  QLabel* laTitle;
  QLabel* laInfo;
  QPushButton* buOK;
};

// Shows the about box modally and frees it.
void ShowAboutBox(QWidget* parent = nullptr);
